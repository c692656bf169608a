#include "platform/ptext.h"

namespace plat {

std::string ReplaceBreaks(std::string_view text, std::string_view brk) {
  std::string out;
  // Room for a few widened breaks, so most texts need no second allocation.
  out.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += brk;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += brk;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace plat
