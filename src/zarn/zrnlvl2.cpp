#include "zarn/zrnlvl2.h"
#include "platform/pbytes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

namespace {

const char* const kNames[kLvl2Slots] = {"abs", "acos", "asin", "atan", "sin", "tan", "poly",
                                        "pow", "cos",  "div",  "ldiv", "log", "rand"};

// A double result shown as an integer: truncated toward zero. Results that
// are no number or out of range (acos 5, log 0, a huge power) show as 0
// instead of converting undefined values.
long long Truncate(double x) {
  if (!std::isfinite(x) || x >= 9.2e18 || x <= -9.2e18) return 0;
  return static_cast<long long>(x);
}

std::string Fmt(long long v) {
  char b[64];
  std::snprintf(b, sizeof b, "%lld ", v);
  return b;
}

}  // namespace

ZrnLvl2::ZrnLvl2(ZarnContext& ctx) : ctx_(ctx) {}

ZrnLvl2::~ZrnLvl2() = default;

std::int32_t ZrnLvl2::iv(const std::string& name) const {
  int slot = 0;
  for (; slot < kLvl2Slots; ++slot) {
    if (kNames[slot] && name == kNames[slot]) break;
  }
  return slot;
}

std::string ZrnLvl2::Compute(int slot, long long n, long long m) {
  const double d = static_cast<double>(n);
  switch (slot) {
    case L2abs: return Fmt(n < 0 ? -n : n);
    case L2acos: return Fmt(Truncate(std::acos(d)));
    case L2asin: return Fmt(Truncate(std::asin(d)));
    case L2atan: return Fmt(Truncate(std::atan(d)));
    case L2sin: return Fmt(Truncate(std::sin(d)));
    case L2tan: return Fmt(Truncate(std::tan(d)));
    case L2cos: return Fmt(Truncate(std::cos(d)));
    case L2log: return Fmt(Truncate(std::log(d)));
    case L2poly: return Fmt(n);
    case L2pow: return Fmt(Truncate(std::pow(static_cast<double>(m), d)));
    case L2div:
    case L2ldiv: {
      // Dividing by zero has no quotient: shown as quotient 0, remainder m,
      // which still satisfies m = q * n + r.
      long long q = 0, r = m;
      if (n != 0) {
        q = m / n;
        r = m % n;
      }
      char b[96];
      std::snprintf(b, sizeof b, "quot %lld rem %lld", q, r);
      return b;
    }
    case L2rand: {
      const unsigned long long range =
          n == 0 ? 10ULL : static_cast<unsigned long long>(n < 0 ? -n : n);
      return Fmt(static_cast<long long>(ctx_.NextRandom() % range));
    }
    default: return std::string();
  }
}

bool ZrnLvl2::check() {
  TZarnsEditView* v = ctx_.CurrentView;
  if (!v) return false;
  const std::string lower = plat::AsciiLower(v->zarn);
  const int slot = iv(lower);
  if (slot > L2rand) return false;

  int n = 0;
  v->GetNumber(n);
  // The search may have removed words left of the function word; its
  // index moved down by as many.
  int word = v->ZarnTokInLine - v->LeftRemoved();
  long long m = 0;
  if (slot == L2pow || slot == L2div || slot == L2ldiv) {
    // The second operand is the number just left of the function word, so
    // "2 pow 3" is 2 to the power 3 and "7 div 2" divides 7 by 2. A word
    // there that is no number stays and m is 0.
    const std::string left = v->WordAt(word - 1);
    if (!left.empty() && left.find_first_not_of("0123456789,") == std::string::npos &&
        left[0] != ',') {
      std::string digits = left;
      digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
      m = std::strtoll(digits.c_str(), nullptr, 10);
      if (m > INT32_MAX) m = INT32_MAX;
      v->RemoveWord(word - 1);
      --word;
    }
  }
  v->RemoveWord(word);
  v->InsertText(Compute(slot, n, m));
  return true;
}
