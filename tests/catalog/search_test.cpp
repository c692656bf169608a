// The word search and the file-name search over small built catalogs.
#include "catalog/zrnfile.h"
#include "catalog_fixture.h"
#include "platform/plauncher.h"

using namespace cattest;

namespace {

class SearchTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    plat::SetLauncher(&launcher);
    WriteFile(root + "pets/cats.txt", "The kitty and the hound share a house");
    WriteFile(root + "pets/dogs.txt", "A hound barks; another hound answers");
    WriteFile(root + "zoo/cats.txt", "Tigers are large kitty relatives, kitty");
    WriteFile(root + "zoo/notes.md", "Hounds, Kitties and Birds");
    WriteFile(root + "zoo/song.mp3", "ID3");
    WriteFile(root + "tool.exe", "MZ");
    Build();
    r = std::filesystem::canonical(root).string() + "/";
  }
  void TearDown() override {
    plat::SetLauncher(nullptr);
    CatalogTest::TearDown();
  }
  plat::RecordingLauncher launcher;
  std::string r;
};

}  // namespace

TEST_F(SearchTest, SplittingTheWords) {
  WordView v(files, host, host);
  v.FindName = "Cat, DOG..bird ,";
  EXPECT_EQ(v.GetNumWordsToMatch(), 3);
  EXPECT_EQ(v.FindArray, (std::vector<std::string>{"Cat", "DOG", "bird"}));
  v.FindName = " ,. ";
  EXPECT_EQ(v.GetNumWordsToMatch(), 0);
  EXPECT_TRUE(v.FindArray.empty());
}

TEST_F(SearchTest, AllWordsCaseIgnored) {
  EXPECT_EQ(Find("Kitty, HOUND"), (std::vector<std::string>{"cats.txt|" + r + "pets"}));
  EXPECT_EQ(Find("HOUNDS kitties"), (std::vector<std::string>{"notes.md|" + r + "zoo"}));
  // Two files of the same name, each with its own directory, sorted by name.
  EXPECT_EQ(Find("kitty"),
            (std::vector<std::string>{"cats.txt|" + r + "pets", "cats.txt|" + r + "zoo"}));
  EXPECT_EQ(Find("hound"),
            (std::vector<std::string>{"cats.txt|" + r + "pets", "dogs.txt|" + r + "pets"}));
}

TEST_F(SearchTest, MissingAndShortWords) {
  int matches = -1;
  // A word in no file: nothing listed, but the hits of "kitty" count.
  EXPECT_TRUE(Find("kitty xyzzy", &matches).empty());
  EXPECT_EQ(matches, 2);
  EXPECT_TRUE(Find("ab", &matches).empty());
  EXPECT_EQ(matches, 0);
  EXPECT_TRUE(Find("h0und", &matches).empty());
  EXPECT_EQ(matches, 0);
  EXPECT_TRUE(Find("", &matches).empty());
  EXPECT_EQ(matches, 0);
}

TEST_F(SearchTest, WordTypedTwiceMatchesTwice) {
  EXPECT_EQ(Find("kitty kitty").size(), 2u);
  EXPECT_EQ(Find("kitty kitty hound").size(), 1u);
}

TEST_F(SearchTest, RepeatedSearchesThroughOneView) {
  WordView v(files, host, host);
  v.FindName = "kitty";
  v.InterpretWords();
  EXPECT_EQ(v.HitList.size(), 2u);
  v.HitList.clear();
  v.FindName = "barks";
  v.InterpretWords();
  ASSERT_EQ(v.HitList.size(), 1u);
  EXPECT_EQ(v.HitList[0].name, "dogs.txt");
}

TEST_F(SearchTest, NoCatalogFindsNothing) {
  TestEnv::ClearDataDir();
  int matches = -1;
  EXPECT_TRUE(Find("cat", &matches).empty());
  EXPECT_EQ(matches, 0);
}

TEST_F(SearchTest, EveryHitCountsBeyondForty) {
  // 45 typed words that all hit: the hit table grows past its first 40, so
  // the files holding the word are still found.
  std::string words;
  for (int i = 0; i < 45; ++i) words += "kitty ";
  int matches = 0;
  EXPECT_EQ(Find(words, &matches).size(), 2u);
  EXPECT_EQ(matches, 90);  // 45 hits x 2 files
}

TEST_F(SearchTest, GetFilePathOfEveryKindOfFile) {
  WordView v(files, host, host);
  const std::string names = ReadData("IMS.007");
  auto list = Strings(names);
  std::uint32_t off = 0;
  for (auto& n : list) {
    v.fileid = off;
    v.FindPath = "unchanged";
    v.GetFilePath(false);
    if (n == "song.mp3") {
      EXPECT_EQ(v.FindPath, r + "zoo");
    } else if (n == "tool.exe") {
      EXPECT_EQ(v.FindPath, r);
    }
    off += static_cast<std::uint32_t>(n.size() + 1);
  }
  v.fileid = 3;  // inside a name: no record
  v.FindPath = "unchanged";
  v.GetFilePath(false);
  EXPECT_EQ(v.FindPath, "unchanged");
}

TEST_F(SearchTest, FileNameSearchOneFind) {
  WordView v(files, host, host);
  ZrnFile f;
  f.ShortFileName = "song";
  EXPECT_TRUE(v.FindFileName(&f));
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "song.mp3");
  EXPECT_EQ(host.boxes[0].caption, "Open file now?");
  EXPECT_EQ(host.boxes[0].flags, MB_OKCANCEL);
  ASSERT_EQ(launcher.calls.size(), 1u);
  EXPECT_EQ(launcher.calls[0].kind, "open");
  EXPECT_EQ(launcher.calls[0].target, r + "zoo/song.mp3");

  // Cancel opens nothing.
  host.answers = {IDCANCEL};
  ZrnFile g;
  g.ShortFileName = "tool";
  EXPECT_TRUE(v.FindFileName(&g));
  EXPECT_EQ(launcher.calls.size(), 1u);
  ASSERT_EQ(g.Count, 1);
  EXPECT_EQ(g.PathNamePtr[0], r);  // a root keeps its "/"
}

TEST_F(SearchTest, FileNameSearchSeveralFinds) {
  WordView v(files, host, host);
  ZrnFile f;
  f.ShortFileName = "cats";
  EXPECT_TRUE(v.FindFileName(&f));
  EXPECT_TRUE(host.boxes.empty());
  ASSERT_EQ(host.matchDialogs.size(), 1u);
  const ShowMatchXfer& x = host.matchDialogs[0];
  ASSERT_EQ(x.ListOfMatches.size(), 2u);
  EXPECT_EQ(x.ListOfMatches[0].name, "cats.txt");
  EXPECT_EQ(x.MatchString, "cats.txt");
  EXPECT_EQ(x.PathString, r + "zoo");  // the last find's directory
  EXPECT_EQ(f.PathNamePtr, (std::vector<std::string>{r + "pets", r + "zoo"}));
  EXPECT_TRUE(launcher.calls.empty());
}

TEST_F(SearchTest, FileNameSearchIsCaseSensitiveAndEmptyFindsNothing) {
  WordView v(files, host, host);
  ZrnFile f;
  f.ShortFileName = "CATS";
  EXPECT_FALSE(v.FindFileName(&f));
  ZrnFile g;
  EXPECT_EQ(v.CollectFileNames("", g), 0);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(host.matchDialogs.empty());
}

TEST_F(SearchTest, SortByNameIgnoresCaseAndKeepsOrderOfEquals) {
  std::vector<MatchItem> items = {{"beta", 1}, {"Alpha", 2}, {"alpha", 3}, {"beta", 4}};
  WordView::SortByName(items);
  EXPECT_EQ(items[0].fileid, 2u);
  EXPECT_EQ(items[1].fileid, 3u);
  EXPECT_EQ(items[2].fileid, 1u);
  EXPECT_EQ(items[3].fileid, 4u);
}

// The one-find question goes to the message host, the list of several finds
// to the find-results host, each to its own.
TEST_F(SearchTest, FileNameSearchAsksAndListsThroughItsOwnHosts) {
  RecordingHost messages, results;
  WordView v(files, messages, results);
  ZrnFile one;
  one.ShortFileName = "song";
  EXPECT_TRUE(v.FindFileName(&one));
  ZrnFile several;
  several.ShortFileName = "cats";
  EXPECT_TRUE(v.FindFileName(&several));
  ASSERT_EQ(messages.boxes.size(), 1u);
  EXPECT_EQ(messages.boxes[0].text, "song.mp3");
  EXPECT_TRUE(messages.matchDialogs.empty());
  EXPECT_TRUE(results.boxes.empty());
  ASSERT_EQ(results.matchDialogs.size(), 1u);
  EXPECT_EQ(results.matchDialogs[0].ListOfMatches.size(), 2u);
  EXPECT_TRUE(host.boxes.empty() && host.matchDialogs.empty());
}
