// POSIX files with Windows-style share modes.
//
// A share mode is a flock() lock on the open file description: readers take
// a shared lock, writers an exclusive one. Two open() calls make two
// descriptions, so the locks conflict within one process exactly as they do
// between two running copies. Whether a conflict is our own is told from the
// handles this process has open on the same file: only another process's
// lock is worth waiting for.
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
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

namespace plat {

FileSystem::~FileSystem() = default;

namespace {

thread_local FileError t_lastError = FileError::None;
std::atomic<long long> g_lockWaitMs{5000};
thread_local long long t_lockWaitMs = -1;  // a LockWaitScope's bound, -1 = none

FileError FromErrno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR: return FileError::NotFound;
    case EACCES:
    case EPERM:
    case EROFS: return FileError::Permission;
    case ENOSPC:
    case EDQUOT: return FileError::NoSpace;
    case EEXIST: return FileError::Exists;
    default: return FileError::Other;
  }
}

// Records errno's meaning and returns false, for one-line failure paths.
bool Failed(int e) {
  t_lastError = FromErrno(e);
  return false;
}

// Opens `path` only if it is a regular file: O_NONBLOCK keeps a FIFO from
// hanging the open and is cleared again for ordinary blocking I/O. Returns the
// descriptor (its stat in `st`), or -1 with errno set.
int OpenRegular(const std::string& path, int flags, struct stat& st) {
  int fd;
  do fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0600);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  bool stated = ::fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    int e = !stated ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = e;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// Opens or creates `path` as `creation` says. A file this call creates is
// made 0600 with fchmod, which the umask cannot narrow or widen.
int OpenOrCreate(const std::string& path, int flags, Creation creation, struct stat& st) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (creation != Creation::CreateNew) {
      int fd = OpenRegular(path, flags, st);
      if (fd >= 0 || errno != ENOENT || creation == Creation::OpenExisting) return fd;
    }
    int fd = OpenRegular(path, flags | O_CREAT | O_EXCL, st);
    if (fd >= 0) {
      ::fchmod(fd, 0600);
      return fd;
    }
    if (errno != EEXIST || creation == Creation::CreateNew) return -1;
    // Taken between the two opens, or a dangling symbolic link: try again.
  }
  // A link to a missing file: create what it names, as a plain open would.
  return OpenRegular(path, flags | O_CREAT, st);
}

struct OpenFileRec {
  int fd = -1;
  Access access = Access::Read;
  dev_t dev = 0;
  ino_t ino = 0;
};

bool Conflicts(Access held, Access wanted) {
  if (held == Access::ReadUnlocked || wanted == Access::ReadUnlocked) return false;
  return held == Access::Write || wanted == Access::Write;
}

class PosixFileSystem : public FileSystem {
 public:
  HANDLE Open(const std::string& path, Access access, Creation creation) override {
    if (path.empty()) {
      t_lastError = FileError::NotFound;
      return INVALID_HANDLE_VALUE;
    }
    // Never O_TRUNC: emptying waits until the lock is ours, or a file that
    // another copy is reading would be destroyed under it. Only regular
    // files are data files.
    int flags = access == Access::Write ? O_WRONLY : O_RDONLY;
    struct stat st;
    int fd = -1;
    // A writer that replaces files by renaming them holds the old ones
    // locked until the new ones are in place; a lock taken after such a wait
    // is on a file that is gone, so the open starts again on the new one.
    for (int attempt = 0;; ++attempt) {
      fd = OpenOrCreate(path, flags, creation, st);
      if (fd < 0) {
        Failed(errno);
        return INVALID_HANDLE_VALUE;
      }
      if (access != Access::ReadUnlocked && !Lock(fd, access, st)) {
        ::close(fd);
        return INVALID_HANDLE_VALUE;
      }
      struct stat now;
      if (access == Access::ReadUnlocked || creation == Creation::CreateNew || attempt >= 8 ||
          ::stat(path.c_str(), &now) != 0 || (now.st_dev == st.st_dev && now.st_ino == st.st_ino))
        break;
      ::close(fd);
    }
    // Emptied only when not empty already (sized again now that the lock is
    // held): truncating a file, even an empty one, makes ext4 start writing
    // it back at the first close of any descriptor of it, which puts the
    // cost of writing a large file on whichever thread happens to close one.
    struct stat cur;
    if (creation == Creation::CreateAlways && (::fstat(fd, &cur) != 0 || cur.st_size != 0) &&
        ::ftruncate(fd, 0) != 0) {
      Failed(errno);
      ::close(fd);
      return INVALID_HANDLE_VALUE;
    }
    t_lastError = FileError::None;
    std::lock_guard<std::mutex> g(mu_);
    std::uintptr_t id = next_++;
    files_[id] = OpenFileRec{fd, access, st.st_dev, st.st_ino};
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
    if (f.access == Access::Write) return 0;
    // Fill the request as far as the file allows, like ReadFile on a disk file.
    std::size_t done = 0;
    char* p = static_cast<char*>(buf);
    while (done < n) {
      ssize_t r = ::read(f.fd, p + done, n - done);
      if (r < 0) {
        if (errno == EINTR) continue;
        Failed(errno);
        return done ? static_cast<long long>(done) : -1;
      }
      if (r == 0) break;
      done += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(done);
  }

  long long Write(HANDLE h, const void* buf, std::size_t n) override {
    OpenFileRec f;
    if (!Find(h, f) || f.access != Access::Write) {
      t_lastError = FileError::Other;
      return -1;
    }
    std::size_t done = 0;
    const char* p = static_cast<const char*>(buf);
    while (done < n) {
      ssize_t r = ::write(f.fd, p + done, n - done);
      if (r < 0) {
        if (errno == EINTR) continue;
        Failed(errno);
        return done ? static_cast<long long>(done) : -1;
      }
      if (r == 0) {
        t_lastError = FileError::NoSpace;
        break;
      }
      done += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(done);
  }

  long long Seek(HANDLE h, long long offset, Whence whence) override {
    OpenFileRec f;
    if (!Find(h, f)) return -1;
    int w = whence == Whence::Begin ? SEEK_SET : whence == Whence::Current ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(f.fd, static_cast<off_t>(offset), w);
    if (r < 0) Failed(errno);
    return r < 0 ? -1 : static_cast<long long>(r);
  }

  long long Size(HANDLE h) override {
    OpenFileRec f;
    if (!Find(h, f)) return -1;
    struct stat st;
    if (::fstat(f.fd, &st) != 0) {
      Failed(errno);
      return -1;
    }
    return static_cast<long long>(st.st_size);
  }

  bool Sync(HANDLE h) override {
    OpenFileRec f;
    if (!Find(h, f)) return false;
    int rc;
    do rc = ::fsync(f.fd);
    while (rc != 0 && errno == EINTR);
    return rc == 0 || Failed(errno);
  }

  bool SetMode(HANDLE h, unsigned mode) override {
    OpenFileRec f;
    if (!Find(h, f)) return false;
    return ::fchmod(f.fd, static_cast<mode_t>(mode & 07777)) == 0 || Failed(errno);
  }

  bool Remove(const std::string& path) override {
    struct stat st;
    // Only files: a directory of the same name is never the data file meant.
    if (path.empty() || ::lstat(path.c_str(), &st) != 0)
      return Failed(path.empty() ? ENOENT : errno);
    if (S_ISDIR(st.st_mode)) return Failed(EISDIR);
    return ::unlink(path.c_str()) == 0 || Failed(errno);
  }

  bool Rename(const std::string& from, const std::string& to) override {
    if (from.empty() || to.empty()) return Failed(ENOENT);
    return ::rename(from.c_str(), to.c_str()) == 0 || Failed(errno);
  }

  bool MakeDir(const std::string& path) override {
    if (path.empty()) return Failed(ENOENT);
    if (::mkdir(path.c_str(), 0700) != 0) return Failed(errno);
    // mkdir's mode passes through the umask; the directory we just made is
    // set exactly, without following a link someone put in its place.
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Failed(errno);
    bool ok = ::fchmod(fd, 0700) == 0 || Failed(errno);
    ::close(fd);
    return ok;
  }

  bool RemoveDir(const std::string& path) override {
    if (path.empty()) return Failed(ENOENT);
    return ::rmdir(path.c_str()) == 0 || Failed(errno);
  }

  bool SyncDir(const std::string& path) override {
    int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Failed(errno);
    int rc;
    do rc = ::fsync(fd);
    while (rc != 0 && errno == EINTR);
    int e = errno;
    ::close(fd);
    return rc == 0 || Failed(e);
  }

  bool Exists(const std::string& path) override {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

 private:
  bool Find(HANDLE h, OpenFileRec& out) {
    std::lock_guard<std::mutex> g(mu_);
    auto it = files_.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == files_.end()) {
      t_lastError = FileError::Other;
      return false;
    }
    out = it->second;
    return true;
  }

  // True when a handle of this process on the same file holds a lock that
  // conflicts with `wanted`.
  bool HeldHere(const struct stat& st, Access wanted) {
    std::lock_guard<std::mutex> g(mu_);
    for (const auto& [id, f] : files_)
      if (f.dev == st.st_dev && f.ino == st.st_ino && Conflicts(f.access, wanted)) return true;
    return false;
  }

  // Takes the share lock, waiting for another process's conflicting lock.
  bool Lock(int fd, Access access, const struct stat& st) {
    return FlockWithin(fd, access == Access::Write ? LOCK_EX : LOCK_SH,
                       [&] { return HeldHere(st, access); });
  }

  std::mutex mu_;
  std::map<std::uintptr_t, OpenFileRec> files_;
  std::uintptr_t next_ = 0x100;  // far from null and from INVALID_HANDLE_VALUE
};

FileSystem* g_fs = nullptr;

std::string Hex(unsigned long long v) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  do {
    s += digits[v & 15];
    v >>= 4;
  } while (v);
  return s;
}

// A name for the temporary file beside `base` in `dir`, different on every call
// and in every process.
std::string TempName(const std::string& dir, const std::string& base) {
  static std::atomic<unsigned> counter{0};
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  unsigned long long mix = static_cast<unsigned long long>(now) * 0x9E3779B97F4A7C15ull ^
                           (static_cast<unsigned long long>(::getpid()) << 20) ^ counter++;
  return dir + "/." + base + "." + Hex(mix & 0xFFFFFFFFFFull);
}

bool WriteAtomic(const std::string& path, const std::string& data, bool dataFile) {
  if (path.empty()) return Failed(ENOENT);
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

  // A document keeps the original's permissions, a new one gets the usual
  // 0666 & ~umask; the program's data files are private.
  mode_t mode;
  struct stat st;
  if (dataFile) {
    mode = 0600;
  } else if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t um = ::umask(0);
    ::umask(um);
    mode = 0666 & ~um;
  }

  FileSystem& fs = Fs();
  std::string tmp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && !IsOpen(h); ++attempt) {
    tmp = TempName(dir, base);
    h = fs.Open(tmp, Access::Write, Creation::CreateNew);
    if (!IsOpen(h) && LastFileError() != FileError::Exists) break;
  }
  if (!IsOpen(h)) return false;
  bool ok = fs.SetMode(h, mode);
  ok = ok && (data.empty() ||
              fs.Write(h, data.data(), data.size()) == static_cast<long long>(data.size()));
  ok = ok && fs.Sync(h);
  FileError cause = LastFileError();
  fs.Close(h);
  ok = ok && fs.Rename(tmp, target);
  if (!ok) {
    if (cause == FileError::None) cause = LastFileError();
    if (cause == FileError::None) cause = FileError::Other;
    fs.Remove(tmp);
    t_lastError = cause;
    return false;
  }
  // Make the rename itself durable. The new file is in place whatever this
  // answers, so a failure here is no failure of the write.
  fs.SyncDir(dir);
  return true;
}

}  // namespace

FileError LastFileError() { return t_lastError; }

void SetLastFileError(FileError e) { t_lastError = e; }

const char* FileErrorText(FileError e) {
  switch (e) {
    case FileError::None: return "no error";
    case FileError::Busy: return "busy";
    case FileError::NotFound: return "not found";
    case FileError::Permission: return "permission denied";
    case FileError::NoSpace: return "disk full";
    case FileError::Exists: return "already exists";
    case FileError::Other: break;
  }
  return "input/output error";
}

std::chrono::milliseconds LockWait() {
  return std::chrono::milliseconds(t_lockWaitMs >= 0 ? t_lockWaitMs : g_lockWaitMs.load());
}

void SetLockWait(std::chrono::milliseconds bound) {
  g_lockWaitMs.store(std::max<long long>(0, bound.count()));
}

LockWaitScope::LockWaitScope(std::chrono::milliseconds bound) : saved_(t_lockWaitMs) {
  t_lockWaitMs = std::max<long long>(0, bound.count());
}

LockWaitScope::~LockWaitScope() { t_lockWaitMs = saved_; }

FileSystem& PosixFs() {
  static PosixFileSystem fs;
  return fs;
}

FileSystem& Fs() { return g_fs ? *g_fs : PosixFs(); }

void SetFs(FileSystem* fs) { g_fs = fs; }

bool ReadWholeFile(const std::string& path, std::string& out) {
  FileSystem& fs = Fs();
  HANDLE h = fs.Open(path, Access::ReadUnlocked, Creation::OpenExisting);
  if (!IsOpen(h)) return false;
  std::string data;
  bool ok = true;
  try {  // a file larger than memory is refused, not a crash
    long long size = fs.Size(h);
    if (size > 0) data.reserve(static_cast<std::size_t>(size));
    char buf[65536];
    for (;;) {
      long long r = fs.Read(h, buf, sizeof buf);
      if (r < 0) {
        ok = false;
        break;
      }
      if (r == 0) break;
      data.append(buf, static_cast<std::size_t>(r));
    }
  } catch (const std::exception&) {
    t_lastError = FileError::Other;
    ok = false;
  }
  fs.Close(h);
  if (ok) out.swap(data);
  return ok;
}

bool WriteFileAtomic(const std::string& path, const std::string& data) {
  return WriteAtomic(path, data, false);
}

bool WriteDataFileAtomic(const std::string& path, const std::string& data) {
  return WriteAtomic(path, data, true);
}

bool MakeDataFilePrivate(const std::string& path) {
  FileSystem& fs = Fs();
  HANDLE h = fs.Open(path, Access::ReadUnlocked, Creation::OpenAlways);
  if (!IsOpen(h)) return false;
  bool ok = fs.SetMode(h, 0600);
  fs.Close(h);
  return ok;
}

// Polling rather than a blocking flock: a blocking call cannot be bounded.
// The pauses start short and grow, so a lock released a moment later is seen
// at once and a long wait costs little.
bool FlockWithin(int fd, int op, const std::function<bool()>& ours) {
  using namespace std::chrono;
  const auto bound = LockWait();
  const auto start = steady_clock::now();
  auto pause = milliseconds(1);
  for (;;) {
    if (::flock(fd, op | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      SetLastFileError(FileError::Other);
      return false;
    }
    auto waited = duration_cast<milliseconds>(steady_clock::now() - start);
    if ((ours && ours()) || waited >= bound) {
      SetLastFileError(FileError::Busy);
      return false;
    }
    std::this_thread::sleep_for(std::min(pause, bound - waited));
    pause = std::min(pause * 2, milliseconds(50));
  }
}

}  // namespace plat
