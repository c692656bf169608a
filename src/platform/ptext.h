// Line breaks of text held as bytes: the one conversion between the break
// styles that documents, the editor buffers and the command line share.
#pragma once
#include <string>
#include <string_view>

namespace plat {

// Every line break of `text` (CR LF, a lone CR or a lone LF) replaced by
// `brk`; all other bytes stay as they are.
std::string ReplaceBreaks(std::string_view text, std::string_view brk);
// Every line break as CR LF, the form the text buffers count offsets in.
inline std::string ToCrLf(std::string_view text) { return ReplaceBreaks(text, "\r\n"); }

}  // namespace plat
