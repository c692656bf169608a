#include "platform/pprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace plat {

namespace {

constexpr std::size_t kMaxCapture = 4u << 20;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input) {
  ProcessResult r;
  if (args.empty()) return r;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return r;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]), ::close(in[1]);
    return r;
  }
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
    return r;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]), ::close(out[1]), ::close(err[1]);
  int wfd = in[1], ofd = out[0], efd = err[0];
  if (pid < 0) {
    CloseFd(wfd), CloseFd(ofd), CloseFd(efd);
    return r;
  }
  // A program that never reads its stdin must not make us fail with SIGPIPE.
  struct sigaction ignore {
  }, saved{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &saved);
  std::size_t written = 0;
  // A blocking write of more than a pipe holds would wait for the program
  // while it waits for us to read its output.
  ::fcntl(wfd, F_SETFL, ::fcntl(wfd, F_GETFL) | O_NONBLOCK);
  if (input.empty()) CloseFd(wfd);
  while (wfd >= 0 || ofd >= 0 || efd >= 0) {
    pollfd fds[3];
    int n = 0;
    if (wfd >= 0) fds[n++] = {wfd, POLLOUT, 0};
    if (ofd >= 0) fds[n++] = {ofd, POLLIN, 0};
    if (efd >= 0) fds[n++] = {efd, POLLIN, 0};
    if (::poll(fds, n, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      if (fds[i].fd == wfd) {
        const ssize_t w = ::write(wfd, input.data() + written, input.size() - written);
        if (w > 0) written += static_cast<std::size_t>(w);
        if (w < 0 && errno != EINTR && errno != EAGAIN) CloseFd(wfd);
        if (written == input.size()) CloseFd(wfd);
        continue;
      }
      int& fd = fds[i].fd == ofd ? ofd : efd;
      std::string& sink = fds[i].fd == ofd ? r.out : r.err;
      char buf[8192];
      const ssize_t got = ::read(fd, buf, sizeof buf);
      if (got > 0) {
        if (sink.size() < kMaxCapture)
          sink.append(buf, std::min(static_cast<std::size_t>(got), kMaxCapture - sink.size()));
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        CloseFd(fd);
      }
    }
  }
  CloseFd(wfd), CloseFd(ofd), CloseFd(efd);
  ::sigaction(SIGPIPE, &saved, nullptr);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  // execvp failing in the child is reported as 127, like a shell does.
  r.started = r.status != 127;
  return r;
}

std::string FindOnPath(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
  const char* env = std::getenv("PATH");
  std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find(':', start);
    std::string dir = path.substr(start, end == std::string::npos ? end : end - start);
    // An empty entry and relative entries would resolve against our
    // working directory, which a scheduled job does not share.
    if (!dir.empty() && dir[0] == '/') {
      std::string full = dir + (dir.back() == '/' ? "" : "/") + name;
      struct stat st;
      if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
          ::access(full.c_str(), X_OK) == 0)
        return full;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return {};
}

}  // namespace plat
