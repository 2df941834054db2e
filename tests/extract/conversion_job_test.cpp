#include "extract/conversion_job.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "extract/inline_job_host.h"
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
  bool append = false;
  bool trim = false;
  std::string outputPath;
  int maximum = 100;

  void AppendLog(std::string_view line) override { log.emplace_back(line); }
  void ShowPassLabels(std::string_view file, std::string_view pass) override {
    passes.push_back(std::string(file) + "|" + std::string(pass));
  }
  bool AppendOutput() const override { return append; }
  bool TrimCellValues() const override { return trim; }
  std::string OutputPath() const override { return outputPath; }
  TTableChoice ChooseTables(const std::vector<std::string>&) override {
    ++questions;
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
};

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
                                             "Cannot create excel file. Check path ",
                                             "",
                                             "Extraction Failed for " + a,
                                             kRule};
  EXPECT_EQ(host.log, expected);
  EXPECT_EQ(host.ends, std::vector<TJobEnd>{TJobEnd::Aborted});
  EXPECT_TRUE(job.AbortJob());
  EXPECT_EQ(job.FileQueue().Items(), (std::vector<std::string>{a, b, c}));
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
  const std::vector<Case> cases = {
      {"MissingInput", false, "", gone, "ERROR : Cannot open " + gone + ": No such file or directory"},
      {"InputIsFolder", false, "", folder, "ERROR : Cannot read " + folder + ": Is a directory"},
      {"AppendTargetIsFolder", true, out.string(), table,
       "ERROR : Cannot open " + out.string() + " for appending: Is a directory"},
      {"WriteFails", true, "/dev/full", table, "ERROR : Cannot write to /dev/full: No space left on device"},
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
    ASSERT_FALSE(job.FailedFiles().empty());
    EXPECT_EQ(job.FailedFiles().front(), c.input);
    EXPECT_NE(std::find(host.log.begin(), host.log.end(), "Analysing     : " + good), host.log.end())
        << "the job went on";
    EXPECT_FALSE(job.AbortJob());
  }
}

TEST_F(ConversionJobTest, ProgressCountsFinishedFilesAndEndsFull) {
  Queue({Write("a.html", ""), Write("b.html", ""), Write("c.html", "")});
  host.RunJob(job);
  EXPECT_EQ(host.positions, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace corvane
