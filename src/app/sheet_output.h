#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "extract/table_writer.h"

namespace corvane {

// The output formats of a job: the ".xls" text (the job's own rows), CSV and XLSX.
enum class TOutputFormat { Xls, Xlsx, Csv };

std::optional<TOutputFormat> OutputFormatNamed(std::string_view name);

// The writer of format for a job; none for the ".xls" text.
std::unique_ptr<TTableWriter> MakeTableWriter(TOutputFormat format);

}  // namespace corvane
