#include "app/render_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <limits>
#include <span>
#include <string_view>

namespace corvane {

namespace {

constexpr std::string_view kWidthProblem = "--width takes a number of pixels from 1 to 6000";
constexpr std::string_view kMaxHeightProblem = "--max-height takes a number of pixels from 1";
constexpr std::string_view kMaxPagesProblem = "--max-pages takes a number of pages, 0 for no limit";
constexpr std::string_view kPageSizeProblem = "--page-size takes A4, Letter, Legal, A3 or A5";
constexpr std::string_view kTableProblem = "--table takes a table number counted from 1";

constexpr std::array kRenderOptions = {
    TOption{"output", 'o', "OUT", "the file to write: a PNG picture for OUT.png, a PDF for OUT.pdf"},
    TOption{"width", 0, "N", "PNG: the width to lay the page out at, in pixels (default 800)", kWidthProblem},
    TOption{"max-height", 0, "N", "PNG: cut the picture N pixels down, with a note (default 100000)", kMaxHeightProblem},
    TOption{"page-size", 0, "SIZE", "PDF: the paper, A4, Letter, Legal, A3 or A5 (default A4)", kPageSizeProblem},
    TOption{"max-pages", 0, "N", "PDF: cut the PDF after N pages, with a note (default 1000; 0: no limit)",
            kMaxPagesProblem},
    TOption{"table", 0, "N",
            "only the Nth table that convert would write, counted from 1, shown\n"
            "alone as the Table Select dialog shows it",
            kTableProblem},
};

// The paper sizes --page-size knows, by the names it takes (in any case).
std::optional<QPageSize::PageSizeId> PageSizeNamed(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name == "a4") return QPageSize::A4;
  if (name == "letter") return QPageSize::Letter;
  if (name == "legal") return QPageSize::Legal;
  if (name == "a3") return QPageSize::A3;
  if (name == "a5") return QPageSize::A5;
  return std::nullopt;
}

// The whole of text as a number in [low, high]; none otherwise.
std::optional<int> NumberIn(const std::string& text, int low, int high) {
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number < low || number > high) return std::nullopt;
  return number;
}

}  // namespace

TOptionTable RenderOptionTable() { return kRenderOptions; }

std::optional<TRenderOptions> ParseRenderArguments(const std::vector<std::string>& args, std::string& error) {
  static_assert(kMaxRenderWidth == 6000, "the --width message names the greatest width");
  TRenderOptions options;
  const auto take = [&options](const TOption& option, std::string_view, const std::string& value) -> std::string {
    constexpr int kMost = std::numeric_limits<int>::max();
    const std::string_view name = option.Name;
    if (name == "output") {
      options.output = value;
    } else if (name == "width" || name == "max-height") {
      const std::optional<int> number = NumberIn(value, 1, name == "width" ? kMaxRenderWidth : kMost);
      if (!number) return std::string(option.MissingValue);
      (name == "width" ? options.width : options.maxHeight) = *number;
      options.pictureOptionGiven = true;
    } else if (name == "page-size") {
      const std::optional<QPageSize::PageSizeId> size = PageSizeNamed(value);
      if (!size) return std::string(kPageSizeProblem);
      options.pageSize = *size;
      options.pageSizeGiven = true;
    } else if (name == "max-pages") {
      const std::optional<int> pages = NumberIn(value, 0, kMost);
      if (!pages) return std::string(kMaxPagesProblem);
      options.maxPages = *pages;
      options.maxPagesGiven = true;
    } else if (name == "table") {
      const std::optional<int> table = NumberIn(value, 1, kMost);
      if (!table) return std::string(kTableProblem);
      options.table = *table;
    }
    return {};
  };
  std::vector<std::string> files;
  const std::span<const std::string> rest = args.empty() ? std::span<const std::string>() : std::span(args).subspan(1);
  error = ParseOptions(kRenderOptions, rest, take, files);
  if (error.empty()) {
    if (files.size() > 1) {
      error = "render takes one FILE";
    } else if (files.empty() || files.front().empty()) {
      error = "render needs a FILE";
    } else if (options.output.empty()) {
      error = "render needs -o OUT.png or -o OUT.pdf";
    }
  }
  if (!error.empty()) return std::nullopt;
  options.file = files.front();
  return options;
}

}  // namespace corvane
