#include "shell/ui/zrnsmdic.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiSubWindow>
#include <QMimeData>

#include "shell/ui/dropfiles.h"
#include "shell/ui/zarnscmd.h"
#include "shell/ui/zrnsmdi1.h"

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
    default: return false;
  }
  return true;
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
