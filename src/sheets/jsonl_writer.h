#pragma once

#include <QString>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "sheets/sheet_table.h"

namespace corvane {

// Appends text as a JSON string, quoted, in UTF-8: quotes, backslashes and control characters escaped,
// and a UTF-16 unit that is half of no pair written as U+FFFD, so that the JSON is always valid.
void AppendJsonString(const QString& text, std::string& out);

// Appends the table as one line of JSON ended by LF (JSON Lines):
// {"file":FILE,"table":NUMBER,"rows":[["a","b"],...]}, a row per grid row, every text a string, the
// places a span covers empty strings, so that the columns stay aligned as in CSV. file is the page's
// path, in UTF-8 or not (a byte that is not UTF-8 becomes U+FFFD).
void AppendJsonlTable(const TSheetTable& table, std::string_view file, std::size_t number, std::string& out);

// The parts of that line, for writers that make the rows apart from the rest: the line's start up to
// "rows":, the rows ("[[...],...]"), and the line's end.
void AppendJsonlStart(std::string_view file, std::size_t number, std::string& out);
// The same for a table of a web archive's page: {"file":ARCHIVE,"url":ADDRESS,"record":ID,"date":DATE,
// "table":NUMBER,"rows":, the record's target address, id and date as the archive gives them.
void AppendJsonlRecordStart(std::string_view file, std::string_view url, std::string_view record,
                            std::string_view date, std::size_t number, std::string& out);
// links: with the columns of the links' addresses (see TLinkColumns).
void AppendJsonRows(const TSheetTable& table, std::string& out, bool links = false);
inline constexpr std::string_view kJsonlEnd = "}\n";
// The rows of the table read from fragment, holding only a few of its cells at a time and handing the
// text to write a piece at a time: for a table too large to hold whole. The fragment is read twice,
// the first time for the grid's width. cuts (when given) gets what the table lost.
void WriteJsonRowsFrom(std::string_view fragment, const TSheetReading& reading,
                       const std::function<void(std::string_view)>& write, TSheetCuts* cuts = nullptr,
                       bool links = false);

}  // namespace corvane
