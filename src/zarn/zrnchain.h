// Arithmetic over a whole run of numbers and operators: "1 + 2 + 3 + 4",
// "2 + 3 * 4", "(2 + 3) * 4". When the operator a run lands on belongs to
// such a run with more than one operator, the run is evaluated with the
// usual precedence and replaced by its value; a run with one operator is
// left to the single-operator built-in. Also: what counts as a number word.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class TZarnsEditView;

// Whether `word` is a number: digits with optional ',' and '.', an optional
// leading sign, and any parentheses around it ("1,200", "-3", "2.5", "(2",
// "4)"). Such words are never looked up as file names.
bool IsNumberWord(const std::string& word);

// The run of numbers and operators around one operator of a line.
struct ZrnChain {
  enum Kind {
    kNoChain,   // no run, or one with a single operator: the built-in's own case
    kValue,     // a well-formed run with more than one operator: `value`
    kLeftAlone  // more than one operator but no usable value: the text stays
  };
  Kind kind = kNoChain;
  std::size_t begin = 0;  // the run within the line: first character
  std::size_t end = 0;    // just past its last character
  int operators = 0;      // binary operators of the run
  double value = 0;
};

// At most this many characters of a line are read for a run; a run that
// goes on past them is left alone rather than summed in part.
inline constexpr std::size_t kChainTextSize = 4096;

// The run around the operator character at `opAt` of `line`:
// - a number is a whole word (the words are cut at " ?!+-/*" as the
//   tokenizer cuts them, and at tabs): "week7" or "$5" is text and breaks a
//   run, as does any other word or a "?" / "!";
// - two numbers with no operator between them end one run and start another;
// - operators dangling at either end are not part of the run; a leading
//   "+" or "-" written against its number ("-5") is its sign;
// - dividing by zero gives 0, as the single operator does;
// - malformed runs (unbalanced or misplaced parentheses, two operators in a
//   row other than a sign), a value or operand that overflows, and runs
//   longer than kChainTextSize are kLeftAlone: any partial result would be
//   wrong, so the text keeps what the user wrote.
ZrnChain FindChain(const std::string& line, std::size_t opAt);

// For the arithmetic built-ins: when the operator the view's zarn index
// stands on belongs to a run with more than one operator, the run is
// handled here (replaced by its value, or left as it is) and true is
// returned; false leaves the single-operator case to the caller.
bool RunArithmeticChain(TZarnsEditView& view);
