// The data file set. Every transfer goes through plat::Fs(), so tests can
// put a file system that fails underneath and watch what survives.
#include "store/zrnio.h"
#include "platform/pbytes.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/pdatadir.h"

namespace {

// The list files that a catalog rebuild ("w+") leaves alone.
constexpr DataFile kCatalogLists[] = {DataFile::kExtensions, DataFile::kExtList,
                                      DataFile::kExtTypeCatMatch, DataFile::kExtCategory};
// The catalog group: every file OpenFiles opens.
constexpr DataFile kCatalogGroup[] = {
    DataFile::kWordsBuf,    DataFile::kWordsTbl,   DataFile::kWordsIdx, DataFile::kWordsLtr,
    DataFile::kFilesBuf,    DataFile::kFilesTbl,   DataFile::kMatches,  DataFile::kPathsBuf,
    DataFile::kPathsTbl,    DataFile::kExtensions, DataFile::kExtList,  DataFile::kExtTypeCatMatch,
    DataFile::kExtCategory, DataFile::kExtMatch};

constexpr std::uint32_t kMaxString = kGenBufferSize - 1;

// A file system may move fewer bytes than asked (a signal, a network file
// system); both loops go on until everything moved, the end, or an error.
// They return the count, or -1 when the very first transfer failed.
long long ReadFull(HANDLE h, void* buf, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    long long r = plat::Fs().Read(h, static_cast<char*>(buf) + done, n - done);
    if (r < 0) return done ? static_cast<long long>(done) : -1;
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return static_cast<long long>(done);
}

long long WriteFull(HANDLE h, const void* buf, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    long long r = plat::Fs().Write(h, static_cast<const char*>(buf) + done, n - done);
    if (r < 0) return done ? static_cast<long long>(done) : -1;
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return static_cast<long long>(done);
}

// Appends at the end of the file.
void Append(HANDLE h, const void* data, std::size_t n) {
  if (!plat::IsOpen(h)) return;
  if (plat::Fs().Seek(h, 0, plat::Whence::End) < 0) return;
  WriteFull(h, data, n);
}

void WriteHere(HANDLE h, const void* data, std::size_t n) {
  if (!plat::IsOpen(h)) return;
  WriteFull(h, data, n);
}

// Length of the string at p, looking at no more than max bytes.
std::uint32_t BoundedLen(const char* p, std::uint32_t max) {
  const void* z = std::memchr(p, 0, max);
  return z ? static_cast<std::uint32_t>(static_cast<const char*>(z) - p) : max;
}

}  // namespace

void ZrnIO::FillGenBuffer(HANDLE h, std::uint32_t keep) {
  std::memset(GenBuffer + keep, 0, kGenBufferSize + 1 - keep);
  long long got = 0;
  if (plat::IsOpen(h)) {
    got = ReadFull(h, GenBuffer + keep, kGenBufferSize - keep);
    if (got < 0) {
      std::fputs("Error reading into file ", stderr);
      got = 0;  // what the buffer holds is used as it is
    }
  }
  genvalid_ = keep + static_cast<std::uint32_t>(got);
  geneof_ = genvalid_ < kGenBufferSize;  // a short read means the file is done
  bufcur = 0;
  ++genpop;
}

ZrnIO::ZrnIO() = default;

// Whatever a caller left open is closed; stale handles are harmless.
ZrnIO::~ZrnIO() {
  for (DataFile n : kAllDataFiles)
    if (HANDLE* f = HandleField(n); f && plat::IsOpen(*f)) plat::Fs().Close(*f);
}

HANDLE* ZrnIO::HandleField(DataFile FileNum) {
  switch (FileNum) {
    case DataFile::kWordsBuf: return &WordsBufOut;
    case DataFile::kWordsTbl: return &WordsTblOut;
    case DataFile::kWordsIdx: return &WordsIdxOut;
    case DataFile::kWordsLtr: return &WordsLtrOut;
    case DataFile::kFilesBuf: return &FilesBufOut;
    case DataFile::kFilesTbl: return &FilesTblOut;
    case DataFile::kMatches: return &MatchesOut;
    case DataFile::kPathsBuf: return &PathsBufOut;
    case DataFile::kPathsTbl: return &PathsTblOut;
    case DataFile::kExtensions: return &ExtensionsOut;
    case DataFile::kZarnNames: return &Lvl1ZrnOut;
    case DataFile::kZarnValues: return &Lvl1ValOut;
    case DataFile::kZarnTable: return &Lvl1TblOut;
    case DataFile::kZarnBrowse: return &ZarnBrowseOut;
    case DataFile::kPkgMembers: return &ZarnPkgOut;
    case DataFile::kPkgTable: return &PkgTblOut;
    case DataFile::kPkgText: return &PkgBufOut;
    case DataFile::kExtList: return &ExtListOut;
    case DataFile::kExtTypeCatMatch: return &ExtTypeCatMatchOut;
    case DataFile::kExtCategory: return &ExtCategoryOut;
    case DataFile::kExtMatch: return &ExtMatchOut;
    case DataFile::kWordFileIdx: return &WordFileIdxOut;
  }
  return nullptr;
}

void ZrnIO::CloseFileNum(DataFile FileNum) {
  HANDLE* f = HandleField(FileNum);
  if (!f) return;
  if (plat::IsOpen(*f)) CloseFile(*f);
  *f = nullptr;
}

void ZrnIO::ReopenFile(DataFile FileNum, const char* OpenMode) {
  CloseFileNum(FileNum);
  OpenFile(FileNum, OpenMode);
}

std::string DataFileName(DataFile file, int catalog) {
  switch (file) {
    case DataFile::kWordsBuf: return "LES" + std::to_string(catalog) + ".007";
    case DataFile::kWordsTbl: return "LESt" + std::to_string(catalog) + ".007";
    case DataFile::kWordsIdx: return "LESi.007";
    case DataFile::kWordsLtr: return "LESl.007";
    case DataFile::kFilesBuf: return "IMS.007";
    case DataFile::kFilesTbl: return "IMSt.007";
    case DataFile::kMatches: return "NCS.007";
    case DataFile::kPathsBuf: return "DES.007";
    case DataFile::kPathsTbl: return "DESt.007";
    case DataFile::kExtensions: return "EMS.007";
    case DataFile::kZarnNames: return "EMSZrn.007";
    case DataFile::kZarnValues: return "EMSVal.007";
    case DataFile::kZarnTable: return "EMSVt.007";
    case DataFile::kZarnBrowse: return "BROWSE.007";
    case DataFile::kPkgMembers: return "EMSPkg.007";
    case DataFile::kPkgTable: return "PkgT.007";
    case DataFile::kPkgText: return "PkgBuf.007";
    case DataFile::kExtList: return "KEP.007";
    case DataFile::kExtTypeCatMatch: return "KEPt.007";
    case DataFile::kExtCategory: return "KEPc.007";
    case DataFile::kExtMatch: return "KEPb.007";
    case DataFile::kWordFileIdx: return "NCSx.007";
  }
  return std::string();
}

std::string DataFilePath(DataFile file, int catalog) {
  return plat::DataPath(DataFileName(file, catalog));
}

std::string ZrnIO::FileName(DataFile FileNum) const {
  return DataFilePath(FileNum, currentWordCat);
}

// The name is handed out in a buffer of at least 80 bytes, larger when the
// data directory's path needs it: a long path is never cut or overrun.
char* ZrnIO::GetFileStr(DataFile FileNum) {
  std::string name = FileName(FileNum);
  std::size_t size = name.size() + 1 > 80 ? name.size() + 1 : 80;
  char* text = new char[size]();
  std::memcpy(text, name.data(), name.size());
  return text;
}

HANDLE ZrnIO::NewFile(const char* FileName, const char* OpenMode) {
  if (!FileName) return INVALID_HANDLE_VALUE;
  std::string mode = OpenMode ? OpenMode : "";
  // The hidden/visible attribute of the modes has no meaning here.
  if (mode == "w+")
    return plat::Fs().Open(FileName, plat::Access::Write, plat::Creation::CreateAlways);
  if (mode == "wvis" || mode == "w")
    return plat::Fs().Open(FileName, plat::Access::Write, plat::Creation::OpenAlways);
  return plat::Fs().Open(FileName, plat::Access::Read, plat::Creation::OpenExisting);
}

HANDLE ZrnIO::OpenFile(const char* FileToOpen, const char* OpenMode) {
  return NewFile(FileToOpen, OpenMode);
}

void ZrnIO::OpenFile(DataFile FileToOpen, const char* OpenMode) {
  HANDLE* field = HandleField(FileToOpen);
  if (!field) return;
  *field = NewFile(FileName(FileToOpen).c_str(), OpenMode);
}

void ZrnIO::CloseFile(HANDLE FileToClose) {
  if (plat::IsOpen(FileToClose)) plat::Fs().Close(FileToClose);
}

void ZrnIO::OpenFiles(const char* OpenMode) {
  // Files 1 and 2 of the group are always those of word catalog 1.
  if (WordsBufOut == nullptr)
    WordsBufOut = NewFile(DataFilePath(DataFile::kWordsBuf, 1).c_str(), OpenMode);
  if (WordsTblOut == nullptr)
    WordsTblOut = NewFile(DataFilePath(DataFile::kWordsTbl, 1).c_str(), OpenMode);
  for (DataFile n :
       {DataFile::kWordsIdx, DataFile::kWordsLtr, DataFile::kFilesBuf, DataFile::kFilesTbl,
        DataFile::kMatches, DataFile::kPathsBuf, DataFile::kPathsTbl, DataFile::kExtMatch}) {
    HANDLE* f = HandleField(n);
    if (*f == nullptr) *f = NewFile(FileName(n).c_str(), OpenMode);
  }
  // A rebuild ("w+") must not empty the extension and category lists.
  if (OpenMode && std::strcmp(OpenMode, "w+") == 0) return;
  for (DataFile n : kCatalogLists) {
    HANDLE* f = HandleField(n);
    if (*f == nullptr) *f = NewFile(FileName(n).c_str(), OpenMode);
  }
}

int ZrnIO::TestFiles() {
  for (DataFile n : kCatalogGroup)
    if (!plat::IsOpen(*HandleField(n))) return 0;
  return 1;
}

void ZrnIO::CloseFiles() {
  for (DataFile n : kCatalogGroup) {
    HANDLE* f = HandleField(n);
    CloseFile(*f);
    *f = nullptr;
  }
  CloseFile(WordFileIdxOut);
  WordFileIdxOut = nullptr;
}

bool ZrnIO::IncrementWordFiles() {
  CloseFile(WordsBufOut);
  CloseFile(WordsTblOut);
  WordsBufOut = nullptr;
  WordsTblOut = nullptr;
  ++currentWordCat;
  OpenFile(DataFile::kWordsBuf, "w+");
  if (!plat::IsOpen(WordsBufOut)) return false;
  OpenFile(DataFile::kWordsTbl, "w+");
  return plat::IsOpen(WordsTblOut);
}

bool ZrnIO::SetCurrentWordDB(int idx) {
  CloseFile(WordsBufOut);
  CloseFile(WordsTblOut);
  WordsBufOut = nullptr;
  WordsTblOut = nullptr;
  currentWordCat = idx;
  OpenFile(DataFile::kWordsBuf, "r");
  if (!plat::IsOpen(WordsBufOut)) return false;
  OpenFile(DataFile::kWordsTbl, "r");
  return plat::IsOpen(WordsTblOut);
}

// --- writing -------------------------------------------------------------------

void ZrnIO::WriteToFile(const char* text, HANDLE h) {
  if (!text) text = "";
  Append(h, text, std::strlen(text) + 1);
}

void ZrnIO::WriteToFile(const std::string& text, HANDLE h, endState state) {
  // The string is written up to its first NUL, like the text it stands for.
  std::size_t len = std::strlen(text.c_str());
  Append(h, text.c_str(), state == kNullTerminated ? len + 1 : len);
}

void ZrnIO::WriteToFile(std::uint32_t value, HANDLE h) {
  unsigned char b[4];
  plat::PutLE32(b, value);
  WriteHere(h, b, 4);
}

void ZrnIO::WriteToFile(const MatchStructType& rec, HANDLE h) {
  unsigned char b[12];
  plat::PutLE32(b, rec.OffsetA);
  plat::PutLE32(b + 4, rec.OffsetB);
  plat::PutLE32(b + 8, static_cast<std::uint32_t>(rec.CatId));
  Append(h, b, 12);
}

void ZrnIO::WriteToFile(const FilesTblStructType& rec, HANDLE h) {
  unsigned char b[8];
  plat::PutLE32(b, rec.OffsetA);
  plat::PutLE32(b + 4, rec.OffsetB);
  Append(h, b, 8);
}

void ZrnIO::WriteToFile(const WordIdxStructType& rec, HANDLE h) {
  unsigned char b[8];
  plat::PutLE32(b, rec.Offset);
  plat::PutLE32(b + 4, static_cast<std::uint32_t>(rec.CatId));
  Append(h, b, 8);
}

void ZrnIO::WriteToFile(const ZarnMatchStructType& rec, HANDLE h) {
  unsigned char b[12];
  plat::PutLE32(b, rec.OffsetA);
  plat::PutLE32(b + 4, rec.OffsetB);
  plat::PutLE32(b + 8, rec.OffsetC);
  Append(h, b, 12);
}

void ZrnIO::WriteToFile(int pos, const char* text, HANDLE h) {
  if (!plat::IsOpen(h)) return;
  if (!text) text = "";
  if (pos == 1 && plat::Fs().Seek(h, 0, plat::Whence::Begin) < 0) return;
  if (pos == 3 && plat::Fs().Seek(h, 0, plat::Whence::End) < 0) return;
  WriteFull(h, text, std::strlen(text) + 1);
}

long ZrnIO::WriteToFileAtOffset(const char* text, HANDLE h, std::uint32_t AtOffset) {
  if (!plat::IsOpen(h)) return 0;
  if (!text) text = "";
  long long n = -1;
  if (plat::Fs().Seek(h, AtOffset, plat::Whence::Begin) >= 0)
    n = WriteFull(h, text, std::strlen(text) + 1);
  if (n < 0) {
    std::fputs("Error reading file ", stderr);
    return -1;
  }
  return static_cast<long>(n);
}

// Bytes from 0x80 up are kept: they are the accented letters of the
// single-byte text, not control characters.
void ZrnIO::CleanAndWriteToFile(const char* text, std::uint32_t iNumBytes, HANDLE h) {
  if (!plat::IsOpen(h)) return;
  std::size_t size = static_cast<std::size_t>(iNumBytes) + 1;
  std::vector<char> work;
  try {
    work.assign(size, 0);
  } catch (const std::bad_alloc&) {
    return;  // nothing is written rather than a part
  }
  std::size_t out = 0;
  for (std::uint32_t i = 0; text && i < iNumBytes; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0x09 && c <= 0x0D) || c >= 0x80)
      work[out++] = static_cast<char>(c);
  }
  WriteFull(h, work.data(), size);
}

// --- reading -------------------------------------------------------------------

long ZrnIO::ReadFromFile(void* buffer, std::uint32_t nNumBytes, HANDLE h) {
  if (!plat::IsOpen(h) || !buffer) return 0;
  long long n = ReadFull(h, buffer, nNumBytes);
  if (n < 0) {
    std::fputs("Error reading into file ", stderr);
    return -1;
  }
  return static_cast<long>(n);
}

// The sequential string read. Unlike a plain block-by-block read, a string
// that crosses the end of a 4096-byte block comes back whole: the block's
// unfinished tail moves to the front of GenBuffer and the rest of the file
// is read behind it, so every string of a file comes back once, in order.
// A stored string longer than 4095 bytes comes back cut to its first 4095
// bytes, and the reader then skips the rest of it (the same cut as the read
// at an offset makes). An unterminated string at the end of the file counts
// as a string. Past the end the reader returns "" (1) until it is reset.
std::uint32_t ZrnIO::ReadFromFile(char* text, HANDLE h) {
  if (h == nullptr) {
    genpop = 0;
    bufcur = 0;
    genvalid_ = 0;
    geneof_ = false;
    genskip_ = false;
    if (text) text[0] = 0;
    return 0;
  }
  if (genpop == 0 || bufcur > genvalid_) {
    genskip_ = false;
    FillGenBuffer(h, 0);
  }
  // Drop the remainder of a string that was cut.
  while (genskip_) {
    std::uint32_t len = BoundedLen(GenBuffer + bufcur, genvalid_ - bufcur);
    if (bufcur + len < genvalid_) {
      bufcur += len + 1;
      genskip_ = false;
    } else if (geneof_) {
      bufcur = genvalid_;
      genskip_ = false;
    } else {
      FillGenBuffer(h, 0);
    }
  }
  for (;;) {
    std::uint32_t avail = genvalid_ - bufcur;
    std::uint32_t len = BoundedLen(GenBuffer + bufcur, avail);
    if (len < avail || geneof_) {
      // A whole string, or the file's unterminated last one.
      if (len > kMaxString) {  // only possible for a file's unterminated end
        len = kMaxString;
        genskip_ = true;
      }
      if (text) {
        std::memcpy(text, GenBuffer + bufcur, len);
        text[len] = 0;
      }
      bufcur += len + (len < avail ? 1 : 0);
      if (bufcur > genvalid_) bufcur = genvalid_;
      return len + 1;
    }
    if (bufcur == 0) {
      // A full window without a NUL: an over-long string.
      if (text) {
        std::memcpy(text, GenBuffer, kMaxString);
        text[kMaxString] = 0;
      }
      bufcur = genvalid_;
      genskip_ = true;
      return kMaxString + 1;
    }
    // The string goes on in the next block: keep its start and read on.
    std::memmove(GenBuffer, GenBuffer + bufcur, avail);
    FillGenBuffer(h, avail);
  }
}

std::uint32_t ZrnIO::ReadFromFile(std::string& text, HANDLE h) {
  std::vector<char> buf(9600, 0);
  std::uint32_t n = ReadFromFile(buf.data(), h);
  if (n <= 1 || buf[0] == 0) return 0;
  text.assign(buf.data());
  return static_cast<std::uint32_t>(text.size()) + 1;
}

// A short read leaves the record as it was.
long ZrnIO::ReadFromFile(ZarnMatchStructType* rec, HANDLE h) {
  if (!rec) return 0;
  unsigned char b[12] = {};
  long n = ReadFromFile(b, 12, h);
  if (n == 12) {
    rec->OffsetA = plat::GetLE32(b);
    rec->OffsetB = plat::GetLE32(b + 4);
    rec->OffsetC = plat::GetLE32(b + 8);
  }
  return n;
}

std::uint32_t ZrnIO::ReadFromFileAtOffset(char* text, HANDLE h, std::uint32_t AtOffset) {
  char buf[kGenBufferSize + 1] = {};
  if (plat::IsOpen(h)) {
    long long n = -1;
    if (plat::Fs().Seek(h, AtOffset, plat::Whence::Begin) >= 0)
      n = ReadFull(h, buf, kGenBufferSize);
    if (n < 0) {
      std::fputs("Error reading file ", stderr);
      std::memset(buf, 0, sizeof buf);
    }
  }
  // A string without a NUL inside the window is cut to kGenBufferSize - 1.
  std::uint32_t len = BoundedLen(buf, kMaxString);
  if (text) {
    std::memcpy(text, buf, len);
    text[len] = 0;
  }
  return len + 1;
}

// --- positions, sizes, deleting ---------------------------------------------------

std::uint32_t ZrnIO::GetEndOfFile(HANDLE FileToRead, std::uint32_t& EndPos) {
  EndPos = FileSize(FileToRead);
  return EndPos;
}

std::uint32_t ZrnIO::FileSize(HANDLE FileToSize) {
  if (!plat::IsOpen(FileToSize)) return 0;
  long long s = plat::Fs().Size(FileToSize);
  return s < 0 ? 0 : static_cast<std::uint32_t>(s);
}

void ZrnIO::SetFilePtr(HANDLE FileToRead, std::uint32_t AtOffset) {
  if (plat::IsOpen(FileToRead)) plat::Fs().Seek(FileToRead, AtOffset, plat::Whence::Begin);
}

void ZrnIO::DeleteCatalogs() {
  for (DataFile n : kCatalogFiles) DeleteFileA(n);
}

void ZrnIO::DeleteFileA(DataFile FileToDelete) {
  std::string name = FileName(FileToDelete);
  if (!name.empty()) plat::Fs().Remove(name);
}

void ZrnIO::DeleteF(const char* FileStr) {
  if (FileStr && *FileStr) plat::Fs().Remove(FileStr);
}

void ZrnIO::FillChar(void* stringPtr, std::uint32_t Length) {
  if (stringPtr) std::memset(stringPtr, 0, Length);
}
