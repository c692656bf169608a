// zarns-cli store ...: output formats and exit codes, run as a user would.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <string>

#include "cli/cli_runner.h"
#include "common/testenv.h"
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
