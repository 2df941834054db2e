#include "sheets/jsonl_writer.h"

#include <algorithm>
#include <vector>

#include "sheets/link_columns.h"

namespace corvane {

namespace {

void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Writes the grid's rows from its cells, given in reading order (by row, then by column): a row is
// written when a cell of a later row comes, with the rows no cell starts in (those spans cover) as
// rows of empty strings.
class TJsonRowWriter {
 public:
  TJsonRowWriter(int columns, std::string& out, std::string_view = {}) : m_fields(static_cast<std::size_t>(std::max(columns, 0))), m_out(out) {
    m_out.push_back('[');
  }

  void Add(const TSheetCell& cell) {
    WriteRowsBefore(cell.Row);
    if (cell.Column < static_cast<int>(m_fields.size())) m_fields[static_cast<std::size_t>(cell.Column)] = cell.Text;
  }
  void WriteRowsBefore(int row) {
    for (; m_row < row; ++m_row) {
      m_out.append(m_row > 0 ? ",[" : "[");
      for (std::size_t column = 0; column < m_fields.size(); ++column) {
        if (column > 0) m_out.push_back(',');
        AppendJsonString(m_fields[column], m_out);
        m_fields[column] = QString();
      }
      m_out.push_back(']');
    }
  }
  // Writes the rows before row and closes the list.
  void Finish(int row) {
    WriteRowsBefore(row);
    m_out.push_back(']');
  }

 private:
  std::vector<QString> m_fields;  // the current row's texts by column
  std::string& m_out;
  int m_row = 0;
};

}  // namespace

void AppendJsonString(const QString& text, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t unit = text[i].unicode();
    if (unit < 0x80) {
      switch (unit) {
        case '"': out.append("\\\""); continue;
        case '\\': out.append("\\\\"); continue;
        case '\n': out.append("\\n"); continue;
        case '\r': out.append("\\r"); continue;
        case '\t': out.append("\\t"); continue;
        default: break;
      }
      if (unit < 0x20) {
        out.append("\\u00");
        out.push_back(kHex[unit >> 4]);
        out.push_back(kHex[unit & 0xF]);
      } else {
        out.push_back(static_cast<char>(unit));
      }
      continue;
    }
    char32_t code = unit;
    if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
      code = QChar::surrogateToUcs4(unit, text[++i].unicode());
    } else if (QChar::isSurrogate(unit)) {
      code = 0xFFFD;
    }
    AppendUtf8(code, out);
  }
  out.push_back('"');
}

void AppendJsonlStart(std::string_view file, std::size_t number, std::string& out) {
  out.append("{\"file\":");
  AppendJsonString(QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size())), out);
  out.append(",\"table\":");
  out.append(std::to_string(number));
  out.append(",\"rows\":");
}

void AppendJsonlRecordStart(std::string_view file, std::string_view url, std::string_view record,
                            std::string_view date, std::size_t number, std::string& out) {
  const auto field = [&out](std::string_view name, std::string_view text) {
    out.append(name);
    AppendJsonString(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), out);
  };
  field("{\"file\":", file);
  field(",\"url\":", url);
  field(",\"record\":", record);
  field(",\"date\":", date);
  out.append(",\"table\":");
  out.append(std::to_string(number));
  out.append(",\"rows\":");
}

void AppendJsonRows(const TSheetTable& table, std::string& out, bool links) {
  TLinkColumns columns(links);
  for (const TSheetCell& cell : table.Cells) columns.See(cell);
  TJsonRowWriter rows(columns.Width(table.Columns), out);
  for (const TSheetCell* cell : CellsInGridOrder(table)) columns.Place(*cell, [&](const TSheetCell& placed) { rows.Add(placed); });
  rows.Finish(table.Rows);
}

void AppendJsonlTable(const TSheetTable& table, std::string_view file, std::size_t number, std::string& out) {
  AppendJsonlStart(file, number, out);
  AppendJsonRows(table, out);
  out.append(kJsonlEnd);
}

void WriteJsonRowsFrom(std::string_view fragment, const TSheetReading& reading,
                       const std::function<void(std::string_view)>& write, TSheetCuts* cuts, bool links) {
  WriteRowsAsRead<TJsonRowWriter>(fragment, reading, write, cuts, links,
                                [](TJsonRowWriter& rows, int count) { rows.Finish(count); });
}

}  // namespace corvane
