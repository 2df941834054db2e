#include "app/convert_options.h"

#include <array>
#include <charconv>
#include <set>
#include <span>
#include <string_view>

namespace corvane {

namespace {

constexpr std::array kConvertOptions = {
    TOption{"output-dir", 'o', "DIR",
            "write NAME.EXT.xls for each input file into DIR (created when missing);\n"
            "a later input with the same name as an earlier one gets\n"
            "NAME.EXT (2).xls, and so on"},
    TOption{"append", 'a', "FILE",
            "append the rows of all files to FILE (created when missing; never one of\n"
            "the input files); with FILE '-' the rows go to standard output and the\n"
            "log to standard error"},
    TOption{"format", 0, "FORMAT",
            "xls (the default): the tab-separated text described above, its bytes as\n"
            "the page has them; xlsx: a workbook NAME.EXT.xlsx per file with a sheet\n"
            "per table, or with -a one workbook with a sheet per table of every file,\n"
            "written when the job ends and only when it succeeded; csv: NAME.EXT.csv\n"
            "with the tables one after another (or appended to FILE), UTF-8; jsonl:\n"
            "NAME.EXT.jsonl (or appended to FILE), UTF-8, a line per table:\n"
            "{\"file\":PATH,\"table\":N,\"rows\":[[TEXT,...],...]}. All three read\n"
            "each table as a browser shows it: tags removed, references decoded, the\n"
            "page's code page read, white space collapsed, spans merged (xlsx) or left\n"
            "empty (csv, jsonl); plain numbers are numbers in xlsx (see --numbers),\n"
            "everything else text. In xlsx, header rows are bold and frozen with a\n"
            "filter, columns fit their text, and a cell that is one link is a\n"
            "hyperlink to its absolute address (resolved against the page's BASE or\n"
            "its file)"},
    TOption{"links", 0, "",
            "csv and jsonl: after each column that holds links, a column of their\n"
            "addresses, named \"NAME (link)\" in a header row"},
    TOption{"numbers", 0, "exact|locale",
            "xlsx: which texts are numbers. exact (the default): plain numbers\n"
            "only, such as -3.5; locale: also 1,204  12%  (12)  1.234,5 as the page's\n"
            "language writes them (its HTML LANG, else LC_ALL, LC_NUMERIC or LANG,\n"
            "else English), shown in a number format as they were written; a text\n"
            "no such format shows as written (002, dates, codes) stays text"},
    TOption{"trim", 0, "", "trim spaces and control characters around each cell's text"},
    TOption{"tables", 0, "all|N,...",
            "tables to write from files with more than one table: all of them (the\n"
            "default), or their numbers counted from 1 in file order; files with one\n"
            "table always write it"},
    TOption{"byte-range", 0, "START-END",
            "plain .warc archives: only the records whose header starts at a\n"
            "byte offset from START up to (not including) END; ranges that meet\n"
            "give every record once, for converting one large archive in parts"},
    TOption{"threads", 0, "N",
            "the most threads the job uses at once, from 1 (by default as many as\n"
            "pay for themselves: reading the next small files ahead, writing beside the\n"
            "scan, reading tables on two cores); 1 keeps all the work on one thread, for\n"
            "jobs run side by side, a core each. The output is the same whatever N is"},
    TOption{"quiet", 'q', "", "do not print the job log (failures still go to standard error)"},
};

constexpr std::string_view kTablesProblem = "--tables takes 'all' or table numbers counted from 1, such as 1,3";

// "1,3" -> {"0", "2"}: sorted, each once, as the table dialog gives them; none when the text is not a
// list of numbers from 1.
std::optional<std::vector<std::string>> ParseTableNumbers(std::string_view text) {
  std::set<unsigned long> numbers;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    unsigned long number = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), number);
    if (item.empty() || error != std::errc() || end != item.data() + item.size() || number == 0) return std::nullopt;
    numbers.insert(number - 1);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  std::vector<std::string> positions;
  for (unsigned long number : numbers) positions.push_back(std::to_string(number));
  return positions;
}

// "START-END" with START below END; none otherwise.
std::optional<std::pair<std::uint64_t, std::uint64_t>> ParseByteRange(const std::string& range) {
  const std::size_t dash = range.find('-');
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  const char* text = range.data();
  const char* textEnd = text + range.size();
  const bool read = dash != std::string::npos && dash > 0 && std::from_chars(text, text + dash, start).ptr == text + dash &&
                    std::from_chars(text + dash + 1, textEnd, end).ptr == textEnd && dash + 1 < range.size();
  if (!read || start >= end) return std::nullopt;
  return std::pair(start, end);
}

// N from 1 as --threads takes it; none otherwise.
std::optional<int> ParseThreadCount(const std::string& text) {
  int count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || count < 1) return std::nullopt;
  return count;
}

// The usage error of options that do not go together, or of what is missing; empty when none.
std::string CheckConvertOptions(const TConvertOptions& options, bool outputDirGiven, bool appendGiven) {
  if (outputDirGiven && appendGiven) return "use either -o DIR or -a FILE, not both";
  if (!outputDirGiven && !appendGiven) return "convert needs -o DIR or -a FILE";
  if ((outputDirGiven && options.outputDir.empty()) || (appendGiven && options.appendFile.empty()))
    return "the output path is empty";
  if (options.paths.empty()) return "convert needs at least one PATH";
  if (options.links && options.format != TOutputFormat::Csv && options.format != TOutputFormat::Jsonl)
    return "--links needs --format csv or jsonl (an xlsx cell that is one link is a hyperlink)";
  if (options.localeNumbers && options.format != TOutputFormat::Xlsx)
    return "--numbers needs --format xlsx (csv and jsonl cells are the page's text)";
  if (options.format == TOutputFormat::Xlsx && options.appendFile == "-") return "--format xlsx cannot write to standard output";
  return {};
}

}  // namespace

TOptionTable ConvertOptionTable() { return kConvertOptions; }

std::optional<TConvertOptions> ParseConvertArguments(const std::vector<std::string>& args, std::string& error) {
  TConvertOptions options;
  bool outputDirGiven = false;
  bool appendGiven = false;
  const auto take = [&](const TOption& option, std::string_view, const std::string& value) -> std::string {
    const std::string_view name = option.Name;
    if (name == "output-dir") {
      options.outputDir = value;
      outputDirGiven = true;
    } else if (name == "append") {
      options.appendFile = value;
      appendGiven = true;
    } else if (name == "format") {
      const std::optional<TOutputFormat> known = OutputFormatNamed(value);
      if (!known) return "--format takes xls, xlsx, csv or jsonl";
      options.format = *known;
    } else if (name == "tables") {
      options.tables.reset();
      if (value != "all") {
        options.tables = ParseTableNumbers(value);
        if (!options.tables) return std::string(kTablesProblem);
      }
    } else if (name == "numbers") {
      if (value != "exact" && value != "locale") return "--numbers takes exact or locale";
      options.localeNumbers = value == "locale";
    } else if (name == "byte-range") {
      options.byteRange = ParseByteRange(value);
      if (!options.byteRange) return "--byte-range takes START-END, byte offsets with START below END";
    } else if (name == "threads") {
      const std::optional<int> count = ParseThreadCount(value);
      if (!count) return "--threads takes a number of threads from 1";
      options.threads = *count;
    } else if (name == "links") {
      options.links = true;
    } else if (name == "trim") {
      options.trim = true;
    } else if (name == "quiet") {
      options.quiet = true;
    }
    return {};
  };
  const std::span<const std::string> rest = args.empty() ? std::span<const std::string>() : std::span(args).subspan(1);
  error = ParseOptions(kConvertOptions, rest, take, options.paths);
  if (error.empty()) error = CheckConvertOptions(options, outputDirGiven, appendGiven);
  if (!error.empty()) return std::nullopt;
  return options;
}

}  // namespace corvane
