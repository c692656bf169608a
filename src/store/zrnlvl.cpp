#include "store/zrnlvl.h"
#include "platform/pbytes.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

constexpr DataFile kNames = DataFile::kZarnNames, kDefs = DataFile::kZarnValues,
                   kTable = DataFile::kZarnTable, kBrowse = DataFile::kZarnBrowse;
constexpr DataFile kPkgMembers = DataFile::kPkgMembers, kPkgTable = DataFile::kPkgTable,
                   kPkgBuf = DataFile::kPkgText;
constexpr std::uint32_t kRec = sizeof(ZarnMatchStructType);

// A handle opened for one operation and closed when it goes out of scope.
// Store operations use their own handles, so a lookup never disturbs a name
// listing that is open in the file set's fields.
class LocalFile {
 public:
  LocalFile(ZrnIO& io, DataFile num, const char* mode)
      : io_(io), h_(io.OpenFile(io.FileName(num).c_str(), mode)) {}
  ~LocalFile() { Close(); }
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;
  bool ok() const { return plat::IsOpen(h_); }
  HANDLE h() const { return h_; }
  void Close() {
    if (plat::IsOpen(h_)) io_.CloseFile(h_);
    h_ = nullptr;
  }

 private:
  ZrnIO& io_;
  HANDLE h_;
};

// The NUL-terminated string at `off` read through the 4096-byte window.
std::string ReadStrAt(ZrnIO& io, HANDLE h, std::uint32_t off) {
  char buf[kGenBufferSize + 1];
  std::memset(buf, 0, sizeof buf);
  io.ReadFromFileAtOffset(buf, h, off);
  buf[kGenBufferSize - 1] = '\0';
  return std::string(buf);
}

ZarnMatchStructType DecodeRec(const unsigned char* p) {
  return ZarnMatchStructType{plat::GetLE32(p), plat::GetLE32(p + 4), plat::GetLE32(p + 8)};
}

// Reads exactly n bytes at off; false on a short read.
bool ReadAt(ZrnIO& io, HANDLE h, std::uint32_t off, void* buf, std::uint32_t n) {
  io.SetFilePtr(h, off);
  auto* p = static_cast<unsigned char*>(buf);
  while (n > 0) {  // a short read is not the end of the file
    long got = io.ReadFromFile(p, n, h);
    if (got <= 0) return false;
    p += got;
    n -= static_cast<std::uint32_t>(got);
  }
  return true;
}

bool ReadRecAt(ZrnIO& io, HANDLE h, std::uint32_t off, ZarnMatchStructType& r) {
  unsigned char b[kRec];
  if (!ReadAt(io, h, off, b, kRec)) return false;
  r = DecodeRec(b);
  return true;
}

bool WriteU32At(ZrnIO& io, HANDLE h, std::uint32_t off, std::uint32_t v) {
  std::uint32_t before = io.FileSize(h);
  io.SetFilePtr(h, off);
  io.WriteToFile(v, h);
  return io.FileSize(h) >= std::max(before, off + 4);
}

// Writes a whole record at `off` (4-byte writes at the current position, so a
// trailing partial record left by an interrupted write is overwritten rather
// than followed).
bool WriteRecAt(ZrnIO& io, HANDLE h, std::uint32_t off, const ZarnMatchStructType& r) {
  return WriteU32At(io, h, off, r.OffsetA) && WriteU32At(io, h, off + 4, r.OffsetB) &&
         WriteU32At(io, h, off + 8, r.OffsetC);
}

// Appends text and its NUL; false unless the file grew by exactly that.
bool AppendStr(ZrnIO& io, HANDLE h, const std::string& s) {
  std::uint32_t before = io.FileSize(h);
  io.WriteToFile(s, h, kNullTerminated);
  return io.FileSize(h) == before + s.size() + 1;
}

void CutAtNul(std::string& s) {
  auto p = s.find('\0');
  if (p != std::string::npos) s.resize(p);
}

bool IsSep(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// ---------------------------------------------------------------------------
// Name index. The files are looked up by a linear scan of the table in the
// file format; keeping that scan's result in memory makes a lookup in a large
// store cost a few reads instead of two per stored zarn. The index is
// checked against the files on every use (sizes, the last record, the tail of
// the names file) and extended incrementally as zarns are appended; anything
// else rebuilds it. A hit is confirmed against the names file.
constexpr std::uint32_t kTailLen = 64;
constexpr std::uint32_t kMaxBulk = 64u << 20;  // names files read whole up to this size

std::string ReadTail(ZrnIO& io, HANDLE names, std::uint32_t size) {
  std::uint32_t n = std::min(size, kTailLen);
  std::string t(n, '\0');
  if (!ReadAt(io, names, size - n, t.data(), n)) return std::string("\xff", 1);
  return t;
}

// Adds records [from, end) of `tbl` to the index.
bool ExtendIndex(ZrnIO& io, HANDLE tbl, HANDLE names, std::uint32_t tblSize,
                 std::uint32_t namesSize, std::size_t from) {
  std::size_t count = tblSize / kRec;
  if (count <= from) return true;
  std::vector<unsigned char> raw((count - from) * kRec);
  if (!ReadAt(io, tbl, static_cast<std::uint32_t>(from * kRec), raw.data(),
              static_cast<std::uint32_t>(raw.size())))
    return false;
  std::vector<ZarnMatchStructType> add(count - from);
  for (std::size_t i = 0; i < add.size(); ++i) add[i] = DecodeRec(raw.data() + i * kRec);
  std::uint32_t lo = namesSize;
  for (auto& r : add) lo = std::min(lo, r.OffsetA);
  std::string bulk;
  bool inMemory = namesSize - lo <= kMaxBulk;
  if (inMemory) {
    bulk.resize(namesSize - lo);
    if (!ReadAt(io, names, lo, bulk.data(), static_cast<std::uint32_t>(bulk.size()))) return false;
  }
  for (std::size_t i = 0; i < add.size(); ++i) {
    const auto& r = add[i];
    std::string name;
    if (r.OffsetA < namesSize) {
      if (inMemory) {
        std::size_t start = r.OffsetA - lo;
        std::size_t lim = std::min<std::size_t>(bulk.size(), start + ZrnLvl1::kMaxText);
        std::size_t end = start;
        while (end < lim && bulk[end] != '\0') ++end;
        name.assign(bulk, start, end - start);
      } else {
        name = ReadStrAt(io, names, r.OffsetA);
      }
    }
    io.zarnIndex.recs.push_back(r);
    if (name.empty()) continue;
    ZrnUpper(name);
    io.zarnIndex.first.emplace(std::move(name), static_cast<std::uint32_t>(from + i));
  }
  return true;
}

// Brings the index up to date with the open table and names files.
bool RefreshIndex(ZrnIO& io, HANDLE tbl, HANDLE names) {
  std::uint32_t tblSize = io.FileSize(tbl);
  std::uint32_t namesSize = io.FileSize(names);
  tblSize -= tblSize % kRec;  // a trailing partial record is not a record
  std::string tail = ReadTail(io, names, namesSize);
  ZarnNameIndex& x = io.zarnIndex;
  if (x.valid && x.gen == io.zarnGeneration && tblSize >= x.tblSize && namesSize >= x.namesSize &&
      !x.recs.empty()) {
    ZarnMatchStructType last{};
    bool sameLast =
        ReadRecAt(io, tbl, x.tblSize - kRec, last) && std::memcmp(&last, &x.recs.back(), kRec) == 0;
    bool sameTail = (namesSize == x.namesSize) ? tail == x.namesTail
                                               : ReadTail(io, names, x.namesSize) == x.namesTail;
    if (sameLast && sameTail) {
      if (tblSize == x.tblSize && namesSize == x.namesSize) return true;
      // The old end record is now the first new zarn's own record: its name
      // is read again with the records that follow it.
      x.recs.pop_back();
      if (ExtendIndex(io, tbl, names, tblSize, namesSize, x.recs.size())) {
        x.tblSize = tblSize;
        x.namesSize = namesSize;
        x.namesTail = tail;
        return true;
      }
    }
  }
  x = ZarnNameIndex{};
  if (!ExtendIndex(io, tbl, names, tblSize, namesSize, 0)) {
    x = ZarnNameIndex{};
    return false;
  }
  x.valid = true;
  x.gen = io.zarnGeneration;
  x.tblSize = tblSize;
  x.namesSize = namesSize;
  x.namesTail = tail;
  return true;
}

// The result of a lookup: the zarn's record and the one after it.
struct Found {
  std::uint32_t index = 0;
  ZarnMatchStructType rec{};
  bool hasNext = false;
  ZarnMatchStructType next{};
  std::size_t count = 0;  // records in the table
};

// Looks up an upper-cased, non-empty name.
bool Lookup(ZrnIO& io, const std::string& upper, Found& out) {
  if (upper.empty()) return false;
  LocalFile tbl(io, kTable, "r"), names(io, kNames, "r");
  if (!tbl.ok() || !names.ok()) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!RefreshIndex(io, tbl.h(), names.h())) return false;
    auto it = io.zarnIndex.first.find(upper);
    if (it == io.zarnIndex.first.end()) return false;
    out.index = it->second;
    out.rec = io.zarnIndex.recs[out.index];
    out.count = io.zarnIndex.recs.size();
    out.hasNext = out.index + 1 < io.zarnIndex.recs.size();
    if (out.hasNext) out.next = io.zarnIndex.recs[out.index + 1];
    std::string check = ReadStrAt(io, names.h(), out.rec.OffsetA);
    ZrnUpper(check);
    if (check == upper) return true;
    io.zarnIndex = ZarnNameIndex{};  // the files changed under the index: rebuild once
  }
  return false;
}

// A zarn has browse text when its record's browse offset differs from the
// next record's: a zarn stored without one carries the offset forward
// unchanged, so it shows nothing and the next zarn keeps its own text.
bool HasBrowseText(const Found& f, std::uint32_t browseSize) {
  return f.hasNext && f.rec.OffsetC != f.next.OffsetC && f.rec.OffsetC < browseSize;
}

}  // namespace

bool SplitZarnValue(std::string& value, std::string& browse) {
  // The first "zdesc" and "zuse" in any case.
  const std::string lower = plat::AsciiLower(value);
  std::size_t d = lower.find("zdesc"), u = lower.find("zuse");
  auto part = [&](std::size_t start, std::size_t other) {
    std::size_t end = (other != std::string::npos && other > start) ? other : value.size();
    return start < end ? value.substr(start, end - start) : std::string();
  };
  std::string desc = d == std::string::npos ? "" : part(d + 6, u);
  std::string usage = u == std::string::npos ? "" : part(u + 5, d);
  bool hasBrowse = d != std::string::npos || u != std::string::npos;
  browse = hasBrowse ? desc + '\x01' + usage : std::string();
  value.resize(std::min({d, u, value.size()}));
  return hasBrowse;
}

void ZrnUpper(std::string& s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

ZrnLvl::~ZrnLvl() = default;
ZrnLvl1::ZrnLvl1(ZrnIO& files) : files_(files) {}
ZrnLvl1::~ZrnLvl1() = default;

bool ZrnLvl1::Set(std::string& text) {
  CutAtNul(text);
  std::size_t p = 0;
  while (p < text.size() && !IsSep(text[p])) ++p;
  std::string value = text.substr(p);
  text.resize(p);
  return Set(text, value);
}

bool ZrnLvl1::Set(std::string& name, std::string& value) {
  CutAtNul(name);
  CutAtNul(value);

  std::string browse;
  const bool hasBrowse = SplitZarnValue(value, browse);

  // Refuse what could not be read back or found again.
  if (name.empty() || name.size() > kMaxName) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == ' ' || c == 0x7F) return false;
  if (value.size() > kMaxText || browse.size() > kMaxText) return false;

  // Find the table's last record: where this zarn's texts begin.
  ZarnMatchStructType w{0, 0, 0};
  std::uint32_t id = 0;
  bool newTable = false;
  {
    LocalFile tbl(files_, kTable, "r");
    if (tbl.ok()) {
      std::uint32_t size = files_.FileSize(tbl.h());
      size -= size % kRec;
      if (size < kRec) {
        newTable = true;  // no complete record: as if there were no table
      } else {
        id = size - kRec;
        if (!ReadRecAt(files_, tbl.h(), id, w)) return false;
      }
    } else if (plat::Fs().Exists(files_.FileName(kTable))) {
      return false;  // held by another writer
    } else {
      newTable = true;
    }
  }
  if (newTable) {
    // A new table starts a new store: whatever the other files still hold
    // (e.g. after an interrupted reset) is unreachable, and old package
    // membership would attach to the new zarns' positions.
    for (DataFile n : {kTable, kNames, kDefs, kBrowse, kPkgMembers}) {
      if (n != kTable && !plat::Fs().Exists(files_.FileName(n))) continue;
      LocalFile f(files_, n, "w+");
      if (!f.ok()) return false;
    }
    LocalFile tbl(files_, kTable, "w");
    if (!tbl.ok() || !WriteRecAt(files_, tbl.h(), 0, w)) return false;
    id = 0;
  }

  LocalFile names(files_, kNames, "w"), defs(files_, kDefs, "w"), tbl(files_, kTable, "w"),
      brw(files_, kBrowse, "w");
  if (!names.ok() || !defs.ok() || !tbl.ok() || !brw.ok()) return false;
  // Another copy may have stored while these opens waited for its locks: the
  // last record is where the table ends now, not where it ended when read.
  std::uint32_t tableSize = files_.FileSize(tbl.h());
  tableSize -= tableSize % kRec;
  if (tableSize < kRec) return false;  // emptied meanwhile by a reset
  id = tableSize - kRec;

  // The last record must point at the files' ends; an interrupted earlier
  // store may have left texts without their record. Those become unreachable.
  ZarnMatchStructType actual{files_.FileSize(names.h()), files_.FileSize(defs.h()),
                             files_.FileSize(brw.h())};
  if (std::memcmp(&actual, &w, kRec) != 0) {
    if (!WriteRecAt(files_, tbl.h(), id, actual)) return false;
    w = actual;
  }

  if (hasBrowse) {
    if (!AppendStr(files_, brw.h(), browse)) return false;
    w.OffsetC += static_cast<std::uint32_t>(browse.size() + 1);
  }
  if (!AppendStr(files_, defs.h(), value) || !AppendStr(files_, names.h(), name)) return false;
  w.OffsetA += static_cast<std::uint32_t>(name.size() + 1);
  w.OffsetB += static_cast<std::uint32_t>(value.size() + 1);
  // The record comes last: a zarn exists once its end record is written.
  if (!WriteRecAt(files_, tbl.h(), id + kRec, w)) return false;
  ZrnID = id;
  return true;
}

bool ZrnLvl1::Get(std::string& name, std::string& value) {
  ZrnUpper(name);
  // The table stays locked for reading until the text is read, so a rewrite
  // of the store (a delete) cannot come between the lookup and the read.
  LocalFile hold(files_, kTable, "r");
  Found f;
  if (!hold.ok() || !Lookup(files_, name, f)) return false;
  LocalFile defs(files_, kDefs, "r");
  value = defs.ok() ? ReadStrAt(files_, defs.h(), f.rec.OffsetB) : std::string();
  return true;
}

bool ZrnLvl1::GetZarnList(std::string& name, bool newlist) {
  if (newlist) {
    files_.ReopenFile(kNames, "r");
    files_.ReopenFile(kTable, "r");
    listRec_ = {};
    files_.SetFilePtr(files_.Lvl1TblOut, 0);
    listRead_ = files_.ReadFromFile(&listRec_, files_.Lvl1TblOut);
    return true;
  }
  if (listRead_ < static_cast<long>(kRec)) return false;
  name = ReadStrAt(files_, files_.Lvl1ZrnOut, listRec_.OffsetA);
  if (name.size() > kMaxText) name.resize(kMaxText);
  ZarnMatchStructType next{};
  listRead_ = files_.ReadFromFile(&next, files_.Lvl1TblOut);
  listRec_ = next;
  return true;
}

bool ZrnLvl1::GetZarn(std::string& name, bool newlist) {
  if (newlist) {
    files_.ReopenFile(kNames, "r");
    files_.ReopenFile(kTable, "r");
  }
  name.clear();
  HANDLE tbl = files_.Lvl1TblOut;
  if (!plat::IsOpen(tbl)) return true;
  // Only a zarn's own record (not the end record, not a position between
  // records) names a zarn.
  std::uint32_t size = files_.FileSize(tbl);
  if (ZrnID % kRec != 0 || size < kRec * 2 || ZrnID > size - kRec * 2) return true;
  ZarnMatchStructType r{};
  if (!ReadRecAt(files_, tbl, ZrnID, r)) return true;
  name = ReadStrAt(files_, files_.Lvl1ZrnOut, r.OffsetA);
  return true;
}

bool ZrnLvl1::GetBrowseInfo(std::string& name, std::string& description, std::string& usage) {
  if (name.empty()) return false;
  ZrnUpper(name);
  LocalFile hold(files_, kTable, "r");  // as in Get
  Found f;
  if (!hold.ok() || !Lookup(files_, name, f)) return false;
  LocalFile brw(files_, kBrowse, "r");
  if (!brw.ok() || !HasBrowseText(f, files_.FileSize(brw.h()))) {
    // Stored without browse text: nothing to show, in either part.
    description.clear();
    usage.clear();
    return true;
  }
  std::string text = ReadStrAt(files_, brw.h(), f.rec.OffsetC);
  auto p = text.find('\x01');
  if (p == std::string::npos) {
    description = text;
  } else {
    description = text.substr(0, p);
    usage = text.substr(p + 1);
  }
  return true;
}

bool ZrnLvl1::ModifyBrowseInfo(std::string& name, std::string& description, std::string& usage) {
  ZrnUpper(name);
  Found f;
  if (!Lookup(files_, name, f)) return false;
  description += '\x01';
  description += usage;
  CutAtNul(description);
  if (description.size() > kMaxText) return false;

  // The old text's length decides where the new one goes (a write handle
  // cannot read, so it is read first).
  std::size_t oldLen = 0;
  bool hadText = false;
  {
    LocalFile rd(files_, kBrowse, "r");
    if (rd.ok() && HasBrowseText(f, files_.FileSize(rd.h()))) {
      hadText = true;
      oldLen = ReadStrAt(files_, rd.h(), f.rec.OffsetC).size();
    }
  }
  LocalFile brw(files_, kBrowse, "w");
  if (!brw.ok()) return false;
  std::uint32_t size = files_.FileSize(brw.h());
  if (hadText) {
    if (description.size() <= oldLen) {
      long n = files_.WriteToFileAtOffset(description.c_str(), brw.h(), f.rec.OffsetC);
      return n == static_cast<long>(description.size() + 1);
    }
  }
  // Longer than the old text (or no old text): append it and repoint the
  // record, so no neighbour is overwritten. Zarns without browse text that
  // shared the old offset (just before this one) or the end offset (after
  // the last text) would now differ from their next record; they are pointed
  // at an empty string written first, so they keep showing nothing.
  LocalFile tbl(files_, kTable, "w");
  if (!tbl.ok()) return false;
  const auto& recs = files_.zarnIndex.recs;
  const std::size_t endIdx = recs.size() - 1;
  const std::uint32_t oldC = f.rec.OffsetC;
  std::size_t firstShared = f.index;
  while (firstShared > 0 && recs[firstShared - 1].OffsetC == oldC) --firstShared;
  bool pad = firstShared < f.index;
  for (std::size_t i = 0; i < endIdx && !pad; ++i)
    if (i != f.index && recs[i].OffsetC >= size) pad = true;
  const std::uint32_t padAt = size;
  if (pad) {
    if (!AppendStr(files_, brw.h(), std::string())) return false;
    ++size;
  }
  if (!AppendStr(files_, brw.h(), description)) return false;
  ++files_.zarnGeneration;  // records change in place
  const std::uint32_t newEnd = size + static_cast<std::uint32_t>(description.size() + 1);
  bool ok = true;
  for (std::size_t j = firstShared; j < f.index; ++j)
    ok = WriteU32At(files_, tbl.h(), static_cast<std::uint32_t>(j * kRec + 8), padAt) && ok;
  ok = WriteU32At(files_, tbl.h(), f.index * kRec + 8, size) && ok;
  if (f.index != endIdx)
    ok = WriteU32At(files_, tbl.h(), static_cast<std::uint32_t>(endIdx * kRec + 8), newEnd) && ok;
  return ok;
}

void ZrnLvl1::StartSet() {
  for (DataFile n : {kNames, kDefs, kTable, kBrowse}) files_.ReopenFile(n, "w");
}

void ZrnLvl1::StopSet() {
  for (DataFile n : {kNames, kDefs, kTable, kBrowse}) files_.CloseFileNum(n);
}

void ZrnLvl1::CloseZarnFiles() {
  files_.CloseFileNum(kTable);
  files_.CloseFileNum(kNames);
}

bool ZrnLvl1::ResetZarns(ZrnIO& files) {
  for (DataFile n : {kNames, kDefs, kTable, kBrowse, kPkgBuf, kPkgTable, kPkgMembers})
    files.CloseFileNum(n);
  bool gone = true;
  for (DataFile n : {kNames, kDefs, kTable, kBrowse, kPkgBuf, kPkgTable, kPkgMembers}) {
    files.DeleteFileA(n);
    if (plat::Fs().Exists(files.FileName(n))) gone = false;
  }
  ++files.zarnGeneration;
  files.zarnIndex = ZarnNameIndex{};
  return gone;
}
