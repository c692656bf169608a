// Watching a started program for a moment: a quick failure is reported,
// a quick success or a program still running counts as started.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/plauncher.h"

TEST(LauncherWatch, QuickExitStatusDecides) {
  EXPECT_TRUE(plat::StartWatched({"sh", "-c", "exit 0"}, 5000));
  EXPECT_FALSE(plat::StartWatched({"sh", "-c", "exit 3"}, 5000));
  EXPECT_FALSE(plat::StartWatched({"sh", "-c", "kill -TERM $$"}, 5000));
}

TEST(LauncherWatch, AProgramThatCannotStartFails) {
  EXPECT_FALSE(plat::StartWatched({"/nonexistent/zarns-no-such-program"}, 5000));
  EXPECT_FALSE(plat::StartWatched({}, 5000));
}

TEST(LauncherWatch, AProgramStillRunningCountsAsStarted) {
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(plat::StartWatched({"sh", "-c", "sleep 3; exit 1"}, 100));
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  EXPECT_LT(ms, 2500);  // did not wait for it to end
}

TEST(LauncherWatch, FailureTextNamesTheTarget) {
  const std::string t = plat::LaunchFailedText("tel:555");
  EXPECT_NE(t.find("\"tel:555\""), std::string::npos);
  EXPECT_NE(t.find("could not be opened"), std::string::npos);
}
