#pragma once

#include <cstddef>
#include <vector>

namespace corvane {

// The third step of table layout: the heights of the rows, from the heights of the cells' laid-out
// content and the heights asked for. H is the height the rows share (the table's height less one cell
// spacing s); every row is at least s high.

// One cell as the row heights see it.
struct TRowCell {
  int Row = 0;      // its first row
  int RowSpan = 1;  // the rows it spans
  int Content = 0;  // the height of its laid-out content with its padding and borders
  int SpecHt = 0;   // pixels asked for, 0 for none
  int SpecHtPercent = 0;  // percent of the table's height asked for, 0 for none
  int Goal = 0;     // the height its content was laid out to fill (CellHeightGoal)
};

// The height a cell's content is laid out to fill: the height asked for, its percentage of what the
// rows share beyond their spacing, or all of H in a table of one row; 0 for none.
int CellHeightGoal(int specHt, int specHtPercent, int H, int rowCount, int spacing);

// The order in which the cells are measured: by row span, each span in the order given.
std::vector<std::size_t> RowSpanOrder(const std::vector<TRowCell>& cells);

// The height of each row of a table of rowCount rows, the cells coming row by row, when the table is to
// be height high (AHeight, including the spacing above the first row). Rows of cells that ask for a
// height are taller only when the others cannot take what is left.
std::vector<int> RowHeights(const std::vector<TRowCell>& cells, int rowCount, int spacing, int height);

}  // namespace corvane
