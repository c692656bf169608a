// The data file set over a file system that misbehaves: short reads, failed
// reads and writes, a full disk, failed opens. Nothing crashes, the guard
// texts reach standard error, and what was stored stays stored.
#include <gtest/gtest.h>

#include <cstring>

#include "common/faultfs.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "store/zrnio.h"

namespace {

class ZrnIOFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    io_.ReadFromFile(static_cast<char*>(nullptr), nullptr);
  }
  ZrnIO io_;
  FaultFs fs_;
};

}  // namespace

TEST_F(ZrnIOFaultTest, ShortReadsStillDeliverEverything) {
  std::string f = plat::DataPath("BROWSE.007");
  std::string content;
  std::vector<std::string> strings;
  for (int i = 0; i < 900; ++i) {
    strings.push_back("entry number " + std::to_string(i));
    content += strings.back() + '\0';
  }
  WriteFile(f, content);
  fs_.maxReadChunk = 7;
  FaultFs::Scope scope(fs_);
  io_.OpenFile(DataFile::kZarnBrowse, "r");
  char text[kGenBufferSize];
  for (const auto& s : strings) {
    ASSERT_EQ(io_.ReadFromFile(text, io_.ZarnBrowseOut), s.size() + 1);
    ASSERT_EQ(std::string(text), s);
  }
  EXPECT_EQ(io_.ReadFromFile(text, io_.ZarnBrowseOut), 1u);
  EXPECT_EQ(io_.ReadFromFileAtOffset(text, io_.ZarnBrowseOut, 0), strings[0].size() + 1);
  EXPECT_STREQ(text, strings[0].c_str());
  io_.SetFilePtr(io_.ZarnBrowseOut, 0);
  std::vector<char> all(content.size());
  EXPECT_EQ(io_.ReadFromFile(all.data(), static_cast<std::uint32_t>(all.size()), io_.ZarnBrowseOut),
            static_cast<long>(content.size()));
  EXPECT_EQ(std::string(all.data(), all.size()), content);
  io_.CloseFile(io_.ZarnBrowseOut);
  EXPECT_GT(fs_.reads, 100);
}

TEST_F(ZrnIOFaultTest, FailedReadsWriteTheGuardTexts) {
  std::string f = plat::DataPath("PkgBuf.007");
  WriteFile(f, std::string("pkg\0", 4));
  fs_.failReads = true;
  FaultFs::Scope scope(fs_);
  io_.OpenFile(DataFile::kPkgText, "r");
  ASSERT_TRUE(plat::IsOpen(io_.PkgBufOut));
  char text[kGenBufferSize];
  std::memset(text, 'q', sizeof text);

  testing::internal::CaptureStderr();
  EXPECT_EQ(io_.ReadFromFile(text, 4, io_.PkgBufOut), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error reading into file ");

  testing::internal::CaptureStderr();
  EXPECT_EQ(io_.ReadFromFile(text, io_.PkgBufOut), 1u);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error reading into file ");

  testing::internal::CaptureStderr();
  EXPECT_EQ(io_.ReadFromFileAtOffset(text, io_.PkgBufOut, 0), 1u);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error reading file ");

  ZarnMatchStructType rec{5, 6, 7};
  testing::internal::CaptureStderr();
  EXPECT_EQ(io_.ReadFromFile(&rec, io_.PkgBufOut), -1);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(rec.OffsetA, 5u);
  io_.CloseFile(io_.PkgBufOut);
  EXPECT_EQ(Slurp(f), std::string("pkg\0", 4));
}

TEST_F(ZrnIOFaultTest, FailedWritesLoseOnlyTheNewData) {
  std::string f = plat::DataPath("EMSVt.007");
  std::string stored("\x01\0\0\0\x02\0\0\0\x03\0\0\0", 12);
  WriteFile(f, stored);
  fs_.failWrites = true;
  FaultFs::Scope scope(fs_);
  io_.OpenFile(DataFile::kZarnTable, "w");
  ASSERT_TRUE(plat::IsOpen(io_.Lvl1TblOut));
  io_.WriteToFile(ZarnMatchStructType{9, 9, 9}, io_.Lvl1TblOut);
  io_.WriteToFile("text", io_.Lvl1TblOut);
  io_.WriteToFile(std::string("s"), io_.Lvl1TblOut, kNotNullTerminated);
  io_.WriteToFile(1, "t", io_.Lvl1TblOut);
  io_.WriteToFile(5u, io_.Lvl1TblOut);
  io_.CleanAndWriteToFile("abc", 3, io_.Lvl1TblOut);
  testing::internal::CaptureStderr();
  EXPECT_EQ(io_.WriteToFileAtOffset("x", io_.Lvl1TblOut, 4), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error reading file ");
  io_.CloseFile(io_.Lvl1TblOut);
  EXPECT_EQ(Slurp(f), stored);
}

TEST_F(ZrnIOFaultTest, FullDiskKeepsWhatWasThere) {
  std::string f = plat::DataPath("EMSVal.007");
  WriteFile(f, std::string("first\0", 6));
  fs_.diskSpace = 10;
  FaultFs::Scope scope(fs_);
  io_.OpenFile(DataFile::kZarnValues, "w");
  io_.WriteToFile("second", io_.Lvl1ValOut);       // 7 bytes fit
  io_.WriteToFile("third value", io_.Lvl1ValOut);  // 3 of 12 fit
  io_.WriteToFile("fourth", io_.Lvl1ValOut);       // nothing fits
  testing::internal::CaptureStderr();
  EXPECT_EQ(io_.WriteToFileAtOffset("x", io_.Lvl1ValOut, 0), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error reading file ");
  io_.CloseFile(io_.Lvl1ValOut);
  std::string got = Slurp(f);
  EXPECT_EQ(got, std::string("first\0second\0thi", 16));
  // Reading the damaged tail back is harmless.
  fs_.diskSpace = -1;
  io_.OpenFile(DataFile::kZarnValues, "r");
  char text[kGenBufferSize];
  io_.ReadFromFile(text, nullptr);
  EXPECT_EQ(io_.ReadFromFile(text, io_.Lvl1ValOut), 6u);
  EXPECT_EQ(io_.ReadFromFile(text, io_.Lvl1ValOut), 7u);
  EXPECT_EQ(io_.ReadFromFile(text, io_.Lvl1ValOut), 4u);
  EXPECT_STREQ(text, "thi");
  EXPECT_EQ(io_.ReadFromFile(text, io_.Lvl1ValOut), 1u);
  io_.CloseFile(io_.Lvl1ValOut);
}

TEST_F(ZrnIOFaultTest, FailedOpenInTheGroup) {
  for (DataFile n :
       {DataFile::kWordsBuf, DataFile::kWordsTbl, DataFile::kWordsIdx, DataFile::kWordsLtr,
        DataFile::kFilesBuf, DataFile::kFilesTbl, DataFile::kMatches, DataFile::kPathsBuf,
        DataFile::kPathsTbl, DataFile::kExtensions, DataFile::kExtList, DataFile::kExtTypeCatMatch,
        DataFile::kExtCategory, DataFile::kExtMatch})
    WriteFile(io_.FileName(n), "x");
  fs_.failOpenMatching = "NCS.007";
  {
    FaultFs::Scope scope(fs_);
    io_.OpenFiles("r");
    EXPECT_EQ(io_.MatchesOut, INVALID_HANDLE_VALUE);
    EXPECT_EQ(io_.TestFiles(), 0);
    int opens = fs_.opens;
    io_.OpenFiles("r");
    EXPECT_EQ(fs_.opens, opens);  // nothing null, nothing retried
    io_.CloseFiles();
  }
  io_.OpenFiles("r");
  EXPECT_EQ(io_.TestFiles(), 1);
  io_.CloseFiles();
}
