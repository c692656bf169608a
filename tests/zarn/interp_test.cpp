// The script interpreter: keyword codes, the structure pass with its error
// texts and listing, and the execution pass over IF/ELSE/FOR/WHILE blocks.
#include "zarn_fixture.h"

#include <sys/stat.h>
#include <fstream>
#include <sstream>

#include "zarn/zrnintrd.h"

class InterpTest : public ZarnTest {
 protected:
  // Runs the lines as Test Zarn does; returns the output document.
  std::string Script(const std::string& text) {
    Set(text, 0);
    Cmd().CmTestzarn();
    return OutputText();
  }
  std::string ErrorBox() const {
    for (const auto& b : host.boxes)
      if (b.caption == "Error in Macro ") return b.text;
    return std::string();
  }
  std::string ListingBox() const {
    for (const auto& b : host.boxes)
      if (b.caption == "Instruction Matrix ") return b.text;
    return "<none>";
  }
  static std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
  }
};

TEST_F(InterpTest, KeywordCodes) {
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch(""), 0);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch(" \t "), 0);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("IF a == b"), 1);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("  if x"), 1);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("\tElse"), 2);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("for 1 to 3"), 3);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("While x"), 4);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("END"), 5);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("endx"), 5);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("endif"), 6);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("ENDELSE"), 7);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("EndFor"), 8);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("ENDWHILE extra"), 9);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("date IF"), 0);
  EXPECT_EQ(ZrnIntrpDlg::ContainsBranch("IFFY"), 0);
}

TEST_F(InterpTest, ForLineNumbers) {
  ZrnIntrpDlg d(Ctx());
  for (const char* line : {"FOR 1 TO 5", "for 1, to 5.", "FOR 1 TO 5 times"}) {
    std::int32_t a = -1, b = -1;
    d.GetForCount(line, a, b);
    EXPECT_EQ(a, 1) << line;
    EXPECT_EQ(b, 5) << line;
  }
  EXPECT_TRUE(host.boxes.empty());
  std::int32_t a = -1, b = -1;
  d.GetForCount("FOR 2 UNTIL 5", a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, -1);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Missing or misplaced TO in FOR macro");
  EXPECT_EQ(host.boxes[0].caption, "ERROR");
  a = b = -1;
  d.GetForCount("FORE 1 TO 2", a, b);
  EXPECT_EQ(a, -1);
  EXPECT_EQ(host.boxes.back().text, "Error in FOR macro");
}

TEST_F(InterpTest, ConditionsCompareUpperCasedOperandsOrStoredValues) {
  ZrnIntrpDlg d(Ctx());
  EXPECT_TRUE(d.Check("IF a == a"));
  EXPECT_TRUE(d.Check("if a == A"));
  EXPECT_FALSE(d.Check("IF a == b"));
  EXPECT_FALSE(d.Check("IF x == 5"));
  Store("x", "5");
  EXPECT_TRUE(d.Check("IF x == 5"));
  EXPECT_TRUE(d.Check("WHILE x == 5"));
  Store("diff", "1");
  EXPECT_TRUE(d.Check("WHILE diff == 1"));  // "IF" inside a word is no keyword
  Store("word", "Mixed");
  EXPECT_FALSE(d.Check("IF word == Mixed"));  // the literal reads MIXED
  EXPECT_FALSE(d.Check("IF abc"));            // no "==": ABC against BC
  EXPECT_FALSE(d.Check("date"));
}

TEST_F(InterpTest, TwoPlainLinesEmptyListingAndOutput) {
  SetClock(2026, 12, 6, 9, 30, 15, 0);
  EXPECT_EQ(Script("date\r\ntime"), "December 6, 2026 \r\ntime\r\n09:30:15 \r\n");
  EXPECT_EQ(ListingBox(), "");
  std::string file;
  ASSERT_TRUE(plat::ReadWholeFile("output.zrn", file));
  EXPECT_EQ(file, "date");  // what the program writes before the document opens
  EXPECT_EQ(Ctx().CurrentView, outputs.back()->view.get());
}

TEST_F(InterpTest, IfTrueRunsItsBody) {
  EXPECT_EQ(Script("IF a == a\r\ndate\r\nENDIF"), "December 6, 2026 ");
  EXPECT_EQ(ListingBox(), " linenum 1, condition 1, end 4\n");
}

TEST_F(InterpTest, IfFalseRunsTheElsePart) {
  SetClock(2026, 12, 6, 9, 30, 15, 0);
  EXPECT_EQ(Script("IF a == b\r\ndate\r\nENDIF\r\nELSE\r\ntime\r\nENDELSE"),
            "time\r\n09:30:15 \r\n");
  EXPECT_EQ(ListingBox(), " linenum 1, condition 1, end 4\n linenum 4, condition 2, end 7\n");
}

TEST_F(InterpTest, IfTrueSkipsTheElsePart) {
  EXPECT_EQ(Script("if a == a\r\n>> yes\r\nendif\r\nelse\r\n>> no\r\nendelse\r\n>> after"),
            ">> yes\r\nyes\r\n>> after\r\nafter");
}

TEST_F(InterpTest, ForRunsCountTimesWhateverItsStart) {
  EXPECT_EQ(Script("FOR 1 TO 3\r\n>> x\r\nENDFOR"), ">> x\r\nx\r\n>> x\r\nx\r\n>> x\r\nx");
  EXPECT_EQ(ListingBox(), " linenum 1, condition 1, end 4\n");
  host.boxes.clear();
  outputs.clear();
  EXPECT_EQ(Script("FOR 5 TO 3\r\n>> y\r\nENDFOR"), ">> y\r\ny\r\n>> y\r\ny\r\n>> y\r\ny");
  EXPECT_EQ(ListingBox(), " linenum 1, condition 5, end 4\n");
}

TEST_F(InterpTest, LowerCaseKeywordsAndNestedLoops) {
  const std::string out = Script("for 1 to 2\r\nfor 1 to 3\r\n>> in\r\nendfor\r\n>> out\r\nendfor");
  EXPECT_EQ(
      out,
      Repeat(Repeat(">> in\r\nin\r\n", 3) + ">> out\r\nout\r\n", 2)
          .substr(0, Repeat(Repeat(">> in\r\nin\r\n", 3) + ">> out\r\nout\r\n", 2).size() - 2));
  EXPECT_EQ(ListingBox(), " linenum 2, condition 1, end 5\n linenum 1, condition 1, end 7\n");
}

TEST_F(InterpTest, IfInsideForAndForInsideIf) {
  EXPECT_EQ(
      Script("FOR 1 TO 2\r\nIF a == b\r\n>> never\r\nENDIF\r\nELSE\r\n>> e\r\nENDELSE\r\nENDFOR"),
      ">> e\r\ne\r\n>> e\r\ne");
  outputs.clear();
  EXPECT_EQ(Script("IF a == b\r\nFOR 1 TO 5\r\n>> never\r\nENDFOR\r\nENDIF\r\n>> end"),
            ">> end\r\nend");
}

TEST_F(InterpTest, ForWithoutAPositiveCountSkipsItsBody) {
  EXPECT_EQ(Script("FOR 1 TO 0\r\n>> no\r\nENDFOR\r\n>> after"), ">> after\r\nafter");
  outputs.clear();
  host.boxes.clear();
  EXPECT_EQ(Script("FOR 1 UPTO 4\r\n>> no\r\nENDFOR\r\n>> after"), ">> after\r\nafter");
  EXPECT_EQ(host.boxes[0].text, "Missing or misplaced TO in FOR macro");
  outputs.clear();
  EXPECT_EQ(Script("FOR 1 TO -3\r\n>> no\r\nENDFOR\r\n>> after"), ">> after\r\nafter");
}

TEST_F(InterpTest, WhileLoopsWhileItsConditionHoldsAndAlwaysEnds) {
  EXPECT_EQ(Script("WHILE a == b\r\n>> no\r\nENDWHILE\r\n>> after"), ">> after\r\nafter");
  EXPECT_EQ(ListingBox(), " linenum 1, condition 4, end 4\n");
  // A condition that never changes: the loop is left after its bound.
  outputs.clear();
  const std::string out = Script("WHILE a == a\r\n>> w\r\nENDWHILE\r\n>> after");
  std::size_t count = 0;
  for (std::size_t p = out.find("\r\nw"); p != std::string::npos; p = out.find("\r\nw", p + 1))
    ++count;
  EXPECT_EQ(count, static_cast<std::size_t>(ZrnIntrpDlg::kMaxWhilePasses));
  EXPECT_EQ(out.substr(out.size() - 15), ">> after\r\nafter");
}

TEST_F(InterpTest, EndxIsExecutedLikeAnOrdinaryLine) {
  Store("endx", "expanded");
  EXPECT_EQ(Script("ENDX"), "expanded ");
  EXPECT_EQ(ListingBox(), "");
}

TEST_F(InterpTest, StructureErrorsNameTheLineAndStopTheRun) {
  struct Case {
    std::string script, error;
  };
  for (const Case& c :
       {Case{"date\r\nELSE\r\ndate", "No if condition to match \nat line number 2"},
        Case{"IF a == a\r\ndate\r\nENDIF\r\ndate\r\nELSE",
             "No if condition to match \nat line number 5"},
        Case{"ENDFOR", "No for condition to end \nat line number 1"},
        Case{"FOR 1 TO 2\r\nENDIF", "No if condition to end \nat line number 2"},
        Case{"\r\n\r\nENDELSE", "No else condition to end \nat line number 3"},
        Case{"IF a == a\r\nENDWHILE", "No while condition to end \nat line number 2"},
        Case{"WHILE a == a\r\nFOR 1 TO 2\r\nENDWHILE",
             "No while condition to end \nat line number 3"}}) {
    host.boxes.clear();
    outputs.clear();
    EXPECT_EQ(Script(c.script), "") << c.script;
    EXPECT_EQ(ErrorBox(), c.error) << c.script;
    EXPECT_EQ(ListingBox(), "<none>");
    EXPECT_TRUE(openedPaths.empty());
  }
}

TEST_F(InterpTest, OpenBlocksRunToTheEnd) {
  EXPECT_EQ(Script("IF a == b\r\n>> x"), "");  // false IF without ENDIF: nothing after runs
  outputs.clear();
  EXPECT_EQ(Script("FOR 1 TO 3\r\n>> once"), ">> once\r\nonce");
}

TEST_F(InterpTest, TwoThousandBlocksAreRefusedWhole) {
  std::vector<std::string> lines;
  for (int i = 0; i < 2000; ++i) {
    lines.push_back("IF a == b");
    lines.push_back("ENDIF");
  }
  ZrnIntrpDlg d(Ctx(), &lines);
  d.RunScript();
  EXPECT_EQ(d.Error, "Too many blocks in macro \nat line number 2002");
  EXPECT_EQ(d.Matrix.size(), ZrnIntrpDlg::kMaxBlocks);
  EXPECT_TRUE(openedPaths.empty());
}

TEST_F(InterpTest, ListingStaysWithin4096Characters) {
  std::vector<std::string> lines;
  for (int i = 0; i < 999; ++i) {
    lines.push_back("IF a == b");
    lines.push_back("ENDIF");
  }
  ZrnIntrpDlg d(Ctx(), &lines);
  d.RunScript();
  EXPECT_TRUE(d.Error.empty());
  EXPECT_EQ(d.Matrix.size(), 999u);
  EXPECT_LE(d.Listing.size(), ZrnIntrpDlg::kMaxListing);
  EXPECT_EQ(d.Listing.back(), '\n');  // whole rows only
  EXPECT_EQ(d.Listing.substr(0, 32), " linenum 1, condition 1, end 3\n ");
}

TEST_F(InterpTest, StepBoundEndsLongLoops) {
  std::vector<std::string> lines = {"FOR 1 TO 2000000000", "ENDFOR"};
  ZrnIntrpDlg d(Ctx(), &lines);
  d.ShowListing = false;
  d.RunScript();
  EXPECT_EQ(host.boxes.back().text, "Macro stopped after 50000 lines");
}

TEST_F(InterpTest, TestZarnReadsLinesUpToTheFirstLongOne) {
  const std::string longLine = ">> " + std::string(90, 'l');
  Script(">> a\r\n" + longLine + "\r\n>> never");
  ASSERT_EQ(V().TokPtr.size(), 2u);
  EXPECT_EQ(V().TokPtr[1].size(), 80u);
  EXPECT_EQ(OutputText().find("never"), std::string::npos);
}

TEST_F(InterpTest, SavedScriptLinesDropTheHeaderAndKeepTheLastLine) {
  EXPECT_EQ(TZarnsZrnExe::SavedScriptLines("\agreet\agreet\r\nhello there"),
            (std::vector<std::string>{"hello there"}));
  EXPECT_EQ(TZarnsZrnExe::SavedScriptLines("\ag\ag extra\r\na\r\n\r\nb\r\n"),
            (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(TZarnsZrnExe::SavedScriptLines("\ag\ag").empty());
  ZrnIntrpDlg d(Ctx());
  d.PopInstrucPtr("one\r\ntwo\r\nthree");
  EXPECT_EQ(*d.InstrucPtr, (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(InterpTest, UnwritableOutputIsSaidAndNothingRuns) {
  ASSERT_EQ(0, ::mkdir("output.zrn", 0700));  // a directory where the file should go
  EXPECT_EQ(Script(">> x"), "");
  EXPECT_TRUE(openedPaths.empty());
  EXPECT_EQ(ErrorBox(),
            "The script output \"output.zrn\" cannot be written in the current directory.");
}
