// A text buffer held in memory: the editor text of the command line and of
// tests. Line breaks are stored as CR LF; a lone CR or LF given to it (in
// the constructor, SetText or Insert) becomes CR LF, so offsets always count
// a break as two characters. Lines are the text's own lines (no wrapping).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "zarn/textbuf.h"

class MemoryTextBuffer : public TextBuffer {
 public:
  // The caret starts at offset 0.
  explicit MemoryTextBuffer(const std::string& text = std::string());

  void GetSelection(std::uint32_t& start, std::uint32_t& end) const override;
  std::uint32_t GetLineIndex(int line = -1) const override;
  int GetLineFromPos() const override;
  bool GetLine(int line, std::size_t size, std::string& out) const override;
  int GetNumLines() const override;
  int GetLineLength(int line) const override;
  int GetLineLengthAt(std::uint32_t pos) const override;
  std::string GetSubText(std::uint32_t start, std::uint32_t end) const override;
  void DeleteSubText(std::uint32_t start, std::uint32_t end) override;
  void Insert(const std::string& text) override;
  void SetSelection(std::uint32_t start, std::uint32_t end) override;
  std::uint32_t GetTextLength() const override;
  std::string GetText() const override;

  // Replaces the whole text; the caret goes to offset 0.
  void SetText(const std::string& text);
  // Number of the line holding offset `pos` (clamped to the text).
  int LineFromChar(std::uint32_t pos) const;
  // True once the text was changed through Insert or DeleteSubText.
  bool IsModified() const { return modified_; }
  void ClearModified() { modified_ = false; }

  // Turns every lone CR or LF into CR LF.
  static std::string NormalizeBreaks(const std::string& text);

 private:
  // Replaces [start, end) by `ins` (already normalised) and keeps the line index.
  void Replace(std::uint32_t start, std::uint32_t end, const std::string& ins);
  // Moves an offset that falls between CR and LF to the CR.
  std::uint32_t Snap(std::uint32_t pos) const;
  std::uint32_t LineEnd(int line) const;

  std::string text_;
  std::vector<std::uint32_t> lineStarts_{0};  // offset of each line's first character
  std::uint32_t selStart_ = 0;
  std::uint32_t selEnd_ = 0;
  bool modified_ = false;
};
