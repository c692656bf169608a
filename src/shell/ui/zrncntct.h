// The contact manager (dialog 18, "Contact Manager"): one contact of the
// contacts file at a time, stepped with the up-down control, inserted into
// the document as an address, dialled, mailed, added, changed and deleted.
// The file is held for writing while the dialog exists.
#pragma once
#include <QDialog>
#include <QWidget>
#include <iostream>
#include <string>

#include "shell/contacts.h"

class MessageHost;
class QLabel;
class QLineEdit;
class QToolButton;
class ZarnContext;

// An up-down control: two arrows; the up arrow reports a change of +1, the
// down arrow -1, as the position-change notification gives them.
class ZUpDown : public QWidget {
  Q_OBJECT
 public:
  explicit ZUpDown(QWidget* parent = nullptr);
  QToolButton* Up() const { return up_; }
  QToolButton* Down() const { return down_; }
 signals:
  void DeltaPos(int delta);

 private:
  QToolButton* up_;
  QToolButton* down_;
};

class ZrnCntct : public QDialog {
  Q_OBJECT
 public:
  // Shows and keeps the contact in `transfer` (which outlives the dialog:
  // the program keeps the contact shown last from one opening to the next).
  // Insert Address writes into `ctx`'s current view; questions and errors go
  // to `messages`; read errors to `diag`.
  ZrnCntct(TTransferCntct& transfer, ZarnContext* ctx, MessageHost& messages,
           QWidget* parent = nullptr, const std::string& path = ContactsPath(),
           std::ostream& diag = std::cerr, int resId = 18);
  ~ZrnCntct() override;

  // The up-down control's change: a positive one shows the previous record,
  // any other the next.
  void EvBump(int delta);
  // Inserts the shown contact's name and address at the caret.
  void BNInsertClicked();
  // Appends the shown fields as a new contact.
  void BNAddClicked();
  // Rewrites the shown contact with the fields.
  void BNChangeClicked();
  // Deletes the shown contact, after asking.
  void BNDeleteClicked();
  // Dial the shown phone or fax number; mail the shown address.
  void BNPhoneClicked();
  void BNFaxClicked();
  void BNEmailClicked();

  // The edits into the transfer buffer and back.
  void TransferFromEdits();
  void TransferToEdits();

  ContactsDB& DB() { return db_; }
  QLineEdit* Edit(ContactField f) const { return edits_[static_cast<int>(f)]; }

 public slots:
  // OK copies the edits back into the transfer buffer.
  void accept() override;

 private:
  // False (after saying why) when this copy cannot write the file.
  bool CanWrite();
  void Dial(ContactField f);

  TTransferCntct& transfer_;
  ZarnContext* ctx_;
  MessageHost& messages_;
  ContactsDB db_;
  QLineEdit* edits_[kContactFields] = {};
  ZUpDown* upDown_ = nullptr;
  QLabel* status_ = nullptr;
};
