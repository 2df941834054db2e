#pragma once

#include <vector>

namespace corvane {

// The second step of table layout: the widths of the columns.
//
// What the names measure (all widths in pixels, percentages in per mille):
//   Min, Max      a cell's narrowest and widest content width (the widest line unbroken), with its padding,
//                 its borders and the cell spacing; MinWidth/MaxWidth are the same for a column: the
//                 largest of its cells', widened where cells spanning it need more.
//   SumMin/SumMax the table's narrowest and widest widths: the sums over the columns.
//   SpecWd        the width a cell asks for (WIDTH or style): pixels, or per mille of the table's width.
//   W             the width the columns share: the table's width less one cell spacing.
//   D             the width percentages are of: the table's own width (0 for none) while the table is
//                 measured, W when the columns are given widths; a pixel width counts as its share of D.
//   p             a cell's percentage; Percents the largest of a column's cells (sumPct over a span).
//   P             the sum of the percentages of the columns that have one.
//   M (m)         the sum of the widest widths of the columns without a percentage.
//   A             the table width at which every percentage column holds its widest content in its share.
//   B             the table width at which the columns without a percentage hold their widest content in
//                 what the percentages leave (m / (1 - P)).
//   N             the larger of A and B: the width at which both hold.
//   S, Q          while percentages do not fit: the narrowest widths of the columns without one, and the
//                 shares of W the percentages ask for; X is what is left to the percentages (W - S).
//   E, PP         in a table of given width: how much the columns without a percentage can still grow
//                 (their Max - Min), and the percentages of the columns that got their share.

// One cell as the column widths see it. The cells come row by row, in slot order.
struct TColumnCell {
  int Column = 0;  // its first column
  int Span = 1;    // the columns it spans
  int Min = 0;     // narrowest width, with padding, borders and spacing
  int Max = 0;     // widest width, likewise
  int SpecWd = 0;  // the width asked for: pixels, or per mille with WidthAsPercent; 0 for none
  bool WidthAsPercent = false;
  int HzSpace = 0;  // its padding and borders, left and right
};

struct TColumnConstraints {
  std::vector<TColumnCell> Cells;
  int Columns = 0;
  int Spacing = 0;           // the cell spacing
  bool UseAbsolute = false;  // some cell has a width in pixels
  int SpecWidth = 0;         // the table's own width, 0 for none
};

// The narrowest and widest widths of each column, and the percentage each asks for.
struct TColumnMeasures {
  std::vector<int> MinWidths;
  std::vector<int> MaxWidths;
  std::vector<int> Percents;  // per mille, 0 for none
  int SumMin = 0;
  int SumMax = 0;
};

// The measures of columns sized by their content, the pixel widths asked for holding.
TColumnMeasures MeasureColumnsAbsolute(const TColumnConstraints& constraints);
// The measures of columns with percentages, of a table whose width is D (0: unknown).
TColumnMeasures MeasureColumnsPercent(const TColumnConstraints& constraints, int D);

// The width of the columns at which every percentage column gets its share of it with its maximum in it,
// and the others their maximums in the rest (percentage columns alone share all of it); 0 without
// percentages or when they pass the whole. With widths, the columns' widths at that width.
int PercentShares(const TColumnMeasures& measures, std::vector<int>* widths = nullptr);

// The narrowest and widest the table's columns can be, with the spacing, for the table's min/max width.
struct TWidthRange {
  int Min = 0;
  int Max = 0;
};
TWidthRange TableWidthRange(const TColumnConstraints& constraints);

// The width of each column when the columns share W.
std::vector<int> ColumnWidths(const TColumnConstraints& constraints, int W);

}  // namespace corvane
