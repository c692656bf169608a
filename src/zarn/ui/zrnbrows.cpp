#include "zarn/ui/zrnbrows.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>

#include "framework/dlgunits.h"
#include "framework/qtstrings.h"
#include "host/host.h"
#include "platform/plauncher.h"
#include "platform/psort.h"
#include "store/zrnedit.h"
#include "zarn/textbuf.h"
#include "zarn/viewcmds.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

using dlgunits::Id;
using dlgunits::Rect;

namespace {

const char* const kCaption = "Zarn Browser";

QPushButton* Button(QWidget* parent, int id, const char* text, QRect r) {
  auto* b = Id(new QPushButton(QString::fromLatin1(text), parent), id);
  b->setAutoDefault(false);
  b->setGeometry(r);
  return b;
}

QPlainTextEdit* Edit(QWidget* parent, int id, QRect r) {
  auto* e = Id(new QPlainTextEdit(parent), id);
  e->setGeometry(r);
  e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  return e;
}

// Where sent packages wait for the mailer, which reads them after the
// dialog has gone; removed when the program ends.
QTemporaryDir& SendDir() {
  static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/zarns-send-XXXXXX"));
  return dir;
}

}  // namespace

ZrnBrowse::ZrnBrowse(ZarnContext& ctx, QWidget* parent, int resId)
    : QDialog(parent),
      ctx_(ctx),
      op_(std::make_unique<ZrnPkgOp>(ctx.GetFiles(), ctx.GetHost(), ctx.GetHost())) {
  setObjectName(QString::number(resId));
  setWindowTitle(QString::fromLatin1(kCaption));
  setModal(true);
  setFont(dlgunits::DialogFont());
  setFixedSize(dlgunits::X(244), dlgunits::Y(196));

  ZarnTab = Id(new QTabBar(this), kTab);
  ZarnTab->setGeometry(Rect(4, 4, 236, 14));
  ZarnTab->setExpanding(false);
  ZarnTab->setUsesScrollButtons(true);

  auto label = [this](const char* text, QRect r) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setGeometry(r);
  };
  label("Zarn", Rect(6, 22, 60, 9));
  ZarnList = Id(new QComboBox(this), kList);
  ZarnList->setGeometry(Rect(6, 31, 146, 13));
  ZarnList->setEditable(false);
  ZarnList->setMaxVisibleItems(12);
  label("Description", Rect(6, 49, 80, 9));
  DescEdit = Edit(this, kDesc, Rect(6, 58, 146, 60));
  label("Usage", Rect(6, 123, 80, 9));
  UsageEdit = Edit(this, kUsage, Rect(6, 132, 146, 58));

  run_ = Button(this, kRun, "Run", Rect(162, 31, 76, 14));
  insert_ = Button(this, kInsert, "Paste in Document", Rect(162, 49, 76, 14));
  modify_ = Button(this, kModify, "Modify", Rect(162, 67, 76, 14));
  delete_ = Button(this, kDelete, "Delete", Rect(162, 85, 76, 14));

  PopupMenu = new QMenu(this);
  auto item = [this](int id, const char* text, void (ZrnBrowse::*fn)()) {
    QAction* a = PopupMenu->addAction(QString::fromLatin1(text));
    a->setObjectName(QString::number(id));
    a->setData(id);
    connect(a, &QAction::triggered, this, [this, fn] { (this->*fn)(); });
    return a;
  };
  item(CM_COPYZARNITEM, "Copy Zarn", &ZrnBrowse::CmCopyZarnItem);
  item(CM_DELETEZARNITEM, "Cut Zarn", &ZrnBrowse::CmDeleteZarnItem);
  item(CM_PASTEZARNITEM, "Paste Zarn", &ZrnBrowse::CmPasteZarnItem);
  QAction* load = PopupMenu->addAction(QStringLiteral("Load New Package"));
  load->setObjectName(QString::number(CM_NEWPACKAGE));
  load->setData(static_cast<int>(CM_NEWPACKAGE));
  connect(load, &QAction::triggered, this, [this] { CmNewPackage(); });
  QAction* send = item(CM_SENDPACKAGE, "Send Package", &ZrnBrowse::CmSendPackage);
  // Sending needs a mailer; without one the item is shown disabled.
  send->setEnabled(plat::Launch().CanMail());

  connect(run_, &QPushButton::clicked, this, &ZrnBrowse::BNRunClicked);
  connect(insert_, &QPushButton::clicked, this, &ZrnBrowse::BNInsertClicked);
  connect(modify_, &QPushButton::clicked, this, &ZrnBrowse::BNModifyClicked);
  connect(delete_, &QPushButton::clicked, this, &ZrnBrowse::BNDeleteClicked);
  connect(ZarnList, &QComboBox::currentIndexChanged, this, [this] {
    if (!filling_) CBNZarnSelchange();
  });
  connect(ZarnTab, &QTabBar::currentChanged, this, [this] {
    if (!filling_) TabSelChange();
  });
  ZarnList->installEventFilter(this);
  ZarnList->view()->viewport()->installEventFilter(this);

  // A rewrite of the store cut short by a crash is finished (or undone)
  // before anything is listed.
  ZrnEdit::Recover(ctx_.GetFiles());
  Refresh();
}

ZrnBrowse::~ZrnBrowse() = default;

void ZrnBrowse::Refresh() {
  const int tab = ZarnTab->currentIndex();
  filling_ = true;
  while (ZarnTab->count() > 0) ZarnTab->removeTab(0);
  ZarnTab->addTab(QStringLiteral("All"));
  // The package table lists each package once; nothing else fills the list
  // before the tab's own fill, so every name stands in it once.
  for (const std::string& name : op_->PackageNames()) ZarnTab->addTab(ToQt(name));
  ZarnTab->setCurrentIndex(tab > 0 && tab < ZarnTab->count() ? tab : 0);
  filling_ = false;
  TabSelChange();
}

void ZrnBrowse::TabSelChange() {
  const int k = ZarnTab->currentIndex();
  if (k <= 0) {
    LoadAllZarns();
  } else {
    PkgID = static_cast<std::uint32_t>(12 * (k - 1));
    LoadPkg();
  }
}

void ZrnBrowse::LoadAllZarns() { Fill(op_->AllZarns()); }

void ZrnBrowse::LoadPkg() { Fill(op_->PackageZarns(PkgID)); }

void ZrnBrowse::Fill(std::vector<std::string> names) {
  const std::string keep = Selected();
  plat::SortNoCase(names);
  filling_ = true;
  ZarnList->clear();
  for (const std::string& n : names) ZarnList->addItem(ToQt(n));
  filling_ = false;
  // The first name, unless the one shown before is still there.
  if (keep.empty() || !Select(keep)) ZarnList->setCurrentIndex(names.empty() ? -1 : 0);
  CBNZarnSelchange();
}

std::vector<std::string> ZrnBrowse::Names() const {
  std::vector<std::string> out;
  for (int i = 0; i < ZarnList->count(); ++i) out.push_back(FromQt(ZarnList->itemText(i)));
  return out;
}

std::string ZrnBrowse::Selected() const {
  return ZarnList->currentIndex() < 0 ? std::string() : FromQt(ZarnList->currentText());
}

bool ZrnBrowse::Select(const std::string& name) {
  const int i = ZarnList->findText(ToQt(name), Qt::MatchFixedString | Qt::MatchCaseSensitive);
  if (i < 0) return false;
  const bool was = filling_;
  filling_ = true;
  ZarnList->setCurrentIndex(i);
  filling_ = was;
  if (!was) CBNZarnSelchange();
  return true;
}

void ZrnBrowse::CBNZarnSelchange() {
  DescEdit->clear();
  UsageEdit->clear();
  std::string desc, usage;
  const std::string name = Selected();
  if (!name.empty() && op_->BrowseInfo(name, desc, usage)) {
    DescEdit->setPlainText(ToQt(desc));
    UsageEdit->setPlainText(ToQt(usage));
  }
  UpdateButtons();
}

void ZrnBrowse::UpdateButtons() {
  const bool have = !Selected().empty();
  // Pasting and running need a document to work in.
  const bool view = ctx_.CurrentView && ctx_.CurrentView->Buffer();
  run_->setEnabled(have && view);
  insert_->setEnabled(have && view);
  modify_->setEnabled(have);
  delete_->setEnabled(have);
}

void ZrnBrowse::BNModifyClicked() {
  const std::string name = Selected();
  if (name.empty()) return;
  op_->ModifyBrowse(name, ZrnEdit::EditLines(FromQt(DescEdit->toPlainText())),
                    ZrnEdit::EditLines(FromQt(UsageEdit->toPlainText())));
}

void ZrnBrowse::BNInsertClicked() {
  const std::string name = Selected();
  TextBuffer* b = ctx_.CurrentView ? ctx_.CurrentView->Buffer() : nullptr;
  if (name.empty() || !b) return;
  b->Insert(name);
}

void ZrnBrowse::BNRunClicked() {
  TZarnsEditView* v = ctx_.CurrentView;
  if (Selected().empty() || !v || !v->Buffer()) return;
  BNInsertClicked();
  ViewCommands(*v).CmRunzarn();
}

bool ZrnBrowse::DeleteZarn(const std::string& name) {
  ZrnEdit edit(ctx_.GetFiles());
  const ZrnEdit::Result r = edit.Delete(name);
  if (r != ZrnEdit::Result::kDone) {
    Tell(ZrnEdit::Describe(r, edit.LastError(), name));
    return false;
  }
  Refresh();
  return true;
}

void ZrnBrowse::BNDeleteClicked() {
  const std::string name = Selected();
  if (name.empty()) return;
  if (ctx_.GetHost().MessageBox("Delete the zarn \"" + name + "\"?", kCaption,
                                MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  DeleteZarn(name);
}

void ZrnBrowse::CmCopyZarnItem() { CopySelected(); }

bool ZrnBrowse::CopySelected() {
  const std::string name = Selected();
  if (name.empty()) return false;
  // The zarn lookups find: the oldest of that name.
  std::vector<StoredZarn> all;
  ZrnEdit edit(ctx_.GetFiles());
  if (!edit.ReadAll(all)) {
    Tell("The zarn store cannot be read (" +
         std::string(plat::FileErrorText(plat::LastFileError())) + ").");
    return false;
  }
  std::string upper = name;
  ZrnUpper(upper);
  for (const StoredZarn& z : all) {
    std::string n = z.name;
    ZrnUpper(n);
    if (n != upper) continue;
    std::string section;
    bool blanked = false;
    if (!ZrnEdit::Section(z, section, blanked)) {
      Tell("The zarn \"" + name +
           "\" cannot be copied as a package section: its texts hold one of the words "
           "ztxt, zfnc, zdesc or zuse.");
      return false;
    }
    QGuiApplication::clipboard()->setText(ToQt(section));
    return true;
  }
  return false;
}

void ZrnBrowse::CmDeleteZarnItem() {
  const std::string name = Selected();
  if (name.empty()) return;
  // Only what is safely on the clipboard is removed from the store.
  if (CopySelected()) DeleteZarn(name);
}

void ZrnBrowse::CmPasteZarnItem() {
  std::string text = FromQt(QGuiApplication::clipboard()->text());
  std::string last;
  int stored = 0, refused = 0;
  while (op_->ParsePackage(text)) {
    if (op_->LastStored) {
      ++stored;
      std::string n;
      op_->Lvl.ZrnID = op_->ZrnID;
      op_->Lvl.GetZarn(n, true);
      op_->Lvl.StopSet();
      last = n;
    } else {
      ++refused;
    }
  }
  if (stored == 0 && refused == 0) {
    Tell(
        "The clipboard holds no zarn: copy one with Copy Zarn, or a text that starts "
        "with \"ztxt\", the zarn's name and its definition.");
    return;
  }
  if (refused > 0)
    Tell(std::to_string(refused) +
         " zarn(s) on the clipboard could not be stored (no name, a name with spaces, "
         "or a text of 4096 characters or more).");
  Refresh();
  if (!last.empty()) Select(last);
}

PkgLoadResult ZrnBrowse::CmNewPackage() {
  PkgLoadResult r = op_->CmNewPackage();
  if (r.loaded) Refresh();
  return r;
}

void ZrnBrowse::CmSendPackage() {
  const int k = ZarnTab->currentIndex();
  std::optional<std::uint32_t> id;
  std::string pkgName = "zarns";
  if (k > 0) {
    id = static_cast<std::uint32_t>(12 * (k - 1));
    pkgName = FromQt(ZarnTab->tabText(k));
  }
  ZrnEdit edit(ctx_.GetFiles());
  PkgExport out;
  if (!edit.Export(id, pkgName, out)) {
    Tell(
        "The package could not be made: the zarn store cannot be read, or the package "
        "would be larger than 1 MB.");
    return;
  }
  QTemporaryDir& dir = SendDir();
  static int serial = 0;
  const QString sub = dir.filePath(QString::number(++serial));
  QDir().mkpath(sub);
  const std::string path = FromQt(sub + QLatin1Char('/') + ToQt(ZrnEdit::PackageNameFrom(pkgName)) +
                                  QStringLiteral(".pkg"));
  if (!dir.isValid() || !plat::WriteFileAtomic(path, out.text)) {
    Tell("The package file could not be written (" +
         std::string(plat::FileErrorText(plat::LastFileError())) + ").");
    return;
  }
  if (!out.skipped.empty()) {
    std::string names;
    for (const auto& n : out.skipped) names += (names.empty() ? "" : ", ") + n;
    Tell("These zarns were left out: a package cannot carry their texts: " + names + ".");
  }
  if (!plat::Launch().Mail({path})) Tell("The mail program could not be started.");
}

void ZrnBrowse::Tell(const std::string& text) { ctx_.GetHost().MessageBox(text, kCaption, MB_OK); }

void ZrnBrowse::contextMenuEvent(QContextMenuEvent* e) {
  PopPoint = e->globalPos();
  PopupMenu->exec(PopPoint);
}

bool ZrnBrowse::eventFilter(QObject* obj, QEvent* e) {
  if (e->type() == QEvent::MouseButtonDblClick &&
      (obj == ZarnList || obj == ZarnList->view()->viewport())) {
    ZarnList->hidePopup();
    CBNZarnBrowseDblclk();
    return true;
  }
  return QDialog::eventFilter(obj, e);
}
