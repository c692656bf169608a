#include "shell/ui/zrnextls.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "catalog/zrnfile.h"
#include "framework/dlgunits.h"
#include "framework/nocasesort.h"
#include "framework/qtstrings.h"

namespace {

constexpr int kNameEditLimit = 19;  // a 20-byte text limit with its NUL
constexpr int kComboTextMax = 40;   // what a choice is read into
constexpr int kTypedTextMax = 39;
constexpr int kPathMax = 540;
constexpr int kValueRole = Qt::UserRole + 1;

QPushButton* Button(QWidget* parent, int id, const char* text) {
  auto* b = dlgunits::Id(new QPushButton(QString::fromUtf8(text), parent), id);
  b->setAutoDefault(false);
  return b;
}

std::string Left(const QString& s, int n) {
  std::string t = FromQt(s);
  if (t.size() > static_cast<std::size_t>(n)) t.resize(static_cast<std::size_t>(n));
  return t;
}

// The typed name without one leading ".".
std::string TypedName(const QLineEdit* e) {
  std::string t = Left(e->text(), kTypedTextMax);
  if (!t.empty() && t[0] == '.') t.erase(0, 1);
  return t;
}

std::string AfterFirstDot(const std::string& s) {
  auto dot = s.find('.');
  return dot == std::string::npos ? s : s.substr(dot + 1);
}

}  // namespace

TZarnsExtListDlg::TZarnsExtListDlg(ZrnIO& files, MessageHost& messages, QWidget* parent, int resId)
    : QDialog(parent), Registry(new ZrnReg(files, messages)), ZFile(new ZrnFile) {
  setObjectName(QString::number(resId));
  setWindowTitle(QString());
  setFont(dlgunits::DialogFont());
  setModal(true);
  setSizeGripEnabled(true);
  SetupWindow();
}

TZarnsExtListDlg::~TZarnsExtListDlg() {
  delete ZFile;
  delete Registry;
}

void TZarnsExtListDlg::SetupWindow() {
  auto* catLabel = new QLabel(QStringLiteral("Categories "), this);
  auto* ftLabel = new QLabel(QStringLiteral("File Type Extensions "), this);
  catComboCtrl = dlgunits::Id(new QComboBox(this), 1903);
  ftComboCtrl = dlgunits::Id(new QComboBox(this), 1701);
  pathText = dlgunits::Id(new QLabel(QStringLiteral("path "), this), 1225);
  pathText->setTextInteractionFlags(Qt::TextSelectableByMouse);
  pathText->setWordWrap(true);
  pathText->setMinimumHeight(pathText->fontMetrics().height());  // no jump when a path shows
  extListCtrl = dlgunits::Id(new QListWidget(this), 1902);
  extListCtrl->setSelectionMode(QAbstractItemView::SingleSelection);
  extListCtrl->setSortingEnabled(true);
  extListCtrl->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* hint = new QLabel(QStringLiteral("Double Click to Open"), this);
  addCatEdit = dlgunits::Id(new QLineEdit(this), 302);
  addCatEdit->setMaxLength(kNameEditLimit);
  addCatEdit->hide();
  addFTEdit = dlgunits::Id(new QLineEdit(this), 303);
  addFTEdit->setMaxLength(kNameEditLimit);
  addFTEdit->hide();
  addCatBtn = Button(this, 301, "Add Category");
  addFTBtn = Button(this, 300, "Add Ext to Category");
  auto* open = Button(this, 1, "Open");
  auto* openFolder = Button(this, 9, "Open Folder");
  auto* cancel = Button(this, 2, "Cancel");

  // Two columns: the categories on the left, their extensions on the
  // right, each with its add button and (hidden until asked) its edit.
  auto* top = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->addWidget(catLabel, 0, 0);
  grid->addWidget(ftLabel, 0, 1);
  grid->addWidget(catComboCtrl, 1, 0);
  grid->addWidget(ftComboCtrl, 1, 1);
  grid->addWidget(addCatEdit, 2, 0);
  grid->addWidget(addFTEdit, 2, 1);
  grid->addWidget(addCatBtn, 3, 0, Qt::AlignLeft);
  grid->addWidget(addFTBtn, 3, 1, Qt::AlignLeft);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
  top->addLayout(grid);
  top->addWidget(pathText);
  top->addWidget(extListCtrl, 1);
  top->addWidget(hint);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(open);
  buttons->addWidget(openFolder);
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  top->addLayout(buttons);
  resize(dlgunits::Rect(0, 0, 303, 290).size());

  connect(catComboCtrl, &QComboBox::currentIndexChanged, this, [this] { BNCatClick(); });
  connect(ftComboCtrl, &QComboBox::currentIndexChanged, this, [this] { BNFtypeClick(); });
  connect(extListCtrl, &QListWidget::currentItemChanged, this, [this] { BNListClick(); });
  connect(extListCtrl, &QListWidget::itemDoubleClicked, this, [this] { BNDBLListClick(); });
  connect(open, &QPushButton::clicked, this, &TZarnsExtListDlg::BNDBLListClick);
  connect(openFolder, &QPushButton::clicked, this, &TZarnsExtListDlg::BNDBLOpenListClick);
  connect(addCatBtn, &QPushButton::clicked, this, &TZarnsExtListDlg::BNAddCatClick);
  connect(addFTBtn, &QPushButton::clicked, this, &TZarnsExtListDlg::BNAddFTClick);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  // The right button offers nothing: the viewer has no use for a word pick.

  pathText->clear();
  Registry->GetRegistryTextExt();
  ListData cats;
  Registry->GetFileCategories(cats);
  {
    const QSignalBlocker block(catComboCtrl);
    for (const ListItem& c : cats) fw::AddSortedNoCase(catComboCtrl, ToQt(c.text));
    catComboCtrl->setCurrentIndex(catComboCtrl->count() > 0 ? 0 : -1);
  }
  BNCatClick();
}

void TZarnsExtListDlg::BNCatClick() {
  {
    const QSignalBlocker block(ftComboCtrl);
    ftComboCtrl->clear();
    const std::string cat = Left(catComboCtrl->currentText(), kComboTextMax);
    if (!cat.empty()) {
      ListData exts;
      Registry->GetCatFileTypes(exts, cat);
      for (const ListItem& e : exts) fw::AddSortedNoCase(ftComboCtrl, ToQt(e.text));
    }
    ftComboCtrl->setCurrentIndex(ftComboCtrl->count() > 0 ? 0 : -1);
  }
  BNFtypeClick();
}

void TZarnsExtListDlg::BNFtypeClick() {
  {
    const QSignalBlocker block(extListCtrl);
    extListCtrl->clear();
    std::string ext = Left(ftComboCtrl->currentText(), kComboTextMax);
    if (!ext.empty()) {
      ListData found;
      Registry->GetTypeCatMatchFiles(found, ext);
      for (const ListItem& f : found) {
        auto* it = new fw::NoCaseListItem(ToQt(f.text));
        it->setData(kValueRole, static_cast<uint>(f.value));
        extListCtrl->addItem(it);
      }
    }
    if (extListCtrl->count() > 0) extListCtrl->setCurrentRow(0);
  }
  BNListClick();
}

void TZarnsExtListDlg::BNListClick() {
  std::string buffer;
  if (const QListWidgetItem* it = extListCtrl->currentItem()) {
    Registry->GetPathFromOffset(it->data(kValueRole).toUInt(), buffer);
    if (buffer.size() >= static_cast<std::size_t>(kPathMax)) buffer.resize(kPathMax - 1);
  }
  pathText->setText(ToQt(buffer));
}

// With no file chosen there is nothing to open (rather than the folder).
void TZarnsExtListDlg::BNDBLListClick() {
  const QListWidgetItem* it = extListCtrl->currentItem();
  if (!it) return;
  ZFile->Add(FromQt(it->text()), Left(pathText->text(), kPathMax), 0);
  ZFile->ShellFile();
}

// With no folder shown nothing opens (an empty folder would name "/").
void TZarnsExtListDlg::BNDBLOpenListClick() {
  const std::string folder = Left(pathText->text(), kPathMax);
  if (folder.empty()) return;
  ZFile->Add("", folder, 0);
  ZFile->ShellFile();
}

void TZarnsExtListDlg::BNAddCatClick() {
  if (!addCatEdit->isVisible()) {
    addCatEdit->show();
    addCatEdit->setFocus();
    return;
  }
  CompleteAddCategory();
}

void TZarnsExtListDlg::CompleteAddCategory() {
  const std::string text = TypedName(addCatEdit);
  Registry->SetNewCategory(text);
  {
    const QSignalBlocker block(ftComboCtrl);
    ftComboCtrl->setCurrentIndex(-1);
  }
  addCatEdit->hide();
  addCatEdit->clear();
  // The combo shows the name the category was stored under; a refused
  // (empty) name is not listed, and a known one is only selected.
  const std::string stored = AfterFirstDot(text);
  if (stored.empty()) return;
  int at = catComboCtrl->findText(ToQt(stored), Qt::MatchExactly | Qt::MatchCaseSensitive);
  {
    const QSignalBlocker block(catComboCtrl);
    if (at < 0) at = fw::AddSortedNoCase(catComboCtrl, ToQt(stored));
    catComboCtrl->setCurrentIndex(at);
  }
  // The extension list follows the selected category (a new one has none
  // yet), so an extension added next is seen beside its category's others.
  BNCatClick();
}

void TZarnsExtListDlg::BNAddFTClick() {
  if (addCatEdit->isVisible()) CompleteAddCategory();
  if (!addFTEdit->isVisible()) {
    addFTEdit->show();
    addFTEdit->setFocus();
    return;
  }
  const std::string ext = TypedName(addFTEdit);
  const std::string cat = Left(catComboCtrl->currentText(), kComboTextMax);
  Registry->SetNewCategoryExtension(cat, ext);
  addFTEdit->hide();
  addFTEdit->clear();
  const std::string stored = AfterFirstDot(ext);
  if (cat.empty() || stored.empty()) return;  // refused with its message box
  int at = ftComboCtrl->findText(ToQt(stored), Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (at < 0) {
    const QSignalBlocker block(ftComboCtrl);
    at = fw::AddSortedNoCase(ftComboCtrl, ToQt(stored));
  }
  ftComboCtrl->setCurrentIndex(at);
}
