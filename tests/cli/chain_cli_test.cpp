// zarns-cli run on runs of numbers and operators, and on numbers beside a
// catalogued file whose name holds them, as a user types them in a shell.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "common/testenv.h"
#include "platform/pfile.h"

namespace {

class ChainCli : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    dir = TestEnv::FreshDir("chaincli-" + std::to_string(++n_));
  }
  CliRun Cli(const std::vector<std::string>& args) { return RunZarnsCli(args, "", dir, dir); }
  void Put(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(plat::WriteFileAtomic(dir + name, bytes));
  }
  std::string dir;
  static inline int n_ = 0;
};

}  // namespace

TEST_F(ChainCli, RunsPrintTheirValue) {
  struct Case {
    const char* text;
    const char* out;
  };
  for (const Case& c :
       {Case{"1 + 2 + 3 + 4", "10 "}, Case{"2 + 3 * 4", "14 "}, Case{"(2 + 3) * 4", "20 "},
        Case{"1,200 + 85 + 40", "1325 "},
        Case{"Total 1,200 + 85 + 40 + 450 + 120 + 300", "Total 2195 "}, Case{"3 + 4", "7 "},
        Case{"7 / 0", "0 "}, Case{"Rent 1,200 + Food 450", "Rent 1200 450"},
        Case{"keep\n1 + 2 + 3\n", "keep\n6 \n"}}) {
    Put("t", c.text);
    const CliRun r = Cli({"run", "t"});
    EXPECT_EQ(r.rc, 0) << c.text;
    EXPECT_EQ(r.out, c.out) << c.text;
  }
}

TEST_F(ChainCli, NumbersOfferNoFileToOpen) {
  const std::string corpus = TestEnv::FreshDir("chaincli-corpus");
  ASSERT_TRUE(plat::WriteFileAtomic(corpus + "report-week7.txt", "weekly figures\n"));
  ASSERT_TRUE(Cli({"catalog", "build", "--root", corpus}).rc == 0);
  ASSERT_NE(Cli({"catalog", "name", "7"}).out.find("report-week7.txt"), std::string::npos);
  Put("t", "6 x 7");
  const CliRun r = Cli({"run", "t"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.err.find("Open file now?"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("open:"), std::string::npos) << r.out;
  EXPECT_EQ(r.out, "Zarns Find Results: 7\n6 x 7");
}
