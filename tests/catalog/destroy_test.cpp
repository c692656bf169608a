// Destroying the word catalog: every catalog file goes, the lists the user
// chose and the zarn store stay.
#include "catalog/catfiles.h"
#include "catalog/catlock.h"
#include "catalog_fixture.h"
#include "common/faultfs.h"

using namespace cattest;

namespace {

std::string NoSlashStaging() {
  std::string d = StagingDir();
  if (!d.empty() && d.back() == '/') d.pop_back();
  return d;
}

class DestroyTest : public CatalogTest {};

const char* const kCatalog[] = {"LES1.007",  "LESt1.007", "LES2.007", "LESt2.007", "LESt3.007",
                                "LES17.007", "LESi.007",  "LESl.007", "IMS.007",   "IMSt.007",
                                "NCS.007",   "DES.007",   "DESt.007", "KEPb.007"};
const char* const kKept[] = {"EMS.007",    "KEP.007",    "KEPt.007",  "KEPc.007",
                             "EMSZrn.007", "EMSVal.007", "EMSVt.007", "LESx.007",
                             "LES1.008",   "LES.007",    "LESt.007",  "xLES1.007"};

TEST_F(DestroyTest, RemovesEveryCatalogFileAndNothingElse) {
  for (const char* f : kCatalog) WriteData(f, "catalog");
  for (const char* f : kKept) WriteData(f, "kept");
  ZrnIO files;
  files.currentWordCat = 3;
  EXPECT_TRUE(DestroyCatalog(files));
  for (const char* f : kCatalog) EXPECT_FALSE(DataExists(f)) << f;
  for (const char* f : kKept) EXPECT_TRUE(DataExists(f)) << f;
  EXPECT_EQ(files.currentWordCat, 1);
  // Nothing left to remove is not a failure.
  EXPECT_TRUE(DestroyCatalog(files));
}

TEST_F(DestroyTest, AFileThatStaysIsReported) {
  for (const char* f : kCatalog) WriteData(f, "catalog");
  for (const char* f : kKept) WriteData(f, "kept");
  ZrnIO files;
  FaultFs fs;
  long points = 0, reported = 0;
  for (long n = 1;; ++n) {
    for (const char* f : kCatalog) WriteData(f, "catalog");
    bool ok = false;
    DestroyRefusal why = DestroyRefusal::kNone;
    {
      FaultFs::Scope scope(fs);
      fs.ArmNth(n);
      ok = DestroyCatalog(files, &why);
    }
    const bool fired = fs.Fired();
    fs.Disarm();
    if (!fired) break;
    ++points;
    int left = 0;
    for (const char* f : kCatalog) left += DataExists(f) ? 1 : 0;
    // A fault that does not matter to the outcome (the generation stamp,
    // a directory sync) still leaves everything removed.
    if (ok)
      EXPECT_EQ(left, 0) << "fault " << n;
    else if (why == DestroyRefusal::kNotRemoved) {
      EXPECT_LE(left, 1) << "fault " << n;  // at most the file whose removal failed
      ++reported;
    } else  // a lock that could not be taken: nothing touched
      EXPECT_EQ(left, static_cast<int>(std::size(kCatalog))) << "fault " << n;
    for (const char* f : kKept) EXPECT_TRUE(DataExists(f)) << f;
  }
  EXPECT_GE(points, 14);
  EXPECT_GE(reported, 14);  // each catalog file's failed removal was reported
}

// A build that runs would swap its catalog in after the destroy: refused,
// and said so, with nothing removed.
TEST_F(DestroyTest, RefusedWhileABuildRuns) {
  for (const char* f : kCatalog) WriteData(f, "catalog");
  ZrnIO files;
  DestroyRefusal why = DestroyRefusal::kNone;
  {
    CatalogLock build(CatalogLock::Kind::Build);
    ASSERT_TRUE(build.Held());
    EXPECT_FALSE(DestroyCatalog(files, &why));
    EXPECT_EQ(why, DestroyRefusal::kBuildRunning);
    for (const char* f : kCatalog) EXPECT_TRUE(DataExists(f)) << f;
  }
  EXPECT_TRUE(DestroyCatalog(files, &why));
  EXPECT_EQ(why, DestroyRefusal::kNone);
  for (const char* f : kCatalog) EXPECT_FALSE(DataExists(f)) << f;
}

// What an interrupted build staged goes too: a later search's recovery
// would otherwise swap it in and the destroyed catalog would come back.
TEST_F(DestroyTest, RemovesAnInterruptedBuildsStagedCatalog) {
  for (const char* f : kCatalog) WriteData(f, "catalog");
  ASSERT_TRUE(plat::Fs().MakeDir(NoSlashStaging()));
  WriteFile(StagingDir() + "LES1.007", "staged");
  WriteFile(StagingDir() + kSwapMarkerName, "1\n");
  ZrnIO files;
  EXPECT_TRUE(DestroyCatalog(files));
  EXPECT_FALSE(plat::Fs().Exists(NoSlashStaging()));
  EXPECT_EQ(RecoverCatalog(), Recovery::Nothing);
  for (const char* f : kCatalog) EXPECT_FALSE(DataExists(f)) << f;
}

}  // namespace
