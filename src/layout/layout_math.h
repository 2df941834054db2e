#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace corvane {

// a × b / c rounded to the nearest integer, halves away from zero, computed in 64 bits; 0 when c is 0.
inline int MulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = (c < 0 ? -c : c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
  // A quotient beyond the range of int is held at its end rather than wrapped around.
  const std::int64_t limited = std::min<std::int64_t>(magnitude, std::numeric_limits<int>::max());
  return static_cast<int>(negative ? -limited : limited);
}

}  // namespace corvane
