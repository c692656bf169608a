#include "platform/pbytes.h"

#include <gtest/gtest.h>

using namespace plat;

// Only ASCII letters fold: bytes above 127 (Latin-1 or UTF-8) and the
// punctuation between 'Z' and 'a' compare as they are.
TEST(AsciiCase, FoldsLettersOnly) {
  EXPECT_EQ(AsciiLower(std::string("MiXeD.TXT \xC4\xD6[\\]^_`@")), "mixed.txt \xC4\xD6[\\]^_`@");
  EXPECT_EQ(CompareNoCase("Apple", "apple"), 0);
  EXPECT_LT(CompareNoCase("apple", "Both"), 0);
  EXPECT_LT(CompareNoCase("ab", "ABC"), 0);         // a prefix sorts first
  EXPECT_GT(CompareNoCase("\xE9t\xE9", "zoo"), 0);  // high bytes after every ASCII letter
  EXPECT_GT(CompareNoCase("Z", "_"), 0);  // compared as 'z' (122), not 'Z' (90): after '_' (95)
  EXPECT_TRUE(EqualsNoCase("Content Type", "CONTENT TYPE"));
  EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
}

TEST(AsciiCase, EndsWithTakesALowerCaseSuffix) {
  EXPECT_TRUE(EndsWithNoCase("Report.TXT", ".txt"));
  EXPECT_TRUE(EndsWithNoCase(".txt", ".txt"));
  EXPECT_FALSE(EndsWithNoCase("txt", ".txt"));
  EXPECT_TRUE(EndsWithNoCase("anything", ""));
  EXPECT_FALSE(EndsWithNoCase("a.TXT", ".TXT"));  // the suffix itself is not folded
}

TEST(LittleEndian, RoundTripsAndStoresLowByteFirst) {
  unsigned char b[4];
  for (std::uint32_t v : {0u, 1u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu}) {
    PutLE32(b, v);
    EXPECT_EQ(b[0], v & 0xFF);
    EXPECT_EQ(b[3], v >> 24);
    EXPECT_EQ(GetLE32(b), v);
  }
  const char bytes[] = {'\x78', '\x56', '\x34', '\x12'};
  EXPECT_EQ(GetLE32(bytes), 0x12345678u);  // signed chars read as bytes
}
