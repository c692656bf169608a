// zarns-cli run / script: output formats, exit codes and files, run as a
// user would from a shell.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "common/testenv.h"
#include "platform/pfile.h"

namespace {

using Result = CliRun;

class RunCli : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    dir = TestEnv::FreshDir("runcli-" + std::to_string(++n_));
  }
  // zarns-cli in `dir` with `args`, stdin from `input`.
  Result Cli(const std::vector<std::string>& args, const std::string& input = "") {
    return RunZarnsCli(args, input, dir, dir);
  }
  void Put(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(plat::WriteFileAtomic(dir + name, bytes));
  }
  std::string Get(const std::string& name) {
    std::string s;
    plat::ReadWholeFile(dir + name, s);
    return s;
  }
  std::string dir;
  static inline int n_ = 0;
};

}  // namespace

TEST_F(RunCli, RunKeepsTheFilesLineEndings) {
  Put("a.txt", "keep\ntotal 3 + 4\n");
  Result r = Cli({"run", "a.txt"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "keep\ntotal 7 \n");
  Put("b.txt", "keep\r\n5 * 3");
  EXPECT_EQ(Cli({"run", "b.txt"}).out, "keep\r\n15 ");
  EXPECT_EQ(Get("b.txt"), "keep\r\n5 * 3");  // not written without --in-place
}

TEST_F(RunCli, CaretSelectionAndCommands) {
  Put("c.txt", "one 2 + 2 two\nlast line\n");
  EXPECT_EQ(Cli({"run", "--command", "calculate", "--caret", "1:9", "c.txt"}).out,
            "one 4 two\nlast line\n");
  Put("d.txt", "pear\nApple\nsort\n");
  EXPECT_EQ(Cli({"run", "--command", "sort", "d.txt"}).out, "Apple\npear\nsort\n");
  Put("e.txt", "phone 555 1234\n");
  Result r = Cli({"run", "--caret", "1:0", "e.txt"});
  EXPECT_EQ(r.out, "dial: 555\nphone 555 1234\n");
  Put("f.txt", "look up New York today\n");
  r = Cli({"run", "--command", "find", "--select", "1:8-1:16", "f.txt"});
  EXPECT_EQ(r.out.substr(0, 29), "Zarns Find Results: New York\n");
  EXPECT_EQ(r.out.substr(r.out.size() - 23), "look up New York today\n");
}

TEST_F(RunCli, InPlaceWritesBack) {
  Put("g.txt", "a\n10 / 4\n");
  Result r = Cli({"run", "--in-place", "g.txt"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Get("g.txt"), "a\n2.5 \n");
}

TEST_F(RunCli, AssignmentThenExpansionAcrossRuns) {
  Put("h.txt", "sig = Kind regards\n");
  EXPECT_EQ(Cli({"run", "--caret", "1:4", "h.txt"}).rc, 0);
  Put("i.txt", "Thanks, sig\n");
  EXPECT_EQ(Cli({"run", "i.txt"}).out, "Thanks, Kind regards\n \n");
}

TEST_F(RunCli, SaveThenRunASavedScript) {
  Put("z.txt", "zarn twice\nFOR 1 TO 2\n>> hi\nENDFOR\n");
  EXPECT_EQ(Cli({"run", "--command", "save", "--caret", "1:0", "z.txt"}).rc, 0);
  Put("u.txt", "twice\n");
  Result r = Cli({"run", "u.txt"});
  EXPECT_EQ(r.out, "twice\n");  // the document itself is unchanged; the output went to output.zrn
  // The output document is saved when the run ends.
  EXPECT_EQ(Get("output.zrn"), ">> hi\nhi\n>> hi\nhi");
}

TEST_F(RunCli, ScriptWritesOutputZrnAndPrintsTheOutputDocument) {
  Put("s.txt", "x = 5\nIF x == 5\n>> five\nENDIF\nFOR 1 TO 2\n>> hi\nENDFOR\n");
  Result r = Cli({"script", "s.txt"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "x = 5\n>> five\nfive\n>> hi\nhi\n>> hi\nhi\n");
  EXPECT_EQ(Get("output.zrn"), r.out);
  EXPECT_NE(r.err.find("Instruction Matrix : "), std::string::npos);
}

TEST_F(RunCli, ErrorsAndExitCodes) {
  Result r = Cli({"run", "missing.txt"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("missing.txt"), std::string::npos);
  EXPECT_EQ(Cli({"script", "missing.txt"}).rc, 1);
  Put("k.txt", "one line\n");
  EXPECT_EQ(Cli({"run", "--caret", "5:0", "k.txt"}).rc, 2);
  EXPECT_EQ(Cli({"run", "--caret", "x", "k.txt"}).rc, 2);
  EXPECT_EQ(Cli({"run", "--select", "1:0", "k.txt"}).rc, 2);
  EXPECT_NE(Cli({"run", "--command", "bogus", "k.txt"}).rc, 0);
  Put("bad.txt", "date\nENDFOR\n");
  r = Cli({"script", "bad.txt"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Error in Macro : No for condition to end \\nat line number 2"),
            std::string::npos)
      << r.err;
}

// A saved script named by a line of a script continues in the same output
// document: one document, which output.zrn holds whole when the run ends.
TEST_F(RunCli, SavedScriptInsideAScriptKeepsOneOutputDocument) {
  Put("greet.txt", "zarn greet\n>> hello\n");
  ASSERT_EQ(Cli({"run", "--command", "save", "--caret", "1:0", "greet.txt"}).rc, 0);
  Put("s.txt", ">> before\ngreet\n>> after\n");
  Result r = Cli({"script", "s.txt"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, ">> before\nbefore\ngreet\n>> hello\nhello\n>> after\nafter\n");
  EXPECT_EQ(Get("output.zrn"), r.out);
  // Nested two deep, and named on the first line: still one document.
  Put("outer.txt", "zarn outer\ngreet\n>> out\n");
  ASSERT_EQ(Cli({"run", "--command", "save", "--caret", "1:0", "outer.txt"}).rc, 0);
  Put("t.txt", "outer\n>> end\n");
  r = Cli({"script", "t.txt"});
  EXPECT_EQ(r.out, "outer\ngreet\n>> hello\nhello\n>> out\nout\n>> end\nend\n");
  EXPECT_EQ(Get("output.zrn"), r.out);
}
