// Shared helpers of the word catalog tests: fixture trees, the data files'
// bytes, and expected-byte builders.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/zrnwcat.h"
#include "catalog/zwrdview.h"
#include "common/recordinghost.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "store/zrnio.h"

namespace cattest {

inline bool DataExists(const std::string& name) {
  return std::filesystem::exists(plat::DataPath(name));
}

inline std::string R8(std::uint32_t a, std::uint32_t b) { return U32(a) + U32(b); }
inline std::string R12(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  return U32(a) + U32(b) + U32(c);
}

// The NUL-terminated strings of a data file.
inline std::vector<std::string> Strings(const std::string& bytes) {
  std::vector<std::string> out;
  std::size_t p = 0;
  while (p < bytes.size()) {
    auto e = bytes.find('\0', p);
    if (e == std::string::npos) e = bytes.size();
    out.push_back(bytes.substr(p, e - p));
    p = e + 1;
  }
  return out;
}

inline std::uint32_t LE(const std::string& s, std::size_t p) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(s[p])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[p + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[p + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[p + 3])) << 24;
}

// A distinct lower-case word of `len` letters for each i.
inline std::string WordFor(std::uint32_t i, int len = 8) {
  std::string w(static_cast<std::size_t>(len), 'a');
  for (int k = len - 1; k >= 0 && i; --k, i /= 26)
    w[static_cast<std::size_t>(k)] = static_cast<char>('a' + i % 26);
  return w;
}

// A fresh data directory, a file set and a recording host, and the extension
// lists a build reads: ".txt" (twice, as a rebuilt list has it), ".md" and
// ".exe" to catalog, ".mp3" and ".txt" on the file-type lists.
class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    SetLists({".txt", ".md", ".exe", ".txt"}, {".mp3"});
    root = TestEnv::FreshDir("tree");
  }
  void TearDown() override { files.CloseFiles(); }
  static void SetLists(const std::vector<std::string>& catalog,
                       const std::vector<std::string>& typeList) {
    std::string ten, nineteen;
    for (auto& e : catalog) ten += Z(e);
    for (auto& e : typeList) nineteen += Z(e);
    WriteData("EMS.007", ten);
    WriteData("KEP.007", nineteen);
    WriteData("KEPt.007", "");
    WriteData("KEPc.007", "");
  }
  BuildStats Build(WordCat* b = nullptr) {
    WordCat local(files);
    WordCat& w = b ? *b : local;
    w.CreateWordCatalog(nullptr, {root});
    return w.Stats();
  }
  // Files found by the word search, as "name|directory", sorted by name.
  std::vector<std::string> Find(const std::string& words, int* matches = nullptr) {
    WordView v(files, host, host);
    v.FindName = words;
    v.InterpretWords();
    if (matches) *matches = v.MatchesFound;
    auto items = v.HitList;
    WordView::SortByName(items);
    std::vector<std::string> out;
    for (auto& m : items) {
      v.fileid = m.fileid;
      v.FindPath.clear();
      v.GetFilePath(false);
      out.push_back(m.name + "|" + v.FindPath);
    }
    return out;
  }
  ZrnIO files;
  RecordingHost host;
  std::string root;
};

}  // namespace cattest
