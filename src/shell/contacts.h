// The contacts file "DES2": fixed 520-byte records without a header, each
// field a NUL-terminated single-byte text in a fixed-size slot, unused bytes
// zero. ContactsDB is the contact manager's file: a cursor that steps
// through the records the way the dialog's up-down control does, and the
// edits of the file (add, change, delete), each a whole-file replacement
// made while the file is held.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "shell/heldfile.h"

// One contact record, also the dialog's transfer buffer.
#pragma pack(push, 1)
struct TTransferCntct {
  char editFirstName[30];
  char editLastName[30];
  char editAddress1[80];
  char editAddress2[80];
  char editAddress3[80];
  char editPostalCode[80];
  char editPhone[30];
  char editFax[30];
  char editEmail[80];
};
#pragma pack(pop)
static_assert(sizeof(TTransferCntct) == 520);

// The nine fields in record order.
enum class ContactField {
  kFirstName,
  kLastName,
  kAddress1,
  kAddress2,
  kAddress3,
  kPostalCode,
  kPhone,
  kFax,
  kEmail
};
constexpr int kContactFields = 9;

struct ContactFieldInfo {
  ContactField field;
  std::size_t offset, size;
  int editId;        // the dialog's edit control
  const char* name;  // the command line's name for it
};
// Offsets, sizes, edit ids and names of the fields, in record order.
const std::array<ContactFieldInfo, kContactFields>& ContactFields();
// The field named `name` (as the command line writes it); false when none.
bool ContactFieldByName(const std::string& name, ContactField& out);

// A field's text: the bytes up to its NUL (all of the slot when a damaged
// record has none).
std::string GetField(const TTransferCntct& rec, ContactField f);
// Sets a field: at most size - 1 bytes (a UTF-8 character is never cut in
// two), the rest of the slot zero.
void SetField(TTransferCntct& rec, ContactField f, const std::string& text);
// An empty record: all zero.
TTransferCntct EmptyContact();
// The record's 520 bytes and back.
std::string ContactBytes(const TTransferCntct& rec);
TTransferCntct ContactFromBytes(const char* bytes);

// What Insert Address writes: the first name, a blank, then the last name,
// the three address lines and the postal code, each followed by CR LF.
std::string InsertAddressText(const TTransferCntct& rec);

// The number as a dialler takes it: digits and + * # ( ) - . only; empty
// when nothing of it can be dialled.
std::string DialableNumber(const std::string& typed);
// A mail address as the address part of a "mailto:" link: blanks around it
// dropped, every byte outside letters, digits and @ . _ + - percent-encoded,
// so that no header or attachment can ride along. Empty when empty.
std::string MailtoAddress(const std::string& typed);

// The path of the contacts file in the data directory.
std::string ContactsPath();

class ContactsDB {
 public:
  static constexpr long long kRecord = 520;

  // The file at `path`; read failures are reported on `diag` (standard
  // error in the program).
  ContactsDB(std::string path, std::ostream& diag);
  ~ContactsDB();

  // Holds the file for writing (creating it empty when missing). False when
  // another copy holds it; reading works all the same.
  bool OpenDB();
  // Lets the file go.
  void CloseDB();
  // Whether this object holds the file, and why not.
  bool Held() const { return file_.Held(); }
  plat::FileError HoldError() const { return file_.Error(); }

  // --- the cursor ----------------------------------------------------------------
  // Reads the record at the cursor into `rec` and moves past it; 0 (rec and
  // cursor unchanged) at the end or when the file cannot be read.
  long long ReadFromDB(TTransferCntct& rec);
  // Moves the cursor back two records; at the start it goes to 0.
  void ReposDB();
  // One step of the up-down control: a positive change shows the previous
  // record, any other the next. True when `rec` was read.
  bool Bump(int delta, TTransferCntct& rec);
  // After a Delete: reads the record at the cursor, or the one before it
  // when the deleted record was the last. False when the file is empty.
  bool ShowNear(TTransferCntct& rec);
  // The byte position of the cursor (a multiple of 520).
  long long Position() const { return pos_; }
  // The record shown last (-1 when none).
  long long Shown() const { return shown_; }

  // --- edits (need Held(); false with the file unchanged otherwise) -------------
  // Appends `rec` as a new record; it becomes the shown one.
  bool Add(const TTransferCntct& rec);
  // Rewrites record `index` with `rec`.
  bool Change(long long index, const TTransferCntct& rec);
  // Removes record `index`; the records after it move up.
  bool Delete(long long index);

  // --- whole-file reads ---------------------------------------------------------
  // The number of whole records; -1 when the file cannot be read.
  long long Count() const;
  // Record `index`; false when there is none.
  bool Get(long long index, TTransferCntct& rec) const;
  // Every whole record.
  std::vector<TTransferCntct> All() const;

  const std::string& Path() const { return file_.Path(); }

 private:
  bool Rewrite(const std::string& data);

  HeldFile file_;
  std::ostream& diag_;
  long long pos_ = 0;
  long long shown_ = -1;
};
