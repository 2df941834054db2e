#pragma once

#include <string>

#include "extract/table_writer.h"

namespace corvane {

// The ".xls" text: each table row a line of its cells in double quotes, separated by tabs, with the
// bytes as the page has them (see AppendRowLine). The tables come with their lines joined; the rows are
// logged as they are written while someone reads the log. An append file is simply added to.
class TXlsTableWriter final : public TTableWriter {
 public:
  std::string_view Extension() const override { return kOutputExtension; }
  TLineBreaks LineBreaks() const override { return TLineBreaks::Joined; }
  std::string_view CannotCreateText() const override { return kLogCannotCreateExcelFile; }
  bool ReadsPageHead() const override { return false; }
  void BeginOutput(TOutputFile&, TOutputStart, const std::string&) override {}
  void WriteTable(std::string_view fragment, std::size_t number, const std::string& pageCharset, bool trim,
                  TOutputFile& output) override;
  void FinishOutput(TOutputFile&) override {}
  void Abandon() override {}
  bool PrepareTable(std::string_view fragment, bool trim, std::string& text) const override;

 private:
  std::string m_rowLine;  // reused for every row
};

}  // namespace corvane
