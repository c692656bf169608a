// The data directory stands where the program was designed to keep its data
// files in the root of drive C:. The environment is read on every call, so a
// test (or a user running two profiles) can switch directories at any time.
#include "platform/pdatadir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace plat {

namespace {

std::string WithSlash(std::string p) {
  if (p.empty() || p.back() != '/') p += '/';
  return p;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

// Failures are left to the first open in the directory, which then fails
// like any missing file.
void MakeDirs(const std::string& path) {
  std::string cur;
  for (std::size_t i = 0; i < path.size(); ++i) {
    cur += path[i];
    if ((path[i] == '/' && i > 0) || i + 1 == path.size()) {
      if (::mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST) return;
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
    made = dir;
  }
  return dir;
}

std::string DataPath(const std::string& name) { return DataDir() + name; }

}  // namespace plat
