// Changes to the zarn store beyond appending, and the store written back out:
//   - deleting a zarn: the names, definitions, browse, table and package
//     membership files are rewritten without it, all five at once;
//   - the browse text of an edit (each line followed by CR LF);
//   - a package file of stored zarns that loads back to the same zarns.
//
// A rewrite is staged in the folder "zarnedit.tmp" of the data directory:
// the five new files are written there, then a file "COMMIT" marks the set
// complete, then each is renamed over its data file. While the renames run,
// the old files stay locked for writing, so another running copy either
// waits or sees the old set or the new one, never a mix. Recover() finishes
// a committed rewrite that was interrupted and removes an uncommitted one.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pfile.h"
#include "store/zrnio.h"
#include "store/zrnlvl.h"

// One stored zarn as its files hold it.
struct StoredZarn {
  std::string name;        // as stored
  std::string definition;  // the definition text
  bool hasBrowse = false;  // whether it carries a browse text
  std::string browse;      // the raw browse text (description, 0x01, usage)
};

// What a package export produced.
struct PkgExport {
  std::string text;                  // the package file's bytes
  int count = 0;                     // zarns written
  std::vector<std::string> skipped;  // zarns the package format cannot carry
  std::vector<std::string> blanked;  // zarns written with a blank before the definition
};

class ZrnEdit {
 public:
  enum class Result {
    kDone,      // done
    kNotFound,  // no zarn (or package) of that name
    kBusy,      // another program holds the store files
    kFailed,    // a file could not be read or written; the store is as it was
    kRefused    // the name or text cannot be stored (see ZrnLvl1::Set)
  };

  // Edits of the store in `files`, which must outlive this object.
  explicit ZrnEdit(ZrnIO& files);

  // Deletes the zarn `name` (any case; of several of that name the oldest,
  // the one lookups find). The zarns after it move up one table position
  // and their membership records with them; its own membership records go.
  // Package names stay. Finishes an interrupted earlier rewrite first.
  Result Delete(const std::string& name);
  // Stores `value` under `name`. A zarn of that name (any case; of several
  // the oldest, the one lookups find) keeps its name as stored, its table
  // position and so its package memberships, and gets the new definition;
  // its browse text is replaced only when `value` carries one ("zdesc" /
  // "zuse"). A name not stored yet is appended as ZrnLvl1::Set appends it.
  // `id`, when given, receives the zarn's table position.
  Result Store(const std::string& name, const std::string& value, std::uint32_t* id = nullptr);
  // The same for a package section's text: the name up to the first blank,
  // tab, CR or LF, the value from there on.
  Result StoreText(const std::string& text, std::uint32_t* id = nullptr);
  // The cause of the last kBusy or kFailed.
  plat::FileError LastError() const { return error_; }
  // Why the last Store refused or failed, as the store says it.
  StoreError LastStoreError() const { return storeError_; }
  // A sentence for the user about a result of Delete ("" for kDone).
  static std::string Describe(Result r, plat::FileError cause, const std::string& name);

  // Finishes a committed rewrite that was interrupted (renames what is still
  // staged) or removes an uncommitted one. True when nothing is left staged.
  static bool Recover(ZrnIO& files);
  // The staging folder of rewrites.
  static std::string StagingDir();

  // Every zarn of the store in table order (the end record excluded), read
  // under shared locks; false when the files cannot be read.
  bool ReadAll(std::vector<StoredZarn>& out);

  // The lines of an edit's text: split at CR LF, LF or CR; a break at the
  // very end does not start another line, and an empty text has no lines.
  static std::vector<std::string> EditLines(std::string_view text);
  // The identifier of the first package named `name` (any case) among
  // `names` (package-table order), or nothing.
  static std::optional<std::uint32_t> PackageId(const std::vector<std::string>& names,
                                                const std::string& name);

  // The package section of one zarn: "ztxt", a blank, the name, then the
  // definition, then "zdesc " with the description and "zuse " with the
  // usage when it has a browse text. False when loading the section would
  // not give back the same name, definition and browse texts. A definition
  // that does not begin with white space cannot follow the name directly;
  // it gets one blank in front (`blanked` true), which a saved script runs
  // the same with.
  static bool Section(const StoredZarn& z, std::string& out, bool& blanked);
  // A package named `pkgName` of the members of package `pkgId` (membership
  // order), or of every zarn (table order) without one. False when the store
  // cannot be read or the package would be larger than a loader reads.
  bool Export(std::optional<std::uint32_t> pkgId, const std::string& pkgName, PkgExport& out);
  // A package name from any text (a file's base name): white space and
  // control bytes become '_', at most 19 characters, "zarns" when empty.
  static std::string PackageNameFrom(const std::string& text);

 private:
  ZrnIO& files_;
  plat::FileError error_ = plat::FileError::None;
  StoreError storeError_ = StoreError::None;
};
