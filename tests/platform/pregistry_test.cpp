// The registry store: persistence, case, enumeration, damaged files, and
// the extension keys from the MIME database.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <random>

#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "platform/pregistry.h"

using namespace plat;

namespace {

// Each test gets its own data directory and MIME file; the store follows.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestEnv::FreshDir("reg");
    setenv("ZARNS_DATA_DIR", (dir_ + "data").c_str(), 1);
    WriteFile(dir_ + "mime.types",
              "# comment line\n"
              "text/plain\t\t\ttxt text conf\n"
              "text/html html htm\n"
              "application/x-empty\n"
              "image/png PNG\n"
              "text/other txt\n");
    setenv("ZARNS_MIME_TYPES", (dir_ + "mime.types").c_str(), 1);
  }
  void TearDown() override {
    setenv("ZARNS_DATA_DIR", (TestEnv::Root() + "data").c_str(), 1);
    unsetenv("ZARNS_MIME_TYPES");
  }
  std::string dir_;
};

std::vector<std::string> Keys(Registry& r, const std::string& key) {
  std::vector<std::string> out;
  std::string name;
  for (std::uint32_t i = 0; r.EnumKey(key, i, name); ++i) out.push_back(name);
  return out;
}

}  // namespace

TEST_F(RegistryTest, ValuesPersistAndCaseIsIgnoredButKept) {
  Registry& r = ClassesRoot();
  EXPECT_TRUE(r.KeyExists(""));
  EXPECT_FALSE(r.KeyExists("Zarns.Application"));
  ASSERT_TRUE(r.SetString("Zarns.Application\\FileCategories", "", "cats"));
  ASSERT_TRUE(r.SetDword("Zarns.Application\\FileCategories", "Count", 0xFFFFFFFFu));
  EXPECT_TRUE(r.KeyExists("zarns.application\\FILECATEGORIES"));
  EXPECT_EQ(r.GetString("ZARNS.application\\filecategories", ""), "cats");
  EXPECT_EQ(r.GetDword("Zarns.Application\\FileCategories", "COUNT"), 0xFFFFFFFFu);
  EXPECT_FALSE(
      r.GetString("Zarns.Application\\FileCategories", "Count").has_value());  // wrong type
  EXPECT_FALSE(r.GetDword("Zarns.Application\\FileCategories", "missing").has_value());
  // Setting through another spelling keeps the first spelling.
  ASSERT_TRUE(r.SetDword("ZARNS.APPLICATION\\filecategories", "count", 7));
  RegValue v;
  ASSERT_TRUE(r.EnumValue("Zarns.Application\\FileCategories", 1, v));
  EXPECT_EQ(v.name, "Count");
  EXPECT_EQ(v.dword, 7u);
  EXPECT_EQ(Keys(r, "Zarns.Application"), std::vector<std::string>{"FileCategories"});

  // A second copy of the program replacing the file is noticed.
  std::string file = DataPath("registry");
  std::string stored = Slurp(file);
  EXPECT_EQ(stored.rfind("ZARNS REGISTRY 1\n", 0), 0u);
  // Another running copy rewrites the file: its version is what we see.
  WriteFile(file, stored + "K :FromOtherCopy\n");
  EXPECT_TRUE(r.KeyExists("fromothercopy"));
  EXPECT_EQ(r.GetDword("Zarns.Application\\FileCategories", "Count"), 7u);
  // Switch directories and back: the store follows the data directory.
  setenv("ZARNS_DATA_DIR", (dir_ + "other").c_str(), 1);
  EXPECT_FALSE(r.KeyExists("Zarns.Application"));
  setenv("ZARNS_DATA_DIR", (dir_ + "data").c_str(), 1);
  EXPECT_EQ(r.GetDword("Zarns.Application\\FileCategories", "Count"), 7u);
}

TEST_F(RegistryTest, AnyByteRoundTrips) {
  Registry& r = ClassesRoot();
  std::string odd("sp ace%25:\x01\n\r\t\xff\xe9", 15);
  std::string nul("a\0b", 3);
  ASSERT_TRUE(r.SetString("K " + odd, odd, nul + odd));
  ASSERT_TRUE(r.SetString("K " + odd, "", ""));
  // Force a reload from disk through a directory switch.
  setenv("ZARNS_DATA_DIR", (dir_ + "elsewhere").c_str(), 1);
  r.KeyExists("x");
  setenv("ZARNS_DATA_DIR", (dir_ + "data").c_str(), 1);
  EXPECT_EQ(r.GetString("K " + odd, odd), nul + odd);
  EXPECT_EQ(r.GetString("K " + odd, ""), "");
  RegValue v;
  ASSERT_TRUE(r.EnumValue("k " + odd, 0, v));
  EXPECT_EQ(v.name, odd);
}

TEST_F(RegistryTest, DeleteKeyAndValue) {
  Registry& r = ClassesRoot();
  ASSERT_TRUE(r.SetString("A\\B\\C", "v", "1"));
  ASSERT_TRUE(r.SetString("A\\B", "w", "2"));
  EXPECT_TRUE(r.DeleteValue("a\\b", "W"));
  EXPECT_FALSE(r.DeleteValue("a\\b", "w"));
  EXPECT_FALSE(r.DeleteKey("A\\missing"));
  EXPECT_TRUE(r.DeleteKey("a\\b"));  // with everything below it
  EXPECT_FALSE(r.KeyExists("A\\B\\C"));
  EXPECT_TRUE(r.KeyExists("A"));
  EXPECT_FALSE(r.DeleteKey(""));
  EXPECT_TRUE(r.CreateKey("Empty\\Child"));
  setenv("ZARNS_DATA_DIR", (dir_ + "x").c_str(), 1);
  r.KeyExists("x");
  setenv("ZARNS_DATA_DIR", (dir_ + "data").c_str(), 1);
  EXPECT_TRUE(r.KeyExists("Empty\\Child"));  // empty keys are stored too
}

TEST_F(RegistryTest, MimeExtensionKeysMergeWithProgramKeys) {
  Registry& r = ClassesRoot();
  ASSERT_TRUE(r.CreateKey("Zarns.Document.1"));
  ASSERT_TRUE(r.SetString(".zxt", "", "Zarns.Document.1"));
  ASSERT_TRUE(r.SetString(".TXT", "Extra", "mine"));
  // Sorted without regard to case; each name once; extensions in lower case.
  std::vector<std::string> want{".conf", ".htm", ".html", ".png",
                                ".text", ".TXT", ".zxt",  "Zarns.Document.1"};
  EXPECT_EQ(Keys(r, ""), want);
  EXPECT_EQ(r.GetString(".png", "Content Type"), "image/png");
  EXPECT_EQ(r.GetString(".Txt", "content type"), "text/plain");  // first type named wins
  EXPECT_FALSE(r.GetString(".png", "").has_value());
  EXPECT_TRUE(r.KeyExists(".HTML"));
  RegValue v;
  ASSERT_TRUE(r.EnumValue(".txt", 0, v));
  EXPECT_EQ(v.name, "Extra");
  ASSERT_TRUE(r.EnumValue(".txt", 1, v));
  EXPECT_EQ(v.name, "Content Type");
  EXPECT_EQ(v.str, "text/plain");
  EXPECT_FALSE(r.EnumValue(".txt", 2, v));
  // Extension keys are read-only: only the program's own part goes.
  EXPECT_FALSE(r.DeleteKey(".png"));
  EXPECT_TRUE(r.KeyExists(".png"));
  EXPECT_TRUE(r.DeleteKey(".txt"));
  EXPECT_EQ(r.GetString(".txt", "Content Type"), "text/plain");
  EXPECT_FALSE(r.GetString(".txt", "Extra").has_value());

  // A missing MIME database means no extension keys, not an error.
  setenv("ZARNS_MIME_TYPES", (dir_ + "none").c_str(), 1);
  EXPECT_EQ(Keys(r, ""), (std::vector<std::string>{".zxt", "Zarns.Document.1"}));
}

TEST_F(RegistryTest, DamagedFileIsIgnoredAndKept) {
  Registry& r = ClassesRoot();
  std::string file = DataPath("registry");
  WriteFile(file, std::string("\x00\xff garbage\nK :x\n", 16));
  EXPECT_FALSE(r.KeyExists("x"));  // no header: nothing of it is trusted
  WriteFile(file,
            "ZARNS REGISTRY 1\n"
            "K :Good\n"
            "S :a :1\n"
            "S :broken%ZZ :2\n"
            "D :n :99999999999\n"
            "D :m :12\n"
            "Q what\n"
            "K :Bad :\n"
            "S :lost :3\n"
            "S :short\n");
  EXPECT_EQ(r.GetString("Good", "a"), "1");
  EXPECT_EQ(r.GetDword("Good", "m"), 12u);
  EXPECT_FALSE(r.GetDword("Good", "n").has_value());
  RegValue v;
  EXPECT_FALSE(r.EnumValue("Good", 2, v));
  // The next change keeps the damaged file aside and writes a clean one.
  ASSERT_TRUE(r.SetString("Good", "b", "2"));
  EXPECT_NE(Slurp(file + ".corrupt").find("broken%ZZ"), std::string::npos);
  EXPECT_EQ(Slurp(file).find("broken"), std::string::npos);
}

TEST_F(RegistryTest, FailedSaveReportsAndForgets) {
  Registry& r = ClassesRoot();
  // A directory in the file's place: unreadable, and the rename over it fails.
  std::string file = DataPath("registry");
  mkdir(file.c_str(), 0755);
  WriteFile(file + "/x", "y");
  EXPECT_FALSE(r.KeyExists("Lost"));
  EXPECT_FALSE(r.SetString("Lost", "", "no"));
  EXPECT_FALSE(r.KeyExists("Lost"));  // memory matches what is stored
  EXPECT_EQ(Slurp(file + "/x"), "y");
}

TEST_F(RegistryTest, TestRegistryCanBeInstalled) {
  struct Fake : Registry {
    bool KeyExists(const std::string&) override { return true; }
    bool CreateKey(const std::string&) override { return false; }
    bool DeleteKey(const std::string&) override { return false; }
    bool SetString(const std::string&, const std::string&, const std::string&) override {
      return false;
    }
    bool SetDword(const std::string&, const std::string&, std::uint32_t) override { return false; }
    bool DeleteValue(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> GetString(const std::string&, const std::string&) override {
      return "fake";
    }
    std::optional<std::uint32_t> GetDword(const std::string&, const std::string&) override {
      return 1;
    }
    bool EnumKey(const std::string&, std::uint32_t, std::string&) override { return false; }
    bool EnumValue(const std::string&, std::uint32_t, RegValue&) override { return false; }
  } fake;
  SetClassesRoot(&fake);
  EXPECT_EQ(ClassesRoot().GetString("x", "y"), "fake");
  SetClassesRoot(nullptr);
  EXPECT_FALSE(ClassesRoot().GetString("x", "y").has_value());
}

TEST_F(RegistryTest, TwoRunningCopiesLoseNoChanges) {
  Registry& r = ClassesRoot();
  ASSERT_TRUE(r.CreateKey("Shared"));
  pid_t pid = fork();
  if (pid == 0) {
    bool ok = true;
    for (int i = 0; i < 40; ++i)
      ok = ClassesRoot().SetDword("Shared", "child" + std::to_string(i), i) && ok;
    _exit(ok ? 0 : 1);
  }
  for (int i = 0; i < 40; ++i) EXPECT_TRUE(r.SetDword("Shared", "parent" + std::to_string(i), i));
  int st = 0;
  waitpid(pid, &st, 0);
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(r.GetDword("Shared", "parent" + std::to_string(i)), static_cast<std::uint32_t>(i));
    EXPECT_EQ(r.GetDword("Shared", "child" + std::to_string(i)), static_cast<std::uint32_t>(i));
  }
}

TEST_F(RegistryTest, GarbageFilesNeverCrash) {
  Registry& r = ClassesRoot();
  std::string file = DataPath("registry");
  std::mt19937 rng(3);
  const char* bits[] = {"K",  "S",   "D",         " ",  ":",  "%",
                        "%4", "%G1", "\\",        "\n", "\r", "ZARNS REGISTRY 1\n",
                        "\0", "a",   "4294967296"};
  for (int round = 0; round < 300; ++round) {
    std::string data = round % 2 ? "ZARNS REGISTRY 1\n" : "";
    int n = static_cast<int>(rng() % 200);
    for (int i = 0; i < n; ++i) {
      if (rng() % 4 == 0)
        data += static_cast<char>(rng() % 256);
      else
        data += bits[rng() % 15];
    }
    WriteFile(file, data + std::string(round % 7, 'x'));  // the size changes, so it is read again
    std::string name;
    for (std::uint32_t i = 0; i < 50 && r.EnumKey("", i, name); ++i) {
      RegValue v;
      for (std::uint32_t j = 0; j < 20 && r.EnumValue(name, j, v); ++j) {
      }
      r.KeyExists(name + "\\x");
    }
  }
  ASSERT_TRUE(r.SetString("After", "", "fine"));
  EXPECT_EQ(r.GetString("After", ""), "fine");
}
