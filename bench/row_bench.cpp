// Measures the row line path alone: every row of every table fragment of a generated file walked and
// made into its cleaned output line, in both cell trimming modes. The file is read and cut into
// fragments once, outside the timing. Times are the process's processor time, best of --repeat runs.
//
//   corvane_row_bench [--size-mb N] [--dir DIR] [--file PATH] [--repeat N]
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "extract/row_extraction.h"
#include "extract/table_fragment_scanner.h"
#include "generate_tables.h"

namespace {

namespace fs = std::filesystem;
using corvane::TCellTrimming;

struct Pass {
  std::size_t rows = 0;
  std::size_t bytes = 0;  // output bytes, line ends included
  std::uint64_t sum = 0;  // a cheap fingerprint of the output, so that both ways can be compared
};

void Fingerprint(Pass& pass, std::string_view line) {
  std::uint64_t h = pass.sum;
  for (unsigned char c : line) h = (h ^ c) * 1099511628211u;
  pass.sum = h ^ 0x0d0a;
}

// One std::string per row, as RowLine gives it.
template <bool Check>
Pass RowLines(const std::vector<std::string>& fragments, TCellTrimming trimming) {
  Pass pass;
  for (const std::string& fragment : fragments) {
    corvane::TTableRowWalker rows(fragment);
    std::string_view row;
    while (rows.Next(row)) {
      const std::string line = corvane::RowLine(row, trimming);
      if constexpr (Check) Fingerprint(pass, line);
      ++pass.rows;
      pass.bytes += line.size() + corvane::kRowLineEnd.size();
    }
  }
  return pass;
}

// All lines of a fragment appended to one reused buffer, as the job writes them.
template <bool Check>
Pass AppendedRowLines(const std::vector<std::string>& fragments, TCellTrimming trimming) {
  Pass pass;
  std::string out;
  for (const std::string& fragment : fragments) {
    out.clear();
    corvane::TTableRowWalker rows(fragment);
    std::string_view row;
    while (rows.Next(row)) {
      const std::size_t start = out.size();
      corvane::AppendRowLine(row, trimming, out);
      if constexpr (Check) Fingerprint(pass, std::string_view(out).substr(start));
      ++pass.rows;
      out.append(corvane::kRowLineEnd);
    }
    pass.bytes += out.size();
  }
  return pass;
}

// Processor time rather than wall time: the machine may be busy with other work.
double CpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

template <typename Run>
double BestSeconds(int repeat, Run run) {
  double best = 0;
  for (int round = 0; round < repeat; ++round) {
    const double start = CpuSeconds();
    run();
    const double seconds = CpuSeconds() - start;
    if (round == 0 || seconds < best) best = seconds;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t sizeMb = 200;
  fs::path dir = fs::temp_directory_path() / "corvane-bench";
  fs::path file;
  int repeat = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--size-mb") {
      sizeMb = std::stoull(argv[i + 1]);
    } else if (option == "--dir") {
      dir = argv[i + 1];
    } else if (option == "--file") {
      file = argv[i + 1];
    } else if (option == "--repeat") {
      repeat = std::stoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "usage: corvane_row_bench [--size-mb N] [--dir DIR] [--file PATH] [--repeat N]\n");
      return 2;
    }
  }
  if (file.empty()) {
    fs::create_directories(dir);
    file = dir / ("tables-" + std::to_string(sizeMb) + "mb.html");
    if (!fs::exists(file)) corvane::bench::GenerateTablesFile(file.string(), sizeMb * 1'000'000);
  }
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::vector<std::string> fragments = corvane::CutTableFragments(text);
  std::size_t fragmentBytes = 0;
  for (const std::string& fragment : fragments) fragmentBytes += fragment.size();
  const double megabytes = static_cast<double>(text.size()) / 1e6;
  std::printf("%s: %.1f MB, %zu fragments of %.1f MB; processor time, best of %d\n", file.c_str(), megabytes,
              fragments.size(), static_cast<double>(fragmentBytes) / 1e6, repeat);
  std::printf("%-28s %10s %12s %10s %14s\n", "row path", "rows", "out MB", "seconds", "file MB/s");

  int status = 0;
  for (const TCellTrimming trimming : {TCellTrimming::Keep, TCellTrimming::Trim}) {
    const char* mode = trimming == TCellTrimming::Trim ? "trim" : "keep";
    const Pass lines = RowLines<true>(fragments, trimming);
    const Pass appended = AppendedRowLines<true>(fragments, trimming);
    if (lines.sum != appended.sum || lines.bytes != appended.bytes) {
      std::fprintf(stderr, "%s: RowLine and AppendRowLine give different output\n", mode);
      status = 1;
    }
    // The fingerprint of the output, to compare with other versions of the code.
    std::printf("%s: output fingerprint %016llx\n", mode, static_cast<unsigned long long>(lines.sum));
    Pass pass;
    const double rowLineSeconds = BestSeconds(repeat, [&] { pass = RowLines<false>(fragments, trimming); });
    std::printf("RowLine, %-19s %10zu %12.1f %10.3f %14.0f\n", mode, pass.rows,
                static_cast<double>(pass.bytes) / 1e6, rowLineSeconds, megabytes / rowLineSeconds);
    const double appendSeconds =
        BestSeconds(repeat, [&] { pass = AppendedRowLines<false>(fragments, trimming); });
    std::printf("AppendRowLine, %-13s %10zu %12.1f %10.3f %14.0f\n", mode, pass.rows,
                static_cast<double>(pass.bytes) / 1e6, appendSeconds, megabytes / appendSeconds);
  }
  return status;
}
