// Dialog 7 "Add / Remove File Types to Catalog": edits the list of
// extensions whose files the word catalog reads.
#pragma once
#include <QDialog>
#include <string>

#include "catalog/zrnreg.h"

class QLineEdit;
class QListWidget;
class MessageHost;
class ZrnIO;

// The dialog's transfer record: the edit's text and the list shown.
struct ZrnFTypeXfer {
  std::string UserNewExtension;  // at most 9 characters
  ListData ExtList;
};

class ZrnFType : public QDialog {
  Q_OBJECT
 public:
  // Lists the extensions to catalog of `files`; `messages` takes the
  // registry's message boxes. Both must outlive the dialog.
  ZrnFType(ZrnIO& files, MessageHost& messages, QWidget* parent = nullptr, int resId = 7);
  ~ZrnFType() override;

  // Add (7105): the edit's text joins the list as typed, then the list is saved.
  void BNAddClicked();
  // Remove (7106): the selected entry leaves the list; nothing is written
  // until the next Add.
  void BNRemoveClicked();
  // Reset (9357): every list is rebuilt from the file types and the dialog
  // closes.
  void BNRegClicked();
  // Save: list file 10 becomes exactly the entries shown, in their order.
  void BNClicked();

  // One record for the whole process, so the edit's text is there again at
  // the next opening.
  static ZrnFTypeXfer XferData;

  QLineEdit* NewExtension = nullptr;        // 8101
  QListWidget* ListOfExtensions = nullptr;  // 123
  ZrnReg* Registry = nullptr;

 protected:
  void done(int r) override;

 private:
  void TransferToControls();
  void TransferFromControls();
  MessageHost& messages_;
};
