// Which files the word catalog reads and how file types are grouped: the
// list files derived from the registry's file types (extensions to catalog,
// all typed extensions, categories, category/extension pairs), the user's
// own categories kept under "Zarns.Application\FileCategories", and the
// readers of those lists for the builder and the file-type dialogs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pfile.h"
#include "store/zrnio.h"

class MessageHost;

// One entry of a list box or combo box: its text, item value and selection.
struct ListItem {
  std::string text;
  std::uint32_t value = 0;
  bool selected = false;
};
using ListData = std::vector<ListItem>;
// Orders entries as the file-type viewer's sorted lists show them
// (plat::NoCaseLess); entries with the same text keep their order.
void SortListNoCase(ListData& items);

// Capacity of ExtListList (the all-extensions list as NUL-separated strings
// ending with an empty string).
constexpr std::size_t kExtListListSize = 2000;

class ZrnReg {
 public:
  // The lists in the files of `files`; the category commands report through
  // `messages`. Both must outlive this object.
  ZrnReg(ZrnIO& files, MessageHost& messages);
  virtual ~ZrnReg();
  ZrnReg(const ZrnReg&) = delete;
  ZrnReg& operator=(const ZrnReg&) = delete;

  // Rebuilds list files 10 (extensions to catalog), 19 (all typed
  // extensions, sorted), 20 (category/extension pairs) and 21 (categories,
  // sorted, unique) from the registry's file types and the user categories.
  // Each file is replaced whole or not at all; false when one could not be
  // written (LastError() says why; the files before it are already new).
  bool GetRegistryTextExt();
  // Appends the user categories: name* to Categories, .ext* to
  // ExtensionPairs, name*.ext* to ExtMatch.
  void GetRegistryZarnCategories(std::string& Categories, std::string& ExtensionPairs,
                                 std::string& ExtMatch);
  // List file 10 into *RegExtPtr (appended; the caller owns the array) and
  // the first bytes of list file 19 into ExtListList.
  void GetExtensions();
  // Rewrites list file 10 from *RegExtPtr, in order, whole or not at all.
  // False when it could not be written (LastError() says why) or there is
  // no RegExtPtr.
  bool SetExtensions();
  // Why the last list file write failed (None after one that succeeded).
  plat::FileError LastError() const { return lastError_; }
  // Appends list file 10 to ExtList, except "~~~", "~++" and "~--".
  void GetUserAddedExt();
  // Appends the categories of list file 21; every entry but the first is
  // marked selected (the last added ends up shown).
  void GetFileCategories(ListData& cb);
  // Appends the extensions list file 20 pairs with category `cat` (exact match).
  void GetCatFileTypes(ListData& cb, const std::string& cat);
  // Lower-cases extStr in place, then appends every file-type list file whose
  // name contains it, with the offset of its directory as item value.
  void GetTypeCatMatchFiles(ListData& listData, std::string& extStr);
  // The directory path stored at Offset of the paths buffer; buffer unchanged
  // (and false) when Offset is not inside the file.
  bool GetPathFromOffset(std::uint32_t Offset, std::string& buffer);
  // Creates a user category (text after the first "." when there is one).
  void SetNewCategory(const std::string& newCat);
  // Adds extension newExt (text after its first ".") to category newCat.
  void SetNewCategoryExtension(const std::string& newCat, const std::string& newExt);

  // The list ExtListList as strings.
  std::vector<std::string> ExtListItems() const;
  // Every string of list file 19, however long the file: the catalog
  // builder lists files by all of them, not only those in ExtListList.
  std::vector<std::string> TypedExtensions();

  // --- fields, in the order of the data model ---------------------------------
  ListData* ExtList = nullptr;                    // filled by GetUserAddedExt
  char ExtListList[kExtListListSize] = {};        // NUL-separated, ends with an empty string
  std::vector<std::string>* RegExtPtr = nullptr;  // caller's array of extensions
  char NewCategory[40] = {};

 private:
  // Replaces list file `num` by `items`, each with its NUL.
  bool WriteList(DataFile num, const std::vector<std::string>& items);

  ZrnIO& files_;
  MessageHost& messages_;
  plat::FileError lastError_ = plat::FileError::None;
};
