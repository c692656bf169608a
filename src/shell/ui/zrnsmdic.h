// The MDI client: the inner area of the main frame that holds the document
// windows. Files dropped on it are handed to the frame, which opens them.
#pragma once
#include <QMdiArea>

class MessageHost;
class TApxPreviewWin;
class TZarnsMDIChild;
class ZrnPrinter;

class TZarnsMDIClient : public QMdiArea {
  Q_OBJECT
 public:
  explicit TZarnsMDIClient(QWidget* parent = nullptr);
  ~TZarnsMDIClient() override;

  // Makes the client a drop target for files.
  void SetupWindow();

  // The window commands (cascade, tile, arrange icons, close all) and
  // Print, Print Setup and Print Preview.
  bool HandleCommand(int id);
  bool IsCommandEnabled(int id) const;

  // --- printing -------------------------------------------------------------
  // The application's printer (made on first use) and Printing counter, and
  // where print errors go; all outlive the client. Until they are given the
  // print commands stay disabled.
  void SetPrintSite(ZrnPrinter*& printer, int& printing, MessageHost& messages);
  // Print, Print Setup and Print Preview are offered while a document window
  // is active and the printer can print.
  bool CmPrintEnable() const;
  // The print dialog, then the job for the active document.
  void CmFilePrint();
  // The page setup dialog for the printer.
  void CmFilePrintSetup();
  // The preview window in place of the main window until it is closed; the
  // main window then takes its position and size.
  void CmFilePrintPreview();
  // The preview window while it runs, else null.
  TApxPreviewWin* Preview() const { return preview_; }

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

 private:
  ZrnPrinter* CurrentPrinter();

  ZrnPrinter** printer_ = nullptr;
  int* printing_ = nullptr;
  MessageHost* messages_ = nullptr;
  TApxPreviewWin* preview_ = nullptr;
};
