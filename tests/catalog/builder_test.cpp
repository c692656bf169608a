// The catalog builder: the files it writes, byte for byte, and the rules by
// which text becomes words.
#include <algorithm>
#include <fstream>
#include <set>

#include "catalog/buildprogress.h"
#include "catalog/buildsummary.h"
#include "catalog_fixture.h"

using namespace cattest;

namespace {

std::string Canon(const std::string& dir) {
  std::string p = std::filesystem::canonical(dir).string();
  return p.back() == '/' ? p : p + "/";
}

class BuilderTest : public CatalogTest {
 protected:
  // The words one file yields: a build over a tree holding only that file
  // (a file's words enter the words buffer in sorted order).
  std::vector<std::string> WordsOf(const std::string& content) {
    WriteFile(root + "only.txt", content);
    Build();
    return Strings(ReadData("LES1.007"));
  }
};

}  // namespace

TEST_F(BuilderTest, SmallTreeByteForByte) {
  WriteFile(root + "a.txt", "Hello, WORLD! hello");
  WriteFile(root + "sub/b.txt", "world peace world");
  WriteFile(root + "sub/c.txt", "abc ab12cd");  // no word at all
  WriteFile(root + "sub/one.txt", "single");    // one word: not recorded
  WriteFile(root + "sub/prog.exe", "binary words here never read");
  WriteFile(root + "sub/song.mp3", "ID3");
  WriteFile(root + "d.dir/e.txt", "hidden behind a dotted name");  // not visited
  WriteFile(root + "sub/.hid/f.txt", "dotted directory never visited");

  BuildStats s = Build();
  const std::string r = Canon(root);
  const std::string sub = r + "sub";
  const std::uint32_t p1 = static_cast<std::uint32_t>(sub.size() + 1);

  EXPECT_EQ(ReadData("LES1.007"), Z("peace") + Z("world") + Z("hello"));
  EXPECT_EQ(ReadData("LESt1.007"), U32(0) + U32(6) + U32(12));
  EXPECT_EQ(ReadData("LESi.007"), R8(12, 1) + R8(0, 1) + R8(6, 1));
  EXPECT_EQ(ReadData("LESl.007"), "");
  EXPECT_EQ(ReadData("IMS.007"), Z("b.txt") + Z("prog.exe") + Z("song.mp3") + Z("a.txt"));
  EXPECT_EQ(ReadData("IMSt.007"), R8(0, 0) + R8(6, 0) + R8(24, p1));
  EXPECT_EQ(ReadData("NCS.007"), R12(0, 0, 1) + R12(6, 0, 1) + R12(12, 24, 1) + R12(6, 24, 1));
  EXPECT_EQ(ReadData("DES.007"), Z(sub) + Z(r));  // the root last, with its "/"
  EXPECT_EQ(ReadData("DESt.007"), U32(0) + U32(p1));
  EXPECT_EQ(ReadData("KEPb.007"), R8(15, 0));
  EXPECT_FALSE(DataExists("LES2.007"));

  EXPECT_EQ(s.directories, 2u);
  EXPECT_EQ(s.words, 3u);
  EXPECT_EQ(s.catalogs, 1);
  EXPECT_EQ(s.files, 6u);  // b, c, one, prog, song, a: every file taken counts
  // The extension lists are read, never rewritten.
  EXPECT_EQ(ReadData("EMS.007"), Z(".txt") + Z(".md") + Z(".exe") + Z(".txt"));
}

TEST_F(BuilderTest, ExtensionListedTwiceCatalogsEachFileOnce) {
  WriteFile(root + "x.txt", "alpha bravo charlie");
  WriteFile(root + "y.TXT", "alpha delta");  // extensions match without regard to case
  Build();
  EXPECT_EQ(ReadData("IMS.007"), Z("x.txt") + Z("y.TXT"));
  EXPECT_EQ(Find("alpha").size(), 2u);
}

TEST_F(BuilderTest, FileOnBothListsIsRecordedTwice) {
  SetLists({".txt"}, {".txt"});
  WriteFile(root + "both.txt", "shared words twice");
  Build();
  EXPECT_EQ(ReadData("IMS.007"), Z("both.txt") + Z("both.txt"));
  EXPECT_EQ(ReadData("IMSt.007"), R8(0, 0));
  EXPECT_EQ(ReadData("KEPb.007"), R8(9, 0));
}

// A build takes at most kMaxBuildFiles files, each build afresh; files past
// the limit are left out and the build says so. Typed files (recorded by
// name, never read) keep the tree cheap to make.
TEST_F(BuilderTest, FileLimitIsKeptAndToldWhenReached) {
  SetLists({".txt"}, {".mp3"});
  const std::uint32_t perDir = 2000;
  std::uint32_t made = 0;
  for (std::uint32_t d = 0; made < kMaxBuildFiles; ++d) {
    const std::string dir = root + "d" + std::to_string(100 + d) + "/";
    std::filesystem::create_directories(dir);
    for (std::uint32_t i = 0; i < perDir && made < kMaxBuildFiles; ++i, ++made)
      std::ofstream(dir + "f" + std::to_string(i) + ".mp3");
  }
  // Exactly the limit: all taken, nothing left out.
  BuildStats s = Build();
  EXPECT_EQ(s.files, kMaxBuildFiles);
  EXPECT_FALSE(s.fileLimitReached);
  EXPECT_EQ(ReadData("KEPb.007").size(), std::size_t{kMaxBuildFiles} * 8);
  EXPECT_EQ(BuildSummary(s).find("left out"), std::string::npos);
  // One file more, in the last folder walked, and a text file in the first:
  // the text file is taken, the last typed file left out.
  WriteFile(root + "d100/first.txt", "words enough here");
  std::ofstream(root + "d999-last.mp3");
  std::filesystem::create_directories(root + "z");
  std::ofstream(root + "z/late.mp3");
  s = Build();
  EXPECT_EQ(s.files, kMaxBuildFiles);
  EXPECT_TRUE(s.fileLimitReached);
  EXPECT_EQ(Find("enough").size(), 1u);
  EXPECT_EQ(ReadData("IMS.007").find("late.mp3"), std::string::npos);
  EXPECT_NE(BuildSummary(s).find("later files were left out"), std::string::npos);
  // The next build in the same process takes as many again.
  s = Build();
  EXPECT_EQ(s.files, kMaxBuildFiles);
  EXPECT_TRUE(s.fileLimitReached);
}

TEST_F(BuilderTest, WordRules) {
  EXPECT_EQ(WordsOf("Hello, WORLD! hello"), (std::vector<std::string>{"hello", "world"}));
  // Too short, or split by digits: nothing; one file needs two words to count.
  EXPECT_EQ(WordsOf("abc ab12cd xyz"), std::vector<std::string>{});
  // An at sign joins, with the grave accent in its place; a hyphen separates.
  EXPECT_EQ(WordsOf("mail user@host well-known"),
            (std::vector<std::string>{"known", "mail", "user`host", "well"}));
  // Brackets and the underscore become delimiters ("[" turns into "{", "_" into 0x7F).
  EXPECT_EQ(WordsOf("[left]right_under"), (std::vector<std::string>{"left", "right", "under"}));
  // 21 letters is no word; 20 is.
  EXPECT_EQ(WordsOf("abcdefghijklmnopqrstu abcdefghijklmnopqrst tail"),
            (std::vector<std::string>{"abcdefghijklmnopqrst", "tail"}));
}

TEST_F(BuilderTest, HighByteBlanksItsGroupOfFour) {
  // Groups: "alph" "a\x80xb" "ravo" " cha" "rlie" " del" "ta": the second
  // group goes blank, letters included.
  EXPECT_EQ(WordsOf("alpha\x80xbravo charlie delta"),
            (std::vector<std::string>{"alph", "charlie", "delta", "ravo"}));
  // UTF-8 letters blank their groups too: "caf\xc3" and "\xa9 mo" go, "cha" is too short.
  EXPECT_EQ(WordsOf("caf\xc3\xa9 mocha latte macchiato"),
            (std::vector<std::string>{"latte", "macchiato"}));
}

TEST_F(BuilderTest, WordCutByChunkEndIsTakenWhole) {
  std::string text;
  for (int i = 0; i < 408; ++i) text += "lion ";
  text += "abc ";
  text += "elephant tiger tiger tiger";  // "elep" ends chunk one, "hant" starts chunk two
  ASSERT_EQ(text.substr(2044, 4), "elep");
  auto words = WordsOf(text);
  EXPECT_NE(std::find(words.begin(), words.end(), "elephant"), words.end());
  EXPECT_EQ(std::find(words.begin(), words.end(), "elep"), words.end());
  EXPECT_EQ(std::find(words.begin(), words.end(), "hant"), words.end());
  EXPECT_NE(std::find(words.begin(), words.end(), "tiger"), words.end());
}

TEST_F(BuilderTest, ChunkWithFewerThanThreeWordsEndsReading) {
  std::string text = "alpha beta ";
  text += std::string(2048 - text.size(), '7');
  text += " gamma delta epsilon zeta";
  EXPECT_EQ(WordsOf(text), (std::vector<std::string>{"alpha", "beta"}));
}

TEST_F(BuilderTest, AtMost3600WordsPerFile) {
  std::string text;
  for (std::uint32_t i = 0; i < 4000; ++i) text += WordFor(i, 6) + " ";
  auto words = WordsOf(text);
  EXPECT_EQ(words.size(), 3600u);
  std::set<std::string> set(words.begin(), words.end());
  EXPECT_TRUE(set.count(WordFor(3599, 6)));
  EXPECT_FALSE(set.count(WordFor(3600, 6)));
}

TEST_F(BuilderTest, OneWordFilesAndRepeatedWords) {
  WriteFile(root + "a.txt", "single");
  WriteFile(root + "b.txt", "twice twice");
  Build();
  EXPECT_EQ(ReadData("IMS.007"), Z("b.txt"));  // a.txt: one word, not recorded
  EXPECT_EQ(ReadData("NCS.007"), R12(0, 0, 1));
  EXPECT_EQ(ReadData("LES1.007"), Z("twice"));
}

TEST_F(BuilderTest, SharedWordsAreStoredOnce) {
  WriteFile(root + "a.txt", "common alpha");
  WriteFile(root + "b.txt", "common bravo");
  Build();
  EXPECT_EQ(ReadData("LES1.007"), Z("alpha") + Z("common") + Z("bravo"));
  // Two match records with the same word offset and catalog.
  EXPECT_EQ(ReadData("NCS.007"), R12(0, 0, 1) + R12(6, 0, 1) + R12(13, 6, 1) + R12(6, 6, 1));
  EXPECT_EQ(ReadData("LESi.007"), R8(0, 1) + R8(13, 1) + R8(6, 1));
}

TEST_F(BuilderTest, WordTextPast100000BytesStartsCatalogTwo) {
  // 20 files of 600 new 8-letter words (5400 bytes each): the text passes
  // 100000 bytes after the 19th file.
  for (std::uint32_t f = 0; f < 20; ++f) {
    std::string text;
    for (std::uint32_t k = 0; k < 600; ++k) text += WordFor(f * 600 + k) + " ";
    if (f == 0) text += "sharedword ";
    WriteFile(root + "f" + std::string(f < 10 ? "0" : "") + std::to_string(f) + ".txt", text);
  }
  WriteFile(root + "z.txt", "sharedword latecomer");
  BuildStats s = Build();
  EXPECT_EQ(s.catalogs, 2);
  const std::string les1 = ReadData("LES1.007"), les2 = ReadData("LES2.007");
  EXPECT_GT(les1.size(), 100000u);
  EXPECT_LE(les1.size(), static_cast<std::size_t>(kAllWordsBufSize));
  EXPECT_EQ(ReadData("LESt1.007").size() / 4, Strings(les1).size());
  // f19 and z went to catalog 2; "sharedword" is stored again there.
  auto w2 = Strings(les2);
  EXPECT_EQ(w2.size(), 600u + 2u);
  EXPECT_NE(std::find(w2.begin(), w2.end(), "sharedword"), w2.end());
  // The index: run 1 then run 2, each sorted.
  const std::string idx = ReadData("LESi.007");
  ASSERT_EQ(idx.size() % 8, 0u);
  std::size_t n1 = 0;
  std::vector<std::string> run1, run2;
  for (std::size_t p = 0; p < idx.size(); p += 8) {
    int cat = static_cast<int>(LE(idx, p + 4));
    if (cat == 1) {
      ++n1;
      EXPECT_TRUE(run2.empty());
      run1.push_back(std::string(les1.c_str() + LE(idx, p)));
    } else {
      ASSERT_EQ(cat, 2);
      run2.push_back(std::string(les2.c_str() + LE(idx, p)));
    }
  }
  EXPECT_EQ(n1, Strings(les1).size());
  EXPECT_TRUE(std::is_sorted(run1.begin(), run1.end()));
  EXPECT_TRUE(std::is_sorted(run2.begin(), run2.end()));
  // Searches across both catalogs.
  EXPECT_EQ(Find("sharedword").size(), 2u);
  auto late = Find("latecomer SHAREDWORD");
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].substr(0, 6), "z.txt|");
  EXPECT_EQ(Find(WordFor(19 * 600 + 5)).size(), 1u);  // only in catalog 2
}

TEST_F(BuilderTest, RebuildReplacesCatalogAndDropsStaleNumberedFiles) {
  WriteData("LES2.007", "stale");
  WriteData("LESt2.007", "stale");
  WriteData("LES3.007", "stale");
  WriteFile(root + "a.txt", "fresh words");
  Build();
  EXPECT_FALSE(DataExists("LES2.007"));
  EXPECT_FALSE(DataExists("LESt2.007"));
  EXPECT_FALSE(DataExists("LES3.007"));
  std::filesystem::remove(root + "a.txt");
  WriteFile(root + "b.txt", "other words");
  Build();
  EXPECT_TRUE(Find("fresh").empty());
  EXPECT_EQ(Find("other").size(), 1u);
}

TEST_F(BuilderTest, MissingExtensionsFileIsRebuiltFromTheRegistry) {
  std::filesystem::remove(plat::DataPath("EMS.007"));
  std::string mime = TestEnv::Root() + "mime.types";
  WriteFile(mime, "text/plain txt\ntext/markdown md\naudio/mpeg mp3\n");
  setenv("ZARNS_MIME_TYPES", mime.c_str(), 1);
  WriteFile(root + "notes.md", "markdown words here");
  WriteFile(root + "tune.mp3", "ID3");
  Build();
  unsetenv("ZARNS_MIME_TYPES");
  EXPECT_TRUE(DataExists("EMS.007"));
  // Every typed extension is also on the file-type lists: notes.md is
  // recorded once for its words and once by name.
  EXPECT_EQ(ReadData("IMS.007"), Z("notes.md") + Z("notes.md") + Z("tune.mp3"));
  EXPECT_EQ(ReadData("IMSt.007"), R8(0, 0));
}

namespace {
// Records what a build reports and cancels at a chosen directory.
class ScriptedProgress : public BuildProgress {
 public:
  void SetMax(int m) override { log.push_back("max " + std::to_string(m)); }
  void SetHeadText(const std::string& t) override { log.push_back("head " + t); }
  void SetCreateDirMapCurrent() override { log.push_back("map"); }
  void SetCreateCatalogCurrent() override { log.push_back("catalog"); }
  void SetCreateFileListCurrent() override { log.push_back("filelists"); }
  void SetDirNumText(int n) override { log.push_back("dirs " + std::to_string(n)); }
  bool StepVal(const std::string& dir) override {
    steps.push_back(dir);
    return cancelAt < 0 || static_cast<int>(steps.size()) < cancelAt;
  }
  std::vector<std::string> log, steps;
  int cancelAt = -1;
};
}  // namespace

TEST_F(BuilderTest, ProgressStagesAndVisitOrder) {
  WriteFile(root + "b/x/f.txt", "alpha bravo");
  WriteFile(root + "a/g.txt", "alpha charlie");
  ScriptedProgress p;
  WordCat w(files);
  w.CreateWordCatalog(&p, {root});
  const std::string r = Canon(root);
  // Counting pass, then cataloging pass, each depth first and sorted; the root last.
  std::vector<std::string> expect = {r + "a", r + "b", r + "b/x", r + "a", r + "b", r + "b/x", r};
  EXPECT_EQ(p.steps, expect);
  std::vector<std::string> log = {"max 100", "head Drive " + r, "map",
                                  "catalog", "dirs 3",          "max 4"};
  EXPECT_EQ(p.log, log);
  EXPECT_EQ(ReadData("DES.007"), Z(r + "a") + Z(r + "b") + Z(r + "b/x") + Z(r));
}

TEST_F(BuilderTest, CancelEndsTheWalkAndKeepsWhatWasWritten) {
  WriteFile(root + "a/f.txt", "alpha bravo");
  WriteFile(root + "b/g.txt", "charlie delta");
  WriteFile(root + "h.txt", "echo foxtrot");
  ScriptedProgress p;
  p.cancelAt = 4;  // counting a, b; cataloging a; cancel entering b
  WordCat w(files);
  w.CreateWordCatalog(&p, {root});
  EXPECT_TRUE(w.Stats().cancelled);
  EXPECT_EQ(p.steps.size(), 4u);
  EXPECT_EQ(ReadData("IMS.007"), Z("f.txt"));
  EXPECT_EQ(ReadData("LESi.007").size(), 16u);  // the index of what was read is written
  EXPECT_EQ(Find("alpha").size(), 1u);
  EXPECT_TRUE(Find("echo").empty());
}

TEST_F(BuilderTest, RootsAreWalkedInOrder) {
  std::string r2 = TestEnv::FreshDir("second");
  WriteFile(root + "s/a.txt", "first root words");
  WriteFile(r2 + "b.txt", "second root words");
  WordCat w(files);
  w.CreateWordCatalog(nullptr, {r2, root});
  EXPECT_EQ(Strings(ReadData("DES.007")),
            (std::vector<std::string>{Canon(r2), Canon(root) + "s", Canon(root)}));
}

TEST_F(BuilderTest, ConfiguredRoots) {
  EXPECT_EQ(GetCatalogRoots(), std::vector<std::string>{plat::HomeDir()});
  std::string r2 = TestEnv::FreshDir("cfg");
  ASSERT_TRUE(SetCatalogRoots({root, r2.substr(0, r2.size() - 1)}));
  EXPECT_EQ(GetCatalogRoots(), (std::vector<std::string>{root, r2}));
  WriteFile(r2 + "c.txt", "configured root words");
  WordCat w(files);
  w.CreateWordCatalog(nullptr);  // no roots given: the configured ones
  EXPECT_EQ(Find("configured").size(), 1u);
  ASSERT_TRUE(SetCatalogRoots({}));
  EXPECT_EQ(GetCatalogRoots(), std::vector<std::string>{plat::HomeDir()});
}
