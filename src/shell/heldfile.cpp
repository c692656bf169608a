#include "shell/heldfile.h"

#include <unistd.h>

#include <atomic>

bool HeldFile::Hold() {
  if (Held()) return true;
  plat::FileSystem& fs = plat::Fs();
  plat::HANDLE h = fs.Open(path_, plat::Access::Write, plat::Creation::OpenAlways);
  if (!plat::IsOpen(h)) {
    error_ = plat::LastFileError();
    if (error_ == plat::FileError::None) error_ = plat::FileError::Other;
    return false;
  }
  handle_ = h;
  error_ = plat::FileError::None;
  return true;
}

void HeldFile::Release() {
  if (Held()) plat::Fs().Close(handle_);
  handle_ = nullptr;
}

bool HeldFile::Read(std::string& out) const {
  plat::FileSystem& fs = plat::Fs();
  plat::HANDLE h = fs.Open(path_, plat::Access::ReadUnlocked, plat::Creation::OpenExisting);
  if (!plat::IsOpen(h)) return false;
  std::string data;
  char buf[8192];
  bool ok = true;
  for (;;) {
    const long long n = fs.Read(h, buf, sizeof buf);
    if (n < 0) ok = false;
    if (n <= 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  fs.Close(h);
  if (ok) out = std::move(data);
  return ok;
}

bool HeldFile::Replace(const std::string& data) {
  if (!Held()) {
    error_ = plat::FileError::Busy;
    return false;
  }
  static std::atomic<unsigned> serial{0};
  plat::FileSystem& fs = plat::Fs();
  const std::size_t slash = path_.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path_.substr(0, slash);
  const std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  std::string tmp;
  plat::HANDLE h = plat::INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 8 && !plat::IsOpen(h); ++attempt) {
    tmp = dir + "/." + base + "." + std::to_string(::getpid()) + "." + std::to_string(serial++);
    h = fs.Open(tmp, plat::Access::Write, plat::Creation::CreateNew);
    if (!plat::IsOpen(h) && plat::LastFileError() != plat::FileError::Exists) break;
  }
  auto fail = [&] {
    error_ = plat::LastFileError();
    if (error_ == plat::FileError::None) error_ = plat::FileError::Other;
    if (plat::IsOpen(h)) {
      fs.Close(h);
      fs.Remove(tmp);
    }
    return false;
  };
  if (!plat::IsOpen(h)) return fail();
  if (!fs.SetMode(h, 0600)) return fail();
  if (!data.empty() && fs.Write(h, data.data(), data.size()) != static_cast<long long>(data.size()))
    return fail();
  if (!fs.Sync(h)) return fail();
  // The new file is locked before it takes the name, so no other writer can
  // slip in between the rename and our taking the lock.
  if (!fs.Rename(tmp, path_)) return fail();
  fs.Close(handle_);
  handle_ = h;
  fs.SyncDir(dir);
  error_ = plat::FileError::None;
  return true;
}
