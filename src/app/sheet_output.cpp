#include "app/sheet_output.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

#include "extract/byte_file.h"
#include "sheets/sheet_table.h"
#include "sheets/sheet_writers.h"

namespace corvane {

namespace {

// CSV: the tables one after another, an empty line between two, a UTF-8 byte-order mark at the start of
// a new file. Reading a table as a browser does costs far more than writing it, so tables are gathered
// into batches of about kBatchBytes, and a batch is read by two threads, its halves written in order.
class TCsvTableWriter final : public TTableWriter {
 public:
  std::string_view Extension() const override { return ".csv"; }
  void BeginOutput(TOutputFile& output, TOutputStart start, const std::string&) override {
    Abandon();
    if (start == TOutputStart::NewFile) output.Write(kCsvByteOrderMark);
    m_separate = start == TOutputStart::AfterContent;
  }
  void WriteTable(std::string_view fragment, const std::string& pageCharset, bool trim, TOutputFile& output) override {
    m_reading = {pageCharset, trim};
    m_batch.emplace_back(fragment);
    m_batchBytes += fragment.size();
    if (m_batchBytes >= kBatchBytes) WriteBatch(output);
  }
  void FinishOutput(TOutputFile& output) override { WriteBatch(output); }
  void Abandon() override {
    m_batch.clear();
    m_batchBytes = 0;
  }

 private:
  static constexpr std::size_t kBatchBytes = std::size_t{2} << 20;

  void WriteBatch(TOutputFile& output) {
    const std::size_t count = m_batch.size();
    if (count == 0) return;
    std::vector<std::string> texts(count);
    auto read = [&](std::size_t from, std::size_t to) {
      for (std::size_t k = from; k < to; ++k) AppendCsvTable(ReadSheetTable(m_batch[k], m_reading), texts[k]);
    };
    // The second half goes to a thread of its own when the machine has a second core to run it.
    std::size_t half = count;
    if (count > 1 && std::thread::hardware_concurrency() > 1) {
      std::size_t bytes = 0;
      for (half = 0; half < count && bytes < m_batchBytes / 2; ++half) bytes += m_batch[half].size();
    }
    std::exception_ptr failure;
    std::thread helper;
    if (half < count) {
      helper = std::thread([&] {
        try {
          read(half, count);
        } catch (...) {
          failure = std::current_exception();
        }
      });
    }
    try {
      read(0, half);
    } catch (...) {
      if (helper.joinable()) helper.join();
      throw;
    }
    if (helper.joinable()) helper.join();
    if (failure) std::rethrow_exception(failure);
    for (const std::string& text : texts) {
      if (m_separate) output.Write("\r\n");
      m_separate = true;
      output.Write(text);
    }
    Abandon();
  }

  bool m_separate = false;
  TSheetReading m_reading;
  std::vector<std::string> m_batch;
  std::size_t m_batchBytes = 0;
};

// XLSX: a workbook per output with a sheet per table ("Table 1", ...). The workbook is written to a
// temporary file of its own, then copied into the run's output, which takes its place only when the
// run succeeds.
class TXlsxTableWriter final : public TTableWriter {
 public:
  ~TXlsxTableWriter() override { Abandon(); }
  std::string_view Extension() const override { return ".xlsx"; }
  void BeginOutput(TOutputFile&, TOutputStart, const std::string&) override {
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

// XLSX for a whole job (-a FILE.xlsx): a sheet per table of every file, named after the file and the
// table's number. A run's tables wait until the run succeeds, then become sheets of a workbook in a
// temporary file beside the target, which takes the target's place when the job ends well.
class TJobWorkbookWriter final : public TTableWriter {
 public:
  ~TJobWorkbookWriter() override { Discard(); }
  std::string_view Extension() const override { return ".xlsx"; }
  bool WritesAtJobEnd() const override { return true; }
  void BeginOutput(TOutputFile&, TOutputStart, const std::string& inputFile) override {
    m_run.clear();
    const std::size_t slash = inputFile.rfind('/');
    m_file = slash == std::string::npos ? inputFile : inputFile.substr(slash + 1);
  }
  void WriteTable(std::string_view fragment, const std::string& pageCharset, bool trim, TOutputFile&) override {
    m_run.push_back({std::string(fragment), pageCharset, trim});
  }
  void FinishOutput(TOutputFile&) override {
    for (std::size_t k = 0; k < m_run.size(); ++k) {
      std::string number(1, ' ');
      number.append(std::to_string(k + 1));
      // The number stays whole: the file's name gives way within the 31 characters of a sheet name.
      const QString file = QString::fromUtf8(m_file.data(), static_cast<qsizetype>(m_file.size()));
      std::string name = file.left(31 - static_cast<qsizetype>(number.size())).toStdString();
      name.append(number);
      Workbook().AddTable(name, ReadSheetTable(m_run[k].Fragment, {m_run[k].PageCharset, m_run[k].Trim}));
      ++m_sheets;
    }
    m_run.clear();
  }
  void Abandon() override { m_run.clear(); }
  bool EndJob(bool succeeded, const std::string& target, std::string& error) override {
    m_run.clear();
    if (!succeeded || m_sheets == 0 || !m_workbook) {
      Discard();
      return true;
    }
    const bool written = m_workbook->Close(error);
    m_workbook.reset();
    if (written && ::rename(m_temporary.c_str(), target.c_str()) != 0) {
      error = std::strerror(errno);
      Discard();
      return false;
    }
    if (!written) Discard();
    m_temporary.clear();
    m_sheets = 0;
    return written;
  }
  // Where the workbook is made: beside the target, so that it can be renamed into place.
  std::string Target;

 private:
  struct TTable {
    std::string Fragment;
    std::string PageCharset;
    bool Trim;
  };

  TXlsxWorkbook& Workbook() {
    if (!m_workbook) {
      const std::size_t slash = Target.rfind('/');
      std::string pattern = (slash == std::string::npos ? std::string(".") : Target.substr(0, slash)) + "/.corvane-XXXXXX.xlsx";
      const int fd = ::mkstemps(pattern.data(), 5);
      if (fd < 0) throw TFileError("Cannot create a workbook beside " + Target + ": " + std::strerror(errno));
      ::close(fd);
      m_temporary = pattern;
      m_workbook = std::make_unique<TXlsxWorkbook>(m_temporary);
    }
    return *m_workbook;
  }
  void Discard() {
    m_workbook.reset();
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
    m_sheets = 0;
  }

  std::vector<TTable> m_run;
  std::string m_file;
  std::unique_ptr<TXlsxWorkbook> m_workbook;
  std::string m_temporary;
  int m_sheets = 0;
};

}  // namespace

std::optional<TOutputFormat> OutputFormatNamed(std::string_view name) {
  if (name == "xls") return TOutputFormat::Xls;
  if (name == "xlsx") return TOutputFormat::Xlsx;
  if (name == "csv") return TOutputFormat::Csv;
  return std::nullopt;
}

std::unique_ptr<TTableWriter> MakeTableWriter(TOutputFormat format, const std::string& appendTarget) {
  switch (format) {
    case TOutputFormat::Xlsx: {
      if (appendTarget.empty()) return std::make_unique<TXlsxTableWriter>();
      auto writer = std::make_unique<TJobWorkbookWriter>();
      writer->Target = appendTarget;
      return writer;
    }
    case TOutputFormat::Csv: return std::make_unique<TCsvTableWriter>();
    case TOutputFormat::Xls: break;
  }
  return nullptr;
}

}  // namespace corvane
