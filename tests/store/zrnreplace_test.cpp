// Storing under a name already stored: the definition is replaced in place,
// everything else (other zarns, positions, package membership) stays.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/faultfs.h"
#include "common/recordinghost.h"
#include "store/zrnedit.h"
#include "store/zrnpkgop.h"
#include "zrnlvl_helpers.h"

using namespace storetest;

namespace {

class ZrnReplaceTest : public StoreTest {
 protected:
  PkgLoadResult Load(const std::string& text) {
    const std::string path = TestEnv::Root() + "p.pkg";
    EXPECT_TRUE(plat::WriteFileAtomic(path, text));
    ZrnPkgOp op(files, host, host);
    return op.LoadPackage(path);
  }
  std::pair<std::string, std::string> Browse(const std::string& name) {
    ZrnPkgOp op(files, host, host);
    std::string d = "<none>", u = "<none>";
    op.BrowseInfo(name, d, u);
    return {d, u};
  }
  // The store after storing `zarns` one after the other into an empty one.
  std::map<DataFile, std::string> Fresh(
      const std::vector<std::pair<std::string, std::string>>& zarns) {
    TestEnv::ClearDataDir();
    files.zarnIndex = ZarnNameIndex{};
    ++files.zarnGeneration;
    for (const auto& [n, v] : zarns) EXPECT_TRUE(Store(n, v));
    return Snapshot();
  }
  RecordingHost host;
  ZrnEdit edit{files};
};

struct ReplaceCase {
  const char* what;
  const char* name;   // stored again under this spelling
  const char* value;  // the new value
  std::uint32_t pos;  // the zarn's table position afterwards
  // The store expected afterwards, as if stored fresh in this order.
  std::vector<std::pair<std::string, std::string>> expected;
};

TEST_F(ZrnReplaceTest, ReplacingKeepsEverythingElseByteForByte) {
  const std::vector<std::pair<std::string, std::string>> start = {
      {"first", " one\r\nzdesc First\r\n"}, {"sig", " Best regards"}, {"last", " four"}};
  const ReplaceCase cases[] = {
      {"middle, plain",
       "sig",
       " Kind regards",
       1,
       {{"first", " one\r\nzdesc First\r\n"}, {"sig", " Kind regards"}, {"last", " four"}}},
      {"any case keeps the stored name",
       "SIG",
       " Kind",
       1,
       {{"first", " one\r\nzdesc First\r\n"}, {"sig", " Kind"}, {"last", " four"}}},
      {"browse text kept when none given",
       "first",
       " uno",
       0,
       {{"first", " unozdesc First\r\n"}, {"sig", " Best regards"}, {"last", " four"}}},
      {"browse text replaced when given",
       "first",
       " uno\r\nzuse first x\r\n",
       0,
       {{"first", " uno\r\nzuse first x\r\n"}, {"sig", " Best regards"}, {"last", " four"}}},
      {"last one, longer",
       "last",
       " a much longer fourth definition",
       2,
       {{"first", " one\r\nzdesc First\r\n"},
        {"sig", " Best regards"},
        {"last", " a much longer fourth definition"}}},
      {"to empty",
       "sig",
       "",
       1,
       {{"first", " one\r\nzdesc First\r\n"}, {"sig", ""}, {"last", " four"}}},
      {"a new name appends",
       "more",
       " five",
       3,
       {{"first", " one\r\nzdesc First\r\n"},
        {"sig", " Best regards"},
        {"last", " four"},
        {"more", " five"}}},
  };
  for (const ReplaceCase& c : cases) {
    SCOPED_TRACE(c.what);
    const auto want = Fresh(c.expected);
    Fresh(start);
    std::uint32_t id = 99;
    EXPECT_EQ(edit.Store(c.name, c.value, &id), ZrnEdit::Result::kDone);
    EXPECT_EQ(Snapshot(), want);
    EXPECT_EQ(id, 12u * c.pos);
  }
}

TEST_F(ZrnReplaceTest, TheSameDefinitionAgainWritesNothing) {
  ASSERT_TRUE(Store("sig", " Best"));
  const auto before = Snapshot();
  EXPECT_EQ(edit.Store("sig", " Best"), ZrnEdit::Result::kDone);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_FALSE(std::filesystem::exists(ZrnEdit::StagingDir()));
}

TEST_F(ZrnReplaceTest, TheOldestOfTwoIsTheOneReplaced) {
  // A store written before names were replaced may hold a name twice.
  ASSERT_TRUE(Store("dup", " old"));
  ASSERT_TRUE(Store("dup", " newer"));
  EXPECT_EQ(edit.Store("DUP", " newest"), ZrnEdit::Result::kDone);
  EXPECT_EQ(Def("dup"), " newest");
  EXPECT_EQ(List(), (std::vector<std::string>{"dup", "dup", ""}));
}

TEST_F(ZrnReplaceTest, RefusedNamesAndTextsStoreNothing) {
  ASSERT_TRUE(Store("keep", " k"));
  const auto before = Snapshot();
  for (const std::string& name : {std::string(), std::string("two words"), std::string("tab\tx"),
                                  std::string(80, 'n'), std::string("\x01x")})
    EXPECT_EQ(edit.Store(name, " v"), ZrnEdit::Result::kRefused) << name;
  EXPECT_EQ(edit.Store("keep", std::string(4096, 'x')), ZrnEdit::Result::kRefused);
  EXPECT_EQ(edit.Store("keep", " v zdesc " + std::string(4096, 'x')), ZrnEdit::Result::kRefused);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(edit.Store(std::string(79, 'n'), " ok"), ZrnEdit::Result::kDone);
}

TEST_F(ZrnReplaceTest, PackageLoadedAgainReplacesAndKeepsMembership) {
  ASSERT_TRUE(Store("mine", " untouched"));
  PkgLoadResult r = Load("ZPKG tools\r\nztxt hi Hello\r\nzdesc Greets\r\nztxt bye Farewell\r\n");
  ASSERT_TRUE(r.loaded);
  EXPECT_EQ(r.stored, 2);
  r = Load("ZPKG tools\r\nztxt hi Hello again\r\nztxt bye So long\r\nzuse bye\r\nztxt new N\r\n");
  ASSERT_TRUE(r.loaded);
  EXPECT_EQ(r.stored, 3);
  EXPECT_EQ(List(), (std::vector<std::string>{"mine", "hi", "bye", "new", ""}));
  EXPECT_EQ(Def("hi"), " Hello again\r\n");
  EXPECT_EQ(Def("bye"), " So long\r\n");
  EXPECT_EQ(Def("mine"), " untouched");
  EXPECT_EQ(Browse("hi"), (std::pair<std::string, std::string>{"Greets\r\n", ""}));
  EXPECT_EQ(Browse("bye").second, "bye\r\n");
  // The second load's package lists the zarns it replaced, at their places.
  ZrnPkgOp op(files, host, host);
  EXPECT_EQ(op.PackageZarns(r.pkgId), (std::vector<std::string>{"hi", "bye", "new"}));
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ZrnReplaceTest, AFailureHalfWayLeavesTheOldDefinition) {
  auto prepare = [this] {
    TestEnv::ClearDataDir();
    files.zarnIndex = ZarnNameIndex{};
    ++files.zarnGeneration;
    ASSERT_TRUE(Load("ZPKG p\r\nztxt a 1\r\nzdesc A\r\nztxt b 2\r\nztxt c 3\r\n").loaded);
  };
  prepare();
  const auto before = Snapshot();
  ASSERT_EQ(edit.Store("b", " two\r\nzuse b\r\n"), ZrnEdit::Result::kDone);
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
      r = e.Store("b", " two\r\nzuse b\r\n");
    };
    sweep.check = [&](long n) {
      const bool committed = std::filesystem::exists(ZrnEdit::StagingDir() + "/COMMIT");
      if (r == ZrnEdit::Result::kDone) {
        EXPECT_EQ(Snapshot(), after) << "fault " << n;
      } else if (!committed) {
        EXPECT_EQ(Snapshot(), before) << "fault " << n;
      }
      EXPECT_TRUE(ZrnEdit::Recover(files)) << "fault " << n;
      const auto now = Snapshot();
      EXPECT_TRUE(now == before || now == after) << "fault " << n;
    };
    long points = SweepFaults(fs, sweep);
    EXPECT_GE(points, 20) << "sticky " << sticky;
    RecordProperty(sticky ? "injection_points_sticky" : "injection_points",
                   static_cast<int>(points));
    EXPECT_EQ(r, ZrnEdit::Result::kDone);
  }
}

}  // namespace
