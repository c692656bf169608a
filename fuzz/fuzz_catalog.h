// Shared set-up of the catalog reader fuzz targets: a small sound catalog
// built once, put back before each input, then one of its files replaced,
// cut or patched by the input. The readers must not crash, and when they do
// not call the catalog damaged, what they list must follow from the bytes
// (checked here the slow, obvious way).
#pragma once
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "catalog/zrnwcat.h"
#include "common/recordinghost.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "store/zrnio.h"

namespace fuzzcat {

inline RecordingHost& Host() {
  static RecordingHost h;
  return h;
}

inline ZrnIO& Files() {
  static ZrnIO files;
  return files;
}

inline std::map<std::string, std::string>& Base() {
  static std::map<std::string, std::string> base;
  return base;
}

// The files an input may damage, by its first byte.
inline const char* const kTargets[] = {"LESi.007",  "NCS.007",  "IMS.007",  "IMSt.007",
                                       "KEPb.007",  "DES.007",  "DESt.007", "LES1.007",
                                       "LESt1.007", "LES2.007", "LESt2.007"};

inline void Put(const std::string& name, const std::string& bytes) {
  std::ofstream(plat::DataPath(name), std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string Get(const std::string& name) {
  std::string s;
  plat::ReadWholeFile(plat::DataPath(name), s);
  return s;
}

inline std::uint32_t LE(const std::string& s, std::size_t p) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(s[p])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[p + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[p + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[p + 3])) << 24;
}

// The string at `off` of `buf` ("" past its end).
inline std::string StrAt(const std::string& buf, std::uint32_t off) {
  if (off >= buf.size()) return "";
  return std::string(buf.c_str() + off, strnlen(buf.c_str() + off, buf.size() - off));
}

inline void Init() {
  char tmpl[] = "/tmp/zarns-fuzz-cat-XXXXXX";
  const char* r = mkdtemp(tmpl);
  if (!r) std::abort();
  const std::string root = std::string(r) + "/";
  setenv("ZARNS_DATA_DIR", (root + "data").c_str(), 1);
  setenv("HOME", root.c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "xdg").c_str(), 1);
  plat::DataDir();
  Put("EMS.007", std::string(".txt\0", 5));
  Put("KEP.007", std::string(".mp3\0", 5));
  Put("KEPt.007", "");
  Put("KEPc.007", "");
  const std::string tree = root + "tree/";
  plat::MakeDirs(tree + "pets");
  plat::MakeDirs(tree + "zoo");
  std::ofstream(tree + "pets/cats.txt") << "kitten whiskers purring kitten";
  std::ofstream(tree + "pets/dogs.txt") << "puppy barking whiskers";
  std::ofstream(tree + "zoo/big.txt") << "elephant giraffe whiskers puppy";
  std::ofstream(tree + "zoo/tune.mp3") << "ID3";
  WordCat w(Files());
  w.CreateWordCatalog(nullptr, {tree});
  if (w.Stats().failed) std::abort();
  for (const char* n : kTargets) Base()[n] = Get(n);
  Base()["LESl.007"] = Get("LESl.007");
}

// Puts the sound catalog back, then lets the input damage one file: the
// first byte picks the file and the kind of damage (replaced by the rest,
// cut at a point, or bytes overwritten at a point).
inline void Apply(const std::uint8_t* data, std::size_t size) {
  for (auto& [name, bytes] : Base()) Put(name, bytes);
  Put("LES2.007", "");
  Put("LESt2.007", "");
  std::remove(plat::DataPath("LES2.007").c_str());
  std::remove(plat::DataPath("LESt2.007").c_str());
  if (size == 0) return;
  const std::size_t nTargets = sizeof kTargets / sizeof kTargets[0];
  const std::string name = kTargets[data[0] % nTargets];
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string file = Base().count(name) ? Base()[name] : std::string();
  switch ((data[0] / nTargets) % 3) {
    case 0: file = rest; break;
    case 1:
      file.resize(rest.empty() ? 0 : static_cast<unsigned char>(rest[0]) % (file.size() + 1));
      break;
    default: {
      std::size_t at = rest.empty() ? 0 : static_cast<unsigned char>(rest[0]);
      for (std::size_t i = 1; i < rest.size(); ++i, ++at) {
        if (at >= file.size())
          file.push_back(rest[i]);
        else
          file[at] = rest[i];
      }
    }
  }
  Put(name, file);
}

// The distinct typed words, lower-cased, as the search splits them.
inline std::vector<std::string> Typed(const std::string& text) {
  std::vector<std::string> out;
  std::string w;
  for (char c : text + " ") {
    if (c == ' ' || c == '.' || c == ',') {
      bool seen = false;
      for (auto& o : out) seen = seen || o == w;
      if (!w.empty() && !seen) out.push_back(w);
      w.clear();
    } else {
      w += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  return out;
}

// True when file `id` has a match record for `word` in the files in place.
inline bool FileHolds(std::uint32_t id, const std::string& word) {
  const std::string ncs = Get("NCS.007");
  std::map<std::int32_t, std::string> les;
  for (std::size_t p = 0; p + 12 <= ncs.size(); p += 12) {
    if (LE(ncs, p + 4) != id) continue;
    const std::int32_t cat = static_cast<std::int32_t>(LE(ncs, p + 8));
    if (!les.count(cat)) les[cat] = Get("LES" + std::to_string(cat) + ".007");
    if (StrAt(les[cat], LE(ncs, p)) == word) return true;
  }
  return false;
}

}  // namespace fuzzcat
