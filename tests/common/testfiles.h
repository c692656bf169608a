// Whole-file reads and writes for tests, and the byte builders the data
// file tests share.
#pragma once
#include <cstdint>
#include <string>

// The bytes of the file at `path`; empty when it cannot be read.
std::string Slurp(const std::string& path);
// Replaces the file at `path` with `bytes`, creating missing parent
// directories. Returns whether every byte was written.
bool WriteFile(const std::string& path, const std::string& bytes);
// The same for a file of the data directory, by its file name.
std::string ReadData(const std::string& name);
bool WriteData(const std::string& name, const std::string& bytes);

// `s` with its terminating NUL, as the data files store strings.
inline std::string Z(const std::string& s) { return s + std::string(1, '\0'); }
// `v` as the four little-endian bytes the data files store.
inline std::string U32(std::uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}
