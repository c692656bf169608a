#include "catalog/buildsummary.h"

#include <cmath>
#include <cstdio>

std::string BuildSummary(const BuildStats& s) {
  if (s.failed)
    return "Catalog not built: its files could not be created (in use by another program?).";
  if (s.cancelled) return "Catalog build cancelled.";
  // Negative or not-a-number times (a clock stepped back) read as 0.
  const double secs = std::isfinite(s.seconds) && s.seconds > 0 ? s.seconds : 0.0;
  char text[192];
  std::snprintf(text, sizeof text, "Catalog built: %u files, %u words in %.1f s%s", s.files,
                s.words, secs,
                s.fileLimitReached ? " (the most one build takes: later files were left out)" : "");
  return text;
}
