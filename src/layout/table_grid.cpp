#include "layout/table_grid.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace corvane {

namespace {

using TSlotRows = std::vector<std::vector<TGridSlot>>;

std::size_t At(int index) { return static_cast<std::size_t>(index); }

// 1. Each cell takes a slot, the columns it spans after it are reserved by spanned slots. Hostile spans
// must not make the grid take gigabytes: every cell keeps its own slot, the column spans share what the
// budget holds beyond those in the order they come (a span is cut to what is left). Returns the slots
// the rows take before row spans add theirs.
long long PlaceColumnSpans(const std::vector<std::vector<TGridSpan>>& rows, long long budget, TSlotRows& columnSlots,
                           bool& cut) {
  const int rowCount = static_cast<int>(rows.size());
  long long ownSlots = 0;
  long long spareSlots = budget;  // what column spans may still add to the cells' own slots
  for (const auto& row : rows) spareSlots -= static_cast<long long>(row.size());
  columnSlots.resize(rows.size());
  for (int r = 0; r < rowCount; ++r) {
    const std::vector<TGridSpan>& cells = rows[At(r)];
    std::vector<TGridSlot>& rowSlots = columnSlots[At(r)];
    rowSlots.reserve(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
      TGridSlot cell{TSlotKind::Cell, static_cast<int>(i), std::max(1, cells[i].ColSpan), std::max(1, cells[i].RowSpan)};
      cell.RowSpan = std::min(cell.RowSpan, rowCount - r);
      if (cell.ColSpan - 1 > spareSlots) {
        cell.ColSpan = static_cast<int>(std::max(spareSlots, 0LL)) + 1;
        cut = true;
      }
      spareSlots -= cell.ColSpan - 1;
      ownSlots += cell.ColSpan;
      const int span = cell.ColSpan;
      const int reservedRows = cell.RowSpan >= 2 ? cell.RowSpan : 1;
      rowSlots.push_back(cell);
      for (int k = 1; k < span; ++k) rowSlots.push_back({TSlotKind::Spanned, -1, 0, reservedRows});
    }
  }
  return ownSlots;
}

// 2. Row spans: each slot that spans rows reserves its column in the rows below it. Done row by row: a
// row takes a spanned slot wherever a slot above still covers the column, its own slots elsewhere, and
// empty ones up to the last column covered from above. A row takes at most its own slots and one for
// each column up to the last one covered from above; when that, with the slots placed and those the
// rows below take of their own, would pass the budget, every row span still reaching down ends above
// the row.
TSlotRows PlaceRowSpans(TSlotRows& rows, long long ownSlots, long long budget, bool& cut) {
  const int rowCount = static_cast<int>(rows.size());
  TSlotRows grid(rows.size());
  std::vector<int> coveredUntil;                // by column: the last row a spanning slot above covers
  std::vector<std::pair<int, int>> coveredBy;  // by column: the row and column of that slot
  long long placed = 0;
  long long ownBelow = ownSlots;
  for (int r = 0; r < rowCount; ++r) {
    std::vector<TGridSlot>& row = rows[At(r)];
    const int count = static_cast<int>(row.size());
    int lastCovered = -1;
    for (int c = 0; c < static_cast<int>(coveredUntil.size()); ++c)
      if (coveredUntil[At(c)] >= r) lastCovered = c;
    ownBelow -= count;
    if (lastCovered >= 0 && placed + count + lastCovered + 1 + ownBelow > budget) {
      for (std::size_t c = 0; c < coveredUntil.size(); ++c) {
        if (coveredUntil[c] < r) continue;
        coveredUntil[c] = r - 1;
        const auto [fromRow, fromColumn] = coveredBy[c];
        grid[At(fromRow)][At(fromColumn)].RowSpan = r - fromRow;
      }
      lastCovered = -1;
      cut = true;
    }
    std::vector<TGridSlot>& rowSlots = grid[At(r)];
    rowSlots.reserve(row.size() + At(lastCovered + 1));
    std::size_t next = 0;
    for (int c = 0;; ++c) {
      const bool covered = c < static_cast<int>(coveredUntil.size()) && coveredUntil[At(c)] >= r;
      if (covered || (next >= row.size() && c <= lastCovered)) {
        rowSlots.push_back({covered ? TSlotKind::Spanned : TSlotKind::Empty, -1, 0, 0});
        continue;
      }
      if (next >= row.size()) break;
      TGridSlot slot = row[next++];
      if (slot.RowSpan >= 2) {
        slot.RowSpan = std::min(slot.RowSpan, rowCount - r);
        if (static_cast<int>(coveredUntil.size()) <= c) {
          coveredUntil.resize(At(c) + 1, -1);
          coveredBy.resize(At(c) + 1, {0, 0});
        }
        int& until = coveredUntil[At(c)];
        until = std::max(until, r + slot.RowSpan - 1);
        coveredBy[At(c)] = {r, c};
      }
      rowSlots.push_back(slot);
    }
    row = {};
    placed += static_cast<long long>(rowSlots.size());
  }
  return grid;
}

// 3. Trailing columns of spanned or empty slots only: the cell that spans them gives them up. Column by
// column from the right, while every row as long as the grid ends with such a slot, that last column
// goes: each such row loses its last slot and the nearest cell to its left spanning more than one column
// loses a column. A row of c slots, t of them trailing non-cells, joins the rows as long as the grid
// after columns - c columns went and ends with a cell after t more, so the number of columns that go is
// the least of columns - c + t; each row then gives up its slots in one walk. columns is the longest row
// before row spans added their slots.
void DropTrailingColumns(TSlotRows& grid, int columns) {
  if (columns <= 0) return;
  int drop = 0;
  bool longest = false;
  for (const auto& row : grid) longest = longest || static_cast<int>(row.size()) == columns;
  if (longest) {
    drop = columns;
    for (const auto& row : grid) {
      const int count = static_cast<int>(row.size());
      if (count > columns) continue;
      int trailing = 0;
      while (trailing < count && row[At(count - 1 - trailing)].Kind != TSlotKind::Cell) ++trailing;
      drop = std::min(drop, columns - count + trailing);
    }
  }
  for (auto& row : grid) {
    const int count = static_cast<int>(row.size());
    if (count > columns) continue;
    int spanning = count - 1;  // the search for a spanning cell only ever moves left
    for (int k = 0; k < drop - (columns - count); ++k) {
      row.pop_back();
      spanning = std::min(spanning, static_cast<int>(row.size()) - 1);
      while (spanning >= 0 && row[At(spanning)].ColSpan <= 1) --spanning;
      if (spanning >= 0) --row[At(spanning)].ColSpan;
    }
  }
}

}  // namespace

TTableGrid CompleteTableGrid(const std::vector<std::vector<TGridSpan>>& rows, long long budget) {
  TTableGrid grid;
  TSlotRows spans;
  const long long ownSlots = PlaceColumnSpans(rows, budget, spans, grid.SpansCut);
  int columns = 0;
  for (const auto& row : spans) columns = std::max(columns, static_cast<int>(row.size()));
  grid.Rows = PlaceRowSpans(spans, ownSlots, budget, grid.SpansCut);
  DropTrailingColumns(grid.Rows, columns);
  // 4. The longest row.
  for (const auto& row : grid.Rows) grid.Columns = std::max(grid.Columns, static_cast<int>(row.size()));
  return grid;
}

}  // namespace corvane
