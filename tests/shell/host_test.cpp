#include <gtest/gtest.h>

#include "shell/host.h"

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
