// The script interpreter and the zarn identification loop. A script is a
// list of zarn lines structured by IF/ELSE/ENDIF, FOR ... TO/ENDFOR and
// WHILE/ENDWHILE lines: its block structure is checked first, then each
// ordinary line is replayed into the output document and run there.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zarn/zrnvexe.h"

class TZarnsEditView;

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

  // With `instructions` (owned by the caller) the script lines; without, an
  // empty list of its own. Records CurrentView and makes a fresh executor.
  explicit ZrnIntrpDlg(std::vector<std::string>* instructions = nullptr);
  virtual ~ZrnIntrpDlg();
  ZrnIntrpDlg(const ZrnIntrpDlg&) = delete;
  ZrnIntrpDlg& operator=(const ZrnIntrpDlg&) = delete;

  // Structure pass, block listing, execution pass.
  void RunScript();
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
  // executor; when none is taken, runs the catalog search.
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
  std::vector<std::string> ownList_;
};

// How deep saved scripts are running inside each other right now.
extern int ScriptDepth;
