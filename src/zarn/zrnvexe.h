// The executor: decides what a zarn word means and carries it out on the
// view that was current when it was made — a built-in word, a stored zarn
// (level 1), a level-2 function, a catalogued file name (level 3) — and the
// catalog search a word that nothing takes turns into. The stopwatch and
// the script output state are the context's.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "zarn/zarnctx.h"

class TZarnsEditView;

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

// The name of the script output document.
inline constexpr const char* kOutputDocName = "output.zrn";

class TZarnsZrnExe {
 public:
  // Works on the context's CurrentView as it is now.
  explicit TZarnsZrnExe(ZarnContext& ctx);
  virtual ~TZarnsZrnExe();
  TZarnsZrnExe(const TZarnsZrnExe&) = delete;
  TZarnsZrnExe& operator=(const TZarnsZrnExe&) = delete;

  // The built-in for the view's zarn, else the levels. 0: not taken.
  std::int32_t ProcessZarns();
  // Only "=", "equals", "+", "-", "*", "/"; any other word: 0.
  std::int32_t Calculator();
  // Levels 1 to 5, stopping at the first that takes the word.
  std::int32_t CheckLevels();
  // Stored zarn: 0 not stored, 1 replaced by its text, 2 a saved script,
  // left in InstrTok for the interpreter to run.
  std::int32_t CheckLevel1();
  bool CheckLevel2();  // level-2 function
  bool CheckLevel3();  // catalogued file name
  bool CheckLevel4() { return false; }
  bool CheckLevel5() { return false; }
  // Catalog search for the search text; shows the Find results dialog.
  void Match();
  // Replays one script line (cleaned of control bytes) on a line of its own
  // at the end of the output document, opening the document first when the
  // output view is not the current one, and puts the caret after it. The
  // output view becomes the current view and is returned; nullptr when no
  // output document could be written or opened. Running the line there is
  // the interpreter's part.
  TZarnsEditView* Execute(const std::string& line);
  // Whether a replayed line runs nothing: cleaned, it holds only blanks and tabs.
  static bool RunsNothing(const std::string& line);

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

 private:
  void Arith(int code);

  ZarnContext& ctx_;
};
