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

// The size of an open file; false (not 0) when it cannot be told: a store
// that took a failed size for an empty file would start itself afresh.
bool SizeOf(HANDLE h, std::uint32_t& out) {
  long long s = plat::Fs().Size(h);
  if (s < 0) return false;
  out = static_cast<std::uint32_t>(s);
  return true;
}

// Reads exactly n bytes at off; false on a failed seek or a short read.
bool ReadAt(ZrnIO& io, HANDLE h, std::uint32_t off, void* buf, std::uint32_t n) {
  if (plat::Fs().Seek(h, off, plat::Whence::Begin) < 0) return false;
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

// Writes n bytes at byte `off`; false unless all of them were written there
// (a failed seek must not turn into a write at some other position).
bool PutAt(HANDLE h, std::uint32_t off, const void* data, std::size_t n) {
  if (plat::Fs().Seek(h, off, plat::Whence::Begin) < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    long long w = plat::Fs().Write(h, p, n);
    if (w <= 0) {
      if (w == 0 && plat::LastFileError() == plat::FileError::None)
        plat::SetLastFileError(plat::FileError::NoSpace);
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool WriteU32At(HANDLE h, std::uint32_t off, std::uint32_t v) {
  unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                        static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  return PutAt(h, off, b, 4);
}

// Writes a whole record at `off` (over a trailing partial record left by an
// interrupted write, rather than after it).
bool WriteRecAt(HANDLE h, std::uint32_t off, const ZarnMatchStructType& r) {
  unsigned char b[kRec];
  for (int i = 0; i < 3; ++i) {
    std::uint32_t v = i == 0 ? r.OffsetA : i == 1 ? r.OffsetB : r.OffsetC;
    for (int k = 0; k < 4; ++k) b[i * 4 + k] = static_cast<unsigned char>(v >> (8 * k));
  }
  return PutAt(h, off, b, kRec);
}

// The text and its NUL at byte `off`.
bool PutStrAt(HANDLE h, std::uint32_t off, const std::string& s) {
  return PutAt(h, off, s.c_str(), s.size() + 1);
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
    // The end record names no zarn: texts beyond it are what an interrupted
    // store left, and must not be found as if stored.
    if (name.empty() || from + i + 1 == count) continue;
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
  lastError_ = StoreError::None;
  if (name.empty() || name.size() > kMaxName) return Refuse(StoreError::NameRule);
  for (unsigned char c : name)
    if (c < 0x20 || c == ' ' || c == 0x7F) return Refuse(StoreError::NameRule);
  if (value.size() > kMaxText || browse.size() > kMaxText) return Refuse(StoreError::SizeRule);

  // A table without a complete record starts a new store: whatever the other
  // files still hold (e.g. after an interrupted reset) is unreachable, and
  // old package membership would attach to the new zarns' positions. The
  // table's own lock is held while deciding, so two copies never both start
  // one (the second would wipe what the first stored meanwhile).
  {
    LocalFile tbl(files_, kTable, "w");
    std::uint32_t size = 0;
    if (!tbl.ok() || !SizeOf(tbl.h(), size)) return RefuseIo();
    if (size < kRec) {
      for (DataFile n : {kNames, kDefs, kBrowse, kPkgMembers}) {
        if (!plat::Fs().Exists(files_.FileName(n))) continue;
        LocalFile f(files_, n, "w+");
        if (!f.ok()) return RefuseIo();
      }
      if (!WriteRecAt(tbl.h(), 0, ZarnMatchStructType{0, 0, 0})) return RefuseIo();
    }
  }

  // The definitions file's lock comes first in every writer of the store
  // (Set, ModifyBrowseInfo): it makes them take turns, so the end record
  // read below is still the end when this zarn's record follows it.
  LocalFile defs(files_, kDefs, "w");
  if (!defs.ok()) return RefuseIo();
  LocalFile names(files_, kNames, "w");
  if (!names.ok()) return RefuseIo();
  LocalFile brw(files_, kBrowse, "w");
  if (!brw.ok()) return RefuseIo();
  ZarnMatchStructType w{0, 0, 0};
  std::uint32_t id = 0;
  {
    LocalFile rd(files_, kTable, "r");
    std::uint32_t size = 0;
    if (!rd.ok() || !SizeOf(rd.h(), size)) return RefuseIo();
    size -= size % kRec;
    if (size < kRec) return Refuse(StoreError::Busy);  // emptied meanwhile by a reset
    id = size - kRec;
    if (!ReadRecAt(files_, rd.h(), id, w)) return RefuseIo();
  }
  LocalFile tbl(files_, kTable, "w");
  if (!tbl.ok()) return RefuseIo();

  // The texts go where the end record says the next zarn's texts begin.
  // Anything past that is left from an interrupted store and unreachable,
  // so it is written over. An end record pointing past a file's end (a
  // damaged table) is brought back to the file's end first.
  std::uint32_t sizes[3];
  if (!SizeOf(names.h(), sizes[0]) || !SizeOf(defs.h(), sizes[1]) || !SizeOf(brw.h(), sizes[2]))
    return RefuseIo();
  ZarnMatchStructType fixed{std::min(w.OffsetA, sizes[0]), std::min(w.OffsetB, sizes[1]),
                            std::min(w.OffsetC, sizes[2])};
  if (std::memcmp(&fixed, &w, kRec) != 0) {
    if (!WriteRecAt(tbl.h(), id, fixed)) return RefuseIo();
    w = fixed;
  }
  if (hasBrowse) {
    if (!PutStrAt(brw.h(), w.OffsetC, browse)) return RefuseIo();
    w.OffsetC += static_cast<std::uint32_t>(browse.size() + 1);
  }
  if (!PutStrAt(defs.h(), w.OffsetB, value) || !PutStrAt(names.h(), w.OffsetA, name))
    return RefuseIo();
  w.OffsetA += static_cast<std::uint32_t>(name.size() + 1);
  w.OffsetB += static_cast<std::uint32_t>(value.size() + 1);
  // The record comes last: a zarn exists once its end record is written.
  if (!WriteRecAt(tbl.h(), id + kRec, w)) return RefuseIo();
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
  ZarnMatchStructType next{};
  long nextRead = files_.ReadFromFile(&next, files_.Lvl1TblOut);
  // The end record names no zarn: it gives the one empty name, whatever an
  // interrupted store left at its offset.
  name = nextRead < static_cast<long>(kRec)
             ? std::string()
             : ReadStrAt(files_, files_.Lvl1ZrnOut, listRec_.OffsetA);
  if (name.size() > kMaxText) name.resize(kMaxText);
  listRead_ = nextRead;
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
  lastError_ = StoreError::None;
  ZrnUpper(name);
  description += '\x01';
  description += usage;
  CutAtNul(description);
  if (description.size() > kMaxText) return Refuse(StoreError::SizeRule);

  // Taking turns with Set (see there): the zarn is looked up, and the table
  // read, only once no other writer can move the end record.
  LocalFile turn(files_, kDefs, "w");
  if (!turn.ok()) return RefuseIo();
  plat::SetLastFileError(plat::FileError::None);
  Found f;
  if (!Lookup(files_, name, f)) {
    plat::FileError e = plat::LastFileError();
    return (e == plat::FileError::None || e == plat::FileError::NotFound)
               ? Refuse(StoreError::NotStored)
               : RefuseIo();
  }

  // The old text's length decides where the new one goes (a write handle
  // cannot read, so it is read first).
  std::size_t oldLen = 0;
  bool hadText = false;
  {
    LocalFile rd(files_, kBrowse, "r");
    std::uint32_t rdSize = 0;
    if (rd.ok() && SizeOf(rd.h(), rdSize) && HasBrowseText(f, rdSize)) {
      hadText = true;
      oldLen = ReadStrAt(files_, rd.h(), f.rec.OffsetC).size();
    }
  }
  LocalFile brw(files_, kBrowse, "w");
  std::uint32_t size = 0;
  if (!brw.ok() || !SizeOf(brw.h(), size)) return RefuseIo();
  if (hadText && description.size() <= oldLen)
    return PutStrAt(brw.h(), f.rec.OffsetC, description) || RefuseIo();

  // Longer than the old text (or no old text): append it and repoint the
  // record, so no neighbour is overwritten. Zarns without browse text that
  // shared the old offset (just before this one) or the end offset (after
  // the last text) would now differ from their next record; they are pointed
  // at an empty string, so they keep showing nothing.
  LocalFile tbl(files_, kTable, "w");
  if (!tbl.ok()) return RefuseIo();
  const auto& recs = files_.zarnIndex.recs;
  const std::size_t endIdx = recs.size() - 1;
  const std::uint32_t oldC = f.rec.OffsetC, endC = recs[endIdx].OffsetC;
  std::size_t firstShared = f.index;
  while (firstShared > 0 && recs[firstShared - 1].OffsetC == oldC) --firstShared;
  bool pad = firstShared < f.index;
  for (std::size_t i = 0; i < endIdx && !pad; ++i)
    if (i != f.index && recs[i].OffsetC >= size) pad = true;
  // Bytes past the end offset are left from an interrupted store; the zarns
  // that share the end offset must find an empty string there, not them.
  if (endC < size && !PutStrAt(brw.h(), endC, std::string())) return RefuseIo();
  const std::uint32_t padAt = size;
  if (pad) {
    if (!PutStrAt(brw.h(), size, std::string())) return RefuseIo();
    ++size;
  }
  if (!PutStrAt(brw.h(), size, description)) return RefuseIo();
  ++files_.zarnGeneration;  // records change in place
  const std::uint32_t newEnd = size + static_cast<std::uint32_t>(description.size() + 1);
  // Each step leaves every zarn showing its old text or its new one, so the
  // first failure stops here with nothing lost.
  for (std::size_t j = firstShared; j < f.index; ++j)
    if (!WriteU32At(tbl.h(), static_cast<std::uint32_t>(j * kRec + 8), padAt)) return RefuseIo();
  if (!WriteU32At(tbl.h(), static_cast<std::uint32_t>(f.index * kRec + 8), size)) return RefuseIo();
  if (f.index != endIdx &&
      !WriteU32At(tbl.h(), static_cast<std::uint32_t>(endIdx * kRec + 8), newEnd))
    return RefuseIo();
  return true;
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

bool ZrnLvl1::ResetZarns(ZrnIO& files, StoreError* why) {
  // The table goes first: without it the other files are unreachable and the
  // next store starts afresh, so a reset cut short still shows no zarn.
  constexpr DataFile kOrder[] = {kTable, kPkgTable, kNames, kDefs, kBrowse, kPkgBuf, kPkgMembers};
  for (DataFile n : kOrder) files.CloseFileNum(n);
  bool gone = true;
  StoreError cause = StoreError::None;
  for (DataFile n : kOrder) {
    files.DeleteFileA(n);
    if (plat::Fs().Exists(files.FileName(n))) {
      if (gone) cause = StoreErrorFrom(plat::LastFileError());
      gone = false;
      // A table that stays must keep the texts it points at: nothing else
      // goes, and the store is left as it was.
      if (n == kTable) break;
    }
  }
  ++files.zarnGeneration;
  files.zarnIndex = ZarnNameIndex{};
  if (why) *why = cause;
  return gone;
}

bool ZrnLvl1::Refuse(StoreError e) {
  lastError_ = e;
  return false;
}

bool ZrnLvl1::RefuseIo() { return Refuse(StoreErrorFrom(plat::LastFileError())); }

StoreError StoreErrorFrom(plat::FileError e) {
  switch (e) {
    case plat::FileError::Busy: return StoreError::Busy;
    case plat::FileError::NoSpace: return StoreError::DiskFull;
    case plat::FileError::Permission: return StoreError::Permission;
    default: return StoreError::Io;
  }
}

const char* StoreErrorText(StoreError e) {
  switch (e) {
    case StoreError::None: return "no error";
    case StoreError::NameRule:
      return "the name is empty, longer than 79 characters, or holds white space";
    case StoreError::SizeRule: return "the text is longer than 4095 bytes";
    case StoreError::NotStored: return "no zarn of that name is stored";
    case StoreError::Busy: return "the store files are busy: another copy is writing them";
    case StoreError::DiskFull: return "the disk is full";
    case StoreError::Permission: return "the store files may not be written (permission denied)";
    case StoreError::Io: break;
  }
  return "the store files could not be read or written";
}
