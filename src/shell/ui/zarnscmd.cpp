#include "shell/ui/zarnscmd.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <functional>

namespace zcmd {

namespace {

MenuItem Cmd(int id, const char* text) {
  return {MenuItem::Command, id, QString::fromUtf8(text), {}};
}
MenuItem Sep() { return {MenuItem::Separator, 0, {}, {}}; }
MenuItem Pop(const char* text, std::vector<MenuItem> items) {
  return {MenuItem::Popup, 0, QString::fromUtf8(text), std::move(items)};
}

// Top-level mnemonics are chosen so that none is taken by an Alt accelerator
// (Alt+E, J, L, R, S, T): the accelerator would win and the menu could not
// be opened from the keyboard.
std::vector<MenuItem> BuildMenu() {
  return {
      Pop("&File", {Cmd(CM_FILENEW, "&New   (CTRL + N)"),
                    Cmd(CM_FILEOPEN, "&Open..."),
                    Cmd(CM_FILECLOSE, "&Close"),
                    Sep(),
                    Cmd(CM_FILESAVE, "&Save"),
                    Cmd(CM_FILESAVEAS, "Save &As..."),
                    Sep(),
                    Cmd(CM_FILEPRINTPREVIEW, "Print Pre&view..."),
                    Cmd(CM_FILEPRINT, "&Print..."),
                    Cmd(CM_FILEPRINTERSETUP, "P&rint Setup..."),
                    Sep(),
                    Cmd(CM_FILESEND, "Sen&d..."),
                    {MenuItem::RecentFiles, 0, {}, {}},
                    Sep(),
                    Cmd(CM_EXIT, "E&xit\tAlt+F4")}),
      Pop("E&dit",
          {Cmd(CM_EDITUNDO, "&Undo\tAlt+BkSp"), Sep(), Cmd(CM_EDITCUT, "Cu&t\tShift+Del"),
           Cmd(CM_EDITCOPY, "&Copy\tCtrl+C"), Cmd(CM_EDITPASTE, "&Paste\tShift+Ins"), Sep(),
           Cmd(CM_EDITCLEAR, "Clear &All\tCtrl+Del"), Cmd(CM_EDITDELETE, "&Delete\tDel"), Sep(),
           Cmd(CM_PREFERENCES, "P&references\tCtrl+R")}),
      Pop("Sear&ch", {Cmd(CM_SEARCHWORD, "My Computer     (CTRL + Enter)"),
                      Cmd(CM_FILEEXTENSIONS, "File &Types         (CTRL + T)"),
                      Pop("&Word Catalog", {Cmd(CM_WORDCATALOGCREATE, "&Create"),
                                            Cmd(CM_WORDCATALOGDESTROY, "&Destroy"),
                                            Cmd(CM_WORDCATALOGRESCAN, "Re&Scan")}),
                      Sep(), Cmd(CM_EDITFIND, "&Find...            (CTRL + F)"),
                      Cmd(CM_EDITREPLACE, "&Replace..."), Cmd(CM_EDITFINDNEXT, "&Next\tF3")}),
      Pop("&Advanced",
          {Cmd(CM_TESTZARN, "&Test Zarn"), Cmd(CM_SAVEZARN, "&Save Zarn"), Sep(),
           Cmd(CM_LOADZFILE, "&Load From File"), Cmd(CM_BROWSEZARNS, "&Browse Zarns"),
           Cmd(CM_EXTRACTZARNS, "&Extract Zarns"), Sep(), Cmd(CM_RESETZARNS, "&Reset Zarns"), Sep(),
           Pop("&Options", {Cmd(CM_USERFTYPES, "&File types to catalog"),
                            Cmd(CM_SKED, "&Schedule Cataloging")})}),
      Pop("&Window", {Cmd(CM_CASCADECHILDREN, "&Cascade"), Cmd(CM_TILECHILDREN, "&Tile"),
                      Cmd(CM_ARRANGEICONS, "Arrange &Icons"), Cmd(CM_CLOSECHILDREN, "C&lose All")}),
      Pop("&Help", {Cmd(CM_HELPCONTENTS, "&Contents"), Cmd(CM_DEBUG, "&Sys Info"),
                    Cmd(CM_HELPUSING, "&Using help"), Sep(), Cmd(CM_HELPABOUT, "&About...")}),
  };
}

QKeySequence K(QKeyCombination key) { return QKeySequence(key); }

const QHash<int, QString>& Hints() {
  static const QHash<int, QString> h = {
      {CM_FILENEW, "Creates a new document"},
      {CM_FILEOPEN, "Opens an existing document"},
      {CM_FILECLOSE, "Closes the active document"},
      {CM_FILESAVE, "Saves the active document"},
      {CM_FILESAVEAS, "Saves the active document with a new name"},
      {CM_FILEPRINTPREVIEW, "Displays full pages as read-only"},
      {CM_FILEPRINT, "Prints the active document"},
      {CM_FILEPRINTERSETUP, "Sets print characteristics for the active document"},
      {CM_FILESEND, "Sends the active document using electronic mail"},
      {CM_EXIT, "Quits Zarns and prompts to save the documents"},
      {CM_EDITUNDO, "Reverses the last operation"},
      {CM_EDITCUT, "Cuts the selection and puts it on the Clipboard"},
      {CM_EDITCOPY, "Copies the selection and puts it on the Clipboard"},
      {CM_EDITPASTE, "Inserts the Clipboard contents at the insertion point"},
      {CM_EDITCLEAR, "Clears the active document"},
      {CM_EDITDELETE, "Deletes the selection"},
      {CM_PREFERENCES, "Set User Preferences"},
      {CM_FILEEXTENSIONS,
       "File Type Viewer\nView different categories of file types, Audio, Video, Text, etc."},
      {CM_EDITFIND, "Finds the specified text"},
      {CM_EDITREPLACE, "Finds the specified text and changes it"},
      {CM_EDITFINDNEXT, "Finds the next match"},
      {CM_SKED, "Specify when to update your Zarns catalog"},
      {CM_CASCADECHILDREN, "Cascades open windows"},
      {CM_TILECHILDREN, "Tiles open windows"},
      {CM_ARRANGEICONS, "Arranges iconic windows along bottom"},
      {CM_CLOSECHILDREN, "Closes all open windows"},
      {CM_HELPCONTENTS, "Help table of contents"},
      {CM_HELPUSING, "Help on using online Help"},
      {CM_HELPABOUT, "About the Zarns application"},
      {CM_RUNZARN, "Run Zarn\nExecute! the zarn, refer to manual"},
      {CM_ZARNFIND, "Zarn Find\nLookup, search inside files"},
      {CM_BROWSER, "Browser\nBrowser, view additional Zarns"},
      {CM_VANILLA, "Convert to Text\nConvert any document to plain text"},
      {CM_CALCULATE, "Calculator\nCalculator, Enter the expression, then click here"},
      {CM_SORT, "Sort\nmake a list, click here to sort it"},
      {CM_INSERTDATE, "Insert Date\nInsert today's date"},
      {CM_TIME, "Insert Time\nInsert the time, start\\lap click the stopwatch"},
      {CM_TIMERESET, "Reset Stopwatch\nReset the stopwatch"},
      {CM_PHONE, "Phone\ncursor to a phone number, click to dial, modem required"},
      {CM_ATLAS, "Atlas\nAtlas, Enter City name, Internet required"},
      {CM_DICTIONARY, "Dictionary\nDictionary, cursor on word, Internet required"},
      {CM_ENCYC, "Encyclopedia\nEncyclopedia, cursor on word, Internet required"},
      {CM_ARTS, "Web Search Arts\nFilm&TV Search, cursor on word, Internet required"},
      {CM_SCIENCE, "Web Search Science\nScience Search, cursor on word, Internet required"},
      {CM_SPORTS, "Web Search Sports\nSports Search, cursor on word, Internet required"},
      {CM_WEB, "Web Search\nWeb Search, cursor on word, Internet required"},
      {CM_BRINDLE, "Brindle Website\nExtended Help, Brindle Website, Internet access required"},
      {CM_CONTACT, "Contacts\nShow people and organizations listed as contacts"},
      {CM_SPEEDDIAL, "Speed Dial\nSpeed Dial, frequent telephone numbers"},
  };
  return h;
}

void CollectMenuTexts(const std::vector<MenuItem>& items, QHash<int, QString>& out) {
  for (const auto& m : items) {
    if (m.kind == MenuItem::Command)
      out.insert(m.id, m.text);
    else if (m.kind == MenuItem::Popup)
      CollectMenuTexts(m.items, out);
  }
}

const QHash<int, QString>& MenuTexts() {
  static const QHash<int, QString> t = [] {
    QHash<int, QString> out;
    CollectMenuTexts(MainMenu(), out);
    return out;
  }();
  return t;
}

}  // namespace

const std::vector<MenuItem>& MainMenu() {
  static const std::vector<MenuItem> menu = BuildMenu();
  return menu;
}

const std::vector<Accel>& Accelerators() {
  static const std::vector<Accel> table = {
      {K(Qt::SHIFT | Qt::Key_Delete), CM_EDITCUT},
      {K(Qt::SHIFT | Qt::Key_Insert), CM_EDITPASTE},
      {K(Qt::CTRL | Qt::Key_Delete), CM_EDITCLEAR},
      {K(Qt::ALT | Qt::Key_Backspace), CM_EDITUNDO},
      {K(Qt::Key_F3), CM_EDITFINDNEXT},
      {K(Qt::CTRL | Qt::Key_Return), CM_SEARCHWORD},
      {K(Qt::CTRL | Qt::Key_F12), CM_WORDCATALOGCREATE},
      {K(Qt::CTRL | Qt::Key_N), CM_FILENEW},
      {K(Qt::CTRL | Qt::Key_C), CM_EDITCOPY},
      {K(Qt::CTRL | Qt::Key_V), CM_EDITPASTE},
      {K(Qt::ALT | Qt::Key_J), CM_CONTACT},
      {K(Qt::CTRL | Qt::Key_B), CM_BROWSEZARNS},
      {K(Qt::CTRL | Qt::Key_M), CM_CTRLM},
      {K(Qt::ALT | Qt::Key_E), CM_EXTRACTZARNS},
      {K(Qt::ALT | Qt::Key_R), CM_RUNZARN},
      {K(Qt::ALT | Qt::Key_L), CM_LOADZFILE},
      {K(Qt::ALT | Qt::Key_S), CM_SAVEZARN},
      {K(Qt::ALT | Qt::Key_T), CM_TESTZARN},
      {K(Qt::CTRL | Qt::Key_T), CM_FILEEXTENSIONS},
      {K(Qt::CTRL | Qt::Key_D), CM_CTRLD},
      {K(Qt::CTRL | Qt::Key_R), CM_PREFERENCES},
  };
  return table;
}

const std::vector<Gadget>& Gadgets() {
  static const std::vector<Gadget> g = {
      {CM_FILENEW, 0, true},   {CM_FILEOPEN, 0, true},
      {CM_FILESAVE, 0, true},  {0, 6, true},
      {CM_EDITCOPY, 0, false}, {CM_EDITUNDO, 0, false},
      {0, 6, false},           {CM_RUNZARN, 0, false},
      {CM_ZARNFIND, 0, false}, {CM_FILEEXTENSIONS, 0, false},
      {CM_BROWSER, 0, false},  {CM_VANILLA, 0, false},
      {0, 10, false},          {CM_CALCULATE, 0, false},
      {CM_SORT, 0, false},     {CM_INSERTDATE, 0, false},
      {CM_TIME, 0, false},     {CM_TIMERESET, 0, false},
      {CM_PHONE, 0, false},    {0, 10, false},
      {CM_ATLAS, 0, false},    {CM_DICTIONARY, 0, false},
      {CM_ENCYC, 0, false},    {CM_ARTS, 0, false},
      {CM_SCIENCE, 0, false},  {CM_SPORTS, 0, false},
      {CM_WEB, 0, false},      {0, 25, true},
      {CM_FILEPRINT, 0, true}, {CM_FILEPRINTPREVIEW, 0, true},
      {0, 25, false},          {CM_HELPCONTENTS, 0, false},
      {CM_BRINDLE, 0, false},
  };
  return g;
}

QString HintString(int id) { return Hints().value(id); }

QString StatusHint(int id) { return HintString(id).section(QLatin1Char('\n'), 0, 0); }

QString MenuText(int id) { return MenuTexts().value(id); }

QString ToolTip(int id) {
  QString text = MenuText(id);
  if (text.isEmpty()) {
    const QString hint = HintString(id);
    const int nl = hint.indexOf(QLatin1Char('\n'));
    return nl < 0 ? QString() : hint.mid(nl + 1);
  }
  // Accelerator text: after a tab, or a "(CTRL + ...)" note written into the item.
  text = text.section(QLatin1Char('\t'), 0, 0);
  static const QRegularExpression ctrlNote(QStringLiteral("\\s*\\(CTRL \\+ [^)]*\\)\\s*$"));
  text.remove(ctrlNote);
  text.remove(QLatin1Char('&'));
  text = text.trimmed();
  while (text.endsWith(QLatin1Char('.'))) text.chop(1);
  return text.trimmed();
}

QString CommandName(int id) {
  if (!MenuText(id).isEmpty()) return ToolTip(id);
  const QString status = StatusHint(id);
  if (!status.isEmpty() && HintString(id).contains(QLatin1Char('\n'))) return status;
  switch (id) {
    case CM_CTRLD: return QStringLiteral("Ctrl+D");
    case CM_CTRLM: return QStringLiteral("Ctrl+M");
    default: return status.isEmpty() ? QString::number(id) : status;
  }
}

std::vector<int> AllCommands() {
  std::vector<int> ids;
  auto add = [&](int id) {
    if (id != 0 && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  };
  std::function<void(const std::vector<MenuItem>&)> walk = [&](const std::vector<MenuItem>& items) {
    for (const auto& m : items) {
      if (m.kind == MenuItem::Command)
        add(m.id);
      else if (m.kind == MenuItem::Popup)
        walk(m.items);
    }
  };
  walk(MainMenu());
  for (const auto& a : Accelerators()) add(a.id);
  for (const auto& g : Gadgets()) add(g.id);
  add(CM_SPEEDDIAL);
  return ids;
}

}  // namespace zcmd
