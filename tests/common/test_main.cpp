// Every test process gets a fresh, private data directory and XDG tree, so
// tests never touch the user's files and can run in parallel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/testenv.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  TestEnv::Setup();
  int rc = RUN_ALL_TESTS();
  TestEnv::Teardown();
  return rc;
}
