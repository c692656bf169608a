// The catalog schedule: the systemd units and the crontab line written and
// removed exactly, against fake systemctl/crontab programs, never the real
// user's; what is stored; start-up builds; the status text.
#include "shell/catsched.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "catalog/buildlog.h"
#include "common/fakesched.h"
#include "common/faultfs.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "platform/pregistry.h"

namespace fs = std::filesystem;

namespace {

const char kHead[] =
    "# zarns catalog schedule: made by \"zarns-cli catalog schedule\" and the Preferences "
    "dialog\n";

class CatSched : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    plat::ClassesRoot().DeleteKey("Zarns.Application\\CatalogSchedule");
    fs::remove_all(TestEnv::Root() + "xdg-config/systemd");
    env = CurrentScheduleEnv();
    env.cliPath = "/opt/zarns/bin/zarns-cli";
    unitDir = TestEnv::Root() + "xdg-config/systemd/user/";
  }
  std::string Service() const { return Slurp(unitDir + "zarns-catalog.service"); }
  std::string Timer() const { return Slurp(unitDir + "zarns-catalog.timer"); }
  bool Apply(const CatalogSchedule& s) { return ApplyCatalogSchedule(s, env, error); }
  static CatalogSchedule Make(ScheduleKind k, int h = 22, int m = 30, int wd = 5, int md = 1) {
    CatalogSchedule s;
    s.kind = k;
    s.hour = h;
    s.minute = m;
    s.weekDay = wd;
    s.monthDay = md;
    return s;
  }
  std::string ExpectedService() const {
    return std::string(kHead) +
           "[Unit]\nDescription=Zarns word catalog build\n\n[Service]\nType=oneshot\n"
           "Environment=ZARNS_DATA_DIR=" +
           plat::DataDir() + "\nExecStart=" + fake.bin + "nice -n 19 " + fake.bin +
           "ionice -c3 /opt/zarns/bin/zarns-cli catalog build\n";
  }

  FakeScheduler fake;
  ScheduleEnv env;
  std::string unitDir, error;
};

}  // namespace

TEST_F(CatSched, ParsesTheCommandLineWords) {
  CatalogSchedule s;
  ASSERT_TRUE(ParseScheduleArgs({"daily", "3:05"}, s, error)) << error;
  EXPECT_EQ(s, Make(ScheduleKind::Daily, 3, 5));
  ASSERT_TRUE(ParseScheduleArgs({"Weekly", "fridays", "23:59"}, s, error));
  EXPECT_EQ(s, Make(ScheduleKind::Weekly, 23, 59, 5));
  ASSERT_TRUE(ParseScheduleArgs({"weekly", "SUN", "00:00"}, s, error));
  EXPECT_EQ(s.weekDay, 0);
  ASSERT_TRUE(ParseScheduleArgs({"weekly", "Saturday", "00:00"}, s, error));
  EXPECT_EQ(s.weekDay, 6);
  ASSERT_TRUE(ParseScheduleArgs({"monthly", "28", "12:00"}, s, error));
  // Fields the words do not give keep their stored values.
  EXPECT_EQ(s, Make(ScheduleKind::Monthly, 12, 0, 5, 28));
  ASSERT_TRUE(ParseScheduleArgs({"startup"}, s, error));
  EXPECT_EQ(s.kind, ScheduleKind::Startup);
  ASSERT_TRUE(ParseScheduleArgs({"shutdown"}, s, error));
  EXPECT_EQ(s.kind, ScheduleKind::Shutdown);
  ASSERT_TRUE(ParseScheduleArgs({"off"}, s, error));
  EXPECT_EQ(s.kind, ScheduleKind::Off);

  const CatalogSchedule before = s;
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{},
                                             {"daily"},
                                             {"daily", "24:00"},
                                             {"daily", "12:60"},
                                             {"daily", "12:5"},
                                             {"daily", "123:00"},
                                             {"daily", ":30"},
                                             {"daily", "-1:30"},
                                             {"daily", "12:30", "extra"},
                                             {"weekly", "Funday", "12:00"},
                                             {"weekly", "12:00"},
                                             {"monthly", "0", "12:00"},
                                             {"monthly", "29", "12:00"},
                                             {"monthly", "+1", "12:00"},
                                             {"monthly", "1st", "12:00"},
                                             {"hourly"},
                                             {"off", "now"}}) {
    error.clear();
    EXPECT_FALSE(ParseScheduleArgs(bad, s, error)) << ::testing::PrintToString(bad);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(s, before);
  }
}

TEST_F(CatSched, TextsForEveryKind) {
  EXPECT_EQ(ScheduleText(Make(ScheduleKind::Off)), "off");
  EXPECT_EQ(ScheduleText(Make(ScheduleKind::Daily, 3, 5)), "daily at 03:05");
  EXPECT_EQ(ScheduleText(Make(ScheduleKind::Weekly, 22, 30, 1)), "weekly on Monday at 22:30");
  EXPECT_EQ(ScheduleText(Make(ScheduleKind::Monthly, 0, 0, 5, 15)), "monthly on day 15 at 00:00");
  EXPECT_EQ(ScheduleText(Make(ScheduleKind::Startup)), "at start-up");
  EXPECT_EQ(ScheduleText(Make(ScheduleKind::Shutdown)), "at shut-down");
}

TEST_F(CatSched, SystemdUnitsWrittenExactlyAndEnabled) {
  ASSERT_TRUE(Apply(Make(ScheduleKind::Daily, 3, 5))) << error;
  EXPECT_EQ(Service(), ExpectedService());
  EXPECT_EQ(Timer(), std::string(kHead) +
                         "[Unit]\nDescription=Zarns word catalog build, daily at 03:05\n\n"
                         "[Timer]\nOnCalendar=*-*-* 03:05:00\nPersistent=true\n\n"
                         "[Install]\nWantedBy=timers.target\n");
  EXPECT_EQ(fake.Read("systemctl.log"),
            "--user show-environment\n--user daemon-reload\n"
            "--user enable --now zarns-catalog.timer\n");
  EXPECT_EQ(LoadCatalogSchedule(), Make(ScheduleKind::Daily, 3, 5));
  EXPECT_EQ(LoadScheduleMethod(), ScheduleMethod::Systemd);
  EXPECT_FALSE(fake.HasCrontab());
  EXPECT_EQ(fake.Read("crontab.log").find("-\n"), std::string::npos);  // never written

  ASSERT_TRUE(Apply(Make(ScheduleKind::Weekly, 22, 30, 5)));
  EXPECT_NE(Timer().find("OnCalendar=Fri *-*-* 22:30:00\n"), std::string::npos);
  ASSERT_TRUE(Apply(Make(ScheduleKind::Monthly, 7, 0, 5, 2)));
  EXPECT_NE(Timer().find("OnCalendar=*-*-02 07:00:00\n"), std::string::npos);
  EXPECT_NE(Timer().find("Description=Zarns word catalog build, monthly on day 2 at 07:00\n"),
            std::string::npos);
  // The earlier timer was stopped before the new one came.
  EXPECT_NE(fake.Read("systemctl.log").find("--user disable --now zarns-catalog.timer\n"),
            std::string::npos);
}

TEST_F(CatSched, OffRemovesOnlyOurUnits) {
  WriteFile(unitDir + "backup.timer", "[Timer]\nOnCalendar=daily\n");
  ASSERT_TRUE(Apply(Make(ScheduleKind::Daily)));
  fake.ClearLogs();
  ASSERT_TRUE(Apply(Make(ScheduleKind::Off))) << error;
  EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.service"));
  EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.timer"));
  EXPECT_EQ(Slurp(unitDir + "backup.timer"), "[Timer]\nOnCalendar=daily\n");
  EXPECT_EQ(fake.Read("systemctl.log"),
            "--user show-environment\n--user disable --now zarns-catalog.timer\n"
            "--user daemon-reload\n");
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Off);
  // The times chosen are kept for the next time a timer is set.
  EXPECT_EQ(LoadCatalogSchedule().hour, 22);

  // Start-up and shut-down need no timer, and nothing is called for them.
  fake.ClearLogs();
  ASSERT_TRUE(Apply(Make(ScheduleKind::Startup)));
  EXPECT_EQ(fake.Read("systemctl.log"), "");
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Startup);
  EXPECT_EQ(LoadScheduleMethod(), ScheduleMethod::None);
}

TEST_F(CatSched, AUnitOfTheSameNameNotOursIsLeftAlone) {
  const std::string theirs = "[Timer]\nOnCalendar=hourly\n";
  WriteFile(unitDir + "zarns-catalog.timer", theirs);
  EXPECT_FALSE(Apply(Make(ScheduleKind::Daily)));
  EXPECT_NE(error.find("not made by Zarns"), std::string::npos) << error;
  EXPECT_EQ(Timer(), theirs);
  EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.service"));
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Off);
  ASSERT_TRUE(Apply(Make(ScheduleKind::Off)));
  EXPECT_EQ(Timer(), theirs);
}

TEST_F(CatSched, EnableFailingLeavesNoUnitsAndTheOldChoice) {
  ASSERT_TRUE(Apply(Make(ScheduleKind::Startup)));
  fake.Set("systemctl-fails", true);
  EXPECT_FALSE(Apply(Make(ScheduleKind::Daily)));
  EXPECT_NE(error.find("systemctl --user enable failed"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.service"));
  EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.timer"));
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Startup);
}

TEST_F(CatSched, CrontabLineAddedAndRemovedByteForByte) {
  fake.Set("no-systemd", true);
  // Odd but valid lines, blank lines, a CRLF line and a last line without
  // its line break.
  const std::string theirs =
      "# m h dom mon dow command\nMAILTO=me@example.org\n\n0 * * * * run-parts /x\r\n"
      "5 4 * * sun echo 'zarns catalog schedule'";
  fake.WriteCrontab(theirs);
  ASSERT_TRUE(Apply(Make(ScheduleKind::Weekly, 4, 5, 0))) << error;
  const std::string ours = "5 4 * * 0 ZARNS_DATA_DIR=" + plat::DataDir() + " " + fake.bin +
                           "nice -n 19 " + fake.bin +
                           "ionice -c3 /opt/zarns/bin/zarns-cli catalog build >/dev/null 2>&1 "
                           "# zarns catalog schedule\n";
  EXPECT_EQ(CrontabLine(Make(ScheduleKind::Weekly, 4, 5, 0), env), ours);
  EXPECT_EQ(fake.Read("crontab.txt"), theirs + "\n" + ours);
  EXPECT_EQ(LoadScheduleMethod(), ScheduleMethod::Cron);
  EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.timer"));

  // Replacing keeps one line of ours.
  ASSERT_TRUE(Apply(Make(ScheduleKind::Monthly, 1, 2, 0, 3)));
  EXPECT_EQ(fake.Read("crontab.txt"),
            theirs + "\n" + "2 1 3 * *" + ours.substr(ours.find(" ZARNS_DATA_DIR")));
  ASSERT_TRUE(Apply(Make(ScheduleKind::Daily, 23, 59)));
  EXPECT_EQ(fake.Read("crontab.txt"),
            theirs + "\n" + "59 23 * * *" + ours.substr(ours.find(" ZARNS_DATA_DIR")));

  ASSERT_TRUE(Apply(Make(ScheduleKind::Off))) << error;
  // Our line goes; the line break cron needed after theirs stays.
  EXPECT_EQ(fake.Read("crontab.txt"), theirs + "\n");

  // With nothing else there, the crontab goes altogether.
  fake.WriteCrontab("");
  std::filesystem::remove(fake.bin + "crontab.txt");
  ASSERT_TRUE(Apply(Make(ScheduleKind::Daily)));
  EXPECT_EQ(fake.Read("crontab.txt"), "30 22 * * *" + ours.substr(ours.find(" ZARNS_DATA_DIR")));
  ASSERT_TRUE(Apply(Make(ScheduleKind::Off)));
  EXPECT_FALSE(fake.HasCrontab());
}

TEST_F(CatSched, OffWithoutOurLineNeverRewritesTheCrontab) {
  fake.Set("no-systemd", true);
  fake.WriteCrontab("1 2 3 4 5 true\n");
  ASSERT_TRUE(Apply(Make(ScheduleKind::Off)));
  EXPECT_EQ(fake.Read("crontab.log"), "-l\n");
  EXPECT_EQ(fake.Read("crontab.txt"), "1 2 3 4 5 true\n");
}

TEST_F(CatSched, AnUnreadableCrontabIsNeverOverwritten) {
  fake.Set("no-systemd", true);
  fake.WriteCrontab("1 2 3 4 5 precious\n");
  fake.Set("crontab-l-fails", true);
  EXPECT_FALSE(Apply(Make(ScheduleKind::Daily)));
  EXPECT_EQ(fake.Read("crontab.txt"), "1 2 3 4 5 precious\n");
  EXPECT_EQ(fake.Read("crontab.log").find("-\n"), std::string::npos);
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Off);

  fake.Set("crontab-l-fails", false);
  fake.Set("crontab-write-fails", true);
  EXPECT_FALSE(Apply(Make(ScheduleKind::Daily)));
  EXPECT_EQ(error, "crontab - failed");
  EXPECT_EQ(fake.Read("crontab.txt"), "1 2 3 4 5 precious\n");
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Off);
}

TEST_F(CatSched, OurLineThatCannotBeReachedIsNotReportedGone) {
  fake.Set("no-systemd", true);
  ASSERT_TRUE(Apply(Make(ScheduleKind::Daily)));
  fake.Set("crontab-l-fails", true);
  EXPECT_FALSE(Apply(Make(ScheduleKind::Off)));
  EXPECT_EQ(error, "crontab -l failed");
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Daily);
  fake.Set("crontab-l-fails", false);
  ASSERT_TRUE(Apply(Make(ScheduleKind::Off)));
  EXPECT_FALSE(fake.HasCrontab());
}

TEST_F(CatSched, NoSchedulerAtAllIsSaid) {
  fake.Set("no-systemd", true);
  fs::remove(fake.bin + "crontab");
  setenv("PATH", (fake.bin + ":/nonexistent").c_str(), 1);
  EXPECT_FALSE(Apply(Make(ScheduleKind::Daily)));
  EXPECT_EQ(error, "neither a systemd user session nor crontab is available");
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Off);
  // Start-up builds need neither.
  EXPECT_TRUE(Apply(Make(ScheduleKind::Startup)));
}

TEST_F(CatSched, OddPathsAreQuoted) {
  env.cliPath = "/opt/my zarns/100%/zarns-cli";
  env.dataDir = "/home/a'b/data $x/";
  env.nicePath = "/usr/bin/nice";
  env.ionicePath = "/usr/bin/ionice";
  EXPECT_EQ(CrontabLine(Make(ScheduleKind::Daily, 1, 0), env),
            "0 1 * * * ZARNS_DATA_DIR='/home/a'\\''b/data $x/' /usr/bin/nice -n 19 "
            "/usr/bin/ionice -c3 '/opt/my zarns/100\\%/zarns-cli' catalog build >/dev/null 2>&1 "
            "# zarns catalog schedule\n");
  const std::string unit = ServiceUnitText(env);
  EXPECT_NE(unit.find("Environment=\"ZARNS_DATA_DIR=/home/a'b/data $$x/\"\n"), std::string::npos)
      << unit;
  EXPECT_NE(unit.find("ExecStart=/usr/bin/nice -n 19 /usr/bin/ionice -c3 "
                      "\"/opt/my zarns/100%%/zarns-cli\" catalog build\n"),
            std::string::npos)
      << unit;
  env.dataDir = "/tmp/two\nlines/";
  EXPECT_FALSE(Apply(Make(ScheduleKind::Daily)));
  EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.service"));
  env.dataDir = plat::DataDir();
  env.cliPath = "";
  EXPECT_FALSE(Apply(Make(ScheduleKind::Daily)));
  EXPECT_EQ(error, "zarns-cli was not found");
}

TEST_F(CatSched, DamagedStoredScheduleReadsAsOff) {
  plat::Registry& reg = plat::ClassesRoot();
  reg.SetString("Zarns.Application\\CatalogSchedule", "Kind", "daily");
  reg.SetDword("Zarns.Application\\CatalogSchedule", "Hour", 99);
  EXPECT_EQ(LoadCatalogSchedule(), CatalogSchedule{});
  reg.SetDword("Zarns.Application\\CatalogSchedule", "Hour", 0xFFFFFFFFu);
  EXPECT_EQ(LoadCatalogSchedule(), CatalogSchedule{});
  reg.SetDword("Zarns.Application\\CatalogSchedule", "Hour", 7);
  reg.SetString("Zarns.Application\\CatalogSchedule", "Kind", "sometimes");
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Off);
  CatalogSchedule bad = Make(ScheduleKind::Monthly, 1, 1, 1, 31);
  EXPECT_FALSE(Apply(bad));
}

// Every file operation of setting a timer fails in turn: afterwards either
// the old state (no units, "off" stored) or the new one (both units whole,
// "daily" stored), and no temporary file is left in the unit folder.
TEST_F(CatSched, UnitWritesSurviveEveryFault) {
  FaultFs ffs;
  std::string serviceWant, timerWant;
  {
    ASSERT_TRUE(Apply(Make(ScheduleKind::Daily)));
    serviceWant = Service();
    timerWant = Timer();
  }
  FaultSweep sweep;
  sweep.prepare = [&] {
    std::string e;
    ASSERT_TRUE(ApplyCatalogSchedule(Make(ScheduleKind::Off), env, e)) << e;
  };
  sweep.run = [&] {
    std::string e;
    ApplyCatalogSchedule(Make(ScheduleKind::Daily), env, e);
  };
  sweep.check = [&](long n) {
    const CatalogSchedule now = LoadCatalogSchedule();
    if (now.kind == ScheduleKind::Daily) {
      EXPECT_EQ(Service(), serviceWant) << "fault " << n;
      EXPECT_EQ(Timer(), timerWant) << "fault " << n;
    } else {
      EXPECT_EQ(now.kind, ScheduleKind::Off) << "fault " << n;
      EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.service")) << "fault " << n;
      EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.timer")) << "fault " << n;
    }
    std::error_code ec;
    for (auto& e : fs::directory_iterator(unitDir, ec)) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name == "zarns-catalog.service" || name == "zarns-catalog.timer")
          << "fault " << n << " left " << name;
    }
  };
  const long points = SweepFaults(ffs, sweep);
  RecordProperty("fault_points", static_cast<int>(points));
  EXPECT_GT(points, 8);
  EXPECT_EQ(LoadCatalogSchedule().kind, ScheduleKind::Daily);
}

TEST_F(CatSched, StartUpBuildRunsDetachedAtLowPriority) {
  const std::string out = TestEnv::Root() + "fakecli.out";
  fs::remove(out);
  fake.Script("zarns-cli", "echo \"$*\" > '" + out + ".tmp'; mv '" + out + ".tmp' '" + out + "'\n");
  env.cliPath = fake.bin + "zarns-cli";
  ASSERT_TRUE(StartCatalogBuild(env));
  for (int i = 0; i < 500 && !fs::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(Slurp(out), "catalog build\n");
  EXPECT_EQ(fake.Read("nice.log"),
            "-n 19 " + fake.bin + "ionice -c3 " + fake.bin + "zarns-cli catalog build\n");
  env.cliPath.clear();
  EXPECT_FALSE(StartCatalogBuild(env));
}

TEST_F(CatSched, StatusShowsScheduleAndLastBuild) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(ScheduleStatusText(), "Schedule: off\nLast build: none\n");
  ASSERT_TRUE(Apply(Make(ScheduleKind::Weekly, 4, 0, 2)));
  BuildLogEntry e;
  e.start = 1765166400;  // 2025-12-08 04:00:00 UTC
  e.seconds = 12.34;
  e.files = 1234;
  e.words = 56789;
  e.result = "ok";
  ASSERT_TRUE(AppendBuildLog(e));
  EXPECT_EQ(ScheduleStatusText(),
            "Schedule: weekly on Tuesday at 04:00 (systemd user timer)\n"
            "Last build: 2025-12-08 04:00, 12.3 s, 1234 files, 56789 words, ok\n");
  fake.Set("no-systemd", true);
  ASSERT_TRUE(Apply(Make(ScheduleKind::Daily, 4, 0)));
  EXPECT_EQ(ScheduleStatusText().substr(0, 41), "Schedule: daily at 04:00 (crontab)\nLast b");
  ASSERT_TRUE(Apply(Make(ScheduleKind::Shutdown)));
  EXPECT_EQ(ScheduleStatusText().substr(0, 24), "Schedule: at shut-down\nL");
  unsetenv("TZ");
  tzset();
}
