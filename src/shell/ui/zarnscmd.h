// The command table of the main window: ids, menu texts, accelerators,
// tool-bar gadgets and hint strings. Menus, tool bar, status bar, tool tips
// and context help are all built from these tables.
#pragma once
#include <QKeySequence>
#include <QString>
#include <vector>

#include "zarn/cmdids.h"

namespace zcmd {

// The command ids, by their names here too (zcmd::CM_FILENEW).
using enum CommandId;

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
