// The catalog's files around a build. A build never writes the catalog in
// place: it writes a complete new catalog into a staging folder in the data
// directory, makes every file durable, and then swaps the files in under
// the catalog lock, so a reader sees the old complete catalog or the new
// complete one.
//
// Interrupted swaps. A marker file in the staging folder is written (and
// made durable) only once every staged file is durable and the catalog lock
// is held; then the files are renamed into place one by one, the marker is
// removed and the folder with it. Whoever next holds the build lock (the
// next build, the start of the program, a search when no build runs) finds:
//  - the marker: the new catalog was complete, and some of its files may
//    already be in place. Going back is impossible (the replaced files are
//    gone), so the swap is completed: roll forward;
//  - a staging folder without the marker: the build never finished, nothing
//    in place was touched. The folder is removed: roll back.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalog/catlock.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "store/zrnio.h"

// The staging folder (in the data directory) and its swap marker.
inline constexpr char kStagingDirName[] = "catalog.new";
inline constexpr char kSwapMarkerName[] = "SWAP";
// The staging folder's path, ending with "/".
std::string StagingDir();

// Whether the list of extensions to catalog can be opened. Leaves the
// catalog group of `files` closed.
bool ExtensionListPresent(ZrnIO& files);
// The same with the cause: None when it opens, NotFound when it is missing,
// anything else when it is there but could not be opened (which is no
// reason to make a new one over it).
plat::FileError ExtensionListState(ZrnIO& files);

// True when every file of a catalog (catalog 1's word files, the index,
// names, matches, paths and file-type matches) is in the data directory.
bool CatalogComplete();

// The previous catalog's files. Freeing tens of megabytes of file blocks
// costs real time on some file systems (discard-mounted ext4 spends ~0.5 s
// on a 70 MB catalog), so each old file is opened before its name goes
// (removed or replaced by a rename), and the handles are closed (which
// frees the blocks) on a helper thread. With a test's own file system
// installed nothing is held.
class OldCatalog {
 public:
  OldCatalog() = default;
  ~OldCatalog() { Wait(); }
  OldCatalog(const OldCatalog&) = delete;
  OldCatalog& operator=(const OldCatalog&) = delete;
  // Removes every file of the old catalog, the numbered word files of
  // every catalog included.
  void Release();
  // Keeps the file at `path` open so that replacing it frees nothing yet.
  void Hold(const std::string& path);
  // Closes what is held on a helper thread (at once when none can start).
  void Let();
  // Returns once the old files' space is freed.
  void Wait();

 private:
  void Take(const std::string& path);
  std::vector<plat::HANDLE> held_;
  std::thread worker_;
};

// Creates the catalog files empty in `dir` (ending with "/"), opened for
// writing in the handle fields of `files`, catalog 1 current. False, with
// the group closed again, when one of them could not be created.
bool CreateCatalogFiles(ZrnIO& files, const std::string& dir = plat::DataDir());

// Removes the numbered word files in `dir` of the catalogs after
// `lastCatalog`: they belong to an older build and nothing refers to them.
// False when one of them could not be removed.
bool RemoveWordFilesAfter(int lastCatalog, const std::string& dir = plat::DataDir());

// The files of one build in the staging folder. The caller holds the build
// lock for the object's whole life.
class CatalogStage {
 public:
  CatalogStage();
  // A stage that was not committed is removed.
  ~CatalogStage();
  CatalogStage(const CatalogStage&) = delete;
  CatalogStage& operator=(const CatalogStage&) = delete;

  // Makes a fresh staging folder (0700; a leftover one is removed first)
  // and creates the catalog files in it, open in Files(). False with
  // Error() set when that failed.
  bool Begin();
  // The file set the build writes through (its own, not the program's).
  ZrnIO& Files() { return files_; }
  // Hands the current numbered word files to be made durable and closed
  // beside the build (Commit waits for them) and creates those of catalog
  // `n`. False with Error() set when that failed.
  bool OpenWordFiles(int n);
  // Hands every staged file but the word -> files index, written in full,
  // to be made durable and closed beside the rest of the build (Commit
  // waits for them). Nothing may be written to them after this.
  void SyncWrittenFiles();
  // Makes every staged file durable and swaps the catalog in (catalogs 1 to
  // `lastCatalog`), removing numbered word files of older builds beyond it.
  // False with Error() set when the old catalog stayed (nothing changed) or
  // when the swap was interrupted after the marker (then it is completed
  // later; see RecoverCatalog).
  bool Commit(int lastCatalog);
  // Removes the staging folder and everything in it.
  void Discard();
  // The first failure's cause.
  plat::FileError Error() const { return error_; }

 private:
  bool Fail(plat::FileError fallback = plat::FileError::Other);
  // Waits for the finished word files; false with Error() set when one of
  // them could not be made durable.
  bool FinishSyncs();
  // Finished numbered word files are synced and closed on a thread of
  // their own: a build of many catalogs would otherwise wait for the disk
  // at every switch.
  class SyncBehind;
  std::unique_ptr<SyncBehind> syncer_;
  ZrnIO files_;
  plat::FileError error_ = plat::FileError::None;
  bool begun_ = false, committed_ = false;
  bool handed_ = false;  // SyncWrittenFiles was called
};

// What RecoverCatalog found.
enum class Recovery {
  Nothing,        // no staging folder
  RolledForward,  // an interrupted swap was completed
  RolledBack,     // an unfinished build's folder was removed
  Failed,         // recovery is needed but could not be done (cause in LastFileError)
  Busy,           // a build is running: its folder is not ours to touch
};

// Completes or undoes what an interrupted build or swap left. With
// `buildLockHeld` false it first takes the build lock (without waiting) and
// does nothing while a build runs.
Recovery RecoverCatalog(bool buildLockHeld = false);
// True when a swap marker is present (the files in place may be a mix).
bool SwapPending();

// A reader's hold on the catalog: completes an interrupted swap (or removes
// an unfinished build's folder) when no build runs, then shares the catalog lock while it lives.
// Readers that cache what they loaded compare Generation() with the one they loaded at: every swap
// changes it.
class CatalogReadScope {
 public:
  CatalogReadScope();
  ~CatalogReadScope();
  CatalogReadScope(const CatalogReadScope&) = delete;
  CatalogReadScope& operator=(const CatalogReadScope&) = delete;
  // False when the files in place cannot be trusted: the lock could not be
  // had (a swap outlasted the wait) or an interrupted swap is still pending.
  bool Usable() const { return usable_; }
  // An identifier of the catalog in place ("" before the first swap).
  const std::string& Generation() const { return generation_; }

 private:
  std::optional<CatalogLock> lock_;
  bool usable_ = false;
  std::string generation_;
};

// Why DestroyCatalog left the catalog (or part of it) in place.
enum class DestroyRefusal {
  kNone,
  kBuildRunning,  // a build runs: it would put a catalog back when it ends
  kLocked,        // the catalog's locks could not be taken (searches outlasted the wait)
  kNotRemoved,    // some files could not be removed
};

// Destroy: removes the word catalog (its files, every numbered word file,
// the file-type index of catalogued files and what an interrupted build
// left staged); the chosen extensions and file types stay. True when none
// of those files remains; otherwise `why` (when given) says what stopped it.
bool DestroyCatalog(ZrnIO& files, DestroyRefusal* why = nullptr);
