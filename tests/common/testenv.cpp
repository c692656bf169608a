#include "common/testenv.h"

#include <unistd.h>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
std::string root;
int counter = 0;
}  // namespace

namespace TestEnv {

void Setup() {
  std::string tmpl = (fs::temp_directory_path() / "zarns-test-XXXXXX").string();
  char* made = mkdtemp(tmpl.data());
  root = std::string(made ? made : "/tmp") + "/";
  fs::create_directories(root + "data");
  fs::create_directories(root + "xdg-data");
  fs::create_directories(root + "xdg-config");
  fs::create_directories(root + "home");
  setenv("ZARNS_DATA_DIR", (root + "data").c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "xdg-data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "xdg-config").c_str(), 1);
  setenv("HOME", (root + "home").c_str(), 1);
}

void Teardown() {
  std::error_code ec;
  if (!root.empty() && root != "/tmp/") fs::remove_all(root, ec);
}

const std::string& Root() { return root; }

std::string FreshDir(const std::string& name) {
  std::string dir = root + "t" + std::to_string(++counter) + "-" + name + "/";
  fs::create_directories(dir);
  return dir;
}

void ClearDataDir() {
  std::error_code ec;
  for (auto& e : fs::directory_iterator(root + "data", ec)) fs::remove_all(e.path(), ec);
}

}  // namespace TestEnv
