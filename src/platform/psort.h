// The one order in which the program lists names to the user (zarns,
// packages, contacts, ...): alphabetical without regard to case, the way a
// person reads a list.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// True when `a` comes before `b`: byte by byte with ASCII letters folded to
// one case; a name that is a prefix of the other comes first. Names that
// differ only in case are ordered by their bytes (upper case first), so the
// order is total and a list sorts the same way every time.
bool NoCaseLess(std::string_view a, std::string_view b);
// Sorts `names` by NoCaseLess.
void SortNoCase(std::vector<std::string>& names);

}  // namespace plat
