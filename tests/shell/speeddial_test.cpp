// The speed-dial numbers file: record bytes, update by name and type, removal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "common/faultfs.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "shell/heldfile.h"
#include "shell/speeddial.h"

namespace {

std::string Rec(std::int32_t id, std::int32_t type, const std::string& name,
                const std::string& number) {
  std::string s = U32(static_cast<std::uint32_t>(id)) + U32(static_cast<std::uint32_t>(type));
  std::string n = name;
  n.resize(50, '\0');
  std::string m = number;
  m.resize(40, '\0');
  return s + n + m;
}

}  // namespace

TEST(TelNumRecord, CutsAndBytes) {
  const TelNum t = MakeTelNum(kCel, std::string(45, 'n'), std::string(35, '5'));
  EXPECT_EQ(t.telId, 0);
  EXPECT_EQ(TelName(t), std::string(39, 'n'));
  EXPECT_EQ(TelNumber(t), std::string(29, '5'));
  EXPECT_EQ(TelNumBytes(t), Rec(0, 3, std::string(39, 'n'), std::string(29, '5')));
  const std::string b = Rec(-2, 7, "Zed", "1");
  const TelNum back = TelNumFromBytes(b.data());
  EXPECT_EQ(back.telId, -2);
  EXPECT_EQ(TelType(back), kOther);  // no Tels value
  EXPECT_EQ(TelNumBytes(back), b);
}

TEST(TelNumRecord, TypeTexts) {
  const char* texts[] = {"Home", "Work", "Fax", "Cel", "Other"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(TelTypeText(i), texts[i]);
    Tels t;
    ASSERT_TRUE(TelTypeFromText(texts[i], t));
    EXPECT_EQ(t, i);
  }
  Tels t;
  EXPECT_TRUE(TelTypeFromText("cEL", t));
  EXPECT_EQ(t, kCel);
  EXPECT_FALSE(TelTypeFromText("mobile", t));
  EXPECT_FALSE(TelTypeFromText("", t));
  EXPECT_STREQ(TelTypeText(-1), "Other");
}

class SpeedDialFile : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = TestEnv::FreshDir("speeddial"); }
  std::string Path() const { return dir_ + "SpeedDial.007"; }
  std::string dir_;
};

TEST_F(SpeedDialFile, NoFileNoEntries) {
  SpeedDialStore s(Path());
  std::vector<TelNum> list{MakeTelNum(kHomePhone, "x", "1")};
  EXPECT_TRUE(s.GetTelNumbers(list));
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(std::filesystem::exists(Path()));
}

TEST_F(SpeedDialFile, AddUpdateRemove) {
  SpeedDialStore s(Path());
  std::int32_t id = 0;
  ASSERT_TRUE(s.SetTelNumber(MakeTelNum(kWorkPhone, "Ann", "555-1"), &id));
  EXPECT_EQ(id, 1);
  ASSERT_TRUE(s.SetTelNumber(MakeTelNum(kHomePhone, "Ann", "555-2"), &id));
  EXPECT_EQ(id, 2);
  // Same name and type: the number changes, the entry keeps its place and id.
  ASSERT_TRUE(s.SetTelNumber(MakeTelNum(kWorkPhone, "Ann", "555-9"), &id));
  EXPECT_EQ(id, 1);
  EXPECT_EQ(Slurp(Path()), Rec(1, 1, "Ann", "555-9") + Rec(2, 0, "Ann", "555-2"));
  struct stat st;
  ASSERT_EQ(stat(Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  ASSERT_TRUE(s.SetTelNumber(MakeTelNum(kFax, "Bob", "7"), &id));
  EXPECT_EQ(id, 3);
  EXPECT_TRUE(s.RemoveId(1));
  EXPECT_FALSE(s.RemoveId(1));
  // Ids are never given twice while a higher one lives.
  ASSERT_TRUE(s.SetTelNumber(MakeTelNum(kCel, "Cy", "8"), &id));
  EXPECT_EQ(id, 4);
  EXPECT_EQ(s.RemoveName("Ann"), 1);
  EXPECT_EQ(s.RemoveName("Nobody"), 0);
  std::vector<TelNum> list;
  ASSERT_TRUE(s.GetTelNumbers(list));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(TelName(list[0]), "Bob");
  EXPECT_EQ(TelType(list[0]), kFax);
  EXPECT_EQ(TelName(list[1]), "Cy");
  EXPECT_EQ(Slurp(Path()), Rec(3, 2, "Bob", "7") + Rec(4, 3, "Cy", "8"));
}

TEST_F(SpeedDialFile, ADamagedTailIsKept) {
  ASSERT_TRUE(WriteFile(Path(), Rec(5, 0, "Ann", "1") + "junk"));
  SpeedDialStore s(Path());
  std::vector<TelNum> list;
  ASSERT_TRUE(s.GetTelNumbers(list));
  EXPECT_EQ(list.size(), 2u);
  ASSERT_TRUE(s.SetTelNumber(MakeTelNum(kHomePhone, "Bea", "2")));
  const std::string now = Slurp(Path());
  EXPECT_EQ(now.substr(0, 102), Rec(5, 0, "Ann", "1") + "junk");
  EXPECT_EQ(now.size(), 3 * 98u);
}

TEST_F(SpeedDialFile, HeldByAnotherWriter) {
  HeldFile other(Path());
  ASSERT_TRUE(other.Hold());
  plat::LockWaitScope noWait(std::chrono::milliseconds(0));
  SpeedDialStore s(Path());
  EXPECT_FALSE(s.SetTelNumber(MakeTelNum(kHomePhone, "Ann", "1")));
  EXPECT_EQ(s.Error(), plat::FileError::Busy);
  EXPECT_EQ(s.RemoveName("Ann"), -1);
  other.Release();
  EXPECT_TRUE(s.SetTelNumber(MakeTelNum(kHomePhone, "Ann", "1")));
}

TEST_F(SpeedDialFile, ChangesUnderFaults) {
  const std::string before = Rec(1, 0, "Ann", "1") + Rec(2, 1, "Bob", "2");
  FaultFs fs;
  bool ok = false;
  FaultSweep sweep;
  sweep.prepare = [&] { ASSERT_TRUE(WriteFile(Path(), before)); };
  sweep.run = [&] { ok = SpeedDialStore(Path()).SetTelNumber(MakeTelNum(kCel, "Cy", "3")); };
  sweep.check = [&](long n) {
    EXPECT_EQ(Slurp(Path()), ok ? before + Rec(3, 3, "Cy", "3") : before) << n;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                            std::filesystem::directory_iterator()),
              1)
        << n;
  };
  long points = SweepFaults(fs, sweep);
  sweep.run = [&] { ok = SpeedDialStore(Path()).RemoveId(1); };
  sweep.check = [&](long n) { EXPECT_EQ(Slurp(Path()), ok ? Rec(2, 1, "Bob", "2") : before) << n; };
  points += SweepFaults(fs, sweep);
  EXPECT_GE(points, 12);
  RecordProperty("injection_points", static_cast<int>(points));
}

TEST_F(SpeedDialFile, GarbageIsReadAndKept) {
  std::mt19937 rng(5);
  std::string junk(1000, '\0');
  for (char& c : junk) c = static_cast<char>(rng() & 0xFF);
  ASSERT_TRUE(WriteFile(Path(), junk));
  SpeedDialStore s(Path());
  std::vector<TelNum> list;
  ASSERT_TRUE(s.GetTelNumbers(list));
  EXPECT_EQ(list.size(), 11u);  // ten whole records and the tail filled up
  for (const TelNum& t : list) {
    EXPECT_LE(TelName(t).size(), 50u);
    EXPECT_LE(TelNumber(t).size(), 40u);
    EXPECT_GE(TelType(t), kHomePhone);
    EXPECT_LE(TelType(t), kOther);
  }
  std::int32_t id = 0;
  ASSERT_TRUE(s.SetTelNumber(MakeTelNum(kHomePhone, "Zed", "1"), &id));
  const std::string now = Slurp(Path());
  EXPECT_EQ(now.substr(0, 1000), junk);
  EXPECT_EQ(now.size(), 12 * 98u);
}

TEST_F(SpeedDialFile, IdsAfterTheLargestPossibleOne) {
  ASSERT_TRUE(WriteFile(Path(), Rec(INT32_MAX, 0, "Max", "1") + Rec(1, 0, "One", "2")));
  SpeedDialStore s(Path());
  std::int32_t id = 0;
  ASSERT_TRUE(s.SetTelNumber(MakeTelNum(kHomePhone, "New", "3"), &id));
  EXPECT_EQ(id, 2);
  ASSERT_TRUE(s.RemoveId(2));
  EXPECT_EQ(Slurp(Path()), Rec(INT32_MAX, 0, "Max", "1") + Rec(1, 0, "One", "2"));
}
