#include "shell/ui/zrnsmdi1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMdiArea>
#include <QMimeData>
#include <QPointer>
#include <QTextDocument>

#include "host/messages.h"
#include "platform/pfile.h"
#include "shell/ui/dropfiles.h"
#include "shell/ui/zarnscmd.h"
#include "shell/ui/zfindrep.h"
#include "zarn/ui/zrnsedtv.h"

using namespace zcmd;

namespace {
int untitledCount = 0;
QPointer<TZarnsFindDlg> findDlg;

// One find box serves every document: it works on whichever is active.
void ShowFind(QWidget* parent, DocumentSite& site, bool replace) {
  if (!findDlg) {
    QWidget* main = site.MainWindow();
    findDlg = new TZarnsFindDlg(
        main ? main : parent, replace, [&site] { return site.ActiveEditor(); }, site.Messages());
  }
  findDlg->SetReplaceMode(replace);
  findDlg->show();
  findDlg->raise();
  findDlg->activateWindow();
}
}  // namespace

TZarnsMDIChild::TZarnsMDIChild(QWidget* parent, zui::TZarnsEditView* view, DocumentSite& site)
    : QMdiSubWindow(parent), view_(view), site_(site) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWidget(view_);
  setWindowIcon(QIcon(QStringLiteral(":/icons/1002.svg")));
  if (view_->FilePath().isEmpty()) untitled_ = ++untitledCount;
  view_->viewport()->installEventFilter(this);
  connect(view_->document(), &QTextDocument::modificationChanged, this,
          [this] { UpdateCaption(); });
  UpdateCaption();
}

TZarnsMDIChild::~TZarnsMDIChild() = default;

QString TZarnsMDIChild::Path() const { return view_->FilePath(); }

QString TZarnsMDIChild::Title() const {
  const QString p = Path();
  return p.isEmpty() ? QString() : QFileInfo(p).fileName();
}

bool TZarnsMDIChild::IsDirty() const { return view_->document()->isModified(); }

void TZarnsMDIChild::SetDirty(bool dirty) { view_->document()->setModified(dirty); }

void TZarnsMDIChild::UpdateCaption() {
  QString t = Title();
  if (t.isEmpty())
    t = QStringLiteral("Untitled%1").arg(untitled_ > 1 ? QString::number(untitled_) : QString());
  setWindowTitle(t + QStringLiteral("[*]"));
  setWindowModified(IsDirty());
}

bool TZarnsMDIChild::WriteCopy(const QString& path) {
  // The bytes as a save would write them; the document keeps its path and
  // its changed mark.
  const bool dirty = IsDirty();
  const bool ok = plat::WriteFileAtomic(path.toStdString(), view_->DocumentBytes());
  SetDirty(dirty);
  return ok;
}

bool TZarnsMDIChild::Save() {
  if (Path().isEmpty()) return SaveAs();
  QString error;
  if (!view_->SaveFile(QString(), &error)) {
    site_.Messages().MessageBox(("Cannot save \"" + Path() + "\".\n" + error).toStdString(),
                                "Zarns", MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  SetDirty(false);
  UpdateCaption();
  return true;
}

bool TZarnsMDIChild::SaveAs() {
  const QString path =
      site_.AskSaveName(Path().isEmpty() ? QStringLiteral("Untitled.zxt") : Path());
  if (path.isEmpty()) return false;
  QString error;
  if (!view_->SaveFile(path, &error)) {
    site_.Messages().MessageBox(("Cannot save \"" + path + "\".\n" + error).toStdString(), "Zarns",
                                MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  SetDirty(false);
  untitled_ = 0;
  UpdateCaption();
  emit PathChanged(view_->FilePath());
  return true;
}

bool TZarnsMDIChild::CanClose() {
  if (!IsDirty()) return true;
  QString name = Title();
  if (name.isEmpty()) name = windowTitle().remove(QStringLiteral("[*]"));
  const int answer = site_.Messages().MessageBox(
      ("The document \"" + name + "\" has changed.\n\nDo you want to save the changes?")
          .toStdString(),
      "Zarns", MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDYES) return Save();
  return answer == IDNO;
}

bool TZarnsMDIChild::eventFilter(QObject* obj, QEvent* e) {
  if (obj == view_->viewport()) {
    switch (e->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* d = static_cast<QDropEvent*>(e);
        if (DroppedFiles(d->mimeData()).isEmpty()) break;
        d->acceptProposedAction();
        return true;
      }
      case QEvent::Drop: {
        auto* d = static_cast<QDropEvent*>(e);
        const QStringList files = DroppedFiles(d->mimeData());
        if (files.isEmpty()) break;
        d->acceptProposedAction();
        emit FilesDropped(files);
        return true;
      }
      default: break;
    }
  }
  return QMdiSubWindow::eventFilter(obj, e);
}

void TZarnsMDIChild::closeEvent(QCloseEvent* e) {
  if (!CanClose()) {
    e->ignore();
    return;
  }
  QMdiSubWindow::closeEvent(e);
}

bool TZarnsMDIChild::IsCommandEnabled(int id) const {
  switch (id) {
    case CM_FILECLOSE:
    case CM_FILESAVE:
    case CM_FILESAVEAS:
    case CM_EDITCLEAR:
    case CM_EDITFIND:
    case CM_EDITREPLACE: return true;
    case CM_EDITUNDO: return view_->document()->isUndoAvailable();
    case CM_EDITCUT:
    case CM_EDITDELETE: return view_->textCursor().hasSelection() && !view_->isReadOnly();
    case CM_EDITFINDNEXT: return !LastFind().what.isEmpty();
    default: return false;
  }
}

bool TZarnsMDIChild::HandleCommand(int id) {
  if (!IsCommandEnabled(id)) return false;
  switch (id) {
    case CM_FILECLOSE: close(); break;
    case CM_FILESAVE: Save(); break;
    case CM_FILESAVEAS: SaveAs(); break;
    case CM_EDITUNDO: view_->undo(); break;
    case CM_EDITCUT: view_->cut(); break;
    case CM_EDITDELETE: view_->textCursor().removeSelectedText(); break;
    case CM_EDITCLEAR: {
      // One undo step, so Undo brings the text back.
      QTextCursor c(view_->document());
      c.select(QTextCursor::Document);
      c.removeSelectedText();
      break;
    }
    case CM_EDITFIND: ShowFind(this, site_, false); break;
    case CM_EDITREPLACE: ShowFind(this, site_, true); break;
    case CM_EDITFINDNEXT:
      if (!FindInEdit(view_, LastFind()))
        site_.Messages().MessageBox("Cannot find \"" + LastFind().what.toStdString() + "\".",
                                    "Zarns", MB_OK | MB_ICONINFORMATION);
      break;
    default: return false;
  }
  return true;
}
