// The word -> files index ("NCSx.007"), written by a build beside the other
// catalog files and swapped in with them. The word search answers from it
// in time proportional to the files it lists, instead of looking the words
// up in every numbered catalog and reading the whole match file.
//
// Layout (integers 32-bit little-endian unless said):
//   header, 64 bytes:
//      0  "ZWF1"
//      4  1 (version)
//      8  number of numbered catalogs of the build
//     12  W, number of distinct words
//     16  P, number of (word, file) pairs
//     20  offset of the word text (64 + 16 W)
//     24  size of the word text
//     28  offset of the file lists (word text offset + its size)
//     32  size of the file lists
//     36  size of the whole file
//     40  the catalog's fingerprint (64 bits, see CatalogTie)
//     48  12 bytes of zeros
//     60  check of bytes 0-59 (Hash32)
//   word table, W entries of 16 bytes in increasing byte order of the words:
//     text offset, list offset (both from their section's start), number of
//     files, check (Hash32 of the word's characters, the number of files
//     and the list's bytes)
//   word text: the W words, each ending with NUL, in table order
//   file lists: for each word in table order, its file ids (offsets in the
//     files buffer) in increasing order, the first as it is and each next as
//     the difference to the one before, each an unsigned LEB128 number.
// A word held in several numbered catalogs has one entry: its list joins
// the files of all its index records (a file belongs to one catalog, and
// the catalogs' files follow each other in id order).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pmmap.h"

namespace wfidx {

inline constexpr char kMagic[4] = {'Z', 'W', 'F', '1'};
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::uint32_t kHeaderSize = 64;
inline constexpr std::uint32_t kEntrySize = 16;

// FNV-1a, continuing from `h`.
std::uint32_t Hash32(const void* data, std::size_t n, std::uint32_t h = 2166136261u);
std::uint64_t Hash64(const void* data, std::size_t n, std::uint64_t h = 14695981039346656037ull);

// Writes `v` as an unsigned LEB128 number (1 to 5 bytes) at p, which has
// room for 5 bytes whatever the number's length; returns the end.
inline char* PutVarint(char* p, std::uint32_t v) {
  // One or two bytes (most gaps between a word's files) without a branch
  // that depends on which: the second byte is written either way.
  if (v < (1u << 14)) {
    const bool two = v >= 0x80;
    p[0] = static_cast<char>((v & 0x7F) | (static_cast<unsigned>(two) << 7));
    p[1] = static_cast<char>(v >> 7);
    return p + 1 + two;
  }
  while (v >= 0x80) {
    *p++ = static_cast<char>(v | 0x80);
    v >>= 7;
  }
  *p++ = static_cast<char>(v);
  return p;
}
// Appends `v` as an unsigned LEB128 number.
inline void PutVarint(std::string& out, std::uint32_t v) {
  char b[5];
  out.append(b, static_cast<std::size_t>(PutVarint(b, v) - b));
}

// The check of a word's entry: its characters, its number of files and
// its list's bytes.
std::uint32_t EntryCheck(std::string_view word, std::uint32_t count, std::string_view list);

// The fingerprint of the catalog in `dir` (ending with "/") with
// `lastCatalog` numbered catalogs: size and first and last 4096 bytes of the
// index, matches, names, paths, both tables, and the word files of the
// first and last numbered catalog. Cheap (a few small reads), and any build
// gives other values. False when a file that is there could not be read.
bool CatalogTie(const std::string& dir, std::uint32_t lastCatalog, std::uint64_t& tie);

// One word of the index being written.
struct WordList {
  std::string_view word;   // its characters
  std::uint32_t count;     // files holding it
  std::string_view bytes;  // their delta-coded ids
  // Its EntryCheck when worked out already (null: WriteIndex works it out).
  const std::uint32_t* check = nullptr;
};

// Writes an index of `words` entries (at(i) gives entry i, words in
// increasing byte order) through `sink`, which takes the bytes in order
// and answers false when it could not store them. False when the sink
// failed or the index would pass 4 GB. `lists`, when given, holds every
// entry's list bytes one after the other in a few pieces (the lists are
// then not asked of `at` a second time).
bool WriteIndex(std::uint32_t lastCatalog, std::uint64_t tie, std::uint32_t words,
                const std::function<WordList(std::uint32_t)>& at,
                const std::function<bool(const char*, std::size_t)>& sink,
                const std::vector<std::string_view>* lists = nullptr);

// The index as a search reads it.
class Reader {
 public:
  // Maps the index of the catalog in `dir` (ending with "/"); true when it
  // is whole and belongs to the catalog in place. Anything else (missing,
  // short, of another build or damaged) is false: search without it.
  bool Open(const std::string& dir);
  // Checks the bytes of an index without a catalog to tie them to (the
  // fingerprint is not compared): what Open does after mapping.
  bool Attach(const char* data, std::size_t size);

  enum class Look { Found, Absent, Damaged };
  // Looks `word` up (exact bytes). Found: `count` files hold it and `list`
  // is where their ids are (DecodeList). A word that is not there, or an
  // entry whose check fails, is Absent or Damaged.
  struct Entry {
    std::uint32_t count = 0;
    const unsigned char* list = nullptr;
    std::size_t listSize = 0;
  };
  Look Find(std::string_view word, Entry& out) const;
  // The ids of a found entry, in increasing order (false when its bytes do
  // not decode to `count` increasing ids).
  static bool DecodeList(const Entry& e, std::vector<std::uint32_t>& ids);
  // The ids of `e` that are also in `keep` (sorted), into `keep`; decoding
  // stops past the last id of `keep`. False when its bytes are damaged.
  static bool Intersect(const Entry& e, std::vector<std::uint32_t>& keep);

  std::uint32_t Words() const { return words_; }
  std::uint32_t Catalogs() const { return catalogs_; }

 private:
  const unsigned char* EntryAt(std::uint32_t i) const;
  // The word of entry i, or an empty view when its offset is out of range.
  std::string_view WordOf(std::uint32_t i) const;
  bool EntryOf(std::uint32_t i, Entry& out) const;

  plat::MappedFile file_;
  const unsigned char* base_ = nullptr;
  std::size_t size_ = 0;
  std::uint32_t words_ = 0, catalogs_ = 0;
  const char* text_ = nullptr;
  std::uint32_t textSize_ = 0;
  const unsigned char* lists_ = nullptr;
  std::uint32_t listsSize_ = 0;
};

}  // namespace wfidx
