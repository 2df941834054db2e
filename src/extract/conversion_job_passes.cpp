// The ways a run writes its tables besides the two-pass path: every table in one pass (on one thread,
// or a large file scanned in chunks on several) and the pages of a web archive.

#include <sched.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "extract/chunked_table_scan.h"
#include "extract/conversion_job.h"
#include "extract/conversion_run.h"
#include "extract/job_texts.h"
#include "extract/page_charset.h"
#include "extract/table_fragment_scanner.h"
#include "extract/table_writer.h"
#include "extract/warc_reader.h"

namespace corvane {

void TConversionJob::ConvertArchive(TInputFile& file, TOutputFile& output) {
  if (!m_tableWriter->WritesRecords())
    throw TFileError("Cannot convert the web archive " + m_currentFile + std::string(kArchiveNeedsRecords));
  const auto [start, end] = m_host.ArchiveRange();
  TWarcReader reader(file, start, end);
  reader.Problem = [this](const std::string& line) {
    LogJoined(kLogError, line);
    m_host.ReportNotice(line);
  };
  // The command line's table numbers apply to each page; every table otherwise.
  std::vector<std::string> selection;
  if (std::optional<TTableChoice> choice = m_host.ChoiceWithoutFragments(2); choice && !choice->EveryTable)
    selection = std::move(choice->Selection);
  m_passNumber += 2;
  ShowPassLabels();
  if (!OpenOutputFile(output)) return;
  m_runOutputBegun = true;
  TArchivePage page;
  TTableOrder order;
  while (reader.NextPage(page)) {
    CheckStop();
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    // A byte-order mark says more than the HTTP header, which says more than the page.
    if (page.Html.starts_with(kByteOrderMark) || page.HttpCharset.empty()) m_pageCharset = PageCharsetDeclaration(page.Html);
    else m_pageCharset = page.HttpCharset;
    order.every = selection.empty();
    order.indices.clear();
    if (!order.every) {
      // The page's tables are counted first, as a file's are.
      TTableFragmentScanner counter;
      struct TCounter final : TFragmentSink {
        bool WantsText(std::size_t) override { return false; }
        bool Take(std::size_t, std::string&) override { return true; }
      } sink;
      counter.SetSink(&sink);
      counter.Feed(page.Html.data(), page.Html.size(), true);
      counter.Finish();
      const std::size_t count = counter.FragmentCount();
      if (count == 0) continue;
      if (count == 1) order.indices = {0};
      else order.indices = TablesToWrite(selection, count);
      if (order.indices.empty()) continue;
    }
    const TRecordSource source{page.Url, page.Record, page.Date};
    m_tableWriter->BeginRecord(&source);
    // The page is scanned where it lies.
    TTableStreamer streamer(*this, order, output, nullptr);
    TTableFragmentScanner scanner;
    scanner.SetSink(&streamer);
    scanner.SetLineBreaks(m_tableWriter->LineBreaks());
    scanner.Feed(page.Html.data(), page.Html.size(), true);
    scanner.Finish();
  }
  m_tableWriter->BeginRecord(nullptr);
  LogJoined(kLogArchiveRecords, std::to_string(reader.Records()) + ", pages: " + std::to_string(reader.Pages()) +
                                    ", tables: " + std::to_string(m_runTables));
  FinishOutput(output);
  if (reader.Damaged() > 0) {
    // What could be read is kept; the archive still counts as failed.
    Fail(std::to_string(reader.Damaged()) + (reader.Damaged() == 1 ? " damaged record or gzip member" : " damaged records or gzip members") +
         " skipped in " + m_currentFile);
  }
}

bool TConversionJob::WriteEveryTableInOnePass(TRunInput& input, TOutputFile& output) {
  // Text before a table on its line belongs to the table, so a single pass holds each line's text until
  // a table opens or the line ends. A line longer than this gives the single pass up: what it wrote is
  // undone and the file goes through the counting passes, which hold nothing outside the tables.
  constexpr std::size_t kPendingLimit = std::size_t{4} << 20;
  const int passNumber = m_passNumber;
  // The passes a counting run would show.
  m_passNumber += 2;
  ShowPassLabels();
  TTableOrder order;
  order.every = true;
  // A writer that reads each table in the page's character set, declared before the tables, or what
  // else the page says of itself, gets its head.
  if (m_tableWriter->ReadsPageHead()) ReadPageHead(input);
  // No one reads the log: the rows are not logged, and are written beside the scan.
  struct TUnlogged {
    std::function<void(std::string_view)>& LogRow;
    std::function<void(std::string_view)> Kept;
    explicit TUnlogged(std::function<void(std::string_view)>& logRow) : LogRow(logRow), Kept(std::move(logRow)) {
      LogRow = nullptr;
    }
    ~TUnlogged() { LogRow = std::move(Kept); }
  };
  bool complete = true;
  {
    const TUnlogged unlogged(m_tableWriter->LogRow);
    bool scanned = ScanInChunks(input, output, kPendingLimit, complete);
    if (scanned && !complete) {
      // The chunks' scans may have held a line the file's own scan would not (a worker's chunk may begin
      // inside a table): the one-thread scan tells whether the single pass gives up.
      AbandonOutput(output);
      input.Rewind();
      m_runTables = 0;
      m_runOutputBegun = false;
      scanned = false;
    }
    if (!scanned) complete = StreamTables(input, order, output, kPendingLimit, true);
  }
  if (!complete) {
    AbandonOutput(output);
    input.Rewind();
    m_passNumber = passNumber;
    m_runTables = 0;  // the counting passes write them again
    m_runOutputBegun = false;
    return false;
  }
  if (output.IsOpen() || m_runOutputBegun) FinishOutput(output);
  return true;
}

std::size_t TConversionJob::ChunkWorkers() const {
  // The calling thread writes the tables (and scans across chunk edges): the workers are the others.
  const int threads = RunThreads();
  if (threads == 1) return 0;
  constexpr std::size_t kMostThreads = 64;
  if (threads > 1) return std::min(static_cast<std::size_t>(threads - 1), kMostThreads);
  // Automatic: a thread per processor the process may run on (a run pinned to one stays on one thread),
  // up to a few: reading the file and writing the output keep pace with no more.
  constexpr std::size_t kMostAutomatic = 4;
  std::size_t processors = std::thread::hardware_concurrency();
#if defined(__linux__)
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof(allowed), &allowed) == 0) processors = static_cast<std::size_t>(CPU_COUNT(&allowed));
#endif
  if (processors < 2) return 0;
  return std::min(processors, kMostAutomatic);
}

bool TConversionJob::ScanInChunks(TRunInput& input, TOutputFile& output, std::size_t pendingLimit, bool& complete) {
  const std::size_t workers = ChunkWorkers();
  const bool trim = m_host.TrimCellValues();
  std::string probe;
  if (workers == 0 || input.Size() / 2 < m_chunkSize || !m_tableWriter->PrepareTable({}, trim, probe)) return false;
  TChunkedScanSettings settings;
  settings.chunkSize = m_chunkSize;
  settings.workers = workers;
  settings.pendingLimit = pendingLimit;
  settings.lineBreaks = m_tableWriter->LineBreaks();
  const TTableWriter& writer = *m_tableWriter;
  TChunkedTableScan scan(
      settings, [&input](std::uint64_t offset, char* buffer, std::size_t size) { input.ReadAt(offset, buffer, size); },
      input.Size(), [&writer, trim](std::string_view fragment, std::string& lines) { return writer.PrepareTable(fragment, trim, lines); });
  const std::uint64_t total = input.Size();
  ++m_filesScannedInChunks;
  const TChunkedTableScan::TResult result = scan.Run(
      [this, &output](std::string_view text, bool prepared) {
        CheckStop();
        // In a single pass the output is opened by the first table: a file without tables has none.
        if (!m_runOutputBegun) {
          if (!OpenOutputFile(output)) return false;
          m_runOutputBegun = true;
        }
        if (prepared) {
          ++m_runTables;
          output.Write(text);
        } else {
          WriteTable(text, m_runTables, output);  // a large table, written a row at a time
        }
        return true;
      },
      [this, total](std::uint64_t done) {
        CheckStop();
        m_host.ShowReadProgress(done, total);
      });
  complete = result == TChunkedTableScan::TResult::Complete;
  return true;
}

}  // namespace corvane
