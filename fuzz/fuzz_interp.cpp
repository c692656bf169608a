// The script interpreter: any lines, as Test Zarn reads them. The run must
// end, and stay within its bounds whatever the block structure.
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "zarn/zrnintrd.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzenv::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::Reset();
  std::string text(reinterpret_cast<const char*>(data), size);
  fuzzenv::Doc* d = fuzzenv::NewDoc(text);
  d->view->SetFocus();
  ViewCommands(*d->view).CmTestzarn();
  return 0;
}
