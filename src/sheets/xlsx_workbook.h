#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "sheets/cell_value.h"
#include "sheets/sheet_table.h"
#include "sheets/zip_writer.h"

namespace corvane {

// The most rows and columns a sheet holds, and the most characters a cell holds.
inline constexpr int kSheetRows = 1048576;
inline constexpr int kSheetColumns = 16384;
inline constexpr int kCellCharacters = 32767;

// A worksheet made of a table, compressed, with what the workbook must know of it: the range of its
// filter ("$A$1:$C$9"), if any, and its relationships part (the addresses of its hyperlinks),
// compressed too, when it has hyperlinks.
struct TXlsxSheet : TZipMember {
  std::string FilterRange;
  TZipMember Relationships;
  bool HasRelationships = false;
};

// The most hyperlinks a sheet holds: spreadsheets refuse more; further link cells stay plain text.
inline constexpr std::size_t kMostSheetLinks = 65530;

// A table made into compressed worksheets of a workbook: numbers as numbers (see CellNumber), text as
// text, spans as merged cells, cells of several lines (or of a line too long for a column) wrapped,
// each column as wide as its longest line (up to 60 characters). The header rows at the table's top
// (rows whose cells are all TH, or in a THEAD) are bold; when rows follow them, they stay in view
// (frozen) and a filter covers the table from its last header row. A cell with a Link is a hyperlink. A table of more rows than a sheet holds
// goes on as many sheets as it needs, rowsPerSheet rows each (a span is cut where its sheet ends).
// Sheets are made independently of the workbook and of each other, so that several threads can make
// them while one writes the workbook. Columns past a sheet's last, and the characters of a cell past
// its most, are left out; cuts (when given) gets what the table lost, in the reading and here.
// numbers: how numbers are read (CellNumber); plain numbers only by default.
std::vector<TXlsxSheet> MakeXlsxSheets(const TSheetTable& table, int rowsPerSheet = kSheetRows,
                                       TSheetCuts* cuts = nullptr, const TNumberReading& numbers = {});
// The same for the table read from fragment, holding only a few of its cells at a time: for a table
// too large to hold whole.
std::vector<TXlsxSheet> MakeXlsxSheetsFrom(std::string_view fragment, const TSheetReading& reading,
                                           int rowsPerSheet = kSheetRows, TSheetCuts* cuts = nullptr);

// A workbook written as an XLSX file through sink, one sheet after another as they are added: the sheets
// are not held, so that a workbook of millions of cells takes little memory. What the sink throws goes
// to the caller.
class TXlsxWorkbook {
 public:
  explicit TXlsxWorkbook(TZipWriter::TSink sink);

  // Adds a sheet named name (made valid and unique: at most 31 characters, none of []:*?/\).
  void AddSheet(const std::string& name, const TXlsxSheet& sheet);
  // A sheet's part alone.
  void AddSheet(const std::string& name, const TZipMember& sheet);
  // Adds a table's sheets: the first named name, those that go on with it "name (2)" and so on.
  void AddSheets(const std::string& name, const std::vector<TXlsxSheet>& sheets) {
    for (const TXlsxSheet& sheet : sheets) AddSheet(name, sheet);
  }
  void AddTable(const std::string& name, const TSheetTable& table) { AddSheets(name, MakeXlsxSheets(table)); }
  // Writes the workbook's own parts and the archive's directory; a workbook without tables gets an
  // empty sheet, since a workbook holds at least one.
  void Close();
  // The sheet name AddSheet makes of name.
  std::string SheetName(const std::string& name) const;
  int SheetCount() const { return static_cast<int>(m_names.size()); }

 private:
  TZipWriter m_zip;
  std::vector<std::string> m_names;
  std::vector<std::pair<std::size_t, std::string>> m_filters;  // the sheets' filters: index and range
  std::unordered_set<std::string> m_usedNames;  // upper-cased: names are unique in any letter case
};

}  // namespace corvane
