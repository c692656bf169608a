// The log of catalog builds: one line per build, appended by every build
// (from the editor, the command line, a timer), read by the schedule's
// status and the Preferences dialog. Kept in the data directory, bounded to
// the last kBuildLogKeep entries.
//
// Line format (UTF-8, tab-separated, ending with "\n"):
//   start time (UTC, "YYYY-MM-DDTHH:MM:SSZ") TAB seconds ("%.2f") TAB files
//   TAB words TAB result
// where result is "ok", "cancelled", "busy" (refused: another build was
// running) or "failed: <cause>". Lines that do not parse are skipped.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "catalog/zrnwcat.h"

inline constexpr char kBuildLogName[] = "catalog-builds.log";
inline constexpr char kBuildLogLockName[] = "catalog-builds.lock";
inline constexpr std::size_t kBuildLogKeep = 50;

struct BuildLogEntry {
  std::time_t start = 0;  // seconds since the epoch
  double seconds = 0;
  std::uint32_t files = 0;
  std::uint32_t words = 0;
  std::string result;
  bool operator==(const BuildLogEntry&) const = default;
};

// The entry for a build that started at `start` and took `seconds`.
BuildLogEntry BuildLogEntryFor(const BuildStats& s, std::time_t start, double seconds);

// One log line (with its "\n"); and the entry a line holds, false for a
// line that is not one (the entry is then unchanged).
std::string FormatBuildLogLine(const BuildLogEntry& e);
bool ParseBuildLogLine(const std::string& line, BuildLogEntry& e);

// The entries of the log in the data directory, oldest first; empty when
// there is no log or it cannot be read.
std::vector<BuildLogEntry> ReadBuildLog();
// Appends `e`, dropping the oldest entries beyond kBuildLogKeep and any
// damaged lines; the file is replaced atomically (0600), under a lock so two
// builds ending together both get their line. False when it could not be
// written (the previous log is then intact).
bool AppendBuildLog(const BuildLogEntry& e);

// "2026-12-08 03:00, 12.3 s, 1234 files, 56789 words, ok" (local time).
std::string DescribeBuild(const BuildLogEntry& e);
