#include "catalog/zrnwcat.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

#include "catalog/buildprogress.h"
#include "catalog/catfiles.h"
#include "catalog/catlock.h"
#include "catalog/catwalk.h"
#include "catalog/catwriter.h"
#include "catalog/extlist.h"
#include "catalog/jobring.h"
#include "catalog/wordreader.h"
#include "catalog/zrnreg.h"
#include "host/host.h"
#include "platform/pdatadir.h"
#include "platform/pregistry.h"

namespace {

const char kRootsKey[] = "Zarns.Application\\CatalogRoots";

std::string WithSlash(std::string p) {
  if (p.empty() || p.back() != '/') p += '/';
  return p;
}

// The extensions a build matches names against: files of `content` are
// read (those of an extension with "exe" in it only recorded), files of
// `typed` are listed by type.
struct BuildLists {
  ExtensionList content, typed;
  bool operator==(const BuildLists&) const = default;
};

// The lists as the data files hold them, made first from the registered
// file types when `rebuild`. An extension listed twice (".txt" is, from
// the scan and from the fixed tail) is walked once: each file is read, and
// listed, once.
BuildLists ReadBuildLists(ZrnReg& reg, bool rebuild) {
  if (rebuild) reg.GetRegistryTextExt();
  std::vector<std::string> toCatalog;
  reg.RegExtPtr = &toCatalog;
  reg.GetExtensions();
  reg.RegExtPtr = nullptr;
  BuildLists lists;
  for (auto& e : toCatalog) {
    std::string l = ExtensionList::Lower(e);
    lists.content.Add(l, l.find("exe") != std::string::npos);
  }
  // The whole list of typed extensions: a system MIME database fills far
  // more than the first 2000 bytes, and ".mp3", ".png", ".pdf" come late.
  for (auto& e : reg.TypedExtensions()) lists.typed.Add(e);
  return lists;
}

// Roots named through a symbolic link are walked at the place they name
// (below a root no link is followed); each root once.
std::vector<std::string> WalkRoots(const std::vector<std::string>& roots) {
  std::vector<std::string> walkRoots;
  for (auto& r : roots) {
    if (r.empty()) continue;
    std::error_code ec;
    auto canon = std::filesystem::weakly_canonical(std::filesystem::absolute(r, ec), ec);
    std::string p = WithSlash(ec ? r : canon.string());
    if (std::find(walkRoots.begin(), walkRoots.end(), p) == walkRoots.end()) walkRoots.push_back(p);
  }
  return walkRoots;
}

// The files of each directory the walk catalogs: which are taken, in what
// order, and the job each makes for the writer.
class FilePass : public CatalogWalk::Visitor {
 public:
  using BeforeOpen = std::function<void(const std::string&, const std::string&)>;
  FilePass(const BuildLists& lists, WordReader& reader, FileWordSorter& sorter,
           JobRing<CatalogJob>& ring, const CatalogWriter& writer, const BeforeOpen& beforeOpen)
      : lists_(lists),
        reader_(reader),
        sorter_(sorter),
        ring_(ring),
        writer_(writer),
        beforeOpen_(beforeOpen) {}

  // A writer that ran out of memory ends the walk.
  bool KeepGoing() override { return !writer_.Failed(); }
  void Catalog(const std::string& path, plat::Directory& dir,
               const std::vector<CatalogWalk::Entry>& entries) override {
    TakeFiles(path, dir, entries);
    Emit(CatalogJob::Dir, path);
  }
  // Files taken so far (at most kMaxBuildFiles).
  std::uint32_t Taken() const { return taken_; }
  // Whether a file was left out because the limit was reached.
  bool LimitReached() const { return limitReached_; }

 private:
  void TakeFiles(const std::string& path, plat::Directory& dir,
                 const std::vector<CatalogWalk::Entry>& entries) {
    // The files of each listed extension in list order, each file under the
    // first extension it ends with: a name ending in two listed extensions
    // (".gz", ".tar.gz") is still taken once.
    std::vector<std::pair<int, std::size_t>> content, typed;
    std::string lower;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].type != plat::EntryType::Regular) continue;
      lower = ExtensionList::Lower(entries[i].name);
      int c = lists_.content.FirstMatch(lower);
      if (c >= 0) content.emplace_back(c, i);
      int t = lists_.typed.FirstMatch(lower);
      if (t >= 0) typed.emplace_back(t, i);
    }
    std::sort(content.begin(), content.end());
    std::sort(typed.begin(), typed.end());
    for (auto& [x, i] : content) {
      if (taken_ >= kMaxBuildFiles) {
        limitReached_ = true;
        return;
      }
      const CatalogWalk::Entry& e = entries[i];
      if (beforeOpen_) beforeOpen_(path, e.name);
      std::uint64_t size = 0;
      int fd = dir.OpenFileForRead(e.name, size);
      if (fd < 0) continue;  // vanished, unreadable, or not a regular file
      if (lists_.content.Exe(x)) {
        Emit(CatalogJob::Exe, e.name);
      } else {
        // Read straight into the job; a file that gave a single word (even
        // twice over) is not recorded, and its job is not handed over.
        CatalogJob& j = ring_.NextJob();
        if ((j.n = reader_.Read(fd, size, j.words)) > 1) {
          j.kind = CatalogJob::Words;
          j.text = e.name;
          // A writer that lags behind leaves sorting the words to this side.
          j.sorted = ring_.Waiting() >= JobRing<CatalogJob>::kJobs / 2;
          if (j.sorted) j.distinct = sorter_.Sort(j.words, j.n, j.keys);
          ring_.Publish();
        }
      }
      plat::Directory::CloseFd(fd);
      ++taken_;
    }
    for (auto& [x, i] : typed) {
      if (taken_ >= kMaxBuildFiles) {
        limitReached_ = true;
        return;
      }
      Emit(CatalogJob::Typed, entries[i].name);
      ++taken_;
    }
  }

  void Emit(CatalogJob::Kind kind, const std::string& text) {
    CatalogJob& j = ring_.NextJob();
    j.kind = kind;
    j.text = text;
    ring_.Publish();
  }

  const BuildLists& lists_;
  WordReader& reader_;
  FileWordSorter& sorter_;
  JobRing<CatalogJob>& ring_;
  const CatalogWriter& writer_;
  const BeforeOpen& beforeOpen_;
  std::uint32_t taken_ = 0;
  bool limitReached_ = false;
};

void AllocationFailed() { std::fputs("Error allocating Gen char buffers\n", stderr); }

// Walks the roots and writes the catalog into the open files. The walk
// (this thread) reads the files and cuts them into words, everything the
// progress sink and Cancel see; the writer takes what it found through the
// job ring, on a helper thread when one is wanted and can be started. The
// writer handles the jobs in the order they were made, so the files are
// byte for byte what one thread doing both would write. Out of memory
// stops the build; what was written stays, as after a cancel. False when
// the build could not start for lack of memory.
bool RunBuild(CatalogStage& stage, const WordCat& cat, BuildProgress& progress,
              const BuildLists& lists, const std::vector<std::string>& roots, BuildStats& stats) {
  ZrnIO& files = stage.Files();
  std::unique_ptr<CatalogWriter> writer;
  std::unique_ptr<WordReader> reader;
  std::unique_ptr<FileWordSorter> sorter;
  std::unique_ptr<JobRing<CatalogJob>> ring;
  try {
    writer =
        std::make_unique<CatalogWriter>(files, [&stage](int n) { return stage.OpenWordFiles(n); });
    reader = std::make_unique<WordReader>();
    sorter = std::make_unique<FileWordSorter>();
    ring = std::make_unique<JobRing<CatalogJob>>([w = writer.get()](CatalogJob& j) { w->Take(j); });
  } catch (const std::bad_alloc&) {
    AllocationFailed();
    return false;
  }
  writer->SetIndexBudget(cat.wordFileIndexBudget);
  if (!cat.writeWordFileIndex) writer->WithoutWordFileIndex();
  if (cat.useHelperThread) ring->Start();
  FilePass pass(lists, *reader, *sorter, *ring, *writer, cat.beforeOpen);
  CatalogWalk walk(progress, pass);
  walk.canEnter = cat.canEnter;
  try {
    walk.Walk(roots);
    ring->Stop();
    writer->FinishLastCatalog();
  } catch (const std::bad_alloc&) {
    AllocationFailed();
  }
  ring->Stop();
  writer->Flush();
  // The files written in full are made durable while the index is made.
  if (!writer->Failed() && !walk.Cancelled()) stage.SyncWrittenFiles();
  writer->WriteWordFileIndex(StagingDir(), cat.useHelperThread);
  stats.directories = writer->Directories();
  stats.files = pass.Taken();
  stats.fileLimitReached = pass.LimitReached();
  stats.words = writer->Words();
  stats.catalogs = writer->Catalogs();
  stats.cancelled = walk.Cancelled();
  stats.error = writer->WriteError();
  // Out of memory part way: a catalog of part of the roots must not
  // replace a whole one.
  return !writer->Failed();
}

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

WordCat::WordCat(ZrnIO& files) : files_(files) {}
WordCat::~WordCat() = default;

int WordCat::CreateWordCatalog(BuildProgress* progress, std::vector<std::string> roots) {
  stats_ = BuildStats{};
  auto t0 = std::chrono::steady_clock::now();
  auto fail = [this](plat::FileError e) {
    stats_.failed = true;
    stats_.error = e == plat::FileError::None ? plat::FileError::Other : e;
    return 0;
  };
  // One build at a time, refused before anything is touched.
  CatalogLock buildLock(CatalogLock::Kind::Build);
  if (!buildLock.Held()) {
    stats_.busy = buildLock.Error() == plat::FileError::Busy;
    return fail(buildLock.Error());
  }
  // What an interrupted build or swap left is settled first.
  if (RecoverCatalog(true) == Recovery::Failed) return fail(plat::LastFileError());
  const plat::FileError listState = ExtensionListState(files_);
  if (listState != plat::FileError::None && listState != plat::FileError::NotFound)
    return fail(listState);
  CatalogStage stage;
  if (!stage.Begin()) return fail(stage.Error());
  SilentHost quiet;  // reading the lists shows no message
  ZrnReg reg(files_, quiet);
  const BuildLists lists = ReadBuildLists(reg, listState == plat::FileError::NotFound);
  // The lists are read a second time and must agree: a read that failed
  // part way gives a shorter list, and a catalog built from it would
  // replace a whole one with one that lacks entire file types.
  if (!(ReadBuildLists(reg, false) == lists)) return fail(plat::LastFileError());
  SilentProgress silent;
  const bool ran = RunBuild(stage, *this, progress ? *progress : silent, lists,
                            WalkRoots(roots.empty() ? GetCatalogRoots() : roots), stats_);
  if (!ran) return fail(stats_.error);
  if (stats_.cancelled && CatalogComplete()) {
    stats_.keptPrevious = true;
    stage.Discard();
  } else if (!stage.Commit(stats_.catalogs)) {
    return fail(stage.Error());
  }
  stats_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return 0;
}
