// The option parser every command uses, each command's reading of its arguments, and the man page and
// completions held against the commands' option tables.
#include "app/options.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/convert_options.h"
#include "app/render_options.h"
#include "app/window_arguments.h"

namespace corvane {
namespace {

using Args = std::vector<std::string>;

constexpr std::array kTestOptions = {
    TOption{"quiet", 'q', "", "be quiet"},
    TOption{"all", 'a', "", "every one"},
    TOption{"output", 'o', "DIR", "where"},
    TOption{"format", 0, "FORMAT", "which"},
    TOption{"skin", 0, "NAME", "how it looks", "option '--skin' needs a skin"},
    TOption{.Name = "style", .Value = "NAME", .Toolkit = true},
    TOption{.Name = "reverse", .Toolkit = true},
};

// The options as the handler saw them, "name" or "name=value", separated by spaces; "|" and the
// operands after them; or the error.
std::string Parse(const Args& args) {
  std::string seen;
  std::vector<std::string> operands;
  const auto take = [&seen](const TOption& option, std::string_view, const std::string& value) -> std::string {
    if (value == "bad") return "--" + std::string(option.Name) + " takes no bad value";
    seen += (seen.empty() ? "" : " ") + std::string(option.Name) + (option.Value.empty() ? "" : "=" + value);
    return {};
  };
  const std::string error = ParseOptions(kTestOptions, args, take, operands);
  if (!error.empty()) return error;
  for (const std::string& operand : operands) seen += " |" + operand;
  return seen;
}

TEST(OptionsTest, ArgumentsAreReadByTheTable) {
  const std::pair<Args, std::string> cases[] = {
      {{"-q", "a.html"}, "quiet |a.html"},
      {{"-qa"}, "quiet all"},
      {{"-qao", "d"}, "quiet all output=d"},
      {{"-qaod"}, "quiet all output=d"},
      {{"-oDIR", "x"}, "output=DIR |x"},
      {{"-o", "-q"}, "output=-q"},
      {{"--output", "d"}, "output=d"},
      {{"--output=d"}, "output=d"},
      {{"--output="}, "output="},
      {{"--format=a=b"}, "format=a=b"},
      {{"-o", "d", "--output", "e"}, "output=d output=e"},
      {{"-output", "d"}, "output=utput |d"},  // one dash: the letters of short options
      {{"--", "-q", "--output"}, " |-q |--output"},
      {{"--output", "--", "x"}, "output=-- |x"},
      {{"-"}, " |-"},
      {{""}, " |"},
      {{"-style", "fusion", "--style=x", "-style=y", "-reverse", "--reverse"}, "style=fusion style=x style=y reverse reverse"},
      {{"--fast"}, "unknown option '--fast'"},
      {{"--q"}, "unknown option '--q'"},
      {{"--quiet=yes"}, "unknown option '--quiet=yes'"},
      {{"-qz"}, "unknown option '-z'"},
      {{"-zq"}, "unknown option '-zq'"},
      {{"-reverse=1"}, "unknown option '-reverse=1'"},
      {{"-q=x"}, "unknown option '-='"},
      {{"-o"}, "option '-o' needs a value"},
      {{"-qo"}, "option '-o' needs a value"},
      {{"-style"}, "option '-style' needs a value"},
      {{"--skin"}, "option '--skin' needs a skin"},
      {{"--format", "bad", "--fast"}, "--format takes no bad value"},
      {{"--fast", "--format", "bad"}, "unknown option '--fast'"},
  };
  for (const auto& [args, expected] : cases) EXPECT_EQ(Parse(args), expected) << testing::PrintToString(args);
}

TEST(OptionsTest, TheHelpListsTheOptionsInAColumn) {
  EXPECT_EQ(OptionList(kTestOptions),
            "  -q, --quiet             be quiet\n"
            "  -a, --all               every one\n"
            "  -o, --output DIR        where\n"
            "      --format FORMAT     which\n"
            "      --skin NAME         how it looks\n");
  constexpr std::array kLongOnes = {
      TOption{"skin", 0, "NAME|FILE", "the look\nof this run"},
      TOption{"twenty-two-characters", 0, "", "two spaces"},
      TOption{"twenty-four-characters", 0, "", "past the column"},
      TOption{.Name = "style", .Value = "NAME", .Toolkit = true},
  };
  EXPECT_EQ(OptionList(kLongOnes),
            "  --skin NAME|FILE        the look\n"
            "                          of this run\n"
            "  --twenty-two-characters  two spaces\n"
            "  --twenty-four-characters  past the column\n");
  EXPECT_EQ(OptionSpellings(kLongOnes), (Args{"--skin", "--twenty-two-characters", "--twenty-four-characters"}));
}

// The options convert read, in a line, or the error.
std::string Convert(const Args& args) {
  std::string error;
  const std::optional<TConvertOptions> options = ParseConvertArguments(args, error);
  if (!options) return error;
  const char* formats[] = {"xls", "xlsx", "csv", "jsonl"};
  std::ostringstream line;
  line << formats[static_cast<int>(options->format)];
  if (!options->outputDir.empty()) line << " dir=" << options->outputDir;
  if (!options->appendFile.empty()) line << " append=" << options->appendFile;
  if (options->trim) line << " trim";
  if (options->quiet) line << " quiet";
  if (options->links) line << " links";
  if (options->localeNumbers) line << (*options->localeNumbers ? " locale" : " exact");
  if (options->tables) {
    line << " tables=";
    for (const std::string& table : *options->tables) line << table << ';';
  }
  if (options->byteRange) line << " bytes=" << options->byteRange->first << '-' << options->byteRange->second;
  if (options->threads != 0) line << " threads=" << options->threads;
  for (const std::string& path : options->paths) line << " |" << path;
  return line.str();
}

TEST(OptionsTest, ConvertArguments) {
  const std::pair<Args, std::string> cases[] = {
      {{"convert", "-o", "x", "a.html"}, "xls dir=x |a.html"},
      {{"convert", "--output-dir=x", "--format=csv", "--links", "a.html", "b"}, "csv dir=x links |a.html |b"},
      {{"convert", "-qa", "-", "--format", "jsonl", "--", "-a.html"}, "jsonl append=- quiet |-a.html"},
      {{"convert", "-qoX", "a.html", "--trim"}, "xls dir=X trim quiet |a.html"},
      {{"convert", "-a", "f", "--tables", "3,1,3", "a"}, "xls append=f tables=0;2; |a"},
      {{"convert", "-a", "f", "--tables=2", "--tables", "all", "a"}, "xls append=f |a"},
      {{"convert", "-o", "x", "--format", "jsonl", "--byte-range=10-20", "c.warc"}, "jsonl dir=x bytes=10-20 |c.warc"},
      {{"convert", "-o", "-q", "a"}, "xls dir=-q |a"},
      {{"convert", "-o", "x", "--", "--help"}, "xls dir=x |--help"},
      {{"convert", "-o", "x", "--"}, "convert needs at least one PATH"},
      {{"convert", "--output-dir=", "a"}, "the output path is empty"},
      {{"convert", "a", "--format"}, "option '--format' needs a value"},
      {{"convert", "-qa"}, "option '-a' needs a value"},
      {{"convert", "-o", "x", "--links=1", "a"}, "unknown option '--links=1'"},
      {{"convert", "-o", "x", "--table", "1", "a"}, "unknown option '--table'"},
      {{"convert", "-o", "x", "--tables=1,", "a"}, "--tables takes 'all' or table numbers counted from 1, such as 1,3"},
      {{"convert", "-o", "x", "--threads", "1", "a"}, "xls dir=x threads=1 |a"},
      {{"convert", "-o", "x", "--threads=4", "--threads", "2", "a"}, "xls dir=x threads=2 |a"},
      {{"convert", "-o", "x", "--threads=64", "a"}, "xls dir=x threads=64 |a"},
      {{"convert", "-o", "x", "--threads", "0", "a"}, "--threads takes a number of threads from 1"},
      {{"convert", "-o", "x", "--threads=-1", "a"}, "--threads takes a number of threads from 1"},
      {{"convert", "-o", "x", "--threads=2x", "a"}, "--threads takes a number of threads from 1"},
      {{"convert", "-o", "x", "--threads=", "a"}, "--threads takes a number of threads from 1"},
      {{"convert", "-o", "x", "--threads=99999999999", "a"}, "--threads takes a number of threads from 1"},
      {{"convert", "-o", "x", "a", "--threads"}, "option '--threads' needs a value"},
  };
  for (const auto& [args, expected] : cases) EXPECT_EQ(Convert(args), expected) << testing::PrintToString(args);
}

// The options render read, in a line, or the error.
std::string Render(const Args& args) {
  std::string error;
  const std::optional<TRenderOptions> options = ParseRenderArguments(args, error);
  if (!options) return error;
  std::ostringstream line;
  line << options->file << " -> " << options->output << " width=" << options->width << " max=" << options->maxHeight
       << " table=" << options->table << " paper=" << QPageSize::key(options->pageSize).toStdString();
  if (options->pictureOptionGiven) line << " picture";
  if (options->pageSizeGiven) line << " paper-given";
  return line.str();
}

TEST(OptionsTest, RenderArguments) {
  const std::string defaults = " width=800 max=100000 table=0 paper=A4";
  const std::pair<Args, std::string> cases[] = {
      {{"render", "p.html", "-o", "y.png"}, "p.html -> y.png" + defaults},
      {{"render", "--output=y.png", "p.html"}, "p.html -> y.png" + defaults},
      {{"render", "-o", "y.png", "--", "p.html"}, "p.html -> y.png" + defaults},
      {{"render", "-oy.png", "p.html"}, "p.html -> y.png" + defaults},
      {{"render", "-o", "y.png", "--", "-p.html"}, "-p.html -> y.png" + defaults},
      {{"render", "-", "-o", "-y.png"}, "- -> -y.png" + defaults},
      {{"render", "p.html", "-o", "y.png", "--width=300", "--max-height", "50"},
       "p.html -> y.png width=300 max=50 table=0 paper=A4 picture"},
      {{"render", "p.html", "-o", "y.pdf", "--page-size=letter", "--table", "2"},
       "p.html -> y.pdf width=800 max=100000 table=2 paper=Letter paper-given"},
      {{"render", "p.html", "--output"}, "option '--output' needs a value"},
      {{"render", "p.html", "-o", "y.png", "--width"}, "--width takes a number of pixels from 1 to 6000"},
      {{"render", "p.html", "-o", "y.png", "--width=6001"}, "--width takes a number of pixels from 1 to 6000"},
      {{"render", "p.html", "-o", "y.png", "--max-height="}, "--max-height takes a number of pixels from 1"},
      {{"render", "p.html", "-o", "y.png", "--table=x"}, "--table takes a table number counted from 1"},
      {{"render", "-o", "y.png", "--", "a", "b"}, "render takes one FILE"},
      {{"render", "-o", "y.png", "--"}, "render needs a FILE"},
      {{"render", "p.html", "--output="}, "render needs -o OUT.png or -o OUT.pdf"},
      {{"render", "p.html", "-qo", "y.png"}, "unknown option '-qo'"},
      {{"render", "--out=y.png", "p.html"}, "unknown option '--out=y.png'"},
  };
  for (const auto& [args, expected] : cases) EXPECT_EQ(Render(args), expected) << testing::PrintToString(args);
}

TEST(OptionsTest, WindowArgumentsEndAtADoubleDash) {
  struct Case {
    Args args;
    Args files;
    std::size_t toolkit;  // arguments the toolkit may read
    std::string error;
  };
  const Case cases[] = {
      {{"--", "-odd-name.html"}, {"-odd-name.html"}, 0, ""},
      {{"-style", "fusion", "--", "-style", "--skin"}, {"-style", "--skin"}, 2, ""},
      {{"--skin", "--", "a.html"}, {"a.html"}, 3, ""},
      {{"a.html", "--help"}, {}, 2, "unknown option '--help'"},
      {{"-platform"}, {}, 1, "option '-platform' needs a value"},
  };
  for (const Case& c : cases) {
    const TWindowArguments parsed = ParseWindowArguments(c.args);
    EXPECT_EQ(parsed.error, c.error) << testing::PrintToString(c.args);
    if (!c.error.empty()) continue;
    EXPECT_EQ(parsed.files, c.files) << testing::PrintToString(c.args);
    EXPECT_EQ(parsed.toolkitArguments, c.toolkit) << testing::PrintToString(c.args);
  }
}

// The man page and the completions are written by hand; they must name every option of the tables and
// no other.

const std::filesystem::path kSource = CORVANE_SOURCE_DIR;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The text from the line that starts with from up to the line that starts with to (or the end).
std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t start = text.find("\n" + from);
  if (start == std::string::npos) {
    ADD_FAILURE() << "no line starts with " << from;
    return {};
  }
  const std::size_t end = to.empty() ? std::string::npos : text.find("\n" + to, start + 1 + from.size());
  return text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

struct TOptionSets {
  std::set<std::string> all;     // every spelling
  std::set<std::string> values;  // the spellings of options that take a value
};

TOptionSets Expected(std::initializer_list<TOptionTable> tables) {
  TOptionSets sets;
  for (TOptionTable table : tables) {
    for (const TOption& option : table) {
      if (option.Toolkit) continue;
      const std::vector<std::string> spellings = OptionSpellings(std::span(&option, 1));
      sets.all.insert(spellings.begin(), spellings.end());
      if (!option.Value.empty()) sets.values.insert(spellings.begin(), spellings.end());
    }
  }
  return sets;
}

const TOption kHelp[] = {{"help", 'h', "", "print the usage of the command"}};

// The options the man page's items name (".TP" then a line such as ".BR \-o " \fIDIR\fP, " \-\-output\-dir
// " \fIDIR\fP""), in one section; an option is listed with a value when text follows its last name.
TOptionSets ManPageItems(const std::string& section) {
  static const std::regex kName(R"((?:^|[\s"])(--?[a-zA-Z][a-zA-Z0-9-]*))");
  TOptionSets found;
  std::istringstream lines(section);
  std::string line;
  bool item = false;
  while (std::getline(lines, line)) {
    const bool head = item && line.starts_with(".B");
    item = line == ".TP";
    if (!head) continue;
    std::string plain;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line.compare(i, 2, "\\-") == 0) ++i;
      plain += line[i];
    }
    std::vector<std::string> names;
    std::size_t end = 0;
    for (auto it = std::sregex_iterator(plain.begin(), plain.end(), kName); it != std::sregex_iterator(); ++it) {
      names.push_back((*it)[1]);
      end = static_cast<std::size_t>(it->position(1) + it->length(1));
    }
    const bool value = plain.find_first_not_of(" \"", end) != std::string::npos;
    for (const std::string& name : names) {
      found.all.insert(name);
      if (value) found.values.insert(name);
    }
  }
  return found;
}

TEST(OptionsTest, TheManPageListsTheOptionsOfTheTables) {
  const std::string page = ReadText(kSource / "data" / "corvane.1");
  ASSERT_FALSE(page.empty());
  const std::pair<std::string, TOptionSets> sections[] = {
      {".SH THE WINDOW", Expected({WindowOptionTable()})},
      {".SH CONVERT", Expected({ConvertOptionTable()})},
      {".SH RENDER", Expected({RenderOptionTable()})},
      {".SH VIEW", {}},  // it takes the window's options, named under THE WINDOW
      {".SH OPTIONS", Expected({GeneralOptionTable()})},
      {".SH EXIT STATUS", {}},
  };
  for (const auto& [heading, expected] : sections) {
    const TOptionSets found = ManPageItems(Between(page, heading, ".SH "));
    EXPECT_EQ(found.all, expected.all) << heading;
    EXPECT_EQ(found.values, expected.values) << heading;
  }
}

// The options named in shell code: words such as -o, --output-dir, in quotes, braces or lists.
std::set<std::string> OptionWords(const std::string& code) {
  static const std::regex kWord(R"((?:^|[\s'"{,()])(--?[a-zA-Z][a-zA-Z0-9-]*))");
  std::set<std::string> words;
  for (auto it = std::sregex_iterator(code.begin(), code.end(), kWord); it != std::sregex_iterator(); ++it)
    words.insert((*it)[1]);
  return words;
}

// What follows marker on each line of code that holds it.
std::string AfterOn(const std::string& code, const std::string& marker) {
  std::istringstream lines(code);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find(marker);
    if (at != std::string::npos) kept += line.substr(at + marker.size()) + "\n";
  }
  return kept;
}

TEST(OptionsTest, TheBashCompletionOffersTheOptionsOfTheTables) {
  const std::string script = ReadText(kSource / "data" / "completions" / "corvane.bash");
  ASSERT_FALSE(script.empty());
  const std::string body = Between(script, "_corvane() {", "complete ");
  struct TSection {
    std::string code;
    TOptionSets expected;
    bool valuesCompleted = true;  // false where no option can come before the word (the first word)
  };
  const TSection sections[] = {
      {Between(body, "    if ((COMP_CWORD == 1))", "    case $command in"), Expected({GeneralOptionTable(), WindowOptionTable()}),
       false},
      {Between(body, "    convert)", "    render)"), Expected({ConvertOptionTable(), kHelp})},
      {Between(body, "    render)", "    view)"), Expected({RenderOptionTable(), kHelp})},
      {Between(body, "    view)", "    *)"), Expected({WindowOptionTable(), kHelp})},
      {Between(body, "    *)", "    esac"), Expected({WindowOptionTable()})},
  };
  static const std::regex kPattern(R"(^\s+(-[^)]*)\))");
  for (const auto& [code, expected, valuesCompleted] : sections) {
    EXPECT_EQ(OptionWords(AfterOn(code, "_corvane_options ")), expected.all) << code;
    if (!valuesCompleted) continue;
    // The options whose value is completed: the patterns "-o | --output-dir)" of "case $prev", or a
    // test of $prev.
    std::set<std::string> values = OptionWords(AfterOn(code, "$prev == "));
    std::istringstream lines(code);
    for (std::string line; std::getline(lines, line);) {
      std::smatch match;
      if (std::regex_search(line, match, kPattern)) {
        const std::set<std::string> named = OptionWords(match[1]);
        values.insert(named.begin(), named.end());
      }
    }
    EXPECT_EQ(values, expected.values) << code;
  }
}

TEST(OptionsTest, TheZshCompletionOffersTheOptionsOfTheTables) {
  const std::string script = ReadText(kSource / "data" / "completions" / "_corvane");
  ASSERT_FALSE(script.empty());
  const std::pair<std::string, TOptionSets> sections[] = {
      {Between(script, "_corvane_convert() {", "}"), Expected({ConvertOptionTable(), kHelp})},
      {Between(script, "_corvane_render() {", "}"), Expected({RenderOptionTable(), kHelp})},
      {Between(script, "_corvane_view() {", "}"), Expected({WindowOptionTable(), kHelp})},
      {Between(script, "    if [[ $PREFIX == -* ]]; then", "    else"), Expected({GeneralOptionTable(), WindowOptionTable()})},
      {Between(script, "    *)", "  esac"), Expected({WindowOptionTable()})},
  };
  static const std::regex kDescription(R"(\[[^\]]*\])");
  static const std::regex kArgumentsFlags(R"(_arguments(\s+-[a-zA-Z])+)");
  static const std::regex kAction(R"(:[^\n]*)");
  static const std::regex kTakesValue(R"((?:^|[\s'"{,()])(--?[a-zA-Z][a-zA-Z0-9-]*)[+=])");
  for (const auto& [code, expected] : sections) {
    // The option specs without their descriptions and the completion of their values.
    std::string specs = std::regex_replace(code, kDescription, "");
    specs = std::regex_replace(specs, kArgumentsFlags, "_arguments");
    specs = std::regex_replace(specs, kAction, "");
    EXPECT_EQ(OptionWords(specs), expected.all) << code;
    // An option with a value is written "-o+" or "--output-dir=", so that its value may follow it.
    std::set<std::string> values;
    for (auto it = std::sregex_iterator(specs.begin(), specs.end(), kTakesValue); it != std::sregex_iterator(); ++it)
      values.insert((*it)[1]);
    EXPECT_EQ(values, expected.values) << code;
  }
}

}  // namespace
}  // namespace corvane
