// Builds over trees that try to hang, crash or mislead the walk.
#include <sys/stat.h>
#include <unistd.h>

#include "catalog_fixture.h"

using namespace cattest;
namespace fs = std::filesystem;

namespace {
class HostileTest : public CatalogTest {
 protected:
  std::string R() { return fs::canonical(root).string() + "/"; }
};
}  // namespace

TEST_F(HostileTest, SymlinkLoopsAreNotFollowed) {
  WriteFile(root + "a/f.txt", "plain words inside");
  fs::create_directory_symlink("..", root + "a/up");
  fs::create_directory_symlink(root, root + "self");
  fs::create_symlink(root + "a/f.txt", root + "link.txt");  // a link to a file is not opened either
  Build();
  EXPECT_EQ(Strings(ReadData("DES.007")), (std::vector<std::string>{R() + "a", R()}));
  EXPECT_EQ(ReadData("IMS.007"), Z("f.txt"));
}

TEST_F(HostileTest, DirectoryThatCannotBeEnteredIsSkipped) {
  WriteFile(root + "a/f.txt", "first directory words");
  WriteFile(root + "b/g.txt", "locked directory words");
  WriteFile(root + "c/h.txt", "third directory words");
  WordCat w(files);
  w.canEnter = [&](const std::string& p) { return p != R() + "b"; };
  w.CreateWordCatalog(nullptr, {root});
  // The walk goes on after it: a and c are cataloged, b is not.
  EXPECT_EQ(Strings(ReadData("DES.007")), (std::vector<std::string>{R() + "a", R() + "c", R()}));
  EXPECT_EQ(Find("directory").size(), 2u);
  EXPECT_TRUE(Find("locked").empty());
}

TEST_F(HostileTest, UnreadableDirectoryByPermissions) {
  if (geteuid() == 0)
    GTEST_SKIP() << "running as root: permissions are not enforced (the canEnter seam covers it)";
  WriteFile(root + "a/f.txt", "first directory words");
  WriteFile(root + "b/g.txt", "locked directory words");
  ::chmod((root + "b").c_str(), 0);
  Build();
  ::chmod((root + "b").c_str(), 0755);
  EXPECT_EQ(Find("directory").size(), 1u);
}

TEST_F(HostileTest, UnopenableRootStillFinishes) {
  WordCat w(files);
  w.CreateWordCatalog(nullptr, {root + "missing/"});
  EXPECT_EQ(ReadData("DES.007"), "");
  EXPECT_TRUE(DataExists("LESi.007"));
  EXPECT_TRUE(Find("anything").empty());
}

TEST_F(HostileTest, FifoWithCataloguedExtensionDoesNotBlock) {
  ASSERT_EQ(::mkfifo((root + "pipe.txt").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo((root + "pipe.mp3").c_str(), 0644), 0);
  WriteFile(root + "real.txt", "ordinary file words");
  Build();
  EXPECT_EQ(ReadData("IMS.007"), Z("real.txt"));
}

TEST_F(HostileTest, FileVanishingDuringTheWalk) {
  WriteFile(root + "a.txt", "stays around here");
  WriteFile(root + "gone.txt", "vanishes before reading");
  WriteFile(root + "z.txt", "also stays here");
  WordCat w(files);
  w.beforeOpen = [&](const std::string&, const std::string& name) {
    if (name == "gone.txt") fs::remove(root + name);
  };
  w.CreateWordCatalog(nullptr, {root});
  EXPECT_EQ(ReadData("IMS.007"), Z("a.txt") + Z("z.txt"));
  EXPECT_EQ(Find("stays").size(), 2u);
}

TEST_F(HostileTest, NamesWithNewlinesAndInvalidUtf8) {
  WriteFile(root + "new\nline.txt", "newline named file");
  WriteFile(root + "bad\xff\xfe/x.txt", "invalid byte directory");
  Build();
  auto nl = Find("newline");
  ASSERT_EQ(nl.size(), 1u);
  EXPECT_EQ(nl[0], "new\nline.txt|" + R());
  auto bad = Find("invalid");
  ASSERT_EQ(bad.size(), 1u);
  EXPECT_EQ(bad[0], "x.txt|" + R() + "bad\xff\xfe");
}

TEST_F(HostileTest, TreeFiveHundredLevelsDeep) {
  std::string dir = root;
  for (int i = 0; i < 500; ++i) dir += "d/";
  WriteFile(dir + "deep.txt", "bottom of the tree");
  Build();
  auto hits = Find("bottom");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].substr(0, 9), "deep.txt|");
  EXPECT_EQ(hits[0].size(), 9 + R().size() + 500 * 2 - 1);
  EXPECT_EQ(Strings(ReadData("DES.007")).size(), 501u);
}

TEST_F(HostileTest, LongRunsOfLettersAndBinaryContent) {
  // A run of letters far longer than the read buffer, and binary noise.
  WriteFile(root + "run.txt",
            "start here now " + std::string(3 * 1024 * 1024, 'q') + " tail words here");
  std::string noise;
  for (int i = 0; i < 100000; ++i) noise += static_cast<char>((i * 7919) & 0xFF);
  WriteFile(root + "noise.txt", noise);
  Build();
  auto words = Strings(ReadData("LES1.007"));
  for (auto& w : words) EXPECT_LE(w.size(), 20u);
  EXPECT_EQ(Find("start").size(), 1u);
}

TEST_F(HostileTest, CatalogFileThatCannotBeCreated) {
  WriteFile(root + "a.txt", "some words here");
  // A directory where the match file belongs: it can be neither removed
  // nor opened, so the build stops and says so instead of losing its work.
  std::filesystem::create_directory(plat::DataPath("NCS.007"));
  WordCat w(files);
  w.CreateWordCatalog(nullptr, {root});
  EXPECT_TRUE(w.Stats().failed);
  EXPECT_EQ(w.Stats().files, 0u);
  std::filesystem::remove(plat::DataPath("NCS.007"));
  w.CreateWordCatalog(nullptr, {root});
  EXPECT_FALSE(w.Stats().failed);
  EXPECT_EQ(Find("some").size(), 1u);
}
