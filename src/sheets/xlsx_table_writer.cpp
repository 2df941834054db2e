#include "sheets/sheet_writers.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "extract/byte_file.h"
#include "sheets/cell_value.h"
#include "sheets/table_batches.h"
#include "sheets/xlsx_workbook.h"

namespace corvane {

namespace {

bool XlsxSheets(const TSheetTable& table, const TPendingTable& pending, std::vector<TXlsxSheet>& sheets,
                TSheetCuts& cuts) {
  sheets = MakeXlsxSheets(table, kSheetRows, &cuts, pending.Reading.Numbers);
  return true;
}

// What a workbook needs of the page at path, from its head (see TTableWriter::SetPageHead): the
// address its links resolve against, and how its numbers are read (with locale, as the page's language,
// its HTML LANG, else the user's, writes them).
struct TWorkbookPage {
  std::string Base;
  TNumberReading Numbers;
};
TWorkbookPage WorkbookPageOf(const std::string& path, std::string_view head, bool locale) {
  TWorkbookPage page{PageBaseAddress(path, head), {}};
  if (locale) {
    const std::string language = PageLanguage(head);
    page.Numbers = NumberReadingOf(language.empty() ? UserNumbersLanguage() : language);
  }
  return page;
}

// The file's name without its folder.
std::string FileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// XLSX: a workbook per output with a sheet per table, named after the table's number in the page
// ("Table 2"), written straight into the run's output, which takes its place only when the run
// succeeds.
class TXlsxTableWriter final : public TTableWriter {
 public:
  explicit TXlsxTableWriter(bool localeNumbers) : m_localeNumbers(localeNumbers) {}
  std::string_view Extension() const override { return ".xlsx"; }
  void SetPageHead(std::string_view head) override { m_head = head; }
  void BeginOutput(TOutputFile& output, TOutputStart, const std::string& inputFile) override {
    Abandon();
    m_output = &output;
    m_file = inputFile;
    TWorkbookPage page = WorkbookPageOf(inputFile, m_head, m_localeNumbers);
    m_head = {};
    m_base = std::move(page.Base);
    m_numbers = page.Numbers;
    m_workbook = std::make_unique<TXlsxWorkbook>([this](std::string_view bytes) { m_output->Write(bytes); });
  }
  void WriteTable(std::string_view fragment, std::size_t number, const std::string& pageCharset, bool trim,
                  TOutputFile& output) override {
    if (!m_workbook) return;
    m_output = &output;
    if (!IsLargeTable(fragment)) {
      m_tables.Add(fragment, number, {pageCharset, trim, m_base, m_numbers}, Adder());
      return;
    }
    m_tables.Flush(Adder());
    TConverted<std::vector<TXlsxSheet>> table;
    table.Number = number;
    table.Value = MakeXlsxSheetsFrom(fragment, {pageCharset, trim, m_base, m_numbers}, kSheetRows, &table.Cuts);
    Adder()(table);
  }
  void FinishOutput(TOutputFile& output) override {
    if (!m_workbook) return;
    m_output = &output;
    m_tables.Flush(Adder());
    m_workbook->Close();
    m_workbook.reset();
  }
  void Abandon() override {
    m_tables.Clear();
    m_workbook.reset();
  }

 private:
  std::function<void(TConverted<std::vector<TXlsxSheet>>&)> Adder() {
    return [this](TConverted<std::vector<TXlsxSheet>>& table) {
      m_workbook->AddSheets("Table " + std::to_string(table.Number), table.Value);
      ReportCuts(*this, table.Cuts, m_file, table.Number);
    };
  }

  TOutputFile* m_output = nullptr;
  std::string m_file;
  std::string_view m_head;  // the page's head, from SetPageHead until BeginOutput
  std::string m_base;  // the address the page's links resolve against
  bool m_localeNumbers;
  TNumberReading m_numbers;  // how the page's numbers are read
  std::unique_ptr<TXlsxWorkbook> m_workbook;
  TTableBatches<std::vector<TXlsxSheet>> m_tables{XlsxSheets, Threads};
};

// XLSX for a whole job (-a FILE.xlsx): a sheet per table of every file, named after the file and the
// table's number in the page ("prices.html 2"). A run's sheets are made as its tables come but wait,
// compressed, until the run succeeds; then they go into a workbook written beside the target, which
// takes the target's place when the job ends well.
class TJobWorkbookWriter final : public TTableWriter {
 public:
  std::string_view Extension() const override { return ".xlsx"; }
  void SetPageHead(std::string_view head) override { m_head = head; }
  explicit TJobWorkbookWriter(bool localeNumbers) : m_localeNumbers(localeNumbers) {}
  bool WritesAtJobEnd() const override { return true; }
  void BeginOutput(TOutputFile&, TOutputStart, const std::string& inputFile) override {
    Abandon();
    m_path = inputFile;
    m_file = FileName(inputFile);
    TWorkbookPage page = WorkbookPageOf(inputFile, m_head, m_localeNumbers);
    m_head = {};
    m_base = std::move(page.Base);
    m_numbers = page.Numbers;
  }
  void WriteTable(std::string_view fragment, std::size_t number, const std::string& pageCharset, bool trim,
                  TOutputFile&) override {
    if (!IsLargeTable(fragment)) {
      m_tables.Add(fragment, number, {pageCharset, trim, m_base, m_numbers}, Keeper());
      return;
    }
    m_tables.Flush(Keeper());
    TConverted<std::vector<TXlsxSheet>> table;
    table.Number = number;
    table.Value = MakeXlsxSheetsFrom(fragment, {pageCharset, trim, m_base, m_numbers}, kSheetRows, &table.Cuts);
    Keeper()(table);
  }
  void FinishOutput(TOutputFile&) override {
    m_tables.Flush(Keeper());
    const QString file = QString::fromUtf8(m_file.data(), static_cast<qsizetype>(m_file.size()));
    for (TConverted<std::vector<TXlsxSheet>>& table : m_run) {
      // The number stays whole: the file's name gives way within the 31 characters of a sheet name.
      std::string number(1, ' ');
      number.append(std::to_string(table.Number));
      std::string name = file.left(31 - static_cast<qsizetype>(number.size())).toStdString();
      name.append(number);
      Workbook().AddSheets(name, table.Value);
    }
    m_run.clear();
  }
  void Abandon() override {
    m_tables.Clear();
    m_run.clear();
  }
  bool EndJob(bool succeeded, const std::string&, std::string& error) override {
    Abandon();
    if (!succeeded || !m_workbook) {
      Discard();
      return true;
    }
    try {
      // What took the target's name during the job is not replaced unless it is a regular file.
      if (const std::string problem = ReplaceTargetProblem(Target); !problem.empty()) throw TFileError(problem);
      m_workbook->Close();
      m_workbook.reset();
      m_output.Commit();
    } catch (const TFileError& failure) {
      // The caller names the file: only the reason is added.
      error = failure.Code() != 0 ? ErrorText(failure.Code()) : failure.what();
      Discard();
      return false;
    } catch (const std::exception& failure) {
      error = failure.what();
      Discard();
      return false;
    }
    return true;
  }
  // The workbook's file: written beside it, it takes its place only when the job succeeds.
  std::string Target;

 private:
  std::function<void(TConverted<std::vector<TXlsxSheet>>&)> Keeper() {
    return [this](TConverted<std::vector<TXlsxSheet>>& table) {
      ReportCuts(*this, table.Cuts, m_path, table.Number);
      m_run.push_back(std::move(table));
    };
  }
  TXlsxWorkbook& Workbook() {
    if (!m_workbook) {
      std::error_code error;
      if (!m_output.Open(Target, TOutputMode::Replace, error))
        throw TFileError("Cannot create a workbook beside " + Target + ": " + error.message());
      m_workbook = std::make_unique<TXlsxWorkbook>([this](std::string_view bytes) { m_output.Write(bytes); });
    }
    return *m_workbook;
  }
  void Discard() {
    m_workbook.reset();
    m_output.Abandon();
  }

  TTableBatches<std::vector<TXlsxSheet>> m_tables{XlsxSheets, Threads};
  std::vector<TConverted<std::vector<TXlsxSheet>>> m_run;
  std::string m_path;
  std::string m_file;
  std::string_view m_head;  // the page's head, from SetPageHead until BeginOutput
  std::string m_base;  // the address the page's links resolve against
  bool m_localeNumbers;
  TNumberReading m_numbers;  // how the page's numbers are read
  TOutputFile m_output;
  std::unique_ptr<TXlsxWorkbook> m_workbook;
};

}  // namespace

std::unique_ptr<TTableWriter> MakeXlsxTableWriter(bool localeNumbers) {
  return std::make_unique<TXlsxTableWriter>(localeNumbers);
}

std::unique_ptr<TTableWriter> MakeJobWorkbookWriter(const std::string& target, bool localeNumbers) {
  auto writer = std::make_unique<TJobWorkbookWriter>(localeNumbers);
  writer->Target = target;
  return writer;
}

}  // namespace corvane
