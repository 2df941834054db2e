#include "sheets/sheet_writers.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "extract/byte_file.h"
#include "extract/warc_reader.h"
#include "sheets/jsonl_writer.h"
#include "sheets/table_batches.h"

namespace corvane {

namespace {

// A JSON row, like a CSV row, holds every place of the grid: a table of many more places than cells (a
// wide span over many rows) would make a text far larger than the page, so it is written as it is read.
constexpr long long kMostHeldJsonPlaces = 4'000'000;

// JSON Lines: a table's rows, made in a batch; the file and the table's number are written around them.
// Like a CSV row, a JSON row holds every place of the grid.
bool JsonRows(const TSheetTable& table, std::string& text, bool links) {
  if (static_cast<long long>(table.Rows) * table.Columns > kMostHeldJsonPlaces) return false;
  AppendJsonRows(table, text, links);
  return true;
}

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
    if (m_links && !IsArchiveFileName(inputFile)) m_fileBase = PageBaseAddress(inputFile, m_head);
    m_head = {};
    m_base = m_fileBase;
  }
  bool WritesRecords() const override { return true; }
  void SetPageHead(std::string_view head) override { m_head = head; }
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
  std::string_view m_head;  // the page's head, from SetPageHead until BeginOutput
  std::optional<TRecord> m_record;  // the archive page the tables come from
  TTableBatches<std::string> m_tables{
      [this](const TSheetTable& table, const TPendingTable&, std::string& text, TSheetCuts&) { return JsonRows(table, text, m_links); },
      Threads};
};

}  // namespace

std::unique_ptr<TTableWriter> MakeJsonlTableWriter(bool links) { return std::make_unique<TJsonlTableWriter>(links); }

}  // namespace corvane
