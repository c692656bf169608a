#include "catalog/ui/zrnsked.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "catalog/ui/zrndlg.h"
#include "catalog/zrnwcat.h"
#include "framework/dlgunits.h"
#include "framework/uihooks.h"

using dlgunits::X;
using dlgunits::Y;

namespace {

QPushButton* MakeButton(QWidget* parent, int id, const QString& text, int x, int y) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::number(id));
  b->setGeometry(X(x), Y(y), X(66), Y(18));
  b->setAutoDefault(false);
  return b;
}

// An edit with its up-down control (a small vertical scroller beside it).
void MakeSpinEdit(QWidget* parent, int editId, int upDownId, const QString& text, int x, int y) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(QString::number(editId));
  e->setGeometry(X(x), Y(y), X(30), Y(12));
  auto* ud = new QScrollBar(Qt::Vertical, parent);
  ud->setObjectName(QString::number(upDownId));
  ud->setGeometry(X(x + 30), Y(y), X(8), Y(12));
}

}  // namespace

ZrnSked::ZrnSked(QWidget* parent, int resId) : QDialog(parent) { Build(resId); }

ZrnSked::ZrnSked(const QString& caption, QWidget* parent, int resId) : QDialog(parent) {
  Build(resId);
  setWindowTitle(caption);
}

ZrnSked::~ZrnSked() = default;

void ZrnSked::Build(int resId) {
  setObjectName(QString::number(resId));
  setWindowTitle(QString());
  setModal(true);
  setFont(QFont(QStringLiteral("Arial"), 9));

  auto* head = new QLabel(
      QStringLiteral(
          "Create a Zarns Catalog (times will vary depending on computer speed and disk size)"),
      this);
  head->setWordWrap(true);
  head->setGeometry(X(8), Y(0), X(176), Y(17));
  auto* body = new QLabel(
      QStringLiteral(
          "-access nearly every refernce to any word on your   computer, not just filenames, but "
          "text in files. -creates file catalogs by filetype"),
      this);
  body->setWordWrap(true);
  body->setGeometry(X(20), Y(17), X(164), Y(29));
  // The texts must be readable whatever the font: the visible part grows to
  // hold them.
  const int bodyHeight = body->heightForWidth(body->width());
  if (bodyHeight > body->height()) body->resize(body->width(), bodyHeight);
  const int headHeight = head->heightForWidth(head->width());
  if (headHeight > head->height()) {
    head->resize(head->width(), headHeight);
    body->move(body->x(), head->y() + headHeight + 2);
  }

  now_ = MakeButton(this, 7110, QStringLiteral("Now"), 188, 4);
  cancel_ = MakeButton(this, 2, QStringLiteral("Cancel"), 188, 26);
  auto* help = MakeButton(this, 9, QStringLiteral("Help"), 188, 90);
  connect(now_, &QPushButton::clicked, this, &ZrnSked::BNClicked);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [resId] {
    if (uihooks::ShowHelp) uihooks::ShowHelp(resId);
  });

  // The scheduling controls lie below the visible part of the dialog, as
  // they always have: no build runs by time, at start-up or at shut-down,
  // and nothing of them is stored or read.
  const char* boxes[] = {"Daily", "Weekly", "Monthly", "at StartUp", "at ShutDown"};
  const int boxY[] = {60, 81, 103, 130, 143};
  for (int i = 0; i < 5; ++i) {
    auto* c = new QCheckBox(QString::fromLatin1(boxes[i]), this);
    c->setObjectName(QStringLiteral("105"));
    c->setGeometry(X(8), Y(boxY[i]), X(56), Y(12));
  }
  MakeSpinEdit(this, 101, 102, QStringLiteral("22"), 89, 56);
  MakeSpinEdit(this, 103, 104, QStringLiteral("30"), 129, 56);
  MakeSpinEdit(this, 106, 107, QStringLiteral("Fridays"), 90, 81);
  MakeSpinEdit(this, 108, 109, QStringLiteral("1st"), 93, 104);
  const char* labels[] = {"at", "on", "on the"};
  const int labelY[] = {60, 85, 107};
  for (int i = 0; i < 3; ++i) {
    auto* l = new QLabel(QString::fromLatin1(labels[i]), this);
    l->setGeometry(X(68), Y(labelY[i]), X(20), Y(10));
  }
  const int frameY[] = {52, 77, 99};
  for (int y : frameY) {
    auto* f = new QFrame(this);
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(X(4), Y(y), X(176), Y(22));
    f->lower();
  }

  const int visible = std::max(Y(46), body->y() + body->height() + 4);
  setFixedSize(X(260), visible);
}

void ZrnSked::BNClicked() {
  if (building_) return;  // one build at a time
  building_ = true;
  // While the build lets events through, this dialog answers nothing but
  // the progress dialog.
  now_->setEnabled(false);
  cancel_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  {
    auto builder = std::make_unique<WordCat>(*Files);
    ZDialog progress(this);
    progress.show();
    builder->CreateWordCatalog(&progress);
    completed_ = progress.Continue() && !builder->Stats().cancelled;
  }
  QApplication::restoreOverrideCursor();
  now_->setEnabled(true);
  cancel_->setEnabled(true);
  building_ = false;
  done(kSkedDone);
}
