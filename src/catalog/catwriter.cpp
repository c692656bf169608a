#include "catalog/catwriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "catalog/wfindex.h"

// --- AppendBuffer ----------------------------------------------------------------

void AppendBuffer::Flush() {
  if (buf_.empty()) return;
  HANDLE* field = files_.HandleField(file_);
  // A file that could not be created loses its writes (its creation failed
  // loudly already); a write that fails is recorded.
  if (field && plat::IsOpen(*field)) {
    const long long n = static_cast<long long>(buf_.size());
    if (plat::Fs().Seek(*field, 0, plat::Whence::End) < 0 ||
        plat::Fs().Write(*field, buf_.data(), buf_.size()) != n) {
      plat::FileError e = plat::LastFileError();
      if (fault_) fault_->Record(e == plat::FileError::None ? plat::FileError::Other : e);
    }
  }
  buf_.clear();
}

// --- CatalogWriter ---------------------------------------------------------------

CatalogWriter::CatalogWriter(ZrnIO& files, std::function<bool(int)> openWordFiles)
    : text_(new char[kAllWordsBufSize]()),
      fileWords_(new wordscan::WordKey[kMaxFileWords]),
      distinct_(new wordscan::WordKey[kMaxFileWords]),
      fileHashes_(new std::uint32_t[kMaxFileWords]),
      bucketCount_(new std::uint32_t[4097]),
      fileSet_(kFileSetSize, 0),
      fileSlots_(new std::uint32_t[kMaxFileWords]),
      freshWords_(new std::uint32_t[kMaxFileWords]),
      files_(files),
      openWordFiles_(std::move(openWordFiles)),
      wordsBuf_(files, DataFile::kWordsBuf, &fault_),
      wordsTbl_(files, DataFile::kWordsTbl, &fault_),
      wordsIdx_(files, DataFile::kWordsIdx, &fault_),
      filesBuf_(files, DataFile::kFilesBuf, &fault_),
      filesTbl_(files, DataFile::kFilesTbl, &fault_),
      matches_(files, DataFile::kMatches, &fault_),
      pathsBuf_(files, DataFile::kPathsBuf, &fault_),
      pathsTbl_(files, DataFile::kPathsTbl, &fault_),
      extMatch_(files, DataFile::kExtMatch, &fault_) {
  // At most (100000 + 3600 x 21) / 5 words per catalog: the table stays at
  // most about half full.
  table_.assign(1u << 16, Slot{});
  tableMask_ = (1u << 16) - 1;
  slotsInUse_.reserve(1u << 15);
  slotList_.assign(table_.size(), 0);
  listTable_.assign(1u << 16, Slot{});
}

CatalogWriter::~CatalogWriter() = default;

void CatalogWriter::Take(const CatalogJob& j) {
  if (Failed()) return;
  try {
    switch (j.kind) {
      case CatalogJob::Words:
        AddFile(filesTbl_, j.text);
        AddWords(SortDistinct(j.words, j.n));
        if (textEnd_ > kCatalogSwitchBytes) NextCatalog();
        break;
      case CatalogJob::Exe: AddFile(filesTbl_, j.text); break;
      case CatalogJob::Typed: AddFile(extMatch_, j.text); break;
      case CatalogJob::Dir: AddDirectory(j.text); break;
    }
  } catch (const std::bad_alloc&) {
    // Out of memory: what was written stays, as after a cancel.
    std::fputs("Error allocating Gen char buffers\n", stderr);
    failed_.store(true, std::memory_order_relaxed);
  }
}

void CatalogWriter::FinishLastCatalog() {
  if (!slotsInUse_.empty() && !Failed()) WriteSortedIndex();
}

void CatalogWriter::Flush() {
  for (AppendBuffer* b : {&wordsBuf_, &wordsTbl_, &wordsIdx_, &filesBuf_, &filesTbl_, &matches_,
                          &pathsBuf_, &pathsTbl_, &extMatch_})
    b->Flush();
}

void CatalogWriter::AddFile(AppendBuffer& table, const std::string& name) {
  filesBuf_.Str(name.data(), name.size());
  fileOffset_ = fileEnd_;
  table.Rec(fileOffset_, pathEnd_);
  fileEnd_ += static_cast<std::uint32_t>(name.size() + 1);
}

void CatalogWriter::AddDirectory(const std::string& path) {
  pathsBuf_.Str(path.data(), path.size());
  pathsTbl_.U32(pathEnd_);
  pathEnd_ += static_cast<std::uint32_t>(path.size() + 1);
  ++directories_;
}

// The distinct words of in[0..n) into fileWords_ in sorted order (keys
// sort as the words do byte by byte); returns their count.
std::uint32_t CatalogWriter::SortDistinct(const wordscan::RawWord* in, std::uint32_t n) {
  if (++fileGen_ >= (1u << 20)) {  // generations wrap: start the set afresh
    std::fill(fileSet_.begin(), fileSet_.end(), 0);
    fileGen_ = 1;
  }
  // Only as much of the set as the file needs (at most half full), so a
  // small file's lookups stay in the fastest cache; the generation tags
  // make slots left by earlier files count as empty.
  std::uint32_t mask = 255;
  while (mask + 1 < 2 * n && mask + 1 < kFileSetSize) mask = mask * 2 + 1;
  wordscan::WordKey* distinct = distinct_.get();
  std::uint32_t u = 0;
  for (std::uint32_t k = 0; k < n; ++k) {
    const wordscan::WordKey w = wordscan::Pack(in[k].b, in[k].b[wordscan::RawWord::kLen]);
    for (std::uint32_t slot = Hash(w) & mask;; slot = (slot + 1) & mask) {
      std::uint32_t v = fileSet_[slot];
      if ((v >> 12) != fileGen_) {
        fileSet_[slot] = fileGen_ << 12 | u;
        distinct[u++] = w;
        break;
      }
      if (distinct[v & 0xFFF] == w) break;
    }
  }
  // 256 buckets by the first character and a half of the second.
  wordscan::BucketSort(
      distinct, u, fileWords_.get(), bucketCount_.get(), 256,
      [](const wordscan::WordKey& k) { return static_cast<std::size_t>(k.hi >> 52); });
  return u;
}

// The file's sorted distinct words into the catalog: one match record per
// word, new words appended to the word text, its file and its table.
void CatalogWriter::AddWords(std::uint32_t unique) {
  const wordscan::WordKey* words = fileWords_.get();
  std::uint32_t* hashes = fileHashes_.get();
  // The table is larger than the fast caches: ask for every slot first.
  for (std::uint32_t k = 0; k < unique; ++k) {
    hashes[k] = Hash(words[k]);
    __builtin_prefetch(&table_[hashes[k] & tableMask_]);
  }
  char* text = text_.get();
  std::uint32_t* where = fileSlots_.get();
  std::uint32_t* fresh = freshWords_.get();
  std::uint32_t freshCount = 0;
  for (std::uint32_t k = 0; k < unique; ++k) {
    Slot& slot = Find(words[k], hashes[k]);
    if (slot.hi == 0) {
      std::uint32_t off = textEnd_;
      std::size_t len = wordscan::Unpack(words[k], text + off);
      slot.hi = words[k].hi;
      slot.loOff = words[k].lo | std::uint64_t{off} << 40;
      slotsInUse_.push_back(static_cast<std::uint32_t>(&slot - table_.data()));
      fresh[freshCount++] = k;
      wordsBuf_.Str(text + off, len);
      wordsTbl_.U32(off);
      textEnd_ += static_cast<std::uint32_t>(len + 1);
    }
    matches_.Rec(slot.off(), fileOffset_, static_cast<std::uint32_t>(catalog_));
    where[k] = static_cast<std::uint32_t>(&slot - table_.data());
  }
  if (indexDropped_) return;
  // Words new to this catalog are found in the build's table, every slot
  // asked for first (the table is far larger than the fast caches).
  ReserveBuildWords(freshCount);
  if (indexDropped_) return;
  const std::uint32_t mask = static_cast<std::uint32_t>(listTable_.size() - 1);
  for (std::uint32_t i = 0; i < freshCount; ++i)
    __builtin_prefetch(&listTable_[hashes[fresh[i]] & mask]);
  for (std::uint32_t i = 0; i < freshCount; ++i)
    slotList_[where[fresh[i]]] = BuildWord(words[fresh[i]], hashes[fresh[i]]);
  // The same for the lists the file's words go to.
  for (std::uint32_t k = 0; k < unique; ++k) {
    where[k] = slotList_[where[k]];
    __builtin_prefetch(&lists_[where[k]]);
  }
  for (std::uint32_t k = 0; k < unique; ++k) {
    const BuildWordList& l = lists_[where[k]];
    if (l.end != 0) __builtin_prefetch(At(l.tail), 1);
  }
  for (std::uint32_t k = 0; k < unique && !indexDropped_; ++k) AddToList(where[k]);
}

// --- the word -> files index -------------------------------------------------------

void CatalogWriter::ReserveBuildWords(std::size_t more) {
  // A list number rides in 24 bits of a slot.
  if (lists_.size() + more >= (std::size_t{1} << 24)) return DropIndex();
  if (2 * (lists_.size() + more) <= listTable_.size()) return;
  std::size_t size = listTable_.size();
  while (2 * (lists_.size() + more) > size) size *= 2;
  std::vector<Slot> grown(size, Slot{});
  const std::uint32_t mask = static_cast<std::uint32_t>(size - 1);
  for (const Slot& s : listTable_) {
    if (s.hi == 0) continue;
    std::uint32_t i = Hash(wordscan::WordKey{s.hi, s.lo()}) & mask;
    while (grown[i].hi != 0) i = (i + 1) & mask;
    grown[i] = s;
  }
  listBytes_ += (size - listTable_.size()) * sizeof(Slot);
  listTable_.swap(grown);
  if (listBytes_ > indexBudget_) DropIndex();
}

std::uint32_t CatalogWriter::BuildWord(const wordscan::WordKey& k, std::uint32_t hash) {
  const std::uint32_t mask = static_cast<std::uint32_t>(listTable_.size() - 1);
  for (std::uint32_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& s = listTable_[i];
    if (s.hi == 0) {
      const auto n = static_cast<std::uint32_t>(lists_.size());
      lists_.emplace_back();
      listBytes_ += sizeof(BuildWordList);
      s.hi = k.hi;
      s.loOff = k.lo | std::uint64_t{n} << 40;
      return n;
    }
    if (s.hi == k.hi && s.lo() == k.lo) return s.off();
  }
}

std::uint32_t CatalogWriter::NewBlock(std::uint32_t size) {
  constexpr std::uint32_t kPage = 1u << kPageBits;
  // Blocks never cross a page; offset 0 stays unused so that 0 means none.
  if (pages_.empty() || (arenaEnd_ >> kPageBits) >= pages_.size() ||
      (arenaEnd_ & (kPage - 1)) + size > kPage) {
    if (pages_.size() >= (std::size_t{1} << (32 - kPageBits)) - 1) return 0;
    pages_.emplace_back(new unsigned char[kPage]);
    listBytes_ += kPage;
    arenaEnd_ = static_cast<std::uint32_t>(pages_.size() - 1) << kPageBits | 8u;
  }
  const std::uint32_t at = arenaEnd_;
  arenaEnd_ += size;
  return at;
}

void CatalogWriter::AddToList(std::uint32_t word) {
  BuildWordList& l = lists_[word];
  std::uint32_t v = l.count ? fileOffset_ - l.last : fileOffset_;
  l.last = fileOffset_;
  ++l.count;
  unsigned char code[5];
  std::uint32_t n = 0;
  while (v >= 0x80) {
    code[n++] = static_cast<unsigned char>(v | 0x80);
    v >>= 7;
  }
  code[n++] = static_cast<unsigned char>(v);
  l.bytes += n;
  if (l.end - l.tail >= n) {  // the usual case: it fits in the last block
    std::memcpy(At(l.tail), code, n);
    l.tail += n;
    return;
  }
  for (std::uint32_t k = 0; k < n; ++k) {
    if (l.tail == l.end) {
      // The block is full (or there is none): link a new one, twice as big.
      const std::uint32_t size = l.end == 0 ? 8u : std::min<std::uint32_t>(4096, 2 * l.size);
      const std::uint32_t b = NewBlock(size);
      if (b == 0 || listBytes_ > indexBudget_) return DropIndex();
      if (l.end == 0)
        l.head = b;
      else
        plat::PutLE32(At(l.end), b);
      l.tail = b;
      l.end = b + size - 4;
      l.size = size;
    }
    *At(l.tail++) = code[k];
  }
}

void CatalogWriter::Gather(const BuildWordList& l, std::string& out) {
  out.clear();
  std::uint32_t b = l.head, size = 8, left = l.bytes;
  while (left > 0) {
    const std::uint32_t n = std::min(left, size - 4);
    out.append(reinterpret_cast<const char*>(At(b)), n);
    left -= n;
    if (left > 0) b = plat::GetLE32(At(b + size - 4));
    size = std::min<std::uint32_t>(4096, 2 * size);
  }
}

// Beyond its budget the index is given up, not the build: the catalog is
// whole without it and searches read the match file instead.
void CatalogWriter::DropIndex() {
  indexDropped_ = true;
  std::vector<BuildWordList>().swap(lists_);
  std::vector<std::unique_ptr<unsigned char[]>>().swap(pages_);
  arenaEnd_ = 0;
  std::vector<Slot>().swap(listTable_);
  std::vector<std::uint32_t>().swap(slotList_);
  listBytes_ = 0;
}

void CatalogWriter::WriteWordFileIndex(const std::string& dir) {
  Flush();
  HANDLE h = files_.WordFileIdxOut;
  if (Failed() || indexDropped_ || !plat::IsOpen(h)) return;
  const auto fail = [this] {
    plat::FileError e = plat::LastFileError();
    fault_.Record(e == plat::FileError::None ? plat::FileError::Other : e);
  };
  std::uint64_t tie = 0;
  if (!wfidx::CatalogTie(dir, static_cast<std::uint32_t>(catalog_), tie)) return fail();
  try {
    // Key (100 bits) and list number (24) as one number: sorting the
    // numbers sorts the words.
    using U128 = unsigned __int128;
    std::vector<U128> order;
    order.reserve(lists_.size());
    for (const Slot& s : listTable_)
      if (s.hi != 0) order.push_back((U128{s.hi} << 64) | (U128{s.lo()} << 24) | s.off());
    std::sort(order.begin(), order.end());
    char word[wordscan::RawWord::kLen + 8];
    std::string ids;
    const auto at = [&](std::uint32_t i) {
      const U128 v = order[i];
      const wordscan::WordKey key{static_cast<std::uint64_t>(v >> 64),
                                  static_cast<std::uint64_t>(v >> 24) & kLoMask};
      const BuildWordList& l = lists_[static_cast<std::uint32_t>(v) & 0xFFFFFF];
      const std::size_t len = wordscan::Unpack(key, word);
      Gather(l, ids);
      return wfidx::WordList{std::string_view(word, len), l.count, ids};
    };
    const auto sink = [h](const char* p, std::size_t n) {
      return plat::Fs().Write(h, p, n) == static_cast<long long>(n);
    };
    if (!wfidx::WriteIndex(static_cast<std::uint32_t>(catalog_), tie,
                           static_cast<std::uint32_t>(order.size()), at, sink))
      return fail();
  } catch (const std::bad_alloc&) {
    // No room to order the words: what was written is short of its header's
    // size, which searches take as no index.
  }
}

void CatalogWriter::WriteSortedIndex() {
  // Key (100 bits) and offset (below 2^28) as one number: sorting the
  // numbers sorts the words.
  using U128 = unsigned __int128;
  std::vector<U128> sorted;
  sorted.reserve(slotsInUse_.size());
  for (std::uint32_t i : slotsInUse_) {
    const Slot& c = table_[i];
    sorted.push_back((U128{c.hi} << 68) | (U128{c.lo()} << 28) | c.off());
  }
  // 4096 buckets by the first two characters and a bit of the third.
  std::vector<U128> out(sorted.size());
  wordscan::BucketSort(sorted.data(), sorted.size(), out.data(), bucketCount_.get(), 4096,
                       [](U128 v) { return static_cast<std::size_t>(v >> 116); });
  for (U128 v : out)
    wordsIdx_.Rec(static_cast<std::uint32_t>(v & 0xFFFFFFF), static_cast<std::uint32_t>(catalog_));
  words_ += static_cast<std::uint32_t>(slotsInUse_.size());
}

void CatalogWriter::NextCatalog() {
  WriteSortedIndex();
  wordsBuf_.Flush();
  wordsTbl_.Flush();
  const bool opened = openWordFiles_ ? openWordFiles_(catalog_ + 1) : files_.IncrementWordFiles();
  if (!opened) {
    plat::FileError e = plat::LastFileError();
    fault_.Record(e == plat::FileError::None ? plat::FileError::Other : e);
  }
  ++catalog_;
  textEnd_ = 0;
  ClearTable();
}

// --- the word table ------------------------------------------------------------------

void CatalogWriter::ClearTable() {
  for (std::uint32_t i : slotsInUse_) table_[i] = Slot{};
  slotsInUse_.clear();
}
