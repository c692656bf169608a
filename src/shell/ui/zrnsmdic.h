// The MDI client: the inner area of the main frame that holds the document
// windows. Files dropped on it are handed to the frame, which opens them.
#pragma once
#include <QMdiArea>

class TZarnsMDIChild;

class TZarnsMDIClient : public QMdiArea {
  Q_OBJECT
 public:
  explicit TZarnsMDIClient(QWidget* parent = nullptr);
  ~TZarnsMDIClient() override;

  // Makes the client a drop target for files.
  void SetupWindow();

  // The window commands (cascade, tile, arrange icons, close all); printing
  // is not answered here yet, so its commands stay disabled.
  bool HandleCommand(int id);
  bool IsCommandEnabled(int id) const;

  // The active document window, or null.
  TZarnsMDIChild* ActiveChild() const;

  // Lines minimised document windows up along the bottom edge.
  void ArrangeIcons();

  int ChildCount = 0;

 signals:
  // Files were dropped on the client; the frame opens them.
  void FilesDropped(const QStringList& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
};
