// Line-break conversion shared by documents and text buffers.
#include <gtest/gtest.h>

#include <random>

#include "platform/ptext.h"

using plat::ReplaceBreaks;
using plat::ToCrLf;

TEST(LineBreaks, EveryStyleBecomesCrLf) {
  EXPECT_EQ(ToCrLf("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(ToCrLf("\n\n"), "\r\n\r\n");
  EXPECT_EQ(ToCrLf("\r\r"), "\r\n\r\n");
  EXPECT_EQ(ToCrLf("end\r"), "end\r\n");  // a CR at the very end is a break too
  EXPECT_EQ(ToCrLf(""), "");
  EXPECT_EQ(ToCrLf("no breaks"), "no breaks");
}

TEST(LineBreaks, PairsAreReadLeftToRight) {
  // CR CR LF is a lone CR, then a CR LF; LF CR is two breaks.
  EXPECT_EQ(ToCrLf("a\r\r\nb"), "a\r\n\r\nb");
  EXPECT_EQ(ToCrLf("a\n\rb"), "a\r\n\r\nb");
  EXPECT_EQ(ReplaceBreaks("a\r\r\nb\n\rc", "\n"), "a\n\nb\n\nc");
}

TEST(LineBreaks, OtherBytesPass) {
  const std::string bytes("x\0y\xff\x1a\t", 6);
  EXPECT_EQ(ToCrLf(bytes), bytes);
  EXPECT_EQ(ToCrLf(std::string("\0\n\0", 3)), std::string("\0\r\n\0", 4));
}

TEST(LineBreaks, AnyBreakStringAndBack) {
  EXPECT_EQ(ReplaceBreaks("a\r\nb\rc\nd", "\r"), "a\rb\rc\rd");
  EXPECT_EQ(ReplaceBreaks("a\r\nb\rc\nd", ""), "abcd");
  EXPECT_EQ(ReplaceBreaks("a\r\nb", "<br>"), "a<br>b");
  // Converting to CR LF and back to LF gives the LF form of any text.
  std::mt19937 rng(7);
  const char alphabet[] = {'a', '\r', '\n', 'b', '\0'};
  for (int round = 0; round < 200; ++round) {
    std::string s;
    const int n = static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) s += alphabet[rng() % 5];
    const std::string lf = ReplaceBreaks(s, "\n");
    EXPECT_EQ(ReplaceBreaks(ToCrLf(s), "\n"), lf);
    EXPECT_EQ(ToCrLf(ToCrLf(s)), ToCrLf(s));  // CR LF text stays as it is
    EXPECT_EQ(lf.find('\r'), std::string::npos);
  }
}
