#pragma once

#include <vector>

namespace corvane {

// The last step of table layout: where the rows and cells go once the row heights are known.

// One cell as the placement sees it.
struct TPlacedCell {
  int Row = 0;
  int RowSpan = 1;
};

struct TRowPlacement {
  std::vector<long long> Offsets;  // each row's top below the first row's, and the bottom of the last
  std::vector<int> Tops;         // the document y of each row
  std::vector<int> SpanHeights;  // each row's height, or its tallest cell's when a cell reaches below it
  std::vector<int> BottomSoFar;  // the lowest bottom of the cells of the rows up to each one
  std::vector<int> CellHeights;  // each cell's height: the sum of the rows it spans, in the cells' order
};

// The rows stacked from y down, and each cell as high as the rows it spans. The cells come row by row.
TRowPlacement PlaceRows(const std::vector<int>& heights, const std::vector<TPlacedCell>& cells, int y);
// The same into placement, whose vectors keep their room from one layout to the next.
void PlaceRows(const std::vector<int>& heights, const std::vector<TPlacedCell>& cells, int y, TRowPlacement& placement);

// The offset of a cell's content from its top when room is what its height leaves beyond the content:
// none at the top (1), half of it in the middle (2), all of it at the baseline or the bottom (3, 4);
// any other alignment keeps current.
int VerticalIndent(int vAlign, int room, int current);

}  // namespace corvane
