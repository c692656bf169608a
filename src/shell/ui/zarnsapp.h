// The program: the application object with its start-up and shut-down, the
// main window (MDI frame with menu, accelerators, tool bar and status bar),
// command routing and enabling, help, drag and drop, and Send.
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

#include "shell/ui/zrnsmdi1.h"
#include "zarn/zarnctx.h"

class Host;
class QtHost;
class ZrnIO;
class QAction;
class QCursor;
class QPlainTextEdit;
class QMenu;
class QToolBar;
class RecentFiles;
class ZrnPrinter;
class ZrnSked;
class StatusIndicators;
class TZarnsMDIClient;
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
// Replaceable (tests observe the prompt through it); "Now" builds the
// catalog of `files`.
extern std::function<void(ZrnIO& files, const QString& caption)> CatalogPrompt;
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
class TZarnsApp : public QObject, public DocumentSite, private ViewOpener {
  Q_OBJECT
 public:
  // Start-up up to the main window: recent files, shared objects, the catalog
  // check. The program's questions go to `host` when one is given (not
  // owned; tests pass a recording one), else to the program's Qt dialogs.
  explicit TZarnsApp(const QStringList& args = {}, Host* host = nullptr);
  // Deletes the shared objects (printer, mail sender, clips, file set).
  ~TZarnsApp() override;

  // The running application object, or null.
  static TZarnsApp* Instance();

  // The program's data file set and the host its windows ask through.
  ZrnIO& DataFiles() const { return *files_; }
  Host& AppHost() const { return *host_; }

  // InitInstance, then the event loop; returns the exit status.
  int Run();
  // Builds and shows the main window, then processes the command line.
  void InitInstance();
  // Builds the main window (frame, client, menu, accelerators, tool bar, status bar).
  void InitMainWindow();
  // Asks every document whether it may close (changed ones prompt to save);
  // closes the help window when the program may close.
  bool CanClose();

  // --- command line ----------------------------------------------------------
  // Registers the document type with the desktop, or unregisters it when
  // `options` hold the unregister option. Returns true when it unregistered.
  static bool ProcessCmdLine(const std::string& options);

  // --- main window parts ----------------------------------------------------
  void SetupSpeedBar(QMainWindow* frame);
  QToolBar* CreateGadgets(QToolBar* bar, bool server);
  QToolBar* ToolBar() const { return ApxHarbor; }
  TZarnsMDIClient* Client() const { return MdiClient; }
  // The action of a command id (menu item and tool-bar button share it).
  QAction* Action(int id) const;
  // The File menu, which lists the recent files before Exit.
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
  // The active document's editor, or null.
  QPlainTextEdit* ActiveEditor() const override;
  // The main frame, or null before it is built.
  QWidget* MainWindow() const override;
  // The program's questions and errors.
  MessageHost& Messages() override;

  // --- documents --------------------------------------------------------------
  // Opens each file in order (files that cannot be opened are skipped).
  void AddFiles(const QStringList& files);
  // Opens one file in a new editor window; false when it cannot be read.
  bool AddFile(const QString& path);
  // A new empty document.
  TZarnsMDIChild* NewDocument();
  // Asks for a name to save under (the Save As dialog); empty when cancelled.
  QString AskSaveName(const QString& suggested) override;
  // The engine context of the program's editor views.
  ZarnContext& Zarn() { return *zarn_; }

  // --- recent files -------------------------------------------------------------
  RecentFiles& Recent() const { return *recent_; }
  // Opens entry `index` of the recent files (0 = the most recent).
  void CmFileSelected(int index);

  // --- context help -------------------------------------------------------------
  bool InContextHelp() const { return ContextHelp; }

  // Fields.
  bool HelpState = false;
  bool ContextHelp = false;
  QCursor* HelpCursor = nullptr;
  QToolBar* ApxHarbor = nullptr;
  TZarnsMDIClient* MdiClient = nullptr;
  ZrnPrinter* Printer = nullptr;  // made on first use (Print, Print Setup, Print Preview)
  int Printing = 0;
  struct MailSender* ApxMail = nullptr;

 protected:
  // Context help and accelerators, before normal event handling.
  bool eventFilter(QObject* obj, QEvent* ev) override;

 private:
  bool ProcessAppMsg(QObject* obj, QEvent* ev);
  bool AppHandles(int id) const;
  bool AppCommand(int id);
  void EnterContextHelp();
  void LeaveContextHelp();
  void PlaceChild(TZarnsMDIChild* child);
  // Opens one file in a new editor window and returns its view; null when
  // it cannot be read.
  zui::TZarnsEditView* OpenInNewView(const QString& path);
  ::TZarnsEditView* OpenView(const std::string& path) override;
  bool SaveView(::TZarnsEditView* view) override;
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
  void CmBrowse();
  void CmResetzarns();
  void CmWordCatalogDestroy();
  void ShowBuildSummary(const ZrnSked& dlg);
  void CmHelpContents();
  void CmHelpUsing();
  void CmHelpAbout();
  void CmDebug();
  void CmBrindle();
  void CmVanilla();
  void CmContact();
  void CmSpeedDial();

  QStringList args_;
  std::unique_ptr<ZrnIO> files_;    // the program's one file set
  std::unique_ptr<QtHost> qtHost_;  // the Qt dialogs, unless another host was given
  Host* host_ = nullptr;
  TZarnsFrame* frame_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  RecentFiles* recent_ = nullptr;
  std::map<int, QAction*> actions_;
  StatusIndicators* indicators_ = nullptr;
  QString mailDir_;
  std::unique_ptr<ZarnContext> zarn_;
};

// Starts the program and returns its exit status.
int RunZarnsApp(int argc, char** argv);
