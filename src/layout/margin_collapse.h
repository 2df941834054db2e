#pragma once

#include <algorithm>

namespace corvane {

// Vertical margins that adjoin collapse into one space: the largest positive margin plus the most
// negative one (two positives give the larger, two negatives the more negative, one of each their sum).
struct TCollapsedMargin {
  int Positive = 0;
  int Negative = 0;

  void Add(int margin) {
    Positive = std::max(Positive, margin);
    Negative = std::min(Negative, margin);
  }
  void Add(const TCollapsedMargin& other) {
    Positive = std::max(Positive, other.Positive);
    Negative = std::min(Negative, other.Negative);
  }
  int Value() const { return Positive + Negative; }
};

}  // namespace corvane
