#include "zarn/zrnvexe.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "catalog/catnames.h"
#include "catalog/zrnfile.h"
#include "catalog/zwrdview.h"
#include "host/host.h"
#include "platform/pclock.h"
#include "platform/pfile.h"
#include "platform/plauncher.h"
#include "store/zrnedit.h"
#include "store/zrnlvl.h"
#include "zarn/zrnchain.h"
#include "zarn/zrnlvl2.h"
#include "zarn/zrnsedtv.h"

namespace {

ZrnSysTime NowRecord() {
  const plat::LocalTime t = plat::Now();
  ZrnSysTime r;
  r.wYear = static_cast<std::uint16_t>(t.year);
  r.wMonth = static_cast<std::uint16_t>(t.month);
  r.wDayOfWeek = static_cast<std::uint16_t>(t.dayOfWeek);
  r.wDay = static_cast<std::uint16_t>(t.day);
  r.wHour = static_cast<std::uint16_t>(t.hour);
  r.wMinute = static_cast<std::uint16_t>(t.minute);
  r.wSecond = static_cast<std::uint16_t>(t.second);
  r.wMilliseconds = static_cast<std::uint16_t>(t.milliseconds);
  return r;
}

void CopyClock(ZrnSysTime& to, const ZrnSysTime& from) {
  to.wHour = from.wHour;
  to.wMinute = from.wMinute;
  to.wSecond = from.wSecond;
  to.wMilliseconds = from.wMilliseconds;
}

// What a replayed line keeps: printable bytes and white space. Bytes above
// 127 are text in the user's encoding and stay.
std::string Printable(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    if (c >= 0x20 && c != 0x7F)
      out += static_cast<char>(c);
    else if (c == '\t')
      out += '\t';
  }
  return out;
}

bool IsBlank(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; }

}  // namespace

TZarnsZrnExe::TZarnsZrnExe(ZarnContext& ctx) : EditV(ctx.CurrentView), ctx_(ctx) {}

TZarnsZrnExe::~TZarnsZrnExe() = default;

int TZarnsZrnExe::translate(const std::string& w) {
  if (w == "=") return kEquals;
  if (w == "equals") return kEquals;
  if (w == "<<") return kInput;
  if (w == ">>") return kOutput;
  if (w == "date") return kDate;
  if (w == "time") return kTime;
  if (w == "+") return kPlus;
  if (w == "-") return kMinus;
  if (w == "*") return kMult;
  if (w == "/") return kDiv;
  if (w == "sort") return kSort;
  if (w == "phone") return kPhone;
  if (w == "sql") return kSQL;
  return kNotBuiltin;
}

std::int32_t TZarnsZrnExe::ProcessZarns() {
  if (!EditV) return 0;
  switch (translate(EditV->zarn)) {
    case kEquals: equals(); return 1;
    case kTime: time(); return 1;
    case kDate: date(); return 1;
    case kPlus:
    case kMinus:
    case kMult:
    case kDiv: Arith(translate(EditV->zarn)); return 1;
    case kSort: Sort(); return 1;
    case kInput: input(); return 1;
    case kOutput: output(); return 1;
    case kSQL: SQL(); return 1;
    case kPhone: Phone(); return 1;
    default: return CheckLevels();
  }
}

std::int32_t TZarnsZrnExe::Calculator() {
  if (!EditV) return 0;
  const int code = translate(EditV->zarn);
  switch (code) {
    case kEquals: equals(); return 1;
    case kPlus:
    case kMinus:
    case kMult:
    case kDiv: Arith(code); return 1;
    default: return 0;
  }
}

std::int32_t TZarnsZrnExe::CheckLevels() {
  // An empty word (a line without words) is nothing any level could name.
  if (!EditV || EditV->zarn.empty()) return 0;
  if (std::int32_t r = CheckLevel1()) return r;
  if (CheckLevel2()) return 1;
  if (CheckLevel3()) return 1;
  if (CheckLevel4()) return 1;
  if (CheckLevel5()) return 1;
  return 0;
}

std::int32_t TZarnsZrnExe::CheckLevel1() {
  if (!EditV || EditV->zarn.empty()) return 0;
  std::string value;
  ZrnLvl1 store = ctx_.Store();
  if (!store.Get(EditV->zarn, value)) return 0;
  if (value.find('\a') != std::string::npos) {
    InstrTok = value;
    return 2;
  }
  EditV->RemoveToken(0);
  EditV->InsertText(value + " ");
  ++EditV->NumTokens;
  return 1;
}

std::vector<std::string> TZarnsZrnExe::SavedScriptLines(const std::string& stored) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  const std::size_t b1 = stored.find('\a');
  if (b1 != std::string::npos) {
    const std::size_t b2 = stored.find('\a', b1 + 1);
    at = b2 == std::string::npos ? b1 + 1 : b2 + 1;
  }
  bool header = true;
  while (at <= stored.size()) {
    std::size_t e = stored.find("\r\n", at);
    const bool last = e == std::string::npos;
    if (last) e = stored.size();
    std::string line = stored.substr(at, e - at);
    if (!header && !(last && line.empty())) {
      if (line.size() > static_cast<std::size_t>(kZarnLineSize)) line.resize(kZarnLineSize);
      lines.push_back(line);
    }
    header = false;
    if (last) break;
    at = e + 2;
  }
  return lines;
}

bool TZarnsZrnExe::CheckLevel2() {
  ZrnLvl2 l2(ctx_);
  return l2.check();
}

bool TZarnsZrnExe::CheckLevel3() {
  if (!EditV || EditV->zarn.empty()) return false;
  // "6 x 7" must not offer report-week7.txt: a number names no file.
  if (IsNumberWord(EditV->zarn)) return false;
  ZrnFile found;
  found.ShortFileName = EditV->zarn;
  // Every word of a line comes here before the line turns into a search, so
  // the names are looked up in the mapped files rather than through a reader
  // that loads the catalog.
  const int n = ctx_.FileNames().Collect(found.ShortFileName, found);
  if (n == 0) return false;
  return WordView(ctx_.GetFiles(), ctx_.GetHost(), ctx_.GetHost()).OfferFileNames(&found, n);
}

void TZarnsZrnExe::Match() {
  if (!EditV) return;
  EditV->GetSearchText();
  std::string text = EditV->zarn.substr(0, 39);  // the search's 40-character buffer
  ShowMatchXfer xfer;
  if (!text.empty()) {
    const std::shared_ptr<WordView> reader = ctx_.CatalogReader();
    reader->FindName = text;
    reader->InterpretWords();
    xfer.ListOfMatches = reader->HitList;
  }
  xfer.MatchString = text;
  ctx_.GetHost().ShowMatchDialog(xfer);
}

// Each replayed line goes on a line of its own at the end of the output
// document and runs with the caret at its end, as a user types a zarn line
// and presses Alt+R. Blank lines are copied but run nothing.
TZarnsEditView* TZarnsZrnExe::Execute(const std::string& lineIn) {
  const std::string line = Printable(lineIn);
  std::int32_t& cp = ctx_.cp;
  // The output document still open while focus went elsewhere (a box the
  // run showed gave it back to the editor): the lines keep going there
  // rather than into another new document.
  if (OutView && OutView == ctx_.OutputView && OutView != ctx_.CurrentView)
    ctx_.CurrentView = OutView;
  if (!OutView || OutView != ctx_.CurrentView) {
    cp = 0;
    plat::FileSystem& fs = plat::Fs();
    plat::HANDLE h = fs.Open(kOutputDocName, plat::Access::Write, plat::Creation::CreateAlways);
    const long long wrote = plat::IsOpen(h) ? fs.Write(h, line.data(), line.size()) : -1;
    if (plat::IsOpen(h)) fs.Close(h);
    if (wrote != static_cast<long long>(line.size())) {
      // The script stops here; the user learns why nothing ran.
      ctx_.GetHost().MessageBox(
          "The script output \"output.zrn\" cannot be written in the current directory.",
          "Error in Macro ", MB_OK);
      return nullptr;
    }
    // The opened document is where the script's lines run from now on.
    TZarnsEditView* opened = ctx_.OpenView(kOutputDocName);
    if (!opened || !opened->Buffer()) return nullptr;
    OutView = opened;
    ctx_.CurrentView = opened;
    ctx_.OutputView = opened;
  } else {
    TextBuffer* b = OutView->Buffer();
    if (!b) return nullptr;
    const std::uint32_t len = b->GetTextLength();
    b->SetSelection(len, len);
    if (b->GetLineLength(b->GetNumLines() - 1) > 0) b->Insert("\r\n");
    b->Insert(line);
  }
  TextBuffer* b = OutView->Buffer();
  cp = static_cast<std::int32_t>(b->GetTextLength());
  b->SetSelection(static_cast<std::uint32_t>(cp), static_cast<std::uint32_t>(cp));
  return OutView;
}

bool TZarnsZrnExe::RunsNothing(const std::string& line) { return IsBlank(Printable(line)); }

// --- built-ins ------------------------------------------------------------------

// "name = value": the word before the zarn is the name; with no word before
// it there is no name and nothing is stored. Values are cut to what the
// store can keep. A name already stored gets the new definition. A number
// is refused: it could never be run, since numbers are read as numbers.
void TZarnsZrnExe::equals() {
  if (!EditV || EditV->ZarnTokInLine < 1) return;
  std::string name = EditV->GetToken(-1);
  if (IsNumberWord(name)) {
    ctx_.GetHost().MessageBox("\"" + name + "\" is a number and cannot be a zarn name.", "Zarns",
                              MB_OK);
    return;
  }
  std::string value = EditV->GetString(1);
  if (value.size() > ZrnLvl1::kMaxText) value.resize(ZrnLvl1::kMaxText);
  ZrnEdit edit(ctx_.GetFiles());
  const ZrnEdit::Result r = edit.Store(name, value);
  if (r == ZrnEdit::Result::kBusy || r == ZrnEdit::Result::kFailed)
    ctx_.GetHost().MessageBox("The zarn \"" + name + "\" could not be stored (" +
                                  plat::FileErrorText(edit.LastError()) + ").",
                              "Zarns", MB_OK);
}

// The value typed into the box replaces the "<<" word (with a blank after
// it, as every built-in leaves one); Cancel leaves the text as it was. So a
// script line "<<" asks for a value and writes it into the output, and
// "name = <<" becomes "name = VALUE" ready to be run as an assignment.
void TZarnsZrnExe::input() {
  std::optional<std::string> v = ctx_.GetHost().InputRequired("get a value", "Value Required");
  if (!v || !EditV) return;
  std::string text = *v;
  const std::size_t nl = text.find_first_of("\r\n");
  if (nl != std::string::npos) text.resize(nl);
  EditV->InsertOver(text + " ");
}

// The rest of the line after ">>" is written on a new line below it.
void TZarnsZrnExe::output() {
  if (!EditV || !EditV->Buffer()) return;
  const std::string text = EditV->GetStringToEOL(1);
  TextBuffer* b = EditV->Buffer();
  const int len = std::max(b->GetLineLengthAt(EditV->LineStart()), 0);
  const std::uint32_t end =
      std::min(EditV->LineStart() + static_cast<std::uint32_t>(len), b->GetTextLength());
  b->SetSelection(end, end);
  b->Insert("\r\n" + text);
}

void TZarnsZrnExe::plus() { Arith(kPlus); }
void TZarnsZrnExe::minus() { Arith(kMinus); }
void TZarnsZrnExe::mult() { Arith(kMult); }
void TZarnsZrnExe::div() { Arith(kDiv); }

void TZarnsZrnExe::Arith(int code) {
  if (!EditV) return;
  // A run with more than one operator is evaluated whole.
  if (RunArithmeticChain(*EditV)) return;
  double a = 0, b = 0;
  EditV->getdouble(a, b);
  double r = 0;
  switch (code) {
    case kPlus: r = a + b; break;
    case kMinus: r = a - b; break;
    case kMult: r = a * b; break;
    default: r = b == 0.0 ? 0.0 : a / b; break;
  }
  EditV->replacedouble(r);
}

// Stable: equal lines keep their order. std::string compares bytes as
// unsigned, so all upper-case letters sort before lower-case ones.
void TZarnsZrnExe::Sort() {
  TZarnsEditView* v = EditV;
  if (!v || !v->Buffer()) return;
  std::vector<std::string> lines;
  v->GetToCurrent(lines);
  if (lines.empty()) return;
  std::stable_sort(lines.begin(), lines.end());
  v->RemoveToCurrent();
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  v->Buffer()->SetSelection(0, 0);
  v->InsertText(text);
}

void TZarnsZrnExe::date() {
  if (!EditV) return;
  static const char* const kMonths[12] = {"January ",   "February ", "March ",    "April ",
                                          "May ",       "June ",     "July ",     "August ",
                                          "September ", "October ",  "November ", "December "};
  const plat::LocalTime t = plat::Now();
  const char* month = kMonths[std::clamp(t.month, 1, 12) - 1];
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%d, %d ", month, t.day, t.year);
  EditV->RemoveToken(0);
  EditV->InsertText(buf);
}

void TZarnsZrnExe::time() {
  if (!EditV) return;
  const ZrnSysTime now = NowRecord();
  char buf[128];
  std::int32_t& timeinterval = ctx_.timeinterval;
  if (timeinterval == 0) {
    CopyClock(ctx_.swstart, now);
    std::snprintf(buf, sizeof buf, "\r\n%02d:%02d:%02d \r\n", now.wHour, now.wMinute, now.wSecond);
    EditV->InsertText(buf);
  } else {
    if (timeinterval == 1) EditV->InsertText("Lap#   LapTime    CumulativeTime ");
    EditV->InsertText("\r\n");
    ZrnSysTime lap, cum;
    DifTime(now, ctx_.swlast, lap);
    DifTime(now, ctx_.swstart, cum);
    std::snprintf(buf, sizeof buf, "%02d   %02d:%02d:%02d:%04d   %02d:%02d:%02d:%04d ",
                  timeinterval % 100000, lap.wHour, lap.wMinute, lap.wSecond, lap.wMilliseconds,
                  cum.wHour, cum.wMinute, cum.wSecond, cum.wMilliseconds);
    EditV->InsertText(buf);
  }
  CopyClock(ctx_.swlast, now);
  ++timeinterval;
}

void TZarnsZrnExe::timereset() { ctx_.timeinterval = 0; }

void TZarnsZrnExe::DifTime(const ZrnSysTime& later, const ZrnSysTime& earlier, ZrnSysTime& result) {
  int ms = later.wMilliseconds, borrow = 0;
  if (earlier.wMilliseconds > later.wMilliseconds) borrow = 1000;
  result.wMilliseconds = static_cast<std::uint16_t>(ms + borrow - earlier.wMilliseconds);
  int c = borrow ? 1 : 0;
  borrow = earlier.wSecond + c > later.wSecond ? 60 : 0;
  result.wSecond = static_cast<std::uint16_t>(later.wSecond + borrow - (earlier.wSecond + c));
  c = borrow ? 1 : 0;
  borrow = earlier.wMinute + c > later.wMinute ? 60 : 0;
  result.wMinute = static_cast<std::uint16_t>(later.wMinute + borrow - (earlier.wMinute + c));
  c = borrow ? 1 : 0;
  const int h = static_cast<int>(later.wHour) - (static_cast<int>(earlier.wHour) + c);
  result.wHour = static_cast<std::uint16_t>(h < 0 || h > 23 ? 0 : h);
}

void TZarnsZrnExe::speedDial() {
  if (EditV) (void)EditV->GetToken(1);
}

void TZarnsZrnExe::Phone() {
  if (!EditV) return;
  std::string number = EditV->GetToken(1);
  if (number.empty()) number = EditV->GetToken(0);
  if (number.empty()) return;
  if (!plat::Launch().Dial(number))
    ctx_.GetHost().MessageBox(plat::LaunchFailedText("tel:" + number), "Zarns", MB_OK);
}
