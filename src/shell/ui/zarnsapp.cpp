#include "shell/ui/zarnsapp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <memory>

#include "catalog/buildsummary.h"
#include "catalog/catfiles.h"
#include "catalog/ui/zrnsked.h"
#include "catalog/zrnfile.h"
#include "framework/uihooks.h"
#include "platform/pdatadir.h"
#include "platform/plauncher.h"
#include "platform/pregistry.h"
#include "shell/catsched.h"
#include "shell/cmdline.h"
#include "shell/desktopreg.h"
#include "shell/ui/apxprint.h"
#include "shell/ui/dropfiles.h"
#include "shell/ui/gadgetsep.h"
#include "shell/ui/qthost.h"
#include "shell/ui/recentfiles.h"
#include "shell/ui/statusind.h"
#include "shell/ui/zarnscmd.h"
#include "shell/ui/zdbg.h"
#include "shell/ui/zrncntct.h"
#include "shell/ui/zrnextls.h"
#include "shell/ui/zrnftype.h"
#include "shell/ui/zrnsabtd.h"
#include "shell/ui/zrnshelp.h"
#include "shell/ui/zrnsmdi1.h"
#include "shell/ui/zrnsmdic.h"
#include "shell/ui/zrnsusrp.h"
#include "shell/ui/zspddial.h"
#include "shell/zvanilla.h"
#include "store/zrnio.h"
#include "store/zrnpkgop.h"
#include "zarn/ui/zrnbrows.h"
#include "zarn/ui/zrnsedtv.h"

using namespace zcmd;

QMainWindow* MainWin = nullptr;
std::function<void(ZrnIO&, const QString&)> CatalogPrompt = [](ZrnIO& files,
                                                               const QString& caption) {
  ZrnSked dlg(files, caption, nullptr, 6);
  dlg.exec();
};
std::function<QStringList()> OpenFilesDialog;
std::function<QString(const QString&)> SaveAsDialog;

// The mail sender: attachments are written to a private directory that
// lives until the program ends, since the mail program reads them after
// xdg-email has returned.
struct MailSender {
  std::unique_ptr<QTemporaryDir> dir;  // made on the first Send
  QTemporaryDir* Dir() {
    if (!dir)
      dir =
          std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zarns-mail-XXXXXX"));
    return dir->isValid() ? dir.get() : nullptr;
  }
};

namespace {

TZarnsApp* theApp = nullptr;

constexpr const char* kPromptCaption = "No Zarns Catalog Exists, Create Now or Schedule later?";

QIcon CommandIcon(int id) { return QIcon(QStringLiteral(":/icons/%1.svg").arg(id)); }

QString ExePath() {
  QString exe = QCoreApplication::applicationFilePath();
  if (exe.isEmpty()) exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
  return exe.left(260);
}

std::string ResourceBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

}  // namespace

// ---------------------------------------------------------------------------
// Hooks other windows use.

bool OpenDocumentInNewView(const QString& path) {
  return theApp && MainWin ? theApp->AddFile(path) : false;
}

// ---------------------------------------------------------------------------
// The frame.

TZarnsFrame::TZarnsFrame(TZarnsApp* app) : app_(app) {
  setObjectName(QStringLiteral("MainFrame"));
  setAcceptDrops(true);
}

void TZarnsFrame::EvDropFiles(const QStringList& files) { app_->AddFiles(files); }

void TZarnsFrame::dragEnterEvent(QDragEnterEvent* e) {
  if (!DroppedFiles(e->mimeData()).isEmpty())
    e->acceptProposedAction();
  else
    e->ignore();
}

void TZarnsFrame::dropEvent(QDropEvent* e) {
  const QStringList files = DroppedFiles(e->mimeData());
  if (files.isEmpty()) return e->ignore();
  e->acceptProposedAction();
  EvDropFiles(files);
}

void TZarnsFrame::closeEvent(QCloseEvent* e) {
  if (!app_->CanClose()) return e->ignore();
  e->accept();
  // The help window and a find box must not keep the program alive.
  QuitHelp();
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

// ---------------------------------------------------------------------------
// Start-up and shut-down.

TZarnsApp* TZarnsApp::Instance() { return theApp; }

TZarnsApp::TZarnsApp(const QStringList& args, Host* host)
    : args_(args), files_(std::make_unique<ZrnIO>()) {
  theApp = this;
  if (!host) {
    qtHost_ = std::make_unique<QtHost>(*files_);
    host = qtHost_.get();
  }
  host_ = host;
  InitShellResources();
  QCoreApplication::setApplicationName(QStringLiteral("Zarns"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/1001.svg")));
  // The recent-file list lives in Zarns.ini in the data directory (read when the menu is built).
  recent_ = new RecentFiles(QString(), this);
  connect(recent_, &RecentFiles::Chosen, this, &TZarnsApp::CmFileSelected);
  HelpState = ContextHelp = false;
  HelpCursor = nullptr;
  Printer = nullptr;
  Printing = 0;
  ApxMail = new MailSender;

  uihooks::OpenDocument = [](const QString& p) { return OpenDocumentInNewView(p); };
  uihooks::ListDblClkAction = [] { return ::ListDblClkAction(); };
  uihooks::MainWindow = []() -> QWidget* { return MainWin; };
  uihooks::ShowHelp = [this](int topic) { HelpState = ShowHelpContext(topic) || HelpState; };

  // Whatever was made on demand before the program started is replaced.
  zarn_ = std::make_unique<ZarnContext>(*host_, *files_, static_cast<ViewOpener*>(this));
  if (qtHost_) qtHost_->SetZarnContext(zarn_.get());

  // The catalog check: every catalog file must open for reading. What an
  // interrupted catalog build or swap left is settled first.
  RecoverCatalog();
  int complete = 0;
  {
    CatalogReadScope scope;
    files_->OpenFiles("r");
    complete = scope.Usable() ? files_->TestFiles() : 0;
    files_->CloseFiles();
  }
  if (!complete && CatalogPrompt) CatalogPrompt(*files_, QString::fromLatin1(kPromptCaption));

  qApp->installEventFilter(this);
}

TZarnsApp::~TZarnsApp() {
  qApp->removeEventFilter(this);
  if (frame_) {
    frame_->hide();
    delete frame_;
  }
  frame_ = nullptr;
  MainWin = nullptr;
  QuitHelp();
  delete HelpCursor;
  HelpCursor = nullptr;
  if (ContextHelp) QApplication::restoreOverrideCursor();
  delete Printer;
  Printer = nullptr;
  delete ApxMail;
  ApxMail = nullptr;
  if (qtHost_) qtHost_->SetZarnContext(nullptr);
  zarn_.reset();
  uihooks::OpenDocument = nullptr;
  uihooks::ListDblClkAction = nullptr;
  uihooks::MainWindow = nullptr;
  uihooks::ShowHelp = nullptr;
  if (theApp == this) theApp = nullptr;
}

int TZarnsApp::Run() {
  InitInstance();
  const int rc = QApplication::exec();
  // Started detached: the exit never waits for the build.
  if (LoadCatalogSchedule().kind == ScheduleKind::Shutdown) StartCatalogBuild(CurrentScheduleEnv());
  return rc;
}

void TZarnsApp::InitInstance() {
  InitMainWindow();
  // The size to come back to when the user restores the window.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect avail = screen->availableGeometry();
    frame_->resize(avail.width() * 4 / 5, avail.height() * 4 / 5);
    frame_->move(avail.center() - frame_->rect().center());
  }
  frame_->showMaximized();
  // Without a window manager nobody acts on the maximised state: fill the
  // screen ourselves when the window has not grown after a moment.
  QTimer::singleShot(400, frame_, [f = frame_] {
    QScreen* screen = f->screen();
    if (!screen || f->isMinimized() || QGuiApplication::platformName() != QLatin1String("xcb"))
      return;
    const QRect avail = screen->availableGeometry();
    if (f->frameGeometry().width() < avail.width() * 9 / 10) f->setGeometry(avail);
  });
  // The desktop entry hands files over after --open: those are names, never
  // options, whatever they contain. Other file names on the command line are
  // not opened.
  std::vector<std::string> args;
  for (const QString& a : args_.mid(1)) args.push_back(a.toStdString());
  const CommandLine cmd = ParseCommandLine(args);
  ProcessCmdLine(cmd.options);
  for (const std::string& f : cmd.files) AddFile(QString::fromStdString(f));
  // A separate process, so the window never waits for it.
  if (LoadCatalogSchedule().kind == ScheduleKind::Startup) StartCatalogBuild(CurrentScheduleEnv());
}

// ---------------------------------------------------------------------------
// Main window assembly.

namespace {
void FillMenu(TZarnsApp* app, QMenu* menu, const std::vector<MenuItem>& items,
              std::map<int, QAction*>& actions, QAction*& recentAnchor, QMenu*& fileMenu) {
  for (const MenuItem& m : items) {
    switch (m.kind) {
      case MenuItem::Separator: menu->addSeparator(); break;
      case MenuItem::RecentFiles:
        fileMenu = menu;
        recentAnchor = menu->addSeparator();
        recentAnchor->setVisible(false);
        break;
      case MenuItem::Popup: {
        QMenu* sub = menu->addMenu(m.text);
        FillMenu(app, sub, m.items, actions, recentAnchor, fileMenu);
        break;
      }
      case MenuItem::Command: {
        QAction* a = actions.at(m.id);
        a->setText(m.text);
        menu->addAction(a);
        break;
      }
    }
  }
}
}  // namespace

void TZarnsApp::InitMainWindow() {
  MdiClient = new TZarnsMDIClient;
  frame_ = new TZarnsFrame(this);
  frame_->setWindowTitle(QStringLiteral("Zarns"));
  frame_->setCentralWidget(MdiClient);
  frame_->setWindowIcon(QIcon(QStringLiteral(":/icons/1001.svg")));
  connect(MdiClient, &TZarnsMDIClient::FilesDropped, frame_, &TZarnsFrame::EvDropFiles);
  MdiClient->SetPrintSite(Printer, Printing, Messages());

  // One action per command: the menu item and the tool-bar button share it.
  for (int id : AllCommands()) {
    auto* a = new QAction(frame_);
    a->setData(id);
    a->setObjectName(QString::number(id));
    a->setStatusTip(StatusHint(id));
    a->setToolTip(ToolTip(id));
    a->setIconVisibleInMenu(false);
    a->setText(MenuText(id).isEmpty() ? CommandName(id) : MenuText(id));
    if (QFile::exists(QStringLiteral(":/icons/%1.svg").arg(id))) a->setIcon(CommandIcon(id));
    connect(a, &QAction::triggered, this, [this, id] { Command(id); });
    actions_[id] = a;
  }

  // Menu 100.
  QMenuBar* bar = frame_->menuBar();
  bar->setObjectName(QString::number(IDM_MAIN));
  QAction* recentAnchor = nullptr;  // the separator before Exit
  for (const MenuItem& top : MainMenu()) {
    QMenu* menu = bar->addMenu(top.text);
    FillMenu(this, menu, top.items, actions_, recentAnchor, fileMenu_);
  }
  // Menus are enabled as they open, like the tool bar on every idle moment.
  for (QMenu* m : bar->findChildren<QMenu*>())
    connect(m, &QMenu::aboutToShow, this, &TZarnsApp::UpdateCommandStates);
  if (fileMenu_ && recentAnchor) recent_->AttachMenu(fileMenu_, recentAnchor);
  // The Window menu lists the open documents below its commands.
  for (QMenu* m : bar->findChildren<QMenu*>()) {
    if (m->actions().isEmpty() || m->actions().first() != Action(CM_CASCADECHILDREN)) continue;
    connect(m, &QMenu::aboutToShow, this, [this, m] { RebuildWindowList(m); });
  }

  SetupSpeedBar(frame_);

  // Status bar with the keyboard-lock indicators.
  QStatusBar* status = frame_->statusBar();
  status->setSizeGripEnabled(true);
  indicators_ = new StatusIndicators(status);
  status->addPermanentWidget(indicators_);

  MainWin = frame_;

  auto* timer = new QTimer(frame_);
  timer->setInterval(200);
  connect(timer, &QTimer::timeout, this, &TZarnsApp::UpdateCommandStates);
  timer->start();
  connect(MdiClient, &QMdiArea::subWindowActivated, this, &TZarnsApp::UpdateCommandStates);
  UpdateCommandStates();
}

void TZarnsApp::SetupSpeedBar(QMainWindow* frame) {
  auto* bar = new QToolBar(frame);
  bar->setObjectName(QString::number(IDW_TOOLBAR));
  QFont f = bar->font();
  f.setPointSize(10);
  f.setBold(false);
  f.setItalic(false);
  bar->setFont(f);
  bar->setOrientation(Qt::Horizontal);
  bar->setMovable(true);
  bar->setFloatable(true);
  bar->setIconSize(QSize(24, 24));
  CreateGadgets(bar, false);
  frame->addToolBar(Qt::TopToolBarArea, bar);
  ApxHarbor = bar;
}

QToolBar* TZarnsApp::CreateGadgets(QToolBar* bar, bool server) {
  for (const Gadget& g : Gadgets()) {
    if (server && g.notServer) continue;
    if (g.id == 0) {
      QAction* a = bar->addWidget(new GadgetSeparator(g.separator, bar));
      a->setProperty("separatorSize", g.separator);
      continue;
    }
    QAction* a = Action(g.id);
    bar->addAction(a);
    if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a))) {
      b->setObjectName(QString::number(g.id));
      b->setAutoRepeat(false);
    }
    a->setEnabled(false);  // until some window answers the command
  }
  bar->setWindowTitle(QStringLiteral("Toolbar"));
  return bar;
}

QAction* TZarnsApp::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

bool TZarnsApp::CanClose() {
  if (MdiClient) {
    for (QMdiSubWindow* w : MdiClient->subWindowList()) {
      auto* child = qobject_cast<TZarnsMDIChild*>(w);
      if (child && !child->CanClose()) return false;
    }
    // Every document agreed: close without asking again.
    for (QMdiSubWindow* w : MdiClient->subWindowList())
      if (auto* child = qobject_cast<TZarnsMDIChild*>(w)) child->SetDirty(false);
  }
  if (HelpState) QuitHelp();
  return true;
}

// ---------------------------------------------------------------------------
// Command routing.

zui::TZarnsEditView* TZarnsApp::ActiveView() const {
  if (!frame_) return nullptr;
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
    if (auto* v = qobject_cast<zui::TZarnsEditView*>(w)) return v->window() == frame_ ? v : nullptr;
  }
  TZarnsMDIChild* child = ActiveChild();
  return child ? child->View() : nullptr;
}

TZarnsMDIChild* TZarnsApp::ActiveChild() const {
  return MdiClient ? MdiClient->ActiveChild() : nullptr;
}

QPlainTextEdit* TZarnsApp::ActiveEditor() const {
  TZarnsMDIChild* child = ActiveChild();
  return child ? child->View() : nullptr;
}

QWidget* TZarnsApp::MainWindow() const { return frame_; }

MessageHost& TZarnsApp::Messages() { return *host_; }

bool TZarnsApp::AppHandles(int id) const {
  switch (id) {
    case CM_FILENEW:
    case CM_FILEOPEN:
    case CM_PREFERENCES:
    case CM_SEARCHWORD:
    case CM_ZARNFIND:
    case CM_WORDCATALOGDESTROY:
    case CM_LOADZFILE:
    case CM_BROWSEZARNS:
    case CM_BROWSER:
    case CM_RESETZARNS:
    case CM_HELPCONTENTS:
    case CM_HELPUSING:
    case CM_HELPABOUT:
    case CM_DEBUG:
    case CM_BRINDLE:
    case CM_VANILLA:
    case CM_CONTACT:
    case CM_SPEEDDIAL:
    case CM_FILEEXTENSIONS:
    case CM_USERFTYPES:
    case CM_EXIT: return true;
    case CM_FILESEND: return const_cast<TZarnsApp*>(this)->CeFileSend();
    case CM_WORDCATALOGCREATE:
    case CM_WORDCATALOGRESCAN:
    case CM_SKED: return true;
    default: return false;
  }
}

bool TZarnsApp::IsCommandEnabled(int id) {
  if (zui::TZarnsEditView* v = ActiveView(); v && v->IsCommandEnabled(id)) return true;
  if (TZarnsMDIChild* c = ActiveChild(); c && c->IsCommandEnabled(id)) return true;
  if (MdiClient && MdiClient->IsCommandEnabled(id)) return true;
  return AppHandles(id);
}

bool TZarnsApp::Command(int id) {
  if (ContextHelp) {
    LeaveContextHelp();
    HelpState = ShowHelpContext(id) || HelpState;
    return true;
  }
  if (zui::TZarnsEditView* v = ActiveView(); v && v->IsCommandEnabled(id))
    return v->HandleCommand(id);
  if (TZarnsMDIChild* c = ActiveChild(); c && c->IsCommandEnabled(id)) return c->HandleCommand(id);
  if (MdiClient && MdiClient->IsCommandEnabled(id)) return MdiClient->HandleCommand(id);
  if (id == CM_EXIT) {
    if (frame_) frame_->close();
    return true;
  }
  if (!AppHandles(id)) return false;
  return AppCommand(id);
}

void TZarnsApp::UpdateCommandStates() {
  for (auto& [id, a] : actions_) a->setEnabled(IsCommandEnabled(id));
}

bool TZarnsApp::AppCommand(int id) {
  switch (id) {
    case CM_FILENEW: CmFileNew(); break;
    case CM_FILEOPEN: CmFileOpen(); break;
    case CM_FILESEND: CmFileSend(); break;
    case CM_PREFERENCES: CmPreferences(); break;
    case CM_SEARCHWORD:
    case CM_ZARNFIND: CmSearchWord(); break;
    case CM_WORDCATALOGCREATE:
    case CM_WORDCATALOGRESCAN: CmWordCatalogCreate(); break;
    case CM_SKED: CmSked(); break;
    case CM_WORDCATALOGDESTROY: CmWordCatalogDestroy(); break;
    case CM_LOADZFILE: CmLoadzfile(); break;
    case CM_BROWSEZARNS:
    case CM_BROWSER: CmBrowse(); break;
    case CM_RESETZARNS: CmResetzarns(); break;
    case CM_HELPCONTENTS: CmHelpContents(); break;
    case CM_HELPUSING: CmHelpUsing(); break;
    case CM_HELPABOUT: CmHelpAbout(); break;
    case CM_DEBUG: CmDebug(); break;
    case CM_BRINDLE: CmBrindle(); break;
    case CM_VANILLA: CmVanilla(); break;
    case CM_CONTACT: CmContact(); break;
    case CM_SPEEDDIAL: CmSpeedDial(); break;
    case CM_FILEEXTENSIONS: {
      TZarnsExtListDlg dlg(*files_, Messages(), MainWin, 194);
      dlg.exec();
      break;
    }
    case CM_USERFTYPES: {
      ZrnFType dlg(*files_, Messages(), MainWin, 7);
      dlg.exec();
      break;
    }
    default: return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Context help and accelerators.

bool TZarnsApp::eventFilter(QObject* obj, QEvent* ev) {
  if (ProcessAppMsg(obj, ev)) return true;
  return QObject::eventFilter(obj, ev);
}

void TZarnsApp::EnterContextHelp() {
  if (ContextHelp) return;
  ContextHelp = true;
  delete HelpCursor;
  QPixmap pm = QIcon(QStringLiteral(":/icons/24000.svg")).pixmap(32, 32);
  HelpCursor = new QCursor(pm, 1, 1);
  QApplication::setOverrideCursor(*HelpCursor);
}

void TZarnsApp::LeaveContextHelp() {
  if (!ContextHelp) return;
  ContextHelp = false;
  delete HelpCursor;
  HelpCursor = nullptr;
  QApplication::restoreOverrideCursor();
}

bool TZarnsApp::ProcessAppMsg(QObject* obj, QEvent* ev) {
  if (ev->type() != QEvent::KeyPress) return false;
  auto* ke = static_cast<QKeyEvent*>(ev);
  QWidget* target = qobject_cast<QWidget*>(obj);
  if (!target || !target->isWidgetType()) return false;
  const Qt::KeyboardModifiers mods = ke->modifiers() & ~Qt::KeypadModifier;

  // F1 in an open menu: the highlighted item's help.
  if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      menu && ke->key() == Qt::Key_F1) {
    QAction* a = menu->activeAction();
    const int id = a ? a->data().toInt() : 0;
    for (QWidget* p = QApplication::activePopupWidget(); p; p = QApplication::activePopupWidget())
      p->close();
    HelpState = (id ? ShowHelpContext(id) : ShowHelpContents()) || HelpState;
    return true;
  }
  if (ke->key() == Qt::Key_F1) {
    if (mods & Qt::ShiftModifier)
      EnterContextHelp();
    else
      HelpState = ShowHelpContents() || HelpState;
    return true;
  }
  if (ke->key() == Qt::Key_Escape && ContextHelp) {
    LeaveContextHelp();
    return true;
  }

  // Accelerators of the main window (dialogs and popups keep their keys).
  if (!frame_ || target->window() != frame_ || QApplication::activePopupWidget()) return false;
  int key = ke->key();
  if (key == Qt::Key_Enter) key = Qt::Key_Return;
  const QKeySequence pressed(QKeyCombination(mods, static_cast<Qt::Key>(key)));
  // The Find menu item names Ctrl+F, so the key does what the menu says,
  // although the accelerator table has no entry for it.
  static const std::vector<Accel> extra = {{QKeySequence(Qt::CTRL | Qt::Key_F), CM_EDITFIND}};
  std::vector<Accel> keys = Accelerators();
  keys.insert(keys.end(), extra.begin(), extra.end());
  for (const Accel& a : keys) {
    if (a.key != pressed) continue;
    if (ke->isAutoRepeat() && a.id != CM_EDITUNDO && a.id != CM_EDITFINDNEXT) {
      // Held keys repeat only the harmless commands; a held Alt+R would
      // otherwise run the zarn over and over.
      return true;
    }
    if (ContextHelp || IsCommandEnabled(a.id)) Command(a.id);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Documents.

// A new document window takes a good part of the client, a step below and
// to the right of the previous one, like cascaded windows.
void TZarnsApp::PlaceChild(TZarnsMDIChild* child) {
  const QSize area = MdiClient->viewport()->size();
  const int n = MdiClient->subWindowList().size();
  MdiClient->addSubWindow(child);
  ++MdiClient->ChildCount;
  if (area.width() > 200 && area.height() > 150) {
    child->resize(std::max(320, area.width() * 7 / 10), std::max(200, area.height() * 3 / 4));
    const int step = 24 * (n % 8);
    child->move(step, step);
  }
  child->show();
}

TZarnsMDIChild* TZarnsApp::NewDocument() {
  if (!MdiClient) return nullptr;
  auto* view = new zui::TZarnsEditView(*zarn_);
  auto* child = new TZarnsMDIChild(MdiClient, view, *this);
  connect(child, &TZarnsMDIChild::PathChanged, recent_, &RecentFiles::Add);
  connect(child, &TZarnsMDIChild::FilesDropped, frame_, &TZarnsFrame::EvDropFiles,
          Qt::QueuedConnection);
  PlaceChild(child);
  view->setFocus();
  return child;
}

bool TZarnsApp::AddFile(const QString& path) { return OpenInNewView(path) != nullptr; }

::TZarnsEditView* TZarnsApp::OpenView(const std::string& path) {
  if (!MainWin) return nullptr;
  zui::TZarnsEditView* view = OpenInNewView(QFile::decodeName(path.c_str()));
  return view ? &view->Core() : nullptr;
}

// A script's output document, saved when the run ends: it then shows as
// unchanged, and Exit does not ask about it.
bool TZarnsApp::SaveView(::TZarnsEditView* view) {
  zui::TZarnsEditView* w = zui::TZarnsEditView::FromCore(view);
  return w && w->SaveFile();
}

zui::TZarnsEditView* TZarnsApp::OpenInNewView(const QString& path) {
  if (!MdiClient || path.isEmpty()) return nullptr;
  QFileInfo fi(path);
  if (!fi.isFile()) return nullptr;  // directories and vanished files match no document
  auto* view = new zui::TZarnsEditView(*zarn_);
  QString error;
  if (!view->LoadFile(fi.absoluteFilePath(), &error)) {
    delete view;
    return nullptr;
  }
  view->document()->setModified(false);
  auto* child = new TZarnsMDIChild(MdiClient, view, *this);
  connect(child, &TZarnsMDIChild::PathChanged, recent_, &RecentFiles::Add);
  connect(child, &TZarnsMDIChild::FilesDropped, frame_, &TZarnsFrame::EvDropFiles,
          Qt::QueuedConnection);
  PlaceChild(child);
  MdiClient->setActiveSubWindow(child);
  view->setFocus();
  recent_->Add(fi.absoluteFilePath());
  return view;
}

void TZarnsApp::AddFiles(const QStringList& files) {
  for (const QString& f : files) AddFile(f);
}

QString TZarnsApp::AskSaveName(const QString& suggested) {
  if (SaveAsDialog) return SaveAsDialog(suggested);
  static QString lastDir;
  QFileDialog dlg(
      MainWin, QStringLiteral("Save As"),
      lastDir.isEmpty() ? suggested : QDir(lastDir).filePath(QFileInfo(suggested).fileName()));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setNameFilter(QStringLiteral("All Files (*)"));
  dlg.setDefaultSuffix(QStringLiteral("zxt"));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  lastDir = dlg.directory().absolutePath();
  return dlg.selectedFiles().first();
}

void TZarnsApp::CmFileNew() { NewDocument(); }

void TZarnsApp::CmFileOpen() {
  QStringList files;
  if (OpenFilesDialog) {
    files = OpenFilesDialog();
  } else {
    // "All Files" matches every name here, with or without a dot.
    static QString lastDir;
    files = QFileDialog::getOpenFileNames(MainWin, QStringLiteral("Open"), lastDir,
                                          QStringLiteral("All Files (*)"));
    if (!files.isEmpty()) lastDir = QFileInfo(files.first()).absolutePath();
  }
  for (const QString& f : files) {
    if (!AddFile(f))
      host_->MessageBox(("Cannot open \"" + f + "\".").toStdString(), "Zarns",
                        MB_OK | MB_ICONEXCLAMATION);
  }
}

void TZarnsApp::RebuildWindowList(QMenu* menu) {
  for (QAction* a : menu->actions()) {
    if (a->property("windowList").toBool()) {
      menu->removeAction(a);
      a->deleteLater();
    }
  }
  const auto windows = MdiClient->subWindowList(QMdiArea::CreationOrder);
  if (windows.isEmpty()) return;
  QAction* sep = menu->addSeparator();
  sep->setProperty("windowList", true);
  int n = 0;
  for (QMdiSubWindow* w : windows) {
    QString title = w->windowTitle().remove(QStringLiteral("[*]"));
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* a = menu->addAction(n < 9 ? QStringLiteral("&%1 %2").arg(n + 1).arg(title) : title);
    ++n;
    a->setProperty("windowList", true);
    a->setCheckable(true);
    a->setChecked(w == MdiClient->activeSubWindow());
    a->setStatusTip(QStringLiteral("Activates this window"));
    QPointer<QMdiSubWindow> target(w);
    connect(a, &QAction::triggered, this, [this, target] {
      if (!target) return;
      if (target->isMinimized()) target->showNormal();
      MdiClient->setActiveSubWindow(target);
    });
  }
}

// ---------------------------------------------------------------------------
// Recent files.

void TZarnsApp::CmFileSelected(int index) {
  const QStringList list = recent_->Files();
  if (index < 0 || index >= list.size()) return;
  AddFile(list[index]);  // a file that is gone is skipped silently
}

// ---------------------------------------------------------------------------
// Send.

bool TZarnsApp::CeFileSend() { return ActiveChild() != nullptr && plat::Launch().CanMail(); }

void TZarnsApp::CmFileSend() {
  TZarnsMDIChild* child = ActiveChild();
  QTemporaryDir* mailDir = ApxMail ? ApxMail->Dir() : nullptr;
  if (!child || !mailDir) return;
  QString title = child->Title();
  if (title.isEmpty()) title = QStringLiteral("Document");
  // Each attachment in a directory of its own, so that it carries the
  // document's title as its name even when two documents share it.
  static int serial = 0;
  const QString dir = mailDir->filePath(QString::number(++serial));
  QDir().mkpath(dir);
  const QString temp = dir + QLatin1Char('/') + title;
  if (!child->WriteCopy(temp)) return;
  plat::Launch().Mail({temp.toStdString()});
}

// ---------------------------------------------------------------------------
// Dialogs and other application commands.

void TZarnsApp::CmPreferences() {
  TZarnsUserPref dlg(MainWin, 2217);
  dlg.exec();
}

void TZarnsApp::CmSearchWord() { host_->ShowMatchDialog(ShowMatchXfer{}); }

void TZarnsApp::CmWordCatalogCreate() { CmSked(); }

// The cataloging dialog of the menu commands: no caption, over the main window.
void TZarnsApp::CmSked() {
  ZrnSked dlg(*files_, MainWin, 6);
  dlg.exec();
  ShowBuildSummary(dlg);
}

// A build run with "Now" ends with its account in the status bar.
void TZarnsApp::ShowBuildSummary(const ZrnSked& dlg) {
  if (dlg.LastBuild() && frame_)
    frame_->statusBar()->showMessage(QString::fromStdString(BuildSummary(*dlg.LastBuild())));
}

// The browser's loader, without showing the browser.
void TZarnsApp::CmLoadzfile() {
  ZrnBrowse browser(*zarn_, MainWin, 286);
  browser.CmNewPackage();
}

void TZarnsApp::CmBrowse() {
  ZrnBrowse dlg(*zarn_, MainWin, 286);
  dlg.exec();
}

// Both destroy what cannot be got back, so each asks first with No as the
// default, and says what came of it.
void TZarnsApp::CmResetzarns() {
  MessageHost& m = Messages();
  const char* caption = "Reset Zarns";
  if (m.MessageBox("Delete all stored zarns and packages?", caption,
                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return;
  if (ZrnLvl1::ResetZarns(*files_))
    m.MessageBox("All stored zarns and packages were deleted.", caption,
                 MB_OK | MB_ICONINFORMATION);
  else
    m.MessageBox(
        "Some zarn store files could not be deleted; they may be in use by another "
        "program.",
        caption, MB_OK | MB_ICONEXCLAMATION);
}

void TZarnsApp::CmWordCatalogDestroy() {
  MessageHost& m = Messages();
  const char* caption = "Destroy Word Catalog";
  if (m.MessageBox("Delete the word catalog? Finding words needs a new catalog afterwards.",
                   caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return;
  DestroyRefusal why = DestroyRefusal::kNone;
  if (DestroyCatalog(*files_, &why)) {
    m.MessageBox("The word catalog was deleted.", caption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  const char* text =
      "Some word catalog files could not be deleted; they may be in use by another "
      "program.";
  if (why == DestroyRefusal::kBuildRunning)
    text = "A word catalog build is running. Destroy the catalog when it has ended.";
  else if (why == DestroyRefusal::kLocked)
    text = "The word catalog is in use by a search. Try again in a moment.";
  m.MessageBox(text, caption, MB_OK | MB_ICONEXCLAMATION);
}

void TZarnsApp::CmHelpContents() { HelpState = ShowHelpContents(); }

void TZarnsApp::CmHelpUsing() { HelpState = ShowHelpUsing(); }

void TZarnsApp::CmHelpAbout() {
  TZarnsAboutDlg dlg(MainWin, 22000);
  dlg.exec();
}

void TZarnsApp::CmDebug() {
  ZDbg dlg(MainWin, 26000);
  dlg.exec();
}

void TZarnsApp::CmBrindle() {
  ZrnFile f;
  if (!f.ShellURL("ZarnsDoc1.htm", WebBrindle))
    Messages().MessageBox(plat::LaunchFailedText(ZrnFile::BuildURL("ZarnsDoc1.htm", WebBrindle)),
                          "Zarns", MB_OK);
}

// The chosen file is only read; its words go to a new document beside it,
// which opens in a new window. A conversion that fails says why.
void TZarnsApp::CmVanilla() {
  const std::optional<std::string> file =
      host_->OpenFileDialog("File to Convert, Original is not changed", "");
  if (!file || file->empty()) return;
  const VanillaResult r = TZarnsVanilla().ReadWords(*file);
  if (!r.ok) {
    host_->MessageBox(r.error, "Convert to Text", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!AddFile(QFile::decodeName(r.output.c_str())))
    host_->MessageBox(
        "The converted text was written to \"" + r.output + "\" but cannot be opened.",
        "Convert to Text", MB_OK | MB_ICONEXCLAMATION);
}

void TZarnsApp::CmContact() {
  // The contact shown last is shown again at the next opening.
  static TTransferCntct TTransferCntctData = EmptyContact();
  ZrnCntct dlg(TTransferCntctData, zarn_.get(), *host_, MainWin);
  dlg.exec();
}

void TZarnsApp::CmSpeedDial() {
  SpeedDialStore store;
  TZarnsSpeedDialDlg dlg(store, zarn_.get(), *host_, MainWin);
  dlg.exec();
}

// ---------------------------------------------------------------------------
// Command line and registration.

bool TZarnsApp::ProcessCmdLine(const std::string& options) {
  DesktopRegistration reg(plat::ClassesRoot(), plat::XdgDataHome(), ExePath().toStdString());
  reg.SetInstalledDataDir(
      DesktopRegistration::InstalledDataDir(QFileInfo(ExePath()).absolutePath().toStdString()));
  // The icons are the program's own, shipped as resources.
  const DesktopRegistration::Icons icons{ResourceBytes(QStringLiteral(":/icons/1001.svg")),
                                         ResourceBytes(QStringLiteral(":/icons/1002.svg"))};
  return ::ProcessCmdLine(options, reg, icons);
}

// ---------------------------------------------------------------------------

int RunZarnsApp(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QStringList args = QCoreApplication::arguments();
  TZarnsApp app(args);
  return app.Run();
}
