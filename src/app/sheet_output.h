#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/table_writer.h"
#include "sheets/sheet_table.h"

namespace corvane {

// The output formats of a job: the ".xls" text (the job's own rows), XLSX, CSV and JSON Lines, in the
// order of the window's choice.
enum class TOutputFormat { Xls, Xlsx, Csv, Jsonl };

std::optional<TOutputFormat> OutputFormatNamed(std::string_view name);

// The writer of format for a job; none for the ".xls" text. appendTarget: the one file every table of
// the job goes to, empty for a file per input. links (CSV and JSON Lines): after each column of links,
// a column of their addresses (an XLSX cell that is one link is a hyperlink in any case). localeNumbers
// (XLSX): numbers are read as the page's language writes them too ("1.234,5", "12%"; see CellNumber).
std::unique_ptr<TTableWriter> MakeTableWriter(TOutputFormat format, const std::string& appendTarget = {},
                                              bool links = false, bool localeNumbers = false);

// How ReadPageTables reads a page's tables.
struct TPageTablesReading {
  // Trims no-break spaces and control characters around each cell's text too (--trim).
  bool Trim = false;
  // The tables wanted, by their numbers counted from 1 in page order, ascending; empty: every table.
  std::vector<std::size_t> Tables;
  // Resolves the address of each cell that is one link (TSheetCell::Link); without, cells have none.
  bool Links = true;
  // A character-set declaration (such as <meta charset="windows-1252">) the tables are read in instead
  // of the page's own; empty: the page's.
  std::string Charset;
};

// The tables of a page read as the CSV, JSON Lines and XLSX outputs of a job read them: cut out of the
// page as the job cuts them, numbered from 1 in page order, each read as a browser shows it in the
// page's character set, a cell's link resolved against the page's BASE, else against path (the page's
// file; a page in memory may give any name, relative to the current folder). The page is scanned and
// its tables read (a batch at a time on two threads) beside the caller: take gets each chosen one in
// page order, on the calling thread, and may throw to end the reading.
using TTakeSheetTable = std::function<void(std::size_t number, TSheetTable& table)>;
// The page held in memory.
void ReadPageTables(const std::string& path, std::string_view page, const TPageTablesReading& reading,
                    const TTakeSheetTable& take);
// The page read as it is scanned: read(buffer, size) fills buffer with up to size of the page's next
// bytes and returns how many, 0 at its end; it is called on the caller's thread, then on the scan's.
void ReadPageTables(const std::string& path, const std::function<std::size_t(char*, std::size_t)>& read,
                    const TPageTablesReading& reading, const TTakeSheetTable& take);

}  // namespace corvane
