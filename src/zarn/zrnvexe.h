// The executor: decides what a zarn word means and carries it out on the
// view that was current when it was made — a built-in word, a stored zarn
// (level 1), a level-2 function, a catalogued file name (level 3) — and the
// catalog search a word that nothing takes turns into.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class TZarnsEditView;

// A system time record; the stopwatch uses hour to milliseconds.
struct ZrnSysTime {
  std::uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
  std::uint16_t wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};

// Stopwatch and script-output state, program-wide and zero at start.
extern std::int32_t timeinterval;  // 0: the next time press starts the stopwatch
extern ZrnSysTime swstart;         // stopwatch start
extern ZrnSysTime swlast;          // previous press
extern std::int32_t cp;            // offset where the last replayed script line ends

// Built-in word codes (translate).
enum ZrnBuiltin : int {
  kNotBuiltin = -1,
  kEquals = 0,
  kTime = 1,
  kDate = 2,
  kPlus = 3,
  kMinus = 4,
  kMult = 5,
  kDiv = 6,
  kSort = 7,
  kInput = 8,
  kOutput = 9,
  kSQL = 10,
  kPhone = 11
};

// Releases the catalog reader that zarn runs keep between runs (it holds
// the loaded catalog; the next run loads it again).
void DropCatalogReader();

// The name of the script output document.
inline constexpr const char* kOutputDocName = "output.zrn";

class TZarnsZrnExe {
 public:
  // Works on CurrentView as it is now.
  TZarnsZrnExe();
  virtual ~TZarnsZrnExe();

  // The built-in for the view's zarn, else the levels. 0: not taken.
  std::int32_t ProcessZarns();
  // Only "=", "equals", "+", "-", "*", "/"; any other word: 0.
  std::int32_t Calculator();
  // Levels 1 to 5, stopping at the first that takes the word.
  std::int32_t CheckLevels();
  // Stored zarn: 0 not stored, 1 replaced by its text, 2 a saved script
  // (which is then run).
  std::int32_t CheckLevel1();
  bool CheckLevel2();  // level-2 function
  bool CheckLevel3();  // catalogued file name
  bool CheckLevel4() { return false; }
  bool CheckLevel5() { return false; }
  // Catalog search for the search text; shows the Find results dialog.
  void Match();
  // Replays one script line into the output document and runs it there.
  // False when no output document could be opened.
  bool Execute(const std::string& line);

  // --- built-ins ------------------------------------------------------------
  void equals();
  void input();
  void output();
  void plus();
  void minus();
  void mult();
  void div();
  void Sort();
  void date();
  void time();
  void timereset();
  void Phone();
  void SQL() {}  // reserved: does nothing, the word counts as taken
  // Reads the word after the zarn and does nothing with it; no built-in word
  // leads here (speed dial lives in its own dialog).
  void speedDial();
  // later - earlier, field by field with borrows; an hour outside 0..23
  // (midnight crossed) shows as 0.
  static void DifTime(const ZrnSysTime& later, const ZrnSysTime& earlier, ZrnSysTime& result);
  // The built-in code of a word (exact comparison), kNotBuiltin for others.
  static int translate(const std::string& word);
  // The lines of a saved script (stored value: BEL name BEL, then the text
  // from the name on): the first line (the "zarn NAME" header) is dropped,
  // every further line kept, the last one also without a line break after it.
  static std::vector<std::string> SavedScriptLines(const std::string& stored);

  // --- fields, in the order of the data model ---------------------------------
  std::string InstrTok;               // the last saved script recognised at level 1
  TZarnsEditView* EditV = nullptr;    // the view to work on
  TZarnsEditView* OutView = nullptr;  // the output view of a script run

  // Saved scripts may run saved scripts; deeper than this they are taken
  // but not run, so a script that names itself ends.
  static constexpr int kMaxScriptDepth = 8;

 private:
  void RunSavedScript();
  void Arith(int code);
};
