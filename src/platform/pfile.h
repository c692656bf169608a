// Handle-based files with Windows-style share modes, the only door to the
// file system for the data file layer. A test can install its own
// FileSystem to inject short reads, failed writes, held locks, or the N-th
// operation of a whole write failing.
//
// Locks and waiting: a read handle shares with other readers, a write handle
// with nobody. An open that meets a conflicting lock held by ANOTHER process
// waits for it, up to LockWait() (5 s unless changed), and then fails with
// FileError::Busy. A conflict with a handle this process holds fails at once:
// waiting for ourselves could never end well.
//
// Privacy: files this file system creates are 0600 and directories 0700,
// whatever the umask.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace plat {

// A file handle as the data file layer keeps it: null means "never opened",
// INVALID_HANDLE_VALUE (all bits set) means "the last open failed".
using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

// True for a handle that names an open file (neither null nor invalid).
inline bool IsOpen(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

enum class Access {
  Read,         // shared lock: other readers may open the file, writers may not
  Write,        // exclusive lock
  ReadUnlocked  // no lock at all: documents, and files only ever replaced by a rename
};
enum class Creation {
  CreateAlways,  // create, or empty an existing file once its lock is held
  OpenAlways,    // open, creating the file when missing
  OpenExisting,  // open only an existing file
  CreateNew      // create; fails (FileError::Exists) when the name is taken
};
enum class Whence { Begin, Current, End };

// Why a file operation failed.
enum class FileError {
  None,
  Busy,        // a lock held by another process past the wait, or by this process
  NotFound,    // no such file or directory
  Permission,  // access denied or a read-only file system
  NoSpace,     // the disk (or the user's quota) is full
  Exists,      // the name is already taken (CreateNew, MakeDir)
  Other        // anything else: an I/O error, not a regular file, a bad handle
};

// The cause of the most recent failed file operation on this thread; a
// successful Open resets it to None.
FileError LastFileError();
// Records the cause of a failure (for FileSystem implementations).
void SetLastFileError(FileError e);
// A short lower-case name of the cause for messages: "busy", "disk full", ...
const char* FileErrorText(FileError e);

// How long an open on this thread waits for another process's conflicting lock.
std::chrono::milliseconds LockWait();
// Sets that bound (tests shorten it); negative values count as zero.
void SetLockWait(std::chrono::milliseconds bound);
// Another bound for this thread while the scope lives: a caller that would
// rather report "busy" at once (a search while a build holds the catalog,
// the check that refuses a second build) opens with a zero wait. Scopes nest.
class LockWaitScope {
 public:
  explicit LockWaitScope(std::chrono::milliseconds bound);
  ~LockWaitScope();
  LockWaitScope(const LockWaitScope&) = delete;
  LockWaitScope& operator=(const LockWaitScope&) = delete;

 private:
  long long saved_;
};

// Takes flock `op` (LOCK_SH or LOCK_EX) on descriptor `fd`. While another
// holder keeps a conflicting lock it polls, up to LockWait(); `ours`, when
// given, is asked at each conflict and ends the wait at once by answering
// true (the holder is this process, which waiting cannot help). False when
// the lock was not taken, with LastFileError() saying why (Busy for a lock
// still held).
bool FlockWithin(int fd, int op, const std::function<bool()>& ours = {});

class FileSystem {
 public:
  virtual ~FileSystem();
  // Opens `path` under the lock rules above. Returns INVALID_HANDLE_VALUE on
  // failure, with the cause in LastFileError().
  virtual HANDLE Open(const std::string& path, Access access, Creation creation) = 0;
  // Closes an open handle; false for null or invalid handles.
  virtual bool Close(HANDLE h) = 0;
  // Reads up to n bytes at the current position; returns the count, 0 at the
  // end or on a handle that cannot read, -1 on an I/O error.
  virtual long long Read(HANDLE h, void* buf, std::size_t n) = 0;
  // Writes n bytes at the current position; returns the count written
  // (less than n on a full disk), -1 on error or a handle that cannot write.
  virtual long long Write(HANDLE h, const void* buf, std::size_t n) = 0;
  // Moves the position; returns the new position, or -1.
  virtual long long Seek(HANDLE h, long long offset, Whence whence) = 0;
  // Size of the open file in bytes, or -1.
  virtual long long Size(HANDLE h) = 0;
  // Forces the file's data to the disk (fsync); false on error.
  virtual bool Sync(HANDLE h) = 0;
  // Sets the permission bits of an open file; false on error.
  virtual bool SetMode(HANDLE h, unsigned mode) = 0;
  // Deletes a file by name; false when it could not be deleted.
  virtual bool Remove(const std::string& path) = 0;
  // Renames `from` to `to`, atomically replacing a file of that name.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  // Creates one directory, 0700; false when it could not be made or the name
  // is taken (then LastFileError() is Exists).
  virtual bool MakeDir(const std::string& path) = 0;
  // Removes an empty directory; false otherwise.
  virtual bool RemoveDir(const std::string& path) = 0;
  // Makes the entries of a directory (creations, renames, removals) durable.
  virtual bool SyncDir(const std::string& path) = 0;
  // True when `path` names an existing regular file.
  virtual bool Exists(const std::string& path) = 0;
};

// The file system in use: the POSIX one unless a test installed another.
FileSystem& Fs();
// Installs `fs` (not owned) as the file system; nullptr restores the POSIX one.
void SetFs(FileSystem* fs);
// The real POSIX file system (open + flock per open file description).
FileSystem& PosixFs();

// Reads a whole file by name into `out`, without share modes (documents);
// false when it cannot be opened or read, and `out` is then unchanged.
bool ReadWholeFile(const std::string& path, std::string& out);
// Writes `data` to `path` atomically: a temporary file in the same directory,
// written, synced, then renamed over the original, and the directory synced.
// The original keeps its permissions; a new file gets 0666 less the umask,
// like any document. False (the original intact, no temporary file left) on
// failure, with the cause in LastFileError().
bool WriteFileAtomic(const std::string& path, const std::string& data);
// The same for the program's own data files: the result is always 0600.
bool WriteDataFileAtomic(const std::string& path, const std::string& data);
// For a data file another library writes (the settings file): creates it
// empty when missing and makes it 0600 either way, whatever the umask.
// False when it could not be opened or its mode set.
bool MakeDataFilePrivate(const std::string& path);

}  // namespace plat
