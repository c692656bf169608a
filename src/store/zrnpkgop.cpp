#include "store/zrnpkgop.h"
#include "platform/pbytes.h"

#include <algorithm>
#include <cstring>

#include "host/messages.h"
#include "host/prompts.h"
#include "store/zrnedit.h"

namespace {

constexpr DataFile kPkgMembers = DataFile::kPkgMembers, kPkgTable = DataFile::kPkgTable,
                   kPkgBuf = DataFile::kPkgText;
constexpr std::uint32_t kRec = sizeof(ZarnMatchStructType);

const char* const kErrText = "Error Reading Zarn Package";
const char* const kErrCaption = "Error";

bool IsSep(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// First occurrence of the lower-case keyword `kw` in `s` from `from`, any case.
std::size_t FindCI(const std::string& s, const char* kw, std::size_t from = 0) {
  std::size_t n = std::strlen(kw);
  if (s.size() < n) return std::string::npos;
  for (std::size_t i = from; i + n <= s.size(); ++i) {
    std::size_t k = 0;
    while (k < n && plat::AsciiLower(s[i + k]) == kw[k]) ++k;
    if (k == n) return i;
  }
  return std::string::npos;
}

// The next "ztxt" or "zfnc" (any case) from `from`, in one pass.
std::size_t FindSection(const std::string& s, std::size_t from = 0) {
  for (std::size_t i = from; i + 4 <= s.size(); ++i) {
    if (plat::AsciiLower(s[i]) != 'z') continue;
    char a = plat::AsciiLower(s[i + 1]), b = plat::AsciiLower(s[i + 2]),
         c = plat::AsciiLower(s[i + 3]);
    if ((a == 't' && b == 'x' && c == 't') || (a == 'f' && b == 'n' && c == 'c')) return i;
  }
  return std::string::npos;
}

bool SizeOf(HANDLE h, std::uint32_t& out) {
  long long s = plat::Fs().Size(h);
  if (s < 0) return false;
  out = static_cast<std::uint32_t>(s);
  return true;
}

// Appends n bytes at `at`, the file's end as the caller measured it; false
// unless all were written there.
bool PutAt(HANDLE h, std::uint32_t at, const void* data, std::size_t n) {
  if (plat::Fs().Seek(h, at, plat::Whence::Begin) < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    long long w = plat::Fs().Write(h, p, n);
    if (w <= 0) {
      if (w == 0) plat::SetLastFileError(plat::FileError::NoSpace);
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

void PutLE(unsigned char* p, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<unsigned char>(v >> (8 * k));
}

// Appends a record to a record file. A partial record an interrupted write
// left at the end is padded with zeros to a whole one (seeking past the end
// fills the gap), so the new record lands where its identifier (its offset)
// says. `at` receives that offset.
bool AppendRec(HANDLE h, const ZarnMatchStructType& r, std::uint32_t& at) {
  std::uint32_t size = 0;
  if (!SizeOf(h, size)) return false;
  at = size + (kRec - size % kRec) % kRec;
  unsigned char b[kRec];
  PutLE(b, r.OffsetA);
  PutLE(b + 4, r.OffsetB);
  PutLE(b + 8, r.OffsetC);
  return PutAt(h, at, b, kRec);
}

}  // namespace

ZrnPkgOp::ZrnPkgOp(ZrnIO& files, MessageHost& messages, PromptHost& prompts)
    : Lvl(files), files_(files), messages_(messages), prompts_(prompts) {}

ZrnPkgOp::~ZrnPkgOp() = default;

void ZrnPkgOp::OpenPkgFiles(IOType io) {
  const char* mode = io == eRead ? "r" : io == eWrite ? "w" : "w+";
  files_.ReopenFile(kPkgTable, mode);
  files_.ReopenFile(kPkgBuf, mode);
}

void ZrnPkgOp::ClosePkgFiles() {
  files_.CloseFileNum(kPkgTable);
  files_.CloseFileNum(kPkgBuf);
}

bool ZrnPkgOp::CreatePkgEntry(const std::string& PkgFileName) {
  lastError_ = StoreError::None;
  files_.ReopenFile(kPkgTable, "w");
  plat::FileError openError = plat::LastFileError();  // before the next open resets it
  files_.ReopenFile(kPkgBuf, "w");
  if (plat::IsOpen(files_.PkgTblOut)) openError = plat::LastFileError();
  HANDLE tbl = files_.PkgTblOut, buf = files_.PkgBufOut;
  bool ok = plat::IsOpen(tbl) && plat::IsOpen(buf);
  if (!ok) plat::SetLastFileError(openError);
  if (ok) {
    std::string name = PkgNameStr.substr(0, std::min(std::strlen(PkgNameStr.c_str()), kMaxPkgName));
    // The path is kept for the record; it must stay readable as one string.
    std::string path = PkgFileName.substr(0, std::strlen(PkgFileName.c_str()));
    if (path.size() > ZrnLvl1::kMaxText) path.resize(ZrnLvl1::kMaxText);
    std::string text = name + '\0' + path + '\0';
    // The texts first, the record last: a package exists once its record
    // does, and texts an interrupted load left behind are never pointed at.
    std::uint32_t at = 0, id = 0;
    ok = SizeOf(buf, at) && PutAt(buf, at, text.data(), text.size()) &&
         AppendRec(tbl, ZarnMatchStructType{at, at + static_cast<std::uint32_t>(name.size()), 0},
                   id);
    if (ok) PkgID = id;
  }
  if (!ok) lastError_ = StoreErrorFrom(plat::LastFileError());
  ClosePkgFiles();
  return ok;
}

bool ZrnPkgOp::AddZrnPkgEntry() {
  lastError_ = StoreError::None;
  HANDLE h = files_.OpenFile(files_.FileName(kPkgMembers).c_str(), "w");
  std::uint32_t at = 0;
  bool ok = plat::IsOpen(h) && AppendRec(h, ZarnMatchStructType{PkgID, ZrnID, 0}, at);
  if (!ok) lastError_ = StoreErrorFrom(plat::LastFileError());
  files_.CloseFile(h);
  return ok;
}

bool ZrnPkgOp::GetZrnPkgEntry(bool reset) {
  if (reset) {
    files_.ReopenFile(kPkgMembers, "r");
    files_.SetFilePtr(files_.ZarnPkgOut, 0);
    memberDone_ = false;
  }
  if (memberDone_) return false;
  for (;;) {
    ZarnMatchStructType r{};
    if (files_.ReadFromFile(&r, files_.ZarnPkgOut) < static_cast<long>(kRec)) {
      memberDone_ = true;
      return false;
    }
    if (r.OffsetA == PkgID) {
      ZrnID = r.OffsetB;
      return true;
    }
  }
}

void ZrnPkgOp::CloseZrnPkgFile() { files_.CloseFileNum(kPkgMembers); }

bool ZrnPkgOp::GetPkgNames(bool reset) {
  if (reset) {
    OpenPkgFiles(eRead);
    files_.SetFilePtr(files_.PkgTblOut, 0);
    pkgListPos_ = 0;
  }
  ZarnMatchStructType r{};
  if (files_.ReadFromFile(&r, files_.PkgTblOut) < static_cast<long>(kRec)) return false;
  char text[kGenBufferSize + 1] = {};
  files_.ReadFromFileAtOffset(text, files_.PkgBufOut, r.OffsetA);
  text[kMaxPkgName] = '\0';  // tabs hold at most 19 characters
  PkgNameStr = text;
  PkgID = pkgListPos_;
  pkgListPos_ += kRec;
  return true;
}

// The section that starts at the first keyword at or after `from`: its text
// runs from 5 characters past the keyword to the next keyword (or the end).
// False when no keyword follows.
static bool NextSection(const std::string& text, std::size_t from, std::size_t& begin,
                        std::size_t& end) {
  std::size_t k = FindSection(text, from);
  if (k == std::string::npos) return false;
  begin = std::min(k + 5, text.size());
  end = FindSection(text, begin);
  if (end == std::string::npos) end = text.size();
  return true;
}

// A package loaded again (or one holding a zarn already stored) replaces
// those zarns' definitions: loading a package is how a user updates it.
bool ZrnPkgOp::StoreSection(std::string text) {
  std::uint32_t id = 0;
  ZrnEdit edit(files_);
  LastStored = edit.StoreText(text, &id) == ZrnEdit::Result::kDone;
  if (LastStored)
    ZrnID = Lvl.ZrnID = id;
  else
    lastError_ = edit.LastStoreError();
  return LastStored;
}

bool ZrnPkgOp::ParsePackage(std::string& pkg) {
  LastStored = false;
  std::size_t begin = 0, end = 0;
  if (!NextSection(pkg, 0, begin, end)) return false;
  StoreSection(pkg.substr(begin, end - begin));
  pkg.erase(0, end);
  return true;
}

bool ZrnPkgOp::ParseHeader(const std::string& text, bool& hasMagic, std::string& name,
                           std::size_t& bodyStart) {
  name.clear();
  bodyStart = text.size();
  std::size_t m = FindCI(text, "zpkg");
  hasMagic = m != std::string::npos;
  if (!hasMagic) return false;
  // The name follows the magic and one separator, and must end in white
  // space within kMaxPkgName + 1 characters: longer names are refused rather
  // than cut, so two packages never end up under one truncated name.
  std::size_t start = m + 5;
  if (start >= text.size()) return false;
  std::size_t end = start;
  while (end < text.size() && !IsSep(text[end]) && end - start <= kMaxPkgName) ++end;
  if (end == start || end - start > kMaxPkgName || end >= text.size() || !IsSep(text[end]))
    return false;
  name = text.substr(start, end - start);
  bodyStart = end;
  return true;
}

PkgLoadResult ZrnPkgOp::CmNewPackage() {
  auto chosen = prompts_.OpenFileDialog("Load New Package", "Package Files (*.pkg)");
  return LoadPackage(chosen.value_or(std::string()));
}

PkgLoadResult ZrnPkgOp::LoadPackage(const std::string& path) {
  PkgLoadResult res;
  // Read the package text: its bytes up to the first NUL.
  std::string text;
  bool tooBig = false;
  HANDLE h = path.empty() ? INVALID_HANDLE_VALUE : files_.OpenFile(path.c_str(), "r");
  if (plat::IsOpen(h)) {
    char block[kGenBufferSize];
    for (;;) {
      long n = files_.ReadFromFile(block, sizeof block, h);
      if (n <= 0) break;
      const void* z = std::memchr(block, 0, static_cast<std::size_t>(n));
      std::size_t take = z ? static_cast<std::size_t>(static_cast<const char*>(z) - block)
                           : static_cast<std::size_t>(n);
      text.append(block, take);
      if (text.size() > kMaxPackageText) {
        tooBig = true;
        break;
      }
      if (z) break;
    }
  }
  files_.CloseFile(h);
  if (text.empty() || tooBig) {
    messages_.MessageBox(kErrText, kErrCaption, MB_OK);
    return res;
  }

  bool hasMagic = false;
  std::size_t body = 0;
  if (!ParseHeader(text, hasMagic, PkgNameStr, body)) {
    if (!hasMagic) {
      res.noMagic = true;
      prompts_.AskZarnName(" this");  // the answer is not used
    } else
      messages_.MessageBox(kErrText, kErrCaption, MB_OK);
    return res;
  }
  res.name = PkgNameStr;
  if (!CreatePkgEntry(path)) {
    // The file was read; what failed is the store, and the box says why.
    res.cause = lastError_;
    messages_.MessageBox(
        std::string("The package could not be recorded: ") + StoreErrorText(res.cause) + ".",
        kErrCaption, MB_OK);
    return res;
  }
  res.loaded = true;
  res.pkgId = PkgID;

  // Sections are taken as ParsePackage takes them, by position, so a large
  // package is not copied once per section.
  std::size_t begin = 0, end = body;
  while (NextSection(text, end, begin, end)) {
    StoreSection(text.substr(begin, end - begin));
    if (LastStored) {
      ++res.stored;
      if (!AddZrnPkgEntry()) {  // stored, but not listed under the package
        ++res.unlinked;
        if (res.cause == StoreError::None) res.cause = lastError_;
      }
    } else {
      ++res.refused;
      if (res.cause == StoreError::None) res.cause = lastError_;
    }
  }
  return res;
}

std::vector<std::string> ZrnPkgOp::AllZarns() {
  std::vector<std::string> out;
  std::string name;
  Lvl.GetZarnList(name, true);
  while (Lvl.GetZarnList(name, false))
    if (!name.empty()) out.push_back(name);
  Lvl.StopSet();
  return out;
}

std::vector<std::string> ZrnPkgOp::PackageZarns(std::uint32_t pkgId) {
  std::vector<std::string> out;
  PkgID = pkgId;
  bool first = true;
  for (bool reset = true; GetZrnPkgEntry(reset); reset = false) {
    Lvl.ZrnID = ZrnID;
    std::string name;
    Lvl.GetZarn(name, first);
    first = false;
    if (!name.empty()) out.push_back(name);
  }
  Lvl.StopSet();
  CloseZrnPkgFile();
  return out;
}

std::vector<std::string> ZrnPkgOp::PackageNames() {
  std::vector<std::string> out;
  for (bool reset = true; GetPkgNames(reset); reset = false) out.push_back(PkgNameStr);
  ClosePkgFiles();
  return out;
}

bool ZrnPkgOp::BrowseInfo(const std::string& name, std::string& description, std::string& usage) {
  std::string n = name;
  description.clear();
  usage.clear();
  return Lvl.GetBrowseInfo(n, description, usage);
}

bool ZrnPkgOp::ModifyBrowse(const std::string& name, const std::vector<std::string>& descLines,
                            const std::vector<std::string>& usageLines) {
  std::string n = name, d, u;
  for (const auto& l : descLines) d += l + "\r\n";
  for (const auto& l : usageLines) u += l + "\r\n";
  return Lvl.ModifyBrowseInfo(n, d, u);
}
