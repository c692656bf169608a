// Level-2 functions and the operand search on any line: nothing outside the
// caret line changes.
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "zarn/zrnlvl2.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzenv::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  fuzzenv::Reset();
  static const char* const kWords[] = {"abs", "pow", "div", "ldiv", "rand", "log", "acos", "cos"};
  const std::string line = std::string(kWords[data[0] % 8]) + " " +
                           std::string(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string text = "top\r\n" + line + "\r\nbottom";
  fuzzenv::Doc* d = fuzzenv::NewDoc(text);
  d->buf->SetSelection(5 + data[1] % 4, 5 + data[1] % 4);
  d->view->SetFocus();
  d->view->DoToken();
  ZrnLvl2(fuzzenv::Ctx()).check();
  const std::string after = d->buf->GetText();
  if (after.compare(0, 5, "top\r\n") != 0) __builtin_trap();
  if (after.size() < 8 || after.compare(after.size() - 8, 8, "\r\nbottom") != 0) __builtin_trap();
  return 0;
}
