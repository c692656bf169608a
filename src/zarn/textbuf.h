// The text operations a zarn needs of an editor: exactly what an edit
// control offers. Offsets are character indexes from the start of the text;
// a line break counts as the two characters CR LF; lines count from 0 and
// are the lines as displayed (a wrapping editor answers for wrapped lines).
#pragma once
#include <cstdint>
#include <string>

// "Not found" as a text position.
constexpr std::uint32_t kNoPos = 0xFFFFFFFFu;

class TextBuffer {
 public:
  virtual ~TextBuffer();
  // The selection; start == end is a bare caret.
  virtual void GetSelection(std::uint32_t& start, std::uint32_t& end) const = 0;
  // Offset of the first character of line `line`, or of the caret line when
  // line is -1; kNoPos for a line past the last.
  virtual std::uint32_t GetLineIndex(int line = -1) const = 0;
  // Number of the line that holds the caret (the selection start).
  virtual int GetLineFromPos() const = 0;
  // Copies at most `size` characters of line `line` (the caret line when
  // line is -1) into `out` (`out` is replaced); false when the line is
  // longer than size - 1 characters.
  virtual bool GetLine(int line, std::size_t size, std::string& out) const = 0;
  // Number of lines (an empty text has one line).
  virtual int GetNumLines() const = 0;
  // Length of line `line` (the caret line when line is -1) without its line
  // break; 0 past the last line.
  virtual int GetLineLength(int line) const = 0;
  // Length, without its line break, of the line that holds offset `pos`
  // (the line that starts there, for a line start). Where a caller knows
  // its line by where it begins, the line's number is not needed, and
  // numbering wrapped lines means counting every line above.
  virtual int GetLineLengthAt(std::uint32_t pos) const = 0;
  // Text from offset `start` up to `end` (line breaks as CR LF); offsets are clamped.
  virtual std::string GetSubText(std::uint32_t start, std::uint32_t end) const = 0;
  // Deletes the text between the offsets; the caret ends where the range began.
  virtual void DeleteSubText(std::uint32_t start, std::uint32_t end) = 0;
  // Replaces the selection (if any) with `text` (CR LF line breaks); the
  // caret ends after the inserted text.
  virtual void Insert(const std::string& text) = 0;
  // Selects [start, end) (clamped to the text).
  virtual void SetSelection(std::uint32_t start, std::uint32_t end) = 0;
  // Length of the whole text in characters.
  virtual std::uint32_t GetTextLength() const = 0;
  // The whole text, line breaks as CR LF.
  virtual std::string GetText() const = 0;
};
