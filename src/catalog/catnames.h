// The file-name lookup of zarn runs: which recorded files have a name that
// contains a text, with their directories. A run asks it for every word of
// its line, so it reads nothing whole: the files buffer, both file tables
// and the paths buffer are mapped, kept mapped between lookups while they
// are the files in place, and only the bytes a lookup needs are touched.
// It finds exactly what WordView::CollectFileNames finds, and treats a
// damaged or busy catalog the same way.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CatalogReadScope;
class MessageHost;
class ZrnFile;

class CatalogNames {
 public:
  // Problems are shown through `messages`, which must outlive this object.
  explicit CatalogNames(MessageHost& messages);
  ~CatalogNames();
  CatalogNames(const CatalogNames&) = delete;
  CatalogNames& operator=(const CatalogNames&) = delete;

  // Adds to `out` every recorded name containing `text` (case-sensitive; an
  // empty text, or one holding a NUL, finds nothing) with its directory and
  // file id, in files-buffer order, and returns how many. Holds the catalog
  // lock shared meanwhile. On a damaged catalog, or one being replaced,
  // nothing is added, 0 is returned and Problem() is set and shown once.
  int Collect(const std::string& text, ZrnFile& out);
  // The directories of the files `ids` (ids as a search gives them), in
  // order, into `dirs`: "" for a file without a directory record. The same
  // lock, checks and Problem as Collect: on a damaged or busy catalog `dirs`
  // is left empty and false returned. What the word search's list shows
  // beside each file, without reading the tables whole.
  bool Directories(const std::vector<std::uint32_t>& ids, std::vector<std::string>& dirs);
  // Why the last Collect or Directories found nothing it could trust (kDamagedCatalogText,
  // kBusyCatalogText), or empty.
  const std::string& Problem() const { return problem_; }
  // Unmaps the files; the next Collect maps them again.
  void Release();

 private:
  struct Mapped;
  Mapped* Begin(const CatalogReadScope& scope);
  bool DirectoryOf(Mapped& m, std::uint32_t id, std::string& path);
  MessageHost& messages_;
  std::unique_ptr<Mapped> mapped_;
  std::string problem_;
};
