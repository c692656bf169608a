#include "catalog/ui/zrnsked.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <ctime>

#include "catalog/buildlog.h"
#include "catalog/ui/zrndlg.h"
#include "catalog/zrnwcat.h"
#include "framework/dlgunits.h"
#include "framework/uihooks.h"
#include "platform/pfile.h"

using dlgunits::X;
using dlgunits::Y;

namespace {

QPushButton* MakeButton(QWidget* parent, int id, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::number(id));
  b->setAutoDefault(false);
  return b;
}

QLabel* MakeText(QWidget* parent, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setWordWrap(true);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return l;
}

// The widest of the buttons' own wishes and the nominal width.
int ButtonWidth(std::initializer_list<QPushButton*> buttons) {
  int w = X(66);
  for (QPushButton* b : buttons) w = std::max(w, b->sizeHint().width());
  return w;
}

}  // namespace

ZrnSked::ZrnSked(ZrnIO& files, QWidget* parent, int resId) : QDialog(parent), files_(files) {
  Build(resId);
}

ZrnSked::ZrnSked(ZrnIO& files, const QString& caption, QWidget* parent, int resId)
    : QDialog(parent), files_(files) {
  Build(resId);
  setWindowTitle(caption);
}

ZrnSked::~ZrnSked() = default;

void ZrnSked::Build(int resId) {
  setObjectName(QString::number(resId));
  setWindowTitle(QString());
  setModal(true);
  setFont(QFont(QStringLiteral("Arial"), 9));

  head_ = MakeText(this, QStringLiteral("Create a Zarns Catalog (times will vary depending on "
                                        "computer speed and disk size)"));
  body_ = MakeText(
      this, QStringLiteral(
                "-access nearly every refernce to any word on your   computer, not just filenames, "
                "but text in files. -creates file catalogs by filetype"));

  now_ = MakeButton(this, 7110, QStringLiteral("Now"));
  cancel_ = MakeButton(this, 2, QStringLiteral("Cancel"));
  help_ = MakeButton(this, 9, QStringLiteral("Help"));
  connect(now_, &QPushButton::clicked, this, &ZrnSked::BNClicked);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [resId] {
    if (uihooks::ShowHelp) uihooks::ShowHelp(resId);
  });

  // The scheduling controls lie below the visible part of the dialog and
  // are never read: the schedule is set in Preferences or with
  // "zarns-cli catalog schedule".
  const char* boxes[] = {"Daily", "Weekly", "Monthly", "at StartUp", "at ShutDown"};
  const int boxY[] = {60, 81, 103, 130, 143};
  for (int i = 0; i < 5; ++i) {
    auto* c = new QCheckBox(QString::fromLatin1(boxes[i]), this);
    c->setObjectName(QStringLiteral("105"));
    schedule_.push_back({c, QRect(8, boxY[i], 56, 12)});
  }
  // Each edit with its up-down control (a small vertical scroller beside it).
  struct Spin {
    int editId, upDownId;
    const char* text;
    int x, y;
  };
  const Spin spins[] = {{101, 102, "22", 89, 56},
                        {103, 104, "30", 129, 56},
                        {106, 107, "Fridays", 90, 81},
                        {108, 109, "1st", 93, 104}};
  for (const Spin& s : spins) {
    auto* e = new QLineEdit(QString::fromLatin1(s.text), this);
    e->setObjectName(QString::number(s.editId));
    schedule_.push_back({e, QRect(s.x, s.y, 30, 12)});
    auto* ud = new QScrollBar(Qt::Vertical, this);
    ud->setObjectName(QString::number(s.upDownId));
    schedule_.push_back({ud, QRect(s.x + 30, s.y, 8, 12)});
  }
  const char* labels[] = {"at", "on", "on the"};
  const int labelY[] = {60, 85, 107};
  for (int i = 0; i < 3; ++i)
    schedule_.push_back(
        {new QLabel(QString::fromLatin1(labels[i]), this), QRect(68, labelY[i], 20, 10)});
  for (int y : {52, 77, 99}) {
    auto* f = new QFrame(this);
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    f->lower();
    schedule_.push_back({f, QRect(4, y, 176, 22)});
  }

  LayOut();
}

void ZrnSked::LayOut() {
  if (!help_) return;  // still being built
  ensurePolished();
  // The texts keep their nominal column (8 and 20 units from the left edge,
  // up to 184) unless a word of the current font is wider; their heights
  // are what the wrapped text needs, at least the nominal 17 and 29 units.
  const int headX = X(8);
  const int bodyX = X(20);
  const int textRight = std::max(
      {X(184), headX + head_->minimumSizeHint().width(), bodyX + body_->minimumSizeHint().width()});
  const int headH = std::max(Y(17), head_->heightForWidth(textRight - headX));
  head_->setGeometry(headX, Y(0), textRight - headX, headH);
  const int bodyH = std::max(Y(29), body_->heightForWidth(textRight - bodyX));
  body_->setGeometry(bodyX, head_->geometry().bottom() + 1, textRight - bodyX, bodyH);

  // "Now" and "Cancel" stand beside the texts, as wide as their captions need.
  const int bx = textRight + X(4);
  const int bw = ButtonWidth({now_, cancel_, help_});
  const int bh = std::max({Y(18), now_->sizeHint().height(), cancel_->sizeHint().height()});
  now_->setGeometry(bx, Y(4), bw, bh);
  cancel_->setGeometry(bx, std::max(Y(26), now_->geometry().bottom() + 1 + Y(4)), bw, bh);

  // The visible part ends below the lower of texts and buttons; everything
  // else keeps its nominal place shifted down by what the visible part grew.
  const int visible =
      std::max({Y(46), body_->geometry().bottom() + 1, cancel_->geometry().bottom() + 1 + Y(2)});
  const int shift = visible - Y(46);
  help_->setGeometry(bx, Y(90) + shift, bw, bh);
  for (const Placed& p : schedule_)
    p.widget->setGeometry(X(p.units.x()), Y(p.units.y()) + shift, X(p.units.width()),
                          Y(p.units.height()));
  setFixedSize(std::max(X(260), bx + bw + X(6)), visible);
}

void ZrnSked::changeEvent(QEvent* e) {
  QDialog::changeEvent(e);
  if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) LayOut();
}

void ZrnSked::BNClicked() {
  if (building_) return;  // one build at a time
  building_ = true;
  // While the build lets events through, this dialog answers nothing but
  // the progress dialog.
  now_->setEnabled(false);
  cancel_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  BuildStats stats;
  const std::time_t start = std::time(nullptr);
  const auto t0 = std::chrono::steady_clock::now();
  {
    auto builder = std::make_unique<WordCat>(files_);
    ZDialog progress(this);
    progress.show();
    builder->CreateWordCatalog(&progress);
    stats = builder->Stats();
    completed_ = progress.Continue() && !stats.cancelled && !stats.failed;
    lastBuild_ = stats;
    if (!progress.Continue()) lastBuild_->cancelled = true;
  }
  // The log is a record, not the build: a log that cannot be written does
  // not turn a good build into a failed one.
  AppendBuildLog(BuildLogEntryFor(
      *lastBuild_, start,
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count()));
  QApplication::restoreOverrideCursor();
  now_->setEnabled(true);
  cancel_->setEnabled(true);
  building_ = false;
  // A build that did not replace the catalog says so; the previous
  // catalog is still the one searched.
  if (stats.busy) {
    QMessageBox::information(this, QStringLiteral("Zarns"), QString::fromLatin1(kBuildRunningText));
  } else if (stats.failed) {
    QMessageBox::warning(this, QStringLiteral("Zarns"),
                         QString::fromLatin1(kBuildFailedText)
                             .arg(QString::fromLatin1(plat::FileErrorText(stats.error))));
  }
  done(kSkedDone);
}
