// Measures the HTML tokenizer on a generated file: every token of the text, with the content of SCRIPT,
// STYLE and TEXTAREA elements read by their readers, the best of five runs.
//
//   corvane_tokenizer_bench [--size-mb N] [--dir DIR]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "generate_tables.h"
#include "html/html_reader.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Counts {
  std::size_t tokens = 0;
  std::size_t characters = 0;
};

Counts Tokenize(const std::string& text) {
  Counts counts;
  corvane::THtmlReader reader(text);
  reader.Start();
  while (reader.Symbol() != corvane::TagSymbol::SymEof) {
    ++counts.tokens;
    counts.characters += static_cast<std::size_t>(reader.Token().Count());
    reader.ReadRawContent();
    reader.NextToken();
  }
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t sizeMb = 20;
  fs::path dir = fs::temp_directory_path() / "corvane-bench";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--size-mb") {
      sizeMb = std::stoull(argv[i + 1]);
    } else if (option == "--dir") {
      dir = argv[i + 1];
    } else {
      std::fprintf(stderr, "usage: corvane_tokenizer_bench [--size-mb N] [--dir DIR]\n");
      return 2;
    }
  }
  fs::create_directories(dir);
  const fs::path input = dir / ("tables-" + std::to_string(sizeMb) + "mb.html");
  if (!fs::exists(input)) corvane::bench::GenerateTablesFile(input.string(), sizeMb * 1'000'000);
  std::ifstream in(input, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});

  double best = 0;
  Counts counts;
  for (int round = 0; round < 5; ++round) {
    const auto start = Clock::now();
    counts = Tokenize(text);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (round == 0 || seconds < best) best = seconds;
  }
  const double megabytes = static_cast<double>(text.size()) / 1e6;
  std::printf("%-22s %8s %10s %12s %9s %9s\n", "file", "MB", "tokens", "characters", "seconds", "MB/s");
  std::printf("%-22s %8.1f %10zu %12zu %9.3f %9.0f\n", input.filename().c_str(), megabytes, counts.tokens,
              counts.characters, best, megabytes / best);
  return 0;
}
