#include "platform/pdir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace plat {

namespace {

int OpenDirFd(int at, const std::string& path) {
  if (path.empty()) return -1;
  int fd;
  do fd = ::openat(at, path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

Directory::Directory(int fd) : fd_(fd) {
  struct stat st;
  if (::fstat(fd, &st) == 0) dev_ = static_cast<std::uint64_t>(st.st_dev);
  dir_ = ::fdopendir(fd);  // takes over fd; closedir closes it
}

Directory::~Directory() {
  if (dir_)
    ::closedir(static_cast<DIR*>(dir_));
  else if (fd_ >= 0)
    ::close(fd_);
}

std::unique_ptr<Directory> Directory::Open(const std::string& path) {
  int fd = OpenDirFd(AT_FDCWD, path);
  if (fd < 0) return nullptr;
  std::unique_ptr<Directory> d(new Directory(fd));
  if (!d->dir_) return nullptr;
  return d;
}

std::unique_ptr<Directory> Directory::OpenChild(const std::string& name) const {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
    return nullptr;
  int fd = OpenDirFd(fd_, name);
  if (fd < 0) return nullptr;
  std::unique_ptr<Directory> d(new Directory(fd));
  if (!d->dir_) return nullptr;
  return d;
}

bool Directory::Next(DirEntry& entry) {
  if (!dir_) return false;
  for (;;) {
    errno = 0;
    dirent* de = ::readdir(static_cast<DIR*>(dir_));
    if (!de) return false;
    const char* n = de->d_name;
    if (std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0) continue;
    struct stat st;
    if (::fstatat(fd_, n, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // vanished since the directory was read
      entry.name = n;
      entry.type = EntryType::Other;
      entry.device = dev_;
      entry.size = 0;
      return true;
    }
    entry.name = n;
    entry.type = S_ISDIR(st.st_mode)   ? EntryType::Directory
                 : S_ISREG(st.st_mode) ? EntryType::Regular
                 : S_ISLNK(st.st_mode) ? EntryType::Symlink
                                       : EntryType::Other;
    entry.device = static_cast<std::uint64_t>(st.st_dev);
    entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    return true;
  }
}

bool Directory::NextQuick(DirEntry& entry) {
  if (!dir_) return false;
  for (;;) {
    errno = 0;
    dirent* de = ::readdir(static_cast<DIR*>(dir_));
    if (!de) return false;
    const char* n = de->d_name;
    if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
    EntryType t;
    switch (de->d_type) {
      case DT_DIR: t = EntryType::Directory; break;
      case DT_REG: t = EntryType::Regular; break;
      case DT_LNK: t = EntryType::Symlink; break;
      case DT_UNKNOWN: {
        struct stat st;
        if (::fstatat(fd_, n, &st, AT_SYMLINK_NOFOLLOW) != 0) {
          if (errno == ENOENT) continue;
          t = EntryType::Other;
        } else {
          t = S_ISDIR(st.st_mode)   ? EntryType::Directory
              : S_ISREG(st.st_mode) ? EntryType::Regular
              : S_ISLNK(st.st_mode) ? EntryType::Symlink
                                    : EntryType::Other;
        }
        break;
      }
      default: t = EntryType::Other; break;
    }
    entry.name = n;
    entry.type = t;
    entry.device = 0;
    entry.size = 0;
    return true;
  }
}

long long Directory::ReadFd(int fd, void* buf, std::size_t n) {
  if (fd < 0) return -1;
  ssize_t r;
  do r = ::read(fd, buf, n);
  while (r < 0 && errno == EINTR);
  return r;
}

void Directory::CloseFd(int fd) {
  if (fd >= 0) ::close(fd);
}

void Directory::Rewind() {
  if (dir_) ::rewinddir(static_cast<DIR*>(dir_));
}

int Directory::OpenFileForRead(const std::string& name) const {
  if (name.empty() || name.find('/') != std::string::npos) return -1;
  int fd;
  do fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int Directory::OpenFileForRead(const std::string& name, std::uint64_t& size) const {
  size = 0;
  if (name.empty() || name.find('/') != std::string::npos) return -1;
  int fd;
  do fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return fd;
}

std::uint64_t Directory::Device() const { return dev_; }

}  // namespace plat
