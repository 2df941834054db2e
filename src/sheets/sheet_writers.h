#pragma once

#include <memory>
#include <string>

#include "extract/table_writer.h"

// The table writers of the formats that read each table as a browser shows it (see ReadSheetTable):
// CSV, JSON Lines and XLSX. Each reads its tables a batch at a time on two threads, and a table too
// large to hold as it is read (see TTableBatches).
namespace corvane {

// CSV: the tables one after another, an empty line between two, a UTF-8 byte-order mark at the start
// of a new file; a web archive's rows begin with fields naming their page. links: after each column of
// links, a column of their addresses.
std::unique_ptr<TTableWriter> MakeCsvTableWriter(bool links);

// JSON Lines: a line per table, naming its file (and a web archive's record); links as for CSV.
std::unique_ptr<TTableWriter> MakeJsonlTableWriter(bool links);

// XLSX: a workbook per output with a sheet per table, named after the table's number in the page.
// localeNumbers: numbers are read as the page's language writes them too ("1.234,5", "12%"; see
// CellNumber).
std::unique_ptr<TTableWriter> MakeXlsxTableWriter(bool localeNumbers);

// XLSX for a whole job: one workbook at target with a sheet per table of every file, named after the
// file and the table's number, written when the job ends and only when it succeeded.
std::unique_ptr<TTableWriter> MakeJobWorkbookWriter(const std::string& target, bool localeNumbers);

}  // namespace corvane
