// Bad input of every kind: damaged store files, bytes that are no text,
// selections, and runs whose removals find nothing — never a crash, never
// a change outside the caret line.
#include "zarn_fixture.h"

#include "platform/pdatadir.h"
#include "zarn/zrnintrd.h"

class RobustnessTest : public ZarnTest {
 protected:
  // Runs `line` between two fixed lines; the fixed lines must survive.
  std::string RunBetween(const std::string& line, int cmd = CM_RUNZARN) {
    Set("top line\r\n" + line + "\r\nbottom line", 10 + static_cast<long>(line.size()));
    Cmd().Command(cmd);
    const std::string t = Text();
    EXPECT_EQ(t.substr(0, 10), "top line\r\n") << line;
    EXPECT_GE(t.size(), 13u);
    if (t.size() >= 13) {
      EXPECT_EQ(t.substr(t.size() - 13), "\r\nbottom line") << line;
    }
    return t.size() >= 23 ? t.substr(10, t.size() - 23) : std::string();
  }
};

TEST_F(RobustnessTest, DamagedStoreFilesAreNoZarns) {
  Store("keep", "kept text");
  // A table that points far past the names file, and a names file of junk.
  ASSERT_TRUE(plat::WriteFileAtomic(
      plat::DataPath("EMSVt.007"),
      std::string("\0\0\0\0\0\0\0\0\0\0\0\0\xff\xff\xff\x7f\xff\xff\xff\x7f\1\0\0", 23)));
  ASSERT_TRUE(plat::WriteFileAtomic(plat::DataPath("EMSZrn.007"), std::string(5000, '\xee')));
  EXPECT_EQ(RunBetween("some keep words"), "some keep words");
  ASSERT_TRUE(plat::WriteFileAtomic(plat::DataPath("EMSVt.007"), std::string(7, '\x01')));
  EXPECT_EQ(RunBetween("keep"), "keep");
  ZrnIntrpDlg d(Ctx());
  EXPECT_FALSE(d.Check("IF keep == kept"));
}

TEST_F(RobustnessTest, BytesThatAreNoText) {
  const std::string junk = "\x01\x02\xff\xfe\x80 9 * \xc3\x28 \x7f";
  RunBetween(junk);
  RunBetween(std::string("a\0b + c\0", 8));
  RunBetween(std::string(300, '\xff'));
  RunBetween(std::string(400, '-'));
  RunBetween(std::string(90, '+') + " 1");
}

TEST_F(RobustnessTest, OperatorsAtTheEdgesOfTheLine) {
  EXPECT_EQ(RunBetween("+ 4"),
            "+ 44 ");  // no left operand: nothing removed, the value goes in at the caret
  RunBetween("4 +");
  RunBetween("- - - -");
  RunBetween("* / * /", CM_CALCULATE);
  EXPECT_EQ(RunBetween("= x"), "= x");
  EXPECT_EQ(RunBetween(">>"), ">>\r\n");
}

TEST_F(RobustnessTest, EveryCommandOnAnEmptyLineStaysOnIt) {
  for (int cmd : {CM_RUNZARN, CM_CALCULATE, CM_INSERTDATE, CM_PHONE, CM_SEARCHWORD}) {
    Set("top line\r\n\r\nbottom line", 10);
    Cmd().Command(cmd);
    const std::string t = Text();
    EXPECT_EQ(t.substr(0, 10), "top line\r\n") << cmd;
    EXPECT_EQ(t.substr(t.size() - 13), "\r\nbottom line") << cmd;
  }
}

TEST_F(RobustnessTest, ASelectionIsNotReplacedByARun) {
  Set("top line\r\n5 * 3\r\nbottom line");
  main->buf->SetSelection(15, 25);  // from the end of "5 * 3" into the next line
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "top line\r\n15 \r\nbottom line");
  // A run that finds no zarn searches for the selection.
  main->buf->SetSelection(10, 16);
  Cmd().CmRunzarn();
  EXPECT_EQ(host.matchDialogs.back().MatchString, "15 \r\nb");
  EXPECT_EQ(Text(), "top line\r\n15 \r\nbottom line");
  // With a selection on a word, the search commands use it and change nothing.
  main->buf->SetSelection(0, 3);
  Cmd().CmSearchword();
  EXPECT_EQ(host.matchDialogs.back().MatchString, "top");
  EXPECT_EQ(Text(), "top line\r\n15 \r\nbottom line");
}

TEST_F(RobustnessTest, LongExpansionsAndAssignmentsStayBounded) {
  Set("big = " + std::string(8000, 'v'), 4);
  Cmd().CmRunzarn();
  EXPECT_EQ(Stored("big").size(), ZrnLvl1::kMaxText);
  EXPECT_EQ(RunBetween("big").size(), ZrnLvl1::kMaxText + 1);
}

TEST_F(RobustnessTest, NoViewNoBuffer) {
  TZarnsEditView bare(Ctx());
  bare.SetFocus();
  ViewCommands cmd(bare);
  cmd.CmRunzarn();
  cmd.CmTime();
  cmd.CmSort();
  EXPECT_FALSE(cmd.CmTestzarn());
  EXPECT_EQ(cmd.CmEditCopy(), 0);
  Ctx().CurrentView = nullptr;
  TZarnsZrnExe exe(Ctx());
  EXPECT_EQ(exe.ProcessZarns(), 0);
  exe.Match();
  ZrnIntrpDlg d(Ctx());
  d.IdentifyZarn(kAll);
}
