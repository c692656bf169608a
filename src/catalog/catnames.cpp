#include "catalog/catnames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "catalog/catfiles.h"
#include "catalog/zrnfile.h"
#include "catalog/zwrdview.h"
#include "host/messages.h"
#include "platform/pfile.h"
#include "platform/pmmap.h"
#include "store/zrnio.h"

namespace {

// The longest directory read for a file, as the paths buffer is read elsewhere.
constexpr std::size_t kMaxPath = kGenBufferSize - 1;

// One catalog file's bytes, mapped; a short read is reported the way the
// catalog reader reports it, and what was read is used.
class FileBytes {
 public:
  void Load(const std::string& path, const char* shortReadMsg) {
    if (!file_.Open(path, plat::Access::Read) && file_.present()) std::fputs(shortReadMsg, stderr);
  }
  // Whether the file in place is still the one loaded.
  bool Current() const { return file_.Current(); }
  const char* data() const { return file_.data(); }
  std::size_t size() const { return file_.size(); }

 private:
  plat::MappedFile file_;
};

// Record i of a table of FilesTblStructType records.
FilesTblStructType RecordAt(const FileBytes& t, std::size_t i) {
  FilesTblStructType r;
  std::memcpy(&r, t.data() + i * sizeof r, sizeof r);
  return r;
}

std::size_t RecordCount(const FileBytes& t) { return t.size() / sizeof(FilesTblStructType); }

}  // namespace

struct CatalogNames::Mapped {
  std::string generation;
  FileBytes names, filesTbl, extMatch, paths;
  enum class Tables { Unchecked, Sound, Damaged } tables = Tables::Unchecked;

  bool Current(const std::string& gen) const {
    return gen == generation && names.Current() && filesTbl.Current() && extMatch.Current() &&
           paths.Current();
  }
  void Load(const std::string& gen) {
    generation = gen;
    tables = Tables::Unchecked;
    names.Load(DataFilePath(DataFile::kFilesBuf), "Error Reading Files Buffer in ReadWordsIdxDB\n");
    filesTbl.Load(DataFilePath(DataFile::kFilesTbl), "Error Reading Files Table in GetFilePath\n");
    extMatch.Load(DataFilePath(DataFile::kExtMatch), "Error Reading Files Table in GetFilePath\n");
    paths.Load(DataFilePath(DataFile::kPathsBuf), "Error reading file ");
  }

  // A table may only name the start of a name in the files buffer.
  bool IsNameStart(std::uint32_t off) const {
    if (off >= names.size()) return false;
    return (off == 0 || names.data()[off - 1] == '\0') && names.data()[off] != '\0';
  }
  // Each table names files in the order they were recorded, each by the
  // start of its name, and a name has its record in one table only. Checked
  // once per mapping, the first time a directory is wanted.
  bool TablesSound() {
    if (tables == Tables::Unchecked) tables = CheckTables() ? Tables::Sound : Tables::Damaged;
    return tables == Tables::Sound;
  }
  bool CheckTables() const {
    for (const FileBytes* t : {&filesTbl, &extMatch}) {
      const std::size_t n = RecordCount(*t);
      std::uint32_t prev = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t id = RecordAt(*t, i).OffsetA;
        if (!IsNameStart(id) || (i > 0 && id <= prev)) return false;
        prev = id;
      }
    }
    // Both sorted: one merge walk finds an id named by both.
    const std::size_t na = RecordCount(filesTbl), nb = RecordCount(extMatch);
    std::size_t i = 0, j = 0;
    while (i < na && j < nb) {
      const std::uint32_t a = RecordAt(filesTbl, i).OffsetA, b = RecordAt(extMatch, j).OffsetA;
      if (a == b) return false;
      if (a < b)
        ++i;
      else
        ++j;
    }
    return true;
  }
  // The directory record of `id`, by binary search in either table.
  bool FindRecord(std::uint32_t id, FilesTblStructType& out) const {
    for (const FileBytes* t : {&filesTbl, &extMatch}) {
      std::size_t lo = 0, hi = RecordCount(*t);
      while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (RecordAt(*t, mid).OffsetA < id)
          lo = mid + 1;
        else
          hi = mid;
      }
      if (lo < RecordCount(*t)) {
        const FilesTblStructType r = RecordAt(*t, lo);
        if (r.OffsetA == id) {
          out = r;
          return true;
        }
      }
    }
    return false;
  }
};

CatalogNames::CatalogNames(MessageHost& messages) : messages_(messages) {}
CatalogNames::~CatalogNames() = default;

void CatalogNames::Release() { mapped_.reset(); }

// Locks and maps the catalog for one lookup: null (and Problem set and
// shown) when the catalog is being replaced.
CatalogNames::Mapped* CatalogNames::Begin(const CatalogReadScope& scope) {
  problem_.clear();
  if (!scope.Usable()) {
    problem_ = kBusyCatalogText;
    messages_.MessageBox(problem_, "Zarns", MB_OK | MB_ICONEXCLAMATION);
    return nullptr;
  }
  if (!mapped_) mapped_ = std::make_unique<Mapped>();
  Mapped& m = *mapped_;
  if (!m.Current(scope.Generation())) m.Load(scope.Generation());
  return &m;
}

// The directory of file `id` into `path` (left empty when the file has no
// directory record); false, with Problem set, when the tables or the paths
// buffer contradict each other.
bool CatalogNames::DirectoryOf(Mapped& m, std::uint32_t id, std::string& path) {
  path.clear();
  FilesTblStructType rec{};
  if (!m.TablesSound()) {
    problem_ = kDamagedCatalogText;
    return false;
  }
  if (!m.FindRecord(id, rec)) return true;
  // A directory is named by the start of its path: the byte before it ends
  // the previous path.
  if (rec.OffsetB >= m.paths.size() ||
      (rec.OffsetB > 0 && m.paths.data()[rec.OffsetB - 1] != '\0')) {
    problem_ = kDamagedCatalogText;
    return false;
  }
  const char* p = m.paths.data() + rec.OffsetB;
  path.assign(p, ::strnlen(p, std::min(kMaxPath, m.paths.size() - rec.OffsetB)));
  return true;
}

int CatalogNames::Collect(const std::string& text, ZrnFile& out) {
  CatalogReadScope scope;
  Mapped* mp = Begin(scope);
  if (!mp) return 0;
  Mapped& m = *mp;

  struct Found {
    std::string name, path;
    std::uint32_t id;
  };
  std::vector<Found> found;
  // Every name contains the empty text: looking for nothing finds nothing.
  // A name never holds a NUL, so neither does a text any name contains.
  if (text.empty() || text.find('\0') != std::string::npos) return 0;
  const char* base = m.names.data();
  const std::size_t size = m.names.size();
  std::size_t from = 0;
  while (from < size) {
    const void* hit = ::memmem(base + from, size - from, text.data(), text.size());
    if (!hit) break;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    // The name around the hit: from just after the NUL before it to the next NUL.
    const void* nul = at > from ? ::memrchr(base + from, '\0', at - from) : nullptr;
    const std::size_t start =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - base) + 1 : from;
    const std::size_t end = at + ::strnlen(base + at, size - at);
    Found f{std::string(base + start, end - start), std::string(),
            static_cast<std::uint32_t>(start)};
    if (!DirectoryOf(m, f.id, f.path)) break;
    found.push_back(std::move(f));
    from = end + 1;
  }
  if (!problem_.empty()) {
    messages_.MessageBox(problem_, "Zarns", MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  for (auto& f : found) out.Add(std::move(f.name), std::move(f.path), f.id);
  return static_cast<int>(found.size());
}

bool CatalogNames::Directories(const std::vector<std::uint32_t>& ids,
                               std::vector<std::string>& dirs) {
  dirs.clear();
  CatalogReadScope scope;
  Mapped* m = Begin(scope);
  if (!m) return false;
  dirs.resize(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (!DirectoryOf(*m, ids[i], dirs[i])) {
      dirs.clear();
      messages_.MessageBox(problem_, "Zarns", MB_OK | MB_ICONEXCLAMATION);
      return false;
    }
  }
  return true;
}
