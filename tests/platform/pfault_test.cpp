// Every file operation of a whole write failing in turn: what was stored
// before is intact, or the write completed, and never anything between.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/faultfs.h"
#include "common/testenv.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "platform/pregistry.h"

using namespace plat;

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Writes `bytes` as a new file (a new inode), the way another copy would.
void Replace(const std::string& path, const std::string& bytes) {
  std::ofstream(path + ".put", std::ios::binary) << bytes;
  std::filesystem::rename(path + ".put", path);
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

int Mode(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

}  // namespace

TEST(FaultFs, FailsExactlyTheNthOperationOrEveryOneFromIt) {
  std::string f = TestEnv::FreshDir("nth") + "x";
  FaultFs fs;
  FaultFs::Scope scope(fs);
  fs.ArmNth(3);
  HANDLE h = Fs().Open(f, Access::Write, Creation::CreateNew);  // 1
  ASSERT_TRUE(IsOpen(h));
  EXPECT_EQ(Fs().Write(h, "ab", 2), 2);  // 2
  EXPECT_FALSE(fs.Fired());
  EXPECT_FALSE(Fs().Sync(h));  // 3
  EXPECT_TRUE(fs.Fired());
  EXPECT_EQ(fs.FiredAt().rfind("sync ", 0), 0u);
  EXPECT_EQ(Fs().Write(h, "c", 1), 1);  // 4: only the third failed
  EXPECT_TRUE(Fs().Close(h));           // not counted
  EXPECT_TRUE(Fs().Exists(f));          // not counted
  EXPECT_EQ(fs.Counted(), 4);

  fs.ArmNth(2, true);
  h = Fs().Open(f, Access::Write, Creation::OpenAlways);
  ASSERT_TRUE(IsOpen(h));
  fs.injectedError = FileError::NoSpace;
  EXPECT_EQ(Fs().Write(h, "d", 1), -1);
  EXPECT_EQ(LastFileError(), FileError::NoSpace);
  EXPECT_EQ(Fs().Seek(h, 0, Whence::Begin), -1);
  EXPECT_FALSE(Fs().Rename(f, f + "2"));
  EXPECT_FALSE(Fs().Remove(f));
  // A handle still closes, so its lock never outlives the fault.
  EXPECT_TRUE(Fs().Close(h));
  fs.Disarm();
  h = Fs().Open(f, Access::Write, Creation::OpenExisting);
  EXPECT_TRUE(IsOpen(h));
  Fs().Close(h);
  EXPECT_EQ(Slurp(f), "abc");
}

TEST(FaultFs, SweepTriesEveryPointAndStopsAtACleanRun) {
  std::string dir = TestEnv::FreshDir("sweep");
  FaultFs fs;
  int prepared = 0, ran = 0;
  std::vector<long> checked;
  FaultSweep sweep;
  sweep.prepare = [&] {
    ++prepared;
    EXPECT_EQ(&Fs(), &PosixFs());  // outside the fault
  };
  sweep.run = [&] {
    ++ran;
    // Five operations, each of which may fail; the run goes on regardless.
    HANDLE h = Fs().Open(dir + "f", Access::Write, Creation::OpenAlways);
    Fs().Write(h, "x", 1);
    Fs().Sync(h);
    Fs().Close(h);
    Fs().Rename(dir + "f", dir + "g");
    Fs().Remove(dir + "g");
  };
  sweep.check = [&](long n) {
    EXPECT_EQ(&Fs(), &PosixFs());
    checked.push_back(n);
  };
  EXPECT_EQ(SweepFaults(fs, sweep), 5);
  EXPECT_EQ(prepared, 6);  // five faults and the clean run
  EXPECT_EQ(ran, 6);
  EXPECT_EQ(checked, (std::vector<long>{1, 2, 3, 4, 5}));
  EXPECT_EQ(&Fs(), &PosixFs());
}

// A document replaced: for every N the old text or the new, the permissions
// kept, and no temporary file left.
TEST(AtomicWriteFaults, ReplacingAFile) {
  std::string dir = TestEnv::FreshDir("atomic-faults");
  std::string f = dir + "doc.txt";
  const std::string before = "the original text\n", after = "the replacement, longer\n";
  FaultFs fs;
  bool ok = false;
  FaultSweep sweep;
  sweep.prepare = [&] {
    Replace(f, before);
    chmod(f.c_str(), 0640);
  };
  sweep.run = [&] { ok = WriteFileAtomic(f, after); };
  sweep.check = [&](long) {
    EXPECT_EQ(Slurp(f), ok ? after : before);
    EXPECT_EQ(Mode(f), 0640);
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"doc.txt"});
    if (!ok) {
      EXPECT_NE(LastFileError(), FileError::None);
    }
  };
  long points = SweepFaults(fs, sweep);
  // At least: create the temporary file, write, sync, rename, sync the directory.
  EXPECT_GE(points, 5);
  RecordProperty("injection_points", static_cast<int>(points));
  EXPECT_TRUE(ok);
  EXPECT_EQ(Slurp(f), after);
}

TEST(AtomicWriteFaults, CreatingAFile) {
  std::string dir = TestEnv::FreshDir("atomic-new");
  std::string f = dir + "Zarns.ini";
  FaultFs fs;
  bool ok = false;
  FaultSweep sweep;
  sweep.prepare = [&] { std::filesystem::remove(f); };
  sweep.run = [&] { ok = WriteDataFileAtomic(f, "[settings]\n"); };
  sweep.check = [&](long) {
    if (ok) {
      EXPECT_EQ(Slurp(f), "[settings]\n");
      EXPECT_EQ(Mode(f), 0600);
      EXPECT_EQ(Entries(dir), std::vector<std::string>{"Zarns.ini"});
    } else {
      EXPECT_TRUE(Entries(dir).empty());
    }
  };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 5);
  RecordProperty("injection_points", static_cast<int>(points));
  EXPECT_TRUE(ok);
}

TEST(AtomicWriteFaults, ReadingAWholeFile) {
  std::string f = TestEnv::FreshDir("read-faults") + "doc.txt";
  std::string big(200000, 'z');  // several reads
  Replace(f, big);
  FaultFs fs;
  fs.maxReadChunk = 65536;
  std::string out;
  bool ok = false;
  FaultSweep sweep;
  sweep.prepare = [&] { out = "untouched"; };
  sweep.run = [&] { ok = ReadWholeFile(f, out); };
  sweep.check = [&](long) { EXPECT_EQ(out, ok ? big : "untouched"); };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 4);
  RecordProperty("injection_points", static_cast<int>(points));
  EXPECT_EQ(out, big);
}

// The registry store's save, for every N: the file holds the old keys or
// the new ones, the program sees what the file holds, and nothing is left
// beside it.
class RegistryFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestEnv::FreshDir("regfaults");
    setenv("ZARNS_DATA_DIR", (dir_ + "data").c_str(), 1);
    setenv("ZARNS_MIME_TYPES", (dir_ + "mime.types").c_str(), 1);
    Replace(dir_ + "mime.types", "text/plain txt\n");
    file_ = DataPath("registry");
  }
  void TearDown() override {
    setenv("ZARNS_DATA_DIR", (TestEnv::Root() + "data").c_str(), 1);
    unsetenv("ZARNS_MIME_TYPES");
  }
  // Puts `bytes` in place as the stored registry and makes the store read it.
  void Store(const std::string& bytes) {
    Replace(file_, bytes);
    std::filesystem::remove(file_ + ".corrupt");
    setenv("ZARNS_DATA_DIR", (dir_ + "elsewhere").c_str(), 1);
    ClassesRoot().KeyExists("x");
    setenv("ZARNS_DATA_DIR", (dir_ + "data").c_str(), 1);
  }
  std::string dir_, file_;
};

TEST_F(RegistryFaults, SaveKeepsTheOldKeysOrWritesTheNew) {
  const std::string old =
      "ZARNS REGISTRY 1\n"
      "K :Zarns.Application :FileCategories\n"
      "S : :cats\n"
      "D :Count :3\n"
      "K :.zxt\n"
      "S : :Zarns.Document.1\n";
  Registry& r = ClassesRoot();
  // The bytes a completed save leaves.
  Store(old);
  ASSERT_TRUE(r.SetDword("Zarns.Application\\FileCategories", "Count", 4));
  const std::string saved = Slurp(file_);
  ASSERT_NE(saved, old);

  FaultFs fs;
  bool ok = false;
  FaultSweep sweep;
  sweep.prepare = [&] { Store(old); };
  sweep.run = [&] { ok = r.SetDword("Zarns.Application\\FileCategories", "Count", 4); };
  sweep.check = [&](long) {
    const std::string now = Slurp(file_);
    EXPECT_EQ(now, ok ? saved : old);
    // What the program sees is what is stored.
    EXPECT_EQ(r.GetDword("Zarns.Application\\FileCategories", "Count"), ok ? 4u : 3u);
    EXPECT_EQ(r.GetString("Zarns.Application\\FileCategories", ""), "cats");
    EXPECT_EQ(r.GetString(".zxt", ""), "Zarns.Document.1");
    EXPECT_EQ(r.GetString(".txt", "Content Type"), "text/plain");
    EXPECT_EQ(Entries(dir_ + "data"), std::vector<std::string>{"registry"});
  };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 6);  // read the old file, then the atomic write's steps
  RecordProperty("injection_points", static_cast<int>(points));
  EXPECT_TRUE(ok);
  EXPECT_EQ(Slurp(file_), saved);
}

// A damaged file is replaced only once its copy is safe.
TEST_F(RegistryFaults, SaveOverADamagedFileKeepsItsCopyFirst) {
  const std::string damaged =
      "ZARNS REGISTRY 1\n"
      "K :Good\n"
      "S :a :1\n"
      "S :broken%ZZ :2\n";
  Registry& r = ClassesRoot();
  FaultFs fs;
  bool ok = false;
  FaultSweep sweep;
  sweep.prepare = [&] { Store(damaged); };
  sweep.run = [&] { ok = r.SetString("Good", "b", "2"); };
  sweep.check = [&](long) {
    if (ok) {
      EXPECT_EQ(Slurp(file_ + ".corrupt"), damaged);
      EXPECT_EQ(Slurp(file_).find("broken"), std::string::npos);
      EXPECT_EQ(r.GetString("Good", "b"), "2");
    } else {
      EXPECT_EQ(Slurp(file_), damaged);
      EXPECT_FALSE(r.GetString("Good", "b").has_value());
    }
    EXPECT_EQ(r.GetString("Good", "a"), "1");
  };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 10);  // two reads and two atomic writes
  RecordProperty("injection_points", static_cast<int>(points));
  EXPECT_TRUE(ok);
}

// A disk that goes away: every operation from the N-th on fails. A temporary
// file may then stay behind, but the stored keys never suffer.
TEST_F(RegistryFaults, EveryOperationFailingFromTheNth) {
  const std::string old = "ZARNS REGISTRY 1\nK :Kept\nS :v :1\n";
  Registry& r = ClassesRoot();
  FaultFs fs;
  bool ok = false;
  FaultSweep sweep;
  sweep.sticky = true;
  sweep.prepare = [&] {
    for (const auto& name : Entries(dir_ + "data")) std::filesystem::remove(dir_ + "data/" + name);
    Store(old);
  };
  sweep.run = [&] { ok = r.SetString("New", "", "2"); };
  sweep.check = [&](long) {
    std::string now = Slurp(file_);
    if (!ok) {
      EXPECT_EQ(now, old);
    }
    EXPECT_NE(now.find("K :Kept\nS :v :1\n"), std::string::npos);
    EXPECT_EQ(r.GetString("Kept", "v"), "1");
    EXPECT_EQ(r.GetString("New", "").has_value(), ok);
  };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 6);
  RecordProperty("injection_points", static_cast<int>(points));
}
