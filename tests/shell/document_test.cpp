// Text documents: what was loaded is what is saved.
#include <gtest/gtest.h>

#include <random>

#include "common/testenv.h"
#include "common/testfiles.h"
#include "shell/document.h"
#include "zarn/memtextbuf.h"

namespace {

using LE = TextDocument::LineEnding;

}  // namespace

TEST(TextDocument, DetectsTheFileFacts) {
  TextDocument d;
  d.SetBytes("a\nb\n");
  EXPECT_EQ(d.Ending(), LE::LF);
  EXPECT_TRUE(d.HasFinalBreak());
  EXPECT_FALSE(d.MixedEndings());
  EXPECT_EQ(d.Text(), "a\r\nb\r\n");

  d.SetBytes("a\r\nb");
  EXPECT_EQ(d.Ending(), LE::CRLF);
  EXPECT_FALSE(d.HasFinalBreak());

  d.SetBytes("a\rb\r");
  EXPECT_EQ(d.Ending(), LE::CR);
  EXPECT_EQ(d.Text(), "a\r\nb\r\n");

  d.SetBytes("a\r\nb\nc\nd\r\n");  // two each: the first seen wins
  EXPECT_EQ(d.Ending(), LE::CRLF);
  EXPECT_TRUE(d.MixedEndings());
  d.SetBytes("a\nb\r\nc\r\nd\r");  // the majority wins
  EXPECT_EQ(d.Ending(), LE::CRLF);

  d.SetBytes("no breaks");
  EXPECT_EQ(d.Ending(), LE::LF);
  EXPECT_FALSE(d.HasFinalBreak());
}

TEST(TextDocument, Utf8Validity) {
  EXPECT_TRUE(TextDocument::IsValidUtf8("plain"));
  EXPECT_TRUE(TextDocument::IsValidUtf8("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"));
  EXPECT_FALSE(TextDocument::IsValidUtf8("caf\xe9"));           // Latin-1
  EXPECT_FALSE(TextDocument::IsValidUtf8("\xc0\xaf"));          // overlong
  EXPECT_FALSE(TextDocument::IsValidUtf8("\xed\xa0\x80"));      // surrogate
  EXPECT_FALSE(TextDocument::IsValidUtf8("\xf4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(TextDocument::IsValidUtf8("\xe2\x82"));          // cut short
  EXPECT_FALSE(TextDocument::IsValidUtf8("\x80"));
  EXPECT_TRUE(TextDocument::IsValidUtf8(std::string("a\0b", 3)));
  TextDocument d;
  d.SetBytes("\xe9t\xe9");
  EXPECT_FALSE(d.IsUtf8());
}

TEST(TextDocument, UneditedSaveGivesBackTheSameBytes) {
  std::string dir = TestEnv::FreshDir("doc");
  std::mt19937 rng(11);
  std::vector<std::string> samples = {"",
                                      "\r",
                                      "\n",
                                      "\r\n",
                                      "\n\r",
                                      "a\r\r\nb\n\rc",
                                      std::string("nul\0inside\r\n", 12),
                                      "\xff\xfe\x00\x41",
                                      "mixed\r\nends\nhere\rand\r\n"};
  for (int i = 0; i < 50; ++i) {
    std::string s;
    for (int k = 0; k < 200; ++k) s += static_cast<char>(rng() % 256);
    samples.push_back(s);
  }
  for (const auto& bytes : samples) {
    std::string f = dir + "f.txt";
    WriteFile(f, bytes);
    TextDocument d;
    ASSERT_TRUE(d.Load(f));
    MemoryTextBuffer buf(d.Text());
    ASSERT_TRUE(d.Save(buf.GetText()));
    EXPECT_EQ(Slurp(f), bytes);
  }
}

TEST(TextDocument, EditedTextKeepsTheFileStyle) {
  std::string dir = TestEnv::FreshDir("edit");
  struct Case {
    std::string in, out;
  } cases[] = {
      {"one\ntwo\n", "one!\nTWO\nthree\n"},
      {"one\r\ntwo\r\n", "one!\r\nTWO\r\nthree\r\n"},
      {"one\rtwo\r", "one!\rTWO\rthree\r"},
  };
  for (const auto& c : cases) {
    std::string f = dir + "e.txt";
    WriteFile(f, c.in);
    TextDocument d;
    ASSERT_TRUE(d.Load(f));
    MemoryTextBuffer b(d.Text());
    b.SetSelection(3, 3);
    b.Insert("!");
    b.SetSelection(6, 9);
    b.Insert("TWO");
    b.SetSelection(b.GetTextLength(), b.GetTextLength());
    b.Insert("three\n");  // a lone LF typed or pasted in
    ASSERT_TRUE(d.Save(b.GetText()));
    EXPECT_EQ(Slurp(f), c.out);
    // The saved file is the new original.
    EXPECT_EQ(d.Bytes(), c.out);
    EXPECT_EQ(d.ToBytes(d.Text()), c.out);
  }
}

TEST(TextDocument, LoadAndSaveFailures) {
  std::string dir = TestEnv::FreshDir("fail");
  TextDocument d;
  EXPECT_FALSE(d.Load(dir + "missing"));
  EXPECT_FALSE(d.Load(dir));  // a directory is no document
  EXPECT_FALSE(d.Save("x"));  // no path yet
  EXPECT_TRUE(d.SaveAs(dir + "new.txt", "a\r\nb"));
  EXPECT_EQ(Slurp(dir + "new.txt"), "a\nb");
  EXPECT_EQ(d.Path(), dir + "new.txt");
  EXPECT_FALSE(d.SaveAs(dir + "no/such/dir.txt", "x"));
  EXPECT_EQ(d.Path(), dir + "new.txt");
}
