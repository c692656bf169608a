#include "catalog/catwalk.h"

#include <algorithm>

#include "catalog/buildprogress.h"

namespace {

// The entries of a directory (or its subdirectories only), sorted by name.
void ListDir(plat::Directory& d, std::vector<CatalogWalk::Entry>& out, bool dirsOnly = false) {
  out.clear();
  plat::DirEntry e;
  while (d.NextQuick(e)) {
    if (dirsOnly && e.type != plat::EntryType::Directory) continue;
    out.push_back({std::move(e.name), e.type});
  }
  std::sort(out.begin(), out.end(), [](const CatalogWalk::Entry& a, const CatalogWalk::Entry& b) {
    return a.name < b.name;
  });
}

bool Enterable(const CatalogWalk::Entry& e) {
  return e.type == plat::EntryType::Directory && e.name.find('.') == std::string::npos;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  return (!dir.empty() && dir.back() == '/') ? dir + name : dir + "/" + name;
}

}  // namespace

void CatalogWalk::Walk(const std::vector<std::string>& roots) {
  for (auto& r : roots) {
    if (!going_) break;
    WalkRoot(r);
  }
}

void CatalogWalk::WalkRoot(const std::string& root) {
  progress_.SetMax(100);
  progress_.SetHeadText("Drive " + root);
  progress_.SetCreateDirMapCurrent();
  std::unique_ptr<plat::Directory> rootDir;
  if (!canEnter || canEnter(root)) rootDir = plat::Directory::Open(root);
  if (rootDir) rootDev_ = rootDir->Device();

  listings_.clear();
  listingBytes_ = 0;
  if (rootDir) CountTree(*rootDir, root);
  if (!going_) return;

  progress_.SetCreateCatalogCurrent();
  progress_.SetDirNumText(static_cast<int>(counted_));
  progress_.SetMax(static_cast<int>(counted_) + 1);
  std::vector<Entry> rootEntries;
  if (rootDir) {
    rootDir->Rewind();
    Listing(root, *rootDir, rootEntries);
    CatalogTree(*rootDir, root, rootEntries);
  }
  listings_.clear();
  if (!going_) return;
  Visit(root, rootDir.get(), rootEntries, true);
}

void CatalogWalk::Listing(const std::string& path, plat::Directory& dir, std::vector<Entry>& out) {
  auto kept = listings_.find(path);
  if (kept == listings_.end()) return ListDir(dir, out);
  out = std::move(kept->second);
  listings_.erase(kept);
}

// Counting pass.
void CatalogWalk::CountTree(plat::Directory& dir, const std::string& path) {
  // Listed whole and kept for the cataloging pass while the budget lasts
  // (the map's elements stay where they are as it grows); once a listing
  // did not fit, only the subdirectories are listed, as the count needs.
  const bool keep = listingBytes_ < listingBudget;
  std::vector<Entry> listed;
  ListDir(dir, listed, !keep);
  const std::vector<Entry>* entries = &listed;
  if (keep) {
    std::size_t bytes = path.size() + sizeof(Entry) * listed.size();
    for (auto& e : listed) bytes += e.name.capacity();
    if (listingBytes_ + bytes <= listingBudget) {
      listingBytes_ += bytes;
      std::vector<Entry>& kept = listings_[path];
      kept = std::move(listed);
      entries = &kept;
    } else {
      listingBytes_ = listingBudget;
    }
  }
  for (auto& e : *entries) {
    if (!going_) return;
    if (!Enterable(e)) continue;
    std::string cur = JoinPath(path, e.name);
    if (cur.size() > kMaxPath) continue;
    bool otherFs;
    auto child = Enter(dir, e.name, cur, otherFs);
    if (otherFs) continue;
    static const std::vector<Entry> none;
    Visit(cur, child.get(), none, false);
    if (!going_) return;
    if (child) {
      CountTree(*child, cur);
      ++counted_;
    }
  }
}

// Cataloging pass: each directory before its subdirectories.
void CatalogWalk::CatalogTree(plat::Directory& dir, const std::string& path,
                              const std::vector<Entry>& entries) {
  for (auto& e : entries) {
    if (!going_) return;
    if (!Enterable(e)) continue;
    std::string cur = JoinPath(path, e.name);
    if (cur.size() > kMaxPath) continue;
    bool otherFs;
    auto child = Enter(dir, e.name, cur, otherFs);
    if (otherFs) continue;
    std::vector<Entry> sub;
    if (child) Listing(cur, *child, sub);
    Visit(cur, child.get(), sub, true);
    if (!going_) return;
    if (child) CatalogTree(*child, cur, sub);
  }
}

// One directory stepped over by either pass (dir is null when it could not
// be entered).
void CatalogWalk::Visit(const std::string& path, plat::Directory* dir,
                        const std::vector<Entry>& entries, bool catalog) {
  ++visited_;
  if (!visitor_.KeepGoing()) {
    going_ = false;
    return;
  }
  if (!progress_.StepVal(path)) {
    going_ = false;
    cancelled_ = true;
    return;
  }
  if (dir && catalog) {
    visitor_.Catalog(path, *dir, entries);
  } else if (visited_ % 100 == 0) {
    progress_.SetDirNumText(visited_);
  }
}

// Opens a subdirectory for the walk: null when it cannot be entered or
// lies on another file system.
std::unique_ptr<plat::Directory> CatalogWalk::Enter(plat::Directory& parent,
                                                    const std::string& name,
                                                    const std::string& path, bool& otherFs) {
  otherFs = false;
  if (canEnter && !canEnter(path)) return nullptr;
  auto d = parent.OpenChild(name);
  if (d && d->Device() != rootDev_) {
    otherFs = true;
    return nullptr;
  }
  return d;
}
