// Runs a helper program to its end and collects what it printed: the
// scheduler front ends (systemctl, crontab) are driven this way.
#pragma once
#include <string>
#include <vector>

namespace plat {

struct ProcessResult {
  bool started = false;  // false: the program could not be run at all
  int status = -1;       // its exit status; -1 when killed by a signal or not started
  std::string out, err;  // what it wrote to stdout and stderr
  bool Ok() const { return started && status == 0; }
};

// Runs argv[0] (looked up on PATH, no shell) with `input` on its stdin and
// waits for it to end. Its stdout and stderr are collected, each up to
// 4 MiB (the rest is read and dropped so it never blocks on a full pipe).
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = {});

// The absolute path of the first executable `name` on PATH, or "" when
// there is none. A name with a "/" is returned as it is when executable.
std::string FindOnPath(const std::string& name);

}  // namespace plat
