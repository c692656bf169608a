#include "framework/qttextbuf.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <climits>
#include <cstring>

QtTextBuffer::QtTextBuffer(QPlainTextEdit* edit) : edit_(edit) {
  // Offsets of blocks are cached; any change of the text invalidates them.
  changed_ = QObject::connect(edit_->document(), &QTextDocument::contentsChange, edit_,
                              [this](int from, int, int) {
                                dirty_ = true;
                                TruncateLines(edit_->document()->findBlock(from).blockNumber());
                              });
}

QtTextBuffer::~QtTextBuffer() { QObject::disconnect(changed_); }

void QtTextBuffer::SetEncoding(TextEncoding e) {
  encoding_ = e;
  dirty_ = true;
}

QByteArray QtTextBuffer::Encode(const QString& text) const {
  return encoding_ == TextEncoding::Latin1 ? text.toLatin1() : text.toUtf8();
}

QString QtTextBuffer::Decode(const QByteArray& bytes) const {
  return encoding_ == TextEncoding::Latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

int QtTextBuffer::EncodedLength(QStringView s) const {
  if (encoding_ == TextEncoding::Latin1) return static_cast<int>(s.size());
  int n = 0;
  for (qsizetype i = 0; i < s.size(); ++i) {
    const char16_t c = s[i].unicode();
    if (c < 0x80) {
      n += 1;
    } else if (c < 0x800) {
      n += 2;
    } else if (QChar::isHighSurrogate(c) && i + 1 < s.size() &&
               QChar::isLowSurrogate(s[i + 1].unicode())) {
      n += 4;
      ++i;
    } else {
      n += 3;
    }
  }
  return n;
}

void QtTextBuffer::EnsureBlockStarts() const {
  if (!dirty_) return;
  QTextDocument* doc = edit_->document();
  const std::size_t blocks = static_cast<std::size_t>(doc->blockCount());
  blockStarts_.clear();
  blockStarts_.reserve(blocks);
  // One copy of the whole text, its blocks separated by paragraph
  // separators, read in one pass: far less than a copy of each block's
  // text. Runs of ASCII are counted four characters at a time.
  const QString raw = doc->toRawText();
  const char16_t* p = reinterpret_cast<const char16_t*>(raw.utf16());
  const qsizetype n = raw.size();
  const bool latin1 = encoding_ == TextEncoding::Latin1;
  std::uint32_t off = 0;
  blockStarts_.push_back(0);
  qsizetype i = 0;
  while (i < n) {
    if (i + 4 <= n) {
      std::uint64_t four;
      std::memcpy(&four, p + i, sizeof four);
      if ((four & 0xFF80FF80FF80FF80ull) == 0) {
        off += 4;
        i += 4;
        continue;
      }
    }
    const char16_t c = p[i++];
    if (c == QChar::ParagraphSeparator) {
      off += 2;  // CR LF
      blockStarts_.push_back(off);
    } else if (c < 0x80 || latin1) {
      off += 1;
    } else if (c < 0x800) {
      off += 2;
    } else if (QChar::isHighSurrogate(c) && i < n && QChar::isLowSurrogate(p[i])) {
      off += 4;
      ++i;
    } else {
      off += 3;
    }
  }
  if (blockStarts_.size() != blocks) {
    // Not one separator per block boundary (frames, tables): block by block.
    blockStarts_.assign(blocks, 0);
    off = 0;
    std::size_t k = 0;
    for (QTextBlock b = doc->begin(); b.isValid() && k < blocks; b = b.next(), ++k) {
      blockStarts_[k] = off;
      off += static_cast<std::uint32_t>(EncodedLength(b.text())) + 2;  // CR LF
    }
  }
  dirty_ = false;
}

std::uint32_t QtTextBuffer::BlockStart(const QTextBlock& b) const {
  EnsureBlockStarts();
  const auto n = static_cast<std::size_t>(b.blockNumber());
  return n < blockStarts_.size() ? blockStarts_[n] : 0;
}

std::uint32_t QtTextBuffer::ToOffset(int docPos) const {
  const QTextBlock b = edit_->document()->findBlock(std::max(0, docPos));
  if (!b.isValid()) return GetTextLength();
  const int within = std::clamp(docPos - b.position(), 0, static_cast<int>(b.text().size()));
  return BlockStart(b) +
         static_cast<std::uint32_t>(EncodedLength(QStringView(b.text()).left(within)));
}

int QtTextBuffer::ToDocPos(std::uint32_t offset) const {
  EnsureBlockStarts();
  QTextDocument* doc = edit_->document();
  if (blockStarts_.empty()) return 0;
  // Last block starting at or before the offset.
  auto it = std::upper_bound(blockStarts_.begin(), blockStarts_.end(), offset);
  const int n = static_cast<int>(it - blockStarts_.begin()) - 1;
  const QTextBlock b = doc->findBlockByNumber(std::max(0, n));
  const QString text = b.text();
  std::uint32_t rest = offset - blockStarts_[static_cast<std::size_t>(std::max(0, n))];
  if (encoding_ == TextEncoding::Latin1)
    return b.position() +
           static_cast<int>(std::min<std::uint32_t>(rest, static_cast<std::uint32_t>(text.size())));
  int i = 0;
  while (i < text.size()) {
    const int step = QChar::isHighSurrogate(text[i].unicode()) && i + 1 < text.size() ? 2 : 1;
    const auto len = static_cast<std::uint32_t>(EncodedLength(QStringView(text).mid(i, step)));
    if (len > rest) break;
    rest -= len;
    i += step;
  }
  return b.position() + i;
}

void QtTextBuffer::TruncateLines(int block) const {
  if (block < 0) block = 0;
  if (static_cast<std::size_t>(block) < lineStarts_.size()) {
    knownLines_ = lineStarts_[static_cast<std::size_t>(block)];
    lineStarts_.resize(static_cast<std::size_t>(block));
  }
}

void QtTextBuffer::CheckLineKey() const {
  // The width the lines are broken for: that of every line the layout makes,
  // read off the first block (laid out when it has not been yet).
  QTextDocument* doc = edit_->document();
  QAbstractTextDocumentLayout* layout = doc->documentLayout();
  const QTextBlock first = doc->firstBlock();
  layout->blockBoundingRect(first);
  const QTextLayout* tl = first.layout();
  const qreal room = tl && tl->lineCount() > 0 ? tl->lineAt(0).width() : -1;
  const qreal width = layout->documentSize().width();
  const QFont font = doc->defaultFont();
  if (width != lineWidth_ || room != lineRoom_ || !(font == lineFont_)) {
    lineStarts_.clear();
    knownLines_ = 0;
    lineWidth_ = width;
    lineRoom_ = room;
    lineFont_ = font;
    OneLineBound();
  }
}

// What a block of printable ASCII may hold and still take one line. The
// widest such character, plus a pixel for rounding, times the characters is
// more than the text can take, so a block within the room of a line cannot
// wrap. Anything else (tabs, other characters, spaced fonts, a layout other
// than the plain-text one) is laid out to be sure.
void QtTextBuffer::OneLineBound() const {
  oneLineChars_ = 0;
  QTextDocument* doc = edit_->document();
  const QFont font = doc->defaultFont();
  if (!qobject_cast<const QPlainTextDocumentLayout*>(doc->documentLayout()) || lineRoom_ <= 0 ||
      font.letterSpacing() != 0 || font.wordSpacing() != 0)
    return;
  const QFontMetricsF fm(font);
  qreal widest = 0;
  for (char16_t c = 0x20; c < 0x7F; ++c) widest = std::max(widest, fm.horizontalAdvance(QChar(c)));
  if (widest <= 0) return;
  oneLineChars_ = static_cast<int>(std::min<qreal>(lineRoom_ / (widest + 1), INT_MAX / 2));
}

int QtTextBuffer::LinesOf(const QTextBlock& b) const {
  // Laid out already: every change of width, font or text clears a block's
  // lines, so what is there was broken for the current ones.
  const QTextLayout* tl = b.layout();
  if (tl && tl->lineCount() > 0) return tl->lineCount();
  const int length = b.length() - 1;  // without the block's end
  if (length <= oneLineChars_) {
    const QString text = b.text();
    bool plainAscii = true;
    for (const QChar c : text) {
      if (c.unicode() < 0x20 || c.unicode() >= 0x7F) {
        plainAscii = false;
        break;
      }
    }
    if (plainAscii) return 1;
  }
  edit_->document()->documentLayout()->blockBoundingRect(b);  // lays the block out
  tl = b.layout();
  return tl ? std::max(1, tl->lineCount()) : 1;
}

// Makes the displayed lines known through block `block` and through line
// `line` (or to the end when either is past it). Only blocks that could
// wrap are laid out; a document of short lines costs a pass over its text.
void QtTextBuffer::ExtendLines(int block, int line) const {
  CheckLineKey();
  QTextDocument* doc = edit_->document();
  QTextBlock b = doc->findBlockByNumber(static_cast<int>(lineStarts_.size()));
  while (b.isValid() && (static_cast<int>(lineStarts_.size()) <= block || knownLines_ <= line)) {
    lineStarts_.push_back(knownLines_);
    knownLines_ += LinesOf(b);
    b = b.next();
  }
}

bool QtTextBuffer::Locate(int line, VisualLine& out) const {
  if (line < 0) return false;
  ExtendLines(-1, line);
  if (line >= knownLines_ || lineStarts_.empty()) return false;
  const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), line);
  const int n = static_cast<int>(it - lineStarts_.begin()) - 1;
  const QTextBlock b = edit_->document()->findBlockByNumber(n);
  if (!b.isValid()) return false;
  edit_->document()->documentLayout()->blockBoundingRect(b);
  const QTextLayout* tl = b.layout();
  const int within = line - lineStarts_[static_cast<std::size_t>(n)];
  out.block = b;
  if (tl && tl->lineCount() > within) {
    const QTextLine l = tl->lineAt(within);
    out.start = l.textStart();
    out.length = std::min(l.textLength(), static_cast<int>(b.text().size()) - out.start);
  } else {
    out.start = 0;
    out.length = static_cast<int>(b.text().size());
  }
  return true;
}

bool QtTextBuffer::LocateAt(int docPos, VisualLine& out) const {
  const QTextBlock b = edit_->document()->findBlock(std::max(0, docPos));
  if (!b.isValid()) return false;
  edit_->document()->documentLayout()->blockBoundingRect(b);
  const QTextLayout* tl = b.layout();
  out.block = b;
  out.start = 0;
  out.length = static_cast<int>(b.text().size());
  if (!tl || tl->lineCount() == 0) return true;
  const int within = docPos - b.position();
  for (int i = tl->lineCount() - 1; i >= 0; --i) {
    const QTextLine l = tl->lineAt(i);
    if (l.textStart() <= within || i == 0) {
      out.start = l.textStart();
      out.length = std::min(l.textLength(), out.length - out.start);
      break;
    }
  }
  return true;
}

bool QtTextBuffer::LocateCaretOr(int line, VisualLine& out) const {
  if (line == -1) return LocateAt(edit_->textCursor().selectionStart(), out);
  return Locate(line, out);
}

int QtTextBuffer::VisualLineOf(int docPos) const {
  QTextDocument* doc = edit_->document();
  const QTextBlock target = doc->findBlock(std::max(0, docPos));
  if (!target.isValid()) return std::max(0, GetNumLines() - 1);
  const int n = target.blockNumber();
  ExtendLines(n, -1);
  if (static_cast<std::size_t>(n) >= lineStarts_.size()) return std::max(0, knownLines_ - 1);
  const int first = lineStarts_[static_cast<std::size_t>(n)];
  doc->documentLayout()->blockBoundingRect(target);
  const QTextLayout* tl = target.layout();
  if (!tl || tl->lineCount() == 0) return first;
  const int within = docPos - target.position();
  for (int i = tl->lineCount() - 1; i >= 0; --i)
    if (tl->lineAt(i).textStart() <= within) return first + i;
  return first;
}

std::uint32_t QtTextBuffer::LineOffset(const VisualLine& vl) const {
  return BlockStart(vl.block) +
         static_cast<std::uint32_t>(EncodedLength(QStringView(vl.block.text()).left(vl.start)));
}

void QtTextBuffer::GetSelection(std::uint32_t& start, std::uint32_t& end) const {
  const QTextCursor c = edit_->textCursor();
  start = ToOffset(c.selectionStart());
  end = ToOffset(c.selectionEnd());
}

std::uint32_t QtTextBuffer::GetLineIndex(int line) const {
  VisualLine vl;
  if (!LocateCaretOr(line, vl)) return kNoPos;
  return LineOffset(vl);
}

int QtTextBuffer::GetLineFromPos() const {
  return VisualLineOf(edit_->textCursor().selectionStart());
}

bool QtTextBuffer::GetLine(int line, std::size_t size, std::string& out) const {
  out.clear();
  VisualLine vl;
  if (!LocateCaretOr(line, vl)) return true;
  const QByteArray bytes = Encode(vl.block.text().mid(vl.start, vl.length));
  const auto n = std::min(static_cast<std::size_t>(bytes.size()), size);
  out.assign(bytes.constData(), n);
  return size > 0 && static_cast<std::size_t>(bytes.size()) <= size - 1;
}

int QtTextBuffer::GetNumLines() const {
  ExtendLines(INT_MAX, INT_MAX);
  return std::max(1, knownLines_);
}

int QtTextBuffer::GetLineLength(int line) const {
  VisualLine vl;
  if (!LocateCaretOr(line, vl)) return 0;
  return EncodedLength(QStringView(vl.block.text()).mid(vl.start, vl.length));
}

int QtTextBuffer::GetLineLengthAt(std::uint32_t pos) const {
  VisualLine vl;
  if (!LocateAt(ToDocPos(pos), vl)) return 0;
  return EncodedLength(QStringView(vl.block.text()).mid(vl.start, vl.length));
}

std::string QtTextBuffer::GetText() const {
  std::string all;
  QTextDocument* doc = edit_->document();
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    const QByteArray bytes = Encode(b.text());
    all.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (b.next().isValid()) all += "\r\n";
  }
  return all;
}

std::uint32_t QtTextBuffer::GetTextLength() const {
  EnsureBlockStarts();
  if (blockStarts_.empty()) return 0;
  const QTextBlock last = edit_->document()->lastBlock();
  return blockStarts_.back() + static_cast<std::uint32_t>(EncodedLength(last.text()));
}

std::string QtTextBuffer::GetSubText(std::uint32_t start, std::uint32_t end) const {
  const std::string all = GetText();
  const std::size_t s = std::min<std::size_t>(start, all.size());
  const std::size_t e = std::min<std::size_t>(end, all.size());
  return e > s ? all.substr(s, e - s) : std::string();
}

void QtTextBuffer::DeleteSubText(std::uint32_t start, std::uint32_t end) {
  if (end < start) std::swap(start, end);
  QTextCursor c = edit_->textCursor();
  c.setPosition(ToDocPos(start));
  c.setPosition(ToDocPos(end), QTextCursor::KeepAnchor);
  c.removeSelectedText();
  edit_->setTextCursor(c);
}

void QtTextBuffer::Insert(const std::string& text) {
  QString s = Decode(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  QTextCursor c = edit_->textCursor();
  c.insertText(s);
  edit_->setTextCursor(c);
}

void QtTextBuffer::SetSelection(std::uint32_t start, std::uint32_t end) {
  QTextCursor c = edit_->textCursor();
  c.setPosition(ToDocPos(start));
  c.setPosition(ToDocPos(end), QTextCursor::KeepAnchor);
  edit_->setTextCursor(c);
}
