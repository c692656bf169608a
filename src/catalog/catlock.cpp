#include "catalog/catlock.h"

#include "platform/pdatadir.h"

CatalogLock::CatalogLock(Kind kind) {
  const std::string path = plat::DataPath(kind == Kind::Build ? kBuildLockName : kCatalogLockName);
  const plat::Access access = kind == Kind::Read ? plat::Access::Read : plat::Access::Write;
  auto open = [&] {
    h_ = plat::Fs().Open(path, access, plat::Creation::OpenAlways);
    error_ = Held() ? plat::FileError::None : plat::LastFileError();
  };
  if (kind == Kind::Build) {
    plat::LockWaitScope now(std::chrono::milliseconds(0));
    open();
  } else {
    open();
  }
  if (!Held() && error_ == plat::FileError::None) error_ = plat::FileError::Other;
}

void CatalogLock::Release() {
  if (Held()) plat::Fs().Close(h_);
  h_ = plat::INVALID_HANDLE_VALUE;
}

bool CatalogBuildRunning() {
  CatalogLock probe(CatalogLock::Kind::Build);
  return !probe.Held() && probe.Error() == plat::FileError::Busy;
}
