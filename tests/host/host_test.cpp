#include <gtest/gtest.h>

#include "common/recordinghost.h"

TEST(RecordingHost, AnswersFromScriptThenOk) {
  RecordingHost h;
  h.answers = {IDCANCEL};
  EXPECT_EQ(h.MessageBox("a", "b", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(h.MessageBox("c", "d", MB_OK), IDOK);
  ASSERT_EQ(h.boxes.size(), 2u);
  EXPECT_EQ(h.boxes[0].caption, "b");
  EXPECT_EQ(h.boxes[1].flags, static_cast<unsigned>(MB_OK));
}

// Every kind of request reaches the recording host through the Host
// interface, as the engine and the dialogs make them.
TEST(RecordingHost, RecordsEveryKindOfRequest) {
  RecordingHost rec;
  Host& h = rec;
  rec.inputs = {std::string("typed")};
  EXPECT_EQ(h.InputRequired("r", "c"), std::optional<std::string>("typed"));
  EXPECT_FALSE(h.InputRequired("r", "c").has_value());  // the script has run out
  rec.answers = {IDNO};
  EXPECT_EQ(h.MessageBox("t", "c", MB_YESNO), IDNO);
  h.ShowMatchDialog(ShowMatchXfer{{{"a.txt", 4}}, "words", ""});
  EXPECT_TRUE(h.AddFile("/x"));
  EXPECT_EQ(h.OpenFileDialog("Open", "*"), std::nullopt);
  ASSERT_EQ(rec.matchDialogs.size(), 1u);
  EXPECT_EQ(rec.matchDialogs[0].ListOfMatches[0].fileid, 4u);
  EXPECT_EQ(rec.addedFiles, std::vector<std::string>{"/x"});
  EXPECT_EQ(rec.openDialogs, std::vector<std::string>{"Open"});
}

TEST(SilentHost, AnswersOkAndGivesNothing) {
  SilentHost s;
  for (unsigned flags : {unsigned(MB_OK), unsigned(MB_OKCANCEL), unsigned(MB_YESNO)})
    EXPECT_EQ(s.MessageBox("t", "c", flags), IDOK);
  EXPECT_EQ(s.InputRequired("r", "c"), std::nullopt);
  EXPECT_EQ(s.AskZarnName("n"), std::nullopt);
  EXPECT_EQ(s.OpenFileDialog("t", "f"), std::nullopt);
  EXPECT_FALSE(s.AddFile("/z"));
  s.ShowMatchDialog(ShowMatchXfer{});
}
