// Zarn store benchmark: a store of 10,000 zarns.
//   - Set: time per store for the first and the last thousand (must not grow
//     with the store's size);
//   - Get of the last stored name: median over many lookups (target < 2 ms),
//     the first lookup in a fresh process (which builds the name index), and
//     for comparison the plain record-by-record scan of the table, two reads
//     per stored zarn, which is what the files alone offer;
//   - loading a package of 400 zarns.
//
//   store_bench [--zarns N] [--runs N]
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "benchstats.h"
#include "host/host.h"
#include "platform/pdatadir.h"
#include "store/zrnio.h"
#include "store/zrnlvl.h"
#include "store/zrnpkgop.h"

namespace fs = std::filesystem;

namespace {

std::string Name(int i) { return "zarn" + std::to_string(i); }

// The lookup the files alone allow: read each record, then the name it points
// at through a 4096-byte window, until the name matches.
bool PlainScan(ZrnIO& io, const std::string& upper, std::string& value) {
  HANDLE tbl = io.OpenFile(io.FileName(DataFile::kZarnTable).c_str(), "r");
  HANDLE names = io.OpenFile(io.FileName(DataFile::kZarnNames).c_str(), "r");
  ZarnMatchStructType r{0, 0, 0};
  char buf[kGenBufferSize + 1];
  bool found = false;
  for (;;) {
    io.ReadFromFileAtOffset(buf, names, r.OffsetA);
    std::string n = buf;
    for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!n.empty() && n == upper) {
      found = true;
      break;
    }
    if (io.ReadFromFile(&r, tbl) <= 0) break;
  }
  if (found) {
    HANDLE defs = io.OpenFile(io.FileName(DataFile::kZarnValues).c_str(), "r");
    io.ReadFromFileAtOffset(buf, defs, r.OffsetB);
    value = buf;
    io.CloseFile(defs);
  }
  io.CloseFile(tbl);
  io.CloseFile(names);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  int zarns = 10000, runs = 300;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--zarns")) zarns = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
  }
  zarns = std::max(zarns, 2000);
  char tmpl[] = "/tmp/zarns-store-bench-XXXXXX";
  const char* root = mkdtemp(tmpl);
  if (!root) return 1;
  setenv("ZARNS_DATA_DIR", (std::string(root) + "/data").c_str(), 1);
  ZrnIO files;
  SilentHost quiet;

  // Store the zarns; a third carry browse text.
  std::vector<double> setMs;
  ZrnLvl1 lvl(files);
  for (int i = 0; i < zarns; ++i) {
    std::string n = Name(i);
    std::string v =
        " expansion number " + std::to_string(i) + (i % 3 ? "" : "\nzdesc about it\nzuse " + n);
    auto t0 = Clock::now();
    if (!lvl.Set(n, v)) {
      std::fprintf(stderr, "store failed at %d\n", i);
      return 1;
    }
    setMs.push_back(Ms(Clock::now() - t0));
  }
  std::vector<double> first(setMs.begin(), setMs.begin() + 1000),
      last(setMs.end() - 1000, setMs.end());

  const std::string lastName = Name(zarns - 1);
  // First lookup: builds the index from the files.
  std::string n = lastName, v;
  auto t0 = Clock::now();
  bool ok = lvl.Get(n, v);
  double firstGet = Ms(Clock::now() - t0);
  std::vector<double> getMs, scanMs;
  for (int r = 0; r < runs; ++r) {
    n = lastName;
    t0 = Clock::now();
    ok = lvl.Get(n, v) && ok;
    getMs.push_back(Ms(Clock::now() - t0));
  }
  for (int r = 0; r < std::max(5, runs / 30); ++r) {
    std::string sv;
    std::string up = lastName;
    for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    t0 = Clock::now();
    ok = PlainScan(files, up, sv) && ok && sv == v;
    scanMs.push_back(Ms(Clock::now() - t0));
  }
  // A lookup right after a store (the index extends by one record).
  std::vector<double> setGetMs;
  for (int r = 0; r < 100; ++r) {
    std::string sn = "extra" + std::to_string(r), sv = " x";
    lvl.Set(sn, sv);
    n = lastName;
    t0 = Clock::now();
    ok = lvl.Get(n, v) && ok;
    setGetMs.push_back(Ms(Clock::now() - t0));
  }

  // A package of 400 zarns.
  std::string pkgPath = std::string(root) + "/bench.pkg";
  {
    std::ofstream p(pkgPath, std::ios::binary);
    p << "ZPKG bench\n";
    for (int i = 0; i < 400; ++i) p << "ztxt pk" << i << " package value " << i << "\nzdesc d\n";
  }
  ZrnPkgOp op(files, quiet, quiet);
  t0 = Clock::now();
  PkgLoadResult pr = op.LoadPackage(pkgPath);
  double pkgMs = Ms(Clock::now() - t0);
  t0 = Clock::now();
  auto all = op.AllZarns();
  double listMs = Ms(Clock::now() - t0);

  std::printf("store_bench: %d zarns (%s)\n", zarns,
              ok && pr.stored == 400 ? "results checked" : "RESULT MISMATCH");
  std::printf("  Set, first 1000: median %.3f ms, p95 %.3f ms\n", Median(first), Pct(first, 0.95));
  std::printf("  Set, last 1000:  median %.3f ms, p95 %.3f ms\n", Median(last), Pct(last, 0.95));
  std::printf("  Get last name:   median %.3f ms, p95 %.3f ms (target < 2 ms)\n", Median(getMs),
              Pct(getMs, 0.95));
  std::printf("  Get, first in process (builds the index): %.3f ms\n", firstGet);
  std::printf("  Get right after a Set: median %.3f ms\n", Median(setGetMs));
  std::printf("  plain table scan:  median %.3f ms  (indexed Get is %.0fx faster)\n",
              Median(scanMs), Median(getMs) > 0 ? Median(scanMs) / Median(getMs) : 0.0);
  std::printf("  load package of 400 zarns: %.1f ms; list all %zu names: %.1f ms\n", pkgMs,
              all.size(), listMs);

  std::error_code ec;
  fs::remove_all(root, ec);
  return ok ? 0 : 1;
}
