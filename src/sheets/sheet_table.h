#pragma once

#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "html/table_places.h"
#include "sheets/cell_value.h"

namespace corvane {

// One cell of a table as a browser shows it: its text (lines separated by "\n") and its place on the
// grid, with the rows and columns it spans; Header when it is a TH or in a THEAD. Link: the absolute
// address of the one link that is the cell's whole text, if it is (see TSheetReading::BaseAddress).
struct TSheetCell {
  QString Text;
  QString Link;
  int Row = 0;
  int Column = 0;
  int RowSpan = 1;
  int ColumnSpan = 1;
  bool Header = false;
};

// What was left out of a table so that it fits a sheet; DescribeCuts says it in words.
struct TSheetCuts {
  long long CellsPastLastColumn = 0;  // cells that begin past a sheet's last column
  int RowsFrom = -1;                  // the row from which on the table was left out (see kMaxTablePlaces)
  long long CellsShortened = 0;       // cells cut to a sheet cell's most characters (XLSX)
  long long CharactersLeftOut = 0;    // and the characters cut from them
};

// A table read as a browser reads it: cells in reading order, on a grid Rows x Columns wide.
struct TSheetTable {
  std::vector<TSheetCell> Cells;
  int Rows = 0;
  int Columns = 0;
  TSheetCuts Cuts;
};

// How a table's text is read.
struct TSheetReading {
  // The page's character-set declaration (see DeclaredCharset): the table is read in the page's
  // character set when it declares none itself.
  std::string PageCharset;
  // Trims no-break spaces and control characters around each cell's text too.
  bool Trim = false;
  // The address a cell's link is resolved against (the page's, or its BASE; see PageBaseAddress). A
  // cell whose text is all one link's (an A with an HREF) gets the link's absolute address, when it
  // is a web, mail or file address; none when this is empty.
  std::string BaseAddress = {};
  // How the XLSX writer reads numbers (see CellNumber).
  TNumberReading Numbers = {};
};

// The address the links of the page at path resolve against: the page's BASE HREF (the first BASE
// before the page's first table, within the page's first 64 KB, head) resolved against the page's
// own address, a file: URL of its absolute path.
std::string PageBaseAddress(const std::string& path, std::string_view head);

// Reads the table fragment (one TABLE element, as the table scanner cuts it out of a page, best with
// its line breaks) as a browser does: reading starts at the fragment's first "<table" (text of an
// enclosing table's row may stand before it); a cell ends where the next cell or row begins, closing
// tags or not; tags are removed and character references decoded; white space collapses, with BR and
// the ends of blocks as line breaks, except in a PRE; COLSPAN and ROWSPAN place the cells on the grid,
// a row span ending with its row group at the latest (ROWSPAN=0: with its row group). The most a span
// may reach is bounded, and so is the grid (kMaxTablePlaces), so that hostile numbers never make a
// huge one. Markup that is not well formed never fails a table.
TSheetTable ReadSheetTable(std::string_view fragment, const TSheetReading& reading);

// The table's cells by row, then by column: the order the writers take them in. A table read by
// ReadSheetTable has them in that order already; any other is sorted.
std::vector<const TSheetCell*> CellsInGridOrder(const TSheetTable& table);

// Reads a table fragment as ReadSheetTable does, a few cells at a time, so that a table too large to
// hold whole can be written as it is read. The fragment is read where it lies: it stays unchanged for as
// long as the reader reads.
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
  // What was left out so far; all of it once Read has returned false.
  const TSheetCuts& Cuts() const;

 private:
  struct TState;
  std::unique_ptr<TState> m_state;
};

// Spans beyond these are cut: a sheet's own limits are far larger, but no real table spans more.
inline constexpr int kMaxColumnSpan = 1000;
inline constexpr int kMaxRowSpan = 65534;
// A sheet's columns; cells beyond are left out.
inline constexpr int kMaxColumns = 16384;
// A table whose grid would take more than kMaxTablePlaces is left out from the row of the first cell
// that would pass it.

// What cuts says, one line for each kind of cut, each beginning with table (such as "page.html, table
// 2"); none when nothing was cut.
std::vector<std::string> DescribeCuts(const TSheetCuts& cuts, const std::string& table);

}  // namespace corvane
