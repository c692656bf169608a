// Files with share modes: the rules every data file relies on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pfile.h"

using namespace plat;

namespace {

// Runs `fn` in a child process and returns its exit status.
template <class Fn>
int InChild(Fn fn) {
  pid_t pid = fork();
  if (pid == 0) _exit(fn());
  int st = 0;
  waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

}  // namespace

TEST(PosixFile, CreationModes) {
  std::string dir = TestEnv::FreshDir("modes");
  std::string f = dir + "a.007";
  EXPECT_EQ(Fs().Open(f, Access::Read, Creation::OpenExisting), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Fs().Exists(f));

  HANDLE h = Fs().Open(f, Access::Write, Creation::OpenAlways);
  ASSERT_TRUE(IsOpen(h));
  EXPECT_EQ(Fs().Write(h, "hello", 5), 5);
  EXPECT_TRUE(Fs().Close(h));
  struct stat st;
  ASSERT_EQ(stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // data files are private

  // OpenAlways keeps the contents; CreateAlways empties them.
  h = Fs().Open(f, Access::Write, Creation::OpenAlways);
  EXPECT_EQ(Fs().Size(h), 5);
  Fs().Close(h);
  EXPECT_EQ(Slurp(f), "hello");
  h = Fs().Open(f, Access::Write, Creation::CreateAlways);
  EXPECT_EQ(Fs().Size(h), 0);
  Fs().Close(h);
  EXPECT_EQ(Slurp(f), "");
}

TEST(PosixFile, ReadAndWriteOnlyThroughTheirOwnAccess) {
  std::string f = TestEnv::FreshDir("access") + "x";
  WriteFile(f, "abc");
  HANDLE r = Fs().Open(f, Access::Read, Creation::OpenExisting);
  ASSERT_TRUE(IsOpen(r));
  EXPECT_LT(Fs().Write(r, "zz", 2), 1);
  char buf[8] = {};
  EXPECT_EQ(Fs().Read(r, buf, 8), 3);
  EXPECT_EQ(std::string(buf), "abc");
  EXPECT_EQ(Fs().Read(r, buf, 8), 0);  // end of file is no error
  EXPECT_EQ(Fs().Seek(r, 1, Whence::Begin), 1);
  EXPECT_EQ(Fs().Read(r, buf, 1), 1);
  EXPECT_EQ(buf[0], 'b');
  Fs().Close(r);

  HANDLE w = Fs().Open(f, Access::Write, Creation::OpenAlways);
  EXPECT_EQ(Fs().Read(w, buf, 3), 0);
  EXPECT_EQ(Fs().Seek(w, 0, Whence::End), 3);
  EXPECT_EQ(Fs().Write(w, "d", 1), 1);
  Fs().Close(w);
  EXPECT_EQ(Slurp(f), "abcd");
}

TEST(PosixFile, ShareModesWithinOneProcess) {
  std::string f = TestEnv::FreshDir("share") + "s";
  WriteFile(f, "data");
  HANDLE r1 = Fs().Open(f, Access::Read, Creation::OpenExisting);
  HANDLE r2 = Fs().Open(f, Access::Read, Creation::OpenExisting);
  EXPECT_TRUE(IsOpen(r1));
  EXPECT_TRUE(IsOpen(r2));  // readers share
  EXPECT_EQ(Fs().Open(f, Access::Write, Creation::OpenAlways), INVALID_HANDLE_VALUE);
  // "w+" while a reader holds the file fails and does not empty it.
  EXPECT_EQ(Fs().Open(f, Access::Write, Creation::CreateAlways), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Slurp(f), "data");
  Fs().Close(r1);
  Fs().Close(r2);

  HANDLE w = Fs().Open(f, Access::Write, Creation::OpenAlways);
  ASSERT_TRUE(IsOpen(w));
  EXPECT_EQ(Fs().Open(f, Access::Read, Creation::OpenExisting), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Fs().Open(f, Access::Write, Creation::OpenAlways), INVALID_HANDLE_VALUE);
  Fs().Close(w);
  HANDLE again = Fs().Open(f, Access::Read, Creation::OpenExisting);
  EXPECT_TRUE(IsOpen(again));  // the lock went with the close
  Fs().Close(again);
}

TEST(PosixFile, ShareModesBetweenProcesses) {
  std::string f = TestEnv::FreshDir("xproc") + "p";
  WriteFile(f, "keep me");
  HANDLE w = Fs().Open(f, Access::Write, Creation::OpenAlways);
  ASSERT_TRUE(IsOpen(w));
  // Another process can neither read nor write while we write.
  EXPECT_EQ(InChild([&] {
              return Fs().Open(f, Access::Read, Creation::OpenExisting) == INVALID_HANDLE_VALUE ? 0
                                                                                                : 1;
            }),
            0);
  EXPECT_EQ(
      InChild([&] {
        return Fs().Open(f, Access::Write, Creation::CreateAlways) == INVALID_HANDLE_VALUE ? 0 : 1;
      }),
      0);
  Fs().Close(w);
  EXPECT_EQ(Slurp(f), "keep me");

  // A reader in another process keeps "w+" here from emptying the file.
  int toChild[2], toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  pid_t pid = fork();
  if (pid == 0) {
    HANDLE r = Fs().Open(f, Access::Read, Creation::OpenExisting);
    char c = IsOpen(r) ? 'y' : 'n';
    if (write(toParent[1], &c, 1) != 1) _exit(2);
    if (read(toChild[0], &c, 1) != 1) _exit(3);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(toParent[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  // The writer waits for the other process's reader, here only briefly.
  std::chrono::milliseconds saved = LockWait();
  SetLockWait(std::chrono::milliseconds(100));
  EXPECT_EQ(Fs().Open(f, Access::Write, Creation::CreateAlways), INVALID_HANDLE_VALUE);
  EXPECT_EQ(LastFileError(), FileError::Busy);
  SetLockWait(saved);
  EXPECT_EQ(Slurp(f), "keep me");
  HANDLE r = Fs().Open(f, Access::Read, Creation::OpenExisting);
  EXPECT_TRUE(IsOpen(r));  // readers share across processes too
  Fs().Close(r);
  ASSERT_EQ(write(toChild[1], "x", 1), 1);
  int st;
  waitpid(pid, &st, 0);
  for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
  HANDLE e = Fs().Open(f, Access::Write, Creation::CreateAlways);
  EXPECT_TRUE(IsOpen(e));
  Fs().Close(e);
  EXPECT_EQ(Slurp(f), "");
}

TEST(PosixFile, StaleAndInvalidHandlesAreHarmless) {
  std::string f = TestEnv::FreshDir("stale") + "s";
  WriteFile(f, "abc");
  HANDLE h = Fs().Open(f, Access::Read, Creation::OpenExisting);
  ASSERT_TRUE(Fs().Close(h));
  HANDLE h2 = Fs().Open(f, Access::Read, Creation::OpenExisting);
  EXPECT_NE(h, h2);  // a handle value is never handed out twice
  char buf[4];
  EXPECT_FALSE(Fs().Close(h));
  EXPECT_EQ(Fs().Read(h, buf, 3), 0);
  EXPECT_EQ(Fs().Write(h, buf, 3), -1);
  EXPECT_EQ(Fs().Size(h), -1);
  EXPECT_FALSE(Fs().Close(nullptr));
  EXPECT_FALSE(Fs().Close(INVALID_HANDLE_VALUE));
  EXPECT_EQ(Fs().Read(INVALID_HANDLE_VALUE, buf, 3), 0);
  Fs().Close(h2);
}

TEST(PosixFile, OnlyRegularFilesOpen) {
  std::string dir = TestEnv::FreshDir("special");
  ASSERT_EQ(mkfifo((dir + "fifo").c_str(), 0644), 0);
  // A FIFO with no writer would block a plain open; it must fail at once.
  EXPECT_EQ(Fs().Open(dir + "fifo", Access::Read, Creation::OpenExisting), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Fs().Open(dir.substr(0, dir.size() - 1), Access::Read, Creation::OpenExisting),
            INVALID_HANDLE_VALUE);
  std::string out;
  EXPECT_FALSE(ReadWholeFile(dir + "fifo", out));
  EXPECT_FALSE(Fs().Remove(dir.substr(0, dir.size() - 1)));
  EXPECT_FALSE(Fs().Exists(dir + "fifo"));
}

TEST(PosixFile, WholeFileAndAtomicWrite) {
  std::string dir = TestEnv::FreshDir("atomic");
  std::string f = dir + "doc.txt";
  std::string bytes("a\0b\r\n\xff", 6);
  ASSERT_TRUE(WriteFileAtomic(f, bytes));
  std::string back;
  ASSERT_TRUE(ReadWholeFile(f, back));
  EXPECT_EQ(back, bytes);

  // Permissions of the original survive the replacement.
  ASSERT_EQ(chmod(f.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomic(f, "new"));
  struct stat st;
  ASSERT_EQ(stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Slurp(f), "new");

  // A symbolic link stays a link; the file it names gets the text.
  ASSERT_EQ(symlink(f.c_str(), (dir + "link").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(dir + "link", "via link"));
  ASSERT_EQ(lstat((dir + "link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Slurp(f), "via link");

  // No temporary files are left behind.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir)) (void)e, ++entries;
  EXPECT_EQ(entries, 2);
}

TEST(PosixFile, AtomicWriteFailureLeavesOriginal) {
  std::string dir = TestEnv::FreshDir("fail");
  // The rename cannot replace a directory that holds something: the write
  // fails late, after the temporary file was written.
  std::string target = dir + "doc";
  mkdir(target.c_str(), 0755);
  WriteFile(target + "/inside", "original");
  EXPECT_FALSE(WriteFileAtomic(target, "replacement"));
  EXPECT_EQ(Slurp(target + "/inside"), "original");
  EXPECT_FALSE(WriteFileAtomic(dir + "missing-dir/x", "y"));
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir)) (void)e, ++entries;
  EXPECT_EQ(entries, 1);  // the temporary file is gone
  if (geteuid() != 0) {   // root writes into read-only directories
    WriteFile(dir + "ro-doc", "original");
    chmod(dir.c_str(), 0555);
    EXPECT_FALSE(WriteFileAtomic(dir + "ro-doc", "replacement"));
    chmod(dir.c_str(), 0755);
    EXPECT_EQ(Slurp(dir + "ro-doc"), "original");
  }
}
