// Package files: the format, the three package files of the store byte for
// byte, identifiers, listings for the browser, and damaged inputs.
#include <gtest/gtest.h>

#include <random>

#include "common/recordinghost.h"
#include "store/zrnlvl_helpers.h"
#include "store/zrnpkgop.h"

using namespace storetest;

namespace {

class Pkg : public StoreTest {
 protected:
  // Writes a package file outside the data directory and returns its path.
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = TestEnv::Root() + name;
    EXPECT_TRUE(plat::WriteFileAtomic(path, text));
    return path;
  }
  bool ErrorShown() const {
    for (const auto& b : host.boxes)
      if (b.text == "Error Reading Zarn Package" && b.caption == "Error") return true;
    return false;
  }
  RecordingHost host;
  ZrnPkgOp op{files, host, host};
};

TEST_F(Pkg, ThreeSectionsStoreThreeZarnsWithMembership) {
  std::string path = Write("tools.pkg",
                           "ZPKG tools\n"
                           "ztxt first one\nline two\nzdesc The first\nzuse first\n"
                           "zfnc second \x07script\x07\n"
                           "ztxt third\n");
  PkgLoadResult r = op.LoadPackage(path);
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(r.name, "tools");
  EXPECT_EQ(r.pkgId, 0u);
  EXPECT_EQ(r.stored, 3);
  EXPECT_EQ(r.refused, 0);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(List(), (std::vector<std::string>{"first", "second", "third", ""}));
  // Definitions are stored as the package has them: no 0x07 added.
  EXPECT_EQ(Def("first"), " one\nline two\n");
  EXPECT_EQ(Def("second"), " \x07script\x07\n");
  EXPECT_EQ(Def("third"), "\n");
  std::string n = "first", d, u;
  ASSERT_TRUE(op.Lvl.GetBrowseInfo(n, d, u));
  EXPECT_EQ(d, "The first\n");
  EXPECT_EQ(u, "first\n");

  EXPECT_EQ(Bytes("PkgBuf.007"), "tools" + std::string(1, '\0') + path + std::string(1, '\0'));
  EXPECT_EQ(Bytes("PkgT.007"), RecBytes(0, 5, 0));
  EXPECT_EQ(Bytes("EMSPkg.007"), RecBytes(0, 0, 0) + RecBytes(0, 12, 0) + RecBytes(0, 24, 0));
}

TEST_F(Pkg, MagicInAnyCaseAfterIgnoredText) {
  std::string path = Write("lower.pkg", "some notes\r\nthe zPkG  x\r\nzpkg\tlow\r\nZtXt one 1\r\n");
  PkgLoadResult r = op.LoadPackage(path);
  // The first occurrence counts: after "zPkG" and its separator comes a
  // second blank, so the name is empty and the package is refused.
  EXPECT_FALSE(r.loaded);
  EXPECT_TRUE(ErrorShown());

  host.boxes.clear();
  path = Write("lower2.pkg", "notes first\nzpkg\tlow\r\nZtXt one 1\r\nZFNC two 2");
  r = op.LoadPackage(path);
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(r.name, "low");
  EXPECT_EQ(r.stored, 2);
  EXPECT_EQ(Def("one"), " 1\r\n");
  EXPECT_EQ(Def("two"), " 2");
}

TEST_F(Pkg, SecondPackageHasIdentifierTwelve) {
  op.LoadPackage(Write("a.pkg", "ZPKG alpha\nztxt a1 x\nztxt a2 y\n"));
  PkgLoadResult r = op.LoadPackage(Write("b.pkg", "ZPKG beta\nztxt b1 z\n"));
  EXPECT_EQ(r.pkgId, 12u);
  EXPECT_EQ(op.PackageNames(), (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(op.PackageZarns(0), (std::vector<std::string>{"a1", "a2"}));
  EXPECT_EQ(op.PackageZarns(12), (std::vector<std::string>{"b1"}));
  EXPECT_EQ(op.PackageZarns(24), (std::vector<std::string>{}));
  EXPECT_EQ(Recs("EMSPkg.007"), (std::vector<Rec>{{0, 0, 0}, {0, 12, 0}, {12, 24, 0}}));
  auto t = Recs("PkgT.007");
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[1].a, 6u + TestEnv::Root().size() + 5u + 1u);  // after "alpha\0" and its path
  EXPECT_EQ(t[1].b, t[1].a + 4u);
}

TEST_F(Pkg, LoadingTheSameFileTwiceMakesTwoPackages) {
  std::string path = Write("same.pkg", "ZPKG same\nztxt dup v\n");
  op.LoadPackage(path);
  Write("same.pkg", "ZPKG same\nztxt dup w\n");
  op.LoadPackage(path);
  EXPECT_EQ(op.PackageNames(), (std::vector<std::string>{"same", "same"}));
  EXPECT_EQ(op.PackageZarns(0), (std::vector<std::string>{"dup"}));
  EXPECT_EQ(op.PackageZarns(12), (std::vector<std::string>{"dup"}));
  // The zarn is replaced by the package's new definition, not stored twice.
  EXPECT_EQ(List(), (std::vector<std::string>{"dup", ""}));
  std::string n = "dup", v;
  ASSERT_TRUE(lvl.Get(n, v));
  EXPECT_EQ(v, " w\n");
}

TEST_F(Pkg, FileWithoutMagicLoadsNothingAndPrompts) {
  PkgLoadResult r = op.LoadPackage(Write("plain.pkg", "just text\nztxt a b\n"));
  EXPECT_FALSE(r.loaded);
  EXPECT_FALSE(Exists("PkgT.007"));
  EXPECT_FALSE(Exists("EMSVt.007"));
  ASSERT_EQ(host.inputRequests.size(), 1u);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Pkg, UnreadablePackagesShowTheErrorBox) {
  host.openAnswers = {std::nullopt};
  EXPECT_FALSE(op.CmNewPackage().loaded);  // dialog cancelled
  EXPECT_EQ(host.openDialogs.size(), 1u);
  EXPECT_TRUE(ErrorShown());
  for (std::string bad : {std::string(), std::string("\0ZPKG x\nztxt a b\n", 17)}) {
    host.boxes.clear();
    EXPECT_FALSE(op.LoadPackage(Write("bad.pkg", bad)).loaded);
    EXPECT_TRUE(ErrorShown());
  }
  host.boxes.clear();
  EXPECT_FALSE(op.LoadPackage(TestEnv::Root() + "missing.pkg").loaded);
  EXPECT_TRUE(ErrorShown());
  EXPECT_FALSE(Exists("PkgT.007"));
}

TEST_F(Pkg, ChosenFileIsLoaded) {
  host.openAnswers = {Write("chosen.pkg", "ZPKG chosen\nztxt c v\n")};
  PkgLoadResult r = op.CmNewPackage();
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(Def("c"), " v\n");
}

// Tabs and the package text file hold names of at most 19 characters; a
// longer name, or one not ended by white space, is refused, never cut.
TEST_F(Pkg, PackageNamesOfNineteenCharactersAtMost) {
  std::string n19(19, 'p'), n20(20, 'q');
  EXPECT_TRUE(op.LoadPackage(Write("p19.pkg", "ZPKG " + n19 + "\nztxt a b")).loaded);
  EXPECT_FALSE(op.LoadPackage(Write("p20.pkg", "ZPKG " + n20 + "\nztxt a b")).loaded);
  EXPECT_TRUE(ErrorShown());
  host.boxes.clear();
  EXPECT_FALSE(op.LoadPackage(Write("eof.pkg", "ZPKG name")).loaded);
  EXPECT_TRUE(ErrorShown());
  EXPECT_FALSE(op.LoadPackage(Write("mag.pkg", "xx ZPKG")).loaded);
  EXPECT_EQ(op.PackageNames(), (std::vector<std::string>{n19}));
}

TEST_F(Pkg, ParseHeaderFindsNameAndBody) {
  bool magic = false;
  std::string name;
  std::size_t body = 0;
  EXPECT_TRUE(ZrnPkgOp::ParseHeader("ab zpkg\nNAME\tztxt", magic, name, body));
  EXPECT_EQ(name, "NAME");
  EXPECT_EQ(body, 12u);
  EXPECT_FALSE(ZrnPkgOp::ParseHeader("nothing", magic, name, body));
  EXPECT_FALSE(magic);
  EXPECT_FALSE(ZrnPkgOp::ParseHeader("ZPKG", magic, name, body));
  EXPECT_TRUE(magic);
  EXPECT_FALSE(ZrnPkgOp::ParseHeader("ZPKG  two", magic, name, body));  // empty name
}

TEST_F(Pkg, ParsePackageTakesSectionsInOrder) {
  std::string pkg = " junk zFnC f1 v1 ZTXT t2 v2 ztxt";
  ASSERT_TRUE(op.ParsePackage(pkg));
  EXPECT_TRUE(op.LastStored);
  EXPECT_EQ(op.ZrnID, 0u);
  EXPECT_EQ(pkg, "ZTXT t2 v2 ztxt");
  ASSERT_TRUE(op.ParsePackage(pkg));
  EXPECT_EQ(op.ZrnID, 12u);
  EXPECT_EQ(pkg, "ztxt");
  ASSERT_TRUE(op.ParsePackage(pkg));  // a keyword at the very end: an empty section
  EXPECT_FALSE(op.LastStored);
  EXPECT_EQ(pkg, "");
  EXPECT_FALSE(op.ParsePackage(pkg));
  EXPECT_EQ(Def("f1"), " v1 ");
  EXPECT_EQ(Def("t2"), " v2 ");
}

TEST_F(Pkg, RefusedSectionsRecordNoMembership) {
  PkgLoadResult r = op.LoadPackage(Write(
      "r.pkg", "ZPKG r\nztxt  blank name\nztxt ok v\nztxt " + std::string(100, 'n') + " v\n"));
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(r.stored, 1);
  EXPECT_EQ(r.refused, 2);
  EXPECT_EQ(Recs("EMSPkg.007"), (std::vector<Rec>{{0, 0, 0}}));
  EXPECT_EQ(op.PackageZarns(0), (std::vector<std::string>{"ok"}));
}

TEST_F(Pkg, PackagesLongerThanOneWindowLoadWhole) {
  std::string text = "ZPKG big\n";
  for (int i = 0; i < 400; ++i)
    text += "ztxt z" + std::to_string(i) + " value number " + std::to_string(i) + "\n";
  ASSERT_GT(text.size(), 8192u);
  PkgLoadResult r = op.LoadPackage(Write("big.pkg", text));
  EXPECT_EQ(r.stored, 400);
  EXPECT_EQ(Def("z399"), " value number 399\n");
  EXPECT_EQ(op.PackageZarns(0).size(), 400u);
}

TEST_F(Pkg, TextAfterANulIsNotPartOfThePackage) {
  PkgLoadResult r =
      op.LoadPackage(Write("nul.pkg", std::string("ZPKG n\nztxt a 1\n\0ztxt b 2\n", 26)));
  EXPECT_EQ(r.stored, 1);
  EXPECT_EQ(Def("b"), "<none>");
}

// After a reset, zarns stored later reuse the table positions; the old
// membership must not claim them.
TEST_F(Pkg, ResetLeavesNoMembershipForLaterZarns) {
  op.LoadPackage(Write("old.pkg", "ZPKG old\nztxt o1 a\nztxt o2 b\n"));
  ASSERT_TRUE(ZrnLvl1::ResetZarns(files));
  ASSERT_TRUE(Store("n1", " x"));
  ASSERT_TRUE(Store("n2", " y"));
  EXPECT_EQ(op.PackageNames(), (std::vector<std::string>{}));
  EXPECT_EQ(op.PackageZarns(0), (std::vector<std::string>{}));
  PkgLoadResult r = op.LoadPackage(Write("new.pkg", "ZPKG new\nztxt m1 z\n"));
  EXPECT_EQ(r.pkgId, 0u);
  EXPECT_EQ(op.PackageZarns(0), (std::vector<std::string>{"m1"}));
}

// A reset that deletes only the store and package files (not the
// membership file): the next store starts a new table, which empties the old
// membership before any new zarn could be claimed by it.
TEST_F(Pkg, PartialResetStillLeavesNoMembershipForLaterZarns) {
  op.LoadPackage(Write("old.pkg", "ZPKG old\nztxt o1 a\nztxt o2 b\n"));
  for (DataFile n : {DataFile::kZarnNames, DataFile::kZarnValues, DataFile::kZarnTable,
                     DataFile::kZarnBrowse, DataFile::kPkgText, DataFile::kPkgTable})
    files.DeleteFileA(n);
  ASSERT_TRUE(Exists("EMSPkg.007"));
  PkgLoadResult r = op.LoadPackage(Write("new.pkg", "ZPKG new\nztxt m1 z\n"));
  EXPECT_EQ(r.pkgId, 0u);
  EXPECT_EQ(op.PackageZarns(0), (std::vector<std::string>{"m1"}));
  EXPECT_EQ(Recs("EMSPkg.007"), (std::vector<Rec>{{0, 0, 0}}));
}

TEST_F(Pkg, BrowserHelpers) {
  op.LoadPackage(Write("h.pkg", "ZPKG h\nztxt zed 1\nztxt abc 2 zdesc about abc\nzuse abc\n"));
  EXPECT_EQ(op.AllZarns(), (std::vector<std::string>{"zed", "abc"}));
  std::string d, u;
  ASSERT_TRUE(op.BrowseInfo("ABC", d, u));
  EXPECT_EQ(d, "about abc\n");
  EXPECT_EQ(u, "abc\n");
  EXPECT_FALSE(op.BrowseInfo("nope", d, u));
  // Modify stores each edited line followed by CR LF.
  ASSERT_TRUE(op.ModifyBrowse("abc", {"one line"}, {}));
  ASSERT_TRUE(op.BrowseInfo("abc", d, u));
  EXPECT_EQ(d, "one line\r\n");
  EXPECT_EQ(u, "");
  ASSERT_TRUE(op.ModifyBrowse("zed", {"a", "b"}, {"use"}));
  ASSERT_TRUE(op.BrowseInfo("zed", d, u));
  EXPECT_EQ(d, "a\r\nb\r\n");
  EXPECT_EQ(u, "use\r\n");
  ASSERT_TRUE(op.BrowseInfo("abc", d, u));
  EXPECT_EQ(d, "one line\r\n");
}

TEST_F(Pkg, DamagedPackageFilesAreReadSafely) {
  op.LoadPackage(Write("ok.pkg", "ZPKG ok\nztxt a 1\n"));
  // A partial record, a name offset beyond the file, an over-long name.
  Put("PkgT.007", Bytes("PkgT.007") + RecBytes(0xFFFFFF00u, 0, 0) + RecBytes(3, 0, 0) + "xy");
  Put("PkgBuf.007", Bytes("PkgBuf.007") + std::string(5000, 'L'));
  auto names = op.PackageNames();
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "ok");
  EXPECT_EQ(names[1], "");
  EXPECT_LE(names[2].size(), ZrnPkgOp::kMaxPkgName);
  // A new package lands on a whole record: its identifier is 12 * its index.
  PkgLoadResult r = op.LoadPackage(Write("next.pkg", "ZPKG next\nztxt b 2\n"));
  EXPECT_EQ(r.pkgId, 48u);
  EXPECT_EQ(op.PackageNames().back(), "next");
  EXPECT_EQ(op.PackageZarns(48), (std::vector<std::string>{"b"}));

  // Membership records that point anywhere.
  Put("EMSPkg.007", RecBytes(0, 5, 0) + RecBytes(0, 0xFFFFFFF4u, 0) + RecBytes(0, 12, 0) +
                        RecBytes(0, 0, 0) + "abc");
  EXPECT_EQ(op.PackageZarns(0), (std::vector<std::string>{"b", "a"}));
  // A partial membership record is padded before the next record.
  op.PkgID = 0;
  op.ZrnID = 12;
  ASSERT_TRUE(op.AddZrnPkgEntry());
  EXPECT_EQ(Bytes("EMSPkg.007").size(), 5u * 12u + 12u);
  EXPECT_EQ(op.PackageZarns(0), (std::vector<std::string>{"b", "a", "b"}));
}

TEST_F(Pkg, RandomPackagesNeverCrash) {
  std::mt19937 rng(7);
  const char* pieces[] = {"ZPKG", "zpkg", "ztxt", "ZFNC", "zdesc", "ZUSE", " ",   "\n",
                          "\t",   "\r",   "a",    "bb",   "\x01",  "\x07", "name"};
  std::string longpiece(25, 'x');
  for (int round = 0; round < 200; ++round) {
    if (round % 20 == 0) ZrnLvl1::ResetZarns(files);
    std::string text;
    int parts = static_cast<int>(rng() % 40);
    for (int i = 0; i < parts; ++i) {
      std::size_t k = rng() % 16;
      text += k == 15 ? longpiece : std::string(pieces[k]);
    }
    host.boxes.clear();
    host.inputRequests.clear();
    std::string path = TestEnv::Root() + "rnd.pkg";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    PkgLoadResult r = op.LoadPackage(path);
    if (r.loaded) {
      EXPECT_LE(r.name.size(), ZrnPkgOp::kMaxPkgName);
      EXPECT_EQ(op.PackageZarns(r.pkgId).size(), static_cast<std::size_t>(r.stored));
    } else {
      EXPECT_EQ(host.boxes.size() + host.inputRequests.size(), 1u) << text;
    }
  }
}

}  // namespace

// Error boxes go to the message host; the file and name questions to the
// prompt host.
TEST_F(Pkg, ErrorsAndQuestionsGoToTheirOwnHosts) {
  RecordingHost messages, prompts;
  ZrnPkgOp own(files, messages, prompts);
  prompts.openAnswers = {TestEnv::Root() + "missing.pkg"};
  EXPECT_FALSE(own.CmNewPackage().loaded);
  EXPECT_FALSE(own.LoadPackage(Write("plain.pkg", "no magic here")).loaded);
  EXPECT_EQ(prompts.openDialogs, std::vector<std::string>{"Load New Package"});
  EXPECT_EQ(prompts.inputRequests.size(), 1u);
  EXPECT_TRUE(prompts.boxes.empty());
  ASSERT_EQ(messages.boxes.size(), 1u);
  EXPECT_EQ(messages.boxes[0].text, "Error Reading Zarn Package");
  EXPECT_TRUE(messages.openDialogs.empty() && messages.inputRequests.empty());
  EXPECT_TRUE(host.boxes.empty() && host.openDialogs.empty());
}
