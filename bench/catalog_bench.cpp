// Word catalog benchmark: builds a corpus of ~20,000 text files in 2,000
// directories (plus non-text files), then measures in one run, as ratios:
//   - the catalog build against a lower bound that only walks the same tree
//     and reads the same bytes of the same files (warm cache), and the same
//     build done wholly on the calling thread;
//   - the word search against `rg -l -i -w` run once per word and intersected;
//   - the peak memory of a build (in a child process).
//   catalog_bench [--files N] [--keep DIR] [--rounds N] [--build-only]
// --build-only times the build alone (for profiling); --rounds sets the
// number of timed rounds after the warm-up round (default 3).
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "benchstats.h"
#include "catalog/zrnreg.h"
#include "catalog/zrnwcat.h"
#include "catalog/zwrdview.h"
#include "host/host.h"
#include "store/zrnio.h"

namespace fs = std::filesystem;

namespace {

// --- corpus ------------------------------------------------------------------

struct Corpus {
  std::string root;
  std::size_t textFiles = 0, otherFiles = 0, dirs = 0;
  std::uint64_t textBytes = 0;
};

Corpus MakeCorpus(const std::string& root, std::size_t nText) {
  Corpus c;
  c.root = root;
  std::mt19937 rng(20261207);
  // A vocabulary with a Zipf-like spread, as real text has.
  std::vector<std::string> vocab;
  std::uniform_int_distribution<int> len(4, 11), letter(0, 25);
  for (int i = 0; i < 30000; ++i) {
    std::string w;
    int n = len(rng);
    for (int k = 0; k < n; ++k) w += static_cast<char>('a' + letter(rng));
    vocab.push_back(w);
  }
  std::vector<double> weights;
  for (std::size_t i = 0; i < vocab.size(); ++i)
    weights.push_back(1.0 / static_cast<double>(i + 1));
  std::discrete_distribution<std::size_t> pick(weights.begin(), weights.end());
  // Two marker words: "quasar" in 1 file of 400, "nebula" in 1 of 25.
  std::vector<std::string> dirs;
  for (int t = 0; t < 50; ++t) {
    std::string top = root + "/top" + std::to_string(t);
    dirs.push_back(top);
    for (int s = 0; s < 39; ++s) dirs.push_back(top + "/sub" + std::to_string(s));
  }
  for (auto& d : dirs) fs::create_directories(d);
  c.dirs = dirs.size() + 1;
  std::uniform_real_distribution<double> u(0, 1);
  for (std::size_t i = 0; i < nText; ++i) {
    const std::string& d = dirs[i % dirs.size()];
    double r = u(rng);
    std::size_t bytes = r < 0.7    ? 200 + rng() % 1800
                        : r < 0.95 ? 2000 + rng() % 6000
                                   : 8000 + rng() % 12000;
    std::string text;
    int col = 0;
    while (text.size() < bytes) {
      const std::string& w = vocab[pick(rng)];
      if (u(rng) < 0.08) {
        text += char(w[0] - 32);
        text.append(w, 1);
      } else {
        text += w;
      }
      col += static_cast<int>(w.size()) + 1;
      if (u(rng) < 0.05) text += ',';
      if (col > 70) {
        text += '\n';
        col = 0;
      } else {
        text += ' ';
      }
    }
    if (i % 400 == 28) text += " quasar ";
    if (i % 25 == 3) text += " nebula ";
    std::string name = d + "/doc" + std::to_string(i) + (i % 5 == 0 ? ".md" : ".txt");
    std::ofstream(name, std::ios::binary) << text;
    c.textFiles++;
    c.textBytes += text.size();
  }
  // Non-text files: pictures, sound, binaries.
  const char* exts[] = {".jpg", ".mp3", ".bin", ".png"};
  for (std::size_t i = 0; i < nText / 6; ++i) {
    std::string bytes(1024 + rng() % 15000, '\0');
    for (auto& b : bytes) b = static_cast<char>(rng() & 0xFF);
    std::ofstream(dirs[(i * 7) % dirs.size()] + "/blob" + std::to_string(i) + exts[i % 4],
                  std::ios::binary)
        << bytes;
    c.otherFiles++;
  }
  return c;
}

// --- lower bound: walk and read ------------------------------------------------

bool Listed(const char* name, const std::vector<std::string>& exts) {
  std::size_t n = std::strlen(name);
  for (auto& e : exts) {
    if (e.size() > n) continue;
    if (strcasecmp(name + n - e.size(), e.c_str()) == 0) return true;
  }
  return false;
}

// Visits the same directories (no "." in the name, no links) and reads the
// files of the catalogued extensions whole, 2048 bytes at a time (the
// corpus's files are dense text, so the build reads every byte too).
std::uint64_t WalkRead(int dirfd, const std::vector<std::string>& exts, char* buf) {
  std::uint64_t bytes = 0;
  DIR* d = fdopendir(dirfd);
  if (!d) return 0;
  std::vector<std::string> subs;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    if (e->d_type == DT_DIR) {
      if (!std::strchr(e->d_name, '.')) subs.push_back(e->d_name);
    } else if (e->d_type == DT_REG && Listed(e->d_name, exts)) {
      int fd = openat(dirfd, e->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
      if (fd < 0) continue;
      ssize_t n;
      while ((n = read(fd, buf, 2048)) > 0) bytes += static_cast<std::uint64_t>(n);
      close(fd);
    }
  }
  for (auto& s : subs) {
    int fd = openat(dirfd, s.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) bytes += WalkRead(fd, exts, buf);
  }
  closedir(d);
  return bytes;
}

// --- ripgrep -------------------------------------------------------------------

std::set<std::string> Rg(const std::string& word, const std::string& root) {
  std::string cmd =
      "rg -l -i -w -g '*.txt' -g '*.md' --no-messages -- '" + word + "' '" + root + "'";
  std::set<std::string> out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char line[8192];
  while (fgets(line, sizeof line, p)) {
    std::string s = line;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    out.insert(s);
  }
  pclose(p);
  return out;
}

std::size_t RgIntersect(const std::vector<std::string>& words, const std::string& root) {
  std::set<std::string> acc = Rg(words[0], root);
  for (std::size_t i = 1; i < words.size(); ++i) {
    std::set<std::string> next = Rg(words[i], root), both;
    std::set_intersection(acc.begin(), acc.end(), next.begin(), next.end(),
                          std::inserter(both, both.begin()));
    acc.swap(both);
  }
  return acc.size();
}

std::size_t Search(ZrnIO& files, const std::string& words) {
  SilentHost quiet;
  WordView v(files, quiet, quiet);
  v.FindName = words;
  v.InterpretWords();
  return v.HitList.size();
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t nFiles = 20000;
  std::string keep;
  int rounds = 3;
  bool buildOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--build-only") buildOnly = true;
    if (i + 1 >= argc) continue;
    if (a == "--files") nFiles = std::strtoul(argv[i + 1], nullptr, 10);
    if (a == "--keep") keep = argv[i + 1];
    if (a == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  std::string base =
      keep.empty()
          ? (fs::temp_directory_path() / ("zarns-catbench-" + std::to_string(getpid()))).string()
          : keep;
  std::string corpusDir = base + "/corpus", dataDir = base + "/data";
  fs::create_directories(dataDir);
  setenv("ZARNS_DATA_DIR", dataDir.c_str(), 1);

  auto t0 = Clock::now();
  Corpus c;
  if (!fs::exists(corpusDir + "/top0")) {
    c = MakeCorpus(corpusDir, nFiles);
    std::printf(
        "corpus: %zu text files (%.1f MB), %zu other files, %zu directories, made in %.1f s\n",
        c.textFiles, static_cast<double>(c.textBytes) / 1e6, c.otherFiles, c.dirs, Since(t0));
  } else {
    std::printf("corpus: reusing %s\n", corpusDir.c_str());
  }

  ZrnIO files;
  SilentHost quiet;
  // The lists from this system's file types, made before any timing.
  {
    ZrnReg reg(files, quiet);
    reg.GetRegistryTextExt();
  }
  std::vector<std::string> exts;
  {
    ZrnReg reg(files, quiet);
    reg.RegExtPtr = &exts;
    reg.GetExtensions();
    for (auto& e : exts)
      for (auto& ch : e) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::sort(exts.begin(), exts.end());
    exts.erase(std::unique(exts.begin(), exts.end()), exts.end());
  }

  // Warm the cache, then alternate the two so both see the same cache.
  std::vector<char> buf(4096);
  std::vector<double> lower, build, lowerCpu, buildCpu;
  std::uint64_t bytesRead = 0;
  BuildStats stats;
  for (int round = 0; round <= rounds; ++round) {
    auto t = Clock::now();
    double c0 = Cpu();
    double lb = 0, lbc = 0;
    if (!buildOnly) {
      int fd = open(corpusDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      bytesRead = WalkRead(fd, exts, buf.data());
      lb = Since(t);
      lbc = Cpu() - c0;
    }
    t = Clock::now();
    c0 = Cpu();
    WordCat w(files);
    w.CreateWordCatalog(nullptr, {corpusDir});
    double bt = Since(t), btc = Cpu() - c0;
    stats = w.Stats();
    if (round > 0) {
      lower.push_back(lb);
      build.push_back(bt);
      lowerCpu.push_back(lbc);
      buildCpu.push_back(btc);
    }
  }
  // The same build with everything on the calling thread, for comparison.
  std::vector<double> single, singleCpu;
  for (int round = 0; round < rounds; ++round) {
    auto t = Clock::now();
    double c0 = Cpu();
    WordCat w(files);
    w.useHelperThread = false;
    w.CreateWordCatalog(nullptr, {corpusDir});
    single.push_back(Since(t));
    singleCpu.push_back(Cpu() - c0);
  }
  double lbMed = Median(lower), buildMed = Median(build);
  std::printf("build: %u directories, %u files, %u words, %d catalogs\n", stats.directories,
              stats.files, stats.words, stats.catalogs);
  if (buildOnly) {
    std::printf("build (median of %zu): %.3f s wall, %.3f s CPU; on one thread %.3f s wall\n",
                build.size(), buildMed, Median(buildCpu), Median(single));
    if (keep.empty()) fs::remove_all(base);
    return 0;
  }
  std::printf(
      "build (median of %zu): %.3f s   walk-and-read lower bound: %.3f s (%.1f MB)   ratio %.2fx  "
      "[target <= 2x]\n",
      build.size(), buildMed, lbMed, static_cast<double>(bytesRead) / 1e6, buildMed / lbMed);
  std::printf("build CPU time: %.3f s   lower bound CPU time: %.3f s   ratio %.2fx\n",
              Median(buildCpu), Median(lowerCpu), Median(buildCpu) / Median(lowerCpu));
  std::printf("build on one thread (median of %zu): %.3f s wall, %.3f s CPU   ratio %.2fx\n",
              single.size(), Median(single), Median(singleCpu), Median(single) / lbMed);

  // Peak memory of one build, in a child that does nothing else.
  pid_t pid = fork();
  if (pid == 0) {
    WordCat w(files);
    w.CreateWordCatalog(nullptr, {corpusDir});
    _exit(0);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  std::printf(
      "build peak memory (max RSS of a child doing one build): %.1f MB  [target < 100 MB]\n",
      static_cast<double>(ru.ru_maxrss) / 1024.0);

  // Word search: a fresh reader each time (it loads the index, files and
  // matches, as one command-line search does).
  const std::vector<std::vector<std::string>> queries = {
      {"quasar", "nebula"}, {"nebula"}, {"quasar"}};
  for (auto& q : queries) {
    std::string joined;
    for (auto& w : q) joined += (joined.empty() ? "" : " ") + w;
    std::vector<double> ours, oursCpu, rg;
    std::size_t nOurs = 0, nRg = 0;
    for (int i = 0; i < 21; ++i) {
      auto t = Clock::now();
      double c0 = Cpu();
      nOurs = Search(files, joined);
      ours.push_back(Since(t));
      oursCpu.push_back(Cpu() - c0);
    }
    bool haveRg = std::system("rg --version >/dev/null 2>&1") == 0;
    if (haveRg) {
      for (int i = 0; i < 5; ++i) {
        auto t = Clock::now();
        nRg = RgIntersect(q, corpusDir);
        rg.push_back(Since(t));
      }
    }
    double om = Median(ours);
    if (haveRg) {
      double rm = Median(rg);
      std::printf(
          "search \"%s\": %.2f ms median (CPU %.2f ms; %zu files)   rg -l -i -w intersected: %.1f "
          "ms (%zu files)   %.1fx faster  [targets < 50 ms, >= 10x]\n",
          joined.c_str(), om * 1e3, Median(oursCpu) * 1e3, nOurs, rm * 1e3, nRg, rm / om);
    } else {
      std::printf("search \"%s\": %.2f ms median (%zu files)   (ripgrep not installed)\n",
                  joined.c_str(), om * 1e3, nOurs);
    }
  }
  {
    // The same search repeated through one reader, as the Find results dialog does.
    WordView v(files, quiet, quiet);
    std::vector<double> t;
    for (int i = 0; i < 21; ++i) {
      v.HitList.clear();
      v.FindName = "quasar nebula";
      auto s = Clock::now();
      v.InterpretWords();
      t.push_back(Since(s));
    }
    std::printf("search repeated through one reader: %.2f ms median\n", Median(t) * 1e3);
  }
  std::printf("catalog files: LESi %ju bytes, NCS %ju bytes, IMS %ju bytes\n",
              static_cast<std::uintmax_t>(fs::file_size(dataDir + "/LESi.007")),
              static_cast<std::uintmax_t>(fs::file_size(dataDir + "/NCS.007")),
              static_cast<std::uintmax_t>(fs::file_size(dataDir + "/IMS.007")));
  if (keep.empty()) fs::remove_all(base);
  return 0;
}
