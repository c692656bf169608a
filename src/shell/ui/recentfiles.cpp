#include "shell/ui/recentfiles.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <algorithm>

#include "platform/pdatadir.h"
#include "platform/pfile.h"

namespace {
const QString kGroup = QStringLiteral("MRU");
}

RecentFiles::RecentFiles(QString iniPath, QObject* parent)
    : QObject(parent), iniPath_(std::move(iniPath)) {}

QString RecentFiles::IniPath() const {
  return iniPath_.isEmpty() ? QString::fromStdString(plat::DataPath("Zarns.ini")) : iniPath_;
}

QStringList RecentFiles::Files() const {
  QSettings ini(IniPath(), QSettings::IniFormat);
  ini.beginGroup(kGroup);
  const int count = std::clamp(ini.value(QStringLiteral("Count"), 0).toInt(), 0, kMax);
  QStringList list;
  for (int i = 1; i <= count; ++i) {
    const QString f = ini.value(QStringLiteral("File%1").arg(i)).toString().left(kMaxPath);
    if (!f.isEmpty() && !list.contains(f)) list << f;
  }
  return list;
}

void RecentFiles::Add(const QString& path) {
  if (path.isEmpty()) return;
  QStringList list = Files();
  list.removeAll(path);
  list.prepend(path);
  while (list.size() > kMax) list.removeLast();
  // The list names the user's documents: the file is private before and
  // after the settings writer replaces it.
  plat::MakeDataFilePrivate(IniPath().toStdString());
  QSettings ini(IniPath(), QSettings::IniFormat);
  ini.remove(kGroup);
  ini.beginGroup(kGroup);
  ini.setValue(QStringLiteral("Count"), static_cast<int>(list.size()));
  for (int i = 0; i < list.size(); ++i) ini.setValue(QStringLiteral("File%1").arg(i + 1), list[i]);
  ini.endGroup();
  ini.sync();
  plat::MakeDataFilePrivate(IniPath().toStdString());
  RebuildMenu();
}

void RecentFiles::AttachMenu(QMenu* menu, QAction* anchor) {
  menu_ = menu;
  anchor_ = anchor;
  RebuildMenu();
}

void RecentFiles::RebuildMenu() {
  if (!menu_ || !anchor_) return;
  for (QAction* a : actions_) {
    menu_->removeAction(a);
    a->deleteLater();
  }
  actions_.clear();
  const QStringList list = Files();
  for (int i = 0; i < list.size(); ++i) {
    QString shown = list[i];
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), menu_);
    a->setObjectName(QStringLiteral("MRU%1").arg(i + 1));
    a->setStatusTip(QStringLiteral("Opens this document"));
    connect(a, &QAction::triggered, this, [this, i] { emit Chosen(i); });
    menu_->insertAction(anchor_, a);
    actions_.push_back(a);
  }
  anchor_->setVisible(!list.isEmpty());
}
