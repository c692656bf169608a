// The writing side of a build, fed jobs directly: the bytes it appends and
// the records each kind of job makes.
#include "catalog/catwriter.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "catalog/catfiles.h"
#include "catalog_fixture.h"

using namespace cattest;

namespace {

// The job's words as the walk cuts them from a file: `words` in order.
void FillWords(CatalogJob& job, const std::vector<std::string>& words) {
  job.n = 0;
  for (auto& w : words) {
    wordscan::RawWord& r = job.words[job.n++];
    std::memset(r.b, 0, sizeof r.b);
    std::memcpy(r.b, w.data(), w.size());
    r.b[wordscan::RawWord::kLen] = static_cast<unsigned char>(w.size());
  }
}

class CatWriterTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    ASSERT_TRUE(CreateCatalogFiles(files));
    writer = std::make_unique<CatalogWriter>(files);
    job = std::make_unique<CatalogJob>();
  }
  void TearDown() override {
    writer.reset();
    CatalogTest::TearDown();
  }
  // sortedByWalk: the words come sorted already, as the walk sends them
  // when the writer lags behind.
  void Take(CatalogJob::Kind kind, const std::string& text,
            const std::vector<std::string>& words = {}, bool sortedByWalk = false) {
    job->kind = kind;
    job->text = text;
    FillWords(*job, words);
    job->sorted = sortedByWalk;
    if (sortedByWalk) job->distinct = walkSorter.Sort(job->words, job->n, job->keys);
    writer->Take(*job);
  }
  void Finish() {
    writer->FinishLastCatalog();
    writer->Flush();
    files.CloseFiles();
  }
  std::unique_ptr<CatalogWriter> writer;
  std::unique_ptr<CatalogJob> job;
  FileWordSorter walkSorter;
};

std::vector<std::string> Unpacked(const wordscan::WordKey* keys, std::uint32_t n) {
  std::vector<std::string> out;
  char w[32];
  for (std::uint32_t i = 0; i < n; ++i) out.emplace_back(w, wordscan::Unpack(keys[i], w));
  return out;
}

}  // namespace

TEST_F(CatWriterTest, AppendBufferHoldsBytesUntilFlushedAndDropsThemForAClosedFile) {
  AppendBuffer b(files, DataFile::kPathsBuf);
  b.Str("ab", 2);
  b.U32(0x04030201);
  b.Rec(5, 6);
  b.Rec(7, 8, 9);
  EXPECT_EQ(files.FileSize(files.PathsBufOut), 0u);
  b.Flush();
  b.Flush();  // nothing more
  EXPECT_EQ(ReadData("DES.007"), Z("ab") + U32(0x04030201) + R8(5, 6) + R12(7, 8, 9));
  // Past the flush size the bytes go out by themselves.
  const std::string big(AppendBuffer::kFlushBytes, 'q');
  b.Str(big.data(), big.size());
  EXPECT_EQ(files.FileSize(files.PathsBufOut), 3u + 4u + 8u + 12u + big.size() + 1u);
  // A file the set could not open loses what is flushed, nothing else.
  files.CloseFileNum(DataFile::kPathsBuf);
  b.U32(1);
  b.Flush();
  files.OpenFile(DataFile::kPathsBuf, "w");
  b.U32(2);
  b.Flush();
  EXPECT_EQ(ReadData("DES.007").substr(28 + big.size()), U32(2));
}

TEST_F(CatWriterTest, EachKindOfJobMakesItsRecords) {
  Take(CatalogJob::Words, "a.txt", {"Zebra", "apple", "ZEBRA", "zebra", "mango"});
  Take(CatalogJob::Exe, "b.exe");
  Take(CatalogJob::Typed, "c.mp3");
  Take(CatalogJob::Dir, "/r/one");
  Take(CatalogJob::Words, "d.md", {"mango", "kiwis"});
  Take(CatalogJob::Dir, "/r/");
  EXPECT_EQ(writer->Directories(), 2u);
  Finish();
  // One name buffer for every file, in job order; each file's record
  // points at the directory that follows it.
  EXPECT_EQ(ReadData("IMS.007"), Z("a.txt") + Z("b.exe") + Z("c.mp3") + Z("d.md"));
  EXPECT_EQ(ReadData("IMSt.007"), R8(0, 0) + R8(6, 0) + R8(18, 7));
  EXPECT_EQ(ReadData("KEPb.007"), R8(12, 0));
  EXPECT_EQ(ReadData("DES.007"), Z("/r/one") + Z("/r/"));
  EXPECT_EQ(ReadData("DESt.007"), U32(0) + U32(7));
  // Words folded to lower case, once each, in first-seen sorted order.
  EXPECT_EQ(ReadData("LES1.007"), Z("apple") + Z("mango") + Z("zebra") + Z("kiwis"));
  EXPECT_EQ(ReadData("LESt1.007"), U32(0) + U32(6) + U32(12) + U32(18));
  EXPECT_EQ(ReadData("NCS.007"),
            R12(0, 0, 1) + R12(6, 0, 1) + R12(12, 0, 1) + R12(18, 18, 1) + R12(6, 18, 1));
  EXPECT_EQ(ReadData("LESi.007"), R8(0, 1) + R8(18, 1) + R8(6, 1) + R8(12, 1));
  EXPECT_EQ(writer->Words(), 4u);
  EXPECT_EQ(writer->Catalogs(), 1);
  EXPECT_FALSE(writer->Failed());
}

TEST_F(CatWriterTest, TheWordTextPastTheSwitchSizeStartsTheNextCatalog) {
  // 8-letter words, 9 bytes each: the file that takes the text past the
  // switch size is the last of catalog 1.
  std::uint32_t next = 0, files = 0;
  while (writer->Catalogs() == 1) {
    std::vector<std::string> words;
    for (int k = 0; k < 1000; ++k) words.push_back(WordFor(next++));
    Take(CatalogJob::Words, "f" + std::to_string(files++) + ".txt", words);
  }
  EXPECT_EQ(files, kCatalogSwitchBytes / 9000 + 1);
  Take(CatalogJob::Words, "late.txt", {WordFor(0), "latecomer"});
  Finish();
  EXPECT_EQ(ReadData("LES1.007").size(), 9u * next);
  EXPECT_EQ(ReadData("LES2.007"), Z(WordFor(0)) + Z("latecomer"));
  EXPECT_EQ(ReadData("LESt2.007"), U32(0) + U32(9));
  EXPECT_EQ(ReadData("LESi.007").size(), 8u * (next + 2));
  EXPECT_EQ(ReadData("LESi.007").substr(8u * next), R8(0, 2) + R8(9, 2));
  EXPECT_EQ(writer->Words(), next + 2);
  EXPECT_EQ(writer->Catalogs(), 2);
}

TEST_F(CatWriterTest, WordsSortedByTheWalkMakeTheSameRecords) {
  // The jobs of EachKindOfJobMakesItsRecords, the first sorted by the walk,
  // the second by the writer, and the bytes the same.
  Take(CatalogJob::Words, "a.txt", {"Zebra", "apple", "ZEBRA", "zebra", "mango"}, true);
  Take(CatalogJob::Exe, "b.exe");
  Take(CatalogJob::Typed, "c.mp3");
  Take(CatalogJob::Dir, "/r/one");
  Take(CatalogJob::Words, "d.md", {"mango", "kiwis"}, false);
  Take(CatalogJob::Words, "e.md", {"kiwis", "Apple", "mango"}, true);
  Take(CatalogJob::Dir, "/r/");
  Finish();
  EXPECT_EQ(ReadData("IMS.007"), Z("a.txt") + Z("b.exe") + Z("c.mp3") + Z("d.md") + Z("e.md"));
  EXPECT_EQ(ReadData("LES1.007"), Z("apple") + Z("mango") + Z("zebra") + Z("kiwis"));
  EXPECT_EQ(ReadData("NCS.007"), R12(0, 0, 1) + R12(6, 0, 1) + R12(12, 0, 1) + R12(18, 18, 1) +
                                     R12(6, 18, 1) + R12(0, 23, 1) + R12(18, 23, 1) +
                                     R12(6, 23, 1));
  EXPECT_EQ(ReadData("LESi.007"), R8(0, 1) + R8(18, 1) + R8(6, 1) + R8(12, 1));
}

TEST(FileWordSorter, GivesEachFilesDistinctWordsFoldedAndSorted) {
  FileWordSorter sorter;
  auto job = std::make_unique<CatalogJob>();
  const auto sort = [&](const std::vector<std::string>& words) {
    FillWords(*job, words);
    return Unpacked(job->keys, sorter.Sort(job->words, job->n, job->keys));
  };
  EXPECT_EQ(sort({"pear", "Apple", "PEAR", "apples", "apple", "`quote"}),
            (std::vector<std::string>{"`quote", "apple", "apples", "pear"}));
  // The next file's words alone, though its set is the same size.
  EXPECT_EQ(sort({"zest", "pear"}), (std::vector<std::string>{"pear", "zest"}));
  // Many words, many repeats.
  std::vector<std::string> many;
  for (std::uint32_t i = 0; i < kMaxFileWords; ++i) many.push_back(WordFor(i % 1000));
  const auto sorted = sort(many);
  ASSERT_EQ(sorted.size(), 1000u);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
  EXPECT_EQ(sort({}), std::vector<std::string>{});
}
