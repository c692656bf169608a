// Convert to Text: throughput against `strings -n 3` on the same file, and
// the memory a conversion needs whatever the file's size.
//   vanilla_bench [--mb N] [--runs N] [--limit-mb N] [--keep DIR]
// Makes an N MB file (default 200) of text runs and random bytes in a
// private directory, converts it RUNS times (default 3) and runs
// `strings -n 3` on it as often, then converts it once more in a child
// process whose address space is limited to --limit-mb (default 64) MB,
// far below the file's size, and reports that child's peak memory.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "benchstats.h"
#include "shell/zvanilla.h"

extern char** environ;

namespace {

// Text runs of words between stretches of random bytes, as a word-processor
// or executable file holds them: about 60 % text.
void MakeFile(const std::string& path, long long mb) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::mt19937_64 rng(42);
  static const char* const words[] = {"the",  "quarterly", "report", "of",    "sales", "in",
                                      "zarn", "catalog",   "word",   "north", "a",     "region",
                                      "plan", "budget",    "memo",   "to",    "all",   "staff"};
  std::string chunk;
  long long left = mb << 20;
  while (left > 0) {
    chunk.clear();
    const int textWords = 20 + static_cast<int>(rng() % 200);
    for (int i = 0; i < textWords; ++i) {
      chunk += words[rng() % (sizeof words / sizeof *words)];
      chunk += (rng() % 12 == 0) ? "\r\n" : " ";
    }
    const int junk = 100 + static_cast<int>(rng() % 900);
    for (int i = 0; i < junk; ++i) chunk += static_cast<char>(rng() & 0xFF);
    const long long n = std::min<long long>(left, static_cast<long long>(chunk.size()));
    std::fwrite(chunk.data(), 1, static_cast<std::size_t>(n), f);
    left -= n;
  }
  std::fclose(f);
}

// Runs argv with stdout to /dev/null; the wall time in ms, -1 when it failed.
double TimeProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  const auto t0 = Clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) {
    posix_spawn_file_actions_destroy(&fa);
    return -1;
  }
  int st = 0;
  waitpid(pid, &st, 0);
  const double ms = Ms(Clock::now() - t0);
  posix_spawn_file_actions_destroy(&fa);
  return WIFEXITED(st) && WEXITSTATUS(st) == 0 ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
  long long mb = 200, limitMb = 64;
  int runs = 3;
  std::string keep;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--child-convert" && i + 2 < argc) {
      // The memory test: convert under the address-space limit given.
      struct rlimit rl;
      rl.rlim_cur = rl.rlim_max = static_cast<rlim_t>(std::atoll(argv[i + 2])) << 20;
      if (setrlimit(RLIMIT_AS, &rl) != 0) return 3;
      return TZarnsVanilla().ReadWords(argv[i + 1]).ok ? 0 : 2;
    }
    if (a == "--mb" && i + 1 < argc) mb = std::atoll(argv[++i]);
    if (a == "--runs" && i + 1 < argc) runs = std::atoi(argv[++i]);
    if (a == "--limit-mb" && i + 1 < argc) limitMb = std::atoll(argv[++i]);
    if (a == "--keep" && i + 1 < argc) keep = argv[++i];
  }
  char tmpl[] = "/tmp/vanilla_bench.XXXXXX";
  const std::string dir = keep.empty() ? std::string(mkdtemp(tmpl)) : keep;
  const std::string file = dir + "/mixed.bin";
  if (!std::filesystem::exists(file)) MakeFile(file, mb);
  const double size = static_cast<double>(std::filesystem::file_size(file)) / (1 << 20);
  std::printf("Convert to Text on %.0f MB of mixed text and random bytes, %d runs each\n", size,
              runs);

  // One conversion first, so both sides read from the page cache.
  TZarnsVanilla().ReadWords(file);
  std::vector<double> ours, strings;
  for (int r = 0; r < runs; ++r) {
    const auto t0 = Clock::now();
    VanillaResult res = TZarnsVanilla().ReadWords(file);
    ours.push_back(Ms(Clock::now() - t0));
    if (!res.ok) {
      std::fprintf(stderr, "conversion failed: %s\n", res.error.c_str());
      return 1;
    }
    const double s = TimeProgram({"strings", "-n", "3", file});
    if (s >= 0) strings.push_back(s);
  }
  const double oursMs = Median(ours);
  const double outMb =
      static_cast<double>(std::filesystem::file_size(dir + "/mixed.zxt")) / (1 << 20);
  std::printf("  convert       median %8.1f ms  %7.1f MB/s  (output %.1f MB)\n", oursMs,
              size / (oursMs / 1000), outMb);
  if (!strings.empty()) {
    const double sMs = Median(strings);
    std::printf("  strings -n 3  median %8.1f ms  %7.1f MB/s\n", sMs, size / (sMs / 1000));
    std::printf("  ratio convert / strings throughput: %.2f\n", sMs / oursMs);
  } else {
    std::printf("  strings -n 3  not available\n");
  }

  // Memory: a child process converting under a small address-space limit.
  pid_t pid = fork();
  if (pid == 0) {
    const std::string self = "/proc/self/exe";
    const std::string lim = std::to_string(limitMb);
    execl(self.c_str(), argv[0], "--child-convert", file.c_str(), lim.c_str(),
          static_cast<char*>(nullptr));
    _exit(4);
  }
  int st = 0;
  struct rusage ru;
  std::memset(&ru, 0, sizeof ru);
  wait4(pid, &st, 0, &ru);
  std::printf("  under ulimit -v %lld MB: %s, peak resident %.1f MB for a %.0f MB file\n", limitMb,
              WIFEXITED(st) && WEXITSTATUS(st) == 0 ? "converted" : "FAILED",
              static_cast<double>(ru.ru_maxrss) / 1024, size);

  if (keep.empty()) std::filesystem::remove_all(dir);
  return 0;
}
