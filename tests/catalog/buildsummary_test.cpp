// The status line after a catalog build.
#include "catalog/buildsummary.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(BuildSummary, SaysWhatWasBuiltOrWhatStoppedIt) {
  BuildStats s;
  s.files = 42;
  s.words = 12345;
  s.seconds = 2.46;
  EXPECT_EQ(BuildSummary(s), "Catalog built: 42 files, 12345 words in 2.5 s");
  s.seconds = 0;
  EXPECT_EQ(BuildSummary(s), "Catalog built: 42 files, 12345 words in 0.0 s");
  s.seconds = -3;  // a clock stepped back
  EXPECT_EQ(BuildSummary(s), "Catalog built: 42 files, 12345 words in 0.0 s");
  s.seconds = std::nan("");
  EXPECT_EQ(BuildSummary(s), "Catalog built: 42 files, 12345 words in 0.0 s");
  s.files = 4294967295u;
  s.words = 4294967295u;
  s.seconds = 1e300;  // never overflows the line
  EXPECT_EQ(BuildSummary(s).rfind("Catalog built: 4294967295 files, 4294967295 words in ", 0), 0u);
  s.cancelled = true;
  EXPECT_EQ(BuildSummary(s), "Catalog build cancelled.");
  s.failed = true;  // failure wins: nothing was built
  EXPECT_EQ(BuildSummary(s).rfind("Catalog not built", 0), 0u);
}
