// Handle-based files with Windows-style share modes, the only door to the
// file system for the data file layer. A test can install its own
// FileSystem to inject short reads, failed writes or held locks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// A file handle as the data file layer keeps it: null means "never opened",
// INVALID_HANDLE_VALUE (all bits set) means "the last open failed".
using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

// True for a handle that names an open file (neither null nor invalid).
inline bool IsOpen(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

enum class Access { Read, Write };
enum class Creation {
  CreateAlways,  // create, or empty an existing file once its lock is held
  OpenAlways,    // open, creating the file when missing
  OpenExisting   // open only an existing file
};
enum class Whence { Begin, Current, End };

class FileSystem {
 public:
  virtual ~FileSystem();
  // Opens `path`. A read handle shares with other readers; a write handle
  // shares with nobody. A conflicting open, within this process or another,
  // fails like a sharing violation. Returns INVALID_HANDLE_VALUE on failure.
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
  // Deletes a file by name; false when it could not be deleted.
  virtual bool Remove(const std::string& path) = 0;
  // True when `path` names an existing regular file.
  virtual bool Exists(const std::string& path) = 0;
};

// The file system in use: the POSIX one unless a test installed another.
FileSystem& Fs();
// Installs `fs` (not owned) as the file system; nullptr restores the POSIX one.
void SetFs(FileSystem* fs);
// The real POSIX file system (open + flock per open file description).
FileSystem& PosixFs();

// Reads a whole file by name into `out`; false when it cannot be opened.
// Ordinary documents (not data files) are read this way, without share modes.
bool ReadWholeFile(const std::string& path, std::string& out);
// Writes `data` to `path` atomically: a temporary file in the same directory,
// flushed, then renamed over the original. False (and the original intact) on failure.
bool WriteFileAtomic(const std::string& path, const std::string& data);

}  // namespace plat
