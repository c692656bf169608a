#include "common/faultfs.h"

plat::HANDLE FaultFs::Open(const std::string& path, plat::Access access, plat::Creation creation) {
  ++opens;
  if (!failOpenMatching.empty() && path.find(failOpenMatching) != std::string::npos)
    return plat::INVALID_HANDLE_VALUE;
  return plat::PosixFs().Open(path, access, creation);
}

bool FaultFs::Close(plat::HANDLE h) { return plat::PosixFs().Close(h); }

long long FaultFs::Read(plat::HANDLE h, void* buf, std::size_t n) {
  ++reads;
  if (failReads) return -1;
  if (maxReadChunk && n > maxReadChunk) n = maxReadChunk;
  return plat::PosixFs().Read(h, buf, n);
}

long long FaultFs::Write(plat::HANDLE h, const void* buf, std::size_t n) {
  ++writes;
  if (failWrites) return -1;
  if (diskSpace >= 0) {
    if (static_cast<long long>(n) > diskSpace) n = static_cast<std::size_t>(diskSpace);
    if (n == 0) return -1;  // ENOSPC
  }
  long long r = plat::PosixFs().Write(h, buf, n);
  if (r > 0 && diskSpace >= 0) diskSpace -= r;
  return r;
}

long long FaultFs::Seek(plat::HANDLE h, long long offset, plat::Whence whence) {
  return plat::PosixFs().Seek(h, offset, whence);
}

long long FaultFs::Size(plat::HANDLE h) { return plat::PosixFs().Size(h); }
bool FaultFs::Remove(const std::string& path) { return plat::PosixFs().Remove(path); }
bool FaultFs::Exists(const std::string& path) { return plat::PosixFs().Exists(path); }
