// The view's commands: what the editor's menu items, accelerators and
// tool-bar buttons do to a view (run the zarn, Test Zarn, Save Zarn, the
// tool-bar built-ins, web lookups, Copy and the paste-menu items). Those
// that run the engine make their view the context's current view first: a
// command given to a view means that view is the one in use.
#pragma once
#include <string>

class TZarnsEditView;
class ZarnContext;

class ViewCommands {
 public:
  // Commands on `view` (in its own context); nothing is kept between calls.
  explicit ViewCommands(TZarnsEditView& view);

  // Captures the caret line and runs the identification loop on it.
  void ProcessZarns();
  void CmRunzarn() { ProcessZarns(); }
  // Runs the whole document as a script; false when its block structure was
  // refused (the error box was shown and nothing ran).
  bool CmTestzarn();
  // Stores the document (first line "zarn NAME") as the zarn NAME.
  void CmSavezarn();
  void CmSort();
  void CmInsertDate();
  void CmTime();
  void CmTimeReset();
  void CmPhone();
  void CmCalculate();
  void CmSearchword();
  void CmAtlas();
  void CmDictionary();
  void CmEncyc();
  void CmWeb();
  void CmSports();
  void CmScience();
  void CmArts();
  // The clip half of Copy (the GUI does the clipboard copy itself): the
  // selection (at most 9191 characters) joins the clip store. Returns the
  // paste-menu command id the clip got, or 0 when nothing was added (empty
  // selection, or the menu's 100 items are taken); `label` receives the menu
  // label (ClipLabel of the clip).
  int CmEditCopy(std::string* label = nullptr);
  // A paste-menu item: replaces the selection with clip (id - 10001), at most
  // 9095 characters. False when there is no such clip.
  bool CmPasteClip(int id);

  // Routes a command id of the view's table (Copy's clip half included; Paste
  // shows a menu and is the GUI's). Returns false for ids it does not answer.
  bool Command(int id);
  // Whether Command answers `id`.
  static bool HandlesCommand(int id);
  // The paste-menu label of a clip: its first 30 characters, line feeds
  // shown as blanks.
  static std::string ClipLabel(const std::string& clip);

 private:
  void WebLookup(int kind);
  // Makes the view current: what every command starts with.
  void Use();

  TZarnsEditView& view_;
  ZarnContext& ctx_;
};
