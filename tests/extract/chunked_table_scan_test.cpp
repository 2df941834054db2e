// The scan in chunks on several threads against the one-thread scan: the same tables in the same order,
// the same outputs and log lines, on pages whose chunk edges fall inside comments, scripts, nested and
// unclosed tables, with chunks small enough that an edge falls on every line.
#include "extract/chunked_table_scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "extract/byte_file.h"
#include "extract/conversion_job.h"
#include "extract/inline_job_host.h"
#include "extract/table_fragment_scanner.h"
#include "support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

struct TPage {
  const char* name;
  std::string text;
};

std::string ManyLines(int rows) {
  std::string table = "<table>\n";
  for (int row = 0; row < rows; ++row) table += "<tr><td>row " + std::to_string(row) + "</td></tr>\n";
  return table + "</table>\n";
}

std::vector<TPage> Pages() {
  std::string manySmall;
  for (int k = 0; k < 60; ++k) manySmall += "<table><tr><td>t" + std::to_string(k) + "</td></tr></table>\n";
  return {
      {"empty", ""},
      {"line ends only", "\n\r\n\n\r\r\n"},
      {"no line end", "<table><tr><td>a</td></tr></table><table><tr><td>b</td></tr></table>"},
      {"comment holding tags", "<!--\n<table>\n<tr><td>c</td></tr>\n-->\n<table><tr><td>a</td></tr></table>\n"},
      {"script closing tables", "<script>\nvar s = '</table>';\n</script>\n<table>\n<tr><td>s</td></tr>\n</table>\n"},
      {"nested over lines",
       "<table>\n<tr><td>\n<table>\n<tr><td>in</td></tr>\n</table>\n</td></tr>\n<table><tr><th>h</th></tr>\n</table>\n"
       "</table>\n<table>\n<tr><td>after</td></tr>\n</table>\n"},
      {"unclosed table first", "<table>\n<tr><td>u</td></tr>\n<table><tr><td>x</td></tr></table>\n<p>tail</p>\n"},
      {"unclosed table last", "<table><tr><td>a</td></tr></table>\n<table>\n<tr><td>never closed</td></tr>\n"},
      {"close before open", "</table><table>\n<tr><td>x</td></tr></table></TABLE>tail\n<table><tr><td>y</td></tr></table>\n"},
      {"text around tables", "before <table><tr><td>b</td></tr></table> after\nx<TABLE>\n<tr><td>c</td></tr></table>y\n"},
      {"line ends inside tags", "<table\r\n><tr\n><td\r>a</td\n></tr></ta\nble></table>\r\n<table><tr><td>z</td></tr></table>\r\n"},
      {"carriage returns only", "<table>\r<tr><td>a</td></tr>\r</table>\r<table><tr><td>b</td></tr></table>\r"},
      {"end-of-file mark", "<table><tr><td>a</td></tr></table>\n<table>\n<tr><td>b</td></tr>\x1a</table>\n<table></table>\n"},
      {"mark after a table", "<table><tr><td>a</td></tr></table>\n\x1a\n<table><tr><td>b</td></tr></table>\n"},
      {"blank lines in a table", "<table>\n\n<tr><td>a\n\n b</td></tr>\r\n\r\n</table>\n"},
      {"one huge table", ManyLines(400)},
      {"many small tables", manySmall},
      {"tables the writer does not prepare", "<table><tr><td>raw</td></tr></table>\n<table><tr><td>a</td></tr></table>\n"},
  };
}

// A table's output in these tests: its fragment in brackets. A fragment holding "raw" is not prepared.
bool Bracket(std::string_view fragment, std::string& lines) {
  if (fragment.find("raw") != std::string_view::npos) return false;
  lines.assign("[").append(fragment).append("]");
  return true;
}

// The tables of text as the chunked scan hands them over: prepared ones in brackets, fragments as they are.
std::vector<std::string> ChunkedFragments(const std::string& text, std::size_t chunkSize, std::size_t workers,
                                          TLineBreaks lineBreaks, std::size_t largestPrepared = 1 << 20,
                                          std::size_t* rescanned = nullptr) {
  TChunkedScanSettings settings;
  settings.chunkSize = chunkSize;
  settings.workers = workers;
  settings.lineBreaks = lineBreaks;
  settings.largestPrepared = largestPrepared;
  TChunkedTableScan scan(
      settings,
      [&text](std::uint64_t offset, char* buffer, std::size_t size) { std::memcpy(buffer, text.data() + offset, size); },
      text.size(), Bracket);
  std::vector<std::string> tables;
  std::uint64_t last = 0;
  const auto result = scan.Run(
      [&tables](std::string_view table, bool prepared) {
        EXPECT_EQ(prepared, table.starts_with("["));
        tables.emplace_back(table);
        return true;
      },
      [&last](std::uint64_t done) {
        EXPECT_GT(done, last);  // progress goes forward, chunk by chunk
        last = done;
      });
  EXPECT_EQ(result, TChunkedTableScan::TResult::Complete);
  if (rescanned) *rescanned += scan.ChunksRescanned();
  return tables;
}

TEST(ChunkedTableScanTest, SameTablesAsOneScanWhereverTheEdgesFall) {
  std::size_t rescanned = 0;
  for (const TPage& page : Pages()) {
    for (const TLineBreaks lineBreaks : {TLineBreaks::Joined, TLineBreaks::Kept}) {
      // Tables up to 40 bytes prepared in one run of each, up to any size in the other.
      for (const std::size_t largestPrepared : {std::size_t{40}, std::size_t{1} << 20}) {
        std::vector<std::string> expected = CutTableFragments(page.text, lineBreaks);
        for (std::string& table : expected) {
          if (table.size() <= largestPrepared) {
            std::string lines;
            if (Bracket(table, lines)) table = lines;
          }
        }
        for (const std::size_t chunkSize : {1, 2, 3, 7, 16, 50, 1000, 1 << 20}) {
          for (const std::size_t workers : {1, 2, 3}) {
            SCOPED_TRACE(std::string(page.name) + ", chunks of " + std::to_string(chunkSize) + ", " +
                         std::to_string(workers) + " workers" + (lineBreaks == TLineBreaks::Kept ? ", line breaks" : "") +
                         ", prepared up to " + std::to_string(largestPrepared));
            EXPECT_EQ(ChunkedFragments(page.text, chunkSize, workers, lineBreaks, largestPrepared, &rescanned), expected);
          }
        }
      }
    }
  }
  EXPECT_GT(rescanned, 0u) << "tables across chunk edges were met";
}

// Pages drawn from pieces that move the scan's state (table tags of both kinds, line ends of three kinds,
// the end-of-file mark, text) by a fixed generator, so that a failure comes back on the next run.
TEST(ChunkedTableScanTest, SameTablesOnPagesOfRandomPieces) {
  const char* const pieces[] = {"<table>", "</table>", "<TaBlE x>", "</TABLE>", "\n", "\r", "\r\n", "\n\n",
                                "<tr><td>a</td></tr>", "text ", "<!-- ", " -->", "\x1a", "<", "<ta", "</ta"};
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int page = 0; page < 400; ++page) {
    std::string text;
    const std::uint32_t length = next() % 40;
    for (std::uint32_t k = 0; k < length; ++k) {
      // The end-of-file mark is rare: most pages run to their end.
      std::uint32_t piece = next() % std::size(pieces);
      if (std::string_view(pieces[piece]) == "\x1a" && next() % 4 != 0) piece = 0;
      text += pieces[piece];
    }
    for (const TLineBreaks lineBreaks : {TLineBreaks::Joined, TLineBreaks::Kept}) {
      std::vector<std::string> expected = CutTableFragments(text, lineBreaks);
      for (std::string& table : expected) {
        std::string lines;
        if (Bracket(table, lines)) table = lines;
      }
      for (const std::size_t chunkSize : {1, 2, 5, 11}) {
        SCOPED_TRACE(::testing::PrintToString(text) + ", chunks of " + std::to_string(chunkSize));
        ASSERT_EQ(ChunkedFragments(text, chunkSize, 2, lineBreaks), expected);
      }
    }
  }
}

TEST(ChunkedTableScanTest, WorkersOwnScansAreTakenPastATableAcrossTheEdge) {
  // Chunks of one line each: every edge inside the table sends a chunk through the calling thread's
  // scan, and none of the chunks after it.
  const std::string text = "<table>\n<tr><td>a</td></tr>\n</table>\n<p>x</p>\n<p>y</p>\n<table><tr><td>b</td></tr></table>\n";
  std::size_t rescanned = 0;
  EXPECT_EQ(ChunkedFragments(text, 1, 2, TLineBreaks::Joined, 1 << 20, &rescanned),
            (std::vector<std::string>{"[<table><tr><td>a</td></tr></table>]", "[<table><tr><td>b</td></tr></table>]"}));
  EXPECT_EQ(rescanned, 2u);
}

TEST(ChunkedTableScanTest, ReadFailureEndsTheScanWithItsError) {
  const std::string text = ManyLines(2000);
  TChunkedScanSettings settings;
  settings.chunkSize = 100;
  TChunkedTableScan scan(
      settings,
      [&text](std::uint64_t offset, char* buffer, std::size_t size) {
        if (offset + size > text.size() / 2) throw TFileError("Cannot read page.html: Input/output error");
        std::memcpy(buffer, text.data() + offset, size);
      },
      text.size(), Bracket);
  try {
    scan.Run([](std::string_view, bool) { return true; }, [](std::uint64_t) {});
    ADD_FAILURE() << "no error";
  } catch (const TFileError& error) {
    EXPECT_STREQ(error.what(), "Cannot read page.html: Input/output error");
  }
}

TEST(ChunkedTableScanTest, TakerEndsTheScan) {
  const std::string text = "<table><tr><td>a</td></tr></table>\n<table><tr><td>b</td></tr></table>\n<table></table>\n";
  for (const std::size_t chunkSize : {1, 1000}) {
    TChunkedScanSettings settings;
    settings.chunkSize = chunkSize;
    TChunkedTableScan scan(
        settings,
        [&text](std::uint64_t offset, char* buffer, std::size_t size) { std::memcpy(buffer, text.data() + offset, size); },
        text.size(), Bracket);
    std::vector<std::string> taken;
    scan.Run(
        [&taken](std::string_view table, bool) {
          taken.emplace_back(table);
          return taken.size() < 2;
        },
        [](std::uint64_t) {});
    EXPECT_EQ(taken, (std::vector<std::string>{"[<table><tr><td>a</td></tr></table>]", "[<table><tr><td>b</td></tr></table>]"}));
  }
}

TEST(TableFragmentScannerTest, FeedUntilOutsidePausesAtLineEndsOutsideTables) {
  // Pauses after "a\n" (2), after the line that closes the table (39) and after "b\r" (41); a line whose
  // "</table>" closes nothing ends outside every table too (50).
  const std::string text = "a\n<table>\n<tr><td>x</td></tr>\n</table>\nb\r</table>\n";
  TTableFragmentScanner scanner;
  std::vector<std::size_t> pauses;
  for (std::size_t at = 0; at < text.size();) {
    at += scanner.FeedUntilOutside(text.data() + at, text.size() - at, true);
    if (scanner.PausedOutside()) pauses.push_back(at);
  }
  EXPECT_EQ(pauses, (std::vector<std::size_t>{2, 39, 41, 50}));
  EXPECT_EQ(scanner.Fragments(), std::vector<std::string>{"<table><tr><td>x</td></tr></table>"});
}

// A quiet command-line job writing every table.
class QuietHost : public TInlineJobHost {
 public:
  std::vector<std::string> log;
  std::string outputPath;
  bool append = false;
  std::size_t stopAfterReads = 0;  // 0: never asks to stop
  std::size_t reads = 0;

  void AppendLog(std::string_view line) override { log.emplace_back(line); }
  void ShowPassLabels(std::string_view, std::string_view) override {}
  bool AppendOutput() const override { return append; }
  bool TrimCellValues() const override { return false; }
  std::string OutputPath() const override { return outputPath; }
  TTableChoice ChooseTables(const TFragmentStore&) override { return {}; }
  std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t) override {
    TTableChoice every;
    every.EveryTable = true;
    return every;
  }
  bool WritesEveryTableUnlogged() const override { return true; }
  bool StopRequested() const override { return stopAfterReads != 0 && reads >= stopAfterReads; }
  void ShowReadProgress(std::uint64_t, std::uint64_t) override { ++reads; }
  void JobEnded(TJobEnd) override {}
  std::vector<std::string> InputListEntries() const override { return {}; }
  int ProgressMaximum() const override { return 1; }
  void SetProgressPosition(int) override {}
};

struct TRun {
  std::vector<std::string> log;
  std::vector<std::string> outputs;  // name and bytes of each file in the output folder
  std::size_t chunked = 0;
  std::size_t tables = 0;
};

class ChunkedJobTest : public ::testing::Test {
 protected:
  // Converts file into a fresh output folder (holding earlier when given) with threads and chunkSize;
  // with append, into the folder's file "all.xls".
  TRun Convert(const std::string& file, int threads, std::size_t chunkSize, std::size_t stopAfterReads = 0,
               const std::string& earlier = {}, bool append = false) {
    const fs::path out = temp.Path() / "out";
    fs::remove_all(out);
    fs::create_directory(out);
    const fs::path target = append ? out / "all.xls" : out / (fs::path(file).filename().string() + ".xls");
    if (!earlier.empty()) std::ofstream(target, std::ios::binary) << earlier;
    QuietHost host;
    host.append = append;
    host.outputPath = append ? target.string() : out.string() + "/";
    host.stopAfterReads = stopAfterReads;
    TConversionJob job(host);
    job.SetThreads(threads);
    job.SetChunkSize(chunkSize);
    job.FileQueue().Add(file);
    host.RunJob(job);
    TRun run{host.log, {}, job.FilesScannedInChunks(), job.TablesWritten()};
    for (const auto& entry : fs::directory_iterator(out))
      run.outputs.push_back(entry.path().filename().string() + ":" + test::ReadFile(entry.path()));
    return run;
  }

  test::TTempDir temp;
};

TEST_F(ChunkedJobTest, OutputsAndLogsEqualTheOneThreadRuns) {
  for (const TPage& page : Pages()) {
    const std::string file = temp.Write(std::string("page.html"), page.text);
    const TRun one = Convert(file, 1, 7);
    EXPECT_EQ(one.chunked, 0u);
    for (const std::size_t chunkSize : {1, 5, 64}) {
      SCOPED_TRACE(std::string(page.name) + ", chunks of " + std::to_string(chunkSize));
      const TRun two = Convert(file, 2, chunkSize);
      EXPECT_EQ(two.log, one.log);
      EXPECT_EQ(two.outputs, one.outputs);
      EXPECT_EQ(two.tables, one.tables);
      EXPECT_EQ(two.chunked, page.text.size() / 2 >= chunkSize ? 1u : 0u);
    }
  }
}

TEST_F(ChunkedJobTest, ChunkedOutputsAreTheTablesLines) {
  const struct {
    const char* page;
    const char* output;
  } cases[] = {
      {"<table>\n<tr><td>a</td><td> b </td></tr>\n<tr><th>h</th></tr>\n</table>\n", "page.html.xls:\"a\"\t\" b \"\r\n\"h\"\r\n"},
      {"<!--\n<table>\n-->\n<table><tr><td>x</td></tr></table>\n<p>\n</table>\n<table><tr><td>y</td></tr></table>\n",
       "page.html.xls:\"x\"\r\n\"y\"\r\n"},
      {"<table>\n<tr><td>\n<table><tr><td>in</td></tr></table>\n</td></tr>\n</table>\n", "page.html.xls:\"in\"\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    const TRun run = Convert(temp.Write("page.html", c.page), 0, 1);
    EXPECT_EQ(run.chunked, 1u);
    EXPECT_EQ(run.outputs, std::vector<std::string>{c.output});
  }
}

// Files above the size kept in memory are read from the file by each thread.
TEST_F(ChunkedJobTest, LargeFilesReadByEachThread) {
  std::string many;
  for (int k = 0; k < 6000; ++k) many += "<table><tr><td>t" + std::to_string(k) + "</td><td>x</td></tr></table>\n";
  const struct {
    const char* name;
    std::string text;
  } cases[] = {{"one huge table", ManyLines(20000)},
               {"a table too large to prepare", "<p>x</p>\n" + ManyLines(60000) + many},
               {"many tables", many},
               {"tables in a layout table", "<table>\n" + many + "</table>\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = temp.Write("large.html", c.text);
    ASSERT_GT(fs::file_size(file), 256u * 1024u);
    const TRun one = Convert(file, 1, 1000);
    for (const int threads : {2, 3}) {
      const TRun chunked = Convert(file, threads, 1000);
      EXPECT_EQ(chunked.chunked, 1u);
      EXPECT_EQ(chunked.log, one.log);
      EXPECT_EQ(chunked.outputs, one.outputs);
      EXPECT_EQ(chunked.tables, one.tables);
    }
  }
}

// A line outside the tables longer than the single pass holds (4 MB): the chunks' output is undone and
// the file goes the one-thread way, which gives the single pass up too; the tables are written once.
TEST_F(ChunkedJobTest, LongLineOutsideTablesUndoesTheChunksOutput) {
  const std::string longLine(5 << 20, 'x');
  const std::string file = temp.Write("wide.html", "<table><tr><td>a</td></tr></table>\n" + longLine +
                                                       "\n<table><tr><td>b</td></tr></table>\n" + longLine +
                                                       "<table><tr><td>c</td></tr></table>\n");
  for (const bool append : {false, true}) {
    SCOPED_TRACE(append ? "append" : "per file");
    const TRun one = Convert(file, 1, 1 << 20, 0, "\"earlier\"\r\n", append);
    const TRun two = Convert(file, 2, 1 << 20, 0, "\"earlier\"\r\n", append);
    EXPECT_EQ(two.chunked, 1u);
    EXPECT_EQ(two.log, one.log);
    EXPECT_EQ(two.tables, 3u);
    EXPECT_EQ(two.outputs, one.outputs);
    EXPECT_EQ(two.outputs, std::vector<std::string>{append ? "all.xls:\"earlier\"\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n"
                                                           : "wide.html.xls:\"a\"\r\n\"b\"\r\n\"c\"\r\n"});
  }
}

TEST_F(ChunkedJobTest, StoppedRunRollsBackAsOnOneThread) {
  std::string many;
  for (int k = 0; k < 3000; ++k) many += "<table><tr><td>t" + std::to_string(k) + "</td></tr></table>\n";
  for (const bool large : {false, true}) {
    const std::string text = large ? many + many : many.substr(0, 20000);
    const std::string file = temp.Write("stopped.html", text);
    const std::vector<std::string> expectedLog = {std::string(94, '-'), "Analysing     : " + file,
                                                  "ERROR : Conversion stopped; nothing written for " + file, "",
                                                  "Extraction Failed for " + file, std::string(94, '-')};
    for (const int threads : {1, 2}) {
      SCOPED_TRACE(std::to_string(threads) + (large ? " threads, large file" : " threads, small file"));
      const TRun run = Convert(file, threads, 1000, 1, "\"earlier\"\r\n");
      EXPECT_EQ(run.chunked, threads == 1 ? 0u : 1u);
      EXPECT_EQ(run.log, expectedLog);
      EXPECT_EQ(run.outputs, std::vector<std::string>{"stopped.html.xls:\"earlier\"\r\n"});
      EXPECT_EQ(run.tables, 0u);
    }
  }
}

}  // namespace
}  // namespace corvane
