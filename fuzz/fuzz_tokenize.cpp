// The caret line and the identification loop: any text, any caret or
// selection, any command of the view. Whatever the command does, the lines
// other than the caret line must stay as they were.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzenv::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  fuzzenv::Reset();
  const std::uint16_t caret = static_cast<std::uint16_t>(data[0] | data[1] << 8);
  const std::uint8_t selLen = data[2];
  const std::uint8_t cmd = data[3];
  const std::string body(reinterpret_cast<const char*>(data + 4), size - 4);
  const std::string text = "above line\r\n" + body + "\r\nbelow line";
  fuzzenv::Doc* d = fuzzenv::NewDoc(text);
  MemoryTextBuffer& b = *d->buf;
  const std::uint32_t len = b.GetTextLength();
  const std::uint32_t s = 12 + caret % (len - 12 - 11);  // within the fuzzed lines
  b.SetSelection(s, cmd & 0x80 ? s + selLen : s);
  d->view->SetFocus();
  static const int kCommands[] = {21, 293, 264, 268, 23};
  const std::string before = b.GetText();
  const int id = kCommands[(cmd & 0x7F) % 5];
  ViewCommands(*d->view).Command(id);
  // Run, calculator, date and phone only touch the caret line (a stored
  // zarn could expand to anything, but the data directory holds none).
  const std::string after = b.GetText();
  if (after.compare(0, 12, "above line\r\n") != 0) __builtin_trap();
  if (after.size() < 12 || after.compare(after.size() - 12, 12, "\r\nbelow line") != 0)
    __builtin_trap();
  // The token tables stay within their bounds.
  if (d->view->NumTokens < 0 || d->view->NumTokens >= kMaxTokPositions) __builtin_trap();
  return 0;
}
