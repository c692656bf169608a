// The catalog builder: walks the catalog roots, cuts the text of every file
// of a listed type into words and writes the word catalog files (words
// buffers and tables per numbered catalog, the sorted index runs, files,
// matches, paths, file-type matches).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalog/catlimits.h"
#include "platform/pfile.h"
#include "store/zrnio.h"

class BuildProgress;

// The configured catalog roots, in order, each ending with "/" (registry key
// "Zarns.Application\CatalogRoots"); the home directory when none is set.
std::vector<std::string> GetCatalogRoots();
// Stores the roots (each made absolute and given a trailing "/"); an empty
// list restores the default. False when the registry could not be written.
bool SetCatalogRoots(const std::vector<std::string>& roots);

// What a finished build did, for summaries.
struct BuildStats {
  std::uint32_t directories = 0;  // directories cataloged (paths written)
  std::uint32_t files = 0;        // files taken (content, "exe" and file-type list files)
  std::uint32_t words = 0;        // words stored, summed over the numbered catalogs
  int catalogs = 0;               // numbered word catalogs written
  // A file was left out: the build takes at most kMaxBuildFiles files, and
  // a user must be told that the catalog does not hold them all.
  bool fileLimitReached = false;
  bool cancelled = false;
  // The build did not replace the catalog: it could not write its files,
  // could not swap them in, or another build was running (busy). The
  // previous catalog is still in place, whole. `error` says why.
  bool failed = false;
  bool busy = false;  // refused at once: another build holds the build lock
  plat::FileError error = plat::FileError::None;
  // Cancelled with a previous catalog in place: that one was kept.
  bool keptPrevious = false;
  double seconds = 0;
};

class WordCat {
 public:
  // The build writes the catalog files of `files`.
  explicit WordCat(ZrnIO& files);
  virtual ~WordCat();
  WordCat(const WordCat&) = delete;
  WordCat& operator=(const WordCat&) = delete;

  // The whole build over `roots` (the configured roots when empty). The
  // progress sink may be null (silent). Returns 0; Stats() tells how it
  // went. The new catalog is written into a staging folder and swapped in
  // whole at the end; a build that fails leaves the previous catalog as it
  // was. A cancelled build keeps the previous catalog when there is one
  // (the user asked to stop, not to lose the catalog they had); with none
  // in place, what was found up to the cancel becomes the catalog.
  // The progress sink is called on the calling thread only; the catalog
  // files are written by a helper thread that ends before this returns.
  int CreateWordCatalog(BuildProgress* progress, std::vector<std::string> roots = {});
  // Figures of the last build.
  const BuildStats& Stats() const { return stats_; }

  // Test seams (both optional): a directory for which canEnter answers false
  // is treated as one that cannot be opened; beforeOpen runs just before a
  // listed file is opened (a test may remove it there).
  std::function<bool(const std::string& dirPath)> canEnter;
  std::function<void(const std::string& dirPath, const std::string& name)> beforeOpen;
  // False: everything runs on the calling thread (as when no helper thread
  // can be started). The files are the same either way.
  bool useHelperThread = true;
  // False: no word -> files index is written (searches then scan); for
  // measuring what the index costs a build.
  bool writeWordFileIndex = true;
  // Memory the index may take while the build runs (tests lower it).
  std::size_t wordFileIndexBudget = kWordFileIndexBudget;

 private:
  ZrnIO& files_;
  BuildStats stats_;
};
