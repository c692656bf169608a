// POSIX files with Windows-style share modes.
//
// A share mode is a flock() lock on the open file description: readers take
// a shared lock, writers an exclusive one, never waiting. Two open() calls
// make two descriptions, so the locks conflict within one process exactly as
// they do between two running copies.
//
// Handles are small numbers handed out once and never reused (not pointers):
// a caller that keeps a handle after closing it (the data file layer keeps
// the old value in its field) can then never reach another file or freed
// memory through it; every call on such a handle simply fails.
#include "platform/pfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>

namespace plat {

FileSystem::~FileSystem() = default;

namespace {

// Opens `path` only if it is a regular file: O_NONBLOCK keeps a FIFO from
// hanging the open and is cleared again for ordinary blocking I/O. Returns the
// descriptor (its stat in `st`), or -1.
int OpenRegular(const std::string& path, int flags, struct stat& st) {
  int fd;
  do fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

struct OpenFileRec {
  int fd = -1;
  Access access = Access::Read;
};

class PosixFileSystem : public FileSystem {
 public:
  HANDLE Open(const std::string& path, Access access, Creation creation) override {
    if (path.empty()) return INVALID_HANDLE_VALUE;
    int flags = access == Access::Read ? O_RDONLY : O_WRONLY;
    if (creation != Creation::OpenExisting) flags |= O_CREAT;
    // Never O_TRUNC: emptying waits until the lock is ours, or a file that
    // another copy is reading would be destroyed under it. Only regular
    // files are data files.
    struct stat st;
    int fd = OpenRegular(path, flags, st);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    int op = (access == Access::Read ? LOCK_SH : LOCK_EX) | LOCK_NB;
    int rc;
    do rc = ::flock(fd, op);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      ::close(fd);
      return INVALID_HANDLE_VALUE;
    }
    if (creation == Creation::CreateAlways && ::ftruncate(fd, 0) != 0) {
      ::close(fd);
      return INVALID_HANDLE_VALUE;
    }
    std::lock_guard<std::mutex> g(mu_);
    std::uintptr_t id = next_++;
    files_[id] = OpenFileRec{fd, access};
    return reinterpret_cast<HANDLE>(id);
  }

  bool Close(HANDLE h) override {
    int fd;
    {
      std::lock_guard<std::mutex> g(mu_);
      auto it = files_.find(reinterpret_cast<std::uintptr_t>(h));
      if (it == files_.end()) return false;
      fd = it->second.fd;
      files_.erase(it);
    }
    ::close(fd);  // releases the lock with the last reference to the description
    return true;
  }

  long long Read(HANDLE h, void* buf, std::size_t n) override {
    OpenFileRec f;
    if (!Find(h, f)) return 0;
    if (f.access != Access::Read) return 0;
    // Fill the request as far as the file allows, like ReadFile on a disk file.
    std::size_t done = 0;
    char* p = static_cast<char*>(buf);
    while (done < n) {
      ssize_t r = ::read(f.fd, p + done, n - done);
      if (r < 0) {
        if (errno == EINTR) continue;
        return done ? static_cast<long long>(done) : -1;
      }
      if (r == 0) break;
      done += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(done);
  }

  long long Write(HANDLE h, const void* buf, std::size_t n) override {
    OpenFileRec f;
    if (!Find(h, f) || f.access != Access::Write) return -1;
    std::size_t done = 0;
    const char* p = static_cast<const char*>(buf);
    while (done < n) {
      ssize_t r = ::write(f.fd, p + done, n - done);
      if (r < 0) {
        if (errno == EINTR) continue;
        return done ? static_cast<long long>(done) : -1;
      }
      if (r == 0) break;
      done += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(done);
  }

  long long Seek(HANDLE h, long long offset, Whence whence) override {
    OpenFileRec f;
    if (!Find(h, f)) return -1;
    int w = whence == Whence::Begin ? SEEK_SET : whence == Whence::Current ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(f.fd, static_cast<off_t>(offset), w);
    return r < 0 ? -1 : static_cast<long long>(r);
  }

  long long Size(HANDLE h) override {
    OpenFileRec f;
    if (!Find(h, f)) return -1;
    struct stat st;
    if (::fstat(f.fd, &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
  }

  bool Remove(const std::string& path) override {
    struct stat st;
    // Only files: a directory of the same name is never the data file meant.
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
  }

  bool Exists(const std::string& path) override {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

 private:
  bool Find(HANDLE h, OpenFileRec& out) {
    std::lock_guard<std::mutex> g(mu_);
    auto it = files_.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == files_.end()) return false;
    out = it->second;
    return true;
  }

  std::mutex mu_;
  std::map<std::uintptr_t, OpenFileRec> files_;
  std::uintptr_t next_ = 0x100;  // far from null and from INVALID_HANDLE_VALUE
};

FileSystem* g_fs = nullptr;

bool WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t r = ::write(fd, p, n);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

}  // namespace

FileSystem& PosixFs() {
  static PosixFileSystem fs;
  return fs;
}

FileSystem& Fs() { return g_fs ? *g_fs : PosixFs(); }

void SetFs(FileSystem* fs) { g_fs = fs; }

bool ReadWholeFile(const std::string& path, std::string& out) {
  // Documents are regular files; a FIFO or device would never end.
  struct stat st;
  int fd = OpenRegular(path, O_RDONLY, st);
  if (fd < 0) return false;
  std::string data;
  bool ok = true;
  try {  // a file larger than memory is refused, not a crash
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
      ssize_t r = ::read(fd, buf, sizeof buf);
      if (r < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      if (r == 0) break;
      data.append(buf, static_cast<std::size_t>(r));
    }
  } catch (const std::exception&) {
    ok = false;
  }
  ::close(fd);
  if (ok) out.swap(data);
  return ok;
}

bool WriteFileAtomic(const std::string& path, const std::string& data) {
  if (path.empty()) return false;
  // Write through a symbolic link to the file it names, so the link survives.
  std::string target = path;
  struct stat lst;
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real) {
      target = real;
      ::free(real);
    }
  }
  std::string::size_type slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string tmpl = dir + "/." + base + ".XXXXXX";
  int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return false;

  // Keep the original's permissions; a new file gets the usual 0666 & ~umask.
  struct stat st;
  mode_t mode;
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t um = ::umask(0);
    ::umask(um);
    mode = 0666 & ~um;
  }
  bool ok = ::fchmod(fd, mode) == 0;
  ok = ok && WriteAll(fd, data.data(), data.size());
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(tmpl.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tmpl.c_str());
    return false;
  }
  // Make the rename itself durable.
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace plat
