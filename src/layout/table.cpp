// Table layout in its steps: the grid (table_grid), the column widths (table_columns), the row heights
// (table_rows) and the placement (table_placement). This file gathers each step's inputs from the
// table's rows and cells and gives the results back to them; the cells' content is measured and laid
// out here, the steps themselves only compute.
#include "layout/table.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <utility>

#include "layout/indent_manager.h"
#include "layout/section_list.h"
#include "layout/table_columns.h"
#include "layout/table_grid.h"
#include "layout/table_placement.h"
#include "layout/table_rows.h"

namespace corvane {

void ThtmlTable::Initialize() {
  if (Initialized) return;
  CompleteGrid();
  Initialized = true;
}

void ThtmlTable::CompleteCell(const TCellList& row, TCellObj& cell) {
  if (row.BkGnd && !cell.BkGnd) {
    cell.BkGnd = true;
    cell.BkColor = row.BkColor;
  }
  if (cell.PadTop < 0) cell.PadTop = CellPadding;
  if (cell.PadRight < 0) cell.PadRight = CellPadding;
  if (cell.PadBottom < 0) cell.PadBottom = CellPadding;
  if (cell.PadLeft < 0) cell.PadLeft = CellPadding;
  if (!cell.HasBorderStyle && BorderWidth > 0) cell.BrdTop = cell.BrdRight = cell.BrdBottom = cell.BrdLeft = 1;
  cell.HzSpace = cell.PadLeft + cell.BrdLeft + cell.BrdRight + cell.PadRight;
  cell.VrSpace = cell.PadTop + cell.BrdTop + cell.BrdBottom + cell.PadBottom;
  if (cell.BackgroundImage().empty() && !row.BkImage.empty()) cell.MakeLooks().BackgroundImage = row.BkImage;
  if (!cell.WidthAsPercent && cell.SpecWd > 0) UseAbsolute = true;
  if (BkGnd && !cell.BkGnd) {
    cell.BkGnd = true;
    cell.BkColor = BkColor;
  }
  if (cell.Cell) {
    cell.Cell->BkGnd = cell.BkGnd;
    cell.Cell->BkColor = cell.BkColor;
  }
}

bool ThtmlTable::CompleteGridWithoutSpans(long long budget) {
  // Most tables span nothing: each cell is then its own slot, in the order of its row, and the grid is
  // as wide as the longest row. Such a table skips the grid's lists.
  std::size_t cells = 0;
  for (const auto& row : Rows) {
    for (const auto& cell : row->Cells)
      if (cell->ColSpan > 1 || cell->RowSpan > 1) return false;
    cells += row->Cells.size();
  }
  if (!ColInfo.empty() || static_cast<long long>(cells) > budget) return false;
  std::size_t columns = 0;
  for (const auto& row : Rows) {
    for (const auto& cell : row->Cells) {
      CompleteCell(*row, *cell);
      cell->ColSpan = 1;
      cell->RowSpan = 1;
    }
    columns = std::max(columns, row->Cells.size());
  }
  NumCols = static_cast<int>(columns);
  Widths.assign(columns, 0);
  return true;
}

void ThtmlTable::CompleteGrid() {
  // The cells take what the row and the table give them; the grid gives each its slot, marks the slots
  // spans cover and cuts the spans to the budget of slots.
  const long long budget = OwnerList ? OwnerList->TablePlaceBudget : kMaxTablePlaces;
  if (CompleteGridWithoutSpans(budget)) return;
  std::vector<std::vector<TGridSpan>> spans(Rows.size());
  for (std::size_t r = 0; r < Rows.size(); ++r) {
    spans[r].reserve(Rows[r]->Cells.size());
    for (const auto& cell : Rows[r]->Cells) {
      CompleteCell(*Rows[r], *cell);
      spans[r].push_back({cell->ColSpan, cell->RowSpan});
    }
  }
  TTableGrid grid = CompleteTableGrid(spans, budget);
  spans = {};
  // Each row of the grid goes once its slots are made, so that a grid near its budget is not held twice.
  for (std::size_t r = 0; r < Rows.size(); ++r) {
    TCellList& row = *Rows[r];
    std::vector<std::unique_ptr<TCellObj>> rowSlots;
    rowSlots.reserve(grid.Rows[r].size());
    for (const TGridSlot& slot : grid.Rows[r]) {
      if (slot.Kind != TSlotKind::Cell) {
        rowSlots.push_back(nullptr);
        continue;
      }
      std::unique_ptr<TCellObj> cell = std::move(row.Cells[static_cast<std::size_t>(slot.Cell)]);
      cell->ColSpan = slot.ColSpan;
      cell->RowSpan = slot.RowSpan;
      rowSlots.push_back(std::move(cell));
    }
    row.Cells = std::move(rowSlots);
    grid.Rows[r] = {};
  }
  if (grid.SpansCut && OwnerList) OwnerList->State.TableSpansCut = true;
  NumCols = grid.Columns;
  // Column declarations give their widths to the slots of their columns.
  if (!ColInfo.empty()) {
    for (const auto& row : Rows) {
      for (int i = 0; i < row->Count() && i < NumCols && i < static_cast<int>(ColInfo.size()); ++i) {
        const TColObj& column = ColInfo[static_cast<std::size_t>(i)];
        if (column.ColWidth <= 0) continue;
        TCellObj* slot = row->Slot(i);
        if (!slot) continue;
        slot->SpecWd = column.ColWidth;
        slot->WidthAsPercent = column.ColAsPercent;
        if (!slot->WidthAsPercent) UseAbsolute = true;
      }
    }
    ColInfo.clear();
    ColInfo.shrink_to_fit();
  }
  Widths.assign(static_cast<std::size_t>(NumCols), 0);
}

TColumnConstraints ThtmlTable::ColumnConstraints() {
  TColumnConstraints constraints;
  constraints.Columns = NumCols;
  constraints.Spacing = CellSpacing;
  constraints.UseAbsolute = UseAbsolute;
  constraints.SpecWidth = SpecWidth;
  std::size_t places = 0;
  for (const auto& row : Rows) places += static_cast<std::size_t>(row->Count());
  constraints.Cells.reserve(places);
  for (const auto& row : Rows) {
    for (int c = 0; c < row->Count(); ++c) {
      if (row->IsPlaceholder(c)) continue;
      TCellObj& cell = *row->Cells[static_cast<std::size_t>(c)];
      int min = 0, max = 0;
      if (cell.Cell) cell.Cell->GetMinMaxWidth(min, max);
      const int d = cell.HzSpace + CellSpacing;
      constraints.Cells.push_back({c, cell.ColSpan, min + d, max + d, cell.SpecWd, cell.WidthAsPercent, cell.HzSpace});
    }
  }
  return constraints;
}

void ThtmlTable::GetMinMaxWidth(int& Min, int& Max) {
  Initialize();
  if (m_minMaxCycle == OwnerList->State.LayoutCycle && m_minMaxD == SpecWidth) {
    Min = m_minCache;
    Max = m_maxCache;
    return;
  }
  // Measuring the columns makes the row heights of the last layout stale.
  Heights.clear();
  const TWidthRange range = TableWidthRange(ColumnConstraints());
  Min = range.Min;
  Max = range.Max;
  m_minMaxCycle = OwnerList->State.LayoutCycle;
  m_minMaxD = SpecWidth;
  m_minCache = Min;
  m_maxCache = Max;
}

void ThtmlTable::FindColumnWidths(int W) {
  if (NumCols <= 0) return;  // an empty table has no columns to give widths
  Heights.clear();
  Widths = ColumnWidths(ColumnConstraints(), W);
}

void ThtmlTable::FindRowHeights(int AHeight, const TLayoutContext& context) {
  const int rowCount = static_cast<int>(Rows.size());
  const int s = CellSpacing;
  // Column x positions, to find the width a cell spans.
  std::vector<std::int64_t> columnX(static_cast<std::size_t>(NumCols) + 1, 0);
  for (int c = 0; c < NumCols; ++c)
    columnX[static_cast<std::size_t>(c) + 1] = columnX[static_cast<std::size_t>(c)] + Widths[static_cast<std::size_t>(c)];
  auto spannedWidth = [&](int c, int span) {
    const int last = std::min(NumCols, c + std::max(span, 1));
    return static_cast<int>(columnX[static_cast<std::size_t>(last)] - columnX[static_cast<std::size_t>(c)]);
  };
  std::vector<TRowCell> cells;
  std::vector<std::pair<int, int>> at;  // the row and column of each
  cells.reserve(Rows.size());
  at.reserve(Rows.size());
  for (int r = 0; r < rowCount; ++r) {
    const TCellList& row = *Rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < row.Count(); ++c) {
      if (row.IsPlaceholder(c)) continue;
      const TCellObj& cell = *row.Cells[static_cast<std::size_t>(c)];
      const int goal = CellHeightGoal(cell.SpecHt, cell.SpecHtPercent, AHeight - s, rowCount, s);
      cells.push_back({r, cell.RowSpan, 0, cell.SpecHt, cell.SpecHtPercent, goal});
      at.push_back({r, c});
    }
  }
  // Each cell's content laid out in its width, cells of fewer rows first.
  for (const std::size_t i : RowSpanOrder(cells)) {
    TCellObj& cell = *Rows[static_cast<std::size_t>(at[i].first)]->Cells[static_cast<std::size_t>(at[i].second)];
    cell.Wd = spannedWidth(at[i].second, cell.ColSpan);
    int curs = 0, scrollWidth = 0;
    cell.VSize = cell.Cell ? cell.Cell->LayOut(0, std::max(0, cell.Wd - cell.HzSpace - s),
                                               std::max(0, cells[i].Goal - cell.VrSpace), 0, scrollWidth, curs,
                                               context)
                           : 0;
    cells[i].Content = cell.VSize + cell.VrSpace;
  }
  Heights = RowHeights(cells, rowCount, s, AHeight);
}

void ThtmlTable::PlaceCells(int Y, int& Curs, const TLayoutContext& context) {
  const int rowCount = static_cast<int>(Rows.size());
  const int s = CellSpacing;
  std::vector<TPlacedCell>& cells = m_placedCells;
  cells.clear();
  for (int r = 0; r < rowCount; ++r)
    for (const auto& cell : Rows[static_cast<std::size_t>(r)]->Cells)
      if (cell) cells.push_back({r, cell->RowSpan});
  TRowPlacement& placement = m_placement;
  PlaceRows(Heights, cells, Y, placement);
  m_rowTops.assign(placement.Tops.begin(), placement.Tops.end());
  m_rowBottomSoFar.assign(placement.BottomSoFar.begin(), placement.BottomSoFar.end());
  std::size_t next = 0;  // the placement's index of the row's first cell
  for (int r = 0; r < rowCount; ++r) {
    const std::size_t i = static_cast<std::size_t>(r);
    TCellList& row = *Rows[i];
    row.RowHeight = Heights[i];
    row.RowSpanHeight = placement.SpanHeights[i];
    for (const auto& owned : row.Cells)
      if (owned) owned->Ht = placement.CellHeights[next++];
    // The cells' content is placed in the pass of the outermost table: a nested table's cells move with
    // it.
    TLayoutContext placing = context;
    if (context.TableNesting == 1) placing.TableFinalPass = true;
    if (placing.TableFinalPass) {
      for (const auto& owned : row.Cells) {
        if (!owned || !owned->HasContent()) continue;
        TCellObj& cell = *owned;
        cell.YIndent = VerticalIndent(cell.VAlign, cell.Ht - cell.VSize - s - cell.VrSpace, cell.YIndent);
        int scrollWidth = 0;
        cell.Cell->LayOutAgainAt(m_rowTops[i] + s + cell.PadTop + cell.BrdTop + cell.YIndent,
                                 std::max(0, cell.Wd - cell.HzSpace - s), std::max(0, cell.Ht - cell.VrSpace - s), 0,
                                 scrollWidth, Curs, placing);
      }
    }
  }
}

int ThtmlTable::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  TLayoutContext cells = args.Context;
  ++cells.TableNesting;
  // The lines of the cells are no list item's first line: a list item around the table takes the
  // table's bottom instead.
  cells.ListItemBaseline = nullptr;
  PaintY = TopY = PaintTop = args.Y;
  FirstCharIndex = Curs;
  Initialize();
  IndentManager& mgr = *args.IMgr;
  const int W = (SpecWidth > 0 ? SpecWidth : mgr.RightEdge(args.Y) - mgr.LeftEdge(args.Y)) - CellSpacing;
  // A nested table is laid out by the measuring and by the placing pass of every table around it; its
  // widths and heights hold for the rest of the layout cycle.
  const bool measured = m_measuredCycle == OwnerList->State.LayoutCycle && m_measuredWidth == W &&
                        m_measuredHeight == args.AHeight && static_cast<int>(Heights.size()) == static_cast<int>(Rows.size());
  if (!measured) {
    FindColumnWidths(W);
    FindRowHeights(args.AHeight, cells);
    m_measuredCycle = OwnerList->State.LayoutCycle;
    m_measuredWidth = W;
    m_measuredHeight = args.AHeight;
  }
  std::int64_t width = CellSpacing;
  for (int w : Widths) width += w;
  TableWidth = static_cast<int>(std::min<std::int64_t>(width, INT_MAX / 2));
  PlaceCells(args.Y, Curs, cells);
  std::int64_t height = CellSpacing;
  for (int h : Heights) height += h;
  Height = InkHeight = static_cast<int>(std::clamp<std::int64_t>(height, 0, INT_MAX / 4));
  CharCount = Curs - FirstCharIndex;
  MaxWidth = TableWidth;
  BottomY = PaintBottom = args.Y + Height;
  if (int* baseline = args.Context.ListItemBaseline; baseline && *baseline == 0) *baseline = args.Y + Height;
  return Height;
}

}  // namespace corvane
