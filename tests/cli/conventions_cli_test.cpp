// zarns-cli's --help, --version and the exit status of a command line it
// cannot understand.
#include <gtest/gtest.h>

#include <string>

#include "catalog/zrnfile.h"
#include "cli/cli_runner.h"
#include "common/testenv.h"

namespace {

CliRun Cli(const std::vector<std::string>& args) {
  return RunZarnsCli(args, "", TestEnv::Root() + "conv");
}

TEST(CliConventions, VersionOnStdout) {
  CliRun r = Cli({"--version"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, std::string("zarns-cli ") + ZARNS_VERSION + "\n");
  EXPECT_EQ(r.err, "");
}

TEST(CliConventions, HelpListsCommandsExitStatusAndHelpPages) {
  CliRun r = Cli({"--help"});
  EXPECT_EQ(r.rc, 0);
  for (const char* word : {"catalog", "store", "run", "--version", "Exit status: 0 done"})
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  // The program's help directory, as the test programs beside it find it.
  EXPECT_NE(r.out.find("Help pages: "), std::string::npos) << r.out;
  EXPECT_EQ(Cli({"catalog", "--help"}).rc, 0);
}

TEST(CliConventions, MisunderstoodCommandLinesExitTwo) {
  TestEnv::ClearDataDir();
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"nosuchcommand"},
                                             {"catalog"},
                                             {"catalog", "find"},
                                             {"catalog", "build", "--nosuchoption"},
                                             {"run", "--command", "nosuch", "file.txt"}}) {
    CliRun r = Cli(args);
    std::string line;
    for (auto& a : args) line += a + " ";
    EXPECT_EQ(r.rc, 2) << line << r.err;
    EXPECT_NE(r.err, "") << line;
  }
}

}  // namespace
