// The steps of table layout on their own, from plain inputs: the grid, the column widths, the row
// heights and the placement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/table_columns.h"
#include "layout/table_grid.h"
#include "layout/table_placement.h"
#include "layout/table_rows.h"

namespace corvane {
namespace {

// The slots of each row: "CxR" for a cell of column span C and row span R, "s" for a spanned slot, "e"
// for an empty one; rows separated by "|". Cells must come in their row's order.
std::string Slots(const TTableGrid& grid) {
  std::string text;
  for (std::size_t r = 0; r < grid.Rows.size(); ++r) {
    if (r > 0) text += "|";
    int nextCell = 0;
    for (std::size_t c = 0; c < grid.Rows[r].size(); ++c) {
      const TGridSlot& slot = grid.Rows[r][c];
      if (c > 0) text += " ";
      switch (slot.Kind) {
        case TSlotKind::Cell:
          if (slot.Cell != nextCell++) return "cell " + std::to_string(slot.Cell) + " out of order";
          text += std::to_string(slot.ColSpan) + "x" + std::to_string(slot.RowSpan);
          break;
        case TSlotKind::Spanned:
          text += "s";
          break;
        case TSlotKind::Empty:
          text += "e";
          break;
      }
    }
  }
  return text;
}

TEST(TableSteps, Grid) {
  constexpr long long kAmple = 1'000'000;
  struct TCase {
    const char* Name;
    std::vector<std::vector<TGridSpan>> Rows;
    long long Budget;
    const char* Slots;
    int Columns;
    bool Cut;
  } const cases[] = {
      {"plain", {{{1, 1}, {1, 1}}, {{1, 1}}}, kAmple, "1x1 1x1|1x1", 2, false},
      {"no rows", {}, kAmple, "", 0, false},
      {"a row without cells", {{}, {{1, 1}}}, kAmple, "|1x1", 1, false},
      {"spans below 1 count as 1", {{{0, 0}, {-3, -1}}}, kAmple, "1x1 1x1", 2, false},
      {"colspan", {{{2, 1}, {1, 1}}, {{1, 1}, {1, 1}, {1, 1}}}, kAmple, "2x1 s 1x1|1x1 1x1 1x1", 3, false},
      // Columns only a span reaches are given up by the cell spanning them.
      {"colspan past the grid", {{{1, 1}, {3, 1}}, {{1, 1}, {1, 1}}}, kAmple, "1x1 1x1|1x1 1x1", 2, false},
      {"colspan partly past the grid", {{{1, 1}, {3, 1}}, {{1, 1}, {1, 1}, {1, 1}}}, kAmple, "1x1 2x1 s|1x1 1x1 1x1", 3,
       false},
      {"rowspan", {{{1, 1}, {1, 2}, {1, 1}}, {{1, 1}, {1, 1}}}, kAmple, "1x1 1x2 1x1|1x1 s 1x1", 3, false},
      {"rowspan past the last row", {{{1, 5}, {1, 1}}, {{1, 1}}}, kAmple, "1x2 1x1|s 1x1", 2, false},
      {"rowspan in a table of one row", {{{1, 3}, {1, 1}}}, kAmple, "1x1 1x1", 2, false},
      // A short row below a spanning cell is filled up to it with empty slots.
      {"short row under a rowspan", {{{1, 1}, {1, 1}, {1, 2}}, {{1, 1}}}, kAmple, "1x1 1x1 1x2|1x1 e s", 3, false},
      {"block of two by two", {{{2, 2}, {1, 1}}, {{1, 1}}}, kAmple, "2x2 s 1x1|s s 1x1", 3, false},
      // A cell below that a rowspan from above overlaps moves right past it, the slot it spans with it.
      {"colspan under a rowspan", {{{1, 1}, {1, 2}}, {{2, 1}}}, kAmple, "1x1 1x2|2x1 s s", 3, false},
      {"rowspans side by side", {{{1, 3}, {1, 2}, {1, 1}}, {{1, 1}}, {{1, 1}, {1, 1}}}, kAmple,
       "1x3 1x2 1x1|s s 1x1|s 1x1 1x1", 3, false},
      // The budget: column spans take what is left after every cell's own slot, in order; row spans end
      // above the row that would pass it.
      {"within the budget", {{{3, 1}, {1, 1}}, {{1, 1}, {1, 1}, {1, 1}, {1, 1}}}, 8, "3x1 s s 1x1|1x1 1x1 1x1 1x1", 4,
       false},
      {"colspan cut", {{{3, 1}, {1, 1}}, {{1, 1}, {1, 1}, {1, 1}, {1, 1}}}, 7, "2x1 s 1x1|1x1 1x1 1x1 1x1", 4, true},
      {"second colspan cut", {{{5, 1}, {5, 1}}}, 6, "5x1 s s s s 1x1", 6, true},
      {"cells keep their slots", {{{1, 1}, {9, 1}, {1, 1}}}, 2, "1x1 1x1 1x1", 3, true},
      {"rowspan cut", {{{2, 3}, {1, 1}}, {{1, 1}}, {{1, 1}}}, 8, "2x2 s 1x1|s s 1x1|1x1", 3, true},
      {"rowspan within", {{{2, 3}, {1, 1}}, {{1, 1}}, {{1, 1}}}, 9, "2x3 s 1x1|s s 1x1|s s 1x1", 3, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TTableGrid grid = CompleteTableGrid(c.Rows, c.Budget);
    EXPECT_EQ(Slots(grid), c.Slots);
    EXPECT_EQ(grid.Columns, c.Columns);
    EXPECT_EQ(grid.SpansCut, c.Cut);
  }
}

TEST(TableSteps, GridOfAHostileTableStaysWithinItsBudget) {
  // 2000 rows of one cell spanning 100000 columns and 100000 rows: far more than the budget holds.
  const std::vector<std::vector<TGridSpan>> rows(2000, std::vector<TGridSpan>{{100000, 100000}, {1, 1}});
  const TTableGrid grid = CompleteTableGrid(rows, 50000);
  long long slots = 0;
  for (const auto& row : grid.Rows) slots += static_cast<long long>(row.size());
  EXPECT_LE(slots, 50000);
  EXPECT_TRUE(grid.SpansCut);
  // Every cell kept its slot.
  for (const auto& row : grid.Rows) {
    int cells = 0;
    for (const TGridSlot& slot : row) cells += slot.Kind == TSlotKind::Cell ? 1 : 0;
    EXPECT_EQ(cells, 2);
  }
}

// A cell of one column for the column widths: no padding, borders or spacing.
TColumnCell Cell(int column, int min, int max, int span = 1) { return {column, span, min, max, 0, false, 0}; }
TColumnCell PixelCell(int column, int min, int max, int width) { return {column, 1, min, max, width, false, 0}; }
TColumnCell PercentCell(int column, int min, int max, int perMille) { return {column, 1, min, max, perMille, true, 0}; }

TEST(TableSteps, ColumnWidths) {
  struct TCase {
    const char* Name;
    TColumnConstraints Constraints;
    int W;
    std::vector<int> Widths;
  } const cases[] = {
      // A table of no given width spreads W between the narrowest and the widest widths, in proportion
      // to what each column can grow.
      {"between narrowest and widest", {{Cell(0, 10, 50), Cell(1, 20, 30)}, 2, 0, false, 0}, 55, {30, 25}},
      {"too narrow", {{Cell(0, 10, 50), Cell(1, 20, 30)}, 2, 0, false, 0}, 20, {10, 20}},
      {"wider than the widest", {{Cell(0, 10, 50), Cell(1, 20, 30)}, 2, 0, false, 0}, 100, {66, 34}},
      {"columns that cannot grow share alike", {{Cell(0, 10, 10), Cell(1, 20, 20)}, 2, 0, false, 0}, 41, {16, 25}},
      // A table of given width: the columns without a percentage grow by what they can grow.
      {"given width", {{Cell(0, 10, 50), Cell(1, 20, 30)}, 2, 0, false, 200}, 200, {146, 54}},
      // Percentages: a table of no given width takes no more than its columns hold at their shares.
      {"percent fits", {{PercentCell(0, 10, 50, 500), Cell(1, 20, 30)}, 2, 0, false, 0}, 200, {50, 50}},
      {"percent scaled to what fits", {{PercentCell(0, 10, 50, 500), Cell(1, 20, 30)}, 2, 0, false, 0}, 60, {30, 30}},
      {"percent of a given width", {{PercentCell(0, 10, 50, 250), Cell(1, 20, 30)}, 2, 0, false, 200}, 200, {50, 150}},
      {"percent below the content", {{PercentCell(0, 80, 90, 250), Cell(1, 20, 30)}, 2, 0, false, 200}, 200, {80, 120}},
      // Pixel widths hold; the rest is spread over what can grow.
      {"pixel width", {{PixelCell(0, 10, 50, 100), Cell(1, 20, 30)}, 2, 0, true, 0}, 125, {100, 25}},
      {"pixel width, room to spare", {{PixelCell(0, 10, 50, 100), Cell(1, 20, 30)}, 2, 0, true, 0}, 300, {100, 30}},
      {"pixel width, too narrow", {{PixelCell(0, 10, 50, 100), Cell(1, 20, 30)}, 2, 0, true, 0}, 50, {100, 20}},
      {"pixel width with spacing and padding", {{{0, 1, 10, 50, 100, false, 6}, Cell(1, 20, 30)}, 2, 2, true, 0}, 500,
       {108, 30}},
      // A cell spanning both columns widens them in proportion to their widths.
      {"spanning cell",
       {{Cell(0, 10, 20), Cell(1, 10, 20), Cell(2, 10, 20), Cell(0, 60, 100, 2)}, 3, 0, false, 0},
       95,
       {40, 40, 15}},
      // A cell spanning every column counts them as at least W wide together: its widest width (100) is
      // shared as 100 x 20 / 80 each, the first column taking what is left.
      {"cell spanning the table", {{Cell(0, 10, 20), Cell(1, 10, 20), Cell(0, 60, 100, 2)}, 2, 0, false, 0}, 80, {59, 21}},
      {"spanning cell, pixel widths", {{Cell(0, 10, 20), Cell(1, 30, 60), Cell(0, 80, 160, 2)}, 2, 0, true, 0}, 500,
       {40, 120}},
      {"no columns", {{}, 0, 0, false, 0}, 100, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ColumnWidths(c.Constraints, c.W), c.Widths);
  }
}

TEST(TableSteps, TableWidthRange) {
  struct TCase {
    const char* Name;
    TColumnConstraints Constraints;
    int Min, Max;
  } const cases[] = {
      {"sums with one spacing", {{Cell(0, 10, 50), Cell(1, 20, 30)}, 2, 2, false, 0}, 32, 82},
      {"a given width is the least", {{Cell(0, 10, 50), Cell(1, 20, 30)}, 2, 2, false, 300}, 300, 300},
      {"a given width below the content", {{Cell(0, 10, 50), Cell(1, 20, 30)}, 2, 0, false, 20}, 30, 80},
      {"spanning cell", {{Cell(0, 10, 20), Cell(1, 10, 20), Cell(0, 60, 100, 2)}, 2, 0, false, 0}, 60, 100},
      // A percentage column must hold its widest content in its share: 50 at 25% makes the table 200.
      {"percent", {{PercentCell(0, 10, 50, 250), Cell(1, 20, 30)}, 2, 0, false, 0}, 30, 200},
      {"pixel width", {{PixelCell(0, 10, 50, 100), Cell(1, 20, 30)}, 2, 0, true, 0}, 120, 130},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TWidthRange range = TableWidthRange(c.Constraints);
    EXPECT_EQ(range.Min, c.Min);
    EXPECT_EQ(range.Max, c.Max);
  }
}

TEST(TableSteps, PercentShares) {
  struct TCase {
    const char* Name;
    std::vector<int> MaxWidths, Percents;
    int Width;
    std::vector<int> Widths;
  } const cases[] = {
      {"no percentages", {50, 30}, {0, 0}, 0, {0, 0}},
      {"percentages past the whole", {50, 30}, {600, 600}, 0, {0, 0}},
      // The percentage column's content decides: 50 at 50% makes 100, the other takes the rest.
      {"content of the percentage column", {50, 30}, {500, 0}, 100, {50, 50}},
      // The other column's content decides: 90 in the 50% left makes 180.
      {"content of the other column", {50, 90}, {500, 0}, 180, {90, 90}},
      // Percentage columns alone share the whole in their proportion: 30 at 25% makes 120, a third of it
      // going to the first.
      {"percentage columns alone", {30, 20}, {250, 500}, 120, {40, 80}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TColumnMeasures measures;
    measures.MinWidths.assign(c.MaxWidths.size(), 0);
    measures.MaxWidths = c.MaxWidths;
    measures.Percents = c.Percents;
    std::vector<int> widths(c.MaxWidths.size(), 0);
    EXPECT_EQ(PercentShares(measures, &widths), c.Width);
    EXPECT_EQ(widths, c.Widths);
  }
}

TEST(TableSteps, CellHeightGoal) {
  EXPECT_EQ(CellHeightGoal(50, 30, 198, 2, 2), 50);   // pixels before a percentage
  EXPECT_EQ(CellHeightGoal(0, 50, 198, 2, 2), 97);    // half of 198 less the spacing of two rows
  EXPECT_EQ(CellHeightGoal(0, 0, 198, 1, 2), 196);    // the one row of a table fills it
  EXPECT_EQ(CellHeightGoal(0, 0, 198, 2, 2), 0);
  EXPECT_EQ(CellHeightGoal(0, 50, -2, 2, 2), 0);      // a table of no height
}

// A cell for the row heights.
TRowCell RowCell(int row, int content, int rowSpan = 1) { return {row, rowSpan, content, 0, 0, 0}; }
TRowCell SpecifiedRowCell(int row, int content, int height) { return {row, 1, content, height, 0, 0}; }

TEST(TableSteps, RowHeights) {
  struct TCase {
    const char* Name;
    std::vector<TRowCell> Cells;
    int Rows;
    int Height;
    std::vector<int> Heights;
  } const cases[] = {
      // Without a table height each row is its tallest cell and the spacing (2).
      {"content", {RowCell(0, 20), RowCell(0, 15), RowCell(1, 30)}, 2, 0, {22, 32}},
      {"a row without cells is the spacing high", {RowCell(0, 20)}, 2, 0, {22, 2}},
      {"no rows", {}, 0, 100, {}},
      {"height asked for", {SpecifiedRowCell(0, 20, 50), RowCell(1, 30)}, 2, 0, {52, 32}},
      {"height asked for below the content", {SpecifiedRowCell(0, 80, 50), RowCell(1, 30)}, 2, 0, {82, 32}},
      // A table height: rows that asked for none share what is left (198 for the rows).
      {"table height", {RowCell(0, 20), RowCell(1, 30)}, 2, 200, {94, 104}},
      {"table height, odd remainder to the last", {RowCell(0, 20), RowCell(1, 31)}, 2, 200, {93, 105}},
      {"table height beside a row asked for", {SpecifiedRowCell(0, 20, 50), RowCell(1, 30)}, 2, 200, {52, 146}},
      {"every row asked for", {SpecifiedRowCell(0, 10, 50), SpecifiedRowCell(1, 10, 30)}, 2, 200, {123, 75}},
      {"table lower than the content", {RowCell(0, 20), RowCell(1, 30)}, 2, 40, {22, 32}},
      // A percentage: half of 194 asked for in a table 200 high.
      {"percent", {{0, 1, 20, 0, 50, 97}, RowCell(1, 30)}, 2, 200, {99, 99}},
      {"percent, table too low for it", {{0, 1, 20, 0, 50, 97}, RowCell(1, 30)}, 2, 100, {66, 32}},
      // A cell spanning rows widens them alike, the remainder going to the last.
      {"rowspan", {RowCell(0, 100, 2), RowCell(0, 20), RowCell(1, 20)}, 2, 0, {51, 51}},
      {"rowspan, remainder", {RowCell(0, 101, 2), RowCell(0, 20), RowCell(1, 20)}, 2, 0, {51, 52}},
      {"rowspan within its rows", {RowCell(0, 30, 2), RowCell(0, 20), RowCell(1, 20)}, 2, 0, {22, 22}},
      {"rowspan past the last row", {RowCell(0, 100, 5), RowCell(1, 20)}, 2, 0, {41, 61}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(RowHeights(c.Cells, c.Rows, 2, c.Height), c.Heights);
  }
}

TEST(TableSteps, RowSpanOrderMeasuresShorterSpansFirst) {
  const std::vector<TRowCell> cells = {RowCell(0, 0, 3), RowCell(0, 0), RowCell(0, 0, 2), RowCell(1, 0), RowCell(1, 0, 0)};
  EXPECT_EQ(RowSpanOrder(cells), (std::vector<std::size_t>{1, 3, 4, 2, 0}));
}

TEST(TableSteps, Placement) {
  struct TCase {
    const char* Name;
    std::vector<int> Heights;
    std::vector<TPlacedCell> Cells;
    std::vector<int> Tops, SpanHeights, BottomSoFar, CellHeights;
  } const cases[] = {
      {"rows and spans", {10, 20, 30}, {{0, 1}, {0, 2}, {1, 1}, {2, 5}},
       {100, 110, 130}, {30, 20, 30}, {130, 130, 160}, {10, 30, 20, 30}},
      // A cell from the first row reaching to the last keeps the bottom of the rows above the last.
      {"tall first cell", {10, 10, 10}, {{0, 3}, {1, 1}, {2, 1}},
       {100, 110, 120}, {30, 10, 10}, {130, 130, 130}, {30, 10, 10}},
      {"rows without cells", {5, 7}, {}, {100, 105}, {5, 7}, {105, 112}, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TRowPlacement placement = PlaceRows(c.Heights, c.Cells, 100);
    EXPECT_EQ(placement.Tops, c.Tops);
    EXPECT_EQ(placement.SpanHeights, c.SpanHeights);
    EXPECT_EQ(placement.BottomSoFar, c.BottomSoFar);
    EXPECT_EQ(placement.CellHeights, c.CellHeights);
  }
}

TEST(TableSteps, VerticalIndent) {
  struct TCase {
    int VAlign, Room, Current, Indent;
  } const cases[] = {
      {1, 40, 7, 0}, {2, 40, 7, 20}, {2, 41, 7, 20}, {3, 40, 7, 40}, {4, 40, 7, 40}, {0, 40, 7, 7}, {2, -10, 0, -5},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(VerticalIndent(c.VAlign, c.Room, c.Current), c.Indent) << c.VAlign << " " << c.Room;
}

}  // namespace
}  // namespace corvane
