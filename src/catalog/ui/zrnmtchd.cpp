#include "catalog/ui/zrnmtchd.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <filesystem>

#include "catalog/wordreader.h"
#include "catalog/zrnfile.h"
#include "framework/nocasesort.h"
#include "framework/qtstrings.h"
#include "framework/uihooks.h"
#include "host/host.h"
#include "platform/pdatadir.h"
#include "platform/plauncher.h"
#include "store/zrnio.h"

namespace {
constexpr int kMatchRole = Qt::UserRole + 1;  // the entry's fileid
constexpr std::uint32_t kCopyChunk = 9046;

QPushButton* MakeButton(QWidget* parent, int id, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::number(id));
  b->setAutoDefault(false);
  b->setDefault(false);
  return b;
}
}  // namespace

ShowMatchDlg::ShowMatchDlg(ZrnIO& files, Host& host, ShowMatchXfer xfer, QWidget* parent, int resId)
    : QDialog(parent),
      files_(files),
      host_(host),
      ShowCatalog(files, host, host),
      xfer_(std::move(xfer)) {
  setObjectName(QString::number(resId));
  setWindowTitle(QStringLiteral("Zarns Find Results"));
  setModal(true);
  setSizeGripEnabled(true);
  setMinimumSize(340, 260);

  wordsLabel_ = new QLabel(QStringLiteral("Words to Match (separate with space character)"), this);

  MatchString = new QLineEdit(this);
  MatchString->setObjectName(QStringLiteral("171"));
  MatchString->setMaxLength(255);

  PathString = new QLineEdit(this);
  PathString->setObjectName(QStringLiteral("9402"));
  PathString->setMaxLength(255);
  PathString->setReadOnly(true);
  PathString->hide();  // shown once a file is highlighted

  MatchList = new QListWidget(this);
  MatchList->setObjectName(QStringLiteral("172"));
  MatchList->setSelectionMode(QAbstractItemView::SingleSelection);
  MatchList->setSortingEnabled(true);

  ClickNotice = new QLabel(QStringLiteral("Double click to open, or highlight and click OK"), this);
  ClickNotice->setObjectName(QStringLiteral("295"));

  ShortNote = new QLabel(this);
  ShortNote->setObjectName(QStringLiteral("shortWords"));
  ShortNote->setWordWrap(true);

  BtnOk = MakeButton(this, 294, QStringLiteral("OK"));
  BtnCancel = MakeButton(this, 2, QStringLiteral("Cancel"));
  BtnHelp = MakeButton(this, 9, QStringLiteral("Help"));

  connect(BtnOk, &QPushButton::clicked, this, &ShowMatchDlg::BNOkClicked);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(BtnHelp, &QPushButton::clicked, this, [resId] {
    if (uihooks::ShowHelp) uihooks::ShowHelp(resId);
  });
  connect(MatchList, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* cur, QListWidgetItem*) {
            if (cur) LBNSetFocus();
          });
  connect(MatchList, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem*) { LBNDblclk(); });

  // The transfer buffer into the controls.
  FillList(xfer_.ListOfMatches);
  MatchString->setText(ToQt(xfer_.MatchString.substr(0, 255)));
  PathString->setText(ToQt(xfer_.PathString.substr(0, 255)));
  if (!xfer_.PathString.empty()) PathString->show();

  resize(560, 400);
  EvSize();
  MatchString->setFocus();
}

ShowMatchDlg::~ShowMatchDlg() = default;

ShowMatchXfer ShowMatchDlg::Transfer() const {
  ShowMatchXfer x;
  for (int i = 0; i < MatchList->count(); ++i) {
    const QListWidgetItem* it = MatchList->item(i);
    x.ListOfMatches.push_back({FromQt(it->text()), it->data(kMatchRole).toUInt()});
  }
  x.MatchString = FromQt(MatchString->text());
  x.PathString = FromQt(PathString->text());
  return x;
}

void ShowMatchDlg::FillList(const std::vector<MatchItem>& items) {
  MatchList->clear();
  for (const MatchItem& m : items) {
    auto* it = new fw::NoCaseListItem(ToQt(m.name));
    it->setData(kMatchRole, static_cast<uint>(m.fileid));
    MatchList->addItem(it);
  }
  MatchList->sortItems(Qt::AscendingOrder);
}

void ShowMatchDlg::BNClicked() {
  ShowCatalog.HitList.clear();
  // The words field as an 80-character buffer: at most 79 characters count.
  std::string words = FromQt(MatchString->text());
  if (words.size() > 79) words.resize(79);
  ShowCatalog.FindName = words;
  ShowCatalog.InterpretWords();
  // Words shorter than any catalogued word can match nothing; saying so
  // here explains an empty list better than the no-match box.
  std::string tooShort;
  for (const std::string& w : ShowCatalog.FindArray)
    if (w.size() < WordReader::kMinWordLen) tooShort += (tooShort.empty() ? "" : ", ") + w;
  if (tooShort.empty())
    ShortNote->clear();
  else
    ShortNote->setText(ToQt("Words of fewer than " + std::to_string(WordReader::kMinWordLen) +
                            " letters are not in the catalog: " + tooShort));
  if (ShowCatalog.MatchesFound == 0 && tooShort.empty())
    host_.MessageBox("No Match found", "Search strings not found", MB_OKCANCEL);
  FillList(ShowCatalog.HitList);
  PathString->clear();
  update();
}

void ShowMatchDlg::LBNSetFocus() {
  QListWidgetItem* it = MatchList->currentItem();
  if (!it) return;
  PathString->show();
  ShowCatalog.fileid = it->data(kMatchRole).toUInt();
  ShowCatalog.GetFilePath(false);
  PathString->setText(ToQt(ShowCatalog.FindPath.substr(0, 255)));
}

std::string ShowMatchDlg::FullPath(const std::string& name) const {
  const std::string& dir = ShowCatalog.FindPath;
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

void ShowMatchDlg::LBNDblclk() {
  const int action = uihooks::ListDblClkAction ? uihooks::ListDblClkAction() : 0;
  for (QListWidgetItem* it : MatchList->selectedItems()) {
    ShowCatalog.fileid = it->data(kMatchRole).toUInt();
    ShowCatalog.GetFilePath(false);
    const std::string name = FromQt(it->text());
    if (action == 1) {
      AddFile(FullPath(name));
    } else {
      ZrnFile f;
      f.Add(name, ShowCatalog.FindPath, 0);
      f.Reset();
      if (!f.ShellFile()) host_.MessageBox(plat::LaunchFailedText(f.FileInfo), "Zarns", MB_OK);
    }
  }
}

// The OK button: the notice says "highlight and click OK", so OK opens the
// highlighted file as a double click would; with nothing highlighted it runs
// the search for the words typed.
void ShowMatchDlg::BNOkClicked() {
  if (!MatchList->selectedItems().isEmpty()) {
    LBNDblclk();
    return;
  }
  BNClicked();
}

std::string PlainTextCopyPath(const std::string& file) {
  std::string name = std::filesystem::path(file).filename().string();
  if (name.size() >= 3)
    name.replace(name.size() - 3, 3, "zrn");
  else
    name = "zrn";
  std::string dir = plat::DataPath("copies");
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir + "/" + name;
}

// The editor keeps every byte of a file, so a text file opens as itself and
// can be edited and saved in place. A file with NUL bytes (a binary format
// that was catalogued) opens as a plain-text copy with only its printable
// characters and white space; the copy goes to the program's own folder so
// that no file beside the catalogued one is ever overwritten.
bool ShowMatchDlg::AddFile(const std::string& file) {
  QFile probe(QFile::decodeName(file.c_str()));
  if (!probe.open(QIODevice::ReadOnly)) {
    host_.MessageBox("Cannot open " + file, "Zarns", MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  const QByteArray head = probe.read(kCopyChunk);
  probe.close();
  if (!head.contains('\0')) return host_.AddFile(file);

  ZrnIO& io = files_;
  const std::string copy = PlainTextCopyPath(file);
  HANDLE in = io.OpenFile(file.c_str(), "r");
  HANDLE out = io.OpenFile(copy.c_str(), "w+");
  bool ok = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE;
  if (ok) {
    std::vector<char> chunk(kCopyChunk);
    for (;;) {
      const long n = io.ReadFromFile(chunk.data(), kCopyChunk, in);
      if (n <= 0) break;
      io.CleanAndWriteToFile(chunk.data(), static_cast<std::uint32_t>(n), out);
    }
  }
  if (in != INVALID_HANDLE_VALUE) io.CloseFile(in);
  if (out != INVALID_HANDLE_VALUE) io.CloseFile(out);
  if (!ok) {
    host_.MessageBox("Cannot make a text copy of " + file, "Zarns", MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  return host_.AddFile(copy);
}

void ShowMatchDlg::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  EvSize();
}

void ShowMatchDlg::EvSize() {
  const int W = width();
  const int H = height();
  MatchList->setGeometry(14, 71, std::max(0, W - 136), std::max(0, H - 138));
  BtnOk->setGeometry(W - 110, 8, 90, 30);
  BtnCancel->setGeometry(W - 110, 52, 90, 30);
  BtnHelp->setGeometry(W - 110, 92, 90, 30);
  ClickNotice->setGeometry(4, H - 60, 280, 20);
  ShortNote->setGeometry(4, H - 40, std::max(0, W - 24), 36);
  // The words field and the path field sit above the list.
  wordsLabel_->setGeometry(14, 2, std::max(0, W - 136), 18);
  MatchString->setGeometry(14, 20, std::max(0, W - 136), 22);
  PathString->setGeometry(14, 45, std::max(0, W - 136), 22);
}

void ShowMatchDlg::keyPressEvent(QKeyEvent* e) {
  // Enter is the dialog's default command: it runs the search, it does not
  // close the dialog.
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    BNClicked();
    return;
  }
  QDialog::keyPressEvent(e);
}
