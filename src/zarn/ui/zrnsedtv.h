// The editor view widget: a word-wrapping plain-text editor that carries the
// zarn machinery of the core view (zarn/zrnsedtv.h) over a QtTextBuffer.
// The application routes the view's commands here through HandleCommand and
// asks IsCommandEnabled to enable menu items and tool-bar buttons.
#pragma once
#include <QPlainTextEdit>
#include <QPoint>
#include <QSize>
#include <QString>
#include <memory>

#include "framework/qttextbuf.h"

class TZarnsEditView;  // the core view, zarn/zrnsedtv.h
class QMenu;
class QPaintDevice;
class QPainter;
class QSizeF;
class TextDocument;
class ZarnContext;

namespace zui {

class ViewPages;

class TZarnsEditView : public QPlainTextEdit {
  Q_OBJECT
 public:
  // A view of engine context `ctx`, which must outlive it.
  explicit TZarnsEditView(ZarnContext& ctx, QWidget* parent = nullptr);
  // Leaves the context without a current view.
  ~TZarnsEditView() override;

  // The zarn machinery of this view.
  ::TZarnsEditView& Core() { return *core_; }
  // The engine context the view belongs to.
  ZarnContext& Context() const;
  // The text operations over this widget.
  QtTextBuffer& Buffer() { return buffer_; }

  // Runs command `id` of the view's command table (run zarn, the tool-bar
  // zarns, web lookups, copy and paste with clips, Test Zarn, Save Zarn, and
  // the clip items 10001 on); false when the view does not handle `id`.
  bool HandleCommand(int id);
  // Whether the view handles `id` (so the menu item is enabled).
  bool IsCommandEnabled(int id) const;
  // Runs the zarn at the caret.
  void ProcessZarns();

  // --- documents ----------------------------------------------------------
  // Loads the file: shown as UTF-8, or as Latin-1 when it is not valid UTF-8
  // so that every byte survives; false (and `error`) when it cannot be read.
  bool LoadFile(const QString& path, QString* error = nullptr);
  // Saves to `path` (the document's own path when empty), atomically, with
  // the line endings and encoding the file had (a new document: LF, UTF-8);
  // false (and `error`) on failure. A Latin-1 file holding a character that
  // has no byte asks first (through the host) and is not saved on Cancel.
  bool SaveFile(const QString& path = QString(), QString* error = nullptr);
  // The document's file path (empty for a new document).
  QString FilePath() const { return path_; }
  // The document's bytes as they would be saved.
  std::string DocumentBytes() const;

  // --- window state -------------------------------------------------------
  // Screen position of the last right click (Paste before any right click
  // sets it near the view's top-left corner); (0, 0) until then.
  QPoint PopPoint() const { return popPoint_; }
  // The right-click menu.
  QMenu* PopupMenu() const { return popupMenu_; }
  // The menu of clips Paste shows: one item per clip of the context's clip
  // store, in copy order (command ids 10001 on, labels as copied). Made
  // afresh on every call, so the items of an earlier call are gone.
  QMenu* PasteMenu();

  // --- printing -----------------------------------------------------------
  // Enters and leaves the printing state; they nest, as a print job started
  // from the preview does. While printing, the view may be made as large as
  // a printed page (32000 x 32000 pixels) and PrintPage draws.
  void BeginPrinting();
  void EndPrinting();
  bool IsPrinting() const { return printing_ > 0; }
  // The view's lines laid out in its font for pages of `pageSize` device
  // pixels (the printable area) on `device`.
  std::unique_ptr<ViewPages> Pages(QPaintDevice* device, const QSizeF& pageSize) const;
  // Draws page `page` of `pages` at the painter's origin; only while
  // printing. False when nothing was drawn.
  bool PrintPage(QPainter& p, const ViewPages& pages, int page) const;

  // The widget of the context's current view (CurrentView), or nullptr.
  static TZarnsEditView* Current(const ZarnContext& ctx);
  // The widget that carries core view `v`, or nullptr.
  static TZarnsEditView* FromCore(const ::TZarnsEditView* v);

 protected:
  bool event(QEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  void CmEditCopy();
  void CmEditPaste();
  void PasteClip(int id);
  void SelectWordAtCaret();

  QtTextBuffer buffer_;
  std::unique_ptr<::TZarnsEditView> core_;
  QMenu* popupMenu_ = nullptr;
  QMenu* pasteMenu_ = nullptr;
  QPoint popPoint_;
  QString path_;
  std::unique_ptr<TextDocument> doc_;  // the file's bytes, line endings and encoding
  int printing_ = 0;
  QSize normalMaxSize_;  // the size limit outside printing
};

}  // namespace zui
