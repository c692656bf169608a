#include "catalog/ui/zrndlg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "framework/dlgunits.h"
#include "framework/uihooks.h"

namespace {

QLabel* MakeLabel(QWidget* parent, int id, const QString& text, int x, int y, int w, int h) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::number(id));
  l->setGeometry(x, y, w, h);
  return l;
}

QPushButton* MakeButton(QWidget* parent, int id, const QString& text, int x, int y, int w, int h) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::number(id));
  b->setGeometry(x, y, w, h);
  b->setAutoDefault(false);
  return b;
}

const QString kArrow = QStringLiteral("-->");
const QString kBlank = QStringLiteral(" ");

}  // namespace

ZDialog::ZDialog(QWidget* parent, int resId) : QDialog(parent) {
  setObjectName(QString::number(resId));
  setWindowTitle(QStringLiteral("Creating Word Catalog"));
  setModal(false);
  setFont(QFont(QStringLiteral("Arial"), 9));
  setFixedSize(dlgunits::X(323), dlgunits::Y(79));
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  TextHead = MakeLabel(this, 9358, QStringLiteral("Processing...  "), 40, 10, 150, 20);
  Text1 = MakeLabel(this, 9354, QStringLiteral("Create Directory Map "), 200, 10, 150, 20);
  Text2 = MakeLabel(this, 9353, QStringLiteral("Create Word Catalog "), 200, 40, 150, 20);
  Text6 = MakeLabel(this, 9360, QStringLiteral("Create FileType Lists "), 200, 70, 150, 20);
  Text3 = MakeLabel(this, 9352, kArrow, 170, 10, 20, 20);
  Text4 = MakeLabel(this, 9351, kBlank, 170, 40, 20, 20);
  Text5 = MakeLabel(this, 9359, kBlank, 170, 70, 20, 20);
  DirectoryText = MakeLabel(this, 9355, QStringLiteral("Active Directories: "), 170, 100, 150, 20);
  DirectoryNumText = MakeLabel(this, 9356, QStringLiteral("  0"), 320, 100, 50, 20);

  PercGauge = new QProgressBar(this);
  PercGauge->setObjectName(QStringLiteral("6101"));
  PercGauge->setGeometry(20, 100, 140, 30);
  PercGauge->setOrientation(Qt::Horizontal);
  PercGauge->setRange(1, 100);
  PercGauge->setValue(1);
  PercGauge->setFormat(QStringLiteral("Directory # %v"));
  PercGauge->setTextVisible(true);
  PercGauge->setStyleSheet(
      QStringLiteral("QProgressBar { border: 1px solid gray; margin: 1px; text-align: center; }"
                     "QProgressBar::chunk { background-color: rgb(40, 255, 40); }"));

  const int bx = width() - 100;
  QPushButton* cancel = MakeButton(this, 2, QStringLiteral("Cancel"), bx, height() - 74, 90, 30);
  QPushButton* help = MakeButton(this, 9, QStringLiteral("Help"), bx, height() - 38, 90, 30);
  connect(cancel, &QPushButton::clicked, this, &ZDialog::BNClicked);
  connect(help, &QPushButton::clicked, this, [resId] {
    if (uihooks::ShowHelp) uihooks::ShowHelp(resId);
  });
}

ZDialog::ZDialog(QWidget* parent, const QString& caption) : QDialog(parent), isInputBox_(true) {
  setObjectName(QStringLiteral("216"));
  setWindowTitle(caption);
  setFont(QFont(QStringLiteral("Arial"), 9));
}

ZDialog::~ZDialog() = default;

bool ZDialog::StepVal(const std::string& ScanDirectory) {
  if (!continue_ || !PercGauge) return false;
  setWindowTitle(QString::fromLocal8Bit(ScanDirectory.c_str()));
  const int next = PercGauge->value() + 1;
  PercGauge->setValue(next >= PercGauge->maximum() ? PercGauge->minimum() : next);
  // The build runs on this thread: let waiting events through once per
  // directory so windows repaint and Cancel can be pressed.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return continue_;
}

void ZDialog::SetMax(int Max) {
  if (!PercGauge) return;
  PercGauge->setRange(1, std::max(1, Max));
}

void ZDialog::SetHeadText(const std::string& txt) {
  if (TextHead) TextHead->setText(QString::fromLocal8Bit(txt.c_str()));
}

void ZDialog::SetDirNumText(int DirNum) {
  if (DirectoryNumText) DirectoryNumText->setText(QString::number(DirNum));
}

void ZDialog::Mark(int stage) {
  if (!Text3) return;
  Text3->setText(stage == 0 ? kArrow : kBlank);
  Text4->setText(stage == 1 ? kArrow : kBlank);
  Text5->setText(stage == 2 ? kArrow : kBlank);
}

void ZDialog::SetCreateDirMapCurrent() { Mark(0); }
void ZDialog::SetCreateCatalogCurrent() { Mark(1); }
void ZDialog::SetCreateFileListCurrent() { Mark(2); }

void ZDialog::BNClicked() {
  continue_ = false;
  QDialog::reject();  // hides the window; later calls change nothing visible
}

void ZDialog::reject() {
  if (isInputBox_) {
    QDialog::reject();
    return;
  }
  BNClicked();
}

ZReqDlg::ZReqDlg(const QString& ReqStr, const QString& Caption, QWidget* parent)
    : ZDialog(parent, Caption) {
  setModal(true);
  // The resource is 208 x 44 units; it is made tall enough that the request
  // text below the entry field is inside the box.
  setFixedSize(dlgunits::X(208), 150);

  entry_ = new QLineEdit(this);
  entry_->setObjectName(QStringLiteral("1"));
  entry_->setMaxLength(20);
  entry_->setGeometry(40, 60, 140, 20);

  auto* request = new QLabel(ReqStr.left(80), this);
  request->setObjectName(QStringLiteral("2"));
  request->setGeometry(40, 82, std::max(140, width() - 50), 20);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("3201"));
  ok->setGeometry(width() - 100, 10, 90, 28);
  ok->setDefault(true);  // Enter ends the box with the value typed
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  // The resource's own placeholders; the box uses the controls above.
  auto* text2 = new QLabel(QStringLiteral("Text2"), this);
  text2->setObjectName(QStringLiteral("Text2"));
  text2->hide();
  auto* edit1 = new QLineEdit(QStringLiteral("Edit1"), this);
  edit1->setObjectName(QStringLiteral("1076"));
  edit1->hide();

  entry_->setFocus();
}

QString ZReqDlg::Value() const { return entry_->text(); }

void ZReqDlg::reject() { QDialog::reject(); }
