// Measures a job in the main window against the same job on the command line: wall time and peak
// memory for one generated file, converted per file into a folder.
//
//   corvane_window_bench [--size-mb N] [--dir DIR] [--format xls|xlsx|csv|jsonl]
//
// The window runs offscreen. A file of several tables opens the Table Select dialog: the benchmark
// answers it as a user in a hurry does (every table, remembered for the job), so the time includes
// holding the tables for the dialog. The command line runs first, in a child process, with its log
// going to /dev/null; then the window, in this process, whose peak memory is read at the end.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/ui_texts.h"
#include "app/table_selection_dialog.h"
#include "generate_tables.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double CpuSeconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct TRun {
  double seconds;  // wall
  double cpu;      // user + system
  long peakKilobytes;
};

// The command line's times and the child's peak memory.
TRun RunCommandLine(const std::vector<std::string>& args) {
  std::fflush(nullptr);
  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(args[0].c_str(), argv.data());
    std::_Exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  const double seconds = Seconds(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "corvane convert failed (%d)\n", status);
  return {seconds, CpuSeconds(usage), usage.ru_maxrss};
}

// Every table, remembered, for whichever Table Select dialog the job opens.
void AnswerTableSelect() {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [] {
    auto* dialog = qobject_cast<corvane::TfrmPreview*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    dialog->lstTables()->selectAll();
    dialog->chkRememberTables()->setChecked(true);
    dialog->btnExtract()->click();
  });
  timer->start();
}

}  // namespace

int main(int argc, char** argv) {
  long sizeMb = 200;
  fs::path dir = fs::temp_directory_path() / "corvane-bench";
  std::string format = "xls";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--size-mb") sizeMb = std::atol(argv[i + 1]);
    else if (option == "--dir") dir = argv[i + 1];
    else if (option == "--format") format = argv[i + 1];
  }
  const int formatIndex = format == "xlsx" ? 1 : format == "csv" ? 2 : format == "jsonl" ? 3 : 0;
  fs::create_directories(dir);
  const fs::path input = std::getenv("BENCH_INPUT") ? fs::path(std::getenv("BENCH_INPUT")) : dir / ("tables-" + std::to_string(sizeMb) + "mb.html");
  if (!fs::exists(input)) corvane::bench::GenerateTablesFile(input.string(), static_cast<std::uint64_t>(sizeMb) * 1'000'000);
  const fs::path cliOut = dir / "window-bench-cli";
  const fs::path windowOut = dir / "window-bench-window";
  fs::remove_all(cliOut);
  fs::remove_all(windowOut);
  fs::create_directories(cliOut);
  fs::create_directories(windowOut);

  const TRun cli =
      RunCommandLine({CORVANE_EXECUTABLE, "convert", "--format", format, "-o", cliOut.string(), input.string()});

  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Settings of its own: never the user's remembered folders, sizes or skin, nor left behind for them.
  QStandardPaths::setTestModeEnabled(true);
  QSettings(corvane::kApplicationTitle, corvane::kApplicationTitle).clear();
  corvane::TfrmMain window;
  window.show();
  window.findChild<QComboBox*>("cmbFormat")->setCurrentIndex(formatIndex);
  window.findChild<QLineEdit*>("txtOutputCSVPath")->setText(QString::fromStdString(windowOut.string()));
  window.HandleDroppedFiles({QUrl::fromLocalFile(QString::fromStdString(input.string()))});
  AnswerTableSelect();
  auto* start = window.findChild<QPushButton*>("Button1");
  rusage before{};
  ::getrusage(RUSAGE_SELF, &before);
  const auto began = Clock::now();
  start->click();
  // The event loop runs as in the program, asleep while nothing happens; a timer looks for the end.
  QEventLoop loop;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (window.Job().Ended()) loop.quit();
  });
  watch.start(10);
  loop.exec();
  const double windowSeconds = Seconds(began);
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);

  const double windowCpu = CpuSeconds(usage) - CpuSeconds(before);
  std::printf("%-8s %6s %8s %8s %10s %10s %12s %14s %8s %8s\n", "format", "MB", "cli s", "window s", "cli cpu s",
              "window cpu", "cli peak MB", "window peak MB", "ratio", "cpu ratio");
  std::printf("%-8s %6ld %8.2f %8.2f %10.2f %10.2f %12.0f %14.0f %8.2f %8.2f\n", format.c_str(), sizeMb, cli.seconds,
              windowSeconds, cli.cpu, windowCpu, cli.peakKilobytes / 1024.0, usage.ru_maxrss / 1024.0,
              windowSeconds / cli.seconds, windowCpu / cli.cpu);
  return 0;
}
