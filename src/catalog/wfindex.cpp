#include "catalog/wfindex.h"

#include <algorithm>
#include <cstring>

#include "platform/pbytes.h"
#include "platform/pfile.h"
#include "store/zrnio.h"

namespace wfidx {

std::uint32_t Hash32(const void* data, std::size_t n, std::uint32_t h) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

std::uint64_t Hash64(const void* data, std::size_t n, std::uint64_t h) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

std::uint32_t EntryCheck(std::string_view word, std::uint32_t count, std::string_view list) {
  char n[4];
  plat::PutLE32(n, count);
  std::uint32_t check = Hash32(word.data(), word.size());
  check = Hash32(n, 4, check);
  return Hash32(list.data(), list.size(), check);
}

namespace {

constexpr std::size_t kEdge = 4096;

// Mixes the size and the first and last kEdge bytes of the file at `path`
// (or that it is missing) into `h`. False when it is there but unreadable.
bool MixFile(const std::string& path, std::uint64_t& h) {
  plat::FileSystem& fs = plat::Fs();
  plat::HANDLE f = fs.Open(path, plat::Access::ReadUnlocked, plat::Creation::OpenExisting);
  if (!plat::IsOpen(f)) {
    if (plat::LastFileError() != plat::FileError::NotFound) return false;
    h = Hash64("-", 1, h);
    return true;
  }
  bool ok = true;
  const long long size = fs.Size(f);
  char buf[2 * kEdge];
  std::size_t got = 0;
  if (size < 0) {
    ok = false;
  } else {
    const auto want = [&](long long from, std::size_t n) {
      if (fs.Seek(f, from, plat::Whence::Begin) < 0) return false;
      std::size_t done = 0;
      while (done < n) {
        long long r = fs.Read(f, buf + got + done, n - done);
        if (r <= 0) return false;
        done += static_cast<std::size_t>(r);
      }
      got += n;
      return true;
    };
    const auto usize = static_cast<std::size_t>(size);
    const std::size_t head = std::min(usize, kEdge);
    ok = want(0, head);
    if (ok && usize > kEdge) {
      const std::size_t tailFrom = std::max(kEdge, usize - kEdge);
      ok = want(static_cast<long long>(tailFrom), usize - tailFrom);
    }
  }
  fs.Close(f);
  if (!ok) return false;
  char s[8];
  plat::PutLE32(s, static_cast<std::uint32_t>(static_cast<unsigned long long>(size)));
  plat::PutLE32(s + 4, static_cast<std::uint32_t>(static_cast<unsigned long long>(size) >> 32));
  h = Hash64(s, 8, h);
  h = Hash64(buf, got, h);
  return true;
}

}  // namespace

bool CatalogTie(const std::string& dir, std::uint32_t lastCatalog, std::uint64_t& tie) {
  std::uint64_t h = Hash64(kMagic, 4);
  for (DataFile f :
       {DataFile::kWordsIdx, DataFile::kMatches, DataFile::kFilesBuf, DataFile::kFilesTbl,
        DataFile::kExtMatch, DataFile::kPathsBuf, DataFile::kPathsTbl}) {
    if (!MixFile(dir + DataFileName(f), h)) return false;
  }
  const int last = static_cast<int>(std::max<std::uint32_t>(lastCatalog, 1));
  for (int n : {1, last}) {
    if (!MixFile(dir + DataFileName(DataFile::kWordsBuf, n), h) ||
        !MixFile(dir + DataFileName(DataFile::kWordsTbl, n), h))
      return false;
  }
  char c[4];
  plat::PutLE32(c, lastCatalog);
  tie = Hash64(c, 4, h);
  return true;
}

// --- writing --------------------------------------------------------------------------

bool WriteIndex(std::uint32_t lastCatalog, std::uint64_t tie, std::uint32_t words,
                const std::function<WordList(std::uint32_t)>& at,
                const std::function<bool(const char*, std::size_t)>& sink,
                const std::vector<std::string_view>* lists) {
  std::string table, text;
  table.reserve(std::size_t{words} * kEntrySize);
  std::uint64_t listBytes = 0, pairs = 0;
  for (std::uint32_t i = 0; i < words; ++i) {
    const WordList w = at(i);
    char e[kEntrySize];
    plat::PutLE32(e, static_cast<std::uint32_t>(text.size()));
    plat::PutLE32(e + 4, static_cast<std::uint32_t>(listBytes));
    plat::PutLE32(e + 8, w.count);
    plat::PutLE32(e + 12, w.check ? *w.check : EntryCheck(w.word, w.count, w.bytes));
    table.append(e, kEntrySize);
    text.append(w.word);
    text.push_back('\0');
    listBytes += w.bytes.size();
    pairs += w.count;
  }
  const std::uint64_t textAt = kHeaderSize + std::uint64_t{table.size()};
  const std::uint64_t listsAt = textAt + text.size();
  const std::uint64_t total = listsAt + listBytes;
  if (total > 0xFFFFFFFFull || pairs > 0xFFFFFFFFull) return false;
  char hd[kHeaderSize] = {};
  std::memcpy(hd, kMagic, 4);
  const std::uint32_t fields[] = {kVersion,
                                  lastCatalog,
                                  words,
                                  static_cast<std::uint32_t>(pairs),
                                  static_cast<std::uint32_t>(textAt),
                                  static_cast<std::uint32_t>(text.size()),
                                  static_cast<std::uint32_t>(listsAt),
                                  static_cast<std::uint32_t>(listBytes),
                                  static_cast<std::uint32_t>(total),
                                  static_cast<std::uint32_t>(tie),
                                  static_cast<std::uint32_t>(tie >> 32)};
  for (std::size_t i = 0; i < std::size(fields); ++i) plat::PutLE32(hd + 4 + 4 * i, fields[i]);
  plat::PutLE32(hd + 60, Hash32(hd, 60));
  if (!sink(hd, kHeaderSize) || !sink(table.data(), table.size()) ||
      !sink(text.data(), text.size()))
    return false;
  if (lists) {
    std::uint64_t given = 0;
    for (std::string_view part : *lists) given += part.size();
    if (given != listBytes) return false;  // would not match the table
    for (std::string_view part : *lists)
      if (!part.empty() && !sink(part.data(), part.size())) return false;
    return true;
  }
  // The lists go out in large pieces, never all held at once.
  std::string piece;
  constexpr std::size_t kPiece = 1 << 20;
  for (std::uint32_t i = 0; i < words; ++i) {
    const WordList w = at(i);
    piece.append(w.bytes);
    if (piece.size() >= kPiece) {
      if (!sink(piece.data(), piece.size())) return false;
      piece.clear();
    }
  }
  return piece.empty() || sink(piece.data(), piece.size());
}

// --- reading ----------------------------------------------------------------------------

bool Reader::Open(const std::string& dir) {
  if (!file_.Open(dir + DataFileName(DataFile::kWordFileIdx))) return false;
  if (!Attach(file_.data(), file_.size())) return false;
  std::uint64_t tie = 0;
  if (!CatalogTie(dir, catalogs_, tie)) return false;
  const std::uint64_t stored = plat::GetLE32(base_ + 40) | std::uint64_t{plat::GetLE32(base_ + 44)}
                                                               << 32;
  return tie == stored;
}

bool Reader::Attach(const char* data, std::size_t size) {
  base_ = nullptr;
  if (!data || size < kHeaderSize || std::memcmp(data, kMagic, 4) != 0) return false;
  const auto* b = reinterpret_cast<const unsigned char*>(data);
  if (plat::GetLE32(b + 60) != Hash32(b, 60) || plat::GetLE32(b + 4) != kVersion) return false;
  const std::uint32_t words = plat::GetLE32(b + 12), textAt = plat::GetLE32(b + 20),
                      textSize = plat::GetLE32(b + 24), listsAt = plat::GetLE32(b + 28),
                      listsSize = plat::GetLE32(b + 32), total = plat::GetLE32(b + 36);
  // The sections follow each other exactly and end with the file.
  if (total != size || std::uint64_t{words} * kEntrySize + kHeaderSize != textAt ||
      std::uint64_t{textAt} + textSize != listsAt || std::uint64_t{listsAt} + listsSize != total)
    return false;
  if (words > 0 && (textSize == 0 || data[textAt + textSize - 1] != '\0')) return false;
  base_ = b;
  size_ = size;
  words_ = words;
  catalogs_ = plat::GetLE32(b + 8);
  text_ = data + textAt;
  textSize_ = textSize;
  lists_ = b + listsAt;
  listsSize_ = listsSize;
  return true;
}

const unsigned char* Reader::EntryAt(std::uint32_t i) const {
  return base_ + kHeaderSize + std::size_t{i} * kEntrySize;
}

std::string_view Reader::WordOf(std::uint32_t i) const {
  const std::uint32_t off = plat::GetLE32(EntryAt(i));
  if (off >= textSize_) return {};
  // The text section ends with a NUL, so every word ends inside it.
  return std::string_view(text_ + off);
}

bool Reader::EntryOf(std::uint32_t i, Entry& out) const {
  const unsigned char* e = EntryAt(i);
  const std::uint32_t from = plat::GetLE32(e + 4), count = plat::GetLE32(e + 8);
  const std::uint32_t to = i + 1 < words_ ? plat::GetLE32(EntryAt(i + 1) + 4) : listsSize_;
  // Every id takes one byte at least.
  if (from > to || to > listsSize_ || count == 0 || count > to - from) return false;
  const std::string_view w = WordOf(i);
  if (w.empty()) return false;
  const std::string_view list(reinterpret_cast<const char*>(lists_) + from, to - from);
  if (EntryCheck(w, count, list) != plat::GetLE32(e + 12)) return false;
  out.count = count;
  out.list = lists_ + from;
  out.listSize = to - from;
  return true;
}

Reader::Look Reader::Find(std::string_view word, Entry& out) const {
  if (!base_ || words_ == 0) return base_ ? Look::Absent : Look::Damaged;
  std::uint32_t lo = 0, hi = words_;
  while (lo < hi) {
    const std::uint32_t mid = lo + (hi - lo) / 2;
    const std::string_view w = WordOf(mid);
    if (w.empty()) return Look::Damaged;
    if (w < word)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo < words_ && WordOf(lo) == word) return EntryOf(lo, out) ? Look::Found : Look::Damaged;
  // Not there: the entries either side must be sound and enclose it, or a
  // damaged table could hide a word that is there.
  Entry side;
  if (lo < words_ && (!EntryOf(lo, side) || !(word < WordOf(lo)))) return Look::Damaged;
  if (lo > 0 && (!EntryOf(lo - 1, side) || !(WordOf(lo - 1) < word))) return Look::Damaged;
  return Look::Absent;
}

namespace {

// Decodes ids of `e` one by one; `take(id)` answers false to stop early.
template <typename Take>
bool Walk(const Reader::Entry& e, Take take) {
  const unsigned char* p = e.list;
  const unsigned char* end = e.list + e.listSize;
  std::uint64_t id = 0;
  for (std::uint32_t k = 0; k < e.count; ++k) {
    std::uint32_t v = 0;
    int shift = 0;
    for (;;) {
      if (p == end || shift > 28) return false;
      const unsigned char c = *p++;
      v |= static_cast<std::uint32_t>(c & 0x7F) << shift;
      if (!(c & 0x80)) break;
      shift += 7;
    }
    if (k > 0 && v == 0) return false;  // ids only grow
    id += v;
    if (id > 0xFFFFFFFFull) return false;
    if (!take(static_cast<std::uint32_t>(id))) return true;
  }
  return p == end;
}

}  // namespace

bool Reader::DecodeList(const Entry& e, std::vector<std::uint32_t>& ids) {
  ids.clear();
  ids.reserve(e.count);
  return Walk(e, [&](std::uint32_t id) {
    ids.push_back(id);
    return true;
  });
}

bool Reader::Intersect(const Entry& e, std::vector<std::uint32_t>& keep) {
  std::size_t in = 0, out = 0;
  const bool ok = Walk(e, [&](std::uint32_t id) {
    while (in < keep.size() && keep[in] < id) ++in;
    if (in == keep.size()) return false;
    if (keep[in] == id) keep[out++] = keep[in++];
    return in < keep.size();
  });
  keep.resize(out);
  return ok;
}

}  // namespace wfidx
