#include "zarn/zrnchain.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "zarn/zrnsedtv.h"

namespace {

// Tabs part numbers as blanks do: columns pasted from a table add up.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSeparator(char c) {
  return IsBlank(c) || c == '?' || c == '!' || c == '+' || c == '-' || c == '/' || c == '*';
}
bool IsOperator(char c) { return c == '+' || c == '-' || c == '*' || c == '/'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits, ',' and '.', with at least one digit.
bool IsDigitsWord(const std::string& s) {
  bool digit = false;
  for (char c : s) {
    if (IsDigit(c))
      digit = true;
    else if (c != ',' && c != '.')
      return false;
  }
  return digit;
}

// A number's value, read as the single operator reads its operands (commas
// after the first character dropped), but only when that reading takes the
// whole word: "1.2.3" or ",5" is no number of a run.
bool ReadNumber(const std::string& word, double& out) {
  if (!IsDigitsWord(word)) return false;
  std::string s = word;
  if (s.size() > 1) s.erase(std::remove(s.begin() + 1, s.end(), ','), s.end());
  char* endp = nullptr;
  out = std::strtod(s.c_str(), &endp);
  return endp == s.c_str() + s.size();
}

enum class Tok { Num, Op, LParen, RParen, Other, Cut };

struct Token {
  Tok kind;
  std::size_t pos;  // first character in the line
  std::size_t end;  // just past it
  char op = 0;
  double value = 0;
};

// Cuts the line as the tokenizer does (and at tabs) and sorts the pieces: numbers (with
// their parentheses as tokens of their own), operators, and anything else.
// When the line is longer than what is read, the word the limit falls into
// and all after it become one Cut token.
std::vector<Token> Lex(const std::string& line) {
  std::size_t n = line.size();
  bool cut = false;
  if (n > kChainTextSize) {
    n = kChainTextSize;
    while (n > 0 && !IsSeparator(line[n - 1]) && !IsSeparator(line[n])) --n;
    cut = true;
  }
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < n) {
    const char c = line[i];
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    if (IsOperator(c)) {
      out.push_back({Tok::Op, i, i + 1, c});
      ++i;
      continue;
    }
    if (c == '?' || c == '!') {
      out.push_back({Tok::Other, i, i + 1});
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < n && !IsSeparator(line[j])) ++j;
    std::size_t a = i, b = j;
    while (a < b && line[a] == '(') ++a;
    while (b > a && line[b - 1] == ')') --b;
    double v = 0;
    if (a == b || ReadNumber(line.substr(a, b - a), v)) {
      for (std::size_t k = i; k < a; ++k) out.push_back({Tok::LParen, k, k + 1});
      if (a < b) out.push_back({Tok::Num, a, b, 0, v});
      for (std::size_t k = b; k < j; ++k) out.push_back({Tok::RParen, k, k + 1});
    } else {
      out.push_back({Tok::Other, i, j});
    }
    i = j;
  }
  if (cut) out.push_back({Tok::Cut, n, line.size()});
  return out;
}

bool IsOperand(Tok t) { return t == Tok::Num || t == Tok::RParen; }
bool StartsOperand(Tok t) { return t == Tok::Num || t == Tok::LParen; }

// Recursive descent over one run with the usual precedence; division by
// zero gives 0. Fails on anything that is not one whole expression.
class Parser {
 public:
  Parser(const std::vector<Token>& t, std::size_t from, std::size_t to)
      : t_(t), i_(from), to_(to) {}

  bool Parse(double& value) {
    if (!Expr(value, 0) || i_ != to_) return false;
    return !overflow_;
  }
  int Operators() const { return binary_; }

 private:
  // Deeper nesting than this is refused rather than recursed into.
  static constexpr int kMaxDepth = 200;

  bool Peek(char op) const { return i_ < to_ && t_[i_].kind == Tok::Op && t_[i_].op == op; }
  double Check(double v) {
    if (!std::isfinite(v)) overflow_ = true;
    return v;
  }

  bool Expr(double& v, int depth) {
    if (!Term(v, depth)) return false;
    while (Peek('+') || Peek('-')) {
      const char op = t_[i_++].op;
      ++binary_;
      double r = 0;
      if (!Term(r, depth)) return false;
      v = Check(op == '+' ? v + r : v - r);
    }
    return true;
  }
  bool Term(double& v, int depth) {
    if (!Unary(v, depth)) return false;
    while (Peek('*') || Peek('/')) {
      const char op = t_[i_++].op;
      ++binary_;
      double r = 0;
      if (!Unary(r, depth)) return false;
      v = Check(op == '*' ? v * r : (r == 0.0 ? 0.0 : v / r));
    }
    return true;
  }
  bool Unary(double& v, int depth) {
    if (depth > kMaxDepth) return false;
    if (Peek('-') || Peek('+')) {
      const char op = t_[i_++].op;
      if (!Unary(v, depth + 1)) return false;
      if (op == '-') v = -v;
      return true;
    }
    if (i_ >= to_) return false;
    const Token& t = t_[i_];
    if (t.kind == Tok::Num) {
      ++i_;
      v = Check(t.value);
      return true;
    }
    if (t.kind == Tok::LParen) {
      ++i_;
      if (!Expr(v, depth + 1)) return false;
      if (i_ >= to_ || t_[i_].kind != Tok::RParen) return false;
      ++i_;
      return true;
    }
    return false;
  }

  const std::vector<Token>& t_;
  std::size_t i_, to_;
  int binary_ = 0;
  bool overflow_ = false;
};

}  // namespace

bool IsNumberWord(const std::string& word) {
  std::size_t a = 0, b = word.size();
  while (a < b && word[a] == '(') ++a;
  while (b > a && word[b - 1] == ')') --b;
  if (a < b && (word[a] == '+' || word[a] == '-')) ++a;
  return IsDigitsWord(word.substr(a, b - a));
}

ZrnChain FindChain(const std::string& line, std::size_t opAt) {
  ZrnChain result;
  const std::vector<Token> toks = Lex(line);
  std::size_t anchor = toks.size();
  for (std::size_t k = 0; k < toks.size(); ++k)
    if (toks[k].kind == Tok::Op && toks[k].pos == opAt) anchor = k;
  if (anchor == toks.size()) return result;

  // The stretch around the anchor: no other word, no two operands side by side.
  auto breaksBefore = [&](std::size_t k) {
    if (toks[k].kind == Tok::Other || toks[k - 1].kind == Tok::Other) return true;
    if (toks[k].kind == Tok::Cut || toks[k - 1].kind == Tok::Cut) return false;
    return IsOperand(toks[k - 1].kind) && StartsOperand(toks[k].kind);
  };
  std::size_t from = anchor, to = anchor + 1;
  while (from > 0 && !breaksBefore(from)) --from;
  while (to < toks.size() && !breaksBefore(to)) ++to;

  // Operators dangling at either end go, as do a ")" at the start and a "("
  // at the end; a leading sign written against its number stays.
  auto isSign = [&](std::size_t k) {
    const Token& t = toks[k];
    if (t.op != '+' && t.op != '-') return false;
    const bool before = t.pos == 0 || IsBlank(line[t.pos - 1]) || line[t.pos - 1] == '(';
    const bool after = t.end < line.size() && (IsDigit(line[t.end]) || line[t.end] == '(');
    return before && after;
  };
  while (from < to &&
         ((toks[from].kind == Tok::Op && !isSign(from)) || toks[from].kind == Tok::RParen))
    ++from;
  while (to > from && (toks[to - 1].kind == Tok::Op || toks[to - 1].kind == Tok::LParen)) --to;
  if (anchor < from || anchor >= to) return result;

  int ops = 0;
  bool cut = false;
  for (std::size_t k = from; k < to; ++k) {
    if (toks[k].kind == Tok::Op) ++ops;
    if (toks[k].kind == Tok::Cut) cut = true;
  }
  result.begin = toks[from].pos;
  result.end = toks[to - 1].end;
  if (cut) {
    result.kind = ops > 1 ? ZrnChain::kLeftAlone : ZrnChain::kNoChain;
    return result;
  }
  Parser p(toks, from, to);
  double v = 0;
  const bool ok = p.Parse(v);
  if (ok) {
    result.operators = p.Operators();
    if (result.operators < 2) return ZrnChain{};
    result.kind = ZrnChain::kValue;
    result.value = v;
    return result;
  }
  // Counting every operator written: "(2 + 3 * 4" has two and is not the
  // single operator's case.
  result.operators = ops;
  result.kind = ops > 1 ? ZrnChain::kLeftAlone : ZrnChain::kNoChain;
  return result;
}

namespace {

// Where in the captured line the operator token at token-list index `idx`
// stands: the token list holds an operator token in front of each word
// whose look-back (over blanks, "?", "!" and backslashes) finds one.
std::size_t OperatorOffset(const TZarnsEditView& v, const std::string& line) {
  const int want = v.ZarnTokInLine;
  int idx = 0;
  const int words = std::min(v.NumTokens, kMaxTokPositions - 1);
  for (int k = 0; k < words && idx <= want; ++k) {
    const int l = v.tokpositions[k];
    if (l < 0 || static_cast<std::size_t>(l) > line.size()) return std::string::npos;
    for (int j = l - 1; j >= 0; --j) {
      const char c = line[static_cast<std::size_t>(j)];
      if (c == ' ' || c == '?' || c == '!' || c == '\\') continue;
      if (IsOperator(c)) {
        if (idx == want) return static_cast<std::size_t>(j);
        ++idx;
      }
      break;
    }
    ++idx;  // the word itself
  }
  return std::string::npos;
}

}  // namespace

bool RunArithmeticChain(TZarnsEditView& v) {
  TextBuffer* b = v.Buffer();
  if (!b || v.zarn.size() != 1 || !IsOperator(v.zarn[0])) return false;
  const int len = std::max(b->GetLineLengthAt(v.LineStart()), 0);
  // One character more than is read, so that a longer line shows as one.
  const std::uint32_t take = static_cast<std::uint32_t>(
      std::min<std::size_t>(static_cast<std::size_t>(len), kChainTextSize + 1));
  const std::string line = b->GetSubText(v.LineStart(), v.LineStart() + take);
  const std::size_t at = OperatorOffset(v, line);
  // The tables must still describe this line: the operator is where they say.
  if (at == std::string::npos || at >= line.size() || line[at] != v.zarn[0]) return false;
  const ZrnChain chain = FindChain(line, at);
  if (chain.kind == ZrnChain::kNoChain) return false;
  if (chain.kind == ZrnChain::kLeftAlone) return true;
  std::size_t end = chain.end;
  while (end < line.size() && IsBlank(line[end])) ++end;
  b->DeleteSubText(v.LineStart() + static_cast<std::uint32_t>(chain.begin),
                   v.LineStart() + static_cast<std::uint32_t>(end));
  v.InsertText(TZarnsEditView::NumberText(chain.value));
  // The tables describe the line as it was; the next run captures it again.
  v.NumTokens = 0;
  return true;
}
