#include "common/faultfs.h"

#include <gtest/gtest.h>

using plat::PosixFs;

bool FaultFs::Inject(const char* op, const std::string& what) {
  std::lock_guard<std::mutex> g(mu_);
  if (nth_ <= 0) return false;
  ++counted_;
  if (counted_ < nth_ || (counted_ > nth_ && !sticky_)) return false;
  if (!fired_) {
    fired_ = true;
    firedAt_ = std::string(op) + " " + what;
  }
  plat::SetLastFileError(injectedError);
  return true;
}

namespace {
std::string HandleName(plat::HANDLE h) {
  return "handle " + std::to_string(reinterpret_cast<std::uintptr_t>(h));
}
}  // namespace

void FaultFs::ArmNth(long n, bool sticky) {
  std::lock_guard<std::mutex> g(mu_);
  nth_ = n;
  sticky_ = sticky;
  counted_ = 0;
  fired_ = false;
  firedAt_.clear();
}

void FaultFs::Disarm() {
  std::lock_guard<std::mutex> g(mu_);
  nth_ = 0;
}

long FaultFs::Counted() const {
  std::lock_guard<std::mutex> g(mu_);
  return counted_;
}

bool FaultFs::Fired() const {
  std::lock_guard<std::mutex> g(mu_);
  return fired_;
}

std::string FaultFs::FiredAt() const {
  std::lock_guard<std::mutex> g(mu_);
  return firedAt_;
}

plat::HANDLE FaultFs::Open(const std::string& path, plat::Access access, plat::Creation creation) {
  ++opens;
  if (Inject("open", path)) return plat::INVALID_HANDLE_VALUE;
  if (!failOpenMatching.empty() && path.find(failOpenMatching) != std::string::npos) {
    plat::SetLastFileError(injectedError);
    return plat::INVALID_HANDLE_VALUE;
  }
  return PosixFs().Open(path, access, creation);
}

bool FaultFs::Close(plat::HANDLE h) { return PosixFs().Close(h); }

long long FaultFs::Read(plat::HANDLE h, void* buf, std::size_t n) {
  ++reads;
  if (Inject("read", HandleName(h))) return -1;
  if (failReads) {
    plat::SetLastFileError(injectedError);
    return -1;
  }
  if (maxReadChunk && n > maxReadChunk) n = maxReadChunk;
  return PosixFs().Read(h, buf, n);
}

long long FaultFs::Write(plat::HANDLE h, const void* buf, std::size_t n) {
  ++writes;
  if (Inject("write", HandleName(h))) return -1;
  if (failWrites) {
    plat::SetLastFileError(injectedError);
    return -1;
  }
  if (diskSpace >= 0) {
    if (static_cast<long long>(n) > diskSpace) {
      n = static_cast<std::size_t>(diskSpace);
      plat::SetLastFileError(plat::FileError::NoSpace);
    }
    if (n == 0) return -1;  // ENOSPC
  }
  long long r = PosixFs().Write(h, buf, n);
  if (r > 0 && diskSpace >= 0) diskSpace -= r;
  return r;
}

long long FaultFs::Seek(plat::HANDLE h, long long offset, plat::Whence whence) {
  if (Inject("seek", HandleName(h))) return -1;
  return PosixFs().Seek(h, offset, whence);
}

long long FaultFs::Size(plat::HANDLE h) {
  if (Inject("size", HandleName(h))) return -1;
  return PosixFs().Size(h);
}

bool FaultFs::Sync(plat::HANDLE h) {
  if (Inject("sync", HandleName(h))) return false;
  return PosixFs().Sync(h);
}

bool FaultFs::SetMode(plat::HANDLE h, unsigned mode) {
  if (Inject("setmode", HandleName(h))) return false;
  return PosixFs().SetMode(h, mode);
}

bool FaultFs::Remove(const std::string& path) {
  if (Inject("remove", path)) return false;
  return PosixFs().Remove(path);
}

bool FaultFs::Rename(const std::string& from, const std::string& to) {
  if (Inject("rename", from + " -> " + to)) return false;
  return PosixFs().Rename(from, to);
}

bool FaultFs::MakeDir(const std::string& path) {
  if (Inject("mkdir", path)) return false;
  return PosixFs().MakeDir(path);
}

bool FaultFs::RemoveDir(const std::string& path) {
  if (Inject("rmdir", path)) return false;
  return PosixFs().RemoveDir(path);
}

bool FaultFs::SyncDir(const std::string& path) {
  if (Inject("syncdir", path)) return false;
  return PosixFs().SyncDir(path);
}

bool FaultFs::Exists(const std::string& path) { return PosixFs().Exists(path); }

long SweepFaults(FaultFs& fs, const FaultSweep& sweep) {
  const bool failedBefore = ::testing::Test::HasFailure();
  long points = 0;
  for (long n = 1; n <= sweep.maxRuns; ++n) {
    fs.Disarm();
    if (sweep.prepare) sweep.prepare();
    fs.ArmNth(n, sweep.sticky);
    {
      FaultFs::Scope scope(fs);
      sweep.run();
    }
    const bool fired = fs.Fired();
    const std::string where = fs.FiredAt();
    fs.Disarm();
    if (!fired) return points;  // the operation ran to its end: every point tried
    ++points;
    if (sweep.check) {
      SCOPED_TRACE("fault at operation " + std::to_string(n) + ": " + where);
      sweep.check(n);
    }
    if (!failedBefore && ::testing::Test::HasFailure()) return points;
  }
  ADD_FAILURE() << "the operation still reached the fault after " << sweep.maxRuns << " runs";
  return points;
}
