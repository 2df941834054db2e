#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "extract/byte_file.h"
#include "extract/conversion_job.h"
#include "extract/inline_job_host.h"
#include "extract/xls_table_writer.h"
#include "sheets/sheet_writers.h"
#include "support/run_python.h"
#include "support/temp_dir.h"
#include "writer_formats.h"

// Each format's table writer as a conversion job drives it: the bytes of a new file, of an append file
// and of a run undone, and what the writers take from the page head the job hands them.
namespace corvane {
namespace {

namespace fs = std::filesystem;

using test::ReadFile;

// Prints each sheet of the workbook at path as "title [[values...]] [link targets]".
std::string ReadWorkbook(const std::string& path) {
  return test::RunPython("import openpyxl, sys\n"
                         "for sheet in openpyxl.load_workbook(sys.argv[1]).worksheets:\n"
                         "    rows = [[c.value for c in row] for row in sheet.iter_rows()]\n"
                         "    links = [c.hyperlink.target for row in sheet.iter_rows() for c in row if c.hyperlink]\n"
                         "    print(sheet.title, rows, links)\n",
                         path);
}

using test::TFormat;

// Passes every call on to the format's writer, and asks the job to stop once it has written a table.
class TStoppingWriter final : public TTableWriter {
 public:
  TStoppingWriter(TTableWriter& inner, bool& stop, bool stopAfterTable)
      : m_inner(inner), m_stop(stop), m_stopAfterTable(stopAfterTable) {}
  std::string_view Extension() const override { return m_inner.Extension(); }
  TLineBreaks LineBreaks() const override { return m_inner.LineBreaks(); }
  bool ReadsPageHead() const override { return m_inner.ReadsPageHead(); }
  bool WritesAtJobEnd() const override { return m_inner.WritesAtJobEnd(); }
  void SetPageHead(std::string_view head) override { m_inner.SetPageHead(head); }
  void BeginOutput(TOutputFile& output, TOutputStart start, const std::string& inputFile) override {
    m_inner.Notice = Notice;
    m_inner.LogRow = LogRow;
    m_inner.CheckStop = CheckStop;
    m_inner.BeginOutput(output, start, inputFile);
  }
  void WriteTable(std::string_view fragment, std::size_t number, const std::string& pageCharset, bool trim,
                  TOutputFile& output) override {
    m_inner.WriteTable(fragment, number, pageCharset, trim, output);
    m_stop = m_stopAfterTable;
  }
  void FinishOutput(TOutputFile& output) override { m_inner.FinishOutput(output); }
  void Abandon() override { m_inner.Abandon(); }
  bool EndJob(bool succeeded, const std::string& target, std::string& error) override {
    return m_inner.EndJob(succeeded, target, error);
  }

 private:
  TTableWriter& m_inner;
  bool& m_stop;
  bool m_stopAfterTable;
};

class TWriterHost final : public TInlineJobHost {
 public:
  bool append = false;
  std::string outputPath;
  TTableWriter* writer = nullptr;
  bool stop = false;

  void AppendLog(std::string_view) override {}
  void ShowPassLabels(std::string_view, std::string_view) override {}
  bool AppendOutput() const override { return append; }
  bool TrimCellValues() const override { return false; }
  std::string OutputPath() const override { return outputPath; }
  TTableWriter* TableWriter() override { return writer; }
  TTableChoice ChooseTables(const TFragmentStore&) override { return {}; }
  std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t) override {
    TTableChoice every;
    every.EveryTable = true;
    return every;
  }
  bool StopRequested() const override { return stop; }
  void JobEnded(TJobEnd) override {}
  std::vector<std::string> InputListEntries() const override { return {}; }
  int ProgressMaximum() const override { return 1; }
  void SetProgressPosition(int) override {}
};

const std::string kPage = "<table><tr><td>a</td><td>1</td></tr></table>\n<table><tr><td>b &amp; c</td></tr></table>\n";

struct TOutputCase {
  TFormat format;
  bool append;      // to a file that holds "earlier" already
  bool stop;        // the run is stopped after its first table
  std::string expected;  // the file's bytes; a workbook's sheets as ReadWorkbook prints them
};

TEST(TableWriters, EachFormatWritesANewFileAnAppendFileAndUndoesAStoppedRun) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string sheets = "Table 1 [['a', 1]] []\nTable 2 [['b & c']] []\n";
  const std::string jsonl = "{\"file\":\"PAGE\",\"table\":1,\"rows\":[[\"a\",\"1\"]]}\n"
                            "{\"file\":\"PAGE\",\"table\":2,\"rows\":[[\"b & c\"]]}\n";
  const TOutputCase cases[] = {
      {TFormat::Xls, false, false, "\"a\"\t\"1\"\r\n\"b &amp; c\"\r\n"},
      {TFormat::Xls, true, false, "earlier\r\n\"a\"\t\"1\"\r\n\"b &amp; c\"\r\n"},
      {TFormat::Xls, true, true, "earlier\r\n"},
      {TFormat::Csv, false, false, bom + "a,1\r\n\r\nb & c\r\n"},
      // Appended after what the file holds: no byte-order mark, an empty line before the first table.
      {TFormat::Csv, true, false, "earlier\r\n\r\na,1\r\n\r\nb & c\r\n"},
      {TFormat::Csv, true, true, "earlier\r\n"},
      {TFormat::Jsonl, false, false, jsonl},
      {TFormat::Jsonl, true, false, "earlier\r\n" + jsonl},
      {TFormat::Jsonl, true, true, "earlier\r\n"},
      {TFormat::Xlsx, false, false, sheets},
      {TFormat::Xlsx, false, true, ""},
      {TFormat::JobXlsx, true, false, "page.html 1 [['a', 1]] []\npage.html 2 [['b & c']] []\n"},
      // A stopped job leaves what held the workbook's name as it was.
      {TFormat::JobXlsx, true, true, "earlier\r\n"},
  };
  for (const TOutputCase& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.format)) + (c.append ? " append" : " new") + (c.stop ? " stop" : ""));
    test::TTempDir temp;
    const std::string page = temp.Write("page.html", kPage);
    const std::string target = temp.Write(c.format == TFormat::JobXlsx ? "all.xlsx" : "all.out", "earlier\r\n");
    const std::unique_ptr<TTableWriter> format = test::WriterOf(c.format, target);
    TWriterHost host;
    TStoppingWriter writer(*format, host.stop, c.stop);
    host.writer = &writer;
    host.append = c.append && c.format != TFormat::JobXlsx;
    host.outputPath = c.append ? target : temp.Path().string() + "/";
    TConversionJob job(host);
    job.FileQueue().Add(page);
    host.RunJob(job);
    EXPECT_EQ(job.FailedFiles().empty(), !c.stop);
    const fs::path written = c.append ? fs::path(target) : temp.Path() / ("page.html" + std::string(writer.Extension()));
    if (c.stop && !c.append) {
      EXPECT_FALSE(fs::exists(written));
      continue;
    }
    const bool workbook = ReadFile(written).starts_with("PK");
    std::string expected = c.expected;
    for (std::size_t at; (at = expected.find("PAGE")) != std::string::npos;) expected.replace(at, 4, page);
    EXPECT_EQ(workbook ? ReadWorkbook(written.string()) : ReadFile(written), expected);
  }
}

// What a page says of itself outside its tables (its BASE, its language) comes from the head the job
// hands the writer before its output begins, not from reading the file again: here the file is gone.
TEST(TableWriters, LinksAndNumbersFollowThePageHeadTheJobHandsOver) {
  const std::string head = "<html lang=\"de\"><head><base href=\"http://b.test/d/\"></head>";
  const std::string table = "<table><tr><td><a href=\"x.html\">x</a></td><td>1.234,5</td></tr></table>";
  struct TCase {
    std::unique_ptr<TTableWriter> writer;
    std::string expected;
  };
  TCase cases[] = {
      {MakeCsvTableWriter(true), "\xEF\xBB\xBFx,http://b.test/d/x.html,\"1.234,5\"\r\n"},
      {MakeJsonlTableWriter(true),
       "{\"file\":\"/gone/p.html\",\"table\":1,\"rows\":[[\"x\",\"http://b.test/d/x.html\",\"1.234,5\"]]}\n"},
      {MakeXlsxTableWriter(true), "Table 1 [['x', 1234.5]] ['http://b.test/d/x.html']\n"},
  };
  for (TCase& c : cases) {
    SCOPED_TRACE(std::string(c.writer->Extension()));
    test::TTempDir temp;
    const std::string path = (temp.Path() / ("t" + std::string(c.writer->Extension()))).string();
    TOutputFile output;
    std::error_code error;
    ASSERT_TRUE(output.Open(path, TOutputMode::Replace, error));
    c.writer->SetPageHead(head);
    c.writer->BeginOutput(output, TOutputStart::NewFile, "/gone/p.html");
    c.writer->WriteTable(table, 1, "", false, output);
    c.writer->FinishOutput(output);
    output.Commit();
    EXPECT_EQ(c.writer->Extension() == ".xlsx" ? ReadWorkbook(path) : ReadFile(path), c.expected);
  }
}

}  // namespace
}  // namespace corvane
