// The registry store.
//
// The program's keys live in the text file "registry" in the data directory:
//
//   ZARNS REGISTRY 1
//   K :Zarns.Application :FileCategories     a key, one field per path component
//   S :Content%20Type :text/plain            a string value of the key above
//   D :Count :42                             a 32-bit value (decimal)
//
// Every field starts with ":" (so an empty name, the default value, is ":")
// and escapes the bytes %, space, controls and everything from 0x7F up as
// %XX, so any byte of a name or value survives. A key line is written for
// every key, empty ones too; values follow their key. A file without the
// header line is ignored as a whole, a bad line on its own; the first save
// after reading a damaged file keeps the old one as "registry.corrupt".
// The file (0600) is rewritten atomically on every change and read again
// when the data directory changes or another running copy replaced it. A
// change waits for another copy's change, within the lock wait; a file that
// exists but cannot be read refuses changes rather than lose its keys.
//
// Order: subkeys enumerate by name compared without regard to ASCII case
// (then byte by byte), the program's keys and the MIME extension keys merged
// into one list; values enumerate in the order they were first set.
#include "platform/pregistry.h"
#include "platform/pbytes.h"
#include "platform/psort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/pdatadir.h"
#include "platform/pfile.h"

namespace plat {

Registry::~Registry() = default;

namespace {

const char kHeader[] = "ZARNS REGISTRY 1";
const char kContentType[] = "Content Type";

std::vector<std::string> SplitPath(const std::string& key) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : key) {
    if (c == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

std::string Escape(const std::string& s) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out = ":";
  for (unsigned char c : s) {
    if (c <= 0x20 || c >= 0x7F || c == '%') {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexVal(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescape(const std::string& tok, std::string& out) {
  if (tok.empty() || tok[0] != ':') return false;
  out.clear();
  for (std::size_t i = 1; i < tok.size(); ++i) {
    if (tok[i] == '%') {
      if (i + 2 >= tok.size()) return false;
      int h = HexVal(tok[i + 1]), l = HexVal(tok[i + 2]);
      if (h < 0 || l < 0) return false;
      out += static_cast<char>(h * 16 + l);
      i += 2;
    } else {
      out += tok[i];
    }
  }
  return true;
}

struct Key {
  std::string name;
  std::vector<RegValue> values;               // in the order first set
  std::vector<std::unique_ptr<Key>> subkeys;  // sorted by NoCaseLess

  Key* Sub(const std::string& n) {
    for (auto& k : subkeys)
      if (EqualsNoCase(k->name, n)) return k.get();
    return nullptr;
  }
  Key* AddSub(const std::string& n) {
    if (Key* k = Sub(n)) return k;
    auto k = std::make_unique<Key>();
    k->name = n;
    auto pos = std::upper_bound(
        subkeys.begin(), subkeys.end(), n,
        [](const std::string& a, const std::unique_ptr<Key>& b) { return NoCaseLess(a, b->name); });
    return subkeys.insert(pos, std::move(k))->get();
  }
  RegValue* Value(const std::string& n) {
    for (auto& v : values)
      if (EqualsNoCase(v.name, n)) return &v;
    return nullptr;
  }
};

// Identity of a file on disk, to notice that another process replaced it.
struct FileSig {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  long long mtimeNs = 0;
  bool operator==(const FileSig&) const = default;
};

FileSig SigOf(const std::string& path) {
  FileSig s;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  }
  return s;
}

// Holds the data directory's flock while a change is read, made and written,
// so two running copies never lose each other's changes. Another copy's
// change takes moments; one that holds the lock past the wait is refused.
class DirLock {
 public:
  DirLock() {
    fd_ = ::open(DataDir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // Without the directory there is nothing to lock; the write then fails
    // on its own.
    held_ = fd_ < 0 || FlockWithin(fd_, LOCK_EX);
  }
  ~DirLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  DirLock(const DirLock&) = delete;
  DirLock& operator=(const DirLock&) = delete;
  // False when another copy kept the lock past the wait.
  bool Held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

class StoreRegistry : public Registry {
 public:
  bool KeyExists(const std::string& key) override {
    std::lock_guard<std::recursive_mutex> g(mu_);
    Refresh();
    auto parts = SplitPath(key);
    if (parts.empty()) return true;
    return Find(parts) != nullptr || IsMimeKey(parts);
  }

  bool CreateKey(const std::string& key) override {
    std::lock_guard<std::recursive_mutex> g(mu_);
    DirLock lock;
    Refresh();
    auto parts = SplitPath(key);
    if (parts.empty()) return true;
    if (Find(parts)) return true;
    if (!lock.Held()) return Busy();
    Make(parts);
    return Commit();
  }

  bool DeleteKey(const std::string& key) override {
    std::lock_guard<std::recursive_mutex> g(mu_);
    DirLock lock;
    if (!lock.Held()) return Busy();
    Refresh();
    auto parts = SplitPath(key);
    if (parts.empty()) return false;  // the root stays
    std::vector<std::string> parentPath(parts.begin(), parts.end() - 1);
    Key* parent = Find(parentPath);
    if (!parent) return false;
    for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
      if (EqualsNoCase((*it)->name, parts.back())) {
        parent->subkeys.erase(it);
        return Commit();
      }
    }
    return false;  // missing, or a read-only extension key
  }

  bool SetString(const std::string& key, const std::string& name,
                 const std::string& value) override {
    RegValue v;
    v.name = name;
    v.type = RegType::String;
    v.str = value;
    return Set(key, v);
  }

  bool SetDword(const std::string& key, const std::string& name, std::uint32_t value) override {
    RegValue v;
    v.name = name;
    v.type = RegType::Dword;
    v.dword = value;
    return Set(key, v);
  }

  bool DeleteValue(const std::string& key, const std::string& name) override {
    std::lock_guard<std::recursive_mutex> g(mu_);
    DirLock lock;
    if (!lock.Held()) return Busy();
    Refresh();
    Key* k = Find(SplitPath(key));
    if (!k) return false;
    for (auto it = k->values.begin(); it != k->values.end(); ++it) {
      if (EqualsNoCase(it->name, name)) {
        k->values.erase(it);
        return Commit();
      }
    }
    return false;
  }

  std::optional<std::string> GetString(const std::string& key, const std::string& name) override {
    std::lock_guard<std::recursive_mutex> g(mu_);
    Refresh();
    auto parts = SplitPath(key);
    if (Key* k = Find(parts)) {
      if (RegValue* v = k->Value(name)) {
        if (v->type == RegType::String) return v->str;
        return std::nullopt;
      }
    }
    if (IsMimeKey(parts) && EqualsNoCase(name, kContentType)) return mime_[AsciiLower(parts[0])];
    return std::nullopt;
  }

  std::optional<std::uint32_t> GetDword(const std::string& key, const std::string& name) override {
    std::lock_guard<std::recursive_mutex> g(mu_);
    Refresh();
    if (Key* k = Find(SplitPath(key)))
      if (RegValue* v = k->Value(name))
        if (v->type == RegType::Dword) return v->dword;
    return std::nullopt;
  }

  bool EnumKey(const std::string& key, std::uint32_t index, std::string& name) override {
    std::lock_guard<std::recursive_mutex> g(mu_);
    Refresh();
    auto parts = SplitPath(key);
    if (parts.empty()) {
      const auto& names = RootNames();
      if (index >= names.size()) return false;
      name = names[index];
      return true;
    }
    Key* k = Find(parts);
    if (!k || index >= k->subkeys.size()) return false;
    name = k->subkeys[index]->name;
    return true;
  }

  bool EnumValue(const std::string& key, std::uint32_t index, RegValue& value) override {
    std::lock_guard<std::recursive_mutex> g(mu_);
    Refresh();
    auto parts = SplitPath(key);
    Key* k = Find(parts);
    std::size_t own = k ? k->values.size() : 0;
    if (index < own) {
      value = k->values[index];
      return true;
    }
    // An extension key adds its content type after the program's own values.
    if (index == own && IsMimeKey(parts) && !(k && k->Value(kContentType))) {
      value = RegValue{};
      value.name = kContentType;
      value.type = RegType::String;
      value.str = mime_[AsciiLower(parts[0])];
      return true;
    }
    return false;
  }

 private:
  bool Set(const std::string& key, const RegValue& v) {
    std::lock_guard<std::recursive_mutex> g(mu_);
    DirLock lock;
    if (!lock.Held()) return Busy();
    Refresh();
    Key* k = Make(SplitPath(key));
    if (RegValue* old = k->Value(v.name)) {
      std::string keepName = old->name;  // the first spelling stays
      *old = v;
      old->name = keepName;
    } else {
      k->values.push_back(v);
    }
    return Commit();
  }

  // A change refused because another copy kept the store past the wait.
  static bool Busy() {
    SetLastFileError(FileError::Busy);
    return false;
  }

  Key* Find(const std::vector<std::string>& parts) {
    Key* k = &root_;
    for (const auto& p : parts) {
      k = k->Sub(p);
      if (!k) return nullptr;
    }
    return k;
  }

  Key* Make(const std::vector<std::string>& parts) {
    Key* k = &root_;
    for (const auto& p : parts) k = k->AddSub(p);
    rootNamesValid_ = false;
    return k;
  }

  bool IsMimeKey(const std::vector<std::string>& parts) {
    return parts.size() == 1 && mime_.count(AsciiLower(parts[0])) != 0;
  }

  const std::vector<std::string>& RootNames() {
    if (!rootNamesValid_) {
      rootNames_.clear();
      for (auto& k : root_.subkeys) rootNames_.push_back(k->name);
      for (auto& [ext, type] : mime_)
        if (!root_.Sub(ext)) rootNames_.push_back(ext);
      std::sort(rootNames_.begin(), rootNames_.end(), NoCaseLess);
      rootNamesValid_ = true;
    }
    return rootNames_;
  }

  static std::string MimePath() {
    const char* m = std::getenv("ZARNS_MIME_TYPES");
    return (m && *m) ? std::string(m) : std::string("/etc/mime.types");
  }

  void Refresh() {
    std::string path = DataPath("registry");
    FileSig sig = SigOf(path);
    if (path != path_ || !(sig == sig_)) {
      path_ = path;
      Load();
    }
    std::string mpath = MimePath();
    FileSig msig = SigOf(mpath);
    if (mpath != mimePath_ || !(msig == mimeSig_)) {
      mimePath_ = mpath;
      mimeSig_ = msig;
      LoadMime();
    }
  }

  void Load() {
    root_ = Key{};
    corrupt_ = false;
    rootNamesValid_ = false;
    unreadable_ = false;
    sig_ = SigOf(path_);
    std::string data;
    if (!sig_.exists) return;
    if (!ReadWholeFile(path_, data)) {
      // Keys that are stored but could not be read must never be replaced
      // by the few in memory: changes are refused until the file reads
      // again, and the next look tries it again.
      unreadable_ = true;
      sig_ = FileSig{};
      return;
    }
    std::size_t pos = 0;
    bool first = true;
    Key* cur = nullptr;
    while (pos < data.size()) {
      std::size_t nl = data.find('\n', pos);
      std::string line = data.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
      pos = nl == std::string::npos ? data.size() : nl + 1;
      if (first) {
        first = false;
        if (line != kHeader) {  // not ours: ignore it all
          corrupt_ = true;
          root_ = Key{};
          return;
        }
        continue;
      }
      if (line.empty()) continue;
      std::vector<std::string> toks;
      std::size_t s = 0;
      for (;;) {
        std::size_t sp = line.find(' ', s);
        toks.push_back(line.substr(s, sp == std::string::npos ? std::string::npos : sp - s));
        if (sp == std::string::npos) break;
        s = sp + 1;
      }
      std::vector<std::string> fields;
      bool ok = true;
      for (std::size_t i = 1; i < toks.size() && ok; ++i) {
        std::string f;
        ok = Unescape(toks[i], f);
        fields.push_back(f);
      }
      if (ok && toks[0] == "K") {
        bool named = std::all_of(fields.begin(), fields.end(), [](const std::string& f) {
          return !f.empty() && f.find('\\') == std::string::npos;
        });
        cur = named ? Make(fields) : nullptr;
        if (!named) corrupt_ = true;
        continue;
      }
      if (ok && cur && toks[0] == "S" && fields.size() == 2) {
        if (!cur->Value(fields[0]))
          cur->values.push_back(RegValue{fields[0], RegType::String, fields[1], 0});
        continue;
      }
      if (ok && cur && toks[0] == "D" && fields.size() == 2) {
        const std::string& d = fields[1];
        bool digits = !d.empty() && d.size() <= 10 &&
                      std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
        unsigned long long n = digits ? std::strtoull(d.c_str(), nullptr, 10) : 0;
        if (digits && n <= 0xFFFFFFFFull) {
          if (!cur->Value(fields[0]))
            cur->values.push_back(
                RegValue{fields[0], RegType::Dword, "", static_cast<std::uint32_t>(n)});
          continue;
        }
      }
      corrupt_ = true;  // a line we cannot read is dropped on its own
    }
    if (first) corrupt_ = false;  // an empty file is merely empty
  }

  void LoadMime() {
    mime_.clear();
    rootNamesValid_ = false;
    std::string data;
    if (!mimeSig_.exists) return;
    if (!ReadWholeFile(mimePath_, data)) {
      mimeSig_ = FileSig{};  // a failed read is tried again on the next look
      return;
    }
    std::size_t pos = 0;
    while (pos < data.size()) {
      std::size_t nl = data.find('\n', pos);
      std::string line = data.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
      pos = nl == std::string::npos ? data.size() : nl + 1;
      std::size_t hash = line.find('#');
      if (hash != std::string::npos) line.resize(hash);
      std::vector<std::string> toks;
      std::string cur;
      for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r') {
          if (!cur.empty()) toks.push_back(cur);
          cur.clear();
        } else {
          cur += c;
        }
      }
      if (!cur.empty()) toks.push_back(cur);
      if (toks.size() < 2 || toks[0].find('/') == std::string::npos) continue;
      for (std::size_t i = 1; i < toks.size(); ++i) {
        if (toks[i].find('\\') != std::string::npos) continue;
        std::string ext(1, '.');
        ext += AsciiLower(toks[i]);
        mime_.emplace(ext, toks[0]);  // the first type named for an extension wins
      }
    }
  }

  std::string Serialize() const {
    std::string out = kHeader;
    out += '\n';
    std::vector<std::string> path;
    WriteKey(root_, path, out);
    return out;
  }

  static void WriteKey(const Key& k, std::vector<std::string>& path, std::string& out) {
    if (!path.empty() || !k.values.empty()) {
      out += 'K';
      for (const auto& p : path) out += ' ' + Escape(p);
      out += '\n';
      for (const auto& v : k.values) {
        if (v.type == RegType::String)
          out += "S " + Escape(v.name) + ' ' + Escape(v.str) + '\n';
        else
          out += "D " + Escape(v.name) + " :" + std::to_string(v.dword) + '\n';
      }
    }
    for (const auto& s : k.subkeys) {
      path.push_back(s->name);
      WriteKey(*s, path, out);
      path.pop_back();
    }
  }

  // Writes the store; on failure the memory goes back to what the disk holds,
  // so what the program sees is always what was stored.
  bool Commit() {
    rootNamesValid_ = false;
    if (unreadable_) {
      Load();
      SetLastFileError(FileError::Other);
      return false;
    }
    if (corrupt_) {
      // The damaged file is replaced only once a copy of it is safe.
      std::string old;
      if (!ReadWholeFile(path_, old) || !WriteDataFileAtomic(path_ + ".corrupt", old)) {
        FileError cause = LastFileError();
        Load();
        SetLastFileError(cause);
        return false;
      }
    }
    bool ok = WriteDataFileAtomic(path_, Serialize());
    if (ok) {
      corrupt_ = false;
      sig_ = SigOf(path_);
    } else {
      FileError cause = LastFileError();
      Load();
      SetLastFileError(cause);
    }
    return ok;
  }

  std::recursive_mutex mu_;
  Key root_;
  std::string path_;
  FileSig sig_;
  bool corrupt_ = false;
  bool unreadable_ = false;  // the file exists but the last read failed
  std::string mimePath_;
  FileSig mimeSig_;
  std::map<std::string, std::string> mime_;  // ".ext" (lower case) -> MIME type
  std::vector<std::string> rootNames_;
  bool rootNamesValid_ = false;
};

Registry* g_registry = nullptr;

}  // namespace

Registry& ClassesRoot() {
  static StoreRegistry store;
  return g_registry ? *g_registry : store;
}

void SetClassesRoot(Registry* r) { g_registry = r; }

}  // namespace plat
