// Stand-ins for systemctl, crontab, nice and ionice, first on PATH for the
// life of the object, so the schedule tests never touch the real user's
// timers or crontab. Each records its arguments (one call per line) in
// <bin>/<name>.log; crontab keeps "the crontab" in <bin>/crontab.txt.
// Switches are files: <bin>/no-systemd makes `systemctl --user` fail,
// <bin>/crontab-write-fails makes `crontab -` fail, <bin>/crontab-l-fails
// makes `crontab -l` fail with an unexpected error.
#pragma once
#include <sys/stat.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/testenv.h"

class FakeScheduler {
 public:
  FakeScheduler() : bin(TestEnv::FreshDir("fakebin")) {
    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "";
    Script("systemctl",
           "echo \"$*\" >> \"$D/systemctl.log\"\n"
           "if [ -e \"$D/no-systemd\" ]; then echo 'Failed to connect to bus' >&2; exit 1; fi\n"
           "if [ -e \"$D/systemctl-fails\" ] && [ \"$2\" = enable ]; then exit 1; fi\n"
           "exit 0\n");
    Script("crontab",
           "echo \"$*\" >> \"$D/crontab.log\"\n"
           "case \"$1\" in\n"
           "-l) if [ -e \"$D/crontab-l-fails\" ]; then echo 'cannot read spool' >&2; exit 1; fi\n"
           "    if [ -e \"$D/crontab.txt\" ]; then cat \"$D/crontab.txt\"; exit 0; fi\n"
           "    echo \"no crontab for $USER\" >&2; exit 1;;\n"
           "-) if [ -e \"$D/crontab-write-fails\" ]; then cat >/dev/null; exit 1; fi\n"
           "   cat > \"$D/crontab.txt\"; exit 0;;\n"
           "-r) rm -f \"$D/crontab.txt\"; exit 0;;\n"
           "esac\nexit 2\n");
    // The low-priority wrappers just run the rest of their command line.
    Script("nice", "echo \"$*\" >> \"$D/nice.log\"\nshift 2\nexec \"$@\"\n");
    Script("ionice", "echo \"$*\" >> \"$D/ionice.log\"\nshift 1\nexec \"$@\"\n");
    setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
  }
  ~FakeScheduler() { setenv("PATH", savedPath_.c_str(), 1); }
  FakeScheduler(const FakeScheduler&) = delete;
  FakeScheduler& operator=(const FakeScheduler&) = delete;

  // A switch file on or off.
  void Set(const std::string& name, bool on) {
    if (on)
      std::ofstream(bin + name) << "";
    else
      std::filesystem::remove(bin + name);
  }
  // The recorded calls of `name`, or the fake crontab ("crontab.txt").
  std::string Read(const std::string& file) const {
    std::ifstream in(bin + file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteCrontab(const std::string& text) {
    std::ofstream(bin + "crontab.txt", std::ios::binary) << text;
  }
  bool HasCrontab() const { return std::filesystem::exists(bin + "crontab.txt"); }
  void ClearLogs() {
    for (const char* n : {"systemctl.log", "crontab.log", "nice.log", "ionice.log"})
      std::filesystem::remove(bin + n);
  }
  // An executable script `name` in the fake bin directory.
  void Script(const std::string& name, const std::string& body) {
    const std::string p = bin + name;
    std::ofstream(p) << "#!/bin/sh\nD='" << bin.substr(0, bin.size() - 1) << "'\n" << body;
    ::chmod(p.c_str(), 0755);
  }

  const std::string bin;  // ends with "/"

 private:
  std::string savedPath_;
};
