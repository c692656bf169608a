// An open that waited for a lock while the file was replaced by a rename
// ends on the new file, not on the one that is gone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pfile.h"

using namespace plat;

TEST(ReplacedWhileWaiting, TheOpenEndsOnTheNewFile) {
  const std::string dir = TestEnv::FreshDir("replace-wait");
  const std::string f = dir + "EMSVt.007", staged = dir + "staged";
  ASSERT_TRUE(WriteFileAtomic(f, "old"));
  ASSERT_TRUE(WriteFileAtomic(staged, "new"));
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  pid_t pid = fork();
  if (pid == 0) {
    // The writer: locks the old file, replaces it, then lets go.
    close(go[0]);
    HANDLE h = PosixFs().Open(f, Access::Write, Creation::OpenExisting);
    if (!IsOpen(h)) _exit(2);
    if (write(go[1], "x", 1) != 1) _exit(3);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (!PosixFs().Rename(staged, f)) _exit(4);
    PosixFs().Close(h);
    _exit(0);
  }
  close(go[1]);
  char c = 0;
  ASSERT_EQ(read(go[0], &c, 1), 1);
  const auto saved = LockWait();
  SetLockWait(std::chrono::milliseconds(3000));
  HANDLE r = PosixFs().Open(f, Access::Read, Creation::OpenExisting);
  ASSERT_TRUE(IsOpen(r));
  char buf[8] = {};
  EXPECT_EQ(PosixFs().Read(r, buf, sizeof buf), 3);
  EXPECT_EQ(std::string(buf), "new");
  PosixFs().Close(r);
  int st = 0;
  waitpid(pid, &st, 0);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  SetLockWait(saved);
}
