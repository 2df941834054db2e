#include "sheets/csv_writer.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "sheets/link_columns.h"

namespace corvane {

namespace {

using TWrite = std::function<void(std::string_view)>;

// Text gathered for writing is handed on in pieces of about this size.
constexpr std::size_t kWritePiece = std::size_t{1} << 20;

// The field is converted to UTF-8 a piece at a time (never splitting a surrogate pair), so that a huge
// cell is not held once more whole, at up to three bytes a character, besides what is written. With
// flush, what out gathers goes there each time it passes kWritePiece, so that not even the row holds it.
void AppendCsvField(const QString& text, std::string& out, const TWrite* flush = nullptr) {
  constexpr qsizetype kPiece = 1 << 16;
  const bool quoted = text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
  if (quoted) out.push_back('"');
  for (qsizetype at = 0; at < text.size();) {
    qsizetype length = std::min(kPiece, text.size() - at);
    if (at + length < text.size() && text[at + length - 1].isHighSurrogate()) --length;
    const QByteArray bytes = QStringView(text).sliced(at, length).toUtf8();
    at += length;
    if (!quoted) {
      out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    } else {
      for (const char c : bytes) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
      }
    }
    if (flush && out.size() >= kWritePiece) {
      (*flush)(out);
      out.clear();
    }
  }
  if (quoted) out.push_back('"');
}

// Writes the grid's rows from its cells, given in reading order (by row, then by column): a row is
// written when a cell of a later row comes, with the rows no cell starts in (those spans cover) as
// empty fields.
class TCsvRowWriter {
 public:
  TCsvRowWriter(int columns, std::string& out, std::string_view lead = {})
      : m_fields(static_cast<std::size_t>(std::max(columns, 0))), m_out(out), m_lead(lead) {}

  void Add(const TSheetCell& cell) {
    WriteRowsBefore(cell.Row);
    if (cell.Column < static_cast<int>(m_fields.size())) m_fields[static_cast<std::size_t>(cell.Column)] = cell.Text;
  }
  // A table written as it is read: a huge field goes to write in pieces as it is made.
  void FlushTo(const TWrite& write) { m_flush = &write; }
  // Writes the rows before row: the current one, and the empty ones up to row.
  void WriteRowsBefore(int row) {
    for (; m_row < row; ++m_row) {
      m_out.append(m_lead);
      for (std::size_t column = 0; column < m_fields.size(); ++column) {
        if (column > 0) m_out.push_back(',');
        if (!m_fields[column].isEmpty()) AppendCsvField(m_fields[column], m_out, m_flush);
        m_fields[column] = QString();
      }
      m_out.append("\r\n");
    }
  }

 private:
  std::vector<QString> m_fields;  // the current row's texts by column
  std::string& m_out;
  std::string_view m_lead;
  const TWrite* m_flush = nullptr;
  int m_row = 0;
};

}  // namespace

std::string CsvLeadFields(std::string_view address, std::size_t number) {
  std::string lead;
  AppendCsvField(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())), lead);
  lead.push_back(',');
  lead.append(std::to_string(number));
  lead.push_back(',');
  return lead;
}

void AppendCsvTable(const TSheetTable& table, std::string& out, bool links, std::string_view lead) {
  TLinkColumns columns(links);
  for (const TSheetCell& cell : table.Cells) columns.See(cell);
  TCsvRowWriter rows(columns.Width(table.Columns), out, lead);
  for (const TSheetCell* cell : CellsInGridOrder(table)) columns.Place(*cell, [&](const TSheetCell& placed) { rows.Add(placed); });
  rows.WriteRowsBefore(table.Rows);
}

void WriteCsvTableFrom(std::string_view fragment, const TSheetReading& reading,
                       const std::function<void(std::string_view)>& write, TSheetCuts* cuts, bool links,
                       std::string_view lead) {
  WriteRowsAsRead<TCsvRowWriter>(
      fragment, reading, write, cuts, links, [](TCsvRowWriter& rows, int count) { rows.WriteRowsBefore(count); }, lead);
}

}  // namespace corvane
