// The desktop launcher: xdg-open and xdg-email, started detached.
//
// A double fork leaves the helper to init, so it never becomes a zombie of
// ours, and setsid() keeps it alive when the editor quits. The argument vector
// goes straight to exec: no shell ever sees a file name or an address.
#include "platform/plauncher.h"

#include "platform/pprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace plat {

Launcher::~Launcher() = default;

bool Launcher::OpenIn(const std::string& target, const std::string&) { return Open(target); }

namespace {

// The argument vector for exec, made before fork: after fork only
// async-signal-safe calls are made.
std::vector<char*> ExecArgv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Forks twice: the grandchild runs in a new session, left to init, so it is
// never a zombie of ours and outlives the editor. Returns 0 in the
// grandchild (which keeps the pipe's write end); in the caller 1 once the
// middle child has ended cleanly, -1 when a fork failed. The caller keeps
// the read end either way and closes it.
int ForkAway(int pipefd[2]) {
  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(pipefd[1]);
    return -1;
  }
  if (pid == 0) {
    ::close(pipefd[0]);
    ::setsid();
    pid_t pid2 = ::fork();
    if (pid2 != 0) ::_exit(pid2 < 0 ? 1 : 0);
    return 0;
  }
  ::close(pipefd[1]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : -1;
}

// In a forked child: input from /dev/null, SIGPIPE as a new program expects
// it, `dir` current when given, then argv[0] (searched on PATH). When exec
// fails its errno goes to `errFd` and the child ends.
[[noreturn]] void ExecInChild(char* const* argv, const char* dir, int errFd) {
  int devnull = ::open("/dev/null", O_RDWR);
  if (devnull >= 0) {
    ::dup2(devnull, 0);
    if (devnull > 2) ::close(devnull);
  }
  ::signal(SIGPIPE, SIG_DFL);
  if (dir && ::chdir(dir) != 0) {
    // A folder that vanished still lets the file open by its full path.
  }
  ::execvp(argv[0], argv);
  int err = errno;
  ssize_t w = ::write(errFd, &err, sizeof err);
  (void)w;
  ::_exit(127);
}

// What both launchers do first: the program's arguments and folder made
// ready (nothing is allocated after a fork), the pipe its start is reported
// through, and the fork away. `began` is false when there was nothing to
// start or no pipe; otherwise `forked` is ForkAway's answer and the caller
// closes pipefd[0].
struct Spawn {
  Spawn(const std::vector<std::string>& args, const std::string& workDir)
      : argv(ExecArgv(args)), dir(workDir.empty() ? nullptr : workDir.c_str()) {
    began = !args.empty() && ::pipe2(pipefd, O_CLOEXEC) == 0;
    if (began) forked = ForkAway(pipefd);
  }
  std::vector<char*> argv;
  const char* dir;
  int pipefd[2] = {-1, -1};
  bool began = false;
  int forked = -1;
};

// Starts argv[0] (searched on PATH) detached; true when the exec succeeded.
bool SpawnDetached(const std::vector<std::string>& args, const std::string& workDir = {}) {
  Spawn l(args, workDir);
  if (!l.began) return false;
  if (l.forked == 0) ExecInChild(l.argv.data(), l.dir, l.pipefd[1]);
  // The pipe closes on a successful exec (O_CLOEXEC) and carries errno otherwise.
  int err = 0;
  ssize_t r;
  do r = ::read(l.pipefd[0], &err, sizeof err);
  while (r < 0 && errno == EINTR);
  ::close(l.pipefd[0]);
  return l.forked > 0 && r == 0;
}

// Starts argv[0] detached like SpawnDetached, and watches it for up to
// `waitMs`: false when it cannot be started or ends in that time with a
// non-zero status (xdg-open saying no application takes the address); a
// program still running then counts as started. A watcher process, also
// left to init, waits for it and sends its status through a pipe. The
// program starts in `workDir` when one is given.
bool SpawnWatched(const std::vector<std::string>& args, int waitMs,
                  const std::string& workDir = {}) {
  Spawn l(args, workDir);
  if (!l.began) return false;
  int* const pipefd = l.pipefd;
  if (l.forked == 0) {
    // The watcher.
    ::signal(SIGPIPE, SIG_IGN);  // the editor may stop listening first
    pid_t prog = ::fork();
    if (prog == 0) ExecInChild(l.argv.data(), l.dir, pipefd[1]);
    int code = 1;
    if (prog > 0) {
      int status = 0;
      while (::waitpid(prog, &status, 0) < 0 && errno == EINTR) {
      }
      code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ssize_t w = ::write(pipefd[1], &code, sizeof code);
    (void)w;
    ::_exit(0);
  }
  bool ok = l.forked > 0;
  if (ok) {
    struct pollfd p {
      pipefd[0], POLLIN, 0
    };
    int n;
    do n = ::poll(&p, 1, waitMs);
    while (n < 0 && errno == EINTR);
    if (n > 0) {
      int code = 0;
      ssize_t r;
      do r = ::read(pipefd[0], &code, sizeof code);
      while (r < 0 && errno == EINTR);
      if (r == static_cast<ssize_t>(sizeof code) && code != 0) ok = false;
    }
  }
  ::close(pipefd[0]);
  return ok;
}

// A relative file name that starts with "-" would read as an option.
std::string SafeTarget(const std::string& t) { return (!t.empty() && t[0] == '-') ? "./" + t : t; }

class XdgLauncher : public Launcher {
  // xdg-open hands over and ends at once, or fails at once; a handler it
  // runs in its own place is given this long before it counts as started.
  static constexpr int kWatchMs = 1500;

 public:
  bool Open(const std::string& target) override {
    if (target.empty()) return false;
    return SpawnWatched({"xdg-open", SafeTarget(target)}, kWatchMs);
  }
  bool OpenIn(const std::string& target, const std::string& workDir) override {
    if (target.empty()) return false;
    return SpawnWatched({"xdg-open", SafeTarget(target)}, kWatchMs, workDir);
  }
  bool Dial(const std::string& number) override {
    if (number.empty()) return false;
    return SpawnWatched({"xdg-open", "tel:" + number}, kWatchMs);
  }
  bool CanMail() override { return !FindOnPath("xdg-email").empty(); }
  bool Mail(const std::vector<std::string>& attachments) override {
    std::vector<std::string> args{"xdg-email"};
    for (const auto& a : attachments) {
      args.push_back("--attach");
      args.push_back(SafeTarget(a));
    }
    return SpawnDetached(args);
  }
};

Launcher* g_launcher = nullptr;

}  // namespace

bool RecordingLauncher::Open(const std::string& target) {
  calls.push_back({"open", target, {}});
  return result;
}

bool RecordingLauncher::OpenIn(const std::string& target, const std::string& workDir) {
  calls.push_back({"open", target, workDir});
  return result;
}

bool RecordingLauncher::Dial(const std::string& number) {
  calls.push_back({"dial", number, {}});
  return result;
}

bool RecordingLauncher::CanMail() { return mailAvailable; }

// A mail request is recorded as one call, its attachments joined by "\n".
bool RecordingLauncher::Mail(const std::vector<std::string>& attachments) {
  std::string joined;
  for (const auto& a : attachments) {
    if (!joined.empty()) joined += '\n';
    joined += a;
  }
  calls.push_back({"mail", joined, {}});
  return result;
}

bool StartDetached(const std::vector<std::string>& argv, const std::string& workDir) {
  return SpawnDetached(argv, workDir);
}

bool StartWatched(const std::vector<std::string>& argv, int waitMs) {
  return SpawnWatched(argv, waitMs);
}

std::string LaunchFailedText(const std::string& target) {
  return "\"" + target +
         "\" could not be opened: no application on this system takes it, or the one that "
         "does reported an error.";
}

Launcher& Launch() {
  static XdgLauncher xdg;
  return g_launcher ? *g_launcher : xdg;
}

void SetLauncher(Launcher* l) { g_launcher = l; }

}  // namespace plat
