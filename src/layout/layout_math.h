#pragma once

#include <cstdint>

namespace corvane {

// a × b / c rounded to the nearest integer, halves away from zero, computed in 64 bits; 0 when c is 0.
inline int MulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = (c < 0 ? -c : c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

}  // namespace corvane
