// A text document as it lives on disk: the bytes of the file and the facts
// needed to give them back. The editor works on the text with CR LF breaks;
// saving turns the breaks back into the file's own style. A document saved
// without edits gives back exactly the bytes it was loaded from.
#pragma once
#include <string>

class TextDocument {
 public:
  enum class LineEnding { LF, CRLF, CR };

  // An empty, unnamed document (LF breaks, valid UTF-8, no final break).
  TextDocument() = default;

  // Reads the file; false (the document unchanged) when it cannot be read.
  bool Load(const std::string& path);
  // Takes the bytes as if they had been read from `path` (which may be "").
  void SetBytes(const std::string& bytes, const std::string& path = std::string());

  // The text for a text buffer: every break (CR LF, LF or lone CR) as CR LF.
  const std::string& Text() const { return text_; }
  // The file's bytes for an edited text: its CR LF breaks turned into the
  // document's style; the original bytes when the text is unchanged.
  std::string ToBytes(const std::string& crlfText) const;
  // Saves atomically to the document's path; false when there is none or
  // writing failed (the file on disk then stays as it was).
  bool Save(const std::string& crlfText);
  // Saves atomically to `path`, which becomes the document's path.
  bool SaveAs(const std::string& path, const std::string& crlfText);

  const std::string& Path() const { return path_; }
  const std::string& Bytes() const { return bytes_; }
  // The break style of the file: the most frequent one, the first seen on a
  // tie; LF for a file without breaks.
  LineEnding Ending() const { return ending_; }
  void SetEnding(LineEnding e) { ending_ = e; }
  // True when the file's bytes are valid UTF-8 (shown as Latin-1 otherwise).
  bool IsUtf8() const { return utf8_; }
  // True when the file ended with a line break.
  bool HasFinalBreak() const { return finalBreak_; }
  // True when the file mixed break styles (saving an edit unifies them).
  bool MixedEndings() const { return mixed_; }

  // Helpers, public for the windows and the command line.
  static bool IsValidUtf8(const std::string& bytes);
  static std::string ToCrLf(const std::string& bytes);
  static std::string FromCrLf(const std::string& crlfText, LineEnding e);

 private:
  std::string path_;
  std::string bytes_;
  std::string text_;
  LineEnding ending_ = LineEnding::LF;
  bool utf8_ = true;
  bool finalBreak_ = false;
  bool mixed_ = false;
};
