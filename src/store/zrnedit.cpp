#include "store/zrnedit.h"

#include <algorithm>
#include <cstring>

#include "platform/pbytes.h"
#include "platform/pdatadir.h"
#include "platform/pdir.h"
#include "store/pkglimits.h"
#include "store/zrnlvl.h"

namespace {

constexpr std::uint32_t kRec = sizeof(ZarnMatchStructType);
constexpr const char* kCommit = "COMMIT";

// The five files a rewrite replaces, in the order they are renamed.
constexpr DataFile kRewritten[] = {DataFile::kPkgMembers, DataFile::kZarnBrowse,
                                   DataFile::kZarnValues, DataFile::kZarnNames,
                                   DataFile::kZarnTable};

// The order they are locked in.
constexpr DataFile kLockOrder[] = {DataFile::kZarnTable, DataFile::kZarnNames,
                                   DataFile::kZarnValues, DataFile::kZarnBrowse,
                                   DataFile::kPkgMembers};

bool IsSep(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::uint32_t GetLE(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(u[0]) | static_cast<std::uint32_t>(u[1]) << 8 |
         static_cast<std::uint32_t>(u[2]) << 16 | static_cast<std::uint32_t>(u[3]) << 24;
}

void PutLE(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutRec(std::string& out, const ZarnMatchStructType& r) {
  PutLE(out, r.OffsetA);
  PutLE(out, r.OffsetB);
  PutLE(out, r.OffsetC);
}

std::vector<ZarnMatchStructType> Records(const std::string& bytes) {
  std::vector<ZarnMatchStructType> recs(bytes.size() / kRec);
  for (std::size_t i = 0; i < recs.size(); ++i) {
    const char* p = bytes.data() + i * kRec;
    recs[i] = {GetLE(p), GetLE(p + 4), GetLE(p + 8)};
  }
  return recs;
}

// The string at `off` as the store reads it: up to its NUL, at most
// kMaxText bytes; nothing for an offset past the end.
std::string StrAt(const std::string& buf, std::uint32_t off) {
  if (off >= buf.size()) return std::string();
  const std::size_t lim = std::min<std::size_t>(buf.size(), off + std::size_t{ZrnLvl1::kMaxText});
  std::size_t end = off;
  while (end < lim && buf[end] != '\0') ++end;
  return buf.substr(off, end - off);
}

// The store files' contents.
struct StoreBytes {
  std::string table, names, defs, browse, members;
};

std::vector<StoredZarn> ParseStore(const StoreBytes& b) {
  const std::vector<ZarnMatchStructType> recs = Records(b.table);
  std::vector<StoredZarn> out;
  for (std::size_t k = 0; k + 1 < recs.size(); ++k) {
    StoredZarn z;
    z.name = StrAt(b.names, recs[k].OffsetA);
    z.definition = StrAt(b.defs, recs[k].OffsetB);
    // The store's own rule: a zarn has browse text when its browse offset
    // differs from the next record's.
    z.hasBrowse = recs[k].OffsetC != recs[k + 1].OffsetC && recs[k].OffsetC < b.browse.size();
    if (z.hasBrowse) z.browse = StrAt(b.browse, recs[k].OffsetC);
    out.push_back(std::move(z));
  }
  return out;
}

// The files of a store holding `zarns`, byte for byte as storing them one
// after the other into an empty store writes them.
StoreBytes BuildStore(const std::vector<StoredZarn>& zarns) {
  StoreBytes b;
  ZarnMatchStructType w{0, 0, 0};
  PutRec(b.table, w);
  for (const StoredZarn& z : zarns) {
    if (z.hasBrowse) {
      b.browse.append(z.browse).push_back('\0');
      w.OffsetC += static_cast<std::uint32_t>(z.browse.size() + 1);
    }
    b.defs.append(z.definition).push_back('\0');
    b.names.append(z.name).push_back('\0');
    w.OffsetA += static_cast<std::uint32_t>(z.name.size() + 1);
    w.OffsetB += static_cast<std::uint32_t>(z.definition.size() + 1);
    PutRec(b.table, w);
  }
  return b;
}

// Membership records without those of the zarn at `gone` and with the later
// zarns' positions moved up one record. Positions that name no zarn are kept.
std::string RemapMembers(const std::string& members, std::uint32_t gone, std::size_t count) {
  std::string out;
  for (ZarnMatchStructType r : Records(members)) {
    const bool valid = r.OffsetB % kRec == 0 && r.OffsetB / kRec < count;
    if (valid && r.OffsetB == gone) continue;
    if (valid && r.OffsetB > gone) r.OffsetB -= kRec;
    PutRec(out, r);
  }
  return out;
}

// The handles of the store files held for the length of an operation.
class Locks {
 public:
  ~Locks() {
    for (plat::HANDLE h : held_) plat::Fs().Close(h);
  }
  // False when the file exists (or must be created) and cannot be locked.
  bool Take(const std::string& path, plat::Access access, plat::Creation creation) {
    plat::HANDLE h = plat::Fs().Open(path, access, creation);
    if (plat::IsOpen(h)) {
      held_.push_back(h);
      return true;
    }
    return creation == plat::Creation::OpenExisting &&
           plat::LastFileError() == plat::FileError::NotFound;
  }

 private:
  std::vector<plat::HANDLE> held_;
};

bool ReadIfThere(const std::string& path, std::string& out) {
  out.clear();
  if (plat::ReadWholeFile(path, out)) return true;
  return plat::LastFileError() == plat::FileError::NotFound;
}

bool ReadStore(ZrnIO& files, StoreBytes& b) {
  return ReadIfThere(files.FileName(DataFile::kZarnTable), b.table) &&
         ReadIfThere(files.FileName(DataFile::kZarnNames), b.names) &&
         ReadIfThere(files.FileName(DataFile::kZarnValues), b.defs) &&
         ReadIfThere(files.FileName(DataFile::kZarnBrowse), b.browse) &&
         ReadIfThere(files.FileName(DataFile::kPkgMembers), b.members);
}

const std::string& Part(const StoreBytes& b, DataFile f) {
  switch (f) {
    case DataFile::kZarnTable: return b.table;
    case DataFile::kZarnNames: return b.names;
    case DataFile::kZarnValues: return b.defs;
    case DataFile::kZarnBrowse: return b.browse;
    default: return b.members;
  }
}

std::string Staged(DataFile f) { return ZrnEdit::StagingDir() + "/" + DataFileName(f); }

void Forget(ZrnIO& files) {
  ++files.zarnGeneration;
  files.zarnIndex = ZarnNameIndex{};
}

// Removes the staging folder with whatever is in it (staged files, the
// temporary files of a write that failed, the marker last).
void DropStaging() {
  plat::FileSystem& fs = plat::Fs();
  const std::string dir = ZrnEdit::StagingDir();
  std::vector<std::string> names;
  if (auto d = plat::Directory::Open(dir)) {
    plat::DirEntry e;
    while (d->Next(e))
      if (e.name != "." && e.name != ".." && e.name != kCommit) names.push_back(e.name);
  }
  for (const std::string& n : names) fs.Remove(dir + "/" + n);
  if (fs.Exists(dir + "/" + kCommit)) fs.Remove(dir + "/" + kCommit);
  fs.RemoveDir(dir);
}

// Renames every staged file over its data file, then removes the marker
// and the folder. A file no longer staged was renamed by an earlier try.
bool FinishCommitted(ZrnIO& files) {
  plat::FileSystem& fs = plat::Fs();
  for (DataFile f : kRewritten)
    if (fs.Exists(Staged(f)) && !fs.Rename(Staged(f), files.FileName(f))) return false;
  fs.SyncDir(plat::DataDir());
  Forget(files);
  DropStaging();
  return !fs.Exists(ZrnEdit::StagingDir() + "/" + kCommit);
}

// Stages the new set and swaps it in for the store's five files. False,
// with the cause in plat::LastFileError(), when the store is as it was (or,
// once committed, when the renames failed twice; Recover finishes them).
bool StageAndSwap(ZrnIO& files, const StoreBytes& next) {
  plat::FileSystem& fs = plat::Fs();
  auto undo = [] {
    const plat::FileError cause = plat::LastFileError();
    DropStaging();
    plat::SetLastFileError(cause);
    return false;
  };
  // Until the marker exists the old files are the store.
  if (!fs.MakeDir(ZrnEdit::StagingDir()) && plat::LastFileError() != plat::FileError::Exists)
    return false;
  for (DataFile f : kRewritten)
    if (!plat::WriteDataFileAtomic(Staged(f), Part(next, f))) return undo();
  if (!fs.SyncDir(ZrnEdit::StagingDir()) ||
      !plat::WriteDataFileAtomic(ZrnEdit::StagingDir() + "/" + kCommit, "zarn store rewrite\n"))
    return undo();
  // Committed: from here on the new set is the store, whatever happens.
  return FinishCommitted(files) || FinishCommitted(files);
}

// The position of the first zarn named `wanted` (upper case), or the count.
std::size_t FindOldest(const std::vector<StoredZarn>& zarns, const std::string& wanted) {
  for (std::size_t k = 0; k < zarns.size(); ++k) {
    std::string n = zarns[k].name;
    ZrnUpper(n);
    if (n == wanted) return k;
  }
  return zarns.size();
}

// The text up to its first NUL, as the store keeps texts.
std::string UpToNul(const std::string& s) { return s.substr(0, s.find('\0')); }

// Splits a raw browse text as the browser shows it.
void ShownTexts(const StoredZarn& z, std::string& desc, std::string& usage) {
  desc.clear();
  usage.clear();
  if (!z.hasBrowse) return;
  const std::size_t p = z.browse.find('\x01');
  desc = z.browse.substr(0, p);
  if (p != std::string::npos) usage = z.browse.substr(p + 1);
}

// The next "ztxt" or "zfnc" (any case) from `from`, as the loader finds it.
std::size_t FindKeyword(const std::string& s, std::size_t from) {
  auto lower = [](char c) { return plat::AsciiLower(c); };
  for (std::size_t i = from; i + 4 <= s.size(); ++i) {
    if (lower(s[i]) != 'z') continue;
    const char a = lower(s[i + 1]), b = lower(s[i + 2]), c = lower(s[i + 3]);
    if ((a == 't' && b == 'x' && c == 't') || (a == 'f' && b == 'n' && c == 'c')) return i;
  }
  return std::string::npos;
}

}  // namespace

ZrnEdit::ZrnEdit(ZrnIO& files) : files_(files) {}

std::string ZrnEdit::StagingDir() { return plat::DataPath("zarnedit.tmp"); }

bool ZrnEdit::Recover(ZrnIO& files) {
  plat::FileSystem& fs = plat::Fs();
  if (fs.Exists(StagingDir() + "/" + kCommit)) return FinishCommitted(files);
  DropStaging();  // nothing there (the usual case) costs one failed open
  for (DataFile f : kRewritten)
    if (fs.Exists(Staged(f))) return false;
  return true;
}

ZrnEdit::Result ZrnEdit::Delete(const std::string& name) {
  error_ = plat::FileError::None;
  auto fail = [this](Result r) {
    error_ = plat::LastFileError();
    if (error_ == plat::FileError::Busy) r = Result::kBusy;
    return r;
  };
  if (!Recover(files_)) return fail(Result::kFailed);
  std::string wanted = name;
  ZrnUpper(wanted);
  if (wanted.empty()) return Result::kNotFound;

  // This file set's own handles on the store would stand in the way.
  for (DataFile f : kRewritten) files_.CloseFileNum(f);
  plat::FileSystem& fs = plat::Fs();
  Locks locks;
  if (!fs.Exists(files_.FileName(DataFile::kZarnTable))) return Result::kNotFound;
  // The table first: a reader holds it for the whole of a lookup, so a
  // reader under way keeps this rewrite waiting before anything is locked.
  for (DataFile f : kLockOrder)
    if (!locks.Take(files_.FileName(f), plat::Access::Write, plat::Creation::OpenExisting))
      return fail(Result::kFailed);

  StoreBytes old;
  if (!ReadStore(files_, old)) return fail(Result::kFailed);
  std::vector<StoredZarn> zarns = ParseStore(old);
  const std::size_t gone = FindOldest(zarns, wanted);
  if (gone == zarns.size()) return Result::kNotFound;

  const std::size_t count = zarns.size();
  zarns.erase(zarns.begin() + static_cast<std::ptrdiff_t>(gone));
  StoreBytes next = BuildStore(zarns);
  next.members = RemapMembers(old.members, static_cast<std::uint32_t>(gone * kRec), count);

  if (!StageAndSwap(files_, next)) return fail(Result::kFailed);
  return Result::kDone;
}

ZrnEdit::Result ZrnEdit::Store(const std::string& name, const std::string& value,
                               std::uint32_t* id) {
  error_ = plat::FileError::None;
  storeError_ = StoreError::None;
  auto fail = [this](Result r) {
    error_ = plat::LastFileError();
    storeError_ = StoreErrorFrom(error_);
    if (error_ == plat::FileError::Busy) r = Result::kBusy;
    return r;
  };
  auto refuse = [this](StoreError why) {
    storeError_ = why;
    return Result::kRefused;
  };
  // The rules ZrnLvl1::Set stores by, checked here so that a refusal is
  // told apart from a file that failed.
  const std::string cleanName = UpToNul(name);
  std::string def = UpToNul(value), browse;
  const bool hasBrowse = SplitZarnValue(def, browse);
  if (cleanName.empty() || cleanName.size() > ZrnLvl1::kMaxName)
    return refuse(StoreError::NameRule);
  for (unsigned char c : cleanName)
    if (c < 0x20 || c == ' ' || c == 0x7F) return refuse(StoreError::NameRule);
  if (def.size() > ZrnLvl1::kMaxText || browse.size() > ZrnLvl1::kMaxText)
    return refuse(StoreError::SizeRule);
  if (!Recover(files_)) return fail(Result::kFailed);
  std::string wanted = cleanName;
  ZrnUpper(wanted);

  // Whether the name is stored is read under the locks: a lookup that
  // failed must not pass for a name not stored, or it would be stored twice.
  for (DataFile f : kRewritten) files_.CloseFileNum(f);
  std::size_t at = 0;
  {
    Locks locks;
    bool found = false;
    if (plat::Fs().Exists(files_.FileName(DataFile::kZarnTable))) {
      for (DataFile f : kLockOrder)
        if (!locks.Take(files_.FileName(f), plat::Access::Write, plat::Creation::OpenExisting))
          return fail(Result::kFailed);
      StoreBytes old;
      if (!ReadStore(files_, old)) return fail(Result::kFailed);
      std::vector<StoredZarn> zarns = ParseStore(old);
      at = FindOldest(zarns, wanted);
      found = at < zarns.size();
      if (found) {
        StoredZarn& z = zarns[at];
        const bool same =
            z.definition == def && (!hasBrowse || (z.hasBrowse && z.browse == browse));
        z.definition = def;
        if (hasBrowse) {
          z.hasBrowse = true;
          z.browse = browse;
        }
        if (!same) {
          // Same positions, so the membership records stay as they are.
          StoreBytes next = BuildStore(zarns);
          next.members = old.members;
          if (!StageAndSwap(files_, next)) return fail(Result::kFailed);
        }
      }
    }
    if (found) {
      if (id) *id = static_cast<std::uint32_t>(at * kRec);
      return Result::kDone;
    }
  }
  // A new name: appended (the locks above are released first).
  ZrnLvl1 lvl(files_);
  std::string n = cleanName, v = UpToNul(value);
  if (!lvl.Set(n, v)) {
    const Result r = fail(Result::kFailed);
    storeError_ = lvl.LastError();
    return storeError_ == StoreError::NameRule || storeError_ == StoreError::SizeRule
               ? Result::kRefused
               : r;
  }
  if (id) *id = lvl.ZrnID;
  return Result::kDone;
}

ZrnEdit::Result ZrnEdit::StoreText(const std::string& text, std::uint32_t* id) {
  const std::string t = UpToNul(text);
  std::size_t p = 0;
  while (p < t.size() && !IsSep(t[p])) ++p;
  return Store(t.substr(0, p), t.substr(p), id);
}

std::string ZrnEdit::Describe(Result r, plat::FileError cause, const std::string& name) {
  const std::string q = "\"" + name + "\"";
  switch (r) {
    case Result::kDone: return std::string();
    case Result::kNotFound: return "No zarn named " + q + " is stored.";
    case Result::kBusy:
      return "The zarn store is in use by another program; " + q +
             " was not deleted. Try again in a moment.";
    case Result::kRefused:
      return "The zarn " + q + " cannot be stored: a name needs 1 to " +
             std::to_string(ZrnLvl1::kMaxName) +
             " characters without blanks, a text fewer than 4096.";
    case Result::kFailed: break;
  }
  return "The zarn " + q + " could not be deleted (" + plat::FileErrorText(cause) + ").";
}

bool ZrnEdit::ReadAll(std::vector<StoredZarn>& out) {
  Recover(files_);
  Locks locks;  // shared: a writer in the middle of a store waits for us
  for (DataFile f : kLockOrder)
    if (!locks.Take(files_.FileName(f), plat::Access::Read, plat::Creation::OpenExisting))
      return false;
  StoreBytes b;
  if (!ReadStore(files_, b)) return false;
  out = ParseStore(b);
  return true;
}

std::vector<std::string> ZrnEdit::EditLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t e = text.find_first_of("\r\n", at);
    if (e == std::string_view::npos) {
      lines.emplace_back(text.substr(at));
      break;
    }
    lines.emplace_back(text.substr(at, e - at));
    at = e + ((text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::optional<std::uint32_t> ZrnEdit::PackageId(const std::vector<std::string>& names,
                                                const std::string& name) {
  std::string wanted = name;
  ZrnUpper(wanted);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string n = names[i];
    ZrnUpper(n);
    if (n == wanted) return static_cast<std::uint32_t>(i * kRec);
  }
  return std::nullopt;
}

bool ZrnEdit::Section(const StoredZarn& z, std::string& out, bool& blanked) {
  blanked = !z.definition.empty() && !IsSep(z.definition[0]);
  // An empty definition followed by browse text needs white space after
  // the name too.
  if (z.definition.empty() && z.hasBrowse) blanked = true;
  const std::string def = blanked ? " " + z.definition : z.definition;
  std::string desc, usage;
  ShownTexts(z, desc, usage);
  out = "ztxt " + z.name + def;
  // A keyword's text runs to the other keyword only when that comes later
  // than where the text begins, so an empty description is written by
  // leaving "zdesc" out (and an empty usage by leaving "zuse" out).
  if (z.hasBrowse && (!desc.empty() || usage.empty())) out += "zdesc " + desc;
  if (z.hasBrowse && !usage.empty()) out += "zuse " + usage;

  // Load it back the way the loader does and compare.
  if (FindKeyword(out, 1) != std::string::npos) return false;
  std::string text = out.substr(5);
  std::size_t p = 0;
  while (p < text.size() && !IsSep(text[p])) ++p;
  const std::string name = text.substr(0, p);
  std::string value = text.substr(p), browse;
  const bool has = SplitZarnValue(value, browse);
  if (name != z.name || name.empty() || name.size() > ZrnLvl1::kMaxName) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return false;
  if (value != def || value.size() > ZrnLvl1::kMaxText || browse.size() > ZrnLvl1::kMaxText)
    return false;
  if (has != z.hasBrowse) return false;
  StoredZarn back{name, value, has, browse};
  std::string d2, u2;
  ShownTexts(back, d2, u2);
  return d2 == desc && u2 == usage;
}

bool ZrnEdit::Export(std::optional<std::uint32_t> pkgId, const std::string& pkgName,
                     PkgExport& out) {
  out = PkgExport{};
  std::vector<StoredZarn> zarns;
  if (!ReadAll(zarns)) return false;
  std::vector<const StoredZarn*> chosen;
  if (pkgId) {
    std::string members;
    if (!ReadIfThere(files_.FileName(DataFile::kPkgMembers), members)) return false;
    for (const ZarnMatchStructType& r : Records(members))
      if (r.OffsetA == *pkgId && r.OffsetB % kRec == 0 && r.OffsetB / kRec < zarns.size())
        chosen.push_back(&zarns[r.OffsetB / kRec]);
  } else {
    for (const StoredZarn& z : zarns)
      if (!z.name.empty()) chosen.push_back(&z);
  }
  out.text = "ZPKG " + PackageNameFrom(pkgName) + "\r\n";
  for (const StoredZarn* z : chosen) {
    std::string section;
    bool blanked = false;
    if (!Section(*z, section, blanked)) {
      out.skipped.push_back(z->name);
      continue;
    }
    if (blanked) out.blanked.push_back(z->name);
    out.text += section;
    ++out.count;
  }
  return out.text.size() <= kPkgTextLimit;
}

std::string ZrnEdit::PackageNameFrom(const std::string& text) {
  std::string name;
  for (char c : text) {
    if (name.size() == kPkgNameLimit) break;
    const auto u = static_cast<unsigned char>(c);
    name += (u <= 0x20 || u == 0x7F) ? '_' : c;
  }
  return name.empty() ? "zarns" : name;
}
