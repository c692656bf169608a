#include "catalog/catfiles.h"

#include <exception>

bool ExtensionListPresent(ZrnIO& files) {
  files.CloseFiles();
  files.OpenFile(DataFile::kExtensions, "r");
  bool present = plat::IsOpen(files.ExtensionsOut);
  files.CloseFiles();
  return present;
}

void OldCatalog::Release() {
  for (DataFile f : kCatalogFiles)
    if (f != DataFile::kWordsBuf && f != DataFile::kWordsTbl) Take(DataFilePath(f));
  for (int n = 1; n < 100000; ++n) {
    std::string buf = DataFilePath(DataFile::kWordsBuf, n);
    std::string tbl = DataFilePath(DataFile::kWordsTbl, n);
    bool any = plat::Fs().Exists(buf) || plat::Fs().Exists(tbl);
    if (!any && n > 1) break;
    Take(buf);
    Take(tbl);
  }
  if (held_.empty()) return;
  try {
    worker_ = std::thread([h = std::move(held_)] {
      for (plat::HANDLE x : h) plat::PosixFs().Close(x);
    });
  } catch (const std::exception&) {
    Wait();
  }
  held_.clear();
}

void OldCatalog::Wait() {
  if (worker_.joinable()) worker_.join();
  for (plat::HANDLE x : held_) plat::PosixFs().Close(x);
  held_.clear();
}

void OldCatalog::Take(const std::string& path) {
  plat::FileSystem& fs = plat::Fs();
  if (&fs == &plat::PosixFs()) {
    plat::HANDLE h = fs.Open(path, plat::Access::Read, plat::Creation::OpenExisting);
    if (plat::IsOpen(h)) held_.push_back(h);
  }
  fs.Remove(path);
}

bool CreateCatalogFiles(ZrnIO& files) {
  files.DeleteCatalogs();
  files.OpenFiles("w+");
  files.currentWordCat = 1;
  // Without its files a build could only lose what it read.
  for (DataFile n :
       {DataFile::kWordsBuf, DataFile::kWordsTbl, DataFile::kWordsIdx, DataFile::kWordsLtr,
        DataFile::kFilesBuf, DataFile::kFilesTbl, DataFile::kMatches, DataFile::kPathsBuf,
        DataFile::kPathsTbl, DataFile::kExtMatch}) {
    if (!plat::IsOpen(*files.HandleField(n))) {
      files.CloseFiles();
      return false;
    }
  }
  return true;
}

void RemoveWordFilesAfter(int lastCatalog) {
  for (int n = lastCatalog + 1; n < lastCatalog + 100000; ++n) {
    std::string buf = DataFilePath(DataFile::kWordsBuf, n);
    std::string tbl = DataFilePath(DataFile::kWordsTbl, n);
    if (!plat::Fs().Exists(buf) && !plat::Fs().Exists(tbl)) break;
    plat::Fs().Remove(buf);
    plat::Fs().Remove(tbl);
  }
}
