#include "shell/ui/zrnftype.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "framework/dlgunits.h"
#include "framework/nocasesort.h"
#include "framework/qtstrings.h"
#include "host/messages.h"
#include "platform/pfile.h"

ZrnFTypeXfer ZrnFType::XferData;

namespace {
constexpr int kExtLimit = 9;  // a 10-byte buffer with its NUL

QPushButton* Button(QWidget* parent, int id, const char* text) {
  auto* b = dlgunits::Id(new QPushButton(QString::fromUtf8(text), parent), id);
  b->setAutoDefault(false);
  return b;
}
}  // namespace

ZrnFType::ZrnFType(ZrnIO& files, MessageHost& messages, QWidget* parent, int resId)
    : QDialog(parent), Registry(new ZrnReg(files, messages)), messages_(messages) {
  setObjectName(QString::number(resId));
  setWindowTitle(QStringLiteral("Add / Remove File Types to Catalog"));
  setFont(dlgunits::DialogFont());
  setModal(true);

  auto* title = new QLabel(QStringLiteral("File Types for Word Catalog"), this);
  NewExtension = dlgunits::Id(new QLineEdit(this), 8101);
  NewExtension->setMaxLength(kExtLimit);
  auto* add = Button(this, 7105, "Add");
  auto* reset = Button(this, 9357, "Reset");
  ListOfExtensions = dlgunits::Id(new QListWidget(this), 123);
  ListOfExtensions->setSelectionMode(QAbstractItemView::SingleSelection);
  ListOfExtensions->setSortingEnabled(true);
  auto* remove = Button(this, 7106, "Remove");

  auto* top = new QVBoxLayout(this);
  top->addWidget(title);
  auto* editRow = new QHBoxLayout;
  editRow->addWidget(NewExtension, 1);
  editRow->addWidget(add);
  top->addLayout(editRow);
  top->addWidget(ListOfExtensions, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(remove);
  buttons->addStretch(1);
  buttons->addWidget(reset);
  top->addLayout(buttons);
  resize(dlgunits::Rect(0, 0, 144, 185).size());

  connect(add, &QPushButton::clicked, this, &ZrnFType::BNAddClicked);
  connect(remove, &QPushButton::clicked, this, &ZrnFType::BNRemoveClicked);
  connect(reset, &QPushButton::clicked, this, &ZrnFType::BNRegClicked);
  connect(NewExtension, &QLineEdit::returnPressed, this, &ZrnFType::BNAddClicked);

  Registry->GetUserAddedExt();
  XferData.ExtList = *Registry->ExtList;
  TransferToControls();
  NewExtension->setFocus();
}

ZrnFType::~ZrnFType() { delete Registry; }

void ZrnFType::TransferToControls() {
  NewExtension->setText(ToQt(XferData.UserNewExtension.substr(0, kExtLimit)));
  ListOfExtensions->clear();
  for (const ListItem& e : XferData.ExtList) {
    auto* it = new fw::NoCaseListItem(ToQt(e.text));
    ListOfExtensions->addItem(it);
    it->setSelected(e.selected);
  }
}

void ZrnFType::TransferFromControls() {
  XferData.UserNewExtension = FromQt(NewExtension->text());
  XferData.ExtList.clear();
  for (int i = 0; i < ListOfExtensions->count(); ++i) {
    const QListWidgetItem* it = ListOfExtensions->item(i);
    XferData.ExtList.push_back({FromQt(it->text()), 0, it->isSelected()});
  }
}

void ZrnFType::done(int r) {
  // The edit's text is kept however the dialog is closed.
  XferData.UserNewExtension = FromQt(NewExtension->text());
  QDialog::done(r);
}

void ZrnFType::BNAddClicked() {
  TransferFromControls();
  if (!XferData.UserNewExtension.empty())
    XferData.ExtList.push_back({XferData.UserNewExtension, 0, false});
  TransferToControls();
  BNClicked();
}

void ZrnFType::BNClicked() {
  std::vector<std::string> exts;
  exts.reserve(100);
  for (int i = 0; i < ListOfExtensions->count(); ++i)
    exts.push_back(FromQt(ListOfExtensions->item(i)->text()));
  Registry->RegExtPtr = &exts;
  const bool saved = Registry->SetExtensions();
  Registry->RegExtPtr = nullptr;
  // A list that could not be written is said, with its cause; what the
  // dialog shows stays, so Add can be pressed again.
  if (!saved)
    messages_.MessageBox(std::string("The file types to catalog could not be saved: ") +
                             plat::FileErrorText(Registry->LastError()) + ".",
                         "Add / Remove File Types to Catalog", MB_OK | MB_ICONEXCLAMATION);
}

void ZrnFType::BNRemoveClicked() {
  const auto selected = ListOfExtensions->selectedItems();
  for (QListWidgetItem* it : selected) delete it;
}

void ZrnFType::BNRegClicked() {
  Registry->GetRegistryTextExt();
  reject();
}
