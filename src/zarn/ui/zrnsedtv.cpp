#include "zarn/ui/zrnsedtv.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFocusEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <vector>

#include "framework/qthost.h"
#include "shell/document.h"
#include "shell/host.h"
#include "zarn/zrnclip.h"
#include "zarn/zrnsedtv.h"

namespace zui {

namespace {

// Command ids of the edit commands the view answers beside its zarn table.
enum : int {
  kEditUndo = 24321,
  kEditCut = 24322,
  kEditDelete = 24325,
  kEditClear = 24326,
  kEditFind = 24351,
  kEditReplace = 24352,
  kEditFindNext = 24353,
};

// The views alive, for finding the widget of a core view.
std::vector<TZarnsEditView*>& LiveViews() {
  static std::vector<TZarnsEditView*> views;
  return views;
}

QPointer<QMenu>& PasteMenuPtr() {
  static QPointer<QMenu> menu;
  return menu;
}

// A menu label shows '&' as itself, not as a mnemonic.
QString MenuLabel(const std::string& label) {
  QString s = QtHost::ToQt(label);
  s.replace(QLatin1Char('&'), QLatin1String("&&"));
  return s;
}

bool IsClipId(int id) { return id >= CM_FIRSTCLIP && id < NumClips; }

}  // namespace

QMenu* PasteMenu() {
  QPointer<QMenu>& menu = PasteMenuPtr();
  if (!menu) menu = new QMenu;
  return menu;
}

void DestroyPasteMenu() { delete PasteMenuPtr().data(); }

TZarnsEditView::TZarnsEditView(QWidget* parent)
    : QPlainTextEdit(parent), buffer_(this), core_(std::make_unique<::TZarnsEditView>(&buffer_)) {
  // Long lines wrap at the right edge: no horizontal scrolling.
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Arial at a readable size (a 6-unit font would be unreadable on today's
  // screens); any sans face stands in where Arial is missing.
  QFont f(QStringLiteral("Arial"), 10, QFont::Normal);
  f.setStyleHint(QFont::SansSerif);
  setFont(f);

  popupMenu_ = new QMenu(this);
  const std::pair<const char*, int> items[] = {
      {"Copy", CM_EDITCOPY}, {"Cut", kEditCut}, {"Paste", CM_EDITPASTE}, {"Select Word", kEditCut}};
  for (const auto& [text, id] : items) {
    QAction* a = popupMenu_->addAction(QString::fromLatin1(text));
    a->setObjectName(QString::number(id));
    a->setData(id);
  }
  LiveViews().push_back(this);
}

TZarnsEditView::~TZarnsEditView() {
  auto& views = LiveViews();
  views.erase(std::remove(views.begin(), views.end(), this), views.end());
  // A closed view leaves no current view until another one gets the focus.
  CurrentView = nullptr;
}

TZarnsEditView* TZarnsEditView::FromCore(const ::TZarnsEditView* v) {
  if (!v) return nullptr;
  for (TZarnsEditView* w : LiveViews())
    if (w->core_.get() == v) return w;
  return nullptr;
}

TZarnsEditView* TZarnsEditView::Current() { return FromCore(CurrentView); }

void TZarnsEditView::focusInEvent(QFocusEvent* e) {
  QPlainTextEdit::focusInEvent(e);
  core_->SetFocus();
}

void TZarnsEditView::ProcessZarns() {
  CurrentView = core_.get();
  core_->ProcessZarns();
}

void TZarnsEditView::keyPressEvent(QKeyEvent* e) {
  if (e->modifiers() & Qt::AltModifier) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      // Alt+Enter runs the zarn, again on every auto-repeat.
      ProcessZarns();
      e->accept();
      return;
    }
    // Alt+Shift runs the zarn once per press of Shift: holding it would
    // otherwise rewrite the line over and over.
    if (e->key() == Qt::Key_Shift && !e->isAutoRepeat()) ProcessZarns();
  }
  QPlainTextEdit::keyPressEvent(e);
}

void TZarnsEditView::mouseDoubleClickEvent(QMouseEvent* e) {
  // The zarn runs first; the word is selected afterwards as usual.
  if (e->button() == Qt::LeftButton) ProcessZarns();
  QPlainTextEdit::mouseDoubleClickEvent(e);
}

void TZarnsEditView::contextMenuEvent(QContextMenuEvent* e) {
  popPoint_ = e->globalPos();
  if (QAction* chosen = popupMenu_->exec(popPoint_)) {
    const int id = chosen->data().toInt();
    // "Select Word" selects the word at the caret: it carries the Cut
    // command's id, but cutting text away from an item named so would lose
    // the user's text.
    if (chosen->text() == QLatin1String("Select Word"))
      SelectWordAtCaret();
    else
      HandleCommand(id);
  }
  // After a right click the view writes in Tahoma 8.
  QFont f(QStringLiteral("Tahoma"), 8, QFont::Normal);
  f.setStyleHint(QFont::SansSerif);
  setFont(f);
}

void TZarnsEditView::SelectWordAtCaret() {
  QTextCursor c = textCursor();
  c.clearSelection();
  c.select(QTextCursor::WordUnderCursor);
  setTextCursor(c);
}

bool TZarnsEditView::IsCommandEnabled(int id) const {
  switch (id) {
    case CM_EDITPASTE:
    case kEditCut:
    case kEditDelete:
    case kEditClear:
    case kEditFind:
    case kEditReplace:
      return true;
    case kEditUndo:
      return document()->isUndoAvailable();
    case kEditFindNext:
      return !findText_.isEmpty();
    default:
      break;
  }
  return IsClipId(id) || ::TZarnsEditView::HandlesCommand(id);
}

bool TZarnsEditView::HandleCommand(int id) {
  // The view commanded is the one zarns write into.
  CurrentView = core_.get();
  switch (id) {
    case CM_EDITCOPY: CmEditCopy(); return true;
    case CM_EDITPASTE: CmEditPaste(); return true;
    case kEditUndo: undo(); return true;
    case kEditCut: cut(); return true;
    case kEditDelete: textCursor().removeSelectedText(); return true;
    case kEditClear: clear(); return true;
    case kEditFind: FindText(true); return true;
    case kEditFindNext: FindText(false); return true;
    case kEditReplace: ReplaceText(); return true;
    default: break;
  }
  if (IsClipId(id)) {
    PasteClip(id);
    return true;
  }
  if (!::TZarnsEditView::HandlesCommand(id)) return false;
  core_->Command(id);
  return true;
}

void TZarnsEditView::CmEditCopy() {
  if (!textCursor().hasSelection()) return;  // nothing to copy, no empty clip
  copy();
  std::string label;
  const int id = core_->CmEditCopy(&label);
  if (id == 0) return;
  QAction* a = PasteMenu()->addAction(MenuLabel(label));
  a->setObjectName(QString::number(id));
  a->setData(id);
}

void TZarnsEditView::CmEditPaste() {
  QMenu* menu = PasteMenu();
  if (menu->actions().isEmpty()) {
    paste();  // nothing copied yet: the clipboard's text
    return;
  }
  if (popPoint_.isNull()) popPoint_ = mapToGlobal(QPoint(20, 20));
  if (QAction* chosen = menu->exec(popPoint_)) HandleCommand(chosen->data().toInt());
}

void TZarnsEditView::PasteClip(int id) { core_->CmPasteClip(id); }

void TZarnsEditView::FindText(bool askFirst) {
  if (askFirst || findText_.isEmpty()) {
    bool ok = false;
    const QString t = QInputDialog::getText(this, QStringLiteral("Find"), QStringLiteral("Find what:"),
                                            QLineEdit::Normal, findText_, &ok);
    if (!ok || t.isEmpty()) return;
    findText_ = t;
  }
  if (!find(findText_)) {
    // Wrap around once from the start.
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::Start);
    setTextCursor(c);
    if (!find(findText_))
      TheHost().MessageBox("Cannot find \"" + QtHost::FromQt(findText_) + "\"", "Find", MB_OK);
  }
}

void TZarnsEditView::ReplaceText() {
  bool ok = false;
  const QString what = QInputDialog::getText(this, QStringLiteral("Replace"), QStringLiteral("Find what:"),
                                             QLineEdit::Normal, findText_, &ok);
  if (!ok || what.isEmpty()) return;
  const QString with = QInputDialog::getText(this, QStringLiteral("Replace"), QStringLiteral("Replace with:"),
                                             QLineEdit::Normal, QString(), &ok);
  if (!ok) return;
  findText_ = what;
  QTextCursor c(document());
  c.beginEditBlock();
  QTextCursor hit = document()->find(what, 0);
  while (!hit.isNull()) {
    hit.insertText(with);
    hit = document()->find(what, hit.position());
  }
  c.endEditBlock();
}

bool TZarnsEditView::LoadFile(const QString& path, QString* error) {
  auto doc = std::make_unique<TextDocument>();
  if (!doc->Load(QFile::encodeName(path).toStdString())) {
    if (error) *error = QStringLiteral("Cannot read %1").arg(path);
    return false;
  }
  buffer_.SetEncoding(doc->IsUtf8() ? TextEncoding::Utf8 : TextEncoding::Latin1);
  QString text = buffer_.Decode(QByteArray::fromStdString(doc->Text()));
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  setPlainText(text);
  document()->setModified(false);
  doc_ = std::move(doc);
  path_ = path;
  return true;
}

std::string TZarnsEditView::DocumentBytes() const {
  const std::string crlf = buffer_.GetText();
  if (doc_) return doc_->ToBytes(crlf);
  return TextDocument::FromCrLf(crlf, TextDocument::LineEnding::LF);
}

bool TZarnsEditView::SaveFile(const QString& path, QString* error) {
  const QString target = path.isEmpty() ? path_ : path;
  if (target.isEmpty()) {
    if (error) *error = QStringLiteral("The document has no file name");
    return false;
  }
  if (!doc_) doc_ = std::make_unique<TextDocument>();
  const std::string crlf = buffer_.GetText();
  const bool ok = target == path_ && !doc_->Path().empty()
                      ? doc_->Save(crlf)
                      : doc_->SaveAs(QFile::encodeName(target).toStdString(), crlf);
  if (!ok) {
    if (error) *error = QStringLiteral("Cannot write %1").arg(target);
    return false;
  }
  // What is on disk now is what a later save compares against.
  doc_->Load(QFile::encodeName(target).toStdString());
  path_ = target;
  document()->setModified(false);
  return true;
}

}  // namespace zui
