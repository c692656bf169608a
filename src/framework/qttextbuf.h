// The text-buffer operations over a QPlainTextEdit, answering as a
// word-wrapping edit control does: lines are the lines as displayed, offsets
// count bytes of the document's encoding, a line break counts as CR LF.
#pragma once
#include <QByteArray>
#include <QFont>
#include <QMetaObject>
#include <QString>
#include <QTextBlock>
#include <vector>

#include "zarn/textbuf.h"

class QPlainTextEdit;

// How the document's bytes become the characters shown.
enum class TextEncoding {
  Utf8,    // valid UTF-8 files
  Latin1,  // anything else: one character per byte, so every byte survives
};

class QtTextBuffer : public TextBuffer {
 public:
  // Works on `edit` (not owned; must outlive this buffer).
  explicit QtTextBuffer(QPlainTextEdit* edit);
  ~QtTextBuffer() override;
  QtTextBuffer(const QtTextBuffer&) = delete;
  QtTextBuffer& operator=(const QtTextBuffer&) = delete;

  // The encoding used to turn shown text into bytes and back.
  void SetEncoding(TextEncoding e);
  TextEncoding Encoding() const { return encoding_; }
  // Bytes of `text` in the document's encoding (no line-break conversion).
  QByteArray Encode(const QString& text) const;
  // Characters of `bytes` in the document's encoding (no line-break conversion).
  QString Decode(const QByteArray& bytes) const;

  // Offset (CR LF counted as two) of a widget document position.
  std::uint32_t ToOffset(int docPos) const;
  // Widget document position of an offset; an offset inside a line break or
  // inside a multi-byte character goes to the nearest position before it.
  int ToDocPos(std::uint32_t offset) const;

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

 private:
  // One displayed line: its block and its characters within the block.
  struct VisualLine {
    QTextBlock block;
    int start = 0;   // first character within the block
    int length = 0;  // characters, without the line break
  };
  bool Locate(int line, VisualLine& out) const;
  // The displayed line holding document position `docPos` (line -1: the
  // caret's), laying out its block only.
  bool LocateAt(int docPos, VisualLine& out) const;
  bool LocateCaretOr(int line, VisualLine& out) const;
  int VisualLineOf(int docPos) const;
  int EncodedLength(QStringView s) const;
  void EnsureBlockStarts() const;
  std::uint32_t BlockStart(const QTextBlock& b) const;
  std::uint32_t LineOffset(const VisualLine& vl) const;

  QPlainTextEdit* edit_;
  TextEncoding encoding_ = TextEncoding::Utf8;
  QMetaObject::Connection changed_;
  // Offset of each block's first character; rebuilt after any change.
  mutable std::vector<std::uint32_t> blockStarts_;
  mutable bool dirty_ = true;
  // Number of the first displayed line of each block, known for the first
  // blocks only and extended on demand (laying a block out costs); cut back
  // to the first changed block on every change, dropped when the width or
  // font the lines were broken for changes.
  void ExtendLines(int block, int line) const;
  void CheckLineKey() const;
  void OneLineBound() const;
  // The displayed lines of block `b`, laying it out only when it may wrap.
  int LinesOf(const QTextBlock& b) const;
  void TruncateLines(int block) const;
  mutable std::vector<int> lineStarts_;
  mutable int knownLines_ = 0;
  mutable qreal lineWidth_ = -1;
  mutable qreal lineRoom_ = -1;  // the width of a line
  // Blocks of printable ASCII up to this many characters take one line
  // (0: lay every block out).
  mutable int oneLineChars_ = 0;
  mutable QFont lineFont_;
};
