#include "app/output_format.h"

#include "extract/xls_table_writer.h"
#include "sheets/sheet_writers.h"

namespace corvane {

std::optional<TOutputFormat> OutputFormatNamed(std::string_view name) {
  if (name == "xls") return TOutputFormat::Xls;
  if (name == "xlsx") return TOutputFormat::Xlsx;
  if (name == "csv") return TOutputFormat::Csv;
  if (name == "jsonl") return TOutputFormat::Jsonl;
  return std::nullopt;
}

std::unique_ptr<TTableWriter> MakeTableWriter(TOutputFormat format, const std::string& appendTarget, bool links,
                                              bool localeNumbers) {
  switch (format) {
    case TOutputFormat::Xls: return std::make_unique<TXlsTableWriter>();
    case TOutputFormat::Xlsx:
      // One workbook for the job when every table goes to one file.
      if (!appendTarget.empty()) return MakeJobWorkbookWriter(appendTarget, localeNumbers);
      return MakeXlsxTableWriter(localeNumbers);
    case TOutputFormat::Csv: return MakeCsvTableWriter(links);
    case TOutputFormat::Jsonl: return MakeJsonlTableWriter(links);
  }
  return nullptr;
}

}  // namespace corvane
