#include "layout/table_placement.h"

#include <algorithm>
#include <climits>
#include <cstddef>

namespace corvane {

TRowPlacement PlaceRows(const std::vector<int>& heights, const std::vector<TPlacedCell>& cells, int y) {
  TRowPlacement placement;
  PlaceRows(heights, cells, y, placement);
  return placement;
}

void PlaceRows(const std::vector<int>& heights, const std::vector<TPlacedCell>& cells, int y, TRowPlacement& placement) {
  const int rowCount = static_cast<int>(heights.size());
  const std::size_t rows = heights.size();
  // Row tops from the heights: a cell's height is the sum over the rows it spans.
  std::vector<long long>& rowY = placement.Offsets;
  rowY.assign(rows + 1, 0);
  for (std::size_t r = 0; r < rows; ++r) rowY[r + 1] = rowY[r] + heights[r];
  placement.Tops.assign(rows, 0);
  placement.SpanHeights.assign(heights.begin(), heights.end());
  placement.BottomSoFar.assign(rows, 0);
  placement.CellHeights.assign(cells.size(), 0);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const TPlacedCell& cell = cells[i];
    if (cell.Row < 0 || cell.Row >= rowCount) continue;
    const int last = std::min(rowCount, cell.Row + std::max(1, cell.RowSpan));
    const int height = static_cast<int>(rowY[static_cast<std::size_t>(last)] - rowY[static_cast<std::size_t>(cell.Row)]);
    placement.CellHeights[i] = height;
    int& spanHeight = placement.SpanHeights[static_cast<std::size_t>(cell.Row)];
    spanHeight = std::max(spanHeight, height);
  }
  int lowest = INT_MIN;
  for (std::size_t r = 0; r < rows; ++r) {
    placement.Tops[r] = y;
    lowest = std::max(lowest, y + placement.SpanHeights[r]);
    placement.BottomSoFar[r] = lowest;
    y += heights[r];
  }
}

int VerticalIndent(int vAlign, int room, int current) {
  switch (vAlign) {
    case 1:
      return 0;
    case 2:
      return room / 2;
    case 3:
    case 4:
      return room;
    default:
      return current;
  }
}

}  // namespace corvane
