// The test process's private environment.
#pragma once
#include <ostream>
#include <string>

#include "store/zrnio.h"

namespace TestEnv {
// Creates a temporary root and points ZARNS_DATA_DIR, XDG_DATA_HOME,
// XDG_CONFIG_HOME and HOME into it.
void Setup();
// Removes the temporary root.
void Teardown();
// The temporary root, ending with "/".
const std::string& Root();
// A new empty directory under the root, ending with "/".
std::string FreshDir(const std::string& name);
// Empties the data directory (between tests that need a clean one).
void ClearDataDir();
}  // namespace TestEnv

// Test messages name a data file by its file name.
inline std::ostream& operator<<(std::ostream& o, DataFile f) { return o << DataFileName(f); }
