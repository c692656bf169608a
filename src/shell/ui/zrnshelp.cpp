#include "shell/ui/zrnshelp.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

void InitShellResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(zarnsshell);
    return true;
  }();
  (void)done;
}

namespace {
QPointer<TZarnsHelpWindow> theHelp;

const QString kContents = QStringLiteral(":/help/contents.html");
const QString kUsing = QStringLiteral(":/help/usinghelp.html");

TZarnsHelpWindow* Ensure() {
  InitShellResources();
  if (!theHelp) theHelp = new TZarnsHelpWindow(nullptr);
  return theHelp;
}

bool Show(const QString& page) {
  TZarnsHelpWindow* w = Ensure();
  w->ShowPage(page);
  w->show();
  w->raise();
  w->activateWindow();
  return true;
}
}  // namespace

QString HelpTopicPath(int id) {
  InitShellResources();
  const QString path = QStringLiteral(":/help/%1.html").arg(id);
  return QFile::exists(path) ? path : QString();
}

bool ShowHelpContents() { return Show(kContents); }
bool ShowHelpUsing() { return Show(kUsing); }

bool ShowHelpContext(int id) {
  const QString page = HelpTopicPath(id);
  return Show(page.isEmpty() ? kContents : page);
}

void QuitHelp() {
  if (theHelp) theHelp->close();
  delete theHelp.data();
}

TZarnsHelpWindow* HelpWindow() { return theHelp; }

// A top-level window of its own, like a help viewer: it stays open beside
// the editor and is closed when the program quits.
TZarnsHelpWindow::TZarnsHelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Zarns Help"));
  setObjectName(QStringLiteral("ZarnsHelp"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* lay = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
  auto* back = new QPushButton(QStringLiteral("&Back"), this);
  auto* forward = new QPushButton(QStringLiteral("&Forward"), this);
  bar->addWidget(contents);
  bar->addWidget(back);
  bar->addWidget(forward);
  bar->addStretch(1);
  lay->addLayout(bar);
  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({QStringLiteral(":/help")});
  lay->addWidget(browser_);
  connect(contents, &QPushButton::clicked, this, [this] { ShowPage(kContents); });
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl& u) {
    current_ = u.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + u.path() : u.toString();
  });
  resize(640, 520);
}

void TZarnsHelpWindow::ShowPage(const QString& path) {
  current_ = path;
  browser_->setSource(QUrl(QStringLiteral("qrc") + path));
}
