// The built-in words and the identification loop that reaches them.
#include "zarn_fixture.h"

#include <chrono>

#include "catalog/zrnfile.h"
#include "platform/pfile.h"
#include "zarn/zrnintrd.h"

class BuiltinTest : public ZarnTest {};

TEST_F(BuiltinTest, ArithmeticReplacesTheExpression) {
  struct Case {
    std::string line, result;
    bool calc;
  };
  for (const Case& c : {Case{"3 + 4", "7 ", true}, Case{"3 + 4", "7 ", false},
                        Case{"total 3 + 4", "total 7 ", true}, Case{"5 * 3", "15 ", false},
                        Case{"1,000 * 2", "2000 ", false}, Case{"10 / 4", "2.5 ", false},
                        Case{"7 / 0", "0 ", false}, Case{"1 / 4", "0.25 ", false},
                        Case{"3 - 5", "-2 ", false}, Case{"12/3", "4 ", false}}) {
    Set(c.line);
    if (c.calc)
      Cmd().CmCalculate();
    else
      Cmd().CmRunzarn();
    EXPECT_EQ(Text(), c.result) << c.line;
  }
  EXPECT_TRUE(host.matchDialogs.empty());
}

TEST_F(BuiltinTest, OneResultPerRun) {
  // The operator reached belongs to a run of numbers and operators: the
  // whole run becomes its value (the single-operator cases are above).
  Set("1 + 2 + 3");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "6 ");
  // With the caret on the first word no operator lies at or left of it.
  Set("2 * 3 + 4", 0);
  Cmd().CmCalculate();
  EXPECT_EQ(Text(), "2 * 3 + 4");
  ASSERT_EQ(host.matchDialogs.size(), 1u);
  EXPECT_EQ(host.matchDialogs[0].MatchString, "2");
}

TEST_F(BuiltinTest, CalculatorWithoutOperatorSearchesTheCatalog) {
  Set("just words");
  Cmd().CmCalculate();
  EXPECT_EQ(Text(), "just words");
  ASSERT_EQ(host.matchDialogs.size(), 1u);
  EXPECT_EQ(host.matchDialogs[0].MatchString, "words");
}

TEST_F(BuiltinTest, UnrecognisedLineIsUnchangedAndSearched) {
  Set("plain ordinary words");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "plain ordinary words");
  ASSERT_EQ(host.matchDialogs.size(), 1u);
  EXPECT_EQ(host.matchDialogs[0].MatchString, "words");
}

TEST_F(BuiltinTest, DateReplacesTheWord) {
  Set("date");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "December 6, 2026 ");
  SetClock(2027, 1, 9, 0, 0, 0, 0);
  Set("on date we met", 4);
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "on January 9, 2027 we met");
  Set("mark here", 6);
  Cmd().CmInsertDate();
  EXPECT_EQ(Text(), "mark January 9, 2027 ");
}

TEST_F(BuiltinTest, UpperCaseBuiltinWordsFallThroughTheLevels) {
  Set("DATE");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "DATE");
  EXPECT_EQ(host.matchDialogs.size(), 1u);
  // ...and a stored zarn of that name takes it.
  Store("date", "stored text");
  Set("DATE");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "stored text ");
}

TEST_F(BuiltinTest, StopwatchStartHeadingAndLaps) {
  Set("");
  SetClock(2026, 12, 6, 10, 0, 0, 0);
  Cmd().CmTime();
  EXPECT_EQ(Text(), "\r\n10:00:00 \r\n");
  SetClock(2026, 12, 6, 10, 0, 5, 250);
  Cmd().CmTime();
  SetClock(2026, 12, 6, 10, 0, 7, 0);
  Cmd().CmTime();
  SetClock(2026, 12, 6, 10, 1, 6, 900);
  Cmd().CmTime();
  EXPECT_EQ(Text(),
            "\r\n10:00:00 \r\n"
            "Lap#   LapTime    CumulativeTime \r\n"
            "01   00:00:05:0250   00:00:05:0250 \r\n"
            "02   00:00:01:0750   00:00:07:0000 \r\n"
            "03   00:00:59:0900   00:01:06:0900 ");
  Cmd().CmTimeReset();
  EXPECT_EQ(Ctx().timeinterval, 0);
  Set("");
  Cmd().CmTime();
  EXPECT_EQ(Text(), "\r\n10:01:06 \r\n");
  // The word "time" run as a zarn stays in the text.
  Cmd().CmTimeReset();
  Set("time");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text().substr(0, 6), "time\r\n");
}

TEST_F(BuiltinTest, DifTimeBorrowsAcrossAMinuteAndMidnight) {
  auto t = [](int h, int m, int s, int ms) {
    ZrnSysTime r;
    r.wHour = static_cast<std::uint16_t>(h);
    r.wMinute = static_cast<std::uint16_t>(m);
    r.wSecond = static_cast<std::uint16_t>(s);
    r.wMilliseconds = static_cast<std::uint16_t>(ms);
    return r;
  };
  ZrnSysTime d;
  TZarnsZrnExe::DifTime(t(11, 0, 1, 100), t(10, 59, 58, 900), d);
  EXPECT_EQ(d.wHour, 0);
  EXPECT_EQ(d.wMinute, 0);
  EXPECT_EQ(d.wSecond, 2);
  EXPECT_EQ(d.wMilliseconds, 200);
  TZarnsZrnExe::DifTime(t(12, 30, 0, 0), t(10, 45, 30, 500), d);
  EXPECT_EQ(d.wHour, 1);
  EXPECT_EQ(d.wMinute, 44);
  EXPECT_EQ(d.wSecond, 29);
  EXPECT_EQ(d.wMilliseconds, 500);
  TZarnsZrnExe::DifTime(t(0, 0, 10, 0), t(23, 59, 50, 0), d);  // across midnight
  EXPECT_EQ(d.wHour, 0);
  EXPECT_EQ(d.wMinute, 0);
  EXPECT_EQ(d.wSecond, 20);
}

TEST_F(BuiltinTest, SortOrdersTheLinesAboveTheCaret) {
  Set("pear\r\nApple\r\napple\r\n\r\nApple\r\nsort");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "\r\nApple\r\nApple\r\napple\r\npear\r\nsort");
  // Long lines come back whole.
  const std::string longLine = "z" + std::string(500, 'y');
  Set(longLine + "\r\nb\r\nsort");
  Cmd().CmSort();
  EXPECT_EQ(Text(), "b\r\n" + longLine + "\r\nsort");
  // Nothing above: nothing changes.
  Set("sort");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "sort");
}

TEST_F(BuiltinTest, PhoneDialsTheWordAfterItOrUnderTheCaret) {
  Set("phone 555 1234", 2);
  Cmd().CmRunzarn();
  ASSERT_EQ(launcher.calls.size(), 1u);
  EXPECT_EQ(launcher.calls[0].kind, "dial");
  EXPECT_EQ(launcher.calls[0].target, "555");
  EXPECT_EQ(Text(), "phone 555 1234");
  Set("call (555)123.4567");
  Cmd().CmPhone();
  EXPECT_EQ(launcher.calls.back().target, "(555)123.4567");
  Set("call 555-1234 now", 0);
  Cmd().CmPhone();
  EXPECT_EQ(launcher.calls.back().target, "555");
}

TEST_F(BuiltinTest, AssignmentThenExpansion) {
  Set("greeting = Good morning", 9);
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "greeting = Good morning");
  EXPECT_EQ(Stored("GREETING"), "Good morning");
  Set("Say greeting to all", 6);
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "Say Good morning to all");
  // From the end of the line the loop steps left until "=" takes it.
  Set("sig equals Kind regards");
  Cmd().CmRunzarn();
  EXPECT_EQ(Stored("sig"), "Kind regards");
  // No word before "=": nothing is stored.
  Set("= value", 0);
  Cmd().CmRunzarn();
  EXPECT_EQ(Stored("="), "<none>");
}

TEST_F(BuiltinTest, InputValueReplacesTheWord) {
  host.inputs.push_back(std::string("42"));
  Set("x = <<");
  Cmd().CmRunzarn();
  ASSERT_EQ(host.inputRequests.size(), 1u);
  EXPECT_EQ(host.inputRequests[0].first, "get a value");
  EXPECT_EQ(host.inputRequests[0].second, "Value Required");
  EXPECT_EQ(Text(), "x = 42 ");
  Set("keep <<");  // cancelled: unchanged
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "keep <<");
}

TEST_F(BuiltinTest, OutputWritesTheRestOnANewLine) {
  Set(">> hello world\r\nnext", 0);
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), ">> hello world\r\nhello world\r\nnext");
}

TEST_F(BuiltinTest, SqlIsTakenAndDoesNothing) {
  Set("sql select");
  main->buf->SetSelection(1, 1);
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "sql select");
  EXPECT_TRUE(host.matchDialogs.empty());
}

TEST_F(BuiltinTest, SaveZarnStoresTheDocument) {
  Set("zarn greet\r\nhello there", 2);
  Cmd().CmSavezarn();
  EXPECT_EQ(Stored("greet"), "\agreet\agreet\r\nhello there");
  Set("zarn other\r\nbody", 6);  // caret on the name
  Cmd().CmSavezarn();
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Loading zarn must begin\r\nfirst line:\r\n zarn zarnname");
  EXPECT_EQ(Stored("other"), "<none>");
  // Too long to keep: said, not silently lost.
  Set("zarn big\r\n" + std::string(5000, 'x'), 1);
  Cmd().CmSavezarn();
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(Stored("big"), "<none>");
  // The box names the one cause, not every possible one.
  EXPECT_EQ(host.boxes[1].text, "The zarn could not be saved: the text is longer than 4095 bytes.");
}

TEST_F(BuiltinTest, SaveZarnSaysTheStoreIsBusy) {
  plat::LockWaitScope quick(std::chrono::milliseconds(0));
  HANDLE held = files.OpenFile(files.FileName(DataFile::kZarnValues).c_str(), "w");
  ASSERT_TRUE(plat::IsOpen(held));
  Set("zarn greet\r\nhello there", 2);
  Cmd().CmSavezarn();
  files.CloseFile(held);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_NE(host.boxes[0].text.find("busy"), std::string::npos) << host.boxes[0].text;
  EXPECT_EQ(host.boxes[0].text.find("4096"), std::string::npos);
  EXPECT_EQ(Stored("greet"), "<none>");
  Cmd().CmSavezarn();  // once the other writer is done, it saves
  EXPECT_EQ(Stored("greet"), "\agreet\agreet\r\nhello there");
}

TEST_F(BuiltinTest, SavedScriptRunsItsLinesIntoTheOutputDocument) {
  Set("zarn greet\r\ndate\r\n>> done", 1);
  Cmd().CmSavezarn();
  Set("please greet");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "please greet");  // the word stays
  EXPECT_EQ(OutputText(), "December 6, 2026 \r\n>> done\r\ndone");
  EXPECT_TRUE(host.boxes.empty());  // no listing for a saved script
  // A script that runs itself ends.
  Set("zarn loop\r\nloop", 1);
  Cmd().CmSavezarn();
  Set("loop");
  main->view->SetFocus();
  Cmd().CmRunzarn();
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_EQ(OutputText(), "loop\r\nloop\r\nloop\r\nloop\r\nloop\r\nloop\r\nloop\r\nloop");
}

TEST_F(BuiltinTest, TranslateIsExactAndOrdered) {
  EXPECT_EQ(TZarnsZrnExe::translate("="), kEquals);
  EXPECT_EQ(TZarnsZrnExe::translate("equals"), kEquals);
  EXPECT_EQ(TZarnsZrnExe::translate("<<"), kInput);
  EXPECT_EQ(TZarnsZrnExe::translate(">>"), kOutput);
  EXPECT_EQ(TZarnsZrnExe::translate("sql"), kSQL);
  EXPECT_EQ(TZarnsZrnExe::translate("Sort"), kNotBuiltin);
  EXPECT_EQ(TZarnsZrnExe::translate(""), kNotBuiltin);
}

TEST_F(BuiltinTest, WebLookupsOpenTheServiceForTheWordOrSelection) {
  Set("Paris");
  Cmd().CmAtlas();
  ASSERT_EQ(launcher.calls.size(), 1u);
  EXPECT_EQ(launcher.calls[0].kind, "open");
  EXPECT_EQ(launcher.calls[0].target, ZrnFile::BuildURL("Paris", WebAtlas));
  Set("New York rocks");
  main->buf->SetSelection(0, 8);
  Cmd().CmArts();
  EXPECT_EQ(launcher.calls.back().target, ZrnFile::BuildURL("New York", WebArts));
  struct Case {
    int cmd;
    int kind;
  };
  for (const Case& c : {Case{26, WebDictionary}, Case{262, WebEncyclopedia}, Case{2923, WebSearch},
                        Case{272, WebSports}, Case{271, WebScience}}) {
    Set("word", 0);
    EXPECT_TRUE(Cmd().Command(c.cmd));
    EXPECT_EQ(launcher.calls.back().target, ZrnFile::BuildURL("word", c.kind)) << c.cmd;
  }
  EXPECT_EQ(Text(), "word");
}

TEST_F(BuiltinTest, AssigningAgainReplacesTheDefinition) {
  struct Case {
    const char* line;
    const char* name;
    const char* stored;  // what the name gives afterwards
  };
  const Case cases[] = {
      {"sig = Best regards", "sig", "Best regards"},
      {"sig = Kind regards", "sig", "Kind regards"},
      {"SIG = Yours", "sig", "Yours"},
      {"addr = 1 Main St", "addr", "1 Main St"},
      {"addr = 2 High St", "addr", "2 High St"},
  };
  for (const Case& c : cases) {
    Set(c.line, 0);
    main->buf->SetSelection(static_cast<std::uint32_t>(std::string(c.line).find('=')),
                            static_cast<std::uint32_t>(std::string(c.line).find('=')));
    Cmd().CmRunzarn();
    EXPECT_EQ(Stored(c.name), c.stored) << c.line;
  }
  EXPECT_EQ(Stored("sig"), "Yours");  // the other zarn was left alone
  EXPECT_TRUE(host.boxes.empty());
  ZrnLvl1 s = Ctx().Store();
  std::string n;
  int count = 0;
  s.GetZarnList(n, true);
  while (s.GetZarnList(n, false))
    if (!n.empty()) ++count;
  s.StopSet();
  EXPECT_EQ(count, 2);  // replaced, not appended
}

TEST_F(BuiltinTest, ANumberIsNotStoredAsAName) {
  for (const char* line : {"7 = seven", "1,200 = x", "(3) = y", "2.5 = z"}) {
    host.boxes.clear();
    Set(line, 0);
    const std::uint32_t eq = static_cast<std::uint32_t>(std::string(line).find('='));
    main->buf->SetSelection(eq, eq);
    Cmd().CmRunzarn();
    ASSERT_EQ(host.boxes.size(), 1u) << line;
    EXPECT_NE(host.boxes[0].text.find("is a number"), std::string::npos);
    EXPECT_EQ(Text(), line);
  }
  EXPECT_EQ(Stored("7"), "<none>");
  // A name holding digits among letters is a name.
  Set("room7 = upstairs", 6);
  Cmd().CmRunzarn();
  EXPECT_EQ(Stored("ROOM7"), "upstairs");
}

TEST_F(BuiltinTest, SaveZarnAgainReplacesTheScript) {
  Set("zarn greet\r\nhello", 2);
  Cmd().CmSavezarn();
  Set("zarn greet\r\ngood day", 2);
  Cmd().CmSavezarn();
  EXPECT_EQ(Stored("greet"), "\agreet\agreet\r\ngood day");
  EXPECT_TRUE(host.boxes.empty());
}
