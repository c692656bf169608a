#include "catalog/catwriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "catalog/wfindex.h"

namespace {

// Work run on a thread of its own while the caller goes on (on the
// caller's thread at once when none is wanted or none can be started).
// Wait() returns once it ran and throws what it threw; it is waited for
// when this goes out of scope in any case.
class Beside {
 public:
  Beside(std::function<void()> work, bool thread) : work_(std::move(work)) {
    if (thread) {
      try {
        thread_ = std::thread([this] { Run(); });
        return;
      } catch (const std::system_error&) {
      }
    }
    Run();
  }
  ~Beside() {
    if (thread_.joinable()) thread_.join();
  }
  Beside(const Beside&) = delete;
  Beside& operator=(const Beside&) = delete;
  void Wait() {
    if (thread_.joinable()) thread_.join();
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  }

 private:
  void Run() {
    try {
      work_();
    } catch (...) {
      error_ = std::current_exception();
    }
  }
  std::function<void()> work_;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace

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
      fileHashes_(new std::uint32_t[kMaxFileWords]),
      bucketCount_(new std::uint32_t[4097]),
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
        if (j.sorted)
          AddWords(j.keys, j.distinct);
        else
          AddWords(fileWords_.get(), sorter_.Sort(j.words, j.n, fileWords_.get()));
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

// --- FileWordSorter -------------------------------------------------------------

FileWordSorter::FileWordSorter()
    : distinct_(new wordscan::WordKey[kMaxFileWords]),
      keys_(new wordscan::WordKey[kMaxFileWords]),
      hashes_(new std::uint32_t[kMaxFileWords]),
      bucketCount_(new std::uint32_t[257]),
      fileSet_(kFileSetSize, 0) {}

std::uint32_t FileWordSorter::Sort(const wordscan::RawWord* in, std::uint32_t n,
                                   wordscan::WordKey* out) {
  if (++fileGen_ >= (1u << 20)) {  // generations wrap: start the set afresh
    std::fill(fileSet_.begin(), fileSet_.end(), 0);
    fileGen_ = 1;
  }
  // Only as much of the set as the file needs (at most half full), so a
  // small file's lookups stay in the fastest cache; the generation tags
  // make slots left by earlier files count as empty.
  std::uint32_t mask = 255;
  while (mask + 1 < 2 * n && mask + 1 < kFileSetSize) mask = mask * 2 + 1;
  // Every key and hash first: independent of each other, they overlap in
  // the processor, where the look-ups below wait on each other.
  wordscan::WordKey* keys = keys_.get();
  std::uint32_t* hashes = hashes_.get();
  for (std::uint32_t k = 0; k < n; ++k) {
    keys[k] = wordscan::Pack(in[k].b, in[k].b[wordscan::RawWord::kLen]);
    hashes[k] = wordscan::Hash(keys[k]);
  }
  wordscan::WordKey* distinct = distinct_.get();
  std::uint32_t u = 0;
  for (std::uint32_t k = 0; k < n; ++k) {
    const wordscan::WordKey w = keys[k];
    for (std::uint32_t slot = hashes[k] & mask;; slot = (slot + 1) & mask) {
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
  wordscan::BucketSort(distinct, u, out, bucketCount_.get(), 256, [](const wordscan::WordKey& k) {
    return static_cast<std::size_t>(k.hi >> 52);
  });
  return u;
}

// The file's sorted distinct words into the catalog: one match record per
// word, new words appended to the word text, its file and its table.
void CatalogWriter::AddWords(const wordscan::WordKey* words, std::uint32_t unique) {
  std::uint32_t* hashes = fileHashes_.get();
  // The table is larger than the fast caches: ask for every slot first.
  for (std::uint32_t k = 0; k < unique; ++k) {
    hashes[k] = wordscan::Hash(words[k]);
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
  for (std::uint32_t k = 0; k < unique; ++k) where[k] = slotList_[where[k]];
  AddPairs(where, unique);
}

// --- the word -> files index -------------------------------------------------------

void CatalogWriter::ReserveBuildWords(std::size_t more) {
  // A list number rides in 24 bits of a slot.
  if (buildWords_ + more >= (std::size_t{1} << 24)) return DropIndex();
  if (2 * (buildWords_ + more) <= listTable_.size()) return;
  std::size_t size = listTable_.size();
  while (2 * (buildWords_ + more) > size) size *= 2;
  std::vector<Slot> grown(size, Slot{});
  const std::uint32_t mask = static_cast<std::uint32_t>(size - 1);
  for (const Slot& s : listTable_) {
    if (s.hi == 0) continue;
    std::uint32_t i = wordscan::Hash(wordscan::WordKey{s.hi, s.lo()}) & mask;
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
      const std::uint32_t n = buildWords_++;
      // What the word costs when the index is written (its rank and start).
      listBytes_ += 2 * sizeof(std::uint32_t);
      s.hi = k.hi;
      s.loOff = k.lo | std::uint64_t{n} << 40;
      return n;
    }
    if (s.hi == k.hi && s.lo() == k.lo) return s.off();
  }
}

// Files are numbered by their place in pairFiles_ while the index is made.
static_assert(kMaxBuildFiles <= 0xFFFF);

void CatalogWriter::AddPairs(const std::uint32_t* words, std::uint32_t n) {
  if (n == 0 || indexDropped_) return;
  if (pairFiles_.size() > 0xFFFF) return DropIndex();
  for (std::uint32_t k = 0; k < n;) {
    if ((pairs_ >> kPairPageBits) == pairPages_.size()) {
      pairPages_.emplace_back(new std::uint32_t[kPairPage]);
      listBytes_ += kPairPage * sizeof(std::uint32_t);
      if (listBytes_ > indexBudget_) return DropIndex();
    }
    const std::size_t at = pairs_ & (kPairPage - 1);
    const std::size_t take = std::min<std::size_t>(n - k, kPairPage - at);
    std::memcpy(pairPages_.back().get() + at, words + k, take * sizeof(std::uint32_t));
    pairs_ += take;
    k += static_cast<std::uint32_t>(take);
  }
  pairFiles_.push_back(fileOffset_);
  pairEnds_.push_back(pairs_);
  listBytes_ += sizeof(std::uint32_t) + sizeof(std::size_t);
}

// Beyond its budget the index is given up, not the build: the catalog is
// whole without it and searches read the match file instead.
void CatalogWriter::DropIndex() {
  indexDropped_ = true;
  std::vector<std::unique_ptr<std::uint32_t[]>>().swap(pairPages_);
  pairs_ = 0;
  std::vector<std::uint32_t>().swap(pairFiles_);
  std::vector<std::size_t>().swap(pairEnds_);
  std::vector<Slot>().swap(listTable_);
  std::vector<std::uint32_t>().swap(slotList_);
  listBytes_ = 0;
}

void CatalogWriter::WriteWordFileIndex(const std::string& dir, bool helper) {
  Flush();
  HANDLE h = files_.WordFileIdxOut;
  if (Failed() || indexDropped_ || !plat::IsOpen(h)) return;
  // Words met since the last check may have taken the lists past their
  // budget; and an index beyond the format's counts is none either.
  if (listBytes_ > indexBudget_ || pairs_ > 0xFFFFFFFFull) return DropIndex();
  const auto fail = [this] {
    plat::FileError e = plat::LastFileError();
    fault_.Record(e == plat::FileError::None ? plat::FileError::Other : e);
  };
  std::uint64_t tie = 0;
  try {
    const std::uint32_t words = buildWords_;
    // Key (100 bits) and list number (24) as one number: sorting the
    // numbers sorts the words. Sorted beside the count below, which needs
    // the list numbers only.
    using U128 = unsigned __int128;
    std::vector<U128> order;
    // The pairs in two halves, each counted, and scattered when gathered
    // whole, on its own thread: the second half's files follow the first
    // half's in every list.
    const std::size_t half = pairs_ / 2;
    const auto countRange = [&](std::size_t a, std::size_t b, std::vector<std::uint32_t>& n) {
      while (a < b) {
        const std::uint32_t* page = pairPages_[a >> kPairPageBits].get();
        const std::size_t from = a & (kPairPage - 1);
        const std::size_t to = std::min(kPairPage, from + (b - a));
        for (std::size_t i = from; i < to; ++i) ++n[page[i]];
        a += to - from;
      }
    };
    // Files per list number (counted). The words are sorted beside it, and
    // beside the catalog's fingerprint.
    std::vector<std::uint32_t> count(words, 0), countLate(words, 0);
    {
      Beside late(
          [&] {
            std::vector<U128> unsorted;
            unsorted.reserve(words);
            for (const Slot& s : listTable_)
              if (s.hi != 0)
                unsorted.push_back((U128{s.hi} << 64) | (U128{s.lo()} << 24) | s.off());
            // 4096 buckets by the first two characters and a bit of the third.
            order.resize(unsorted.size());
            std::vector<std::uint32_t> buckets(4097);
            wordscan::BucketSort(unsorted.data(), unsorted.size(), order.data(), buckets.data(),
                                 4096, [](U128 v) { return static_cast<std::size_t>(v >> 112); });
            countRange(half, pairs_, countLate);
          },
          helper);
      if (!wfidx::CatalogTie(dir, static_cast<std::uint32_t>(catalog_), tie)) return fail();
      countRange(0, half, count);
      late.Wait();
    }
    // The files of the words are gathered as file numbers (16 bits), sorted
    // by counting: into one buffer when the budget leaves room for it (the
    // usual case), else a range of words at a time.
    const std::size_t room = indexBudget_ > listBytes_ ? (indexBudget_ - listBytes_) / 2 : 0;
    // A range holds one word's files at least.
    const std::size_t cap = std::max<std::size_t>(room, pairFiles_.size());
    std::vector<std::uint16_t> gathered(std::min<std::size_t>(cap, pairs_));
    // Every store of a scatter lands somewhere else in memory: the places a
    // few pairs ahead are asked for first.
    constexpr std::size_t kAhead = 16;
    std::vector<std::uint32_t> cursor;
    const bool whole = gathered.size() == pairs_;
    const auto listOf = [&](std::uint32_t i) {
      return static_cast<std::uint32_t>(order[i]) & 0xFFFFFF;
    };
    // Where each word's files start in word order.
    std::vector<std::uint32_t> start(std::size_t{words} + 1, 0);
    for (std::uint32_t i = 0; i < words; ++i) {
      const std::uint32_t l = listOf(i);
      start[i + 1] = start[i] + count[l] + countLate[l];
    }
    if (whole) {
      // Each list goes where its word's files start, so the lists lie in
      // word order and are coded in one sweep; each half's cursors start
      // where its files go.
      cursor.resize(words);
      std::vector<std::uint32_t> cursorLate(words);
      for (std::uint32_t i = 0; i < words; ++i) {
        const std::uint32_t l = listOf(i);
        cursor[l] = start[i];
        cursorLate[l] = start[i] + count[l];
      }
      const auto scatter = [&](std::size_t a, std::size_t b, std::vector<std::uint32_t>& at) {
        // The file of pair i is the first whose run ends past it.
        std::size_t f = static_cast<std::size_t>(
            std::upper_bound(pairEnds_.begin(), pairEnds_.end(), a) - pairEnds_.begin());
        for (std::size_t i = a; i < b; ++i) {
          if (i + kAhead < b) __builtin_prefetch(&gathered[at[PairAt(i + kAhead)]], 1);
          while (i >= pairEnds_[f]) ++f;
          gathered[at[PairAt(i)]++] = static_cast<std::uint16_t>(f);
        }
      };
      {
        Beside late([&] { scatter(half, pairs_, cursorLate); }, helper);
        scatter(0, half, cursor);
        late.Wait();
      }
      std::vector<std::uint32_t>().swap(cursor);
      // The pairs are let go first (the coded lists take less room).
      std::vector<std::unique_ptr<std::uint32_t[]>>().swap(pairPages_);
    }
    std::vector<std::uint32_t>().swap(countLate);
    std::vector<std::uint32_t>().swap(count);
    // The delta-coded ids of the `n` file numbers at `files`, written at p
    // (room for 5 bytes each); returns the end.
    const auto code = [&](const std::uint16_t* files, std::uint32_t n, char* p) {
      // Held here: stores through p could alias the vector, so it would be
      // read again for every id.
      const std::uint32_t* const fileIds = pairFiles_.data();
      std::uint32_t last = 0;
      for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t id = fileIds[files[k]];
        p = wfidx::PutVarint(p, id - last);  // the first as it is
        last = id;
      }
      return p;
    };
    // A word's text, from its place in the order.
    const auto wordOf = [&](std::uint32_t i, char* out) {
      const U128 v = order[i];
      const wordscan::WordKey key{static_cast<std::uint64_t>(v >> 64),
                                  static_cast<std::uint64_t>(v >> 24) & kLoMask};
      return std::string_view(out, wordscan::Unpack(key, out));
    };
    // Gathered whole, the lists are coded once, in word order, with their
    // entries' checks: the words before `mid` (half the pairs) beside those
    // after it. Each into room for the longest coding, of which only the
    // bytes written are ever touched.
    std::unique_ptr<char[]> coded[2];
    std::size_t codedSize[2] = {0, 0};
    std::vector<std::size_t> codedAt;
    // The words' text as worked out for their checks, kept for the table:
    // each word at its offset, NUL-terminated.
    std::string texts[2];
    std::vector<std::uint32_t> textAt;
    std::vector<std::uint32_t> checks;
    std::uint32_t mid = 0;
    std::uint32_t from = 0, to = 0;  // the range of words gathered
    std::vector<std::uint32_t> rank;
    if (whole) {
      mid = static_cast<std::uint32_t>(
          std::lower_bound(start.begin(), start.end(), start[words] / 2) - start.begin());
      mid = std::min(mid, words);
      codedAt.resize(std::size_t{words} + 1);
      checks.resize(words);
      textAt.resize(words);
      const auto codeRange = [&](std::uint32_t a, std::uint32_t b, int part) {
        coded[part].reset(new char[5 * std::size_t{start[b] - start[a]} + 1]);
        char* const base = coded[part].get();
        char* p = base;
        std::string& t = texts[part];
        t.reserve(std::size_t{b - a} * 10);
        char text[wordscan::RawWord::kLen + 8];
        for (std::uint32_t i = a; i < b; ++i) {
          codedAt[i] = static_cast<std::size_t>(p - base);
          const std::uint32_t n = start[i + 1] - start[i];
          char* const list = p;
          p = code(gathered.data() + start[i], n, p);
          const std::string_view word = wordOf(i, text);
          checks[i] = wfidx::EntryCheck(word, n,
                                        std::string_view(list, static_cast<std::size_t>(p - list)));
          textAt[i] = static_cast<std::uint32_t>(t.size());
          t.append(word.data(), word.size() + 1);
        }
        codedSize[part] = static_cast<std::size_t>(p - base);
      };
      {
        Beside late([&] { codeRange(mid, words, 1); }, helper);
        codeRange(0, mid, 0);
        late.Wait();
      }
      codedAt[words] = codedSize[1];
      std::vector<std::uint16_t>().swap(gathered);
    } else {
      rank.resize(words);
      for (std::uint32_t i = 0; i < words; ++i) rank[listOf(i)] = i;
    }
    // A range of words from `first`, gathered in word order.
    const auto gather = [&](std::uint32_t first) {
      from = first;
      to = first;
      while (to < words && start[to + 1] - start[from] <= gathered.size()) ++to;
      cursor.assign(start.begin() + from, start.begin() + to);
      const std::uint32_t base = start[from], span = to - from;
      std::size_t f = 0;
      for (std::size_t i = 0; i < pairs_; ++i) {
        if (i + 2 * kAhead < pairs_) __builtin_prefetch(&rank[PairAt(i + 2 * kAhead)]);
        if (i + kAhead < pairs_) {
          const std::uint32_t r = rank[PairAt(i + kAhead)] - from;
          if (r < span) __builtin_prefetch(&gathered[cursor[r] - base], 1);
        }
        while (i >= pairEnds_[f]) ++f;
        const std::uint32_t r = rank[PairAt(i)] - from;
        if (r < span) gathered[cursor[r]++ - base] = static_cast<std::uint16_t>(f);
      }
    };
    char word[wordscan::RawWord::kLen + 8];
    std::string ids;
    const auto at = [&](std::uint32_t i) {
      if (!codedAt.empty()) {
        const int part = i < mid ? 0 : 1;
        const std::size_t endAt = i + 1 == mid ? codedSize[0] : codedAt[i + 1];
        const std::string_view list(coded[part].get() + codedAt[i], endAt - codedAt[i]);
        const std::size_t textEnd =
            i + 1 == mid || i + 1 == words ? texts[part].size() : textAt[i + 1];
        const std::string_view text(texts[part].data() + textAt[i], textEnd - textAt[i] - 1);
        return wfidx::WordList{text, start[i + 1] - start[i], list, &checks[i]};
      }
      const std::string_view text = wordOf(i, word);
      // Each range is gathered and coded as the index asks for it, twice
      // (once for the word table's checks, once for the lists).
      if (i < from || i >= to) gather(i);
      const std::uint32_t n = start[i + 1] - start[i];
      if (ids.size() < 5 * std::size_t{n}) ids.resize(5 * std::size_t{n});
      const char* end = code(gathered.data() + (start[i] - start[from]), n, ids.data());
      return wfidx::WordList{text, n, std::string_view(ids.data(), end - ids.data())};
    };
    const auto sink = [h](const char* p, std::size_t n) {
      return plat::Fs().Write(h, p, n) == static_cast<long long>(n);
    };
    // Gathered whole, the coded lists are already in word order.
    std::vector<std::string_view> lists;
    if (!codedAt.empty())
      for (int part : {0, 1}) lists.emplace_back(coded[part].get(), codedSize[part]);
    if (!wfidx::WriteIndex(static_cast<std::uint32_t>(catalog_), tie, words, at, sink,
                           codedAt.empty() ? nullptr : &lists))
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
