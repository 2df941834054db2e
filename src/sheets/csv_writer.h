#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "sheets/sheet_table.h"

namespace corvane {

// The UTF-8 byte-order mark a CSV file starts with, so that spreadsheets read it as UTF-8.
inline constexpr std::string_view kCsvByteOrderMark = "\xEF\xBB\xBF";

// Appends the table as CSV (RFC 4180): one line per grid row ended by CR LF, fields separated by
// commas, a field quoted when it holds a comma, a quote or a line break (quotes doubled). The places a
// span covers are empty fields, so that the columns stay aligned. Text is UTF-8.
// links: with the columns of the links' addresses (see TLinkColumns). lead: fields written at the start
// of every row, with their commas (see CsvLeadFields).
void AppendCsvTable(const TSheetTable& table, std::string& out, bool links = false, std::string_view lead = {});
// The same for the table read from fragment, holding only a few of its cells at a time and handing the
// text to write a piece at a time: for a table too large to hold whole. The fragment is read twice,
// the first time for the grid's width.
// cuts (when given) gets what the table lost.
void WriteCsvTableFrom(std::string_view fragment, const TSheetReading& reading,
                       const std::function<void(std::string_view)>& write, TSheetCuts* cuts = nullptr,
                       bool links = false, std::string_view lead = {});
// The leading fields of a web archive page's rows: its address and the table's number, "ADDRESS,N,".
std::string CsvLeadFields(std::string_view address, std::size_t number);

}  // namespace corvane
