// Word cutting for the catalog builder, done on whole blocks of bytes.
//
// A chunk read from a file is normalised in groups of four bytes counted
// from its first byte: a group holding a byte of 0x80 or above is blanked
// whole; otherwise a byte with bit 0x40 becomes itself | 0x20 and any other
// byte a blank. After that a word character is "`" or "a".."z" (0x60..0x7A).
// Instead of rewriting the bytes, WordMask64 answers directly which bytes
// would end up word characters, 64 at a time, and a word is then kept as
// its packed key (WordKey), from which its text can be rebuilt.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wordscan {

// Bit i set when byte p[i] (i < n, n <= 64) becomes a word character. p
// must start a group (its offset from the chunk's first byte a multiple of
// 4), and 64 bytes from p must be readable; bytes at n and beyond are
// ignored, so the last group of a short read is judged on its own bytes.
inline std::uint64_t WordMask64(const unsigned char* p, std::size_t n) {
  std::uint64_t valid = n >= 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << n) - 1);
#if defined(__SSE2__)
  std::uint64_t high = 0, pred = 0;
  const __m128i c0 = _mm_set1_epi8(static_cast<char>(0xC0)), c40 = _mm_set1_epi8(0x40),
                c1f = _mm_set1_epi8(0x1F), c27 = _mm_set1_epi8(27);
  for (int b = 0; b < 4; ++b) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * b));
    std::uint64_t h = static_cast<std::uint32_t>(_mm_movemask_epi8(x));
    // 0x40..0x7F whose low five bits are at most 26: "@", "A".."Z", "[",
    // "`", "a".."z" once bit 0x20 is set.
    __m128i ok = _mm_and_si128(_mm_cmpeq_epi8(_mm_and_si128(x, c0), c40),
                               _mm_cmplt_epi8(_mm_and_si128(x, c1f), c27));
    std::uint64_t w = static_cast<std::uint32_t>(_mm_movemask_epi8(ok));
    high |= h << (16 * b);
    pred |= w << (16 * b);
  }
#else
  std::uint64_t high = 0, pred = 0;
  for (std::size_t i = 0; i < 64; ++i) {
    unsigned char c = p[i];
    high |= std::uint64_t{(c & 0x80) != 0} << i;
    pred |= std::uint64_t{(c & 0xC0) == 0x40 && (c & 0x1F) <= 26} << i;
  }
#endif
  high &= valid;
  // A group with a high byte is blanked whole: spread each group's "any"
  // to its four bits.
  std::uint64_t g = (high | (high >> 1) | (high >> 2) | (high >> 3)) & 0x1111111111111111ull;
  std::uint64_t bad = g * 0xF;
  return pred & ~bad & valid;
}

// A word of 1..20 word characters as a number: five bits per character
// ("`" is 1, "a".."z" are 2..27, 0 past the end), the first twelve in `hi`
// (first character highest), the rest in `lo`. Keys compare as the words
// compare byte by byte, and equal keys are equal words.
struct WordKey {
  std::uint64_t hi, lo;
  bool operator==(const WordKey&) const = default;
  bool operator<(const WordKey& o) const { return hi != o.hi ? hi < o.hi : lo < o.lo; }
};

// The hash of a key, for the tables keyed by words.
inline std::uint32_t Hash(const WordKey& k) {
  std::uint64_t h = (k.hi * 0x9E3779B97F4A7C15ull) ^ (k.lo * 0xC2B2AE3D27D4EB4Full);
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

namespace detail {
// Eight 5-bit codes (one per byte, first byte first) packed into 40 bits.
inline std::uint64_t Pack8(std::uint64_t codes) {
  std::uint64_t y = __builtin_bswap64(codes);  // first character in the top byte
  y = (y & 0x00FF00FF00FF00FFull) | ((y & 0xFF00FF00FF00FF00ull) >> 3);
  y = (y & 0x0000FFFF0000FFFFull) | ((y & 0xFFFF0000FFFF0000ull) >> 6);
  return (y & 0xFFFFFFFFull) | ((y >> 32) << 20);
}
// Codes of the n (0..8) bytes at p, loaded as 8 bytes; zero past n.
inline std::uint64_t Codes(const unsigned char* p, std::size_t n) {
  if (n == 0) return 0;
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  v = ((v | 0x2020202020202020ull) & 0x1F1F1F1F1F1F1F1Full) + 0x0101010101010101ull;
  return n >= 8 ? v : v & ((std::uint64_t{1} << (8 * n)) - 1);
}
}  // namespace detail

// The key of the len (1..20) word characters at p (raw bytes as read: the
// case bit is set here). 24 bytes from p must be readable. Little-endian.
inline WordKey Pack(const unsigned char* p, std::size_t len) {
  std::uint64_t a = detail::Pack8(detail::Codes(p, len < 8 ? len : 8));
  std::uint64_t b = detail::Pack8(detail::Codes(p + 8, len <= 8 ? 0 : (len < 16 ? len - 8 : 8)));
  std::uint64_t c = detail::Pack8(detail::Codes(p + 12, len <= 12 ? 0 : len - 12));
  return {(a << 20) | (b >> 20), c};
}

// A word as cut from the read buffer: the 24 bytes from its start (bytes
// past the word are ignored) with its length in the last one.
struct RawWord {
  static constexpr std::size_t kLen = 23;
  unsigned char b[24];
};

// Writes the word of `k` at out, NUL-terminated; returns its length.
inline std::size_t Unpack(const WordKey& k, char* out) {
  std::size_t n = 0;
  for (int i = 0; i < 12; ++i) {
    unsigned code = static_cast<unsigned>((k.hi >> (55 - 5 * i)) & 0x1F);
    if (!code) {
      out[n] = '\0';
      return n;
    }
    out[n++] = static_cast<char>(code + 0x5F);
  }
  for (int i = 0; i < 8; ++i) {
    unsigned code = static_cast<unsigned>((k.lo >> (35 - 5 * i)) & 0x1F);
    if (!code) break;
    out[n++] = static_cast<char>(code + 0x5F);
  }
  out[n] = '\0';
  return n;
}

// Sorts n values into out by their key (any type with operator<): first
// spread by the key's top bits (`bucketOf` gives 0..buckets-1, in key
// order), then each bucket sorted on its own: by insertion when it holds
// few values (most do), else by a comparison sort (words crowd into a few
// buckets: "co", "re", "st"). Much faster than a comparison sort of all
// for the few hundred words of a file. `count` has room for buckets + 1
// entries.
template <typename T, typename BucketOf>
void BucketSort(const T* in, std::size_t n, T* out, std::uint32_t* count, std::size_t buckets,
                BucketOf bucketOf) {
  std::memset(count, 0, (buckets + 1) * sizeof *count);
  for (std::size_t k = 0; k < n; ++k) ++count[bucketOf(in[k]) + 1];
  for (std::size_t b = 1; b <= buckets; ++b) count[b] += count[b - 1];
  for (std::size_t k = 0; k < n; ++k) out[count[bucketOf(in[k])]++] = in[k];
  // count[b] now ends bucket b, which starts where bucket b - 1 ends.
  constexpr std::size_t kFew = 24;
  std::size_t from = 0;
  for (std::size_t b = 0; b < buckets && from < n; ++b) {
    const std::size_t to = count[b];
    if (to - from > kFew) {
      std::sort(out + from, out + to);
    } else {
      for (std::size_t i = from + 1; i < to; ++i) {
        if (!(out[i] < out[i - 1])) continue;
        T x = out[i];
        std::size_t j = i;
        do {
          out[j] = out[j - 1];
          --j;
        } while (j > from && x < out[j - 1]);
        out[j] = x;
      }
    }
    from = to;
  }
}

}  // namespace wordscan
