// Running a helper program: its output, its status, its input, and
// programs that are missing or never read their input.
#include "platform/pprocess.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/testenv.h"
#include "common/testfiles.h"

TEST(RunProcess, CollectsOutputStatusAndInput) {
  plat::ProcessResult r = plat::RunProcess({"sh", "-c", "cat; echo err >&2; exit 3"}, "in\0put");
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.status, 3);
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.out, "in");  // the literal ends at its NUL
  EXPECT_EQ(r.err, "err\n");
  // Large input to a program that never reads it: no SIGPIPE, no hang.
  r = plat::RunProcess({"true"}, std::string(1 << 20, 'x'));
  EXPECT_TRUE(r.Ok());
  // Large output both ways at once.
  r = plat::RunProcess({"sh", "-c", "head -c 300000 /dev/zero; head -c 300000 /dev/zero >&2"});
  EXPECT_EQ(r.out.size(), 300000u);
  EXPECT_EQ(r.err.size(), 300000u);
  r = plat::RunProcess({"cat"}, std::string(500000, 'y'));
  EXPECT_EQ(r.out, std::string(500000, 'y'));
  r = plat::RunProcess({"no-such-program-zarns"});
  EXPECT_FALSE(r.started);
  EXPECT_FALSE(r.Ok());
  EXPECT_FALSE(plat::RunProcess({}).started);
}

TEST(RunProcess, FindsProgramsOnPath) {
  const std::string dir = TestEnv::FreshDir("pathbin");
  WriteFile(dir + "tool", "#!/bin/sh\n");
  WriteFile(dir + "plain", "not executable");
  ASSERT_EQ(std::system(("chmod 755 '" + dir + "tool'").c_str()), 0);
  const char* saved = std::getenv("PATH");
  const std::string keep = saved ? saved : "";
  setenv("PATH", ("relative::" + dir + ":/usr/bin:/bin").c_str(), 1);
  EXPECT_EQ(plat::FindOnPath("tool"), dir + "tool");
  EXPECT_EQ(plat::FindOnPath("plain"), "");
  EXPECT_EQ(plat::FindOnPath("no-such-program-zarns"), "");
  EXPECT_EQ(plat::FindOnPath(dir + "tool"), dir + "tool");
  EXPECT_EQ(plat::FindOnPath(""), "");
  setenv("PATH", keep.c_str(), 1);
}
