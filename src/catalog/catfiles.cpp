#include "catalog/catfiles.h"

#include <unistd.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>

#include "platform/pdatadir.h"
#include "platform/pdir.h"

namespace {

// The catalog files that are not numbered, in the order they are swapped
// in; the index goes last so that it only ever names word files already
// in place (which matters only to readers that take no lock).
constexpr DataFile kFixedCatalogFiles[] = {
    DataFile::kWordsLtr, DataFile::kFilesBuf,    DataFile::kFilesTbl,
    DataFile::kMatches,  DataFile::kPathsBuf,    DataFile::kPathsTbl,
    DataFile::kExtMatch, DataFile::kWordFileIdx, DataFile::kWordsIdx};

std::string NoSlash(std::string dir) {
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string MarkerPath() { return StagingDir() + kSwapMarkerName; }

// Removes every entry of the staging folder, then the folder. True when
// it is gone.
bool RemoveStaging() {
  const std::string dir = StagingDir();
  if (auto d = plat::Directory::Open(NoSlash(dir))) {
    plat::DirEntry e;
    std::vector<std::string> names;
    while (d->NextQuick(e)) names.push_back(e.name);
    for (auto& n : names) plat::Fs().Remove(dir + n);
  }
  if (!plat::Fs().RemoveDir(NoSlash(dir))) {
    if (plat::LastFileError() != plat::FileError::NotFound) return false;
  }
  plat::Fs().SyncDir(NoSlash(plat::DataDir()));
  return true;
}

bool StagingPresent() {
  auto d = plat::Directory::Open(NoSlash(StagingDir()));
  return d != nullptr;
}

// The number of catalogs the marker names; 0 when it cannot be read.
int ReadMarker() {
  std::string text;
  if (!plat::ReadWholeFile(MarkerPath(), text)) return 0;
  char* end = nullptr;
  long n = std::strtol(text.c_str(), &end, 10);
  return n >= 1 && n < 1000000 && end && *end == '\n' ? static_cast<int>(n) : 0;
}

// A new identifier of the catalog in place, into the (exclusively held)
// catalog lock file: readers that cached the old catalog see the change.
void NewGeneration(plat::HANDLE lock) {
  static unsigned counter = 0;
  unsigned long long v =
      static_cast<unsigned long long>(std::chrono::system_clock::now().time_since_epoch().count()) *
          0x9E3779B97F4A7C15ull ^
      (static_cast<unsigned long long>(::getpid()) << 32) ^ ++counter;
  static const char digits[] = "0123456789abcdef";
  char text[17];
  for (int i = 15; i >= 0; --i, v >>= 4) text[i] = digits[v & 15];
  text[16] = '\n';
  plat::Fs().Seek(lock, 0, plat::Whence::Begin);
  plat::Fs().Write(lock, text, sizeof text);
}

// Moves the staged files into place (those already moved are skipped),
// removes numbered word files of older builds beyond `last` (kept when the
// marker could not be read, last = 0: nothing refers to them, so keeping
// them is harmless), then the marker and the folder. The caller holds the
// swap lock. False when a rename failed: the marker stays for the next
// attempt.
bool SwapIn(int last) {
  plat::FileSystem& fs = plat::Fs();
  const std::string stage = StagingDir(), data = plat::DataDir();
  OldCatalog old;
  auto move = [&](const std::string& name) {
    if (!fs.Exists(stage + name)) return true;  // already in place
    old.Hold(data + name);
    return fs.Rename(stage + name, data + name);
  };
  int n = 1;
  for (;; ++n) {
    const std::string buf = DataFileName(DataFile::kWordsBuf, n);
    const std::string tbl = DataFileName(DataFile::kWordsTbl, n);
    if (n > last && !fs.Exists(stage + buf) && !fs.Exists(stage + tbl)) break;
    if (!move(buf) || !move(tbl)) return false;
  }
  for (DataFile f : kFixedCatalogFiles)
    if (!move(DataFileName(f))) return false;
  if (last > 0 && !RemoveWordFilesAfter(last, data)) return false;
  if (!fs.SyncDir(NoSlash(data))) return false;
  fs.Remove(MarkerPath());
  RemoveStaging();
  old.Let();
  return true;
}

// True when each catalog file in place is a regular file or absent, so the
// swap's renames can replace it: something else under a catalog file's name
// (a directory) is found before the build, not half-way through a swap.
bool PlacesReplaceable() {
  auto ok = [](const std::string& path) {
    plat::HANDLE h =
        plat::Fs().Open(path, plat::Access::ReadUnlocked, plat::Creation::OpenExisting);
    if (plat::IsOpen(h)) {
      plat::Fs().Close(h);
      return true;
    }
    return plat::LastFileError() == plat::FileError::NotFound;
  };
  for (DataFile f : kFixedCatalogFiles)
    if (!ok(DataFilePath(f))) return false;
  return ok(DataFilePath(DataFile::kWordsBuf, 1)) && ok(DataFilePath(DataFile::kWordsTbl, 1));
}

}  // namespace

std::string StagingDir() { return plat::DataPath(kStagingDirName) + "/"; }

bool ExtensionListPresent(ZrnIO& files) {
  return ExtensionListState(files) == plat::FileError::None;
}

plat::FileError ExtensionListState(ZrnIO& files) {
  files.CloseFiles();
  files.OpenFile(DataFile::kExtensions, "r");
  plat::FileError state = plat::IsOpen(files.ExtensionsOut)                ? plat::FileError::None
                          : plat::LastFileError() == plat::FileError::None ? plat::FileError::Other
                                                                           : plat::LastFileError();
  files.CloseFiles();
  return state;
}

bool CatalogComplete() {
  // The word -> files index only speeds searches up: a catalog written
  // before it existed is still whole.
  for (DataFile f : kFixedCatalogFiles)
    if (f != DataFile::kWordFileIdx && !plat::Fs().Exists(DataFilePath(f))) return false;
  return plat::Fs().Exists(DataFilePath(DataFile::kWordsBuf, 1)) &&
         plat::Fs().Exists(DataFilePath(DataFile::kWordsTbl, 1));
}

// --- OldCatalog ----------------------------------------------------------------

void OldCatalog::Release() {
  for (DataFile f : kCatalogFiles)
    if (f != DataFile::kWordsBuf && f != DataFile::kWordsTbl) Take(DataFilePath(f));
  for (int n = 1; n < 100000; ++n) {
    std::string buf = DataFilePath(DataFile::kWordsBuf, n);
    std::string tbl = DataFilePath(DataFile::kWordsTbl, n);
    bool any = plat::Fs().Exists(buf) || plat::Fs().Exists(tbl);
    if (!any && n > 1) break;
    Take(buf);
    Take(tbl);
  }
  Let();
}

void OldCatalog::Hold(const std::string& path) {
  plat::FileSystem& fs = plat::Fs();
  if (&fs != &plat::PosixFs()) return;
  plat::HANDLE h = fs.Open(path, plat::Access::ReadUnlocked, plat::Creation::OpenExisting);
  if (plat::IsOpen(h)) held_.push_back(h);
}

void OldCatalog::Let() {
  if (held_.empty() || worker_.joinable()) return;
  try {
    worker_ = std::thread([h = std::move(held_)] {
      for (plat::HANDLE x : h) plat::PosixFs().Close(x);
    });
  } catch (const std::exception&) {
    Wait();
  }
  held_.clear();
}

void OldCatalog::Wait() {
  if (worker_.joinable()) worker_.join();
  for (plat::HANDLE x : held_) plat::PosixFs().Close(x);
  held_.clear();
}

void OldCatalog::Take(const std::string& path) {
  Hold(path);
  plat::Fs().Remove(path);
}

// --- creating and trimming --------------------------------------------------------

bool CreateCatalogFiles(ZrnIO& files, const std::string& dir) {
  files.CloseFiles();
  files.currentWordCat = 1;
  // Without its files a build could only lose what it read.
  for (DataFile n : kCatalogFiles) {
    *files.HandleField(n) = files.NewFile((dir + DataFileName(n, 1)).c_str(), "w+");
    if (!plat::IsOpen(*files.HandleField(n))) {
      files.CloseFiles();
      return false;
    }
  }
  files.ExtMatchOut = files.NewFile((dir + DataFileName(DataFile::kExtMatch)).c_str(), "w+");
  if (!plat::IsOpen(files.ExtMatchOut)) {
    files.CloseFiles();
    return false;
  }
  return true;
}

bool RemoveWordFilesAfter(int lastCatalog, const std::string& dir) {
  plat::FileSystem& fs = plat::Fs();
  bool ok = true;
  for (int n = lastCatalog + 1; n < lastCatalog + 100000; ++n) {
    std::string buf = dir + DataFileName(DataFile::kWordsBuf, n);
    std::string tbl = dir + DataFileName(DataFile::kWordsTbl, n);
    const bool hasBuf = fs.Exists(buf), hasTbl = fs.Exists(tbl);
    if (!hasBuf && !hasTbl) break;
    if (hasBuf && !fs.Remove(buf)) ok = false;
    if (hasTbl && !fs.Remove(tbl)) ok = false;
  }
  return ok;
}

// --- CatalogStage ---------------------------------------------------------------

// One thread that fsyncs and closes the handles given to it, in order. The
// first failure's cause is kept; every handle is closed either way. Without
// a thread (none could be started) a handle is synced and closed at once.
class CatalogStage::SyncBehind {
 public:
  SyncBehind() = default;
  ~SyncBehind() { Finish(); }
  SyncBehind(const SyncBehind&) = delete;
  SyncBehind& operator=(const SyncBehind&) = delete;

  void Hand(HANDLE h) {
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread([this] { Work(); });
      } catch (const std::system_error&) {
        Sync(h);
        return;
      }
    }
    {
      std::lock_guard<std::mutex> lock(mu_);
      queue_.push_back(h);
    }
    cv_.notify_one();
  }
  // Waits until every handle given is synced and closed; the first
  // failure's cause, or None.
  plat::FileError Finish() {
    if (thread_.joinable()) {
      {
        std::lock_guard<std::mutex> lock(mu_);
        stop_ = true;
      }
      cv_.notify_one();
      thread_.join();
    }
    return error_;
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
      cv_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopped, and all done
      HANDLE h = queue_.front();
      queue_.pop_front();
      lock.unlock();
      Sync(h);
      lock.lock();
    }
  }
  void Sync(HANDLE h) {
    plat::FileSystem& fs = plat::Fs();
    if (!fs.Sync(h) && error_ == plat::FileError::None) {
      const plat::FileError e = plat::LastFileError();
      error_ = e == plat::FileError::None ? plat::FileError::Other : e;
    }
    fs.Close(h);
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<HANDLE> queue_;
  bool stop_ = false;
  // Written by the thread only, read after it was joined.
  plat::FileError error_ = plat::FileError::None;
  std::thread thread_;
};

CatalogStage::CatalogStage() = default;

CatalogStage::~CatalogStage() {
  if (begun_ && !committed_) Discard();
  FinishSyncs();
}

bool CatalogStage::FinishSyncs() {
  if (!syncer_) return true;
  const plat::FileError e = syncer_->Finish();
  syncer_.reset();
  if (e == plat::FileError::None) return true;
  if (error_ == plat::FileError::None) error_ = e;
  return false;
}

bool CatalogStage::Fail(plat::FileError fallback) {
  if (error_ == plat::FileError::None) {
    plat::FileError e = plat::LastFileError();
    error_ = e == plat::FileError::None ? fallback : e;
  }
  return false;
}

bool CatalogStage::Begin() {
  // A folder with the marker is a catalog waiting to be swapped in, never
  // a leftover to clear.
  if (SwapPending()) return Fail(plat::FileError::Busy);
  if (!PlacesReplaceable()) return Fail();
  begun_ = true;
  if (!RemoveStaging()) return Fail();
  if (!plat::Fs().MakeDir(NoSlash(StagingDir()))) return Fail();
  if (!CreateCatalogFiles(files_, StagingDir())) return Fail();
  return true;
}

bool CatalogStage::OpenWordFiles(int n) {
  // Made durable beside the build; a failure there fails Commit.
  if (!syncer_) syncer_ = std::make_unique<SyncBehind>();
  for (HANDLE* h : {&files_.WordsBufOut, &files_.WordsTblOut}) {
    if (plat::IsOpen(*h)) syncer_->Hand(*h);
    *h = nullptr;
  }
  files_.currentWordCat = n;
  const std::string dir = StagingDir();
  files_.WordsBufOut = files_.NewFile((dir + DataFileName(DataFile::kWordsBuf, n)).c_str(), "w+");
  if (!plat::IsOpen(files_.WordsBufOut)) return Fail();
  files_.WordsTblOut = files_.NewFile((dir + DataFileName(DataFile::kWordsTbl, n)).c_str(), "w+");
  if (!plat::IsOpen(files_.WordsTblOut)) return Fail();
  return true;
}

void CatalogStage::SyncWrittenFiles() {
  if (!syncer_) syncer_ = std::make_unique<SyncBehind>();
  for (DataFile n : kCatalogFiles) {
    HANDLE* h = files_.HandleField(n);
    if (n == DataFile::kWordFileIdx || !plat::IsOpen(*h)) continue;
    syncer_->Hand(*h);
    *h = nullptr;
  }
  if (plat::IsOpen(files_.ExtMatchOut)) syncer_->Hand(files_.ExtMatchOut);
  files_.ExtMatchOut = nullptr;
  handed_ = true;
}

bool CatalogStage::Commit(int lastCatalog) {
  plat::FileSystem& fs = plat::Fs();
  // Durable first: after the marker nothing may be missing or short. A file
  // handed to be synced beside the build is waited for below; any other
  // that is not open could not be created.
  const auto durable = [&](HANDLE h, bool handed) { return plat::IsOpen(h) ? fs.Sync(h) : handed; };
  bool ok = error_ == plat::FileError::None;
  for (DataFile n : kCatalogFiles)
    if (ok && !durable(*files_.HandleField(n), handed_ && n != DataFile::kWordFileIdx)) ok = Fail();
  if (ok && !durable(files_.ExtMatchOut, handed_)) ok = Fail();
  files_.CloseFiles();
  // The earlier word files, synced meanwhile.
  if (!FinishSyncs()) ok = false;
  if (ok && !fs.SyncDir(NoSlash(StagingDir()))) ok = Fail();
  if (ok && !PlacesReplaceable()) ok = Fail();
  if (!ok) {
    Discard();
    return false;
  }
  CatalogLock swap(CatalogLock::Kind::Swap);
  if (!swap.Held()) {
    error_ = swap.Error();
    Discard();
    return false;
  }
  if (!plat::WriteDataFileAtomic(MarkerPath(), std::to_string(lastCatalog) + "\n")) {
    Fail();
    Discard();
    return false;
  }
  committed_ = true;  // from here on the folder is the catalog to be
  NewGeneration(swap.Handle());
  // A failed rename is tried once more at once; after that the marker
  // stays and the next holder of the build lock completes the swap.
  if (!SwapIn(lastCatalog) && !SwapIn(lastCatalog)) return Fail();
  return true;
}

void CatalogStage::Discard() {
  FinishSyncs();
  files_.CloseFiles();
  RemoveStaging();
  begun_ = false;
}

// --- recovery -----------------------------------------------------------------------

bool SwapPending() { return plat::Fs().Exists(MarkerPath()); }

Recovery RecoverCatalog(bool buildLockHeld) {
  if (!StagingPresent()) return Recovery::Nothing;
  std::optional<CatalogLock> build;
  if (!buildLockHeld) {
    build.emplace(CatalogLock::Kind::Build);
    if (!build->Held())
      return build->Error() == plat::FileError::Busy ? Recovery::Busy : Recovery::Failed;
  }
  if (!SwapPending()) return RemoveStaging() ? Recovery::RolledBack : Recovery::Failed;
  CatalogLock swap(CatalogLock::Kind::Swap);
  if (!swap.Held()) return Recovery::Failed;
  NewGeneration(swap.Handle());
  return SwapIn(ReadMarker()) ? Recovery::RolledForward : Recovery::Failed;
}

// --- CatalogReadScope -------------------------------------------------------------

CatalogReadScope::CatalogReadScope() {
  // Whatever an interrupted build left is settled now when no build runs.
  RecoverCatalog();
  lock_.emplace(CatalogLock::Kind::Read);
  if (!lock_->Held()) return;
  usable_ = !SwapPending();
  char text[17] = {};
  plat::Fs().Seek(lock_->Handle(), 0, plat::Whence::Begin);
  long long got = plat::Fs().Read(lock_->Handle(), text, 16);
  if (got > 0) generation_.assign(text, static_cast<std::size_t>(got));
}

CatalogReadScope::~CatalogReadScope() = default;

namespace {

// "LES<n>.007" or "LESt<n>.007" with n a number.
bool IsWordFileName(const std::string& u) {
  if (u.rfind("LES", 0) != 0) return false;
  std::size_t p = 3;
  if (p < u.size() && u[p] == 't') ++p;
  const std::size_t digits = p;
  while (p < u.size() && u[p] >= '0' && u[p] <= '9') ++p;
  return p > digits && u.substr(p) == ".007";
}

}  // namespace

bool DestroyCatalog(ZrnIO& files, DestroyRefusal* why) {
  auto refuse = [why](DestroyRefusal r) {
    if (why) *why = r;
    return false;
  };
  if (why) *why = DestroyRefusal::kNone;
  // Not while a build runs: its swap would bring a catalog back after the
  // user was told it is gone.
  CatalogLock build(CatalogLock::Kind::Build);
  if (!build.Held())
    return refuse(build.Error() == plat::FileError::Busy ? DestroyRefusal::kBuildRunning
                                                         : DestroyRefusal::kLocked);
  // Searches see the whole catalog or none of it, and drop what they cached.
  CatalogLock swap(CatalogLock::Kind::Swap);
  if (!swap.Held()) return refuse(DestroyRefusal::kLocked);
  NewGeneration(swap.Handle());
  files.CloseFiles();
  plat::FileSystem& fs = plat::Fs();
  // A staged catalog of an interrupted build would otherwise be swapped in
  // by the next search's recovery.
  bool gone = RemoveStaging();
  auto remove = [&](const std::string& path) {
    if (fs.Exists(path) && !fs.Remove(path) && fs.Exists(path)) gone = false;
  };
  for (DataFile f : kCatalogFiles)
    if (f != DataFile::kWordsBuf && f != DataFile::kWordsTbl) remove(DataFilePath(f));
  remove(DataFilePath(DataFile::kExtMatch));
  // Every numbered word file in the folder, also those an older build left
  // after a gap: destroying is for getting the space back.
  std::vector<std::string> numbered;
  if (auto d = plat::Directory::Open(plat::DataDir())) {
    plat::DirEntry e;
    while (d->Next(e))
      if (IsWordFileName(e.name)) numbered.push_back(e.name);
  } else {
    gone = false;
  }
  for (const std::string& n : numbered) remove(plat::DataPath(n));
  files.currentWordCat = 1;
  return gone ? true : refuse(DestroyRefusal::kNotRemoved);
}
