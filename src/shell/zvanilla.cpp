#include "shell/zvanilla.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>

namespace {

constexpr std::uint32_t kHigh = 0x80808080u;
constexpr std::uint32_t kPrintBits = 0x60606060u;

// Per byte of `v`: 0x80 where the byte has bit 0x20 or 0x40, else 0. The sum
// of two bytes of at most 0x60 never carries into the next byte.
inline std::uint32_t PrintableBytes(std::uint32_t v) {
  return ((v & kPrintBits) + kPrintBits) & kHigh;
}

inline unsigned char Blank(unsigned char b) { return b == 0x0D ? 0x0D : 0x20; }

// One group of up to 4 bytes, by the rules of a whole group.
void CleanGroup(unsigned char* g, std::size_t n) {
  bool high = false, anyPrintable = false;
  for (std::size_t i = 0; i < n; ++i) {
    high = high || g[i] >= 0x80;
    anyPrintable = anyPrintable || (g[i] & 0x60) != 0;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (high || !anyPrintable || (g[i] & 0x60) == 0) g[i] = Blank(g[i]);
  }
}

}  // namespace

void CleanBlock(unsigned char* block, std::size_t n) {
  if (n > TZarnsVanilla::kBlock) n = TZarnsVanilla::kBlock;
  const std::size_t groups = n / TZarnsVanilla::kGroup;
  for (std::size_t k = 0; k < groups; ++k) {
    unsigned char* g = block + k * TZarnsVanilla::kGroup;
    std::uint32_t v;
    std::memcpy(&v, g, 4);
    // Most groups of a text are four printable ASCII bytes: nothing to do.
    if ((v & kHigh) == 0 && PrintableBytes(v) == kHigh) continue;
    CleanGroup(g, 4);
  }
  // The bytes after the last whole group get the same rules as a group, so
  // that no control or high byte of a file's tail reaches the output.
  if (n % TZarnsVanilla::kGroup)
    CleanGroup(block + groups * TZarnsVanilla::kGroup, n % TZarnsVanilla::kGroup);
}

// A word cut by the end of a round counts as two words: the output stays
// exactly the one the 1024-byte rounds define, which tools and tests can
// rely on byte for byte.
const std::string& VanillaWords::Block(const unsigned char* block, std::size_t n) {
  line_.clear();
  kept_ = 0;
  std::size_t i = 0;
  while (i < n) {
    while (i < n && block[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < n && block[i] != ' ') ++i;
    if (i > start) Word(block + start, i - start);
  }
  if (kept_ == 0) line_.clear();
  return line_;
}

void VanillaWords::Word(const unsigned char* w, std::size_t len) {
  if (len < 3) {
    if (pending_.size() > TZarnsVanilla::kPendingLimit) pending_.clear();
    pending_.append(reinterpret_cast<const char*>(w), len);
    pending_ += ' ';
    return;
  }
  if (!pending_.empty()) {
    line_ += pending_;
    pending_.clear();
  }
  line_.append(reinterpret_cast<const char*>(w), len);
  line_ += ' ';
  if (line_.size() > 4) ++kept_;
}

TZarnsVanilla::~TZarnsVanilla() = default;

std::string TZarnsVanilla::OutputName(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = fileName.rfind('.');
  std::string stem =
      dot != std::string::npos && dot >= nameStart ? fileName.substr(0, dot) : fileName;
  std::string ext =
      dot != std::string::npos && dot >= nameStart ? fileName.substr(dot) : std::string();
  bool isZxt = ext.size() == 4;
  for (std::size_t i = 0; isZxt && i < 4; ++i) isZxt = (ext[i] | (i ? 0x20 : 0)) == ".zxt"[i];
  return stem + (isZxt ? "-text.zxt" : ".zxt");
}

bool TZarnsVanilla::ReadWords(const std::string& fileName, std::string& filecreated) {
  VanillaResult r = ReadWords(fileName);
  if (r.ok) filecreated = r.output;
  return r.ok;
}

namespace {

std::string Describe(const std::string& what, const std::string& path) {
  return what + " \"" + path + "\": " + plat::FileErrorText(plat::LastFileError()) + ".";
}

// A temporary name beside `out`, unique in this process and between copies.
std::string TempBeside(const std::string& out) {
  static std::atomic<unsigned> serial{0};
  const std::size_t slash = out.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : out.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? out : out.substr(slash + 1);
  return dir + "." + base + "." + std::to_string(::getpid()) + "." + std::to_string(serial++);
}

}  // namespace

VanillaResult TZarnsVanilla::ReadWords(const std::string& fileName) {
  VanillaResult r;
  r.output = OutputName(fileName);
  plat::FileSystem& fs = plat::Fs();
  // The source is a document: read without a share lock, as the editor does.
  plat::HANDLE in = fs.Open(fileName, plat::Access::ReadUnlocked, plat::Creation::OpenExisting);
  // A source that cannot be read is reported, not turned into an empty
  // document that would look like a file without words.
  if (!plat::IsOpen(in)) {
    r.error = Describe("Cannot read", fileName);
    return r;
  }
  // The words go to a temporary file that replaces the output at the end.
  std::string tmp;
  plat::HANDLE out = plat::INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 8 && !plat::IsOpen(out); ++attempt) {
    tmp = TempBeside(r.output);
    out = fs.Open(tmp, plat::Access::Write, plat::Creation::CreateNew);
    if (!plat::IsOpen(out) && plat::LastFileError() != plat::FileError::Exists) break;
  }
  if (!plat::IsOpen(out)) {
    r.error = Describe("Cannot create", r.output);
    fs.Close(in);
    return r;
  }

  // A document the user will open and perhaps mail: not private like the
  // data files.
  const mode_t um = ::umask(0);
  ::umask(um);
  bool ok = fs.SetMode(out, 0666 & ~um);
  std::string error = ok ? std::string() : Describe("Cannot create", r.output);

  // The rounds are taken from a larger read buffer and their text is
  // gathered before it is written: fewer system calls, the same bytes, and
  // still a fixed amount of memory whatever the file's size.
  constexpr std::size_t kReadBuf = 64 * kBlock;
  constexpr std::size_t kWriteAt = 64 * kBlock;
  std::unique_ptr<unsigned char[]> buf(new unsigned char[kReadBuf]);
  std::size_t have = 0, at = 0;
  bool eof = false;
  std::string pendingOut;
  pendingOut.reserve(kWriteAt + 2 * kBlock);
  auto flush = [&] {
    if (!pendingOut.empty() && fs.Write(out, pendingOut.data(), pendingOut.size()) !=
                                   static_cast<long long>(pendingOut.size())) {
      ok = false;
      error = Describe("Cannot write", r.output);
    }
    pendingOut.clear();
  };
  VanillaWords words;
  std::size_t got = kBlock;
  while (ok && got == kBlock) {
    // A round is 1024 bytes unless the file ends in it; a short read is not
    // the end of the file.
    while (ok && !eof && have - at < kBlock) {
      if (at > 0) {
        std::memmove(buf.get(), buf.get() + at, have - at);
        have -= at;
        at = 0;
      }
      const long long n = fs.Read(in, buf.get() + have, kReadBuf - have);
      if (n < 0) {
        ok = false;
        error = Describe("Cannot read", fileName);
      } else if (n == 0) {
        eof = true;
      } else {
        have += static_cast<std::size_t>(n);
      }
    }
    if (!ok) break;
    got = std::min(kBlock, have - at);
    unsigned char* block = buf.get() + at;
    at += got;
    CleanBlock(block, got);
    pendingOut += words.Block(block, got);
    if (pendingOut.size() >= kWriteAt) flush();
  }
  if (ok) flush();
  if (ok && !fs.Sync(out)) {
    ok = false;
    error = Describe("Cannot write", r.output);
  }
  fs.Close(out);
  fs.Close(in);
  if (ok && !fs.Rename(tmp, r.output)) {
    ok = false;
    error = Describe("Cannot create", r.output);
  }
  if (!ok) {
    fs.Remove(tmp);
    r.error = error;
    return r;
  }
  const std::size_t slash = r.output.rfind('/');
  fs.SyncDir(slash == std::string::npos ? "." : (slash == 0 ? "/" : r.output.substr(0, slash)));
  r.ok = true;
  return r;
}
