// The data directory stands where the program was designed to keep its data
// files in the root of drive C:. The environment is read on every call, so a
// test (or a user running two profiles) can switch directories at any time.
#include "platform/pdatadir.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/pfile.h"

namespace plat {

namespace {

std::string WithSlash(std::string p) {
  if (p.empty() || p.back() != '/') p += '/';
  return p;
}

// A catalog of a home directory tells what its files hold, so the data
// directory is the user's alone. One left more open (made by an older
// version, or by hand) is closed when it is the user's own; its files and
// folders then lose their group and other bits too, as they were made with
// the same openness. Someone else's directory is never touched.
void MakePrivate(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) == 0 ||
      ::fchmod(fd, st.st_mode & 0700) != 0) {
    ::close(fd);
    return;
  }
  // Nobody else can enter the directory now, so its entries stay what we see.
  DIR* d = ::fdopendir(fd);
  if (!d) {
    ::close(fd);
    return;
  }
  while (dirent* de = ::readdir(d)) {
    if (std::strcmp(de->d_name, ".") == 0 || std::strcmp(de->d_name, "..") == 0) continue;
    struct stat es;
    if (::fstatat(fd, de->d_name, &es, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!(S_ISREG(es.st_mode) || S_ISDIR(es.st_mode)) || es.st_uid != ::geteuid() ||
        (es.st_mode & 077) == 0)
      continue;
    ::fchmodat(fd, de->d_name, es.st_mode & 0700, 0);
  }
  ::closedir(d);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

// mkdir -p, every directory made private; existing directories are fine,
// failures are left to the first open in the directory, which then fails
// like any missing file.
void MakeDirs(const std::string& path) {
  FileSystem& fs = Fs();
  std::string cur;
  for (std::size_t i = 0; i < path.size(); ++i) {
    cur += path[i];
    if ((path[i] == '/' && i > 0) || i + 1 == path.size()) {
      if (!fs.MakeDir(cur) && LastFileError() != FileError::Exists) return;
    }
  }
}

std::string HomeDir() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir ? pw->pw_dir : "";
  }
  if (home.empty()) home = "/tmp";
  return WithSlash(home);
}

std::string XdgDataHome() {
  // Relative values are invalid by the XDG rules and are ignored.
  std::string x = Env("XDG_DATA_HOME");
  if (!x.empty() && x[0] == '/') return WithSlash(x);
  return HomeDir() + ".local/share/";
}

std::string DataDir() {
  std::string dir = Env("ZARNS_DATA_DIR");
  dir = dir.empty() ? XdgDataHome() + "zarns/" : WithSlash(dir);
  static std::mutex mu;
  static std::string made;  // skip the mkdir calls while the directory stays the same
  std::lock_guard<std::mutex> g(mu);
  struct stat st;
  if (dir != made || ::stat(dir.c_str(), &st) != 0) {
    MakeDirs(dir);
    MakePrivate(dir);
    made = dir;
  }
  return dir;
}

std::string DataPath(const std::string& name) { return DataDir() + name; }

}  // namespace plat
