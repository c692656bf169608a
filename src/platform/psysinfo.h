// Memory status as the system information box shows it.
#pragma once
#include <cstdint>

namespace plat {

struct MemoryStatus {
  std::uint32_t memoryLoad = 0;  // percent of physical memory in use
  std::uint64_t totalPhys = 0;   // bytes
  std::uint64_t availPhys = 0;
  std::uint64_t totalPageFile = 0;  // swap
  std::uint64_t availPageFile = 0;
  std::uint64_t totalVirtual = 0;  // address space of this process
  std::uint64_t availVirtual = 0;
};

// Reads /proc/meminfo; fields stay 0 where it cannot be read.
MemoryStatus GetMemoryStatus();

}  // namespace plat
