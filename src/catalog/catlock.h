// The two locks around the word catalog, lock files in the data directory
// held with flock through the file layer (so they are released when their
// holder dies, however it dies):
//  - the catalog lock ("catalog.lock"): readers share it while they load,
//    the swap of a new catalog takes it alone, so a reader never opens
//    some files of the old catalog and some of the new;
//  - the build lock ("catbuild.lock"): held alone for a whole build and
//    taken without waiting, so a second build, from this copy of the
//    program or another, is refused before it touches anything.
#pragma once
#include <chrono>
#include <string>

#include "platform/pfile.h"

// Names of the lock files (in the data directory).
inline constexpr char kCatalogLockName[] = "catalog.lock";
inline constexpr char kBuildLockName[] = "catbuild.lock";

// One held flock on a lock file; released by the destructor or Release().
class CatalogLock {
 public:
  enum class Kind {
    Read,   // shared, waits up to plat::LockWait() for a swap to end
    Swap,   // exclusive, waits up to plat::LockWait() for readers to finish
    Build,  // exclusive on the build lock, no wait at all
  };
  explicit CatalogLock(Kind kind);
  ~CatalogLock() { Release(); }
  CatalogLock(const CatalogLock&) = delete;
  CatalogLock& operator=(const CatalogLock&) = delete;

  // True when the lock is held.
  bool Held() const { return plat::IsOpen(h_); }
  // Why it is not held (Busy: another holder outlasted the wait).
  plat::FileError Error() const { return error_; }
  // The lock file's handle (readable for Read, writable otherwise).
  plat::HANDLE Handle() const { return h_; }
  void Release();

 private:
  plat::HANDLE h_ = plat::INVALID_HANDLE_VALUE;
  plat::FileError error_ = plat::FileError::None;
};

// True while a build holds the build lock (in this process or another).
bool CatalogBuildRunning();
