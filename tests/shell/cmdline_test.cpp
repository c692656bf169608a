// The program's command line: options before "--open", file names after it.
#include <gtest/gtest.h>

#include <random>

#include "shell/cmdline.h"

TEST(CommandLine, FilesComeOnlyAfterOpen) {
  CommandLine c = ParseCommandLine({});
  EXPECT_EQ(c.options, "");
  EXPECT_TRUE(c.files.empty());

  c = ParseCommandLine({"-x", "notes.txt"});
  EXPECT_EQ(c.options, "-x notes.txt");
  EXPECT_TRUE(c.files.empty());

  // After "--open" everything is a name, even what looks like an option or a
  // second "--open".
  c = ParseCommandLine({"/u", "--open", "a b.txt", "-u", "--open"});
  EXPECT_EQ(c.options, "/u");
  EXPECT_EQ(c.files, (std::vector<std::string>{"a b.txt", "-u", "--open"}));
  EXPECT_TRUE(HasUnregisterOption(c.options));

  c = ParseCommandLine({"--open"});
  EXPECT_EQ(c.options, "");
  EXPECT_TRUE(c.files.empty());

  c = ParseCommandLine({"--open", "notes -u.txt"});
  EXPECT_FALSE(HasUnregisterOption(c.options));
}

TEST(CommandLine, UnregisterOption) {
  for (const char* yes : {"/unregister", "-unregister", "-UNREG", "/u", "-U", "-", "/unreg",
                          "-x -u", "file.txt /unr", "-a/u", "-u=yes", "-o=v/u", "\t-unregister\t"})
    EXPECT_TRUE(HasUnregisterOption(yes)) << yes;
  for (const char* no :
       {"", "   ", "unregister", "-unregisterx", "/unregisterx", "--open", "-x", "notes.txt",
        "/home/me/u.zxt", "/usr/share/doc/unreg", "u", "-register", "x-u", "-o=u"})
    EXPECT_FALSE(HasUnregisterOption(no)) << no;
}

TEST(CommandLine, AnyBytesAreSafe) {
  std::mt19937 rng(11);
  const char alphabet[] = {'-', '/', '=', ' ', '\t', 'u', 'U', 'n', 'x', '\0', '\xff'};
  for (int round = 0; round < 2000; ++round) {
    std::string s;
    const int n = static_cast<int>(rng() % 24);
    for (int i = 0; i < n; ++i) s += alphabet[rng() % sizeof alphabet];
    HasUnregisterOption(s);  // finishes, whatever it finds
  }
  EXPECT_TRUE(HasUnregisterOption(std::string(100000, ' ') + "-u"));
  EXPECT_FALSE(HasUnregisterOption(std::string(100000, '-') + "x"));
}

TEST(CommandLine, PrintPdfRequest) {
  PrintPdfRequest r = ParsePrintPdf({"--print-pdf", "out.pdf", "notes.txt"});
  EXPECT_TRUE(r.requested);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.out, "out.pdf");
  EXPECT_EQ(r.file, "notes.txt");
  // Names that look like options are names here.
  r = ParsePrintPdf({"--print-pdf", "-u.pdf", "--open"});
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.out, "-u.pdf");
  EXPECT_EQ(r.file, "--open");
  // Too few, too many or empty names: a usage message.
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--print-pdf"},
                                             {"--print-pdf", "out.pdf"},
                                             {"--print-pdf", "out.pdf", "a", "b"},
                                             {"--print-pdf", "", "a"},
                                             {"--print-pdf", "out.pdf", ""}}) {
    r = ParsePrintPdf(bad);
    EXPECT_TRUE(r.requested);
    EXPECT_NE(r.error.find("usage: zarns --print-pdf OUT.pdf FILE"), std::string::npos);
  }
  // Only as the first argument; otherwise the program starts as usual.
  for (const std::vector<std::string>& other : std::vector<std::vector<std::string>>{
           {}, {"-u"}, {"--open", "--print-pdf", "a", "b"}, {"/u", "--print-pdf", "a", "b"}}) {
    r = ParsePrintPdf(other);
    EXPECT_FALSE(r.requested);
    EXPECT_EQ(r.error, "");
  }
}
