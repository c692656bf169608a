// Runs of numbers and operators evaluated whole, the single-operator cases
// that must stay byte for byte as they were, and number words that never
// reach the file-name level.
#include "zarn_fixture.h"

#include <fstream>
#include <random>

#include "catalog/zrnwcat.h"
#include "platform/pdatadir.h"
#include "zarn/zrnchain.h"

namespace {

// The offset of the n-th operator character (from 0) of `line`.
std::size_t NthOp(const std::string& line, int n) {
  for (std::size_t i = 0; i < line.size(); ++i)
    if (std::string("+-*/").find(line[i]) != std::string::npos && n-- == 0) return i;
  return std::string::npos;
}

std::string Digits(char d, std::size_t n) { return std::string(n, d); }

}  // namespace

class ChainTest : public ZarnTest {
 protected:
  std::string RunLine(const std::string& line, bool calc = false, long caret = -1) {
    Set(line, caret);
    if (calc)
      Cmd().CmCalculate();
    else
      Cmd().CmRunzarn();
    return Text();
  }
};

TEST(ChainFind, RunsAroundAnOperator) {
  struct Case {
    std::string line;
    int op;  // which operator character of the line is the anchor
    ZrnChain::Kind kind;
    double value;
    std::size_t begin, end;
    int operators;
  };
  const Case cases[] = {
      {"1 + 2 + 3 + 4", 0, ZrnChain::kValue, 10, 0, 13, 3},
      {"1 + 2 + 3 + 4", 2, ZrnChain::kValue, 10, 0, 13, 3},
      {"2 + 3 * 4", 0, ZrnChain::kValue, 14, 0, 9, 2},
      {"2 * 3 + 4", 1, ZrnChain::kValue, 10, 0, 9, 2},
      {"(2 + 3) * 4", 0, ZrnChain::kValue, 20, 0, 11, 2},
      {"( 2 + 3 ) * 4", 1, ZrnChain::kValue, 20, 0, 13, 2},
      {"2*(3+4)*5", 1, ZrnChain::kValue, 70, 0, 9, 3},
      {"10 - 4 - 3", 0, ZrnChain::kValue, 3, 0, 10, 2},  // left to right
      {"100 / 10 / 5", 0, ZrnChain::kValue, 2, 0, 12, 2},
      {"1,200 + 85 + 40", 0, ZrnChain::kValue, 1325, 0, 15, 2},
      {"Total 1,200 + 85 + 40", 1, ZrnChain::kValue, 1325, 6, 21, 2},
      {"1.5 * 2 + 0.25", 0, ZrnChain::kValue, 3.25, 0, 14, 2},
      {"-5 * 2 + 1", 1, ZrnChain::kValue, -9, 0, 10, 2},  // a leading sign
      {"at -5 * 2 + 1", 1, ZrnChain::kValue, -9, 3, 13, 2},
      {"2 * -3 + 1", 1, ZrnChain::kValue, -5, 0, 10, 2},  // a sign after an operator
      {"10 + 6 / 0", 0, ZrnChain::kValue, 10, 0, 10, 2},  // dividing by zero gives 0
      {"6 / 0 * 5 + 1", 2, ZrnChain::kValue, 1, 0, 13, 3},
      {"1 + 2 + 3 apples", 0, ZrnChain::kValue, 6, 0, 9, 2},
      {"items 3 5 + 6 + 7", 0, ZrnChain::kValue, 18, 8, 17, 2},  // "3 5": two runs
      {"1 + 2 + 3 +", 0, ZrnChain::kValue, 6, 0, 9, 2},          // dangling operator
      {"1 + 2 + 3?", 0, ZrnChain::kValue, 6, 0, 9, 2},
      {"1\t+\t2\t+\t3\tkg", 0, ZrnChain::kValue, 6, 0, 9, 2},  // tabs part as blanks
      {"\t-1 * 2 + 3", 1, ZrnChain::kValue, 1, 1, 11, 2},
      // One operator: the single-operator case, whatever surrounds it.
      {"3 + 4", 0, ZrnChain::kNoChain, 0, 0, 0, 0},
      {"(2 + 3)", 0, ZrnChain::kNoChain, 0, 0, 0, 0},
      {"-5 + 3", 1, ZrnChain::kNoChain, 0, 0, 0, 0},
      {"5 - -3", 0, ZrnChain::kNoChain, 0, 0, 0, 0},
      {"1 + 2 +", 0, ZrnChain::kNoChain, 0, 0, 0, 0},
      // Words between numbers break the run.
      {"Rent 1,200 + Food 450", 0, ZrnChain::kNoChain, 0, 0, 0, 0},
      {"x + 2 + 3", 0, ZrnChain::kNoChain, 0, 0, 0, 0},  // the anchor is outside "2 + 3"
      {"week7 + 3 + 4", 0, ZrnChain::kNoChain, 0, 0, 0, 0},
      {"$5 + 3 + 4", 0, ZrnChain::kNoChain, 0, 0, 0, 0},
      {"1 + 2 ? 3 + 4", 0, ZrnChain::kNoChain, 0, 0, 0, 0},
      {"1.2.3 + 4 + 5", 0, ZrnChain::kNoChain, 0, 0, 0, 0},  // no number
      // Malformed runs of several operators are left as they are.
      {"(2 + 3 * 4", 0, ZrnChain::kLeftAlone, 0, 0, 10, 2},
      {"2 + 3) * 4", 0, ZrnChain::kLeftAlone, 0, 0, 10, 2},
      {"2 + * 3", 0, ZrnChain::kLeftAlone, 0, 0, 7, 2},
      {"2 + () + 3", 0, ZrnChain::kLeftAlone, 0, 0, 10, 2},
  };
  for (const Case& c : cases) {
    const ZrnChain r = FindChain(c.line, NthOp(c.line, c.op));
    EXPECT_EQ(r.kind, c.kind) << c.line;
    if (r.kind == ZrnChain::kNoChain || r.kind != c.kind) continue;
    EXPECT_EQ(r.begin, c.begin) << c.line;
    EXPECT_EQ(r.end, c.end) << c.line;
    EXPECT_EQ(r.operators, c.operators) << c.line;
    if (c.kind == ZrnChain::kValue) {
      EXPECT_DOUBLE_EQ(r.value, c.value) << c.line;
    }
  }
  // No operator at the offset: nothing.
  EXPECT_EQ(FindChain("1 + 2 + 3", 0).kind, ZrnChain::kNoChain);
  EXPECT_EQ(FindChain("", 0).kind, ZrnChain::kNoChain);
  EXPECT_EQ(FindChain("1 + 2", 99).kind, ZrnChain::kNoChain);
}

TEST(ChainFind, OverflowDepthAndLengthAreLeftAlone) {
  // An operand too large for a double, and a product that overflows.
  const std::string huge = "1 + 2 * " + Digits('9', 400);
  EXPECT_EQ(FindChain(huge, 2).kind, ZrnChain::kLeftAlone);
  const std::string big = "1" + Digits('0', 300);
  EXPECT_EQ(FindChain(big + " * " + big + " + 1", big.size() + 1).kind, ZrnChain::kLeftAlone);
  // Large but finite is a value.
  const ZrnChain fine = FindChain(big + " + 1 + 1", big.size() + 1);
  EXPECT_EQ(fine.kind, ZrnChain::kValue);

  // Nesting beyond what is parsed is refused, not recursed into.
  const std::string deep = Digits('(', 1000) + "1 + 1 + 1" + Digits(')', 1000);
  EXPECT_EQ(FindChain(deep, 1002).kind, ZrnChain::kLeftAlone);
  const std::string shallow = Digits('(', 50) + "1 + 1 + 1" + Digits(')', 50);
  EXPECT_EQ(FindChain(shallow, 52).kind, ZrnChain::kValue);

  // A run that goes past what is read is left alone; one that ends before
  // it is a value even on a longer line.
  std::string longRun = "1";
  while (longRun.size() <= kChainTextSize + 10) longRun += " + 1";
  EXPECT_EQ(FindChain(longRun, 2).kind, ZrnChain::kLeftAlone);
  const std::string tail = "1 + 2 + 3 then " + std::string(kChainTextSize, 'x');
  const ZrnChain early = FindChain(tail, 2);
  EXPECT_EQ(early.kind, ZrnChain::kValue);
  EXPECT_DOUBLE_EQ(early.value, 6);
  // The limit falling inside a number does not read it short.
  std::string straddle = std::string(kChainTextSize - 12, 'x') + " 1 + 2 + 1234567";
  EXPECT_EQ(FindChain(straddle, kChainTextSize - 9).kind, ZrnChain::kLeftAlone);
}

TEST(ChainFind, NumberWords) {
  for (const char* w : {"7", "1,200", "2.5", "-3", "+4", "(2", "4)", "((12))", "10.0.0.1", "0"})
    EXPECT_TRUE(IsNumberWord(w)) << w;
  for (const char* w : {"", "-", ",", ".", "()", "week7", "7kg", "$5", "x", "1e5", "0x10", "inf",
                        "+-3", "(a)", "3\t"})
    EXPECT_FALSE(IsNumberWord(w)) << w;
}

// Every case below is the single-operator result the program gave before
// runs were evaluated whole; none of them may change by a byte.
TEST_F(ChainTest, SingleOperatorCasesKeepTheirBytes) {
  struct Case {
    const char* line;
    const char* result;
  };
  const Case cases[] = {
      {"3 + 4", "7 "},
      {"total 3 + 4", "total 7 "},
      {"5 * 3", "15 "},
      {"1,000 * 2", "2000 "},
      {"10 / 4", "2.5 "},
      {"7 / 0", "0 "},
      {"1 / 4", "0.25 "},
      {"3 - 5", "-2 "},
      {"12/3", "4 "},
      {"-5 + 3", "-5 + 3-5 "},
      {"(2 + 3)", "3 "},
      {"Rent 1,200 + Food 450", "Rent 1200 450"},
      {"x + 2 + 3", "2 3"},
      {"1 + 2 +", "3 +"},
      {"1 + 2 + x", "3 x"},
      {"3 + 4?", "7 ?"},
      {"555-1234", "-679 "},
      {"5 - -3", "2 "},
      {"2 * 3 4", "6 4"},
      {"week7 + 3", "3 "},
      {"1.5 * 2.25", "3.375 "},
      {"+ 3 + 4", "+ 3 + 43 "},
      {"3 + 4 and 5 + 6", "7 and 5 + 6"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunLine(c.line, false), c.result) << "run: " << c.line;
    EXPECT_EQ(RunLine(c.line, true), c.result) << "calculate: " << c.line;
  }
}

TEST_F(ChainTest, RunsBecomeTheirValue) {
  struct Case {
    const char* line;
    long caret;  // -1: the end of the line
    const char* result;
  };
  const Case cases[] = {
      {"1 + 2 + 3 + 4", -1, "10 "},
      {"1 + 2 + 3 + 4", 4, "10 "},  // the caret on an inner number
      {"2 + 3 * 4", -1, "14 "},
      {"(2 + 3) * 4", -1, "20 "},
      {"1,200 + 85 + 40", -1, "1325 "},
      {"Total 1,200 + 85 + 40 + 450 + 120 + 300", -1, "Total 2195 "},
      {"2 + 3 * 4 apples", 9, "14 apples"},
      {"sum: 1 + 2 + 3 done", 13, "sum: 6 done"},
      {"10 / 4 / 2", -1, "1.25 "},
      {"1 - 2 - 3", -1, "-4 "},
      {"2*3*4", -1, "24 "},
      {"10 + 6 / 0", -1, "10 "},
      {"1 + 2 + 3 +", -1, "6 +"},
      {"(2 + 3 * 4", -1, "(2 + 3 * 4"},  // unbalanced: left as written
      {"2 + 3) * 4", -1, "2 + 3) * 4"},
      {"0.1 + 0.2 + 0.3", -1, "0.6 "},
      {"Preis \xe2\x82\xac 1 + 2 + 3 netto", 18, "Preis \xe2\x82\xac 6 netto"},
      {"1 / 3 / 1000000", -1, "0 "},  // six decimals, as a single operator shows
      {"0 * -5 + 0", -1, "0 "},       // never "-0"
      {"1\t+\t2\t+\t3\tkg", 5, "6 kg"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunLine(c.line, false, c.caret), c.result) << "run: " << c.line;
    EXPECT_EQ(RunLine(c.line, true, c.caret), c.result) << "calculate: " << c.line;
  }
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(host.matchDialogs.empty());
}

TEST_F(ChainTest, CaretEndsAfterTheValueAndOtherLinesStay) {
  Set("first 1 + 1 + 1\r\n2 + 3 * 4 kg\r\nlast 5 + 5 + 5", 21);
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "first 1 + 1 + 1\r\n14 kg\r\nlast 5 + 5 + 5");
  std::uint32_t s = 0, e = 0;
  main->buf->GetSelection(s, e);
  EXPECT_EQ(s, 20u);
  EXPECT_EQ(e, 20u);
  // The next run captures the line as it is now.
  Set(Text(), static_cast<long>(Text().size()));
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "first 1 + 1 + 1\r\n14 kg\r\nlast 15 ");
}

TEST_F(ChainTest, RunsLongerThanTheCaretLineBufferAreSummedWhole) {
  // 60 ones: far more than the 80 characters that are tokenized.
  std::string line = "1";
  for (int i = 1; i < 60; ++i) line += " + 1";
  ASSERT_GT(line.size(), static_cast<std::size_t>(kZarnLineSize));
  EXPECT_EQ(RunLine(line, false, 10), "60 ");
  EXPECT_EQ(RunLine(line, true), "60 ");

  // Longer than a run is read: nothing changes, nothing is lost.
  std::string longer = "1";
  while (longer.size() <= kChainTextSize + 100) longer += " + 1";
  EXPECT_EQ(RunLine(longer + "\r\nnext", false, 5), longer + "\r\nnext");
}

TEST_F(ChainTest, OverflowLeavesTheTextAsWritten) {
  const std::string line = "1 + 2 * " + Digits('9', 400);
  EXPECT_EQ(RunLine(line, true, 5), line);
  const std::string big = "1" + Digits('0', 200);
  const std::string product = "2 + " + big + " * " + big;
  EXPECT_EQ(RunLine(product, true, 5), product);
}

TEST_F(ChainTest, ScriptLinesEvaluateWholeRuns) {
  Set("1 + 2 + 3 + 4\r\n(2 + 3) * 4\r\n3 + 4", 0);
  Cmd().CmTestzarn();
  EXPECT_EQ(OutputText(), "10 \r\n20 \r\n7 ");
}

// Lines of digits, operators, parentheses, blanks and letters with the
// caret anywhere: never a crash, never a change outside the caret line.
TEST_F(ChainTest, RandomRunsTouchOnlyTheirLine) {
  std::mt19937 rng(16);
  const std::string alphabet = "0123456789  ,.+-*/()x?";
  for (int round = 0; round < 400; ++round) {
    std::string line;
    const int n = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) line += alphabet[rng() % alphabet.size()];
    const std::string text = "above\r\n" + line + "\r\nbelow";
    const long caret = 7 + static_cast<long>(rng() % (line.size() + 1));
    Set(text, caret);
    if (round % 2)
      Cmd().CmCalculate();
    else
      Cmd().CmRunzarn();
    const std::string t = Text();
    ASSERT_EQ(t.substr(0, 7), "above\r\n") << line;
    ASSERT_GE(t.size(), 14u) << line;
    ASSERT_EQ(t.substr(t.size() - 7), "\r\nbelow") << line;
  }
}

class ChainCatalogTest : public ChainTest {
 protected:
  void Build(const std::string& dir) {
    files.CloseFiles();
    files.currentWordCat = 1;
    ASSERT_TRUE(plat::WriteFileAtomic(plat::DataPath("EMS.007"), std::string(".txt\0", 5)));
    for (const char* f : {"KEP.007", "KEPt.007", "KEPc.007"})
      ASSERT_TRUE(plat::WriteFileAtomic(plat::DataPath(f), ""));
    WordCat cat(files);
    cat.CreateWordCatalog(nullptr, {dir});
  }
  bool OfferedToOpen() const {
    for (const auto& b : host.boxes)
      if (b.caption == "Open file now?") return true;
    return false;
  }
};

TEST_F(ChainCatalogTest, NumbersNeverOpenFiles) {
  const std::string dir = TestEnv::FreshDir("corpus-numbers");
  std::ofstream(dir + "report-week7.txt") << "weekly figures\n";
  std::ofstream(dir + "notes4.txt") << "other matters\n";
  std::ofstream(dir + "sheet4.txt") << "more matters\n";
  std::ofstream(dir + "1,200.txt") << "oddly named\n";
  std::ofstream(dir + "TALLY7.txt") << "counted twice\n";
  Build(dir);

  // "6 x 7": "7" would match report-week7.txt; the line is searched instead.
  EXPECT_EQ(RunLine("6 x 7"), "6 x 7");
  EXPECT_FALSE(OfferedToOpen());
  EXPECT_TRUE(launcher.calls.empty());
  ASSERT_EQ(host.matchDialogs.size(), 1u);
  EXPECT_EQ(host.matchDialogs[0].MatchString, "7");
  EXPECT_TRUE(host.matchDialogs[0].ListOfMatches.empty());

  // "4" is in two names: no list of files, the run is the sum.
  EXPECT_EQ(RunLine("2 + 3 * 4"), "14 ");
  EXPECT_EQ(RunLine("see 4"), "see 4");
  EXPECT_EQ(RunLine("see 1,200"), "see 1,200");
  EXPECT_EQ(RunLine("see (4)"), "see (4)");
  EXPECT_FALSE(OfferedToOpen());
  EXPECT_TRUE(launcher.calls.empty());
  for (const auto& m : host.matchDialogs) EXPECT_TRUE(m.ListOfMatches.empty()) << m.MatchString;

  // A word that is not a number still finds its file (names compare
  // with the word upper-cased).
  EXPECT_EQ(RunLine("see tally7"), "see tally7");
  ASSERT_TRUE(OfferedToOpen());
  EXPECT_EQ(host.boxes.back().text, "TALLY7.txt");
  EXPECT_EQ(launcher.calls.size(), 1u);
}
