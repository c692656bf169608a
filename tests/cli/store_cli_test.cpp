// zarns-cli store ...: output formats and exit codes, run as a user would.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <string>

#include "cli/cli_runner.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pfile.h"

namespace {

// Runs zarns-cli with `args` (each quoted), feeding `input` on stdin.
CliRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
  return RunZarnsCli(args, input, TestEnv::Root() + "cli");
}

class StoreCli : public ::testing::Test {
 protected:
  void SetUp() override { TestEnv::ClearDataDir(); }
};

TEST_F(StoreCli, SetGetListBrowse) {
  EXPECT_EQ(Cli({"store", "set", "Greet", " hello there\nzdesc Says hello\nzuse Greet"}).rc, 0);
  EXPECT_EQ(Cli({"store", "set", "sig"}, "Best regards,\nMe\n").rc, 0);  // value from stdin
  CliRun r = Cli({"store", "get", "greet"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, " hello there\n");
  EXPECT_EQ(Cli({"store", "get", "SIG"}).out, "Best regards,\nMe\n");
  r = Cli({"store", "get", "missing"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Cli({"store", "list"}).out, "Greet\nsig\n");
  r = Cli({"store", "browse", "GREET"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "Says hello\n--\nGreet\n");
  EXPECT_EQ(Cli({"store", "browse", "sig"}).out, "--\n");
  EXPECT_EQ(Cli({"store", "browse", "nope"}).rc, 1);
}

TEST_F(StoreCli, RefusedStoreExitsWithOne) {
  CliRun r = Cli({"store", "set", "two words", "v"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("cannot store"), std::string::npos);
  EXPECT_EQ(Cli({"store", "list"}).out, "");
  // One line naming the one cause.
  EXPECT_EQ(r.err,
            "store: cannot store \"two words\": the name is empty, longer than 79 characters, or "
            "holds white space\n");
  r = Cli({"store", "set", "big", std::string(5000, 'x')});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.err, "store: cannot store \"big\": the text is longer than 4095 bytes\n");
}

TEST_F(StoreCli, LoadPackagesAndReset) {
  std::string pkg = TestEnv::Root() + "cli.pkg";
  ASSERT_TRUE(plat::WriteFileAtomic(pkg, "ZPKG clitools\nztxt one 1\nzfnc two 2\n"));
  CliRun r = Cli({"store", "load", pkg});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "clitools: 2 zarns\n");
  EXPECT_EQ(Cli({"store", "packages"}).out, "clitools\n");
  EXPECT_EQ(Cli({"store", "get", "two"}).out, " 2\n");

  std::string bad = TestEnv::Root() + "bad.pkg";
  ASSERT_TRUE(plat::WriteFileAtomic(bad, ""));
  r = Cli({"store", "load", bad});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("Error: Error Reading Zarn Package"), std::string::npos) << r.err;

  EXPECT_EQ(Cli({"store", "reset"}).rc, 0);
  EXPECT_EQ(Cli({"store", "list"}).out, "");
  EXPECT_EQ(Cli({"store", "packages"}).out, "");
}

}  // namespace

namespace {

TEST_F(StoreCli, DeleteDescribeMembersExport) {
  std::string pkg = TestEnv::Root() + "t.pkg";
  ASSERT_TRUE(plat::WriteFileAtomic(pkg, "ZPKG Tools\nztxt one 1\nzdesc First\nztxt two 2\n"));
  ASSERT_EQ(Cli({"store", "load", pkg}).rc, 0);
  ASSERT_EQ(Cli({"store", "set", "loose", " l"}).rc, 0);
  EXPECT_EQ(Cli({"store", "members", "tools"}).out, "one\ntwo\n");
  EXPECT_EQ(Cli({"store", "members", "nope"}).rc, 1);
  // Describe: prints, then stores each line followed by CR LF, the text kept
  // as well (as Modify stores both edits).
  EXPECT_EQ(Cli({"store", "describe", "one"}).out, "First\n--\n");
  EXPECT_EQ(Cli({"store", "describe", "one", "--usage", "one\nthen Alt+R"}).rc, 0);
  EXPECT_EQ(Cli({"store", "browse", "one"}).out, "First\r\n--\none\r\nthen Alt+R\r\n");
  EXPECT_EQ(Cli({"store", "describe", "missing", "--usage", "x"}).rc, 1);
  // Export the package and everything; a reset and a load give them back.
  std::string one = TestEnv::Root() + "one.pkg", all = TestEnv::Root() + "all.pkg";
  CliRun r = Cli({"store", "export", "TOOLS", one});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "Tools: 2 zarns\n");
  EXPECT_EQ(Slurp(one),
            "ZPKG Tools\r\nztxt one 1\nzdesc First\r\nzuse one\r\nthen Alt+R\r\nztxt two 2\n");
  EXPECT_EQ(Cli({"store", "export", all}).out, "all: 3 zarns\n");
  // Delete: gone from lookups, the list and its package.
  EXPECT_EQ(Cli({"store", "delete", "ONE"}).rc, 0);
  EXPECT_EQ(Cli({"store", "get", "one"}).rc, 1);
  EXPECT_EQ(Cli({"store", "members", "Tools"}).out, "two\n");
  EXPECT_EQ(Cli({"store", "list"}).out, "two\nloose\n");
  r = Cli({"store", "delete", "one"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("No zarn named \"one\" is stored."), std::string::npos) << r.err;
  ASSERT_EQ(Cli({"store", "reset"}).rc, 0);
  EXPECT_EQ(Cli({"store", "load", all}).out, "all: 3 zarns\n");
  EXPECT_EQ(Cli({"store", "list"}).out, "one\ntwo\nloose\n");
  EXPECT_EQ(Cli({"store", "get", "one"}).out, " 1\n");
  EXPECT_EQ(Cli({"store", "browse", "one"}).out, "First\r\n--\none\r\nthen Alt+R\r\n");
}

}  // namespace

namespace {

TEST_F(StoreCli, SetTwiceReplaces) {
  EXPECT_EQ(Cli({"store", "set", "addr", " 1 Main St"}).rc, 0);
  EXPECT_EQ(Cli({"store", "set", "other", " o"}).rc, 0);
  EXPECT_EQ(Cli({"store", "set", "ADDR", " 2 High St"}).rc, 0);
  CliRun r = Cli({"store", "get", "addr"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, " 2 High St");
  EXPECT_EQ(Cli({"store", "list"}).out, "addr\nother\n");
  EXPECT_EQ(Cli({"store", "get", "other"}).out, " o");
}

}  // namespace
