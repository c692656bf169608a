#include "catalog/buildlog.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/pdatadir.h"
#include "platform/pfile.h"

namespace {

// Digits only, no sign, no blanks, within 32 bits.
bool ParseU32(const std::string& s, std::uint32_t& v) {
  if (s.empty() || s.size() > 10) return false;
  unsigned long long n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  if (n > 0xFFFFFFFFull) return false;
  v = static_cast<std::uint32_t>(n);
  return true;
}

bool ParseSeconds(const std::string& s, double& v) {
  if (s.empty() || s.size() > 24 || s[0] < '0' || s[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  const double d = std::strtod(s.c_str(), &end);
  if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(d) || d < 0) return false;
  v = d;
  return true;
}

bool ParseTime(const std::string& s, std::time_t& t) {
  if (s.size() != 20) return false;
  int y, mo, d, h, mi, se;
  char z = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &se, &z) != 7 ||
      z != 'Z')
    return false;
  if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 60 || h < 0 ||
      mi < 0 || se < 0)
    return false;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = se;
  t = ::timegm(&tm);
  return t != static_cast<std::time_t>(-1);
}

bool ValidResult(const std::string& r) {
  if (r.empty() || r.size() > 200) return false;
  for (unsigned char c : r)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    parts.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
    if (tab == std::string::npos) return parts;
    start = tab + 1;
  }
}

std::vector<BuildLogEntry> ParseLog(const std::string& text) {
  std::vector<BuildLogEntry> entries;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t nl = text.find('\n', start);
    // A last line without its "\n" was cut short by a crash: not trusted.
    if (nl == std::string::npos) break;
    BuildLogEntry e;
    if (ParseBuildLogLine(text.substr(start, nl - start), e)) entries.push_back(std::move(e));
    start = nl + 1;
  }
  return entries;
}

}  // namespace

BuildLogEntry BuildLogEntryFor(const BuildStats& s, std::time_t start, double seconds) {
  BuildLogEntry e;
  e.start = start;
  e.seconds = std::isfinite(seconds) && seconds > 0 ? seconds : 0.0;
  e.files = s.files;
  e.words = s.words;
  if (s.busy)
    e.result = "busy";
  else if (s.failed)
    e.result = std::string("failed: ") + plat::FileErrorText(s.error);
  else if (s.cancelled)
    e.result = "cancelled";
  else
    e.result = "ok";
  if (s.busy || s.failed) e.files = e.words = 0;  // nothing was built
  return e;
}

std::string FormatBuildLogLine(const BuildLogEntry& e) {
  std::tm tm{};
  const std::time_t t = e.start < 0 ? 0 : e.start;
  ::gmtime_r(&t, &tm);
  char when[32];
  std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &tm);
  const double secs = std::isfinite(e.seconds) && e.seconds > 0 && e.seconds < 1e12 ? e.seconds : 0;
  char line[128];
  std::snprintf(line, sizeof line, "%s\t%.2f\t%u\t%u\t", when, secs, e.files, e.words);
  std::string result = ValidResult(e.result) ? e.result : "failed: other";
  return line + result + "\n";
}

bool ParseBuildLogLine(const std::string& line, BuildLogEntry& e) {
  const std::vector<std::string> f = SplitTabs(line);
  if (f.size() != 5) return false;
  BuildLogEntry r;
  if (!ParseTime(f[0], r.start) || !ParseSeconds(f[1], r.seconds) || !ParseU32(f[2], r.files) ||
      !ParseU32(f[3], r.words) || !ValidResult(f[4]))
    return false;
  r.result = f[4];
  e = std::move(r);
  return true;
}

std::vector<BuildLogEntry> ReadBuildLog() {
  std::string text;
  if (!plat::ReadWholeFile(plat::DataPath(kBuildLogName), text)) return {};
  return ParseLog(text);
}

bool AppendBuildLog(const BuildLogEntry& e) {
  plat::FileSystem& fs = plat::Fs();
  // Held across read and replace: a log line of a build that ends at the
  // same moment is not lost to our rewrite.
  plat::HANDLE lock =
      fs.Open(plat::DataPath(kBuildLogLockName), plat::Access::Write, plat::Creation::OpenAlways);
  if (!plat::IsOpen(lock)) return false;
  const std::string path = plat::DataPath(kBuildLogName);
  std::string old;
  bool ok = true;
  if (!plat::ReadWholeFile(path, old)) {
    // Missing is an empty log; unreadable must not be replaced by one line.
    ok = plat::LastFileError() == plat::FileError::NotFound;
    old.clear();
  }
  if (ok) {
    std::vector<BuildLogEntry> entries = ParseLog(old);
    entries.push_back(e);
    const std::size_t from = entries.size() > kBuildLogKeep ? entries.size() - kBuildLogKeep : 0;
    std::string text;
    for (std::size_t i = from; i < entries.size(); ++i) text += FormatBuildLogLine(entries[i]);
    ok = plat::WriteDataFileAtomic(path, text);
  }
  fs.Close(lock);
  return ok;
}

std::string DescribeBuild(const BuildLogEntry& e) {
  std::tm tm{};
  ::localtime_r(&e.start, &tm);
  char when[32];
  std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &tm);
  char text[160];
  std::snprintf(text, sizeof text, "%s, %.1f s, %u files, %u words, ", when,
                e.seconds < 1e12 ? e.seconds : 0.0, e.files, e.words);
  return text + e.result;
}
