// A file system that fails on request, over the real one: short reads,
// failed reads and writes, a disk that fills up, opens that fail. Install it
// with FaultFs::Scope so the real one comes back at the end of the test.
#pragma once
#include <cstddef>
#include <string>

#include "platform/pfile.h"

class FaultFs : public plat::FileSystem {
 public:
  plat::HANDLE Open(const std::string& path, plat::Access access, plat::Creation creation) override;
  bool Close(plat::HANDLE h) override;
  long long Read(plat::HANDLE h, void* buf, std::size_t n) override;
  long long Write(plat::HANDLE h, const void* buf, std::size_t n) override;
  long long Seek(plat::HANDLE h, long long offset, plat::Whence whence) override;
  long long Size(plat::HANDLE h) override;
  bool Remove(const std::string& path) override;
  bool Exists(const std::string& path) override;

  // Opens of paths containing this text fail ("" = none).
  std::string failOpenMatching;
  // Each read returns at most this many bytes (0 = no limit).
  std::size_t maxReadChunk = 0;
  // Reads fail with -1.
  bool failReads = false;
  // Writes fail with -1.
  bool failWrites = false;
  // Bytes that may still be written before the disk is full (-1 = no limit);
  // a write beyond it is cut short.
  long long diskSpace = -1;

  // What happened.
  int opens = 0, reads = 0, writes = 0;

  // Installs a FaultFs for the life of the scope.
  struct Scope {
    explicit Scope(FaultFs& fs) { plat::SetFs(&fs); }
    ~Scope() { plat::SetFs(nullptr); }
  };
};
