// Word search and build at scale, against Recoll on the same files:
//   catalog_search_bench --cli PATH [--cache DIR] [--sizes 20000,100000]
//                        [--real DIR] [--runs N] [--recoll-max-files N]
//                        [--build-only 1] [--build-rounds N] [--reuse-recoll 1]
// For each corpus (the real text tree when --real names one, measured first,
// then generated ones of the given sizes, made once into the cache folder
// and kept there):
//   - the build: WordCat over the tree (warm cache, median of N, 7 unless
//     --build-rounds says otherwise; the three kinds alternate; each build
//     into a new data folder, removed at the end of the run) with and
//     without the word -> files index, against the walk-and-read bound
//     (the same folders walked, the same files read whole); `recollindex`
//     over the same tree (one run, from an empty Recoll index); the peak
//     memory of `zarns-cli catalog build` (/usr/bin/time -v);
//   - the search: `zarns-cli catalog find W1 W2` as a whole process and
//     `recollq -b W1 W2` on the Recoll index, alternating, median of RUNS;
//     the same search through one reader (as the Find results dialog does);
//   - the catalog files' sizes, the index's among them.
// Corpora with more files than --recoll-max-files (default 30000) are not
// indexed by Recoll (one such index takes far longer than the rest of the
// run); the report says so.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <dirent.h>

#include "benchstats.h"
#include "catalog/zrnreg.h"
#include "catalog/zrnwcat.h"
#include "catalog/zwrdview.h"
#include "host/host.h"
#include "store/zrnio.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

// Runs argv as a child with stdout to `out` (a path; "" for /dev/null) and
// stderr to /dev/null; returns its exit status (-1 when it could not start).
int Run(const std::vector<std::string>& argv, const std::string& out = "") {
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, out.empty() ? "/dev/null" : out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return -1;
  int st = 0;
  waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::size_t Lines(const std::string& path) {
  std::ifstream in(path);
  std::size_t n = 0;
  std::string l;
  while (std::getline(in, l))
    if (!l.empty()) ++n;
  return n;
}

std::uintmax_t SizeOf(const std::string& p) {
  std::error_code ec;
  auto s = fs::file_size(p, ec);
  return ec ? 0 : s;
}

// --- generated corpora ------------------------------------------------------------

// `n` text files (.txt, .md; 300 B to 12 KB) in folders of 50, words drawn
// from a 200,000-word vocabulary with a Zipf spread (rank r with weight
// 1/r), some capitalised, with punctuation and line breaks. Made once: a
// finished corpus has a stamp file. Returns the vocabulary, most frequent
// word first (the same for every run).
std::vector<std::string> Generate(const std::string& root, std::size_t n) {
  std::mt19937_64 rng(n * 7919 + 14);
  std::vector<std::string> vocab;
  for (int i = 0; i < 200000; ++i) {
    std::string w;
    const int len = 4 + static_cast<int>(rng() % 9);
    for (int k = 0; k < len; ++k) w += static_cast<char>('a' + rng() % 26);
    vocab.push_back(w);
  }
  if (fs::exists(root + "/.done")) return vocab;
  fs::remove_all(root);
  auto t0 = Clock::now();
  std::uniform_real_distribution<double> u(0, 1);
  const double logN = std::log(static_cast<double>(vocab.size()));
  std::uint64_t bytes = 0;
  std::string dir;
  for (std::size_t i = 0; i < n; ++i) {
    if (i % 50 == 0) {
      dir = root + "/g" + std::to_string(i / 2500) + "/d" + std::to_string(i / 50);
      fs::create_directories(dir);
    }
    const double r = u(rng);
    const std::size_t size = r < 0.7    ? 300 + rng() % 2700
                             : r < 0.95 ? 3000 + rng() % 5000
                                        : 8000 + rng() % 4000;
    std::string text;
    text.reserve(size + 32);
    int col = 0;
    while (text.size() < size) {
      // exp(u ln N) is spread as 1/r over the ranks.
      const auto rank = static_cast<std::size_t>(std::exp(u(rng) * logN)) - 1;
      const std::string& w = vocab[std::min(rank, vocab.size() - 1)];
      if (rng() % 12 == 0) {
        text += static_cast<char>(w[0] - 32);
        text.append(w, 1);
      } else {
        text += w;
      }
      col += static_cast<int>(w.size()) + 1;
      if (rng() % 20 == 0) text += ',';
      text += col > 70 ? '\n' : ' ';
      if (col > 70) col = 0;
    }
    // Marker words: "quasar" in 1 file of 400, "nebula" in 1 of 25.
    if (i % 400 == 28) text += " quasar ";
    if (i % 25 == 3) text += " nebula ";
    std::ofstream(dir + "/doc" + std::to_string(i) + (i % 5 ? ".txt" : ".md"), std::ios::binary)
        << text;
    bytes += text.size();
  }
  std::ofstream(root + "/.done") << n << "\n";
  std::printf("generated %zu files (%.0f MB) in %s in %.1f s\n", n,
              static_cast<double>(bytes) / 1e6, root.c_str(), Since(t0));
  return vocab;
}

// --- the walk-and-read bound --------------------------------------------------------

bool Listed(const char* name, const std::vector<std::string>& exts) {
  std::size_t n = std::strlen(name);
  for (auto& e : exts)
    if (e.size() <= n && strcasecmp(name + n - e.size(), e.c_str()) == 0) return true;
  return false;
}

std::uint64_t WalkRead(int dirfd, const std::vector<std::string>& exts, char* buf,
                       std::size_t& files) {
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
      ++files;
    }
  }
  for (auto& s : subs) {
    int fd = openat(dirfd, s.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) bytes += WalkRead(fd, exts, buf, files);
  }
  closedir(d);
  return bytes;
}

// --- one corpus ----------------------------------------------------------------------

struct Options {
  std::string cli, cache;
  int runs = 15;
  std::size_t recollMax = 30000;
  int buildRounds = 7;       // builds of each kind measured (after one that warms)
  bool buildOnly = false;    // the build rows alone
  bool reuseRecoll = false;  // query a Recoll index left by an earlier run
};

// The end of the name of the cache folder where a corpus's measured builds
// write their catalogs (one subfolder each).
constexpr std::string_view kBuildsSuffix = "-builds";

// Two-word queries: a pair of words the corpus holds in a few files, one
// common and one rare word, two middling ones.
void Measure(const Options& o, const std::string& name, const std::string& root,
             const std::vector<std::pair<std::string, std::string>>& queries,
             std::size_t corpusFiles) {
  std::printf("\n== %s: %s\n", name.c_str(), root.c_str());
  const std::string data = o.cache + "/" + name + "-data";
  fs::remove_all(data);
  fs::create_directories(data);
  // What the corpus before left to the disk (its catalogs to write back,
  // the catalog removed here to free) settles first: this corpus's builds
  // would otherwise wait for it in their syncs.
  ::sync();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  setenv("ZARNS_DATA_DIR", data.c_str(), 1);
  ZrnIO files;
  SilentHost quiet;
  std::vector<std::string> exts;
  {
    ZrnReg reg(files, quiet);
    reg.GetRegistryTextExt();
  }
  {
    ZrnReg reg(files, quiet);
    reg.RegExtPtr = &exts;
    reg.GetExtensions();
    for (auto& e : exts)
      for (auto& ch : e) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::sort(exts.begin(), exts.end());
    exts.erase(std::unique(exts.begin(), exts.end()), exts.end());
  }

  // Build: bound, with index, without, alternating (which build comes
  // first swaps each round); the first round warms. Each build writes into
  // a data folder of its own holding the settings alone: on a file system
  // that looks past recently freed inodes for every file it creates (ext4
  // without a journal, as on the machine of BENCHMARKS.md), eight builds of
  // the 20,000-file corpus in one folder grew from 0.54 to 0.94 s, each
  // paying for the catalogs the ones before it freed; a user's builds are
  // hours apart. The folders are removed when the whole run ends.
  std::vector<fs::path> settings;
  for (auto& e : fs::directory_iterator(data))
    if (e.is_regular_file()) settings.push_back(e.path());
  const std::string builds = o.cache + "/" + name + std::string(kBuildsSuffix);
  fs::remove_all(builds);
  int made = 0;
  BuildStats stats;
  // One build into a new folder: its wall and CPU seconds.
  const auto build = [&](bool index) {
    const fs::path dir = builds + "/" + std::to_string(made++);
    fs::create_directories(dir);
    for (const fs::path& f : settings) fs::copy_file(f, dir / f.filename());
    setenv("ZARNS_DATA_DIR", dir.c_str(), 1);
    const auto t = Clock::now();
    const double c = Cpu();
    WordCat w(files);
    w.writeWordFileIndex = index;
    w.CreateWordCatalog(nullptr, {root});
    const std::pair<double, double> cost{Since(t), Cpu() - c};
    if (index) stats = w.Stats();
    return cost;
  };
  std::vector<char> buf(4096);
  std::vector<double> bound, with, without, boundCpu, withCpu, withoutCpu;
  std::size_t walked = 0;
  std::uint64_t bytes = 0;
  for (int round = 0; round <= o.buildRounds; ++round) {
    auto t = Clock::now();
    double c = Cpu();
    walked = 0;
    bytes =
        WalkRead(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), exts, buf.data(), walked);
    const double b = Since(t), bc = Cpu() - c;
    std::pair<double, double> wo, wi;
    if (round % 2 == 0) {
      wo = build(false);
      wi = build(true);
    } else {
      wi = build(true);
      wo = build(false);
    }
    if (round > 0) {
      bound.push_back(b);
      with.push_back(wi.first);
      without.push_back(wo.first);
      boundCpu.push_back(bc);
      withCpu.push_back(wi.second);
      withoutCpu.push_back(wo.second);
    }
  }
  // The catalog searched below, in the corpus's own data folder.
  setenv("ZARNS_DATA_DIR", data.c_str(), 1);
  {
    WordCat w(files);
    w.CreateWordCatalog(nullptr, {root});
  }
  std::printf(
      "files: %zu in the tree, %zu of listed types (%.1f MB), %u taken by the build "
      "(%u directories, %d numbered catalogs)\n",
      corpusFiles, walked, static_cast<double>(bytes) / 1e6, stats.files, stats.directories,
      stats.catalogs);
  const double mb = Median(bound), mw = Median(with), mwo = Median(without);
  std::printf(
      "build wall (median of %d): %.3f s with the index, %.3f s without (%+.1f%%); "
      "walk-and-read %.3f s; ratio %.2fx\n",
      o.buildRounds, mw, mwo, 100.0 * (mw - mwo) / mwo, mb, mw / mb);
  const double cb = Median(boundCpu), cw = Median(withCpu), cwo = Median(withoutCpu);
  std::printf(
      "build CPU (both threads): %.3f s with the index, %.3f s without (%+.1f%%); "
      "walk-and-read %.3f s; ratio %.2fx\n",
      cw, cwo, 100.0 * (cw - cwo) / cwo, cb, cw / cb);
  // The fastest rounds: what the build costs when nothing else on the
  // machine (the disk above all) got in its way.
  const auto fastest = [](const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
  };
  const double fb = fastest(bound), fw = fastest(with), fwo = fastest(without);
  std::printf(
      "build wall (fastest of %d): %.3f s with the index, %.3f s without (%+.1f%%); "
      "walk-and-read %.3f s; ratio %.2fx\n",
      o.buildRounds, fw, fwo, 100.0 * (fw - fwo) / fwo, fb, fw / fb);
  const auto size = [&](const char* f) { return SizeOf(data + "/" + f); };
  std::uintmax_t catalogBytes = 0;
  for (auto& e : fs::directory_iterator(data))
    if (e.is_regular_file()) catalogBytes += e.file_size();
  std::printf(
      "catalog files: %.1f MB in all; index NCSx %.1f MB, matches NCS %.1f MB, sorted "
      "index LESi %.1f MB, names IMS %.2f MB\n",
      static_cast<double>(catalogBytes) / 1e6, static_cast<double>(size("NCSx.007")) / 1e6,
      static_cast<double>(size("NCS.007")) / 1e6, static_cast<double>(size("LESi.007")) / 1e6,
      static_cast<double>(size("IMS.007")) / 1e6);
  if (o.buildOnly) return;

  // Peak memory of a whole build process.
  const std::string timeOut = o.cache + "/time.txt";
  {
    std::string cmd = "/usr/bin/time -v '" + o.cli + "' catalog build --root '" + root +
                      "' >/dev/null 2>'" + timeOut + "'";
    if (std::system(cmd.c_str()) == 0) {
      std::ifstream in(timeOut);
      std::string l;
      while (std::getline(in, l))
        if (l.find("Maximum resident set size") != std::string::npos)
          std::printf("build peak memory (zarns-cli catalog build): %.1f MB\n",
                      std::atof(l.substr(l.rfind(':') + 1).c_str()) / 1024.0);
    }
  }

  // Recoll over the same tree, in a private configuration folder.
  const std::string conf = o.cache + "/" + name + "-recoll";
  bool recoll = corpusFiles <= o.recollMax && Run({"recollindex", "-h"}) != -1;
  double recollBuild = 0;
  if (recoll && o.reuseRecoll && fs::exists(conf + "/xapiandb")) {
    std::printf("recollindex: not run (the index of an earlier run is queried)\n");
  } else if (recoll) {
    fs::remove_all(conf);
    fs::create_directories(conf);
    std::ofstream(conf + "/recoll.conf") << "topdirs = " << root << "\n"
                                         << "skippedNames = .done\n";
    auto t = Clock::now();
    const double c = ChildCpu();
    recoll = Run({"recollindex", "-c", conf, "-z"}) == 0;
    recollBuild = Since(t);
    if (recoll)
      std::printf(
          "recollindex: %.1f s wall, %.1f s CPU (zarns build %.0fx faster wall, %.0fx "
          "CPU)\n",
          recollBuild, ChildCpu() - c, recollBuild / mw, (ChildCpu() - c) / cw);
  } else {
    std::printf("recollindex: not run (%zu files; --recoll-max-files %zu)\n", corpusFiles,
                o.recollMax);
  }

  // Searches.
  const std::string outFile = o.cache + "/out.txt";
  for (auto& [a, b] : queries) {
    std::vector<double> ours, theirs, reader;
    Run({o.cli, "catalog", "find", a, b}, outFile);
    const std::size_t nOurs = Lines(outFile);
    std::size_t nTheirs = 0;
    if (recoll) {
      Run({"recollq", "-c", conf, "-b", a + " " + b}, outFile);
      nTheirs = Lines(outFile);
    }
    std::vector<double> oursCpu, theirsCpu;
    for (int i = 0; i < o.runs; ++i) {
      auto t = Clock::now();
      double c = ChildCpu();
      Run({o.cli, "catalog", "find", a, b});
      ours.push_back(Since(t) * 1e3);
      oursCpu.push_back((ChildCpu() - c) * 1e3);
      if (recoll) {
        t = Clock::now();
        c = ChildCpu();
        Run({"recollq", "-c", conf, "-b", a + " " + b});
        theirs.push_back(Since(t) * 1e3);
        theirsCpu.push_back((ChildCpu() - c) * 1e3);
      }
    }
    {
      WordView v(files, quiet, quiet);
      for (int i = 0; i < o.runs; ++i) {
        v.HitList.clear();
        v.FindName = a + " " + b;
        auto t = Clock::now();
        v.InterpretWords();
        reader.push_back(Since(t) * 1e3);
      }
    }
    if (recoll)
      std::printf(
          "find \"%s %s\": zarns-cli %.1f ms wall, %.1f ms CPU (%zu files); recollq %.1f "
          "ms wall, %.1f ms CPU (%zu files); %.1fx wall; through one reader %.2f ms\n",
          a.c_str(), b.c_str(), Median(ours), Median(oursCpu), nOurs, Median(theirs),
          Median(theirsCpu), nTheirs, Median(theirs) / Median(ours), Median(reader));
    else
      std::printf(
          "find \"%s %s\": zarns-cli %.1f ms wall, %.1f ms CPU (%zu files); through one "
          "reader %.2f ms\n",
          a.c_str(), b.c_str(), Median(ours), Median(oursCpu), nOurs, Median(reader));
  }
  // The scan the index replaced, for comparison: the same first query
  // with the index moved away.
  {
    const std::string idx = data + "/NCSx.007";
    fs::rename(idx, idx + ".off");
    std::vector<double> scan;
    for (int i = 0; i < std::min(o.runs, 7); ++i) {
      auto t = Clock::now();
      Run({o.cli, "catalog", "find", queries[0].first, queries[0].second});
      scan.push_back(Since(t) * 1e3);
    }
    fs::rename(idx + ".off", idx);
    std::printf("find \"%s %s\" without the index (the scan): %.1f ms\n", queries[0].first.c_str(),
                queries[0].second.c_str(), Median(scan));
  }
}

std::size_t CountFiles(const std::string& root) {
  std::size_t n = 0;
  for (auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) ++n;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::vector<std::size_t> sizes = {20000, 100000};
  std::string real;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i], v = argv[i + 1];
    if (a == "--cli")
      o.cli = v;
    else if (a == "--cache")
      o.cache = v;
    else if (a == "--real")
      real = v;
    else if (a == "--runs")
      o.runs = std::max(1, std::atoi(v.c_str()));
    else if (a == "--recoll-max-files")
      o.recollMax = std::strtoul(v.c_str(), nullptr, 10);
    else if (a == "--build-rounds")
      o.buildRounds = std::max(1, std::atoi(v.c_str()));
    else if (a == "--build-only")
      o.buildOnly = v == "1";
    else if (a == "--reuse-recoll")
      o.reuseRecoll = v == "1";
    else if (a == "--sizes") {
      sizes.clear();
      std::stringstream ss(v);
      std::string part;
      while (std::getline(ss, part, ','))
        if (!part.empty()) sizes.push_back(std::strtoul(part.c_str(), nullptr, 10));
    }
  }
  if (o.cli.empty() || access(o.cli.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "catalog_search_bench: --cli must name zarns-cli\n");
    return 2;
  }
  if (o.cache.empty()) o.cache = (fs::temp_directory_path() / "zarns-search-bench").string();
  o.cache = fs::absolute(o.cache).string();
  fs::create_directories(o.cache);
  // Builds' folders an interrupted run left, and at the end this run's.
  const auto removeBuilds = [&] {
    for (auto& e : fs::directory_iterator(o.cache))
      if (e.is_directory() && e.path().filename().string().ends_with(kBuildsSuffix))
        fs::remove_all(e.path());
  };
  removeBuilds();
  // The real tree first: the generated corpora write and free gigabytes of
  // catalogs, and the machine takes a minute to be quiet again.
  if (!real.empty() && fs::exists(real)) {
    Measure(o, "real", real,
            {{"interrupt", "handler"},
             {"memory", "barrier"},
             {"scheduler", "latency"},
             {"kernel", "zzzzyx"}},
            CountFiles(real));
  }
  for (std::size_t n : sizes) {
    const std::string root = o.cache + "/gen-" + std::to_string(n);
    const auto vocab = Generate(root, n);
    // A rare pair, a common word with a rare one, two middling words, and a
    // pair one word of which no file holds.
    Measure(
        o, "gen-" + std::to_string(n), root,
        {{"quasar", "nebula"}, {vocab[0], "quasar"}, {vocab[40], vocab[400]}, {"nebula", "zzzzyx"}},
        n);
  }
  removeBuilds();
  return 0;
}
