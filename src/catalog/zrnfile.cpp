#include "catalog/zrnfile.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/pfile.h"
#include "platform/plauncher.h"

namespace {

// Each kind of lookup goes to the search address of a service that answers
// it. Every address ends with the "sender" tag, a query parameter the
// services ignore that lets a page's logs tell where a visit came from.
struct Service {
  const char* prefix;  // scheme, host, path and query key before the text
  const char* suffix;  // after the text
};
constexpr Service kServices[] = {
    {"https://www.openstreetmap.org/search?query=", "&sender=Brindle"},         // WebAtlas
    {"https://en.wiktionary.org/w/index.php?search=", "&sender=Brindle"},       // WebDictionary
    {"https://en.wikipedia.org/w/index.php?search=", "&go=go&sender=Brindle"},  // WebEncyclopedia
    {"https://duckduckgo.com/?q=", "&sender=Brindle"},                          // WebSearch
    {"https://www.espn.com/search/_/q/", "?sender=Brindle"},                    // WebSports
    {"https://collections.si.edu/search/results.htm?q=", "&sender=Brindle"},    // WebScience
    {"https://www.imdb.com/find/?q=", "&sender=Brindle"},                       // WebArts
};

// The text goes in as typed, except for the bytes an address cannot carry
// (blanks, controls, non-ASCII) and the few that would change its meaning
// (#, %, &, +, quotes, angle brackets and the like): those are
// percent-encoded, so "New York" or "AT&T" reach the service whole.
bool NeedsEscape(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return true;
  return std::strchr("\"#%&+<>\\^`{|}", c) != nullptr;
}

// Appends `text` (escaped) to `out` as far as it fits in `room` more bytes;
// an escape is never split.
void AppendEscaped(std::string& out, const char* text, std::size_t room, bool keepSlash) {
  static const char hex[] = "0123456789ABCDEF";
  std::size_t used = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned char c = *p;
    bool esc = NeedsEscape(c) && !(keepSlash && c == '/');
    std::size_t need = esc ? 3 : 1;
    if (used + need > room) break;
    if (esc) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
    used += need;
  }
}

}  // namespace

ZrnFile::ZrnFile() {
  std::memset(FileInfo, 0, sizeof FileInfo);
  std::memset(ParamInfo, 0, sizeof ParamInfo);
}

ZrnFile::~ZrnFile() = default;

void ZrnFile::Add(std::string file, std::string path, std::uint32_t fileid) {
  FileNamePtr.push_back(std::move(file));
  PathNamePtr.push_back(std::move(path));
  FileIDPtr.push_back(fileid);
  ++Count;
  ++CurrentRec;
  eol = false;
}

void ZrnFile::Reset() { CurrentRec = 1; }

bool ZrnFile::GetCurrent(std::string& file, std::string& path, std::uint32_t& fileid) {
  if (Count == 0) {
    file.clear();
    path.clear();
    return false;
  }
  int rec = CurrentRec == 0 ? 1 : CurrentRec;
  if (rec < 1 || rec > Count) return false;
  file = FileNamePtr[rec - 1];
  path = PathNamePtr[rec - 1];
  fileid = FileIDPtr[rec - 1];
  return true;
}

void ZrnFile::GetNext(std::string& file, std::string& path, std::uint32_t& fileid) {
  if (!GetCurrent(file, path, fileid)) {
    if (Count > 0) eol = true;  // past the end: a walk must still stop
    return;
  }
  if (CurrentRec == 0) CurrentRec = 1;
  ++CurrentRec;
  if (CurrentRec > Count) eol = true;
}

bool ZrnFile::ShellFile() {
  std::string file, path;
  std::uint32_t id = 0;
  FileInfo[0] = '\0';
  if (!GetCurrent(file, path, id)) return true;  // nothing to open
  std::string full = path;
  if (full.empty() || full.back() != '/') full += '/';
  full += file;
  if (full.size() >= sizeof FileInfo) return true;  // cannot name the file: open nothing
  std::memcpy(FileInfo, full.c_str(), full.size() + 1);
  // The application starts in the file's folder, so files it opens beside
  // this one by relative name are found.
  return plat::Launch().OpenIn(FileInfo, path);
}

std::string ZrnFile::HelpDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  const char* env = std::getenv("ZARNS_HELP_DIR");
  return HelpDirFor(ec ? std::string() : exe.parent_path().string(), env ? env : "");
}

std::string ZrnFile::HelpDirFor(const std::string& exeDir, const std::string& override) {
  std::vector<std::string> candidates;
  if (!override.empty()) candidates.push_back(override);
  if (!exeDir.empty()) {
    std::filesystem::path dir(exeDir);
    candidates.push_back((dir / "resources/help").string());       // build tree, moved or not
    candidates.push_back((dir / "../share/zarns/help").string());  // installed under a prefix
    candidates.push_back((dir / "../resources/help").string());    // tests below the build tree
    candidates.push_back((dir / "../../resources/help").string());
  }
  candidates.push_back("/usr/share/zarns/help");
  std::error_code ec;
  for (auto& c : candidates) {
    std::string d = c;
    if (d.back() != '/') d += '/';
    if (plat::Fs().Exists(d + kMakersPage)) {
      auto canon = std::filesystem::weakly_canonical(d, ec);
      if (!ec) {
        d = canon.string();
        if (d.back() != '/') d += '/';
      }
      return d;
    }
  }
  std::string d = candidates.front();
  if (d.back() != '/') d += '/';
  return d;
}

std::string ZrnFile::BuildURL(const char* text, int wt) {
  if (!text) text = "";
  const std::size_t limit = kUrlBufferSize - 1;
  std::string url;
  std::string suffix;
  if (wt >= WebAtlas && wt <= WebArts) {
    url = kServices[wt].prefix;
    suffix = kServices[wt].suffix;
  } else if (wt == WebBrindle) {
    // The maker's pages ship with the program's help.
    AppendEscaped(url, ("file://" + HelpDir()).c_str(), std::string::npos, true);
    std::string page;
    AppendEscaped(page, text, std::string::npos, true);
    suffix = "?sender=Brindle";
    // A page address that does not fit whole names no page at all.
    if (url.size() + page.size() + suffix.size() > limit) return {};
    return url + page + suffix;
  } else {
    return {};
  }
  if (url.size() + suffix.size() > limit) return {};
  // A long search text is cut so that the whole address stays in the buffer.
  AppendEscaped(url, text, limit - url.size() - suffix.size(), false);
  url += suffix;
  return url;
}

bool ZrnFile::ShellURL(const char* text, int wt) {
  std::string url = BuildURL(text, wt);
  if (url.empty()) return true;  // no such service: nothing to open
  char address[kUrlBufferSize];
  std::memcpy(address, url.c_str(), url.size() + 1);
  return plat::Launch().Open(address);
}
