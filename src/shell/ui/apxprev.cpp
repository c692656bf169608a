#include "shell/ui/apxprev.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

#include "shell/ui/apxprint.h"
#include "shell/ui/gadgetsep.h"
#include "zarn/ui/viewpages.h"
#include "zarn/ui/zrnsedtv.h"

// ---------------------------------------------------------------------------
// A page.

TApxPreviewPage::TApxPreviewPage(QWidget* parent) : QWidget(parent) {}

void TApxPreviewPage::SetPage(const zui::ViewPages* pages, const zui::TZarnsEditView* view,
                              QSizeF paper, QPointF origin, int page) {
  pages_ = pages;
  view_ = view;
  paper_ = paper;
  origin_ = origin;
  page_ = page;
  setObjectName(QStringLiteral("page%1").arg(page));
  update();
}

void TApxPreviewPage::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  p.setPen(QColor(64, 64, 64));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  if (!pages_ || !view_ || paper_.isEmpty()) return;
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  // Printer pixels scaled down to the paper shown here.
  p.scale(width() / paper_.width(), height() / paper_.height());
  p.translate(origin_);
  view_->PrintPage(p, *pages_, page_);
}

// ---------------------------------------------------------------------------
// The window.

TApxPreviewWin::TApxPreviewWin(QWidget* parent, ZrnPrinter* printer, zui::TZarnsEditView* view,
                               const QString& caption, std::function<void()> print)
    : QMainWindow(parent, Qt::Window),
      CurrWindow(view),
      Printer(printer),
      print_(std::move(print)) {
  setObjectName(QStringLiteral("PrintPreview"));
  setWindowTitle(caption);
  Client = new QWidget(this);
  Client->setObjectName(QStringLiteral("PreviewClient"));
  Client->setAutoFillBackground(true);
  QPalette pal = Client->palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Dark));
  Client->setPalette(pal);
  Client->installEventFilter(this);
  setCentralWidget(Client);
  BuildToolBar();

  // Setup: the main window's caption and the program's icon; page 1 alone.
  if (parent && !parent->windowTitle().isEmpty()) setWindowTitle(parent->windowTitle().left(255));
  setWindowIcon(QIcon(QStringLiteral(":/icons/1001.svg")));
  Page1 = new TApxPreviewPage(Client);
  Remeasure();
  Page1->show();
}

TApxPreviewWin::~TApxPreviewWin() = default;

void TApxPreviewWin::BuildToolBar() {
  PreviewSpeedBar = new QToolBar(this);
  PreviewSpeedBar->setObjectName(QStringLiteral("PreviewToolbar"));
  QFont f = PreviewSpeedBar->font();
  f.setPointSize(10);
  PreviewSpeedBar->setFont(f);
  PreviewSpeedBar->setOrientation(Qt::Horizontal);
  PreviewSpeedBar->setMovable(false);
  PreviewSpeedBar->setIconSize(QSize(24, 24));
  auto button = [this](int id, const char* tip, void (TApxPreviewWin::*handler)()) {
    QIcon icon(QStringLiteral(":/icons/%1.svg").arg(id));
    QAction* a = PreviewSpeedBar->addAction(icon, QString::fromLatin1(tip));
    a->setData(id);
    a->setObjectName(QString::number(id));
    a->setToolTip(QString::fromLatin1(tip));
    connect(a, &QAction::triggered, this, handler);
    if (auto* b = qobject_cast<QToolButton*>(PreviewSpeedBar->widgetForAction(a)))
      b->setObjectName(QString::number(id));
  };
  auto separator = [this](int size) {
    QAction* a = PreviewSpeedBar->addWidget(new GadgetSeparator(size, PreviewSpeedBar));
    a->setProperty("separatorSize", size);
  };
  button(PPR_PREVIOUS, "Previous page", &TApxPreviewWin::PPR_Previous);
  button(PPR_NEXT, "Next page", &TApxPreviewWin::PPR_Next);
  separator(6);
  button(PPR_ONEUP, "One page", &TApxPreviewWin::PPR_OneUp);
  button(PPR_TWOUP, "Two pages", &TApxPreviewWin::PPR_TwoUp);
  separator(12);
  pageText_ = new QLabel(QStringLiteral("Page 1"), PreviewSpeedBar);
  pageText_->setObjectName(QString::number(PPR_PAGETEXT));
  // Ten characters wide, whatever the page numbers.
  pageText_->setFixedWidth(pageText_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);
  pageText_->setAlignment(Qt::AlignCenter);
  PreviewSpeedBar->addWidget(pageText_);
  separator(20);
  button(24337, "Print", &TApxPreviewWin::CmPrint);
  separator(20);
  button(PPR_DONE, "Done", &TApxPreviewWin::PPR_Done);
  addToolBar(Qt::TopToolBarArea, PreviewSpeedBar);
}

void TApxPreviewWin::Remeasure() {
  if (!Printer || !CurrWindow) return;
  const int res = Printer->resolution();
  const QPageLayout layout = Printer->pageLayout();
  paper_ = layout.fullRectPixels(res).size();
  origin_ = layout.paintRectPixels(res).topLeft();
  PrintExtent = paper_.toSize();
  pages_ = CurrWindow->Pages(Printer, layout.paintRectPixels(res).size());
  state_.SetMaxPage(pages_->PageCount());
  // Two pages need paper at least as tall as wide.
  if (state_.TwoUp() && !PPR_TwoUpEnable()) state_.OneUp();
  ShowPages();
}

bool TApxPreviewWin::PPR_TwoUpEnable() const { return PrintExtent.height() >= PrintExtent.width(); }

QString TApxPreviewWin::PageText() const { return QString::fromStdString(state_.PageText()); }

void TApxPreviewWin::ShowPages() {
  PageNumber = state_.FromPage();
  Page1->SetPage(pages_.get(), CurrWindow, paper_, origin_, state_.FromPage());
  if (state_.TwoUp()) {
    if (!Page2) Page2 = new TApxPreviewPage(Client);
    // A one-page document has no second page to show.
    Page2->setVisible(state_.ToPage() != state_.FromPage());
    Page2->SetPage(pages_.get(), CurrWindow, paper_, origin_, state_.ToPage());
  } else if (Page2) {
    delete Page2;
    Page2 = nullptr;
  }
  Layout();
  UpdateGadgets();
}

void TApxPreviewWin::Layout() {
  const PreviewPlacement p =
      PlacePreviewPages(Client->width(), Client->height(), PrintExtent.width(),
                        PrintExtent.height(), Page2 != nullptr);
  Page1->setGeometry(p.page1.x, p.page1.y, p.page1.width, p.page1.height);
  if (Page2) Page2->setGeometry(p.page2.x, p.page2.y, p.page2.width, p.page2.height);
}

void TApxPreviewWin::UpdateGadgets() {
  pageText_->setText(PageText());
  auto enable = [this](int id, bool on) {
    for (QAction* a : PreviewSpeedBar->actions())
      if (a->data().toInt() == id) a->setEnabled(on);
  };
  enable(PPR_PREVIOUS, PPR_PreviousEnable());
  enable(PPR_NEXT, PPR_NextEnable());
  enable(PPR_TWOUP, PPR_TwoUpEnable());
  enable(24337, CmPrintEnable());
}

void TApxPreviewWin::PPR_Previous() {
  if (state_.Previous()) ShowPages();
}

void TApxPreviewWin::PPR_Next() {
  if (state_.Next()) ShowPages();
}

void TApxPreviewWin::PPR_OneUp() {
  state_.OneUp();
  ShowPages();
}

void TApxPreviewWin::PPR_TwoUp() {
  if (!PPR_TwoUpEnable()) return;
  state_.TwoUpPages();
  ShowPages();
}

void TApxPreviewWin::CmPrint() {
  if (print_) print_();
  // The print dialog may have changed the paper.
  Remeasure();
}

void TApxPreviewWin::PPR_Done() { close(); }

void TApxPreviewWin::closeEvent(QCloseEvent* e) {
  e->accept();
  emit Closed();
}

bool TApxPreviewWin::eventFilter(QObject* obj, QEvent* e) {
  if (obj == Client && e->type() == QEvent::Resize && Page1) Layout();
  if (obj == Client && e->type() == QEvent::Paint) {
    // The pages lie on the workspace with a shadow at their lower right.
    QPainter p(Client);
    for (QWidget* page : {static_cast<QWidget*>(Page1), static_cast<QWidget*>(Page2)})
      if (page && page->isVisible())
        p.fillRect(page->geometry().translated(4, 4), QColor(0, 0, 0, 90));
    return true;
  }
  return QMainWindow::eventFilter(obj, e);
}
