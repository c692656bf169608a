#include "zarn/zarnctx.h"

#include "catalog/catfiles.h"
#include "catalog/catnames.h"
#include "catalog/zwrdview.h"
#include "host/host.h"
#include "platform/pfile.h"
#include "store/zrnio.h"
#include "store/zrnlvl.h"

namespace {

// Paths, sizes, first and last bytes of the files a catalog reader loads:
// the index, names, matches, paths and file-type matches.
std::string CatalogFingerprint() {
  static constexpr DataFile kLoaded[] = {
      DataFile::kWordsIdx, DataFile::kFilesBuf, DataFile::kFilesTbl, DataFile::kMatches,
      DataFile::kPathsBuf, DataFile::kPathsTbl, DataFile::kExtMatch};
  plat::FileSystem& fs = plat::Fs();
  // Read under the catalog lock; every swap of a new catalog changes the
  // generation, whatever the files' bytes.
  CatalogReadScope scope;
  std::string fp = scope.Generation();
  for (DataFile n : kLoaded) {
    const std::string path = DataFilePath(n);
    fp += path;
    plat::HANDLE h = fs.Open(path, plat::Access::Read, plat::Creation::OpenExisting);
    if (!plat::IsOpen(h)) {
      fp += "|-";
      continue;
    }
    const long long size = fs.Size(h);
    char head[32] = {}, tail[32] = {};
    fs.Read(h, head, sizeof head);
    if (size > static_cast<long long>(sizeof tail))
      fs.Seek(h, size - static_cast<long long>(sizeof tail), plat::Whence::Begin);
    fs.Read(h, tail, sizeof tail);
    fs.Close(h);
    fp += '|';
    fp += std::to_string(size);
    fp.append(head, sizeof head);
    fp.append(tail, sizeof tail);
  }
  return fp;
}

}  // namespace

ViewOpener::~ViewOpener() = default;

ZarnContext::ZarnContext(Host& host, ZrnIO& files, ViewOpener* opener)
    : host_(host), files_(files), opener_(opener) {}

ZarnContext::~ZarnContext() = default;

bool ViewOpener::SaveView(TZarnsEditView*) { return true; }

bool ZarnContext::SaveView(TZarnsEditView* view) {
  return opener_ && view ? opener_->SaveView(view) : true;
}

TZarnsEditView* ZarnContext::OpenView(const std::string& path) {
  return opener_ ? opener_->OpenView(path) : nullptr;
}

ZrnLvl1 ZarnContext::Store() const { return ZrnLvl1(files_); }

std::shared_ptr<WordView> ZarnContext::CatalogReader() {
  std::string fp = CatalogFingerprint();
  if (!reader_ || fp != readerFingerprint_) {
    reader_ = std::make_shared<WordView>(files_, host_, host_);
    readerFingerprint_ = std::move(fp);
  }
  reader_->HitList.clear();
  reader_->MatchesFound = 0;
  return reader_;
}

void ZarnContext::DropCatalogReader() {
  reader_.reset();
  readerFingerprint_.clear();
  names_.reset();
}

CatalogNames& ZarnContext::FileNames() {
  if (!names_) names_ = std::make_unique<CatalogNames>(host_);
  return *names_;
}

unsigned ZarnContext::NextRandom() {
  randomState_ = randomState_ * 6364136223846793005ULL + 1442695040888963407ULL;
  return static_cast<unsigned>(randomState_ >> 33);
}
