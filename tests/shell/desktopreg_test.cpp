// Registration of the document type: the registry keys and the desktop's
// files are written once, rewritten when changed, and removed again.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/faultfs.h"
#include "common/testenv.h"
#include "platform/pregistry.h"
#include "shell/cmdline.h"
#include "shell/desktopreg.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

ino_t Inode(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

const DesktopRegistration::Icons kIcons{"<svg>app</svg>", "<svg>doc</svg>"};

// Each test has its own data directory (and so its own registry store) and
// its own data home; cache refreshes are counted, not run.
class DesktopRegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestEnv::FreshDir("desktopreg");
    setenv("ZARNS_DATA_DIR", (dir_ + "data").c_str(), 1);
    home_ = dir_ + "xdg/";
  }
  void TearDown() override { setenv("ZARNS_DATA_DIR", (TestEnv::Root() + "data").c_str(), 1); }

  DesktopRegistration Reg(const std::string& exe = "/usr/bin/zarns") {
    return DesktopRegistration(plat::ClassesRoot(), home_, exe,
                               [this](const std::string& home) { refreshed_.push_back(home); });
  }
  static plat::Registry& Keys() { return plat::ClassesRoot(); }
  std::string Entry() const { return DesktopRegistration::DesktopEntryPath(home_); }
  std::string Mime() const { return DesktopRegistration::MimePackagePath(home_); }

  std::string dir_, home_;
  std::vector<std::string> refreshed_;
};

}  // namespace

TEST_F(DesktopRegTest, WritesTheKeysAndTheDesktopFiles) {
  auto reg = Reg();
  EXPECT_TRUE(reg.Register(kIcons));
  EXPECT_EQ(Keys().GetString("Zarns.Application\\DefaultIcon", ""), "/usr/bin/zarns");
  EXPECT_EQ(Keys().GetString("Zarns.Document.1\\DefaultIcon", ""), "/usr/bin/zarns,1");
  EXPECT_EQ(Keys().GetString(".zxt", ""), "Zarns.Document.1");
  EXPECT_TRUE(Keys().KeyExists("Zarns.Application\\FileCategories"));

  EXPECT_EQ(Entry(), home_ + "applications/zarns.desktop");
  EXPECT_EQ(Slurp(Entry()),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Zarns\n"
            "GenericName=Text Editor\n"
            "Comment=Text editor with zarns and a word catalog of your files\n"
            "Exec=\"/usr/bin/zarns\" --open %F\n"
            "Icon=zarns\n"
            "Terminal=false\n"
            "Categories=Utility;TextEditor;\n"
            "MimeType=application/x-zarns-document;text/plain;\n");
  EXPECT_EQ(Mime(), home_ + "mime/packages/zarns.xml");
  EXPECT_EQ(Slurp(Mime()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"application/x-zarns-document\">\n"
            "    <comment>Zarns document</comment>\n"
            "    <sub-class-of type=\"text/plain\"/>\n"
            "    <icon name=\"application-x-zarns-document\"/>\n"
            "    <glob pattern=\"*.zxt\"/>\n"
            "  </mime-type>\n"
            "</mime-info>\n");
  EXPECT_EQ(Slurp(home_ + "icons/hicolor/scalable/apps/zarns.svg"), kIcons.app);
  EXPECT_EQ(Slurp(home_ + "icons/hicolor/scalable/mimetypes/application-x-zarns-document.svg"),
            kIcons.document);
  EXPECT_EQ(refreshed_, std::vector<std::string>{home_});
}

TEST_F(DesktopRegTest, ASecondStartWritesNothing) {
  ASSERT_TRUE(Reg().Register(kIcons));
  const ino_t entry = Inode(Entry()), mime = Inode(Mime());
  const std::string store = Slurp(dir_ + "data/registry");
  refreshed_.clear();
  EXPECT_TRUE(Reg().Register(kIcons));
  // The files were not replaced and the desktop was not asked to look again.
  EXPECT_EQ(Inode(Entry()), entry);
  EXPECT_EQ(Inode(Mime()), mime);
  EXPECT_TRUE(refreshed_.empty());
  EXPECT_EQ(Slurp(dir_ + "data/registry"), store);
}

TEST_F(DesktopRegTest, WhatSomeoneChangedIsWrittenAgain) {
  ASSERT_TRUE(Reg().Register(kIcons));
  refreshed_.clear();
  Keys().SetString(".zxt", "", "Other.Document");
  std::ofstream(Entry(), std::ios::binary | std::ios::trunc) << "[Desktop Entry]\nName=Other\n";
  std::remove(Mime().c_str());
  EXPECT_TRUE(Reg().Register(kIcons));
  EXPECT_EQ(Keys().GetString(".zxt", ""), "Zarns.Document.1");
  EXPECT_EQ(Slurp(Entry()), DesktopRegistration::DesktopEntry("/usr/bin/zarns"));
  EXPECT_EQ(Slurp(Mime()), DesktopRegistration::MimePackage());
  EXPECT_EQ(refreshed_.size(), 1u);
  // A moved program gets its new path everywhere.
  refreshed_.clear();
  EXPECT_TRUE(Reg("/opt/zarns/bin/zarns").Register(kIcons));
  EXPECT_EQ(Keys().GetString("Zarns.Document.1\\DefaultIcon", ""), "/opt/zarns/bin/zarns,1");
  EXPECT_NE(Slurp(Entry()).find("Exec=\"/opt/zarns/bin/zarns\" --open %F\n"), std::string::npos);
  EXPECT_EQ(refreshed_.size(), 1u);
}

TEST_F(DesktopRegTest, ThePathIsQuotedForTheDesktopEntry) {
  EXPECT_EQ(DesktopRegistration::DesktopQuoted("/plain/path"), "/plain/path");
  // Quote, backquote and dollar take one escape, written doubled; a
  // backslash takes four; a percent sign is doubled.
  EXPECT_EQ(DesktopRegistration::DesktopQuoted("a\"b`c$d"), "a\\\\\"b\\\\`c\\\\$d");
  EXPECT_EQ(DesktopRegistration::DesktopQuoted("a\\b"), "a\\\\\\\\b");
  EXPECT_EQ(DesktopRegistration::DesktopQuoted("100%"), "100%%");
  EXPECT_NE(DesktopRegistration::DesktopEntry("/my apps/100% $x")
                .find("Exec=\"/my apps/100%% \\\\$x\" --open %F\n"),
            std::string::npos);
}

TEST_F(DesktopRegTest, UnregisterRemovesAllButTheUsersCategories) {
  ASSERT_TRUE(Reg().Register(kIcons));
  Keys().SetDword("Zarns.Application\\FileCategories\\Music\\Inclusions", "mp3", 42);
  refreshed_.clear();
  Reg().Unregister();
  EXPECT_FALSE(Keys().KeyExists(".zxt"));
  EXPECT_FALSE(Keys().KeyExists("Zarns.Document.1"));
  EXPECT_FALSE(Keys().KeyExists("Zarns.Application\\DefaultIcon"));
  EXPECT_EQ(Keys().GetDword("Zarns.Application\\FileCategories\\Music\\Inclusions", "mp3"), 42u);
  EXPECT_FALSE(Exists(Entry()));
  EXPECT_FALSE(Exists(Mime()));
  EXPECT_FALSE(Exists(home_ + "icons/hicolor/scalable/apps/zarns.svg"));
  EXPECT_EQ(refreshed_.size(), 1u);
  // Nothing left to remove: the desktop is not bothered again.
  refreshed_.clear();
  Reg().Unregister();
  EXPECT_TRUE(refreshed_.empty());
  // Registering again brings everything back.
  EXPECT_TRUE(Reg().Register(kIcons));
  EXPECT_EQ(Keys().GetString(".zxt", ""), "Zarns.Document.1");
  EXPECT_EQ(Slurp(Entry()), DesktopRegistration::DesktopEntry("/usr/bin/zarns"));
}

TEST_F(DesktopRegTest, UnregisterLeavesADirectoryOfTheSameNameAlone) {
  ::mkdir((home_).c_str(), 0755);
  ::mkdir((home_ + "applications").c_str(), 0755);
  ::mkdir(Entry().c_str(), 0755);
  std::ofstream(Entry() + "/keep", std::ios::binary) << "x";
  Reg().Unregister();
  EXPECT_EQ(Slurp(Entry() + "/keep"), "x");
  EXPECT_TRUE(refreshed_.empty());
}

TEST_F(DesktopRegTest, AnUnwritableDataHomeIsReportedNotFatal) {
  // The data home's parent is a file: no directory can be made there.
  std::ofstream(dir_ + "blocker", std::ios::binary) << "file";
  home_ = dir_ + "blocker/xdg/";
  EXPECT_FALSE(Reg().Register(kIcons));
  EXPECT_EQ(Keys().GetString(".zxt", ""), "Zarns.Document.1");  // the keys still went in
  EXPECT_TRUE(refreshed_.empty());
  EXPECT_EQ(Slurp(dir_ + "blocker"), "file");
  Reg().Unregister();
  EXPECT_FALSE(Keys().KeyExists(".zxt"));
}

TEST_F(DesktopRegTest, TheCommandLineChoosesRegisterOrUnregister) {
  auto reg = Reg();
  EXPECT_FALSE(ProcessCmdLine("", reg, kIcons));
  EXPECT_TRUE(Exists(Entry()));
  EXPECT_TRUE(ProcessCmdLine("-x /UNREG", reg, kIcons));
  EXPECT_FALSE(Exists(Entry()));
  EXPECT_FALSE(Keys().KeyExists(".zxt"));
  // A name that merely contains the word registers.
  EXPECT_FALSE(ProcessCmdLine("/home/me/unregister", reg, kIcons));
  EXPECT_TRUE(Keys().KeyExists(".zxt"));
}

namespace {

// A prefix as an install leaves it: the programs in bin, the desktop files in share.
std::string MakeInstall(const std::string& prefix, const std::string& exe) {
  ::mkdir(prefix.c_str(), 0755);
  ::mkdir((prefix + "bin").c_str(), 0755);
  EXPECT_TRUE(DesktopRegistration::WriteInstalledFiles(prefix + "share/", exe));
  return prefix + "share/";
}

}  // namespace

TEST_F(DesktopRegTest, AnInstallIsFoundBesideTheProgram) {
  const std::string share = MakeInstall(dir_ + "usr/", dir_ + "usr/bin/zarns");
  EXPECT_EQ(DesktopRegistration::InstalledDataDir(dir_ + "usr/bin"), share);
  EXPECT_EQ(DesktopRegistration::InstalledDataDir(dir_ + "usr/bin/"), share);
  // Through a roundabout path too: the answer is the resolved directory.
  EXPECT_EQ(DesktopRegistration::InstalledDataDir(dir_ + "usr/share/../bin"), share);
  // A build tree, a prefix without the entry, or no directory at all: not installed.
  ::mkdir((dir_ + "build").c_str(), 0755);
  EXPECT_EQ(DesktopRegistration::InstalledDataDir(dir_ + "build"), "");
  ::mkdir((dir_ + "bare").c_str(), 0755);
  ::mkdir((dir_ + "bare/bin").c_str(), 0755);
  ::mkdir((dir_ + "bare/share").c_str(), 0755);
  EXPECT_EQ(DesktopRegistration::InstalledDataDir(dir_ + "bare/bin"), "");
  EXPECT_EQ(DesktopRegistration::InstalledDataDir(""), "");
}

TEST_F(DesktopRegTest, TheInstalledFilesAreTheOnesAStartWouldWrite) {
  const std::string share = MakeInstall(dir_ + "usr/", "/opt/my zarns/bin/zarns");
  EXPECT_EQ(Slurp(share + "applications/zarns.desktop"),
            DesktopRegistration::DesktopEntry("/opt/my zarns/bin/zarns"));
  EXPECT_EQ(Slurp(share + "mime/packages/zarns.xml"), DesktopRegistration::MimePackage());
}

TEST_F(DesktopRegTest, AnInstalledProgramRemovesTheUsersShadowingCopies) {
  // An earlier start from a build tree left per-user copies.
  ASSERT_TRUE(Reg("/home/me/src/zarns/build/zarns").Register(kIcons));
  ASSERT_TRUE(Exists(Entry()));
  const std::string share = MakeInstall(dir_ + "usr/", dir_ + "usr/bin/zarns");
  refreshed_.clear();
  auto reg = Reg(dir_ + "usr/bin/zarns");
  reg.SetInstalledDataDir(share);
  EXPECT_TRUE(reg.Register(kIcons));
  EXPECT_EQ(Keys().GetString("Zarns.Application\\DefaultIcon", ""), dir_ + "usr/bin/zarns");
  EXPECT_EQ(Keys().GetString(".zxt", ""), "Zarns.Document.1");
  for (const std::string& f : {Entry(), Mime(), DesktopRegistration::AppIconPath(home_),
                               DesktopRegistration::DocIconPath(home_)})
    EXPECT_FALSE(Exists(f)) << f;
  EXPECT_EQ(refreshed_, std::vector<std::string>{home_});
  // The installation is untouched, and the next start has nothing to do.
  EXPECT_EQ(Slurp(share + "applications/zarns.desktop"),
            DesktopRegistration::DesktopEntry(dir_ + "usr/bin/zarns"));
  refreshed_.clear();
  EXPECT_TRUE(reg.Register(kIcons));
  EXPECT_TRUE(refreshed_.empty());
  EXPECT_FALSE(Exists(Entry()));
  // Unregistering removes the keys only.
  reg.Unregister();
  EXPECT_FALSE(Keys().KeyExists(".zxt"));
  EXPECT_TRUE(Exists(share + "applications/zarns.desktop"));
  EXPECT_TRUE(refreshed_.empty());
}

TEST_F(DesktopRegTest, AnInstallIntoTheDataHomeIsLeftAsInstalled) {
  // Installed under the user's own prefix: the data home is the install's share.
  const std::string share = MakeInstall(dir_ + "local/", dir_ + "local/bin/zarns");
  home_ = dir_ + "local/share/";
  const std::string entry = Slurp(Entry()), mime = Slurp(Mime());
  const ino_t entryInode = Inode(Entry());
  // Started under another name (a symlink, a copy): still nothing is rewritten.
  auto reg = Reg(dir_ + "elsewhere/zarns");
  reg.SetInstalledDataDir(share);
  EXPECT_TRUE(reg.Register(kIcons));
  EXPECT_EQ(Inode(Entry()), entryInode);
  EXPECT_EQ(Slurp(Entry()), entry);
  EXPECT_FALSE(Exists(DesktopRegistration::AppIconPath(home_)));
  EXPECT_EQ(Keys().GetString(".zxt", ""), "Zarns.Document.1");
  reg.Unregister();
  EXPECT_EQ(Slurp(Entry()), entry);
  EXPECT_EQ(Slurp(Mime()), mime);
  EXPECT_FALSE(Keys().KeyExists(".zxt"));
  EXPECT_TRUE(refreshed_.empty());
}

TEST_F(DesktopRegTest, InstalledFilesAreWholeOrAbsentWhateverFails) {
  FaultFs fs;
  const std::string share = dir_ + "fault/share/";
  bool ok = false;
  FaultSweep sweep;
  sweep.prepare = [&] { std::filesystem::remove_all(dir_ + "fault"); };
  sweep.run = [&] { ok = DesktopRegistration::WriteInstalledFiles(share, "/usr/bin/zarns"); };
  sweep.check = [&](long n) {
    const std::string entry = share + "applications/zarns.desktop";
    const std::string mime = share + "mime/packages/zarns.xml";
    // A fault in a read (the look for an earlier copy) costs nothing; any
    // other fault is reported, and what is there is whole.
    if (ok) {
      EXPECT_TRUE(Exists(entry) && Exists(mime)) << "fault " << n << " at " << fs.FiredAt();
    }
    if (Exists(entry)) {
      EXPECT_EQ(Slurp(entry), DesktopRegistration::DesktopEntry("/usr/bin/zarns")) << n;
    }
    if (Exists(mime)) {
      EXPECT_EQ(Slurp(mime), DesktopRegistration::MimePackage()) << n;
    }
    // No temporary file is left beside them.
    for (const std::string& d : {share + "applications", share + "mime/packages"}) {
      std::error_code ec;
      for (auto& e : std::filesystem::directory_iterator(d, ec))
        EXPECT_TRUE(e.path().filename() == "zarns.desktop" || e.path().filename() == "zarns.xml")
            << e.path() << " fault " << n;
    }
  };
  const long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 8);  // two files: create, mode, write, sync, rename each, and directories
  EXPECT_TRUE(ok);
  RecordProperty("injection_points", static_cast<int>(points));
}
