#include <gtest/gtest.h>

#include "common/recordinghost.h"
#include "host/installedhost.h"

TEST(RecordingHost, AnswersFromScriptThenOk) {
  RecordingHost h;
  h.answers = {IDCANCEL};
  EXPECT_EQ(h.MessageBox("a", "b", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(h.MessageBox("c", "d", MB_OK), IDOK);
  ASSERT_EQ(h.boxes.size(), 2u);
  EXPECT_EQ(h.boxes[0].caption, "b");
  EXPECT_EQ(h.boxes[1].flags, static_cast<unsigned>(MB_OK));
}

TEST(RecordingHost, InstalledHostIsUsedAndSilentOneRestored) {
  RecordingHost h;
  SetHost(&h);
  TheHost().MessageBox("x", "y", MB_OK);
  SetHost(nullptr);
  EXPECT_EQ(TheHost().MessageBox("z", "w", MB_OKCANCEL), IDOK);
  EXPECT_EQ(h.boxes.size(), 1u);
  EXPECT_FALSE(TheHost().InputRequired("q", "c").has_value());
}

// A reference to the installed host taken early reaches whichever host is
// installed when it is used, never one that has gone.
TEST(InstalledHost, KeptReferenceFollowsTheInstalledHost) {
  Host& kept = TheHost();
  {
    RecordingHost first;
    SetHost(&first);
    first.inputs = {std::string("typed")};
    EXPECT_EQ(kept.InputRequired("r", "c"), std::optional<std::string>("typed"));
    SetHost(nullptr);
  }
  RecordingHost second;
  SetHost(&second);
  second.answers = {IDNO};
  EXPECT_EQ(kept.MessageBox("t", "c", MB_YESNO), IDNO);
  kept.ShowMatchDialog(ShowMatchXfer{{{"a.txt", 4}}, "words", ""});
  EXPECT_TRUE(kept.AddFile("/x"));
  EXPECT_EQ(kept.OpenFileDialog("Open", "*"), std::nullopt);
  ASSERT_EQ(second.matchDialogs.size(), 1u);
  EXPECT_EQ(second.matchDialogs[0].ListOfMatches[0].fileid, 4u);
  EXPECT_EQ(second.addedFiles, std::vector<std::string>{"/x"});
  EXPECT_EQ(second.openDialogs, std::vector<std::string>{"Open"});
  SetHost(nullptr);
  EXPECT_FALSE(kept.AddFile("/y"));
  EXPECT_EQ(second.addedFiles.size(), 1u);
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
