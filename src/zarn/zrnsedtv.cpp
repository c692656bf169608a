#include "zarn/zrnsedtv.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "catalog/zrnfile.h"
#include "host/installedhost.h"
#include "store/zrnlvl.h"
#include "zarn/zrnclip.h"
#include "zarn/zrnintrd.h"
#include "zarn/zrnvexe.h"

TZarnsEditView* CurrentView = nullptr;
std::string GlobalString;
int pos = 0;

namespace {

constexpr const char* kAppName = "Zarns";
// Longest selection a clip keeps, and longest clip text a paste inserts.
constexpr std::size_t kMaxClipCopy = 9191;
constexpr std::size_t kMaxClipPaste = 9095;
constexpr std::size_t kClipLabel = 30;

// The standard text-to-integer conversion, kept inside 32 bits.
int ToInt(const std::string& s) {
  errno = 0;
  long long v = std::strtoll(s.c_str(), nullptr, 10);
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

TZarnsEditView::TZarnsEditView(TextBuffer* buffer) : buf_(buffer) {}

TZarnsEditView::~TZarnsEditView() {
  if (CurrentView == this) CurrentView = nullptr;
}

void TZarnsEditView::SetFocus() { CurrentView = this; }

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
  lineNum_ = buf_->GetLineFromPos();
  std::uint32_t ls = buf_->GetLineIndex(-1);
  if (ls == kNoPos || ls > s) ls = std::min(s, buf_->GetTextLength());
  lineStart_ = ls;
  start = s - ls;
  std::string line;
  buf_->GetLine(lineNum_, kZarnLineSize + 1, line);
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
  const int len = buf_->GetLineLength(lineNum_);
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

void TZarnsEditView::replacedouble(double a) {
  RemoveToken(-1);
  RemoveToken(-1);
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
  InsertText(s);
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

// --- running ------------------------------------------------------------------

// A command given to a view means that view is the one in use.
void TZarnsEditView::ProcessZarns() {
  CurrentView = this;
  DoToken();
  ZrnIntrpDlg interp(&TokPtr);
  interp.IdentifyZarn(kAll);
}

// Test Zarn is a real command (Alt+T): the document's lines become the
// script, read as far as the first line longer than 79 characters.
bool TZarnsEditView::CmTestzarn() {
  if (!buf_) return false;
  CurrentView = this;
  TokPtr.clear();
  const int lines = buf_->GetNumLines();
  for (int n = 0; n < lines; ++n) {
    std::string line;
    buf_->GetLine(n, kZarnLineSize + 1, line);
    if (line.size() > static_cast<std::size_t>(kZarnLineSize)) line.resize(kZarnLineSize);
    const bool fits = buf_->GetLineLength(n) < kZarnLineSize;
    TokPtr.push_back(line);
    if (!fits) break;
  }
  ZrnIntrpDlg interp(&TokPtr);
  interp.RunScript();
  return interp.Error.empty();
}

// Save Zarn is a real command (Alt+S).
void TZarnsEditView::CmSavezarn() {
  CurrentView = this;
  DoToken();
  if (GetToken(0) != "zarn") {
    TheHost().MessageBox("Loading zarn must begin\r\nfirst line:\r\n zarn zarnname", kAppName,
                         MB_OK);
    return;
  }
  std::string name = GetToken(1);
  std::string value = std::string("\a") + name + "\a" + GetString(1);
  ZrnLvl1 store(*Files);
  // The store refuses what it cannot keep whole (no name, a text of 4096
  // bytes or more); the user hears of it rather than losing the script.
  if (!store.Set(name, value))
    TheHost().MessageBox(
        "The zarn could not be saved: it needs a name and must stay below 4096 characters.",
        kAppName, MB_OK);
}

void TZarnsEditView::CmSort() {
  CurrentView = this;
  DoToken();
  TZarnsZrnExe().Sort();
}

void TZarnsEditView::CmInsertDate() {
  CurrentView = this;
  DoToken();
  TZarnsZrnExe().date();
}

void TZarnsEditView::CmTime() {
  CurrentView = this;
  TZarnsZrnExe().time();
}

void TZarnsEditView::CmTimeReset() {
  CurrentView = this;
  TZarnsZrnExe().timereset();
}

void TZarnsEditView::CmPhone() {
  CurrentView = this;
  DoToken();
  TZarnsZrnExe().Phone();
}

void TZarnsEditView::CmCalculate() {
  CurrentView = this;
  DoToken();
  ZrnIntrpDlg interp;
  interp.IdentifyZarn(kCalculate);
}

void TZarnsEditView::CmSearchword() {
  CurrentView = this;
  GetSearchText();
  TZarnsZrnExe().Match();
}

void TZarnsEditView::WebLookup(int kind) {
  CurrentView = this;
  GetSearchText();
  ZrnFile f;
  f.ShellURL(zarn.c_str(), kind);
}

void TZarnsEditView::CmAtlas() { WebLookup(WebAtlas); }
void TZarnsEditView::CmDictionary() { WebLookup(WebDictionary); }
void TZarnsEditView::CmEncyc() { WebLookup(WebEncyclopedia); }
void TZarnsEditView::CmWeb() { WebLookup(WebSearch); }
void TZarnsEditView::CmSports() { WebLookup(WebSports); }
void TZarnsEditView::CmScience() { WebLookup(WebScience); }
void TZarnsEditView::CmArts() { WebLookup(WebArts); }

// The paste menu has the items 10001 to 10100; once they are taken further
// copies still reach the clipboard (the GUI's half) but not the clip store,
// so every clip keeps a working item.
int TZarnsEditView::CmEditCopy(std::string* label) {
  if (!buf_) return 0;
  std::uint32_t s = 0, e = 0;
  buf_->GetSelection(s, e);
  if (e < s) std::swap(s, e);
  if (s == e || NumClips > CM_LASTCLIP) return 0;
  const std::string text = buf_->GetSubText(s, std::min<std::uint32_t>(e, s + kMaxClipCopy));
  if (text.empty()) return 0;
  TheClips().AddClip(text);
  if (label) {
    *label = text.substr(0, kClipLabel);
    std::replace(label->begin(), label->end(), '\n', ' ');
  }
  return NumClips++;
}

bool TZarnsEditView::CmPasteClip(int id) {
  if (!buf_ || id < CM_FIRSTCLIP || id > CM_LASTCLIP) return false;
  std::string clip;
  if (!TheClips().GetClip(id - CM_FIRSTCLIP, clip)) return false;
  if (clip.size() > kMaxClipPaste) clip.resize(kMaxClipPaste);
  buf_->Insert(clip);
  return true;
}

bool TZarnsEditView::HandlesCommand(int id) {
  switch (id) {
    case CM_RUNZARN:
    case CM_SEARCHWORD:
    case CM_DICTIONARY:
    case CM_SAVEZARN:
    case CM_TESTZARN:
    case CM_ATLAS:
    case CM_ENCYC:
    case CM_SORT:
    case CM_INSERTDATE:
    case CM_TIME:
    case CM_TIMERESET:
    case CM_PHONE:
    case CM_ARTS:
    case CM_SCIENCE:
    case CM_SPORTS:
    case CM_CALCULATE:
    case CM_ZARNFIND:
    case CM_WEB:
    case CM_EDITCOPY: return true;
    default: return id >= CM_FIRSTCLIP && id <= CM_LASTCLIP;
  }
}

bool TZarnsEditView::Command(int id) {
  switch (id) {
    case CM_RUNZARN: CmRunzarn(); return true;
    case CM_SEARCHWORD:
    case CM_ZARNFIND: CmSearchword(); return true;
    case CM_DICTIONARY: CmDictionary(); return true;
    case CM_SAVEZARN: CmSavezarn(); return true;
    case CM_TESTZARN: CmTestzarn(); return true;
    case CM_ATLAS: CmAtlas(); return true;
    case CM_ENCYC: CmEncyc(); return true;
    case CM_SORT: CmSort(); return true;
    case CM_INSERTDATE: CmInsertDate(); return true;
    case CM_TIME: CmTime(); return true;
    case CM_TIMERESET: CmTimeReset(); return true;
    case CM_PHONE: CmPhone(); return true;
    case CM_ARTS: CmArts(); return true;
    case CM_SCIENCE: CmScience(); return true;
    case CM_SPORTS: CmSports(); return true;
    case CM_CALCULATE: CmCalculate(); return true;
    case CM_WEB: CmWeb(); return true;
    case CM_EDITCOPY: CmEditCopy(); return true;
    default:
      if (id >= CM_FIRSTCLIP && id <= CM_LASTCLIP) {
        CmPasteClip(id);
        return true;
      }
      return false;
  }
}
