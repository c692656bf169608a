// Convert to Text: the bytes written for given bytes read, round by round.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "common/faultfs.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "shell/zvanilla.h"

namespace {

// Converts `input` from a fresh file named `name` and returns the output's bytes.
std::string Convert(const std::string& input, const std::string& name = "in.doc") {
  const std::string dir = TestEnv::FreshDir("vanilla");
  EXPECT_TRUE(WriteFile(dir + name, input));
  TZarnsVanilla v;
  VanillaResult r = v.ReadWords(dir + name);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(Slurp(dir + name), input);  // the source is never changed
  return Slurp(r.output);
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(Vanilla, TheWorkedExample) {
  const std::string in = "Hello\tmy\nworld\r\na b c d e f g end";
  EXPECT_EQ(Convert(in), "Hello my world\r g end ");
}

TEST(Vanilla, ABlockOfOneThreeLetterWordWritesNothing) {
  EXPECT_EQ(Convert("abc"), "");
  EXPECT_EQ(Convert("abc "), "");
  // Four letters make five characters with the blank: kept.
  EXPECT_EQ(Convert("abcd"), "abcd ");
  // Pending fragments in front make the line long enough.
  EXPECT_EQ(Convert("a abc"), "a abc ");
}

TEST(Vanilla, GroupsOfFourAreCleanedTogether) {
  // A high byte blanks its whole group of four, whatever else it holds.
  EXPECT_EQ(Convert("abcdefg\x80hijklmno"), "abcd hijklmno ");
  // A group of control bytes only is blank; a carriage return survives it.
  EXPECT_EQ(Convert(std::string("word\x01\x02\r\x03more", 12)), "word \r more ");
  // A carriage return in a blanked group of high bytes is put back.
  EXPECT_EQ(Convert("word\xff\r\xfe\xfdmore"), "word \r more ");
  // In a mixed group each control byte alone becomes a blank.
  EXPECT_EQ(Convert("abc\x07xyz\x1f"), "abc xyz ");
  // DEL has the printable bits and stays.
  EXPECT_EQ(Convert("ab\x7f"
                    "cdef"),
            "ab\x7f"
            "cdef ");
}

TEST(Vanilla, NoHighOrControlByteReachesTheOutput) {
  std::mt19937 rng(7);
  for (int len : {1, 3, 5, 1023, 1024, 1025, 3000, 4099}) {
    std::string in(static_cast<std::size_t>(len), '\0');
    for (char& c : in) c = static_cast<char>(rng() & 0xFF);
    const std::string out = Convert(in);
    for (unsigned char c : out) EXPECT_TRUE((c >= 0x20 && c <= 0x7F) || c == 0x0D) << int(c);
  }
  // Also in the bytes after the last whole group of the file.
  EXPECT_EQ(Convert("words\xe9\x01"), "word ");
  EXPECT_EQ(Convert("abcdefgh\x01"), "abcdefgh ");
}

TEST(Vanilla, FragmentsWaitForTheTenCharacterRule) {
  // Pending "a b c d e " (10 characters) is not more than 10: f is added.
  EXPECT_EQ(Convert("a b c d e f word"), "a b c d e f word ");
  // At 12 characters the next fragment clears them first.
  EXPECT_EQ(Convert("a b c d e f g word"), "g word ");
  // Two-letter fragments: "ab cd ef gh " is 12 by the fifth.
  EXPECT_EQ(Convert("ab cd ef gh ij word"), "ij word ");
  // Fragments at the end of the file are never written.
  EXPECT_EQ(Convert("word a b"), "word ");
}

TEST(Vanilla, RoundsOf1024Bytes) {
  // A word that spans two rounds counts as two words.
  std::string in(1022, ' ');
  in += "abcdef";
  EXPECT_EQ(Convert(in), "ab cdef ");  // "ab" waits as a fragment, "cdef" takes it along
  // The fragment left pending by one round is written by the next.
  in = std::string(1020, ' ') + "word" + "x longword";
  EXPECT_EQ(Convert(in), "word x longword ");
  // A round whose only word is short writes nothing, the next round does.
  in = std::string(1021, ' ') + "abc" + "defghi";
  EXPECT_EQ(Convert(in), "defghi ");
}

TEST(Vanilla, AFileOfExactly1024BytesIsReadInTwoRounds) {
  const std::string dir = TestEnv::FreshDir("rounds");
  std::string in = "alpha beta gamma";
  in.resize(1024, ' ');
  ASSERT_TRUE(WriteFile(dir + "x.bin", in));
  FaultFs fs;
  FaultFs::Scope scope(fs);
  TZarnsVanilla v;
  VanillaResult r = v.ReadWords(dir + "x.bin");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(fs.reads, 2);
  EXPECT_EQ(fs.writes, 1);  // the second round delivers and writes nothing
  EXPECT_EQ(Slurp(r.output), "alpha beta gamma ");
}

TEST(Vanilla, ShortReadsDoNotMoveTheRounds) {
  const std::string dir = TestEnv::FreshDir("short");
  std::string in;
  std::mt19937 rng(3);
  for (int i = 0; i < 5000; ++i) in += static_cast<char>(rng() % 3 ? 'a' + rng() % 26 : ' ');
  ASSERT_TRUE(WriteFile(dir + "a.txt", in));
  TZarnsVanilla v;
  ASSERT_TRUE(v.ReadWords(dir + "a.txt").ok);
  const std::string whole = Slurp(dir + "a.zxt");
  FaultFs fs;
  fs.maxReadChunk = 100;
  {
    FaultFs::Scope scope(fs);
    ASSERT_TRUE(v.ReadWords(dir + "a.txt").ok);
  }
  EXPECT_EQ(Slurp(dir + "a.zxt"), whole);
}

TEST(Vanilla, OutputNames) {
  EXPECT_EQ(TZarnsVanilla::OutputName("/d/report.doc"), "/d/report.zxt");
  EXPECT_EQ(TZarnsVanilla::OutputName("/d/archive.tar.gz"), "/d/archive.tar.zxt");
  // No dot in the file's own name: appended, even under a dotted directory.
  EXPECT_EQ(TZarnsVanilla::OutputName("/d/README"), "/d/README.zxt");
  EXPECT_EQ(TZarnsVanilla::OutputName("/home/a.b/notes"), "/home/a.b/notes.zxt");
  EXPECT_EQ(TZarnsVanilla::OutputName("notes"), "notes.zxt");
  // A .zxt source never gets its own name back.
  EXPECT_EQ(TZarnsVanilla::OutputName("/d/story.zxt"), "/d/story-text.zxt");
  EXPECT_EQ(TZarnsVanilla::OutputName("/d/story.ZXT"), "/d/story-text.zxt");
  EXPECT_EQ(TZarnsVanilla::OutputName("/d/story.zxtx"), "/d/story.zxt");
}

TEST(Vanilla, WritesBesideTheSource) {
  const std::string dir = TestEnv::FreshDir("beside");
  std::filesystem::create_directories(dir + "a.b");
  ASSERT_TRUE(WriteFile(dir + "a.b/notes", "plain words here"));
  std::string name = dir + "a.b/notes";
  TZarnsVanilla v;
  ASSERT_TRUE(v.ReadWords(name, name));  // the same buffer for both, as the command passes it
  EXPECT_EQ(name, dir + "a.b/notes.zxt");
  EXPECT_EQ(Slurp(name), "plain words here ");
  EXPECT_EQ(Entries(dir + "a.b"), (std::vector<std::string>{"notes", "notes.zxt"}));
}

TEST(Vanilla, AZxtSourceIsNeverEmptied) {
  const std::string dir = TestEnv::FreshDir("zxt");
  const std::string text = "my own document\r\nwith lines\r\n";
  ASSERT_TRUE(WriteFile(dir + "story.zxt", text));
  TZarnsVanilla v;
  VanillaResult r = v.ReadWords(dir + "story.zxt");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.output, dir + "story-text.zxt");
  EXPECT_EQ(Slurp(dir + "story.zxt"), text);
  EXPECT_EQ(Slurp(r.output), "my own document\r with lines\r ");
}

TEST(Vanilla, AnEarlierOutputIsReplaced) {
  const std::string dir = TestEnv::FreshDir("again");
  ASSERT_TRUE(WriteFile(dir + "r.doc", "fresh words"));
  ASSERT_TRUE(WriteFile(dir + "r.zxt", std::string(5000, 'x')));
  TZarnsVanilla v;
  ASSERT_TRUE(v.ReadWords(dir + "r.doc").ok);
  EXPECT_EQ(Slurp(dir + "r.zxt"), "fresh words ");
}

TEST(Vanilla, FailuresSaySoAndCreateNothing) {
  const std::string dir = TestEnv::FreshDir("fail");
  TZarnsVanilla v;
  VanillaResult r = v.ReadWords(dir + "missing.doc");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Cannot read"), std::string::npos) << r.error;
  EXPECT_FALSE(std::filesystem::exists(dir + "missing.zxt"));

  // A directory cannot be converted.
  std::filesystem::create_directories(dir + "sub.d");
  r = v.ReadWords(dir + "sub.d");
  EXPECT_FALSE(r.ok);

  // A directory where the output would go: no silent empty window.
  ASSERT_TRUE(WriteFile(dir + "x.doc", "some words"));
  std::filesystem::create_directories(dir + "x.zxt");
  r = v.ReadWords(dir + "x.doc");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("x.zxt"), std::string::npos) << r.error;
  EXPECT_EQ(Entries(dir), (std::vector<std::string>{"sub.d", "x.doc", "x.zxt"}));

  // A directory without write permission.
  if (geteuid() != 0) {
    std::filesystem::create_directories(dir + "ro");
    ASSERT_TRUE(WriteFile(dir + "ro/y.doc", "some words"));
    chmod((dir + "ro").c_str(), 0500);
    r = v.ReadWords(dir + "ro/y.doc");
    chmod((dir + "ro").c_str(), 0700);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("Cannot create"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("permission denied"), std::string::npos) << r.error;
    EXPECT_EQ(Entries(dir + "ro"), std::vector<std::string>{"y.doc"});
  }
}

// For every failing file operation: the earlier output or none, never a
// part, and no temporary file left.
TEST(VanillaFaults, EveryStep) {
  const std::string dir = TestEnv::FreshDir("vfaults");
  std::string in;
  for (int i = 0; i < 400; ++i) in += "word" + std::to_string(i) + " \x01\x02\xff ";
  const std::string before = "the earlier conversion";
  FaultFs fs;
  VanillaResult r;
  FaultSweep sweep;
  sweep.prepare = [&] {
    ASSERT_TRUE(WriteFile(dir + "in.bin", in));
    ASSERT_TRUE(WriteFile(dir + "in.zxt", before));
  };
  sweep.run = [&] { r = TZarnsVanilla().ReadWords(dir + "in.bin"); };
  std::string expected;
  sweep.check = [&](long n) {
    EXPECT_EQ(Slurp(dir + "in.bin"), in);
    if (r.ok) {
      EXPECT_NE(Slurp(dir + "in.zxt"), before) << n;
    } else {
      EXPECT_EQ(Slurp(dir + "in.zxt"), before) << n;
      EXPECT_FALSE(r.error.empty());
    }
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"in.bin", "in.zxt"})) << n;
  };
  const long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 8);  // open, create, mode, reads, writes, sync, rename
  RecordProperty("injection_points", static_cast<int>(points));
  ASSERT_TRUE(r.ok);
  // "wo" of word1 shares its group with 0xff and goes blank.
  EXPECT_EQ(Slurp(dir + "in.zxt").substr(0, 12), "word0 rd1 wo");
}

TEST(Vanilla, NewOutputIsAnOrdinaryDocument) {
  const std::string dir = TestEnv::FreshDir("mode");
  ASSERT_TRUE(WriteFile(dir + "m.doc", "some words"));
  const mode_t old = umask(022);
  TZarnsVanilla v;
  VanillaResult r = v.ReadWords(dir + "m.doc");
  umask(old);
  ASSERT_TRUE(r.ok);
  struct stat st;
  ASSERT_EQ(stat(r.output.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(VanillaWordsPass, PendingCarriesAcrossBlocks) {
  VanillaWords w;
  unsigned char a[] = "xy zz";
  EXPECT_EQ(w.Block(a, 5), "");
  EXPECT_EQ(w.Pending(), "xy zz ");
  unsigned char b[] = "more";
  EXPECT_EQ(w.Block(b, 4), "xy zz more ");
  EXPECT_EQ(w.Pending(), "");
}

TEST(VanillaClean, OnlyPrintableAndCarriageReturnsRemain) {
  unsigned char block[1024];
  for (int round = 0; round < 256; ++round) {
    for (int i = 0; i < 1024; ++i)
      block[i] = static_cast<unsigned char>((i * 7 + round * 31) & 0xFF);
    CleanBlock(block, 1024);
    for (unsigned char c : block) ASSERT_TRUE((c >= 0x20 && c <= 0x7F) || c == 0x0D);
  }
}
