// A search on a catalog whose files contradict each other says the catalog
// is damaged and lists nothing, rather than listing wrong files; a search
// while a swap holds the catalog past the wait says so too.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "catalog/catlock.h"
#include "catalog/zrnfile.h"
#include "catalog_fixture.h"

using namespace cattest;

namespace {

// Files "a.txt" (id 0) and "b.txt" (6) in directories "/d1" (0) and
// "/d2" (4); catalog 1 holds "cats" (0) and "dogs" (5).
class DamagedTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    WriteData("IMS.007", Z("a.txt") + Z("b.txt"));
    WriteData("IMSt.007", R8(0, 0) + R8(6, 4));
    WriteData("KEPb.007", "");
    WriteData("DES.007", Z("/d1") + Z("/d2"));
    WriteData("DESt.007", U32(0) + U32(4));
    WriteData("LES1.007", Z("cats") + Z("dogs"));
    WriteData("LESt1.007", U32(0) + U32(5));
    WriteData("LESl.007", "");
    WriteData("LESi.007", R8(0, 1) + R8(5, 1));
    WriteData("NCS.007", R12(0, 0, 1) + R12(5, 0, 1) + R12(5, 6, 1));
  }
  // The search for `words` as the user sees it: the files, or the box.
  std::vector<std::string> Search(const std::string& words) {
    host.boxes.clear();
    WordView v(files, host, host);
    v.FindName = words;
    v.InterpretWords();
    problem = v.Problem;
    std::vector<std::string> out;
    for (auto& m : v.HitList) out.push_back(m.name);
    if (!v.HitList.empty()) {
      v.fileid = v.HitList[0].fileid;
      v.GetFilePath(false);
      out.push_back(v.FindPath);
      if (!v.Problem.empty()) problem = v.Problem;
    }
    if (!problem.empty()) out.clear();  // the box is what the user gets
    return out;
  }
  void ExpectDamaged(const std::string& words) {
    EXPECT_EQ(Search(words), std::vector<std::string>{}) << words;
    EXPECT_EQ(problem, kDamagedCatalogText);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, kDamagedCatalogText);
  }
  std::string problem;
};

}  // namespace

TEST_F(DamagedTest, ASoundCatalogAnswersWithoutABox) {
  EXPECT_EQ(Search("dogs"), (std::vector<std::string>{"a.txt", "b.txt", "/d1"}));
  EXPECT_EQ(problem, "");
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(DamagedTest, AnIndexRunOutOfOrder) {
  WriteData("LESi.007", R8(5, 1) + R8(0, 1));
  ExpectDamaged("cats");
}

TEST_F(DamagedTest, AnIndexOffsetInsideAWord) {
  // "ats" would be looked up as a word of its own.
  WriteData("LESi.007", R8(1, 1) + R8(5, 1));
  ExpectDamaged("dogs");
}

TEST_F(DamagedTest, IndexRunsThatDoNotStartAtOneOrSkip) {
  WriteData("LESi.007", R8(0, 2) + R8(5, 2));
  ExpectDamaged("cats");
  WriteData("LESi.007", R8(0, 1) + R8(5, 3));
  ExpectDamaged("cats");
}

TEST_F(DamagedTest, AMatchNamingTheMiddleOfAName) {
  // File id 2 is "txt" inside "a.txt": listing it would name no real file.
  WriteData("NCS.007", R12(0, 0, 1) + R12(5, 2, 1));
  ExpectDamaged("dogs");
}

TEST_F(DamagedTest, MatchRecordsOutOfFileOrderOrOfAnUnknownCatalog) {
  WriteData("NCS.007", R12(5, 6, 1) + R12(0, 0, 1));
  ExpectDamaged("cats");
  WriteData("NCS.007", R12(0, 0, 1) + R12(5, 6, 7));
  ExpectDamaged("cats");
}

TEST_F(DamagedTest, AFilesTableRecordInsideANameOrTwice) {
  WriteData("IMSt.007", R8(1, 0) + R8(6, 4));
  ExpectDamaged("cats");
  WriteData("IMSt.007", R8(0, 0) + R8(6, 4));
  WriteData("KEPb.007", R8(6, 0));  // b.txt in both tables
  ExpectDamaged("cats");
}

TEST_F(DamagedTest, ADirectoryOffsetInsideAPath) {
  WriteData("IMSt.007", R8(0, 2) + R8(6, 4));  // "1" of "/d1"
  ExpectDamaged("cats");
}

TEST_F(DamagedTest, TheNameSearchListsNothingFromADamagedCatalog) {
  WriteData("IMSt.007", R8(0, 9) + R8(6, 4));  // past the paths
  WordView v(files, host, host);
  ZrnFile found;
  EXPECT_EQ(v.CollectFileNames(".txt", found), 0);
  EXPECT_EQ(found.Count, 0);
  EXPECT_EQ(v.Problem, kDamagedCatalogText);
  EXPECT_EQ(host.boxes.size(), 1u);
}

TEST_F(DamagedTest, ASearchDuringALongSwapSaysTheCatalogIsBusy) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    new CatalogLock(CatalogLock::Kind::Swap);
    char c = 1;
    if (::write(fds[1], &c, 1) != 1) ::_exit(2);
    for (;;) ::pause();
  }
  char c = 0;
  ASSERT_EQ(::read(fds[0], &c, 1), 1);
  plat::SetLockWait(std::chrono::milliseconds(50));
  EXPECT_EQ(Search("cats"), std::vector<std::string>{});
  plat::SetLockWait(std::chrono::milliseconds(5000));
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_EQ(problem, kBusyCatalogText);
  EXPECT_EQ(Search("cats"), (std::vector<std::string>{"a.txt", "/d1"}));
}

TEST_F(DamagedTest, AFileWithTheSameWordTwice) {
  // b.txt would be listed for "cats dogs" with "dogs" counted twice.
  WriteData("NCS.007", R12(0, 0, 1) + R12(5, 0, 1) + R12(5, 6, 1) + R12(5, 6, 1));
  ExpectDamaged("cats dogs");
}
