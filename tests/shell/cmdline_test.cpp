// The program's command line: options before "--open", file names after it.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "catalog/zrnfile.h"
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

TEST(CommandLine, HelpAndVersionOptions) {
  EXPECT_EQ(FindInfoOption({}), InfoOption::kNone);
  EXPECT_EQ(FindInfoOption({"--help"}), InfoOption::kHelp);
  EXPECT_EQ(FindInfoOption({"-h"}), InfoOption::kHelp);
  EXPECT_EQ(FindInfoOption({"--print-pdf", "--help", "--version"}), InfoOption::kNone);
  EXPECT_EQ(FindInfoOption({"--version"}), InfoOption::kVersion);
  // The first one given wins, wherever it stands among the other options.
  EXPECT_EQ(FindInfoOption({"-u", "--version", "--help"}), InfoOption::kVersion);
  EXPECT_EQ(FindInfoOption({"-x", "-h", "--version"}), InfoOption::kHelp);
  // After "--open" they are file names; near misses are no options.
  EXPECT_EQ(FindInfoOption({"--open", "--help"}), InfoOption::kNone);
  EXPECT_EQ(FindInfoOption({"--open", "--version"}), InfoOption::kNone);
  for (const char* no : {"--HELP", "-help", "--helpx", "--versions", "-V", "/h", "help", "--h"})
    EXPECT_EQ(FindInfoOption({no}), InfoOption::kNone) << no;
  // Neither is read as the unregister option, so asking for help changes nothing.
  for (const char* opt : {"--help", "-h", "--version"})
    EXPECT_FALSE(HasUnregisterOption(opt)) << opt;
}

TEST(CommandLine, AnswersHelpAndVersionOnly) {
  std::ostringstream out;
  EXPECT_EQ(AnswerInfoOption({"--version"}, out), 0);
  EXPECT_EQ(out.str(), std::string("zarns ") + ZARNS_VERSION + "\n");

  out.str("");
  EXPECT_EQ(AnswerInfoOption({"-u", "--open", "--version"}, out), -1);
  EXPECT_EQ(AnswerInfoOption({}, out), -1);
  EXPECT_EQ(out.str(), "");

  EXPECT_EQ(AnswerInfoOption({"--help"}, out), 0);
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("Usage: zarns ", 0), 0u) << text;
  for (const char* opt : {"--open FILE", "-unregister", "-h, --help", "--version"})
    EXPECT_NE(text.find(opt), std::string::npos) << opt;
  // It tells where the help pages were found, the same place the program opens them from.
  EXPECT_NE(text.find("Help pages: " + ZrnFile::HelpDir() + "\n"), std::string::npos) << text;
  EXPECT_EQ(text.back(), '\n');
}

TEST(CommandLine, UsageTextLinesFitATerminal) {
  const std::string text = UsageText("/usr/share/zarns/help/");
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    if (text.compare(start, 11, "Help pages:") != 0) {
      EXPECT_LE(end - start, 79u) << text.substr(start, end - start);
    }
    start = end + 1;
  }
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
