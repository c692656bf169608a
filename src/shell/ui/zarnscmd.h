// The command table of the main window: ids, menu texts, accelerators,
// tool-bar gadgets and hint strings. Menus, tool bar, status bar, tool tips
// and context help are all built from these tables.
#pragma once
#include <QKeySequence>
#include <QString>
#include <vector>

namespace zcmd {

// Command ids. Command ids, tool-bar bitmap ids and hint-string ids coincide.
enum : int {
  CM_FILENEW = 24331,
  CM_FILEOPEN = 24332,
  CM_FILECLOSE = 24339,
  CM_FILESAVE = 24333,
  CM_FILESAVEAS = 24334,
  CM_FILEPRINTPREVIEW = 24340,
  CM_FILEPRINT = 24337,
  CM_FILEPRINTERSETUP = 24338,
  CM_FILESEND = 24345,
  CM_EXIT = 24310,
  CM_EDITUNDO = 24321,
  CM_EDITCUT = 24322,
  CM_EDITCOPY = 24323,
  CM_EDITPASTE = 24324,
  CM_EDITCLEAR = 24326,
  CM_EDITDELETE = 24325,
  CM_PREFERENCES = 284,
  CM_SEARCHWORD = 23,
  CM_FILEEXTENSIONS = 24222,
  CM_WORDCATALOGCREATE = 114,
  CM_WORDCATALOGDESTROY = 113,
  CM_WORDCATALOGRESCAN = 112,
  CM_EDITFIND = 24351,
  CM_EDITREPLACE = 24352,
  CM_EDITFINDNEXT = 24353,
  CM_TESTZARN = 14,
  CM_SAVEZARN = 11,
  CM_LOADZFILE = 10,
  CM_BROWSEZARNS = 285,
  CM_EXTRACTZARNS = 17,
  CM_RESETZARNS = 16,
  CM_USERFTYPES = 7,
  CM_SKED = 6,
  CM_CASCADECHILDREN = 24361,
  CM_TILECHILDREN = 24362,
  CM_ARRANGEICONS = 24364,
  CM_CLOSECHILDREN = 24365,
  CM_HELPCONTENTS = 2001,
  CM_DEBUG = 5,
  CM_HELPUSING = 2972,
  CM_HELPABOUT = 2009,
  CM_RUNZARN = 21,
  CM_ZARNFIND = 2922,
  CM_BROWSER = 27,
  CM_VANILLA = 291,
  CM_CALCULATE = 293,
  CM_SORT = 263,
  CM_INSERTDATE = 264,
  CM_TIME = 265,
  CM_TIMERESET = 266,
  CM_PHONE = 268,
  CM_ATLAS = 261,
  CM_DICTIONARY = 26,
  CM_ENCYC = 262,
  CM_ARTS = 270,
  CM_SCIENCE = 271,
  CM_SPORTS = 272,
  CM_WEB = 2923,
  CM_BRINDLE = 295,
  CM_CONTACT = 392,
  CM_SPEEDDIAL = 269,
  CM_CTRLD = 13,
  CM_CTRLM = 62713
};

// Resource ids of the main window.
enum : int {
  IDM_MAIN = 100,    // menu and accelerator table
  IDI_ZARNS = 1001,  // program icon
  IDI_DOC = 1002,    // document icon
  IDC_HELPCURSOR = 24000,
  IDW_TOOLBAR = 32041
};

// One entry of a menu: a command, a separator, or a popup with its items.
struct MenuItem {
  enum Kind { Command, Separator, Popup, RecentFiles } kind = Command;
  int id = 0;                   // command id for Command
  QString text;                 // as shown, with its & mnemonic and \t accelerator text
  std::vector<MenuItem> items;  // for Popup
};

// Menu resource 100: the top-level popups in order.
const std::vector<MenuItem>& MainMenu();

// One entry of accelerator table 100.
struct Accel {
  QKeySequence key;
  int id;
};
// Accelerator table 100, in table order.
const std::vector<Accel>& Accelerators();

// One gadget of the tool bar: a button (id != 0) or a separator (size).
struct Gadget {
  int id = 0;              // command id, 0 for a separator
  int separator = 0;       // separator size in pixels
  bool notServer = false;  // inserted only when not created for a server
};
// The tool bar's gadgets, in order.
const std::vector<Gadget>& Gadgets();

// The hint string of a command ("status text\ntool tip"); empty when it has none.
QString HintString(int id);
// The status-bar hint: the hint string up to its first line break.
QString StatusHint(int id);
// The menu text of a command as the main menu has it; empty when not on the menu.
QString MenuText(int id);
// A tool tip: the menu text without "&", accelerator text and trailing dots
// when the command is on the menu, else the hint string after its line break.
QString ToolTip(int id);
// A short name for the command (its tool tip, else its menu text cleaned),
// used as help-topic title.
QString CommandName(int id);
// Every command id of the menu, accelerators and tool bar, without repeats.
std::vector<int> AllCommands();

}  // namespace zcmd
