// The read-only whole-file view: mapped from the real file system, read
// through a test's file system, and whether the file in place is the one
// in view.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/faultfs.h"
#include "platform/pmmap.h"

using plat::MappedFile;

namespace {

class MappedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pmmap_testXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/f.bin";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  // Writes a new file (a new inode) over the path, as a rename would.
  void Put(const std::string& bytes) {
    std::ofstream(path_ + ".new", std::ios::binary) << bytes;
    std::filesystem::rename(path_ + ".new", path_);
  }
  static std::string Bytes(const MappedFile& m) { return std::string(m.data(), m.size()); }
  std::string dir_, path_;
};

std::string Sample() {
  std::string s;
  for (int i = 0; i < 10000; ++i) s.push_back(static_cast<char>(i * 7));
  s[5000] = '\0';
  return s;
}

TEST_F(MappedFileTest, MapsTheWholeFileAndKnowsWhenItIsReplaced) {
  Put(Sample());
  MappedFile m;
  ASSERT_TRUE(m.Open(path_));
  EXPECT_TRUE(m.present());
  EXPECT_EQ(Bytes(m), Sample());
  EXPECT_TRUE(m.Current());
  // The same bytes in a new file are another file.
  Put(Sample());
  EXPECT_FALSE(m.Current());
  // The old bytes stay in view until it is opened again.
  EXPECT_EQ(Bytes(m), Sample());
  ASSERT_TRUE(m.Open(path_));
  EXPECT_TRUE(m.Current());
  std::filesystem::remove(path_);
  EXPECT_FALSE(m.Current());
  m.Close();
  EXPECT_EQ(m.size(), 0u);
  EXPECT_FALSE(m.present());
}

TEST_F(MappedFileTest, MissingEmptyAndNotAFile) {
  MappedFile m;
  EXPECT_FALSE(m.Open(path_));
  EXPECT_FALSE(m.present());
  EXPECT_EQ(m.size(), 0u);
  // Still missing: nothing changed.
  EXPECT_TRUE(m.Current());
  Put("");
  EXPECT_FALSE(m.Current());
  ASSERT_TRUE(m.Open(path_));
  EXPECT_TRUE(m.present());
  EXPECT_EQ(m.size(), 0u);
  EXPECT_TRUE(m.Current());
  EXPECT_FALSE(m.Open(dir_));
  EXPECT_EQ(m.size(), 0u);
}

TEST_F(MappedFileTest, ReadsThroughATestsFileSystem) {
  Put(Sample());
  FaultFs fs;
  FaultFs::Scope scope(fs);
  fs.maxReadChunk = 333;
  MappedFile m;
  ASSERT_TRUE(m.Open(path_));
  EXPECT_EQ(Bytes(m), Sample());
  EXPECT_GT(fs.reads, 1);
  // Through it, files are read afresh every time.
  EXPECT_FALSE(m.Current());
}

TEST_F(MappedFileTest, AFailingReadLeavesWhatWasReadAndSaysSo) {
  Put(Sample());
  FaultFs fs;
  FaultFs::Scope scope(fs);
  fs.failReads = true;
  MappedFile m;
  EXPECT_FALSE(m.Open(path_));
  EXPECT_TRUE(m.present());
  EXPECT_EQ(m.size(), 0u);
  fs.failReads = false;
  fs.failOpenMatching = "f.bin";
  EXPECT_FALSE(m.Open(path_));
  EXPECT_FALSE(m.present());
}

TEST_F(MappedFileTest, EveryOperationFailingInTurnGivesTheFileOrAFalseOpen) {
  Put(Sample());
  FaultFs fs;
  FaultFs::Scope scope(fs);
  fs.maxReadChunk = 4096;
  int failed = 0, points = 0;
  for (long n = 1; n < 50; ++n) {
    fs.ArmNth(n);
    MappedFile m;
    const bool whole = m.Open(path_);
    const bool fired = fs.Fired();
    fs.Disarm();
    if (!fired) break;
    ++points;
    if (whole) {
      EXPECT_EQ(Bytes(m), Sample()) << "operation " << n;
    } else {
      ++failed;
      EXPECT_LT(m.size(), Sample().size()) << "operation " << n;
      EXPECT_EQ(Bytes(m), Sample().substr(0, m.size())) << "operation " << n;
    }
  }
  // Open, size and three reads.
  EXPECT_GE(points, 5);
  EXPECT_EQ(failed, points);
}

}  // namespace
