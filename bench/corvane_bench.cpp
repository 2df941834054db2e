// Measures the extraction on generated files: the table scan alone, and the whole `corvane convert`
// with its peak memory, for a file of the given size and for one twice as large.
//
//   corvane_bench [--size-mb N] [--dir DIR] [--corvane PATH]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
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
  // Best of three for the whole conversion too; the peak memory is the largest seen.
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
      ::execl(corvane.c_str(), corvane.c_str(), "convert", "-q", "-o", outDir.c_str(), input.c_str(),
              static_cast<char*>(nullptr));
      std::_Exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    const double seconds = Seconds(start);
    if (round == 0 || seconds < figures.convertSeconds) figures.convertSeconds = seconds;
    figures.peakKilobytes = std::max(figures.peakKilobytes, usage.ru_maxrss);
    figures.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (figures.status != 0) break;
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t sizeMb = 200;
  fs::path dir = fs::temp_directory_path() / "corvane-bench";
  std::string corvane = CORVANE_EXECUTABLE;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--size-mb") {
      sizeMb = std::stoull(argv[i + 1]);
    } else if (option == "--dir") {
      dir = argv[i + 1];
    } else if (option == "--corvane") {
      corvane = argv[i + 1];
    } else {
      std::fprintf(stderr, "usage: corvane_bench [--size-mb N] [--dir DIR] [--corvane PATH]\n");
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
  return 0;
}
