#include "shell/ui/zrnsusrp.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimeEdit>

#include "catalog/buildlog.h"
#include "catalog/zrnwcat.h"
#include "framework/dlgunits.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "shell/ui/zrnshelp.h"

int ListDblClkAction() {
  QSettings ini(QString::fromStdString(plat::DataPath("Zarns.ini")), QSettings::IniFormat);
  return ini.value(QStringLiteral("Preferences/ListDblClkAction"), 0).toInt() == kOpenInZarns
             ? kOpenInZarns
             : kOpenInOwnApp;
}

void SetListDblClkAction(int action) {
  const std::string path = plat::DataPath("Zarns.ini");
  // Private like every data file, before and after the settings writer
  // replaces it.
  plat::MakeDataFilePrivate(path);
  {
    QSettings ini(QString::fromStdString(path), QSettings::IniFormat);
    ini.setValue(QStringLiteral("Preferences/ListDblClkAction"),
                 action == kOpenInZarns ? kOpenInZarns : kOpenInOwnApp);
    ini.sync();
  }
  plat::MakeDataFilePrivate(path);
}

TZarnsUserPref::TZarnsUserPref(QWidget* parent, int resId) : QDialog(parent) {
  setObjectName(QString::number(resId));
  setWindowTitle(QStringLiteral("Preferences"));
  setFont(dlgunits::DialogFont());
  // Taller than the double-click choice alone needs: the Catalog group
  // sits below it, across the whole width.
  setFixedSize(dlgunits::Rect(0, 0, 240, 240).size());

  auto* group =
      dlgunits::Id(new QGroupBox(QStringLiteral("File List Double Click Action"), this), 101);
  group->setGeometry(dlgunits::Rect(10, 12, 160, 60));
  app_ =
      dlgunits::Id(new QRadioButton(QStringLiteral("Open File In Its Application"), group), 1052);
  zarns_ = dlgunits::Id(new QRadioButton(QStringLiteral("Open File in Zarns"), group), 1053);
  app_->setGeometry(dlgunits::Rect(10, 16, 140, 12));
  zarns_->setGeometry(dlgunits::Rect(10, 36, 140, 12));

  auto* ok = dlgunits::Id(new QPushButton(QStringLiteral("OK"), this), 1);
  auto* cancel = dlgunits::Id(new QPushButton(QStringLiteral("Cancel"), this), 2);
  auto* help = dlgunits::Id(new QPushButton(QStringLiteral("Help"), this), 9);
  ok->setGeometry(dlgunits::Rect(184, 12, 50, 14));
  cancel->setGeometry(dlgunits::Rect(184, 32, 50, 14));
  help->setGeometry(dlgunits::Rect(184, 52, 50, 14));
  ok->setDefault(true);

  // The choice in effect is shown marked: before anything was chosen that
  // is opening files in their own application.
  ListDblClkAction = ::ListDblClkAction();
  (ListDblClkAction == kOpenInZarns ? zarns_ : app_)->setChecked(true);

  connect(zarns_, &QRadioButton::clicked, this, &TZarnsUserPref::BNEditClicked);
  connect(app_, &QRadioButton::clicked, this, &TZarnsUserPref::BNAppClicked);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [] { ShowHelpContext(2217); });

  BuildCatalogGroup();
}

QString LastBuildText() {
  const std::vector<BuildLogEntry> log = ReadBuildLog();
  return QStringLiteral("Last build: ") +
         (log.empty() ? QStringLiteral("none") : QString::fromStdString(DescribeBuild(log.back())));
}

void TZarnsUserPref::BuildCatalogGroup() {
  using dlgunits::Id;
  using dlgunits::Rect;
  auto* group = Id(new QGroupBox(QStringLiteral("Catalog"), this), 110);
  group->setGeometry(Rect(10, 80, 224, 152));
  auto label = [group](const char* text, QRect r) {
    auto* l = new QLabel(QString::fromLatin1(text), group);
    l->setGeometry(r);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
  };

  label("Rebuild:", Rect(8, 14, 40, 14));
  kind_ = Id(new QComboBox(group), 111);
  kind_->addItems({QStringLiteral("Off"), QStringLiteral("Daily"), QStringLiteral("Weekly"),
                   QStringLiteral("Monthly"), QStringLiteral("At start-up"),
                   QStringLiteral("At shut-down")});
  kind_->setGeometry(Rect(50, 14, 80, 14));

  dayLabel_ = label("Day:", Rect(8, 32, 40, 14));
  weekDay_ = Id(new QComboBox(group), 112);
  for (int d = 0; d < 7; ++d) weekDay_->addItem(QString::fromLatin1(WeekDayName(d)));
  weekDay_->setGeometry(Rect(50, 32, 80, 14));
  monthDay_ = Id(new QSpinBox(group), 113);
  monthDay_->setRange(1, kLastMonthDay);
  monthDay_->setGeometry(Rect(50, 32, 40, 14));
  label("Time:", Rect(140, 32, 24, 14));
  time_ = Id(new QTimeEdit(group), 114);
  time_->setDisplayFormat(QStringLiteral("HH:mm"));
  time_->setGeometry(Rect(166, 32, 48, 14));

  label("Folders to catalog:", Rect(8, 52, 120, 10));
  roots_ = Id(new QListWidget(group), 115);
  roots_->setGeometry(Rect(8, 64, 150, 48));
  auto* add = Id(new QPushButton(QStringLiteral("Add..."), group), 116);
  remove_ = Id(new QPushButton(QStringLiteral("Remove"), group), 117);
  add->setGeometry(Rect(164, 64, 50, 14));
  remove_->setGeometry(Rect(164, 82, 50, 14));
  add->setAutoDefault(false);
  remove_->setAutoDefault(false);

  status_ = Id(new QLabel(LastBuildText(), group), 118);
  status_->setGeometry(Rect(8, 118, 206, 26));
  status_->setWordWrap(true);
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // The stored choices; the day and time of an "off" schedule are the ones
  // chosen last, so turning a timer back on keeps them.
  const CatalogSchedule s = LoadCatalogSchedule();
  kind_->setCurrentIndex(static_cast<int>(s.kind));
  weekDay_->setCurrentIndex(s.weekDay);
  monthDay_->setValue(s.monthDay);
  time_->setTime(QTime(s.hour, s.minute));
  for (const std::string& r : GetCatalogRoots()) roots_->addItem(QString::fromStdString(r));
  if (roots_->count()) roots_->setCurrentRow(0);

  chooseFolder = [](QWidget* parent) {
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("Add a folder to catalog"),
                                             QString::fromStdString(plat::HomeDir()));
  };
  connect(kind_, &QComboBox::currentIndexChanged, this, &TZarnsUserPref::KindChanged);
  connect(add, &QPushButton::clicked, this, &TZarnsUserPref::AddRoot);
  connect(remove_, &QPushButton::clicked, this, &TZarnsUserPref::RemoveRoot);
  connect(roots_, &QListWidget::currentRowChanged, this,
          [this](int row) { remove_->setEnabled(row >= 0); });
  remove_->setEnabled(roots_->currentRow() >= 0);
  KindChanged();
}

void TZarnsUserPref::KindChanged() {
  const auto k = static_cast<ScheduleKind>(kind_->currentIndex());
  const bool timed =
      k == ScheduleKind::Daily || k == ScheduleKind::Weekly || k == ScheduleKind::Monthly;
  time_->setEnabled(timed);
  // Monthly shows the day of the month, otherwise the day of the week
  // (greyed unless weekly).
  monthDay_->setVisible(k == ScheduleKind::Monthly);
  weekDay_->setVisible(k != ScheduleKind::Monthly);
  weekDay_->setEnabled(k == ScheduleKind::Weekly);
  dayLabel_->setEnabled(k == ScheduleKind::Weekly || k == ScheduleKind::Monthly);
}

CatalogSchedule TZarnsUserPref::Schedule() const {
  CatalogSchedule s;
  s.kind = static_cast<ScheduleKind>(kind_->currentIndex());
  s.weekDay = weekDay_->currentIndex();
  s.monthDay = monthDay_->value();
  s.hour = time_->time().hour();
  s.minute = time_->time().minute();
  return s;
}

QStringList TZarnsUserPref::Roots() const {
  QStringList list;
  for (int i = 0; i < roots_->count(); ++i) list << roots_->item(i)->text();
  return list;
}

void TZarnsUserPref::AddRoot() {
  QString dir = chooseFolder ? chooseFolder(this) : QString();
  if (dir.isEmpty()) return;
  if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
  const auto same = roots_->findItems(dir, Qt::MatchExactly);
  if (!same.isEmpty()) return roots_->setCurrentItem(same.first());
  roots_->addItem(dir);
  roots_->setCurrentRow(roots_->count() - 1);
}

void TZarnsUserPref::RemoveRoot() {
  const int row = roots_->currentRow();
  if (row >= 0) delete roots_->takeItem(row);
}

void TZarnsUserPref::BNEditClicked() { ListDblClkAction = kOpenInZarns; }

void TZarnsUserPref::BNAppClicked() { ListDblClkAction = kOpenInOwnApp; }

// OK keeps the choices; Cancel leaves the stored ones as they were.
void TZarnsUserPref::accept() {
  SetListDblClkAction(ListDblClkAction);
  // An empty list means the default root, the home folder.
  std::vector<std::string> roots;
  for (const QString& r : Roots()) roots.push_back(r.toStdString());
  if (roots != GetCatalogRoots() && !SetCatalogRoots(roots)) {
    QMessageBox::warning(this, QStringLiteral("Preferences"),
                         QStringLiteral("The folders to catalog could not be stored."));
    return;
  }
  const CatalogSchedule s = Schedule();
  std::string error;
  // Setting the same schedule again is left alone: it would run the
  // scheduler's commands for nothing.
  if (!(s == LoadCatalogSchedule()) && !ApplyCatalogSchedule(s, CurrentScheduleEnv(), error)) {
    QMessageBox::warning(this, QStringLiteral("Preferences"),
                         QStringLiteral("The catalog schedule could not be set: %1")
                             .arg(QString::fromStdString(error)));
    return;
  }
  QDialog::accept();
}
