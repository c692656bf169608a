// The file-type lists as a large system MIME database makes them: a build
// lists files by every typed extension, also those far past the first
// 2000 bytes of the all-extensions list.
#include <cstdlib>

#include "catalog/zrnreg.h"
#include "catalog_fixture.h"

using namespace cattest;

namespace {

class FileTypesTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    mime = TestEnv::Root() + "big-mime.types";
    // About 1,500 extensions, as a desktop's database has; every made-up
    // one sorts before ".mp3", ".pdf" and ".png".
    std::string text = "# comment line\ntext/plain txt\n";
    for (int i = 0; i < 1500; ++i) {
      char line[64];
      std::snprintf(line, sizeof line, "application/x-f%04d a%04d\n", i, i);
      text += line;
    }
    text += "audio/mpeg mpga mp2 mp3\nimage/png png\napplication/pdf pdf\n";
    WriteFile(mime, text);
    setenv("ZARNS_MIME_TYPES", mime.c_str(), 1);
    // No extensions file: the build derives every list from the database.
    std::filesystem::remove(plat::DataPath("EMS.007"));
  }
  void TearDown() override {
    unsetenv("ZARNS_MIME_TYPES");
    CatalogTest::TearDown();
  }
  std::vector<std::string> FilesOf(const std::string& ext) {
    ZrnReg reg(files, host);
    ListData l;
    std::string e = ext;
    reg.GetTypeCatMatchFiles(l, e);
    std::vector<std::string> out;
    for (auto& i : l) {
      std::string path;
      reg.GetPathFromOffset(i.value, path);
      out.push_back(i.text + "|" + path);
    }
    return out;
  }
  std::string mime;
};

}  // namespace

TEST_F(FileTypesTest, ExtensionsPastTheFirstTwoThousandBytesAreListed) {
  WriteFile(root + "song.mp3", "ID3");
  WriteFile(root + "pic.png", "PNG");
  WriteFile(root + "doc.pdf", "%PDF");
  WriteFile(root + "early.a0003", "x");
  Build();
  // The list file keeps its format and all of its entries.
  const std::string kep = ReadData("KEP.007");
  ASSERT_GT(kep.size(), 8000u);
  EXPECT_EQ(kep.back(), '\0');  // the last string is NUL-terminated
  auto exts = Strings(kep);
  EXPECT_NE(std::find(exts.begin(), exts.end(), ".mp3"), exts.end());
  // The 2000-byte view the dialogs keep still ends before ".mp3" ...
  {
    ZrnReg reg(files, host);
    reg.GetExtensions();
    auto head = reg.ExtListItems();
    EXPECT_EQ(std::find(head.begin(), head.end(), ".mp3"), head.end());
    EXPECT_LT(head.size(), 400u);
  }
  // ... but every file of a typed extension is recorded by name.
  const std::string dir = std::filesystem::canonical(root).string() + "/";
  EXPECT_EQ(FilesOf(".mp3"), std::vector<std::string>{"song.mp3|" + dir});
  EXPECT_EQ(FilesOf(".png"), std::vector<std::string>{"pic.png|" + dir});
  EXPECT_EQ(FilesOf(".pdf"), std::vector<std::string>{"doc.pdf|" + dir});
  EXPECT_EQ(FilesOf(".a0003"), std::vector<std::string>{"early.a0003|" + dir});
  // The pairs name the categories the viewer offers them under.
  auto pairs = Strings(ReadData("KEPt.007"));
  auto at = std::find(pairs.begin(), pairs.end(), ".mp3");
  ASSERT_NE(at, pairs.end());
  EXPECT_EQ(*(at - 1), "audio");
}

TEST_F(FileTypesTest, ListFileWithoutFinalNulStillGivesItsLastExtension) {
  // A damaged list (last string cut before its NUL) loses nothing readable.
  WriteData("EMS.007", Z(".txt"));
  std::string kep;
  for (int i = 0; i < 600; ++i) kep += Z(".b" + std::to_string(1000 + i));
  kep += ".zz";
  WriteData("KEP.007", kep);
  ZrnReg reg(files, host);
  auto all = reg.TypedExtensions();
  ASSERT_EQ(all.size(), 601u);
  EXPECT_EQ(all.back(), ".zz");
  WriteFile(root + "late.zz", "data");
  Build();
  EXPECT_EQ(FilesOf(".zz").size(), 1u);
}
