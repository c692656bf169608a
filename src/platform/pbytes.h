// Small byte-level helpers every layer shares: ASCII case (the data files
// and the registry compare names without regard to ASCII case only; other
// bytes are compared as they are) and the little-endian 32-bit integers the
// data files store.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(std::string s) {
  for (char& c : s) c = AsciiLower(c);
  return s;
}

// <0, 0 or >0 as `a` sorts before, with or after `b` when ASCII letters are
// folded to lower case; a proper prefix sorts first.
inline int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
    const auto y = static_cast<unsigned char>(AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

// Whether `s` ends with `lowerSuffix` (given in lower case), any case in `s`.
inline bool EndsWithNoCase(std::string_view s, std::string_view lowerSuffix) {
  if (lowerSuffix.size() > s.size()) return false;
  const char* p = s.data() + (s.size() - lowerSuffix.size());
  for (std::size_t i = 0; i < lowerSuffix.size(); ++i)
    if (AsciiLower(p[i]) != lowerSuffix[i]) return false;
  return true;
}

// The four little-endian bytes at `p`.
inline std::uint32_t GetLE32(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

// `v` as four little-endian bytes at `p`.
inline void PutLE32(void* p, std::uint32_t v) {
  auto* b = static_cast<unsigned char*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace plat
