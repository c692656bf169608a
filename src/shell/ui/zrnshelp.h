// The program's help window: a contents page, a page on using help and one
// topic per command id, shipped as pages inside the program.
#pragma once
#include <QString>
#include <QWidget>

class QTextBrowser;

// Makes the shell's icons and help pages available (they are linked from a
// static library, so nothing registers them by itself). Safe to call often.
void InitShellResources();
// Shows the contents page; true when the help window is up.
bool ShowHelpContents();
// Shows the page on using help.
bool ShowHelpUsing();
// Shows the topic of a command id (the contents when the id has none).
bool ShowHelpContext(int id);
// Closes the help window if it is open.
void QuitHelp();
// The help window, or null when it was never opened (for tests).
class TZarnsHelpWindow* HelpWindow();
// The resource path of the page for a command id ("" when there is none).
QString HelpTopicPath(int id);

class TZarnsHelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit TZarnsHelpWindow(QWidget* parent = nullptr);
  // Shows a page by resource path.
  void ShowPage(const QString& path);
  // The page shown.
  QString CurrentPage() const { return current_; }
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_ = nullptr;
  QString current_;
};
