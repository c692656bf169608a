// The data directory and the data files are the user's alone, whatever the
// umask; documents keep the permissions they had.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "common/testenv.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "platform/pregistry.h"

using namespace plat;

namespace {

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The permission bits of `path`, or -1 when it is missing.
int Mode(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

// Runs each test under one umask, with its own data directory.
class PrivateTest : public ::testing::TestWithParam<mode_t> {
 protected:
  void SetUp() override {
    saved_ = umask(GetParam());
    root_ = TestEnv::FreshDir("private");
    chmod(root_.c_str(), 0755);
  }
  void TearDown() override {
    umask(saved_);
    setenv("ZARNS_DATA_DIR", (TestEnv::Root() + "data").c_str(), 1);
  }
  void UseDataDir(const std::string& dir) { setenv("ZARNS_DATA_DIR", dir.c_str(), 1); }
  mode_t saved_ = 022;
  std::string root_;
};

}  // namespace

TEST_P(PrivateTest, NewDataDirectoryAndDataFilesArePrivate) {
  UseDataDir(root_ + "a/b/zarns");
  std::string dir = DataDir();
  EXPECT_EQ(Mode(root_ + "a"), 0700);  // every directory the data-dir code made
  EXPECT_EQ(Mode(root_ + "a/b"), 0700);
  EXPECT_EQ(Mode(root_ + "a/b/zarns"), 0700);
  EXPECT_EQ(Mode(root_.substr(0, root_.size() - 1)), 0755);  // one it found stays

  // Files created through the file system, in each creation mode.
  for (Creation c : {Creation::CreateAlways, Creation::OpenAlways, Creation::CreateNew}) {
    std::string f = DataPath("EMSVt.007");
    Fs().Remove(f);
    HANDLE h = Fs().Open(f, Access::Write, c);
    ASSERT_TRUE(IsOpen(h));
    Fs().Close(h);
    EXPECT_EQ(Mode(f), 0600);
  }
  ASSERT_TRUE(Fs().MakeDir(DataPath("staging")));
  EXPECT_EQ(Mode(DataPath("staging")), 0700);

  // Whole files written for the program itself.
  ASSERT_TRUE(WriteDataFileAtomic(DataPath("Zarns.ini"), "[a]\n"));
  EXPECT_EQ(Mode(DataPath("Zarns.ini")), 0600);
  Put(DataPath("DES2"), "old contacts");
  chmod(DataPath("DES2").c_str(), 0644);
  ASSERT_TRUE(WriteDataFileAtomic(DataPath("DES2"), "contacts"));
  EXPECT_EQ(Mode(DataPath("DES2")), 0600);

  // The registry store, and the copy it keeps of a damaged file.
  ASSERT_TRUE(ClassesRoot().SetString("Zarns.Application", "", "x"));
  EXPECT_EQ(Mode(DataPath("registry")), 0600);
  Put(DataPath("registry"), "not a registry\n");
  ASSERT_TRUE(ClassesRoot().SetString("Zarns.Application", "", "y"));
  EXPECT_EQ(Mode(DataPath("registry")), 0600);
  EXPECT_EQ(Mode(DataPath("registry.corrupt")), 0600);
}

TEST_P(PrivateTest, DocumentsKeepTheirPermissions) {
  std::string doc = root_ + "letter.txt";
  ASSERT_TRUE(WriteFileAtomic(doc, "new"));
  EXPECT_EQ(Mode(doc), static_cast<int>(0666 & ~GetParam()));  // like any new file
  chmod(doc.c_str(), 0751);
  ASSERT_TRUE(WriteFileAtomic(doc, "again"));
  EXPECT_EQ(Mode(doc), 0751);
}

TEST_P(PrivateTest, AnOpenDataDirectoryOfTheUserIsClosedAtFirstUse) {
  std::string dir = root_ + "old";
  mkdir(dir.c_str(), 0755);
  chmod(dir.c_str(), 0755);
  Put(dir + "/LES1.007", "catalog");
  chmod((dir + "/LES1.007").c_str(), 0644);
  Put(dir + "/run", "script");
  chmod((dir + "/run").c_str(), 0755);
  mkdir((dir + "/staging").c_str(), 0777);
  chmod((dir + "/staging").c_str(), 0777);
  Put(root_ + "outside", "not ours to change");
  chmod((root_ + "outside").c_str(), 0644);
  symlink((root_ + "outside").c_str(), (dir + "/link").c_str());
  UseDataDir(dir);
  EXPECT_EQ(DataDir(), dir + "/");
  EXPECT_EQ(Mode(dir), 0700);
  EXPECT_EQ(Mode(dir + "/LES1.007"), 0600);
  EXPECT_EQ(Mode(dir + "/run"), 0700);  // the owner keeps what they had
  EXPECT_EQ(Mode(dir + "/staging"), 0700);
  EXPECT_EQ(Mode(root_ + "outside"), 0644);  // a link is not followed

  // Someone else's directory is never touched.
  if (geteuid() == 0) {
    std::string theirs = root_ + "theirs";
    mkdir(theirs.c_str(), 0755);
    chmod(theirs.c_str(), 0755);
    Put(theirs + "/f", "x");
    chmod((theirs + "/f").c_str(), 0644);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    UseDataDir(theirs);
    DataDir();
    EXPECT_EQ(Mode(theirs), 0755);
    EXPECT_EQ(Mode(theirs + "/f"), 0644);
  }
}

INSTANTIATE_TEST_SUITE_P(Umasks, PrivateTest, ::testing::Values(022, 0, 077, 0277),
                         [](const ::testing::TestParamInfo<mode_t>& i) {
                           char name[16];
                           std::snprintf(name, sizeof name, "umask0%o", i.param);
                           return std::string(name);
                         });
