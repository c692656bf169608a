#include "shell/ui/statusind.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

const QString StatusIndicators::kLedDir = QStringLiteral("/sys/class/leds");

StatusIndicators::StatusIndicators(QWidget* parent, QString ledDir)
    : QWidget(parent), ledDir_(std::move(ledDir)) {
  setObjectName(QStringLiteral("Indicators"));
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  caps_ = Indicator("CAPS");
  num_ = Indicator("NUM");
  scrl_ = Indicator("SCRL");
  Refresh();
  auto* timer = new QTimer(this);
  timer->setInterval(kPollMs);
  connect(timer, &QTimer::timeout, this, &StatusIndicators::Refresh);
  timer->start();
}

QLabel* StatusIndicators::Indicator(const char* text) {
  auto* l = new QLabel(QString::fromLatin1(text), this);
  l->setObjectName(QString::fromLatin1(text));
  l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  l->setAlignment(Qt::AlignCenter);
  l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
  layout()->addWidget(l);
  return l;
}

bool StatusIndicators::LedOn(const QString& lock) {
  auto it = files_.find(lock);
  if (it == files_.end()) {
    const QDir leds(ledDir_);
    QStringList paths;
    for (const QString& n :
         leds.entryList({QStringLiteral("*::") + lock}, QDir::Dirs | QDir::System))
      paths << leds.filePath(n + QStringLiteral("/brightness"));
    it = files_.emplace(lock, paths).first;
  }
  for (const QString& path : it->second) {
    QFile f(path);
    // A brightness is a short number; more than that is not read.
    if (f.open(QIODevice::ReadOnly) && f.read(32).trimmed().toInt() > 0) return true;
  }
  return false;
}

void StatusIndicators::Refresh() {
  caps_->setEnabled(LedOn(QStringLiteral("capslock")));
  num_->setEnabled(LedOn(QStringLiteral("numlock")));
  scrl_->setEnabled(LedOn(QStringLiteral("scrolllock")));
}
