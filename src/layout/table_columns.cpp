#include "layout/table_columns.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

#include "layout/layout_math.h"

namespace corvane {

namespace {

std::size_t At(int index) { return static_cast<std::size_t>(index); }

// The cells in order of their column span, each span in the order given, so that wider spans see the
// columns the narrower ones made.
std::vector<const TColumnCell*> BySpan(const std::vector<TColumnCell>& cells) {
  std::vector<const TColumnCell*> order;
  order.reserve(cells.size());
  for (const TColumnCell& cell : cells) order.push_back(&cell);
  auto bySpan = [](const TColumnCell* a, const TColumnCell* b) { return a->Span < b->Span; };
  // Most tables span nothing: their cells are in order already.
  if (!std::is_sorted(order.begin(), order.end(), bySpan)) std::stable_sort(order.begin(), order.end(), bySpan);
  return order;
}

void Sum(TColumnMeasures& measures) {
  std::int64_t sumMin = 0, sumMax = 0;
  for (int w : measures.MinWidths) sumMin += w;
  for (int w : measures.MaxWidths) sumMax += w;
  measures.SumMin = static_cast<int>(std::min<std::int64_t>(sumMin, INT_MAX / 2));
  measures.SumMax = static_cast<int>(std::min<std::int64_t>(sumMax, INT_MAX / 2));
}

// Percentages do not all fit in W: those below their columns' minimums go, the rest are scaled down
// until they fit beside the narrowest widths of the other columns. Columns whose percentage holds take
// their share as their narrowest and widest widths.
void FitPercents(TColumnMeasures& m, int W) {
  const std::size_t n = m.Percents.size();
  int previousX = INT_MAX;
  for (;;) {
    bool anyPercent = false;
    std::int64_t S = 0, Q = 0;
    for (std::size_t c = 0; c < n; ++c) {
      if (m.Percents[c] > 0 && MulDiv(W, m.Percents[c], 1000) < m.MinWidths[c]) m.Percents[c] = 0;
      if (m.Percents[c] > 0) {
        anyPercent = true;
        Q += MulDiv(W, m.Percents[c], 1000);
      } else {
        S += m.MinWidths[c];
      }
    }
    if (!anyPercent) return;
    if (W < S + Q) {
      const int X = std::min<int>(static_cast<int>(std::max<std::int64_t>(W - S, 0)), previousX - 1);
      if (X <= 0) {
        std::fill(m.Percents.begin(), m.Percents.end(), 0);
        return;
      }
      previousX = X;
      const int q = static_cast<int>(std::min<std::int64_t>(Q, INT_MAX));
      for (std::size_t c = 0; c < n; ++c)
        if (m.Percents[c] > 0) m.Percents[c] = MulDiv(m.Percents[c], X, q);
      continue;
    }
    for (std::size_t c = 0; c < n; ++c)
      if (m.Percents[c] > 0) m.MinWidths[c] = m.MaxWidths[c] = MulDiv(W, m.Percents[c], 1000);
    Sum(m);
    return;
  }
}

// A table of no given width: percentage columns get their shares when W holds them all, the rest
// spread between the narrowest and the widest widths.
std::vector<int> AutomaticDistribution(TColumnMeasures m, int W) {
  const std::size_t n = m.MinWidths.size();
  const int columns = static_cast<int>(n);
  std::vector<int> widths(n, 0);
  std::int64_t P = 0;
  for (int percent : m.Percents) P += percent;
  if (P > 0 && P <= 1000) {
    if (W >= PercentShares(m)) {
      PercentShares(m, &widths);
      return widths;
    }
    FitPercents(m, W);
  }
  const int sumMin = m.SumMin, sumMax = m.SumMax;
  if (sumMax == sumMin) {
    for (std::size_t c = 0; c < n; ++c) widths[c] = m.MinWidths[c] + (W - sumMin) / columns;
    widths[0] += (W - sumMin) % columns;
    return widths;
  }
  std::int64_t sum = 0;
  std::size_t widest = 0;
  for (std::size_t c = 0; c < n; ++c) {
    widths[c] = m.MinWidths[c] + MulDiv(m.MaxWidths[c] - m.MinWidths[c], W - sumMin, sumMax - sumMin);
    sum += widths[c];
    if (m.MaxWidths[c] - m.MinWidths[c] > m.MaxWidths[widest] - m.MinWidths[widest]) widest = c;
  }
  widths[widest] += static_cast<int>(W - sum);
  return widths;
}

// A table of given width: percentage columns take their shares of W where that is above their narrowest,
// the others their narrowest; the difference to W is then spread or taken back.
std::vector<int> FixedWidthDistribution(const TColumnMeasures& m, int W) {
  const std::size_t n = m.MinWidths.size();
  const int columns = static_cast<int>(n);
  std::vector<int> widths(n, 0);
  std::vector<bool> fixed(n, false), percentColumn(n, false);
  int freeCount = 0;
  std::int64_t E = 0, PP = 0;
  std::size_t lastFree = 0;
  for (std::size_t c = 0; c < n; ++c) {
    if (m.Percents[c] <= 0) {
      widths[c] = m.MinWidths[c];
      ++freeCount;
      lastFree = c;
      E += std::max(0, m.MaxWidths[c] - m.MinWidths[c]);
    } else {
      percentColumn[c] = true;
      const int share = MulDiv(W, m.Percents[c], 1000);
      if (share > m.MinWidths[c]) {
        widths[c] = share;
        PP += m.Percents[c];
      } else {
        widths[c] = m.MinWidths[c];
        fixed[c] = true;
      }
    }
  }
  auto sumWidths = [&] {
    std::int64_t sum = 0;
    for (int w : widths) sum += w;
    return sum;
  };
  auto unfixedPercent = [&](std::size_t c) { return percentColumn[c] && !fixed[c]; };
  std::int64_t diff = sumWidths() - W;
  if (diff < 0) {
    const int shortfall = static_cast<int>(std::min<std::int64_t>(-diff, INT_MAX / 2));
    if (freeCount == 0) {
      if (PP > 0)
        for (std::size_t c = 0; c < n; ++c)
          if (unfixedPercent(c)) widths[c] += MulDiv(shortfall, m.Percents[c], static_cast<int>(PP));
    } else if (E > 0 && E >= shortfall / 4) {
      for (std::size_t c = 0; c < n; ++c)
        if (!percentColumn[c])
          widths[c] += MulDiv(shortfall, std::max(0, m.MaxWidths[c] - m.MinWidths[c]),
                              static_cast<int>(std::min<std::int64_t>(E, INT_MAX)));
    } else {
      for (std::size_t c = 0; c < n; ++c)
        if (!percentColumn[c]) widths[c] += shortfall / freeCount;
    }
  } else if (diff > 0) {
    int excess = static_cast<int>(std::min<std::int64_t>(diff, INT_MAX / 2));
    for (int pass = 0; pass < 4 && PP > 0; ++pass) {
      bool anyFixed = false;
      for (std::size_t c = 0; c < n; ++c) {
        if (!unfixedPercent(c)) continue;
        if (widths[c] - MulDiv(excess, m.Percents[c], static_cast<int>(PP)) < m.MinWidths[c]) {
          excess -= widths[c] - m.MinWidths[c];
          widths[c] = m.MinWidths[c];
          fixed[c] = true;
          PP -= m.Percents[c];
          anyFixed = true;
        }
      }
      if (!anyFixed) break;
    }
    if (PP > 0 && excess > 0)
      for (std::size_t c = 0; c < n; ++c)
        if (unfixedPercent(c)) widths[c] -= MulDiv(excess, m.Percents[c], static_cast<int>(PP));
  }
  diff = sumWidths() - W;
  if (diff > 0) {
    // The first unfixed column gives up the rest, down to nothing at most; what it cannot give, the next.
    for (std::size_t c = 0; c < n && diff > 0; ++c) {
      if (fixed[c]) continue;
      const int give = static_cast<int>(std::min<std::int64_t>(diff, widths[c]));
      widths[c] -= give;
      diff -= give;
    }
  } else if (diff < 0) {
    std::int64_t shortfall = -diff;
    if (freeCount == 0) {
      if (shortfall > columns) {
        const int each = static_cast<int>(shortfall / columns);
        for (std::size_t c = 0; c < n; ++c) widths[c] += each;
        shortfall -= static_cast<std::int64_t>(each) * columns;
      }
      for (std::size_t c = 0; c < n && shortfall > 0; ++c, --shortfall) ++widths[c];
    } else {
      widths[lastFree] += static_cast<int>(std::min<std::int64_t>(shortfall, INT_MAX / 2));
    }
  }
  return widths;
}

// Columns sized by their content: W between the narrowest and the widest widths is spread in proportion
// to what each column can grow.
std::vector<int> AbsoluteDistribution(const TColumnMeasures& m, int W) {
  const int sumMin = m.SumMin, sumMax = m.SumMax;
  if (W < sumMin) return m.MinWidths;
  if (W >= sumMax) return m.MaxWidths;
  const std::size_t n = m.MinWidths.size();
  std::vector<int> widths(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    widths[i] = sumMax - sumMin <= 0 ? m.MinWidths[i] + MulDiv(m.MinWidths[i], W - sumMin, sumMin)
                                     : m.MinWidths[i] + MulDiv(m.MaxWidths[i] - m.MinWidths[i], W - sumMin, sumMax - sumMin);
  }
  std::int64_t sum = 0;
  for (int w : widths) sum += w;
  std::int64_t diff = W - sum;
  for (std::size_t i = 0; i < n && diff != 0; ++i) {
    if (diff > 0) {
      ++widths[i];
      --diff;
    } else if (m.MinWidths[i] < m.MaxWidths[i]) {
      --widths[i];
      ++diff;
    }
  }
  return widths;
}

}  // namespace

TColumnMeasures MeasureColumnsAbsolute(const TColumnConstraints& constraints) {
  const int columns = constraints.Columns;
  TColumnMeasures m;
  m.MinWidths.assign(At(columns), 0);
  m.MaxWidths.assign(At(columns), 0);
  m.Percents.assign(At(columns), 0);
  for (const TColumnCell* cell : BySpan(constraints.Cells)) {
    const int span = cell->Span;
    const int c = cell->Column;
    const int last = std::min(columns, c + span);
    int min = cell->Min, max = cell->Max;
    const bool pixelWidth = !cell->WidthAsPercent && cell->SpecWd > 0;
    if (span == 1) {
      if (pixelWidth) min = max = std::max(min, cell->SpecWd + cell->HzSpace + constraints.Spacing);
      m.MinWidths[At(c)] = std::max(m.MinWidths[At(c)], min);
      m.MaxWidths[At(c)] = std::max(m.MaxWidths[At(c)], max);
      continue;
    }
    std::int64_t sumMin = 0, sumMax = 0;
    for (int k = c; k < last; ++k) {
      sumMin += m.MinWidths[At(k)];
      sumMax += m.MaxWidths[At(k)];
    }
    if (pixelWidth) {
      min = std::max(min, cell->SpecWd);
      max = min;
    }
    // What the spanned columns lack of the cell's width is spread in proportion to their widths.
    auto spread = [&](std::vector<int>& widths, std::int64_t sum, int target) {
      if (sum >= target) return;
      if (sum <= 0) {
        widths[At(c)] = target;
        return;
      }
      const int extra = static_cast<int>(target - sum);
      const int base = static_cast<int>(std::min<std::int64_t>(sum, INT_MAX));
      for (int k = c; k < last; ++k) widths[At(k)] += MulDiv(widths[At(k)], extra, base);
    };
    spread(m.MinWidths, sumMin, min);
    spread(m.MaxWidths, sumMax, max);
  }
  Sum(m);
  return m;
}

TColumnMeasures MeasureColumnsPercent(const TColumnConstraints& constraints, int D) {
  const int columns = constraints.Columns;
  TColumnMeasures m;
  m.MinWidths.assign(At(columns), 0);
  m.MaxWidths.assign(At(columns), 0);
  m.Percents.assign(At(columns), 0);
  std::vector<int>& MinWidths = m.MinWidths;
  std::vector<int>& MaxWidths = m.MaxWidths;
  std::vector<int>& Percents = m.Percents;
  for (const TColumnCell* cell : BySpan(constraints.Cells)) {
    const int span = cell->Span;
    const int c = cell->Column;
    const int last = std::min(columns, c + span);
    const int min = cell->Min, max = cell->Max;
    int p = 0;
    if (cell->WidthAsPercent) {
      p = cell->SpecWd;
    } else if (cell->SpecWd > 0 && D > 0) {
      p = std::min(1000, MulDiv(cell->SpecWd, 1000, D));
    }
    if (span == 1) {
      const std::size_t k = At(c);
      MaxWidths[k] = std::max(MaxWidths[k], max);
      MinWidths[k] = std::max(MinWidths[k], min);
      Percents[k] = std::max(Percents[k], p);
      continue;
    }
    std::int64_t sumMax = 0, sumMin = 0, sumPct = 0;
    int free = 0;  // columns without a percentage
    for (int k = c; k < last; ++k) {
      sumMax += MaxWidths[At(k)];
      sumMin += MinWidths[At(k)];
      const int percent = Percents[At(k)];
      if (percent > 0) {
        sumPct += percent;
      } else {
        ++free;
      }
    }
    if (c == 0 && last >= columns) {
      sumMin = std::max<std::int64_t>(sumMin, D);
      sumMax = std::max<std::int64_t>(sumMax, D);
    }
    const std::int64_t minExcess = min - sumMin;
    const std::int64_t maxExcess = max - sumMax;
    const int sumPercent = static_cast<int>(std::min<std::int64_t>(sumPct, INT_MAX / 2));
    if (p > 0 || sumPct > 0) {
      // The cell's percentage goes to the spanned columns without one, or scales theirs up.
      const int share = free > 0 ? std::max(0, (p - sumPercent) / free) : 0;
      if (free == 0 && sumPercent + 1 < p) {
        for (int k = c; k < last; ++k) Percents[At(k)] = MulDiv(Percents[At(k)], p, sumPercent);
      } else if (share > 0) {
        for (int k = c; k < last; ++k)
          if (Percents[At(k)] <= 0) Percents[At(k)] = share;
      }
      const int total = std::max(sumPercent, p);
      if (minExcess > 0) {
        const int excess = static_cast<int>(std::min<std::int64_t>(minExcess, INT_MAX / 2));
        for (int k = c; k < last; ++k) {
          const std::size_t i = At(k);
          if (free <= 0 || sumMax <= 0) {
            MinWidths[i] += MulDiv(excess, Percents[i], total);
          } else {
            MinWidths[i] += MulDiv(excess, MaxWidths[i], static_cast<int>(std::min<std::int64_t>(sumMax, INT_MAX)));
          }
        }
      }
      if (maxExcess > 0) {
        const int excess = static_cast<int>(std::min<std::int64_t>(maxExcess, INT_MAX / 2));
        for (int k = c; k < last; ++k) MaxWidths[At(k)] += MulDiv(excess, Percents[At(k)], total);
      }
    } else {
      auto scale = [&](std::vector<int>& widths, std::int64_t excess, std::int64_t sum, int target) {
        if (excess <= 0) return;
        int newSum = 0;
        for (int k = c; k < last; ++k) {
          int& width = widths[At(k)];
          width = sum == 0 ? target / span : MulDiv(target, width, static_cast<int>(std::min<std::int64_t>(sum, INT_MAX)));
          newSum += width;
        }
        if (newSum < target) widths[At(c)] += target - newSum;
      };
      scale(MinWidths, minExcess, sumMin, min);
      scale(MaxWidths, maxExcess, sumMax, max);
    }
  }
  Sum(m);
  return m;
}

int PercentShares(const TColumnMeasures& measures, std::vector<int>* widths) {
  const std::vector<int>& Percents = measures.Percents;
  const std::vector<int>& MaxWidths = measures.MaxWidths;
  const std::size_t n = Percents.size();
  std::int64_t P = 0, M = 0;
  for (std::size_t c = 0; c < n; ++c) {
    if (Percents[c] > 0) {
      P += Percents[c];
    } else {
      M += MaxWidths[c];
    }
  }
  if (P <= 0 || P > 1000) return 0;
  const int m = static_cast<int>(std::min<std::int64_t>(M, INT_MAX / 2));
  int A = 0;
  for (std::size_t c = 0; c < n; ++c)
    if (Percents[c] > 0) A = std::max(A, MulDiv(MaxWidths[c], 1000, Percents[c]));
  // Without other columns to take the rest, the percentage columns share the whole among themselves.
  const int whole = m < 1 ? static_cast<int>(P) : 1000;
  const int B = m < 1 ? 0 : P > 999 ? 30000 : MulDiv(m, 1000, static_cast<int>(1000 - P));
  const int N = std::max(A, B);
  const int rest = MulDiv(N, static_cast<int>(1000 - P), 1000);
  std::int64_t sum = 0;
  std::size_t widest = 0;
  int widestShare = -1;
  for (std::size_t c = 0; c < n; ++c) {
    const int share = Percents[c] > 0 ? MulDiv(N, Percents[c], whole) : (m < 1 ? 0 : MulDiv(MaxWidths[c], rest, m));
    if (widths) (*widths)[c] = share;
    sum += share;
    if (share > widestShare) {
      widest = c;
      widestShare = share;
    }
  }
  // What rounding leaves short goes to the widest column; what it adds makes the table that much wider,
  // so that no column falls below its share.
  if (sum < N) {
    if (widths) (*widths)[widest] += static_cast<int>(N - sum);
    sum = N;
  }
  return static_cast<int>(std::min<std::int64_t>(sum, INT_MAX / 2));
}

TWidthRange TableWidthRange(const TColumnConstraints& constraints) {
  TWidthRange range;
  if (constraints.UseAbsolute && constraints.SpecWidth == 0) {
    const TColumnMeasures m = MeasureColumnsAbsolute(constraints);
    range = {m.SumMin, m.SumMax};
  } else {
    const TColumnMeasures m = MeasureColumnsPercent(constraints, constraints.SpecWidth);
    range = {m.SumMin, m.SumMax};
    // A table of no given width grows until each percentage column has its share with its content in
    // it, and the other columns their maximums in what the percentages leave.
    if (constraints.SpecWidth == 0) range.Max = std::max(range.Max, PercentShares(m));
  }
  range.Min = std::max(range.Min + constraints.Spacing, constraints.SpecWidth);
  range.Max = std::max(range.Max + constraints.Spacing, constraints.SpecWidth);
  return range;
}

std::vector<int> ColumnWidths(const TColumnConstraints& constraints, int W) {
  if (constraints.Columns <= 0) return {};  // an empty table has no columns to give widths
  if (constraints.UseAbsolute && constraints.SpecWidth == 0)
    return AbsoluteDistribution(MeasureColumnsAbsolute(constraints), W);
  const TColumnMeasures m = MeasureColumnsPercent(constraints, W);
  if (m.SumMin >= W) return m.MinWidths;
  if (constraints.SpecWidth == 0) return AutomaticDistribution(m, W);
  return FixedWidthDistribution(m, W);
}

}  // namespace corvane
