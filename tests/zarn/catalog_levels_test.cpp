// The catalog behind a run: the file-name level and the search a word that
// nothing takes turns into, over a real catalog, rebuilt between runs.
#include "zarn_fixture.h"

#include <fstream>

#include "catalog/zrnwcat.h"
#include "catalog/zwrdview.h"
#include "platform/pdatadir.h"
#include "store/zrnio.h"

class CatalogLevelsTest : public ZarnTest {
 protected:
  // The extension list a build reads: ".txt" only.
  void Build(const std::string& dir) {
    files.CloseFiles();
    files.currentWordCat = 1;
    ASSERT_TRUE(plat::WriteFileAtomic(plat::DataPath("EMS.007"), std::string(".txt\0", 5)));
    for (const char* f : {"KEP.007", "KEPt.007", "KEPc.007"})
      ASSERT_TRUE(plat::WriteFileAtomic(plat::DataPath(f), ""));
    WordCat cat(files);
    cat.CreateWordCatalog(nullptr, {dir});
  }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
  }
  static std::vector<std::string> Names(const ShowMatchXfer& x) {
    std::vector<std::string> n;
    for (const auto& m : x.ListOfMatches) n.push_back(m.name);
    std::sort(n.begin(), n.end());
    return n;
  }
};

TEST_F(CatalogLevelsTest, UnknownWordSearchesTheCatalogAndSeesARebuild) {
  const std::string a = TestEnv::FreshDir("corpus-a");
  Write(a + "first.txt", "zebra giraffe\n");
  Write(a + "second.txt", "giraffe okapi\n");
  Build(a);
  Set("a giraffe");
  Cmd().CmRunzarn();
  ASSERT_EQ(host.matchDialogs.size(), 1u);
  EXPECT_EQ(host.matchDialogs[0].MatchString, "giraffe");
  EXPECT_EQ(Names(host.matchDialogs[0]), (std::vector<std::string>{"first.txt", "second.txt"}));
  Set("okapi");
  Cmd().CmRunzarn();
  EXPECT_EQ(Names(host.matchDialogs.back()), (std::vector<std::string>{"second.txt"}));

  // A new build: the next run reads the new catalog, not the one it loaded before.
  const std::string b = TestEnv::FreshDir("corpus-b");
  Write(b + "third.txt", "okapi tapir\n");
  Build(b);
  Set("okapi");
  Cmd().CmRunzarn();
  EXPECT_EQ(Names(host.matchDialogs.back()), (std::vector<std::string>{"third.txt"}));
  Ctx().DropCatalogReader();
  Set("tapir");
  Cmd().CmSearchword();
  EXPECT_EQ(Names(host.matchDialogs.back()), (std::vector<std::string>{"third.txt"}));
  EXPECT_EQ(Text(), "tapir");
}

TEST_F(CatalogLevelsTest, FileNameLevelTakesTheWord) {
  const std::string a = TestEnv::FreshDir("corpus-names");
  Write(a + "REPORT.txt", "quarterly figures\n");
  Build(a);
  // "report" is no zarn and no function; upper-cased it is part of a name.
  Set("see report");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "see report");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Open file now?");
  EXPECT_EQ(host.boxes[0].text, "REPORT.txt");
  EXPECT_TRUE(host.matchDialogs.empty());
  ASSERT_EQ(launcher.calls.size(), 1u);
  EXPECT_EQ(launcher.calls[0].kind, "open");
  // Cancel: still taken, nothing opened.
  host.answers.push_back(IDCANCEL);
  Set("report");
  Cmd().CmRunzarn();
  EXPECT_EQ(launcher.calls.size(), 1u);
  EXPECT_TRUE(host.matchDialogs.empty());
}

TEST_F(CatalogLevelsTest, FileNameLevelFollowsARebuildWithoutBeingDropped) {
  const std::string a = TestEnv::FreshDir("corpus-names-a");
  Write(a + "REPORT.txt", "quarterly figures\n");
  Write(a + "REPORTS-OLD.txt", "older figures\n");
  Build(a);
  Set("report");
  Cmd().CmRunzarn();
  // Two names: the Find results list both, sorted as found.
  ASSERT_EQ(host.matchDialogs.size(), 1u);
  EXPECT_EQ(Names(host.matchDialogs[0]),
            (std::vector<std::string>{"REPORT.txt", "REPORTS-OLD.txt"}));
  EXPECT_TRUE(host.boxes.empty());

  // Rebuilt over another tree: the names mapped for the first run are not
  // the ones in place any more.
  const std::string b = TestEnv::FreshDir("corpus-names-b");
  Write(b + "MEMO.txt", "report figures\n");
  Build(b);
  Set("report");
  Cmd().CmRunzarn();
  // No name holds REPORT now: the word falls through to the search, which
  // finds the memo by its text.
  EXPECT_TRUE(host.boxes.empty());
  ASSERT_EQ(host.matchDialogs.size(), 2u);
  EXPECT_EQ(host.matchDialogs[1].MatchString, "report");
  EXPECT_EQ(Names(host.matchDialogs[1]), (std::vector<std::string>{"MEMO.txt"}));
  Set("memo");
  Cmd().CmRunzarn();
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Open file now?");
  EXPECT_EQ(host.boxes[0].text, "MEMO.txt");
}

TEST_F(CatalogLevelsTest, DamagedNameTablesAreToldAndTheWordFallsThrough) {
  const std::string a = TestEnv::FreshDir("corpus-names-damaged");
  Write(a + "REPORT.txt", "quarterly figures\n");
  Write(a + "other.txt", "quarterly report\n");
  Build(a);
  // The first record names the middle of a name.
  const std::string path = plat::DataPath("IMSt.007");
  std::string tbl;
  ASSERT_TRUE(plat::ReadWholeFile(path, tbl));
  ASSERT_GE(tbl.size(), 8u);
  tbl[0] = 1;
  ASSERT_TRUE(plat::WriteFileAtomic(path, tbl));
  Set("report");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "report");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, kDamagedCatalogText);
  // Not taken by the file-name level: the line became a search, which does
  // not need the files table.
  ASSERT_EQ(host.matchDialogs.size(), 1u);
  EXPECT_EQ(Names(host.matchDialogs[0]), (std::vector<std::string>{"other.txt"}));
}
