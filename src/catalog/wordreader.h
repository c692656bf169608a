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

  // Reads the open descriptor from its position in kReadChunk pieces and
  // puts its words into out (room for kMaxFileWords), in file order,
  // repeats included; returns their number. `size` is the file's size when
  // known (0: read until a read returns nothing). Reading stops at
  // kMaxFileWords words, or after a piece that gave fewer than three.
  std::uint32_t Read(int fd, std::uint64_t size, wordscan::RawWord* out);

 private:
  // A fragment carried over a piece boundary: longer than any word is
  // enough to know the token cannot be one.
  static constexpr std::size_t kMaxCarry = kMaxWordLen + 1;
  // The buffer: the piece at kChunkOff, a fragment carried over from the
  // previous piece just before it, slack behind it for 64-byte scans and
  // 24-byte word loads.
  static constexpr std::size_t kChunkOff = 64;
  static constexpr std::size_t kBufSize = kChunkOff + kReadChunk + 64;
  static_assert(kMaxCarry < 64 && kMaxCarry <= kChunkOff && kReadChunk % 64 == 0);
  // Where the runs of word characters of the buffer start and end (one
  // past): runs are at least two bytes apart.
  static constexpr std::size_t kMaxRuns = (kChunkOff + kReadChunk) / 2 + 1;
  static_assert(kChunkOff + kReadChunk + 64 < 65536);

  std::unique_ptr<char[]> buf_;
  std::uint16_t runStart_[kMaxRuns], runEnd_[kMaxRuns];
};
