// Level-2 functions through a zarn run, and the clip store behind Copy and
// the paste menu.
#include "zarn_fixture.h"

#include "zarn/zrnlvl2.h"

class Lvl2Test : public ZarnTest {
 protected:
  std::string Run(const std::string& line, long caret = 0) {
    Set(line, caret);
    Cmd().CmRunzarn();
    return Text();
  }
};

TEST_F(Lvl2Test, FunctionWordsInAnyCase) {
  EXPECT_EQ(Run("abs 5"), "5 ");
  EXPECT_EQ(Run("ABS 5"), "5 ");
  EXPECT_EQ(Run("sin 1"), "0 ");
  EXPECT_EQ(Run("log 100"), "4 ");
  EXPECT_EQ(Run("cos 0"), "1 ");  // 0 is no operand: the search ends on an empty word
  EXPECT_EQ(Run("atan 1"), "0 ");
  EXPECT_EQ(Run("tan 1"), "1 ");
  EXPECT_EQ(Run("poly 12"), "12 ");
  EXPECT_EQ(Run("Acos 1"), "0 ");
  EXPECT_EQ(Run("asin 1"), "1 ");  // 1.57 truncated
  EXPECT_TRUE(host.matchDialogs.empty());
}

TEST_F(Lvl2Test, HyphenSeparatesSoTheSignIsLost) { EXPECT_EQ(Run("abs -5"), "0 "); }

TEST_F(Lvl2Test, ANumberLeftOfTheLineIsNeverUsedWithoutBeingRemoved) {
  // Right: 0 (no operand), then the search reaches past the first word and
  // ends; the 5 is neither read nor removed.
  EXPECT_EQ(Run("5 cos 0", 2), "5 1 ");
}

TEST_F(Lvl2Test, OperandInTheMiddleOfALine) {
  EXPECT_EQ(Run("result abs 9 here", 7), "result 9 here");
  // The search examines words to both sides and removes them.
  EXPECT_EQ(Run("x 5 abs y", 4), "5 0 ");
}

TEST_F(Lvl2Test, PowAndDivTakeTheNumberToTheLeft) {
  EXPECT_EQ(Run("2 pow 10", 2), "1024 ");
  EXPECT_EQ(Run("7 div 2", 2), "quot 3 rem 1");
  EXPECT_EQ(Run("7 ldiv 2", 2), "quot 3 rem 1");
  EXPECT_EQ(Run("7 div 0", 2), "quot 0 rem 7");  // no quotient for 0
  EXPECT_EQ(Run("pow 3"), "0 ");                 // nothing to the left: 0 to the power 3
  EXPECT_EQ(Run("word pow 3", 5), "word 0 ");    // a word that is no number stays
}

TEST_F(Lvl2Test, UndefinedResultsShowZero) {
  EXPECT_EQ(Run("acos 5"), "0 ");
  EXPECT_EQ(Run("log 0"), "0 ");
  EXPECT_EQ(Run("999 pow 999", 4), "0 ");
}

TEST_F(Lvl2Test, RandStaysInItsRangeAndIsTheSameEveryRun) {
  for (int i = 0; i < 20; ++i) {
    const int r = std::stoi(Run("rand"));
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 10);
    const int s = std::stoi(Run("rand 3"));
    EXPECT_GE(s, 0);
    EXPECT_LT(s, 3);
  }
  EXPECT_EQ(ZrnLvl2(Ctx()).Compute(L2rand, 1, 0), "0 ");
}

TEST_F(Lvl2Test, NotAFunctionLeavesTheText) {
  ZrnLvl2 l2(Ctx());
  EXPECT_EQ(l2.iv("abs"), 0);
  EXPECT_EQ(l2.iv("rand"), 12);
  EXPECT_GE(l2.iv("ABS"), 13);  // exact; check() lower-cases first
  EXPECT_GE(l2.iv(""), 13);
  Set("hello", 0);
  V().DoToken();
  EXPECT_FALSE(l2.check());
  EXPECT_EQ(Text(), "hello");
}

class ClipTest : public ZarnTest {
 protected:
  void SetUp() override {
    ZarnTest::SetUp();
    Ctx().Clips.DeleteClips();
    Ctx().NumClips = CM_FIRSTCLIP;
  }
};

TEST_F(ClipTest, StoreKeepsClipsInCopyOrder) {
  ZrnClip c;
  c.AddClip("one");
  c.AddClip("two");
  c.AddClip("three");
  EXPECT_EQ(c.numclips, 3);
  std::string s = "untouched";
  EXPECT_TRUE(c.GetClip(1, s));
  EXPECT_EQ(s, "two");
  EXPECT_FALSE(c.GetClip(3, s));
  EXPECT_FALSE(c.GetClip(-1, s));
  EXPECT_EQ(s, "two");
  c.DeleteClip(0);
  EXPECT_EQ(c.numclips, 2);
  c.GetClip(0, s);
  EXPECT_EQ(s, "two");
  c.DeleteClip(7);
  EXPECT_EQ(c.numclips, 2);
  c.DeleteClips();
  EXPECT_EQ(c.numclips, 0);
  EXPECT_FALSE(c.GetClip(0, s));
}

TEST_F(ClipTest, CopyGivesMenuIdsAndLabelsPasteInsertsTheClip) {
  Set("first selection\r\nsecond line of it and a long tail beyond thirty characters");
  std::string label;
  main->buf->SetSelection(0, 5);
  EXPECT_EQ(Cmd().CmEditCopy(&label), 10001);
  EXPECT_EQ(label, "first");
  main->buf->SetSelection(6, 22);  // spans the line break
  EXPECT_EQ(Cmd().CmEditCopy(&label), 10002);
  EXPECT_EQ(label, "selection\r secon");  // the LF shows as a blank, the CR stays
  main->buf->SetSelection(17, 80);
  EXPECT_EQ(Cmd().CmEditCopy(&label), 10003);
  EXPECT_EQ(label.size(), 30u);
  main->buf->SetSelection(3, 3);
  EXPECT_EQ(Cmd().CmEditCopy(&label), 0);  // nothing selected, nothing kept
  EXPECT_EQ(Ctx().NumClips, 10004);

  Set("AB");
  main->buf->SetSelection(0, 1);
  EXPECT_TRUE(Cmd().Command(10001));
  EXPECT_EQ(Text(), "firstB");
  EXPECT_FALSE(Cmd().CmPasteClip(10004));  // past the last clip
  EXPECT_FALSE(Cmd().CmPasteClip(10000));
  EXPECT_EQ(Text(), "firstB");
}

TEST_F(ClipTest, MenuItemsStopAtTheirRange) {
  Set("x");
  for (int i = 0; i < 100; ++i) {
    main->buf->SetSelection(0, 1);
    EXPECT_EQ(Cmd().CmEditCopy(), 10001 + i);
  }
  main->buf->SetSelection(0, 1);
  EXPECT_EQ(Cmd().CmEditCopy(), 0);
  EXPECT_EQ(Ctx().Clips.numclips, 100);
  EXPECT_TRUE(Cmd().CmPasteClip(10100));
}

TEST_F(ClipTest, CommandRouting) {
  for (int id : {21,  263,  264, 265, 266, 268, 293, 23,    2922,  261,  26,
                 262, 2923, 272, 271, 270, 11,  14,  24323, 10001, 10100})
    EXPECT_TRUE(ViewCommands::HandlesCommand(id)) << id;
  for (int id : {24324, 10000, 10101, 0, 267}) EXPECT_FALSE(ViewCommands::HandlesCommand(id)) << id;
  Set("5 * 3");
  EXPECT_TRUE(Cmd().Command(21));
  EXPECT_EQ(Text(), "15 ");
  EXPECT_FALSE(Cmd().Command(24324));
}
