#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/options.h"
#include "app/output_format.h"

namespace corvane {

// What `corvane convert ...` asks for.
struct TConvertOptions {
  TOutputFormat format = TOutputFormat::Xls;
  std::string outputDir;
  std::string appendFile;
  bool trim = false;
  bool quiet = false;
  bool links = false;
  std::optional<bool> localeNumbers;  // --numbers: locale or exact; none when not given
  std::optional<std::vector<std::string>> tables;  // 0-based positions as decimal text; none: all
  std::optional<std::pair<std::uint64_t, std::uint64_t>> byteRange;  // --byte-range: [start, end)
  int threads = 0;  // --threads: the most threads the job uses at once; 0 when not given (as many as pay)
  std::vector<std::string> paths;
};

// The options of convert, in the order of its help.
TOptionTable ConvertOptionTable();

// Reads `convert ...` (args[0] is "convert"): the options, or none with error set to the usage error
// (without the program's name).
std::optional<TConvertOptions> ParseConvertArguments(const std::vector<std::string>& args, std::string& error);

}  // namespace corvane
