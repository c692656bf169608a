#include "zarn/ui/zrnsedtv.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <vector>

#include "framework/qtstrings.h"
#include "host/host.h"
#include "shell/document.h"
#include "zarn/ui/viewpages.h"
#include "zarn/viewcmds.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

namespace zui {

namespace {

// A menu label shows '&' as itself, not as a mnemonic.
QString MenuLabel(const std::string& label) {
  QString s = ToQt(label);
  s.replace(QLatin1Char('&'), QLatin1String("&&"));
  return s;
}

bool IsClipId(const ZarnContext& ctx, int id) { return id >= CM_FIRSTCLIP && id < ctx.NumClips; }

}  // namespace

TZarnsEditView::TZarnsEditView(ZarnContext& ctx, QWidget* parent)
    : QPlainTextEdit(parent),
      buffer_(this),
      core_(std::make_unique<::TZarnsEditView>(ctx, &buffer_)) {
  // Long lines wrap at the right edge: no horizontal scrolling.
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Arial at a readable size; any sans face stands in where Arial is missing.
  QFont f(QStringLiteral("Arial"), 10, QFont::Normal);
  f.setStyleHint(QFont::SansSerif);
  setFont(f);

  popupMenu_ = new QMenu(this);
  const std::pair<const char*, int> items[] = {{"Copy", CM_EDITCOPY},
                                               {"Cut", CM_EDITCUT},
                                               {"Paste", CM_EDITPASTE},
                                               {"Select Word", CM_EDITCUT}};
  for (const auto& [text, id] : items) {
    QAction* a = popupMenu_->addAction(QString::fromLatin1(text));
    a->setObjectName(QString::number(id));
    a->setData(id);
  }
}

TZarnsEditView::~TZarnsEditView() {
  // A closed view leaves no current view until another one gets the focus.
  Context().CurrentView = nullptr;
}

ZarnContext& TZarnsEditView::Context() const { return core_->Context(); }

TZarnsEditView* TZarnsEditView::FromCore(const ::TZarnsEditView* v) {
  if (!v) return nullptr;
  for (QWidget* w : QApplication::allWidgets())
    if (auto* view = qobject_cast<TZarnsEditView*>(w); view && view->core_.get() == v) return view;
  return nullptr;
}

TZarnsEditView* TZarnsEditView::Current(const ZarnContext& ctx) {
  return FromCore(ctx.CurrentView);
}

QMenu* TZarnsEditView::PasteMenu() {
  if (!pasteMenu_) pasteMenu_ = new QMenu(this);
  pasteMenu_->clear();
  const std::vector<std::string>& clips = Context().Clips.ClipsPtr;
  const std::size_t items = static_cast<std::size_t>(CM_LASTCLIP - CM_FIRSTCLIP + 1);
  for (std::size_t i = 0; i < clips.size() && i < items; ++i) {
    const int id = CM_FIRSTCLIP + static_cast<int>(i);
    QAction* a = pasteMenu_->addAction(MenuLabel(ViewCommands::ClipLabel(clips[i])));
    a->setObjectName(QString::number(id));
    a->setData(id);
  }
  return pasteMenu_;
}

void TZarnsEditView::focusInEvent(QFocusEvent* e) {
  QPlainTextEdit::focusInEvent(e);
  core_->SetFocus();
}

void TZarnsEditView::ProcessZarns() { ViewCommands(*core_).ProcessZarns(); }

bool TZarnsEditView::event(QEvent* e) {
  // Ctrl+Del clears the document through the application's accelerator; the
  // editor would otherwise take it for deleting to the end of the word.
  if (e->type() == QEvent::ShortcutOverride) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Delete && k->modifiers() == Qt::ControlModifier) {
      e->ignore();
      return false;
    }
  }
  return QPlainTextEdit::event(e);
}

void TZarnsEditView::keyPressEvent(QKeyEvent* e) {
  // The keyboard's Copy and Paste are the clip commands, as from the menu.
  if (e == QKeySequence::Copy) {
    HandleCommand(CM_EDITCOPY);
    e->accept();
    return;
  }
  if (e == QKeySequence::Paste) {
    HandleCommand(CM_EDITPASTE);
    e->accept();
    return;
  }
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
  // The zarn runs first, at the word clicked; the word is selected
  // afterwards as usual.
  if (e->button() == Qt::LeftButton) {
    setTextCursor(cursorForPosition(e->position().toPoint()));
    ProcessZarns();
  }
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
    else if (id == CM_EDITCUT)
      cut();
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
  return id == CM_EDITPASTE || IsClipId(Context(), id) || ViewCommands::HandlesCommand(id);
}

bool TZarnsEditView::HandleCommand(int id) {
  if (!IsCommandEnabled(id)) return false;
  // The view commanded is the one zarns write into.
  Context().CurrentView = core_.get();
  if (id == CM_EDITCOPY) {
    CmEditCopy();
  } else if (id == CM_EDITPASTE) {
    CmEditPaste();
  } else if (IsClipId(Context(), id)) {
    PasteClip(id);
  } else {
    ViewCommands(*core_).Command(id);
  }
  return true;
}

// The paste menu follows the clip store, so the clip is all Copy adds.
void TZarnsEditView::CmEditCopy() {
  if (!textCursor().hasSelection()) return;  // nothing to copy, no empty clip
  copy();
  ViewCommands(*core_).CmEditCopy();
}

void TZarnsEditView::CmEditPaste() {
  QMenu* menu = PasteMenu();
  if (menu->actions().isEmpty()) {
    paste();  // nothing copied yet: the clipboard's text
    return;
  }
  if (popPoint_.isNull()) popPoint_ = viewport()->mapToGlobal(QPoint(20, 20));
  if (QAction* chosen = menu->exec(popPoint_)) HandleCommand(chosen->data().toInt());
}

void TZarnsEditView::PasteClip(int id) { ViewCommands(*core_).CmPasteClip(id); }

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
  // A file shown as Latin-1 keeps one byte per character; a character typed
  // that has no such byte would be written as "?", so ask first.
  if (buffer_.Encoding() == TextEncoding::Latin1) {
    const QString all = toPlainText();
    const bool lossy =
        std::any_of(all.begin(), all.end(), [](QChar c) { return c.unicode() > 0xFF; });
    if (lossy && Context().GetHost().MessageBox(
                     "This file is kept one byte per character. Characters that have no such byte "
                     "will be saved as \"?\".\r\nSave anyway?",
                     "Zarns", MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) {
      if (error) *error = QStringLiteral("Not saved");
      return false;
    }
  }
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

// ---------------------------------------------------------------------------
// Printing.

void TZarnsEditView::BeginPrinting() {
  if (printing_++ == 0) {
    normalMaxSize_ = maximumSize();
    setMaximumSize(32000, 32000);
  }
}

void TZarnsEditView::EndPrinting() {
  if (printing_ == 0) return;
  if (--printing_ == 0) setMaximumSize(normalMaxSize_);
}

std::unique_ptr<ViewPages> TZarnsEditView::Pages(QPaintDevice* device,
                                                 const QSizeF& pageSize) const {
  return std::make_unique<ViewPages>(*document(), font(), device, pageSize);
}

bool TZarnsEditView::PrintPage(QPainter& p, const ViewPages& pages, int page) const {
  return IsPrinting() && pages.DrawPage(p, page);
}

}  // namespace zui
