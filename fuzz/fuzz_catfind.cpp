// The word search over a catalog with one damaged file: no crash, and a
// file listed without a "damaged" report holds every typed word by the
// match and word files, and carries the name its id points at.
#include "catalog/zwrdview.h"
#include "fuzz_catalog.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzcat::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzcat::Apply(data, size);
  fuzzcat::Host().boxes.clear();
  for (const char* words : {"whiskers", "kitten PURRING", "puppy, giraffe", "whiskers whiskers"}) {
    WordView v(fuzzcat::Files(), fuzzcat::Host(), fuzzcat::Host());
    v.FindName = words;
    v.InterpretWords();
    if (!v.Problem.empty()) {
      if (!v.HitList.empty()) std::abort();
      continue;
    }
    const std::string ims = fuzzcat::Get("IMS.007");
    for (auto& m : v.HitList) {
      if (m.name != fuzzcat::StrAt(ims, m.fileid)) std::abort();
      if (m.fileid > 0 && ims[m.fileid - 1] != '\0') std::abort();
      for (auto& w : fuzzcat::Typed(words))
        if (!fuzzcat::FileHolds(m.fileid, w)) std::abort();
    }
  }
  return 0;
}
