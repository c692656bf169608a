// The one-line account of a finished catalog build that the main window's
// status bar shows.
#pragma once
#include <string>

#include "catalog/zrnwcat.h"

// "Catalog built: N files, W words in S s" (S with one decimal) after a
// build that ran to its end, saying so when files were left out at the file
// limit; otherwise what stopped it.
std::string BuildSummary(const BuildStats& s);
