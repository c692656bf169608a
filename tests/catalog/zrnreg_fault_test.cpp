// The list files rebuilt from the file types, and the extension list set by
// hand, with the N-th file operation failing for every N: each list file
// holds its old bytes or its new ones, never a cut list, no temporary file
// stays behind, and a failure is reported with its cause.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "catalog/zrnreg.h"
#include "common/faultfs.h"
#include "common/recordinghost.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "platform/pregistry.h"
#include "store/zrnio.h"

namespace {

const DataFile kLists[] = {DataFile::kExtensions, DataFile::kExtList, DataFile::kExtTypeCatMatch,
                           DataFile::kExtCategory};

class ZrnRegFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    mime_ = TestEnv::Root() + "zrnreg-fault-mime.types";
    std::ofstream(mime_) << "text/plain txt\naudio/mpeg mp3\nmessage/rfc822 eml\n";
    setenv("ZARNS_MIME_TYPES", mime_.c_str(), 1);
  }
  void TearDown() override { unsetenv("ZARNS_MIME_TYPES"); }
  // The four list files as they are now.
  std::vector<std::string> Lists() {
    std::vector<std::string> out;
    for (DataFile f : kLists) out.push_back(ReadData(DataFileName(f)));
    return out;
  }
  std::vector<std::string> DataDirEntries() {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(plat::DataDir()))
      out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string mime_;
  ZrnIO files_;
  RecordingHost host_;
  FaultFs fs_;
};

TEST_F(ZrnRegFaults, RebuildAtEveryFailingOperation) {
  // The old lists: those of a smaller set of file types.
  const std::vector<std::string> old = {Z(".old"), Z(".old"), Z("x") + Z(".old"), Z("x")};
  auto putOld = [&] {
    TestEnv::ClearDataDir();
    for (std::size_t i = 0; i < 4; ++i) WriteData(DataFileName(kLists[i]), old[i]);
  };
  // The new lists, from a run on a sound disk.
  putOld();
  {
    ZrnReg reg(files_, host_);
    ASSERT_TRUE(reg.GetRegistryTextExt());
  }
  const std::vector<std::string> fresh = Lists();
  ASSERT_NE(fresh, old);
  const std::vector<std::string> entries = DataDirEntries();

  bool ok = false;
  plat::FileError cause = plat::FileError::None;
  FaultSweep sweep;
  sweep.prepare = putOld;
  sweep.run = [&] {
    ZrnReg reg(files_, host_);
    ok = reg.GetRegistryTextExt();
    cause = reg.LastError();
  };
  sweep.check = [&](long n) {
    SCOPED_TRACE("failing operation " + std::to_string(n) + ": " + fs_.FiredAt());
    auto now = Lists();
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_TRUE(now[i] == old[i] || now[i] == fresh[i]) << DataFileName(kLists[i]);
      if (ok) {
        EXPECT_EQ(now[i], fresh[i]);
      }
    }
    if (!ok) {
      EXPECT_NE(cause, plat::FileError::None);
    }
    EXPECT_EQ(DataDirEntries(), entries);  // no temporary file left
  };
  long points = SweepFaults(fs_, sweep);
  EXPECT_GE(points, 20);  // four atomic writes of five steps at least
  RecordProperty("injection_points", static_cast<int>(points));
  std::printf("extension list rebuild: %ld injection points\n", points);
  EXPECT_TRUE(ok);
}

TEST_F(ZrnRegFaults, SetExtensionsAtEveryFailingOperation) {
  std::vector<std::string> exts = {".txt", ".md", ".rst"};
  bool ok = false;
  FaultSweep sweep;
  sweep.prepare = [&] {
    TestEnv::ClearDataDir();
    WriteData("EMS.007", Z(".old"));
  };
  sweep.run = [&] {
    ZrnReg reg(files_, host_);
    reg.RegExtPtr = &exts;
    ok = reg.SetExtensions();
  };
  sweep.check = [&](long) {
    EXPECT_EQ(ReadData("EMS.007"), ok ? Z(".txt") + Z(".md") + Z(".rst") : Z(".old"));
    EXPECT_EQ(DataDirEntries(), std::vector<std::string>{"EMS.007"});
  };
  long points = SweepFaults(fs_, sweep);
  EXPECT_GE(points, 5);
  RecordProperty("injection_points", static_cast<int>(points));
  EXPECT_TRUE(ok);
}

TEST_F(ZrnRegFaults, ListFilesArePrivateAndReportAFullDisk) {
  mode_t saved = umask(022);
  {
    ZrnReg reg(files_, host_);
    ASSERT_TRUE(reg.GetRegistryTextExt());
  }
  umask(saved);
  for (DataFile f : kLists) {
    struct stat st;
    ASSERT_EQ(stat(DataFilePath(f).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << DataFileName(f);
  }
  const auto before = Lists();
  fs_.diskSpace = 3;
  FaultFs::Scope scope(fs_);
  ZrnReg reg(files_, host_);
  std::vector<std::string> exts = {".a-long-extension-list-entry"};
  reg.RegExtPtr = &exts;
  EXPECT_FALSE(reg.SetExtensions());
  EXPECT_EQ(reg.LastError(), plat::FileError::NoSpace);
  plat::SetFs(nullptr);
  EXPECT_EQ(Lists(), before);
}

// A registry change refused because the store cannot be written tells the
// user why, instead of a note that the category was added.
TEST_F(ZrnRegFaults, CategoryThatCannotBeStoredSaysWhy) {
  fs_.failWrites = true;
  fs_.injectedError = plat::FileError::NoSpace;
  {
    FaultFs::Scope scope(fs_);
    ZrnReg reg(files_, host_);
    reg.SetNewCategory("Faulty");
  }
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_NE(host_.boxes[0].text.find("could not be stored: disk full"), std::string::npos);
  EXPECT_FALSE(plat::ClassesRoot().KeyExists("Zarns.Application\\FileCategories\\Faulty"));
}

}  // namespace
