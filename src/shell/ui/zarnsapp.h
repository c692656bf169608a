// The program: the application object with its start-up and shut-down, the
// main window (MDI frame with menu, accelerators, tool bar and status bar),
// command routing and enabling, help, drag and drop, recent files, Send,
// and the registration of the document type.
#pragma once
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zarn/zarnctx.h"

class QAction;
class QCursor;
class QLabel;
class QMenu;
class QToolBar;
class TZarnsMDIClient;
class TZarnsMDIChild;
namespace zui {
class TZarnsEditView;
}

// The main frame window: the parent of every dialog the shell opens; null
// before the main window exists and after it is gone.
extern QMainWindow* MainWin;

// Opens `path` as a document in a new editor view, which becomes the current
// view; false when there is no main window or the file cannot be read.
bool OpenDocumentInNewView(const QString& path);

// Shown at start-up when the catalog files do not all open, with the caption
// "No Zarns Catalog Exists, Create Now or Schedule later?" and no parent.
// Replaceable (tests observe the prompt through it).
extern std::function<void(const QString& caption)> CatalogPrompt;
// The cataloging dialog of the menu commands (no caption), parent MainWin.
extern std::function<void(QWidget* parent)> CatalogDialog;
// The file dialogs of Open and Save As (replaceable for tests): Open returns
// the files chosen, Save As the new name (empty when cancelled).
extern std::function<QStringList()> OpenFilesDialog;
extern std::function<QString(const QString& suggested)> SaveAsDialog;

// The main frame: takes dropped files and asks the application before closing.
class TZarnsFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit TZarnsFrame(class TZarnsApp* app);
  // Opens the dropped files (the same as files dropped on the MDI client).
  void EvDropFiles(const QStringList& files);

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  TZarnsApp* app_;
};

// The application is the engine's view opener: a script's output document
// opens in a new document window.
class TZarnsApp : public QObject, private ViewOpener {
  Q_OBJECT
 public:
  // Start-up up to the main window: recent files, shared objects, the catalog check.
  explicit TZarnsApp(const QStringList& args = {});
  // Deletes the shared objects (printer, mail sender, clips, file set).
  ~TZarnsApp() override;

  // The running application object, or null.
  static TZarnsApp* Instance();

  // InitInstance, then the event loop; returns the exit status.
  int Run();
  // Builds and shows the main window, then processes the command line.
  void InitInstance();
  // Builds the main window (frame, client, menu, accelerators, tool bar, status bar).
  void InitMainWindow();
  // Asks every document whether it may close (changed ones prompt to save);
  // closes the help window when the program may close.
  bool CanClose();

  // --- command line and registration ---------------------------------------
  // Looks for the unregister option; unregisters when found, else registers.
  // Returns true when it unregistered.
  static bool ProcessCmdLine(const std::string& cmdLine);
  // True when `cmdLine` holds the unregister option (the parse alone).
  static bool HasUnregisterOption(const std::string& cmdLine);
  // Writes the document-type keys, the desktop entry and the ".zxt" MIME type.
  static void RegisterInfo();
  // Removes them again.
  static void UnRegisterInfo();
  // Paths of the desktop integration files under $XDG_DATA_HOME.
  static QString DesktopEntryPath();
  static QString MimePackagePath();

  // --- main window parts ----------------------------------------------------
  void SetupSpeedBar(QMainWindow* frame);
  QToolBar* CreateGadgets(QToolBar* bar, bool server);
  QToolBar* ToolBar() const { return ApxHarbor; }
  TZarnsMDIClient* Client() const { return MdiClient; }
  // The action of a command id (menu item and tool-bar button share it).
  QAction* Action(int id) const;
  QMenu* RecentMenuAnchor() const { return fileMenu_; }

  // --- commands ---------------------------------------------------------------
  // Runs a command through the chain: focused view, document window, MDI
  // client, frame, application. In context-help mode shows its help instead.
  // Returns true when some window answered it.
  bool Command(int id);
  // Whether some window of the chain answers `id`.
  bool IsCommandEnabled(int id);
  // Enables every menu item and tool-bar button by IsCommandEnabled.
  void UpdateCommandStates();
  // The editor view that commands go to first, or null.
  zui::TZarnsEditView* ActiveView() const;
  // The active document window, or null.
  TZarnsMDIChild* ActiveChild() const;

  // --- documents --------------------------------------------------------------
  // Opens each file in order (files that cannot be opened are skipped).
  void AddFiles(const QStringList& files);
  // Opens one file in a new editor window; false when it cannot be read.
  bool AddFile(const QString& path);
  // A new empty document.
  TZarnsMDIChild* NewDocument();
  // Asks for a name to save under (the Save As dialog).
  static QString AskSaveName(const QString& suggested);
  // The engine context of the program's editor views.
  ZarnContext& Zarn() { return *zarn_; }

  // --- recent files (Zarns.ini, section MRU) ---------------------------------
  static constexpr int kMaxRecent = 8;
  QStringList RecentFiles() const;
  void AddRecentFile(const QString& path);
  // Opens entry `index` (0 = the most recent).
  void CmFileSelected(int index);

  // --- context help -------------------------------------------------------------
  bool InContextHelp() const { return ContextHelp; }

  // Fields.
  bool HelpState = false;
  bool ContextHelp = false;
  QCursor* HelpCursor = nullptr;
  QToolBar* ApxHarbor = nullptr;
  TZarnsMDIClient* MdiClient = nullptr;
  void* Printer = nullptr;
  int Printing = 0;
  struct MailSender* ApxMail = nullptr;

 protected:
  // Context help and accelerators, before normal event handling.
  bool eventFilter(QObject* obj, QEvent* ev) override;

 private:
  bool ProcessAppMsg(QObject* obj, QEvent* ev);
  bool AppHandles(int id) const;
  bool AppCommand(int id);
  void RebuildRecentMenu();
  void EnterContextHelp();
  void LeaveContextHelp();
  void UpdateIndicators();
  void PlaceChild(TZarnsMDIChild* child);
  // Opens one file in a new editor window and returns its view; null when
  // it cannot be read.
  zui::TZarnsEditView* OpenInNewView(const QString& path);
  ::TZarnsEditView* OpenView(const std::string& path) override;
  void RebuildWindowList(QMenu* menu);

  // Application command handlers.
  void CmFileNew();
  void CmFileOpen();
  void CmFileSend();
  bool CeFileSend();
  void CmPreferences();
  void CmSearchWord();
  void CmWordCatalogCreate();
  void CmSked();
  void CmLoadzfile();
  void CmResetzarns();
  void CmHelpContents();
  void CmHelpUsing();
  void CmHelpAbout();
  void CmDebug();
  void CmBrindle();

  QStringList args_;
  TZarnsFrame* frame_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QAction* recentAnchor_ = nullptr;  // the separator before Exit
  std::vector<QAction*> recentActions_;
  std::map<int, QAction*> actions_;
  QLabel* caps_ = nullptr;
  QLabel* num_ = nullptr;
  QLabel* scrl_ = nullptr;
  QString mailDir_;
  std::unique_ptr<ZarnContext> zarn_;
};

// Starts the program and returns its exit status.
int RunZarnsApp(int argc, char** argv);
