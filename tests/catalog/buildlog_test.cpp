// The build log: its exact lines, damaged lines skipped, its bound, and
// appends that survive every failed file operation.
#include "catalog/buildlog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "common/faultfs.h"
#include "common/testenv.h"
#include "common/testfiles.h"

namespace {

BuildLogEntry Entry(std::time_t start, double secs, std::uint32_t files, std::uint32_t words,
                    const std::string& result) {
  BuildLogEntry e;
  e.start = start;
  e.seconds = secs;
  e.files = files;
  e.words = words;
  e.result = result;
  return e;
}

class BuildLog : public ::testing::Test {
 protected:
  void SetUp() override { TestEnv::ClearDataDir(); }
};

}  // namespace

TEST_F(BuildLog, LineFormatIsExact) {
  EXPECT_EQ(FormatBuildLogLine(Entry(1765166400, 12.345, 1234, 56789, "ok")),
            "2025-12-08T04:00:00Z\t12.35\t1234\t56789\tok\n");
  EXPECT_EQ(FormatBuildLogLine(Entry(0, -1, 0, 4294967295u, "busy")),
            "1970-01-01T00:00:00Z\t0.00\t0\t4294967295\tbusy\n");
  EXPECT_EQ(FormatBuildLogLine(Entry(0, std::nan(""), 0, 0, "bad\tresult")),
            "1970-01-01T00:00:00Z\t0.00\t0\t0\tfailed: other\n");
  BuildLogEntry e;
  ASSERT_TRUE(ParseBuildLogLine("2025-12-08T04:00:00Z\t12.35\t1234\t56789\tfailed: disk full", e));
  EXPECT_EQ(e, Entry(1765166400, 12.35, 1234, 56789, "failed: disk full"));
}

TEST_F(BuildLog, EntriesFromBuildStats) {
  BuildStats s;
  s.files = 3;
  s.words = 40;
  EXPECT_EQ(BuildLogEntryFor(s, 5, 1.5), Entry(5, 1.5, 3, 40, "ok"));
  s.cancelled = true;
  EXPECT_EQ(BuildLogEntryFor(s, 5, 1.5).result, "cancelled");
  s.failed = true;
  s.error = plat::FileError::NoSpace;
  EXPECT_EQ(BuildLogEntryFor(s, 5, 1.5), Entry(5, 1.5, 0, 0, "failed: disk full"));
  s.busy = true;
  EXPECT_EQ(BuildLogEntryFor(s, 5, -2), Entry(5, 0, 0, 0, "busy"));
}

TEST_F(BuildLog, DamagedLinesAreSkipped) {
  const std::string good1 = "2025-12-08T04:00:00Z\t1.00\t1\t2\tok\n";
  const std::string good2 = "2025-12-09T04:00:00Z\t2.00\t3\t4\tcancelled\n";
  std::string text = good1;
  for (const char* bad : {
           "garbage\n", "\n",
           "2025-12-08T04:00:00Z\t1.00\t1\t2\n",             // a field short
           "2025-12-08T04:00:00Z\t1.00\t1\t2\tok\textra\n",  // one too many
           "2025-13-08T04:00:00Z\t1.00\t1\t2\tok\n",         // month 13
           "2025-12-08 04:00:00\t1.00\t1\t2\tok\n",          // not the stored form
           "2025-12-08T04:00:00Z\t-1.00\t1\t2\tok\n",        // negative time
           "2025-12-08T04:00:00Z\tnan\t1\t2\tok\n",          // not a number
           "2025-12-08T04:00:00Z\tinf\t1\t2\tok\n",
           "2025-12-08T04:00:00Z\t1.00\t4294967296\t2\tok\n",  // past 32 bits
           "2025-12-08T04:00:00Z\t1.00\t-1\t2\tok\n", "2025-12-08T04:00:00Z\t1.00\t 1\t2\tok\n",
           "2025-12-08T04:00:00Z\t1.00\t1\t2\t\n",      // no result
           "2025-12-08T04:00:00Z\t1.00\t1\t2\tok\r\n",  // a control character
           "\xff\xfe\t\x80\n",                          // not UTF-8
       })
    text += bad;
  text += std::string(100000, 'x') + "\n";  // a huge line
  text += good2;
  text += "2025-12-10T04:00:00Z\t3.00\t5\t6\to";  // cut short by a crash
  ASSERT_TRUE(WriteData(kBuildLogName, text));
  const std::vector<BuildLogEntry> log = ReadBuildLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].files, 1u);
  EXPECT_EQ(log[1].result, "cancelled");

  // The next append writes only the good lines back.
  ASSERT_TRUE(AppendBuildLog(Entry(1765166400, 3, 5, 6, "ok")));
  EXPECT_EQ(ReadData(kBuildLogName), good1 + good2 + "2025-12-08T04:00:00Z\t3.00\t5\t6\tok\n");
  EXPECT_EQ(std::filesystem::status(TestEnv::Root() + "data/" + kBuildLogName).permissions() &
                std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(BuildLog, KeepsTheLastEntries) {
  EXPECT_TRUE(ReadBuildLog().empty());
  for (std::uint32_t i = 0; i < kBuildLogKeep + 7; ++i)
    ASSERT_TRUE(AppendBuildLog(Entry(1000 + i, 1, i, i, "ok")));
  const std::vector<BuildLogEntry> log = ReadBuildLog();
  ASSERT_EQ(log.size(), kBuildLogKeep);
  EXPECT_EQ(log.front().files, 7u);
  EXPECT_EQ(log.back().files, kBuildLogKeep + 6);
}

TEST_F(BuildLog, AnUnreadableLogIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  ASSERT_TRUE(AppendBuildLog(Entry(1, 1, 1, 1, "ok")));
  const std::string path = TestEnv::Root() + "data/" + kBuildLogName;
  std::filesystem::permissions(path, std::filesystem::perms::none);
  EXPECT_FALSE(AppendBuildLog(Entry(2, 1, 1, 1, "ok")));
  std::filesystem::permissions(
      path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(ReadBuildLog().size(), 1u);
}

TEST_F(BuildLog, ALogThatCannotBeOpenedIsNotReplaced) {
  ASSERT_TRUE(AppendBuildLog(Entry(1, 1, 1, 1, "ok")));
  const std::string before = ReadData(kBuildLogName);
  FaultFs ffs;
  ffs.failOpenMatching = kBuildLogName;
  ffs.injectedError = plat::FileError::Permission;
  {
    FaultFs::Scope scope(ffs);
    EXPECT_FALSE(AppendBuildLog(Entry(2, 1, 1, 1, "ok")));
    EXPECT_TRUE(ReadBuildLog().empty());  // unreadable reads as no log, never a crash
  }
  EXPECT_EQ(ReadData(kBuildLogName), before);
}

TEST_F(BuildLog, DescribesABuildInLocalTime) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(DescribeBuild(Entry(1765166400, 0.04, 0, 0, "busy")),
            "2025-12-08 04:00, 0.0 s, 0 files, 0 words, busy");
  unsetenv("TZ");
  tzset();
}

// Every file operation of an append fails in turn: the log is then the old
// one or the old one with the new line, never less, and no temporary file
// stays behind.
TEST_F(BuildLog, AppendSurvivesEveryFault) {
  const std::string before =
      "2025-12-08T04:00:00Z\t1.00\t1\t2\tok\n"
      "2025-12-09T04:00:00Z\t2.00\t3\t4\tok\n";
  const BuildLogEntry add = Entry(1765339200, 9, 9, 9, "ok");
  const std::string after = before + FormatBuildLogLine(add);
  FaultFs ffs;
  FaultSweep sweep;
  sweep.prepare = [&] {
    TestEnv::ClearDataDir();
    WriteData(kBuildLogName, before);
  };
  sweep.run = [&] { AppendBuildLog(add); };
  sweep.check = [&](long n) {
    const std::string now = ReadData(kBuildLogName);
    EXPECT_TRUE(now == before || now == after) << "fault " << n << ": " << now;
    for (auto& e : std::filesystem::directory_iterator(TestEnv::Root() + "data")) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name == kBuildLogName || name == kBuildLogLockName)
          << "fault " << n << " left " << name;
    }
  };
  const long points = SweepFaults(ffs, sweep);
  RecordProperty("fault_points", static_cast<int>(points));
  EXPECT_GT(points, 5);
  EXPECT_EQ(ReadData(kBuildLogName), after);
}
