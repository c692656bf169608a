#include "catalog/zwrdview.h"
#include "platform/plauncher.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <optional>

#include "catalog/catfiles.h"
#include "catalog/wfindex.h"
#include "catalog/zrnfile.h"
#include "host/findresults.h"
#include "host/messages.h"
#include "platform/pbytes.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "platform/pmmap.h"
#include "platform/psort.h"

static_assert(std::endian::native == std::endian::little, "catalog records are read in place");

namespace {

// Reads up to `size` bytes from the start of the open file into `dst`;
// returns the count read.
std::size_t ReadInto(ZrnIO& io, HANDLE h, char* dst, std::uint32_t size) {
  io.SetFilePtr(h, 0);
  std::size_t got = 0;
  while (got < size) {
    long n = io.ReadFromFile(dst + got, size - static_cast<std::uint32_t>(got), h);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

// Reads the whole open file into `out` (`out` keeps what was read). A short
// read is reported on the diagnostic output and the search goes on with it.
bool LoadWhole(ZrnIO& io, HANDLE h, std::vector<char>& out, const char* shortReadMsg) {
  out.clear();
  if (!plat::IsOpen(h)) return false;
  std::uint32_t size = io.FileSize(h);
  out.resize(size);
  std::size_t got = ReadInto(io, h, out.data(), size);
  if (got < size) {
    std::fputs(shortReadMsg, stderr);
    out.resize(got);
  }
  return true;
}

// Loads a file of fixed-size records; a trailing partial record is ignored.
template <typename Rec>
bool LoadRecords(ZrnIO& io, HANDLE h, std::vector<Rec>& out, const char* shortReadMsg) {
  out.clear();
  if (!plat::IsOpen(h)) return false;
  std::uint32_t count = io.FileSize(h) / static_cast<std::uint32_t>(sizeof(Rec));
  out.resize(count);
  std::uint32_t bytes = count * static_cast<std::uint32_t>(sizeof(Rec));
  std::size_t got = ReadInto(io, h, reinterpret_cast<char*>(out.data()), bytes);
  if (got < bytes) {
    std::fputs(shortReadMsg, stderr);
    out.resize(got / sizeof(Rec));
  }
  return true;
}

void LowerAscii(std::string& s) { s = plat::AsciiLower(std::move(s)); }

}  // namespace

WordView::WordView(ZrnIO& files, MessageHost& messages, FindResultsHost& results)
    : files_(files), messages_(messages), results_(results) {}
WordView::~WordView() = default;

const char* WordView::StringAt(const std::vector<char>& buf, std::uint32_t off) {
  // Every loaded text buffer ends with an added NUL, so a string read from
  // inside it ends inside it.
  if (buf.empty() || off >= buf.size() - 1) return "";
  return buf.data() + off;
}

const char* WordView::WordAt(std::uint32_t off) const {
  return off < allGenLen_ ? AllGenCharBufPtr.data() + off : "";
}

void WordView::DropLoaded() {
  idxLoaded_ = filesLoaded_ = pathIndexLoaded_ = false;
  SearchWordsIdx.clear();
  FileGenCharBufPtr.clear();
  pathIndex_.clear();
  runChecked_.clear();
}

bool WordView::Begin(const CatalogReadScope& scope) {
  Problem.clear();
  reported_ = false;
  if (!scope.Usable()) {
    Problem = kBusyCatalogText;
    return false;
  }
  if (scope.Generation() != generation_) {
    DropLoaded();
    generation_ = scope.Generation();
  }
  return true;
}

void WordView::Damaged() {
  if (Problem.empty()) Problem = kDamagedCatalogText;
}

void WordView::ReportProblem() {
  if (Problem.empty() || reported_) return;
  reported_ = true;
  messages_.MessageBox(Problem, "Zarns", MB_OK | MB_ICONEXCLAMATION);
}

bool WordView::IsNameStart(std::uint32_t off) const {
  // The loaded buffer carries one added NUL at its end.
  if (FileGenCharBufPtr.size() < 2 || off >= FileGenCharBufPtr.size() - 1) return false;
  return (off == 0 || FileGenCharBufPtr[off - 1] == '\0') && FileGenCharBufPtr[off] != '\0';
}

bool WordView::RunIsSound(int cat, std::size_t begin, std::size_t end) {
  if (runChecked_.size() <= static_cast<std::size_t>(cat)) runChecked_.resize(cat + 1, false);
  if (runChecked_[cat]) return true;
  const char* prev = nullptr;
  for (std::size_t i = begin; i < end; ++i) {
    const std::uint32_t off = SearchWordsIdx[i].Offset;
    if (off >= allGenLen_ || (off > 0 && AllGenCharBufPtr[off - 1] != '\0')) return false;
    const char* w = AllGenCharBufPtr.data() + off;
    if (*w == '\0' || (prev && std::strcmp(prev, w) >= 0)) return false;
    prev = w;
  }
  runChecked_[cat] = true;
  return true;
}

void WordView::LoadFilesBuffer() {
  if (filesLoaded_) return;
  if (LoadWhole(files_, files_.FilesBufOut, FileGenCharBufPtr,
                "Error Reading Files Buffer in ReadWordsIdxDB\n")) {
    FileGenCharBufPtr.push_back('\0');
    filesLoaded_ = true;
  }
}

void WordView::InterpretWords() {
  CatalogReadScope scope;
  if (Begin(scope) && !SearchWithIndex()) {
    files_.OpenFiles("r");
    ReadWordsIdxDB();
    int n = GetNumWordsToMatch();
    FindWords(n);
    files_.CloseFiles();
  }
  if (!Problem.empty()) {
    // Nothing from a catalog that contradicts itself is worth listing.
    HitList.clear();
    FileArray.clear();
    MatchesFound = 0;
    ReportProblem();
  }
}

int WordView::GetNumWordsToMatch() {
  FindArray.clear();
  // The words end where a C string would.
  const std::string text = FindName.substr(0, FindName.find('\0'));
  auto sep = [](char c) { return c == ' ' || c == '.' || c == ','; };
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && sep(text[i])) ++i;
    std::size_t s = i;
    while (i < text.size() && !sep(text[i])) ++i;
    if (i > s) FindArray.push_back(text.substr(s, i - s));
  }
  return static_cast<int>(FindArray.size());
}

void WordView::ReadWordsIdxDB() {
  LoadFilesBuffer();
  if (!idxLoaded_ && LoadRecords(files_, files_.WordsIdxOut, SearchWordsIdx,
                                 "Error Reading Words Idx Buffer in ReadWordsIdxDB\n")) {
    idxLoaded_ = true;
    // One run per numbered catalog, numbered 1, 2, 3, ... in order.
    std::int32_t cat = 1;
    for (std::size_t i = 0; i < SearchWordsIdx.size(); ++i) {
      const std::int32_t c = SearchWordsIdx[i].CatId;
      if (c == cat || (c == cat + 1 && i > 0)) {
        cat = c;
        continue;
      }
      Damaged();
      break;
    }
  }
  TotalNumWords = static_cast<std::uint32_t>(SearchWordsIdx.size());
  SearchWordsIdxIter = 0;
}

bool WordView::ReadWordCatDBbyIdx(int idx) {
  if (!files_.SetCurrentWordDB(idx)) return false;
  // The buffer is reused from catalog to catalog, grown as needed; the text
  // of this catalog is allGenLen_ bytes followed by a NUL.
  HANDLE h = files_.WordsBufOut;
  std::uint32_t size = files_.FileSize(h);
  if (AllGenCharBufPtr.size() < static_cast<std::size_t>(size) + 1)
    AllGenCharBufPtr.resize(static_cast<std::size_t>(size) + 1);
  std::size_t got = ReadInto(files_, h, AllGenCharBufPtr.data(), size);
  if (got < size) std::fputs("Error Reading Words Buffer in ReadWordCatDBbyIdx\n", stderr);
  AllGenCharBufPtr[got] = '\0';
  allGenLen_ = got;
  return true;
}

// The same answer as FindWords, from the word -> files index: MatchesFound
// is the sum of the typed words' file counts (a word typed twice counts
// twice), HitList the files holding every typed word, in id order, which
// is match-file order. The shortest list is decoded first and each longer
// one only as far as the files still in the running.
bool WordView::SearchWithIndex() {
  wfidx::Reader index;
  if (!index.Open(plat::DataDir())) return false;
  const int numtomatch = GetNumWordsToMatch();
  std::vector<wfidx::Reader::Entry> lists;
  long long matches = 0;
  bool allThere = numtomatch > 0;
  for (const std::string& typed : FindArray) {
    const std::string w = plat::AsciiLower(typed);
    wfidx::Reader::Entry e;
    switch (index.Find(w, e)) {
      case wfidx::Reader::Look::Damaged: return false;
      case wfidx::Reader::Look::Absent: allThere = false; break;
      case wfidx::Reader::Look::Found:
        matches += e.count;
        if (std::none_of(lists.begin(), lists.end(),
                         [&](const wfidx::Reader::Entry& x) { return x.list == e.list; }))
          lists.push_back(e);
        break;
    }
  }
  std::vector<std::uint32_t> ids;
  if (allThere && !lists.empty()) {
    std::sort(lists.begin(), lists.end(),
              [](const wfidx::Reader::Entry& a, const wfidx::Reader::Entry& b) {
                return a.count < b.count;
              });
    if (!wfidx::Reader::DecodeList(lists[0], ids)) return false;
    for (std::size_t i = 1; i < lists.size() && !ids.empty(); ++i)
      if (!wfidx::Reader::Intersect(lists[i], ids)) return false;
  }
  // Names straight from the mapped files buffer: only those listed are touched.
  plat::MappedFile names;
  if (!ids.empty() && !names.Open(DataFilePath(DataFile::kFilesBuf))) return false;
  FileArray.clear();
  totalMatchTableEntries = 0;
  MatchesFound = static_cast<int>(std::min<long long>(matches, 0x7FFFFFFF));
  for (std::uint32_t id : ids) {
    if (id >= names.size()) continue;  // an id outside the files buffer names no file
    const std::size_t len = strnlen(names.data() + id, names.size() - id);
    if (len > 0) HitList.push_back({std::string(names.data() + id, len), id});
  }
  return true;
}

void WordView::FindWords(int numtomatch) {
  const std::vector<WordIdxStructType> hits = LookUpWords();
  CollectMatches(hits);
  MatchesFound = static_cast<int>(FileArray.size());
  ListFilesHoldingAll(numtomatch);
}

// Each index run is sorted by its words in the builder's byte order, so a
// typed word is looked up by binary search. Hits are taken in the order a
// walk over the whole run would meet them (record by record, each record
// against the typed words in order).
std::vector<WordIdxStructType> WordView::LookUpWords() {
  std::vector<WordIdxStructType> hits;
  hits.reserve(kMaxHits);
  std::vector<std::string> typed = FindArray;
  for (auto& w : typed) LowerAscii(w);

  const auto idx = SearchWordsIdx.begin();
  const std::size_t total = SearchWordsIdx.size();
  std::vector<std::pair<std::size_t, std::size_t>> found;  // (record, typed word)
  for (int n = 1; SearchWordsIdxIter < total && !typed.empty() && Problem.empty(); ++n) {
    std::size_t begin = SearchWordsIdxIter, end = begin;
    while (end < total && SearchWordsIdx[end].CatId == n) ++end;
    SearchWordsIdxIter = end;
    // A catalog whose words are gone ends the look-up: what the catalogs
    // before it hold is still right, only not all there is.
    if (!ReadWordCatDBbyIdx(n)) break;
    if (begin == end) continue;
    if (!RunIsSound(n, begin, end)) {
      Damaged();
      break;
    }
    found.clear();
    for (std::size_t t = 0; t < typed.size(); ++t) {
      const char* w = typed[t].c_str();
      const auto runEnd = idx + static_cast<std::ptrdiff_t>(end);
      auto first = std::lower_bound(idx + static_cast<std::ptrdiff_t>(begin), runEnd, w,
                                    [this](const WordIdxStructType& r, const char* key) {
                                      return std::strcmp(WordAt(r.Offset), key) < 0;
                                    });
      for (auto it = first; it != runEnd && std::strcmp(WordAt(it->Offset), w) == 0; ++it)
        found.emplace_back(static_cast<std::size_t>(it - idx), t);
    }
    std::sort(found.begin(), found.end());
    for (auto& [rec, t] : found) hits.push_back({SearchWordsIdx[rec].Offset, n});
  }
  return hits;
}

namespace {

// The hits as sorted (catalog, word offset) keys with their counts, and a
// bit filter in front of them, so that most match records are passed over
// with one test.
class HitKeys {
 public:
  explicit HitKeys(const std::vector<WordIdxStructType>& hits) : filter_(1024, 0) {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys;
    for (auto& h : hits) {
      keys.emplace_back(Key(h.Offset, h.CatId), 1);
      const std::uint32_t b = Bit(h.Offset, h.CatId);
      filter_[b >> 6] |= std::uint64_t{1} << (b & 63);
    }
    std::sort(keys.begin(), keys.end());
    for (auto& k : keys) {
      if (!counted_.empty() && counted_.back().first == k.first)
        ++counted_.back().second;
      else
        counted_.push_back(k);
    }
  }
  bool empty() const { return counted_.empty(); }
  // How many hits name this record's word (0 for most records).
  std::uint32_t Count(const MatchStructType& m) const {
    const std::uint32_t b = Bit(m.OffsetA, m.CatId);
    if (!(filter_[b >> 6] >> (b & 63) & 1)) return 0;
    const std::uint64_t key = Key(m.OffsetA, m.CatId);
    auto it =
        std::lower_bound(counted_.begin(), counted_.end(), std::make_pair(key, std::uint32_t{0}));
    return it != counted_.end() && it->first == key ? it->second : 0;
  }

 private:
  static std::uint64_t Key(std::uint32_t off, std::int32_t cat) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(cat)) << 32 | off;
  }
  static std::uint32_t Bit(std::uint32_t off, std::int32_t cat) {
    return (off ^ (static_cast<std::uint32_t>(cat) * 0x9E3779B1u)) & 0xFFFFu;  // 65536 bits
  }
  std::vector<std::pair<std::uint64_t, std::uint32_t>> counted_;
  std::vector<std::uint64_t> filter_;
};

}  // namespace

// Every match record whose word is a hit adds its file to FileArray once
// per such hit. The match file is read straight through in large pieces
// rather than kept whole: it is by far the largest catalog file.
void WordView::CollectMatches(const std::vector<WordIdxStructType>& hits) {
  FileArray.clear();
  totalMatchTableEntries = 0;
  const HitKeys keys(hits);
  HANDLE h = files_.MatchesOut;
  if (keys.empty() || !plat::IsOpen(h)) return;
  constexpr std::uint32_t kRecSize = sizeof(MatchStructType);
  const std::uint32_t records = files_.FileSize(h) / kRecSize;
  totalMatchTableEntries = records;
  constexpr std::uint32_t kChunkRecords = 1 << 16;
  std::vector<MatchStructType> chunk(std::min(kChunkRecords, records));
  files_.SetFilePtr(h, 0);
  std::uint32_t done = 0;
  // Files follow each other in file id order, and every record names a
  // catalog of the index: records out of that order are damage.
  std::uint32_t lastFile = 0;
  std::vector<std::uint64_t> fileHits;  // the hit words of file lastFile
  const std::int32_t lastRun = SearchWordsIdx.empty() ? 1 : SearchWordsIdx.back().CatId;
  while (done < records) {
    const std::uint32_t want = std::min(kChunkRecords, records - done);
    const long got = files_.ReadFromFile(chunk.data(), want * kRecSize, h);
    const std::uint32_t n = got > 0 ? static_cast<std::uint32_t>(got) / kRecSize : 0;
    for (std::uint32_t i = 0; i < n; ++i) {
      const MatchStructType& m = chunk[i];
      if (m.OffsetB < lastFile || m.CatId < 1 || m.CatId > lastRun) {
        Damaged();
        return;
      }
      if (m.OffsetB != lastFile) fileHits.clear();
      lastFile = m.OffsetB;
      if (std::uint32_t c = keys.Count(m)) {
        // A file holds each word once: a second record of the same word
        // would count for a typed word the file does not hold.
        const std::uint64_t key =
            std::uint64_t{static_cast<std::uint32_t>(m.CatId)} << 32 | m.OffsetA;
        if (std::find(fileHits.begin(), fileHits.end(), key) != fileHits.end()) {
          Damaged();
          return;
        }
        fileHits.push_back(key);
        // An id past the files buffer names no file and is passed over; one
        // inside it must be the start of a name, or a wrong name is listed.
        if (m.OffsetB + std::size_t{1} < FileGenCharBufPtr.size() && !IsNameStart(m.OffsetB)) {
          Damaged();
          return;
        }
        FileArray.insert(FileArray.end(), c, m.OffsetB);
      }
    }
    if (n < want) {
      std::fputs("Error Reading Match Buffer in FindWords\n", stderr);
      break;
    }
    done += n;
  }
}

// A file's records are consecutive, so all its hits are: a run as long as
// the number of words typed means the file holds every one of them.
void WordView::ListFilesHoldingAll(int numtomatch) {
  std::size_t i = 0;
  while (i < FileArray.size()) {
    std::size_t j = i;
    while (j < FileArray.size() && FileArray[j] == FileArray[i]) ++j;
    if (numtomatch > 0 && j - i >= static_cast<std::size_t>(numtomatch)) {
      const std::uint32_t id = FileArray[i];
      const char* name = StringAt(FileGenCharBufPtr, id);
      if (*name) HitList.push_back({name, id});  // an id outside the files buffer names no file
    }
    i = j;
  }
}

void WordView::LoadPathIndex() {
  if (pathIndexLoaded_) return;
  std::vector<FilesTblStructType> a, b;
  bool okA =
      LoadRecords(files_, files_.FilesTblOut, a, "Error Reading Files Table in GetFilePath\n");
  bool okB =
      LoadRecords(files_, files_.ExtMatchOut, b, "Error Reading Files Table in GetFilePath\n");
  if (!okA && !okB) return;
  // Each table names files in the order they were recorded, each by the
  // start of its name; a name has one record in one of the two tables.
  LoadFilesBuffer();
  for (const auto* t : {&a, &b}) {
    for (std::size_t i = 0; i < t->size(); ++i) {
      const FilesTblStructType& r = (*t)[i];
      if (!IsNameStart(r.OffsetA) || (i > 0 && r.OffsetA <= (*t)[i - 1].OffsetA)) {
        Damaged();
        return;
      }
    }
  }
  pathIndex_ = std::move(a);
  pathIndex_.insert(pathIndex_.end(), b.begin(), b.end());
  std::stable_sort(pathIndex_.begin(), pathIndex_.end(),
                   [](const FilesTblStructType& x, const FilesTblStructType& y) {
                     return x.OffsetA < y.OffsetA;
                   });
  for (std::size_t i = 1; i < pathIndex_.size(); ++i) {
    if (pathIndex_[i].OffsetA == pathIndex_[i - 1].OffsetA) {
      pathIndex_.clear();
      Damaged();
      return;
    }
  }
  pathIndexLoaded_ = true;
}

void WordView::GetFilePath(bool OpenFiles) {
  std::optional<CatalogReadScope> scope;
  if (!OpenFiles) {
    scope.emplace();
    if (!Begin(*scope)) {
      ReportProblem();
      return;
    }
    files_.OpenFiles("r");
  }
  LoadPathIndex();
  auto it = std::lower_bound(
      pathIndex_.begin(), pathIndex_.end(), fileid,
      [](const FilesTblStructType& r, std::uint32_t id) { return r.OffsetA < id; });
  if (it != pathIndex_.end() && it->OffsetA == fileid) {
    HANDLE h = files_.PathsBufOut;
    const std::uint32_t size = plat::IsOpen(h) ? files_.FileSize(h) : 0;
    char text[kGenBufferSize];
    // A directory is named by the start of its path: the byte before it
    // ends the previous path.
    if (it->OffsetB >= size ||
        (it->OffsetB > 0 && files_.ReadFromFileAtOffset(text, h, it->OffsetB - 1) != 1)) {
      Damaged();
    } else {
      files_.ReadFromFileAtOffset(text, h, it->OffsetB);
      FindPath = text;
    }
  }
  if (!OpenFiles) {
    files_.CloseFiles();
    ReportProblem();
  }
}

int WordView::CollectFileNames(const std::string& text, ZrnFile& out) {
  int count = 0;
  fileid = 0;
  CatalogReadScope scope;
  if (!Begin(scope)) {
    ReportProblem();
    return 0;
  }
  files_.OpenFiles("r");
  LoadFilesBuffer();
  // Held back until the whole list is known to come from a sound catalog.
  struct Found {
    std::string name, path;
    std::uint32_t id;
  };
  std::vector<Found> found;
  // Every name contains the empty text: looking for nothing finds nothing.
  if (!text.empty() && !FileGenCharBufPtr.empty()) {
    const std::size_t size = FileGenCharBufPtr.size() - 1;
    std::size_t off = 0;
    while (off < size && Problem.empty()) {
      const char* s = FileGenCharBufPtr.data() + off;
      std::size_t len = strnlen(s, size - off);
      if (std::string_view(s, len).find(text) != std::string_view::npos) {
        fileid = static_cast<std::uint32_t>(off);
        // A name without a directory record must not show the previous one's.
        FindPath.clear();
        GetFilePath(true);
        found.push_back({std::string(s, len), FindPath, fileid});
      }
      off += len + 1;
    }
  }
  files_.CloseFiles();
  if (!Problem.empty()) {
    ReportProblem();
    return 0;
  }
  for (auto& f : found) out.Add(f.name, f.path, f.id);
  count = static_cast<int>(found.size());
  return count;
}

bool WordView::FindFileName(ZrnFile* FileToFind) {
  if (!FileToFind) return false;
  return OfferFileNames(FileToFind, CollectFileNames(FileToFind->ShortFileName, *FileToFind));
}

bool WordView::OfferFileNames(ZrnFile* FileToFind, int n) {
  if (n == 1) {
    const std::string name = FileToFind->FileNamePtr.back();
    if (messages_.MessageBox(name, "Open file now?", MB_OKCANCEL) == IDOK) {
      // The find just added, even when the list held records before.
      FileToFind->CurrentRec = FileToFind->Count;
      if (!FileToFind->ShellFile())
        messages_.MessageBox(plat::LaunchFailedText(FileToFind->FileInfo), "Zarns", MB_OK);
    }
  } else if (n > 1) {
    FileToFind->Reset();
    std::string file, path, lastFile, lastPath;
    std::uint32_t id = 0;
    while (!FileToFind->eol) {
      if (FileToFind->CurrentRec > FileToFind->Count) break;
      FileToFind->GetNext(file, path, id);
      HitList.push_back({file, id});
      lastFile = file;
      lastPath = path;
    }
    ShowMatchXfer xfer;
    xfer.ListOfMatches = HitList;
    xfer.MatchString = lastFile.substr(0, 255);
    xfer.PathString = lastPath.substr(0, 255);
    results_.ShowMatchDialog(xfer);
  }
  return n > 0;
}

void WordView::SortByName(std::vector<MatchItem>& items) {
  std::stable_sort(items.begin(), items.end(), [](const MatchItem& a, const MatchItem& b) {
    return plat::NoCaseLess(a.name, b.name);
  });
}
