#pragma once

#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// One cell of a table as a browser shows it: its text (lines separated by "\n") and its place on the
// grid, with the rows and columns it spans.
struct TSheetCell {
  QString Text;
  int Row = 0;
  int Column = 0;
  int RowSpan = 1;
  int ColumnSpan = 1;
};

// A table read as a browser reads it: cells in reading order, on a grid Rows x Columns wide.
struct TSheetTable {
  std::vector<TSheetCell> Cells;
  int Rows = 0;
  int Columns = 0;
};

// How a table's text is read.
struct TSheetReading {
  // The page's character-set declaration (see DeclaredCharset): the table is read in the page's
  // character set when it declares none itself.
  std::string PageCharset;
  // Trims no-break spaces and control characters around each cell's text too.
  bool Trim = false;
};

// Reads the table fragment (one TABLE element, as the table scanner cuts it out of a page) as a browser
// does: a cell ends where the next cell or row begins, closing tags or not; tags are removed and
// character references decoded; white space collapses, with BR and the ends of blocks as line breaks;
// COLSPAN and ROWSPAN place the cells on the grid. The most a span may reach is bounded, so that a
// hostile number never makes a huge grid.
TSheetTable ReadSheetTable(std::string_view fragment, const TSheetReading& reading);

// The table's cells by row, then by column: the order the writers take them in. A table read by
// ReadSheetTable has them in that order already; any other is sorted.
std::vector<const TSheetCell*> CellsInGridOrder(const TSheetTable& table);

// Reads a table fragment as ReadSheetTable does, a few cells at a time, so that a table too large to
// hold whole can be written as it is read.
class TSheetTableReader {
 public:
  TSheetTableReader(std::string_view fragment, const TSheetReading& reading);
  ~TSheetTableReader();
  TSheetTableReader(const TSheetTableReader&) = delete;
  TSheetTableReader& operator=(const TSheetTableReader&) = delete;

  // Appends the cells finished next, count of them unless the table ends first (in reading order,
  // which is by row, then by column). False once the table has ended and every cell was handed over.
  bool Read(std::vector<TSheetCell>& cells, std::size_t count);
  // The grid's size so far; the table's once Read has returned false.
  int Rows() const;
  int Columns() const;

 private:
  struct TState;
  std::unique_ptr<TState> m_state;
};

// Spans beyond these are cut: a sheet's own limits are far larger, but no real table spans more.
inline constexpr int kMaxColumnSpan = 1000;
inline constexpr int kMaxRowSpan = 65534;
// A sheet's columns; cells beyond are left out.
inline constexpr int kMaxColumns = 16384;

}  // namespace corvane
