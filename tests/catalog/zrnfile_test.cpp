// The found-file list, opening files and web lookups.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "catalog/zrnfile.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/plauncher.h"

namespace {

class ZrnFileTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::SetLauncher(&launcher); }
  void TearDown() override { plat::SetLauncher(nullptr); }
  plat::RecordingLauncher launcher;
};

}  // namespace

TEST_F(ZrnFileTest, WalkYieldsEachRecordOnceInOrder) {
  ZrnFile f;
  EXPECT_TRUE(f.eol);
  std::string file = "x", path = "y";
  std::uint32_t id = 7;
  EXPECT_FALSE(f.GetCurrent(file, path, id));
  EXPECT_EQ(file, "");
  EXPECT_EQ(path, "");

  f.Add("a.txt", "/d1", 1);
  f.Add("b.txt", "/d2", 2);
  f.Add("c.txt", "/d3", 3);
  EXPECT_FALSE(f.eol);
  EXPECT_EQ(f.Count, 3);
  f.Reset();
  std::vector<std::string> seen;
  while (!f.eol) {
    f.GetNext(file, path, id);
    seen.push_back(file + path + std::to_string(id));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"a.txt/d11", "b.txt/d22", "c.txt/d33"}));
  // Past the end: false, outputs untouched.
  file = "keep";
  EXPECT_FALSE(f.GetCurrent(file, path, id));
  EXPECT_EQ(file, "keep");
}

TEST_F(ZrnFileTest, OneRecordWalk) {
  ZrnFile f;
  f.Add("only.txt", "/d", 5);
  f.Reset();
  std::string file, path;
  std::uint32_t id = 0;
  f.GetNext(file, path, id);
  EXPECT_EQ(file, "only.txt");
  EXPECT_TRUE(f.eol);
}

TEST_F(ZrnFileTest, ShellFileOpensTheRecordJustAdded) {
  ZrnFile f;
  f.Add("first.txt", "/home/u/docs", 0);
  f.ShellFile();
  f.Add("second.txt", "/home/u", 0);
  f.ShellFile();
  f.Add("root.txt", "/", 0);  // a root keeps its own "/"
  f.ShellFile();
  ASSERT_EQ(launcher.calls.size(), 3u);
  EXPECT_EQ(launcher.calls[0].target, "/home/u/docs/first.txt");
  EXPECT_EQ(launcher.calls[1].target, "/home/u/second.txt");
  EXPECT_EQ(launcher.calls[2].target, "/root.txt");
  // Each application starts in its file's folder.
  EXPECT_EQ(launcher.calls[0].dir, "/home/u/docs");
  EXPECT_EQ(launcher.calls[1].dir, "/home/u");
  EXPECT_EQ(launcher.calls[2].dir, "/");
  ZrnFile empty;
  empty.ShellFile();
  EXPECT_EQ(launcher.calls.size(), 3u);
}

TEST_F(ZrnFileTest, WebAddresses) {
  EXPECT_EQ(ZrnFile::BuildURL("New York", WebAtlas),
            "https://www.openstreetmap.org/search?query=New%20York&sender=Brindle");
  EXPECT_EQ(ZrnFile::BuildURL("serendipity", WebDictionary),
            "https://en.wiktionary.org/w/index.php?search=serendipity&sender=Brindle");
  EXPECT_EQ(ZrnFile::BuildURL("AT&T", WebSearch),
            "https://duckduckgo.com/?q=AT%26T&sender=Brindle");
  for (int wt = WebAtlas; wt <= WebArts; ++wt) {
    std::string url = ZrnFile::BuildURL("word", wt);
    EXPECT_EQ(url.rfind("https://", 0), 0u) << wt;
    EXPECT_NE(url.find("word"), std::string::npos) << wt;
  }
  EXPECT_EQ(ZrnFile::BuildURL("word", -1), "");
  EXPECT_EQ(ZrnFile::BuildURL("word", 8), "");

  ZrnFile f;
  f.ShellURL("Paris", WebEncyclopedia);
  f.ShellURL("Paris", 99);
  ASSERT_EQ(launcher.calls.size(), 1u);
  EXPECT_EQ(launcher.calls[0].target,
            "https://en.wikipedia.org/w/index.php?search=Paris&go=go&sender=Brindle");
}

TEST_F(ZrnFileTest, LongTextIsCutToTheAddressBuffer) {
  std::string text(400, 'x');
  text[150] = ' ';
  for (int wt = WebAtlas; wt <= WebArts; ++wt) {
    std::string url = ZrnFile::BuildURL(text.c_str(), wt);
    EXPECT_LE(url.size(), kUrlBufferSize - 1);
    EXPECT_NE(url.find("sender=Brindle"), std::string::npos);
    EXPECT_EQ(url.find('%', url.size() - 20), std::string::npos);  // no escape cut in half
  }
}

TEST_F(ZrnFileTest, MakersPageFromTheHelpDirectory) {
  std::string dir = TestEnv::FreshDir("help");
  std::ofstream(dir + "ZarnsDoc1.htm") << "<html></html>";
  setenv("ZARNS_HELP_DIR", dir.c_str(), 1);
  std::string canon = std::filesystem::canonical(dir).string() + "/";
  EXPECT_EQ(ZrnFile::HelpDir(), canon);
  EXPECT_EQ(ZrnFile::BuildURL("ZarnsDoc1.htm", WebBrindle),
            "file://" + canon + "ZarnsDoc1.htm?sender=Brindle");
  // A page name that would not fit opens nothing rather than a cut name.
  EXPECT_EQ(ZrnFile::BuildURL(std::string(200, 'p').c_str(), WebBrindle), "");
  unsetenv("ZARNS_HELP_DIR");
}

TEST_F(ZrnFileTest, MakersPageIsFoundFromTheBuildTree) {
  unsetenv("ZARNS_HELP_DIR");
  // The test program lives below the build tree; the build copies the page there.
  const std::string built = std::string(ZARNS_BINARY_DIR) + "/resources/help/";
  ASSERT_TRUE(std::filesystem::exists(built + kMakersPage));
  EXPECT_EQ(ZrnFile::HelpDir(), std::filesystem::canonical(built).string() + "/");
  EXPECT_NE(Slurp(built + kMakersPage).find("Where your data lives"), std::string::npos);
  // The help command opens that file.
  ZrnFile f;
  f.ShellURL(kMakersPage, WebBrindle);
  ASSERT_EQ(launcher.calls.size(), 1u);
  const std::string url = launcher.calls[0].target;
  ASSERT_EQ(url.rfind("file://", 0), 0u);
  const std::string file = url.substr(7, url.find('?') - 7);
  EXPECT_TRUE(std::filesystem::exists(file)) << file;
}

TEST_F(ZrnFileTest, MakersPageFromAnInstalledOrMovedTree) {
  const std::string base = TestEnv::FreshDir("trees");
  // Installed: bin/ beside share/zarns/help.
  std::filesystem::create_directories(base + "usr/bin");
  WriteFile(base + "usr/share/zarns/help/" + kMakersPage, "<html></html>");
  EXPECT_EQ(ZrnFile::HelpDirFor(base + "usr/bin", ""),
            std::filesystem::canonical(base + "usr/share/zarns/help").string() + "/");
  // A build tree moved elsewhere carries its copy beside the programs.
  WriteFile(base + "moved/build/resources/help/" + kMakersPage, "<html></html>");
  EXPECT_EQ(ZrnFile::HelpDirFor(base + "moved/build", ""),
            std::filesystem::canonical(base + "moved/build/resources/help").string() + "/");
  // The environment wins over both.
  WriteFile(base + "own/" + kMakersPage, "<html></html>");
  EXPECT_EQ(ZrnFile::HelpDirFor(base + "moved/build", base + "own"),
            std::filesystem::canonical(base + "own").string() + "/");
}
