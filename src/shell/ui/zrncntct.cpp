#include "shell/ui/zrncntct.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "framework/dlgunits.h"
#include "framework/qtstrings.h"
#include "framework/uihooks.h"
#include "host/messages.h"
#include "platform/plauncher.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

namespace {

const char* const kCaption = "Contact Manager";

// What each edit holds, shown while it is empty.
const char* const kHints[kContactFields] = {
    "First name", "Last name", "Address line 1", "Address line 2", "Address line 3", "Postal code",
    "Phone",      "Fax",       "Email"};

QPushButton* MakeButton(QWidget* parent, int id, const QString& text) {
  auto* b = dlgunits::Id(new QPushButton(text, parent), id);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

ZUpDown::ZUpDown(QWidget* parent) : QWidget(parent) {
  up_ = new QToolButton(this);
  up_->setObjectName(QStringLiteral("up"));
  up_->setArrowType(Qt::UpArrow);
  down_ = new QToolButton(this);
  down_->setObjectName(QStringLiteral("down"));
  down_->setArrowType(Qt::DownArrow);
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(0);
  l->addWidget(up_);
  l->addWidget(down_);
  connect(up_, &QToolButton::clicked, this, [this] { emit DeltaPos(1); });
  connect(down_, &QToolButton::clicked, this, [this] { emit DeltaPos(-1); });
}

ZrnCntct::ZrnCntct(TTransferCntct& transfer, ZarnContext* ctx, MessageHost& messages,
                   QWidget* parent, const std::string& path, std::ostream& diag, int resId)
    : QDialog(parent), transfer_(transfer), ctx_(ctx), messages_(messages), db_(path, diag) {
  setObjectName(QString::number(resId));
  setWindowTitle(QString::fromLatin1(kCaption));
  setModal(true);
  setFont(dlgunits::DialogFont());

  for (int i = 0; i < kContactFields; ++i) {
    const ContactFieldInfo& f = ContactFields()[i];
    auto* e = dlgunits::Id(new QLineEdit(this), f.editId);
    // The slot's size counts the closing NUL.
    e->setMaxLength(static_cast<int>(f.size) - 1);
    e->setPlaceholderText(QString::fromLatin1(kHints[i]));
    edits_[i] = e;
  }
  // The tab control has no pages.
  auto* tabs = dlgunits::Id(new QTabBar(this), 110);
  tabs->setDrawBase(true);
  upDown_ = dlgunits::Id(new ZUpDown(this), 111);

  auto* ok = MakeButton(this, 1, QStringLiteral("OK"));
  ok->setDefault(true);
  auto* cancel = MakeButton(this, 2, QStringLiteral("Cancel"));
  auto* help = MakeButton(this, 9, QStringLiteral("Help"));
  auto* add = MakeButton(this, 1212, QStringLiteral("Add"));
  auto* change = MakeButton(this, 1213, QStringLiteral("Change"));
  auto* del = MakeButton(this, 1214, QStringLiteral("Delete"));
  auto* insert = MakeButton(this, 115, QStringLiteral("Insert Address"));
  auto* phone = MakeButton(this, 1071, QStringLiteral("Phone"));
  auto* fax = MakeButton(this, 1042, QStringLiteral("Fax"));
  auto* email = MakeButton(this, 1043, QStringLiteral("Email"));
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);

  // Name and address on the left, the contact's numbers below with their
  // buttons, the dialog's buttons on the right.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(dlgunits::X(4));
  grid->setVerticalSpacing(dlgunits::Y(2));
  grid->addWidget(new QLabel(QStringLiteral("Name"), this), 0, 0);
  grid->addWidget(Edit(ContactField::kFirstName), 0, 1);
  grid->addWidget(Edit(ContactField::kLastName), 0, 2);
  grid->addWidget(upDown_, 0, 3, 2, 1, Qt::AlignTop);
  grid->addWidget(new QLabel(QStringLiteral("Address"), this), 1, 0);
  grid->addWidget(Edit(ContactField::kAddress1), 1, 1, 1, 2);
  grid->addWidget(Edit(ContactField::kAddress2), 2, 1, 1, 2);
  grid->addWidget(Edit(ContactField::kAddress3), 3, 1, 1, 2);
  grid->addWidget(Edit(ContactField::kPostalCode), 4, 1, 1, 2);
  grid->addWidget(phone, 5, 0);
  grid->addWidget(Edit(ContactField::kPhone), 5, 1, 1, 2);
  grid->addWidget(fax, 6, 0);
  grid->addWidget(Edit(ContactField::kFax), 6, 1, 1, 2);
  grid->addWidget(email, 7, 0);
  grid->addWidget(Edit(ContactField::kEmail), 7, 1, 1, 2);
  grid->setColumnMinimumWidth(1, dlgunits::X(80));
  grid->setColumnMinimumWidth(2, dlgunits::X(80));

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {ok, cancel, help}) buttons->addWidget(b);
  buttons->addSpacing(dlgunits::Y(6));
  for (QPushButton* b : {add, change, del, insert}) buttons->addWidget(b);
  buttons->addStretch(1);

  auto* body = new QHBoxLayout;
  body->addLayout(grid, 1);
  body->addSpacing(dlgunits::X(6));
  body->addLayout(buttons);
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(dlgunits::X(7), dlgunits::Y(7), dlgunits::X(7), dlgunits::Y(7));
  top->addWidget(tabs);
  top->addLayout(body);
  top->addWidget(status_);

  connect(upDown_, &ZUpDown::DeltaPos, this, &ZrnCntct::EvBump);
  connect(insert, &QPushButton::clicked, this, &ZrnCntct::BNInsertClicked);
  connect(add, &QPushButton::clicked, this, &ZrnCntct::BNAddClicked);
  connect(change, &QPushButton::clicked, this, &ZrnCntct::BNChangeClicked);
  connect(del, &QPushButton::clicked, this, &ZrnCntct::BNDeleteClicked);
  connect(phone, &QPushButton::clicked, this, &ZrnCntct::BNPhoneClicked);
  connect(fax, &QPushButton::clicked, this, &ZrnCntct::BNFaxClicked);
  connect(email, &QPushButton::clicked, this, &ZrnCntct::BNEmailClicked);
  connect(ok, &QPushButton::clicked, this, &ZrnCntct::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [resId] {
    if (uihooks::ShowHelp) uihooks::ShowHelp(resId);
  });

  // Opening the dialog does not wait for another copy: it says so at once.
  bool held;
  {
    plat::LockWaitScope noWait(std::chrono::milliseconds(0));
    held = db_.OpenDB();
  }
  if (!held) {
    status_->setText(
        db_.HoldError() == plat::FileError::Busy
            ? QStringLiteral("Another copy of Zarns has the contacts open: you can look, but "
                             "not add, change or delete.")
            : QStringLiteral("The contacts file cannot be opened for writing (%1).")
                  .arg(QString::fromLatin1(plat::FileErrorText(db_.HoldError()))));
  }
  status_->setVisible(!status_->text().isEmpty());
  TransferToEdits();
}

ZrnCntct::~ZrnCntct() { db_.CloseDB(); }

void ZrnCntct::TransferFromEdits() {
  for (int i = 0; i < kContactFields; ++i)
    SetField(transfer_, ContactFields()[i].field, FromQt(edits_[i]->text()));
}

void ZrnCntct::TransferToEdits() {
  for (int i = 0; i < kContactFields; ++i)
    edits_[i]->setText(ToQt(GetField(transfer_, ContactFields()[i].field)));
}

void ZrnCntct::accept() {
  TransferFromEdits();
  QDialog::accept();
}

void ZrnCntct::EvBump(int delta) {
  if (db_.Bump(delta, transfer_)) TransferToEdits();
}

void ZrnCntct::BNInsertClicked() {
  TransferFromEdits();
  if (!ctx_ || !ctx_->CurrentView) {
    messages_.MessageBox("There is no document to insert the address into.", kCaption,
                         MB_OK | MB_ICONINFORMATION);
    return;
  }
  ctx_->CurrentView->InsertText(InsertAddressText(transfer_));
}

bool ZrnCntct::CanWrite() {
  if (db_.Held() || db_.OpenDB()) {
    status_->hide();
    return true;
  }
  messages_.MessageBox(db_.HoldError() == plat::FileError::Busy
                           ? "Another copy of Zarns has the contacts open; the contacts "
                             "cannot be changed now."
                           : std::string("The contacts file cannot be written (") +
                                 plat::FileErrorText(db_.HoldError()) + ").",
                       kCaption, MB_OK | MB_ICONEXCLAMATION);
  return false;
}

void ZrnCntct::BNAddClicked() {
  TransferFromEdits();
  if (!CanWrite()) return;
  if (!db_.Add(transfer_))
    messages_.MessageBox(std::string("The contact could not be added (") +
                             plat::FileErrorText(db_.HoldError()) + ").",
                         kCaption, MB_OK | MB_ICONEXCLAMATION);
}

void ZrnCntct::BNChangeClicked() {
  TransferFromEdits();
  if (!CanWrite()) return;
  if (db_.Shown() < 0) {
    messages_.MessageBox("Step to the contact to change first.", kCaption,
                         MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!db_.Change(db_.Shown(), transfer_))
    messages_.MessageBox(std::string("The contact could not be changed (") +
                             plat::FileErrorText(db_.HoldError()) + ").",
                         kCaption, MB_OK | MB_ICONEXCLAMATION);
}

void ZrnCntct::BNDeleteClicked() {
  if (!CanWrite()) return;
  const long long shown = db_.Shown();
  TTransferCntct rec;
  if (shown < 0 || !db_.Get(shown, rec)) {
    messages_.MessageBox("Step to the contact to delete first.", kCaption,
                         MB_OK | MB_ICONINFORMATION);
    return;
  }
  const std::string who =
      GetField(rec, ContactField::kFirstName) + " " + GetField(rec, ContactField::kLastName);
  if (messages_.MessageBox("Delete the contact \"" + who + "\"?", kCaption,
                           MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  if (!db_.Delete(shown)) {
    messages_.MessageBox(std::string("The contact could not be deleted (") +
                             plat::FileErrorText(db_.HoldError()) + ").",
                         kCaption, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!db_.ShowNear(transfer_)) transfer_ = EmptyContact();
  TransferToEdits();
}

void ZrnCntct::Dial(ContactField f) {
  TransferFromEdits();
  const std::string number = DialableNumber(GetField(transfer_, f));
  if (number.empty()) {
    messages_.MessageBox("There is no number to dial.", kCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!plat::Launch().Dial(number))
    messages_.MessageBox(plat::LaunchFailedText("tel:" + number), kCaption, MB_OK);
}

void ZrnCntct::BNPhoneClicked() { Dial(ContactField::kPhone); }

void ZrnCntct::BNFaxClicked() { Dial(ContactField::kFax); }

void ZrnCntct::BNEmailClicked() {
  TransferFromEdits();
  const std::string address = MailtoAddress(GetField(transfer_, ContactField::kEmail));
  if (address.empty()) {
    messages_.MessageBox("There is no mail address to write to.", kCaption,
                         MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!plat::Launch().Open("mailto:" + address))
    messages_.MessageBox(plat::LaunchFailedText("mailto:" + address), kCaption, MB_OK);
}
