// A launched program starts in the folder it is given.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "common/testenv.h"
#include "platform/plauncher.h"

using namespace plat;

namespace {
bool WaitFor(const std::string& path) {
  for (int i = 0; i < 300; ++i) {
    if (access(path.c_str(), F_OK) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
}  // namespace

TEST(LaunchDir, ProgramStartsInTheGivenFolder) {
  std::string dir = TestEnv::FreshDir("workdir");
  // A relative name lands in the working directory the program got.
  ASSERT_TRUE(StartDetached({"touch", "made-here"}, dir));
  EXPECT_TRUE(WaitFor(dir + "made-here"));
  EXPECT_FALSE(std::filesystem::exists("made-here"));
}

TEST(LaunchDir, MissingFolderStillStartsTheProgram) {
  std::string dir = TestEnv::FreshDir("workdir-gone");
  std::string marker = dir + "started";
  // The folder is gone: the program runs in ours and gets its absolute path.
  ASSERT_TRUE(StartDetached({"touch", marker}, dir + "no-such-folder/"));
  EXPECT_TRUE(WaitFor(marker));
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(LaunchDir, RecordingLauncherKeepsTheFolder) {
  RecordingLauncher rec;
  EXPECT_TRUE(rec.OpenIn("/srv/a b/x.txt", "/srv/a b"));
  EXPECT_TRUE(rec.Open("/y"));
  ASSERT_EQ(rec.calls.size(), 2u);
  EXPECT_EQ(rec.calls[0].kind, "open");
  EXPECT_EQ(rec.calls[0].dir, "/srv/a b");
  EXPECT_EQ(rec.calls[1].dir, "");
}

// A launcher that only knows Open still opens the file.
TEST(LaunchDir, BaseOpenInFallsBackToOpen) {
  struct OnlyOpen : Launcher {
    bool Open(const std::string& t) override {
      opened = t;
      return true;
    }
    bool Dial(const std::string&) override { return false; }
    bool CanMail() override { return false; }
    bool Mail(const std::vector<std::string>&) override { return false; }
    std::string opened;
  } l;
  EXPECT_TRUE(l.OpenIn("/a/b.txt", "/a"));
  EXPECT_EQ(l.opened, "/a/b.txt");
}
