// Where the program keeps its data files.
#pragma once
#include <string>

namespace plat {

// The data directory, ending with "/": $ZARNS_DATA_DIR if set, else
// $XDG_DATA_HOME/zarns, else ~/.local/share/zarns. On the first use of a
// directory in this process it is created 0700 (with any missing parents),
// or, when it exists more open and belongs to the user, tightened to 0700
// with its entries losing their group and other bits. Programs call it at
// start, so this happens before any data file is read or written.
std::string DataDir();
// DataDir() followed by `name`.
std::string DataPath(const std::string& name);
// The user's home directory, ending with "/".
std::string HomeDir();
// $XDG_DATA_HOME (default ~/.local/share), ending with "/".
std::string XdgDataHome();
// Creates `path` and every missing directory above it (mkdir -p); existing
// directories are fine.
void MakeDirs(const std::string& path);

}  // namespace plat
