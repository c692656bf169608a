// The file-name search and the directory look-up over a catalog with one
// damaged file: no crash, and without a "damaged" report every name found
// is a whole name of the files buffer and every directory a whole path of
// the paths buffer.
#include "catalog/zrnfile.h"
#include "catalog/zwrdview.h"
#include "fuzz_catalog.h"

namespace {

// A whole string of `buf`, or the first 4095 bytes of a longer one (the
// longest string a reader returns).
bool WholeStringOf(const std::string& buf, const std::string& s) {
  for (std::size_t p = 0; p < buf.size();) {
    const std::string at = fuzzcat::StrAt(buf, static_cast<std::uint32_t>(p));
    if (at == s || (s.size() >= 4095 && at.compare(0, s.size(), s) == 0)) return true;
    p += at.size() + 1;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzcat::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzcat::Apply(data, size);
  fuzzcat::Host().boxes.clear();
  const std::string ims = fuzzcat::Get("IMS.007"), des = fuzzcat::Get("DES.007");
  for (const char* text : {".txt", "o", "tune"}) {
    WordView v(fuzzcat::Files(), fuzzcat::Host(), fuzzcat::Host());
    ZrnFile found;
    const int n = v.CollectFileNames(text, found);
    if (!v.Problem.empty()) {
      if (n != 0 || found.Count != 0) std::abort();
      continue;
    }
    found.Reset();
    std::string name, path;
    std::uint32_t id = 0;
    while (!found.eol) {
      found.GetNext(name, path, id);
      if (!WholeStringOf(ims, name)) std::abort();
      if (!path.empty() && !WholeStringOf(des, path)) std::abort();
    }
  }
  // Direct look-ups of ids, some of them no file's.
  WordView v(fuzzcat::Files(), fuzzcat::Host(), fuzzcat::Host());
  for (std::uint32_t id : {0u, 1u, 9u, 10u, 20u, 0xFFFFFFFFu}) {
    v.fileid = id;
    v.FindPath.clear();
    v.GetFilePath(false);
    if (v.Problem.empty() && !v.FindPath.empty() && !WholeStringOf(des, v.FindPath)) std::abort();
  }
  return 0;
}
