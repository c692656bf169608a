// A read-only view of a whole file. With the real file system the file is
// mapped (shared, read-only): it suits files that are only ever replaced by
// a rename, never rewritten in place, so the mapped bytes stay what they
// were while they are read. While a test's file system is installed the
// file is read whole through it instead, so that every read can be made to
// fail.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "platform/pfile.h"

namespace plat {

class MappedFile {
 public:
  // Every catalog size is 32-bit: a longer file is viewed up to this many bytes.
  static constexpr std::size_t kMaxBytes = 0xFFFFFFFFu;

  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps (or reads) the file at `path`; `access` is the lock asked for when
  // it is read through a test's file system. True when the whole file is in
  // view; false when it is missing, is no regular file, or a read came
  // short — what was read stays in view then (present() tells it was there).
  bool Open(const std::string& path, Access access = Access::ReadUnlocked);
  void Close();
  bool present() const { return present_; }
  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  // Whether the file at the path opened is still the one in view (device,
  // inode, size and modification time). Always false through a test's file
  // system, where files are read afresh every time.
  bool Current() const;

 private:
  bool OpenMapped();
  bool OpenThroughFs(Access access);

  std::string path_;
  bool identity_ = false, present_ = false;
  void* map_ = nullptr;
  std::size_t mapSize_ = 0;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  std::vector<char> copy_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  off_t statSize_ = 0;
  struct timespec mtime_ {};
};

}  // namespace plat
