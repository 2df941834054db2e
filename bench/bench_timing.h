#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace corvane::bench {

using Clock = std::chrono::steady_clock;

inline double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace corvane::bench
