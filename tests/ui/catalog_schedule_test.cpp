// The Preferences dialog's Catalog group (the schedule shown and saved, the
// folders to catalog, the last build), and the builds the program starts
// itself when the editor starts or ends. Fake systemctl, crontab, nice,
// ionice and zarns-cli stand first on PATH: nothing real is scheduled or run.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "catalog/buildlog.h"
#include "catalog/catlock.h"
#include "catalog/ui/zrnsked.h"
#include "catalog/zrnwcat.h"
#include "common/fakesched.h"
#include "common/recordinghost.h"
#include "platform/pdatadir.h"
#include "platform/plauncher.h"
#include "platform/pregistry.h"
#include "shell/catsched.h"
#include "shell/ui/zarnsapp.h"
#include "shell/ui/zrnsusrp.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"

namespace fs = std::filesystem;

namespace {

// Waits up to five seconds for a file a detached process writes.
bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 500 && !fs::exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return fs::exists(path);
}

}  // namespace

class CatalogScheduleTest : public QObject {
  Q_OBJECT

  std::unique_ptr<FakeScheduler> fake_;
  std::string cliOut_;
  RecordingHost host_;
  plat::RecordingLauncher launcher_;

  void SetSchedule(ScheduleKind k) {
    CatalogSchedule s;
    s.kind = k;
    std::string error;
    QVERIFY2(ApplyCatalogSchedule(s, CurrentScheduleEnv(), error), error.c_str());
  }

 private slots:
  void initTestCase() {
    // Text files are a type the catalog reads (set before the registry loads).
    const std::string mime = uitest::Root() + "sched-mime.types";
    WriteFile(mime, "text/plain txt\n");
    setenv("ZARNS_MIME_TYPES", mime.c_str(), 1);
    plat::SetLauncher(&launcher_);
    CatalogPrompt = [](ZrnIO&, const QString&) {};
  }
  void cleanupTestCase() { plat::SetLauncher(nullptr); }
  void init() {
    uitest::ClearDataDir();
    plat::ClassesRoot().DeleteKey("Zarns.Application\\CatalogSchedule");
    plat::ClassesRoot().DeleteKey("Zarns.Application\\CatalogRoots");
    fs::remove_all(uitest::Root() + "xdg-config/systemd");
    fake_ = std::make_unique<FakeScheduler>();
    // A zarns-cli that only says it ran (none lies beside the test program).
    cliOut_ = uitest::Root() + "cli-ran";
    fs::remove(cliOut_);
    fake_->Script("zarns-cli", "echo \"$*\" > '" + cliOut_ + ".tmp'; mv '" + cliOut_ + ".tmp' '" +
                                   cliOut_ + "'\n");
  }
  void cleanup() { fake_.reset(); }

  void groupShowsTheStoredChoices() {
    CatalogSchedule s;
    s.kind = ScheduleKind::Weekly;
    s.weekDay = 2;
    s.hour = 4;
    s.minute = 15;
    std::string error;
    QVERIFY(ApplyCatalogSchedule(s, CurrentScheduleEnv(), error));
    const std::string a = uitest::FreshDir("rootA"), b = uitest::FreshDir("rootB");
    QVERIFY(SetCatalogRoots({a, b}));
    BuildLogEntry e;
    e.start = std::time(nullptr);
    e.seconds = 2.5;
    e.files = 17;
    e.words = 300;
    e.result = "ok";
    QVERIFY(AppendBuildLog(e));

    TZarnsUserPref dlg(nullptr);
    auto* group = uitest::ById<QGroupBox>(&dlg, 110);
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("Catalog"));
    auto* kind = uitest::ById<QComboBox>(&dlg, 111);
    QCOMPARE(kind->count(), 6);
    QCOMPARE(kind->itemText(0), QStringLiteral("Off"));
    QCOMPARE(kind->itemText(5), QStringLiteral("At shut-down"));
    QCOMPARE(kind->currentText(), QStringLiteral("Weekly"));
    QCOMPARE(uitest::ById<QComboBox>(&dlg, 112)->currentText(), QStringLiteral("Tuesday"));
    QVERIFY(uitest::ById<QComboBox>(&dlg, 112)->isEnabled());
    QCOMPARE(uitest::ById<QTimeEdit>(&dlg, 114)->time(), QTime(4, 15));
    QCOMPARE(dlg.Roots(), (QStringList{QString::fromStdString(a), QString::fromStdString(b)}));
    const QString status = uitest::ById<QLabel>(&dlg, 118)->text();
    QVERIFY2(status.startsWith(QStringLiteral("Last build: ")), qPrintable(status));
    QVERIFY2(status.endsWith(QStringLiteral(", 2.5 s, 17 files, 300 words, ok")),
             qPrintable(status));
    QCOMPARE(dlg.Schedule(), s);

    // The day of the month replaces the weekday for monthly; off greys all.
    kind->setCurrentIndex(3);
    dlg.show();
    QVERIFY(uitest::ById<QSpinBox>(&dlg, 113)->isVisible());
    QVERIFY(!uitest::ById<QComboBox>(&dlg, 112)->isVisible());
    QCOMPARE(uitest::ById<QSpinBox>(&dlg, 113)->maximum(), kLastMonthDay);
    kind->setCurrentIndex(0);
    QVERIFY(!uitest::ById<QTimeEdit>(&dlg, 114)->isEnabled());
    QVERIFY(!uitest::ById<QComboBox>(&dlg, 112)->isEnabled());
    kind->setCurrentIndex(1);
    QVERIFY(uitest::ById<QTimeEdit>(&dlg, 114)->isEnabled());
    QVERIFY(!uitest::ById<QComboBox>(&dlg, 112)->isEnabled());
  }

  void noBuildYetSaysSo() {
    TZarnsUserPref dlg(nullptr);
    QCOMPARE(uitest::ById<QLabel>(&dlg, 118)->text(), QStringLiteral("Last build: none"));
    QCOMPARE(uitest::ById<QComboBox>(&dlg, 111)->currentText(), QStringLiteral("Off"));
    // The default root, the home folder, is listed.
    QCOMPARE(dlg.Roots(), QStringList{QString::fromStdString(plat::HomeDir())});
  }

  void okSetsTheScheduleAndTheFolders() {
    const std::string extra = uitest::FreshDir("extra");
    {
      TZarnsUserPref dlg(nullptr);
      uitest::ById<QComboBox>(&dlg, 111)->setCurrentIndex(3);  // Monthly
      uitest::ById<QSpinBox>(&dlg, 113)->setValue(9);
      uitest::ById<QTimeEdit>(&dlg, 114)->setTime(QTime(5, 45));
      dlg.chooseFolder = [&](QWidget*) { return QString::fromStdString(extra); };
      uitest::ById<QPushButton>(&dlg, 116)->click();
      uitest::ById<QPushButton>(&dlg, 116)->click();  // listed once
      QCOMPARE(dlg.Roots().size(), 2);
      // Remove the home folder, keep the new one.
      uitest::ById<QListWidget>(&dlg, 115)->setCurrentRow(0);
      uitest::ById<QPushButton>(&dlg, 117)->click();
      QCOMPARE(dlg.Roots(), QStringList{QString::fromStdString(extra)});
      uitest::ById<QPushButton>(&dlg, 1)->click();
      QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
    const CatalogSchedule s = LoadCatalogSchedule();
    QCOMPARE(int(s.kind), int(ScheduleKind::Monthly));
    QCOMPARE(s.monthDay, 9);
    QCOMPARE(s.hour, 5);
    QCOMPARE(s.minute, 45);
    QCOMPARE(GetCatalogRoots(), std::vector<std::string>{extra});
    // The timer went to the (fake) user systemd.
    const std::string timer = Slurp(uitest::Root() + "xdg-config/systemd/user/zarns-catalog.timer");
    QVERIFY2(timer.find("OnCalendar=*-*-09 05:45:00\n") != std::string::npos, timer.c_str());
    QVERIFY(fake_->Read("systemctl.log").find("enable --now zarns-catalog.timer") !=
            std::string::npos);

    // OK again without a change runs no scheduler command.
    fake_->ClearLogs();
    {
      TZarnsUserPref dlg(nullptr);
      uitest::ById<QPushButton>(&dlg, 1)->click();
    }
    QCOMPARE(fake_->Read("systemctl.log"), std::string());

    // Cancel keeps everything as it was.
    {
      TZarnsUserPref dlg(nullptr);
      uitest::ById<QComboBox>(&dlg, 111)->setCurrentIndex(0);
      uitest::ById<QListWidget>(&dlg, 115)->setCurrentRow(0);
      uitest::ById<QPushButton>(&dlg, 117)->click();
      uitest::ById<QPushButton>(&dlg, 2)->click();
    }
    QCOMPARE(int(LoadCatalogSchedule().kind), int(ScheduleKind::Monthly));
    QCOMPARE(GetCatalogRoots(), std::vector<std::string>{extra});

    // Off takes the timer away; an empty list goes back to the home folder.
    {
      TZarnsUserPref dlg(nullptr);
      uitest::ById<QComboBox>(&dlg, 111)->setCurrentIndex(0);
      uitest::ById<QListWidget>(&dlg, 115)->setCurrentRow(0);
      uitest::ById<QPushButton>(&dlg, 117)->click();
      QVERIFY(!uitest::ById<QPushButton>(&dlg, 117)->isEnabled());
      uitest::ById<QPushButton>(&dlg, 1)->click();
    }
    QCOMPARE(int(LoadCatalogSchedule().kind), int(ScheduleKind::Off));
    QVERIFY(!fs::exists(uitest::Root() + "xdg-config/systemd/user/zarns-catalog.timer"));
    QCOMPARE(GetCatalogRoots(), std::vector<std::string>{plat::HomeDir()});
  }

  void aScheduleThatCannotBeSetKeepsTheDialogOpen() {
    fake_->Set("no-systemd", true);
    fake_->Set("crontab-write-fails", true);
    TZarnsUserPref dlg(nullptr);
    dlg.show();
    uitest::ById<QComboBox>(&dlg, 111)->setCurrentIndex(1);
    QString said;
    uitest::OnNextModal([&](QWidget* box) {
      said = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
      box->close();
    });
    uitest::ById<QPushButton>(&dlg, 1)->click();
    QVERIFY(uitest::ModalHandled());
    QCOMPARE(said, QStringLiteral("The catalog schedule could not be set: crontab - failed"));
    QVERIFY(dlg.isVisible());
    QCOMPARE(int(LoadCatalogSchedule().kind), int(ScheduleKind::Off));
  }

  void startUpBuildStartsWithTheWindow() {
    SetSchedule(ScheduleKind::Startup);
    {
      auto app = std::make_unique<TZarnsApp>(QStringList{QStringLiteral("zarns")}, &host_);
      app->InitInstance();
      // The window is up at once; the build runs in a process of its own.
      QVERIFY(MainWin && MainWin->isVisible());
      QVERIFY(WaitForFile(cliOut_));
    }
    QCOMPARE(Slurp(cliOut_), std::string("catalog build\n"));
    QVERIFY(fake_->Read("nice.log").rfind("-n 19 " + fake_->bin + "ionice -c3 ", 0) == 0);
  }

  void otherSchedulesStartNothing() {
    for (ScheduleKind k : {ScheduleKind::Off, ScheduleKind::Daily, ScheduleKind::Shutdown}) {
      SetSchedule(k);
      auto app = std::make_unique<TZarnsApp>(QStringList{QStringLiteral("zarns")}, &host_);
      app->InitInstance();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QVERIFY(!fs::exists(cliOut_));
  }

  void shutDownBuildStartsAfterTheLoopEnds() {
    SetSchedule(ScheduleKind::Shutdown);
    auto app = std::make_unique<TZarnsApp>(QStringList{QStringLiteral("zarns")}, &host_);
    QTimer::singleShot(50, qApp, [] {
      QVERIFY(!fs::exists(uitest::Root() + "cli-ran"));
      QCoreApplication::quit();
    });
    app->Run();
    QVERIFY(WaitForFile(cliOut_));
    QCOMPARE(Slurp(cliOut_), std::string("catalog build\n"));
  }

  // "Now" in the cataloging dialog logs its build like the command line does.
  void nowIsLogged() {
    const std::string dir = uitest::FreshDir("nowlog");
    WriteFile(dir + "notes.txt", "okapi seen at dawn\n");
    QVERIFY(SetCatalogRoots({dir}));
    ZrnIO files;
    {
      ZrnSked dlg(files, nullptr);
      dlg.BNClicked();
      QVERIFY(dlg.LastBuildCompleted());
    }
    std::vector<BuildLogEntry> log = ReadBuildLog();
    QCOMPARE(log.size(), std::size_t(1));
    QCOMPARE(log[0].result, std::string("ok"));
    QVERIFY2(log[0].files >= 1 && log[0].words >= 3, FormatBuildLogLine(log[0]).c_str());
    QVERIFY(std::abs(std::time(nullptr) - log[0].start) < 60);
    {
      CatalogLock running(CatalogLock::Kind::Build);
      QVERIFY(running.Held());
      ZrnSked dlg(files, nullptr);
      uitest::OnNextModal([](QWidget* w) { w->close(); });
      dlg.BNClicked();
    }
    log = ReadBuildLog();
    QCOMPARE(log.size(), std::size_t(2));
    QCOMPARE(log[1].result, std::string("busy"));
    // The Preferences group shows the last one.
    TZarnsUserPref prefs(nullptr);
    QVERIFY(uitest::ById<QLabel>(&prefs, 118)->text().endsWith(QStringLiteral(", busy")));
  }

  void screenshot() {
    SetSchedule(ScheduleKind::Weekly);
    QVERIFY(SetCatalogRoots({plat::HomeDir(), "/srv/shared/documents/"}));
    BuildLogEntry e;
    e.start = std::time(nullptr) - 3600;
    e.seconds = 84.2;
    e.files = 12873;
    e.words = 1904411;
    e.result = "ok";
    QVERIFY(AppendBuildLog(e));
    TZarnsUserPref dlg(nullptr);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    // Every control of the group inside it, none overlapping another.
    auto* group = uitest::ById<QGroupBox>(&dlg, 110);
    QVERIFY(dlg.rect().contains(group->geometry()));
    const QList<QWidget*> kids = group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* w : kids) {
      if (!w->isVisible()) continue;
      QVERIFY2(QRect(QPoint(0, 0), group->size()).contains(w->geometry()),
               qPrintable(w->objectName()));
      for (QWidget* o : kids)
        if (o != w && o->isVisible())
          QVERIFY2(!w->geometry().intersects(o->geometry()),
                   qPrintable(w->objectName() + QLatin1Char('/') + o->objectName()));
    }
    QVERIFY(dlg.grab().save(QString::fromStdString(uitest::Root() + "preferences.png")));
    if (qEnvironmentVariableIsSet("ZARNS_SHOTS"))
      dlg.grab().save(qEnvironmentVariable("ZARNS_SHOTS") + QStringLiteral("/preferences.png"));
    // Monthly: the day of the month takes the weekday's place.
    uitest::ById<QComboBox>(&dlg, 111)->setCurrentIndex(3);
    auto* day = uitest::ById<QSpinBox>(&dlg, 113);
    QVERIFY(day->isVisible());
    QCOMPARE(day->geometry().topLeft(), uitest::ById<QComboBox>(&dlg, 112)->geometry().topLeft());
    if (qEnvironmentVariableIsSet("ZARNS_SHOTS"))
      dlg.grab().save(qEnvironmentVariable("ZARNS_SHOTS") +
                      QStringLiteral("/preferences-monthly.png"));
  }
};

ZARNS_UI_TEST_MAIN(CatalogScheduleTest)
#include "catalog_schedule_test.moc"
