// One file cut into words by the catalog's reader, straight from a descriptor.
#include "catalog/wordreader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/testenv.h"

namespace {

std::vector<std::string> Texts(const std::vector<wordscan::RawWord>& w, std::uint32_t n) {
  std::vector<std::string> out;
  for (std::uint32_t i = 0; i < n; ++i)
    out.emplace_back(reinterpret_cast<const char*>(w[i].b), w[i].b[wordscan::RawWord::kLen]);
  return out;
}

class WordReaderTest : public ::testing::Test {
 protected:
  // The words of `text` read from a file, given its size (0: unknown).
  std::vector<std::string> FromFile(const std::string& text, bool sizeKnown = true) {
    std::string path = TestEnv::FreshDir("reader") + "f.txt";
    std::ofstream(path, std::ios::binary) << text;
    int fd = ::open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    std::uint32_t n = reader_.Read(fd, sizeKnown ? text.size() : 0, words_.data());
    ::close(fd);
    return Texts(words_, n);
  }
  // The same through a pipe, which has no size.
  std::vector<std::string> FromPipe(const std::string& text) {
    int p[2];
    EXPECT_EQ(::pipe(p), 0);
    EXPECT_EQ(::write(p[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(p[1]);
    std::uint32_t n = reader_.Read(p[0], 0, words_.data());
    ::close(p[0]);
    return Texts(words_, n);
  }
  WordReader reader_;
  std::vector<wordscan::RawWord> words_ = std::vector<wordscan::RawWord>(kMaxFileWords);
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

}  // namespace

TEST_F(WordReaderTest, WordsAsReadInFileOrderWithRepeats) {
  // Case is kept (the writer folds it); lengths 4 to 20 only.
  EXPECT_EQ(FromFile("Tree the tree TREES abc abcd twentyletterslongxxx twentyoneletterslongxx"),
            (std::vector<std::string>{"Tree", "tree", "TREES", "abcd", "twentyletterslongxxx"}));
}

TEST_F(WordReaderTest, TheSameWordsWhetherTheSizeIsKnownOrNot) {
  std::string text = Repeat("alpha Bravo charlie delta ", 300) + "closing words here";
  ASSERT_GT(text.size(), 3 * static_cast<std::size_t>(kReadChunk));
  auto known = FromFile(text);
  EXPECT_EQ(known.size(), 1203u);
  EXPECT_EQ(known.back(), "here");
  EXPECT_EQ(FromFile(text, false), known);
  EXPECT_EQ(FromPipe(text), known);
}

TEST_F(WordReaderTest, ARunTooLongForAWordAcrossAPieceBoundaryGivesNoWord) {
  // 40 letters from byte 2025: cut by the first piece's end, carried over
  // only as a fragment that stays too long; neither part becomes a word.
  std::string text = Repeat("lion ", 405) + std::string(40, 'x') + " tiger tiger tiger";
  ASSERT_EQ(text.substr(2025, 40), std::string(40, 'x'));
  auto words = FromFile(text);
  ASSERT_EQ(words.size(), 408u);
  EXPECT_EQ(words[404], "lion");
  EXPECT_EQ(words[405], "tiger");
  // The same when the run ends exactly at the piece's end.
  text = Repeat("lion ", 405) + std::string(23, 'x') + " tiger tiger tiger";
  words = FromFile(text);
  ASSERT_EQ(words.size(), 408u);
  EXPECT_EQ(words[405], "tiger");
  // A 20-letter word across the boundary is taken whole.
  text = Repeat("lion ", 408) + std::string(20, 'y') + " tiger tiger tiger";
  words = FromFile(text);
  ASSERT_EQ(words.size(), 412u);
  EXPECT_EQ(words[408], std::string(20, 'y'));
}

TEST_F(WordReaderTest, StopsAtTheWordLimitAndAfterAPoorPiece) {
  std::string many;
  for (int i = 0; i < 4000; ++i) many += "wordy ";
  EXPECT_EQ(FromFile(many).size(), static_cast<std::size_t>(kMaxFileWords));
  // A first piece with two words: the rest of the file is not read.
  std::string poor = "alpha beta" + std::string(kReadChunk, ' ') + "gamma delta epsilon";
  EXPECT_EQ(FromPipe(poor), (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_TRUE(FromFile("").empty());
}
