// Measures the style sheet parser: a generated sheet of about 1 MB (rules on tags, classes, ids and
// pseudo-classes, selector groups, contextual selectors with child combinators, longhand and shorthand
// declarations, url() values, comments and media blocks) read as the content of a STYLE element into a
// fresh style list with the built-in rules. The sheet is random with a fixed seed; the best of N runs is
// reported.
//
//   corvane_style_sheet_bench [--bytes N] [--runs N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "html/url_functions.h"
#include "style/style_list.h"
#include "style/style_sheet_parser.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::vector<std::string> kTags = {"div", "p",  "span", "td",   "tr",     "table", "ul",    "li",
                                        "a",   "b",  "i",    "h1",   "h2",     "h3",    "em",    "strong",
                                        "code", "pre", "img", "form", "center", "dd",    "input", "th"};

const std::vector<std::string> kDeclarations = {
    "color: #336699",
    "color: red",
    "margin: 4px 2px 3px",
    "padding: 1em",
    "font-size: 1.1em",
    "font-weight: bold",
    "font: italic bold 12px/1.5 'Times New Roman', serif",
    "background: #fff url(img/back.gif) no-repeat 10px 20px",
    "background-color: ivory",
    "border: 1px solid #ccc",
    "border-left: 2px dotted rgb(10, 20, 30)",
    "border-color: red blue",
    "list-style: square url(img/dot.gif)",
    "text-align: center",
    "line-height: 1.4",
    "width: 50%",
    "font-family: Verdana, Arial, sans-serif",
    "text-decoration: none",
};

std::string Name(char prefix, unsigned n) { return std::string(1, prefix) + "n" + std::to_string(n); }

std::string SimpleSelector(std::mt19937& random) {
  const std::string& tag = kTags[random() % kTags.size()];
  switch (random() % 6) {
    case 0: return tag;
    case 1: return std::string(".").append(Name('c', random() % 1500));
    case 2: return tag + "." + Name('c', random() % 1500);
    case 3: return std::string("#").append(Name('i', random() % 400));
    case 4: return tag + ":hover";
    default: return tag + "." + Name('c', random() % 300) + "." + Name('c', random() % 300);
  }
}

std::string Selector(std::mt19937& random) {
  if (random() % 10 >= 3) return SimpleSelector(random);
  // Contextual: one or two ancestors, some with a child combinator.
  std::string selector = SimpleSelector(random);
  const unsigned ancestors = 1 + random() % 2;
  for (unsigned i = 0; i < ancestors; ++i)
    selector += (random() % 3 == 0 ? " > " : " ") + kTags[random() % kTags.size()];
  return selector;
}

std::string Rule(std::mt19937& random) {
  std::string rule = Selector(random);
  for (unsigned n = random() % 3; n > 0; --n) rule += ", " + Selector(random);
  rule += " {\r  ";
  for (unsigned n = 1 + random() % 4; n > 0; --n) rule += kDeclarations[random() % kDeclarations.size()] + ";\r  ";
  rule += "}\r";
  return rule;
}

// A STYLE element's content of about bytes characters, line ends as the HTML reader gives them (CR).
std::string StyleSheet(std::size_t bytes) {
  std::mt19937 random(20240501);
  std::string sheet = "\r<!--\r";
  while (sheet.size() < bytes) {
    const unsigned kind = random() % 40;
    if (kind == 0) {
      sheet += "/* A comment between the rules, as style sheets carry them. */\r";
    } else if (kind == 1) {
      sheet += "@media print {\r" + Rule(random) + Rule(random) + "}\r";
    } else if (kind == 2) {
      sheet += "@media screen, print {\r" + Rule(random) + Rule(random) + "}\r";
    } else if (kind == 3) {
      sheet += "@import url(more.css);\r";
    } else {
      sheet += Rule(random);
    }
  }
  sheet += "-->\r</style>";
  return sheet;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t bytes = 1 << 20;
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--bytes") == 0) bytes = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  const std::string sheet = StyleSheet(bytes);

  double best = 1e30;
  std::size_t rules = 0;
  for (int run = 0; run < runs; ++run) {
    corvane::TStyleList styles(96.0);
    styles.LoadDefaults({});
    std::size_t next = 0;
    corvane::TStyleSheetInput input;
    input.Source = [&]() -> char { return next < sheet.size() ? sheet[next++] : '\0'; };
    input.Peek = [&]() -> char { return next < sheet.size() ? sheet[next] : '\0'; };
    input.BaseAddress = "http://server/css/";
    input.ResolveUrl = [](std::string_view value, std::string_view base) { return corvane::StyleUrl(value, base); };
    const Clock::time_point start = Clock::now();
    const char stop = corvane::ParseStyleSheet(styles, '>', input);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (stop != '<') {
      std::fprintf(stderr, "the sheet did not end at its end tag\n");
      return 1;
    }
    best = std::min(best, seconds);
    rules = styles.Count();
  }
  std::printf("style sheet parser: %zu bytes, %zu rules in the list, best of %d: %.1f ms (%.1f MB/s)\n",
              sheet.size(), rules, runs, best * 1000.0, static_cast<double>(sheet.size()) / best / 1e6);
  return 0;
}
