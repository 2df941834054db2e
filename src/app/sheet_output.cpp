#include "app/sheet_output.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "extract/byte_file.h"
#include "sheets/sheet_table.h"
#include "sheets/sheet_writers.h"

namespace corvane {

namespace {

// CSV: the tables one after another, an empty line between two, a UTF-8 byte-order mark at the start of
// a new file.
class TCsvTableWriter final : public TTableWriter {
 public:
  std::string_view Extension() const override { return ".csv"; }
  void BeginOutput(TOutputFile& output, TOutputStart start) override {
    if (start == TOutputStart::NewFile) output.Write(kCsvByteOrderMark);
    m_separate = start == TOutputStart::AfterContent;
  }
  void WriteTable(std::string_view fragment, const std::string& pageCharset, bool trim, TOutputFile& output) override {
    m_text.clear();
    if (m_separate) m_text.append("\r\n");
    m_separate = true;
    AppendCsvTable(ReadSheetTable(fragment, {pageCharset, trim}), m_text);
    output.Write(m_text);
  }
  void FinishOutput(TOutputFile&) override {}
  void Abandon() override {}

 private:
  bool m_separate = false;
  std::string m_text;
};

// XLSX: a workbook per output with a sheet per table ("Table 1", ...). The workbook is written to a
// temporary file of its own, then copied into the run's output, which takes its place only when the
// run succeeds.
class TXlsxTableWriter final : public TTableWriter {
 public:
  ~TXlsxTableWriter() override { Abandon(); }
  std::string_view Extension() const override { return ".xlsx"; }
  void BeginOutput(TOutputFile&, TOutputStart) override {
    Abandon();
    std::string pattern = TemporaryFolder() + "/corvane-XXXXXX.xlsx";
    const int fd = ::mkstemps(pattern.data(), 5);
    if (fd < 0) throw std::runtime_error(std::string("Cannot make a temporary workbook: ") + std::strerror(errno));
    ::close(fd);
    m_path = pattern;
    m_workbook = std::make_unique<TXlsxWorkbook>(m_path);
    m_tables = 0;
  }
  void WriteTable(std::string_view fragment, const std::string& pageCharset, bool trim, TOutputFile&) override {
    if (!m_workbook) return;
    m_workbook->AddTable("Table " + std::to_string(++m_tables), ReadSheetTable(fragment, {pageCharset, trim}));
  }
  void FinishOutput(TOutputFile& output) override {
    if (!m_workbook) return;
    std::string error;
    const bool written = m_workbook->Close(error);
    m_workbook.reset();
    if (!written) throw TFileError("Cannot write the workbook: " + error);
    std::ifstream in(m_path, std::ios::binary);
    std::string block(1 << 16, '\0');
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
      output.Write(std::string_view(block.data(), static_cast<std::size_t>(in.gcount())));
    ::unlink(m_path.c_str());
    m_path.clear();
  }
  void Abandon() override {
    m_workbook.reset();
    if (!m_path.empty()) ::unlink(m_path.c_str());
    m_path.clear();
  }

 private:
  static std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
  }

  std::unique_ptr<TXlsxWorkbook> m_workbook;
  std::string m_path;
  int m_tables = 0;
};

}  // namespace

std::optional<TOutputFormat> OutputFormatNamed(std::string_view name) {
  if (name == "xls") return TOutputFormat::Xls;
  if (name == "xlsx") return TOutputFormat::Xlsx;
  if (name == "csv") return TOutputFormat::Csv;
  return std::nullopt;
}

std::unique_ptr<TTableWriter> MakeTableWriter(TOutputFormat format) {
  switch (format) {
    case TOutputFormat::Xlsx: return std::make_unique<TXlsxTableWriter>();
    case TOutputFormat::Csv: return std::make_unique<TCsvTableWriter>();
    case TOutputFormat::Xls: break;
  }
  return nullptr;
}

}  // namespace corvane
