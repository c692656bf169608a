// The catalog's directory walk on its own: what it hands the visitor, what
// it leaves out, and what ends it.
#include "catalog/catwalk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "catalog/buildprogress.h"
#include "common/testenv.h"

namespace fs = std::filesystem;

namespace {

class Recorder : public CatalogWalk::Visitor {
 public:
  bool KeepGoing() override { return stopAt < 0 || ++asked < stopAt; }
  void Catalog(const std::string& path, plat::Directory&,
               const std::vector<CatalogWalk::Entry>& entries) override {
    std::string line = path + ":";
    for (auto& e : entries) line += " " + e.name;
    cataloged.push_back(line);
  }
  int stopAt = -1, asked = 0;
  std::vector<std::string> cataloged;
};

class Progress : public SilentProgress {
 public:
  void SetHeadText(const std::string& t) override { heads.push_back(t); }
  void SetDirNumText(int n) override { counts.push_back(n); }
  bool StepVal(const std::string& dir) override {
    steps.push_back(dir);
    return true;
  }
  std::vector<std::string> heads, steps;
  std::vector<int> counts;
};

std::string Root(const std::string& name) {
  return fs::canonical(TestEnv::FreshDir(name)).string() + "/";
}

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

}  // namespace

TEST(CatalogWalk, EveryEntrySortedToTheVisitorButOnlyPlainDirectoriesEntered) {
  std::string r = Root("walk-entries");
  fs::create_directories(r + "b/inner");
  fs::create_directories(r + "a.dir");
  fs::create_directories(r + ".hidden");
  Touch(r + "c.txt");
  Touch(r + "b/f.txt");
  fs::create_directory_symlink(r + "b", r + "link");
  Recorder v;
  Progress p;
  CatalogWalk walk(p, v);
  walk.Walk({r});
  EXPECT_EQ(v.cataloged, (std::vector<std::string>{r + "b: f.txt inner", r + "b/inner:",
                                                   r + ": .hidden a.dir b c.txt link"}));
  EXPECT_EQ(p.steps, (std::vector<std::string>{r + "b", r + "b/inner", r + "b", r + "b/inner", r}));
  EXPECT_FALSE(walk.Cancelled());
}

TEST(CatalogWalk, AVisitorThatStopsEndsTheWholeWalkWithoutACancel) {
  std::string r1 = Root("walk-stop1"), r2 = Root("walk-stop2");
  for (const char* d : {"a", "b", "c"}) fs::create_directories(r1 + d);
  fs::create_directories(r2 + "d");
  Recorder v;
  v.stopAt = 4;  // three directories counted, then no more
  Progress p;
  CatalogWalk walk(p, v);
  walk.Walk({r1, r2});
  EXPECT_TRUE(v.cataloged.empty());
  EXPECT_EQ(p.steps.size(), 3u);
  EXPECT_EQ(p.heads, std::vector<std::string>{"Drive " + r1});  // the second root is not begun
  EXPECT_FALSE(walk.Cancelled());
}

TEST(CatalogWalk, PathsLongerThanAStoredStringCanHoldAreNotEntered) {
  // Directories whose paths are exactly kMaxPath and kMaxPath + 1 bytes
  // long, made relative to their parent (an absolute path that long cannot
  // be opened).
  std::string r = Root("walk-long"), prefix = r;
  const std::string seg(200, 's');
  while (CatalogWalk::kMaxPath - prefix.size() > 254) prefix += seg + "/";
  fs::create_directories(prefix);
  const std::size_t room = CatalogWalk::kMaxPath - prefix.size();
  ASSERT_LT(room + 1, 256u);
  const std::string fits(room, 'f'), over(room + 1, 'o');
  int parent = ::open(prefix.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(parent, 0);
  ASSERT_EQ(::mkdirat(parent, fits.c_str(), 0755), 0);
  ASSERT_EQ(::mkdirat(parent, over.c_str(), 0755), 0);
  ::close(parent);
  Recorder v;
  Progress p;
  CatalogWalk walk(p, v);
  walk.Walk({r});
  const std::string dir = prefix.substr(0, prefix.size() - 1);
  bool sawFits = false;
  for (auto& line : v.cataloged) {
    std::string path = line.substr(0, line.find(':'));
    EXPECT_LE(path.size(), CatalogWalk::kMaxPath);
    if (path == prefix + fits) sawFits = true;
    if (path == dir) {
      EXPECT_EQ(line, dir + ": " + fits + " " + over);
    }
  }
  EXPECT_TRUE(sawFits);
}

TEST(CatalogWalk, TheCountingPassShowsItsCountEveryHundredDirectories) {
  std::string r = Root("walk-count");
  for (int i = 0; i < 150; ++i) fs::create_directories(r + "d" + std::to_string(1000 + i));
  Recorder v;
  Progress p;
  CatalogWalk walk(p, v);
  walk.Walk({r});
  // 100 during the count, the total when cataloging begins; nothing while cataloging.
  EXPECT_EQ(p.counts, (std::vector<int>{100, 150}));
  EXPECT_EQ(v.cataloged.size(), 151u);
}

TEST(CatalogWalk, ADirectoryThatMayNotBeEnteredIsSteppedOverButNotCataloged) {
  std::string r = Root("walk-deny");
  fs::create_directories(r + "a");
  fs::create_directories(r + "b/c");
  Recorder v;
  Progress p;
  CatalogWalk walk(p, v);
  walk.canEnter = [&](const std::string& path) { return path != r + "b"; };
  walk.Walk({r});
  EXPECT_EQ(v.cataloged, (std::vector<std::string>{r + "a:", r + ": a b"}));
  EXPECT_EQ(p.steps, (std::vector<std::string>{r + "a", r + "b", r + "a", r + "b", r}));
}

// The counting pass's listings, kept for the cataloging pass within the
// budget: the visitor sees the same whether all, some or none were kept.
// What changes between the passes is seen as the listing was taken: a
// directory gone by then is stepped over, as one that cannot be opened.
TEST(CatalogWalk, ListingsKeptFromTheCountGiveWhatListingAgainGives) {
  std::string r = Root("walk-keep");
  for (int d = 0; d < 12; ++d) {
    const std::string dir = r + "d" + std::to_string(10 + d) + "/";
    fs::create_directories(dir + "inner");
    for (int f = 0; f < 5; ++f) Touch(dir + "file-with-a-long-name-" + std::to_string(f) + ".txt");
  }
  Touch(r + "top.txt");
  std::vector<std::vector<std::string>> seen;
  for (std::size_t budget : {std::size_t{8} << 20, std::size_t{2000}, std::size_t{0}}) {
    Recorder v;
    Progress p;
    CatalogWalk walk(p, v);
    walk.listingBudget = budget;
    walk.Walk({r});
    seen.push_back(v.cataloged);
  }
  ASSERT_EQ(seen[0].size(), 25u);
  EXPECT_EQ(seen[1], seen[0]);
  EXPECT_EQ(seen[2], seen[0]);
  // A directory removed after the count: not cataloged, and the rest is.
  class RemoveAfterCount : public Recorder {
   public:
    explicit RemoveAfterCount(std::string dir) : dir_(std::move(dir)) {}
    void Catalog(const std::string& path, plat::Directory& d,
                 const std::vector<CatalogWalk::Entry>& entries) override {
      if (!removed_) fs::remove_all(dir_);
      removed_ = true;
      Recorder::Catalog(path, d, entries);
    }

   private:
    std::string dir_;
    bool removed_ = false;
  };
  RemoveAfterCount v(r + "d21");
  Progress p;
  CatalogWalk walk(p, v);
  walk.Walk({r});
  EXPECT_EQ(v.cataloged.size(), 23u);
  for (auto& line : v.cataloged) EXPECT_EQ(line.find(r + "d21"), std::string::npos) << line;
}
