#include "catalog/zrnwcat.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <thread>
#include <unordered_map>

#include "catalog/buildprogress.h"
#include "catalog/wordscan.h"
#include "catalog/zrnreg.h"
#include "host/host.h"
#include "platform/pdatadir.h"
#include "platform/pdir.h"
#include "platform/pfile.h"
#include "platform/pregistry.h"

namespace {

const char kRootsKey[] = "Zarns.Application\\CatalogRoots";
// Longest directory path the walk enters: the data files read stored strings
// through a 4096-byte window, so a longer path could not be read back whole.
constexpr std::size_t kMaxPath = kGenBufferSize - 1;
constexpr std::size_t kMaxWordLen = 20;
constexpr std::size_t kMinWordLen = 4;
// A fragment carried over a chunk boundary: longer than any word is enough
// to know the token cannot be one.
constexpr std::size_t kMaxCarry = kMaxWordLen + 1;
constexpr std::size_t kFlushBytes = 1 << 20;

std::string WithSlash(std::string p) {
  if (p.empty() || p.back() != '/') p += '/';
  return p;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Names ending in the extension, without regard to case ("*" + extension).
bool EndsWithNoCase(const std::string& name, const std::string& lowerExt) {
  if (lowerExt.size() > name.size()) return false;
  const char* p = name.data() + (name.size() - lowerExt.size());
  for (std::size_t i = 0; i < lowerExt.size(); ++i) {
    char c = p[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerExt[i]) return false;
  }
  return true;
}

void PutLE(char* b, std::uint32_t v) {
  b[0] = static_cast<char>(v & 0xFF);
  b[1] = static_cast<char>((v >> 8) & 0xFF);
  b[2] = static_cast<char>((v >> 16) & 0xFF);
  b[3] = static_cast<char>((v >> 24) & 0xFF);
}

// Bytes appended to one data file of the set, written in large pieces: the
// file receives exactly the bytes that one write per record would give.
class OutBuf {
 public:
  explicit OutBuf(DataFile fileNum) : num_(fileNum) {}
  void Str(const char* s, std::size_t len) {
    buf_.append(s, len);
    buf_.push_back('\0');
    MaybeFlush();
  }
  void U32(std::uint32_t v) {
    char b[4];
    PutLE(b, v);
    buf_.append(b, 4);
    MaybeFlush();
  }
  void Rec(std::uint32_t a, std::uint32_t b) {
    char r[8];
    PutLE(r, a);
    PutLE(r + 4, b);
    buf_.append(r, 8);
    MaybeFlush();
  }
  void Rec(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    char r[12];
    PutLE(r, a);
    PutLE(r + 4, b);
    PutLE(r + 8, c);
    buf_.append(r, 12);
    MaybeFlush();
  }
  void Flush() {
    if (buf_.empty()) return;
    HANDLE* field = Files ? Files->HandleField(num_) : nullptr;
    // A file that could not be created loses its writes, silently.
    if (field && plat::IsOpen(*field)) {
      plat::Fs().Seek(*field, 0, plat::Whence::End);
      plat::Fs().Write(*field, buf_.data(), buf_.size());
    }
    buf_.clear();
  }

 private:
  void MaybeFlush() {
    if (buf_.size() >= kFlushBytes) Flush();
  }
  DataFile num_;
  std::string buf_;
};

struct Entry {
  std::string name;
  plat::EntryType type;
};

// The entries of a directory, sorted by name so that a build visits a tree
// in the same order every time, whatever order the file system keeps.
void ListDir(plat::Directory& d, std::vector<Entry>& out, bool dirsOnly) {
  out.clear();
  plat::DirEntry e;
  while (d.NextQuick(e)) {
    if (dirsOnly && e.type != plat::EntryType::Directory) continue;
    out.push_back({std::move(e.name), e.type});
  }
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
}

// Subdirectories are entered when their name has no "." (this also leaves
// out hidden directories).
bool Enterable(const Entry& e) {
  return e.type == plat::EntryType::Directory && e.name.find('.') == std::string::npos;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  return (!dir.empty() && dir.back() == '/') ? dir + name : dir + "/" + name;
}

// The previous catalog's files, taken out of the way before a build. Freeing
// tens of megabytes of file blocks costs real time on some file systems
// (discard-mounted ext4 spends ~0.5 s on a 70 MB catalog), so each old file
// is opened, its name removed at once, and the handles closed (which frees
// the blocks) on a helper thread while the build runs. With a test's own
// file system installed the names are simply removed.
class OldCatalogRelease {
 public:
  ~OldCatalogRelease() { Wait(); }
  void Take(const std::string& path) {
    plat::FileSystem& fs = plat::Fs();
    if (&fs == &plat::PosixFs()) {
      plat::HANDLE h = fs.Open(path, plat::Access::Read, plat::Creation::OpenExisting);
      if (plat::IsOpen(h)) held_.push_back(h);
    }
    fs.Remove(path);
  }
  void Start() {
    if (held_.empty()) return;
    try {
      worker_ = std::thread([h = std::move(held_)] {
        for (plat::HANDLE x : h) plat::PosixFs().Close(x);
      });
    } catch (const std::exception&) {
      Wait();
    }
    held_.clear();
  }
  void Wait() {
    if (worker_.joinable()) worker_.join();
    for (plat::HANDLE x : held_) plat::PosixFs().Close(x);
    held_.clear();
  }

 private:
  std::vector<plat::HANDLE> held_;
  std::thread worker_;
};

}  // namespace

// ---------------------------------------------------------------------------

std::vector<std::string> GetCatalogRoots() {
  std::vector<std::string> roots;
  plat::Registry& reg = plat::ClassesRoot();
  for (int i = 1;; ++i) {
    auto v = reg.GetString(kRootsKey, std::to_string(i));
    if (!v) break;
    if (!v->empty()) roots.push_back(WithSlash(*v));
  }
  if (roots.empty()) roots.push_back(WithSlash(plat::HomeDir()));
  return roots;
}

bool SetCatalogRoots(const std::vector<std::string>& roots) {
  plat::Registry& reg = plat::ClassesRoot();
  reg.DeleteKey(kRootsKey);
  if (roots.empty()) return true;
  int i = 0;
  for (auto& r : roots) {
    if (r.empty()) continue;
    std::error_code ec;
    auto abs = std::filesystem::absolute(r, ec);
    std::string p = ec ? r : abs.lexically_normal().string();
    if (!reg.SetString(kRootsKey, std::to_string(++i), WithSlash(p))) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------

struct WordCat::Impl {
  WordCat& owner;
  BuildProgress* ProgDlg = nullptr;
  BuildStats& stats;

  struct Ext {
    std::string lower;
    bool exe = false;
  };
  std::vector<Ext> contentExts;  // list file 10, each extension once
  std::vector<Ext> typeExts;     // file-type list extensions, each once
  // The same lists for matching names: an extension that begins with "." is
  // found by looking up each "."-suffix of a name; the rare others are
  // compared one by one.
  struct ExtIndex {
    std::unordered_map<std::string, int> dotted;
    std::vector<int> others;
  };
  ExtIndex contentIndex, typeIndex;
  // The walk and the writing run on two threads: the calling thread walks
  // the tree, reads the files and cuts them into words (everything the
  // progress sink and Cancel see), a helper thread takes what it found, in
  // order, through a ring of jobs and does everything that writes: file
  // records, sorting and de-duplicating each file's words, the catalog's
  // word table, matches and index. The helper works through the jobs in
  // the order they were made, so the files are byte for byte what one
  // thread doing both would write. Without a helper (it could not be
  // started) each job is done at once on the calling thread.
  struct Job {
    enum Kind : std::uint8_t { Words, Exe, Typed, Dir, End } kind = End;
    std::string text;     // file name, or directory path for Dir
    std::uint32_t n = 0;  // words taken (Words), repeats included
    wordscan::RawWord words[kMaxFileWords];
  };
  static constexpr std::uint32_t kJobs = 64;
  std::unique_ptr<Job[]> jobs;
  std::atomic<std::uint32_t> head{0};  // jobs made by the walk
  std::atomic<std::uint32_t> tail{0};  // jobs done by the helper
  std::thread worker;
  std::atomic<bool> workFailed{false};  // the helper ran out of memory
  // Set by a side about to sleep on the other's counter: a wake-up costs a
  // system call, so each side wakes the other only when it sleeps, and the
  // walk wakes the helper only once a few jobs are waiting (or at the end
  // of a directory), not for every file.
  std::atomic<bool> helperAsleep{false}, walkAsleep{false};
  static constexpr std::uint32_t kWakeBatch = 8;

  // A free job for the walk to fill (waits while all are in use).
  Job& NextJob() {
    std::uint32_t h = head.load(std::memory_order_relaxed);
    if (worker.joinable()) {
      std::uint32_t t = tail.load(std::memory_order_acquire);
      while (h - t >= kJobs) {
        walkAsleep.store(true);
        t = tail.load();  // seen after the flag: no wake-up can be missed
        if (h - t >= kJobs) tail.wait(t);
        walkAsleep.store(false);
        t = tail.load(std::memory_order_acquire);
      }
    }
    return jobs[h % kJobs];
  }
  // Hands the job from NextJob over.
  void Publish() {
    std::uint32_t h = head.load(std::memory_order_relaxed);
    if (!worker.joinable()) {
      Process(jobs[h % kJobs]);
      return;
    }
    head.store(h + 1);
    Job::Kind kind = jobs[h % kJobs].kind;
    if ((kind == Job::Dir || kind == Job::End ||
         h + 1 - tail.load(std::memory_order_relaxed) >= kWakeBatch) &&
        helperAsleep.load())
      head.notify_one();
  }
  void Emit(Job::Kind kind, const std::string& text) {
    Job& j = NextJob();
    j.kind = kind;
    j.text = text;
    Publish();
  }
  void StartWorker() {
    try {
      worker = std::thread([this] { WorkLoop(); });
    } catch (const std::exception&) {
      // No helper: the jobs are done on this thread.
    }
  }
  // Waits until every job made so far is done, and ends the helper.
  void StopWorker() {
    if (!worker.joinable()) return;
    Job& j = NextJob();
    j.kind = Job::End;
    Publish();
    worker.join();
  }
  void WorkLoop() {
    std::uint32_t t = tail.load(std::memory_order_relaxed);
    for (;;) {
      std::uint32_t h;
      while ((h = head.load(std::memory_order_acquire)) == t) {
        helperAsleep.store(true);
        if (head.load() == t) head.wait(t);
        helperAsleep.store(false);
      }
      for (; t != h; ++t) {
        Job& j = jobs[t % kJobs];
        bool end = j.kind == Job::End;
        if (!end) Process(j);
        tail.store(t + 1);
        if (walkAsleep.load()) tail.notify_one();
        if (end) return;
      }
    }
  }
  void Process(Job& j) {
    if (workFailed.load(std::memory_order_relaxed)) return;
    try {
      switch (j.kind) {
        case Job::Words: {
          CopyOutFile(filesTbl, j.text);
          CopyCurToAll(SortDistinct(j.words, j.n));
          if (nextAllCharBufAdd > kCatalogSwitchBytes) IncrementWordCatalog();
          break;
        }
        case Job::Exe: CopyOutFile(filesTbl, j.text); break;
        case Job::Typed: CopyOutFile(extMatch, j.text); break;
        case Job::Dir:
          pathsBuf.Str(j.text.data(), j.text.size());
          pathsTbl.U32(PathCharOffset);
          PathCharOffset += static_cast<std::uint32_t>(j.text.size() + 1);
          ++stats.directories;
          break;
        case Job::End: break;
      }
    } catch (const std::bad_alloc&) {
      // Out of memory: what was written stays, as after a cancel.
      std::fputs("Error allocating Gen char buffers\n", stderr);
      workFailed.store(true, std::memory_order_relaxed);
    }
  }

  // The distinct words of the file in hand, then sorted (helper's own).
  wordscan::WordKey fileWords[kMaxFileWords];
  wordscan::WordKey distinct[kMaxFileWords];
  std::uint32_t fileHashes[kMaxFileWords];
  std::uint32_t bucketCount[4097];
  // The distinct words of the file being read, found by hash: slot values
  // are (file generation << 12) | index in `distinct`.
  static constexpr std::uint32_t kFileSetSize = 8192;
  static_assert(kMaxFileWords <= 4096 && kFileSetSize >= 2 * kMaxFileWords);
  std::vector<std::uint32_t> fileSet = std::vector<std::uint32_t>(kFileSetSize, 0);
  std::uint32_t fileGen = 0;

  // Word text of the current numbered catalog (the words buffer file's bytes).
  std::unique_ptr<char[]> AllGenCharBufPtr;
  // The read buffer: the chunk at kChunkOff, a fragment carried over from
  // the previous chunk just before it, slack behind it for 64-byte scans
  // and 24-byte word loads.
  static constexpr std::size_t kChunkOff = 64;
  static constexpr std::size_t kReadBufSize = kChunkOff + kReadChunk + 64;
  static_assert(kMaxCarry < 64 && kMaxCarry <= kChunkOff && kReadChunk % 64 == 0);
  std::unique_ptr<char[]> readintobuffer;
  // Where the runs of word characters of the buffer start and end (one
  // past): runs are at least two bytes apart.
  static constexpr std::size_t kMaxRuns = (kChunkOff + kReadChunk) / 2 + 1;
  static_assert(kChunkOff + kReadChunk + 64 < 65536);
  std::uint16_t runStart[kMaxRuns], runEnd[kMaxRuns];

  // Words of the current numbered catalog: an open-addressing table keyed
  // by the word's key, holding its offset in the word text, and the slots
  // in use (for the sorted index and for clearing). A file's sorted words
  // are matched against it one by one, which gives the same words buffer,
  // matches and index as merging sorted lists.
  // 16 bytes a slot: the key's low part has 40 bits, the offset (below
  // 2^24) rides above them, so the table takes a third less cache.
  struct CatSlot {
    std::uint64_t hi = 0;     // key.hi; 0: empty (a word has at least 4 characters)
    std::uint64_t loOff = 0;  // key.lo | offset << 40
    std::uint32_t off() const { return static_cast<std::uint32_t>(loOff >> 40); }
    std::uint64_t lo() const { return loOff & kLoMask; }
  };
  static constexpr std::uint64_t kLoMask = (std::uint64_t{1} << 40) - 1;
  static_assert(kAllWordsBufSize < (1u << 24));
  std::vector<CatSlot> table;
  std::uint32_t tableMask = 0;
  std::vector<std::uint32_t> catalogSlots;

  int CurrentCatNumber = 1;
  std::uint32_t nextAllCharBufAdd = 0;
  std::uint32_t nextfileadd = 0;
  int numdirs = 0;
  std::uint32_t TotalFiles = 0;
  std::uint32_t TotalNumDirs = 0;
  std::uint32_t PathCharOffset = 0;
  std::uint32_t CurrentFileOffset = 0;
  bool DirSearchOk = true;  // false once the user cancelled
  std::uint64_t rootDev = 0;

  OutBuf wordsBuf{DataFile::kWordsBuf}, wordsTbl{DataFile::kWordsTbl},
      wordsIdx{DataFile::kWordsIdx}, filesBuf{DataFile::kFilesBuf}, filesTbl{DataFile::kFilesTbl},
      matches{DataFile::kMatches}, pathsBuf{DataFile::kPathsBuf}, pathsTbl{DataFile::kPathsTbl},
      extMatch{DataFile::kExtMatch};

  Impl(WordCat& o, BuildStats& s) : owner(o), stats(s) {}

  void FlushAll() {
    for (OutBuf* b : {&wordsBuf, &wordsTbl, &wordsIdx, &filesBuf, &filesTbl, &matches, &pathsBuf,
                      &pathsTbl, &extMatch})
      b->Flush();
  }

  // --- the word table ---------------------------------------------------------
  void ClearTable() {
    for (std::uint32_t i : catalogSlots) table[i] = CatSlot{};
    catalogSlots.clear();
  }
  static std::uint32_t Hash(const wordscan::WordKey& k) {
    std::uint64_t h = (k.hi * 0x9E3779B97F4A7C15ull) ^ (k.lo * 0xC2B2AE3D27D4EB4Full);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return static_cast<std::uint32_t>(h ^ (h >> 32));
  }
  // The slot of the word, or the empty slot where it belongs.
  CatSlot& Slot(const wordscan::WordKey& k, std::uint32_t hash) {
    for (std::uint32_t i = hash & tableMask;; i = (i + 1) & tableMask) {
      CatSlot& s = table[i];
      if (s.hi == 0 || (s.hi == k.hi && s.lo() == k.lo)) return s;
    }
  }

  // --- the build ----------------------------------------------------------------
  void ScanDirectories(const std::vector<std::string>& roots) {
    SilentHost quiet;  // reading the lists shows no message
    ZrnReg reg(*Files, quiet);
    std::vector<std::string> regExt;
    reg.RegExtPtr = &regExt;
    reg.GetExtensions();
    // An extension listed twice (".txt" is, from the scan and from the fixed
    // tail) is walked once: each file is read, and listed, once.
    for (auto& e : regExt) {
      if (e.empty()) continue;
      std::string l = Lower(e);
      if (std::any_of(contentExts.begin(), contentExts.end(),
                      [&](const Ext& x) { return x.lower == l; }))
        continue;
      contentExts.push_back({l, l.find("exe") != std::string::npos});
    }
    for (auto& e : reg.ExtListItems()) {
      std::string l = Lower(e);
      if (l.empty() ||
          std::any_of(typeExts.begin(), typeExts.end(), [&](const Ext& x) { return x.lower == l; }))
        continue;
      typeExts.push_back({l, false});
    }

    BuildIndex(contentExts, contentIndex);
    BuildIndex(typeExts, typeIndex);

    nextfileadd = 0;
    numdirs = 0;
    TotalNumDirs = 0;
    PathCharOffset = 0;
    for (auto& r : roots) {
      if (!DirSearchOk) break;
      ScanDirectory(r);
    }
    StopWorker();
    if (!catalogSlots.empty() && !workFailed.load()) CreateSortedIndex();
  }

  static void BuildIndex(const std::vector<Ext>& exts, ExtIndex& idx) {
    for (int i = 0; i < static_cast<int>(exts.size()); ++i) {
      const std::string& e = exts[static_cast<std::size_t>(i)].lower;
      if (e[0] == '.')
        idx.dotted.emplace(e, i);  // the first of equal ones wins
      else
        idx.others.push_back(i);
    }
  }

  // The first extension of the list (by list order) that the lower-cased
  // name ends with; -1 when none.
  static int FirstMatch(const std::string& lowerName, const ExtIndex& idx,
                        const std::vector<Ext>& exts) {
    int best = INT_MAX;
    std::string suffix;
    for (std::size_t pos = lowerName.find('.'); pos != std::string::npos;
         pos = lowerName.find('.', pos + 1)) {
      suffix.assign(lowerName, pos, std::string::npos);
      auto it = idx.dotted.find(suffix);
      if (it != idx.dotted.end()) best = std::min(best, it->second);
    }
    for (int i : idx.others)
      if (i < best && EndsWithNoCase(lowerName, exts[static_cast<std::size_t>(i)].lower)) best = i;
    return best == INT_MAX ? -1 : best;
  }

  // Opens a subdirectory for the walk: null when it cannot be entered or
  // lies on another file system (a mount point is never crossed).
  std::unique_ptr<plat::Directory> Enter(plat::Directory& parent, const std::string& name,
                                         const std::string& path, bool& otherFs) {
    otherFs = false;
    if (owner.canEnter && !owner.canEnter(path)) return nullptr;
    auto d = parent.OpenChild(name);
    if (d && d->Device() != rootDev) {
      otherFs = true;
      return nullptr;
    }
    return d;
  }

  void ScanDirectory(const std::string& root) {
    ProgDlg->SetMax(100);
    ProgDlg->SetHeadText("Drive " + root);
    ProgDlg->SetCreateDirMapCurrent();
    std::unique_ptr<plat::Directory> rootDir;
    if (!owner.canEnter || owner.canEnter(root)) rootDir = plat::Directory::Open(root);
    if (rootDir) rootDev = rootDir->Device();

    if (rootDir) GetNumDirs(*rootDir, root);
    if (!DirSearchOk) return;

    ProgDlg->SetCreateCatalogCurrent();
    ProgDlg->SetDirNumText(static_cast<int>(TotalNumDirs));
    ProgDlg->SetMax(static_cast<int>(TotalNumDirs) + 1);
    std::vector<Entry> rootEntries;
    if (rootDir) {
      rootDir->Rewind();
      ListDir(*rootDir, rootEntries, false);
      GetDirs(*rootDir, root, rootEntries);
    }
    if (!DirSearchOk) return;
    // The root itself is cataloged last.
    AddDirectorySetCurrent(root, rootDir.get(), rootEntries, true);
  }

  // Counting pass.
  void GetNumDirs(plat::Directory& dir, const std::string& path) {
    std::vector<Entry> entries;
    ListDir(dir, entries, true);
    for (auto& e : entries) {
      if (!DirSearchOk) return;
      if (!Enterable(e)) continue;
      std::string cur = JoinPath(path, e.name);
      if (cur.size() > kMaxPath) continue;
      bool otherFs;
      auto child = Enter(dir, e.name, cur, otherFs);
      if (otherFs) continue;
      static const std::vector<Entry> none;
      AddDirectorySetCurrent(cur, child.get(), none, false);
      if (!DirSearchOk) return;
      if (child) {
        GetNumDirs(*child, cur);
        ++TotalNumDirs;
      }
    }
  }

  // Cataloging pass: each directory before its subdirectories.
  void GetDirs(plat::Directory& dir, const std::string& path, const std::vector<Entry>& entries) {
    for (auto& e : entries) {
      if (!DirSearchOk) return;
      if (!Enterable(e)) continue;
      std::string cur = JoinPath(path, e.name);
      if (cur.size() > kMaxPath) continue;
      bool otherFs;
      auto child = Enter(dir, e.name, cur, otherFs);
      if (otherFs) continue;
      std::vector<Entry> sub;
      if (child) ListDir(*child, sub, false);
      AddDirectorySetCurrent(cur, child.get(), sub, true);
      if (!DirSearchOk) return;
      if (child) GetDirs(*child, cur, sub);
    }
  }

  // A directory that cannot be entered is skipped (not cataloged) and the
  // walk goes on with the next one: one unreadable folder must not leave the
  // rest of the tree out of the catalog.
  void AddDirectorySetCurrent(const std::string& CurDir, plat::Directory* dir,
                              const std::vector<Entry>& entries, bool doParse) {
    ++numdirs;
    if (workFailed.load(std::memory_order_relaxed)) {
      DirSearchOk = false;
      return;
    }
    if (!ProgDlg->StepVal(CurDir)) {
      DirSearchOk = false;
      stats.cancelled = true;
      return;
    }
    if (dir && doParse) {
      ParseFiles(*dir, CurDir, entries);
      Emit(Job::Dir, CurDir);
    } else if (numdirs % 100 == 0) {
      ProgDlg->SetDirNumText(numdirs);
    }
  }

  void ParseFiles(plat::Directory& dir, const std::string& path,
                  const std::vector<Entry>& entries) {
    // The files of each listed extension in list order, each file under the
    // first extension it ends with: a name ending in two listed extensions
    // (".gz", ".tar.gz") is still taken once.
    std::vector<std::pair<int, std::size_t>> content, typed;
    std::string lower;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].type != plat::EntryType::Regular) continue;
      lower = Lower(entries[i].name);
      int c = FirstMatch(lower, contentIndex, contentExts);
      if (c >= 0) content.emplace_back(c, i);
      int t = FirstMatch(lower, typeIndex, typeExts);
      if (t >= 0) typed.emplace_back(t, i);
    }
    std::sort(content.begin(), content.end());
    std::sort(typed.begin(), typed.end());
    for (auto& [x, i] : content) {
      if (TotalFiles >= kMaxBuildFiles) return;
      const Entry& e = entries[i];
      if (owner.beforeOpen) owner.beforeOpen(path, e.name);
      std::uint64_t size = 0;
      int fd = dir.OpenFileForRead(e.name, size);
      if (fd < 0) continue;  // vanished, unreadable, or not a regular file
      if (contentExts[static_cast<std::size_t>(x)].exe) {
        Emit(Job::Exe, e.name);
      } else {
        Job& j = NextJob();
        // A file that gave a single word (even twice over) is not recorded.
        if ((j.n = ReadWords(fd, size, j.words)) > 1) {
          j.kind = Job::Words;
          j.text = e.name;
          Publish();
        }
      }
      plat::Directory::CloseFd(fd);
      ++TotalFiles;
    }
    for (auto& [x, i] : typed) {
      if (TotalFiles >= kMaxBuildFiles) return;
      Emit(Job::Typed, entries[i].name);
      ++TotalFiles;
    }
  }

  // Cuts the file into words, as keys into `out`; returns their number.
  std::uint32_t ReadWords(int fd, std::uint64_t size, wordscan::RawWord* out) {
    unsigned char* rb = reinterpret_cast<unsigned char*>(readintobuffer.get());
    unsigned char* chunk = rb + kChunkOff;
    // Word-character bits of the buffer from its start: word 0 holds the
    // carried fragment (its last bits), words 1.. the chunk, then a zero.
    constexpr std::size_t kChunkWords = kReadChunk / 64;
    std::uint64_t bits[kChunkWords + 2];
    std::size_t carry = 0;
    std::uint32_t words = 0;
    std::uint64_t readSoFar = 0;
    for (;;) {
      // A file read to its size is at its end: the next read could only
      // return nothing. (A size of 0 may be a file system that does not
      // know it: that file is read until a read returns nothing.)
      if (size > 0 && readSoFar >= size) break;
      long long got = plat::Directory::ReadFd(fd, chunk, kReadChunk);
      if (got <= 0) break;
      std::size_t n = static_cast<std::size_t>(got);
      readSoFar += n;
      std::size_t nw = (n + 63) / 64;
      bits[0] = carry ? ~std::uint64_t{0} << (64 - carry) : 0;
      for (std::size_t k = 0; k < nw; ++k)
        bits[1 + k] = wordscan::WordMask64(chunk + 64 * k, std::min<std::size_t>(64, n - 64 * k));
      bits[1 + nw] = 0;
      const std::size_t end = kChunkOff + n;
      const bool full = n == kReadChunk;
      // The runs of word characters, found without walking them: a run
      // starts at a word byte after a non-word byte and ends (its last
      // byte) at one before a non-word byte. Bits before the carried
      // fragment and after the text are zero, so starts and ends pair up.
      std::size_t runs = 0, ends = 0;
      for (std::size_t k = 0; k <= nw; ++k) {
        std::uint64_t b = bits[k];
        std::uint64_t before = (b << 1) | (k ? bits[k - 1] >> 63 : 0);
        std::uint64_t after = (b >> 1) | (bits[k + 1] << 63);
        std::uint64_t st = b & ~before, en = b & ~after;
        for (; st; st &= st - 1)
          runStart[runs++] =
              static_cast<std::uint16_t>(k * 64 + static_cast<std::size_t>(__builtin_ctzll(st)));
        for (; en; en &= en - 1)
          runEnd[ends++] = static_cast<std::uint16_t>(
              k * 64 + static_cast<std::size_t>(__builtin_ctzll(en)) + 1);
      }
      std::size_t newCarry = 0;
      int chunkWords = 0;
      for (std::size_t r = 0; r < runs && words < kMaxFileWords; ++r) {
        std::size_t s = runStart[r], e = runEnd[r];
        std::size_t len = e - s;
        if (full && e == end) {
          // Cut by the end of a full chunk: completed by the next one. A
          // fragment longer than any word only has to stay too long.
          newCarry = std::min(len, kMaxCarry);
          std::memmove(chunk - newCarry, rb + s, newCarry);
          break;
        }
        if (len >= kMinWordLen && len <= kMaxWordLen) {
          // Every word taken counts; repeats go when the list is sorted.
          // Copied as read; the writer makes the key.
          std::memcpy(out[words].b, rb + s, sizeof out[words].b);
          out[words++].b[wordscan::RawWord::kLen] = static_cast<unsigned char>(len);
          ++chunkWords;
        }
      }
      carry = newCarry;
      if (chunkWords < 3 || words >= kMaxFileWords) break;
    }
    return words;
  }

  // The distinct words of in[0..n) into fileWords in sorted order (keys
  // sort as the words do byte by byte); returns their count.
  std::uint32_t SortDistinct(const wordscan::RawWord* in, std::uint32_t n) {
    if (++fileGen >= (1u << 20)) {  // generations wrap: start the set afresh
      std::fill(fileSet.begin(), fileSet.end(), 0);
      fileGen = 1;
    }
    // Only as much of the set as the file needs (at most half full), so a
    // small file's lookups stay in the fastest cache; the generation tags
    // make slots left by earlier files count as empty.
    std::uint32_t mask = 255;
    while (mask + 1 < 2 * n && mask + 1 < kFileSetSize) mask = mask * 2 + 1;
    std::uint32_t u = 0;
    for (std::uint32_t k = 0; k < n; ++k) {
      const wordscan::WordKey w = wordscan::Pack(in[k].b, in[k].b[wordscan::RawWord::kLen]);
      for (std::uint32_t slot = Hash(w) & mask;; slot = (slot + 1) & mask) {
        std::uint32_t v = fileSet[slot];
        if ((v >> 12) != fileGen) {
          fileSet[slot] = fileGen << 12 | u;
          distinct[u++] = w;
          break;
        }
        if (distinct[v & 0xFFF] == w) break;
      }
    }
    // 256 buckets by the first character and a half of the second.
    wordscan::BucketSort(distinct, u, fileWords, bucketCount, 256, [](const wordscan::WordKey& k) {
      return static_cast<std::size_t>(k.hi >> 52);
    });
    return u;
  }

  // The file's sorted distinct words into the catalog: one match record per
  // word, new words appended to the word text, its file and its table.
  void CopyCurToAll(std::uint32_t unique) {
    // The table is larger than the fast caches: ask for every slot first.
    for (std::uint32_t k = 0; k < unique; ++k) {
      fileHashes[k] = Hash(fileWords[k]);
      __builtin_prefetch(&table[fileHashes[k] & tableMask]);
    }
    char* text = AllGenCharBufPtr.get();
    for (std::uint32_t k = 0; k < unique; ++k) {
      CatSlot& slot = Slot(fileWords[k], fileHashes[k]);
      if (slot.hi == 0) {
        std::uint32_t off = nextAllCharBufAdd;
        std::size_t len = wordscan::Unpack(fileWords[k], text + off);
        slot.hi = fileWords[k].hi;
        slot.loOff = fileWords[k].lo | std::uint64_t{off} << 40;
        catalogSlots.push_back(static_cast<std::uint32_t>(&slot - table.data()));
        wordsBuf.Str(text + off, len);
        wordsTbl.U32(off);
        nextAllCharBufAdd += static_cast<std::uint32_t>(len + 1);
      }
      matches.Rec(slot.off(), CurrentFileOffset, static_cast<std::uint32_t>(CurrentCatNumber));
    }
  }

  void CopyOutFile(OutBuf& table, const std::string& name) {
    filesBuf.Str(name.data(), name.size());
    CurrentFileOffset = nextfileadd;
    table.Rec(CurrentFileOffset, PathCharOffset);
    nextfileadd += static_cast<std::uint32_t>(name.size() + 1);
  }

  void CreateSortedIndex() {
    // Key (100 bits) and offset (below 2^28) as one number: sorting the
    // numbers sorts the words.
    using U128 = unsigned __int128;
    std::vector<U128> sorted;
    sorted.reserve(catalogSlots.size());
    for (std::uint32_t i : catalogSlots) {
      const CatSlot& c = table[i];
      sorted.push_back((U128{c.hi} << 68) | (U128{c.lo()} << 28) | c.off());
    }
    // 4096 buckets by the first two characters and a bit of the third.
    std::vector<U128> out(sorted.size());
    wordscan::BucketSort(sorted.data(), sorted.size(), out.data(), bucketCount, 4096,
                         [](U128 v) { return static_cast<std::size_t>(v >> 116); });
    for (U128 v : out)
      wordsIdx.Rec(static_cast<std::uint32_t>(v & 0xFFFFFFF),
                   static_cast<std::uint32_t>(CurrentCatNumber));
    stats.words += static_cast<std::uint32_t>(catalogSlots.size());
  }

  void IncrementWordCatalog() {
    CreateSortedIndex();
    wordsBuf.Flush();
    wordsTbl.Flush();
    Files->IncrementWordFiles();
    ++CurrentCatNumber;
    nextAllCharBufAdd = 0;
    ClearTable();
  }
};

// ---------------------------------------------------------------------------

WordCat::WordCat() = default;
WordCat::~WordCat() = default;

int WordCat::CreateWordCatalog(BuildProgress* progress, std::vector<std::string> roots) {
  stats_ = BuildStats{};
  if (!Files) return 0;
  auto t0 = std::chrono::steady_clock::now();
  SilentProgress silent;

  Files->CloseFiles();
  Files->OpenFile(DataFile::kExtensions, "r");
  bool noExtensions = !plat::IsOpen(Files->ExtensionsOut);
  Files->CloseFiles();
  // Every file of the old catalog goes, numbered word files included (they
  // would otherwise be emptied one by one as the build reaches them, or
  // removed after it).
  OldCatalogRelease old;
  {
    for (DataFile f : kCatalogFiles)
      if (f != DataFile::kWordsBuf && f != DataFile::kWordsTbl) old.Take(DataFilePath(f));
    for (int n = 1; n < 100000; ++n) {
      std::string buf = DataFilePath(DataFile::kWordsBuf, n);
      std::string tbl = DataFilePath(DataFile::kWordsTbl, n);
      bool any = plat::Fs().Exists(buf) || plat::Fs().Exists(tbl);
      if (!any && n > 1) break;
      old.Take(buf);
      old.Take(tbl);
    }
    old.Start();
  }
  Files->DeleteCatalogs();
  Files->OpenFiles("w+");
  Files->currentWordCat = 1;
  // Without its files a build could only lose what it read: stop at once.
  for (DataFile n :
       {DataFile::kWordsBuf, DataFile::kWordsTbl, DataFile::kWordsIdx, DataFile::kWordsLtr,
        DataFile::kFilesBuf, DataFile::kFilesTbl, DataFile::kMatches, DataFile::kPathsBuf,
        DataFile::kPathsTbl, DataFile::kExtMatch}) {
    if (!plat::IsOpen(*Files->HandleField(n))) {
      stats_.failed = true;
      Files->CloseFiles();
      return 0;
    }
  }
  if (noExtensions) {
    SilentHost quiet;  // rebuilding the lists shows no message
    ZrnReg reg(*Files, quiet);
    reg.GetRegistryTextExt();
  }

  if (roots.empty()) roots = GetCatalogRoots();
  // Roots named through a symbolic link are walked at the place they name;
  // below a root no link is followed.
  std::vector<std::string> walkRoots;
  for (auto& r : roots) {
    if (r.empty()) continue;
    std::error_code ec;
    auto canon = std::filesystem::weakly_canonical(std::filesystem::absolute(r, ec), ec);
    std::string p = WithSlash(ec ? r : canon.string());
    if (std::find(walkRoots.begin(), walkRoots.end(), p) == walkRoots.end()) walkRoots.push_back(p);
  }

  impl_ = std::make_unique<Impl>(*this, stats_);
  Impl& b = *impl_;
  b.ProgDlg = progress ? progress : &silent;
  try {
    b.AllGenCharBufPtr.reset(new char[kAllWordsBufSize]());
    // Room behind the text for the 8-byte loads of a word's last pieces.
    b.readintobuffer.reset(new char[Impl::kReadBufSize]());
    // At most (100000 + 3600 x 21) / 5 words per catalog: the table stays
    // at most about half full.
    b.table.assign(1u << 16, Impl::CatSlot{});
    b.tableMask = (1u << 16) - 1;
    b.catalogSlots.reserve(1u << 15);
    b.jobs.reset(new Impl::Job[Impl::kJobs]);
  } catch (const std::bad_alloc&) {
    std::fputs("Error allocating Gen char buffers\n", stderr);
    Files->CloseFiles();
    impl_.reset();
    return 0;
  }
  if (useHelperThread) b.StartWorker();
  try {
    b.ScanDirectories(walkRoots);
  } catch (const std::bad_alloc&) {
    // Out of memory mid-walk: what was written stays, as after a cancel.
    std::fputs("Error allocating Gen char buffers\n", stderr);
  }
  b.StopWorker();
  b.FlushAll();
  stats_.files = b.TotalFiles;
  stats_.catalogs = b.CurrentCatNumber;
  Files->CloseFiles();

  // Word files of numbers past this build's last catalog belong to an older
  // build; nothing refers to them any more.
  for (int n = b.CurrentCatNumber + 1; n < b.CurrentCatNumber + 100000; ++n) {
    std::string buf = DataFilePath(DataFile::kWordsBuf, n);
    std::string tbl = DataFilePath(DataFile::kWordsTbl, n);
    if (!plat::Fs().Exists(buf) && !plat::Fs().Exists(tbl)) break;
    plat::Fs().Remove(buf);
    plat::Fs().Remove(tbl);
  }

  impl_.reset();
  old.Wait();
  stats_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return 0;
}
