// Deleting zarns (the five files rewritten as one), browse texts from edit
// lines, package members and the package export that loads back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "common/faultfs.h"
#include "common/recordinghost.h"
#include "store/zrnedit.h"
#include "store/zrnpkgop.h"
#include "zrnlvl_helpers.h"

using namespace storetest;

namespace {

class ZrnEditTest : public StoreTest {
 protected:
  PkgLoadResult Load(const std::string& text, const std::string& file = "p.pkg") {
    const std::string path = TestEnv::Root() + file;
    EXPECT_TRUE(plat::WriteFileAtomic(path, text));
    ZrnPkgOp op(files, host, host);
    return op.LoadPackage(path);
  }
  std::vector<std::string> Members(std::uint32_t id) {
    ZrnPkgOp op(files, host, host);
    return op.PackageZarns(id);
  }
  std::pair<std::string, std::string> Browse(const std::string& name) {
    ZrnPkgOp op(files, host, host);
    std::string d = "<none>", u = "<none>";
    op.BrowseInfo(name, d, u);
    return {d, u};
  }
  RecordingHost host;
  ZrnEdit edit{files};
};

}  // namespace

TEST_F(ZrnEditTest, DeleteRewritesTheStoreAsIfTheZarnWasNeverStored) {
  ASSERT_TRUE(Store("first", " one\r\nzdesc First\r\n"));
  ASSERT_TRUE(Store("gone", " two\r\nzuse Gone\r\n"));
  ASSERT_TRUE(Store("plain", " three"));
  ASSERT_TRUE(Store("last", " four\r\nzdesc Last\r\nzuse l\r\n"));
  EXPECT_EQ(edit.Delete("GONE"), ZrnEdit::Result::kDone);
  const auto after = Snapshot();

  // The same zarns stored afresh give the same bytes.
  TestEnv::ClearDataDir();
  ZrnIO fresh;
  ZrnLvl1 l(fresh);
  for (auto [n, v] : std::vector<std::pair<std::string, std::string>>{
           {"first", " one\r\nzdesc First\r\n"},
           {"plain", " three"},
           {"last", " four\r\nzdesc Last\r\nzuse l\r\n"}}) {
    ASSERT_TRUE(l.Set(n, v));
  }
  for (DataFile f :
       {DataFile::kZarnNames, DataFile::kZarnValues, DataFile::kZarnTable, DataFile::kZarnBrowse})
    EXPECT_EQ(after.at(f), Bytes(DataFileName(f))) << f;
  EXPECT_EQ(Recs("EMSVt.007"), (std::vector<Rec>{{0, 0, 0}, {6, 7, 9}, {12, 14, 9}, {17, 22, 20}}));
}

TEST_F(ZrnEditTest, LookupsListingsAndPackagesStayConsistent) {
  ASSERT_TRUE(Store("loose", " x"));
  ASSERT_TRUE(
      Load("ZPKG tools\r\nztxt a 1\r\nzdesc A\r\nztxt b 2\r\nztxt c 3\r\nzuse C\r\n").loaded);
  // A package holding "b" again now replaces it; a store written before that
  // holds the name twice, made here by renaming the package's "x".
  ASSERT_TRUE(Load("ZPKG more\r\nztxt d 4\r\nztxt x 5\r\n", "q.pkg").loaded);
  ASSERT_EQ(Bytes("EMSZrn.007"), std::string("loose\0a\0b\0c\0d\0x\0", 16));
  ASSERT_TRUE(plat::WriteFileAtomic(Path("EMSZrn.007"), std::string("loose\0a\0b\0c\0d\0b\0", 16)));
  files.zarnIndex = ZarnNameIndex{};
  ++files.zarnGeneration;
  ASSERT_EQ(Members(0), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(Def("c"), " 3\r\n");  // the lookup index is warm before the rewrite

  EXPECT_EQ(edit.Delete("b"), ZrnEdit::Result::kDone);
  EXPECT_EQ(List(), (std::vector<std::string>{"loose", "a", "c", "d", "b", ""}));
  EXPECT_EQ(Members(0), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(Members(12), (std::vector<std::string>{"d", "b"}));
  // The second "b" is now the one lookups find; the others kept their texts.
  EXPECT_EQ(Def("b"), " 5\r\n");
  EXPECT_EQ(Def("c"), " 3\r\n");
  EXPECT_EQ(Browse("c"), (std::pair<std::string, std::string>{"", "C\r\n"}));
  EXPECT_EQ(Browse("a"), (std::pair<std::string, std::string>{"A\r\n", ""}));
  // Membership: the deleted zarn's record is gone, the later ones moved up.
  EXPECT_EQ(Recs("EMSPkg.007"),
            (std::vector<Rec>{{0, 12, 0}, {0, 24, 0}, {12, 36, 0}, {12, 48, 0}}));
  // Packages keep their names; storing goes on at the right place.
  EXPECT_EQ(Bytes("PkgT.007").size(), 24u);
  ASSERT_TRUE(Store("new", " n"));
  EXPECT_EQ(Def("new"), " n");
  EXPECT_EQ(edit.Delete("b"), ZrnEdit::Result::kDone);
  EXPECT_EQ(edit.Delete("b"), ZrnEdit::Result::kNotFound);
  EXPECT_EQ(Members(12), (std::vector<std::string>{"d"}));
  EXPECT_EQ(List(), (std::vector<std::string>{"loose", "a", "c", "d", "new", ""}));
}

TEST_F(ZrnEditTest, NothingToDeleteChangesNothing) {
  EXPECT_EQ(edit.Delete("x"), ZrnEdit::Result::kNotFound);
  EXPECT_FALSE(Exists("EMSVt.007"));
  ASSERT_TRUE(Store("only", " v"));
  const auto before = Snapshot();
  EXPECT_EQ(edit.Delete(""), ZrnEdit::Result::kNotFound);
  EXPECT_EQ(edit.Delete("onl"), ZrnEdit::Result::kNotFound);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(edit.Delete("ONLY"), ZrnEdit::Result::kDone);
  EXPECT_EQ(List(), (std::vector<std::string>{""}));
  EXPECT_EQ(Bytes("EMSVt.007"), RecBytes(0, 0, 0));
  EXPECT_FALSE(std::filesystem::exists(ZrnEdit::StagingDir()));
}

TEST_F(ZrnEditTest, CorruptOffsetsDoNotStopADelete) {
  ASSERT_TRUE(Store("a", " 1"));
  ASSERT_TRUE(Store("b", " 2"));
  // A record pointing far past the files and a partial record at the end.
  std::string t = Bytes("EMSVt.007");
  t.replace(12, 12, RecBytes(9999, 9999, 9999));
  Put("EMSVt.007", t + "xy");
  Put("EMSPkg.007", RecBytes(0, 7, 0) + RecBytes(0, 9000, 0) + "z");
  EXPECT_EQ(edit.Delete("a"), ZrnEdit::Result::kDone);
  EXPECT_EQ(List(), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(Recs("EMSPkg.007"), (std::vector<Rec>{{0, 7, 0}, {0, 9000, 0}}));
}

// A second running copy that reads all through a run of deletes sees each
// zarn with its own definition or not at all, never a text of another.
TEST_F(ZrnEditTest, AnotherProcessNeverReadsAHalfRewrittenStore) {
  constexpr int kCount = 60;
  for (int i = 0; i < kCount; ++i)
    ASSERT_TRUE(Store("z" + std::to_string(i), " value of " + std::to_string(i)));
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(pipefd[1]);
    plat::SetLockWait(std::chrono::milliseconds(0));
    ZrnIO other;
    ZrnLvl1 l(other);
    int wrong = 0, seen = 0;
    char stop = 0;
    for (int round = 0; round < 100000; ++round) {
      // Odd zarns are never deleted: whenever found they are right.
      for (int i = 1; i < kCount; i += 2) {
        std::string n = "z" + std::to_string(i), v;
        if (l.Get(n, v)) {
          ++seen;
          if (v != " value of " + std::to_string(i)) ++wrong;
        }
      }
      fd_set fds;
      FD_ZERO(&fds);
      FD_SET(pipefd[0], &fds);
      timeval tv{0, 0};
      if (select(pipefd[0] + 1, &fds, nullptr, nullptr, &tv) > 0 && read(pipefd[0], &stop, 1) >= 0)
        break;
    }
    _exit(wrong == 0 && seen > 0 ? 0 : 1);
  }
  close(pipefd[0]);
  int done = 0;
  for (int i = 0; i < kCount; i += 2) {
    ZrnEdit e(files);
    ZrnEdit::Result r = ZrnEdit::Result::kBusy;
    for (int tries = 0; tries < 50 && r == ZrnEdit::Result::kBusy; ++tries)
      r = e.Delete("z" + std::to_string(i));
    if (r == ZrnEdit::Result::kDone) ++done;
  }
  ASSERT_EQ(write(pipefd[1], "x", 1), 1);
  close(pipefd[1]);
  int st = 0;
  waitpid(pid, &st, 0);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "the reader saw a wrong definition";
  EXPECT_GT(done, 0);
  for (int i = 1; i < kCount; i += 2)
    EXPECT_EQ(Def("z" + std::to_string(i)), " value of " + std::to_string(i));
}

// The N-th file operation of a delete fails, for every N (and with every
// operation from the N-th on failing): afterwards the five files are the old
// set or the new one, whole, and nothing is left staged.
TEST_F(ZrnEditTest, AFailureHalfWayLeavesTheOldFilesWhole) {
  auto prepare = [this] {
    TestEnv::ClearDataDir();
    files.zarnIndex = ZarnNameIndex{};
    ++files.zarnGeneration;
    ASSERT_TRUE(Load("ZPKG p\r\nztxt a 1\r\nzdesc A\r\nztxt b 2\r\nzuse B\r\nztxt c 3\r\n").loaded);
  };
  prepare();
  const auto before = Snapshot();
  ASSERT_EQ(edit.Delete("b"), ZrnEdit::Result::kDone);
  const auto after = Snapshot();
  ASSERT_NE(before, after);

  for (bool sticky : {false, true}) {
    FaultFs fs;
    ZrnEdit::Result r = ZrnEdit::Result::kFailed;
    FaultSweep sweep;
    sweep.sticky = sticky;
    sweep.prepare = prepare;
    sweep.run = [&] {
      ZrnEdit e(files);
      r = e.Delete("b");
    };
    sweep.check = [&](long n) {
      const bool committed = std::filesystem::exists(ZrnEdit::StagingDir() + "/COMMIT");
      if (r == ZrnEdit::Result::kDone) {
        EXPECT_EQ(Snapshot(), after) << "fault " << n;
      } else if (!committed) {
        EXPECT_EQ(Snapshot(), before) << "fault " << n;
      }
      // Whatever was left, the next use finishes or removes it.
      EXPECT_TRUE(ZrnEdit::Recover(files)) << "fault " << n;
      EXPECT_FALSE(std::filesystem::exists(ZrnEdit::StagingDir())) << "fault " << n;
      const auto now = Snapshot();
      EXPECT_TRUE(now == before || now == after) << "fault " << n;
      if (!committed && r != ZrnEdit::Result::kDone) {
        EXPECT_EQ(now, before) << "fault " << n;
      }
    };
    long points = SweepFaults(fs, sweep);
    EXPECT_GE(points, 20) << "sticky " << sticky;
    RecordProperty(sticky ? "injection_points_sticky" : "injection_points",
                   static_cast<int>(points));
    EXPECT_EQ(r, ZrnEdit::Result::kDone);
  }
}

TEST_F(ZrnEditTest, EditLinesAndPackageNames) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ZrnEdit::EditLines(""), V{});
  EXPECT_EQ(ZrnEdit::EditLines("one"), V{"one"});
  EXPECT_EQ(ZrnEdit::EditLines("one\r\n"), V{"one"});  // no growth on every Modify
  EXPECT_EQ(ZrnEdit::EditLines("a\nb\r\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(ZrnEdit::EditLines("\n\n"), (V{"", ""}));
  EXPECT_EQ(ZrnEdit::PackageId({"Tools", "more", "tools"}, "TOOLS"), 0u);
  EXPECT_EQ(ZrnEdit::PackageId({"Tools", "more"}, "more"), 12u);
  EXPECT_FALSE(ZrnEdit::PackageId({"Tools"}, "Tool"));
  EXPECT_EQ(ZrnEdit::PackageNameFrom("my zarns\tlist and more"), "my_zarns_list_and_m");
  EXPECT_EQ(ZrnEdit::PackageNameFrom(""), "zarns");
}

TEST_F(ZrnEditTest, SectionsLoadBackOrAreRefused) {
  std::string s;
  bool blanked = false;
  EXPECT_TRUE(ZrnEdit::Section({"hi", " hello\r\n", true, "Says\r\n\x01hi\r\n"}, s, blanked));
  EXPECT_EQ(s, "ztxt hi hello\r\nzdesc Says\r\nzuse hi\r\n");
  EXPECT_FALSE(blanked);
  EXPECT_TRUE(ZrnEdit::Section({"e", "", false, ""}, s, blanked));
  EXPECT_EQ(s, "ztxt e");
  EXPECT_TRUE(ZrnEdit::Section({"e", "", true, "\x01u"}, s, blanked));
  EXPECT_EQ(s, "ztxt e zuse u");
  EXPECT_TRUE(blanked);
  EXPECT_TRUE(ZrnEdit::Section({"e", " d", true, "D\x01"}, s, blanked));
  EXPECT_EQ(s, "ztxt e dzdesc D");
  EXPECT_FALSE(blanked);
  EXPECT_TRUE(ZrnEdit::Section({"e", " d", true, ""}, s, blanked));
  EXPECT_EQ(s, "ztxt e dzdesc ");
  // A saved script's definition starts with 0x07: one blank goes before it.
  EXPECT_TRUE(ZrnEdit::Section({"greet", "\agreet\agreet\r\n>> hello", false, ""}, s, blanked));
  EXPECT_EQ(s, "ztxt greet \agreet\agreet\r\n>> hello");
  EXPECT_TRUE(blanked);
  // Texts that a loader would cut elsewhere.
  EXPECT_FALSE(ZrnEdit::Section({"k", " see ZTXT here", false, ""}, s, blanked));
  EXPECT_FALSE(ZrnEdit::Section({"k", " x", true, "uses zuse\x01"}, s, blanked));
  EXPECT_FALSE(ZrnEdit::Section({"k", " x", true, "d\x01u zfnc"}, s, blanked));
  EXPECT_FALSE(ZrnEdit::Section({"k", " " + std::string(4095, 'x'), false, ""}, s, blanked));
  // A description with a second "zdesc" comes back the same.
  EXPECT_TRUE(ZrnEdit::Section({"k", " x", true, "a zdesc b\x01u"}, s, blanked));
}

TEST_F(ZrnEditTest, ExportResetLoadGivesBackTheSameZarns) {
  ASSERT_TRUE(Load("ZPKG tools\r\nztxt hi hello\r\nzdesc Says hello\r\nzuse hi\r\n"
                   "zfnc sig Kind regards\r\nztxt bare\r\n")
                  .loaded);
  ASSERT_TRUE(Store("loose", " text zuse only usage"));
  ASSERT_TRUE(Store("script", "\ascript\ascript\r\n>> a"));
  std::string n = "loose", d = "Longer description than before", u = "u2";
  ASSERT_TRUE(lvl.ModifyBrowseInfo(n, d, u));  // moved to the end of the browse file

  std::vector<StoredZarn> before;
  ASSERT_TRUE(edit.ReadAll(before));
  PkgExport all;
  ASSERT_TRUE(edit.Export(std::nullopt, "every zarn", all));
  EXPECT_EQ(all.count, 5);
  EXPECT_EQ(all.blanked, std::vector<std::string>{"script"});
  EXPECT_TRUE(all.skipped.empty());
  EXPECT_EQ(all.text.substr(0, 18), "ZPKG every_zarn\r\nz");
  PkgExport one;
  ASSERT_TRUE(edit.Export(0u, "tools", one));
  EXPECT_EQ(one.text,
            "ZPKG tools\r\nztxt hi hello\r\nzdesc Says hello\r\nzuse hi\r\n"
            "ztxt sig Kind regards\r\nztxt bare\r\nzdesc ");

  ASSERT_TRUE(ZrnLvl1::ResetZarns(files));
  PkgLoadResult r = Load(all.text, "all.pkg");
  ASSERT_TRUE(r.loaded);
  EXPECT_EQ(r.stored, 5);
  std::vector<StoredZarn> back;
  ASSERT_TRUE(edit.ReadAll(back));
  ASSERT_EQ(back.size(), before.size());
  for (std::size_t i = 0; i < back.size(); ++i) {
    EXPECT_EQ(back[i].name, before[i].name);
    const std::string want =
        before[i].name == "script" ? " " + before[i].definition : before[i].definition;
    EXPECT_EQ(back[i].definition, want) << back[i].name;
    EXPECT_EQ(Browse(back[i].name), Browse(before[i].name)) << back[i].name;
  }
  EXPECT_EQ(Browse("loose"),
            (std::pair<std::string, std::string>{"Longer description than before", "u2"}));
  EXPECT_EQ(Browse("hi"), (std::pair<std::string, std::string>{"Says hello\r\n", "hi\r\n"}));
  EXPECT_EQ(Members(0), (std::vector<std::string>{"hi", "sig", "bare", "loose", "script"}));
}

TEST_F(ZrnEditTest, ExportSkipsWhatAPackageCannotCarry) {
  ASSERT_TRUE(Store("ok", " fine"));
  ASSERT_TRUE(Store("kw", " has zfnc in it"));
  PkgExport out;
  ASSERT_TRUE(edit.Export(std::nullopt, "x", out));
  EXPECT_EQ(out.count, 1);
  EXPECT_EQ(out.skipped, std::vector<std::string>{"kw"});
  EXPECT_EQ(out.text, "ZPKG x\r\nztxt ok fine");
  // More than a loader reads is refused.
  for (int i = 0; i < 300; ++i)
    ASSERT_TRUE(Store("big" + std::to_string(i), " " + std::string(4000, 'b')));
  EXPECT_FALSE(edit.Export(std::nullopt, "x", out));
}
