// Small statistics shared by the benchmarks.
#pragma once
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <vector>

using Clock = std::chrono::steady_clock;

// A duration in milliseconds.
inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The median (upper middle for an even count); 0 for no samples.
inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The p-quantile (0..1) of the samples; 0 for no samples.
inline double Pct(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))];
}

// Seconds since t0.
inline double Since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// CPU time (user + system), in seconds, of this process (all threads) or of
// its finished children: on a machine shared with other work the wall clock
// alone says little.
inline double CpuOf(int who) {
  struct rusage ru {};
  getrusage(who, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}
inline double Cpu() { return CpuOf(RUSAGE_SELF); }
inline double ChildCpu() { return CpuOf(RUSAGE_CHILDREN); }
