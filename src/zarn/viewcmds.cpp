#include "zarn/viewcmds.h"
#include "platform/plauncher.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/zrnfile.h"
#include "host/host.h"
#include "store/zrnedit.h"
#include "store/zrnlvl.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnintrd.h"
#include "zarn/zrnsedtv.h"
#include "zarn/zrnvexe.h"

namespace {

constexpr const char* kAppName = "Zarns";
// Longest selection a clip keeps, and longest clip text a paste inserts.
constexpr std::size_t kMaxClipCopy = 9191;
constexpr std::size_t kMaxClipPaste = 9095;
constexpr std::size_t kClipLabel = 30;

}  // namespace

ViewCommands::ViewCommands(TZarnsEditView& view) : view_(view), ctx_(view.Context()) {}

void ViewCommands::Use() { ctx_.CurrentView = &view_; }

void ViewCommands::ProcessZarns() { ZrnIntrpDlg::ProcessZarns(view_); }

// Test Zarn (Alt+T): the document's lines become the script, read as far
// as the first line longer than 79 characters.
bool ViewCommands::CmTestzarn() {
  TextBuffer* buf = view_.Buffer();
  if (!buf) return false;
  Use();
  std::vector<std::string>& lines = view_.TokPtr;
  lines.clear();
  const int count = buf->GetNumLines();
  for (int n = 0; n < count; ++n) {
    std::string line;
    buf->GetLine(n, kZarnLineSize + 1, line);
    if (line.size() > static_cast<std::size_t>(kZarnLineSize)) line.resize(kZarnLineSize);
    const bool fits = buf->GetLineLength(n) < kZarnLineSize;
    lines.push_back(line);
    if (!fits) break;
  }
  ZrnIntrpDlg interp(ctx_, &view_.TokPtr);
  interp.RunScript();
  return interp.Error.empty();
}

// Save Zarn (Alt+S).
void ViewCommands::CmSavezarn() {
  Use();
  view_.DoToken();
  if (view_.GetToken(0) != "zarn") {
    ctx_.GetHost().MessageBox("Loading zarn must begin\r\nfirst line:\r\n zarn zarnname", kAppName,
                              MB_OK);
    return;
  }
  std::string name = view_.GetToken(1);
  std::string value = std::string("\a") + name + "\a" + view_.GetString(1);
  // The store refuses what it cannot keep whole (a bad name, a text of 4096
  // bytes or more) or files it cannot write; the user hears the one real
  // cause rather than losing the script quietly. Saving under a stored name
  // replaces that zarn's script.
  ZrnEdit edit(ctx_.GetFiles());
  const ZrnEdit::Result r = edit.Store(name, value);
  if (r != ZrnEdit::Result::kDone)
    ctx_.GetHost().MessageBox(
        std::string("The zarn could not be saved: ") + StoreErrorText(edit.LastStoreError()) + ".",
        kAppName, MB_OK);
}

void ViewCommands::CmSort() {
  Use();
  view_.DoToken();
  TZarnsZrnExe(ctx_).Sort();
}

void ViewCommands::CmInsertDate() {
  Use();
  view_.DoToken();
  TZarnsZrnExe(ctx_).date();
}

void ViewCommands::CmTime() {
  Use();
  TZarnsZrnExe(ctx_).time();
}

void ViewCommands::CmTimeReset() {
  Use();
  TZarnsZrnExe(ctx_).timereset();
}

void ViewCommands::CmPhone() {
  Use();
  view_.DoToken();
  TZarnsZrnExe(ctx_).Phone();
}

void ViewCommands::CmCalculate() {
  Use();
  view_.DoToken();
  ZrnIntrpDlg interp(ctx_);
  interp.IdentifyZarn(kCalculate);
}

void ViewCommands::CmSearchword() {
  Use();
  view_.GetSearchText();
  TZarnsZrnExe(ctx_).Match();
}

void ViewCommands::WebLookup(int kind) {
  Use();
  view_.GetSearchText();
  ZrnFile f;
  if (!f.ShellURL(view_.zarn.c_str(), kind))
    ctx_.GetHost().MessageBox(plat::LaunchFailedText(ZrnFile::BuildURL(view_.zarn.c_str(), kind)),
                              kAppName, MB_OK);
}

void ViewCommands::CmAtlas() { WebLookup(WebAtlas); }
void ViewCommands::CmDictionary() { WebLookup(WebDictionary); }
void ViewCommands::CmEncyc() { WebLookup(WebEncyclopedia); }
void ViewCommands::CmWeb() { WebLookup(WebSearch); }
void ViewCommands::CmSports() { WebLookup(WebSports); }
void ViewCommands::CmScience() { WebLookup(WebScience); }
void ViewCommands::CmArts() { WebLookup(WebArts); }

// The paste menu has the items 10001 to 10100; once they are taken further
// copies still reach the clipboard (the GUI's half) but not the clip store,
// so every clip keeps a working item.
int ViewCommands::CmEditCopy(std::string* label) {
  TextBuffer* buf = view_.Buffer();
  if (!buf) return 0;
  std::uint32_t s = 0, e = 0;
  buf->GetSelection(s, e);
  if (e < s) std::swap(s, e);
  if (s == e || ctx_.NumClips > CM_LASTCLIP) return 0;
  const std::string text = buf->GetSubText(s, std::min<std::uint32_t>(e, s + kMaxClipCopy));
  if (text.empty()) return 0;
  ctx_.Clips.AddClip(text);
  if (label) *label = ClipLabel(text);
  return ctx_.NumClips++;
}

bool ViewCommands::CmPasteClip(int id) {
  TextBuffer* buf = view_.Buffer();
  if (!buf || id < CM_FIRSTCLIP || id > CM_LASTCLIP) return false;
  std::string clip;
  if (!ctx_.Clips.GetClip(id - CM_FIRSTCLIP, clip)) return false;
  if (clip.size() > kMaxClipPaste) clip.resize(kMaxClipPaste);
  buf->Insert(clip);
  return true;
}

std::string ViewCommands::ClipLabel(const std::string& clip) {
  std::string label = clip.substr(0, kClipLabel);
  std::replace(label.begin(), label.end(), '\n', ' ');
  return label;
}

bool ViewCommands::HandlesCommand(int id) {
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

bool ViewCommands::Command(int id) {
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
