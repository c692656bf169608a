// The order of names in every list the user reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/psort.h"

using plat::NoCaseLess;

TEST(NoCaseOrder, LettersIgnoreCase) {
  std::vector<std::string> v = {"beta", "Alpha", "alpha2", "ALPHA", "Gamma", "delta"};
  plat::SortNoCase(v);
  EXPECT_EQ(v, (std::vector<std::string>{"ALPHA", "Alpha", "alpha2", "beta", "delta", "Gamma"}));
}

TEST(NoCaseOrder, PrefixFirstAndStrictWeakOrder) {
  EXPECT_TRUE(NoCaseLess("ab", "ABC"));
  EXPECT_FALSE(NoCaseLess("ABC", "ab"));
  EXPECT_FALSE(NoCaseLess("same", "same"));
  EXPECT_FALSE(NoCaseLess("", ""));
  EXPECT_TRUE(NoCaseLess("", "a"));
  // Case-only differences: one fixed order, never both ways.
  EXPECT_NE(NoCaseLess("Abc", "abc"), NoCaseLess("abc", "Abc"));
}

TEST(NoCaseOrder, PunctuationAndHighBytesStayInByteOrder) {
  // Letters fold down, so '_' (0x5F) sorts before every letter and '~' after.
  EXPECT_TRUE(NoCaseLess("_x", "A"));
  EXPECT_TRUE(NoCaseLess("z", "~"));
  EXPECT_TRUE(NoCaseLess("Z", "\xC3\xA9"));  // bytes above 0x7F after ASCII
  EXPECT_TRUE(NoCaseLess("9", "a"));
  std::vector<std::string> v = {"\xC3\xA9t\xC3\xA9", "Zoo", "_tmp", "2nd", "apple"};
  plat::SortNoCase(v);
  EXPECT_EQ(v, (std::vector<std::string>{"2nd", "_tmp", "apple", "Zoo", "\xC3\xA9t\xC3\xA9"}));
}
