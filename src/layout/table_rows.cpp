#include "layout/table_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "layout/layout_math.h"

namespace corvane {

namespace {

std::size_t At(int index) { return static_cast<std::size_t>(index); }

// Rounds a / b to the nearest integer, halves to the even neighbour (b > 0).
std::int64_t RoundedQuotient(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(std::nearbyint(static_cast<double>(a) / static_cast<double>(b)));
}

int SpanOf(const TRowCell& cell) { return std::max(1, cell.RowSpan); }

}  // namespace

int CellHeightGoal(int specHt, int specHtPercent, int H, int rowCount, int spacing) {
  if (specHt > 0) return specHt;
  if (specHtPercent > 0) return MulDiv(specHtPercent, std::max(0, H - rowCount * spacing), 100);
  if (rowCount == 1) return std::max(0, H - spacing);
  return 0;
}

std::vector<std::size_t> RowSpanOrder(const std::vector<TRowCell>& cells) {
  std::vector<std::size_t> order(cells.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto bySpan = [&](std::size_t a, std::size_t b) { return SpanOf(cells[a]) < SpanOf(cells[b]); };
  // Most tables span nothing: their cells are in order already.
  if (!std::is_sorted(order.begin(), order.end(), bySpan)) std::stable_sort(order.begin(), order.end(), bySpan);
  return order;
}

std::vector<int> RowHeights(const std::vector<TRowCell>& cells, int rowCount, int spacing, int height) {
  if (rowCount <= 0) return {};  // an empty table has no rows to share a height
  const int s = spacing;
  const int H = height - s;
  // Every row, one with nothing of its own to measure included, is at least the spacing high. A row is
  // its tallest cell's content (minimum), or what its cells ask for when that is more (desired).
  std::vector<int> minimum(At(rowCount), s), desired(At(rowCount), s);
  std::vector<bool> specified(At(rowCount), false);
  const std::vector<std::size_t> order = RowSpanOrder(cells);
  // Cells of one span, row by row; rows spanned take what a cell needs beyond their sum evenly.
  std::size_t k = 0;
  while (k < order.size()) {
    const int n = SpanOf(cells[order[k]]);
    const int r = cells[order[k]].Row;
    int rowValue = 0, desiredValue = 0;
    bool rowSpecified = false;
    for (; k < order.size() && cells[order[k]].Row == r && SpanOf(cells[order[k]]) == n; ++k) {
      const TRowCell& cell = cells[order[k]];
      int value = cell.Content;
      int want = value;
      if (cell.SpecHt > 0) {
        value = std::max(value, cell.SpecHt);
        want = value;
        rowSpecified = true;
      } else if (cell.SpecHtPercent > 0) {
        want = std::max(want, cell.Goal);
        rowSpecified = true;
      }
      rowValue = std::max(rowValue, value);
      desiredValue = std::max(desiredValue, want);
    }
    rowValue += s;
    desiredValue += s;
    if (n == 1) {
      minimum[At(r)] = std::max(minimum[At(r)], rowValue);
      desired[At(r)] = std::max(desired[At(r)], desiredValue);
      if (rowSpecified) specified[At(r)] = true;
    } else if (rowValue > s) {
      const int last = std::min(rowCount, r + n);
      auto spread = [&](std::vector<int>& values, int target) {
        std::int64_t sum = 0;
        for (int rr = r; rr < last; ++rr) sum += values[At(rr)];
        if (sum >= target) return;
        const std::int64_t gap = target - sum;
        const int span = last - r;
        for (int rr = r; rr < last; ++rr) values[At(rr)] += static_cast<int>(gap / span);
        values[At(last) - 1] += static_cast<int>(gap % span);
      };
      spread(minimum, rowValue);
      spread(desired, desiredValue);
      if (rowSpecified)
        for (int rr = r; rr < last; ++rr) specified[At(rr)] = true;
    }
  }
  std::int64_t sumMin = 0, sumDesired = 0;
  int unspecified = 0;
  for (int r = 0; r < rowCount; ++r) {
    sumMin += minimum[At(r)];
    sumDesired += desired[At(r)];
    if (!specified[At(r)]) ++unspecified;
  }
  // The rows cannot be as high as H: each is as short as it can be.
  if (sumMin >= H) return minimum;
  std::vector<int> heights(At(rowCount), 0);
  if (sumDesired < H) {
    // Room beyond what the rows ask for: the rows without a height asked for share it; when every row
    // asked for one, all grow in proportion.
    heights = desired;
    if (unspecified <= 0) {
      if (sumDesired > 0) {
        std::int64_t given = 0;
        for (int r = 0; r + 1 < rowCount; ++r) {
          heights[At(r)] = static_cast<int>(RoundedQuotient(static_cast<std::int64_t>(desired[At(r)]) * H, sumDesired));
          given += heights[At(r)];
        }
        heights.back() = static_cast<int>(H - given);
      } else {
        heights.back() += static_cast<int>(H - sumDesired);
      }
    } else {
      const std::int64_t gap = H - sumDesired;
      int lastUnspecified = 0;
      for (int r = 0; r < rowCount; ++r) {
        if (specified[At(r)]) continue;
        heights[At(r)] += static_cast<int>(gap / unspecified);
        lastUnspecified = r;
      }
      heights[At(lastUnspecified)] += static_cast<int>(gap % unspecified);
    }
    return heights;
  }
  // Between: each row gets its minimum and a part of what it asks for beyond it.
  std::int64_t given = 0;
  const std::int64_t range = sumDesired - sumMin;
  for (int r = 0; r + 1 < rowCount; ++r) {
    const std::size_t i = At(r);
    const std::int64_t wanted = static_cast<std::int64_t>(desired[i] - minimum[i]) * (H - sumMin);
    heights[i] = minimum[i] + static_cast<int>(RoundedQuotient(wanted, range));
    given += heights[i];
  }
  heights.back() = static_cast<int>(H - given);
  return heights;
}

}  // namespace corvane
