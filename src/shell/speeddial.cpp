#include "shell/speeddial.h"

#include <algorithm>
#include <cstring>

#include "platform/pdatadir.h"
#include "shell/heldfile.h"

namespace {

const char* const kTypeTexts[] = {"Home", "Work", "Fax", "Cel", "Other"};

std::string Slot(const char* s, std::size_t size) {
  const void* nul = std::memchr(s, 0, size);
  return std::string(s, nul ? static_cast<const char*>(nul) - s : size);
}

void PutLE(std::string& out, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

std::int32_t GetLE(const char* p) {
  std::uint32_t u = 0;
  for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(p[i]);
  return static_cast<std::int32_t>(u);
}

}  // namespace

const char* TelTypeText(std::int32_t type) {
  return kTypeTexts[type >= kHomePhone && type <= kOther ? type : kOther];
}

bool TelTypeFromText(const std::string& text, Tels& out) {
  for (int i = 0; i < 5; ++i) {
    const char* t = kTypeTexts[i];
    if (text.size() != std::strlen(t)) continue;
    bool same = true;
    for (std::size_t k = 0; same && k < text.size(); ++k) same = (text[k] | 0x20) == (t[k] | 0x20);
    if (same) {
      out = static_cast<Tels>(i);
      return true;
    }
  }
  return false;
}

TelNum MakeTelNum(Tels type, const std::string& name, const std::string& number) {
  TelNum t;
  std::memset(&t, 0, sizeof t);
  t.telType = type;
  std::memcpy(t.Name, name.data(), std::min<std::size_t>(name.size(), 39));
  std::memcpy(t.Number, number.data(), std::min<std::size_t>(number.size(), 29));
  return t;
}

std::string TelName(const TelNum& t) { return Slot(t.Name, sizeof t.Name); }
std::string TelNumber(const TelNum& t) { return Slot(t.Number, sizeof t.Number); }
Tels TelType(const TelNum& t) {
  return t.telType >= kHomePhone && t.telType <= kOther ? static_cast<Tels>(t.telType) : kOther;
}

std::string TelNumBytes(const TelNum& t) {
  std::string s;
  PutLE(s, t.telId);
  PutLE(s, t.telType);
  s.append(t.Name, sizeof t.Name);
  s.append(t.Number, sizeof t.Number);
  return s;
}

TelNum TelNumFromBytes(const char* b) {
  TelNum t;
  t.telId = GetLE(b);
  t.telType = GetLE(b + 4);
  std::memcpy(t.Name, b + 8, sizeof t.Name);
  std::memcpy(t.Number, b + 58, sizeof t.Number);
  return t;
}

std::string SpeedDialPath() { return plat::DataPath("SpeedDial.007"); }

namespace {

std::vector<TelNum> Parse(std::string& data) {
  // A damaged file's partial last record is filled up with zeros rather
  // than dropped, so that a rewrite loses no byte of it.
  if (data.size() % sizeof(TelNum))
    data.resize((data.size() / sizeof(TelNum) + 1) * sizeof(TelNum));
  std::vector<TelNum> out;
  for (std::size_t at = 0; at < data.size(); at += sizeof(TelNum))
    out.push_back(TelNumFromBytes(data.data() + at));
  return out;
}

std::string Serialize(const std::vector<TelNum>& list) {
  std::string s;
  for (const TelNum& t : list) s += TelNumBytes(t);
  return s;
}

}  // namespace

bool SpeedDialStore::GetTelNumbers(std::vector<TelNum>& out) const {
  out.clear();
  HeldFile f(path_);
  if (!plat::Fs().Exists(path_)) return true;
  std::string data;
  if (!f.Read(data)) return false;
  out = Parse(data);
  return true;
}

template <class Edit>
bool SpeedDialStore::Change(Edit edit) {
  HeldFile f(path_);
  std::string data;
  if (!f.Hold() || !f.Read(data)) {
    error_ = f.Held() ? plat::FileError::Other : f.Error();
    return false;
  }
  std::vector<TelNum> list = Parse(data);
  if (!edit(list)) {
    error_ = plat::FileError::None;
    return false;
  }
  if (!f.Replace(Serialize(list))) {
    error_ = f.Error();
    return false;
  }
  error_ = plat::FileError::None;
  return true;
}

bool SpeedDialStore::SetTelNumber(const TelNum& entry, std::int32_t* id) {
  std::int32_t got = 0;
  const std::string name = TelName(entry);
  const bool ok = Change([&](std::vector<TelNum>& list) {
    std::int32_t top = 0;
    for (TelNum& t : list) {
      if (TelName(t) == name && TelType(t) == TelType(entry)) {
        std::memcpy(t.Number, entry.Number, sizeof t.Number);
        got = t.telId;
        return true;
      }
      // Read into a value first: a record in the list may sit at any byte,
      // and std::max would bind a reference to the packed field.
      const std::int32_t tid = t.telId;
      top = std::max(top, tid);
    }
    // One above the highest id; after a damaged file's largest id, the
    // smallest free one.
    std::int32_t next = top < INT32_MAX ? top + 1 : 1;
    while (top == INT32_MAX &&
           std::any_of(list.begin(), list.end(), [&](const TelNum& t) { return t.telId == next; }))
      ++next;
    TelNum n = entry;
    n.telId = next;
    n.telType = TelType(entry);
    list.push_back(n);
    got = next;
    return true;
  });
  if (ok && id) *id = got;
  return ok;
}

bool SpeedDialStore::RemoveId(std::int32_t telId) {
  return Change([&](std::vector<TelNum>& list) {
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->telId == telId) {
        list.erase(it);
        return true;
      }
    }
    return false;
  });
}

int SpeedDialStore::RemoveName(const std::string& name) {
  int removed = 0;
  const bool ok = Change([&](std::vector<TelNum>& list) {
    const std::size_t before = list.size();
    std::erase_if(list, [&](const TelNum& t) { return TelName(t) == name; });
    removed = static_cast<int>(before - list.size());
    return removed > 0;
  });
  if (ok) return removed;
  return error_ == plat::FileError::None ? 0 : -1;
}
