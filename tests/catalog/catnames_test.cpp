// The mapped file-name lookup against the reader's own file-name search:
// the same finds, directories, ids and order on generated catalogs, and the
// same answer when files are missing, damaged or read in pieces.
#include <cstring>
#include <random>

#include "catalog/catfiles.h"
#include "catalog/catnames.h"
#include "catalog/zrnfile.h"
#include "catalog_fixture.h"
#include "common/faultfs.h"

using namespace cattest;

namespace {

// One lookup's answer as text: every find as "name|dir|id", then the
// message boxes it showed.
struct Answer {
  std::vector<std::string> finds;
  std::vector<std::string> boxes;
  int count = 0;
  bool operator==(const Answer&) const = default;
};

void PrintTo(const Answer& a, std::ostream* os) {
  *os << a.count << " finds:";
  for (auto& f : a.finds) *os << " [" << f << "]";
  for (auto& b : a.boxes) *os << " box[" << b << "]";
}

class CatalogNamesTest : public CatalogTest {
 protected:
  static std::vector<std::string> Finds(ZrnFile& f) {
    std::vector<std::string> out;
    for (int i = 0; i < f.Count; ++i)
      out.push_back(f.FileNamePtr[static_cast<std::size_t>(i)] + "|" +
                    f.PathNamePtr[static_cast<std::size_t>(i)] + "|" +
                    std::to_string(f.FileIDPtr[static_cast<std::size_t>(i)]));
    return out;
  }
  // Through `names`, made with the fixture's host.
  Answer Mapped(CatalogNames& names, const std::string& text) {
    ZrnFile f;
    const std::size_t before = host.boxes.size();
    Answer a;
    a.count = names.Collect(text, f);
    a.finds = Finds(f);
    for (std::size_t i = before; i < host.boxes.size(); ++i) a.boxes.push_back(host.boxes[i].text);
    return a;
  }
  Answer Loaded(const std::string& text) {
    RecordingHost h;
    WordView v(files, h, h);
    ZrnFile f;
    Answer a;
    a.count = v.CollectFileNames(text, f);
    a.finds = Finds(f);
    for (auto& b : h.boxes) a.boxes.push_back(b.text);
    return a;
  }
  Answer Fresh(const std::string& text) {
    RecordingHost h;
    CatalogNames names(h);
    ZrnFile f;
    Answer a;
    a.count = names.Collect(text, f);
    a.finds = Finds(f);
    for (auto& b : h.boxes) a.boxes.push_back(b.text);
    return a;
  }
  // A tree of many names sharing pieces, files of the same name in several
  // directories, files on both lists, and enough word text for several
  // numbered word catalogs.
  void MakeTree(int files, std::uint32_t seed) {
    std::mt19937 rng(seed);
    static const char* kStems[] = {"report", "Report", "notes", "alpha", "beta", "a", "ab", "x.y"};
    static const char* kExts[] = {".txt", ".md", ".exe", ".mp3"};
    for (int i = 0; i < files; ++i) {
      const std::string dir =
          root + "d" + std::to_string(i % 7) + "/s" + std::to_string(i % 3) + "/";
      const std::string name =
          std::string(kStems[rng() % 8]) + std::to_string(rng() % 40) + kExts[rng() % 4];
      std::string text;
      for (int w = 0; w < 400; ++w) text += WordFor(static_cast<std::uint32_t>(i * 400 + w)) + " ";
      WriteFile(dir + name, text);
    }
  }
  // Texts to look for: pieces of the names in place, and some in none.
  std::vector<std::string> Texts() {
    std::vector<std::string> texts = {"report", "Report", "REPORT", ".txt",    ".",     "a",
                                      "1",      "0.mp3",  "x.y",    "nothing", "txt\n", "e"};
    for (const std::string& n : Strings(ReadData("IMS.007")))
      if (n.size() > 3) texts.push_back(n.substr(1, 3));
    return texts;
  }
  void ExpectSameForAll(CatalogNames& names) {
    for (const std::string& t : Texts()) EXPECT_EQ(Mapped(names, t), Loaded(t)) << "text " << t;
  }
};

}  // namespace

TEST_F(CatalogNamesTest, SameFindsAsTheReaderOnGeneratedCatalogs) {
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    TestEnv::ClearDataDir();
    SetLists({".txt", ".md", ".exe", ".txt"}, {".mp3", ".txt"});
    root = TestEnv::FreshDir("tree" + std::to_string(seed));
    MakeTree(60 + static_cast<int>(seed) * 20, seed);
    const BuildStats stats = Build();
    // Word text past the switch point: more than one numbered catalog.
    ASSERT_TRUE(DataExists("LES2.007")) << stats.words;
    CatalogNames names(host);
    ExpectSameForAll(names);
    EXPECT_GT(Mapped(names, ".txt").count, 40);
    EXPECT_TRUE(host.boxes.empty());
  }
}

TEST_F(CatalogNamesTest, EmptyAndNulTextsFindNothing) {
  MakeTree(10, 4);
  Build();
  CatalogNames names(host);
  EXPECT_EQ(Mapped(names, "").count, 0);
  EXPECT_EQ(Mapped(names, std::string("a\0b", 3)).count, 0);
  EXPECT_EQ(Loaded(std::string("a\0b", 3)).count, 0);
}

TEST_F(CatalogNamesTest, SeesANewBuildThroughTheSameObject) {
  MakeTree(12, 5);
  Build();
  CatalogNames names(host);
  const Answer before = Mapped(names, ".");
  WriteFile(root + "zz/fresh-report.txt", "brand new words here");
  Build();
  const Answer after = Mapped(names, ".");
  EXPECT_EQ(after, Loaded("."));
  EXPECT_EQ(after.count, before.count + 1);
  EXPECT_EQ(Mapped(names, "fresh").count, 1);
  // The catalog destroyed: nothing, silently.
  ASSERT_TRUE(DestroyCatalog(files));
  EXPECT_EQ(Mapped(names, "."), Answer{});
  EXPECT_EQ(Loaded("."), Answer{});
  names.Release();
  EXPECT_EQ(Mapped(names, "."), Answer{});
}

TEST_F(CatalogNamesTest, MissingFilesAreHandledAsTheReaderDoes) {
  MakeTree(30, 6);
  Build();
  const std::string dir = plat::DataPath("");
  for (const char* name : {"IMS.007", "IMSt.007", "KEPb.007", "DES.007"}) {
    const std::string saved = ReadData(name);
    std::filesystem::remove(dir + name);
    CatalogNames names(host);
    ExpectSameForAll(names);
    WriteData(name, saved);
    // Back in place: the same object maps it again.
    ExpectSameForAll(names);
  }
  // Both tables gone: names without directories, no complaint.
  const std::string a = ReadData("IMSt.007"), b = ReadData("KEPb.007");
  std::filesystem::remove(dir + "IMSt.007");
  std::filesystem::remove(dir + "KEPb.007");
  EXPECT_EQ(Fresh(".txt"), Loaded(".txt"));
  EXPECT_GT(Fresh(".txt").count, 0);
  EXPECT_TRUE(Fresh(".txt").boxes.empty());
}

TEST_F(CatalogNamesTest, DamagedFilesAreHandledAsTheReaderDoes) {
  MakeTree(25, 7);
  Build();
  const std::string names0 = ReadData("IMS.007"), tbl0 = ReadData("IMSt.007"),
                    ext0 = ReadData("KEPb.007"), paths0 = ReadData("DES.007");
  ASSERT_GE(tbl0.size(), 24u);
  ASSERT_GE(ext0.size(), 8u);
  auto put = [](std::string s, std::size_t at, std::uint32_t v) {
    const std::string b = U32(v);
    s.replace(at, 4, b);
    return s;
  };
  struct Damage {
    const char* what;
    const char* file;
    std::string bytes;
  };
  const std::vector<Damage> damages = {
      {"records out of order", "IMSt.007", tbl0.substr(8, 8) + tbl0.substr(0, 8) + tbl0.substr(16)},
      {"an id inside a name", "IMSt.007", put(tbl0, 0, 1)},
      {"an id past the names", "KEPb.007", put(ext0, ext0.size() - 8, 0x7FFFFFF0u)},
      {"one id in both tables", "KEPb.007", tbl0.substr(0, 8) + ext0},
      {"a path past the paths", "IMSt.007",
       put(tbl0, 4, static_cast<std::uint32_t>(paths0.size()))},
      {"a path inside a path", "IMSt.007", put(tbl0, 4, 1)},
      {"a partial record", "IMSt.007", tbl0 + "abc"},
      {"a cut files table", "IMSt.007", tbl0.substr(0, tbl0.size() - 8)},
      {"names without the last NUL", "IMS.007", names0.substr(0, names0.size() - 1)},
      {"cut paths", "DES.007", paths0.substr(0, paths0.size() / 2)},
      {"empty paths", "DES.007", ""},
      {"empty names", "IMS.007", ""},
  };
  for (const Damage& d : damages) {
    WriteData(d.file, d.bytes);
    for (const std::string& t : Texts()) EXPECT_EQ(Fresh(t), Loaded(t)) << d.what << ", text " << t;
    WriteData("IMS.007", names0);
    WriteData("IMSt.007", tbl0);
    WriteData("KEPb.007", ext0);
    WriteData("DES.007", paths0);
  }
  // Some damage is noticed and told, once per lookup, with nothing listed.
  WriteData("IMSt.007", put(tbl0, 0, 1));
  const Answer a = Fresh(".");
  EXPECT_EQ(a.count, 0);
  ASSERT_EQ(a.boxes.size(), 1u);
  EXPECT_EQ(a.boxes[0], kDamagedCatalogText);
}

TEST_F(CatalogNamesTest, ReadsThroughAnInstalledFileSystem) {
  MakeTree(20, 8);
  Build();
  std::vector<std::pair<std::string, Answer>> clean;
  for (const std::string& t : Texts()) clean.emplace_back(t, Loaded(t));
  FaultFs fs;
  FaultFs::Scope installed(fs);
  // Reads in small pieces: the same answers.
  fs.maxReadChunk = 7;
  for (auto& [t, want] : clean) EXPECT_EQ(Fresh(t), want) << t;
  fs.maxReadChunk = 0;
  // A file that cannot be opened: as the reader with the same fault.
  for (const char* name : {"IMS.007", "IMSt.007", "KEPb.007", "DES.007"}) {
    fs.failOpenMatching = name;
    for (auto& [t, want] : clean) EXPECT_EQ(Fresh(t), Loaded(t)) << name << ", text " << t;
  }
  fs.failOpenMatching.clear();
  // Every read of every lookup failing in turn: never a wrong directory
  // or name, at worst fewer finds, a find without its directory or the
  // damaged-catalog message.
  const Answer full = clean[3].second;  // ".txt"
  ASSERT_GT(full.count, 0);
  Answer got;
  const long points = SweepFaults(
      fs, FaultSweep{[] {}, [&] { got = Fresh(".txt"); },
                     [&](long n) {
                       if (!got.boxes.empty()) {
                         EXPECT_EQ(got.count, 0) << n;
                         return;
                       }
                       for (const std::string& f : got.finds) {
                         const auto cut = f.find('|');
                         bool known = false;
                         for (const std::string& w : full.finds)
                           known |= w == f || (w.substr(0, cut) == f.substr(0, cut) &&
                                               f.substr(cut) == "||" + w.substr(w.rfind('|') + 1));
                         EXPECT_TRUE(known) << "fault " << n << ": " << f;
                       }
                     }});
  EXPECT_GE(points, 4);
  EXPECT_EQ(got, full);
}

// The directories the word search's list shows: for every id a search can
// give (and ids no search gives), what the reader's own GetFilePath reads,
// in the order asked; damage is told once and nothing is listed.
TEST_F(CatalogNamesTest, DirectoriesMatchTheReaderForEveryId) {
  SetLists({".txt", ".md", ".exe"}, {".mp3"});
  MakeTree(70, 9);
  Build();
  const std::string names = ReadData("IMS.007");
  std::vector<std::uint32_t> ids;
  for (std::uint32_t off = 0; off < names.size();
       off += 1 + static_cast<std::uint32_t>(std::strlen(names.c_str() + off)))
    ids.push_back(off);
  ASSERT_GT(ids.size(), 60u);
  // Not the start of a name, past the names, and a repeat out of order.
  ids.insert(ids.begin(), {1u, 0x7FFFFFF0u, ids.back(), 0u});
  const auto reader = [&](const std::vector<std::uint32_t>& which) {
    RecordingHost h;
    WordView v(files, h, h);
    std::vector<std::string> out;
    for (std::uint32_t id : which) {
      v.fileid = id;
      v.FindPath.clear();
      v.GetFilePath(false);
      out.push_back(v.FindPath);
    }
    return std::make_pair(out, h.boxes.size());
  };
  const auto [want, boxes] = reader(ids);
  ASSERT_EQ(boxes, 0u);
  CatalogNames lookup(host);
  std::vector<std::string> dirs;
  ASSERT_TRUE(lookup.Directories(ids, dirs));
  EXPECT_EQ(dirs, want);
  EXPECT_EQ(dirs[1], "");           // no such file
  EXPECT_EQ(dirs[2], want.back());  // asked twice, told twice
  EXPECT_NE(dirs.back().find(root.substr(0, root.size() - 1)), std::string::npos);
  ASSERT_TRUE(lookup.Directories({}, dirs));
  EXPECT_TRUE(dirs.empty());
  EXPECT_TRUE(host.boxes.empty());

  // A damaged files table: no list, the message once, as the reader.
  const std::string tbl0 = ReadData("IMSt.007");
  WriteData("IMSt.007", U32(1) + tbl0.substr(4));
  dirs = {"stale"};
  EXPECT_FALSE(lookup.Directories(ids, dirs));
  EXPECT_TRUE(dirs.empty());
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, kDamagedCatalogText);
  EXPECT_EQ(lookup.Problem(), kDamagedCatalogText);
  EXPECT_GT(reader(ids).second, 0u);
  // Mended in place: the same object answers again.
  WriteData("IMSt.007", tbl0);
  EXPECT_TRUE(lookup.Directories(ids, dirs));
  EXPECT_EQ(dirs, want);
  EXPECT_TRUE(lookup.Problem().empty());
}
