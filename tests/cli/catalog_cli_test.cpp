// zarns-cli catalog ... and registry ...: output formats and exit codes,
// run as a user would; and the command line's host on its own.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "cli/cli_runner.h"
#include "cli/clihost.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"

namespace {

CliRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
  return RunZarnsCli(args, input, TestEnv::Root() + "catcli");
}

class CatalogCli : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    mime = TestEnv::Root() + "catcli-mime.types";
    std::ofstream(mime)
        << "text/plain txt\ntext/markdown md\naudio/mpeg mp3\napplication/rtf rtf\n";
    setenv("ZARNS_MIME_TYPES", mime.c_str(), 1);
    tree = TestEnv::FreshDir("clitree");
    WriteFile(tree + "pets/kitty.txt", "The kitty naps with the hound");
    WriteFile(tree + "pets/hound.txt", "A hound barks; another hound answers");
    WriteFile(tree + "zoo/kitty.txt", "Tigers are large kitty relatives");
    WriteFile(tree + "zoo/tune.mp3", "ID3");
    r = std::filesystem::canonical(tree).string() + "/";
  }
  void TearDown() override { unsetenv("ZARNS_MIME_TYPES"); }
  std::string mime, tree, r;
};

}  // namespace

TEST_F(CatalogCli, BuildFindName) {
  CliRun b = Cli({"catalog", "build", "--root", tree});
  EXPECT_EQ(b.rc, 0);
  EXPECT_EQ(b.out, "");
  EXPECT_TRUE(std::regex_match(
      b.err, std::regex("catalog: 3 directories, [0-9]+ files, [0-9]+ words, 1 catalogs, "
                        "[0-9]+\\.[0-9][0-9] seconds\n")))
      << b.err;

  CliRun f = Cli({"catalog", "find", "Kitty"});
  EXPECT_EQ(f.rc, 0);
  EXPECT_EQ(f.out, "kitty.txt\t" + r + "pets\nkitty.txt\t" + r + "zoo\n");
  f = Cli({"catalog", "find", "hound", "KITTY"});
  EXPECT_EQ(f.out, "kitty.txt\t" + r + "pets\n");
  f = Cli({"catalog", "find", "kitty", "xyzzy"});
  EXPECT_EQ(f.rc, 1);
  EXPECT_EQ(f.out, "");
  EXPECT_EQ(f.err, "");  // the hits of "kitty" count: no box
  f = Cli({"catalog", "find", "xyzzy"});
  EXPECT_EQ(f.rc, 1);
  EXPECT_EQ(f.err, "No Match found\n");

  // The file-name search, in files-buffer order; the .mp3 is there too
  // (recorded by name), and each .txt twice (both lists hold it).
  CliRun n = Cli({"catalog", "name", "tune"});
  EXPECT_EQ(n.rc, 0);
  EXPECT_EQ(n.out, "tune.mp3\t" + r + "zoo\n");
  n = Cli({"catalog", "name", "hound"});
  EXPECT_EQ(n.out, "hound.txt\t" + r + "pets\nhound.txt\t" + r + "pets\n");
  n = Cli({"catalog", "name", "nothing"});
  EXPECT_EQ(n.rc, 1);
  EXPECT_EQ(n.out, "");
}

TEST_F(CatalogCli, Roots) {
  CliRun s = Cli({"catalog", "roots"});
  EXPECT_EQ(s.rc, 0);
  EXPECT_EQ(s.out, TestEnv::Root() + "home/\n");
  std::string other = TestEnv::FreshDir("otherroot");
  s = Cli({"catalog", "roots", tree, other});
  EXPECT_EQ(s.rc, 0);
  EXPECT_EQ(s.out, tree + "\n" + other + "\n");
  EXPECT_EQ(Cli({"catalog", "roots"}).out, tree + "\n" + other + "\n");
  s = Cli({"catalog", "roots", tree + "missing"});
  EXPECT_EQ(s.rc, 2);
  EXPECT_EQ(Cli({"catalog", "roots"}).out, tree + "\n" + other + "\n");  // unchanged
  // A build without --root walks the configured roots.
  Cli({"catalog", "roots", tree + "zoo"});
  Cli({"catalog", "build"});
  EXPECT_EQ(Cli({"catalog", "find", "kitty"}).out, "kitty.txt\t" + r + "zoo/\n");
  EXPECT_EQ(Cli({"catalog", "roots", "--default"}).out, TestEnv::Root() + "home/\n");
}

TEST_F(CatalogCli, Registry) {
  EXPECT_EQ(Cli({"registry", "rebuild"}).rc, 0);
  EXPECT_EQ(Cli({"registry", "extensions"}).out, ".md\n.txt\n.hlp\n.txt\n.xls\n.ppt\n");
  EXPECT_EQ(Cli({"registry", "categories"}).out, "application\naudio\ntext\n");
  EXPECT_EQ(Cli({"registry", "types", "text"}).out, ".md\n.txt\n");

  CliRun a = Cli({"registry", "add-category", "Music"});
  EXPECT_EQ(a.rc, 0);
  EXPECT_EQ(
      a.err,
      "Category added: Note, file lists for this category will not appear until after next scan\\n"
      "To rescan choose menu options:\\nSearch; Word Catalog; Rescan\n");
  a = Cli({"--answer", "cancel", "registry", "add-extension", "Music", ".ogg"});
  EXPECT_EQ(a.rc, 0);
  EXPECT_EQ(a.err,
            "Category File Type added: Note, file lists for this Category/file type \\nwill not "
            "appear until "
            "after next scan\n");
  a = Cli({"registry", "add-extension", "Music", ""});
  EXPECT_EQ(a.rc, 1);
  EXPECT_EQ(a.err, "Extension can not be empty: Error adding new category\n");
  Cli({"registry", "rebuild"});
  EXPECT_EQ(Cli({"registry", "types", "Music"}).out, ".ogg\n");

  EXPECT_EQ(Cli({"registry", "set-extensions", ".md"}).rc, 0);
  EXPECT_EQ(Cli({"registry", "extensions"}).out, ".md\n");

  WriteFile(tree + "music/song.ogg", "OggS");
  Cli({"catalog", "build", "--root", tree});
  CliRun f = Cli({"registry", "files", ".OGG"});
  EXPECT_EQ(f.rc, 0);
  EXPECT_EQ(f.out, "song.ogg\t" + r + "music\n");
  EXPECT_EQ(Cli({"registry", "files", ".wav"}).rc, 1);
}

TEST_F(CatalogCli, OpenByNameThroughTheHost) {
  Cli({"catalog", "build", "--root", tree});
  // One find: the question on stderr, answered OK, and the launch on stdout.
  CliRun o = Cli({"catalog", "open", "tune"});
  EXPECT_EQ(o.rc, 0);
  EXPECT_EQ(o.err, "Open file now?: tune.mp3\n");
  EXPECT_EQ(o.out, "open: " + r + "zoo/tune.mp3\n");
  o = Cli({"--answer", "cancel", "catalog", "open", "tune"});
  EXPECT_EQ(o.out, "");
  // Several: the Find results dialog, names sorted, with directories.
  o = Cli({"catalog", "open", "kitty"});
  EXPECT_EQ(o.rc, 0);
  EXPECT_EQ(o.out,
            "Zarns Find Results: kitty.txt\n"
            "\tkitty.txt\t" +
                r + "pets\n\tkitty.txt\t" + r +
                "pets\n"
                "\tkitty.txt\t" +
                r + "zoo\n\tkitty.txt\t" + r + "zoo\n");
  EXPECT_EQ(Cli({"catalog", "open", "nothing"}).rc, 1);
}

TEST_F(CatalogCli, NamesAreEscapedOnOutput) {
  WriteFile(tree + "odd/tab\there.txt", "escaped name words");
  Cli({"catalog", "build", "--root", tree});
  EXPECT_EQ(Cli({"catalog", "find", "escaped"}).out, "tab\\there.txt\t" + r + "odd\n");
}

// A build while another holds the build lock: one line, status 3, nothing
// touched. A build that cannot put its catalog in place: status 1 with the
// cause, never the success line. A search on a damaged catalog: status 4.
TEST_F(CatalogCli, SecondBuildFailedBuildAndDamagedCatalog) {
  ASSERT_EQ(Cli({"catalog", "build", "--root", tree}).rc, 0);
  // Another build running: a child process holds the build lock.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    plat::Fs().Open(plat::DataPath("catbuild.lock"), plat::Access::Write,
                    plat::Creation::OpenAlways);
    char c = 1;
    if (::write(fds[1], &c, 1) != 1) ::_exit(2);
    for (;;) ::pause();
  }
  char c = 0;
  ASSERT_EQ(::read(fds[0], &c, 1), 1);
  CliRun b = Cli({"catalog", "build", "--root", tree});
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_EQ(b.rc, 3);
  EXPECT_EQ(b.err, "zarns-cli: another catalog build is running; this one was not started\n");
  EXPECT_EQ(Cli({"catalog", "find", "kitty"}).rc, 0);

  // Something that is not a file where the paths table belongs.
  std::filesystem::remove(plat::DataPath("DESt.007"));
  std::filesystem::create_directory(plat::DataPath("DESt.007"));
  b = Cli({"catalog", "build", "--root", tree});
  EXPECT_EQ(b.rc, 1);
  EXPECT_EQ(b.err,
            "zarns-cli: the catalog could not be built (input/output error); the previous one "
            "is kept\n");
  EXPECT_EQ(Cli({"catalog", "find", "kitty"}).out,
            "kitty.txt\t" + r + "pets\nkitty.txt\t" + r + "zoo\n");
  std::filesystem::remove(plat::DataPath("DESt.007"));

  // The match file names the middle of a file name.
  ASSERT_EQ(Cli({"catalog", "build", "--root", tree}).rc, 0);
  std::string ncs;
  ASSERT_TRUE(plat::ReadWholeFile(plat::DataPath("NCS.007"), ncs));
  for (std::size_t p = 4; p + 8 <= ncs.size(); p += 12) ncs[p] = 3;
  plat::WriteDataFileAtomic(plat::DataPath("NCS.007"), ncs);
  CliRun f = Cli({"catalog", "find", "kitty"});
  EXPECT_EQ(f.rc, 4);
  EXPECT_EQ(f.out, "");
  EXPECT_NE(f.err.find("The word catalog is damaged"), std::string::npos) << f.err;
}
