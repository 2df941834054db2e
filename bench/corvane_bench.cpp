// Measures the extraction on generated files: the table scan alone, and the whole `corvane convert`
// with its peak memory, for a file of the given size and for one twice as large.
//
//   corvane_bench [--size-mb N] [--dir DIR] [--corvane PATH] [--files N]
//
// Then the peak memory of each command-line mode, also on a file of tiny tables and one without any
// table, and the time for N small files in one folder (default 100,000) and for a tenth of them.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "extract/byte_file.h"
#include "extract/table_fragment_scanner.h"
#include "generate_tables.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Figures {
  double scanSeconds = 0;
  std::size_t fragments = 0;
  double convertSeconds = 0;
  long peakKilobytes = 0;
  int status = 0;
};

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Runs corvane with args; the wall time and the child's peak memory.
struct Run {
  double seconds = 0;
  long peakKilobytes = 0;
  int status = 0;
};

Run RunCorvane(const std::string& corvane, const std::vector<std::string>& args, bool logToDevNull = false) {
  Run run;
  // The child would otherwise write out the figures printed so far a second time.
  std::fflush(nullptr);
  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    if (logToDevNull) std::freopen("/dev/null", "w", stdout);
    std::vector<char*> argv = {const_cast<char*>(corvane.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(corvane.c_str(), argv.data());
    std::_Exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(child, &status, 0, &usage);
  run.seconds = Seconds(start);
  run.peakKilobytes = usage.ru_maxrss;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// Best time of three; the largest peak memory seen.
Run BestOfThree(const std::string& corvane, const std::vector<std::string>& args, bool logToDevNull = false) {
  Run best;
  for (int round = 0; round < 3; ++round) {
    const Run run = RunCorvane(corvane, args, logToDevNull);
    if (run.status != 0) return run;
    if (round == 0 || run.seconds < best.seconds) best.seconds = run.seconds;
    best.peakKilobytes = std::max(best.peakKilobytes, run.peakKilobytes);
  }
  return best;
}

Figures Measure(const std::string& input, const std::string& corvane, const fs::path& outDir) {
  Figures figures;
  // Best of three for the scan: the file is in the page cache after the first.
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    corvane::TInputFile file(input);
    corvane::TTableFragmentScanner scanner;
    scanner.ScanAll([&file](char* buffer, std::size_t size) { return file.Read(buffer, size); });
    const double seconds = Seconds(start);
    figures.fragments = scanner.Fragments().size();
    if (round == 0 || seconds < figures.scanSeconds) figures.scanSeconds = seconds;
  }
  fs::create_directories(outDir);
  const Run run = BestOfThree(corvane, {"convert", "-q", "-o", outDir.string(), input});
  figures.convertSeconds = run.seconds;
  figures.peakKilobytes = run.peakKilobytes;
  figures.status = run.status;
  return figures;
}

double Megabytes(long kilobytes) { return static_cast<double>(kilobytes) * 1024 / 1e6; }

// Writes sizeBytes of tiny one-cell tables, one per line.
void GenerateTinyTables(const std::string& path, std::uint64_t sizeBytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::uint64_t written = 0;
  for (std::uint64_t k = 0; written < sizeBytes; ++k) written += std::fprintf(file, "<table><tr><td>%llu</td></tr></table>\n", static_cast<unsigned long long>(k));
  std::fclose(file);
}

// Writes sizeBytes of page text without any table, in one line with no line break.
void GenerateNoTables(const std::string& path, std::uint64_t sizeBytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  const std::string piece = "<p>Text of a page <b>without</b> any table, &nbsp;on one long line.</p>";
  for (std::uint64_t written = 0; written < sizeBytes; written += piece.size()) std::fwrite(piece.data(), 1, piece.size(), file);
  std::fclose(file);
}

// Writes count small pages with one table each into folder.
void GenerateSmallFiles(const fs::path& folder, int count) {
  fs::create_directories(folder);
  for (int k = 0; k < count; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "page%06d.html", k);
    std::FILE* file = std::fopen((folder / name).c_str(), "wb");
    std::fprintf(file, "<html><body><p>Page %d</p><table><tr><td>a%d</td><td>b</td></tr>"
                 "<tr><td>c</td><td>&nbsp;d</td></tr></table></body></html>\n", k, k);
    std::fclose(file);
  }
}

// The least a job of count small files can take on this file system: count outputs of one row made
// the way the job makes them (unnamed, then named), without reading or converting anything.
double MakeOutputsOnly(const fs::path& folder, int count) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return -1;
  const auto start = Clock::now();
  corvane::TOutputFile output;
  for (int k = 0; k < count; ++k) {
    char name[40];
    std::snprintf(name, sizeof name, "page%06d.html.xls", k);
    if (!output.Open((folder / name).string(), corvane::TOutputMode::Replace, error)) return -1;
    try {
      output.Write("\"a\"\t\"b\"\r\n\"c\"\t\" d\"\r\n");
      output.Commit();
    } catch (const corvane::TFileError&) {
      return -1;
    }
  }
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t sizeMb = 200;
  fs::path dir = fs::temp_directory_path() / "corvane-bench";
  std::string corvane = CORVANE_EXECUTABLE;
  int manyFiles = 100'000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--size-mb") {
      sizeMb = std::stoull(argv[i + 1]);
    } else if (option == "--dir") {
      dir = argv[i + 1];
    } else if (option == "--corvane") {
      corvane = argv[i + 1];
    } else if (option == "--files") {
      manyFiles = std::stoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "usage: corvane_bench [--size-mb N] [--dir DIR] [--corvane PATH] [--files N]\n");
      return 2;
    }
  }
  fs::create_directories(dir);

  std::printf("%-10s %10s %10s %12s %12s %12s %14s\n", "file", "MB", "tables", "scan MB/s", "convert s",
              "convert MB/s", "peak MB (x)");
  std::vector<Figures> results;
  for (std::uint64_t mb : {sizeMb, 2 * sizeMb}) {
    const fs::path input = dir / ("tables-" + std::to_string(mb) + "mb.html");
    if (!fs::exists(input)) corvane::bench::GenerateTablesFile(input.string(), mb * 1'000'000);
    const double megabytes = static_cast<double>(fs::file_size(input)) / 1e6;
    const Figures f = Measure(input.string(), corvane, dir / "out");
    if (f.status != 0) {
      std::fprintf(stderr, "corvane convert failed with status %d\n", f.status);
      return 1;
    }
    const double peakMb = static_cast<double>(f.peakKilobytes) * 1024 / 1e6;
    std::printf("%-10s %10.1f %10zu %12.0f %12.2f %12.0f %8.0f (%.2f)\n", input.filename().c_str() + 7, megabytes,
                f.fragments, megabytes / f.scanSeconds, f.convertSeconds, megabytes / f.convertSeconds, peakMb,
                peakMb / megabytes);
    results.push_back(f);
  }
  std::printf("time ratio, twice the file: %.2f\n", results[1].convertSeconds / results[0].convertSeconds);

  // Peak memory in each command-line mode, on the first file and on two worst shapes of the same size.
  std::printf("\npeak memory of corvane convert, %llu MB files (MB, and times the file size)\n",
              static_cast<unsigned long long>(sizeMb));
  const fs::path tiny = dir / ("tiny-tables-" + std::to_string(sizeMb) + "mb.html");
  const fs::path none = dir / ("no-tables-" + std::to_string(sizeMb) + "mb.html");
  if (!fs::exists(tiny)) GenerateTinyTables(tiny.string(), sizeMb * 1'000'000);
  if (!fs::exists(none)) GenerateNoTables(none.string(), sizeMb * 1'000'000);
  const std::string tables = (dir / ("tables-" + std::to_string(sizeMb) + "mb.html")).string();
  const std::string out = (dir / "out").string();
  const std::string appendFile = (dir / "out" / "append.xls").string();
  const std::string workbookFile = (dir / "out" / "append.xlsx").string();
  struct Mode {
    const char* name;
    std::vector<std::string> args;
    bool log;
  };
  const std::vector<Mode> modes = {
      {"-o DIR, log to /dev/null", {"convert", "-o", out, tables}, true},
      {"-q -a FILE", {"convert", "-q", "-a", appendFile, tables}, false},
      {"-q --tables 1 -o DIR", {"convert", "-q", "--tables", "1", "-o", out, tables}, false},
      {"-q -o DIR, tiny tables", {"convert", "-q", "-o", out, tiny.string()}, false},
      {"-q -o DIR, no tables", {"convert", "-q", "-o", out, none.string()}, false},
      {"-q --format csv -o DIR", {"convert", "-q", "--format", "csv", "-o", out, tables}, false},
      {"-q --format xlsx -o DIR", {"convert", "-q", "--format", "xlsx", "-o", out, tables}, false},
      {"-q --format xlsx -a FILE", {"convert", "-q", "--format", "xlsx", "-a", workbookFile, tables}, false},
  };
  for (const Mode& mode : modes) {
    fs::remove(appendFile);
    fs::remove(workbookFile);
    const Run run = RunCorvane(corvane, mode.args, mode.log);
    const double fileMb = static_cast<double>(fs::file_size(mode.args.back())) / 1e6;
    std::printf("%-28s %6.2f s %8.0f MB (%.3f)%s\n", mode.name, run.seconds, Megabytes(run.peakKilobytes),
                Megabytes(run.peakKilobytes) / fileMb, run.status == 0 ? "" : "  FAILED");
  }
  fs::remove(appendFile);
  fs::remove(workbookFile);

  // Many small files in one folder: the cost per file, at two counts to show it stays linear.
  std::printf("\nsmall files in one folder (corvane convert -q -o DIR FOLDER, best of 3)\n");
  for (const int count : {manyFiles / 10, manyFiles}) {
    const fs::path folder = dir / ("small-files-" + std::to_string(count));
    if (!fs::exists(folder)) GenerateSmallFiles(folder, count);
    // Each round writes into a folder of its own, removed only after the three: the figure is for new
    // outputs, neither for replacing earlier ones nor for a file system busy with deleting them.
    Run run;
    std::vector<fs::path> outputs;
    for (int round = 0; round < 3 && run.status == 0; ++round) {
      outputs.push_back(dir / ("small-out-" + std::to_string(count) + "-" + std::to_string(round)));
      fs::remove_all(outputs.back());
      const Run one = RunCorvane(corvane, {"convert", "-q", "-o", outputs.back().string(), folder.string()}, false);
      run.status = one.status;
      if (round == 0 || one.seconds < run.seconds) run.seconds = one.seconds;
      run.peakKilobytes = std::max(run.peakKilobytes, one.peakKilobytes);
    }
    const fs::path bare = dir / ("small-out-" + std::to_string(count) + "-bare");
    fs::remove_all(bare);
    const double bareSeconds = MakeOutputsOnly(bare, count);
    outputs.push_back(bare);
    for (const fs::path& output : outputs) fs::remove_all(output);
    std::printf("%8d files %8.2f s %10.0f files/s %8.0f MB peak%s; making the outputs alone %.2f s\n", count,
                run.seconds, count / run.seconds, Megabytes(run.peakKilobytes), run.status == 0 ? "" : "  FAILED",
                bareSeconds);
  }
  return 0;
}
