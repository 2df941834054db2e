#include "sheets/sheet_writers.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "extract/byte_file.h"
#include "extract/warc_reader.h"
#include "sheets/csv_writer.h"
#include "sheets/table_batches.h"

namespace corvane {

namespace {

// A CSV row holds every place of the grid, empty ones too: a table of many more places than cells (a
// wide span over many rows) would make a text far larger than the page, so it is written as it is read.
constexpr long long kMostHeldCsvPlaces = 4'000'000;

bool CsvText(const TSheetTable& table, std::string& text, bool links, std::string_view lead) {
  if (static_cast<long long>(table.Rows) * table.Columns > kMostHeldCsvPlaces) return false;
  AppendCsvTable(table, text, links, lead);
  return true;
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
    if (m_links && !IsArchiveFileName(inputFile)) m_fileBase = PageBaseAddress(inputFile, m_head);
    m_head = {};
    m_base = m_fileBase;
    if (start == TOutputStart::NewFile) output.Write(kCsvByteOrderMark);
    m_separate = start == TOutputStart::AfterContent;
  }
  bool WritesRecords() const override { return true; }
  void SetPageHead(std::string_view head) override { m_head = head; }
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
  std::string_view m_head;  // the page's head, from SetPageHead until BeginOutput
  bool m_record = false;   // the tables come from an archive's page
  std::string m_url;       // its address
  TTableBatches<std::string> m_tables{[this](const TSheetTable& table, const TPendingTable& pending, std::string& text,
                                             TSheetCuts&) { return CsvText(table, text, m_links, pending.Lead); },
                                   Threads};
};

}  // namespace

std::unique_ptr<TTableWriter> MakeCsvTableWriter(bool links) { return std::make_unique<TCsvTableWriter>(links); }

}  // namespace corvane
