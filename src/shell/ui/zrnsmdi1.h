// A document window: the MDI child frame that holds one editor view and the
// document shown in it (new, opened, saved, closed with a prompt to save).
#pragma once
#include <QMdiSubWindow>
#include <QString>

class MessageHost;
class QPlainTextEdit;
namespace zui {
class TZarnsEditView;
}

// What a document window needs from the application that holds it.
class DocumentSite {
 public:
  virtual ~DocumentSite() = default;
  // The name to save a document under, `suggested` first (the Save As
  // dialog); empty when cancelled.
  virtual QString AskSaveName(const QString& suggested) = 0;
  // The editor Find and Replace work on: the active document's, or null.
  virtual QPlainTextEdit* ActiveEditor() const = 0;
  // The parent of the find box: the main window, or null for none.
  virtual QWidget* MainWindow() const = 0;
  // Where the window's questions and errors go.
  virtual MessageHost& Messages() = 0;
};

class TZarnsMDIChild : public QMdiSubWindow {
  Q_OBJECT
 public:
  // A child around `view` (which it takes over) on `parent`'s client;
  // `site` outlives it.
  TZarnsMDIChild(QWidget* parent, zui::TZarnsEditView* view, DocumentSite& site);
  ~TZarnsMDIChild() override;

  zui::TZarnsEditView* View() const { return view_; }

  // --- the document -------------------------------------------------------
  // The file's path; empty for a document never saved.
  QString Path() const;
  // The title: the file's name, or empty for a document never saved.
  QString Title() const;
  // Whether the text changed since it was loaded or saved.
  bool IsDirty() const;
  void SetDirty(bool dirty);
  // Saves under the document's own path (Save As when it has none); false
  // when not saved (cancelled or failed, the failure shown to the user).
  bool Save();
  // Asks for a new name and saves there.
  bool SaveAs();
  // Writes the document to `path` without making it the document's path.
  bool WriteCopy(const QString& path);
  // Asks whether a changed document may close (Yes saves, No discards,
  // Cancel keeps it open); true when it may close.
  bool CanClose();

  // --- commands -----------------------------------------------------------
  // Close, Save, Save As and the editing commands the view leaves to its
  // window: undo, cut, clear all, delete, find, replace, find next.
  bool HandleCommand(int id);
  bool IsCommandEnabled(int id) const;

  // Keeps the caption in step with the path and the changed mark.
  void UpdateCaption();

 signals:
  // The document got a path (opened or saved under a new name).
  void PathChanged(const QString& path);
  // Files were dropped on the editor.
  void FilesDropped(const QStringList& paths);

 protected:
  void closeEvent(QCloseEvent* e) override;
  // Files dropped on the editor open as documents instead of landing in the text as names.
  bool eventFilter(QObject* obj, QEvent* e) override;

 private:
  zui::TZarnsEditView* view_;
  DocumentSite& site_;
  int untitled_ = 0;
};
