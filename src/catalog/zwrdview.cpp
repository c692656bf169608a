#include "catalog/zwrdview.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "catalog/zrnfile.h"
#include "platform/pfile.h"
#include "shell/host.h"

static_assert(std::endian::native == std::endian::little, "catalog records are read in place");

namespace {

// Reads up to `size` bytes from the start of the open file into `dst`;
// returns the count read.
std::size_t ReadInto(HANDLE h, char* dst, std::uint32_t size) {
  Files->SetFilePtr(h, 0);
  std::size_t got = 0;
  while (got < size) {
    long n = Files->ReadFromFile(dst + got, size - static_cast<std::uint32_t>(got), h);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

// Reads the whole open file into `out` (`out` keeps what was read). A short
// read is reported on the diagnostic output and the search goes on with it.
bool LoadWhole(HANDLE h, std::vector<char>& out, const char* shortReadMsg) {
  out.clear();
  if (!plat::IsOpen(h)) return false;
  std::uint32_t size = Files->FileSize(h);
  out.resize(size);
  std::size_t got = ReadInto(h, out.data(), size);
  if (got < size) {
    std::fputs(shortReadMsg, stderr);
    out.resize(got);
  }
  return true;
}

// Loads a file of fixed-size records; a trailing partial record is ignored.
template <typename Rec>
bool LoadRecords(HANDLE h, std::vector<Rec>& out, const char* shortReadMsg) {
  out.clear();
  if (!plat::IsOpen(h)) return false;
  std::uint32_t count = Files->FileSize(h) / static_cast<std::uint32_t>(sizeof(Rec));
  out.resize(count);
  std::uint32_t bytes = count * static_cast<std::uint32_t>(sizeof(Rec));
  std::size_t got = ReadInto(h, reinterpret_cast<char*>(out.data()), bytes);
  if (got < bytes) {
    std::fputs(shortReadMsg, stderr);
    out.resize(got / sizeof(Rec));
  }
  return true;
}

void LowerAscii(std::string& s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

}  // namespace

WordView::WordView() = default;
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

void WordView::LoadFilesBuffer() {
  if (filesLoaded_ || !Files) return;
  if (LoadWhole(Files->FilesBufOut, FileGenCharBufPtr,
                "Error Reading Files Buffer in ReadWordsIdxDB\n")) {
    FileGenCharBufPtr.push_back('\0');
    filesLoaded_ = true;
  }
}

void WordView::InterpretWords() {
  if (!Files) return;
  Files->OpenFiles("r");
  ReadWordsIdxDB();
  int n = GetNumWordsToMatch();
  FindWords(n);
  Files->CloseFiles();
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
  if (!Files) return;
  LoadFilesBuffer();
  if (!idxLoaded_ && LoadRecords(Files->WordsIdxOut, SearchWordsIdx,
                                 "Error Reading Words Idx Buffer in ReadWordsIdxDB\n"))
    idxLoaded_ = true;
  TotalNumWords = static_cast<std::uint32_t>(SearchWordsIdx.size());
  SearchWordsIdxIter = 0;
}

bool WordView::ReadWordCatDBbyIdx(int idx) {
  if (!Files || !Files->SetCurrentWordDB(idx)) return false;
  // The buffer is reused from catalog to catalog, grown as needed; the text
  // of this catalog is allGenLen_ bytes followed by a NUL.
  HANDLE h = Files->WordsBufOut;
  std::uint32_t size = Files->FileSize(h);
  if (AllGenCharBufPtr.size() < static_cast<std::size_t>(size) + 1)
    AllGenCharBufPtr.resize(static_cast<std::size_t>(size) + 1);
  std::size_t got = ReadInto(h, AllGenCharBufPtr.data(), size);
  if (got < size) std::fputs("Error Reading Words Buffer in ReadWordCatDBbyIdx\n", stderr);
  AllGenCharBufPtr[got] = '\0';
  allGenLen_ = got;
  return true;
}

void WordView::FindWords(int numtomatch) {
  struct Hit {
    std::uint32_t Offset;
    std::int32_t CatId;
  };
  std::vector<Hit> hits;
  hits.reserve(kMaxHits);

  std::vector<std::string> typed = FindArray;
  for (auto& w : typed) LowerAscii(w);

  // Each index run is sorted by its words in the builder's byte order, so
  // a typed word is looked up by binary search. Hits are then taken in the
  // order a walk over the whole run would meet them (record by record, each
  // record against the typed words in order).
  const std::size_t total = SearchWordsIdx.size();
  std::vector<std::pair<std::size_t, std::size_t>> found;  // (record, typed word)
  for (int n = 1; SearchWordsIdxIter < total && !typed.empty(); ++n) {
    if (!ReadWordCatDBbyIdx(n)) break;
    std::size_t begin = SearchWordsIdxIter, end = begin;
    while (end < total && SearchWordsIdx[end].CatId == n) ++end;
    SearchWordsIdxIter = end;
    if (begin == end) continue;
    found.clear();
    for (std::size_t t = 0; t < typed.size(); ++t) {
      const char* w = typed[t].c_str();
      auto first = std::lower_bound(SearchWordsIdx.begin() + static_cast<std::ptrdiff_t>(begin),
                                    SearchWordsIdx.begin() + static_cast<std::ptrdiff_t>(end), w,
                                    [this](const WordIdxStructType& r, const char* key) {
                                      return std::strcmp(WordAt(r.Offset), key) < 0;
                                    });
      for (auto it = first; it != SearchWordsIdx.begin() + static_cast<std::ptrdiff_t>(end); ++it) {
        if (std::strcmp(WordAt(it->Offset), w) != 0) break;
        found.emplace_back(static_cast<std::size_t>(it - SearchWordsIdx.begin()), t);
      }
    }
    std::sort(found.begin(), found.end());
    for (auto& [rec, t] : found) hits.push_back({SearchWordsIdx[rec].Offset, n});
  }

  // Every match record whose word is a hit adds its file once per such hit.
  // The hits as sorted keys with their counts, and a bit filter in front of
  // them, so that most records are passed over with one test.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> keys;
  for (auto& h : hits)
    keys.emplace_back(
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(h.CatId)) << 32 | h.Offset, 1);
  std::sort(keys.begin(), keys.end());
  std::vector<std::pair<std::uint64_t, std::uint32_t>> counted;
  for (auto& k : keys) {
    if (!counted.empty() && counted.back().first == k.first)
      ++counted.back().second;
    else
      counted.push_back(k);
  }
  std::vector<std::uint64_t> filter(1024, 0);  // 65536 bits
  auto bit = [](std::uint32_t off, std::int32_t cat) {
    return (off ^ (static_cast<std::uint32_t>(cat) * 0x9E3779B1u)) & 0xFFFFu;
  };
  for (auto& h : hits)
    filter[bit(h.Offset, h.CatId) >> 6] |= std::uint64_t{1} << (bit(h.Offset, h.CatId) & 63);

  // The match file is read straight through in large pieces rather than
  // kept whole: it is by far the largest catalog file.
  FileArray.clear();
  totalMatchTableEntries = 0;
  HANDLE h = Files ? Files->MatchesOut : nullptr;
  if (!counted.empty() && plat::IsOpen(h)) {
    const std::uint32_t size = Files->FileSize(h);
    const std::uint32_t records = size / sizeof(MatchStructType);
    totalMatchTableEntries = records;
    constexpr std::uint32_t kChunkRecords = 1 << 16;
    std::vector<MatchStructType> chunk(kChunkRecords);
    Files->SetFilePtr(h, 0);
    std::uint32_t done = 0;
    while (done < records) {
      std::uint32_t want = std::min(kChunkRecords, records - done);
      long got = Files->ReadFromFile(chunk.data(),
                                     want * static_cast<std::uint32_t>(sizeof(MatchStructType)), h);
      std::uint32_t n = got > 0 ? static_cast<std::uint32_t>(got) /
                                      static_cast<std::uint32_t>(sizeof(MatchStructType))
                                : 0;
      for (std::uint32_t i = 0; i < n; ++i) {
        const MatchStructType& m = chunk[i];
        std::uint32_t b = bit(m.OffsetA, m.CatId);
        if (!(filter[b >> 6] >> (b & 63) & 1)) continue;
        std::uint64_t key =
            static_cast<std::uint64_t>(static_cast<std::uint32_t>(m.CatId)) << 32 | m.OffsetA;
        auto it =
            std::lower_bound(counted.begin(), counted.end(), std::make_pair(key, std::uint32_t{0}));
        if (it != counted.end() && it->first == key)
          FileArray.insert(FileArray.end(), it->second, m.OffsetB);
      }
      if (n < want) {
        std::fputs("Error Reading Match Buffer in FindWords\n", stderr);
        break;
      }
      done += n;
    }
  }
  MatchesFound = static_cast<int>(FileArray.size());

  // A file's records are consecutive, so all its hits are: a run as long as
  // the number of words typed means the file holds every one of them.
  std::size_t i = 0;
  while (i < FileArray.size()) {
    std::size_t j = i;
    while (j < FileArray.size() && FileArray[j] == FileArray[i]) ++j;
    if (numtomatch > 0 && j - i >= static_cast<std::size_t>(numtomatch)) {
      std::uint32_t id = FileArray[i];
      const char* name = StringAt(FileGenCharBufPtr, id);
      if (*name) HitList.push_back({name, id});  // an id outside the files buffer names no file
    }
    i = j;
  }
}

void WordView::LoadPathIndex() {
  if (pathIndexLoaded_ || !Files) return;
  std::vector<FilesTblStructType> a, b;
  bool okA = LoadRecords(Files->FilesTblOut, a, "Error Reading Files Table in GetFilePath\n");
  bool okB = LoadRecords(Files->ExtMatchOut, b, "Error Reading Files Table in GetFilePath\n");
  if (!okA && !okB) return;
  pathIndex_ = std::move(a);
  pathIndex_.insert(pathIndex_.end(), b.begin(), b.end());
  std::stable_sort(pathIndex_.begin(), pathIndex_.end(),
                   [](const FilesTblStructType& x, const FilesTblStructType& y) {
                     return x.OffsetA < y.OffsetA;
                   });
  pathIndexLoaded_ = true;
}

void WordView::GetFilePath(bool OpenFiles) {
  if (!Files) return;
  if (!OpenFiles) Files->OpenFiles("r");
  LoadPathIndex();
  auto it = std::lower_bound(
      pathIndex_.begin(), pathIndex_.end(), fileid,
      [](const FilesTblStructType& r, std::uint32_t id) { return r.OffsetA < id; });
  if (it != pathIndex_.end() && it->OffsetA == fileid) {
    HANDLE h = Files->PathsBufOut;
    if (plat::IsOpen(h) && it->OffsetB < Files->FileSize(h)) {
      char text[kGenBufferSize];
      Files->ReadFromFileAtOffset(text, h, it->OffsetB);
      FindPath = text;
    }
  }
  if (!OpenFiles) Files->CloseFiles();
}

int WordView::CollectFileNames(const std::string& text, ZrnFile& out) {
  if (!Files) return 0;
  int count = 0;
  fileid = 0;
  Files->OpenFiles("r");
  LoadFilesBuffer();
  // Every name contains the empty text: looking for nothing finds nothing.
  if (!text.empty() && !FileGenCharBufPtr.empty()) {
    const std::size_t size = FileGenCharBufPtr.size() - 1;
    std::size_t off = 0;
    while (off < size) {
      const char* s = FileGenCharBufPtr.data() + off;
      std::size_t len = strnlen(s, size - off);
      if (std::string_view(s, len).find(text) != std::string_view::npos) {
        fileid = static_cast<std::uint32_t>(off);
        // A name without a directory record must not show the previous one's.
        FindPath.clear();
        GetFilePath(true);
        out.Add(std::string(s, len), FindPath, fileid);
        ++count;
      }
      off += len + 1;
    }
  }
  Files->CloseFiles();
  return count;
}

bool WordView::FindFileName(ZrnFile* FileToFind) {
  if (!FileToFind) return false;
  int n = CollectFileNames(FileToFind->ShortFileName, *FileToFind);
  if (n == 1) {
    const std::string name = FileToFind->FileNamePtr.back();
    if (TheHost().MessageBox(name, "Open file now?", MB_OKCANCEL) == IDOK) {
      // The find just added, even when the list held records before.
      FileToFind->CurrentRec = FileToFind->Count;
      FileToFind->ShellFile();
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
    TheHost().ShowMatchDialog(xfer);
  }
  return n > 0;
}

void WordView::SortByName(std::vector<MatchItem>& items) {
  auto key = [](const std::string& s) {
    std::string k = s;
    LowerAscii(k);
    return k;
  };
  std::stable_sort(items.begin(), items.end(), [&](const MatchItem& a, const MatchItem& b) {
    std::string ka = key(a.name), kb = key(b.name);
    if (ka != kb) return ka < kb;
    return a.name < b.name;
  });
}
