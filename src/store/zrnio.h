// The data file set: one handle per data file of the program (word catalog,
// file-type lists, zarn store, packages) and the primitives through which
// every other module creates, opens, reads, writes and deletes them.
// Data files live in the data directory (plat::DataDir()) under fixed names.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/pfile.h"

using plat::HANDLE;
using plat::INVALID_HANDLE_VALUE;

enum endState { kNullTerminated = 0, kNotNullTerminated = 1 };

// Records of the data files: little-endian 32-bit fields, no padding.
#pragma pack(push, 1)
struct WordIdxStructType {
  std::uint32_t Offset;
  std::int32_t CatId;
};
struct MatchStructType {
  std::uint32_t OffsetA;
  std::uint32_t OffsetB;
  std::int32_t CatId;
};
struct FilesTblStructType {
  std::uint32_t OffsetA;
  std::uint32_t OffsetB;
};
struct ZarnMatchStructType {
  std::uint32_t OffsetA;
  std::uint32_t OffsetB;
  std::uint32_t OffsetC;
};
#pragma pack(pop)
static_assert(sizeof(WordIdxStructType) == 8 && sizeof(MatchStructType) == 12 &&
              sizeof(FilesTblStructType) == 8 && sizeof(ZarnMatchStructType) == 12);

// The data files of the set, named after what they hold. The values are the
// files' numbers in the program's design; only the file set uses them.
enum class DataFile : int {
  kWordsBuf = 1,          // "LES<n>.007": words of numbered catalog n
  kWordsTbl = 2,          // "LESt<n>.007": their table
  kWordsIdx = 3,          // "LESi.007": sorted word index
  kWordsLtr = 4,          // "LESl.007": letter index
  kFilesBuf = 5,          // "IMS.007": catalogued file names
  kFilesTbl = 6,          // "IMSt.007": their table
  kMatches = 7,           // "NCS.007": which words occur in which files
  kPathsBuf = 8,          // "DES.007": directory paths
  kPathsTbl = 9,          // "DESt.007": their table
  kExtensions = 10,       // "EMS.007": extensions chosen for cataloging
  kZarnNames = 11,        // "EMSZrn.007": stored zarn names
  kZarnValues = 12,       // "EMSVal.007": their definitions
  kZarnTable = 14,        // "EMSVt.007": the zarn table
  kZarnBrowse = 15,       // "BROWSE.007": descriptions and usage
  kPkgMembers = 16,       // "EMSPkg.007": package membership
  kPkgTable = 17,         // "PkgT.007": package table
  kPkgText = 18,          // "PkgBuf.007": package names and paths
  kExtList = 19,          // "KEP.007": every typed extension
  kExtTypeCatMatch = 20,  // "KEPt.007": file types per category
  kExtCategory = 21,      // "KEPc.007": categories
  kExtMatch = 22,         // "KEPb.007": catalogued files of a file type
  kWordFileIdx = 23,      // "NCSx.007": for each word, the files that hold it
};

// Every data file, in number order.
inline constexpr DataFile kAllDataFiles[] = {
    DataFile::kWordsBuf,  DataFile::kWordsTbl,   DataFile::kWordsIdx,        DataFile::kWordsLtr,
    DataFile::kFilesBuf,  DataFile::kFilesTbl,   DataFile::kMatches,         DataFile::kPathsBuf,
    DataFile::kPathsTbl,  DataFile::kExtensions, DataFile::kZarnNames,       DataFile::kZarnValues,
    DataFile::kZarnTable, DataFile::kZarnBrowse, DataFile::kPkgMembers,      DataFile::kPkgTable,
    DataFile::kPkgText,   DataFile::kExtList,    DataFile::kExtTypeCatMatch, DataFile::kExtCategory,
    DataFile::kExtMatch,  DataFile::kWordFileIdx};

// The files a catalog build writes: the numbered word files (of the current
// catalog), the index, names, matches, paths and the word -> files index
// (the file-type matches are handled beside them).
inline constexpr DataFile kCatalogFiles[] = {
    DataFile::kWordsBuf, DataFile::kWordsTbl,   DataFile::kWordsIdx, DataFile::kWordsLtr,
    DataFile::kFilesBuf, DataFile::kFilesTbl,   DataFile::kMatches,  DataFile::kPathsBuf,
    DataFile::kPathsTbl, DataFile::kWordFileIdx};

// The name (without directory) of `file`; the numbered word files take the
// catalog number `catalog`.
std::string DataFileName(DataFile file, int catalog = 1);
// The full path of that name in the data directory.
std::string DataFilePath(DataFile file, int catalog = 1);

// The size of the sequential reader's window; a stored string is at most
// kGenBufferSize - 1 bytes long.
constexpr std::uint32_t kGenBufferSize = 4096;

// What the zarn store remembers between lookups about the store files of
// one file set: each stored name's first table record. The store checks it
// against the files on every use (store/zrnlvl.cpp).
struct ZarnNameIndex {
  bool valid = false;
  std::uint64_t gen = 0;  // the file set's zarnGeneration it was built at
  std::uint32_t tblSize = 0, namesSize = 0;
  std::string namesTail;
  std::vector<ZarnMatchStructType> recs;
  std::unordered_map<std::string, std::uint32_t> first;  // upper name -> record
};

class ZrnIO {
 public:
  ZrnIO();
  virtual ~ZrnIO();
  // One set of handles has one owner.
  ZrnIO(const ZrnIO&) = delete;
  ZrnIO& operator=(const ZrnIO&) = delete;

  // --- opening and closing -------------------------------------------------
  // Opens the catalog group (files 1-9 and 22, then 10, 19, 20, 21 unless
  // mode is "w+"), only those handles that are null.
  void OpenFiles(const char* OpenMode);
  // 1 when all fourteen catalog-group handles are open, else 0.
  int TestFiles();
  // Closes the catalog group (and the word -> files index a build writes)
  // and sets its handles to null.
  void CloseFiles();
  // Opens data file FileToOpen into its handle field. The previous handle is
  // not closed.
  void OpenFile(DataFile FileToOpen, const char* OpenMode);
  // Opens a file by full name; returns the handle, no field changes.
  HANDLE OpenFile(const char* FileToOpen, const char* OpenMode);
  // One open with the access, sharing and creation of the mode string.
  HANDLE NewFile(const char* FileName, const char* OpenMode);
  // Closes the handle; the field that held it keeps its value.
  void CloseFile(HANDLE FileToClose);
  // Moves on to the next numbered word catalog, created empty ("w+").
  bool IncrementWordFiles();
  // Makes numbered word catalog idx current, opened for reading.
  bool SetCurrentWordDB(int idx);
  // The full name of data file FileNum (new[]'d text of at least 80 bytes,
  // longer when the data directory's path needs it; the caller deletes it
  // with delete[]). The numbered word files are those of currentWordCat.
  char* GetFileStr(DataFile FileNum);
  // The same as a std::string, for callers that prefer not to own memory.
  std::string FileName(DataFile FileNum) const;

  // --- writing ---------------------------------------------------------------
  // At the end of the file: the text and its NUL.
  void WriteToFile(const char* text, HANDLE h);
  // At the end of the file: the string, with its NUL for kNullTerminated.
  void WriteToFile(const std::string& text, HANDLE h, endState state);
  // At the current position: 4 bytes little-endian.
  void WriteToFile(std::uint32_t value, HANDLE h);
  // Records, always appended at the end of the file.
  void WriteToFile(const MatchStructType& rec, HANDLE h);
  void WriteToFile(const FilesTblStructType& rec, HANDLE h);
  void WriteToFile(const WordIdxStructType& rec, HANDLE h);
  void WriteToFile(const ZarnMatchStructType& rec, HANDLE h);
  // pos 1: at the start, 3: at the end, anything else: at the current
  // position; writes the text and its NUL.
  void WriteToFile(int pos, const char* text, HANDLE h);
  // The text and its NUL at byte AtOffset; returns the bytes written (-1 on error).
  long WriteToFileAtOffset(const char* text, HANDLE h, std::uint32_t AtOffset);
  // iNumBytes + 1 bytes at the current position: the printable, white-space
  // and 0x80-0xFF bytes of the first iNumBytes bytes of text, then zeros.
  void CleanAndWriteToFile(const char* text, std::uint32_t iNumBytes, HANDLE h);

  // --- reading ---------------------------------------------------------------
  // Up to nNumBytes at the current position; returns the count (-1 on error).
  long ReadFromFile(void* buffer, std::uint32_t nNumBytes, HANDLE h);
  // The sequential string read through GenBuffer; a null handle resets the
  // reader (returns 0). `text` must hold kGenBufferSize bytes. Returns
  // length + 1; "" (1) after the last string. A string crossing a 4096-byte
  // block comes back whole; one longer than 4095 bytes comes back cut to 4095.
  std::uint32_t ReadFromFile(char* text, HANDLE h);
  // The sequential string read into a string; 0 (string unchanged) when the
  // string read is empty, else its length + 1.
  std::uint32_t ReadFromFile(std::string& text, HANDLE h);
  // 12 bytes at the current position; returns the count.
  long ReadFromFile(ZarnMatchStructType* rec, HANDLE h);
  // The NUL-terminated string at byte AtOffset (at most kGenBufferSize - 1
  // bytes; `text` must hold kGenBufferSize bytes); returns length + 1.
  std::uint32_t ReadFromFileAtOffset(char* text, HANDLE h, std::uint32_t AtOffset);

  // --- positions, sizes, deleting ---------------------------------------------
  // Stores the file size (low 32 bits) in EndPos and returns it.
  std::uint32_t GetEndOfFile(HANDLE FileToRead, std::uint32_t& EndPos);
  // The file's size in bytes (0 for a handle that is not open).
  std::uint32_t FileSize(HANDLE FileToSize);
  // Moves the current position to byte AtOffset.
  void SetFilePtr(HANDLE FileToRead, std::uint32_t AtOffset);
  // Deletes files 1 to 9 (1 and 2 of the current numbered catalog only).
  void DeleteCatalogs();
  // Deletes data file FileToDelete.
  void DeleteFileA(DataFile FileToDelete);
  // Deletes the file with that full name.
  void DeleteF(const char* FileStr);
  // Sets Length bytes to 0.
  static void FillChar(void* stringPtr, std::uint32_t Length);

  // The handle field of a data file.
  HANDLE* HandleField(DataFile FileNum);
  // Closes data file FileNum when it is open and clears its handle field.
  void CloseFileNum(DataFile FileNum);
  // Closes data file FileNum if open, then opens it again with OpenMode.
  void ReopenFile(DataFile FileNum, const char* OpenMode);

  // --- fields, in the order of the data model ---------------------------------
  HANDLE CurrentFileIn = nullptr;
  HANDLE WordsBufOut = nullptr;         // kWordsBuf
  HANDLE WordsTblOut = nullptr;         // kWordsTbl
  HANDLE WordsIdxOut = nullptr;         // kWordsIdx
  HANDLE WordsLtrOut = nullptr;         // kWordsLtr
  HANDLE FilesBufOut = nullptr;         // kFilesBuf
  HANDLE FilesTblOut = nullptr;         // kFilesTbl
  HANDLE MatchesOut = nullptr;          // kMatches
  HANDLE PathsBufOut = nullptr;         // kPathsBuf
  HANDLE PathsTblOut = nullptr;         // kPathsTbl
  HANDLE ExtensionsOut = nullptr;       // kExtensions
  HANDLE ExtListOut = nullptr;          // kExtList
  HANDLE ExtTypeCatMatchOut = nullptr;  // kExtTypeCatMatch
  HANDLE ExtMatchOut = nullptr;         // kExtMatch
  HANDLE ExtCategoryOut = nullptr;      // kExtCategory
  HANDLE Lvl1ZrnOut = nullptr;          // kZarnNames
  HANDLE Lvl1ValOut = nullptr;          // kZarnValues
  HANDLE Lvl1TblOut = nullptr;          // kZarnTable
  HANDLE ZarnBrowseOut = nullptr;       // kZarnBrowse
  HANDLE ZarnPkgOut = nullptr;          // kPkgMembers
  HANDLE PkgTblOut = nullptr;           // kPkgTable
  HANDLE PkgBufOut = nullptr;           // kPkgText
  HANDLE WordFileIdxOut = nullptr;      // kWordFileIdx (written by a build only)
  std::int32_t currentWordCat = 1;

  // The sequential reader: the window GenBuffer, the offset in it of the
  // next string (bufcur) and the number of fills since the last reset (genpop).
  char GenBuffer[kGenBufferSize + 1] = {};
  std::uint32_t bufcur = 0;
  std::uint32_t genpop = 0;

  // The zarn store's memory of this set's store files, and the count of
  // writes that changed store records in place (which outdates the index).
  ZarnNameIndex zarnIndex;
  std::uint64_t zarnGeneration = 1;

 private:
  // Fills GenBuffer behind the `keep` bytes already moved to its front.
  void FillGenBuffer(HANDLE h, std::uint32_t keep);
  // The reader's state beyond the public counters: how much of GenBuffer
  // holds file data, whether the file has no more, and whether the rest of
  // an over-long string is still to be skipped.
  std::uint32_t genvalid_ = 0;
  bool geneof_ = false;
  bool genskip_ = false;
};
