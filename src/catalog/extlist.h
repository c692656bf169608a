// A list of file name extensions for the catalog build (those whose files
// are read, those whose files are listed by type), matched against names
// without regard to ASCII case.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

class ExtensionList {
 public:
  // ASCII upper case to lower case; other bytes unchanged.
  static std::string Lower(std::string s);

  // Adds the extension, lower-cased, at the end of the list; an empty one
  // or one already listed is not added (false). `exe`: its files are
  // recorded without being read.
  bool Add(const std::string& ext, bool exe = false);
  // The position in the list of the first extension that the lower-cased
  // name ends with; -1 when none does.
  int FirstMatch(const std::string& lowerName) const;
  bool Exe(int i) const { return exts_[static_cast<std::size_t>(i)].exe; }
  std::size_t size() const { return exts_.size(); }
  // The same extensions, in the same order, with the same kinds.
  bool operator==(const ExtensionList& o) const { return exts_ == o.exts_; }

 private:
  struct Ext {
    std::string lower;
    bool exe = false;
    bool operator==(const Ext&) const = default;
  };
  std::vector<Ext> exts_;
  // An extension that begins with "." is found by looking up each
  // "."-suffix of a name; the rare others are compared one by one.
  std::unordered_map<std::string, int> dotted_;
  std::vector<int> others_;
};
