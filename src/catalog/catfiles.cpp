#include "catalog/catfiles.h"

#include <exception>

#include "platform/pdatadir.h"
#include "platform/pdir.h"

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

namespace {

// "LES<n>.007" or "LESt<n>.007" with n a number.
bool IsWordFileName(const std::string& u) {
  if (u.rfind("LES", 0) != 0) return false;
  std::size_t p = 3;
  if (p < u.size() && u[p] == 't') ++p;
  const std::size_t digits = p;
  while (p < u.size() && u[p] >= '0' && u[p] <= '9') ++p;
  return p > digits && u.substr(p) == ".007";
}

}  // namespace

bool DestroyCatalog(ZrnIO& files) {
  files.CloseFiles();
  plat::FileSystem& fs = plat::Fs();
  bool gone = true;
  auto remove = [&](const std::string& path) {
    if (fs.Exists(path) && !fs.Remove(path) && fs.Exists(path)) gone = false;
  };
  for (DataFile f : kCatalogFiles)
    if (f != DataFile::kWordsBuf && f != DataFile::kWordsTbl) remove(DataFilePath(f));
  remove(DataFilePath(DataFile::kExtMatch));
  // Every numbered word file in the folder, also those an older build left
  // after a gap: destroying is for getting the space back.
  std::vector<std::string> numbered;
  if (auto d = plat::Directory::Open(plat::DataDir())) {
    plat::DirEntry e;
    while (d->Next(e))
      if (IsWordFileName(e.name)) numbered.push_back(e.name);
  } else {
    gone = false;
  }
  for (const std::string& n : numbered) remove(plat::DataPath(n));
  files.currentWordCat = 1;
  return gone;
}
