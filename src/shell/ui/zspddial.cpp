#include "shell/ui/zspddial.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "framework/dlgunits.h"
#include "framework/qtstrings.h"
#include "host/messages.h"
#include "platform/plauncher.h"
#include "shell/contacts.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

namespace {

const char* const kCaption = "Zarns Speed Dial";

QPushButton* MakeButton(QWidget* parent, int id, const QString& text) {
  auto* b = dlgunits::Id(new QPushButton(text, parent), id);
  b->setAutoDefault(false);
  return b;
}

std::string WhyNot(const SpeedDialStore& s) {
  if (s.Error() == plat::FileError::Busy)
    return "Another copy of Zarns is changing the speed-dial numbers; try again in a moment.";
  return std::string("The speed-dial numbers could not be saved (") +
         plat::FileErrorText(s.Error()) + ").";
}

}  // namespace

TZarnsSpeedDialDlg::TZarnsSpeedDialDlg(SpeedDialStore& store, ZarnContext* ctx,
                                       MessageHost& messages, QWidget* parent, int resId)
    : QDialog(parent), store_(store), ctx_(ctx), messages_(messages) {
  setObjectName(QString::number(resId));
  setWindowTitle(QString::fromLatin1(kCaption));
  setModal(true);
  setFont(dlgunits::DialogFont());

  typeComboCtrl = dlgunits::Id(new QComboBox(this), 284);
  nameText = dlgunits::Id(new QLineEdit(this), 283);
  numberText = dlgunits::Id(new QLineEdit(this), 107);
  auto* add = MakeButton(this, 1, QStringLiteral("Add/Update"));
  add->setDefault(true);
  auto* reset = MakeButton(this, 106, QStringLiteral("Reset/Clear"));
  auto* remove = MakeButton(this, 280, QStringLiteral("Remove"));
  auto* dial = MakeButton(this, 104, QStringLiteral("Dial"));
  auto* copy = MakeButton(this, 105, QStringLiteral("Copy to Doc"));
  phoneWindow = dlgunits::Id(new QTreeWidget(this), 101);
  phoneWindow->setRootIsDecorated(false);
  phoneWindow->setColumnCount(2);
  phoneWindow->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Number")});
  phoneWindow->header()->setStretchLastSection(false);
  phoneWindow->setColumnWidth(0, 40);
  phoneWindow->setColumnWidth(1, 40);
  phoneWindow->setSelectionMode(QAbstractItemView::SingleSelection);
  phoneWindow->setMinimumHeight(dlgunits::Y(60));

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(QStringLiteral("Type"), this), 0, 0);
  fields->addWidget(typeComboCtrl, 0, 1);
  fields->addWidget(new QLabel(QStringLiteral("Name"), this), 1, 0);
  fields->addWidget(nameText, 1, 1);
  fields->addWidget(new QLabel(QStringLiteral("Tel Number"), this), 2, 0);
  fields->addWidget(numberText, 2, 1);
  fields->setColumnMinimumWidth(1, dlgunits::X(90));
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {add, reset, remove, dial, copy}) buttons->addWidget(b);
  buttons->addStretch(1);
  auto* left = new QVBoxLayout;
  left->addLayout(fields);
  left->addWidget(phoneWindow, 1);
  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(dlgunits::X(7), dlgunits::Y(7), dlgunits::X(7), dlgunits::Y(7));
  top->addLayout(left, 1);
  top->addSpacing(dlgunits::X(6));
  top->addLayout(buttons);

  connect(add, &QPushButton::clicked, this, &TZarnsSpeedDialDlg::BNAddUpdateClick);
  connect(reset, &QPushButton::clicked, this, &TZarnsSpeedDialDlg::BNResetClick);
  connect(remove, &QPushButton::clicked, this, &TZarnsSpeedDialDlg::BNRemoveClick);
  connect(dial, &QPushButton::clicked, this, &TZarnsSpeedDialDlg::BNDialClick);
  connect(copy, &QPushButton::clicked, this, &TZarnsSpeedDialDlg::BNCopyToDocClick);
  connect(phoneWindow, &QTreeWidget::itemSelectionChanged, this, &TZarnsSpeedDialDlg::Selected);

  SetupWindow();
}

void TZarnsSpeedDialDlg::SetupWindow() {
  typeComboCtrl->clear();
  for (int t = kHomePhone; t <= kOther; ++t)
    typeComboCtrl->addItem(QString::fromLatin1(TelTypeText(t)));
  Reload(0);
  typeComboCtrl->setCurrentIndex(kHomePhone);
}

void TZarnsSpeedDialDlg::Reload(std::int32_t selectId) {
  if (!store_.GetTelNumbers(phoneListData))
    messages_.MessageBox("The speed-dial numbers cannot be read.", kCaption,
                         MB_OK | MB_ICONEXCLAMATION);
  const QSignalBlocker block(phoneWindow);
  phoneWindow->clear();
  for (const TelNum& t : phoneListData) {
    auto* item = new QTreeWidgetItem(phoneWindow, {ToQt(TelName(t)), ToQt(TelNumber(t))});
    item->setData(0, Qt::UserRole, t.telId);
    // The columns are narrow; the tip shows the whole entry with its type.
    const QString tip = QStringLiteral("%1: %2 (%3)")
                            .arg(ToQt(TelName(t)), ToQt(TelNumber(t)),
                                 QString::fromLatin1(TelTypeText(TelType(t))));
    item->setToolTip(0, tip);
    item->setToolTip(1, tip);
    if (selectId != 0 && t.telId == selectId) item->setSelected(true);
  }
}

std::int32_t TZarnsSpeedDialDlg::SelectedId() const {
  const auto items = phoneWindow->selectedItems();
  return items.isEmpty() ? 0 : items.first()->data(0, Qt::UserRole).toInt();
}

TelNum TZarnsSpeedDialDlg::Current() const {
  if (const std::int32_t id = SelectedId()) {
    for (const TelNum& t : phoneListData)
      if (t.telId == id) return t;
  }
  return MakeTelNum(static_cast<Tels>(std::max(0, typeComboCtrl->currentIndex())),
                    FromQt(nameText->text()), FromQt(numberText->text()));
}

void TZarnsSpeedDialDlg::Selected() {
  const std::int32_t id = SelectedId();
  if (!id) return;
  const TelNum t = Current();
  nameText->setText(ToQt(TelName(t)));
  numberText->setText(ToQt(TelNumber(t)));
  typeComboCtrl->setCurrentIndex(TelType(t));
  EditMode = true;
}

void TZarnsSpeedDialDlg::BNAddUpdateClick() {
  const std::string name = FromQt(nameText->text());
  if (name.empty()) {
    messages_.MessageBox("Type a name for the number first.", kCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  const Tels type = static_cast<Tels>(std::max(0, typeComboCtrl->currentIndex()));
  std::int32_t id = 0;
  if (!store_.SetTelNumber(MakeTelNum(type, name, FromQt(numberText->text())), &id)) {
    messages_.MessageBox(WhyNot(store_), kCaption, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  Reload(id);
}

void TZarnsSpeedDialDlg::BNResetClick() {
  EditMode = false;
  phoneWindow->clearSelection();
  nameText->clear();
  numberText->clear();
  typeComboCtrl->setCurrentIndex(kHomePhone);
}

void TZarnsSpeedDialDlg::BNRemoveClick() {
  EditMode = false;
  const std::int32_t id = SelectedId();
  if (!id) {
    messages_.MessageBox("Select the entry to remove first.", kCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!store_.RemoveId(id)) {
    if (store_.Error() != plat::FileError::None)
      messages_.MessageBox(WhyNot(store_), kCaption, MB_OK | MB_ICONEXCLAMATION);
  }
  Reload(0);
}

void TZarnsSpeedDialDlg::BNDialClick() {
  EditMode = true;
  const std::string number = DialableNumber(TelNumber(Current()));
  if (number.empty()) {
    messages_.MessageBox("There is no number to dial.", kCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!plat::Launch().Dial(number))
    messages_.MessageBox(plat::LaunchFailedText("tel:" + number), kCaption, MB_OK);
}

void TZarnsSpeedDialDlg::BNCopyToDocClick() {
  const TelNum t = Current();
  if (TelName(t).empty() && TelNumber(t).empty()) return;
  if (!ctx_ || !ctx_->CurrentView) {
    messages_.MessageBox("There is no document to copy the number into.", kCaption,
                         MB_OK | MB_ICONINFORMATION);
    return;
  }
  ctx_->CurrentView->InsertText(TelName(t) + ": " + TelNumber(t));
}
