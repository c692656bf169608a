// The catalog's files around a build: the previous catalog taken out of
// the way, the new files created, and numbered word files that an older
// build left behind removed.
#pragma once
#include <string>
#include <thread>
#include <vector>

#include "platform/pfile.h"
#include "store/zrnio.h"

// Whether the list of extensions to catalog can be opened. Leaves the
// catalog group of `files` closed.
bool ExtensionListPresent(ZrnIO& files);

// The previous catalog's files. Freeing tens of megabytes of file blocks
// costs real time on some file systems (discard-mounted ext4 spends ~0.5 s
// on a 70 MB catalog), so each old file is opened, its name removed at
// once, and the handles closed (which frees the blocks) on a helper thread
// while the build runs. With a test's own file system installed the names
// are simply removed.
class OldCatalog {
 public:
  OldCatalog() = default;
  ~OldCatalog() { Wait(); }
  OldCatalog(const OldCatalog&) = delete;
  OldCatalog& operator=(const OldCatalog&) = delete;
  // Removes every file of the old catalog, the numbered word files of
  // every catalog included (they would otherwise be emptied one by one as
  // the build reaches them, or removed after it).
  void Release();
  // Returns once the old files' space is freed.
  void Wait();

 private:
  void Take(const std::string& path);
  std::vector<plat::HANDLE> held_;
  std::thread worker_;
};

// Creates the catalog files of `files` empty, catalog 1 current. False,
// with the group closed again, when one of them could not be created.
bool CreateCatalogFiles(ZrnIO& files);

// Removes the numbered word files of the catalogs after `lastCatalog`:
// they belong to an older build and nothing refers to them any more.
void RemoveWordFilesAfter(int lastCatalog);

// Destroy: removes the word catalog (its files, every numbered word file
// and the file-type index of catalogued files); the chosen extensions and
// file types stay. True when none of those files remains.
bool DestroyCatalog(ZrnIO& files);
