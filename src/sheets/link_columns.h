#pragma once

#include <QString>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sheets/sheet_table.h"

namespace corvane {

// The columns that the option to write links adds to a CSV or JSON table: after each column in which
// a cell with a link (TSheetCell::Link) begins, a column with the links' addresses. When the table's
// first row is a header row (its cells all headers) the added column's place in it is named after the
// header: "NAME (link)". A table is seen whole first (See), then written (Width, Place).
class TLinkColumns {
 public:
  // off: no column is added, and the cells go through as they are.
  explicit TLinkColumns(bool on) : m_on(on) {}

  void See(const TSheetCell& cell) {
    if (!m_on) return;
    if (cell.Row == 0 && !cell.Header) m_headerRow = false;
    if (cell.Row > 0 && !m_sawFirstRow) m_headerRow = false;
    m_sawFirstRow = true;
    if (cell.Link.isEmpty()) return;
    const auto column = static_cast<std::size_t>(cell.Column);
    if (m_linked.size() <= column) m_linked.resize(column + 1, false);
    m_linked[column] = true;
    m_shifts.clear();
  }
  // The grid's width with the added columns.
  int Width(int columns) {
    Prepare();
    return columns + (m_shifts.empty() ? 0 : m_shifts.back());
  }
  // Hands add the cell at its place among the added columns, then the cell of its link column, if any.
  template <class TAdd>
  void Place(const TSheetCell& cell, TAdd&& add) {
    Prepare();
    if (m_shifts.empty()) {
      add(cell);
      return;
    }
    const auto column = static_cast<std::size_t>(cell.Column);
    TSheetCell moved = cell;
    moved.Column += Shift(column);
    add(moved);
    if (column >= m_linked.size() || !m_linked[column]) return;
    TSheetCell link;
    link.Row = cell.Row;
    link.Column = moved.Column + 1;
    link.Text = cell.Row == 0 && m_headerRow ? cell.Text + QStringLiteral(" (link)") : cell.Link;
    add(link);
  }

 private:
  // m_shifts[c]: the columns added before column c; its last entry, all of them.
  void Prepare() {
    if (!m_shifts.empty() || m_linked.empty()) return;
    m_shifts.resize(m_linked.size() + 1, 0);
    for (std::size_t c = 0; c < m_linked.size(); ++c) m_shifts[c + 1] = m_shifts[c] + (m_linked[c] ? 1 : 0);
  }
  int Shift(std::size_t column) const { return m_shifts.empty() ? 0 : m_shifts[std::min(column, m_shifts.size() - 1)]; }

  bool m_on;
  bool m_headerRow = true;
  bool m_sawFirstRow = false;
  std::vector<bool> m_linked;  // by column: a cell with a link begins in it
  std::vector<int> m_shifts;
};

// Writes a table too large to hold as it is read, a few thousand cells at a time: a first reading finds
// the grid's width and the columns of links, a second hands each cell to a row writer made with
// (columns, out), whose text goes to write in pieces of about 1 MB (a row writer with FlushTo(write)
// may hand on a huge field in pieces itself); end(rows, row count) ends the rows.
template <typename TRows, typename TEnd>
void WriteRowsAsRead(std::string_view fragment, const TSheetReading& reading,
                     const std::function<void(std::string_view)>& write, TSheetCuts* cuts, bool links, TEnd end,
                     std::string_view lead = {}) {
  constexpr std::size_t kCellsAtATime = 4096;
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  std::vector<TSheetCell> cells;
  TLinkColumns linkColumns(links);
  int columns = 0;
  {
    TSheetTableReader measure(fragment, reading);
    while (measure.Read(cells, kCellsAtATime)) {
      for (const TSheetCell& cell : cells) linkColumns.See(cell);
      cells.clear();
    }
    columns = linkColumns.Width(measure.Columns());
  }
  TSheetTableReader reader(fragment, reading);
  std::string out;
  TRows rows(columns, out, lead);
  if constexpr (requires { rows.FlushTo(write); }) rows.FlushTo(write);
  while (reader.Read(cells, kCellsAtATime)) {
    for (const TSheetCell& cell : cells) linkColumns.Place(cell, [&](const TSheetCell& placed) { rows.Add(placed); });
    cells.clear();
    if (out.size() >= kPiece) {
      write(out);
      out.clear();
    }
  }
  end(rows, reader.Rows());
  write(out);
  if (cuts) *cuts = reader.Cuts();
}

}  // namespace corvane
