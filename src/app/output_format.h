#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "extract/table_writer.h"

namespace corvane {

// The output formats of a job: the ".xls" text, XLSX, CSV and JSON Lines, in the order of the window's
// choice.
enum class TOutputFormat { Xls, Xlsx, Csv, Jsonl };

std::optional<TOutputFormat> OutputFormatNamed(std::string_view name);

// The writer of format for a job (the writers live with their formats: the ".xls" text in the
// extraction core, the others in the sheets library). appendTarget: the one file every table of the
// job goes to, empty for a file per input. links (CSV and JSON Lines): after each column of links, a
// column of their addresses (an XLSX cell that is one link is a hyperlink in any case). localeNumbers
// (XLSX): numbers are read as the page's language writes them too ("1.234,5", "12%"; see CellNumber).
std::unique_ptr<TTableWriter> MakeTableWriter(TOutputFormat format, const std::string& appendTarget = {},
                                              bool links = false, bool localeNumbers = false);

}  // namespace corvane
