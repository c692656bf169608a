// Waiting for another process's lock, failing at once on our own, and the
// cause a failed operation reports.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/faultfs.h"
#include "common/testenv.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "platform/pregistry.h"

using namespace plat;
using namespace std::chrono;

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Sets the lock wait for one test.
class LockWaitFor {
 public:
  explicit LockWaitFor(milliseconds bound) : saved_(LockWait()) { SetLockWait(bound); }
  ~LockWaitFor() { SetLockWait(saved_); }

 private:
  milliseconds saved_;
};

long long MsSince(steady_clock::time_point t) {
  return duration_cast<milliseconds>(steady_clock::now() - t).count();
}

// Another running copy: a child process that takes a lock and keeps it for
// `holdMs` milliseconds, or until Release() when holdMs is negative.
class OtherProcess {
 public:
  // Opens `path` through the file system with `access`.
  OtherProcess(const std::string& path, Access access, int holdMs)
      : OtherProcess(holdMs, [path, access] {
          HANDLE h = Fs().Open(path, access, Creation::OpenExisting);
          return IsOpen(h);
        }) {}
  // Runs `take` in the child; its answer says whether the lock was taken.
  template <class Take>
  OtherProcess(int holdMs, Take take) {
    if (pipe(up_) != 0 || pipe(down_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      char c = take() ? 'y' : 'n';
      if (write(up_[1], &c, 1) != 1) _exit(2);
      if (holdMs >= 0)
        std::this_thread::sleep_for(milliseconds(holdMs));
      else if (read(down_[0], &c, 1) != 1)
        _exit(3);
      _exit(0);  // the lock goes with the process
    }
  }
  ~OtherProcess() {
    Release();
    Wait();
    for (int fd : {up_[0], up_[1], down_[0], down_[1]})
      if (fd >= 0) close(fd);
  }
  // Waits until the child holds its lock; false when it could not take it.
  bool Holding() {
    char c = 0;
    return pid_ > 0 && read(up_[0], &c, 1) == 1 && c == 'y';
  }
  void Release() {
    if (pid_ > 0 && !released_) {
      released_ = true;
      if (write(down_[1], "x", 1) != 1) {
      }
    }
  }
  // Waits for the child to end; true when it ended well.
  bool Wait() {
    if (pid_ <= 0) return false;
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = -1;
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
  }

 private:
  int up_[2] = {-1, -1}, down_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool released_ = false;
};

}  // namespace

// For each pair of conflicting share modes: the second open waits until the
// other process lets go, and then succeeds.
TEST(LockWait, OpenWaitsForAnotherProcessToLetGo) {
  LockWaitFor bound(seconds(20));
  std::string f = TestEnv::FreshDir("wait") + "EMSVt.007";
  struct Case {
    Access held, wanted;
  } cases[] = {
      {Access::Write, Access::Write}, {Access::Write, Access::Read}, {Access::Read, Access::Write}};
  for (const Case& c : cases) {
    Put(f, "stored");
    OtherProcess other(f, c.held, 300);
    ASSERT_TRUE(other.Holding());
    auto start = steady_clock::now();
    HANDLE h = Fs().Open(f, c.wanted, Creation::OpenExisting);
    long long waited = MsSince(start);
    EXPECT_TRUE(IsOpen(h));
    EXPECT_GE(waited, 100);  // it did wait for the other copy
    EXPECT_LT(waited, 10000);
    Fs().Close(h);
    EXPECT_TRUE(other.Wait());
  }
}

TEST(LockWait, LockHeldPastTheBoundFailsAsBusyAndEmptiesNothing) {
  LockWaitFor bound(milliseconds(300));
  std::string f = TestEnv::FreshDir("busy") + "EMSZrn.007";
  Put(f, "stored");
  {
    OtherProcess reader(f, Access::Read, -1);
    ASSERT_TRUE(reader.Holding());
    auto start = steady_clock::now();
    EXPECT_EQ(Fs().Open(f, Access::Write, Creation::CreateAlways), INVALID_HANDLE_VALUE);
    long long waited = MsSince(start);
    EXPECT_EQ(LastFileError(), FileError::Busy);
    EXPECT_STREQ(FileErrorText(LastFileError()), "busy");
    EXPECT_GE(waited, 250);
    EXPECT_LT(waited, 5000);
    EXPECT_EQ(Slurp(f), "stored");  // "w+" never empties a file it did not lock
    // Readers share: no wait at all.
    start = steady_clock::now();
    HANDLE r = Fs().Open(f, Access::Read, Creation::OpenExisting);
    EXPECT_TRUE(IsOpen(r));
    EXPECT_LT(MsSince(start), 250);
    Fs().Close(r);
  }
  {
    OtherProcess writer(f, Access::Write, -1);
    ASSERT_TRUE(writer.Holding());
    EXPECT_EQ(Fs().Open(f, Access::Read, Creation::OpenExisting), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastFileError(), FileError::Busy);
  }
  // Both gone: the file opens, and the cause of the earlier failure is reset.
  HANDLE w = Fs().Open(f, Access::Write, Creation::CreateAlways);
  EXPECT_TRUE(IsOpen(w));
  EXPECT_EQ(LastFileError(), FileError::None);
  Fs().Close(w);
  EXPECT_EQ(Slurp(f), "");
}

TEST(LockWait, AFileEmptyWhenOpenedButWrittenWhileWaitingIsStillEmptied) {
  LockWaitFor bound(seconds(20));
  std::string f = TestEnv::FreshDir("fill") + "KEP.007";
  Put(f, "");
  // The other copy holds the file while it is empty and writes to it just
  // before letting go: what it wrote is gone once the replacing open is ours.
  OtherProcess writer(300, [f] {
    HANDLE h = Fs().Open(f, Access::Write, Creation::OpenExisting);
    if (!IsOpen(h)) return false;
    std::thread([h] {
      std::this_thread::sleep_for(milliseconds(150));
      Fs().Write(h, "written late", 12);
    }).detach();
    return true;
  });
  ASSERT_TRUE(writer.Holding());
  HANDLE w = Fs().Open(f, Access::Write, Creation::CreateAlways);
  ASSERT_TRUE(IsOpen(w));
  EXPECT_EQ(Slurp(f), "");
  Fs().Close(w);
  EXPECT_TRUE(writer.Wait());
}

TEST(LockWait, ConflictWithinThisProcessFailsAtOnce) {
  LockWaitFor bound(seconds(20));
  std::string f = TestEnv::FreshDir("own") + "DES2";
  Put(f, "contacts");
  HANDLE w = Fs().Open(f, Access::Write, Creation::OpenAlways);
  ASSERT_TRUE(IsOpen(w));
  auto start = steady_clock::now();
  EXPECT_EQ(Fs().Open(f, Access::Read, Creation::OpenExisting), INVALID_HANDLE_VALUE);
  EXPECT_EQ(LastFileError(), FileError::Busy);
  EXPECT_EQ(Fs().Open(f, Access::Write, Creation::CreateAlways), INVALID_HANDLE_VALUE);
  EXPECT_LT(MsSince(start), 2000);  // far below the 20 s bound
  // A document read takes no lock and is never refused.
  std::string doc;
  EXPECT_TRUE(ReadWholeFile(f, doc));
  EXPECT_EQ(doc, "contacts");
  Fs().Close(w);

  // Our own reader blocks our writer at once, even with another process
  // reading too.
  HANDLE r = Fs().Open(f, Access::Read, Creation::OpenExisting);
  ASSERT_TRUE(IsOpen(r));
  OtherProcess other(f, Access::Read, -1);
  ASSERT_TRUE(other.Holding());
  start = steady_clock::now();
  EXPECT_EQ(Fs().Open(f, Access::Write, Creation::OpenAlways), INVALID_HANDLE_VALUE);
  EXPECT_LT(MsSince(start), 2000);
  Fs().Close(r);
  EXPECT_EQ(Slurp(f), "contacts");
}

TEST(LockWait, AScopeOpensWithoutWaitingOnItsThreadOnly) {
  LockWaitFor bound(milliseconds(1500));
  std::string f = TestEnv::FreshDir("nowait") + "KEPb.007";
  Put(f, "catalog");
  OtherProcess builder(f, Access::Write, -1);
  ASSERT_TRUE(builder.Holding());
  long long otherThread = -1;
  {
    LockWaitScope noWait(milliseconds(0));
    EXPECT_EQ(LockWait(), milliseconds(0));
    auto start = steady_clock::now();
    EXPECT_EQ(Fs().Open(f, Access::Read, Creation::OpenExisting), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastFileError(), FileError::Busy);
    EXPECT_LT(MsSince(start), 500);
    // Another thread keeps the bound of the process.
    std::thread t([&] {
      auto s = steady_clock::now();
      Fs().Open(f, Access::Read, Creation::OpenExisting);
      otherThread = MsSince(s);
    });
    t.join();
    {
      LockWaitScope inner(milliseconds(300));
      EXPECT_EQ(LockWait(), milliseconds(300));
    }
    EXPECT_EQ(LockWait(), milliseconds(0));
  }
  EXPECT_GE(otherThread, 1000);
  EXPECT_EQ(LockWait(), milliseconds(1500));
}

TEST(FileErrors, EachFailureNamesItsCause) {
  std::string dir = TestEnv::FreshDir("causes");
  EXPECT_EQ(Fs().Open(dir + "missing", Access::Read, Creation::OpenExisting), INVALID_HANDLE_VALUE);
  EXPECT_EQ(LastFileError(), FileError::NotFound);
  EXPECT_EQ(Fs().Open(dir + "no-dir/x", Access::Write, Creation::OpenAlways), INVALID_HANDLE_VALUE);
  EXPECT_EQ(LastFileError(), FileError::NotFound);
  EXPECT_EQ(Fs().Open("", Access::Read, Creation::OpenExisting), INVALID_HANDLE_VALUE);
  EXPECT_EQ(LastFileError(), FileError::NotFound);

  Put(dir + "there", "x");
  EXPECT_EQ(Fs().Open(dir + "there", Access::Write, Creation::CreateNew), INVALID_HANDLE_VALUE);
  EXPECT_EQ(LastFileError(), FileError::Exists);
  EXPECT_EQ(Slurp(dir + "there"), "x");
  HANDLE n = Fs().Open(dir + "new", Access::Write, Creation::CreateNew);
  EXPECT_TRUE(IsOpen(n));
  Fs().Close(n);

  // Not a regular file.
  EXPECT_EQ(Fs().Open(dir.substr(0, dir.size() - 1), Access::Read, Creation::OpenExisting),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(LastFileError(), FileError::Other);

  if (geteuid() != 0) {  // root opens anything
    Put(dir + "ro", "x");
    chmod((dir + "ro").c_str(), 0400);
    EXPECT_EQ(Fs().Open(dir + "ro", Access::Write, Creation::OpenAlways), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastFileError(), FileError::Permission);
  }

  EXPECT_TRUE(Fs().MakeDir(dir + "sub"));
  EXPECT_FALSE(Fs().MakeDir(dir + "sub"));
  EXPECT_EQ(LastFileError(), FileError::Exists);
  EXPECT_FALSE(Fs().Rename(dir + "gone", dir + "other"));
  EXPECT_EQ(LastFileError(), FileError::NotFound);
  EXPECT_FALSE(Fs().Remove(dir + "sub"));  // a directory is no data file
  EXPECT_TRUE(Fs().RemoveDir(dir + "sub"));
  EXPECT_FALSE(Fs().RemoveDir(dir + "sub"));
  EXPECT_EQ(LastFileError(), FileError::NotFound);
  EXPECT_TRUE(Fs().SyncDir(dir));
  EXPECT_FALSE(Fs().SyncDir(dir + "none"));
}

TEST(FileErrors, AFullDiskIsReportedThroughTheAtomicWrite) {
  std::string f = TestEnv::FreshDir("full") + "doc.txt";
  Put(f, "original");
  FaultFs fs;
  fs.diskSpace = 3;
  {
    FaultFs::Scope scope(fs);
    EXPECT_FALSE(WriteFileAtomic(f, "a longer replacement"));
    // The cause survives the clean-up of the temporary file.
    EXPECT_EQ(LastFileError(), FileError::NoSpace);
    EXPECT_STREQ(FileErrorText(LastFileError()), "disk full");
  }
  EXPECT_EQ(Slurp(f), "original");
}

// The registry's writers wait for another copy's change the same way.
TEST(LockWait, RegistryChangeWaitsForAnotherCopy) {
  std::string dir = TestEnv::FreshDir("regwait");
  setenv("ZARNS_DATA_DIR", (dir + "data").c_str(), 1);
  Registry& r = ClassesRoot();
  ASSERT_TRUE(r.SetString("Kept", "", "1"));
  auto lockDataDir = [] {
    int fd = open(DataDir().c_str(), O_RDONLY | O_DIRECTORY);
    return fd >= 0 && flock(fd, LOCK_EX) == 0;  // held until the child exits
  };
  {
    LockWaitFor bound(seconds(20));
    OtherProcess other(300, lockDataDir);
    ASSERT_TRUE(other.Holding());
    auto start = steady_clock::now();
    EXPECT_TRUE(r.SetString("Waited", "", "2"));
    EXPECT_GE(MsSince(start), 100);
  }
  {
    LockWaitFor bound(milliseconds(200));
    OtherProcess other(-1, lockDataDir);
    ASSERT_TRUE(other.Holding());
    EXPECT_FALSE(r.SetString("Refused", "", "3"));
    EXPECT_EQ(LastFileError(), FileError::Busy);
    EXPECT_FALSE(r.DeleteKey("Kept"));
    EXPECT_TRUE(r.CreateKey("Kept"));  // it exists: nothing to change
    EXPECT_FALSE(r.CreateKey("Other"));
  }
  EXPECT_FALSE(r.KeyExists("Refused"));
  EXPECT_EQ(r.GetString("Kept", ""), "1");
  EXPECT_EQ(r.GetString("Waited", ""), "2");
  setenv("ZARNS_DATA_DIR", (TestEnv::Root() + "data").c_str(), 1);
}
