// zarns-cli catalog schedule ... and the build log every build writes, run
// as a user would, with fake systemctl/crontab first on PATH.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "catalog/buildlog.h"
#include "catalog/catlock.h"
#include "cli/cli_runner.h"
#include "common/fakesched.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "platform/pregistry.h"

namespace fs = std::filesystem;

namespace {

CliRun Cli(const std::vector<std::string>& args) {
  return RunZarnsCli(args, "", TestEnv::Root() + "schedcli");
}

class ScheduleCli : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    fs::remove_all(TestEnv::Root() + "xdg-config/systemd");
    unitDir = TestEnv::Root() + "xdg-config/systemd/user/";
    cli = fs::canonical(std::string(ZARNS_BINARY_DIR) + "/zarns-cli").string();
  }
  FakeScheduler fake;
  std::string unitDir, cli;
};

}  // namespace

TEST_F(ScheduleCli, SetShowAndRemoveATimer) {
  CliRun r = Cli({"catalog", "schedule", "status"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "Schedule: off\nLast build: none\n");

  r = Cli({"catalog", "schedule", "weekly", "Sunday", "3:00"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "Schedule: weekly on Sunday at 03:00\n");
  const std::string service = Slurp(unitDir + "zarns-catalog.service");
  // The service runs this very zarns-cli, by its absolute path, on this
  // data directory.
  EXPECT_NE(service.find("\nEnvironment=ZARNS_DATA_DIR=" + plat::DataDir() + "\n"),
            std::string::npos)
      << service;
  EXPECT_NE(service.find("\nExecStart=" + fake.bin + "nice -n 19 " + fake.bin + "ionice -c3 " +
                         cli + " catalog build\n"),
            std::string::npos)
      << service;
  EXPECT_NE(Slurp(unitDir + "zarns-catalog.timer").find("\nOnCalendar=Sun *-*-* 03:00:00\n"),
            std::string::npos);

  r = Cli({"catalog", "schedule", "status"});
  EXPECT_EQ(r.out, "Schedule: weekly on Sunday at 03:00 (systemd user timer)\nLast build: none\n");

  r = Cli({"catalog", "schedule", "off"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "Schedule: off\n");
  EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.service"));
  EXPECT_FALSE(fs::exists(unitDir + "zarns-catalog.timer"));
}

TEST_F(ScheduleCli, CrontabWhenThereIsNoUserSystemd) {
  fake.Set("no-systemd", true);
  const std::string theirs = "MAILTO=\"\"\n15 * * * * backup --quiet\n";
  fake.WriteCrontab(theirs);
  CliRun r = Cli({"catalog", "schedule", "daily", "22:30"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(fake.Read("crontab.txt"), theirs + "30 22 * * * ZARNS_DATA_DIR=" + plat::DataDir() +
                                          " " + fake.bin + "nice -n 19 " + fake.bin +
                                          "ionice -c3 " + cli +
                                          " catalog build >/dev/null 2>&1 # zarns catalog "
                                          "schedule\n");
  r = Cli({"catalog", "schedule", "status"});
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Schedule: daily at 22:30 (crontab)");
  r = Cli({"catalog", "schedule", "startup"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(fake.Read("crontab.txt"), theirs);
}

TEST_F(ScheduleCli, WordsItDoesNotKnowExit2AndChangeNothing) {
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"catalog", "schedule", "daily", "25:00"},
                                             {"catalog", "schedule", "monthly", "31", "10:00"},
                                             {"catalog", "schedule", "sometimes"},
                                             {"catalog", "schedule", "status", "now"}}) {
    CliRun r = Cli(bad);
    EXPECT_EQ(r.rc, 2) << bad[2];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("zarns-cli: ", 0), 0u) << r.err;
  }
  CliRun r = Cli({"catalog", "schedule"});
  EXPECT_NE(r.rc, 0);
  EXPECT_EQ(fake.Read("systemctl.log"), "");
  EXPECT_FALSE(fs::exists(unitDir));
}

TEST_F(ScheduleCli, SchedulerFailureExits1) {
  fake.Set("no-systemd", true);
  fake.Set("crontab-write-fails", true);
  CliRun r = Cli({"catalog", "schedule", "daily", "01:00"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.err, "zarns-cli: the schedule could not be set: crontab - failed\n");
  EXPECT_EQ(Cli({"catalog", "schedule", "status"}).out, "Schedule: off\nLast build: none\n");
}

TEST_F(ScheduleCli, EveryBuildIsLogged) {
  const std::string tree = TestEnv::FreshDir("logtree");
  WriteFile(tree + "a.txt", "alpha beta gamma");
  CliRun b = Cli({"catalog", "build", "--root", tree});
  ASSERT_EQ(b.rc, 0) << b.err;
  std::vector<BuildLogEntry> log = ReadBuildLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].result, "ok");
  EXPECT_GE(log[0].files, 1u);
  EXPECT_GE(log[0].words, 3u);
  EXPECT_LE(std::abs(std::time(nullptr) - log[0].start), 60);
  CliRun s = Cli({"catalog", "schedule", "status"});
  EXPECT_TRUE(std::regex_match(
      s.out, std::regex("Schedule: off\nLast build: [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}, "
                        "[0-9]+\\.[0-9] s, [0-9]+ files, [0-9]+ words, ok\n")))
      << s.out;

  // A damaged log neither stops a build nor is shown.
  WriteData(kBuildLogName, "garbage\n\xff\xfe\n2025-12-08T04:00:00Z\t1.00\t1\t2");
  EXPECT_EQ(Cli({"catalog", "schedule", "status"}).out, "Schedule: off\nLast build: none\n");
  b = Cli({"catalog", "build", "--root", tree});
  ASSERT_EQ(b.rc, 0) << b.err;
  log = ReadBuildLog();
  ASSERT_EQ(log.size(), 1u);

  // A build refused because another runs is logged as such.
  {
    CatalogLock held(CatalogLock::Kind::Build);
    ASSERT_TRUE(held.Held());
    b = Cli({"catalog", "build", "--root", tree});
    EXPECT_EQ(b.rc, 3);
  }
  log = ReadBuildLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].result, "busy");
  EXPECT_EQ(log[1].files, 0u);
}
