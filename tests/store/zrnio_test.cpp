// The data file set, byte by byte.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <set>

#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "store/zrnio.h"

namespace {

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string D(const std::string& name) { return plat::DataPath(name); }

const DataFile kGroup[] = {DataFile::kWordsBuf,    DataFile::kWordsTbl, DataFile::kWordsIdx,
                           DataFile::kWordsLtr,    DataFile::kFilesBuf, DataFile::kFilesTbl,
                           DataFile::kMatches,     DataFile::kPathsBuf, DataFile::kPathsTbl,
                           DataFile::kExtensions,  DataFile::kExtList,  DataFile::kExtTypeCatMatch,
                           DataFile::kExtCategory, DataFile::kExtMatch};

class ZrnIOTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    io_ = std::make_unique<ZrnIO>();
    io_->ReadFromFile(static_cast<char*>(nullptr), nullptr);  // reset the reader
  }
  void TearDown() override {
    io_->CloseFiles();
    io_.reset();
  }
  // Creates every catalog-group file (catalog 1) with a marker text.
  void MakeGroup() {
    for (DataFile n : kGroup) WriteFile(io_->FileName(n), "old" + DataFileName(n));
  }
  std::unique_ptr<ZrnIO> io_;
};

}  // namespace

TEST_F(ZrnIOTest, FileNamesAndNumbers) {
  EXPECT_EQ(io_->currentWordCat, 1);
  std::set<HANDLE*> fields;
  for (DataFile n : kAllDataFiles) {
    ASSERT_NE(io_->HandleField(n), nullptr) << n;
    EXPECT_EQ(*io_->HandleField(n), nullptr) << n;  // null: never opened
    fields.insert(io_->HandleField(n));
  }
  EXPECT_EQ(fields.size(), std::size(kAllDataFiles));  // one field each
  EXPECT_EQ(io_->HandleField(DataFile::kWordsBuf), &io_->WordsBufOut);
  EXPECT_EQ(io_->HandleField(DataFile::kZarnTable), &io_->Lvl1TblOut);
  EXPECT_EQ(io_->HandleField(DataFile::kExtCategory), &io_->ExtCategoryOut);
  EXPECT_EQ(io_->HandleField(DataFile::kExtMatch), &io_->ExtMatchOut);

  // The design's file numbers: 1 to 22, 13 unused; 23 is the word -> files
  // index the build adds.
  const char* names[] = {nullptr,      "LES1.007",   "LESt1.007",  "LESi.007",   "LESl.007",
                         "IMS.007",    "IMSt.007",   "NCS.007",    "DES.007",    "DESt.007",
                         "EMS.007",    "EMSZrn.007", "EMSVal.007", nullptr,      "EMSVt.007",
                         "BROWSE.007", "EMSPkg.007", "PkgT.007",   "PkgBuf.007", "KEP.007",
                         "KEPt.007",   "KEPc.007",   "KEPb.007",   "NCSx.007"};
  EXPECT_EQ(std::size(kAllDataFiles), 22u);
  for (DataFile n : kAllDataFiles) {
    const int num = static_cast<int>(n);
    ASSERT_TRUE(num >= 1 && num <= 23 && names[num]) << num;
    char* s = io_->GetFileStr(n);
    EXPECT_EQ(std::string(s), D(names[num])) << num;
    EXPECT_EQ(DataFileName(n), names[num]);
    delete[] s;
  }
  EXPECT_EQ(DataFileName(DataFile::kWordsBuf, 12), "LES12.007");
  EXPECT_EQ(DataFileName(DataFile::kWordsTbl, 12), "LESt12.007");
}

TEST_F(ZrnIOTest, FileNameBufferFitsALongDataDirectory) {
  std::string saved = std::getenv("ZARNS_DATA_DIR");
  std::string longDir = TestEnv::FreshDir(std::string(120, 'd'));
  setenv("ZARNS_DATA_DIR", longDir.c_str(), 1);
  char* s = io_->GetFileStr(DataFile::kZarnBrowse);
  EXPECT_EQ(std::string(s), longDir + "BROWSE.007");  // whole, not cut at 80
  delete[] s;
  setenv("ZARNS_DATA_DIR", saved.c_str(), 1);
}

TEST_F(ZrnIOTest, OpenModes) {
  std::string f = D("mode.txt");
  // "r" opens only what exists.
  EXPECT_EQ(io_->NewFile(f.c_str(), "r"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(io_->NewFile(f.c_str(), "anything else"), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Exists(f));
  // "w" and "wvis" create or keep.
  HANDLE h = io_->NewFile(f.c_str(), "w");
  ASSERT_TRUE(plat::IsOpen(h));
  io_->WriteToFile("abc", h);
  io_->CloseFile(h);
  h = io_->NewFile(f.c_str(), "wvis");
  io_->WriteToFile("de", h);
  io_->CloseFile(h);
  EXPECT_EQ(Slurp(f), std::string("abc\0de\0", 7));
  // A write handle cannot be read through.
  h = io_->NewFile(f.c_str(), "w");
  char buf[16] = {};
  EXPECT_EQ(io_->ReadFromFile(buf, 4, h), 0);
  io_->CloseFile(h);
  // A read handle cannot be written through.
  h = io_->NewFile(f.c_str(), "r");
  io_->WriteToFile("zz", h);
  io_->WriteToFile(7u, h);
  io_->SetFilePtr(h, 0);
  EXPECT_EQ(io_->ReadFromFile(buf, 16, h), 7);
  io_->CloseFile(h);
  EXPECT_EQ(Slurp(f), std::string("abc\0de\0", 7));
  // Modes compare exactly: "W+" is a read open, not an emptying one.
  EXPECT_TRUE(plat::IsOpen(h = io_->NewFile(f.c_str(), "W+")));
  io_->CloseFile(h);
  EXPECT_EQ(Slurp(f).size(), 7u);
  // "w+" empties.
  h = io_->NewFile(f.c_str(), "w+");
  EXPECT_EQ(io_->FileSize(h), 0u);
  io_->CloseFile(h);
  EXPECT_EQ(Slurp(f), "");
  // OpenFile by name is NewFile and touches no field.
  h = io_->OpenFile(f.c_str(), "r");
  EXPECT_TRUE(plat::IsOpen(h));
  for (DataFile n : kGroup) EXPECT_EQ(*io_->HandleField(n), nullptr);
  io_->CloseFile(h);
}

TEST_F(ZrnIOTest, SharingWithinTheProcess) {
  std::string f = D("shared.007");
  WriteFile(f, "content");
  HANDLE r1 = io_->NewFile(f.c_str(), "r");
  HANDLE r2 = io_->NewFile(f.c_str(), "r");
  EXPECT_TRUE(plat::IsOpen(r1));
  EXPECT_TRUE(plat::IsOpen(r2));
  EXPECT_EQ(io_->NewFile(f.c_str(), "w"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(io_->NewFile(f.c_str(), "w+"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Slurp(f), "content");  // the failed "w+" did not empty it
  io_->CloseFile(r1);
  io_->CloseFile(r2);
  HANDLE w = io_->NewFile(f.c_str(), "w");
  ASSERT_TRUE(plat::IsOpen(w));
  EXPECT_EQ(io_->NewFile(f.c_str(), "r"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(io_->NewFile(f.c_str(), "wvis"), INVALID_HANDLE_VALUE);
  io_->CloseFile(w);
}

TEST_F(ZrnIOTest, SharingBetweenProcesses) {
  MakeGroup();
  io_->OpenFiles("r");
  ASSERT_EQ(io_->TestFiles(), 1);
  // Another running copy cannot rebuild while we read the catalog.
  pid_t pid = fork();
  if (pid == 0) {
    ZrnIO other;
    other.OpenFiles("w+");
    int rc = other.WordsIdxOut == INVALID_HANDLE_VALUE && other.ExtMatchOut == INVALID_HANDLE_VALUE
                 ? 0
                 : 1;
    other.CloseFiles();
    _exit(rc);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  io_->CloseFiles();
  for (DataFile n : kGroup) EXPECT_EQ(Slurp(io_->FileName(n)), "old" + DataFileName(n)) << n;
}

TEST_F(ZrnIOTest, OpenFilesWithEmptyingModeKeepsExtensionFiles) {
  MakeGroup();
  io_->OpenFiles("w+");
  for (DataFile n :
       {DataFile::kWordsBuf, DataFile::kWordsTbl, DataFile::kWordsIdx, DataFile::kWordsLtr,
        DataFile::kFilesBuf, DataFile::kFilesTbl, DataFile::kMatches, DataFile::kPathsBuf,
        DataFile::kPathsTbl, DataFile::kExtMatch})
    EXPECT_TRUE(plat::IsOpen(*io_->HandleField(n))) << n;
  for (DataFile n : {DataFile::kExtensions, DataFile::kExtList, DataFile::kExtTypeCatMatch,
                     DataFile::kExtCategory})
    EXPECT_EQ(*io_->HandleField(n), nullptr) << n;
  EXPECT_EQ(io_->TestFiles(), 0);
  io_->CloseFiles();
  for (DataFile n :
       {DataFile::kWordsBuf, DataFile::kWordsTbl, DataFile::kWordsIdx, DataFile::kWordsLtr,
        DataFile::kFilesBuf, DataFile::kFilesTbl, DataFile::kMatches, DataFile::kPathsBuf,
        DataFile::kPathsTbl, DataFile::kExtMatch})
    EXPECT_EQ(Slurp(io_->FileName(n)), "") << n;
  for (DataFile n : {DataFile::kExtensions, DataFile::kExtList, DataFile::kExtTypeCatMatch,
                     DataFile::kExtCategory})
    EXPECT_EQ(Slurp(io_->FileName(n)), "old" + DataFileName(n)) << n;
  for (DataFile n : kGroup) EXPECT_EQ(*io_->HandleField(n), nullptr);
}

TEST_F(ZrnIOTest, OpenFilesUsesCatalogOneAndSkipsSetHandles) {
  MakeGroup();
  io_->currentWordCat = 5;
  io_->OpenFiles("r");
  EXPECT_EQ(io_->TestFiles(), 1);
  char buf[16] = {};
  io_->ReadFromFile(buf, 15, io_->WordsBufOut);
  EXPECT_STREQ(buf, "oldLES1.007");  // "LES1.007", whatever the current catalog
  HANDLE before = io_->WordsIdxOut;
  io_->OpenFiles("r");  // set handles stay as they are
  EXPECT_EQ(io_->WordsIdxOut, before);
  io_->CloseFiles();
}

TEST_F(ZrnIOTest, FailedOpenIsNotRetriedUntilCloseFiles) {
  MakeGroup();
  std::remove(io_->FileName(DataFile::kMatches).c_str());
  io_->OpenFiles("r");
  EXPECT_EQ(io_->MatchesOut, INVALID_HANDLE_VALUE);
  EXPECT_EQ(io_->TestFiles(), 0);  // one missing file is enough
  WriteFile(io_->FileName(DataFile::kMatches), "now here");
  io_->OpenFiles("r");
  EXPECT_EQ(io_->MatchesOut, INVALID_HANDLE_VALUE);  // still the failed one
  EXPECT_EQ(io_->TestFiles(), 0);
  io_->CloseFiles();
  EXPECT_EQ(io_->MatchesOut, nullptr);
  io_->OpenFiles("r");
  EXPECT_TRUE(plat::IsOpen(io_->MatchesOut));
  EXPECT_EQ(io_->TestFiles(), 1);
  io_->CloseFiles();
}

TEST_F(ZrnIOTest, TestFilesOnAFreshMachine) {
  io_->OpenFiles("r");
  EXPECT_EQ(io_->TestFiles(), 0);
  for (DataFile n : kGroup) EXPECT_EQ(*io_->HandleField(n), INVALID_HANDLE_VALUE);
  io_->CloseFiles();
  for (DataFile n : kGroup) EXPECT_FALSE(Exists(io_->FileName(n)));  // reading creates nothing
}

TEST_F(ZrnIOTest, OpenDataFile) {
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(plat::DataDir()), {}), 0);

  io_->OpenFile(DataFile::kZarnTable, "r");
  EXPECT_EQ(io_->Lvl1TblOut, INVALID_HANDLE_VALUE);
  io_->OpenFile(DataFile::kZarnTable, "w");
  ASSERT_TRUE(plat::IsOpen(io_->Lvl1TblOut));
  io_->WriteToFile(ZarnMatchStructType{1, 2, 3}, io_->Lvl1TblOut);
  HANDLE h = io_->Lvl1TblOut;
  io_->CloseFile(h);
  EXPECT_EQ(io_->Lvl1TblOut, h);  // the field keeps its value
  EXPECT_EQ(Slurp(D("EMSVt.007")).size(), 12u);
  // A stale field is harmless: writes and reads through it do nothing.
  io_->WriteToFile("x", io_->Lvl1TblOut);
  EXPECT_EQ(io_->FileSize(io_->Lvl1TblOut), 0u);
  EXPECT_EQ(Slurp(D("EMSVt.007")).size(), 12u);
}

TEST_F(ZrnIOTest, NumberedWordCatalogs) {
  ASSERT_TRUE(io_->IncrementWordFiles());
  EXPECT_EQ(io_->currentWordCat, 2);
  io_->WriteToFile("two", io_->WordsBufOut);
  ASSERT_TRUE(io_->IncrementWordFiles());
  EXPECT_EQ(io_->currentWordCat, 3);
  io_->WriteToFile("three", io_->WordsBufOut);
  char* a = io_->GetFileStr(DataFile::kWordsBuf);
  char* b = io_->GetFileStr(DataFile::kWordsTbl);
  EXPECT_EQ(std::string(a), D("LES3.007"));
  EXPECT_EQ(std::string(b), D("LESt3.007"));
  delete[] a;
  delete[] b;
  io_->CloseFile(io_->WordsBufOut);
  io_->CloseFile(io_->WordsTblOut);
  WriteFile(D("LES1.007"), "one");
  WriteFile(D("LESt1.007"), "one");
  WriteFile(D("IMS.007"), "x");
  WriteFile(D("KEPb.007"), "x");
  WriteFile(D("EMS.007"), "x");

  // SetCurrentWordDB opens an existing pair for reading.
  ASSERT_TRUE(io_->SetCurrentWordDB(2));
  char buf[32] = {};
  io_->ReadFromFile(buf, 31, io_->WordsBufOut);
  EXPECT_STREQ(buf, "two");
  EXPECT_FALSE(io_->SetCurrentWordDB(9));
  EXPECT_EQ(io_->WordsBufOut, INVALID_HANDLE_VALUE);
  EXPECT_EQ(io_->WordsTblOut, nullptr);  // not tried after the first failed
  EXPECT_TRUE(io_->SetCurrentWordDB(3));
  io_->CloseFile(io_->WordsBufOut);
  io_->CloseFile(io_->WordsTblOut);

  // DeleteCatalogs removes files 1-9 with the current pair only.
  io_->DeleteCatalogs();
  EXPECT_FALSE(Exists(D("LES3.007")));
  EXPECT_FALSE(Exists(D("LESt3.007")));
  EXPECT_TRUE(Exists(D("LES1.007")));
  EXPECT_TRUE(Exists(D("LESt2.007")));
  EXPECT_FALSE(Exists(D("IMS.007")));
  EXPECT_TRUE(Exists(D("KEPb.007")));
  EXPECT_TRUE(Exists(D("EMS.007")));

  io_->DeleteFileA(DataFile::kExtMatch);
  EXPECT_FALSE(Exists(D("KEPb.007")));
  io_->DeleteF(D("EMS.007").c_str());
  EXPECT_FALSE(Exists(D("EMS.007")));
  io_->DeleteF(nullptr);
}

TEST_F(ZrnIOTest, IncrementFailsWhileTheNextPairIsHeld) {
  WriteFile(D("LES2.007"), "held");
  HANDLE holder = io_->NewFile(D("LES2.007").c_str(), "r");
  EXPECT_FALSE(io_->IncrementWordFiles());
  EXPECT_EQ(io_->WordsBufOut, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Slurp(D("LES2.007")), "held");
  io_->CloseFile(holder);
}

TEST_F(ZrnIOTest, EveryWriteOverloadPositionAndBytes) {
  std::string f = D("w.007");
  HANDLE h = io_->NewFile(f.c_str(), "w+");
  ASSERT_TRUE(plat::IsOpen(h));
  io_->WriteToFile("ab", h);                                   // end: "ab\0"
  io_->WriteToFile(std::string("cd"), h, kNotNullTerminated);  // end: "cd"
  io_->WriteToFile(std::string("ef"), h, kNullTerminated);     // end: "ef\0"
  EXPECT_EQ(Slurp(f), std::string("ab\0cdef\0", 8));

  // The 32-bit value goes to the current position, little-endian.
  io_->SetFilePtr(h, 1);
  io_->WriteToFile(0x04030201u, h);
  EXPECT_EQ(Slurp(f), std::string("a\x01\x02\x03\x04"
                                  "ef\0",
                                  8));
  // ... and the records go to the end whatever the position.
  io_->SetFilePtr(h, 0);
  io_->WriteToFile(MatchStructType{0x11, 0x22, -1}, h);
  io_->SetFilePtr(h, 0);
  io_->WriteToFile(FilesTblStructType{0x33, 0x44}, h);
  io_->WriteToFile(WordIdxStructType{0x55, 2}, h);
  io_->WriteToFile(ZarnMatchStructType{0x66, 0x77, 0x88}, h);
  std::string want(
      "a\x01\x02\x03\x04"
      "ef\0",
      8);
  want += std::string("\x11\0\0\0\x22\0\0\0\xff\xff\xff\xff", 12);
  want += std::string("\x33\0\0\0\x44\0\0\0", 8);
  want += std::string("\x55\0\0\0\x02\0\0\0", 8);
  want += std::string("\x66\0\0\0\x77\0\0\0\x88\0\0\0", 12);
  EXPECT_EQ(Slurp(f), want);
  std::uint32_t end = 0;
  EXPECT_EQ(io_->GetEndOfFile(h, end), want.size());
  EXPECT_EQ(end, want.size());
  io_->CloseFile(h);

  // Positioned text writes.
  h = io_->NewFile(f.c_str(), "w+");
  io_->WriteToFile("0123456789", h);
  io_->WriteToFile(1, "AB", h);  // at the start, overwriting
  EXPECT_EQ(Slurp(f), std::string("AB\0"
                                  "3456789\0",
                                  11));
  io_->WriteToFile(2, "c", h);  // current position: after "AB\0"
  EXPECT_EQ(Slurp(f), std::string("AB\0c\0"
                                  "56789\0",
                                  11));
  io_->WriteToFile(3, "E", h);  // at the end
  io_->WriteToFile(7, "x", h);  // any other value: the current position (the end now)
  EXPECT_EQ(Slurp(f), std::string("AB\0c\0"
                                  "56789\0E\0x\0",
                                  15));
  io_->SetFilePtr(h, 1);
  io_->WriteToFile(0, "y", h);
  EXPECT_EQ(Slurp(f), std::string("Ay\0c\0"
                                  "56789\0E\0x\0",
                                  15));

  // At an offset, also past the end (the gap reads as zeros).
  EXPECT_EQ(io_->WriteToFileAtOffset("Q", h, 4), 2);
  EXPECT_EQ(io_->WriteToFileAtOffset("Z", h, 17), 2);
  EXPECT_EQ(Slurp(f), std::string("Ay\0cQ\0"
                                  "6789\0E\0x\0\0\0Z\0",
                                  19));
  EXPECT_EQ(io_->FileSize(h), 19u);
  io_->CloseFile(h);
  EXPECT_EQ(io_->WriteToFileAtOffset("Q", INVALID_HANDLE_VALUE, 0), 0);
}

TEST_F(ZrnIOTest, CleanWrite) {
  std::string f = D("clean.txt");
  HANDLE h = io_->NewFile(f.c_str(), "wvis");
  io_->CleanAndWriteToFile(
      "a\x01"
      "b",
      3, h);
  EXPECT_EQ(Slurp(f), std::string("ab\0\0", 4));
  // White space stays, other controls go, accented bytes stay; the text's
  // own NULs count as controls.
  std::string in("\t\n\v\f\r\x1b\x7f\xe9\xff\0z", 11);
  io_->CleanAndWriteToFile(in.data(), static_cast<std::uint32_t>(in.size()), h);
  std::string want("ab\0\0", 4);
  want += std::string(
              "\t\n\v\f\r\xe9\xff"
              "z",
              8) +
          std::string(4, '\0');
  EXPECT_EQ(Slurp(f), want);
  // Written at the current position.
  io_->SetFilePtr(h, 0);
  io_->CleanAndWriteToFile("X", 1, h);
  want[0] = 'X';
  want[1] = 0;
  EXPECT_EQ(Slurp(f), want);
  io_->CleanAndWriteToFile("", 0, h);  // one NUL
  want[2] = 0;
  EXPECT_EQ(Slurp(f), want);
  io_->CloseFile(h);
}

TEST_F(ZrnIOTest, NByteAndRecordReads) {
  std::string f = D("r.007");
  WriteFile(f, std::string("\x01\0\0\0\x02\0\0\0\x03\0\0\0\x04\0", 14));
  HANDLE h = io_->NewFile(f.c_str(), "r");
  ZarnMatchStructType rec{9, 9, 9};
  EXPECT_EQ(io_->ReadFromFile(&rec, h), 12);
  EXPECT_EQ(rec.OffsetA, 1u);
  EXPECT_EQ(rec.OffsetB, 2u);
  EXPECT_EQ(rec.OffsetC, 3u);
  EXPECT_EQ(io_->ReadFromFile(&rec, h), 2);  // a short read leaves the record
  EXPECT_EQ(rec.OffsetA, 1u);
  char buf[8];
  EXPECT_EQ(io_->ReadFromFile(buf, 8, h), 0);  // at the end: 0, no error
  io_->SetFilePtr(h, 4);
  EXPECT_EQ(io_->ReadFromFile(buf, 8, h), 8);
  EXPECT_EQ(buf[0], 2);
  io_->CloseFile(h);
  EXPECT_EQ(io_->ReadFromFile(buf, 8, INVALID_HANDLE_VALUE), 0);
  EXPECT_EQ(io_->ReadFromFile(buf, 8, nullptr), 0);
}

TEST_F(ZrnIOTest, ReadAtOffset) {
  std::string f = D("off.007");
  WriteFile(f, std::string("first\0second\0", 13));
  HANDLE h = io_->NewFile(f.c_str(), "r");
  char text[kGenBufferSize];
  EXPECT_EQ(io_->ReadFromFileAtOffset(text, h, 0), 6u);
  EXPECT_STREQ(text, "first");
  EXPECT_EQ(io_->ReadFromFileAtOffset(text, h, 8), 5u);
  EXPECT_STREQ(text, "cond");
  EXPECT_EQ(io_->ReadFromFileAtOffset(text, h, 13), 1u);  // at the end
  EXPECT_STREQ(text, "");
  EXPECT_EQ(io_->ReadFromFileAtOffset(text, h, 1000), 1u);  // past the end
  EXPECT_STREQ(text, "");
  EXPECT_EQ(io_->ReadFromFileAtOffset(text, h, 0xFFFFFFFFu), 1u);
  io_->CloseFile(h);
  EXPECT_EQ(io_->ReadFromFileAtOffset(text, INVALID_HANDLE_VALUE, 0), 1u);
  EXPECT_STREQ(text, "");

  // A string longer than the window is cut to 4095 bytes.
  WriteFile(f, std::string(5000, 'L') + '\0' + "after");
  h = io_->NewFile(f.c_str(), "r");
  EXPECT_EQ(io_->ReadFromFileAtOffset(text, h, 0), 4096u);
  EXPECT_EQ(std::strlen(text), 4095u);
  EXPECT_EQ(io_->ReadFromFileAtOffset(text, h, 5001), 6u);
  EXPECT_STREQ(text, "after");
  io_->CloseFile(h);
}

// Reads every string of the file through the sequential reader, up to the
// first empty one (the files used here hold no empty strings).
static std::vector<std::string> ReadAll(ZrnIO& io, HANDLE h) {
  std::vector<std::string> out;
  char text[kGenBufferSize];
  io.ReadFromFile(text, nullptr);
  for (int guard = 0; guard < 100000; ++guard) {
    std::uint32_t n = io.ReadFromFile(text, h);
    EXPECT_EQ(n, std::strlen(text) + 1);
    if (n == 1) break;
    out.push_back(text);
  }
  return out;
}

TEST_F(ZrnIOTest, SequentialReadBasics) {
  std::string f = D("seq.007");
  WriteFile(f, std::string("a\0bc\0", 5));
  HANDLE h = io_->NewFile(f.c_str(), "r");
  char text[kGenBufferSize];
  io_->ReadFromFile(text, nullptr);
  EXPECT_EQ(io_->ReadFromFile(text, h), 2u);
  EXPECT_STREQ(text, "a");
  EXPECT_EQ(io_->ReadFromFile(text, h), 3u);
  EXPECT_STREQ(text, "bc");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(io_->ReadFromFile(text, h), 1u);  // empty until reset
    EXPECT_STREQ(text, "");
  }
  EXPECT_EQ(io_->genpop, 1u);
  io_->CloseFile(h);

  // Reset, then the next file starts from its beginning.
  std::string g = D("seq2.007");
  WriteFile(g, "no terminator");
  h = io_->NewFile(g.c_str(), "r");
  io_->ReadFromFile(text, nullptr);
  EXPECT_EQ(io_->genpop, 0u);
  EXPECT_EQ(io_->bufcur, 0u);
  EXPECT_EQ(io_->ReadFromFile(text, h), 14u);  // the whole unterminated file
  EXPECT_STREQ(text, "no terminator");
  EXPECT_EQ(io_->ReadFromFile(text, h), 1u);
  io_->CloseFile(h);

  // The string overload: 0 and unchanged for an empty string.
  WriteFile(g, std::string("xy\0\0z\0", 6));
  h = io_->NewFile(g.c_str(), "r");
  std::string s = "keep";
  io_->ReadFromFile(s, nullptr);
  EXPECT_EQ(io_->ReadFromFile(s, h), 3u);
  EXPECT_EQ(s, "xy");
  EXPECT_EQ(io_->ReadFromFile(s, h), 0u);
  EXPECT_EQ(s, "xy");
  EXPECT_EQ(io_->ReadFromFile(s, h), 2u);
  EXPECT_EQ(s, "z");
  EXPECT_EQ(io_->ReadFromFile(s, h), 0u);
  io_->CloseFile(h);

  // A failed handle reads as empty.
  io_->ReadFromFile(text, nullptr);
  EXPECT_EQ(io_->ReadFromFile(text, INVALID_HANDLE_VALUE), 1u);
  EXPECT_STREQ(text, "");
}

TEST_F(ZrnIOTest, SequentialReadAcrossBlockBoundaries) {
  // Strings of many lengths written by the program itself come back whole,
  // once each and in order, wherever the 4096-byte blocks end.
  std::string f = D("blocks.007");
  HANDLE h = io_->NewFile(f.c_str(), "w+");
  std::vector<std::string> written;
  for (int i = 0; i < 700; ++i) {
    std::string s(static_cast<std::size_t>((i * 37) % 301 + 1), static_cast<char>('a' + i % 26));
    s += std::to_string(i);
    written.push_back(s);
    io_->WriteToFile(s.c_str(), h);
  }
  io_->CloseFile(h);
  ASSERT_GT(Slurp(f).size(), 10u * kGenBufferSize);
  h = io_->NewFile(f.c_str(), "r");
  EXPECT_EQ(ReadAll(*io_, h), written);
  EXPECT_GT(io_->genpop, 10u);
  io_->CloseFile(h);

  // A string that ends exactly at a block's end, and one that starts there.
  std::string exact(kGenBufferSize - 1, 'e');
  WriteFile(f, exact + '\0' + "next" + '\0');
  h = io_->NewFile(f.c_str(), "r");
  EXPECT_EQ(ReadAll(*io_, h), (std::vector<std::string>{exact, "next"}));
  io_->CloseFile(h);
  // A file of exactly one block.
  WriteFile(f, exact + '\0');
  h = io_->NewFile(f.c_str(), "r");
  EXPECT_EQ(ReadAll(*io_, h), (std::vector<std::string>{exact}));
  io_->CloseFile(h);
}

TEST_F(ZrnIOTest, SequentialReadCutsOverlongStrings) {
  std::string f = D("long.007");
  std::string huge(10000, 'H');
  std::string big(kGenBufferSize, 'B');  // one byte too many
  WriteFile(f,
            std::string("lead") + '\0' + huge + '\0' + "mid" + '\0' + big + '\0' + "tail" + '\0');
  HANDLE h = io_->NewFile(f.c_str(), "r");
  std::vector<std::string> want{"lead", std::string(kGenBufferSize - 1, 'H'), "mid",
                                std::string(kGenBufferSize - 1, 'B'), "tail"};
  EXPECT_EQ(ReadAll(*io_, h), want);
  io_->CloseFile(h);
  // An unterminated over-long end of file is cut the same way.
  WriteFile(f, std::string("x") + '\0' + huge);
  h = io_->NewFile(f.c_str(), "r");
  EXPECT_EQ(ReadAll(*io_, h),
            (std::vector<std::string>{"x", std::string(kGenBufferSize - 1, 'H')}));
  io_->CloseFile(h);
}

TEST_F(ZrnIOTest, PositionsAndSizes) {
  std::string f = D("size.007");
  WriteFile(f, "123456");
  HANDLE h = io_->NewFile(f.c_str(), "r");
  EXPECT_EQ(io_->FileSize(h), 6u);
  std::uint32_t e = 0;
  EXPECT_EQ(io_->GetEndOfFile(h, e), 6u);
  io_->SetFilePtr(h, 4);
  char b[4] = {};
  EXPECT_EQ(io_->ReadFromFile(b, 3, h), 2);
  EXPECT_EQ(std::string(b, 2), "56");
  io_->CloseFile(h);
  EXPECT_EQ(io_->FileSize(INVALID_HANDLE_VALUE), 0u);
  EXPECT_EQ(io_->FileSize(nullptr), 0u);
  char z[5] = {1, 2, 3, 4, 5};
  ZrnIO::FillChar(z, 4);
  EXPECT_EQ(std::string(z, 5), std::string("\0\0\0\0\x05", 5));
}

TEST_F(ZrnIOTest, DestructorClosesWhatIsLeftOpen) {
  std::string f = D("left.007");
  {
    ZrnIO io;
    io.OpenFile(DataFile::kPkgTable, "w");
    ASSERT_TRUE(plat::IsOpen(io.PkgTblOut));
  }
  ZrnIO io;
  io.OpenFile(DataFile::kPkgTable, "w");  // the lock is free again
  EXPECT_TRUE(plat::IsOpen(io.PkgTblOut));
  io.CloseFile(io.PkgTblOut);
}

// The sequential reader against a plain model: every NUL-terminated string
// of the file (and an unterminated last one), each cut to 4095 bytes, once
// and in order; then "" for good. Random files of every shape.
TEST_F(ZrnIOTest, SequentialReadMatchesItsModel) {
  std::mt19937 rng(5);
  std::string f = D("model.007");
  char text[kGenBufferSize];
  for (int round = 0; round < 60; ++round) {
    std::size_t size = rng() % 20000;
    unsigned nulEvery = 1 + rng() % (round % 3 == 0 ? 8000 : 300);
    std::string data;
    for (std::size_t i = 0; i < size; ++i)
      data += (rng() % nulEvery == 0) ? '\0' : static_cast<char>(1 + rng() % 255);
    WriteFile(f, data);
    std::vector<std::string> want;
    std::size_t start = 0;
    while (start < data.size()) {
      std::size_t z = data.find('\0', start);
      std::string piece =
          data.substr(start, z == std::string::npos ? std::string::npos : z - start);
      want.push_back(piece.substr(0, kGenBufferSize - 1));
      if (z == std::string::npos) break;
      start = z + 1;
    }
    HANDLE h = io_->NewFile(f.c_str(), "r");
    io_->ReadFromFile(text, nullptr);
    for (std::size_t i = 0; i < want.size(); ++i) {
      std::uint32_t n = io_->ReadFromFile(text, h);
      ASSERT_EQ(n, want[i].size() + 1) << "round " << round << " string " << i;
      ASSERT_EQ(std::string(text, n - 1), want[i]) << "round " << round << " string " << i;
    }
    EXPECT_EQ(io_->ReadFromFile(text, h), 1u) << round;
    EXPECT_EQ(io_->ReadFromFile(text, h), 1u) << round;
    io_->CloseFile(h);
  }
}

// Each file set reads with its own window: reads through two sets, taken in
// turns, each come back whole and in order, across many block ends.
TEST_F(ZrnIOTest, SequentialReadersOfTwoFileSetsAreIndependent) {
  std::string f = D("one.007"), g = D("two.007");
  std::vector<std::string> first, second;
  std::string a, b;
  for (int i = 0; i < 900; ++i) {
    first.push_back(std::string(static_cast<std::size_t>(i % 97 + 1), 'a') + std::to_string(i));
    second.push_back("B" + std::to_string(i) + std::string(static_cast<std::size_t>(i % 31), 'b'));
    a += first.back() + '\0';
    b += second.back() + '\0';
  }
  WriteFile(f, a);
  WriteFile(g, b);
  ZrnIO other;
  HANDLE h1 = io_->NewFile(f.c_str(), "r"), h2 = other.NewFile(g.c_str(), "r");
  char text[kGenBufferSize];
  io_->ReadFromFile(text, nullptr);
  other.ReadFromFile(text, nullptr);
  for (std::size_t i = 0; i < first.size(); ++i) {
    ASSERT_EQ(io_->ReadFromFile(text, h1), first[i].size() + 1) << i;
    ASSERT_EQ(std::string(text), first[i]);
    ASSERT_EQ(other.ReadFromFile(text, h2), second[i].size() + 1) << i;
    ASSERT_EQ(std::string(text), second[i]);
  }
  EXPECT_EQ(io_->ReadFromFile(text, h1), 1u);
  EXPECT_EQ(other.ReadFromFile(text, h2), 1u);
  EXPECT_GT(io_->genpop, 10u);
  EXPECT_GT(other.genpop, 3u);
  io_->CloseFile(h1);
  other.CloseFile(h2);
}
