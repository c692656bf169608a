// The zarn store and package readers over damaged files: the input is cut
// at each "\n--\n" into the names, definitions, table, browse, package
// table, package text and membership files (missing parts leave the file
// empty), and every reader and both writers run over them. Nothing may
// crash, hang or hand out a name longer than the store allows.
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "common/recordinghost.h"
#include "platform/pdatadir.h"
#include "store/zrnpkgop.h"

namespace {

const char* const kFiles[] = {"EMSZrn.007", "EMSVal.007", "EMSVt.007", "BROWSE.007",
                              "PkgT.007",   "PkgBuf.007", "EMSPkg.007"};

// A plain write: the atomic one syncs to disk, which would slow the fuzzer down.
void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char tmpl[] = "/tmp/zarns-fuzz-store-XXXXXX";
  const char* r = mkdtemp(tmpl);
  if (!r) std::abort();
  std::string root = std::string(r) + "/";
  setenv("ZARNS_DATA_DIR", (root + "data").c_str(), 1);
  setenv("HOME", root.c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "xdg").c_str(), 1);
  plat::DataDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (parts.size() < 7) {
    std::size_t cut = in.find("\n--\n", pos);
    parts.push_back(in.substr(pos, cut == std::string::npos ? std::string::npos : cut - pos));
    if (cut == std::string::npos) break;
    pos = cut + 4;
  }
  parts.resize(7);
  for (int i = 0; i < 7; ++i) Put(plat::DataPath(kFiles[i]), parts[i]);

  static RecordingHost host;
  host.boxes.clear();
  ZrnIO files;  // a fresh file set: no index from the last input
  ZrnPkgOp op(files, host, host);
  std::vector<std::string> all = op.AllZarns();
  for (const auto& n : all)
    if (n.size() > ZrnLvl1::kMaxText) std::abort();
  for (std::size_t i = 0; i < all.size() && i < 16; ++i) {
    std::string n = all[i], v, d, u;
    op.Lvl.Get(n, v);
    if (v.size() > ZrnLvl1::kMaxText) std::abort();
    op.BrowseInfo(all[i], d, u);
  }
  auto pkgs = op.PackageNames();
  for (std::size_t i = 0; i < pkgs.size() && i < 8; ++i) {
    if (pkgs[i].size() > ZrnPkgOp::kMaxPkgName) std::abort();
    op.PackageZarns(static_cast<std::uint32_t>(i * 12));
  }
  // The writers over the same damage: they may refuse, never crash, and a
  // zarn they report stored is found with its text.
  std::string name = "FUZZED", value = " value zdesc about";
  if (op.Lvl.Set(name, value)) {
    std::string n = "fuzzed", v;
    if (!op.Lvl.Get(n, v)) std::abort();
  }
  if (!all.empty()) op.ModifyBrowse(all[0], {"new", "text"}, {"usage"});
  return 0;
}
