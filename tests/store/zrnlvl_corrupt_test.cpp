// Damaged store files, failing disks and held locks: no crash, no read out of
// bounds, and nothing already stored is lost.
#include <gtest/gtest.h>

#include <random>

#include "common/faultfs.h"
#include "store/zrnlvl_helpers.h"

using namespace storetest;

namespace {

using ZrnStoreDamage = StoreTest;

TEST_F(ZrnStoreDamage, TableWithoutACompleteRecordStartsANewStore) {
  Put("EMSVt.007", "abcde");
  Put("EMSZrn.007", std::string("stale\0", 6));
  Put("EMSPkg.007", RecBytes(0, 0, 0));
  ASSERT_TRUE(Store("fresh", " v"));
  EXPECT_EQ(lvl.ZrnID, 0u);
  EXPECT_EQ(Bytes("EMSVt.007"), RecBytes(0, 0, 0) + RecBytes(6, 3, 0));
  EXPECT_EQ(Bytes("EMSZrn.007"), std::string("fresh\0", 6));
  EXPECT_EQ(Bytes("EMSPkg.007"), "");  // no old membership attaches to the new zarn
  EXPECT_EQ(Def("fresh"), " v");
}

TEST_F(ZrnStoreDamage, TrailingPartialRecordIsOverwrittenNotFollowed) {
  ASSERT_TRUE(Store("one", " 1"));
  std::string t = Bytes("EMSVt.007");
  Put("EMSVt.007", t + "xyz");
  ASSERT_TRUE(Store("two", " 2"));
  EXPECT_EQ(lvl.ZrnID, 12u);
  auto r = Recs("EMSVt.007");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(Bytes("EMSVt.007").size(), 36u);
  EXPECT_EQ(Def("one"), " 1");
  EXPECT_EQ(Def("two"), " 2");
}

// Texts written by a store that was interrupted before its record: the next
// store points its record at the real end of the files.
TEST_F(ZrnStoreDamage, OrphanTextsFromAnInterruptedStoreAreSkipped) {
  ASSERT_TRUE(Store("one", " 1 zdesc d1"));
  Put("EMSZrn.007", Bytes("EMSZrn.007") + std::string("half\0", 5));
  Put("EMSVal.007", Bytes("EMSVal.007") + std::string(" h\0", 3));
  Put("BROWSE.007", Bytes("BROWSE.007") + std::string("hd\0", 3));
  ASSERT_TRUE(Store("two", " 2 zdesc d2"));
  EXPECT_EQ(Def("one"), " 1 ");
  EXPECT_EQ(Def("two"), " 2 ");
  EXPECT_EQ(Def("half"), "<none>");
  std::string n = "two", d, u;
  ASSERT_TRUE(lvl.GetBrowseInfo(n, d, u));
  EXPECT_EQ(d, "d2");
  EXPECT_EQ(List(), (std::vector<std::string>{"one", "two", ""}));
}

TEST_F(ZrnStoreDamage, OffsetsBeyondTheFilesReadAsEmpty) {
  Put("EMSVt.007", RecBytes(0, 0, 0) + RecBytes(0xFFFFFFF0u, 0x7FFFFFFFu, 0xFFFFFFFFu) +
                       RecBytes(3, 0xFFFFFFFFu, 7));
  Put("EMSZrn.007", std::string("ab\0", 3));
  Put("EMSVal.007", "");
  Put("BROWSE.007", "");
  EXPECT_EQ(Def("ab"), "");
  std::string n = "ab", d = "?", u = "?";
  EXPECT_TRUE(lvl.GetBrowseInfo(n, d, u));
  EXPECT_EQ(d, "");
  n = "ab", d = "new", u = "text";
  EXPECT_TRUE(lvl.ModifyBrowseInfo(n, d, u));
  EXPECT_EQ(List(), (std::vector<std::string>{"ab", "", ""}));
}

TEST_F(ZrnStoreDamage, NamesWithoutTerminatorAreCutAtTheWindow) {
  Put("EMSVt.007", RecBytes(0, 0, 0) + RecBytes(9000, 2, 0));
  Put("EMSZrn.007", std::string(9000, 'N'));
  Put("EMSVal.007", std::string("d\0", 2));
  auto l = List();
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].size(), ZrnLvl1::kMaxText);
  EXPECT_EQ(Def(std::string(ZrnLvl1::kMaxText, 'n')), "d");
  std::string n = std::string(9000, 'N'), v = "?";
  EXPECT_FALSE(lvl.Get(n, v));
}

TEST_F(ZrnStoreDamage, RandomFilesNeverCrashAnyOperation) {
  std::mt19937 rng(4242);
  auto junk = [&](std::size_t max) {
    std::string s(rng() % max, '\0');
    for (char& c : s) {
      unsigned r = rng() % 10;
      c = r < 3 ? '\0' : r < 5 ? static_cast<char>(rng() % 4) : static_cast<char>('a' + rng() % 3);
    }
    return s;
  };
  for (int round = 0; round < 150; ++round) {
    TestEnv::ClearDataDir();
    PutFast("EMSVt.007", junk(200));
    PutFast("EMSZrn.007", junk(120));
    PutFast("EMSVal.007", junk(120));
    if (round % 3) PutFast("BROWSE.007", junk(120));
    for (const char* probe : {"a", "ab", "", "abc", "b"}) {
      std::string n = probe, v, d, u;
      lvl.Get(n, v);
      n = probe;
      lvl.GetBrowseInfo(n, d, u);
      n = probe, d = "desc", u = "use";
      lvl.ModifyBrowseInfo(n, d, u);
    }
    List();
    for (std::uint32_t id : {0u, 12u, 24u, 36u, 7u}) {
      std::string n;
      lvl.ZrnID = id;
      lvl.GetZarn(n, id == 0);
    }
    lvl.StopSet();
    ASSERT_TRUE(Store("newzarn", " fresh zdesc d"));
    auto l = List();
    ASSERT_GE(l.size(), 2u);
    EXPECT_EQ(l[l.size() - 2], "newzarn");  // its record points at the real end of the files
    EXPECT_EQ(l.back(), "");
  }
}

TEST_F(ZrnStoreDamage, FullDiskStoresNothingAndLosesNothing) {
  ASSERT_TRUE(Store("kept", " safe zdesc d"));
  {
    FaultFs fs;
    fs.diskSpace = 3;
    FaultFs::Scope scope(fs);
    EXPECT_FALSE(Store("lost", " this is longer than three bytes"));
  }
  EXPECT_EQ(Def("kept"), " safe ");
  EXPECT_EQ(Def("lost"), "<none>");
  ASSERT_TRUE(Store("later", " ok"));
  EXPECT_EQ(Def("later"), " ok");
  EXPECT_EQ(List(), (std::vector<std::string>{"kept", "later", ""}));
}

TEST_F(ZrnStoreDamage, FailedWritesAndOpensReportFailure) {
  ASSERT_TRUE(Store("kept", " safe"));
  {
    FaultFs fs;
    fs.failWrites = true;
    FaultFs::Scope scope(fs);
    EXPECT_FALSE(Store("x", " y"));
    std::string n = "kept", d = "d", u = "u";
    EXPECT_FALSE(lvl.ModifyBrowseInfo(n, d, u));
  }
  {
    FaultFs fs;
    fs.failOpenMatching = "EMSVt";
    FaultFs::Scope scope(fs);
    EXPECT_FALSE(Store("x", " y"));
    std::string n = "kept", v;
    EXPECT_FALSE(lvl.Get(n, v));
  }
  {
    FaultFs fs;
    fs.maxReadChunk = 5;  // short reads everywhere
    FaultFs::Scope scope(fs);
    std::string n = "kept", v;
    EXPECT_FALSE(lvl.Get(n, v) && v != " safe");
  }
  EXPECT_EQ(Def("kept"), " safe");
  ASSERT_TRUE(Store("x", " y"));
}

TEST_F(ZrnStoreDamage, TableHeldByAnotherWriterRefusesTheStore) {
  ASSERT_TRUE(Store("kept", " safe"));
  std::string names = Bytes("EMSZrn.007");
  HANDLE held = files.OpenFile(Path("EMSVt.007").c_str(), "w");
  ASSERT_TRUE(plat::IsOpen(held));
  EXPECT_FALSE(Store("x", " y"));
  files.CloseFile(held);
  EXPECT_EQ(Bytes("EMSZrn.007"), names);
  ASSERT_TRUE(Store("x", " y"));
}

}  // namespace
