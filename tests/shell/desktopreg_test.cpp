// Registration of the document type: the registry keys and the desktop's
// files are written once, rewritten when changed, and removed again.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>
#include <fstream>
#include <sstream>

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
