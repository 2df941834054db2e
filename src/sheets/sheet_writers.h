#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "sheets/sheet_table.h"

namespace corvane {

// The UTF-8 byte-order mark a CSV file starts with, so that spreadsheets read it as UTF-8.
inline constexpr std::string_view kCsvByteOrderMark = "\xEF\xBB\xBF";

// Appends the table as CSV (RFC 4180): one line per grid row ended by CR LF, fields separated by
// commas, a field quoted when it holds a comma, a quote or a line break (quotes doubled). The places a
// span covers are empty fields, so that the columns stay aligned. Text is UTF-8.
void AppendCsvTable(const TSheetTable& table, std::string& out);

// A workbook written as an XLSX file: one sheet per table, numbers as numbers (see PlainNumber), text
// as text, spans as merged cells, cells of several lines wrapped. The file is written by Close.
class TXlsxWorkbook {
 public:
  explicit TXlsxWorkbook(const std::string& path);
  ~TXlsxWorkbook();
  TXlsxWorkbook(const TXlsxWorkbook&) = delete;
  TXlsxWorkbook& operator=(const TXlsxWorkbook&) = delete;

  // Adds a sheet named name (made valid and unique: at most 31 characters, none of []:*?/\).
  void AddTable(const std::string& name, const TSheetTable& table);
  // Writes the file; false with the reason in error when it could not be written.
  bool Close(std::string& error);
  // The sheet name AddTable makes of name.
  std::string SheetName(const std::string& name) const;

 private:
  struct TState;
  std::unique_ptr<TState> m_state;
};

}  // namespace corvane
