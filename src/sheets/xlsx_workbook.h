#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "sheets/sheet_table.h"
#include "sheets/zip_writer.h"

namespace corvane {

// A table made into a compressed worksheet of a workbook: numbers as numbers (see PlainNumber), text as
// text, spans as merged cells, cells of several lines wrapped. Sheets are made independently of the
// workbook and of each other, so that several threads can make them while one writes the workbook.
// A sheet holds at most 1,048,576 rows and 16,384 columns and a cell 32,767 characters: what lies
// beyond is left out.
TZipMember MakeXlsxSheet(const TSheetTable& table);

// A workbook written as an XLSX file through sink, one sheet after another as they are added: the sheets
// are not held, so that a workbook of millions of cells takes little memory. What the sink throws goes
// to the caller.
class TXlsxWorkbook {
 public:
  explicit TXlsxWorkbook(TZipWriter::TSink sink);

  // Adds a sheet named name (made valid and unique: at most 31 characters, none of []:*?/\).
  void AddSheet(const std::string& name, const TZipMember& sheet);
  void AddTable(const std::string& name, const TSheetTable& table) { AddSheet(name, MakeXlsxSheet(table)); }
  // Writes the workbook's own parts and the archive's directory; a workbook without tables gets an
  // empty sheet, since a workbook holds at least one.
  void Close();
  // The sheet name AddSheet makes of name.
  std::string SheetName(const std::string& name) const;
  int SheetCount() const { return static_cast<int>(m_names.size()); }

 private:
  TZipWriter m_zip;
  std::vector<std::string> m_names;
  std::unordered_set<std::string> m_usedNames;  // upper-cased: names are unique in any letter case
};

}  // namespace corvane
