// Destroying the word catalog: every catalog file goes, the lists the user
// chose and the zarn store stay.
#include "catalog/catfiles.h"
#include "catalog_fixture.h"
#include "common/faultfs.h"

using namespace cattest;

namespace {

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
  long points = 0;
  for (long n = 1;; ++n) {
    for (const char* f : kCatalog) WriteData(f, "catalog");
    bool ok = false;
    {
      FaultFs::Scope scope(fs);
      fs.ArmNth(n);
      ok = DestroyCatalog(files);
    }
    const bool fired = fs.Fired();
    fs.Disarm();
    if (!fired) break;
    ++points;
    EXPECT_FALSE(ok) << "fault " << n;
    int left = 0;
    for (const char* f : kCatalog) left += DataExists(f) ? 1 : 0;
    EXPECT_EQ(left, 1) << "fault " << n;  // only the file whose removal failed
    for (const char* f : kKept) EXPECT_TRUE(DataExists(f)) << f;
  }
  EXPECT_GE(points, 14);
}

}  // namespace
