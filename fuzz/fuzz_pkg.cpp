// The package loader: any bytes as a ".pkg" file, loaded into the store, then
// listed back as the browser would. The first byte also chooses damage to the
// package files themselves (the input written over the package table, the
// package text file or the membership file) before they are listed.
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/recordinghost.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "store/zrnpkgop.h"

namespace {

RecordingHost& Rec() {
  static RecordingHost h;
  return h;
}

ZrnIO& DataFiles() {
  static ZrnIO files;
  return files;
}

std::string root;
int runs = 0;

// A plain write: the atomic one syncs to disk, which would slow the fuzzer down.
void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char tmpl[] = "/tmp/zarns-fuzz-pkg-XXXXXX";
  const char* r = mkdtemp(tmpl);
  if (!r) std::abort();
  root = std::string(r) + "/";
  setenv("ZARNS_DATA_DIR", (root + "data").c_str(), 1);
  setenv("HOME", root.c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "xdg").c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Keep the store small: start afresh now and then.
  if (++runs % 64 == 0) ZrnLvl1::ResetZarns(DataFiles());
  Rec().boxes.clear();
  Rec().inputRequests.clear();
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string path = root + "in.pkg";
  Put(path, text);

  ZrnPkgOp op(DataFiles(), Rec(), Rec());
  PkgLoadResult r = op.LoadPackage(path);
  if (r.loaded && r.name.size() > ZrnPkgOp::kMaxPkgName) std::abort();

  switch (size > 0 ? data[0] % 8 : 0) {
    case 1: Put(plat::DataPath("PkgT.007"), text); break;
    case 2: Put(plat::DataPath("PkgBuf.007"), text); break;
    case 3: Put(plat::DataPath("EMSPkg.007"), text); break;
    case 4: Put(plat::DataPath("EMSVt.007"), text); break;
    default: break;
  }
  auto names = op.PackageNames();
  for (std::size_t i = 0; i < names.size() && i < 8; ++i) {
    if (names[i].size() > ZrnPkgOp::kMaxPkgName) std::abort();
    op.PackageZarns(static_cast<std::uint32_t>(i * 12));
  }
  for (const auto& n : op.AllZarns()) {
    std::string d, u;
    op.BrowseInfo(n, d, u);
    break;
  }
  return 0;
}
