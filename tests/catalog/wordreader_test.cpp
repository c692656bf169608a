// One file cut into words by the catalog's reader, straight from a descriptor.
#include "catalog/wordreader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
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

namespace {

// The words of `bytes` cut as the catalog cuts them, piece by piece
// (kReadChunk bytes each), written the plain way: what the reader must give
// however large its reads are.
std::vector<std::string> CutByPieces(const std::string& bytes) {
  std::vector<std::string> words;
  std::string fragment;  // a run cut by the end of the previous full piece
  for (std::size_t off = 0; off < bytes.size(); off += kReadChunk) {
    const std::string piece = bytes.substr(off, kReadChunk);
    // Groups of four from the piece's start: one with a byte of 0x80 or
    // above is blanked; otherwise a byte with bit 0x40 is a letter.
    std::vector<bool> letter(piece.size());
    for (std::size_t g = 0; g < piece.size(); g += 4) {
      bool high = false;
      for (std::size_t i = g; i < std::min(g + 4, piece.size()); ++i)
        high |= static_cast<unsigned char>(piece[i]) >= 0x80;
      for (std::size_t i = g; i < std::min(g + 4, piece.size()); ++i) {
        const unsigned char c = static_cast<unsigned char>(piece[i]);
        const unsigned char v = (c & 0x40) ? (c | 0x20) : ' ';
        letter[i] = !high && v >= 0x60 && v <= 0x7A;
      }
    }
    const std::string text = fragment + piece;
    std::vector<bool> isWord(fragment.size(), true);
    isWord.insert(isWord.end(), letter.begin(), letter.end());
    const bool full = piece.size() == kReadChunk;
    fragment.clear();
    int taken = 0;
    for (std::size_t i = 0; i < text.size() && words.size() < kMaxFileWords;) {
      if (!isWord[i]) {
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j < text.size() && isWord[j]) ++j;
      if (full && j == text.size()) {
        fragment = text.substr(i, std::min<std::size_t>(j - i, WordReader::kMaxWordLen + 1));
        break;
      }
      if (j - i >= WordReader::kMinWordLen && j - i <= WordReader::kMaxWordLen) {
        words.push_back(text.substr(i, j - i));
        ++taken;
      }
      i = j;
    }
    if (taken < 3 || words.size() >= kMaxFileWords) break;
  }
  return words;
}

// Text of words of 1 to 24 letters and separators, with now and then a
// byte of 0x80 or above; the same for the same seed.
std::string RandomText(std::size_t size, unsigned seed) {
  std::uint32_t x = seed * 2654435761u + 1;
  const auto next = [&] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  std::string out;
  while (out.size() < size) {
    const std::uint32_t r = next();
    if (r % 50 == 0) out.push_back(static_cast<char>(0x80 + r % 100));
    const std::size_t len = 1 + next() % (r % 7 == 0 ? 24 : 9);
    for (std::size_t i = 0; i < len; ++i)
      out.push_back(static_cast<char>((next() % 3 ? 'a' : 'A') + next() % 26));
    out.push_back(" .,\n-"[next() % 5]);
  }
  out.resize(size);
  return out;
}

}  // namespace

TEST_F(WordReaderTest, ReadsInBlocksGiveTheWordsOfPieceByPieceCutting) {
  // Sizes around the piece and block sizes, short files and long ones.
  const std::size_t c = kReadChunk;
  for (std::size_t size : {std::size_t{0}, std::size_t{3}, std::size_t{700}, c - 1, c, c + 1,
                           3 * c + 17, 16 * c - 5, 16 * c, 16 * c + 1, 33 * c + 100, 40 * c}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      const std::string text = RandomText(size, seed);
      const auto expected = CutByPieces(text);
      EXPECT_EQ(FromFile(text), expected) << size << " " << seed;
      EXPECT_EQ(FromFile(text, false), expected) << size << " " << seed;
    }
  }
}

TEST_F(WordReaderTest, WordsCutByEveryPieceEndOfABlockAreCarriedOver) {
  // A 10-letter word across every piece boundary of two blocks' worth of
  // text, and a 30-letter run across some: taken whole, and never taken.
  std::string text;
  int n = 0;
  while (text.size() < 40 * kReadChunk) {
    const std::size_t toEnd = kReadChunk - text.size() % kReadChunk;
    if (toEnd == 5) {
      text += (n++ % 4 == 3) ? std::string(30, 'q') : "crossovers";
      text += ' ';
    } else {
      text += toEnd > 50 ? "dogs" + std::string(41, ' ') : " ";
    }
  }
  const auto words = FromFile(text);
  EXPECT_EQ(words, CutByPieces(text));
  EXPECT_GT(std::count(words.begin(), words.end(), "crossovers"), 10);
}

TEST_F(WordReaderTest, AFileThatGrewOrShrankSinceItsSizeWasTakenIsReadAsPieceByPiece) {
  const std::string text = RandomText(20 * kReadChunk + 300, 7);
  // Grew: read to the end of the piece holding the old size's last byte.
  for (std::size_t oldSize : {std::size_t{100}, std::size_t{kReadChunk},
                              std::size_t{5 * kReadChunk + 1}, std::size_t{17 * kReadChunk - 1}}) {
    const std::size_t seen = (oldSize + kReadChunk - 1) / kReadChunk * kReadChunk;
    std::string path = TestEnv::FreshDir("reader") + "g.txt";
    std::ofstream(path, std::ios::binary) << text;
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::uint32_t got = reader_.Read(fd, oldSize, words_.data());
    ::close(fd);
    EXPECT_EQ(Texts(words_, got), CutByPieces(text.substr(0, seen))) << oldSize;
  }
  // Shrank: read until a read returns nothing.
  std::string path = TestEnv::FreshDir("reader") + "s.txt";
  std::ofstream(path, std::ios::binary) << text;
  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  const std::uint32_t got = reader_.Read(fd, text.size() * 3, words_.data());
  ::close(fd);
  EXPECT_EQ(Texts(words_, got), CutByPieces(text));
}

TEST_F(WordReaderTest, AReadFromTheMiddleOfAFileCutsPiecesFromThere) {
  // The reader starts where the descriptor is; a pipe delivers what was
  // written in whatever amounts it likes, and gives the same words.
  const std::string text = RandomText(9 * kReadChunk + 50, 11);
  std::string path = TestEnv::FreshDir("reader") + "m.txt";
  std::ofstream(path, std::ios::binary) << text;
  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::lseek(fd, 1000, SEEK_SET), 1000);
  const std::uint32_t got = reader_.Read(fd, 0, words_.data());
  ::close(fd);
  EXPECT_EQ(Texts(words_, got), CutByPieces(text.substr(1000)));
  EXPECT_EQ(FromPipe(text), CutByPieces(text));
}
