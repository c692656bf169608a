#include "shell/ui/zrnsmdic.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPageSetupDialog>

#include "shell/ui/apxprev.h"
#include "shell/ui/apxprint.h"
#include "shell/ui/dropfiles.h"
#include "shell/ui/zarnscmd.h"
#include "shell/ui/zrnsmdi1.h"
#include "zarn/ui/zrnsedtv.h"

using namespace zcmd;

TZarnsMDIClient::TZarnsMDIClient(QWidget* parent) : QMdiArea(parent) {
  setObjectName(QStringLiteral("MDIClient"));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  SetupWindow();
}

TZarnsMDIClient::~TZarnsMDIClient() = default;

void TZarnsMDIClient::SetupWindow() {
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
}

TZarnsMDIChild* TZarnsMDIClient::ActiveChild() const {
  QMdiSubWindow* w = activeSubWindow();
  if (!w) {
    // With the focus outside the client (a tool-bar click), the last active window counts.
    const auto list = subWindowList(QMdiArea::ActivationHistoryOrder);
    if (!list.isEmpty()) w = list.last();
  }
  return qobject_cast<TZarnsMDIChild*>(w);
}

bool TZarnsMDIClient::IsCommandEnabled(int id) const {
  switch (id) {
    case CM_CASCADECHILDREN:
    case CM_TILECHILDREN:
    case CM_ARRANGEICONS:
    case CM_CLOSECHILDREN: return !subWindowList().isEmpty();
    case CM_FILEPRINT:
    case CM_FILEPRINTERSETUP:
    case CM_FILEPRINTPREVIEW: return CmPrintEnable();
    default: return false;
  }
}

bool TZarnsMDIClient::HandleCommand(int id) {
  if (!IsCommandEnabled(id)) return false;
  switch (id) {
    case CM_CASCADECHILDREN: cascadeSubWindows(); break;
    case CM_TILECHILDREN: tileSubWindows(); break;
    case CM_ARRANGEICONS: ArrangeIcons(); break;
    case CM_CLOSECHILDREN: closeAllSubWindows(); break;
    case CM_FILEPRINT: CmFilePrint(); break;
    case CM_FILEPRINTERSETUP: CmFilePrintSetup(); break;
    case CM_FILEPRINTPREVIEW: CmFilePrintPreview(); break;
    default: return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Printing.

void TZarnsMDIClient::SetPrintSite(ZrnPrinter*& printer, int& printing, MessageHost& messages) {
  printer_ = &printer;
  printing_ = &printing;
  messages_ = &messages;
}

bool TZarnsMDIClient::CmPrintEnable() const {
  if (!printer_ || !ActiveChild() || !ActiveChild()->View()) return false;
  ZrnPrinter* p = EnsurePrinter(*printer_);
  // A printer that cannot print may have been replaced as the default since;
  // never while a job or the preview is using it.
  if (!p->Usable() && *printing_ == 0 && EvPrinterChange(*printer_)) p = *printer_;
  return p->Usable();
}

// The printer for a command, replaced first when the default printer
// changed (unless a job or the preview is using it); null when it cannot
// print.
ZrnPrinter* TZarnsMDIClient::CurrentPrinter() {
  EnsurePrinter(*printer_);
  if (*printing_ == 0) EvPrinterChange(*printer_);
  return (*printer_)->Usable() ? *printer_ : nullptr;
}

void TZarnsMDIClient::CmFilePrint() {
  TZarnsMDIChild* child = ActiveChild();
  if (!printer_ || !child || !child->View()) return;
  if (!CurrentPrinter()) return;
  PrintView(*child->View(), **printer_, *printing_, child->Title(), *messages_,
            QApplication::activeWindow());
}

void TZarnsMDIClient::CmFilePrintSetup() {
  if (!printer_ || !CurrentPrinter()) return;
  if (PrintSetupDialog) {
    PrintSetupDialog(**printer_, this);
    return;
  }
  QPageSetupDialog dlg(*printer_, this);
  dlg.exec();
}

void TZarnsMDIClient::CmFilePrintPreview() {
  TZarnsMDIChild* child = ActiveChild();
  if (!printer_ || !child || !child->View() || preview_) return;
  if (!CurrentPrinter()) return;
  zui::TZarnsEditView* view = child->View();
  PrintingScope scope(*printing_, view);
  QWidget* main = window();
  TApxPreviewWin win(main, *printer_, view, QStringLiteral("Print Preview"),
                     [this] { HandleCommand(CM_FILEPRINT); });
  // Nothing else is reachable while it runs: the main window is hidden.
  win.setWindowModality(Qt::ApplicationModal);
  preview_ = &win;
  const bool maximized = main->isMaximized();
  win.setGeometry(main->geometry());
  if (maximized)
    win.showMaximized();
  else
    win.show();
  main->hide();
  QEventLoop loop;
  connect(&win, &TApxPreviewWin::Closed, &loop, &QEventLoop::quit);
  loop.exec();
  preview_ = nullptr;
  // The main window comes back where the preview window was.
  if (win.isMaximized()) {
    main->showMaximized();
  } else {
    main->setGeometry(win.geometry());
    main->showNormal();
  }
  win.hide();
}

void TZarnsMDIClient::ArrangeIcons() {
  int x = 0;
  const int bottom = viewport()->height();
  for (QMdiSubWindow* w : subWindowList(QMdiArea::CreationOrder)) {
    if (!w->isMinimized()) continue;
    const QSize s = w->size();
    if (x > 0 && x + s.width() > viewport()->width()) x = 0;
    w->move(x, bottom - s.height());
    x += s.width();
  }
}

void TZarnsMDIClient::dragEnterEvent(QDragEnterEvent* e) {
  if (!DroppedFiles(e->mimeData()).isEmpty())
    e->acceptProposedAction();
  else
    e->ignore();
}

void TZarnsMDIClient::dragMoveEvent(QDragMoveEvent* e) {
  if (!DroppedFiles(e->mimeData()).isEmpty())
    e->acceptProposedAction();
  else
    e->ignore();
}

void TZarnsMDIClient::dropEvent(QDropEvent* e) {
  const QStringList files = DroppedFiles(e->mimeData());
  if (files.isEmpty()) {
    e->ignore();
    return;
  }
  e->acceptProposedAction();
  emit FilesDropped(files);
}
