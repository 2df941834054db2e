// How many threads the reading of tables uses: a conversion job given a number of threads never runs
// more at once, and writes the same bytes whatever the number; a batch of tables stays on the calling
// thread when told to. (Python's tests hold a page's reading to its number of threads.)
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "extract/conversion_job.h"
#include "extract/inline_job_host.h"
#include "extract/warc_test_writer.h"
#include "extract/xls_table_writer.h"
#include "sheets/sheet_writers.h"
#include "sheets/table_batches.h"
#include "support/temp_dir.h"
#include "writer_formats.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

using test::ReadFile;

// The threads of this process now.
int ThreadsNow() {
  int count = 0;
  for (auto entry = fs::directory_iterator("/proc/self/task"); entry != fs::directory_iterator(); ++entry) ++count;
  return count;
}

// A workbook's members carry the time they were written: its bytes with those times blanked, so that
// two workbooks of the same tables compare equal. The same bytes of two equal files are blanked alike.
std::string WithoutZipTimes(std::string bytes) {
  const std::pair<std::string, std::size_t> headers[] = {{std::string("PK\x03\x04", 4), 10}, {std::string("PK\x01\x02", 4), 12}};
  for (const auto& [signature, offset] : headers) {
    for (std::size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 1)) {
      if (at + offset + 4 <= bytes.size()) bytes.replace(at + offset, 4, 4, '\0');
    }
  }
  return bytes;
}

// A page of many tables of every kind the readers meet: header rows, spans, links, references, nested
// layout tables, numbers. number makes each page's text its own.
std::string PageOfTables(int tables, int rows, int number) {
  std::string page = "<html><head><meta charset=\"utf-8\"><base href=\"http://t.test/d/\"></head><body>\n";
  for (int t = 0; t < tables; ++t) {
    const bool nested = t % 7 == 3;
    if (nested) page += "<table class=layout><tr><td>before\n";
    page += "<table border=1><thead><tr><th colspan=2>Name " + std::to_string(t) + "<th>Price</thead>\n";
    for (int r = 0; r < rows; ++r) {
      const std::string n = std::to_string(number * 1000 + t * rows + r);
      page += "<tr><td><a href=\"p" + n + ".html\">item " + n + "</a><td rowspan=" + std::to_string(r % 3 + 1) +
              ">caf\xC3\xA9 &amp; <b>t\xC3\xA9</b>&nbsp;" + n + "<td>" + n + ".5\n";
    }
    page += "</table>\n";
    if (nested) page += "</td></tr></table>\n";
  }
  return page + "</body></html>\n";
}

using test::TFormat;

// Notes the most threads the process has: while it lives, every half millisecond on a thread of its own
// (which it counts too), and whenever Look is called.
class TThreadCount {
 public:
  TThreadCount() : m_sampler([this] {
    while (!m_done.load()) {
      Look();
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }) {}
  ~TThreadCount() { Stop(); }
  TThreadCount(const TThreadCount&) = delete;
  TThreadCount& operator=(const TThreadCount&) = delete;

  void Look() {
    const int now = ThreadsNow();
    int seen = m_most.load();
    while (now > seen && !m_most.compare_exchange_weak(seen, now)) {
    }
  }
  // Ends the sampling; the most seen, the sampler not counted.
  int Stop() {
    m_done = true;
    if (m_sampler.joinable()) m_sampler.join();
    return m_most.load() - 1;
  }

 private:
  std::atomic<int> m_most{0};
  std::atomic<bool> m_done{false};
  std::thread m_sampler;  // last: started once the rest is ready
};

// Writes every table, as `convert` does, and has the threads counted whenever the job looks for a stop or
// tells how far it has read (on any of its threads).
class TCountingHost final : public TInlineJobHost {
 public:
  bool append = false;
  bool quiet = true;  // as -q: a single pass writes the tables beside the scan
  std::string outputPath;
  TTableWriter* writer = nullptr;
  std::vector<std::string> failures;
  TThreadCount* count = nullptr;

  void AppendLog(std::string_view) override {}
  void ShowPassLabels(std::string_view, std::string_view) override {}
  void ReportFailure(std::string_view message) override { failures.emplace_back(message); }
  bool AppendOutput() const override { return append; }
  bool TrimCellValues() const override { return false; }
  std::string OutputPath() const override { return outputPath; }
  TTableWriter* TableWriter() override { return writer; }
  TTableChoice ChooseTables(const TFragmentStore&) override { return *ChoiceWithoutFragments(0); }
  std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t) override {
    TTableChoice every;
    every.EveryTable = true;
    return every;
  }
  bool WritesEveryTableUnlogged() const override { return quiet; }
  bool StopRequested() const override {
    Look();
    return false;
  }
  void ShowReadProgress(std::uint64_t, std::uint64_t) override { Look(); }
  void JobEnded(TJobEnd) override {}
  std::vector<std::string> InputListEntries() const override { return {}; }
  int ProgressMaximum() const override { return 1; }
  void SetProgressPosition(int) override {}

 private:
  void Look() const { count->Look(); }
};

using TFiles = std::vector<std::pair<std::string, std::string>>;  // name, bytes

struct TJobCase {
  std::string name;
  TFormat format;
  TFiles files;
  bool append = false;
  bool quiet = true;
  // Left to itself, the job has a thread of its own beside the caller's while it reads (a thread reading
  // the next files ahead, or writing beside the scan); one that only shares a batch out for a moment
  // may come and go unseen.
  bool helpers = false;
};

struct TJobOutcome {
  std::vector<std::string> outputs;  // each output file's bytes, by file name
  int threads = 0;                   // the most the job ran at once, the caller's included
};

TJobOutcome RunJob(const TJobCase& c, int threads) {
  test::TTempDir temp;
  std::vector<std::string> paths;
  for (const auto& [name, bytes] : c.files) paths.push_back(temp.Write(name, bytes));
  const fs::path out = temp.Path() / "out";
  fs::create_directory(out);
  const std::string target = (out / (c.format == TFormat::JobXlsx ? "all.xlsx" : "all.out")).string();
  const std::unique_ptr<TTableWriter> writer = test::WriterOf(c.format, target, true);
  TCountingHost host;
  host.writer = writer.get();
  host.append = c.append && c.format != TFormat::JobXlsx;
  host.quiet = c.quiet;
  host.outputPath = c.append ? target : out.string() + "/";
  const int before = ThreadsNow();
  TThreadCount count;
  host.count = &count;
  TConversionJob job(host);
  job.SetThreads(threads);
  for (const std::string& path : paths) job.FileQueue().Add(path);
  host.RunJob(job);
  const int most = count.Stop();
  EXPECT_TRUE(job.FailedFiles().empty()) << testing::PrintToString(host.failures);
  TJobOutcome outcome;
  std::set<fs::path> written;
  for (const auto& entry : fs::directory_iterator(out)) written.insert(entry.path());
  // The JSON lines name their file, in a folder of this run's own.
  const std::string folder = temp.Path().string();
  for (const fs::path& path : written) {
    std::string bytes = ReadFile(path);
    if (bytes.starts_with("PK")) bytes = WithoutZipTimes(bytes);
    for (std::size_t at = 0; (at = bytes.find(folder, at)) != std::string::npos;) bytes.replace(at, folder.size(), "TEMP");
    outcome.outputs.push_back(path.filename().string() + ": " + bytes);
  }
  outcome.threads = std::max(most, before) - before + 1;
  return outcome;
}

// Where two sets of outputs first differ ("" when they are the same): the file, the offset and a few
// bytes of each, rather than megabytes of both.
std::string FirstDifference(const std::vector<std::string>& got, const std::vector<std::string>& expected) {
  if (got.size() != expected.size()) return std::to_string(got.size()) + " outputs, not " + std::to_string(expected.size());
  for (std::size_t k = 0; k < got.size(); ++k) {
    const std::string& a = got[k];
    const std::string& b = expected[k];
    if (a == b) continue;
    const std::size_t at = static_cast<std::size_t>(std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(std::min(a.size(), b.size())), b.begin()).first - a.begin());
    return a.substr(0, a.find(':')) + " differs at byte " + std::to_string(at) + ": \"" + a.substr(at, 60) + "\" against \"" +
           b.substr(at, 60) + "\"";
  }
  return {};
}

TFiles SmallFiles(int count) {
  TFiles files;
  for (int k = 0; k < count; ++k) files.emplace_back("small" + std::to_string(100 + k) + ".html", PageOfTables(k % 4 + 1, 3, k));
  return files;
}

std::string Archive(int pages) {
  std::vector<std::string> records;
  for (int k = 0; k < pages; ++k) {
    const std::string url = "http://t.test/page" + std::to_string(k) + ".html";
    records.push_back(test::WarcRecord("response", url, test::HttpResponse(PageOfTables(k % 5 + 1, 20, k)), k));
  }
  return test::WarcArchive(records, false);
}

TEST(JobThreads, AnyNumberOfThreadsWritesTheSameBytesAndNoMoreThreadsRun) {
  // Larger than a page read whole into memory, so that it is written beside its scan, and many tables to
  // a batch, so that a batch is shared out.
  const std::string large = PageOfTables(300, 20, 1);
  ASSERT_GT(large.size(), std::size_t{512} << 10);
  const TJobCase cases[] = {
      {"xls, one large page", TFormat::Xls, {{"large.html", large}}, false, true, true},
      {"xls, one large page, counted first", TFormat::Xls, {{"large.html", large}}, false, false, false},
      {"csv, one large page", TFormat::Csv, {{"large.html", large}}, false, true, true},
      {"csv, one large page, counted first", TFormat::Csv, {{"large.html", large}}, false, false, false},
      {"xlsx, one large page", TFormat::Xlsx, {{"large.html", large}}, false, true, true},
      {"jsonl, one large page appended", TFormat::Jsonl, {{"large.html", large}}, true, true, true},
      {"jsonl, a web archive", TFormat::Jsonl, {{"crawl.warc", Archive(120)}}, false, true, false},
      {"csv, a web archive appended", TFormat::Csv, {{"crawl.warc", Archive(120)}}, true, true, false},
      {"xls, many small files", TFormat::Xls, SmallFiles(40), false, true, true},
      {"csv, many small files appended", TFormat::Csv, SmallFiles(40), true, true, true},
      {"xlsx, many small files into one workbook", TFormat::JobXlsx, SmallFiles(40), true, true, true},
  };
  const bool twoCores = std::thread::hardware_concurrency() >= 2;
  for (const TJobCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TJobOutcome automatic = RunJob(c, 0);
    ASSERT_FALSE(automatic.outputs.empty());
    // The count sees the job's own threads: without it, the bounds below would hold for nothing.
    if (c.helpers && twoCores) {
      EXPECT_GE(automatic.threads, 2);
    }
    for (const int threads : {1, 2, 3}) {
      SCOPED_TRACE(std::to_string(threads) + " threads");
      const TJobOutcome bounded = RunJob(c, threads);
      EXPECT_EQ(FirstDifference(bounded.outputs, automatic.outputs), "");
      EXPECT_LE(bounded.threads, threads);
    }
  }
}

// The threads each table of a batch was read on.
std::vector<std::thread::id> BatchReaders(int threads, int tables) {
  std::mutex lock;
  std::vector<std::thread::id> readers(static_cast<std::size_t>(tables));
  TTableBatches<std::string> batches(
      [&](TSheetTable& table, const TPendingTable& pending, std::string& text, TSheetCuts&) {
        const std::lock_guard<std::mutex> hold(lock);
        readers[pending.Number] = std::this_thread::get_id();
        text = std::to_string(pending.Number) + ":" + table.Cells.front().Text.toStdString();
        return true;
      },
      threads);
  std::vector<std::string> results;
  const auto take = [&results](TConverted<std::string>& converted) { results.push_back(converted.Value); };
  for (int k = 0; k < tables; ++k)
    batches.Add("<table><tr><td>t" + std::to_string(k) + "</table>", static_cast<std::size_t>(k), TSheetReading(), take);
  batches.Flush(take);
  std::vector<std::string> expected;
  for (int k = 0; k < tables; ++k) expected.push_back(std::to_string(k) + ":t" + std::to_string(k));
  EXPECT_EQ(results, expected);
  return readers;
}

TEST(JobThreads, ABatchIsReadOnTheCallingThreadAloneWhenToldTo) {
  struct TCase {
    int threads;
    int tables;
    bool shared;  // read on a second thread too (on a machine with two cores)
  };
  const TCase cases[] = {{0, 8, true}, {2, 8, true}, {1, 8, false}, {0, 1, false}};
  const bool twoCores = std::thread::hardware_concurrency() >= 2;
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.threads) + " threads, " + std::to_string(c.tables) + " tables");
    const std::vector<std::thread::id> readers = BatchReaders(c.threads, c.tables);
    const std::set<std::thread::id> distinct(readers.begin(), readers.end());
    EXPECT_EQ(distinct.count(std::this_thread::get_id()), 1U);
    EXPECT_EQ(distinct.size(), c.shared && twoCores ? 2U : 1U);
  }
}

}  // namespace
}  // namespace corvane
