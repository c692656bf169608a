// Searches over damaged catalog files: short, cut mid-record, offsets past
// the ends, random bytes. Nothing may be read outside the loaded data (run
// under the sanitizer build).
#include <random>

#include "catalog/zrnfile.h"
#include "catalog_fixture.h"

using namespace cattest;

namespace {

class CorruptTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    WriteFile(root + "a/one.txt", "alpha bravo charlie delta");
    WriteFile(root + "b/two.txt", "alpha echo foxtrot golf");
    WriteFile(root + "b/tune.mp3", "ID3");
    Build();
  }
  // Every reader once; returns the number of files the word search listed.
  std::size_t Exercise() {
    std::size_t n = Find("alpha bravo").size() + Find("echo").size() + Find("ALPHA").size();
    WordView v(files, host, host);
    ZrnFile f;
    v.CollectFileNames(".", f);
    v.CollectFileNames("o", f);
    for (std::uint32_t id : {0u, 1u, 9u, 1000u, 0xFFFFFFFFu}) {
      v.fileid = id;
      v.GetFilePath(false);
    }
    return n;
  }
};

const char* kSearchedFiles[] = {"LES1.007", "LESt1.007", "LESi.007", "IMS.007", "IMSt.007",
                                "NCS.007",  "DES.007",   "DESt.007", "KEPb.007"};

}  // namespace

TEST_F(CorruptTest, IntactCatalogFindsItsFiles) { EXPECT_EQ(Exercise(), 1u + 1u + 2u); }

TEST_F(CorruptTest, TruncatedFiles) {
  for (const char* name : kSearchedFiles) {
    const std::string good = ReadData(name);
    for (std::size_t cut :
         {std::size_t{0}, std::size_t{1}, good.size() / 2, good.size() ? good.size() - 1 : 0}) {
      WriteData(name, good.substr(0, cut));
      Exercise();
    }
    WriteData(name, good);
  }
  EXPECT_EQ(Exercise(), 4u);
}

TEST_F(CorruptTest, RecordCountsThatDoNotDivide) {
  WriteData("LESi.007", ReadData("LESi.007") + "\x01\x02\x03");
  WriteData("NCS.007", ReadData("NCS.007") + "\x01\x02\x03\x04\x05");
  WriteData("IMSt.007", ReadData("IMSt.007") + "\x07");
  EXPECT_EQ(Exercise(), 4u);  // the whole records still work
}

TEST_F(CorruptTest, OffsetsPastTheEnds) {
  // Index words, match files and directories that point nowhere.
  WriteData("LESi.007",
            R8(0xFFFFFFF0u, 1) + R8(1000000, 1) + ReadData("LESi.007") + R8(7, -5 & 0xFFFFFFFFu));
  WriteData("NCS.007", ReadData("NCS.007") + R12(0, 0xFFFFFFF0u, 1) + R12(0, 123456, 1));
  WriteData("IMSt.007", R8(0, 0xFFFFFF00u) + R8(0xFFFFFFF0u, 0));
  WriteData("KEPb.007", R8(0xFFFFFFF0u, 0xFFFFFFF0u));
  WriteData("DES.007", "no terminator");
  Exercise();
  // The files buffer without its last NUL, and words without theirs.
  std::string ims = ReadData("IMS.007");
  WriteData("IMS.007", ims.substr(0, ims.size() - 1));
  std::string les = ReadData("LES1.007");
  WriteData("LES1.007", les.substr(0, les.size() - 1));
  Exercise();
}

TEST_F(CorruptTest, RandomBytes) {
  std::mt19937 rng(12345);
  std::vector<std::string> good;
  for (const char* name : kSearchedFiles) good.push_back(ReadData(name));
  for (int round = 0; round < 150; ++round) {
    for (std::size_t i = 0; i < good.size(); ++i) {
      std::string bad = good[i];
      if (!bad.empty())
        for (int k = 0; k < 3; ++k) bad[rng() % bad.size()] = static_cast<char>(rng() & 0xFF);
      if (rng() % 4 == 0) bad += std::string(rng() % 13, static_cast<char>(rng() & 0xFF));
      WriteData(kSearchedFiles[i], bad);
    }
    Exercise();
  }
  SUCCEED();
}
