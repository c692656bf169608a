#include "platform/psysinfo.h"

#include <sys/resource.h>
#include <cstdio>
#include <cstring>

namespace plat {

namespace {

// "Name:   1234 kB" lines; the value in bytes, or false when missing.
bool ProcField(const char* file, const char* name, std::uint64_t& bytes) {
  std::FILE* f = std::fopen(file, "re");
  if (!f) return false;
  char line[256];
  std::size_t len = std::strlen(name);
  bool found = false;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, name, len) == 0 && line[len] == ':') {
      unsigned long long v = 0;
      char unit[8] = "";
      if (std::sscanf(line + len + 1, "%llu %7s", &v, unit) >= 1) {
        bytes = (unit[0] == 'k' || unit[0] == 'K') ? v * 1024ull : v;
        found = true;
      }
      break;
    }
  }
  std::fclose(f);
  return found;
}

}  // namespace

MemoryStatus GetMemoryStatus() {
  MemoryStatus m;
  std::uint64_t v = 0;
  if (ProcField("/proc/meminfo", "MemTotal", v)) m.totalPhys = v;
  if (ProcField("/proc/meminfo", "MemAvailable", v))
    m.availPhys = v;
  else if (ProcField("/proc/meminfo", "MemFree", v))
    m.availPhys = v;  // kernels before 3.14
  if (ProcField("/proc/meminfo", "SwapTotal", v)) m.totalPageFile = v;
  if (ProcField("/proc/meminfo", "SwapFree", v)) m.availPageFile = v;
  if (m.availPhys > m.totalPhys) m.availPhys = m.totalPhys;
  if (m.totalPhys > 0)
    m.memoryLoad = static_cast<std::uint32_t>((m.totalPhys - m.availPhys) * 100 / m.totalPhys);

  // The address space: the process's limit when one is set, else what the
  // platform gives a user process.
  rlimit rl{};
  if (::getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) {
    m.totalVirtual = rl.rlim_cur;
  } else if (sizeof(void*) >= 8) {
    m.totalVirtual = 1ull << 47;  // 128 TiB with 4-level page tables
  } else {
    m.totalVirtual = 3ull << 30;
  }
  std::uint64_t used = 0;
  ProcField("/proc/self/status", "VmSize", used);
  m.availVirtual = used < m.totalVirtual ? m.totalVirtual - used : 0;
  return m;
}

}  // namespace plat
