// The word search over catalog files written by hand: words held by two
// numbered catalogs, several words typed, a word typed twice, a match
// record that names no file.
#include "catalog_fixture.h"

using namespace cattest;

namespace {

// Files "a.txt" (id 0), "b.txt" (6) and "c.txt" (12). Catalog 1 holds "cat"
// and "dog", catalog 2 "cat" and "emu" (each at offsets 0 and 4).
// a.txt: cat(1) dog(1); b.txt: cat(2) emu(2); c.txt: dog(1) emu(2);
// then a record of "cat"(1) for id 999, outside the files buffer.
class FindWordsTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    WriteData("IMS.007", Z("a.txt") + Z("b.txt") + Z("c.txt"));
    WriteData("LES1.007", Z("cat") + Z("dog"));
    WriteData("LES2.007", Z("cat") + Z("emu"));
    WriteData("LESt1.007", "");
    WriteData("LESt2.007", "");
    WriteData("LESi.007", R8(0, 1) + R8(4, 1) + R8(0, 2) + R8(4, 2));
    WriteData("NCS.007", R12(0, 0, 1) + R12(4, 0, 1) + R12(0, 6, 2) + R12(4, 6, 2) + R12(4, 12, 1) +
                             R12(4, 12, 2) + R12(0, 999, 1));
  }
  // The files listed for `words` (in match-file order) and the hit count.
  std::vector<std::string> Hits(const std::string& words, int& matches) {
    WordView v(files, host, host);
    v.FindName = words;
    v.InterpretWords();
    matches = v.MatchesFound;
    std::vector<std::string> out;
    for (auto& m : v.HitList) out.push_back(m.name);
    return out;
  }
};

}  // namespace

TEST_F(FindWordsTest, OneWordHeldByTwoCatalogs) {
  int matches = 0;
  EXPECT_EQ(Hits("cat", matches), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(matches, 3);  // the record of id 999 counts, but names no file
}

TEST_F(FindWordsTest, EveryWordMustBeHeldAcrossCatalogs) {
  int matches = 0;
  EXPECT_EQ(Hits("cat dog", matches), (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(matches, 5);
  // "dog" lives in catalog 1 and "emu" in catalog 2, both in c.txt.
  EXPECT_EQ(Hits("emu, DOG", matches), (std::vector<std::string>{"c.txt"}));
  EXPECT_EQ(matches, 4);
  EXPECT_EQ(Hits("cat emu dog", matches), (std::vector<std::string>{}));
  EXPECT_EQ(matches, 7);
}

TEST_F(FindWordsTest, AWordTypedTwiceCountsTwice) {
  int matches = 0;
  EXPECT_EQ(Hits("CAT cat", matches), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(matches, 6);
}

TEST_F(FindWordsTest, UnknownWordsAndNoWords) {
  int matches = -1;
  EXPECT_EQ(Hits("yak", matches), (std::vector<std::string>{}));
  EXPECT_EQ(matches, 0);
  EXPECT_EQ(Hits(" , ", matches), (std::vector<std::string>{}));
  EXPECT_EQ(matches, 0);
}

// A catalog whose words buffer is gone ends the look-up there: the words of
// the catalogs before it are still found.
TEST_F(FindWordsTest, MissingSecondCatalogKeepsTheFirst) {
  std::filesystem::remove(plat::DataPath("LES2.007"));
  int matches = 0;
  EXPECT_EQ(Hits("cat", matches), (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(matches, 2);
}
