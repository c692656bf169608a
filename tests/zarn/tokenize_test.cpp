// Capturing the caret line: tokens, positions, the operator-token shift,
// the caret's word, removals, and lines that would overrun the tables.
#include "zarn_fixture.h"

using Tokens = std::vector<std::string>;

class TokenizeTest : public ZarnTest {};

TEST_F(TokenizeTest, OperatorTokensShiftTheListButNotThePositions) {
  Set("3 + 4");
  V().DoToken();
  EXPECT_EQ(V().TokPtr, (Tokens{"3", "+", "4"}));
  EXPECT_EQ(V().NumTokens, 2);
  EXPECT_EQ(V().tokpositions[0], 0);
  EXPECT_EQ(V().tokpositions[1], 4);
  EXPECT_EQ(V().tokpositions[2], 5);  // sentinel: just past the last word
  EXPECT_EQ(V().ZarnTokInLine, 1);
  EXPECT_EQ(V().zarn, "+");  // entry 1 of the list is the operator
  EXPECT_EQ(V().GetToken(-1), "3");
  EXPECT_EQ(V().GetToken(1), "4");

  Set("12/3");
  V().DoToken();
  EXPECT_EQ(V().TokPtr, (Tokens{"12", "/", "3"}));
  EXPECT_EQ(V().tokpositions[1], 3);

  Set("call 555-1234 now", 0);
  V().DoToken();
  EXPECT_EQ(V().TokPtr, (Tokens{"call", "555", "-", "1234", "now"}));
  EXPECT_EQ(V().NumTokens, 4);
}

TEST_F(TokenizeTest, SentinelWithTrailingSeparators) {
  Set("ab cd  ");
  V().DoToken();
  EXPECT_EQ(V().NumTokens, 2);
  EXPECT_EQ(V().tokpositions[2], 6);  // the last character's offset
}

TEST_F(TokenizeTest, CaretBeforeInsideAndAfterWords) {
  const std::string line = "alpha beta gamma";
  struct Case {
    long caret;
    std::string zarn;
  };
  for (const Case& c : {Case{0, "alpha"}, Case{3, "alpha"}, Case{5, "alpha"}, Case{6, "beta"},
                        Case{8, "beta"}, Case{11, "gamma"}, Case{16, "gamma"}}) {
    Set(line, c.caret);
    V().DoToken();
    EXPECT_EQ(V().zarn, c.zarn) << "caret " << c.caret;
    EXPECT_EQ(V().start, static_cast<std::uint32_t>(c.caret));
  }
  // Just after a word and its blank still selects that word.
  Set("alpha beta ", 11);
  V().DoToken();
  EXPECT_EQ(V().zarn, "beta");
  // A caret on a leading blank takes the first word, whatever came before.
  Set("zeta eta", 8);
  V().DoToken();
  Set("   one two", 1);
  V().DoToken();
  EXPECT_EQ(V().ZarnTokInLine, 0);
  EXPECT_EQ(V().zarn, "one");
}

TEST_F(TokenizeTest, CaretOnALaterLineCountsFromThatLine) {
  Set("first line\r\nsecond third", 12 + 8);
  V().DoToken();
  EXPECT_EQ(V().LineStart(), 12u);
  EXPECT_EQ(V().start, 8u);
  EXPECT_EQ(V().zarn, "third");
}

TEST_F(TokenizeTest, EmptyCaretLineLeavesNothingToRemove) {
  Set("keep these words\r\n\r\nand these", 18);
  V().DoToken();  // line 1 is empty
  EXPECT_EQ(V().NumTokens, 0);
  EXPECT_TRUE(V().zarn.empty());
  V().RemoveToken(0);
  V().RemoveToken(-1);
  V().InsertOver("x");
  EXPECT_EQ(Text(), "keep these words\r\nx\r\nand these");
}

TEST_F(TokenizeTest, RemoveTokenTakesTheWordAndItsSeparators) {
  Set("one two three", 4);
  V().DoToken();
  V().RemoveToken(0);
  EXPECT_EQ(Text(), "one three");
  EXPECT_EQ(V().NumTokens, 2);
  EXPECT_EQ(V().tokpositions[1], 4);
  EXPECT_EQ(V().TokPtr.size(), 3u);  // the list keeps the removed word
  std::uint32_t s, e;
  main->buf->GetSelection(s, e);
  EXPECT_EQ(s, 4u);
  // Outside the words: nothing.
  V().RemoveToken(5);
  V().RemoveToken(-5);
  EXPECT_EQ(Text(), "one three");
}

TEST_F(TokenizeTest, GetStringRunsToTheEndAndGetStringToEOLToTheLineEnd) {
  Set("name = Good morning\r\nsecond line", 5);
  V().DoToken();
  EXPECT_EQ(V().zarn, "=");
  EXPECT_EQ(V().GetString(1), "Good morning\r\nsecond line");
  EXPECT_EQ(V().GetStringToEOL(1), "Good morning");
  EXPECT_EQ(V().GetString(40), "");
  EXPECT_EQ(V().GetString(-9), "");
  // At most 4096 characters.
  Set("a = " + std::string(6000, 'x'), 2);
  V().DoToken();
  EXPECT_EQ(V().GetString(1).size(), 4096u);
}

TEST_F(TokenizeTest, GetNumberAlternatesAndConsumesWhatItExamines) {
  Set("abs 5", 0);
  V().DoToken();
  int n = 0;
  V().GetNumber(n);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(Text(), "abs ");
  // Non-numbers on the way are removed too.
  Set("x y abs word 7", 4);
  V().DoToken();
  n = 0;
  V().GetNumber(n);
  // One right ("word", 0), two left ("x", 0), three right: past the list,
  // empty, the search ends without a number.
  EXPECT_EQ(n, 0);
  EXPECT_EQ(Text(), "y abs 7");
  EXPECT_EQ(V().LeftRemoved(), 1);
}

TEST_F(TokenizeTest, LongLinesOnlyTheirFirst80CharactersTakePart) {
  // 90 characters: the tail is never touched.
  std::string line = std::string(75, 'a') + " " + "bbbbbbbbbbbbbb";  // word 2 spans 76..89
  ASSERT_EQ(line.size(), 90u);
  Set(line + "\r\nnext line");
  main->buf->SetSelection(90, 90);
  V().DoToken();
  EXPECT_EQ(V().NumTokens, 2);
  EXPECT_EQ(V().TokPtr.back(), "bbbb");  // cut at 80
  V().RemoveToken(0);
  EXPECT_EQ(Text(), std::string(75, 'a') + " " + "bbbbbbbbbb\r\nnext line");

  // 400 characters of one word: one token of 80, removal stays in the line.
  Set(std::string(400, 'q') + "\r\nafter");
  main->buf->SetSelection(10, 10);
  V().DoToken();
  EXPECT_EQ(V().NumTokens, 1);
  EXPECT_EQ(V().zarn.size(), 80u);
  V().RemoveToken(0);
  EXPECT_EQ(Text(), std::string(320, 'q') + "\r\nafter");
}

TEST_F(TokenizeTest, FortyFiveOneLetterWordsNeverOverrunThePositions) {
  std::string line;
  for (int i = 0; i < 45; ++i) line += std::string(1, static_cast<char>('a' + i % 26)) + " ";
  Set(line + "\r\nsafe", static_cast<long>(line.size()));
  V().DoToken();
  EXPECT_EQ(V().NumTokens, kMaxTokPositions - 1);
  EXPECT_EQ(V().zarn, std::string(1, static_cast<char>('a' + 38 % 26)));
  // Remove every word from the caret word down: all within the line.
  for (int i = 0; i < 60; ++i) V().RemoveToken(0);
  for (int i = 0; i < 60; ++i) V().RemoveToken(-1);
  EXPECT_EQ(Text().substr(Text().size() - 6), "\r\nsafe");
  // A run on it ends (nothing recognised) with the Find results dialog.
  Set(line + "\r\nsafe", static_cast<long>(line.size()));
  Cmd().CmRunzarn();
  EXPECT_EQ(host.matchDialogs.size(), 1u);
  EXPECT_EQ(Text(), line + "\r\nsafe");
}

TEST_F(TokenizeTest, SearchTextIsTheSelection) {
  Set("find these words here");
  main->buf->SetSelection(5, 16);
  V().GetSearchText();
  EXPECT_EQ(V().zarn, "these words");
  main->buf->SetSelection(0, 0);
  V().GetSearchText();
  EXPECT_EQ(V().zarn, "find");
  Set(std::string(200, 'w'));
  main->buf->SetSelection(0, 200);
  V().GetSearchText();
  EXPECT_EQ(V().zarn.size(), 79u);
}
