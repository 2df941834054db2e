#include "extract/xls_table_writer.h"

#include "extract/byte_file.h"
#include "extract/row_extraction.h"

namespace corvane {

namespace {

// How often a long table looks whether the job should stop.
constexpr std::size_t kRowsBetweenStopChecks = 4096;

}  // namespace

void TXlsTableWriter::WriteTable(std::string_view fragment, std::size_t, const std::string&, bool trim,
                                 TOutputFile& output) {
  const TCellTrimming trimming = trim ? TCellTrimming::Trim : TCellTrimming::Keep;
  TTableRowWalker rows(fragment);
  std::string_view rowText;
  std::size_t sinceCheck = 0;
  while (rows.Next(rowText)) {
    if (++sinceCheck == kRowsBetweenStopChecks) {
      sinceCheck = 0;
      if (CheckStop) CheckStop();
    }
    m_rowLine.clear();
    AppendRowLine(rowText, trimming, m_rowLine);
    if (LogRow) LogRow(m_rowLine);
    m_rowLine.append(kRowLineEnd);
    output.Write(m_rowLine);
  }
}

bool TXlsTableWriter::PrepareTable(std::string_view fragment, bool trim, std::string& text) const {
  if (LogRow) return false;  // the rows are logged as they are written
  text.clear();
  text.reserve(fragment.size());
  AppendTableLines(fragment, trim ? TCellTrimming::Trim : TCellTrimming::Keep, text);
  return true;
}

}  // namespace corvane
