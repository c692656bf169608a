// The word -> files index reader over any bytes: as given (first byte even),
// or a sound index patched at places the input names (first byte odd). No
// crash; a word found decodes to as many increasing ids as its entry says
// or is refused, and an intersection keeps only ids of both lists.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalog/wfindex.h"

namespace {

const std::string& Sound() {
  static const std::string bytes = [] {
    static const char* words[] = {"cats", "dogs", "kitten", "purring", "whiskers"};
    static std::vector<std::string> lists;
    for (std::uint32_t i = 0; i < 5; ++i) {
      std::string l;
      for (std::uint32_t k = 0; k <= i; ++k) wfidx::PutVarint(l, k == 0 ? i : 130 * k);
      lists.push_back(l);
    }
    std::string out;
    wfidx::WriteIndex(
        1, 42, 5,
        [](std::uint32_t i) {
          return wfidx::WordList{words[i], i + 1, lists[i]};
        },
        [&](const char* p, std::size_t n) {
          out.append(p, n);
          return true;
        });
    return out;
  }();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string bytes;
  if (data[0] & 1) {
    bytes = Sound();
    // Patches: two bytes of offset, one of value.
    for (std::size_t i = 1; i + 2 < size; i += 3) {
      const std::size_t at = (data[i] | data[i + 1] << 8) % (bytes.size() + 1);
      if (at == bytes.size())
        bytes.push_back(static_cast<char>(data[i + 2]));
      else
        bytes[at] = static_cast<char>(data[i + 2]);
    }
  } else {
    bytes.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  }
  wfidx::Reader r;
  if (!r.Attach(bytes.data(), bytes.size())) return 0;
  std::vector<std::uint32_t> all = {0, 1, 2, 3, 4, 130, 260, 390, 520, 1000};
  for (const char* w : {"cats", "dogs", "kitten", "purring", "whiskers", "zebra", "", "a"}) {
    wfidx::Reader::Entry e;
    if (r.Find(w, e) != wfidx::Reader::Look::Found) continue;
    std::vector<std::uint32_t> ids;
    if (wfidx::Reader::DecodeList(e, ids)) {
      if (ids.size() != e.count || !std::is_sorted(ids.begin(), ids.end()) ||
          std::adjacent_find(ids.begin(), ids.end()) != ids.end())
        std::abort();
    }
    std::vector<std::uint32_t> keep = all;
    if (wfidx::Reader::Intersect(e, keep)) {
      for (std::uint32_t id : keep)
        if (std::find(all.begin(), all.end(), id) == all.end()) std::abort();
    }
  }
  return 0;
}
