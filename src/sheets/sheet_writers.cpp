#include "sheets/sheet_writers.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <set>
#include <vector>

#include "sheets/cell_value.h"

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

struct TXlsxWorkbook::TState {
  lxw_workbook* Workbook = nullptr;
  lxw_format* Wrapped = nullptr;
  std::set<std::string> UsedNames;  // upper-cased: sheet names are unique in any letter case
  lxw_error FirstError = LXW_NO_ERROR;
};

TXlsxWorkbook::TXlsxWorkbook(const std::string& path) : m_state(std::make_unique<TState>()) {
  // Rows go to temporary files as they are finished, so that a workbook of millions of cells takes
  // little memory; cells are written in reading order, which is row order.
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  m_state->Workbook = workbook_new_opt(path.c_str(), &options);
  if (m_state->Workbook) {
    m_state->Wrapped = workbook_add_format(m_state->Workbook);
    format_set_text_wrap(m_state->Wrapped);
    format_set_align(m_state->Wrapped, LXW_ALIGN_VERTICAL_TOP);
  }
}

TXlsxWorkbook::~TXlsxWorkbook() {
  std::string ignored;
  if (m_state->Workbook) Close(ignored);
}

std::string TXlsxWorkbook::SheetName(const std::string& name) const {
  // Characters a sheet name cannot hold become "_", and the name is cut to 31 characters (UTF-8
  // sequences kept whole); a name in use gets " (2)", " (3)" ... within the same length.
  QString base = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  for (QChar& c : base)
    if (QStringLiteral("[]:*?/\\").contains(c)) c = u'_';
  base = base.trimmed();
  if (base.startsWith(u'\'')) base[0] = u'_';
  if (base.isEmpty()) base = QStringLiteral("Sheet");
  for (int n = 1;; ++n) {
    const QString suffix = n == 1 ? QString() : QStringLiteral(" (%1)").arg(n);
    QString candidate = base.left(31 - suffix.size()) + suffix;
    if (!m_state->UsedNames.contains(candidate.toUpper().toStdString())) return candidate.toStdString();
  }
}

void TXlsxWorkbook::AddTable(const std::string& name, const TSheetTable& table) {
  if (!m_state->Workbook) return;
  const std::string sheetName = SheetName(name);
  m_state->UsedNames.insert(QString::fromStdString(sheetName).toUpper().toStdString());
  lxw_worksheet* sheet = workbook_add_worksheet(m_state->Workbook, sheetName.c_str());
  if (!sheet) {
    if (m_state->FirstError == LXW_NO_ERROR) m_state->FirstError = LXW_ERROR_MEMORY_MALLOC_FAILED;
    return;
  }
  auto keep = [this](lxw_error error) {
    if (error != LXW_NO_ERROR && m_state->FirstError == LXW_NO_ERROR) m_state->FirstError = error;
  };
  for (const TSheetCell& cell : table.Cells) {
    if (cell.Row >= LXW_ROW_MAX || cell.Column >= LXW_COL_MAX) continue;
    const lxw_row_t row = static_cast<lxw_row_t>(cell.Row);
    const lxw_col_t column = static_cast<lxw_col_t>(cell.Column);
    lxw_format* format = cell.Text.contains(u'\n') ? m_state->Wrapped : nullptr;
    if (cell.RowSpan > 1 || cell.ColumnSpan > 1) {
      const lxw_row_t lastRow = static_cast<lxw_row_t>(std::min(cell.Row + cell.RowSpan, LXW_ROW_MAX) - 1);
      const lxw_col_t lastColumn = static_cast<lxw_col_t>(std::min(cell.Column + cell.ColumnSpan, LXW_COL_MAX) - 1);
      // Without a format the merge writes nothing into the rows below, which a workbook written row by
      // row could not take any more; the first cell gets its value and format next.
      keep(worksheet_merge_range(sheet, row, column, lastRow, lastColumn, "", nullptr));
    }
    // A sheet cell holds at most 32,767 characters.
    const QString text = cell.Text.left(32767);
    if (text.isEmpty()) continue;
    if (const std::optional<double> number = PlainNumber(text))
      keep(worksheet_write_number(sheet, row, column, *number, format));
    else
      keep(worksheet_write_string(sheet, row, column, text.toUtf8().constData(), format));
  }
}

bool TXlsxWorkbook::Close(std::string& error) {
  if (!m_state->Workbook) {
    error = "cannot start the workbook";
    return false;
  }
  const lxw_error closed = workbook_close(m_state->Workbook);
  m_state->Workbook = nullptr;
  const lxw_error first = m_state->FirstError != LXW_NO_ERROR ? m_state->FirstError : closed;
  if (first == LXW_NO_ERROR) return true;
  error = lxw_strerror(first);
  return false;
}

}  // namespace corvane
