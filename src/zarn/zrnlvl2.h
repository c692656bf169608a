// Level 2 of the zarn lookup: a fixed set of integer math words. The
// function word and the number next to it are replaced by the result.
#pragma once
#include <cstdint>
#include <string>

#include "store/zrnlvl.h"

class ZarnContext;

enum lvl2 {
  L2abs = 0,
  L2acos,
  L2asin,
  L2atan,
  L2sin,
  L2tan,
  L2poly,
  L2pow,
  L2cos,
  L2div,
  L2ldiv,
  L2log,
  L2rand
};

// Slots of the function table; the first 13 hold names.
constexpr int kLvl2Slots = 50;

class ZrnLvl2 : public ZrnLvl {
 public:
  // Works on the context's CurrentView; rand draws from the context.
  explicit ZrnLvl2(ZarnContext& ctx);
  ~ZrnLvl2() override;
  // The slot of `name` (exact comparison); 13 or more when it is none of
  // the function names.
  std::int32_t iv(const std::string& name) const;
  // Recognises the current view's zarn as a function (any case), computes it and
  // writes the result over the function word and its operand. False, with
  // the text untouched, when the zarn is no function.
  bool check();
  // The result text of function `slot` for operand n and second operand m
  // (pow, div, ldiv only); exposed for tests.
  std::string Compute(int slot, long long n, long long m);

 private:
  ZarnContext& ctx_;
};
