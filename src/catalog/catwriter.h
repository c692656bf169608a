// The writing side of a catalog build. It takes what the walk found, in
// the order found, and writes the catalog files through the file set: file
// and path records, each file's words sorted and de-duplicated, the words
// buffer and table of each numbered catalog (a new one starts once the word
// text passes kCatalogSwitchBytes), the matches and the sorted index.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/catlimits.h"
#include "catalog/wordscan.h"
#include "platform/pbytes.h"
#include "store/zrnio.h"

// The first write that failed while a catalog was written (a full disk, an
// I/O error), shared by the buffers of one writer and read from any thread.
class WriteFault {
 public:
  void Record(plat::FileError cause) {
    bool expected = false;
    if (failed_.compare_exchange_strong(expected, true)) cause_.store(static_cast<int>(cause));
  }
  bool Failed() const { return failed_.load(std::memory_order_acquire); }
  plat::FileError Cause() const { return static_cast<plat::FileError>(cause_.load()); }

 private:
  std::atomic<bool> failed_{false};
  std::atomic<int> cause_{static_cast<int>(plat::FileError::None)};
};

// Bytes appended to one data file of the set, written in large pieces: the
// file receives exactly the bytes that one write per record would give.
// The file's handle is looked up when the bytes are written, so a numbered
// file that the set moves on from must be flushed first.
class AppendBuffer {
 public:
  static constexpr std::size_t kFlushBytes = 1 << 20;
  // A write that moves less than everything is recorded in `fault` (when given).
  AppendBuffer(ZrnIO& files, DataFile file, WriteFault* fault = nullptr)
      : files_(files), file_(file), fault_(fault) {}
  // The text and a NUL.
  void Str(const char* s, std::size_t len) {
    buf_.append(s, len);
    buf_.push_back('\0');
    MaybeFlush();
  }
  // Little-endian 32-bit fields.
  void U32(std::uint32_t v) {
    char b[4];
    plat::PutLE32(b, v);
    buf_.append(b, 4);
    MaybeFlush();
  }
  void Rec(std::uint32_t a, std::uint32_t b) {
    char r[8];
    plat::PutLE32(r, a);
    plat::PutLE32(r + 4, b);
    buf_.append(r, 8);
    MaybeFlush();
  }
  void Rec(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    char r[12];
    plat::PutLE32(r, a);
    plat::PutLE32(r + 4, b);
    plat::PutLE32(r + 8, c);
    buf_.append(r, 12);
    MaybeFlush();
  }
  // Appends what is held to the file; a file that is not open loses it.
  void Flush();

 private:
  void MaybeFlush() {
    if (buf_.size() >= kFlushBytes) Flush();
  }
  ZrnIO& files_;
  DataFile file_;
  WriteFault* fault_;
  std::string buf_;
};

// A file's words as the catalog takes them: distinct, as keys, sorted.
// Either side of a build may do this (each with its own sorter): the walk
// does it when the writer lags behind.
class FileWordSorter {
 public:
  // Allocates the sorter's tables (may throw std::bad_alloc).
  FileWordSorter();
  // The distinct words of in[0..n) (n at most kMaxFileWords) into out in
  // sorted order (keys sort as the words do byte by byte); their count.
  std::uint32_t Sort(const wordscan::RawWord* in, std::uint32_t n, wordscan::WordKey* out);

 private:
  std::unique_ptr<wordscan::WordKey[]> distinct_;
  std::unique_ptr<wordscan::WordKey[]> keys_;     // every word's key, repeats included
  std::unique_ptr<std::uint32_t[]> hashes_;       // and its hash
  std::unique_ptr<std::uint32_t[]> bucketCount_;  // 257: the sort's buckets
  // The distinct words of the file being sorted, found by hash: slot values
  // are (file generation << 12) | index in distinct_.
  static constexpr std::uint32_t kFileSetSize = 8192;
  static_assert(kMaxFileWords <= 4096 && kFileSetSize >= 2 * kMaxFileWords);
  std::vector<std::uint32_t> fileSet_;
  std::uint32_t fileGen_ = 0;
};

// One piece of work for the writer, made by the walk.
struct CatalogJob {
  enum Kind : std::uint8_t {
    Words,  // a file read: its name and the words taken from it
    Exe,    // a file recorded without its words
    Typed,  // a file of a listed file type
    Dir,    // a directory cataloged (after its files): its path
  };
  Kind kind = Dir;
  std::string text;     // file name, or directory path for Dir
  std::uint32_t n = 0;  // words taken (Words), repeats included
  wordscan::RawWord words[kMaxFileWords];
  // Set when the walk sorted the words already: keys[0..distinct) are the
  // file's distinct words, sorted.
  bool sorted = false;
  std::uint32_t distinct = 0;
  wordscan::WordKey keys[kMaxFileWords];
};

class CatalogWriter {
 public:
  // `files` has the catalog files open, created empty, catalog 1 current.
  // `openWordFiles(n)` replaces the numbered word files by those of catalog
  // n, created empty (default: the file set's IncrementWordFiles). Allocates
  // the writer's buffers (may throw std::bad_alloc).
  explicit CatalogWriter(ZrnIO& files, std::function<bool(int)> openWordFiles = {});
  ~CatalogWriter();
  CatalogWriter(const CatalogWriter&) = delete;
  CatalogWriter& operator=(const CatalogWriter&) = delete;

  // The next job, in the order the walk made them. Never throws: out of
  // memory stops the writing (what was written stays) and sets Failed().
  void Take(const CatalogJob& job);
  // Out of memory, or a write failed. Safe to ask from any thread.
  bool Failed() const { return failed_.load(std::memory_order_relaxed) || fault_.Failed(); }
  // The cause of the first failed write (None when every write went out).
  plat::FileError WriteError() const {
    return fault_.Failed() ? fault_.Cause() : plat::FileError::None;
  }
  // After the last job: the sorted index of the last catalog.
  void FinishLastCatalog();
  // Writes out everything held.
  void Flush();
  // After the last job and FinishLastCatalog: writes the word -> files
  // index of the catalog written into `dir` (ending with "/"; the catalog's
  // files there are read back for its fingerprint) into its file. A build
  // whose word lists outgrew their budget writes none (searches then scan).
  // A failed read or write fails the build like any other catalog write.
  // `helper`: parts of the work run on a second thread (the file is the
  // same either way).
  void WriteWordFileIndex(const std::string& dir, bool helper = true);
  // Bytes the word lists may take in memory while a build runs (by
  // default kWordFileIndexBudget).
  void SetIndexBudget(std::size_t bytes) { indexBudget_ = bytes; }
  // Whether the word lists outgrew their budget (no index is written).
  bool IndexDropped() const { return indexDropped_; }
  // Writes no word -> files index and keeps no word lists (what a build
  // costs without it, for comparison).
  void WithoutWordFileIndex() { DropIndex(); }

  int Catalogs() const { return catalog_; }
  std::uint32_t Directories() const { return directories_; }
  std::uint32_t Words() const { return words_; }

 private:
  void AddFile(AppendBuffer& table, const std::string& name);
  void AddDirectory(const std::string& path);
  void AddWords(const wordscan::WordKey* words, std::uint32_t unique);
  void WriteSortedIndex();
  void NextCatalog();
  // The build-wide number of the word in table slot `slot` (new to the
  // current catalog), added when the build has not met it before.
  std::uint32_t BuildWord(const wordscan::WordKey& k, std::uint32_t hash);
  // Room in the build's word table for `more` words (it stays at most half full).
  void ReserveBuildWords(std::size_t more);
  void DropIndex();

  // --- the word table ---------------------------------------------------------
  // Words of the current numbered catalog: an open-addressing table keyed
  // by the word's key, holding its offset in the word text, and the slots
  // in use (for the sorted index and for clearing). A file's sorted words
  // are matched against it one by one, which gives the same words buffer,
  // matches and index as merging sorted lists.
  // 16 bytes a slot: the key's low part has 40 bits, the offset (below
  // 2^24) rides above them, so the table takes a third less cache.
  struct Slot {
    std::uint64_t hi = 0;     // key.hi; 0: empty (a word has at least 4 characters)
    std::uint64_t loOff = 0;  // key.lo | offset << 40
    std::uint32_t off() const { return static_cast<std::uint32_t>(loOff >> 40); }
    std::uint64_t lo() const { return loOff & kLoMask; }
  };
  static constexpr std::uint64_t kLoMask = (std::uint64_t{1} << 40) - 1;
  static_assert(kAllWordsBufSize < (1u << 24));
  // The slot of the word, or the empty slot where it belongs.
  Slot& Find(const wordscan::WordKey& k, std::uint32_t hash) {
    for (std::uint32_t i = hash & tableMask_;; i = (i + 1) & tableMask_) {
      Slot& s = table_[i];
      if (s.hi == 0 || (s.hi == k.hi && s.lo() == k.lo)) return s;
    }
  }
  void ClearTable();

  std::vector<Slot> table_;
  std::uint32_t tableMask_ = 0;
  std::vector<std::uint32_t> slotsInUse_;
  // Word text of the current numbered catalog (the words buffer file's bytes).
  std::unique_ptr<char[]> text_;
  std::uint32_t textEnd_ = 0;

  // --- one file's words ---------------------------------------------------------
  // The distinct words of the file in hand, sorted (kMaxFileWords).
  FileWordSorter sorter_;
  std::unique_ptr<wordscan::WordKey[]> fileWords_;
  std::unique_ptr<std::uint32_t[]> fileHashes_;
  std::unique_ptr<std::uint32_t[]> bucketCount_;  // 4097: the sorted index's buckets

  // --- the word -> files index ------------------------------------------------
  // Every distinct word of the build (all numbered catalogs together) gets a
  // list number. As files come, their words' list numbers are appended to
  // one flat array (one run per file, files in id order); the index is made
  // at the end by a counting sort of that array by list number, which keeps
  // each word's files in id order. Appending is sequential, where growing
  // one list per word meant a random memory access per (word, file) pair.
  std::uint32_t buildWords_ = 0;
  static constexpr std::uint32_t kPairPageBits = 18;  // pages of 256 Ki list numbers
  static constexpr std::size_t kPairPage = std::size_t{1} << kPairPageBits;
  std::vector<std::unique_ptr<std::uint32_t[]>> pairPages_;
  std::size_t pairs_ = 0;
  std::vector<std::uint32_t> pairFiles_;  // per file with words: its id ...
  std::vector<std::size_t> pairEnds_;     // ... and the end of its run
  std::uint32_t PairAt(std::size_t i) const {
    return pairPages_[i >> kPairPageBits][i & (kPairPage - 1)];
  }
  // Appends the list numbers of one file's words.
  void AddPairs(const std::uint32_t* words, std::uint32_t n);
  // The build's words by key, as the catalog's table holds them, with the
  // list number in place of the offset.
  std::vector<Slot> listTable_;
  std::vector<std::uint32_t> slotList_;  // per word-table slot: its list number
  // The file's words: their slots in the catalog's table, and which of them
  // were new to the catalog.
  std::unique_ptr<std::uint32_t[]> fileSlots_, freshWords_;
  std::size_t listBytes_ = 0, indexBudget_ = kWordFileIndexBudget;
  bool indexDropped_ = false;

  // --- positions and counts -------------------------------------------------------
  ZrnIO& files_;
  std::function<bool(int)> openWordFiles_;
  WriteFault fault_;
  int catalog_ = 1;               // the current numbered catalog
  std::uint32_t fileEnd_ = 0;     // next offset in the file names
  std::uint32_t fileOffset_ = 0;  // the current file's offset there
  std::uint32_t pathEnd_ = 0;     // next offset in the paths
  std::uint32_t directories_ = 0, words_ = 0;
  std::atomic<bool> failed_{false};

  AppendBuffer wordsBuf_, wordsTbl_, wordsIdx_, filesBuf_, filesTbl_, matches_, pathsBuf_,
      pathsTbl_, extMatch_;
};
