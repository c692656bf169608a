#include "common/testfiles.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/pdatadir.h"

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  const auto parent = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out.good();
}

std::string ReadData(const std::string& name) { return Slurp(plat::DataPath(name)); }

bool WriteData(const std::string& name, const std::string& bytes) {
  return WriteFile(plat::DataPath(name), bytes);
}
