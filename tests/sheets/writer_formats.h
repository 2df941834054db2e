#pragma once

#include <memory>
#include <string>

#include "extract/xls_table_writer.h"
#include "sheets/sheet_writers.h"

namespace corvane::test {

// The writers a job can be given, one per output form; JobXlsx is the workbook of a whole job (-a).
enum class TFormat { Xls, Csv, Jsonl, Xlsx, JobXlsx };

// A fresh writer of format; target names a whole job's workbook; links adds the link columns to csv and
// JSON Lines.
inline std::unique_ptr<TTableWriter> WriterOf(TFormat format, const std::string& target, bool links = false) {
  switch (format) {
    case TFormat::Xls: return std::make_unique<TXlsTableWriter>();
    case TFormat::Csv: return MakeCsvTableWriter(links);
    case TFormat::Jsonl: return MakeJsonlTableWriter(links);
    case TFormat::Xlsx: return MakeXlsxTableWriter(false);
    case TFormat::JobXlsx: return MakeJobWorkbookWriter(target, false);
  }
  return nullptr;
}

}  // namespace corvane::test
