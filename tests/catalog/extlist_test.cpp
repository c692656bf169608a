// Which listed extension a file name is taken under.
#include "catalog/extlist.h"

#include <gtest/gtest.h>

namespace {
ExtensionList Of(std::initializer_list<const char*> exts) {
  ExtensionList l;
  for (const char* e : exts) l.Add(e);
  return l;
}
}  // namespace

TEST(ExtensionList, TheFirstListedExtensionWinsNotTheLongest) {
  EXPECT_EQ(Of({".gz", ".tar.gz"}).FirstMatch("a.tar.gz"), 0);
  EXPECT_EQ(Of({".tar.gz", ".gz"}).FirstMatch("a.tar.gz"), 0);
  EXPECT_EQ(Of({".tar.gz", ".gz"}).FirstMatch("a.gz"), 1);
  EXPECT_EQ(Of({".md", ".txt", ".gz"}).FirstMatch("notes.txt.gz"), 2);
}

TEST(ExtensionList, WholeSuffixesOnly) {
  ExtensionList l = Of({".txt"});
  EXPECT_EQ(l.FirstMatch("a.txt"), 0);
  EXPECT_EQ(l.FirstMatch("a.b.txt"), 0);
  EXPECT_EQ(l.FirstMatch(".txt"), 0);
  EXPECT_EQ(l.FirstMatch("a.txt.bak"), -1);
  EXPECT_EQ(l.FirstMatch("atxt"), -1);
  EXPECT_EQ(l.FirstMatch("a.xtxt"), -1);
  EXPECT_EQ(l.FirstMatch(""), -1);
}

TEST(ExtensionList, ExtensionsWithoutADotMatchAnyNameEnding) {
  // They are compared one by one, and still in list order with the dotted ones.
  ExtensionList l = Of({".txt", "c", ".c"});
  EXPECT_EQ(l.FirstMatch("abc"), 1);
  EXPECT_EQ(l.FirstMatch("x.c"), 1);
  EXPECT_EQ(l.FirstMatch("x.txt"), 0);
  EXPECT_EQ(Of({".c", "c"}).FirstMatch("x.c"), 0);
  EXPECT_EQ(Of({".txt", "xt"}).FirstMatch("a.txt"), 0);
  EXPECT_EQ(Of({"xt", ".txt"}).FirstMatch("a.txt"), 0);
}

TEST(ExtensionList, CaseAndRepeatsAndEmptyEntries) {
  ExtensionList l;
  EXPECT_TRUE(l.Add(".TXT"));
  EXPECT_FALSE(l.Add(".txt"));  // already listed, in another case
  EXPECT_FALSE(l.Add(""));
  EXPECT_TRUE(l.Add(".Exe", true));
  EXPECT_EQ(l.size(), 2u);
  EXPECT_EQ(l.FirstMatch(ExtensionList::Lower("README.TXT")), 0);
  EXPECT_EQ(l.FirstMatch("setup.exe"), 1);
  EXPECT_FALSE(l.Exe(0));
  EXPECT_TRUE(l.Exe(1));
  // Only ASCII letters change case.
  EXPECT_EQ(ExtensionList::Lower("A\xC4Z@[`"), "a\xC4z@[`");
  // Repeats without a dot too; a dotted and an undotted spelling differ.
  EXPECT_TRUE(l.Add("Backup~"));
  EXPECT_FALSE(l.Add("BACKUP~"));
  EXPECT_TRUE(l.Add("txt"));
  EXPECT_EQ(l.size(), 4u);
  // A database's worth of extensions, each repeated: every first one kept,
  // in order.
  ExtensionList big;
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 3000; ++i)
      EXPECT_EQ(big.Add((i % 2 ? "." : "x") + std::to_string(i)), round == 0) << i;
  EXPECT_EQ(big.size(), 3000u);
  EXPECT_EQ(big.FirstMatch("song.2997"), 2997);
  EXPECT_EQ(big.FirstMatch("ax2999"), -1);
  EXPECT_EQ(big.FirstMatch("ax2998"), 2998);
}
