#include "extract/conversion_job.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "extract/inline_job_host.h"
#include "extract/literal_reference.h"
#include "extract/table_fragment_scanner.h"
#include "extract/table_writer.h"
#include "extract/warc_test_writer.h"
#include "support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

const std::string kRule(94, '-');

// Plays the window: records what the job shows and runs each run at once, on this thread.
class RecordingHost : public TInlineJobHost {
 public:
  std::vector<std::string> log;
  std::vector<std::string> passes;  // "file|pass" as shown
  std::vector<int> positions;
  std::vector<TJobEnd> ends;
  std::vector<std::string> listEntries;
  std::deque<TTableChoice> answers;  // what the user picks, file by file
  int questions = 0;
  const TConversionJob* job = nullptr;
  std::vector<std::string> pageCharsets;  // the job's PageCharset at each question
  std::vector<std::string> shownTables;   // the fragments shown at each question
  bool append = false;
  bool trim = false;
  std::string outputPath;
  int maximum = 100;
  std::size_t stopAfterLogLines = 0;  // 0: never asks to stop
  std::vector<std::string> failures;

  void AppendLog(std::string_view line) override { log.emplace_back(line); }
  void ShowPassLabels(std::string_view file, std::string_view pass) override {
    passes.push_back(std::string(file) + "|" + std::string(pass));
  }
  bool AppendOutput() const override { return append; }
  bool TrimCellValues() const override { return trim; }
  std::string OutputPath() const override { return outputPath; }
  TTableChoice ChooseTables(const TFragmentStore& fragments) override {
    ++questions;
    for (std::size_t i = 0; i < fragments.size(); ++i) shownTables.push_back(fragments.Text(i));
    if (job) pageCharsets.push_back(job->PageCharset());
    if (answers.empty()) return {};
    TTableChoice answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void JobEnded(TJobEnd how) override { ends.push_back(how); }
  std::vector<std::string> InputListEntries() const override { return listEntries; }
  int ProgressMaximum() const override { return maximum; }
  void SetProgressPosition(int position) override { positions.push_back(position); }
  bool StopRequested() const override { return stopAfterLogLines != 0 && log.size() >= stopAfterLogLines; }
  void ReportFailure(std::string_view message) override { failures.emplace_back(message); }
  std::vector<std::string> notices;
  void ReportNotice(std::string_view message) override { notices.emplace_back(message); }
  TTableWriter* writer = nullptr;
  TTableWriter* TableWriter() override { return writer; }
  // Every read progress as "pass:done/total", the pass taken from the job.
  std::vector<std::string> reads;
  void ShowReadProgress(std::uint64_t done, std::uint64_t total) override {
    reads.push_back(std::to_string(job ? job->PassNumber() : 0) + ":" + std::to_string(done) + "/" + std::to_string(total));
  }
};

// Files written past limit bytes fail with "File too large" while the object lives.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = m_saved;
    small.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_savedHandler);
  }

 private:
  struct rlimit m_saved {};
  void (*m_savedHandler)(int) = nullptr;
};

std::string ManyRows(int rows) {
  std::string table = "<table>";
  for (int row = 0; row < rows; ++row) table += "<tr><td>row " + std::to_string(row) + "</td></tr>\n";
  return table + "</table>";
}

std::vector<std::string> FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ConversionJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(out);
    host.outputPath = out.string() + "/";
    host.job = &job;
  }

  std::string Write(const std::string& name, const std::string& content) { return temp.Write(name, content); }
  void Queue(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) job.FileQueue().Add(path);
    host.listEntries = paths;
    host.maximum = static_cast<int>(paths.size());
  }
  test::TTempDir temp;
  const fs::path& dir = temp.Path();
  fs::path out = dir / "out";
  RecordingHost host;
  TConversionJob job{host};
};

const std::string kThreeTables =
    "<table><tr><td>t1</td></tr></table>\r\n"
    "<table><tr><td>t2</td></tr></table>\r\n"
    "<table><tr><td>t3</td></tr></table>\r\n";

TEST_F(ConversionJobTest, OneFileOneTableLogsAndWritesWithoutAsking) {
  const std::string a = Write("a.html", "<html><table>\r\n<tr><td>x</td><td> y </td></tr>\n<tr><th>h</th></tr></table>");
  Queue({a});
  host.RunJob(job);

  const std::vector<std::string> expected = {kRule, "Analysing     : " + a, "Table count : 1", "\"x\"\t\" y \"",
                                             "\"h\"", "", "Extraction Complete for " + a, kRule};
  EXPECT_EQ(host.log, expected);
  EXPECT_EQ(test::ReadFile(out / "a.html.xls"), "\"x\"\t\" y \"\r\n\"h\"\r\n");
  EXPECT_EQ(host.questions, 0);
  EXPECT_EQ(host.passes, (std::vector<std::string>{a + "|1 of 3", a + "|2 of 3", a + "|3 of 3", a + "|3 of 3"}));
  EXPECT_EQ(host.ends, std::vector<TJobEnd>{TJobEnd::Completed});
  EXPECT_EQ(job.PassNumber(), 3);
  EXPECT_TRUE(job.FileQueue().Empty());
  EXPECT_TRUE(job.FailedFiles().empty());
  EXPECT_EQ(job.SelectedTables(), std::vector<std::string>{"0"});
}

TEST_F(ConversionJobTest, TrimSettingTrimsCells) {
  host.trim = true;
  Queue({Write("a.htm", "<table><tr><td> y </td></tr></table>")});
  host.RunJob(job);
  EXPECT_EQ(test::ReadFile(out / "a.htm.xls"), "\"y\"\r\n");
}

TEST_F(ConversionJobTest, FileWithoutTablesCreatesNoOutputInEitherMode) {
  for (bool append : {false, true}) {
    host.append = append;
    host.outputPath = append ? (out / "all.xls").string() : out.string() + "/";
    host.log.clear();
    const std::string a = Write("plain.html", "<p>no tables</p>");
    Queue({a});
    host.RunJob(job);
    EXPECT_EQ(host.log, (std::vector<std::string>{kRule, "Analysing     : " + a, "Table count : 0", "",
                                                  "Extraction Complete for " + a, kRule}));
    EXPECT_TRUE(fs::is_empty(out)) << "append mode: " << append;
  }
}

TEST_F(ConversionJobTest, ChoiceWritesChosenTablesInOrder) {
  const std::string a = Write("a.html", kThreeTables);
  Queue({a});
  host.answers.push_back({{"0", "2"}, false});
  host.RunJob(job);
  EXPECT_EQ(host.questions, 1);
  EXPECT_EQ(test::ReadFile(out / "a.html.xls"), "\"t1\"\r\n\"t3\"\r\n");
  EXPECT_EQ(host.log[2], "Table count : 3");
}

TEST_F(ConversionJobTest, TablesAreShownWithTheirLineBreaksAndWrittenWithout) {
  const std::string a = Write("a.html", "<table><tr><td>always\r\navailable</td></tr></table>\r\n"
                                        "<table><tr><td><pre>a\r\n\r\nb</pre></td></tr>\r\n</table>\r\n");
  Queue({a});
  host.answers.push_back({{"0", "1"}, false});
  host.RunJob(job);
  EXPECT_EQ(host.shownTables, (std::vector<std::string>{"<table><tr><td>always\navailable</td></tr></table>",
                                                        "<table><tr><td><pre>a\n\nb</pre></td></tr>\n</table>"}));
  EXPECT_EQ(test::ReadFile(out / "a.html.xls"), "\"alwaysavailable\"\r\n\"ab\"\r\n");
}

TEST_F(ConversionJobTest, TheChoiceComesWithThePageCharset) {
  const std::string meta = "<meta charset=windows-1251>";
  Queue({Write("a.html", "<head>" + meta + "</head>" + kThreeTables), Write("b.html", kThreeTables)});
  host.RunJob(job);
  EXPECT_EQ(host.pageCharsets, (std::vector<std::string>{meta, ""}));
}

TEST_F(ConversionJobTest, CancelledChoiceWritesNothingAndJobGoesOn) {
  const std::string a = Write("a.html", kThreeTables);
  const std::string b = Write("b.html", kThreeTables);
  Queue({a, b});
  host.answers.push_back({{}, true});  // closed without Extract; the remember box was ticked before
  host.answers.push_back({{"1"}, false});
  host.RunJob(job);

  const std::vector<std::string> firstRun = {kRule, "Analysing     : " + a, "Table count : 3", "Canceled extraction",
                                             "", "Extraction Complete for " + a, kRule};
  ASSERT_GE(host.log.size(), firstRun.size());
  EXPECT_EQ(std::vector<std::string>(host.log.begin(), host.log.begin() + 7), firstRun);
  EXPECT_FALSE(fs::exists(out / "a.html.xls"));
  // The cancelled choice is not remembered: the second file is asked about.
  EXPECT_EQ(host.questions, 2);
  EXPECT_EQ(test::ReadFile(out / "b.html.xls"), "\"t2\"\r\n");
}

TEST_F(ConversionJobTest, RememberedChoiceStopsAtFirstTableAFileLacks) {
  const std::string a = Write("a.html", kThreeTables);
  const std::string b = Write("b.html", "<table><tr><td>b1</td></tr></table><table><tr><td>b2</td></tr></table>");
  Queue({a, b});
  host.answers.push_back({{"1", "2"}, true});
  host.RunJob(job);
  EXPECT_EQ(host.questions, 1);
  EXPECT_EQ(test::ReadFile(out / "a.html.xls"), "\"t2\"\r\n\"t3\"\r\n");
  EXPECT_EQ(test::ReadFile(out / "b.html.xls"), "\"b2\"\r\n");
}

TEST_F(ConversionJobTest, SingleTableFileKeepsTheRememberedChoice) {
  const std::string a = Write("a.html", kThreeTables);
  const std::string b = Write("b.html", "<table><tr><td>only</td></tr></table>");
  const std::string c = Write("c.html", kThreeTables);
  Queue({a, b, c});
  host.answers.push_back({{"2"}, true});
  host.RunJob(job);
  EXPECT_EQ(host.questions, 1);
  EXPECT_EQ(test::ReadFile(out / "b.html.xls"), "\"only\"\r\n");
  EXPECT_EQ(test::ReadFile(out / "c.html.xls"), "\"t3\"\r\n");
}

TEST_F(ConversionJobTest, AppendModeAccumulatesAndKeepsAnExistingFile) {
  host.append = true;
  const fs::path all = out / "all.xls";
  host.outputPath = all.string();
  std::ofstream(all, std::ios::binary) << "old\r\n";
  Queue({Write("b.html", "<table><tr><td>b</td></tr></table>"), Write("a.html", "<table><tr><td>a</td></tr></table>")});
  host.RunJob(job);
  EXPECT_EQ(test::ReadFile(all), "old\r\n\"a\"\r\n\"b\"\r\n");

  fs::remove(all);
  Queue({Write("c.html", "<table><tr><td>c</td></tr></table>")});
  host.RunJob(job);
  EXPECT_EQ(test::ReadFile(all), "\"c\"\r\n") << "created when missing";
}

TEST_F(ConversionJobTest, PerFileModeReplacesEarlierOutput) {
  const std::string a = Write("a.html", "<table><tr><td>new</td></tr></table>");
  std::ofstream(out / "a.html.xls", std::ios::binary) << "old old old\r\n";
  Queue({a});
  host.RunJob(job);
  EXPECT_EQ(test::ReadFile(out / "a.html.xls"), "\"new\"\r\n");
}

TEST_F(ConversionJobTest, AnInputWrittenByAnEarlierRunIsReadAsItIsThen) {
  // The files after the current one are read ahead; an input at the name of an earlier run's output is
  // still read as it is at its turn, whole: that run's output is refused.
  const std::string a = Write("a.html", "<table><tr><td>new</td></tr></table>");
  const std::string written = (out / "a.html.xls").string();
  std::ofstream(written, std::ios::binary) << "<table><tr><td>old</td></tr></table>";
  Queue({a, written});
  host.RunJob(job);
  EXPECT_EQ(job.FailedFiles(), std::vector<std::string>{a});
  EXPECT_EQ(test::ReadFile(written), "<table><tr><td>old</td></tr></table>");
  EXPECT_EQ(test::ReadFile(out / "a.html.xls.xls"), "\"old\"\r\n");
}

TEST_F(ConversionJobTest, UncreatableOutputAbortsJobAndKeepsEveryFileQueued) {
  host.outputPath = (dir / "missing").string() + "/";
  const std::string c = Write("c.html", "<table><tr><td>c</td></tr></table>");
  const std::string a = Write("a.html", "<table><tr><td>a</td></tr></table>");
  const std::string b = Write("b.html", "<table><tr><td>b</td></tr></table>");
  Queue({c, a, b});
  host.RunJob(job);

  const std::vector<std::string> expected = {kRule,
                                             "Analysing     : " + a,
                                             "Table count : 1",
                                             "ERROR : Exiting conversion.",
                                             "Cannot create excel file. Check path " + dir.string() +
                                                 "/missing/a.html.xls: No such file or directory",
                                             "",
                                             "Extraction Failed for " + a,
                                             kRule};
  EXPECT_EQ(host.log, expected);
  EXPECT_EQ(host.ends, std::vector<TJobEnd>{TJobEnd::Aborted});
  EXPECT_TRUE(job.AbortJob());
  EXPECT_EQ(std::vector<std::string>(job.FileQueue().Items().begin(), job.FileQueue().Items().end()), (std::vector<std::string>{a, b, c}));
  EXPECT_EQ(job.FailedFiles(), std::vector<std::string>{a});
  EXPECT_EQ(host.positions.back(), host.maximum);
}

TEST_F(ConversionJobTest, UncreatableAppendFileNamesThePath) {
  host.append = true;
  host.outputPath = (dir / "missing" / "all.xls").string();
  const std::string a = Write("a.html", "<table><tr><td>a</td></tr></table>");
  Queue({a});
  host.RunJob(job);
  EXPECT_EQ(host.log[3], "ERROR : Exiting conversion.");
  EXPECT_EQ(host.log[4], "DETAILS : Cannot create file " + host.outputPath);
  EXPECT_EQ(host.log[6], "Extraction Failed for " + a);
}

TEST_F(ConversionJobTest, RunErrorsAreReportedAndTheJobGoesOn) {
  struct Case {
    const char* name;
    bool append;
    std::string outputPath;  // empty: per-file mode into out/
    std::string input;       // empty: a file that has gone
    std::string error;
  };
  const std::string good = Write("z.html", "<table><tr><td>z</td></tr></table>");
  const std::string gone = (dir / "gone.html").string();
  const std::string folder = (dir / "folder.html").string();
  fs::create_directory(folder);
  const std::string table = Write("t.html", "<table><tr><td>t</td></tr></table>");
  const std::string fifo = (dir / "fifo.html").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<Case> cases = {
      {"MissingInput", false, "", gone, "ERROR : Cannot open " + gone + ": No such file or directory"},
      {"InputIsFolder", false, "", folder, "ERROR : Cannot read " + folder + ": Is a directory"},
      {"AppendTargetIsFolder", true, out.string(), table,
       "ERROR : Cannot open " + out.string() + " for appending: Is a directory"},
      {"AppendTargetIsDevice", true, "/dev/full", table,
       "ERROR : Cannot open /dev/full for appending: not a regular file"},
      {"InputIsDevice", false, "", "/dev/zero", "ERROR : Cannot read /dev/zero: not a regular file"},
      // Neither blocks waiting for the other end.
      {"InputIsFifo", false, "", fifo, "ERROR : Cannot read " + fifo + ": not a regular file"},
      {"AppendTargetIsFifo", true, fifo, table, "ERROR : Cannot open " + fifo + " for appending: not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.log.clear();
    host.append = c.append;
    host.outputPath = c.outputPath.empty() ? out.string() + "/" : c.outputPath;
    Queue({c.input, good});
    host.RunJob(job);
    std::vector<std::string> firstRun(host.log.begin(),
                                      std::find(host.log.begin(), host.log.end(), "Extraction Failed for " + c.input));
    ASSERT_FALSE(firstRun.empty());
    EXPECT_EQ(firstRun.back(), "") << "the error line precedes the closing lines";
    EXPECT_EQ(firstRun[firstRun.size() - 2], c.error);
    EXPECT_EQ(host.failures.back(), c.error.substr(8)) << "the reason reaches the host too";
    ASSERT_FALSE(job.FailedFiles().empty());
    EXPECT_EQ(job.FailedFiles().front(), c.input);
    EXPECT_NE(std::find(host.log.begin(), host.log.end(), "Analysing     : " + good), host.log.end())
        << "the job went on";
    EXPECT_FALSE(job.AbortJob());
  }
}

TEST_F(ConversionJobTest, AnAppendFileThatIsAnInputStopsTheJobBeforeItStarts) {
  host.append = true;
  const std::string a = Write("a.html", "<table><tr><td>a</td></tr></table>");
  const std::string t = Write("t.html", "<table><tr><td>t</td></tr></table>");
  const std::string linked = (dir / "linked.html").string();
  ASSERT_EQ(::link(t.c_str(), linked.c_str()), 0);
  for (const std::string& target : {t, linked}) {
    host.log.clear();
    host.outputPath = target;
    Queue({a, t});
    host.RunJob(job);
    EXPECT_EQ(host.log, (std::vector<std::string>{"ERROR : Cannot append to " + target + ": it is one of the input files",
                                                  "DETAILS : Input file " + t}));
    EXPECT_EQ(host.failures.back(), "Cannot append to " + target + ": it is one of the input files: " + t);
    EXPECT_TRUE(job.Stopped());
    EXPECT_EQ(job.NotConverted(), (std::vector<std::string>{a, t}));
    EXPECT_EQ(test::ReadFile(t), "<table><tr><td>t</td></tr></table>");
  }
}

TEST_F(ConversionJobTest, ProgressCountsFinishedFilesAndEndsFull) {
  Queue({Write("a.html", ""), Write("b.html", ""), Write("c.html", "")});
  host.RunJob(job);
  EXPECT_EQ(host.positions, (std::vector<int>{1, 2, 3}));
}

// Each pass reports its reads as it goes, a large file block by block (a block is 1 MB): the counting
// passes to the end, the writing pass up to its last table.
TEST_F(ConversionJobTest, EveryPassReportsHowFarItHasRead) {
  const std::string small = Write("small.html", kThreeTables);
  const std::string size = std::to_string(kThreeTables.size());
  std::string page = "<table><tr><td>big</td></tr></table>" + std::string(2u << 20, ' ');
  const std::string large = Write("large.html", page);
  const std::string mb = std::to_string(1u << 20), all = std::to_string(page.size());
  struct TCase {
    std::string file;
    std::vector<std::string> reads;
  };
  const std::vector<TCase> cases = {
      {small, {"1:" + size + "/" + size, "1:" + size + "/" + size, "2:" + size + "/" + size, "2:" + size + "/" + size}},
      {large, {"1:" + mb + "/" + all, "1:" + std::to_string(2u << 20) + "/" + all, "1:" + all + "/" + all,
               "1:" + all + "/" + all, "3:" + mb + "/" + all}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.file);
    host.reads.clear();
    host.answers = {TTableChoice{{"0", "2"}, false}};
    Queue({c.file});
    host.RunJob(job);
    EXPECT_EQ(host.reads, c.reads);
  }
}

// The outcome's counts: runs that succeeded and the tables they wrote; a failed or stopped run's
// tables are not counted, since its output was undone.
TEST_F(ConversionJobTest, CountsConvertedFilesAndTheirTables) {
  const std::string three = Write("three.html", kThreeTables);
  const std::string one = Write("one.html", ManyRows(3));
  const std::string none = Write("none.html", "no tables");
  const std::string missing = (dir / "missing.html").string();
  host.answers = {TTableChoice{{"0", "1", "2"}, false}};
  Queue({three, one, none, missing});
  host.RunJob(job);
  EXPECT_EQ(job.FilesConverted(), 3u);
  EXPECT_EQ(job.TablesWritten(), 4u);
  EXPECT_EQ(job.FailedFiles(), std::vector<std::string>{missing});

  const std::string many = Write("z-many.html", ManyRows(10000));
  host.stopAfterLogLines = host.log.size() + 5000;  // in the middle of many's rows
  Queue({one, many});
  host.RunJob(job);
  host.stopAfterLogLines = 0;
  EXPECT_TRUE(job.Stopped());
  EXPECT_EQ(job.FilesConverted(), 1u);
  EXPECT_EQ(job.TablesWritten(), 1u);
}

TEST_F(ConversionJobTest, InputsWithTheSameNameGetTheirOwnOutputs) {
  fs::create_directories(dir / "a");
  fs::create_directories(dir / "b");
  fs::create_directories(dir / "c");
  const std::string a = Write("a/r.html", "<table><tr><td>a</td></tr></table>");
  const std::string b = Write("b/r.html", "<table><tr><td>b</td></tr></table>");
  const std::string c = Write("c/r.html", "<table><tr><td>c</td></tr></table>");
  Queue({a, b, c});
  host.RunJob(job);
  EXPECT_EQ(FileNames(out), (std::vector<std::string>{"r.html (2).xls", "r.html (3).xls", "r.html.xls"}));
  EXPECT_EQ(test::ReadFile(out / "r.html.xls"), "\"a\"\r\n");
  EXPECT_EQ(test::ReadFile(out / "r.html (2).xls"), "\"b\"\r\n");
  EXPECT_EQ(test::ReadFile(out / "r.html (3).xls"), "\"c\"\r\n");
  EXPECT_NE(std::find(host.log.begin(), host.log.end(),
                      "An earlier file of this job has the same name; writing " + (out / "r.html (2).xls").string()),
            host.log.end());

  // A later job replaces its outputs as usual.
  host.log.clear();
  Queue({a});
  host.RunJob(job);
  EXPECT_EQ(FileNames(out).size(), 3u);
}

TEST_F(ConversionJobTest, AFileReachedByTwoPathsIsConvertedOnce) {
  host.append = true;
  host.outputPath = (out / "all.xls").string();
  const std::string a = Write("a.html", "<table><tr><td>a</td></tr></table>");
  const std::string linked = (dir / "z-link.html").string();
  ASSERT_EQ(::link(a.c_str(), linked.c_str()), 0);
  Queue({a, linked});
  host.RunJob(job);
  EXPECT_EQ(test::ReadFile(out / "all.xls"), "\"a\"\r\n");
  EXPECT_NE(std::find(host.log.begin(), host.log.end(), "Already converted in this job as " + a), host.log.end());
  EXPECT_TRUE(job.FailedFiles().empty());
}

// A run that fails while writing leaves every output as it was before the run, so that the next run
// starts clean.
TEST_F(ConversionJobTest, FailedWritesLeaveOutputsAsTheyWere) {
  const std::string big = Write("big.html", ManyRows(300));
  const std::string small = Write("small.html", "<table><tr><td>alpha</td></tr></table>");
  for (const bool append : {false, true}) {
    SCOPED_TRACE(append ? "append" : "per file");
    host.append = append;
    host.outputPath = append ? (out / "all.xls").string() : out.string() + "/";
    const fs::path target = append ? out / "all.xls" : out / "big.html.xls";
    std::ofstream(target, std::ios::binary) << "\"earlier\"\r\n";
    {
      TFileSizeLimit limit(2000);
      Queue({big});
      host.RunJob(job);
    }
    EXPECT_EQ(job.FailedFiles(), std::vector<std::string>{big});
    EXPECT_EQ(host.failures.back(), "Cannot write to " + target.string() + ": File too large");
    EXPECT_EQ(test::ReadFile(target), "\"earlier\"\r\n");
    EXPECT_EQ(FileNames(out), std::vector<std::string>{target.filename().string()}) << "no partial file left";

    if (append) {
      Queue({small});
      host.RunJob(job);
      EXPECT_EQ(test::ReadFile(target), "\"earlier\"\r\n\"alpha\"\r\n");
    }
    fs::remove(target);
  }
}

TEST_F(ConversionJobTest, AStoppedJobUndoesItsRunAndNamesWhatItLeft) {
  const std::string a = Write("a.html", ManyRows(10000));
  const std::string b = Write("b.html", ManyRows(3));
  const std::string c = Write("c.html", ManyRows(3));
  for (const bool append : {false, true}) {
    SCOPED_TRACE(append ? "append" : "per file");
    host.log.clear();
    host.append = append;
    host.outputPath = append ? (out / "all.xls").string() : out.string() + "/";
    const fs::path target = append ? out / "all.xls" : out / "a.html.xls";
    std::ofstream(target, std::ios::binary) << "\"earlier\"\r\n";
    host.stopAfterLogLines = 5000;  // in the middle of a's rows
    Queue({a, b, c});
    host.RunJob(job);
    host.stopAfterLogLines = 0;
    EXPECT_TRUE(job.Stopped());
    EXPECT_EQ(host.ends.back(), TJobEnd::Aborted);
    EXPECT_EQ(job.FailedFiles(), std::vector<std::string>{a});
    // The file whose run the stop undid is named first.
    EXPECT_EQ(job.NotConverted(), (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(host.log[host.log.size() - 4], "ERROR : Conversion stopped; nothing written for " + a);
    EXPECT_EQ(test::ReadFile(target), "\"earlier\"\r\n");
    EXPECT_EQ(FileNames(out), std::vector<std::string>{target.filename().string()});
    fs::remove(target);
  }
}

// A choice known before the rows are written is streamed in the order chosen, a table chosen twice
// written twice, and the file's tables are never all held.
class StreamingHost : public RecordingHost {
 public:
  std::vector<std::string> selection;
  std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t) override { return TTableChoice{selection, false}; }
};

TEST_F(ConversionJobTest, ChoicesKnownInAdvanceAreStreamedInTheirOrder) {
  StreamingHost streaming;
  streaming.outputPath = out.string() + "/";
  TConversionJob streamingJob(streaming);
  const std::string a = Write("a.html", kThreeTables);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"0", "1", "2"}, "\"t1\"\r\n\"t2\"\r\n\"t3\"\r\n"},
      {{"2", "0"}, "\"t3\"\r\n\"t1\"\r\n"},
      {{"1", "1"}, "\"t2\"\r\n\"t2\"\r\n"},
      {{"1", "7", "2"}, "\"t2\"\r\n"},
      {{"x", "1"}, ""},
  };
  for (const auto& [selection, expected] : cases) {
    SCOPED_TRACE(selection.front() + "," + selection.back());
    streaming.selection = selection;
    streamingJob.FileQueue().Add(a);
    streaming.RunJob(streamingJob);
    EXPECT_EQ(test::ReadFile(out / "a.html.xls"), expected);
    EXPECT_TRUE(streamingJob.TableFragments().empty());
    EXPECT_EQ(streaming.questions, 0);
  }
}

// The quiet command line writing every table: one pass per file, an output only for a file with tables,
// the same bytes as the counting passes give.
class OnePassHost : public RecordingHost {
 public:
  bool WritesEveryTableUnlogged() const override { return true; }
  std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t) override {
    TTableChoice every;
    every.EveryTable = true;
    return every;
  }
};

TEST_F(ConversionJobTest, EveryTableUnloggedIsWrittenInOnePass) {
  const std::string none = Write("none.html", "<p>no tables</p>");
  const std::string one = Write("one.html", "<table><tr><td>only</td></tr></table>");
  const std::string three = Write("three.html", kThreeTables);
  // Lines longer than the single pass holds: it gives up and the counting passes write the file.
  const std::string longLine(5 << 20, 'x');
  const std::string wide = Write("wide.html", "<table><tr><td>a</td></tr></table>\n" + longLine +
                                                   "\n<table><tr><td>b</td></tr></table>\n" + longLine +
                                                   "<table><tr><td>c</td></tr></table>\n");
  struct Case {
    bool append;
    std::vector<std::string> files;
    std::vector<std::pair<std::string, std::string>> outputs;  // name in out/, bytes
  };
  const std::vector<Case> cases = {
      {false, {none}, {}},
      {false, {one, none, three},
       {{"one.html.xls", "\"only\"\r\n"}, {"three.html.xls", "\"t1\"\r\n\"t2\"\r\n\"t3\"\r\n"}}},
      {false, {wide}, {{"wide.html.xls", "\"a\"\r\n\"b\"\r\n\"c\"\r\n"}}},
      {true, {wide, one}, {{"all.xls", "\"only\"\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n"}}},
      {true, {three, none, one}  /* converted in sorted order */, {{"all.xls", "\"only\"\r\n\"t1\"\r\n\"t2\"\r\n\"t3\"\r\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files.size());
    fs::remove_all(out);
    fs::create_directory(out);
    OnePassHost onePass;
    onePass.append = c.append;
    onePass.outputPath = c.append ? (out / "all.xls").string() : out.string() + "/";
    TConversionJob onePassJob(onePass);
    for (const std::string& file : c.files) onePassJob.FileQueue().Add(file);
    onePass.RunJob(onePassJob);
    std::vector<std::string> names;
    for (const auto& [name, bytes] : c.outputs) {
      names.push_back(name);
      EXPECT_EQ(test::ReadFile(out / name), bytes) << name;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(FileNames(out), names);
    EXPECT_EQ(onePass.ends, std::vector<TJobEnd>{TJobEnd::Completed});
    EXPECT_TRUE(onePass.failures.empty());
  }
}

// Rows written in line (a small file) or beside the scan (a large one) fail alike: the run's output goes,
// an earlier one stays.
TEST_F(ConversionJobTest, OnePassFailedWritesLeaveOutputsAsTheyWere) {
  const std::string small = Write("small.html", ManyRows(300) + ManyRows(300));
  const std::string large = Write("large.html", ManyRows(6000) + ManyRows(6000));
  ASSERT_GT(fs::file_size(large), 256u * 1024u);
  for (const auto& [big, append] : std::vector<std::pair<std::string, bool>>{
           {small, false}, {small, true}, {large, false}, {large, true}}) {
    SCOPED_TRACE(big + (append ? " append" : " per file"));
    OnePassHost onePass;
    onePass.append = append;
    onePass.outputPath = append ? (out / "all.xls").string() : out.string() + "/";
    TConversionJob onePassJob(onePass);
    const fs::path target = append ? out / "all.xls" : out / (fs::path(big).filename().string() + ".xls");
    std::ofstream(target, std::ios::binary) << "\"earlier\"\r\n";
    {
      TFileSizeLimit limit(2000);
      onePassJob.FileQueue().Add(big);
      onePass.RunJob(onePassJob);
    }
    EXPECT_EQ(onePassJob.FailedFiles(), std::vector<std::string>{big});
    ASSERT_FALSE(onePass.failures.empty());
    EXPECT_EQ(onePass.failures.back(), "Cannot write to " + target.string() + ": File too large");
    EXPECT_EQ(test::ReadFile(target), "\"earlier\"\r\n");
    EXPECT_EQ(FileNames(out), std::vector<std::string>{target.filename().string()}) << "no partial file left";
    fs::remove(target);
  }
}

TEST_F(ConversionJobTest, OnePassOutputThatCannotBeCreatedStopsTheJob) {
  const std::string a = Write("a.html", kThreeTables);
  const std::string b = Write("b.html", kThreeTables);
  OnePassHost onePass;
  onePass.outputPath = (dir / "missing").string() + "/";
  TConversionJob onePassJob(onePass);
  onePassJob.FileQueue().Add(a);
  onePassJob.FileQueue().Add(b);
  onePass.RunJob(onePassJob);
  EXPECT_EQ(onePass.ends, std::vector<TJobEnd>{TJobEnd::Aborted});
  ASSERT_EQ(onePass.failures.size(), 1u);
  EXPECT_EQ(onePass.failures[0], "Cannot create excel file. Check path " + (dir / "missing" / "a.html.xls").string() +
                                     ": No such file or directory");
  EXPECT_EQ(onePassJob.FailedFiles(), std::vector<std::string>{a});
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

// Another format's writer: records each table it gets as "number:fragment", and reports a table that
// says "cut" as cut.
class RecordingTableWriter final : public TTableWriter {
 public:
  std::vector<std::string> tables;
  std::string_view Extension() const override { return ".rec"; }
  void BeginOutput(TOutputFile&, TOutputStart, const std::string&) override {}
  void WriteTable(std::string_view fragment, std::size_t number, const std::string&, bool, TOutputFile&) override {
    tables.push_back(std::to_string(number) + ":" + std::string(fragment));
    if (fragment.find("cut") != std::string_view::npos) Notice("table " + std::to_string(number) + " cut");
  }
  void FinishOutput(TOutputFile&) override {}
  void Abandon() override {}
};

// Every table, known before the tables are read: they are streamed into the run's output.
class EveryTableHost : public RecordingHost {
 public:
  std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t) override {
    TTableChoice choice;
    choice.EveryTable = true;
    return choice;
  }
};

// Messages that depend on the format: only the ".xls" text is an excel file, and a renamed output is
// said once however many tables its file has.
TEST_F(ConversionJobTest, OutputMessagesNameTheFormatAndAreSaidOnce) {
  fs::create_directories(dir / "a");
  fs::create_directories(dir / "b");
  const std::string twoTables = "<table><tr><td>x</td></tr></table><table><tr><td>y</td></tr></table>";
  const std::string a = Write("a/r.html", twoTables);
  const std::string b = Write("b/r.html", twoTables);
  for (const bool other : {false, true}) {
    SCOPED_TRACE(other ? "another format" : "xls");
    RecordingTableWriter writer;
    EveryTableHost every;
    every.writer = other ? &writer : nullptr;
    every.outputPath = out.string() + "/";
    TConversionJob everyJob(every);
    const std::string extension = other ? ".rec" : ".xls";
    everyJob.FileQueue().AddAll({a, b});
    every.RunJob(everyJob);
    const std::string renamed = "An earlier file of this job has the same name; writing " +
                                (out / ("r.html (2)" + extension)).string();
    EXPECT_EQ(std::count(every.log.begin(), every.log.end(), renamed), 1);
    EXPECT_TRUE(fs::exists(out / ("r.html (2)" + extension)));
    if (!other) {
      EXPECT_EQ(test::ReadFile(out / "r.html (2).xls"), "\"x\"\r\n\"y\"\r\n");
    }

    every.outputPath = (dir / "missing").string() + "/";
    everyJob.FileQueue().AddAll({a});
    every.RunJob(everyJob);
    ASSERT_EQ(every.failures.size(), 1u);
    EXPECT_EQ(every.failures[0], std::string(other ? "Cannot create the output file" : "Cannot create excel file") +
                                     ". Check path " + (dir / "missing" / ("r.html" + extension)).string() +
                                     ": No such file or directory");
  }
}

// An output whose name is taken by an input still to be read is refused for its run: the input is read
// intact at its turn. In every format.
TEST_F(ConversionJobTest, AnOutputNeverReplacesAnInputStillToBeRead) {
  for (const bool other : {false, true}) {
    SCOPED_TRACE(other ? "another format" : "xls");
    RecordingTableWriter writer;
    host.writer = other ? &writer : nullptr;
    const std::string extension = other ? ".rec" : ".xls";
    const std::string page = Write("out/p.html", "<table><tr><td>p</td></tr></table>");
    const std::string later = Write("out/p.html" + extension, "<table><tr><td>later</td></tr></table>");
    host.failures.clear();
    Queue({page, later});
    host.RunJob(job);
    EXPECT_EQ(host.failures, std::vector<std::string>{"Cannot write " + later + ": it is the input file " + later +
                                                      ", still to be converted in this job"});
    EXPECT_EQ(job.FailedFiles(), std::vector<std::string>{page});
    EXPECT_EQ(test::ReadFile(later), "<table><tr><td>later</td></tr></table>");
    if (other) {
      EXPECT_EQ(writer.tables, std::vector<std::string>{"1:<table><tr><td>later</td></tr></table>"});
    } else {
      EXPECT_EQ(test::ReadFile(out / "p.html.xls.xls"), "\"later\"\r\n");
    }
    // Once that input has been read, a later job replaces it as any earlier output.
    Queue({page});
    host.RunJob(job);
    EXPECT_TRUE(job.FailedFiles().empty());
    if (!other) {
      EXPECT_EQ(test::ReadFile(later), "\"p\"\r\n");
    }
    for (const auto& entry : fs::directory_iterator(out)) fs::remove(entry.path());
    host.writer = nullptr;
  }
}

// A host that cuts the file being converted to half its size once the log has reached a line count, as
// another program might while the job reads it.
class TruncatingHost : public RecordingHost {
 public:
  std::string file;
  std::size_t atLogLines = 0;
  bool StopRequested() const override {
    if (atLogLines != 0 && log.size() >= atLogLines) {
      std::error_code ignored;
      fs::resize_file(file, fs::file_size(file, ignored) / 2, ignored);
      const_cast<TruncatingHost*>(this)->atLogLines = 0;
    }
    return false;
  }
};

// A file that changes size while its run reads it fails that run, which is undone; the job goes on.
TEST_F(ConversionJobTest, AFileThatChangesSizeWhileReadFailsItsRun) {
  for (const bool append : {false, true}) {
    SCOPED_TRACE(append ? "append" : "per file");
    TruncatingHost cutting;
    cutting.append = append;
    cutting.outputPath = append ? (out / "all.xls").string() : out.string() + "/";
    const fs::path target = append ? out / "all.xls" : out / "big.html.xls";
    std::ofstream(target, std::ios::binary) << "\"earlier\"\r\n";
    cutting.file = Write("big.html", ManyRows(20000));
    const std::string later = Write("later.html", "<table><tr><td>later</td></tr></table>");
    cutting.atLogLines = 1000;  // in the middle of the rows
    TConversionJob cuttingJob(cutting);
    cuttingJob.FileQueue().AddAll({cutting.file, later});
    cutting.RunJob(cuttingJob);
    EXPECT_EQ(cuttingJob.FailedFiles(), std::vector<std::string>{cutting.file});
    ASSERT_FALSE(cutting.failures.empty());
    EXPECT_EQ(cutting.failures[0], "Cannot read " + cutting.file + ": the file changed size while it was read");
    EXPECT_EQ(test::ReadFile(target), append ? "\"earlier\"\r\n\"later\"\r\n" : "\"earlier\"\r\n");
    for (const auto& entry : fs::directory_iterator(out)) fs::remove(entry.path());
  }
}

TEST_F(ConversionJobTest, OtherFormatsGetEachTableWithItsLineBreaksAndItsNumber) {
  const std::string tables = "<table><tr><td>always\r\navailable</td></tr></table>\r\n<p>between</p>\n"
                             "<table><tr><td><pre>a\r\n\r\nb</pre>cut</td></tr>\r\n</table>\r\n";
  const std::string first = "<table><tr><td>always\navailable</td></tr></table>";
  const std::string second = "<table><tr><td><pre>a\n\nb</pre>cut</td></tr>\n</table>";
  std::string padding;
  for (int line = 0; line < 3000; ++line) padding += "<p>" + std::string(96, 'p') + "</p>\n";
  const std::string small = Write("small.html", tables);
  // Past the size read into memory: the quiet single pass writes its tables on a thread of its own.
  const std::string large = Write("large.html", padding + tables);
  RecordingHost asking;  // the window: the user picks from the tables shown
  asking.answers.push_back({{"1"}, false});
  StreamingHost streaming;  // a choice known before the tables are read
  streaming.selection = {"1", "0"};
  OnePassHost onePass, onePassLarge;  // every table, unlogged
  struct Case {
    RecordingHost& host;
    std::string file;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {asking, small, {"2:" + second}},
      {streaming, small, {"2:" + second, "1:" + first}},
      {onePass, small, {"1:" + first, "2:" + second}},
      {onePassLarge, large, {"1:" + first, "2:" + second}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.size());
    RecordingTableWriter writer;
    c.host.writer = &writer;
    c.host.outputPath = out.string() + "/";
    TConversionJob otherJob(c.host);
    otherJob.FileQueue().Add(c.file);
    c.host.RunJob(otherJob);
    EXPECT_EQ(writer.tables, c.expected);
    EXPECT_EQ(c.host.notices, std::vector<std::string>{"table 2 cut"});
    EXPECT_NE(std::find(c.host.log.begin(), c.host.log.end(), "table 2 cut"), c.host.log.end());
    EXPECT_TRUE(c.host.failures.empty());
  }
}

// A writer of records: each table as "URL RECORD DATE number:fragment" on a line of the output.
class RecordTableWriter final : public TTableWriter {
 public:
  bool records = true;
  std::string_view Extension() const override { return ".rec"; }
  bool WritesRecords() const override { return records; }
  void BeginRecord(const TRecordSource* record) override {
    m_record = record ? std::string(record->Url) + " " + std::string(record->Record) + " " + std::string(record->Date) : "";
  }
  void BeginOutput(TOutputFile&, TOutputStart, const std::string&) override {}
  void WriteTable(std::string_view fragment, std::size_t number, const std::string& charset, bool, TOutputFile& output) override {
    output.Write(m_record + " " + std::to_string(number) + ":" + std::string(fragment) + " " + charset + "\n");
  }
  void FinishOutput(TOutputFile&) override {}
  void Abandon() override {}

 private:
  std::string m_record;
};

// An archive's pages go through the job's scan and the host's writer, each table naming its record; a
// damaged archive keeps what could be read and fails; a writer that names no records refuses archives.
TEST_F(ConversionJobTest, WebArchivesAreConvertedRecordByRecord) {
  test::THttpSending latin;
  latin.ContentType = "text/html; charset=latin1";
  const std::vector<std::string> records = {
      test::WarcRecord("response", "http://a.test/1", test::HttpResponse(kThreeTables), 1),
      test::WarcRecord("request", "http://a.test/2", "GET / HTTP/1.1\r\n\r\n", 2),
      test::WarcRecord("response", "http://a.test/3", test::HttpResponse("<table><tr><td>x</td></tr></table>", latin), 3),
  };
  const std::string archive = Write("crawl.warc.gz", test::WarcArchive(records, true));
  const std::string damaged = Write("damaged.warc", test::WarcArchive(records, false).substr(0, 200 + records[0].size()));
  RecordTableWriter writer;
  EveryTableHost every;
  every.writer = &writer;
  every.outputPath = out.string() + "/";
  TConversionJob archiveJob(every);
  archiveJob.FileQueue().AddAll({archive, damaged});
  every.RunJob(archiveJob);
  const std::string first = "http://a.test/1 <urn:uuid:1> 2024-05-02T10:00:00Z ";
  EXPECT_EQ(test::ReadFile(out / "crawl.warc.gz.rec"),
            first + "1:<table><tr><td>t1</td></tr></table> \n" + first + "2:<table><tr><td>t2</td></tr></table> \n" +
                first + "3:<table><tr><td>t3</td></tr></table> \n"
                "http://a.test/3 <urn:uuid:3> 2024-05-04T10:00:00Z 1:<table><tr><td>x</td></tr></table> <meta charset=\"latin1\">\n");
  const std::string whole = test::ReadFile(out / "crawl.warc.gz.rec");
  EXPECT_EQ(test::ReadFile(out / "damaged.warc.rec"), whole.substr(0, whole.find("http://a.test/3")))
      << "what came before the damage is kept";
  EXPECT_EQ(archiveJob.FailedFiles(), std::vector<std::string>{damaged});
  EXPECT_EQ(archiveJob.TablesWritten(), 7u);
  const std::string cut = damaged + ": the archive ends inside the record at byte " + std::to_string(records[0].size());
  EXPECT_EQ(every.notices, std::vector<std::string>{cut});
  EXPECT_EQ(every.failures, std::vector<std::string>{"1 damaged record or gzip member skipped in " + damaged});
  EXPECT_NE(std::find(every.log.begin(), every.log.end(), "Records read : 3, pages: 2, tables: 4"), every.log.end());
  EXPECT_NE(std::find(every.log.begin(), every.log.end(), "ERROR : " + cut), every.log.end());

  // The ".xls" text, and a writer that cannot name records, refuse archives.
  for (const bool other : {false, true}) {
    writer.records = false;
    every.writer = other ? &writer : nullptr;
    every.failures.clear();
    archiveJob.FileQueue().AddAll({archive});
    every.RunJob(archiveJob);
    EXPECT_EQ(every.failures, std::vector<std::string>{"Cannot convert the web archive " + archive +
                                                       ": web archives are written as CSV or JSON Lines only"});
  }
}


// A large file's tables are written beside the scan, their lines made by whichever thread is free: the
// output is the same bytes in the same order as the plain rules give, whoever made each table's lines.
TEST_F(ConversionJobTest, OnePassLinesMadeOnEitherThreadAreThePlainRulesLines) {
  std::string page = "<html><body>\n";
  const std::vector<std::string> tables = {
      "<TABLE border=1><tr><td> <b>bold</b> &nbsp;x </td><TD>y</td></tr></TABLE>",
      "<table><tr><th>head</th><th> h2 </th></tr>\r\n<tr><td><a href='/x'>link</a></td></tr></table>",
      "<table></table>",
      "<table><tr><td>no row end</td></table>",
      "<table><caption>c</caption><tr class=r><td><span>in</span> <font size=2>font</font></td></tr></table>",
  };
  for (int k = 0; k < 3000; ++k) page += "<p>between</p>" + tables[k % tables.size()] + "\n" + ManyRows(k % 7) + "\n";
  // One table too large to have its lines made by the scan; its lines are plain.
  constexpr int kBigRows = 50000;
  page += ManyRows(kBigRows) + "\n</body></html>\n";
  std::string bigLines;
  for (int row = 0; row < kBigRows; ++row) bigLines += "\"row " + std::to_string(row) + "\"\r\n";
  const std::string big = Write("big.html", page);
  for (const bool trim : {false, true}) {
    std::string expected;
    const std::vector<std::string> fragments = CutTableFragments(page);
    ASSERT_GT(fragments.back().size(), std::size_t{1} << 20);
    for (std::size_t k = 0; k + 1 < fragments.size(); ++k)
      for (const std::string& line : reference::RowLines(fragments[k], trim)) expected += line + "\r\n";
    expected += bigLines;
    for (int run = 0; run < 3; ++run) {
      SCOPED_TRACE(std::string(trim ? "trimmed" : "kept") + ", run " + std::to_string(run));
      OnePassHost onePass;
      onePass.trim = trim;
      onePass.outputPath = out.string() + "/";
      TConversionJob onePassJob(onePass);
      onePassJob.FileQueue().Add(big);
      onePass.RunJob(onePassJob);
      EXPECT_EQ(onePass.ends, std::vector<TJobEnd>{TJobEnd::Completed});
      EXPECT_EQ(onePassJob.TablesWritten(), fragments.size());
      const std::string written = test::ReadFile(out / "big.html.xls");
      ASSERT_EQ(written.size(), expected.size());
      EXPECT_TRUE(written == expected);
    }
  }
}

}  // namespace
}  // namespace corvane
