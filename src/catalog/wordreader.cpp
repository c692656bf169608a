#include "catalog/wordreader.h"

#include <algorithm>
#include <cstring>

#include "platform/pdir.h"

WordReader::WordReader() : buf_(new char[kBufSize]()) {}

std::uint32_t WordReader::Read(int fd, std::uint64_t size, wordscan::RawWord* out) {
  unsigned char* block = reinterpret_cast<unsigned char*>(buf_.get()) + kChunkOff;
  // A file of known size is read up to the end of the piece holding its
  // last byte, no further: one that grew since its size was taken is cut
  // where reading it piece by piece would stop.
  const std::uint64_t limit = (size + kReadChunk - 1) / kReadChunk * kReadChunk;
  std::size_t carry = 0;
  std::uint32_t words = 0;
  std::uint64_t readSoFar = 0;
  for (;;) {
    // A file read to its size is at its end: the next read could only
    // return nothing. (A size of 0 may be a file system that does not
    // know it: that file is read until a read returns nothing.)
    if (size > 0 && readSoFar >= size) break;
    std::size_t want = kReadBlock;
    if (size > 0) want = static_cast<std::size_t>(std::min<std::uint64_t>(want, limit - readSoFar));
    long long got = plat::Directory::ReadFd(fd, block, want);
    if (got <= 0) break;
    const std::size_t n = static_cast<std::size_t>(got);
    readSoFar += n;
    // The pieces of the block in turn; the last one's fragment goes before
    // the block, where the next read puts its first piece.
    for (std::size_t at = 0; at < n; at += kReadChunk) {
      const std::size_t len = std::min<std::size_t>(kReadChunk, n - at);
      unsigned char* next = at + kReadChunk < n ? block + at + kReadChunk : block;
      if (!Cut(block + at, len, next, carry, out, words)) return words;
    }
  }
  return words;
}

bool WordReader::Cut(unsigned char* chunk, std::size_t n, unsigned char* next, std::size_t& carry,
                     wordscan::RawWord* out, std::uint32_t& words) {
  unsigned char* rb = chunk - kChunkOff;
  // Word-character bits from kChunkOff before the piece: word 0 holds the
  // carried fragment (its last bits), words 1.. the piece, then a zero.
  constexpr std::size_t kChunkWords = kReadChunk / 64;
  std::uint64_t bits[kChunkWords + 2];
  std::size_t nw = (n + 63) / 64;
  bits[0] = carry ? ~std::uint64_t{0} << (64 - carry) : 0;
  for (std::size_t k = 0; k < nw; ++k)
    bits[1 + k] = wordscan::WordMask64(chunk + 64 * k, std::min<std::size_t>(64, n - 64 * k));
  bits[1 + nw] = 0;
  const std::size_t end = kChunkOff + n;
  const bool full = n == kReadChunk;
  // The runs of word characters, found without walking them: a run
  // starts at a word byte after a non-word byte and ends (its last
  // byte) at one before a non-word byte. Bits before the carried
  // fragment and after the text are zero, so starts and ends pair up.
  std::size_t runs = 0, ends = 0;
  for (std::size_t k = 0; k <= nw; ++k) {
    std::uint64_t b = bits[k];
    std::uint64_t before = (b << 1) | (k ? bits[k - 1] >> 63 : 0);
    std::uint64_t after = (b >> 1) | (bits[k + 1] << 63);
    std::uint64_t st = b & ~before, en = b & ~after;
    for (; st; st &= st - 1)
      runStart_[runs++] =
          static_cast<std::uint16_t>(k * 64 + static_cast<std::size_t>(__builtin_ctzll(st)));
    for (; en; en &= en - 1)
      runEnd_[ends++] =
          static_cast<std::uint16_t>(k * 64 + static_cast<std::size_t>(__builtin_ctzll(en)) + 1);
  }
  // A run cut by the end of a full piece can only be the last one; the
  // next piece completes it.
  const bool cut = full && runs > 0 && runEnd_[runs - 1] == end;
  if (cut) --runs;
  // Each run goes to the next free place and is kept when its length fits:
  // no branch to mispredict on the many short runs. Every word taken
  // counts; repeats go when the list is sorted. Copied as read; the writer
  // makes the key.
  const std::uint32_t first = words;
  for (std::size_t r = 0; r < runs && words < kMaxFileWords; ++r) {
    const std::size_t s = runStart_[r], len = runEnd_[r] - s;
    std::memcpy(out[words].b, rb + s, sizeof out[words].b);
    out[words].b[wordscan::RawWord::kLen] = static_cast<unsigned char>(len);
    words += static_cast<std::uint32_t>(len - kMinWordLen <= kMaxWordLen - kMinWordLen);
  }
  std::size_t newCarry = 0;
  if (cut && words < kMaxFileWords) {
    // Moved only now: before the block, it may lie where this piece's own
    // fragment was. A fragment longer than any word only has to stay too long.
    const std::size_t s = runStart_[runs];
    newCarry = std::min<std::size_t>(runEnd_[runs] - s, kMaxCarry);
    std::memmove(next - newCarry, rb + s, newCarry);
  }
  const std::uint32_t chunkWords = words - first;
  carry = newCarry;
  return chunkWords >= 3 && words < kMaxFileWords;
}
