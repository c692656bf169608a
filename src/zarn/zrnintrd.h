// The script interpreter and the zarn identification loop. A script is a
// list of zarn lines structured by IF/ELSE/ENDIF, FOR ... TO/ENDFOR and
// WHILE/ENDWHILE lines: its block structure is checked first, then each
// ordinary line is replayed into the output document and run there. Saved
// scripts that a zarn names run here too.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zarn/zrnvexe.h"

class TZarnsEditView;
class ZarnContext;

enum pType { kAll = 0, kCalculate = 1 };

// Keyword codes of ContainsBranch.
enum ZrnBranch : int {
  kPlainLine = 0,
  kIf = 1,
  kElse = 2,
  kFor = 3,
  kWhile = 4,
  kOtherEnd = 5,
  kEndIf = 6,
  kEndElse = 7,
  kEndFor = 8,
  kEndWhile = 9
};

// One row of the instruction matrix: a closed block.
struct ZrnBlockRow {
  std::int32_t count = 0;      // FOR: the number after TO
  std::int32_t start = 0;      // line of the opening line
  std::int32_t condition = 0;  // IF 1 / outcome, ELSE 2, FOR the number after FOR, WHILE 4
  std::int32_t end = 0;        // line of the END line plus one
};

class ZrnIntrpDlg {
 public:
  // Bounds of a run: rows of the instruction matrix, characters of the
  // block listing, lines handled by one run (every loop ends), passes of
  // one WHILE loop before it is left.
  static constexpr std::size_t kMaxBlocks = 1000;
  static constexpr std::size_t kMaxListing = 4096;
  static constexpr long kMaxSteps = 50000;
  static constexpr int kMaxWhilePasses = 1000;
  // Saved scripts may run saved scripts; deeper than this they are taken
  // but not run, so a script that names itself ends.
  static constexpr int kMaxScriptDepth = 8;

  // With `instructions` (owned by the caller) the script lines; without, an
  // empty list of its own. Records the context's CurrentView and makes a
  // fresh executor.
  explicit ZrnIntrpDlg(ZarnContext& ctx, std::vector<std::string>* instructions = nullptr);
  virtual ~ZrnIntrpDlg();
  ZrnIntrpDlg(const ZrnIntrpDlg&) = delete;
  ZrnIntrpDlg& operator=(const ZrnIntrpDlg&) = delete;

  // Runs the script: the structure pass; when it finds an error, the error
  // box and nothing else; otherwise the block listing (shown when
  // ShowListing) and the execution pass.
  void RunScript();
  // The structure pass over `lines`: fills Matrix with the closed blocks and
  // Error with the first structure error (empty when there is none); true
  // when the structure holds. Runs nothing; the only boxes it shows are
  // GetForCount's, for FOR lines it cannot read.
  bool CheckStructure(const std::vector<std::string>& lines);
  // Fills Listing from Matrix: one row per block, whole rows only, at most
  // kMaxListing characters.
  void ListBlocks();
  // The execution pass over `lines` with the blocks of Matrix: ordinary
  // lines are replayed into the output document and run there; counts them
  // in Executed.
  void ExecuteLines(const std::vector<std::string>& lines);
  // What running a zarn means: `view` becomes its context's current view,
  // its caret line is captured and the identification loop runs on it.
  static void ProcessZarns(TZarnsEditView& view);
  // The keyword code of a line (first word, any case).
  static int ContainsBranch(const std::string& line);
  // The condition of an IF or WHILE line: "left == right", each side a
  // stored zarn's value when one of that (upper-case) name is stored.
  bool Check(const std::string& line);
  // The numbers of "FOR start TO end"; a number it cannot read is left alone.
  void GetForCount(const std::string& line, std::int32_t& start, std::int32_t& end);
  // Puts the iterator on line `line` (counted from 1).
  void ResetItr(int line, std::size_t& iterator) const;
  // IdentifyZarn(kAll).
  void Run() { IdentifyZarn(kAll); }
  // Offers the zarn at the caret and then each token to its left to the
  // executor; when none is taken, runs the catalog search. A saved script
  // the executor recognises is run.
  void IdentifyZarn(pType mode);
  // Appends the lines of `text` (split at CR LF; a last line without one
  // too) to the instruction list.
  void PopInstrucPtr(const std::string& text);

  // --- fields -------------------------------------------------------------------
  TZarnsEditView* EditView = nullptr;              // CurrentView at construction
  std::unique_ptr<TZarnsZrnExe> ZarnExe;           // the executor
  std::vector<std::string>* InstrucPtr = nullptr;  // one entry per script line
  std::vector<std::uint32_t> BCStack;              // block kinds, then loop counters
  std::vector<std::uint32_t> IStack;               // open blocks' lines and FOR bounds

  // Whether RunScript shows the block listing (saved scripts run quietly).
  bool ShowListing = true;
  // What the last RunScript found: the matrix, its listing, the structure
  // error shown (empty when none) and the number of lines executed.
  std::vector<ZrnBlockRow> Matrix;
  std::string Listing;
  std::string Error;
  long Executed = 0;

 private:
  ZrnBlockRow* FindStart(int line);
  ZrnBlockRow* FindEnd(int end);
  // One line of the structure pass; sets Error on a mismatch.
  void CheckLine(const std::string& line, int L, int& elseAllowed);
  // Adds a closed block; refuses the script when the matrix is full.
  void AddBlock(const ZrnBlockRow& row, int L);
  // A saved script runs like Test Zarn on its lines, without the listing.
  void RunSavedScript(const std::string& stored);
  // One line of the execution pass: moves the pass on (jumps over or back
  // to a block's lines) or runs an ordinary line; false ends the run.
  struct RunState;
  bool Step(const std::string& line, RunState& st);
  // Replays an ordinary line into the output document and runs it there;
  // false when no output document could be had.
  bool RunLine(const std::string& line);

  ZarnContext& ctx_;
  std::vector<std::string> ownList_;
};
