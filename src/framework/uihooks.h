// What the windows need of the application object, as hooks it installs at
// start-up, so that views and dialogs work (and are tested) without the
// main window being there.
#pragma once
#include <QString>
#include <functional>

class QWidget;

namespace uihooks {

// Opens `path` as a document in a new editor view (which gets the focus and
// so becomes the current view); false when it could not be opened. Without
// a hook installed nothing opens.
extern std::function<bool(const QString& path)> OpenDocument;

// The Preferences choice for a double click in the Find results list:
// 0 "Open File In Its Application", 1 "Open File in Zarns". Without a hook
// installed the choice is 0.
extern std::function<int()> ListDblClkAction;

// The main window: parent of the dialogs the program opens. Without a hook
// installed the active window is used.
extern std::function<QWidget*()> MainWindow;

// Shows the help topic of a command or dialog id (the Help buttons).
// Without a hook installed Help does nothing.
extern std::function<void(int topic)> ShowHelp;

// The parent for a dialog: the main window, else the active window.
QWidget* DialogParent();

}  // namespace uihooks
