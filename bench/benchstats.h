// Small statistics shared by the benchmarks.
#pragma once
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
