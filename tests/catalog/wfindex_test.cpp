// The word -> files index: its bytes, answers identical to the scan on
// random queries over several numbered catalogs, the scan taking over when
// the index is missing, of another build or damaged, and a build that
// fails at any point leaving an index that belongs or none.
#include <algorithm>
#include <random>
#include <set>

#include "catalog/catfiles.h"
#include "catalog/wfindex.h"
#include "catalog_fixture.h"
#include "common/faultfs.h"

using namespace cattest;

namespace {

const char kIndex[] = "NCSx.007";

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// What one word search answers: the files listed (name and id, in order)
// and the hit count.
struct Answer {
  std::vector<std::pair<std::string, std::uint32_t>> files;
  int matches = 0;
  std::string problem;
  bool operator==(const Answer&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Answer& a) {
  o << a.matches << " hits, " << a.files.size() << " files:";
  for (auto& f : a.files) o << ' ' << f.first << '@' << f.second;
  return o << (a.problem.empty() ? "" : " problem: " + a.problem);
}

class WordFilesIndexTest : public CatalogTest {
 protected:
  Answer Ask(const std::string& words) {
    WordView v(files, host, host);
    v.FindName = words;
    v.InterpretWords();
    Answer a;
    for (auto& m : v.HitList) a.files.emplace_back(m.name, m.fileid);
    a.matches = v.MatchesFound;
    a.problem = v.Problem;
    return a;
  }
  // The answers with the index moved away: the scan's.
  std::vector<Answer> Scanned(const std::vector<std::string>& queries) {
    const std::string saved = ReadData(kIndex);
    std::filesystem::remove(plat::DataPath(kIndex));
    std::vector<Answer> out;
    for (auto& q : queries) out.push_back(Ask(q));
    WriteData(kIndex, saved);
    return out;
  }
  bool IndexUsable() {
    wfidx::Reader r;
    return r.Open(plat::DataDir());
  }

  // A tree of `n` files: each holds a few words every file has, words of
  // its own from a large vocabulary (enough text for several numbered
  // catalogs), and some from a small shared pool.
  void MakeTree(int n, unsigned seed) {
    std::mt19937 rng(seed);
    vocabulary.clear();
    perFile.clear();
    for (int f = 0; f < n; ++f) {
      std::vector<std::string> words = {"common", "shared", "everywhere"};
      if (f % 3 == 0) words.push_back("thirds");
      if (f % 7 == 0) words.push_back("sevenths");
      for (int i = 0; i < 20; ++i) words.push_back(WordFor(rng() % 300, 6));
      for (int i = 0; i < 120; ++i) words.push_back(WordFor(1000 + rng() % 60000, 9));
      std::string text;
      for (std::size_t i = 0; i < words.size(); ++i) {
        // Capitals and punctuation are cut away by the build.
        text += (i % 11 == 0 ? Upper(words[i]) : words[i]) + (i % 5 ? " " : ", ");
        vocabulary.insert(words[i]);
      }
      const std::string dir = "d" + std::to_string(f % 17) + "/";
      WriteFile(root + dir + "f" + std::to_string(f) + (f % 4 ? ".txt" : ".md"), text);
      perFile.push_back(words);
    }
  }
  // Queries of one to three words: words of one file (found), pool and
  // shared words, words no file holds, a word typed twice, case, commas.
  std::vector<std::string> Queries(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::string> vocab(vocabulary.begin(), vocabulary.end());
    std::vector<std::string> out;
    for (int q = 0; q < n; ++q) {
      const int words = 1 + static_cast<int>(rng() % 3);
      const auto& file = perFile[rng() % perFile.size()];
      std::string query;
      for (int w = 0; w < words; ++w) {
        std::string word;
        switch (rng() % 10) {
          case 0: word = "nowhereword"; break;
          case 1: word = "abc"; break;
          case 2:
            word = out.empty() || query.empty() ? "common" : query.substr(0, query.find(' '));
            break;
          case 3: word = Upper(file[rng() % file.size()]); break;
          case 4:
          case 5: word = vocab[rng() % vocab.size()]; break;
          default: word = file[rng() % file.size()]; break;
        }
        query += (w ? (rng() % 4 ? " " : " , ") : "") + word;
      }
      out.push_back(query);
    }
    return out;
  }

  std::set<std::string> vocabulary;
  std::vector<std::vector<std::string>> perFile;
};

std::string Ids(std::initializer_list<std::uint32_t> ids) {
  std::string out;
  std::uint32_t prev = 0;
  bool first = true;
  for (std::uint32_t id : ids) {
    wfidx::PutVarint(out, first ? id : id - prev);
    prev = id;
    first = false;
  }
  return out;
}

}  // namespace

TEST(WordFilesIndexFormat, HashesAndNumbers) {
  // FNV-1a, as published.
  EXPECT_EQ(wfidx::Hash32("", 0), 0x811c9dc5u);
  EXPECT_EQ(wfidx::Hash32("a", 1), 0xe40c292cu);
  EXPECT_EQ(wfidx::Hash64("a", 1), 0xaf63dc4c8601ec8cull);
  std::string v;
  wfidx::PutVarint(v, 0);
  wfidx::PutVarint(v, 127);
  wfidx::PutVarint(v, 128);
  wfidx::PutVarint(v, 0xFFFFFFFFu);
  EXPECT_EQ(v, std::string("\x00\x7f\x80\x01\xff\xff\xff\xff\x0f", 9));
  // Written in place: the same bytes, and the end of the last.
  char b[16];
  char* p = b;
  for (std::uint32_t x : {0u, 127u, 128u, 0xFFFFFFFFu}) p = wfidx::PutVarint(p, x);
  EXPECT_EQ(std::string(b, static_cast<std::size_t>(p - b)), v);
  // Every length, around each length's bounds, as the plain loop codes it.
  for (std::uint32_t x : {1u, 0x3Fu, 0x7Fu, 0x80u, 0x81u, 0x3FFFu, 0x4000u, 0x4001u, 0x1FFFFFu,
                          0x200000u, 0xFFFFFFFu, 0x10000000u, 0xFFFFFFFEu}) {
    std::string plain;
    for (std::uint32_t y = x;; y >>= 7) {
      if (y < 0x80) {
        plain.push_back(static_cast<char>(y));
        break;
      }
      plain.push_back(static_cast<char>((y & 0x7F) | 0x80));
    }
    char c[8];
    EXPECT_EQ(std::string(c, static_cast<std::size_t>(wfidx::PutVarint(c, x) - c)), plain) << x;
  }
  // An entry's check: the word, its count (32 bits, little-endian), its list.
  const std::string list("\x05\x81\x01", 3);
  std::uint32_t check = wfidx::Hash32("dogs", 4);
  check = wfidx::Hash32("\x02\x00\x00\x00", 4, check);
  check = wfidx::Hash32(list.data(), list.size(), check);
  EXPECT_EQ(wfidx::EntryCheck("dogs", 2, list), check);
}

TEST_F(WordFilesIndexTest, TheFileByteByByte) {
  WriteFile(root + "a.txt", "Dogs cats, dogs");
  WriteFile(root + "b.txt", "mice dogs");
  WriteFile(root + "c.exe", "cats dogs mice");  // recorded by name only
  ASSERT_EQ(Build().catalogs, 1);
  const std::string names = ReadData("IMS.007");
  const auto id = [&](const char* n) {
    return static_cast<std::uint32_t>(names.find(std::string(n) + '\0'));
  };
  // The walk's order within a folder decides which name comes first.
  const std::uint32_t ia = id("a.txt"), ib = id("b.txt");
  ASSERT_NE(ia, ib);
  const std::uint32_t lo = std::min(ia, ib), hi = std::max(ia, ib), a = ia, b = ib;
  const std::string lists[] = {Ids({a}), Ids({lo, hi}), Ids({b})};
  const char* words[] = {"cats", "dogs", "mice"};
  const std::uint32_t counts[] = {1, 2, 1};
  const std::string got = ReadData(kIndex);

  std::string table, text, body;
  for (int i = 0; i < 3; ++i) {
    std::string n = U32(counts[i]);
    std::uint32_t check = wfidx::Hash32(words[i], 4);
    check = wfidx::Hash32(n.data(), 4, check);
    check = wfidx::Hash32(lists[i].data(), lists[i].size(), check);
    table += U32(static_cast<std::uint32_t>(text.size())) +
             U32(static_cast<std::uint32_t>(body.size())) + n + U32(check);
    text += Z(words[i]);
    body += lists[i];
  }
  std::uint64_t tie = 0;
  ASSERT_TRUE(wfidx::CatalogTie(plat::DataDir(), 1, tie));
  std::string header = std::string("ZWF1", 4) + U32(1) + U32(1) + U32(3) + U32(4) + U32(64 + 48) +
                       U32(15) + U32(64 + 48 + 15) + U32(static_cast<std::uint32_t>(body.size())) +
                       U32(static_cast<std::uint32_t>(64 + 48 + 15 + body.size())) +
                       U32(static_cast<std::uint32_t>(tie)) +
                       U32(static_cast<std::uint32_t>(tie >> 32)) + std::string(12, '\0');
  header += U32(wfidx::Hash32(header.data(), 60));
  EXPECT_EQ(got, header + table + text + body);

  EXPECT_EQ(Ask("DOGS cats"), (Answer{{{"a.txt", a}}, 3, ""}));
  const Answer dogs = Ask("dogs");
  EXPECT_EQ(dogs.matches, 2);
  ASSERT_EQ(dogs.files.size(), 2u);
  EXPECT_EQ(dogs.files[0].second, lo);
  EXPECT_EQ(dogs.files[1].second, hi);
}

TEST_F(WordFilesIndexTest, AnEmptyCatalogHasAnEmptyIndex) {
  WriteFile(root + "a.txt", "abc de");  // no word of four letters
  Build();
  const std::string got = ReadData(kIndex);
  ASSERT_EQ(got.size(), 64u);
  EXPECT_EQ(LE(got, 12), 0u);
  EXPECT_TRUE(IndexUsable());
  EXPECT_EQ(Ask("cats"), (Answer{{}, 0, ""}));
  EXPECT_EQ(Ask(""), (Answer{{}, 0, ""}));
}

// Several hundred files over several numbered catalogs: a few hundred random
// queries answer the same from the index as from the scan.
TEST_F(WordFilesIndexTest, RandomQueriesAnswerAsTheScanDoes) {
  MakeTree(420, 7);
  const BuildStats st = Build();
  ASSERT_GE(st.catalogs, 3);
  ASSERT_TRUE(IndexUsable());
  // The shared words are stored again in every numbered catalog.
  for (int n = 1; n <= st.catalogs; ++n) {
    auto words = Strings(ReadData("LES" + std::to_string(n) + ".007"));
    EXPECT_NE(std::find(words.begin(), words.end(), "common"), words.end()) << n;
  }
  const auto queries = Queries(320, 11);
  std::vector<Answer> indexed;
  for (auto& q : queries) indexed.push_back(Ask(q));
  const auto scanned = Scanned(queries);
  int found = 0, multi = 0;
  for (std::size_t i = 0; i < queries.size(); ++i) {
    EXPECT_EQ(indexed[i], scanned[i]) << '"' << queries[i] << '"';
    found += !indexed[i].files.empty();
    multi += indexed[i].files.size() > 1;
  }
  // The queries reach both kinds of answer.
  EXPECT_GT(found, 100);
  EXPECT_GT(multi, 20);
  EXPECT_EQ(Ask("common").files.size(), 420u);
  EXPECT_EQ(Ask("common common").matches, 840);
}

TEST_F(WordFilesIndexTest, MissingStaleOrDamagedIndexGivesTheScansAnswers) {
  MakeTree(60, 3);
  Build();
  const std::string good = ReadData(kIndex);
  const auto queries = Queries(12, 5);
  const auto scanned = Scanned(queries);
  const auto expectScan = [&](const std::string& what) {
    for (std::size_t i = 0; i < queries.size(); ++i)
      ASSERT_EQ(Ask(queries[i]), scanned[i]) << what << ": " << queries[i];
  };
  // Missing.
  std::filesystem::remove(plat::DataPath(kIndex));
  expectScan("missing");
  // Of another build: a catalog of other files, the old index put back.
  WriteData(kIndex, good);
  const std::string names = ReadData("IMS.007");
  WriteData("IMS.007", names.substr(0, names.size() - 1) + "x");
  EXPECT_FALSE(IndexUsable());
  WriteData("IMS.007", names);
  ASSERT_TRUE(IndexUsable());
  // Empty, short, or longer than its header says.
  for (const std::string& bad :
       {std::string(), good.substr(0, 63), good.substr(0, good.size() - 1), good + '\0'}) {
    WriteData(kIndex, bad);
    EXPECT_FALSE(IndexUsable());
    expectScan("size " + std::to_string(bad.size()));
  }
  // Every single byte changed, one at a time, in a sample spread over the
  // file: either the index is refused as a whole or the change is found
  // where it matters; the answers are always the scan's.
  std::mt19937 rng(9);
  for (int t = 0; t < 150; ++t) {
    std::string bad = good;
    const std::size_t at = t < 64 ? static_cast<std::size_t>(t) : rng() % bad.size();
    bad[at] = static_cast<char>(bad[at] ^ (1 + rng() % 255));
    WriteData(kIndex, bad);
    expectScan("byte " + std::to_string(at));
  }
  WriteData(kIndex, good);
  expectScan("restored");
}

TEST_F(WordFilesIndexTest, AnOlderCatalogWithoutTheIndexIsStillWholeAndSearched) {
  WriteFile(root + "a.txt", "cats dogs");
  Build();
  std::filesystem::remove(plat::DataPath(kIndex));
  EXPECT_TRUE(CatalogComplete());
  EXPECT_EQ(Ask("dogs").files.size(), 1u);
  // The next build writes one again; destroying the catalog removes it.
  Build();
  EXPECT_TRUE(IndexUsable());
  EXPECT_TRUE(DestroyCatalog(files));
  EXPECT_FALSE(DataExists(kIndex));
}

TEST_F(WordFilesIndexTest, ReaderRefusesWhatIsNotAnIndex) {
  wfidx::Reader r;
  EXPECT_FALSE(r.Attach(nullptr, 0));
  std::string bytes;
  ASSERT_TRUE(wfidx::WriteIndex(
      1, 0, 2,
      [](std::uint32_t i) {
        static const std::string l0 = Ids({0, 6}), l1 = Ids({6});
        return i == 0 ? wfidx::WordList{"cats", 2, l0} : wfidx::WordList{"dogs", 1, l1};
      },
      [&](const char* p, std::size_t n) {
        bytes.append(p, n);
        return true;
      }));
  ASSERT_TRUE(r.Attach(bytes.data(), bytes.size()));
  wfidx::Reader::Entry e;
  ASSERT_EQ(r.Find("cats", e), wfidx::Reader::Look::Found);
  std::vector<std::uint32_t> ids;
  ASSERT_TRUE(wfidx::Reader::DecodeList(e, ids));
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{0, 6}));
  std::vector<std::uint32_t> keep = {1, 6, 9};
  EXPECT_TRUE(wfidx::Reader::Intersect(e, keep));
  EXPECT_EQ(keep, (std::vector<std::uint32_t>{6}));
  EXPECT_EQ(r.Find("bats", e), wfidx::Reader::Look::Absent);
  EXPECT_EQ(r.Find("cows", e), wfidx::Reader::Look::Absent);
  EXPECT_EQ(r.Find("eels", e), wfidx::Reader::Look::Absent);
  // A list whose check holds but whose ids do not grow is refused too.
  std::string flat;
  ASSERT_TRUE(wfidx::WriteIndex(
      1, 0, 1,
      [](std::uint32_t) {
        return wfidx::WordList{"cats", 2, std::string_view("\x05\x00", 2)};
      },
      [&](const char* p, std::size_t n) {
        flat.append(p, n);
        return true;
      }));
  ASSERT_TRUE(r.Attach(flat.data(), flat.size()));
  ASSERT_EQ(r.Find("cats", e), wfidx::Reader::Look::Found);
  EXPECT_FALSE(wfidx::Reader::DecodeList(e, ids));
  // A sink that fails fails the write.
  EXPECT_FALSE(wfidx::WriteIndex(
      1, 0, 0, [](std::uint32_t) { return wfidx::WordList{}; },
      [](const char*, std::size_t) { return false; }));
}

TEST_F(WordFilesIndexTest, ListsGivenWholeWriteTheSameBytesAsListsAskedWordByWord) {
  const std::vector<std::string> words = {"alpha", "beta", "gamma", "zeta"};
  const std::vector<std::string> ids = {Ids({0, 6, 300}), Ids({6}), Ids({0, 70000}), Ids({9})};
  const auto at = [&](std::uint32_t i) {
    return wfidx::WordList{words[i], static_cast<std::uint32_t>(i == 1 || i == 3 ? 1 : i + 2),
                           ids[i]};
  };
  const auto write = [&](const std::vector<std::string_view>* lists, std::string& out) {
    out.clear();
    return wfidx::WriteIndex(
        3, 42, 4, at,
        [&](const char* p, std::size_t n) {
          out.append(p, n);
          return true;
        },
        lists);
  };
  std::string asked, given;
  ASSERT_TRUE(write(nullptr, asked));
  // In pieces that do not follow the words' bounds, one of them empty.
  const std::string all = ids[0] + ids[1] + ids[2] + ids[3];
  const std::vector<std::string_view> pieces = {
      std::string_view(all).substr(0, 3), std::string_view(), std::string_view(all).substr(3)};
  ASSERT_TRUE(write(&pieces, given));
  EXPECT_EQ(given, asked);
  // Pieces that do not add up to the lists the table describes are refused.
  const std::vector<std::string_view> short_ = {std::string_view(all).substr(1)};
  EXPECT_FALSE(write(&short_, given));
}

// One failed file operation at every point of a build over a catalog that
// has an index: whatever is in place afterwards answers as its scan does,
// and an index in place belongs to it or is refused.
TEST_F(WordFilesIndexTest, AFailedOperationAnywhereLeavesAnIndexThatBelongsOrNone) {
  MakeTree(12, 1);
  Build();
  std::map<std::string, std::string> old;
  for (auto& e : std::filesystem::directory_iterator(plat::DataPath("")))
    if (e.is_regular_file())
      old[e.path().filename().string()] = ReadData(e.path().filename().string());
  WriteFile(root + "d0/extra.txt", "common zebras giraffes");
  const std::vector<std::string> queries = {"common", "zebras common", "shared everywhere",
                                            "giraffes"};
  FaultFs fs;
  int usable = 0;
  long points = SweepFaults(fs, FaultSweep{[&] {
                                             std::filesystem::remove_all(StagingDir());
                                             for (auto& [name, bytes] : old) WriteData(name, bytes);
                                           },
                                           [&] { Build(); },
                                           [&](long) {
                                             RecoverCatalog();
                                             std::vector<Answer> now;
                                             for (auto& q : queries) now.push_back(Ask(q));
                                             usable += IndexUsable();
                                             EXPECT_EQ(now, Scanned(queries));
                                           }});
  EXPECT_GT(points, 20);
  EXPECT_GT(usable, 0);
  std::printf("index through %ld failing operations, %d with an index in use\n", points, usable);
}

// A build told to write no index (or whose word lists outgrew their memory
// budget) leaves it empty in place of the old one: searches scan.
TEST_F(WordFilesIndexTest, ABuildWithoutTheIndexReplacesTheOldOneWithNone) {
  WriteFile(root + "a.txt", "cats dogs");
  Build();
  ASSERT_TRUE(IndexUsable());
  WriteFile(root + "b.txt", "dogs mice");
  WordCat w(files);
  w.writeWordFileIndex = false;
  w.CreateWordCatalog(nullptr, {root});
  EXPECT_EQ(ReadData(kIndex), "");
  EXPECT_FALSE(IndexUsable());
  EXPECT_EQ(Ask("dogs").files.size(), 2u);
  EXPECT_EQ(Ask("mice dogs").files.size(), 1u);
}

// Word lists larger than one block of their arena, and more words than fit
// in one of its pages: the index still answers as the scan. The same tree
// with a memory budget the lists outgrow part way gets no index at all.
TEST_F(WordFilesIndexTest, ListsOverManyBlocksAndPagesAndABudgetOutgrown) {
  for (int f = 0; f < 70; ++f) {
    std::string text = "common shared ";
    for (int i = 0; i < 2500; ++i)
      text += WordFor(static_cast<std::uint32_t>(f * 2500 + i), 9) + " ";
    // Every tenth file shares a word with the next ten files.
    text += WordFor(900000 + static_cast<std::uint32_t>(f / 10), 7);
    WriteFile(root + "d" + std::to_string(f % 5) + "/f" + std::to_string(f) + ".txt", text);
  }
  const BuildStats st = Build();
  ASSERT_GT(st.catalogs, 10);
  ASSERT_TRUE(IndexUsable());
  // 175,000 words.
  EXPECT_GT(LE(ReadData(kIndex), 12), 175000u);
  const std::vector<std::string> queries = {"common",
                                            "shared common",
                                            WordFor(5, 9),
                                            WordFor(69 * 2500 + 7, 9) + " common",
                                            WordFor(900000 + 3, 7) + " shared",
                                            WordFor(3, 9) + " " + WordFor(4, 9),
                                            WordFor(3, 9) + " " + WordFor(2600, 9)};
  std::vector<Answer> indexed;
  for (auto& q : queries) indexed.push_back(Ask(q));
  EXPECT_EQ(indexed, Scanned(queries));
  EXPECT_EQ(indexed[0].files.size(), 70u);
  EXPECT_EQ(indexed[4].files.size(), 10u);
  EXPECT_EQ(indexed[5].files.size(), 1u);
  EXPECT_TRUE(indexed[6].files.empty());

  WordCat w(files);
  w.wordFileIndexBudget = 200000;
  w.CreateWordCatalog(nullptr, {root});
  EXPECT_FALSE(w.Stats().failed);
  EXPECT_EQ(ReadData(kIndex), "");
  std::vector<Answer> scanned;
  for (auto& q : queries) scanned.push_back(Ask(q));
  EXPECT_EQ(scanned, indexed);
}

// A budget that holds the word lists but leaves little room to sort them
// makes the build gather the lists a range of words at a time: the index
// is the same bytes whatever the room, or there is none.
TEST_F(WordFilesIndexTest, TheSameIndexWhateverRoomIsLeftToSortTheLists) {
  constexpr int kFiles = 24, kWords = 300;
  for (int f = 0; f < kFiles; ++f) {
    std::string text = "common ";
    for (int i = 0; i < kWords; ++i)
      text += WordFor(static_cast<std::uint32_t>((f * 131 + i * 7) % 2000), 8) + " ";
    text += WordFor(900000 + static_cast<std::uint32_t>(f / 4), 7);
    WriteFile(root + "d" + std::to_string(f % 3) + "/f" + std::to_string(f) + ".txt", text);
  }
  Build();
  ASSERT_TRUE(IndexUsable());
  const std::string reference = ReadData(kIndex);
  const std::uint32_t words = LE(reference, 12), pairs = LE(reference, 16);
  ASSERT_GT(pairs, 4000u);
  // What the lists take before they are sorted: one page of 1 MiB for the
  // pairs, 8 bytes a word and 12 a file; sorting them all at once takes 2
  // bytes a pair more. Budgets from short of the first to past both.
  const std::size_t held = (std::size_t{1} << 20) + 8 * words + 12 * kFiles;
  int kept = 0, dropped = 0;
  for (std::size_t budget = held - 4096; budget < held + 2 * pairs + 4096; budget += 1024) {
    WordCat w(files);
    w.wordFileIndexBudget = budget;
    w.CreateWordCatalog(nullptr, {root});
    ASSERT_FALSE(w.Stats().failed);
    const std::string got = ReadData(kIndex);
    if (got.empty()) {
      ++dropped;
      EXPECT_EQ(kept, 0) << "budget " << budget;  // a larger budget never drops it again
    } else {
      ++kept;
      EXPECT_EQ(got, reference) << "budget " << budget;
    }
  }
  EXPECT_GT(dropped, 0);
  EXPECT_GT(kept, 4);
}
