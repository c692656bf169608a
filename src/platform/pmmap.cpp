#include "platform/pmmap.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace plat {

bool MappedFile::Open(const std::string& path, Access access) {
  Close();
  path_ = path;
  return &Fs() == &PosixFs() ? OpenMapped() : OpenThroughFs(access);
}

bool MappedFile::OpenMapped() {
  identity_ = true;
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  present_ = true;
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  statSize_ = st.st_size;
  mtime_ = st.st_mtim;
  const std::size_t want = static_cast<std::size_t>(std::min<long long>(st.st_size, kMaxBytes));
  bool whole = true;
  if (want > 0) {
    void* m = ::mmap(nullptr, want, PROT_READ, MAP_SHARED, fd, 0);
    if (m != MAP_FAILED) {
      map_ = m;
      mapSize_ = want;
      data_ = static_cast<const char*>(m);
      size_ = want;
    } else {
      // Some file systems cannot map: read it instead.
      copy_.resize(want);
      std::size_t got = 0;
      while (got < want) {
        const ssize_t n = ::pread(fd, copy_.data() + got, want - got, static_cast<off_t>(got));
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
      }
      whole = got == want;
      copy_.resize(got);
      data_ = copy_.data();
      size_ = got;
    }
  }
  ::close(fd);
  return whole;
}

bool MappedFile::OpenThroughFs(Access access) {
  identity_ = false;
  FileSystem& fs = Fs();
  HANDLE h = fs.Open(path_, access, Creation::OpenExisting);
  if (!IsOpen(h)) return false;
  present_ = true;
  const long long size = fs.Size(h);
  copy_.resize(size > 0 ? static_cast<std::size_t>(std::min<long long>(size, kMaxBytes)) : 0);
  std::size_t got = 0;
  while (got < copy_.size()) {
    const long long n = fs.Read(h, copy_.data() + got, copy_.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  fs.Close(h);
  const bool whole = size >= 0 && got == copy_.size();
  copy_.resize(got);
  data_ = copy_.data();
  size_ = got;
  return whole;
}

bool MappedFile::Current() const {
  if (!identity_ || &Fs() != &PosixFs()) return false;
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) return !present_;
  return present_ && st.st_dev == dev_ && st.st_ino == ino_ && st.st_size == statSize_ &&
         st.st_mtim.tv_sec == mtime_.tv_sec && st.st_mtim.tv_nsec == mtime_.tv_nsec;
}

void MappedFile::Close() {
  if (map_) ::munmap(map_, mapSize_);
  map_ = nullptr;
  mapSize_ = 0;
  data_ = nullptr;
  size_ = 0;
  copy_.clear();
  present_ = false;
  identity_ = false;
}

}  // namespace plat
