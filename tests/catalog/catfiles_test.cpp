// The catalog's files around a build: the old catalog cleared, the new one
// created, numbered files of an older build removed.
#include "catalog/catfiles.h"

#include "catalog_fixture.h"

using namespace cattest;

namespace {
class CatFilesTest : public CatalogTest {};
}  // namespace

TEST_F(CatFilesTest, ReleasingTheOldCatalogRemovesItsFilesButNotTheLists) {
  for (const char* f :
       {"LES1.007", "LESt1.007", "LES2.007", "LESt2.007", "LESt3.007", "LESi.007", "LESl.007",
        "IMS.007", "IMSt.007", "NCS.007", "DES.007", "DESt.007", "KEPb.007"})
    WriteData(f, "old");
  {
    OldCatalog old;
    old.Release();
    for (const char* f : {"LES1.007", "LESt1.007", "LES2.007", "LESt2.007", "LESt3.007", "LESi.007",
                          "LESl.007", "IMS.007", "IMSt.007", "NCS.007", "DES.007", "DESt.007"})
      EXPECT_FALSE(DataExists(f)) << f;
  }
  // The file-type matches are emptied when the new files are created; the
  // extension lists stay.
  for (const char* f : {"KEPb.007", "EMS.007", "KEP.007", "KEPt.007", "KEPc.007"})
    EXPECT_TRUE(DataExists(f)) << f;
}

TEST_F(CatFilesTest, OldNumberedFilesAreFoundPastAMissingFirstCatalog) {
  WriteData("LES2.007", "old");
  WriteData("LES4.007", "older");  // after a gap: not part of the old catalog
  OldCatalog old;
  old.Release();
  old.Wait();
  EXPECT_FALSE(DataExists("LES2.007"));
  EXPECT_TRUE(DataExists("LES4.007"));
}

TEST_F(CatFilesTest, CreatingTheFilesEmptiesThemAndStartsAtCatalogOne) {
  WriteData("KEPb.007", "stale");
  files.currentWordCat = 3;
  ASSERT_TRUE(CreateCatalogFiles(files));
  EXPECT_EQ(files.currentWordCat, 1);
  EXPECT_EQ(files.TestFiles(), 0);  // the lists are not opened
  files.CloseFiles();
  for (const char* f : {"LES1.007", "LESt1.007", "LESi.007", "LESl.007", "IMS.007", "IMSt.007",
                        "NCS.007", "DES.007", "DESt.007", "KEPb.007"}) {
    EXPECT_TRUE(DataExists(f)) << f;
    EXPECT_EQ(ReadData(f), "") << f;
  }
}

TEST_F(CatFilesTest, AFileThatCannotBeCreatedLeavesNothingOpen) {
  std::filesystem::create_directory(plat::DataPath("DES.007"));
  EXPECT_FALSE(CreateCatalogFiles(files));
  for (DataFile f : kCatalogFiles) EXPECT_EQ(*files.HandleField(f), nullptr) << f;
  EXPECT_EQ(files.ExtMatchOut, nullptr);
  std::filesystem::remove(plat::DataPath("DES.007"));
}

TEST_F(CatFilesTest, TheExtensionListIsLookedForWithTheGroupClosed) {
  EXPECT_TRUE(ExtensionListPresent(files));
  EXPECT_EQ(files.ExtensionsOut, nullptr);
  std::filesystem::remove(plat::DataPath("EMS.007"));
  EXPECT_FALSE(ExtensionListPresent(files));
  EXPECT_EQ(files.ExtensionsOut, nullptr);
}

TEST_F(CatFilesTest, NumberedFilesAfterTheLastCatalogGoUpToTheFirstGap) {
  for (const char* f : {"LES1.007", "LES2.007", "LESt2.007", "LES3.007", "LESt4.007", "LES6.007"})
    WriteData(f, "x");
  RemoveWordFilesAfter(1);
  EXPECT_TRUE(DataExists("LES1.007"));
  for (const char* f : {"LES2.007", "LESt2.007", "LES3.007", "LESt4.007"})
    EXPECT_FALSE(DataExists(f)) << f;
  EXPECT_TRUE(DataExists("LES6.007"));
}
