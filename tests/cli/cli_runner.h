// Runs zarns-cli as a user would: arguments quoted for the shell, stdin from
// a file, stdout and stderr captured, the exit status decoded.
#pragma once
#include <sys/wait.h>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/pfile.h"

struct CliRun {
  int rc = -1;
  std::string out, err;
};

// `s` in single quotes, safe for /bin/sh.
inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// zarns-cli with `args`, stdin from `input`; `scratch` is a path prefix for
// the stdin and stderr files; `cwd` (when not empty) is the working directory.
inline CliRun RunZarnsCli(const std::vector<std::string>& args, const std::string& input,
                          const std::string& scratch, const std::string& cwd = "") {
  const std::string in = scratch + "-in", err = scratch + "-err";
  plat::WriteFileAtomic(in, input);
  std::string cmd = cwd.empty() ? "" : "cd " + ShellQuote(cwd) + " && ";
  cmd += ShellQuote(std::string(ZARNS_BINARY_DIR) + "/zarns-cli");
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  cmd += " <" + ShellQuote(in) + " 2>" + ShellQuote(err);
  CliRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  plat::ReadWholeFile(err, r.err);
  return r;
}
