#include "app/job_runner.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

#include <filesystem>

namespace corvane {
namespace {

namespace fs = std::filesystem;

const std::string kRule(94, '-');

// The window's part, recorded: every event as "log:<line>" or "labels:<file>|<pass>".
class RecordingRunner final : public TJobRunner {
 public:
  using TJobRunner::TJobRunner;

  std::vector<std::string> events;
  std::vector<TReadProgress> progress;  // as shown
  std::vector<TTableChoice> answers;
  std::vector<std::string> inputList;
  std::function<void(const std::string& pass)> onLabels;
  int questions = 0;
  bool ended = false;
  bool offThread = false;  // a user-interface call arrived on another thread

  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    for (const std::string& e : events)
      if (e.rfind("log:", 0) == 0) lines.push_back(e.substr(4));
    return lines;
  }

 protected:
  void ShowLogLines(std::span<const std::string_view> lines) override {
    Check();
    for (const std::string_view line : lines) events.push_back("log:" + std::string(line));
  }
  void ShowLabels(const std::string& file, const std::string& pass) override {
    Check();
    events.push_back("labels:" + fs::path(file).filename().string() + "|" + pass);
    if (onLabels) onLabels(pass);
  }
  TTableChoice AskTables(const TFragmentStore&, const std::string&) override {
    Check();
    ++questions;
    if (answers.empty()) return {};
    TTableChoice answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  void ShowError(const std::string& message) override { events.push_back("error:" + message); }
 protected:
  void ShowFileProgress(const TReadProgress& read) override {
    Check();
    progress.push_back(read);
  }
  void JobEnded(TJobEnd) override {
    Check();
    ended = true;
  }
  std::vector<std::string> InputListEntries() const override { return inputList; }
  int ProgressMaximum() const override { return static_cast<int>(inputList.size()); }
  void SetProgressPosition(int) override { Check(); }

 private:
  void Check() {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) offThread = true;
  }
};

class JobRunnerTest : public ::testing::Test {
 protected:
  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  std::string Write(const std::string& name, const std::string& content) { return temp.Write(name, content); }
  void RunJob(RecordingRunner& runner, const std::vector<std::string>& files) {
    runner.inputList = files;
    runner.SetOutputPath(dir.string() + "/");
    for (const std::string& file : files) runner.Job().FileQueue().Add(file);
    runner.Job().Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return runner.ended; }, 20000)) << "the job did not end";
  }

  test::TTempDir temp;
  const fs::path& dir = temp.Path();
};

const std::string kThreeTables =
    "<table><tr><td>t1</td></tr></table><table><tr><td>t2</td></tr></table><table><tr><td>t3</td></tr></table>";

TEST_F(JobRunnerTest, EverythingArrivesOnTheUserInterfaceThreadInRunOrder) {
  RecordingRunner runner;
  const std::string a = Write("a.html", "<table><tr><td>x</td></tr><tr><td>y</td></tr></table>");
  const std::string b = Write("b.html", kThreeTables);
  const std::string c = Write("c.html", "no tables");
  runner.answers.push_back({{"0", "2"}, false});
  RunJob(runner, {a, b, c});

  auto run = [](const std::string& path, const std::string& name, std::vector<std::string> middle) {
    std::vector<std::string> events = {"labels:" + name + "|1 of 3", "log:" + kRule, "log:Analysing     : " + path,
                                       "labels:" + name + "|2 of 3"};
    events.insert(events.end(), middle.begin(), middle.end());
    events.insert(events.end(), {"log:", "log:Extraction Complete for " + path, "log:" + kRule});
    return events;
  };
  std::vector<std::string> expected;
  for (auto part : {run(a, "a.html", {"log:Table count : 1", "labels:a.html|3 of 3", "log:\"x\"", "log:\"y\""}),
                    run(b, "b.html", {"log:Table count : 3", "labels:b.html|3 of 3", "log:\"t1\"", "log:\"t3\""}),
                    run(c, "c.html", {"log:Table count : 0"}), std::vector<std::string>{"labels:c.html|3 of 3"}})
    expected.insert(expected.end(), part.begin(), part.end());

  EXPECT_EQ(runner.events, expected);
  EXPECT_FALSE(runner.offThread);
  EXPECT_EQ(runner.questions, 1);
  EXPECT_EQ(test::ReadFile(dir / "b.html.xls"), "\"t1\"\r\n\"t3\"\r\n");
}

TEST_F(JobRunnerTest, WorkerWaitsForTheUserInterfaceWithoutLosingLines) {
  RecordingRunner runner(1024);  // a tiny allowance, so that the worker waits again and again
  std::string table = "<table>";
  for (int row = 0; row < 5000; ++row) table += "<tr><td>" + std::to_string(row) + "</td></tr>\n";
  const std::string a = Write("a.html", table + "</table>");
  RunJob(runner, {a});

  const std::vector<std::string> lines = runner.LogLines();
  ASSERT_EQ(lines.size(), 5000u + 6u);
  for (int row = 0; row < 5000; ++row) ASSERT_EQ(lines[3 + row], "\"" + std::to_string(row) + "\"");
}

TEST_F(JobRunnerTest, StoppedJobThreadSkipsTheChoiceAndWritesNothing) {
  RecordingRunner runner;
  const std::string a = Write("a.html", kThreeTables);
  const std::string b = Write("b.html", "<table><tr><td>b</td></tr></table>");
  // The user closes the window while the first file is being read: the worker is asked to stop.
  bool stopped = false;
  runner.onLabels = [&](const std::string& pass) {
    if (!stopped && pass == "2 of 3") {
      stopped = true;
      runner.JobThread().Stop();
    }
  };
  RunJob(runner, {a, b});

  EXPECT_EQ(runner.questions, 0);
  const std::vector<std::string> lines = runner.LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Canceled extraction"), lines.end());
  EXPECT_FALSE(fs::exists(dir / "a.html.xls")) << "no choice was made, so nothing is written";
  EXPECT_EQ(test::ReadFile(dir / "b.html.xls"), "\"b\"\r\n");
}

// The latest read progress reaches the user interface, on its thread, with the pass it belongs to;
// the bytes read count every pass.
TEST_F(JobRunnerTest, ReadProgressArrivesOnTheUserInterfaceThread) {
  RecordingRunner runner;
  std::string page = "<table><tr><td>x</td></tr></table>" + std::string(3u << 20, ' ');
  const std::string a = Write("a.html", page);
  const std::uint64_t before = runner.BytesRead();
  RunJob(runner, {a});
  EXPECT_FALSE(runner.offThread);
  ASSERT_FALSE(runner.progress.empty());
  for (const auto& read : runner.progress) {
    EXPECT_EQ(read.total, page.size());
    EXPECT_LE(read.done, read.total);
    EXPECT_TRUE(read.pass == 1 || read.pass == 3) << read.pass;
  }
  // The counting pass reads the whole page, the writing pass up to its only table (a first block).
  EXPECT_EQ(runner.BytesRead() - before, page.size() + (1u << 20));
}

// A stop the user interface asks for undoes the run going on and ends the job; the next job clears it.
TEST_F(JobRunnerTest, RequestedStopUndoesTheRunAndEndsTheJob) {
  RecordingRunner runner(64);  // the worker waits for the user interface at every row: the stop comes mid-table
  std::string table = "<table>";
  for (int row = 0; row < 20000; ++row) table += "<tr><td>" + std::to_string(row) + "</td></tr>\n";
  const std::string a = Write("a.html", table + "</table>");
  const std::string b = Write("b.html", "<table><tr><td>b</td></tr></table>");
  runner.onLabels = [&](const std::string& pass) {
    if (pass == "3 of 3") runner.RequestStop();
  };
  RunJob(runner, {a, b});
  EXPECT_TRUE(runner.Job().Stopped());
  EXPECT_EQ(runner.Job().NotConverted(), (std::vector<std::string>{a, b}));
  EXPECT_FALSE(fs::exists(dir / "a.html.xls"));
  EXPECT_FALSE(fs::exists(dir / "b.html.xls"));

  runner.onLabels = nullptr;
  runner.ended = false;
  runner.RequestStop(false);
  runner.Job().FileQueue().Clear();
  RunJob(runner, {b});
  EXPECT_FALSE(runner.Job().Stopped());
  EXPECT_EQ(test::ReadFile(dir / "b.html.xls"), "\"b\"\r\n");
}

TEST_F(JobRunnerTest, DestroyedDuringARunWaitsForItQuietly) {
  std::string table = "<table>";
  for (int row = 0; row < 20000; ++row) table += "<tr><td>" + std::to_string(row) + "</td></tr>\n";
  const std::string a = Write("a.html", table + "</table>");
  {
    RecordingRunner runner(64);
    runner.inputList = {a};
    runner.SetOutputPath(dir.string() + "/");
    runner.Job().FileQueue().Add(a);
    runner.Job().Start();
    ASSERT_TRUE(runner.JobThread().Running());
  }
  // The run finished while the runner went away: its output is complete.
  const std::string output = test::ReadFile(dir / "a.html.xls");
  EXPECT_EQ(output.substr(output.size() - 9), "\"19999\"\r\n");
}

}  // namespace
}  // namespace corvane
