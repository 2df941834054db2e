#pragma once

#include <cstdint>
#include <vector>

namespace corvane {

// The first step of table layout: the grid. The rows of a table list only their own cells; the grid
// gives every cell its slot (its column), reserves the slots its column and row spans cover, and cuts
// spans that reach past the grid or past the budget of slots.

// The spans of one cell as read from its element.
struct TGridSpan {
  int ColSpan = 1;
  int RowSpan = 1;
};

// What a slot of the completed grid holds.
enum class TSlotKind : std::uint8_t {
  Cell,     // a cell starts here
  Spanned,  // a cell to the left or above covers it
  Empty,    // nothing covers it; it only fills a short row up to a column a cell above still covers
};

struct TGridSlot {
  TSlotKind Kind = TSlotKind::Empty;
  int Cell = -1;    // Cell: the index of the cell among its row's own cells
  int ColSpan = 0;  // Cell: the columns it spans, cut to the grid
  // Cell: the rows it spans, cut to the table. Spanned: the rows the slot reserves below it, as its
  // cell does (0 for the slots that row spans reserve).
  int RowSpan = 0;
};

struct TTableGrid {
  std::vector<std::vector<TGridSlot>> Rows;
  int Columns = 0;        // slots of the longest row
  bool SpansCut = false;  // some span was cut to stay within the budget
};

// The grid of rows of cells with these spans, holding at most budget slots in all (every cell keeps its
// own slot whatever the budget). Spans below 1 count as 1.
TTableGrid CompleteTableGrid(const std::vector<std::vector<TGridSpan>>& rows, long long budget);

}  // namespace corvane
