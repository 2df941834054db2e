#include "sheets/jsonl_writer.h"

#include <algorithm>
#include <vector>

#include "sheets/link_columns.h"

namespace corvane {

namespace {

// Writes code in UTF-8 at out; returns the end of what was written (at most four bytes).
char* WriteUtf8(char32_t code, char* out) {
  if (code < 0x80) {
    *out++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code >> 6));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (code >> 12));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (code >> 18));
    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

// Writes the grid's rows from its cells, given in reading order (by row, then by column): each cell's
// text is written as it comes, after empty strings for the places before it in its row that no cell
// starts in; a row is ended when a cell of a later row comes, with the rows no cell starts in (those
// spans cover) as rows of empty strings. A cell past the grid's width, or at a place of its row already
// written, is left out.
class TJsonRowWriter {
 public:
  TJsonRowWriter(int columns, std::string& out, std::string_view = {}) : m_columns(std::max(columns, 0)), m_out(out) {
    m_out.push_back('[');
  }

  void Add(const TSheetCell& cell) {
    WriteRowsBefore(cell.Row);
    if (cell.Column < m_written || cell.Column >= m_columns) return;
    if (m_written == 0) StartRow();
    for (; m_written < cell.Column; ++m_written) WriteEmpty();
    if (m_written > 0) m_out.push_back(',');
    AppendJsonString(cell.Text, m_out);
    m_written = cell.Column + 1;
  }
  void WriteRowsBefore(int row) {
    for (; m_row < row; ++m_row) {
      if (m_written == 0) StartRow();
      for (; m_written < m_columns; ++m_written) WriteEmpty();
      m_out.push_back(']');
      m_written = 0;
    }
  }
  // Writes the rows before row and closes the list.
  void Finish(int row) {
    WriteRowsBefore(row);
    m_out.push_back(']');
  }

 private:
  void StartRow() { m_out.append(m_row > 0 ? ",[" : "["); }
  // The empty string of a place no cell starts in, at column m_written.
  void WriteEmpty() { m_out.append(m_written > 0 ? ",\"\"" : "\"\""); }

  int m_columns;
  std::string& m_out;
  int m_row = 0;      // the row being written: those before it are written whole
  int m_written = 0;  // the places of that row written so far; its "[" is written once there is one
};

}  // namespace

void AppendJsonString(const QString& text, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  // The text goes out in pieces, each written straight into room made for its longest form (six bytes a
  // unit, for "\u00XX"), so that a cell costs a few resizes and not a call per character, and a huge
  // cell never asks for six times its size at once.
  constexpr qsizetype kPiece = 4096;
  const char16_t* in = reinterpret_cast<const char16_t*>(text.utf16());
  const char16_t* const end = in + text.size();
  std::size_t used = out.size();
  out.resize(used + 1);
  out[used++] = '"';
  while (in < end) {
    const char16_t* const pieceEnd = end - in > kPiece ? in + kPiece : end;
    out.resize(used + 6 * static_cast<std::size_t>(pieceEnd - in) + 6);
    char* o = out.data() + used;
    while (in < pieceEnd) {
      const char16_t unit = *in++;
      if (unit >= 0x20 && unit < 0x80 && unit != '"' && unit != '\\') {
        *o++ = static_cast<char>(unit);
        continue;
      }
      if (unit < 0x80) {
        *o++ = '\\';
        switch (unit) {
          case '"': *o++ = '"'; continue;
          case '\\': *o++ = '\\'; continue;
          case '\n': *o++ = 'n'; continue;
          case '\r': *o++ = 'r'; continue;
          case '\t': *o++ = 't'; continue;
          default: break;
        }
        *o++ = 'u';
        *o++ = '0';
        *o++ = '0';
        *o++ = kHex[unit >> 4];
        *o++ = kHex[unit & 0xF];
        continue;
      }
      char32_t code = unit;
      // A pair split by the piece's end is read whole: its low half is the next unit of the text.
      if (QChar::isHighSurrogate(unit) && in < end && QChar::isLowSurrogate(*in)) {
        code = QChar::surrogateToUcs4(unit, *in++);
      } else if (QChar::isSurrogate(unit)) {
        code = 0xFFFD;
      }
      o = WriteUtf8(code, o);
    }
    used = static_cast<std::size_t>(o - out.data());
  }
  out.resize(used + 1);
  out[used] = '"';
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
  std::size_t units = 0;
  for (const TSheetCell& cell : table.Cells) {
    columns.See(cell);
    units += static_cast<std::size_t>(cell.Text.size());
  }
  const int width = columns.Width(table.Columns);
  // Room for the rows at their shortest, so that the text rarely moves as it grows: a byte a unit of
  // the texts, and each place's quotes and comma, each row's brackets and comma.
  const std::size_t rowCount = static_cast<std::size_t>(std::max(table.Rows, 0));
  out.reserve(out.size() + units + rowCount * (3 * static_cast<std::size_t>(std::max(width, 0)) + 3) + 2);
  TJsonRowWriter rows(width, out);
  // Without columns of links added the cells go as they are.
  const bool linkColumns = width != table.Columns;
  const auto add = [&](const TSheetCell& cell) {
    if (!linkColumns) rows.Add(cell);
    else columns.Place(cell, [&](const TSheetCell& placed) { rows.Add(placed); });
  };
  // A table read by ReadSheetTable has its cells in grid order already.
  const auto before = [](const TSheetCell& a, const TSheetCell& b) { return a.Row != b.Row ? a.Row < b.Row : a.Column < b.Column; };
  if (std::is_sorted(table.Cells.begin(), table.Cells.end(), before)) {
    for (const TSheetCell& cell : table.Cells) add(cell);
  } else {
    for (const TSheetCell* cell : CellsInGridOrder(table)) add(*cell);
  }
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
