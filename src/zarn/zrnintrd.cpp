#include "zarn/zrnintrd.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "host/host.h"
#include "store/zrnlvl.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

namespace {

const char* const kErrorCaption = "Error in Macro ";

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string Strip(const std::string& s, const char* chars) {
  const std::size_t a = s.find_first_not_of(chars);
  if (a == std::string::npos) return std::string();
  const std::size_t b = s.find_last_not_of(chars);
  return s.substr(a, b - a + 1);
}

std::string FormatLine(const char* fmt, long value) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, value);
  return buf;
}

}  // namespace

ZrnIntrpDlg::ZrnIntrpDlg(ZarnContext& ctx, std::vector<std::string>* instructions)
    : EditView(ctx.CurrentView),
      ZarnExe(std::make_unique<TZarnsZrnExe>(ctx)),
      InstrucPtr(instructions ? instructions : &ownList_),
      ctx_(ctx) {}

ZrnIntrpDlg::~ZrnIntrpDlg() = default;

int ZrnIntrpDlg::ContainsBranch(const std::string& line) {
  const std::size_t a = line.find_first_not_of(" \t");
  if (a == std::string::npos) return kPlainLine;
  std::size_t e = line.find_first_of(" \t", a);
  if (e == std::string::npos) e = line.size();
  const std::string w = Upper(line.substr(a, e - a));
  if (w == "IF") return kIf;
  if (w == "ELSE") return kElse;
  if (w == "FOR") return kFor;
  if (w == "WHILE") return kWhile;
  if (w == "ENDIF") return kEndIf;
  if (w == "ENDELSE") return kEndElse;
  if (w == "ENDFOR") return kEndFor;
  if (w == "ENDWHILE") return kEndWhile;
  if (w.compare(0, 3, "END") == 0) return kOtherEnd;
  return kPlainLine;
}

// The condition is the text after the line's keyword. (Looking for "IF"
// anywhere in the line would take "WHILE DIFF == 1" for an IF line.)
bool ZrnIntrpDlg::Check(const std::string& line) {
  const int code = ContainsBranch(line);
  if (code != kIf && code != kWhile) return false;
  const std::string copy = Upper(line);
  const std::size_t a = copy.find_first_not_of(" \t");
  std::size_t e = copy.find_first_of(" \t", a);
  const std::string cond = e == std::string::npos ? std::string() : copy.substr(e + 1);

  std::string left, right;
  const std::size_t eq = cond.find("==");
  if (eq != std::string::npos) {
    left = cond.substr(0, eq);
    right = cond.substr(eq + 2);
  } else {
    left = cond;
    right = cond.empty() ? std::string() : cond.substr(1);
  }
  auto operand = [this](std::string s) {
    s = Strip(s, " \t\r\n");
    std::string name = s, value;
    ZrnLvl1 store = ctx_.Store();
    // A value assigned on a document's last line carries the document's
    // final line break; it is no part of what the condition compares.
    if (!name.empty() && store.Get(name, value)) {
      while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
      return value;
    }
    return s;
  };
  return operand(left) == operand(right);
}

void ZrnIntrpDlg::GetForCount(const std::string& line, std::int32_t& start, std::int32_t& end) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size() && words.size() < 4) {
    const std::size_t a = line.find_first_not_of(" \t,.", i);
    if (a == std::string::npos) break;
    std::size_t e = line.find_first_of(" \t,.", a);
    if (e == std::string::npos) e = line.size();
    words.push_back(line.substr(a, e - a));
    i = e;
  }
  auto toInt = [](const std::string& s) {
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    return static_cast<std::int32_t>(v);
  };
  if (words.empty() || Upper(words[0]) != "FOR") {
    ctx_.GetHost().MessageBox("Error in FOR macro", "ERROR", MB_OK);
    return;
  }
  start = words.size() > 1 ? toInt(words[1]) : 0;
  if (words.size() < 3 || Upper(words[2]) != "TO") {
    ctx_.GetHost().MessageBox("Missing or misplaced TO in FOR macro", "ERROR", MB_OK);
    return;
  }
  end = words.size() > 3 ? toInt(words[3]) : 0;
}

void ZrnIntrpDlg::ResetItr(int line, std::size_t& iterator) const {
  iterator = line > 0 ? static_cast<std::size_t>(line - 1) : 0;
}

ZrnBlockRow* ZrnIntrpDlg::FindStart(int line) {
  for (ZrnBlockRow& r : Matrix)
    if (r.start == line) return &r;
  return nullptr;
}

ZrnBlockRow* ZrnIntrpDlg::FindEnd(int end) {
  for (ZrnBlockRow& r : Matrix)
    if (r.end == end) return &r;
  return nullptr;
}

void ZrnIntrpDlg::PopInstrucPtr(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t e = text.find("\r\n", at);
    if (e == std::string::npos) {
      InstrucPtr->push_back(text.substr(at));
      break;
    }
    InstrucPtr->push_back(text.substr(at, e - at));
    at = e + 2;
  }
}

void ZrnIntrpDlg::IdentifyZarn(pType mode) {
  TZarnsEditView* v = EditView;
  if (!v || !ZarnExe) return;
  const int remembered = v->ZarnTokInLine;
  for (;;) {
    const std::int32_t taken = mode == kCalculate ? ZarnExe->Calculator() : ZarnExe->ProcessZarns();
    if (taken == 2) RunSavedScript(ZarnExe->InstrTok);
    if (taken) return;
    --v->ZarnTokInLine;
    v->zarn = v->GetToken(0);
    if (v->ZarnTokInLine < 0) break;
  }
  v->ZarnTokInLine = remembered;
  ZarnExe->Match();
}

void ZrnIntrpDlg::ProcessZarns(TZarnsEditView& view) {
  ZarnContext& ctx = view.Context();
  ctx.CurrentView = &view;
  view.DoToken();
  ZrnIntrpDlg interp(ctx, &view.TokPtr);
  interp.IdentifyZarn(kAll);
}

// Inside a running script (Test Zarn or another saved script) a saved script
// continues in the same output document: the line that named it runs there,
// so that document is the current view. Only a saved script run straight
// from the editor opens an output document of its own.
void ZrnIntrpDlg::RunSavedScript(const std::string& stored) {
  if (ctx_.ScriptDepth >= kMaxScriptDepth) return;
  std::vector<std::string> lines = TZarnsZrnExe::SavedScriptLines(stored);
  if (lines.empty()) return;
  ZrnIntrpDlg interp(ctx_, &lines);
  interp.ShowListing = false;
  if (ctx_.ScriptDepth > 0) interp.ZarnExe->OutView = ctx_.CurrentView;
  interp.RunScript();
}

void ZrnIntrpDlg::RunScript() {
  // The lines as they were when the run started: the list may belong to a
  // view whose tables the run's own zarns recapture.
  const std::vector<std::string> lines = *InstrucPtr;
  if (!CheckStructure(lines)) {
    ctx_.GetHost().MessageBox(Error, kErrorCaption, MB_OK);
    return;
  }
  ListBlocks();
  if (ShowListing) ctx_.GetHost().MessageBox(Listing, "Instruction Matrix ", MB_OK);
  // Every script counts as a level, the top-level one included, so a saved
  // script that one of its lines names knows it runs inside a script.
  ++ctx_.ScriptDepth;
  ExecuteLines(lines);
  --ctx_.ScriptDepth;
  // The output document holds what the run wrote, and output.zrn with it:
  // saved, it is not a change the user is asked about on exit.
  if (ctx_.ScriptDepth == 0 && ZarnExe->OutView && ZarnExe->OutView == ctx_.OutputView) {
    if (!ctx_.SaveView(ctx_.OutputView))
      ctx_.GetHost().MessageBox("The script output could not be saved to \"output.zrn\".", "Zarns",
                                MB_OK);
  }
  if (ctx_.ScriptDepth == 0) ctx_.OutputView = nullptr;
}

// --- structure pass -------------------------------------------------------------

bool ZrnIntrpDlg::CheckStructure(const std::vector<std::string>& lines) {
  const int numLines = static_cast<int>(std::min<std::size_t>(lines.size(), INT32_MAX / 2));
  BCStack.clear();
  IStack.clear();
  Matrix.clear();
  Listing.clear();
  Error.clear();
  Executed = 0;
  int elseAllowed = -1;  // the line an ELSE may stand on: right after an ENDIF
  for (int L = 1; L <= numLines && Error.empty(); ++L)
    CheckLine(lines[static_cast<std::size_t>(L - 1)], L, elseAllowed);
  return Error.empty();
}

namespace {

std::uint32_t Pop(std::vector<std::uint32_t>& st) {
  if (st.empty()) return 0u;
  const std::uint32_t v = st.back();
  st.pop_back();
  return v;
}

}  // namespace

void ZrnIntrpDlg::AddBlock(const ZrnBlockRow& row, int L) {
  // More blocks than the matrix holds: the script is refused whole rather
  // than run with blocks it cannot find.
  if (Matrix.size() >= kMaxBlocks) {
    Error = FormatLine("Too many blocks in macro \nat line number %ld", L);
    return;
  }
  Matrix.push_back(row);
}

// BCStack holds the kinds of the open blocks (1 IF, 2 ELSE, 3 FOR, 4 WHILE),
// IStack their opening lines, a FOR's with its bounds beneath.
void ZrnIntrpDlg::CheckLine(const std::string& line, int L, int& elseAllowed) {
  const auto at = static_cast<std::uint32_t>(L);
  auto closes = [this](std::uint32_t kind) { return !BCStack.empty() && Pop(BCStack) == kind; };
  switch (ContainsBranch(line)) {
    case kIf:
      BCStack.push_back(1);
      IStack.push_back(at);
      break;
    case kElse:
      if (L == elseAllowed)
        BCStack.push_back(2);
      else
        Error = FormatLine("No if condition to match \nat line number %ld", L);
      IStack.push_back(at);
      break;
    case kFor: {
      BCStack.push_back(3);
      std::int32_t from = 0, to = 0;  // unread numbers count as 0
      GetForCount(line, from, to);
      IStack.push_back(static_cast<std::uint32_t>(to));
      IStack.push_back(static_cast<std::uint32_t>(from));
      IStack.push_back(at);
      break;
    }
    case kWhile:
      BCStack.push_back(4);
      IStack.push_back(at);
      break;
    case kEndIf:
      if (closes(1)) {
        elseAllowed = L + 1;
        const int s = static_cast<int>(Pop(IStack));
        AddBlock({0, s, 1, L + 1}, L);
      } else {
        Error = FormatLine("No if condition to end \nat line number %ld", L);
      }
      break;
    case kEndElse:
      if (closes(2)) {
        const int s = static_cast<int>(Pop(IStack));
        AddBlock({0, s, 2, L + 1}, L);
      } else {
        Error = FormatLine("No else condition to end \nat line number %ld", L);
      }
      break;
    case kEndFor:
      if (closes(3)) {
        const int s = static_cast<int>(Pop(IStack));
        const auto from = static_cast<std::int32_t>(Pop(IStack));
        const auto to = static_cast<std::int32_t>(Pop(IStack));
        AddBlock({to, s, from, L + 1}, L);
      } else {
        Error = FormatLine("No for condition to end \nat line number %ld", L);
      }
      break;
    case kEndWhile:
      if (closes(4)) {
        const int s = static_cast<int>(Pop(IStack));
        AddBlock({0, s, 4, L + 1}, L);
      } else {
        Error = FormatLine("No while condition to end \nat line number %ld", L);
      }
      break;
    default: break;
  }
}

// --- block listing --------------------------------------------------------------

void ZrnIntrpDlg::ListBlocks() {
  Listing.clear();
  for (const ZrnBlockRow& r : Matrix) {
    char row[128];
    std::snprintf(row, sizeof row, " linenum %d, condition %d, end %d\n", r.start, r.condition,
                  r.end);
    if (Listing.size() + std::char_traits<char>::length(row) > kMaxListing) break;
    Listing += row;
  }
}

// --- execution pass -------------------------------------------------------------

// Where the execution pass stands: the line L (from 1) with its iterator,
// and what the WHILE bound needs.
struct ZrnIntrpDlg::RunState {
  std::size_t it = 0;
  int L = 1;
  std::map<int, int> whilePasses;  // WHILE line -> passes of the current entry
  int backToWhile = -1;            // the WHILE line an ENDWHILE just sent us to
};

// A plain step counter bounds the run; a WHILE loop is left after
// kMaxWhilePasses passes, a FOR with a count below 1 (or no TO) skips its
// body, and a block left open runs to the end of the script.
void ZrnIntrpDlg::ExecuteLines(const std::vector<std::string>& lines) {
  const int numLines = static_cast<int>(std::min<std::size_t>(lines.size(), INT32_MAX / 2));
  BCStack.clear();  // from here on the counters of the FOR loops under way
  RunState st;
  ResetItr(1, st.it);
  long steps = 0;
  while (st.L >= 1 && st.L <= numLines) {
    if (++steps > kMaxSteps) {
      ctx_.GetHost().MessageBox(FormatLine("Macro stopped after %ld lines", kMaxSteps),
                                kErrorCaption, MB_OK);
      break;
    }
    if (!Step(lines[static_cast<std::size_t>(st.L - 1)], st)) break;
    ++st.it;
    ++st.L;
  }
}

bool ZrnIntrpDlg::Step(const std::string& line, RunState& st) {
  const int L = st.L;
  auto jump = [this, &st](int x) {  // continue with the line after line x
    ResetItr(x, st.it);
    st.L = x;
  };
  // Leaves the block that starts on line L; a block without a row (left
  // open) ends the run.
  auto skipBlock = [this, L, &jump]() {
    ZrnBlockRow* r = FindStart(L);
    if (!r) return false;
    jump(r->end - 1);
    return true;
  };
  switch (ContainsBranch(line)) {
    case kIf: {
      const bool ok = Check(line);
      if (ZrnBlockRow* r = FindStart(L)) r->condition = ok ? 1 : 0;
      return ok || skipBlock();
    }
    case kElse: {
      ZrnBlockRow* ifRow = FindEnd(L);
      return !(ifRow && ifRow->condition == 1) || skipBlock();
    }
    case kFor: {
      ZrnBlockRow* r = FindStart(L);
      if (!r) return true;
      if (r->count < 1)
        jump(r->end - 1);
      else
        BCStack.push_back(static_cast<std::uint32_t>(r->count));
      return true;
    }
    case kWhile: {
      int& passes = st.whilePasses[L];
      passes = st.backToWhile == L ? passes + 1 : 0;
      st.backToWhile = -1;
      if (!Check(line) || passes >= kMaxWhilePasses) return skipBlock();
      return true;
    }
    case kEndFor: {
      if (BCStack.empty()) return true;
      const std::uint32_t c = BCStack.back();
      BCStack.pop_back();
      if (c <= 1) return true;
      BCStack.push_back(c - 1);
      if (ZrnBlockRow* r = FindEnd(L + 1)) jump(r->start);
      return true;
    }
    case kEndWhile:
      if (ZrnBlockRow* r = FindEnd(L + 1)) {
        st.backToWhile = r->start;
        jump(r->start - 1);
      }
      return true;
    case kEndIf:
    case kEndElse: return true;
    default: ++Executed; return RunLine(line);
  }
}

// The line goes into the output document and, unless blank, runs there.
bool ZrnIntrpDlg::RunLine(const std::string& line) {
  TZarnsEditView* out = ZarnExe->Execute(line);
  if (!out) return false;
  if (!TZarnsZrnExe::RunsNothing(line)) ProcessZarns(*out);
  return true;
}
