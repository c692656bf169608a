// The zarn definition store: user-defined zarns (name, definition text,
// browse text) kept in four data files of the file set:
//   "EMSZrn.007" (11) names, "EMSVal.007" (12) definitions,
//   "BROWSE.007" (15) browse texts (description, 0x01, usage),
//   "EMSVt.007"  (14) the table of ZarnMatchStructType records.
// A table of N zarns holds N + 1 records; record k holds the offsets at which
// zarn k + 1's texts begin, record N where the next zarn's texts will begin.
// A zarn's ZrnID is the byte offset of its own record (12 * (number - 1)).
//
// The store is append-only except for browse texts; Reset Zarns removes it.
// Bytes past the offsets of the end record are what an interrupted store
// left: nothing points at them and the next store writes over them.
// Writers (Set, ModifyBrowseInfo) take the definitions file's lock first, so
// two of them, in this process or another, take turns; a writer that meets
// another's lock waits for it (plat::LockWait()) before refusing as Busy.
// Every user makes its own ZrnLvl1 over the file set it is given; objects of
// one file set share its handles and its in-memory name index.
#pragma once
#include <cstdint>
#include <string>

#include "store/zrnio.h"

// Why the store refused a change. Every refusal has exactly one cause, so
// a message can name it rather than list every possibility.
enum class StoreError {
  None,
  NameRule,    // the name is empty, longer than kMaxName, or holds white space/controls
  SizeRule,    // a text longer than kMaxText
  NotStored,   // no zarn of that name (browse-text modify)
  Busy,        // another writer kept the store files past the lock wait
  DiskFull,    // the disk or the user's quota is full
  Permission,  // the store files or the data directory may not be written
  Io           // any other read or write failure
};
// A short lower-case sentence naming the cause, for messages.
const char* StoreErrorText(StoreError e);
// The store's name for the cause of a failed file operation.
StoreError StoreErrorFrom(plat::FileError e);

// Base of the level classes (no data).
class ZrnLvl {
 public:
  virtual ~ZrnLvl();
};

class ZrnLvl1 : public ZrnLvl {
 public:
  // Longest text (name, definition, browse text) the store keeps: every
  // stored string is read back through a 4096-byte window.
  static constexpr std::size_t kMaxText = kGenBufferSize - 1;  // 4095
  // Longest zarn name: the browser and the editor line take names through
  // 80-byte buffers.
  static constexpr std::size_t kMaxName = 79;

  // The store in the files of `files`, which must outlive this object.
  explicit ZrnLvl1(ZrnIO& files);
  ~ZrnLvl1() override;

  // --- storing ---------------------------------------------------------------
  // Stores a zarn: appends name, definition and (when the value holds "zdesc"
  // or "zuse", any case) the browse text. On return `value` holds the
  // definition text and ZrnID the new zarn's table position. An existing zarn
  // of the same name is not replaced (lookups keep finding the oldest).
  // False, with nothing stored, for an empty name, a name longer than
  // kMaxName or holding white space/control bytes, a text longer than
  // kMaxText, or files that cannot be opened or written; LastError() says
  // which.
  bool Set(std::string& name, std::string& value);
  // Splits `text` at its first blank, tab, CR or LF into name and value (the
  // value starts with that character) and stores it. `text` holds the name
  // on return. Returns what Set(name, value) returns.
  bool Set(std::string& text);

  // --- looking up --------------------------------------------------------------
  // Upper-cases `name` in place (ASCII), looks it up without regard to case
  // (oldest first); when found, `value` receives the definition text exactly
  // as stored and the result is true. An empty name is never found.
  bool Get(std::string& name, std::string& value);
  // Lists names in table order. newlist true: opens the names and table
  // files, delivers nothing, returns true. Then each call delivers the next
  // name (as stored) and returns true; after the last zarn one empty name;
  // then false. Close with StopSet or CloseZarnFiles. The listing reads
  // through the file set's handles: one listing per file set at a time.
  bool GetZarnList(std::string& name, bool newlist);
  // Delivers the name of the zarn at table position ZrnID (newlist true opens
  // the names and table files first; they stay open until StopSet). An
  // invalid position delivers an empty name. Always true.
  bool GetZarn(std::string& name, bool newlist);
  // Upper-cases `name`; when the zarn is stored, `description` and `usage`
  // receive its browse text split at its first 0x01 (no 0x01: all of it is
  // the description and `usage` is left alone) and the result is true. A zarn
  // stored without browse text gives two empty texts. False at once for "".
  bool GetBrowseInfo(std::string& name, std::string& description, std::string& usage);
  // Upper-cases `name`; when stored, replaces its browse text by
  // description + 0x01 + usage and returns true. A text no longer than the old
  // one is written in place; a longer one is appended to the browse file and
  // the zarn's record points to it, so no neighbour is ever overwritten.
  // False when not stored, the files cannot be written, or the new text is
  // longer than kMaxText (LastError() says which). `description` is used as
  // working space.
  bool ModifyBrowseInfo(std::string& name, std::string& description, std::string& usage);

  // --- file handling -------------------------------------------------------------
  // Opens the names, definitions, table and browse files with "w".
  void StartSet();
  // Closes the handles of those four files.
  void StopSet();
  // Closes the handles of the table and names files.
  void CloseZarnFiles();

  // Reset Zarns: deletes the names, definitions, table, browse, package
  // text and package table files, and also the package membership file so
  // that no old membership attaches to zarns stored later. True when none of
  // them remains; otherwise `why`, when given, receives the cause.
  static bool ResetZarns(ZrnIO& files, StoreError* why = nullptr);

  // The cause of the last refused Set or ModifyBrowseInfo of this object;
  // None after one that succeeded.
  StoreError LastError() const { return lastError_; }

  // Telephone numbers are not kept in the store: these accept any list or
  // number and do nothing.
  template <class List>
  void GetTelNumbers(List&) {}
  template <class Num>
  void SetTelNumber(Num&) {}
  template <class Num>
  void UpdateTelNumber(Num&) {}
  template <class Num>
  void DeleteTelNumber(Num&) {}

  // Table position of the zarn last stored through this object, or the
  // position GetZarn is to read.
  std::uint32_t ZrnID = 0;

 private:
  // Records `e` as the cause and returns false, for one-line refusals.
  bool Refuse(StoreError e);
  // Refuses with the cause of the file operation that just failed.
  bool RefuseIo();

  ZrnIO& files_;
  StoreError lastError_ = StoreError::None;
  // The name listing: the record read last and the bytes that read gave.
  ZarnMatchStructType listRec_{};
  long listRead_ = 0;
};

// Cuts a value to be stored into its definition text (left in `value`) and
// its browse text (description, 0x01, usage, cut at the first "zdesc" and
// "zuse" in any case); true when either keyword occurs, else `browse` is
// empty. The split every store of a zarn makes.
bool SplitZarnValue(std::string& value, std::string& browse);
// Byte-wise ASCII upper case, as the store compares names.
void ZrnUpper(std::string& s);
