// The zarn store's files byte for byte, lookups, listings and browse texts.
#include <gtest/gtest.h>

#include "common/faultfs.h"
#include "store/zrnlvl_helpers.h"

using namespace storetest;

namespace {

using ZrnStore = StoreTest;

TEST_F(ZrnStore, FirstSetCreatesTheFourFilesByteForByte) {
  std::string name = "hello";
  std::string value =
      "\x07hello\x07"
      "body\r\nzdesc Says hello\r\nzuse hello\r\n";
  ASSERT_TRUE(lvl.Set(name, value));
  EXPECT_EQ(lvl.ZrnID, 0u);
  EXPECT_EQ(value,
            "\x07hello\x07"
            "body\r\n");  // the definition on return
  EXPECT_EQ(Bytes("EMSZrn.007"), std::string("hello\0", 6));
  EXPECT_EQ(Bytes("EMSVal.007"), std::string("\x07hello\x07"
                                             "body\r\n\0",
                                             14));
  EXPECT_EQ(Bytes("BROWSE.007"), std::string("Says hello\r\n\x01hello\r\n\0", 21));
  EXPECT_EQ(Bytes("EMSVt.007"), RecBytes(0, 0, 0) + RecBytes(6, 14, 21));
  EXPECT_FALSE(Exists("EMSPkg.007"));
}

TEST_F(ZrnStore, ZarnWithoutBrowseTextWritesNoBrowseBytes) {
  ASSERT_TRUE(Store("plain", " text"));
  EXPECT_TRUE(Exists("BROWSE.007"));
  EXPECT_EQ(Bytes("BROWSE.007"), "");
  EXPECT_EQ(Bytes("EMSVt.007"), RecBytes(0, 0, 0) + RecBytes(6, 6, 0));
}

TEST_F(ZrnStore, LookupIgnoresCaseAndUpperCasesItsArgument) {
  ASSERT_TRUE(Store("Alpha", " one"));
  ASSERT_TRUE(Store("beta", " two"));
  EXPECT_EQ(lvl.ZrnID, 12u);
  std::string n = "alpha", v;
  EXPECT_TRUE(lvl.Get(n, v));
  EXPECT_EQ(n, "ALPHA");
  EXPECT_EQ(v, " one");
  n = "BETA";
  EXPECT_TRUE(lvl.Get(n, v));
  EXPECT_EQ(v, " two");
  n = "gamma";
  v = "unchanged";
  EXPECT_FALSE(lvl.Get(n, v));
  EXPECT_EQ(n, "GAMMA");
  EXPECT_EQ(v, "unchanged");
  // The end record's empty name is no zarn.
  n = "";
  EXPECT_FALSE(lvl.Get(n, v));
}

TEST_F(ZrnStore, ListingDeliversNamesThenOneEmptyNameThenFalse) {
  ASSERT_TRUE(Store("Alpha", " one"));
  ASSERT_TRUE(Store("beta", " two"));
  std::string n = "x";
  EXPECT_TRUE(lvl.GetZarnList(n, true));
  EXPECT_EQ(n, "x");  // the opening call delivers nothing
  EXPECT_TRUE(lvl.GetZarnList(n, false));
  EXPECT_EQ(n, "Alpha");
  EXPECT_TRUE(lvl.GetZarnList(n, false));
  EXPECT_EQ(n, "beta");
  EXPECT_TRUE(lvl.GetZarnList(n, false));
  EXPECT_EQ(n, "");
  EXPECT_FALSE(lvl.GetZarnList(n, false));
  lvl.StopSet();
}

TEST_F(ZrnStore, ListingSurvivesLookupsInBetween) {
  for (const char* z : {"one", "two", "three"}) ASSERT_TRUE(Store(z, " x"));
  std::vector<std::string> seen;
  std::string n;
  lvl.GetZarnList(n, true);
  while (lvl.GetZarnList(n, false)) {
    seen.push_back(n);
    std::string probe = "two", v;
    EXPECT_TRUE(ZrnLvl1(files).Get(probe, v));
  }
  lvl.StopSet();
  EXPECT_EQ(seen, (std::vector<std::string>{"one", "two", "three", ""}));
}

TEST_F(ZrnStore, DuplicateNamesAppendAndTheOldestWins) {
  ASSERT_TRUE(Store("Alpha", " first"));
  ASSERT_TRUE(Store("ALPHA", " second"));
  EXPECT_EQ(lvl.ZrnID, 12u);
  EXPECT_EQ(Def("alpha"), " first");
  EXPECT_EQ(List(), (std::vector<std::string>{"Alpha", "ALPHA", ""}));
  EXPECT_EQ(Bytes("EMSZrn.007"), std::string("Alpha\0ALPHA\0", 12));
}

TEST_F(ZrnStore, BrowseKeywordsInAnyCaseAndOrder) {
  struct Case {
    const char* value;
    const char* def;
    const char* desc;
    const char* usage;
  };
  const Case cases[] = {
      {" x ZUSE how", " x ", "", "how"},
      {" x zDeSc", " x ", "", ""},  // keyword at the very end
      {" x zdesc", " x ", "", ""},
      {" a zuse u zdesc d", " a ", "d", "u "},  // usage before description
      {" a zdesc d zuse u", " a ", "d ", "u"},
      {"zuse only", "", "", "only"},
      {" q zdesc one zdesc two", " q ", "one zdesc two", ""},  // first occurrence counts
  };
  int i = 0;
  for (const auto& c : cases) {
    std::string name = "k" + std::to_string(i++), value = c.value;
    ASSERT_TRUE(lvl.Set(name, value)) << c.value;
    EXPECT_EQ(value, c.def) << c.value;
    std::string d = "<d>", u = "<u>", n = name;
    ASSERT_TRUE(lvl.GetBrowseInfo(n, d, u)) << c.value;
    EXPECT_EQ(d, c.desc) << c.value;
    EXPECT_EQ(u, c.usage) << c.value;
    EXPECT_EQ(Def(name), c.def);
  }
}

TEST_F(ZrnStore, BrowseTextStartingWithSeparatorGivesEmptyDescription) {
  ASSERT_TRUE(Store("how", " body zuse use it"));
  EXPECT_EQ(Bytes("BROWSE.007"), std::string("\x01use it\0", 8));
  std::string n = "how", d = "?", u = "?";
  ASSERT_TRUE(lvl.GetBrowseInfo(n, d, u));
  EXPECT_EQ(d, "");
  EXPECT_EQ(u, "use it");
}

TEST_F(ZrnStore, BrowseInfoOfEmptyNameOpensNothing) {
  ASSERT_TRUE(Store("a", " b zdesc c"));
  FaultFs fs;
  FaultFs::Scope scope(fs);
  std::string n, d, u;
  EXPECT_FALSE(lvl.GetBrowseInfo(n, d, u));
  EXPECT_EQ(fs.opens, 0);
}

// A zarn stored without browse text shows none, and zarns stored after it
// keep their own: the browse offset is carried forward, not reset to 0.
TEST_F(ZrnStore, ZarnWithoutBrowseTextShowsNothingAndLeavesLaterTextsIntact) {
  ASSERT_TRUE(Store("first", " 1 zdesc one zuse u1"));
  ASSERT_TRUE(Store("bare", " 2"));
  ASSERT_TRUE(Store("third", " 3 zdesc three"));
  ASSERT_TRUE(Store("bare2", " 4"));
  auto r = Recs("EMSVt.007");
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[1].c, 8u);   // "one " 0x01 "u1" NUL
  EXPECT_EQ(r[2].c, 8u);   // carried forward by the bare zarn
  EXPECT_EQ(r[3].c, 15u);  // "three" 0x01 NUL
  EXPECT_EQ(r[4].c, 15u);
  struct E {
    const char* name;
    const char* d;
    const char* u;
  };
  for (E e :
       {E{"first", "one ", "u1"}, E{"bare", "", ""}, E{"third", "three", ""}, E{"bare2", "", ""}}) {
    std::string n = e.name, d = "?", u = "?";
    ASSERT_TRUE(lvl.GetBrowseInfo(n, d, u)) << e.name;
    EXPECT_EQ(d, e.d) << e.name;
    EXPECT_EQ(u, e.u) << e.name;
  }
}

TEST_F(ZrnStore, SetTextSplitsAtFirstWhiteSpace) {
  std::string t = "name";
  ASSERT_TRUE(lvl.Set(t));
  EXPECT_EQ(t, "name");
  EXPECT_EQ(Def("name"), "");
  t = "tabbed\tvalue here\nmore";
  ASSERT_TRUE(lvl.Set(t));
  EXPECT_EQ(t, "tabbed");
  EXPECT_EQ(Def("tabbed"), "\tvalue here\nmore");
  t = "crlf\r\nx";
  ASSERT_TRUE(lvl.Set(t));
  EXPECT_EQ(Def("CRLF"), "\r\nx");
}

TEST_F(ZrnStore, RefusedNamesAndTextsLeaveTheFilesUntouched) {
  ASSERT_TRUE(Store("keep", " k"));
  std::string before = Bytes("EMSVt.007") + Bytes("EMSZrn.007") + Bytes("EMSVal.007");
  EXPECT_FALSE(Store("", " v"));
  EXPECT_FALSE(Store("two words", " v"));
  EXPECT_FALSE(Store("ctl\x07", " v"));
  EXPECT_FALSE(Store(std::string(80, 'n'), " v"));
  EXPECT_FALSE(Store("long", std::string(4096, 'v')));
  EXPECT_FALSE(Store("longdesc", " v zdesc " + std::string(4095, 'd')));
  std::string t = " leading";
  EXPECT_FALSE(lvl.Set(t));  // empty name
  EXPECT_EQ(Bytes("EMSVt.007") + Bytes("EMSZrn.007") + Bytes("EMSVal.007"), before);

  // The largest texts that still read back whole.
  ASSERT_TRUE(Store(std::string(79, 'n'), std::string(4095, 'v')));
  EXPECT_EQ(Def(std::string(79, 'n')), std::string(4095, 'v'));
}

TEST_F(ZrnStore, EmbeddedNulEndsTheText) {
  ASSERT_TRUE(Store("nul", std::string(" ab\0cd", 6)));
  EXPECT_EQ(Def("nul"), " ab");
  EXPECT_EQ(Recs("EMSVt.007")[1], (Rec{4, 4, 0}));
}

TEST_F(ZrnStore, GetZarnReadsByTablePosition) {
  ASSERT_TRUE(Store("zero", " a"));
  ASSERT_TRUE(Store("One", " b"));
  std::string n;
  lvl.ZrnID = 12;
  EXPECT_TRUE(lvl.GetZarn(n, true));
  EXPECT_EQ(n, "One");
  lvl.ZrnID = 0;
  EXPECT_TRUE(lvl.GetZarn(n, false));
  EXPECT_EQ(n, "zero");
  for (std::uint32_t bad : {24u, 5u, 1200u, 0xFFFFFFF0u}) {  // end record, between records, beyond
    lvl.ZrnID = bad;
    n = "?";
    EXPECT_TRUE(lvl.GetZarn(n, false));
    EXPECT_EQ(n, "") << bad;
  }
  lvl.StopSet();
}

TEST_F(ZrnStore, ModifyInPlaceChangesOnlyThatBrowseText) {
  ASSERT_TRUE(Store("a", " 1 zdesc description A zuse usage A"));
  ASSERT_TRUE(Store("b", " 2 zdesc B"));
  std::string tbl = Bytes("EMSVt.007"), names = Bytes("EMSZrn.007"), defs = Bytes("EMSVal.007");
  std::string n = "a", d = "short", u = "u";
  ASSERT_TRUE(lvl.ModifyBrowseInfo(n, d, u));
  EXPECT_EQ(n, "A");
  EXPECT_EQ(Bytes("EMSVt.007"), tbl);
  EXPECT_EQ(Bytes("EMSZrn.007"), names);
  EXPECT_EQ(Bytes("EMSVal.007"), defs);
  std::string dd, uu;
  n = "a";
  ASSERT_TRUE(lvl.GetBrowseInfo(n, dd, uu));
  EXPECT_EQ(dd, "short");
  EXPECT_EQ(uu, "u");
  n = "b";
  ASSERT_TRUE(lvl.GetBrowseInfo(n, dd, uu));
  EXPECT_EQ(dd, "B");
}

// A longer text goes to the end of the browse file; every neighbour,
// including zarns without browse text, keeps what it showed.
TEST_F(ZrnStore, ModifyWithLongerTextNeverRunsIntoANeighbour) {
  ASSERT_TRUE(Store("bare0", " 0"));
  ASSERT_TRUE(Store("a", " 1 zdesc A"));
  ASSERT_TRUE(Store("bare1", " x"));
  ASSERT_TRUE(Store("b", " 2 zdesc B zuse b"));
  ASSERT_TRUE(Store("bare2", " y"));
  std::string defs = Bytes("EMSVal.007");
  auto check = [&](const char* name, const char* desc, const char* usage) {
    std::string n = name, d = "?", u = "";
    ASSERT_TRUE(lvl.GetBrowseInfo(n, d, u)) << name;
    EXPECT_EQ(d, desc) << name;
    EXPECT_EQ(u, usage) << name;
  };
  std::string n = "a", d = "a much longer description than before\r\n", u = "use a\r\n";
  ASSERT_TRUE(lvl.ModifyBrowseInfo(n, d, u));
  n = "bare2", d = "now bare2 has one", u = "";
  ASSERT_TRUE(lvl.ModifyBrowseInfo(n, d, u));
  n = "bare0", d = "and bare0", u = "z";
  ASSERT_TRUE(lvl.ModifyBrowseInfo(n, d, u));
  check("bare0", "and bare0", "z");
  check("a", "a much longer description than before\r\n", "use a\r\n");
  check("bare1", "", "");
  check("b", "B ", "b");
  check("bare2", "now bare2 has one", "");
  EXPECT_EQ(Bytes("EMSVal.007"), defs);

  // Zarns stored afterwards get their own texts, and a second longer
  // modification of the same zarn moves it again.
  ASSERT_TRUE(Store("c", " 3 zdesc C"));
  ASSERT_TRUE(Store("bare3", " z"));
  n = "a", d = std::string(300, 'L'), u = "";
  ASSERT_TRUE(lvl.ModifyBrowseInfo(n, d, u));
  check("c", "C", "");
  check("bare3", "", "");
  check("a", std::string(300, 'L').c_str(), "");
  check("bare2", "now bare2 has one", "");
  check("b", "B ", "b");
}

TEST_F(ZrnStore, ModifyRefusesUnknownNamesAndOverlongTexts) {
  ASSERT_TRUE(Store("a", " 1 zdesc A"));
  std::string browse = Bytes("BROWSE.007");
  std::string n = "nope", d = "x", u = "y";
  EXPECT_FALSE(lvl.ModifyBrowseInfo(n, d, u));
  n = "a", d = std::string(4000, 'd'), u = std::string(100, 'u');
  EXPECT_FALSE(lvl.ModifyBrowseInfo(n, d, u));
  EXPECT_EQ(Bytes("BROWSE.007"), browse);
}

TEST_F(ZrnStore, ResetRemovesZarnsPackagesAndMembership) {
  ASSERT_TRUE(Store("a", " 1 zdesc A"));
  for (const char* f : {"EMSPkg.007", "PkgT.007", "PkgBuf.007"}) Put(f, "x");
  EXPECT_TRUE(ZrnLvl1::ResetZarns(files));
  for (const char* f : {"EMSZrn.007", "EMSVal.007", "EMSVt.007", "BROWSE.007", "EMSPkg.007",
                        "PkgT.007", "PkgBuf.007"})
    EXPECT_FALSE(Exists(f)) << f;
  EXPECT_EQ(Def("a"), "<none>");
  EXPECT_EQ(List(), (std::vector<std::string>{}));
  ASSERT_TRUE(Store("b", " 2"));
  EXPECT_EQ(lvl.ZrnID, 0u);
  EXPECT_EQ(Bytes("EMSVt.007"), RecBytes(0, 0, 0) + RecBytes(2, 3, 0));
}

// The name index must never answer from files that have been replaced.
TEST_F(ZrnStore, LookupFollowsFilesReplacedBehindItsBack) {
  ASSERT_TRUE(Store("AAAA", " old"));
  EXPECT_EQ(Def("aaaa"), " old");
  TestEnv::ClearDataDir();
  ASSERT_TRUE(Store("BBBB", " new"));
  EXPECT_EQ(Def("aaaa"), "<none>");
  EXPECT_EQ(Def("bbbb"), " new");
  // Same sizes, different contents, written by someone else.
  Put("EMSZrn.007", std::string("CCCC\0", 5));
  EXPECT_EQ(Def("bbbb"), "<none>");
  EXPECT_EQ(Def("cccc"), " new");
}

TEST_F(ZrnStore, ManyZarnsAreFoundAfterIncrementalGrowth) {
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(Store("z" + std::to_string(i), " v" + std::to_string(i)));
    if (i % 37 == 0) {
      EXPECT_EQ(Def("Z" + std::to_string(i / 2)), " v" + std::to_string(i / 2));
    }
  }
  for (int i = 0; i < 300; i += 7)
    EXPECT_EQ(Def("z" + std::to_string(i)), " v" + std::to_string(i));
  EXPECT_EQ(Recs("EMSVt.007").size(), 301u);
}

// The objects of one file set share its name index: a browse text that one
// object moves (repointing records in place) is what another reads next.
TEST_F(ZrnStore, ObjectsOfOneFileSetShareTheirIndex) {
  ASSERT_TRUE(Store("a", " 1 zdesc A"));
  ASSERT_TRUE(Store("b", " 2 zdesc B"));
  ASSERT_TRUE(Store("c", " 3 zdesc C"));
  std::string n = "b", d, u;
  ASSERT_TRUE(lvl.GetBrowseInfo(n, d, u));
  EXPECT_EQ(d, "B");
  ZrnLvl1 other(files);
  n = "b", d = "a much longer description", u = "how";
  ASSERT_TRUE(other.ModifyBrowseInfo(n, d, u));
  for (const char* name : {"a", "b", "c"}) {
    n = name, d.clear(), u = "unchanged";
    ASSERT_TRUE(lvl.GetBrowseInfo(n, d, u)) << name;
    if (std::string(name) == "b") {
      EXPECT_EQ(d, "a much longer description");
      EXPECT_EQ(u, "how");
    } else {
      EXPECT_EQ(d, std::string(1, static_cast<char>(name[0] - 'a' + 'A')));
      EXPECT_EQ(u, "");  // stored without a usage part
    }
  }
}

// Two file sets over one data directory keep separate indexes; each follows
// what the other writes and resets.
TEST_F(ZrnStore, TwoFileSetsFollowEachOther) {
  ZrnIO second;
  ZrnLvl1 lvl2(second);
  ASSERT_TRUE(Store("first", " one"));
  std::string n = "FIRST", v;
  ASSERT_TRUE(lvl2.Get(n, v));
  EXPECT_EQ(v, " one");
  n = "second", v = " two";
  ASSERT_TRUE(lvl2.Set(n, v));
  EXPECT_EQ(Def("second"), " two");
  ASSERT_TRUE(ZrnLvl1::ResetZarns(second));
  EXPECT_EQ(Def("first"), "<none>");
  ASSERT_TRUE(Store("third", " three"));
  n = "first";
  EXPECT_FALSE(lvl2.Get(n, v));
  n = "third";
  ASSERT_TRUE(lvl2.Get(n, v));
  EXPECT_EQ(v, " three");
}

}  // namespace
