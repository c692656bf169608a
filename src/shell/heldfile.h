// A small data file that one writer holds: an exclusive lock taken on
// Hold() and kept until Release(), across any number of whole-file
// replacements. A replacement is written to a temporary file that is locked
// before it is renamed over the original, so the lock never lapses and a
// reader sees the old file or the new one, never a part.
#pragma once
#include <string>

#include "platform/pfile.h"

class HeldFile {
 public:
  explicit HeldFile(std::string path) : path_(std::move(path)) {}
  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // Takes the lock, creating the file (0600, empty) when missing. Another
  // copy's lock is waited for up to plat::LockWait(). False when it could
  // not be taken; Error() says why.
  bool Hold();
  // True while the lock is held.
  bool Held() const { return plat::IsOpen(handle_); }
  // Gives the lock up.
  void Release();

  // Reads the whole file (no lock needed: it only ever changes by a
  // rename). False when it cannot be read.
  bool Read(std::string& out) const;
  // Replaces the whole file with `data` (0600), keeping the lock. Needs
  // Held(). False, with the file unchanged, when any step fails.
  bool Replace(const std::string& data);

  // The cause of the last failure of Hold or Replace.
  plat::FileError Error() const { return error_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  plat::HANDLE handle_ = nullptr;
  plat::FileError error_ = plat::FileError::None;
};
