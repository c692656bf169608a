// Helpers for the store and package tests: raw access to the data files.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "store/zrnio.h"
#include "store/zrnlvl.h"

namespace storetest {

inline std::string Path(const std::string& name) { return plat::DataPath(name); }

inline std::string Bytes(const std::string& name) {
  std::string out;
  plat::ReadWholeFile(Path(name), out);
  return out;
}

inline bool Exists(const std::string& name) { return plat::PosixFs().Exists(Path(name)); }

inline void Put(const std::string& name, const std::string& bytes) {
  ASSERT_TRUE(plat::WriteFileAtomic(Path(name), bytes));
}

// A plain write without the atomic write's flush, for tests that write many files.
inline void PutFast(const std::string& name, const std::string& bytes) { WriteData(name, bytes); }

struct Rec {
  std::uint32_t a, b, c;
  bool operator==(const Rec&) const = default;
};

inline std::vector<Rec> Recs(const std::string& name) {
  std::string s = Bytes(name);
  auto le = [&](std::size_t p) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[p])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[p + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[p + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[p + 3])) << 24;
  };
  std::vector<Rec> out;
  for (std::size_t p = 0; p + 12 <= s.size(); p += 12) out.push_back({le(p), le(p + 4), le(p + 8)});
  return out;
}

inline std::string RecBytes(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  return U32(a) + U32(b) + U32(c);
}

// A fresh, empty data directory and a file set for each test.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { TestEnv::ClearDataDir(); }
  bool Store(const std::string& name, const std::string& value) {
    std::string n = name, v = value;
    return lvl.Set(n, v);
  }
  std::string Def(const std::string& name) {
    std::string n = name, v = "<none>";
    lvl.Get(n, v);
    return v;
  }
  std::vector<std::string> List() {
    std::vector<std::string> out;
    std::string n;
    lvl.GetZarnList(n, true);
    while (lvl.GetZarnList(n, false)) out.push_back(n);
    lvl.StopSet();
    return out;
  }
  ZrnIO files;
  ZrnLvl1 lvl{files};
};

// The five files a store rewrite replaces as one set, and their bytes.
inline constexpr DataFile kFive[] = {DataFile::kZarnNames, DataFile::kZarnValues,
                                     DataFile::kZarnTable, DataFile::kZarnBrowse,
                                     DataFile::kPkgMembers};

inline std::map<DataFile, std::string> Snapshot() {
  std::map<DataFile, std::string> m;
  for (DataFile f : kFive) m[f] = Bytes(DataFileName(f));
  return m;
}

}  // namespace storetest
