// The directory walk of a catalog build: which directories are cataloged,
// in what order, and what the progress sink sees. Each root gets two
// passes: the first counts its directories (for the gauge), the second
// catalogs them, each directory before its subdirectories and the root
// itself last. The entries the counting pass listed are kept (up to
// listingBudget bytes) and handed to the cataloging pass, which then lists
// only the directories beyond that: listing a directory costs about as
// much as opening its files. Entries are taken sorted by name, so a tree is
// visited in the same order whatever order the file system keeps. A
// subdirectory is entered only when its name has no "." (so never a hidden
// one); links are never followed, a mount point is never crossed, and
// subdirectories are opened relative to their parent's descriptor.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/pdir.h"
#include "store/zrnio.h"

class BuildProgress;

class CatalogWalk {
 public:
  // Longest directory path the walk enters: the data files read stored
  // strings through a kGenBufferSize window, so a longer path could not be
  // read back whole.
  static constexpr std::size_t kMaxPath = kGenBufferSize - 1;

  struct Entry {
    std::string name;
    plat::EntryType type;
  };

  // What the walk does with each directory it catalogs.
  class Visitor {
   public:
    virtual ~Visitor() = default;
    // Asked before each directory; false ends the walk.
    virtual bool KeepGoing() = 0;
    // A directory to catalog: its path, the open directory and its
    // entries (sorted by name).
    virtual void Catalog(const std::string& path, plat::Directory& dir,
                         const std::vector<Entry>& entries) = 0;
  };

  CatalogWalk(BuildProgress& progress, Visitor& visitor) : progress_(progress), visitor_(visitor) {}

  // Optional: a directory for which it answers false is treated as one that
  // cannot be opened.
  std::function<bool(const std::string& dirPath)> canEnter;
  // Bytes the counting pass's listings may take while they wait for the
  // cataloging pass (about 100,000 entries by default); past it the rest
  // are listed again by the cataloging pass.
  std::size_t listingBudget = std::size_t{8} << 20;

  // Walks the roots (each ending with "/") in order, until the user cancels
  // or the visitor stops the walk. A directory that cannot be entered is
  // skipped, not cataloged, and the walk goes on with the next one.
  void Walk(const std::vector<std::string>& roots);
  bool Cancelled() const { return cancelled_; }

 private:
  void WalkRoot(const std::string& root);
  void CountTree(plat::Directory& dir, const std::string& path);
  void CatalogTree(plat::Directory& dir, const std::string& path,
                   const std::vector<Entry>& entries);
  void Visit(const std::string& path, plat::Directory* dir, const std::vector<Entry>& entries,
             bool catalog);
  std::unique_ptr<plat::Directory> Enter(plat::Directory& parent, const std::string& name,
                                         const std::string& path, bool& otherFs);
  // The entries of `dir` at `path`, sorted: as the counting pass listed
  // them when it kept them, else listed now.
  void Listing(const std::string& path, plat::Directory& dir, std::vector<Entry>& out);

  BuildProgress& progress_;
  Visitor& visitor_;
  int visited_ = 0;            // directories stepped over, both passes
  std::uint32_t counted_ = 0;  // directories found by the counting passes
  bool going_ = true;
  bool cancelled_ = false;
  std::uint64_t rootDev_ = 0;
  // The counting pass's listings by directory path, and their bytes.
  std::unordered_map<std::string, std::vector<Entry>> listings_;
  std::size_t listingBytes_ = 0;
};
