// Two processes storing at once: each waits for the other's locks instead of
// refusing, and every zarn of both ends up stored and found with its text.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "store/zrnlvl_helpers.h"
#include "store/zrnpkgop.h"

using namespace storetest;

namespace {

using StoreConcurrent = StoreTest;

// In a child: stores `count` zarns named <prefix><i>, alternating plain
// stores and browse-text changes; exits with the number refused.
[[noreturn]] void Writer(const std::string& prefix, int count) {
  ZrnIO io;
  ZrnLvl1 store(io);
  int refused = 0;
  for (int i = 0; i < count; ++i) {
    std::string name = prefix + std::to_string(i), value = " v" + std::to_string(i) + " zdesc d";
    if (!store.Set(name, value)) ++refused;
    if (i % 10 == 9) {
      std::string n = prefix + std::to_string(i - 5), d = "changed " + std::to_string(i), u = "";
      if (!store.ModifyBrowseInfo(n, d, u)) ++refused;
    }
  }
  _exit(refused > 250 ? 250 : refused);
}

TEST_F(StoreConcurrent, TwoWritingProcessesLoseNothing) {
  ASSERT_TRUE(Store("before", " first"));
  constexpr int kEach = 60;
  pid_t a = fork();
  if (a == 0) Writer("A", kEach);
  pid_t b = fork();
  if (b == 0) Writer("B", kEach);
  int sa = 0, sb = 0;
  ASSERT_EQ(waitpid(a, &sa, 0), a);
  ASSERT_EQ(waitpid(b, &sb, 0), b);
  ASSERT_TRUE(WIFEXITED(sa) && WIFEXITED(sb));
  EXPECT_EQ(WEXITSTATUS(sa), 0);  // refusals
  EXPECT_EQ(WEXITSTATUS(sb), 0);
  files.zarnIndex = ZarnNameIndex{};
  EXPECT_EQ(Def("before"), " first");
  for (const char* p : {"A", "B"}) {
    for (int i = 0; i < kEach; ++i) {
      std::string name = p + std::to_string(i);
      EXPECT_EQ(Def(name), " v" + std::to_string(i) + " ") << name;
      std::string n = name, d, u;
      ASSERT_TRUE(lvl.GetBrowseInfo(n, d, u));
      bool changed = i % 10 == 4;
      EXPECT_EQ(d, changed ? "changed " + std::to_string(i + 5) : std::string("d")) << name;
    }
  }
  EXPECT_EQ(List().size(), 2u * kEach + 2);  // and the one empty name after the last
}

}  // namespace
