// Every file the store and the package loader create is the user's alone
// (0600) whatever the umask, and so is a file a damaged store is restarted in.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "common/recordinghost.h"
#include "store/zrnlvl_helpers.h"
#include "store/zrnpkgop.h"

using namespace storetest;

namespace {

class StorePrivate : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    saved_ = umask(022);
  }
  void TearDown() override { umask(saved_); }
  // Every entry of the data directory with its permission bits.
  std::map<std::string, unsigned> Modes() {
    std::map<std::string, unsigned> out;
    for (const auto& e : std::filesystem::directory_iterator(plat::DataDir())) {
      struct stat st;
      if (lstat(e.path().c_str(), &st) == 0) out[e.path().filename().string()] = st.st_mode & 07777;
    }
    return out;
  }
  mode_t saved_ = 022;
};

TEST_F(StorePrivate, StorePackagesAndBrowseTextsArePrivate) {
  RecordingHost host;
  ASSERT_TRUE(Store("secret", " my bank pin zdesc private"));
  std::string n = "secret", d = "a much longer description than before", u = "";
  ASSERT_TRUE(lvl.ModifyBrowseInfo(n, d, u));
  std::string pkg = TestEnv::Root() + "private.pkg";
  WriteFile(pkg, "ZPKG mine ztxt one  1");
  ZrnPkgOp op(files, host, host);
  ASSERT_TRUE(op.LoadPackage(pkg).loaded);
  auto modes = Modes();
  for (const char* f : {"EMSZrn.007", "EMSVal.007", "EMSVt.007", "BROWSE.007", "PkgT.007",
                        "PkgBuf.007", "EMSPkg.007"}) {
    ASSERT_EQ(modes.count(f), 1u) << f;
    EXPECT_EQ(modes[f], 0600u) << f;
  }
  for (const auto& [name, mode] : modes) EXPECT_EQ(mode, 0600u) << name;
  struct stat st;
  ASSERT_EQ(stat(plat::DataDir().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(StorePrivate, AStoreStartedAfreshIsPrivate) {
  ASSERT_TRUE(Store("first", " one"));
  // A reset, then a new store in the same directory.
  ASSERT_TRUE(ZrnLvl1::ResetZarns(files));
  ASSERT_TRUE(Store("second", " two"));
  for (const auto& [name, mode] : Modes()) EXPECT_EQ(mode, 0600u) << name;
}

}  // namespace
