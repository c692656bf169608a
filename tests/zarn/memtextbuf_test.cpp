// The in-memory text buffer: edit-control semantics with CR LF offsets.
#include <gtest/gtest.h>

#include <random>

#include "zarn/memtextbuf.h"

namespace {

// Line starts computed from scratch, to check the incremental index.
std::vector<std::uint32_t> Starts(const std::string& t) {
  std::vector<std::uint32_t> s{0};
  for (std::size_t i = 0; i + 1 < t.size(); ++i)
    if (t[i] == '\r' && t[i + 1] == '\n') s.push_back(static_cast<std::uint32_t>(i + 2));
  return s;
}

void ExpectConsistent(const MemoryTextBuffer& b) {
  auto s = Starts(b.GetText());
  ASSERT_EQ(b.GetNumLines(), static_cast<int>(s.size()));
  for (std::size_t i = 0; i < s.size(); ++i)
    ASSERT_EQ(b.GetLineIndex(static_cast<int>(i)), s[i]) << i;
}

}  // namespace

TEST(MemoryTextBuffer, LinesCountBreaksAsTwoCharacters) {
  MemoryTextBuffer b("one\r\ntwo\r\n\r\nfour");
  EXPECT_EQ(b.GetNumLines(), 4);
  EXPECT_EQ(b.GetTextLength(), 16u);
  EXPECT_EQ(b.GetLineIndex(0), 0u);
  EXPECT_EQ(b.GetLineIndex(1), 5u);
  EXPECT_EQ(b.GetLineIndex(2), 10u);
  EXPECT_EQ(b.GetLineIndex(3), 12u);
  EXPECT_EQ(b.GetLineIndex(4), kNoPos);
  EXPECT_EQ(b.GetLineIndex(-7), kNoPos);
  EXPECT_EQ(b.GetLineLength(1), 3);
  EXPECT_EQ(b.GetLineLength(2), 0);
  EXPECT_EQ(b.GetLineLength(3), 4);
  EXPECT_EQ(b.GetLineLength(9), 0);
  EXPECT_EQ(b.GetSubText(3, 8), "\r\ntwo");

  MemoryTextBuffer empty;
  EXPECT_EQ(empty.GetNumLines(), 1);
  EXPECT_EQ(empty.GetLineIndex(0), 0u);
  EXPECT_EQ(empty.GetLineIndex(-1), 0u);

  MemoryTextBuffer trailing("a\r\n");
  EXPECT_EQ(trailing.GetNumLines(), 2);
  EXPECT_EQ(trailing.GetLineIndex(1), 3u);
}

TEST(MemoryTextBuffer, LoneBreaksBecomeCrLf) {
  MemoryTextBuffer b("a\nb\rc\r\nd\n\re");
  EXPECT_EQ(b.GetText(), "a\r\nb\r\nc\r\nd\r\n\r\ne");
  EXPECT_EQ(b.GetNumLines(), 6);
  b.SetSelection(1, 1);
  b.Insert("x\ny");
  EXPECT_EQ(b.GetSubText(0, 7), "ax\r\ny\r\n");
  ExpectConsistent(b);
}

TEST(MemoryTextBuffer, CaretLineAndLineCopy) {
  MemoryTextBuffer b("alpha\r\nbeta gamma\r\n");
  b.SetSelection(9, 12);
  std::uint32_t s, e;
  b.GetSelection(s, e);
  EXPECT_EQ(s, 9u);
  EXPECT_EQ(e, 12u);
  EXPECT_EQ(b.GetLineFromPos(), 1);
  EXPECT_EQ(b.GetLineIndex(-1), 7u);
  EXPECT_EQ(b.GetLineLength(-1), 10);
  // The caret at the very start of a line belongs to that line.
  b.SetSelection(7, 7);
  EXPECT_EQ(b.GetLineFromPos(), 1);
  b.SetSelection(19, 19);
  EXPECT_EQ(b.GetLineFromPos(), 2);

  std::string out = "junk";
  EXPECT_TRUE(b.GetLine(1, 11, out));
  EXPECT_EQ(out, "beta gamma");
  EXPECT_FALSE(b.GetLine(1, 10, out));  // longer than size - 1: no room to terminate
  EXPECT_EQ(out, "beta gamma");
  EXPECT_FALSE(b.GetLine(1, 9, out));
  EXPECT_EQ(out, "beta gamm");
  EXPECT_FALSE(b.GetLine(1, 0, out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(b.GetLine(2, 80, out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(b.GetLine(3, 80, out));
  // A buffer of 80 never receives more than 80 characters.
  MemoryTextBuffer longLine(std::string(500, 'z'));
  EXPECT_FALSE(longLine.GetLine(0, 80, out));
  EXPECT_EQ(out.size(), 80u);
  MemoryTextBuffer exact(std::string(79, 'z'));
  EXPECT_TRUE(exact.GetLine(0, 80, out));
  EXPECT_EQ(out.size(), 79u);
}

TEST(MemoryTextBuffer, DeleteAndInsertMoveTheCaret) {
  MemoryTextBuffer b("3 + 4\r\nnext");
  b.DeleteSubText(0, 5);
  std::uint32_t s, e;
  b.GetSelection(s, e);
  EXPECT_EQ(s, 0u);
  EXPECT_EQ(e, 0u);
  b.Insert("7");
  EXPECT_EQ(b.GetText(), "7\r\nnext");
  b.GetSelection(s, e);
  EXPECT_EQ(s, 1u);
  // Insert replaces the selection.
  b.SetSelection(3, 7);
  b.Insert("line\r\ntwo");
  EXPECT_EQ(b.GetText(), "7\r\nline\r\ntwo");
  b.GetSelection(s, e);
  EXPECT_EQ(s, 12u);
  EXPECT_EQ(e, 12u);
  // Reversed and out-of-range offsets are put in order and clamped.
  b.DeleteSubText(100, 9);
  EXPECT_EQ(b.GetText(), "7\r\nline\r\n");
  b.SetSelection(50, 2);
  b.GetSelection(s, e);
  EXPECT_EQ(s, 1u);  // 2 falls inside a break and moves to its CR
  EXPECT_EQ(e, 9u);
  EXPECT_EQ(b.GetSubText(5, 2), "");
  EXPECT_EQ(b.GetSubText(6, 100), "e\r\n");
  ExpectConsistent(b);
  EXPECT_TRUE(b.IsModified());
}

TEST(MemoryTextBuffer, BreaksAreNeverSplit) {
  MemoryTextBuffer b("ab\r\ncd");
  b.DeleteSubText(3, 5);  // from inside the break: starts at its CR
  EXPECT_EQ(b.GetText(), "abd");
  ExpectConsistent(b);
  MemoryTextBuffer c("ab\r\ncd");
  c.SetSelection(3, 3);
  c.Insert("X");
  EXPECT_EQ(c.GetText(), "abX\r\ncd");
  ExpectConsistent(c);
}

TEST(MemoryTextBuffer, IncrementalIndexMatchesARebuild) {
  std::mt19937 rng(7);
  MemoryTextBuffer b("start\r\n");
  const char* pieces[] = {"x", "\r\n", "ab\r\ncd", "", "\n\n", "long line of text", "\r"};
  for (int i = 0; i < 2000; ++i) {
    std::uint32_t len = b.GetTextLength();
    std::uint32_t p = len ? rng() % (len + 1) : 0;
    std::uint32_t q = len ? rng() % (len + 1) : 0;
    if (rng() % 3 == 0) {
      b.DeleteSubText(p, q);
    } else {
      b.SetSelection(p, rng() % 4 == 0 ? q : p);
      b.Insert(pieces[rng() % 7]);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectConsistent(b)) << "step " << i;
    // Never a lone CR or LF.
    const std::string t = b.GetText();
    for (std::size_t k = 0; k < t.size(); ++k) {
      if (t[k] == '\r') {
        ASSERT_TRUE(k + 1 < t.size() && t[k + 1] == '\n') << i;
      }
      if (t[k] == '\n') {
        ASSERT_TRUE(k > 0 && t[k - 1] == '\r') << i;
      }
    }
  }
}

TEST(MemoryTextBuffer, BinaryBytesSurvive) {
  std::string raw("a\0b\xff\xfe", 5);
  MemoryTextBuffer b(raw);
  EXPECT_EQ(b.GetText(), raw);
  EXPECT_EQ(b.GetTextLength(), 5u);
  b.SetSelection(5, 5);
  b.Insert(std::string("\0", 1));
  EXPECT_EQ(b.GetText(), raw + std::string("\0", 1));
}

TEST(MemoryTextBuffer, LineLengthByAnyOffsetOfTheLine) {
  MemoryTextBuffer b("one\r\ntwo two\r\n\r\nfour");
  // Every offset of a line, its break included, names that line.
  const int want[] = {3, 3, 3, 3, 3, 7, 7, 7, 7, 7, 7, 7, 7, 7, 0, 0, 4, 4, 4, 4, 4};
  for (std::uint32_t p = 0; p < sizeof want / sizeof want[0]; ++p)
    EXPECT_EQ(b.GetLineLengthAt(p), want[p]) << p;
  // Past the end: the last line.
  EXPECT_EQ(b.GetLineLengthAt(500), 4);
  EXPECT_EQ(MemoryTextBuffer("").GetLineLengthAt(0), 0);
  // The caret line is copied as line -1.
  b.SetSelection(9, 9);
  std::string line;
  EXPECT_TRUE(b.GetLine(-1, 80, line));
  EXPECT_EQ(line, "two two");
}
