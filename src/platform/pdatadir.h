// Where the program keeps its data files.
#pragma once
#include <string>

namespace plat {

// The data directory, ending with "/": $ZARNS_DATA_DIR if set, else
// $XDG_DATA_HOME/zarns, else ~/.local/share/zarns. Created on first use.
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
