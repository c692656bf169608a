#include "catalog/zrnreg.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "catalog/catfiles.h"
#include "host/messages.h"
#include "platform/pbytes.h"
#include "platform/pfile.h"
#include "platform/pregistry.h"
#include "platform/psort.h"
#include "store/zrnio.h"

namespace {

const char kCategoriesKey[] = "Zarns.Application\\FileCategories";

bool ContainsAny(const std::string& s, std::initializer_list<const char*> words) {
  for (const char* w : words)
    if (s.find(w) != std::string::npos) return true;
  return false;
}

// The text after the first ".", or all of it when there is none.
std::string AfterFirstDot(const std::string& s) {
  auto dot = s.find('.');
  return dot == std::string::npos ? s : s.substr(dot + 1);
}

// Items of a "*"-separated text buffer (empty items dropped).
std::vector<std::string> SplitStars(const std::string& buf) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < buf.size()) {
    auto star = buf.find('*', start);
    if (star == std::string::npos) star = buf.size();
    if (star > start) out.push_back(buf.substr(start, star - start));
    start = star + 1;
  }
  return out;
}

// Opens list file `num` for reading unless the file set already has it open;
// the destructor puts the handle field back the way it was found.
class ListFileReader {
 public:
  ListFileReader(ZrnIO& io, DataFile num) : io_(io) {
    field_ = io.HandleField(num);
    if (!field_) return;
    if (!plat::IsOpen(*field_)) {
      io.OpenFile(num, "r");
      opened_ = true;
    }
  }
  ~ListFileReader() {
    if (opened_ && field_) {
      io_.CloseFile(*field_);
      *field_ = nullptr;
    }
  }
  ListFileReader(const ListFileReader&) = delete;
  ListFileReader& operator=(const ListFileReader&) = delete;
  HANDLE handle() const { return field_ ? *field_ : nullptr; }
  // The whole file from its start (empty when it could not be opened).
  std::string ReadAll() const {
    std::string data;
    HANDLE h = handle();
    if (!plat::IsOpen(h)) return data;
    std::uint32_t size = io_.FileSize(h);
    data.resize(size);
    io_.SetFilePtr(h, 0);
    std::size_t got = 0;
    while (got < size) {
      long n = io_.ReadFromFile(data.data() + got, size - static_cast<std::uint32_t>(got), h);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    return data;
  }

 private:
  ZrnIO& io_;
  HANDLE* field_ = nullptr;
  bool opened_ = false;
};

// The NUL-terminated strings of a list file, in order; empty strings (which
// end a block in the stored lists) are skipped.
std::vector<std::string> ListStrings(const std::string& data) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos < data.size()) {
    auto end = data.find('\0', pos);
    if (end == std::string::npos) end = data.size();
    if (end > pos) out.emplace_back(data, pos, end - pos);
    pos = end + 1;
  }
  return out;
}

std::vector<std::string> ReadList(ZrnIO& io, DataFile num) {
  ListFileReader r(io, num);
  return ListStrings(r.ReadAll());
}

// One fixed byte order for every sort of the lists.
bool ByteLess(const std::string& a, const std::string& b) {
  return std::strcmp(a.c_str(), b.c_str()) < 0;
}

}  // namespace

void SortListNoCase(ListData& items) {
  std::stable_sort(items.begin(), items.end(), [](const ListItem& a, const ListItem& b) {
    return plat::NoCaseLess(a.text, b.text);
  });
}

ZrnReg::ZrnReg(ZrnIO& files, MessageHost& messages)
    : ExtList(new ListData), files_(files), messages_(messages) {}

ZrnReg::~ZrnReg() { delete ExtList; }

// A list file is written aside and renamed over the old one: a failure at
// any moment leaves the old list whole, and a catalog build reading it sees
// one list or the other, never a cut one. The bytes are those the list
// always had: each item and its NUL.
bool ZrnReg::WriteList(DataFile num, const std::vector<std::string>& items) {
  std::string bytes;
  for (const auto& s : items) {
    bytes.append(s.c_str());
    bytes += '\0';
  }
  // A handle this file set still holds on the old file is let go: it would
  // go on reading the replaced list.
  files_.CloseFileNum(num);
  if (plat::WriteDataFileAtomic(files_.FileName(num), bytes)) return true;
  lastError_ = plat::LastFileError();
  return false;
}

bool ZrnReg::GetRegistryTextExt() {
  lastError_ = plat::FileError::None;
  // The text buffers grow as needed, so every declared type is listed,
  // however many the system has.
  std::vector<std::string> toCatalog;
  std::string categories, extList, extMatch;
  plat::Registry& reg = plat::ClassesRoot();
  std::string name;
  for (std::uint32_t i = 0; reg.EnumKey("", i, name); ++i) {
    if (name.empty() || name[0] != '.') continue;
    if (name.find('\\') != std::string::npos || !reg.KeyExists(name)) continue;
    if (auto ct = reg.GetString(name, "Content Type")) {
      std::string type = plat::AsciiLower(*ct);
      if (ContainsAny(type, {"document", "word", "txt", "text", "message", "mail"}) &&
          name.size() < 11 && name.find("htm") == std::string::npos)
        toCatalog.push_back(name);
      std::string category = type.substr(0, type.find('/'));
      if (!category.empty()) {
        categories += category + "*";
        extList += name + "*";
        extMatch += category + "*" + name + "*";
      }
    } else if (auto def = reg.GetString(name, "")) {
      std::string d = plat::AsciiLower(*def);
      if (ContainsAny(d, {"text", "doc", "word", "txt", "msg", "message", "mail"}) &&
          name.size() < 11)
        toCatalog.push_back(name);
    }
  }
  for (const char* fixed : {".hlp", ".txt", ".xls", ".ppt"}) toCatalog.push_back(fixed);
  GetRegistryZarnCategories(categories, extList, extMatch);

  std::vector<std::string> exts = SplitStars(extList);
  std::stable_sort(exts.begin(), exts.end(), ByteLess);
  std::vector<std::string> cats = SplitStars(categories);
  std::stable_sort(cats.begin(), cats.end(), ByteLess);
  cats.erase(std::unique(cats.begin(), cats.end()), cats.end());

  return WriteList(DataFile::kExtensions, toCatalog) && WriteList(DataFile::kExtList, exts) &&
         WriteList(DataFile::kExtTypeCatMatch, SplitStars(extMatch)) &&
         WriteList(DataFile::kExtCategory, cats);
}

void ZrnReg::GetRegistryZarnCategories(std::string& Categories, std::string& ExtensionPairs,
                                       std::string& ExtMatch) {
  plat::Registry& reg = plat::ClassesRoot();
  if (!reg.KeyExists(kCategoriesKey)) return;
  std::string cat;
  for (std::uint32_t i = 0; reg.EnumKey(kCategoriesKey, i, cat); ++i) {
    if (cat.empty()) continue;
    Categories += cat + "*";
    std::string incl = std::string(kCategoriesKey) + "\\" + cat + "\\Inclusions";
    if (!reg.KeyExists(incl)) continue;
    plat::RegValue v;
    for (std::uint32_t j = 0; reg.EnumValue(incl, j, v); ++j) {
      if (v.name.empty()) continue;  // the default value names no extension
      std::string ext(1, '.');
      ext += plat::AsciiLower(v.name);
      ext += '*';
      ExtensionPairs += ext;
      ExtMatch += cat + "*" + ext;
    }
  }
}

void ZrnReg::GetExtensions() {
  if (RegExtPtr)
    for (auto& s : ReadList(files_, DataFile::kExtensions)) RegExtPtr->push_back(s);
  std::memset(ExtListList, 0, sizeof ExtListList);
  std::string data;
  {
    ListFileReader r(files_, DataFile::kExtList);
    data = r.ReadAll();
  }
  // Only whole strings are kept, followed by the empty string that ends the
  // list: a cut ".mp" would match the wrong files.
  std::size_t keep = std::min(data.size(), sizeof ExtListList - 2);
  while (keep > 0 && data[keep - 1] != '\0') --keep;
  if (data.size() <= sizeof ExtListList - 2 && keep < data.size()) {
    // The file's last string lacks its NUL: it is whole, keep it too.
    keep = data.size();
  }
  std::memcpy(ExtListList, data.data(), keep);
}

std::vector<std::string> ZrnReg::ExtListItems() const {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos < sizeof ExtListList && ExtListList[pos] != '\0') {
    std::size_t len = strnlen(ExtListList + pos, sizeof ExtListList - pos);
    out.emplace_back(ExtListList + pos, len);
    pos += len + 1;
  }
  return out;
}

std::vector<std::string> ZrnReg::TypedExtensions() { return ReadList(files_, DataFile::kExtList); }

bool ZrnReg::SetExtensions() {
  lastError_ = plat::FileError::None;
  if (!RegExtPtr) return false;
  std::vector<std::string> items;
  for (auto& s : *RegExtPtr)
    if (!s.empty()) items.push_back(s);  // an empty string would end the list early
  return WriteList(DataFile::kExtensions, items);
}

void ZrnReg::GetUserAddedExt() {
  if (!ExtList) return;
  for (auto& s : ReadList(files_, DataFile::kExtensions)) {
    if (s == "~~~" || s == "~++" || s == "~--") continue;
    ExtList->push_back({s, 0, false});
  }
}

void ZrnReg::GetFileCategories(ListData& cb) {
  bool first = true;
  for (auto& s : ReadList(files_, DataFile::kExtCategory)) {
    // A combo box keeps one selection: each entry after the first takes it.
    if (!first)
      for (auto& e : cb) e.selected = false;
    cb.push_back({s, 0, !first});
    first = false;
  }
}

void ZrnReg::GetCatFileTypes(ListData& cb, const std::string& cat) {
  auto items = ReadList(files_, DataFile::kExtTypeCatMatch);
  bool first = true;
  for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
    if (items[i] != cat) continue;
    if (!first)
      for (auto& e : cb) e.selected = false;
    cb.push_back({items[i + 1], 0, !first});
    first = false;
  }
}

void ZrnReg::GetTypeCatMatchFiles(ListData& listData, std::string& extStr) {
  extStr = plat::AsciiLower(extStr);
  // Names and records from one catalog: a swap completes before, or waits
  // until both are read. A catalog being replaced lists nothing.
  CatalogReadScope scope;
  if (!scope.Usable()) return;
  std::string names, pairs;
  {
    ListFileReader n(files_, DataFile::kFilesBuf);
    names = n.ReadAll();
  }
  {
    ListFileReader p(files_, DataFile::kExtMatch);
    pairs = p.ReadAll();
  }
  std::size_t records = pairs.size() / sizeof(FilesTblStructType);
  for (std::size_t i = 0; i < records; ++i) {
    const unsigned char* r = reinterpret_cast<const unsigned char*>(pairs.data()) + i * 8;
    const std::uint32_t a = plat::GetLE32(r), b = plat::GetLE32(r + 4);
    if (a >= names.size()) {
      std::fputs("Funky Offset\n", stderr);
      continue;
    }
    std::size_t len = strnlen(names.data() + a, std::min<std::size_t>(200, names.size() - a));
    std::string name(names.data() + a, len);
    if (name.find(extStr) != std::string::npos) listData.push_back({name, b, false});
  }
}

bool ZrnReg::GetPathFromOffset(std::uint32_t Offset, std::string& buffer) {
  CatalogReadScope scope;
  if (!scope.Usable()) return false;
  ListFileReader r(files_, DataFile::kPathsBuf);
  HANDLE h = r.handle();
  if (!plat::IsOpen(h) || Offset >= files_.FileSize(h)) return false;
  char text[kGenBufferSize];
  files_.ReadFromFileAtOffset(text, h, Offset);
  buffer = text;
  return true;
}

void ZrnReg::SetNewCategory(const std::string& newCat) {
  std::string name = AfterFirstDot(newCat);
  // "." alone would name the categories key itself.
  if (newCat.empty() || name.empty()) {
    messages_.MessageBox("Error adding new extension", "Extension can not be empty", MB_OKCANCEL);
    return;
  }
  if (!plat::ClassesRoot().CreateKey(std::string(kCategoriesKey) + "\\" + name)) {
    messages_.MessageBox(std::string("The category could not be stored: ") +
                             plat::FileErrorText(plat::LastFileError()) + ".",
                         "Error", MB_OK);
    return;
  }
  messages_.MessageBox(
      "Note, file lists for this category will not appear until after next scan\n"
      "To rescan choose menu options:\nSearch; Word Catalog; Rescan",
      "Category added", MB_OKCANCEL);
}

void ZrnReg::SetNewCategoryExtension(const std::string& newCat, const std::string& newExt) {
  if (newCat.empty()) {
    messages_.MessageBox("Error adding new category", "Category must be selected", MB_OKCANCEL);
    return;
  }
  std::string value = AfterFirstDot(newExt);
  if (newExt.empty() || value.empty()) {
    messages_.MessageBox("Error adding new category", "Extension can not be empty", MB_OKCANCEL);
    return;
  }
  std::string incl = std::string(kCategoriesKey) + "\\" + newCat + "\\Inclusions";
  if (!plat::ClassesRoot().SetDword(incl, value, 42)) {
    messages_.MessageBox(std::string("The file type could not be stored: ") +
                             plat::FileErrorText(plat::LastFileError()) + ".",
                         "Error", MB_OK);
    return;
  }
  messages_.MessageBox(
      "Note, file lists for this Category/file type \nwill not appear until after next scan",
      "Category File Type added", MB_OKCANCEL);
}
