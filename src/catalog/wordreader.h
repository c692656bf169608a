// Reading one file for the catalog: its text cut into words, as read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "catalog/catlimits.h"
#include "catalog/wordscan.h"

class WordReader {
 public:
  // Words of 4 to 20 word characters are taken.
  static constexpr std::size_t kMinWordLen = 4;
  static constexpr std::size_t kMaxWordLen = 20;

  // Allocates the read buffer (may throw std::bad_alloc).
  WordReader();
  WordReader(const WordReader&) = delete;
  WordReader& operator=(const WordReader&) = delete;

  // Reads the open descriptor from its position and puts its words into
  // out (room for kMaxFileWords), in file order, repeats included; returns
  // their number. The text is cut in kReadChunk pieces, whatever size the
  // reads have. `size` is the file's size when known (0: read until a read
  // returns nothing). Reading stops at kMaxFileWords words, or after a
  // piece that gave fewer than three.
  std::uint32_t Read(int fd, std::uint64_t size, wordscan::RawWord* out);

 private:
  // Bytes asked for by one read: a system call per piece cost more than
  // cutting the words, and most files fit in one block.
  static constexpr std::size_t kReadBlock = 16 * kReadChunk;
  // A fragment carried over a piece boundary: longer than any word is
  // enough to know the token cannot be one.
  static constexpr std::size_t kMaxCarry = kMaxWordLen + 1;
  // The buffer: the block at kChunkOff, its pieces one after the other, a
  // fragment carried over from the previous block just before it, slack
  // behind it for 64-byte scans and 24-byte word loads.
  static constexpr std::size_t kChunkOff = 64;
  static constexpr std::size_t kBufSize = kChunkOff + kReadBlock + 64;
  static_assert(kMaxCarry < 64 && kMaxCarry <= kChunkOff && kReadChunk % 64 == 0);
  static_assert(kReadBlock % kReadChunk == 0);

  // Cuts the n (at most kReadChunk) bytes at `chunk` into words, after the
  // `carry` bytes of a fragment just before it; a fragment cut by the end of
  // a full piece is put just before `next` and its length into carry.
  // False when reading should stop.
  bool Cut(unsigned char* chunk, std::size_t n, unsigned char* next, std::size_t& carry,
           wordscan::RawWord* out, std::uint32_t& words);
  // Where the runs of word characters of a piece (and the fragment before
  // it) start and end (one past), from kChunkOff before the piece: runs are
  // at least two bytes apart.
  static constexpr std::size_t kMaxRuns = (kChunkOff + kReadChunk) / 2 + 1;
  static_assert(kChunkOff + kReadChunk + 64 < 65536);

  std::unique_ptr<char[]> buf_;
  std::uint16_t runStart_[kMaxRuns], runEnd_[kMaxRuns];
};
