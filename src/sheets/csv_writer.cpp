#include "sheets/csv_writer.h"

#include <algorithm>
#include <vector>

namespace corvane {

namespace {

// The cells of a table by grid row, and which places of each row a span from above or the left covers.
std::vector<std::vector<const TSheetCell*>> CellsByRow(const TSheetTable& table) {
  std::vector<std::vector<const TSheetCell*>> rows(static_cast<std::size_t>(table.Rows));
  for (const TSheetCell& cell : table.Cells) rows[static_cast<std::size_t>(cell.Row)].push_back(&cell);
  return rows;
}

void AppendCsvField(const QString& text, std::string& out) {
  const QByteArray bytes = text.toUtf8();
  const bool quoted = bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r');
  if (!quoted) {
    out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return;
  }
  out.push_back('"');
  for (const char c : bytes) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

}  // namespace

void AppendCsvTable(const TSheetTable& table, std::string& out) {
  const auto rows = CellsByRow(table);
  for (const auto& row : rows) {
    // The row's own cells by column; the other places stay empty.
    std::vector<const TSheetCell*> byColumn(static_cast<std::size_t>(table.Columns), nullptr);
    for (const TSheetCell* cell : row) byColumn[static_cast<std::size_t>(cell->Column)] = cell;
    for (int column = 0; column < table.Columns; ++column) {
      if (column > 0) out.push_back(',');
      if (const TSheetCell* cell = byColumn[static_cast<std::size_t>(column)]) AppendCsvField(cell->Text, out);
    }
    out.append("\r\n");
  }
}

}  // namespace corvane
