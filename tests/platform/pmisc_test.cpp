// Data directory, clock, memory status, launcher and directory walking.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

#include "common/testenv.h"
#include "platform/pclock.h"
#include "platform/pdatadir.h"
#include "platform/pdir.h"
#include "platform/plauncher.h"
#include "platform/psysinfo.h"

using namespace plat;

TEST(DataDir, FollowsTheEnvironmentAndIsCreated) {
  std::string root = TestEnv::FreshDir("dd");
  std::string saved = std::getenv("ZARNS_DATA_DIR");
  setenv("ZARNS_DATA_DIR", (root + "a/b").c_str(), 1);
  EXPECT_EQ(DataDir(), root + "a/b/");
  struct stat st;
  EXPECT_EQ(stat((root + "a/b").c_str(), &st), 0);
  EXPECT_EQ(DataPath("LES1.007"), root + "a/b/LES1.007");

  unsetenv("ZARNS_DATA_DIR");
  setenv("XDG_DATA_HOME", (root + "xdg").c_str(), 1);
  EXPECT_EQ(DataDir(), root + "xdg/zarns/");
  EXPECT_EQ(stat((root + "xdg/zarns").c_str(), &st), 0);
  EXPECT_EQ(XdgDataHome(), root + "xdg/");

  setenv("XDG_DATA_HOME", "relative/path", 1);  // not absolute: ignored
  EXPECT_EQ(DataDir(), HomeDir() + ".local/share/zarns/");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(DataDir(), HomeDir() + ".local/share/zarns/");

  setenv("XDG_DATA_HOME", (TestEnv::Root() + "xdg-data").c_str(), 1);
  setenv("ZARNS_DATA_DIR", saved.c_str(), 1);
  // Removed behind our back: created again on the next use.
  std::string d = DataDir();
  rmdir(d.c_str());
  EXPECT_EQ(DataDir(), d);
  EXPECT_EQ(stat(d.c_str(), &st), 0);
}

TEST(Clock, RealTimeAndTestOverride) {
  LocalTime t = Now();
  EXPECT_GE(t.year, 2024);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_GE(t.milliseconds, 0);
  EXPECT_LE(t.milliseconds, 999);
  EXPECT_LE(t.dayOfWeek, 6);
  // Milliseconds move between two readings a little apart.
  LocalTime a = Now();
  std::this_thread::sleep_for(std::chrono::milliseconds(15));
  LocalTime b = Now();
  EXPECT_NE(a.second * 1000 + a.milliseconds, b.second * 1000 + b.milliseconds);

  SetClockForTest([] {
    LocalTime f;
    f.year = 1999;
    f.milliseconds = 123;
    return f;
  });
  EXPECT_EQ(Now().year, 1999);
  EXPECT_EQ(Now().milliseconds, 123);
  SetClockForTest({});
  EXPECT_GE(Now().year, 2024);
}

TEST(SysInfo, MemoryFromProc) {
  MemoryStatus m = GetMemoryStatus();
  EXPECT_GT(m.totalPhys, 0u);
  EXPECT_LE(m.availPhys, m.totalPhys);
  EXPECT_LE(m.memoryLoad, 100u);
  EXPECT_LE(m.availPageFile, m.totalPageFile);
  EXPECT_GT(m.totalVirtual, 0u);
  EXPECT_LE(m.availVirtual, m.totalVirtual);
}

TEST(Launcher, RecordingLauncherRecords) {
  RecordingLauncher rec;
  SetLauncher(&rec);
  EXPECT_TRUE(Launch().Open("/tmp/a b.txt"));
  EXPECT_TRUE(Launch().Dial("555 1234"));
  EXPECT_TRUE(Launch().Mail({"/x", "/y"}));
  rec.result = false;
  rec.mailAvailable = false;
  EXPECT_FALSE(Launch().Open("https://example.org/?q=a;b"));
  EXPECT_FALSE(Launch().CanMail());
  SetLauncher(nullptr);
  ASSERT_EQ(rec.calls.size(), 4u);
  EXPECT_EQ(rec.calls[0].kind, "open");
  EXPECT_EQ(rec.calls[0].target, "/tmp/a b.txt");
  EXPECT_EQ(rec.calls[1].kind, "dial");
  EXPECT_EQ(rec.calls[1].target, "555 1234");
  EXPECT_EQ(rec.calls[2].kind, "mail");
  EXPECT_EQ(rec.calls[2].target, "/x\n/y");
}

TEST(Launcher, StartsDetachedWithoutAShell) {
  std::string dir = TestEnv::FreshDir("spawn");
  std::string marker = dir + "m;touch $(echo injected) 'q\"";
  // The argument reaches the program as one word: no shell splits it.
  ASSERT_TRUE(StartDetached({"touch", marker}));
  for (int i = 0; i < 200 && access(marker.c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(access(marker.c_str(), F_OK), 0);
  EXPECT_FALSE(StartDetached({"zarns-no-such-program-here"}));
  EXPECT_FALSE(StartDetached({}));
  // No child is left for us to reap: the helper belongs to init.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(Launcher, CanMailLooksOnPath) {
  std::string dir = TestEnv::FreshDir("path");
  std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", dir.c_str(), 1);
  SetLauncher(nullptr);
  EXPECT_FALSE(Launch().CanMail());
  std::ofstream(dir + "xdg-email") << "#!/bin/sh\n";
  chmod((dir + "xdg-email").c_str(), 0755);
  EXPECT_TRUE(Launch().CanMail());
  setenv("PATH", saved.c_str(), 1);
}

TEST(Directory, EnumeratesWithoutFollowingLinks) {
  std::string dir = TestEnv::FreshDir("walk");
  mkdir((dir + "sub").c_str(), 0755);
  std::ofstream(dir + "file.txt") << "12345";
  std::ofstream(dir + "sub/inner") << "x";
  symlink((dir + "sub").c_str(), (dir + "linkdir").c_str());
  mkfifo((dir + "fifo").c_str(), 0644);

  auto d = Directory::Open(dir);
  ASSERT_TRUE(d);
  std::map<std::string, DirEntry> seen;
  DirEntry e;
  while (d->Next(e)) seen[e.name] = e;
  ASSERT_EQ(seen.size(), 4u);  // no "." or ".."
  EXPECT_EQ(seen["sub"].type, EntryType::Directory);
  EXPECT_EQ(seen["file.txt"].type, EntryType::Regular);
  EXPECT_EQ(seen["file.txt"].size, 5u);
  EXPECT_EQ(seen["linkdir"].type, EntryType::Symlink);
  EXPECT_EQ(seen["fifo"].type, EntryType::Other);
  EXPECT_EQ(seen["sub"].device, d->Device());

  d->Rewind();
  int again = 0;
  while (d->Next(e)) ++again;
  EXPECT_EQ(again, 4);

  EXPECT_TRUE(d->OpenChild("sub"));
  EXPECT_FALSE(d->OpenChild("linkdir"));  // never into a directory through a link
  EXPECT_FALSE(d->OpenChild("file.txt"));
  EXPECT_FALSE(d->OpenChild(".."));
  EXPECT_FALSE(Directory::Open(dir + "linkdir"));
  EXPECT_FALSE(Directory::Open(dir + "missing"));

  int fd = d->OpenFileForRead("file.txt");
  ASSERT_GE(fd, 0);
  char buf[8];
  EXPECT_EQ(read(fd, buf, 8), 5);
  close(fd);
  EXPECT_EQ(d->OpenFileForRead("fifo"), -1);  // at once, not blocked
  EXPECT_EQ(d->OpenFileForRead("sub"), -1);
  EXPECT_EQ(d->OpenFileForRead("linkdir"), -1);
  EXPECT_EQ(d->OpenFileForRead("sub/inner"), -1);
}
