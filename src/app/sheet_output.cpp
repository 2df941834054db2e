#include "app/sheet_output.h"

#include <QString>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "extract/byte_file.h"
#include "extract/page_charset.h"
#include "extract/table_fragment_scanner.h"
#include "extract/warc_reader.h"
#include "sheets/sheet_table.h"
#include "sheets/csv_writer.h"
#include "sheets/jsonl_writer.h"
#include "sheets/xlsx_workbook.h"

namespace corvane {

namespace {

// A chosen table waiting to be read.
struct TPendingTable {
  std::string Fragment;
  std::size_t Number = 0;
  TSheetReading Reading;
  // What the writer puts before the table's rows (a JSON line's start) or each of its rows (the CSV
  // fields naming an archive's page).
  std::string Lead;
};

// A table read and converted, with what it lost on the way. A table whose converted form would be too
// large to hold is not converted: Source then names it, until the result is taken, to be written as it
// is read.
template <class TResult>
struct TConverted {
  TResult Value;
  std::size_t Number = 0;
  TSheetCuts Cuts;
  std::string Lead;
  const TPendingTable* Source = nullptr;
};

// Reading a table as a browser does costs far more than writing it, so tables are gathered into batches
// of about kBatchBytes and a batch is read by two threads, each converting its own share; the results
// come back in the tables' order.
template <class TResult>
class TTableBatches {
 public:
  // False when the table's converted form would be too large to hold.
  // The table may be taken apart: it is not used again.
  using TConvert = std::function<bool(TSheetTable&, const TPendingTable&, TResult&, TSheetCuts&)>;
  explicit TTableBatches(TConvert convert) : m_convert(std::move(convert)) {}

  // Adds a table; take(result) gets the results of a full batch.
  template <class TTake>
  void Add(std::string_view fragment, std::size_t number, const TSheetReading& reading, TTake&& take,
           std::string lead = {}) {
    m_batch.push_back({std::string(fragment), number, reading, std::move(lead)});
    m_bytes += fragment.size();
    if (m_bytes >= kBatchBytes) Flush(take);
  }
  template <class TTake>
  void Flush(TTake&& take) {
    std::vector<TConverted<TResult>> results = Convert();
    for (TConverted<TResult>& result : results) take(result);
    Clear();
  }
  void Clear() {
    m_batch.clear();
    m_bytes = 0;
  }

 private:
  static constexpr std::size_t kBatchBytes = std::size_t{2} << 20;

  std::vector<TConverted<TResult>> Convert() const {
    const std::size_t count = m_batch.size();
    std::vector<TConverted<TResult>> results(count);
    if (count == 0) return results;
    auto convert = [&](std::size_t from, std::size_t to) {
      for (std::size_t k = from; k < to; ++k) {
        TSheetTable table = ReadSheetTable(m_batch[k].Fragment, m_batch[k].Reading);
        results[k].Cuts = table.Cuts;
        results[k].Number = m_batch[k].Number;
        results[k].Lead = m_batch[k].Lead;
        if (!m_convert(table, m_batch[k], results[k].Value, results[k].Cuts)) results[k].Source = &m_batch[k];
      }
    };
    // The second half, by bytes, goes to a thread of its own when the machine has a second core to run it.
    std::size_t half = count;
    if (count > 1 && std::thread::hardware_concurrency() > 1) {
      std::size_t bytes = 0;
      for (half = 0; half < count && bytes < m_bytes / 2; ++half) bytes += m_batch[half].Fragment.size();
    }
    std::exception_ptr failure;
    std::thread helper;
    if (half < count) {
      helper = std::thread([&] {
        try {
          convert(half, count);
        } catch (...) {
          failure = std::current_exception();
        }
      });
    }
    try {
      convert(0, half);
    } catch (...) {
      if (helper.joinable()) helper.join();
      throw;
    }
    if (helper.joinable()) helper.join();
    if (failure) std::rethrow_exception(failure);
    return results;
  }

  TConvert m_convert;
  std::vector<TPendingTable> m_batch;
  std::size_t m_bytes = 0;
};

// A table this large is read a few cells at a time, on its own: its cells held whole would take many
// times its size.
bool IsLargeTable(std::string_view fragment) { return fragment.size() >= (std::size_t{8} << 20); }

bool XlsxSheets(const TSheetTable& table, const TPendingTable& pending, std::vector<TXlsxSheet>& sheets,
                TSheetCuts& cuts) {
  sheets = MakeXlsxSheets(table, kSheetRows, &cuts, pending.Reading.Numbers);
  return true;
}

// A CSV row holds every place of the grid, empty ones too: a table of many more places than cells (a
// wide span over many rows) would make a text far larger than the page, so it is written as it is read.
constexpr long long kMostHeldCsvPlaces = 4'000'000;

bool CsvText(const TSheetTable& table, std::string& text, bool links, std::string_view lead) {
  if (static_cast<long long>(table.Rows) * table.Columns > kMostHeldCsvPlaces) return false;
  AppendCsvTable(table, text, links, lead);
  return true;
}

// JSON Lines: a table's rows, made in a batch; the file and the table's number are written around them.
// Like a CSV row, a JSON row holds every place of the grid.
bool JsonRows(const TSheetTable& table, std::string& text, bool links) {
  if (static_cast<long long>(table.Rows) * table.Columns > kMostHeldCsvPlaces) return false;
  AppendJsonRows(table, text, links);
  return true;
}

// The first bytes of the page at path, read again for what its tables do not say: the address its
// links resolve against and its language. Empty when it cannot be read again.
std::string PageHead(const std::string& path) {
  std::string head(std::size_t{64} << 10, '\0');
  std::ifstream file(path, std::ios::binary);
  file.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
  return head;
}

// The address the links of the page at path resolve against; the page's own when it cannot be read
// again (its tables were read: a link then points into the page itself).
std::string BaseAddressOf(const std::string& path) { return PageBaseAddress(path, PageHead(path)); }

// What a workbook needs of the page at path, from one reading of its head: the address its links
// resolve against, and how its numbers are read (with locale, as the page's language, its HTML LANG,
// else the user's, writes them).
struct TWorkbookPage {
  std::string Base;
  TNumberReading Numbers;
};
TWorkbookPage WorkbookPageOf(const std::string& path, bool locale) {
  const std::string head = PageHead(path);
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

// Tells the writer's Notice what a table lost.
void ReportCuts(const TTableWriter& writer, const TSheetCuts& cuts, const std::string& file, std::size_t number) {
  if (!writer.Notice) return;
  for (const std::string& line : DescribeCuts(cuts, file + ", table " + std::to_string(number))) writer.Notice(line);
}

// CSV: the tables one after another, an empty line between two, a UTF-8 byte-order mark at the start of
// a new file.
class TCsvTableWriter final : public TTableWriter {
 public:
  explicit TCsvTableWriter(bool links) : m_links(links) {}
  std::string_view Extension() const override { return ".csv"; }
  void BeginOutput(TOutputFile& output, TOutputStart start, const std::string& inputFile) override {
    Abandon();
    m_file = inputFile;
    m_record = false;
    m_fileBase.clear();
    if (m_links && !IsArchiveFileName(inputFile)) m_fileBase = BaseAddressOf(inputFile);
    m_base = m_fileBase;
    if (start == TOutputStart::NewFile) output.Write(kCsvByteOrderMark);
    m_separate = start == TOutputStart::AfterContent;
  }
  bool WritesRecords() const override { return true; }
  void BeginRecord(const TRecordSource* record) override {
    m_record = record != nullptr;
    m_url = record ? std::string(record->Url) : std::string();
    // A page's links resolve against its address.
    m_base = m_record ? (m_links ? m_url : std::string()) : m_fileBase;
  }
  void WriteTable(std::string_view fragment, std::size_t number, const std::string& pageCharset, bool trim,
                  TOutputFile& output) override {
    std::string lead = m_record ? CsvLeadFields(m_url, number) : std::string();
    if (!IsLargeTable(fragment)) {
      m_tables.Add(fragment, number, {pageCharset, trim, m_base}, Writer(output), std::move(lead));
      return;
    }
    m_tables.Flush(Writer(output));
    // The rows of an archive's pages make one table, their first fields naming the page and table.
    if (lead.empty()) Separate(output);
    TSheetCuts cuts;
    WriteCsvTableFrom(
        fragment, {pageCharset, trim, m_base}, [&output](std::string_view text) { output.Write(text); }, &cuts, m_links,
        lead);
    ReportCuts(*this, cuts, m_file, number);
  }
  void FinishOutput(TOutputFile& output) override { m_tables.Flush(Writer(output)); }
  void Abandon() override { m_tables.Clear(); }

 private:
  void Separate(TOutputFile& output) {
    if (m_separate) output.Write("\r\n");
    m_separate = true;
  }
  std::function<void(TConverted<std::string>&)> Writer(TOutputFile& output) {
    return [this, &output](TConverted<std::string>& table) {
      if (table.Lead.empty()) Separate(output);
      if (table.Source) {
        WriteCsvTableFrom(
            table.Source->Fragment, table.Source->Reading, [&output](std::string_view text) { output.Write(text); },
            &table.Cuts, m_links, table.Lead);
      }
      output.Write(table.Value);
      ReportCuts(*this, table.Cuts, m_file, table.Number);
    };
  }

  bool m_links;
  bool m_separate = false;
  std::string m_file;
  std::string m_base;  // with links, the address they resolve against
  std::string m_fileBase;  // that of the run's input file
  bool m_record = false;   // the tables come from an archive's page
  std::string m_url;       // its address
  TTableBatches<std::string> m_tables{[this](const TSheetTable& table, const TPendingTable& pending, std::string& text,
                                             TSheetCuts&) { return CsvText(table, text, m_links, pending.Lead); }};
};

// JSON Lines: a line per table, one table after another; an append file is simply added to.
class TJsonlTableWriter final : public TTableWriter {
 public:
  explicit TJsonlTableWriter(bool links) : m_links(links) {}
  std::string_view Extension() const override { return ".jsonl"; }
  void BeginOutput(TOutputFile&, TOutputStart, const std::string& inputFile) override {
    Abandon();
    m_file = inputFile;
    m_record.reset();
    m_fileBase.clear();
    if (m_links && !IsArchiveFileName(inputFile)) m_fileBase = BaseAddressOf(inputFile);
    m_base = m_fileBase;
  }
  bool WritesRecords() const override { return true; }
  void BeginRecord(const TRecordSource* record) override {
    if (record) m_record = TRecord{std::string(record->Url), std::string(record->Record), std::string(record->Date)};
    else m_record.reset();
    // A page's links resolve against its address.
    m_base = m_record ? (m_links ? m_record->Url : std::string()) : m_fileBase;
  }
  void WriteTable(std::string_view fragment, std::size_t number, const std::string& pageCharset, bool trim,
                  TOutputFile& output) override {
    std::string start;
    if (m_record) AppendJsonlRecordStart(m_file, m_record->Url, m_record->Id, m_record->Date, number, start);
    else AppendJsonlStart(m_file, number, start);
    if (!IsLargeTable(fragment)) {
      m_tables.Add(fragment, number, {pageCharset, trim, m_base}, Writer(output), std::move(start));
      return;
    }
    m_tables.Flush(Writer(output));
    TSheetCuts cuts;
    WriteLine(output, start, [&] {
      WriteJsonRowsFrom(
          fragment, {pageCharset, trim, m_base}, [&output](std::string_view text) { output.Write(text); }, &cuts,
          m_links);
    });
    ReportCuts(*this, cuts, m_file, number);
  }
  void FinishOutput(TOutputFile& output) override { m_tables.Flush(Writer(output)); }
  void Abandon() override { m_tables.Clear(); }

 private:
  // Writes a table's line, writeRows writing its rows.
  template <class TWriteRows>
  void WriteLine(TOutputFile& output, std::string_view start, TWriteRows&& writeRows) {
    output.Write(start);
    writeRows();
    output.Write(kJsonlEnd);
  }
  std::function<void(TConverted<std::string>&)> Writer(TOutputFile& output) {
    return [this, &output](TConverted<std::string>& table) {
      WriteLine(output, table.Lead, [&] {
        if (!table.Source) {
          output.Write(table.Value);
          return;
        }
        WriteJsonRowsFrom(
            table.Source->Fragment, table.Source->Reading, [&output](std::string_view text) { output.Write(text); },
            &table.Cuts, m_links);
      });
      ReportCuts(*this, table.Cuts, m_file, table.Number);
    };
  }

  struct TRecord {
    std::string Url;
    std::string Id;
    std::string Date;
  };

  bool m_links;
  std::string m_file;
  std::string m_base;      // with links, the address they resolve against
  std::string m_fileBase;  // that of the run's input file
  std::optional<TRecord> m_record;  // the archive page the tables come from
  TTableBatches<std::string> m_tables{
      [this](const TSheetTable& table, const TPendingTable&, std::string& text, TSheetCuts&) { return JsonRows(table, text, m_links); }};
};

// XLSX: a workbook per output with a sheet per table, named after the table's number in the page
// ("Table 2"), written straight into the run's output, which takes its place only when the run
// succeeds.
class TXlsxTableWriter final : public TTableWriter {
 public:
  explicit TXlsxTableWriter(bool localeNumbers) : m_localeNumbers(localeNumbers) {}
  std::string_view Extension() const override { return ".xlsx"; }
  void BeginOutput(TOutputFile& output, TOutputStart, const std::string& inputFile) override {
    Abandon();
    m_output = &output;
    m_file = inputFile;
    TWorkbookPage page = WorkbookPageOf(inputFile, m_localeNumbers);
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
  std::string m_base;  // the address the page's links resolve against
  bool m_localeNumbers;
  TNumberReading m_numbers;  // how the page's numbers are read
  std::unique_ptr<TXlsxWorkbook> m_workbook;
  TTableBatches<std::vector<TXlsxSheet>> m_tables{XlsxSheets};
};

// XLSX for a whole job (-a FILE.xlsx): a sheet per table of every file, named after the file and the
// table's number in the page ("prices.html 2"). A run's sheets are made as its tables come but wait,
// compressed, until the run succeeds; then they go into a workbook written beside the target, which
// takes the target's place when the job ends well.
class TJobWorkbookWriter final : public TTableWriter {
 public:
  std::string_view Extension() const override { return ".xlsx"; }
  explicit TJobWorkbookWriter(bool localeNumbers) : m_localeNumbers(localeNumbers) {}
  bool WritesAtJobEnd() const override { return true; }
  void BeginOutput(TOutputFile&, TOutputStart, const std::string& inputFile) override {
    Abandon();
    m_path = inputFile;
    m_file = FileName(inputFile);
    TWorkbookPage page = WorkbookPageOf(inputFile, m_localeNumbers);
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

  TTableBatches<std::vector<TXlsxSheet>> m_tables{XlsxSheets};
  std::vector<TConverted<std::vector<TXlsxSheet>>> m_run;
  std::string m_path;
  std::string m_file;
  std::string m_base;  // the address the page's links resolve against
  bool m_localeNumbers;
  TNumberReading m_numbers;  // how the page's numbers are read
  TOutputFile m_output;
  std::unique_ptr<TXlsxWorkbook> m_workbook;
};

// Gathers the chosen tables of a scan into batches and hands them on read.
class TPageTableSink final : public TFragmentSink {
 public:
  TPageTableSink(const TPageTablesReading& choice, TSheetReading reading, const TTakeSheetTable& take)
      : m_choice(choice), m_reading(std::move(reading)), m_take(take) {}

  bool WantsText(std::size_t index) override {
    return m_choice.Tables.empty() || std::binary_search(m_choice.Tables.begin(), m_choice.Tables.end(), index + 1);
  }
  bool Take(std::size_t index, std::string& text) override {
    if (WantsText(index)) m_tables.Add(text, index + 1, m_reading, Taker());
    // Past the last table wanted, the rest of the page is not read.
    return m_choice.Tables.empty() || index + 1 < m_choice.Tables.back();
  }
  void Finish() { m_tables.Flush(Taker()); }

 private:
  std::function<void(TConverted<TSheetTable>&)> Taker() {
    return [this](TConverted<TSheetTable>& table) { m_take(table.Number, table.Value); };
  }

  const TPageTablesReading& m_choice;
  TSheetReading m_reading;
  const TTakeSheetTable& m_take;
  TTableBatches<TSheetTable> m_tables{[](TSheetTable& table, const TPendingTable&, TSheetTable& result, TSheetCuts&) {
    result = std::move(table);
    return true;
  }};
};

// The tables read on one thread, handed to another in their order. The queue holds about kHeldCells
// cells at most (a larger table alone), so that a slow taker bounds the memory.
class TTableHandOver {
 public:
  // The reading thread: false once the taker has given up.
  bool Push(std::size_t number, TSheetTable& table) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_abandoned || m_tables.empty() || m_cells < kHeldCells; });
    if (m_abandoned) return false;
    m_cells += table.Cells.size() + 1;
    m_tables.emplace_back(number, std::move(table));
    m_changed.notify_all();
    return true;
  }
  // The reading thread: no more tables come.
  void End() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
  }
  // The taking thread: the next table; false once they have all been taken.
  bool Pop(std::size_t& number, TSheetTable& table) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_ended || !m_tables.empty(); });
    if (m_tables.empty()) return false;
    number = m_tables.front().first;
    table = std::move(m_tables.front().second);
    m_tables.pop_front();
    m_cells -= table.Cells.size() + 1;
    m_changed.notify_all();
    return true;
  }
  // The taking thread: no more tables are wanted.
  void Abandon() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_abandoned = true;
    m_tables.clear();
    m_changed.notify_all();
  }

 private:
  static constexpr std::size_t kHeldCells = std::size_t{1} << 18;

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::pair<std::size_t, TSheetTable>> m_tables;
  std::size_t m_cells = 0;
  bool m_ended = false;
  bool m_abandoned = false;
};

// Scans a page whose first bytes are head: scan(scanner) feeds the scanner the whole page. The scan and
// the reading of the tables run on a thread of their own, beside the caller taking what they give.
template <class TScan>
void ScanPageTables(const std::string& path, std::string_view head, const TPageTablesReading& choice,
                    const TTakeSheetTable& take, TScan&& scan) {
  TSheetReading reading;
  reading.PageCharset = choice.Charset.empty() ? PageCharsetDeclaration(head) : choice.Charset;
  reading.Trim = choice.Trim;
  if (choice.Links) reading.BaseAddress = PageBaseAddress(path, head);
  TTableHandOver handOver;
  std::exception_ptr failure;
  struct TAbandoned {};
  std::thread reader([&] {
    try {
      const TTakeSheetTable push = [&handOver](std::size_t number, TSheetTable& table) {
        if (!handOver.Push(number, table)) throw TAbandoned{};
      };
      TPageTableSink sink(choice, std::move(reading), push);
      TTableFragmentScanner scanner;
      scanner.SetSink(&sink);
      // As a job writing another format than the ".xls" text cuts them.
      scanner.SetLineBreaks(TLineBreaks::Kept);
      scan(scanner);
      sink.Finish();
    } catch (const TAbandoned&) {
    } catch (...) {
      failure = std::current_exception();
    }
    handOver.End();
  });
  try {
    std::size_t number = 0;
    TSheetTable table;
    while (handOver.Pop(number, table)) take(number, table);
  } catch (...) {
    handOver.Abandon();
    reader.join();
    throw;
  }
  reader.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

void ReadPageTables(const std::string& path, std::string_view page, const TPageTablesReading& reading,
                    const TTakeSheetTable& take) {
  ScanPageTables(path, page.substr(0, kPageCharsetScanLimit), reading, take, [page](TTableFragmentScanner& scanner) {
    scanner.Feed(page.data(), page.size(), true);
    scanner.Finish();
  });
}

void ReadPageTables(const std::string& path, const std::function<std::size_t(char*, std::size_t)>& read,
                    const TPageTablesReading& reading, const TTakeSheetTable& take) {
  // The head is read first, for the page's character set and BASE, then scanned with the rest.
  std::string head(kPageCharsetScanLimit, '\0');
  std::size_t held = 0;
  while (held < head.size()) {
    const std::size_t got = read(head.data() + held, head.size() - held);
    if (got == 0) break;
    held += got;
  }
  head.resize(held);
  ScanPageTables(path, head, reading, take, [&](TTableFragmentScanner& scanner) {
    std::size_t served = 0;
    scanner.ScanAll([&](char* buffer, std::size_t size) {
      if (served < head.size()) {
        const std::size_t count = std::min(size, head.size() - served);
        std::copy_n(head.data() + served, count, buffer);
        served += count;
        return count;
      }
      return read(buffer, size);
    });
  });
}

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
    case TOutputFormat::Xlsx: {
      if (appendTarget.empty()) return std::make_unique<TXlsxTableWriter>(localeNumbers);
      auto writer = std::make_unique<TJobWorkbookWriter>(localeNumbers);
      writer->Target = appendTarget;
      return writer;
    }
    case TOutputFormat::Csv: return std::make_unique<TCsvTableWriter>(links);
    case TOutputFormat::Jsonl: return std::make_unique<TJsonlTableWriter>(links);
    case TOutputFormat::Xls: break;
  }
  return nullptr;
}

}  // namespace corvane
