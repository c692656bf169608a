// The speed-dial numbers, kept between openings of the dialog and between
// runs in a file of their own in the data directory, "SpeedDial.007": a
// sequence of 98-byte TelNum records without a header (little-endian
// 32-bit telId and telType, then Name[50] and Number[40], NUL-terminated,
// unused bytes zero). Every change replaces the whole file while it is held.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pfile.h"

enum Tels : std::int32_t { kHomePhone = 0, kWorkPhone = 1, kFax = 2, kCel = 3, kOther = 4 };

#pragma pack(push, 1)
struct TelNum {
  std::int32_t telId;
  std::int32_t telType;  // a Tels value
  char Name[50];
  char Number[40];
};
#pragma pack(pop)
static_assert(sizeof(TelNum) == 98);

// The texts of the types, index = Tels value: "Home", "Work", "Fax", "Cel", "Other".
const char* TelTypeText(std::int32_t type);
// The type named `text` (any case); false when none.
bool TelTypeFromText(const std::string& text, Tels& out);

// A new entry: telId 0, the type, the first 39 bytes of the name and the
// first 29 of the number, zero-filled.
TelNum MakeTelNum(Tels type, const std::string& name, const std::string& number);
// The name and number of an entry (up to the NUL, or the whole slot).
std::string TelName(const TelNum& t);
std::string TelNumber(const TelNum& t);
// A type that is no Tels value reads as kOther.
Tels TelType(const TelNum& t);
// The record's bytes (little-endian) and back.
std::string TelNumBytes(const TelNum& t);
TelNum TelNumFromBytes(const char* bytes);

// The path of the numbers file in the data directory.
std::string SpeedDialPath();

class SpeedDialStore {
 public:
  explicit SpeedDialStore(std::string path = SpeedDialPath()) : path_(std::move(path)) {}

  // The entries in file order; none when there is no file. False when the
  // file exists but cannot be read.
  bool GetTelNumbers(std::vector<TelNum>& out) const;
  // Stores an entry: the entry of the same name and type gets the new
  // number, else the entry is appended with the next free telId. `id`
  // receives the entry's telId. False (the file unchanged) on failure.
  bool SetTelNumber(const TelNum& entry, std::int32_t* id = nullptr);
  // Removes the entry with this telId; false when there is none or the
  // file could not be written.
  bool RemoveId(std::int32_t telId);
  // Removes every entry of this name; the number removed, -1 on failure.
  int RemoveName(const std::string& name);

  // Why the last change failed (Busy: another copy holds the file).
  plat::FileError Error() const { return error_; }
  const std::string& Path() const { return path_; }

 private:
  template <class Edit>
  bool Change(Edit edit);

  std::string path_;
  plat::FileError error_ = plat::FileError::None;
};
