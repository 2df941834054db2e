// End-to-end tests of `corvane convert`: the real executable, its output files, log and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

const std::string kRule(94, '-');
const fs::path kData = CORVANE_TEST_DATA_DIR;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

using corvane::test::ReadFile;

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class CommandLineTest : public ::testing::Test {
 protected:
  Result Run(const std::vector<std::string>& args) {
    std::string command = Quote(CORVANE_EXECUTABLE);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " >" + Quote((dir / "stdout").string()) + " 2>" + Quote((dir / "stderr").string());
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(dir / "stdout");
    result.err = ReadFile(dir / "stderr");
    return result;
  }

  corvane::test::TTempDir temp;
  const fs::path& dir = temp.Path();
};

TEST_F(CommandLineTest, ConvertsOneFileIntoFolderWithExactBytesAndLog) {
  const std::string input = (kData / "one-table.html").string();
  const Result r = Run({"convert", "-o", (dir / "out").string(), input});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFile(dir / "out" / "one-table.html.xls"),
            "\"Name\"\t\"Qty\"\r\n\" Bolts \"\t\"12\"\r\n\"Nuts \"\t\"7\"\r\n");
  EXPECT_EQ(r.out, kRule + "\nAnalysing     : " + input + "\nTable count : 1\n" +
                       "\"Name\"\t\"Qty\"\n\" Bolts \"\t\"12\"\n\"Nuts \"\t\"7\"\n" + "\nExtraction Complete for " +
                       input + "\n" + kRule + "\n");
}

TEST_F(CommandLineTest, TrimAndQuietAndBytesUnchanged) {
  const Result r = Run({"convert", "--output-dir=" + (dir / "out").string(), "--trim", "-q",
                        (kData / "one-table.html").string(), (kData / "bytes.html").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(dir / "out" / "one-table.html.xls"), "\"Name\"\t\"Qty\"\r\n\"Bolts\"\t\"12\"\r\n\"Nuts \"\t\"7\"\r\n");
  EXPECT_EQ(ReadFile(dir / "out" / "bytes.html.xls"), "\"caf\xc3\xa9\"\t\"na\xefve \x93quoted\x94\"\r\n");
}

TEST_F(CommandLineTest, TableChoiceForFilesWithSeveralTables) {
  const std::string three = (kData / "three-tables.html").string();
  const std::string one = (kData / "one-table.html").string();
  struct Case {
    std::vector<std::string> tablesOption;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{}, "\"first\"\r\n\"second\"\r\n\"third\"\r\n"},
      {{"--tables", "all"}, "\"first\"\r\n\"second\"\r\n\"third\"\r\n"},
      {{"--tables", "2"}, "\"second\"\r\n"},
      {{"--tables=3,1"}, "\"first\"\r\n\"third\"\r\n"},
      {{"--tables", "2,9,3"}, "\"second\"\r\n\"third\"\r\n"},  // a number the file lacks ends its tables
  };
  for (const Case& c : cases) {
    const fs::path out = dir / "all.xls";
    fs::remove(out);
    std::vector<std::string> args = {"convert", "-a", out.string(), "-q"};
    args.insert(args.end(), c.tablesOption.begin(), c.tablesOption.end());
    // The single-table file comes first in sorted order and does not disturb the choice.
    args.push_back(three);
    args.push_back(one);
    const Result r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), "\"Name\"\t\"Qty\"\r\n\" Bolts \"\t\"12\"\r\n\"Nuts \"\t\"7\"\r\n" + c.expected)
        << (c.tablesOption.empty() ? "default" : c.tablesOption.back());
  }
}

TEST_F(CommandLineTest, FolderAddsHtmAndHtmlFilesBelowIt) {
  const fs::path out = dir / "all.xls";
  const Result r = Run({"convert", "--append", out.string(), (kData / "folder").string(),
                        (kData / "folder" / "top.html").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(out), "\"deep\"\r\n\"top\"\r\n") << "sorted, each once, UPPER.HTM and notes.txt left out";
}

TEST_F(CommandLineTest, FailedFileGivesStatusOneAndTheJobGoesOn) {
  const std::string missing = (dir / "missing.html").string();
  const std::string one = (kData / "one-table.html").string();
  const Result r = Run({"convert", "-o", (dir / "out").string(), missing, one});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("ERROR : Cannot open " + missing + ": No such file or directory\n\nExtraction Failed for " +
                       missing + "\n"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(fs::exists(dir / "out" / "one-table.html.xls"));
  EXPECT_EQ(r.err, "corvane: failed: " + missing + "\n");
}

TEST_F(CommandLineTest, UncreatableOutputStopsTheJob) {
  const std::string out = (dir / "no" / "such" / "all.xls").string();
  const std::string one = (kData / "one-table.html").string();
  const Result r = Run({"convert", "-a", out, one, (kData / "three-tables.html").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("ERROR : Exiting conversion.\nDETAILS : Cannot create file " + out + "\n"), std::string::npos);
  EXPECT_EQ(r.out.find("three-tables"), std::string::npos) << "the job ended before the second file";
  EXPECT_EQ(r.err, "corvane: failed: " + one + "\ncorvane: stopped: the output file could not be created\n");
}

TEST_F(CommandLineTest, UsageErrors) {
  const std::string in = (kData / "one-table.html").string();
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"convert", in}, "corvane: convert needs -o DIR or -a FILE"},
      {{"convert", "-o", "x", "-a", "y", in}, "corvane: use either -o DIR or -a FILE, not both"},
      {{"convert", "-o", "x"}, "corvane: convert needs at least one PATH"},
      {{"convert", "-o"}, "corvane: option '-o' needs a value"},
      {{"convert", "-o", "x", "--tables", "0", in}, "corvane: --tables takes 'all' or table numbers counted from 1, such as 1,3"},
      {{"convert", "-o", "x", "--tables", "1,,2", in}, "corvane: --tables takes 'all' or table numbers counted from 1, such as 1,3"},
      {{"convert", "-o", "x", "--tables", "two", in}, "corvane: --tables takes 'all' or table numbers counted from 1, such as 1,3"},
      {{"convert", "-o", "x", "--fast", in}, "corvane: unknown option '--fast'"},
      {{"convert", "-o", "x", "--trim=yes", in}, "corvane: unknown option '--trim=yes'"},
      {{"--frobnicate"}, "corvane: unknown option '--frobnicate'"},
      {{"a.html", "-x"}, "corvane: unknown option '-x'"},
  };
  for (const auto& [args, message] : cases) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, message + "\nTry 'corvane --help' for more information.\n");
  }
  EXPECT_FALSE(fs::exists("x")) << "nothing was written";
}

TEST_F(CommandLineTest, HelpAndVersion) {
  const Result help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("corvane convert (-o DIR | -a FILE)"), std::string::npos);
  const Result version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("corvane ", 0), 0u);
}

}  // namespace
