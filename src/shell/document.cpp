#include "shell/document.h"

#include <cstdint>

#include "platform/pfile.h"
#include "platform/ptext.h"

bool TextDocument::Load(const std::string& path) {
  std::string bytes;
  if (!plat::ReadWholeFile(path, bytes)) return false;
  SetBytes(bytes, path);
  return true;
}

void TextDocument::SetBytes(const std::string& bytes, const std::string& path) {
  path_ = path;
  bytes_ = bytes;
  text_ = ToCrLf(bytes);
  utf8_ = IsValidUtf8(bytes);

  std::size_t counts[3] = {0, 0, 0};  // LF, CRLF, CR
  int firstSeen[3] = {-1, -1, -1};
  int order = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    int kind = -1;
    if (bytes[i] == '\r') {
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        kind = 1;
        ++i;
      } else {
        kind = 2;
      }
    } else if (bytes[i] == '\n') {
      kind = 0;
    }
    if (kind < 0) continue;
    if (counts[kind]++ == 0) firstSeen[kind] = order++;
  }
  int best = -1;
  for (int k = 0; k < 3; ++k) {
    if (counts[k] == 0) continue;
    if (best < 0 || counts[k] > counts[best] ||
        (counts[k] == counts[best] && firstSeen[k] < firstSeen[best]))
      best = k;
  }
  ending_ = best == 1 ? LineEnding::CRLF : best == 2 ? LineEnding::CR : LineEnding::LF;
  mixed_ = (counts[0] != 0) + (counts[1] != 0) + (counts[2] != 0) > 1;
  finalBreak_ = !bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r');
}

std::string TextDocument::ToBytes(const std::string& crlfText) const {
  // Unedited text goes back byte for byte, whatever breaks it mixed.
  if (crlfText == text_) return bytes_;
  return FromCrLf(crlfText, ending_);
}

bool TextDocument::Save(const std::string& crlfText) {
  if (path_.empty()) return false;
  return SaveAs(path_, crlfText);
}

bool TextDocument::SaveAs(const std::string& path, const std::string& crlfText) {
  if (path.empty()) return false;
  std::string bytes = ToBytes(crlfText);
  if (!plat::WriteFileAtomic(path, bytes)) return false;
  // What is on disk now is the new original.
  LineEnding keep = ending_;
  SetBytes(bytes, path);
  if (!mixed_ && bytes.find_first_of("\r\n") == std::string::npos) ending_ = keep;
  return true;
}

std::string TextDocument::ToCrLf(const std::string& bytes) { return plat::ToCrLf(bytes); }

std::string TextDocument::FromCrLf(const std::string& crlfText, LineEnding e) {
  return plat::ReplaceBreaks(crlfText, e == LineEnding::CRLF ? "\r\n"
                                       : e == LineEnding::LF ? "\n"
                                                             : "\r");
}

bool TextDocument::IsValidUtf8(const std::string& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size(), i = 0;
  while (i < n) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;  // stray continuation byte, overlong lead, or beyond U+10FFFF
    }
    if (i + len > n) return false;
    for (std::size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;  // surrogates are not characters
    i += len;
  }
  return true;
}
