#include "catalog/catwriter.h"

#include <algorithm>
#include <cstdio>
#include <new>

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
  for (std::uint32_t k = 0; k < unique; ++k) {
    Slot& slot = Find(words[k], hashes[k]);
    if (slot.hi == 0) {
      std::uint32_t off = textEnd_;
      std::size_t len = wordscan::Unpack(words[k], text + off);
      slot.hi = words[k].hi;
      slot.loOff = words[k].lo | std::uint64_t{off} << 40;
      slotsInUse_.push_back(static_cast<std::uint32_t>(&slot - table_.data()));
      wordsBuf_.Str(text + off, len);
      wordsTbl_.U32(off);
      textEnd_ += static_cast<std::uint32_t>(len + 1);
    }
    matches_.Rec(slot.off(), fileOffset_, static_cast<std::uint32_t>(catalog_));
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
