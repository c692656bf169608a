#include "zarn/memtextbuf.h"

#include <algorithm>

#include "platform/ptext.h"

std::string MemoryTextBuffer::NormalizeBreaks(const std::string& text) {
  return plat::ToCrLf(text);
}

MemoryTextBuffer::MemoryTextBuffer(const std::string& text) { SetText(text); }

void MemoryTextBuffer::SetText(const std::string& text) {
  text_ = NormalizeBreaks(text);
  if (text_.size() > 0xFFFFFFF0u) text_.resize(0xFFFFFFF0u);  // offsets are 32-bit
  lineStarts_.assign(1, 0);
  for (std::size_t i = 0; i + 1 < text_.size(); ++i)
    if (text_[i] == '\r' && text_[i + 1] == '\n')
      lineStarts_.push_back(static_cast<std::uint32_t>(i + 2));
  selStart_ = selEnd_ = 0;
  modified_ = false;
}

int MemoryTextBuffer::LineFromChar(std::uint32_t pos) const {
  auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), pos);
  return static_cast<int>(it - lineStarts_.begin()) - 1;
}

std::uint32_t MemoryTextBuffer::LineEnd(int line) const {
  if (static_cast<std::size_t>(line) + 1 < lineStarts_.size()) return lineStarts_[line + 1] - 2;
  return static_cast<std::uint32_t>(text_.size());
}

// Offsets between the two characters of a break would split it.
std::uint32_t MemoryTextBuffer::Snap(std::uint32_t pos) const {
  if (pos > text_.size()) pos = static_cast<std::uint32_t>(text_.size());
  if (pos > 0 && pos < text_.size() && text_[pos - 1] == '\r' && text_[pos] == '\n') --pos;
  return pos;
}

void MemoryTextBuffer::GetSelection(std::uint32_t& start, std::uint32_t& end) const {
  start = selStart_;
  end = selEnd_;
}

std::uint32_t MemoryTextBuffer::GetLineIndex(int line) const {
  if (line == -1) line = GetLineFromPos();
  if (line < 0 || static_cast<std::size_t>(line) >= lineStarts_.size()) return kNoPos;
  return lineStarts_[line];
}

int MemoryTextBuffer::GetLineFromPos() const { return LineFromChar(selStart_); }

bool MemoryTextBuffer::GetLine(int line, std::size_t size, std::string& out) const {
  out.clear();
  if (line == -1) line = GetLineFromPos();
  if (line < 0 || static_cast<std::size_t>(line) >= lineStarts_.size() || size == 0) return false;
  std::uint32_t b = lineStarts_[line], e = LineEnd(line);
  std::size_t len = e - b;
  // Up to `size` characters arrive; a line that leaves no room for the
  // terminator (longer than size - 1) reports failure all the same.
  out.assign(text_, b, std::min(len, size));
  return len <= size - 1;
}

int MemoryTextBuffer::GetNumLines() const { return static_cast<int>(lineStarts_.size()); }

// -1 means the caret line, as for GetLineIndex.
int MemoryTextBuffer::GetLineLength(int line) const {
  if (line == -1) line = GetLineFromPos();
  if (line < 0 || static_cast<std::size_t>(line) >= lineStarts_.size()) return 0;
  return static_cast<int>(LineEnd(line) - lineStarts_[line]);
}

int MemoryTextBuffer::GetLineLengthAt(std::uint32_t pos) const {
  return GetLineLength(LineFromChar(pos));
}

std::string MemoryTextBuffer::GetSubText(std::uint32_t start, std::uint32_t end) const {
  std::uint32_t n = static_cast<std::uint32_t>(text_.size());
  start = std::min(start, n);
  end = std::min(end, n);
  if (start >= end) return std::string();
  return text_.substr(start, end - start);
}

void MemoryTextBuffer::DeleteSubText(std::uint32_t start, std::uint32_t end) {
  if (start > end) std::swap(start, end);
  start = Snap(start);
  end = Snap(end);
  Replace(start, end, std::string());
}

void MemoryTextBuffer::Insert(const std::string& text) {
  Replace(selStart_, selEnd_, NormalizeBreaks(text));
}

void MemoryTextBuffer::SetSelection(std::uint32_t start, std::uint32_t end) {
  if (start > end) std::swap(start, end);
  selStart_ = Snap(start);
  selEnd_ = Snap(end);
}

std::uint32_t MemoryTextBuffer::GetTextLength() const {
  return static_cast<std::uint32_t>(text_.size());
}

std::string MemoryTextBuffer::GetText() const { return text_; }

void MemoryTextBuffer::Replace(std::uint32_t start, std::uint32_t end, const std::string& insRaw) {
  std::string ins = insRaw;
  std::size_t room = 0xFFFFFFF0u - (text_.size() - (end - start));
  if (ins.size() > room) {
    ins.resize(room);
    if (!ins.empty() && ins.back() == '\r') ins.pop_back();  // never half a break
  }
  if (start == end && ins.empty()) {
    selStart_ = selEnd_ = start;
    return;
  }
  text_.replace(start, end - start, ins);
  modified_ = true;

  // Line starts up to `start` stay; those inside the removed range go; the
  // rest shift; the inserted text adds its own.
  auto first = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), start);
  auto last = std::upper_bound(first, lineStarts_.end(), end);
  std::int64_t delta =
      static_cast<std::int64_t>(ins.size()) - static_cast<std::int64_t>(end - start);
  std::vector<std::uint32_t> added;
  for (std::size_t i = 0; i + 1 < ins.size(); ++i)
    if (ins[i] == '\r' && ins[i + 1] == '\n')
      added.push_back(static_cast<std::uint32_t>(start + i + 2));
  for (auto it = last; it != lineStarts_.end(); ++it) *it = static_cast<std::uint32_t>(*it + delta);
  std::size_t firstIdx = static_cast<std::size_t>(first - lineStarts_.begin());
  lineStarts_.erase(first, last);
  lineStarts_.insert(lineStarts_.begin() + static_cast<std::ptrdiff_t>(firstIdx), added.begin(),
                     added.end());

  selStart_ = selEnd_ = start + static_cast<std::uint32_t>(ins.size());
}
