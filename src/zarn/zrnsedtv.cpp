#include "zarn/zrnsedtv.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "zarn/zarnctx.h"

namespace {

// The standard text-to-integer conversion, kept inside 32 bits.
int ToInt(const std::string& s) {
  errno = 0;
  long long v = std::strtoll(s.c_str(), nullptr, 10);
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

TZarnsEditView::TZarnsEditView(ZarnContext& ctx, TextBuffer* buffer) : ctx_(ctx), buf_(buffer) {}

TZarnsEditView::~TZarnsEditView() {
  if (ctx_.CurrentView == this) ctx_.CurrentView = nullptr;
  if (ctx_.OutputView == this) ctx_.OutputView = nullptr;
}

void TZarnsEditView::SetFocus() { ctx_.CurrentView = this; }

// --- capturing ----------------------------------------------------------------

void TZarnsEditView::Capture(bool selectionWins) {
  if (!buf_) return;
  std::uint32_t s = 0, e = 0;
  buf_->GetSelection(s, e);
  if (selectionWins && s != e) {
    if (e < s) std::swap(s, e);
    zarn = buf_->GetSubText(s, std::min<std::uint32_t>(e, s + 79));
    start = s;
    return;
  }
  s = std::min(s, e);
  // The caret line is asked for as such (-1), not by number: numbering
  // wrapped lines would cost a count of every line above it.
  std::uint32_t ls = buf_->GetLineIndex(-1);
  if (ls == kNoPos || ls > s) ls = std::min(s, buf_->GetTextLength());
  lineStart_ = ls;
  start = s - ls;
  std::string line;
  buf_->GetLine(-1, kZarnLineSize + 1, line);
  if (line.size() > static_cast<std::size_t>(kZarnLineSize)) line.resize(kZarnLineSize);
  TokPtr.clear();
  if (line.empty()) {
    // An empty caret line: nothing of an earlier line may stay in the
    // tables, or a removal would cut text out of another line.
    NumTokens = 0;
    ZarnTokInLine = 0;
    tokpositions[0] = 0;
    zarn.clear();
    return;
  }
  Tokenize(line);
  zarn = GetToken(0);
}

void TZarnsEditView::DoToken() { Capture(false); }

void TZarnsEditView::GetSearchText() { Capture(true); }

void TZarnsEditView::Tokenize(const std::string& lineIn) {
  const std::string copy = lineIn.substr(0, kZarnLineSize);  // untouched, for looking back
  const int n = static_cast<int>(copy.size());
  auto isDelim = [this](char c) {
    for (int d = 0; delimiters[d]; ++d)
      if (delimiters[d] == c) return true;
    return false;
  };
  // With the caret before the first word (on a leading blank) that first
  // word is the zarn.
  ZarnTokInLine = 0;
  int k = 0, l = 0;
  while (l < kZarnLineSize && l < n) {
    if (isDelim(copy[l])) {
      ++l;
      continue;
    }
    // The positions table has room for kMaxTokPositions - 1 words and the
    // sentinel; further words of the line take no part.
    if (k >= kMaxTokPositions - 1) break;
    if (static_cast<std::uint32_t>(l) <= start) ZarnTokInLine = k;
    int e = l;
    while (e < n && !isDelim(copy[e])) ++e;
    for (int j = l - 1; j >= 0; --j) {
      const char c = copy[j];
      if (c == ' ' || c == '?' || c == '!' || c == '\\') continue;
      if (c == '/' || c == '+' || c == '*' || c == '-') TokPtr.emplace_back(1, c);
      break;
    }
    TokPtr.push_back(copy.substr(l, e - l));
    tokpositions[k] = l;
    ++k;
    l = e + 1;
  }
  tokpositions[k] = l > 0 ? l - 1 : 0;
  NumTokens = k;
}

// --- tokens -------------------------------------------------------------------

void TZarnsEditView::GetToken(int p, std::string& out) const {
  const long long i = static_cast<long long>(ZarnTokInLine) + p;
  if (TokPtr.empty() || i >= static_cast<long long>(TokPtr.size())) {
    out.clear();
  } else if (i < 0) {
    out = TokPtr.front();
  } else {
    out = TokPtr[static_cast<std::size_t>(i)];
  }
}

std::string TZarnsEditView::GetToken(int p) const {
  std::string s;
  GetToken(p, s);
  return s;
}

std::uint32_t TZarnsEditView::LineEnd() const {
  if (!buf_) return lineStart_;
  const int len = buf_->GetLineLengthAt(lineStart_);
  return std::min<std::uint32_t>(lineStart_ + static_cast<std::uint32_t>(std::max(len, 0)),
                                 buf_->GetTextLength());
}

std::uint32_t TZarnsEditView::TokenOffset(int i) const {
  const int p = std::max(tokpositions[std::clamp(i, 0, kMaxTokPositions - 1)], 0);
  return std::min(lineStart_ + static_cast<std::uint32_t>(p), LineEnd());
}

void TZarnsEditView::RemoveWord(int i) {
  if (!buf_ || i < 0 || i >= NumTokens || i + 1 >= kMaxTokPositions) return;
  const std::uint32_t a = TokenOffset(i);
  const std::uint32_t b = std::max(a, TokenOffset(i + 1));
  const int d = static_cast<int>(b - a);
  buf_->DeleteSubText(a, b);
  const int last = std::min(NumTokens, kMaxTokPositions - 1);
  for (int j = i; j < last; ++j) tokpositions[j] = tokpositions[j + 1] - d;
  --NumTokens;
}

void TZarnsEditView::RemoveToken(int p) {
  const long long i = static_cast<long long>(ZarnTokInLine) + p;
  if (i < 0 || i >= NumTokens) return;
  RemoveWord(static_cast<int>(i));
}

std::string TZarnsEditView::WordAt(int i) const {
  if (!buf_ || i < 0 || i >= NumTokens) return std::string();
  const std::uint32_t a = TokenOffset(i);
  const std::string rest = buf_->GetSubText(a, LineEnd());
  std::size_t e = 0;
  while (e < rest.size() && std::find(delimiters, delimiters + 7, rest[e]) == delimiters + 7) ++e;
  return rest.substr(0, e);
}

std::string TZarnsEditView::GetString(int p) const {
  const long long i = static_cast<long long>(ZarnTokInLine) + p;
  if (!buf_ || i < 0 || i > NumTokens || i >= kMaxTokPositions) return std::string();
  const std::uint32_t from = TokenOffset(static_cast<int>(i));
  return buf_->GetSubText(from, from + kZarnTextSize);
}

// Ends at the end of the captured line: the output built-in puts the rest
// of its own line on a new line.
std::string TZarnsEditView::GetStringToEOL(int p) const {
  const long long i = static_cast<long long>(ZarnTokInLine) + p;
  if (!buf_ || i < 0 || i > NumTokens || i >= kMaxTokPositions) return std::string();
  const std::uint32_t from = TokenOffset(static_cast<int>(i));
  return buf_->GetSubText(from, std::min(LineEnd(), from + kZarnTextSize));
}

void TZarnsEditView::getdouble(double& a, double& b) const {
  auto read = [](std::string s) {
    if (s.size() > 1) s.erase(std::remove(s.begin() + 1, s.end(), ','), s.end());
    return std::strtod(s.c_str(), nullptr);
  };
  a = read(GetToken(-1));
  b = read(GetToken(1));
}

void TZarnsEditView::GetNumber(int& num) {
  int& pos = ctx_.pos;
  if (num == 0) {
    pos = 0;
    leftRemoved_ = 0;
  }
  // Each step examines a token further out; past both ends of the token
  // list the token is empty and the search stops, so it is short anyway.
  for (int guard = 0; guard < 4 * kMaxTokPositions; ++guard) {
    pos = pos > 0 ? -(pos + 1) : -pos + 1;
    const long long i = static_cast<long long>(ZarnTokInLine) + pos;
    // Left of the first token there is nothing: reading the first token
    // there (as GetToken does) would use a number without removing it.
    const std::string t = i < 0 ? std::string() : GetToken(pos);
    if (pos < 0 && i >= 0 && i < NumTokens) ++leftRemoved_;
    RemoveToken(pos);
    num = ToInt(t);
    if (num != 0 || t.empty()) return;
  }
  num = 0;
}

std::string TZarnsEditView::NumberText(double a) {
  if (a == 0) a = 0;  // no "-0"
  const int len = std::snprintf(nullptr, 0, "%f", a);
  std::string s(static_cast<std::size_t>(std::max(len, 0)) + 1, '\0');
  std::snprintf(s.data(), s.size(), "%f", a);
  s.resize(static_cast<std::size_t>(std::max(len, 0)));
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  s += ' ';
  return s;
}

void TZarnsEditView::replacedouble(double a) {
  RemoveToken(-1);
  RemoveToken(-1);
  InsertText(NumberText(a));
  ++NumTokens;
}

// A zarn writes at the caret: a selection left standing (a run started
// with text selected) is not replaced, wherever it reaches.
void TZarnsEditView::InsertText(const std::string& text) {
  if (!buf_) return;
  std::uint32_t s = 0, e = 0;
  buf_->GetSelection(s, e);
  if (s != e) buf_->SetSelection(std::min(s, e), std::min(s, e));
  buf_->Insert(text);
}

void TZarnsEditView::InsertOver(const std::string& text) {
  RemoveToken(0);
  InsertText(text);
}

// Whole lines: cutting them to a buffer would lose what a sort puts back.
void TZarnsEditView::GetToCurrent(std::vector<std::string>& lines) const {
  if (!buf_) return;
  const int caretLine = buf_->GetLineFromPos();
  for (int n = 0; n < caretLine; ++n) {
    std::string line;
    buf_->GetLine(n, static_cast<std::size_t>(std::max(buf_->GetLineLength(n), 0)) + 1, line);
    lines.push_back(line);
  }
}

void TZarnsEditView::RemoveToCurrent() {
  if (!buf_) return;
  const std::uint32_t ls = buf_->GetLineIndex(-1);
  if (ls == kNoPos) return;
  buf_->DeleteSubText(0, ls);
}
