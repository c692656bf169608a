#include "catalog/extlist.h"
#include "platform/pbytes.h"

#include <algorithm>
#include <climits>

namespace {}  // namespace

std::string ExtensionList::Lower(std::string s) { return plat::AsciiLower(std::move(s)); }

bool ExtensionList::Add(const std::string& ext, bool exe) {
  std::string l = Lower(ext);
  if (l.empty()) return false;
  // Found by its own index: a desktop's MIME database lists some 1,500
  // extensions, and comparing each with all before it cost a build
  // several milliseconds before it read a file.
  const bool listed =
      l[0] == '.' ? dotted_.count(l) > 0 : std::any_of(others_.begin(), others_.end(), [&](int i) {
        return exts_[static_cast<std::size_t>(i)].lower == l;
      });
  if (listed) return false;
  int i = static_cast<int>(exts_.size());
  if (l[0] == '.')
    dotted_.emplace(l, i);
  else
    others_.push_back(i);
  exts_.push_back({std::move(l), exe});
  return true;
}

int ExtensionList::FirstMatch(const std::string& lowerName) const {
  int best = INT_MAX;
  std::string suffix;
  for (std::size_t pos = lowerName.find('.'); pos != std::string::npos;
       pos = lowerName.find('.', pos + 1)) {
    suffix.assign(lowerName, pos, std::string::npos);
    auto it = dotted_.find(suffix);
    if (it != dotted_.end()) best = std::min(best, it->second);
  }
  for (int i : others_)
    if (i < best && plat::EndsWithNoCase(lowerName, exts_[static_cast<std::size_t>(i)].lower))
      best = i;
  return best == INT_MAX ? -1 : best;
}
