#include "shell/ui/zdbg.h"

#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>

#include "framework/dlgunits.h"

namespace {
QProgressBar* Gauge(QWidget* parent, int id, int x, int y) {
  auto* g = dlgunits::Id(new QProgressBar(parent), id);
  g->setGeometry(x, y, 160, 25);
  g->setRange(0, 100);
  g->setValue(0);
  g->setFormat(QStringLiteral("%p%"));
  g->setTextVisible(true);
  g->setContentsMargins(1, 1, 1, 1);
  return g;
}

QLabel* Number(QWidget* parent, int id) {
  auto* l = dlgunits::Id(new QLabel(parent), id);
  l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return l;
}
}  // namespace

ZDbg::ZDbg(QWidget* parent, int resId, const plat::MemoryStatus* status) : QDialog(parent) {
  setObjectName(QString::number(resId));
  setWindowTitle(QStringLiteral("System Information"));
  setFont(dlgunits::DialogFont());
  const QSize size = dlgunits::Rect(0, 0, 224, 95).size();
  // The gauges sit at fixed pixel positions; the labels and numbers go to their right.
  setFixedSize(std::max(size.width(), 440), std::max(size.height(), 185));

  const int lx = 196, nx = 326, w = 100;
  auto* l1 = new QLabel(QStringLiteral("KB Total Phys Mem"), this);
  auto* l2 = new QLabel(QStringLiteral("Available Phys Mem"), this);
  auto* l3 = new QLabel(QStringLiteral("Percent Phys Used"), this);
  l1->setGeometry(lx, 24, 128, 25);
  l2->setGeometry(lx, 62, 128, 25);
  l3->setGeometry(lx, 100, 128, 25);
  total_ = Number(this, 26001);
  avail_ = Number(this, 26002);
  load_ = Number(this, 26003);
  total_->setGeometry(nx, 24, w, 25);
  avail_->setGeometry(nx, 62, w, 25);
  load_->setGeometry(nx, 100, w, 25);
  gaugeAvail_ = Gauge(this, 2602, 20, 62);
  gaugeLoad_ = Gauge(this, 2603, 20, 100);
  QPalette pal = gaugeAvail_->palette();
  pal.setColor(QPalette::Highlight, QColor(255, 40, 40));
  gaugeAvail_->setPalette(pal);

  auto* ok = dlgunits::Id(new QPushButton(QStringLiteral("OK"), this), 1);
  ok->setGeometry(width() - 100, height() - 42, 84, 28);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  SetupWindow(status ? *status : plat::GetMemoryStatus());
}

int ZDbg::AvailablePercent(const plat::MemoryStatus& ms) {
  if (ms.totalPhys == 0) return 0;
  const auto pct = ms.availPhys * 100 / ms.totalPhys;
  return static_cast<int>(pct > 100 ? 100 : pct);
}

void ZDbg::SetupWindow(const plat::MemoryStatus& ms) {
  total_->setText(QString::number(ms.totalPhys / 1024));
  avail_->setText(QString::number(ms.availPhys / 1024));
  load_->setText(QString::number(ms.memoryLoad));
  gaugeAvail_->setValue(AvailablePercent(ms));
  gaugeLoad_->setValue(static_cast<int>(ms.memoryLoad > 100 ? 100 : ms.memoryLoad));
}
