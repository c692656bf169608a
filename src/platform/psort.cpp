#include "platform/psort.h"

#include <algorithm>

#include "platform/pbytes.h"

namespace plat {

bool NoCaseLess(std::string_view a, std::string_view b) {
  const int c = CompareNoCase(a, b);
  return c != 0 ? c < 0 : a < b;  // same letters: a fixed tie-break
}

void SortNoCase(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return NoCaseLess(a, b); });
}

}  // namespace plat
