// A build replaces the catalog whole or not at all: a lock held by a reader,
// a second build, a build killed at any moment, a disk that fills up, a
// failed file operation at every point. After each, the catalog in place is
// the old one or the complete new one, and a search answers from it.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>

#include "catalog/buildprogress.h"
#include "catalog/catfiles.h"
#include "catalog/catlock.h"
#include "catalog/zrnreg.h"
#include "catalog_fixture.h"
#include "common/faultfs.h"

using namespace cattest;

namespace {

std::string Canon(const std::string& dir) {
  std::string p = std::filesystem::canonical(dir).string();
  return p.back() == '/' ? p : p + "/";
}

// Every operation goes to the real file system; the `killAt`-th one kills
// the process first (a build stopped by SIGKILL at that moment).
class KillingFs : public plat::FileSystem {
 public:
  explicit KillingFs(long killAt) : killAt_(killAt) {}
  plat::HANDLE Open(const std::string& p, plat::Access a, plat::Creation c) override {
    return Step(), Fs().Open(p, a, c);
  }
  bool Close(plat::HANDLE h) override { return Step(), Fs().Close(h); }
  long long Read(plat::HANDLE h, void* b, std::size_t n) override {
    return Step(), Fs().Read(h, b, n);
  }
  long long Write(plat::HANDLE h, const void* b, std::size_t n) override {
    return Step(), Fs().Write(h, b, n);
  }
  long long Seek(plat::HANDLE h, long long o, plat::Whence w) override {
    return Step(), Fs().Seek(h, o, w);
  }
  long long Size(plat::HANDLE h) override { return Step(), Fs().Size(h); }
  bool Sync(plat::HANDLE h) override { return Step(), Fs().Sync(h); }
  bool SetMode(plat::HANDLE h, unsigned m) override { return Step(), Fs().SetMode(h, m); }
  bool Remove(const std::string& p) override { return Step(), Fs().Remove(p); }
  bool Rename(const std::string& f, const std::string& t) override {
    return Step(), Fs().Rename(f, t);
  }
  bool MakeDir(const std::string& p) override { return Step(), Fs().MakeDir(p); }
  bool RemoveDir(const std::string& p) override { return Step(), Fs().RemoveDir(p); }
  bool SyncDir(const std::string& p) override { return Step(), Fs().SyncDir(p); }
  bool Exists(const std::string& p) override { return Step(), Fs().Exists(p); }
  long Count() const { return count_; }

 private:
  static plat::FileSystem& Fs() { return plat::PosixFs(); }
  void Step() {
    if (++count_ == killAt_) ::raise(SIGKILL);
  }
  std::atomic<long> count_{0};
  long killAt_;
};

// The real file system, recording which files were synced before the swap
// marker went into place, and failing the sync of files whose path holds
// `failSyncOf`. Syncs come from more than one thread.
class SyncRecordingFs : public plat::FileSystem {
 public:
  plat::HANDLE Open(const std::string& p, plat::Access a, plat::Creation c) override {
    plat::HANDLE h = Fs().Open(p, a, c);
    std::lock_guard<std::mutex> lock(mu_);
    if (plat::IsOpen(h)) paths_[h] = p;
    return h;
  }
  bool Close(plat::HANDLE h) override { return Fs().Close(h); }
  long long Read(plat::HANDLE h, void* b, std::size_t n) override { return Fs().Read(h, b, n); }
  long long Write(plat::HANDLE h, const void* b, std::size_t n) override {
    return Fs().Write(h, b, n);
  }
  long long Seek(plat::HANDLE h, long long o, plat::Whence w) override {
    return Fs().Seek(h, o, w);
  }
  long long Size(plat::HANDLE h) override { return Fs().Size(h); }
  bool Sync(plat::HANDLE h) override {
    std::string path;
    {
      std::lock_guard<std::mutex> lock(mu_);
      path = paths_[h];
      if (!failSyncOf.empty() && path.find(failSyncOf) != std::string::npos) {
        plat::SetLastFileError(plat::FileError::NoSpace);
        return false;
      }
      if (!markerIn_) syncedBefore.insert(path.substr(path.rfind('/') + 1));
    }
    return Fs().Sync(h);
  }
  bool SetMode(plat::HANDLE h, unsigned m) override { return Fs().SetMode(h, m); }
  bool Remove(const std::string& p) override { return Fs().Remove(p); }
  bool Rename(const std::string& f, const std::string& t) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (t.size() >= 4 && t.compare(t.size() - 4, 4, "SWAP") == 0) markerIn_ = true;
    return Fs().Rename(f, t);
  }
  bool MakeDir(const std::string& p) override { return Fs().MakeDir(p); }
  bool RemoveDir(const std::string& p) override { return Fs().RemoveDir(p); }
  bool SyncDir(const std::string& p) override { return Fs().SyncDir(p); }
  bool Exists(const std::string& p) override { return Fs().Exists(p); }

  std::string failSyncOf;
  std::set<std::string> syncedBefore;  // file names synced before the marker

 private:
  static plat::FileSystem& Fs() { return plat::PosixFs(); }
  std::mutex mu_;
  std::map<plat::HANDLE, std::string> paths_;
  bool markerIn_ = false;
};

class CatSwapTest : public CatalogTest {
 protected:
  // The old tree: "oldword" and "common" in a.txt, and enough distinct
  // words in other files for three numbered catalogs.
  void OldTree() {
    WriteFile(root + "a.txt", "oldword common");
    for (int f = 0; f < 9; ++f) {
      std::string text;
      for (int i = 0; i < 3000; ++i) text += WordFor(f * 3000 + i, 9) + " ";
      WriteFile(root + "big/w" + std::to_string(f) + ".txt", text);
    }
  }
  // The new tree: a.txt and the big files gone, b.txt with "newword".
  void NewTree() {
    std::filesystem::remove_all(root);
    WriteFile(root + "b.txt", "newword common");
  }
  // "old" or "new" by what the catalog in place answers; "mixed" for
  // anything else (a failed expectation says why).
  std::string Answering() {
    auto common = Find("common");
    if (common == std::vector<std::string>{"a.txt|" + Canon(root)} && Find("oldword").size() == 1 &&
        Find("newword").empty() && Find(WordFor(8 * 3000 + 5, 9)).size() == 1 &&
        DataExists("LES3.007"))
      return "old";
    if (common == std::vector<std::string>{"b.txt|" + Canon(root)} && Find("oldword").empty() &&
        Find(WordFor(5, 9)).empty() && !DataExists("LES2.007"))
      return "new";
    return "mixed";
  }
  // The data directory's catalog files, for putting back the old catalog.
  std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> m;
    for (auto& e : std::filesystem::directory_iterator(plat::DataPath(""))) {
      const std::string name = e.path().filename().string();
      if (e.is_regular_file() && name != kCatalogLockName && name != kBuildLockName)
        m[name] = ReadData(name);
    }
    return m;
  }
  void Restore(const std::map<std::string, std::string>& snap) {
    std::filesystem::remove_all(StagingDir());
    for (auto& e : std::filesystem::directory_iterator(plat::DataPath("")))
      if (e.is_regular_file() && !snap.count(e.path().filename().string()))
        std::filesystem::remove(e.path());
    for (auto& [name, bytes] : snap) WriteData(name, bytes);
  }
  bool StagingLeft() { return std::filesystem::exists(StagingDir()); }
  // The catalog `fresh` staged with its marker over the one in place, and
  // the swap stopped after moving `moved` in.
  void StageSwapStoppedAfter(const std::map<std::string, std::string>& fresh,
                             const std::string& moved) {
    std::filesystem::create_directory(StagingDir());
    for (auto& [name, bytes] : fresh) WriteFile(StagingDir() + name, bytes);
    WriteFile(StagingDir() + kSwapMarkerName, "1\n");
    std::filesystem::rename(StagingDir() + moved, plat::DataPath(moved));
  }
};

// A child process that holds a lock until killed; returns its pid once held.
template <typename Hold>
pid_t HoldInChild(Hold hold) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    hold();
    char c = 1;
    if (::write(fds[1], &c, 1) != 1) ::_exit(2);
    for (;;) ::pause();
  }
  ::close(fds[1]);
  char c = 0;
  if (::read(fds[0], &c, 1) != 1) pid = -1;
  ::close(fds[0]);
  return pid;
}

void EndChild(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGKILL);
  int st = 0;
  ::waitpid(pid, &st, 0);
}

}  // namespace

TEST_F(CatSwapTest, ABuildLeavesNoStagingAndPrivateFiles) {
  OldTree();
  BuildStats s = Build();
  EXPECT_FALSE(s.failed);
  EXPECT_EQ(s.catalogs, 3);
  EXPECT_FALSE(StagingLeft());
  EXPECT_EQ(Answering(), "old");
  for (auto& [name, bytes] : Snapshot()) {
    if (name.rfind("EMS", 0) == 0 || name.rfind("KEP.", 0) == 0 || name.rfind("KEPt", 0) == 0 ||
        name.rfind("KEPc", 0) == 0)
      continue;  // the lists, written by this test
    struct stat st;
    ASSERT_EQ(::stat(plat::DataPath(name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
  }
  NewTree();
  s = Build();
  EXPECT_FALSE(s.failed);
  EXPECT_EQ(Answering(), "new");  // LES2, LES3 of the old build are gone
  EXPECT_FALSE(DataExists("LESt3.007"));
}

TEST_F(CatSwapTest, AReadLockOnACatalogFileDoesNotStopTheRebuild) {
  OldTree();
  Build();
  // Another copy reading the file-type matches (a lock of its own).
  pid_t reader = HoldInChild([] {
    plat::Fs().Open(plat::DataPath("KEPb.007"), plat::Access::Read, plat::Creation::OpenExisting);
  });
  ASSERT_GT(reader, 0);
  NewTree();
  BuildStats s = Build();
  EndChild(reader);
  EXPECT_FALSE(s.failed);
  EXPECT_EQ(Answering(), "new");
}

TEST_F(CatSwapTest, AReaderHoldingTheCatalogPastTheWaitKeepsTheOldCatalog) {
  OldTree();
  Build();
  pid_t reader = HoldInChild([] { new CatalogLock(CatalogLock::Kind::Read); });
  ASSERT_GT(reader, 0);
  NewTree();
  plat::SetLockWait(std::chrono::milliseconds(100));
  BuildStats s = Build();
  plat::SetLockWait(std::chrono::milliseconds(5000));
  EXPECT_TRUE(s.failed);
  EXPECT_FALSE(s.busy);
  EXPECT_EQ(s.error, plat::FileError::Busy);
  EXPECT_FALSE(StagingLeft());
  EXPECT_EQ(Answering(), "old");  // readers share the lock with the other one
  EndChild(reader);
  EXPECT_FALSE(Build().failed);
  EXPECT_EQ(Answering(), "new");
}

TEST_F(CatSwapTest, ASecondBuildIsRefusedBeforeItTouchesAnything) {
  OldTree();
  Build();
  const auto before = Snapshot();
  pid_t other = HoldInChild([] { new CatalogLock(CatalogLock::Kind::Build); });
  ASSERT_GT(other, 0);
  EXPECT_TRUE(CatalogBuildRunning());
  NewTree();
  BuildStats s = Build();
  EXPECT_TRUE(s.failed);
  EXPECT_TRUE(s.busy);
  EXPECT_EQ(s.files, 0u);
  EXPECT_TRUE(Snapshot() == before);
  // Searches go on meanwhile, from the catalog in place.
  EXPECT_EQ(Answering(), "old");
  EndChild(other);
  EXPECT_FALSE(CatalogBuildRunning());
  EXPECT_FALSE(Build().failed);
  EXPECT_EQ(Answering(), "new");
}

TEST_F(CatSwapTest, WithinOneProcessTooABuildUnderWayRefusesAnother) {
  WriteFile(root + "a.txt", "oldword common");
  CatalogLock running(CatalogLock::Kind::Build);
  ASSERT_TRUE(running.Held());
  BuildStats s = Build();
  EXPECT_TRUE(s.busy);
  EXPECT_FALSE(DataExists("IMS.007"));
  running.Release();
  EXPECT_FALSE(Build().failed);
}

TEST_F(CatSwapTest, CancelKeepsThePreviousCatalogOrGivesTheFirstOne) {
  struct CancelAtOnce : BuildProgress {
    void SetMax(int) override {}
    void SetHeadText(const std::string&) override {}
    void SetCreateDirMapCurrent() override {}
    void SetCreateCatalogCurrent() override {}
    void SetCreateFileListCurrent() override {}
    void SetDirNumText(int) override {}
    bool StepVal(const std::string&) override { return ++steps < 4; }
    int steps = 0;
  };
  // No catalog yet: what was found before the cancel becomes the catalog.
  WriteFile(root + "a.txt", "oldword common");
  WriteFile(root + "s1/b.txt", "firstdir words");
  WriteFile(root + "s2/c.txt", "seconddir words");
  CancelAtOnce first;
  WordCat w(files);
  w.CreateWordCatalog(&first, {root});
  EXPECT_TRUE(w.Stats().cancelled);
  EXPECT_FALSE(w.Stats().keptPrevious);
  EXPECT_EQ(Find("firstdir").size(), 1u);
  EXPECT_TRUE(Find("seconddir").empty());
  // With one in place, a cancelled rebuild leaves it as it was.
  const auto before = Snapshot();
  WriteFile(root + "s1/d.txt", "another newer file");
  CancelAtOnce second;
  w.CreateWordCatalog(&second, {root});
  EXPECT_TRUE(w.Stats().cancelled);
  EXPECT_TRUE(w.Stats().keptPrevious);
  EXPECT_TRUE(Snapshot() == before);
  EXPECT_FALSE(StagingLeft());
}

// A build killed (SIGKILL) at every file operation of the build and swap:
// the next start completes or undoes what it left, and the catalog answers
// as the old one or the complete new one.
TEST_F(CatSwapTest, ABuildKilledAtAnyMomentLeavesOldOrNew) {
  OldTree();
  Build();
  const auto old = Snapshot();
  NewTree();
  // How many operations a whole build takes.
  long total = 0;
  {
    KillingFs counter(-1);
    plat::SetFs(&counter);
    WordCat w(files);
    w.CreateWordCatalog(nullptr, {root});
    plat::SetFs(nullptr);
    total = counter.Count();
  }
  ASSERT_GT(total, 10);
  int olds = 0, news = 0, moments = 0;
  for (long n = 1; n <= total; ++n) {
    Restore(old);
    pid_t pid = ::fork();
    if (pid == 0) {
      KillingFs fs(n);
      plat::SetFs(&fs);
      ZrnIO own;
      WordCat w(own);
      w.useHelperThread = false;
      w.CreateWordCatalog(nullptr, {root});
      ::_exit(0);
    }
    int st = 0;
    ASSERT_EQ(::waitpid(pid, &st, 0), pid);
    if (!WIFSIGNALED(st)) continue;
    ++moments;
    // The next start.
    RecoverCatalog();
    EXPECT_FALSE(StagingLeft()) << "killed at operation " << n;
    const std::string a = Answering();
    EXPECT_NE(a, "mixed") << "killed at operation " << n;
    (a == "old" ? olds : news)++;
  }
  EXPECT_GE(moments, 10);
  EXPECT_GT(olds, 0);
  EXPECT_GT(news, 0);  // killed during the swap, after the marker
  std::printf("killed at %d moments: %d old, %d new catalogs\n", moments, olds, news);
}

// The disk fills up at every point of a build in turn (every operation from
// the N-th on fails with "disk full"): the old catalog stays whole, or the
// new one is complete once the next start finishes the swap; a failure is
// reported with its cause, never as success.
TEST_F(CatSwapTest, AFullDiskAtAnyPointLeavesOldOrNew) {
  OldTree();
  Build();
  const auto old = Snapshot();
  NewTree();
  FaultFs fs;
  fs.injectedError = plat::FileError::NoSpace;
  BuildStats s;
  int olds = 0, news = 0;
  long points = SweepFaults(fs, FaultSweep{[&] { Restore(old); },
                                           [&] {
                                             WordCat w(files);
                                             w.CreateWordCatalog(nullptr, {root});
                                             s = w.Stats();
                                           },
                                           [&](long) {
                                             if (s.failed) {
                                               EXPECT_EQ(s.error, plat::FileError::NoSpace);
                                             }
                                             RecoverCatalog();
                                             EXPECT_FALSE(StagingLeft());
                                             const std::string a = Answering();
                                             EXPECT_NE(a, "mixed");
                                             if (!s.failed) {
                                               EXPECT_EQ(a, "new");
                                             }
                                             (a == "old" ? olds : news)++;
                                           },
                                           /*sticky=*/true});
  EXPECT_GT(points, 20);
  EXPECT_GT(olds, 0);
  std::printf("full disk at %ld points: %d old, %d new catalogs\n", points, olds, news);
}

// One failed operation at every point (not a disk gone for good): the
// same guarantee, and a build that reports success has put the new one in.
TEST_F(CatSwapTest, OneFailedOperationAtAnyPointLeavesOldOrNew) {
  OldTree();
  Build();
  const auto old = Snapshot();
  NewTree();
  FaultFs fs;
  BuildStats s;
  long points = SweepFaults(fs, FaultSweep{[&] { Restore(old); },
                                           [&] {
                                             WordCat w(files);
                                             w.CreateWordCatalog(nullptr, {root});
                                             s = w.Stats();
                                           },
                                           [&](long) {
                                             RecoverCatalog();
                                             EXPECT_FALSE(StagingLeft());
                                             const std::string a = Answering();
                                             EXPECT_NE(a, "mixed");
                                             if (!s.failed) {
                                               EXPECT_EQ(a, "new");
                                             }
                                           }});
  EXPECT_GT(points, 20);
  std::printf("single failed operation at %ld points\n", points);
}

// An interrupted swap found at the next build is completed before the
// build starts; a staging folder without its marker is removed.
TEST_F(CatSwapTest, RecoveryRollsForwardWithTheMarkerAndBackWithout) {
  OldTree();
  Build();
  const auto old = Snapshot();
  NewTree();
  Build();
  const auto fresh = Snapshot();
  // The new catalog staged with its marker, the swap stopped after IMS.007.
  Restore(old);
  StageSwapStoppedAfter(fresh, "IMS.007");
  EXPECT_TRUE(SwapPending());
  EXPECT_EQ(RecoverCatalog(), Recovery::RolledForward);
  EXPECT_EQ(Answering(), "new");
  EXPECT_FALSE(StagingLeft());
  // Without the marker: the half-written folder goes, the catalog stays.
  std::filesystem::create_directory(StagingDir());
  WriteFile(StagingDir() + "NCS.007", "partial");
  EXPECT_EQ(RecoverCatalog(), Recovery::RolledBack);
  EXPECT_EQ(Answering(), "new");
  EXPECT_FALSE(StagingLeft());
  EXPECT_EQ(RecoverCatalog(), Recovery::Nothing);
  // A running build's folder is not touched.
  std::filesystem::create_directory(StagingDir());
  {
    CatalogLock running(CatalogLock::Kind::Build);
    EXPECT_EQ(RecoverCatalog(), Recovery::Busy);
    EXPECT_TRUE(StagingLeft());
  }
  EXPECT_EQ(RecoverCatalog(), Recovery::RolledBack);
}

// A reader finding a marker completes the swap before it reads: it never
// answers from a mix of two catalogs.
TEST_F(CatSwapTest, ASearchCompletesAPendingSwapFirst) {
  OldTree();
  Build();
  const auto old = Snapshot();
  NewTree();
  Build();
  const auto fresh = Snapshot();
  Restore(old);
  StageSwapStoppedAfter(fresh, "NCS.007");
  EXPECT_EQ(Find("common"), std::vector<std::string>{"b.txt|" + Canon(root)});
  EXPECT_FALSE(SwapPending());
}

// The numbered word files are made durable beside the build, not at each
// switch; every one of them is synced before the marker goes in, and one
// that cannot be fails the build with the old catalog kept.
TEST_F(CatSwapTest, EveryWordFileIsDurableBeforeTheSwap) {
  OldTree();
  SyncRecordingFs fs;
  {
    plat::SetFs(&fs);
    const BuildStats s = Build();
    plat::SetFs(nullptr);
    ASSERT_FALSE(s.failed);
    ASSERT_GE(s.catalogs, 3);
    for (int n = 1; n <= s.catalogs; ++n)
      for (const std::string& f :
           {"LES" + std::to_string(n) + ".007", "LESt" + std::to_string(n) + ".007"})
        EXPECT_TRUE(fs.syncedBefore.count(f)) << f;
    for (const char* f : {"NCS.007", "IMS.007", "LESi.007", "NCSx.007", "KEPb.007", "DES.007"})
      EXPECT_TRUE(fs.syncedBefore.count(f)) << f;
  }
  EXPECT_EQ(Answering(), "old");
  const auto old = Snapshot();
  // A word file of the first catalog cannot be made durable: the build
  // fails, and says why, and the old catalog stays whole.
  NewTree();
  for (int f = 0; f < 9; ++f) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += WordFor(90000 + f * 3000 + i, 9) + " ";
    WriteFile(root + "big/n" + std::to_string(f) + ".txt", text);
  }
  // So does one of the files synced beside the index (the matches), and
  // the index itself.
  for (const char* name : {"LESt1.007", "NCS.007", "NCSx.007"}) {
    SyncRecordingFs failing;
    failing.failSyncOf = std::string("catalog.new/") + name;
    plat::SetFs(&failing);
    const BuildStats s = Build();
    plat::SetFs(nullptr);
    EXPECT_TRUE(s.failed) << name;
    EXPECT_EQ(s.error, plat::FileError::NoSpace) << name;
    EXPECT_EQ(Snapshot(), old) << name;
    EXPECT_FALSE(StagingLeft()) << name;
  }
}

// The file type viewer's lists come from one catalog too: a pending swap
// is completed before the names and their records are read.
TEST_F(CatSwapTest, TheFileTypeViewerCompletesAPendingSwapFirst) {
  SetLists({".txt"}, {".mp3"});
  OldTree();
  WriteFile(root + "old-song.mp3", "x");
  Build();
  const auto old = Snapshot();
  NewTree();
  WriteFile(root + "deep/new-song.mp3", "x");
  Build();
  const auto fresh = Snapshot();
  Restore(old);
  // The swap stopped after the names file: names of the new catalog, file
  // type records of the old one.
  StageSwapStoppedAfter(fresh, "IMS.007");
  ZrnReg reg(files, host);
  ListData list;
  std::string ext = ".MP3";
  reg.GetTypeCatMatchFiles(list, ext);
  EXPECT_FALSE(SwapPending());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].text, "new-song.mp3");
  std::string path;
  ASSERT_TRUE(reg.GetPathFromOffset(list[0].value, path));
  EXPECT_EQ(path, Canon(root) + "deep");
}

// Something that is not a file where a catalog file belongs: the build
// stops before it walks, and says why; nothing in place changes.
TEST_F(CatSwapTest, APlaceThatCannotBeReplacedStopsTheBuildFirst) {
  OldTree();
  Build();
  std::filesystem::remove(plat::DataPath("DESt.007"));
  std::filesystem::create_directory(plat::DataPath("DESt.007"));
  NewTree();
  BuildStats s = Build();
  EXPECT_TRUE(s.failed);
  EXPECT_EQ(s.files, 0u);
  EXPECT_FALSE(StagingLeft());
  EXPECT_EQ(Find("oldword").size(), 1u);
  std::filesystem::remove(plat::DataPath("DESt.007"));
}
