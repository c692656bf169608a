// The block-wise word cutting and word keys of the catalog builder, checked
// against the byte-by-byte rules they stand for; and a larger build, where
// the walk and the writing overlap, checked for order and consistency.
#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "catalog/buildprogress.h"
#include "catalog/catlock.h"
#include "catalog/wordscan.h"
#include "catalog_fixture.h"

using namespace cattest;

namespace {

// The normalisation as a reader of the rules would write it: groups of
// four from the first byte, then "is it a word character".
std::vector<bool> ReferenceWordBytes(const unsigned char* p, std::size_t n) {
  std::vector<unsigned char> b(p, p + n);
  for (std::size_t g = 0; g < n; g += 4) {
    std::size_t e = std::min(n, g + 4);
    bool high = false, any40 = false;
    for (std::size_t i = g; i < e; ++i) {
      high |= b[i] >= 0x80;
      any40 |= (b[i] & 0x40) != 0;
    }
    for (std::size_t i = g; i < e; ++i) {
      if (high || !any40 || !(b[i] & 0x40)) b[i] = 0x20;
      b[i] |= 0x20;
    }
  }
  std::vector<bool> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = b[i] >= 0x60 && b[i] <= 0x7A;
  return out;
}

std::string RandomWord(std::mt19937& rng, std::size_t len) {
  static const char kChars[] = "`abcdefghijklmnopqrstuvwxyz@ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string w;
  for (std::size_t i = 0; i < len; ++i) w += kChars[rng() % (sizeof kChars - 1)];
  return w;
}

std::string LowerWord(std::string w) {
  for (char& c : w) c = static_cast<char>(c | 0x20);
  return w;
}

}  // namespace

TEST(WordScan, MaskMatchesTheByteRulesOnAnyInput) {
  std::mt19937 rng(7);
  // Letters, punctuation, digits, controls and high bytes in varying mixes,
  // for every length of a block (a short last read is judged on its bytes).
  alignas(16) unsigned char buf[64 + 64];
  for (int round = 0; round < 20000; ++round) {
    int mix = round % 4;
    for (auto& c : buf) {
      unsigned r = rng() % 100;
      if (mix == 0)
        c = static_cast<unsigned char>(rng());
      else if (r < 70)
        c = static_cast<unsigned char>(0x40 + rng() % 0x40);
      else if (r < 90)
        c = static_cast<unsigned char>(0x20 + rng() % 0x20);
      else
        c = static_cast<unsigned char>(mix == 3 ? 0x80 + rng() % 0x80 : rng() % 0x20);
    }
    std::size_t n = 1 + rng() % 64;
    std::uint64_t mask = wordscan::WordMask64(buf, n);
    std::vector<bool> ref = ReferenceWordBytes(buf, n);
    for (std::size_t i = 0; i < 64; ++i) {
      bool want = i < n && ref[i];
      ASSERT_EQ(((mask >> i) & 1) != 0, want) << "round " << round << " byte " << i << " n " << n;
    }
  }
}

TEST(WordScan, KeysRoundTripAndOrderAsTheWords) {
  std::mt19937 rng(11);
  std::vector<std::pair<std::string, wordscan::WordKey>> all;
  for (int i = 0; i < 5000; ++i) {
    std::size_t len = 1 + rng() % 20;
    std::string raw = RandomWord(rng, len);
    if (i % 7 == 0 && !all.empty()) raw = all[rng() % all.size()].first;  // repeats
    std::string padded = raw + std::string(24, 'Z');  // bytes past the word are ignored
    wordscan::WordKey k =
        wordscan::Pack(reinterpret_cast<const unsigned char*>(padded.data()), raw.size());
    char out[21];
    ASSERT_EQ(wordscan::Unpack(k, out), raw.size());
    ASSERT_EQ(std::string(out), LowerWord(raw));
    all.push_back({LowerWord(raw), k});
  }
  for (int i = 0; i < 20000; ++i) {
    auto& a = all[rng() % all.size()];
    auto& b = all[rng() % all.size()];
    ASSERT_EQ(a.second < b.second, a.first < b.first) << a.first << " " << b.first;
    ASSERT_EQ(a.second == b.second, a.first == b.first) << a.first << " " << b.first;
  }
}

TEST(WordScan, BucketSortSortsWithRepeatsAndEmptyBuckets) {
  std::mt19937 rng(3);
  std::uint32_t count[257];
  // Buckets of a few keys are sorted one way, crowded ones another: sizes
  // on both sides of the bound.
  for (std::size_t n : {0u, 1u, 2u, 17u, 66u, 72u, 80u, 300u, 3600u}) {
    std::vector<wordscan::WordKey> in, out(n);
    for (std::size_t i = 0; i < n; ++i) {
      // Few distinct first characters, so buckets hold many keys.
      std::uint64_t hi = (std::uint64_t{1 + rng() % 3} << 55) | (rng() % 1000);
      in.push_back({hi, rng() % 4});
    }
    wordscan::BucketSort(in.data(), n, out.data(), count, 256, [](const wordscan::WordKey& k) {
      return static_cast<std::size_t>(k.hi >> 52);
    });
    std::vector<wordscan::WordKey> want = in;
    std::sort(want.begin(), want.end());
    EXPECT_TRUE(out == want) << n;
  }
}

namespace {
class StopAfter : public BuildProgress {
 public:
  explicit StopAfter(int n) : n_(n) {}
  void SetMax(int) override {}
  void SetHeadText(const std::string&) override {}
  void SetCreateDirMapCurrent() override {}
  void SetCreateCatalogCurrent() override {}
  void SetCreateFileListCurrent() override {}
  void SetDirNumText(int) override {}
  bool StepVal(const std::string&) override { return ++steps_ < n_; }

 private:
  int n_, steps_ = 0;
};

// A tree of many files (more than the writer's queue holds at once) whose
// words push the word text through several numbered catalogs.
void ManyFiles(const std::string& root) {
  std::mt19937 rng(5);
  for (int d = 0; d < 12; ++d) {
    for (int f = 0; f < 40; ++f) {
      std::string text;
      int n = 20 + static_cast<int>(rng() % 400);
      for (int i = 0; i < n; ++i)
        text += WordFor(rng() % 30000, 4 + static_cast<int>(rng() % 10)) + " ";
      WriteFile(root + "d" + std::to_string(d) + "/f" + std::to_string(f) + ".txt", text);
    }
    WriteFile(root + "d" + std::to_string(d) + "/tool.exe", "not read");
    WriteFile(root + "d" + std::to_string(d) + "/tune.mp3", "not read");
  }
}
}  // namespace

class OverlapTest : public CatalogTest {
 protected:
  std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> m;
    // The lock files are not catalog files (the catalog lock names the
    // catalog in place, which every swap changes).
    for (auto& e : std::filesystem::directory_iterator(plat::DataPath(""))) {
      const std::string name = e.path().filename().string();
      if (name != kCatalogLockName && name != kBuildLockName) m[name] = ReadData(name);
    }
    return m;
  }
  // Every record points where it should: matches at words of their own
  // catalog and at recorded files, index runs sorted, records in file order.
  void ExpectConsistent() {
    std::string files = ReadData("IMS.007"), tbl = ReadData("IMSt.007"), ncs = ReadData("NCS.007"),
                idx = ReadData("LESi.007"), paths = ReadData("DES.007");
    std::set<std::uint32_t> recorded;
    for (std::size_t p = 0; p + 8 <= tbl.size(); p += 8) {
      recorded.insert(LE(tbl, p));
      ASSERT_LT(LE(tbl, p + 4), paths.size());
    }
    std::map<int, std::string> words;
    auto wordAt = [&](int cat, std::uint32_t off) {
      if (!words.count(cat)) words[cat] = ReadData("LES" + std::to_string(cat) + ".007");
      const std::string& w = words[cat];
      EXPECT_LT(off, w.size());
      return off < w.size() ? std::string(w.c_str() + off) : std::string();
    };
    std::uint32_t lastFile = 0;
    std::string lastWord;
    for (std::size_t p = 0; p + 12 <= ncs.size(); p += 12) {
      std::uint32_t file = LE(ncs, p + 4);
      ASSERT_TRUE(recorded.count(file));
      std::string w = wordAt(static_cast<int>(LE(ncs, p + 8)), LE(ncs, p));
      ASSERT_GE(w.size(), 4u);
      ASSERT_GE(file, lastFile);
      if (file == lastFile && p > 0) {
        ASSERT_LT(lastWord, w);
      }
      lastFile = file;
      lastWord = w;
    }
    int lastCat = 0;
    std::string prev;
    for (std::size_t p = 0; p + 8 <= idx.size(); p += 8) {
      int cat = static_cast<int>(LE(idx, p + 4));
      std::string w = wordAt(cat, LE(idx, p));
      ASSERT_GE(cat, lastCat);
      if (cat == lastCat) {
        ASSERT_LT(prev, w);
      }
      lastCat = cat;
      prev = w;
    }
  }
};

TEST_F(OverlapTest, ManyFilesSameBytesEveryBuildAndConsistent) {
  ManyFiles(root);
  BuildStats s = Build();
  EXPECT_GT(s.catalogs, 2);
  EXPECT_EQ(s.files, 12u * 42u);
  auto first = Snapshot();
  ExpectConsistent();
  // Over the old catalog (whose files are removed and freed on the side),
  // a second build writes the same bytes.
  Build();
  EXPECT_TRUE(Snapshot() == first);
  EXPECT_EQ(Strings(ReadData("DES.007")).size(), 13u);
  // And so does a build done wholly on the calling thread.
  WordCat single(files);
  single.useHelperThread = false;
  Build(&single);
  EXPECT_TRUE(Snapshot() == first);
}

TEST_F(OverlapTest, CancelMidWalkKeepsEverythingFoundBeforeIt) {
  ManyFiles(root);
  // 12 directories counted, then 7 cataloged; the walk stops entering the 8th.
  StopAfter p(12 + 8);
  WordCat w(files);
  w.CreateWordCatalog(&p, {root});
  EXPECT_TRUE(w.Stats().cancelled);
  EXPECT_EQ(w.Stats().directories, 7u);
  EXPECT_EQ(Strings(ReadData("DES.007")).size(), 7u);
  EXPECT_EQ(ReadData("IMSt.007").size(), 7u * 41u * 8u);  // 40 texts and the .exe per directory
  EXPECT_EQ(ReadData("KEPb.007").size(), 7u * 8u);
  ExpectConsistent();
}
