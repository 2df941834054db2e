#include "extract/table_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "extract/byte_file.h"
#include "extract/conversion_job.h"
#include "extract/inline_job_host.h"
#include "extract/page_charset.h"
#include "extract/warc_test_writer.h"
#include "extract/xls_table_writer.h"
#include "support/temp_dir.h"

// The calls a conversion job makes on its table writer, whatever the format: the job knows formats only
// through what a writer says of itself (how it wants its tables cut, whether it reads the page's head,
// takes archives or writes at the job's end).
namespace corvane {
namespace {

namespace fs = std::filesystem;

std::string FileStart(const std::string& path, std::size_t size) {
  std::ifstream file(path, std::ios::binary);
  std::string bytes(size, '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

// What a writer says of itself, as each format does.
struct TWriterKind {
  const char* name;
  TLineBreaks cut;
  bool readsHead;
  bool records;
  bool atJobEnd;
};
const TWriterKind kXlsLike{"xls", TLineBreaks::Joined, false, false, false};
const TWriterKind kTextLike{"csv", TLineBreaks::Kept, true, true, false};  // CSV, JSON Lines
const TWriterKind kWorkbookLike{"xlsx", TLineBreaks::Kept, true, false, false};
const TWriterKind kJobWorkbookLike{"xlsx -a", TLineBreaks::Kept, true, false, true};

// Records each call in a word or two: "begin new page" (where the output starts, and whether the head
// it was given is the page's first bytes, none, or something else), "table 2 kept" (the table's number
// and whether its line breaks came kept or joined), "record URL", "finish", "abandon", "end ok".
class TCallRecorder final : public TTableWriter {
 public:
  explicit TCallRecorder(const TWriterKind& kind) : m_kind(kind) {}
  std::vector<std::string> calls;
  std::function<void()> afterTable;

  std::string_view Extension() const override { return ".rec"; }
  TLineBreaks LineBreaks() const override { return m_kind.cut; }
  bool ReadsPageHead() const override { return m_kind.readsHead; }
  bool WritesRecords() const override { return m_kind.records; }
  bool WritesAtJobEnd() const override { return m_kind.atJobEnd; }
  void SetPageHead(std::string_view head) override { m_head = std::string(head); }
  void BeginOutput(TOutputFile&, TOutputStart start, const std::string& inputFile) override {
    const char* where = start == TOutputStart::NewFile ? "new" : start == TOutputStart::AfterContent ? "after" : "stream";
    const char* head = m_head.empty()                                                    ? "none"
                       : m_head == FileStart(inputFile, kPageCharsetScanLimit) ? "page"
                                                                               : "other";
    calls.push_back(std::string("begin ") + where + " " + head);
    m_head.clear();
  }
  void BeginRecord(const TRecordSource* record) override {
    calls.push_back("record " + (record ? std::string(record->Url) : std::string("-")));
  }
  void WriteTable(std::string_view fragment, std::size_t number, const std::string&, bool, TOutputFile&) override {
    calls.push_back("table " + std::to_string(number) + (fragment.find('\n') != std::string_view::npos ? " kept" : " joined"));
    if (afterTable) afterTable();
  }
  void FinishOutput(TOutputFile&) override { calls.push_back("finish"); }
  void Abandon() override { calls.push_back("abandon"); }
  bool EndJob(bool succeeded, const std::string&, std::string&) override {
    calls.push_back(succeeded ? "end ok" : "end failed");
    return true;
  }

 private:
  TWriterKind m_kind;
  std::string m_head;
};

// How a run's output is opened and its tables chosen.
enum class TMode { NewFile, Append, AppendNew, Stream, OnePass, Chosen, Stopped, Archive };

class TContractHost final : public TInlineJobHost {
 public:
  TMode mode = TMode::NewFile;
  std::string outputPath;
  TTableWriter* writer = nullptr;
  bool stop = false;
  std::vector<std::string> failures;

  void AppendLog(std::string_view) override {}
  void ShowPassLabels(std::string_view, std::string_view) override {}
  bool AppendOutput() const override {
    return mode == TMode::Append || mode == TMode::AppendNew || mode == TMode::Stream;
  }
  bool AppendsToStandardOutput() const override { return mode == TMode::Stream; }
  bool TrimCellValues() const override { return false; }
  std::string OutputPath() const override { return outputPath; }
  TTableWriter* TableWriter() override { return writer; }
  // The window's question: the second table.
  TTableChoice ChooseTables(const TFragmentStore&) override { return {{"1"}, false, false}; }
  std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t) override {
    if (mode == TMode::Chosen) return std::nullopt;
    TTableChoice every;
    every.EveryTable = true;
    return every;
  }
  bool WritesEveryTableUnlogged() const override { return mode == TMode::OnePass; }
  bool StopRequested() const override { return stop; }
  void ReportFailure(std::string_view message) override { failures.emplace_back(message); }
  void JobEnded(TJobEnd) override {}
  std::vector<std::string> InputListEntries() const override { return {}; }
  int ProgressMaximum() const override { return 1; }
  void SetProgressPosition(int) override {}
};

// Two tables whose rows stand on lines of their own.
const std::string kPage = "<html><head><base href=\"http://a.test/\"></head>\n<table>\n<tr><td>1</td></tr>\n</table>\n"
                          "<table>\n<tr><td>2</td></tr>\n</table>\n";

struct TCallCase {
  TMode mode;
  const TWriterKind& kind;
  std::vector<std::string> expected;
};

TEST(TableWriterCalls, EachFormatGetsTheCallsItsOutputNeeds) {
  const TCallCase cases[] = {
      // A file per input: the head read for the character set comes with the output, for every format.
      {TMode::NewFile, kXlsLike, {"begin new page", "table 1 joined", "table 2 joined", "finish", "end ok"}},
      {TMode::NewFile, kTextLike, {"begin new page", "table 1 kept", "table 2 kept", "finish", "end ok"}},
      {TMode::NewFile, kJobWorkbookLike, {"begin new page", "table 1 kept", "table 2 kept", "finish", "end ok"}},
      // Appending: after what the file holds; a workbook of the job's own is never appended to.
      {TMode::Append, kXlsLike, {"begin after page", "table 1 joined", "table 2 joined", "finish", "end ok"}},
      {TMode::Append, kTextLike, {"begin after page", "table 1 kept", "table 2 kept", "finish", "end ok"}},
      {TMode::Append, kJobWorkbookLike, {"begin new page", "table 1 kept", "table 2 kept", "finish", "end ok"}},
      {TMode::AppendNew, kTextLike, {"begin new page", "table 1 kept", "table 2 kept", "finish", "end ok"}},
      {TMode::Stream, kTextLike, {"begin stream page", "table 1 kept", "table 2 kept", "finish", "end ok"}},
      // The quiet single pass reads the head first only for a writer that reads it.
      {TMode::OnePass, kXlsLike, {"begin new none", "table 1 joined", "table 2 joined", "finish", "end ok"}},
      {TMode::OnePass, kWorkbookLike, {"begin new page", "table 1 kept", "table 2 kept", "finish", "end ok"}},
      {TMode::OnePass, kJobWorkbookLike, {"begin new page", "table 1 kept", "table 2 kept", "finish", "end ok"}},
      // Tables the user chose from those shown (kept as shown): joined for a writer that wants them so.
      {TMode::Chosen, kXlsLike, {"begin new page", "table 2 joined", "finish", "end ok"}},
      {TMode::Chosen, kWorkbookLike, {"begin new page", "table 2 kept", "finish", "end ok"}},
      // A stop after the first table undoes the run: the writer lets go of it, and nothing is finished.
      {TMode::Stopped, kXlsLike, {"begin new page", "table 1 joined", "abandon", "end failed"}},
      {TMode::Stopped, kJobWorkbookLike, {"begin new page", "table 1 kept", "abandon", "end failed"}},
      // A web archive: each page's tables come after their record; the archive itself has no head.
      {TMode::Archive, kTextLike,
       {"begin new none", "record http://a.test/p", "table 1 kept", "table 2 kept", "record -", "finish", "end ok"}},
      // A writer that names no records refuses archives: nothing is begun.
      {TMode::Archive, kWorkbookLike, {"abandon", "end failed"}},
  };
  for (const TCallCase& c : cases) {
    SCOPED_TRACE(std::string(c.kind.name) + ", mode " + std::to_string(static_cast<int>(c.mode)));
    test::TTempDir temp;
    const std::string page =
        c.mode == TMode::Archive
            ? temp.Write("crawl.warc",
                         test::WarcArchive({test::WarcRecord("response", "http://a.test/p", test::HttpResponse(kPage), 1)}, false))
            : temp.Write("page.html", kPage);
    const std::string target = temp.Write("all.rec", "earlier\n");
    TCallRecorder writer(c.kind);
    TContractHost host;
    host.mode = c.mode;
    host.writer = &writer;
    host.outputPath = c.mode == TMode::Append ? target : c.mode == TMode::AppendNew ? (temp.Path() / "new.rec").string()
                                                                                     : temp.Path().string() + "/";
    if (c.mode == TMode::Stopped) writer.afterTable = [&host] { host.stop = true; };
    TConversionJob job(host);
    job.FileQueue().Add(page);
    host.RunJob(job);
    EXPECT_EQ(writer.calls, c.expected);
    EXPECT_EQ(job.FailedFiles().empty(), c.expected.back() == "end ok");
  }
}

// A page whose first table stands after a line longer than the single pass holds: the pass gives up,
// lets the writer go, and the counting passes begin the output anew, with the head.
TEST(TableWriterCalls, AGivenUpSinglePassBeginsAnew) {
  test::TTempDir temp;
  const std::string page = temp.Write("long.html", "<p>" + std::string(std::size_t{5} << 20, 'x') + kPage);
  for (const TWriterKind* kind : {&kXlsLike, &kTextLike}) {
    SCOPED_TRACE(kind->name);
    TCallRecorder writer(*kind);
    TContractHost host;
    host.mode = TMode::OnePass;
    host.writer = &writer;
    host.outputPath = temp.Path().string() + "/";
    TConversionJob job(host);
    job.FileQueue().Add(page);
    host.RunJob(job);
    const std::string cut = kind->cut == TLineBreaks::Joined ? " joined" : " kept";
    EXPECT_EQ(writer.calls, (std::vector<std::string>{"abandon", "begin new page", "table 1" + cut, "table 2" + cut,
                                                      "finish", "end ok"}));
  }
}

// The ".xls" writer, as the job drives it: rows logged while someone reads the log, and a long table
// looks whether to stop every few thousand rows.
TEST(XlsTableWriter, LogsItsRowsAndLooksForAStopWithinALongTable) {
  test::TTempDir temp;
  std::string table = "<table>";
  for (int row = 0; row < 10000; ++row) table += "<tr><td>r" + std::to_string(row) + "</td></tr>";
  table += "</table>";
  struct TCase {
    bool logged;
    std::size_t stopAtCheck;  // 0: never
    std::size_t expectedRows;
    std::size_t expectedChecks;
  };
  for (const TCase& c : {TCase{true, 0, 10000, 2}, TCase{false, 0, 10000, 2}, TCase{true, 1, 4095, 1}}) {
    TXlsTableWriter writer;
    std::vector<std::string> logged;
    std::size_t checks = 0;
    if (c.logged) writer.LogRow = [&logged](std::string_view row) { logged.emplace_back(row); };
    writer.CheckStop = [&] {
      if (++checks == c.stopAtCheck) throw std::runtime_error("stopped");
    };
    TOutputFile output;
    std::error_code error;
    ASSERT_TRUE(output.Open((temp.Path() / "t.xls").string(), TOutputMode::Replace, error));
    try {
      writer.WriteTable(table, 1, "", false, output);
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(checks, c.expectedChecks);
    EXPECT_EQ(logged.size(), c.logged ? c.expectedRows : 0u);
    if (c.logged) {
      EXPECT_EQ(logged.front(), "\"r0\"");
    }
    if (c.stopAtCheck == 0) {
      output.Commit();
      const std::string written = FileStart((temp.Path() / "t.xls").string(), 64);
      EXPECT_EQ(written.substr(0, 12), "\"r0\"\r\n\"r1\"\r\n");
    }
  }
}

}  // namespace
}  // namespace corvane
