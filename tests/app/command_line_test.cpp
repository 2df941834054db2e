// End-to-end tests of `corvane convert`: the real executable, its output files, log and exit status.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "extract/warc_test_writer.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

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
  // prefix: a command that runs the program, such as one that changes the user.
  Result Run(const std::vector<std::string>& args, const std::string& prefix = "") {
    std::string command = prefix + Quote(CORVANE_EXECUTABLE);
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
  EXPECT_EQ(r.err, "corvane: Cannot open " + missing + ": No such file or directory\n");
}

TEST_F(CommandLineTest, UncreatableOutputStopsTheJob) {
  const std::string out = (dir / "no" / "such" / "all.xls").string();
  const std::string one = (kData / "one-table.html").string();
  const Result r = Run({"convert", "-a", out, one, (kData / "three-tables.html").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("ERROR : Exiting conversion.\nDETAILS : Cannot create file " + out + "\n"), std::string::npos);
  EXPECT_EQ(r.out.find("three-tables"), std::string::npos) << "the job ended before the second file";
  EXPECT_EQ(r.err, "corvane: Cannot create file " + out + ": No such file or directory\n" +
                       "corvane: stopped: the output file could not be created\n" +
                       "corvane: not converted: " + (kData / "three-tables.html").string() + "\n");
}

std::string ManyRows(int rows) {
  std::string table = "<table>";
  for (int row = 0; row < rows; ++row) table += "<tr><td>row " + std::to_string(row) + "</td></tr>\n";
  return table + "</table>";
}

std::vector<std::string> FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(CommandLineTest, InputsWithTheSameNameFromTwoFoldersKeepBothOutputs) {
  fs::create_directories(dir / "t" / "a");
  fs::create_directories(dir / "t" / "b");
  fs::copy_file(kData / "one-table.html", dir / "t" / "a" / "r.html");
  fs::copy_file(kData / "three-tables.html", dir / "t" / "b" / "r.html");
  const Result r = Run({"convert", "-q", "-o", (dir / "out").string(), (dir / "t").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(FileNames(dir / "out"), (std::vector<std::string>{"r.html (2).xls", "r.html.xls"}));
  EXPECT_EQ(ReadFile(dir / "out" / "r.html (2).xls"), "\"first\"\r\n\"second\"\r\n\"third\"\r\n");
}

TEST_F(CommandLineTest, AppendingToAnInputIsRefused) {
  const std::string page = temp.Write("page.html", "<table><tr><td>x</td></tr></table>");
  const Result r = Run({"convert", "-a", page, page});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "corvane: cannot append to " + page + ": it is the input file " + page + "\n");
  EXPECT_EQ(ReadFile(page), "<table><tr><td>x</td></tr></table>");
}

// A log nobody reads any more never costs an output: the job goes on, and the failed log makes the
// status 1.
TEST_F(CommandLineTest, AClosedStandardOutputLeavesTheOutputsWhole) {
  const std::string page = temp.Write("big.html", ManyRows(20000));
  const fs::path out = dir / "out";
  const std::string command = "(" + Quote(CORVANE_EXECUTABLE) + " convert -o " + Quote(out.string()) + " " +
                              Quote(page) + " 2>" + Quote((dir / "stderr").string()) + "; echo $? >" +
                              Quote((dir / "status").string()) + ") | head -c 1 >/dev/null";
  ASSERT_EQ(std::system(("bash -c " + Quote(command)).c_str()), 0);
  EXPECT_EQ(ReadFile(dir / "status"), "1\n");
  EXPECT_EQ(ReadFile(dir / "stderr"), "corvane: cannot write the log to standard output: Broken pipe\n");
  const std::string output = ReadFile(out / "big.html.xls");
  EXPECT_EQ(output.substr(output.size() - 13), "\"row 19999\"\r\n");

  // A full one likewise.
  fs::remove(out / "big.html.xls");
  const std::string full = Quote(CORVANE_EXECUTABLE) + " convert -o " + Quote(out.string()) + " " + Quote(page) +
                           " >/dev/full 2>" + Quote((dir / "stderr").string());
  EXPECT_EQ(WEXITSTATUS(std::system(full.c_str())), 1);
  EXPECT_EQ(ReadFile(dir / "stderr"), "corvane: cannot write the log to standard output: No space left on device\n");
  EXPECT_EQ(ReadFile(out / "big.html.xls"), output);
}

// SIGINT and SIGTERM stop the job between two writes: the run going on leaves the earlier output as it
// was, and the files not come to are named.
TEST_F(CommandLineTest, SignalsStopTheJobAndKeepEarlierOutputs) {
  const std::string page = temp.Write("a.html", ManyRows(20000));
  const std::string later = temp.Write("b.html", ManyRows(2));
  const fs::path out = dir / "out";
  fs::create_directories(out);
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    { std::ofstream(out / "a.html.xls", std::ios::binary) << "earlier\r\n"; }
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const std::string errPath = (dir / "stderr").string();
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(pipeEnds[1], STDOUT_FILENO);
      ::close(pipeEnds[0]);
      ::close(pipeEnds[1]);
      ::freopen(errPath.c_str(), "w", stderr);
      ::execl(CORVANE_EXECUTABLE, CORVANE_EXECUTABLE, "convert", "-o", out.c_str(), page.c_str(), later.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(pipeEnds[1]);
    // The log fills the pipe and the job waits in the middle of a's rows.
    int pending = 0;
    for (int wait = 0; wait < 1000 && pending < 60000; ++wait) {
      ::usleep(10000);
      ::ioctl(pipeEnds[0], FIONREAD, &pending);
    }
    ASSERT_GE(pending, 60000);
    ::kill(child, signal);
    char sink[65536];
    while (::read(pipeEnds[0], sink, sizeof sink) > 0) {
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    EXPECT_EQ(ReadFile(out / "a.html.xls"), "earlier\r\n");
    EXPECT_EQ(FileNames(out), std::vector<std::string>{"a.html.xls"}) << "no partial file";
    const std::string err = ReadFile(dir / "stderr");
    EXPECT_NE(err.find(signal == SIGINT ? "corvane: stopped: interrupted\n" : "corvane: stopped: terminated\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("corvane: not converted: " + later + "\n"), std::string::npos) << err;
  }
}

TEST_F(CommandLineTest, AFolderThatCannotBeSearchedFailsTheJob) {
  // Folder permissions do not apply to root: root runs the program as nobody.
  std::string prefix;
  if (::geteuid() == 0) {
    if (std::system("setpriv --reuid=65534 --regid=65534 --clear-groups " CORVANE_EXECUTABLE " --version >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "cannot run the program as another user";
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    fs::permissions(dir, fs::perms::all);
  }
  fs::create_directories(dir / "t" / "locked");
  fs::create_directories(dir / "out");
  fs::copy_file(kData / "one-table.html", dir / "t" / "a.html");
  fs::permissions(dir / "out", fs::perms::all);
  ::chmod((dir / "t" / "locked").c_str(), 0);
  const Result r = Run({"convert", "-q", "-o", (dir / "out").string(), (dir / "t").string()}, prefix);
  ::chmod((dir / "t" / "locked").c_str(), 0700);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "corvane: cannot search folder " + (dir / "t" / "locked").string() + ": Permission denied\n");
  EXPECT_TRUE(fs::exists(dir / "out" / "a.html.xls"));
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

TEST_F(CommandLineTest, HelpOfEachCommand) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"convert", "--help"}, "Usage: corvane convert (-o DIR | -a FILE) [--format xls|xlsx|csv|jsonl] [--links] [--numbers exact|locale] [--trim] [--tables all|N[,N...]] [--byte-range START-END] [--threads N] [-q] PATH...\n"},
      {{"convert", "-o", "x", "-h"}, "Usage: corvane convert (-o DIR | -a FILE) [--format xls|xlsx|csv|jsonl] [--links] [--numbers exact|locale] [--trim] [--tables all|N[,N...]] [--byte-range START-END] [--threads N] [-q] PATH...\n"},
      {{"render", "--help"}, "Usage: corvane render FILE -o OUT.png [--width N] [--max-height N] [--table N]\n"},
      {{"view", "--help"}, "Usage: corvane view [--skin NAME|FILE] FILE\n"},
  };
  for (const auto& [args, first] : cases) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, 0) << first;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), first);
  }
  EXPECT_NE(Run({"convert", "--help"}).out.find("  -q, --quiet"), std::string::npos);
  EXPECT_EQ(Run({"render", "--help"}).out.find("--quiet"), std::string::npos);
  const std::string render = Run({"render", "--help"}).out;
  EXPECT_EQ(render.substr(0, render.find('\n', render.find('\n') + 1) + 1),
            "Usage: corvane render FILE -o OUT.png [--width N] [--max-height N] [--table N]\n"
            "       corvane render FILE -o OUT.pdf [--page-size A4|Letter|Legal|A3|A5] [--max-pages N] [--table N]\n");
  // After "--" it is a file name.
  EXPECT_EQ(Run({"convert", "-o", (dir / "o").string(), "--", "--help"}).status, 1);
}

TEST_F(CommandLineTest, BundledShortOptions) {
  const std::string in = (kData / "one-table.html").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"convert", "-qo", (dir / "a").string(), in}, {"convert", "-qo" + (dir / "a").string(), in},
        {"convert", "-q", "-o", (dir / "a").string(), in}}) {
    fs::remove_all(dir / "a");
    const Result r = Run(args);
    EXPECT_EQ(r.status, 0) << args[1];
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_TRUE(fs::exists(dir / "a" / "one-table.html.xls")) << args[1];
  }
  const Result unknown = Run({"convert", "-qz", "-o", (dir / "b").string(), in});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "corvane: unknown option '-z'\nTry 'corvane --help' for more information.\n");
}

TEST_F(CommandLineTest, AppendToStandardOutputForPipelines) {
  const std::string in = (kData / "one-table.html").string();
  const std::string rows = "\"Name\"\t\"Qty\"\r\n\" Bolts \"\t\"12\"\r\n\"Nuts \"\t\"7\"\r\n";
  const Result quiet = Run({"convert", "-q", "-a", "-", in});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, rows);
  EXPECT_EQ(quiet.err, "");
  // The log goes to standard error, so that the rows stay clean.
  const Result logged = Run({"convert", "-a", "-", in});
  EXPECT_EQ(logged.status, 0);
  EXPECT_EQ(logged.out, rows);
  EXPECT_NE(logged.err.find("Extraction Complete for " + in), std::string::npos);
  EXPECT_FALSE(fs::exists("-"));
  EXPECT_FALSE(fs::exists(dir / "-"));
}

TEST_F(CommandLineTest, WindowWithoutADisplaySaysWhatToDo) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"page.html"}, {"view", (kData / "one-table.html").string()}}) {
    const Result r = Run(args, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "corvane: the window needs a display, and none is set (DISPLAY or WAYLAND_DISPLAY)\n"
              "To convert without a window: corvane convert (-o DIR | -a FILE) PATH...\n"
              "See 'corvane convert --help'.\n");
  }
}

TEST_F(CommandLineTest, CsvAndXlsxAsABrowserShowsTheCells) {
  const std::string one = (kData / "one-table.html").string();
  const std::string three = (kData / "three-tables.html").string();
  Result r = Run({"convert", "-q", "--format", "csv", "-o", (dir / "o").string(), one, three});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "o" / "one-table.html.csv"), "\xEF\xBB\xBFName,Qty\r\nBolts,12\r\nNuts\xC2\xA0,7\r\n");
  EXPECT_EQ(ReadFile(dir / "o" / "three-tables.html.csv"), "\xEF\xBB\xBF" "first\r\n\r\nsecond\r\n\r\nthird\r\n");
  // Appending: the byte-order mark starts the file once, and an empty line parts the tables.
  for (int run = 0; run < 2; ++run) {
    r = Run({"convert", "-q", "--trim", "--format=csv", "--tables", "2", "-a", (dir / "all.csv").string(), three});
    EXPECT_EQ(r.status, 0) << r.err;
  }
  EXPECT_EQ(ReadFile(dir / "all.csv"), "\xEF\xBB\xBFsecond\r\n\r\nsecond\r\n");

  r = Run({"convert", "-q", "--trim", "--format", "xlsx", "-o", (dir / "x").string(), one, three});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string script = temp.Write("read.py",
                                        "import openpyxl, sys\n"
                                        "for path in sys.argv[1:]:\n"
                                        "    book = openpyxl.load_workbook(path)\n"
                                        "    for sheet in book.worksheets:\n"
                                        "        print(sheet.title, [[c.value for c in row] for row in sheet.iter_rows()])\n");
  const std::string command = "/usr/bin/python3 " + Quote(script) + " " + Quote((dir / "x" / "one-table.html.xlsx").string()) +
                              " " + Quote((dir / "x" / "three-tables.html.xlsx").string()) + " >" +
                              Quote((dir / "read").string()) + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadFile(dir / "read"),
            "Table 1 [['Name', 'Qty'], ['Bolts', 12], ['Nuts', 7]]\n"
            "Table 1 [['first']]\nTable 2 [['second']]\nTable 3 [['third']]\n");

  // One workbook for the whole job, written when it ends, and only when it succeeds.
  r = Run({"convert", "-q", "--format", "xlsx", "-a", (dir / "all.xlsx").string(), one, three});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string names = "/usr/bin/python3 -c \"import openpyxl, sys; print(openpyxl.load_workbook(sys.argv[1]).sheetnames)\" " +
                            Quote((dir / "all.xlsx").string()) + " >" + Quote((dir / "names").string()) + " 2>&1";
  EXPECT_EQ(std::system(names.c_str()), 0);
  EXPECT_EQ(ReadFile(dir / "names"),
            "['one-table.html 1', 'three-tables.html 1', 'three-tables.html 2', 'three-tables.html 3']\n");
  const std::string before = ReadFile(dir / "all.xlsx");
  r = Run({"convert", "-q", "--format", "xlsx", "-a", (dir / "all.xlsx").string(), one, (dir / "missing.html").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ReadFile(dir / "all.xlsx"), before) << "a failed job leaves the earlier workbook";
  EXPECT_EQ(std::count_if(fs::directory_iterator(dir), fs::directory_iterator(),
                          [](const fs::directory_entry& e) { return e.path().filename().string().rfind(".corvane-", 0) == 0; }),
            0);

  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"convert", "--format", "pdf", "-o", "x", one}, "corvane: --format takes xls, xlsx, csv or jsonl"},
      {{"convert", "--format", "xlsx", "-a", "-", one}, "corvane: --format xlsx cannot write to standard output"},
  };
  for (const auto& [args, message] : refused) {
    r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, message + "\nTry 'corvane --help' for more information.\n");
  }
}

TEST_F(CommandLineTest, LocaleNumbersInXlsxFollowThePagesLanguageElseTheUsers) {
  const std::string german = temp.Write("de.html",
                                        "<html lang=\"de\"><table><tr><th>A<th>B<tr><td>1.204<td>1,5"
                                        "<tr><td>12%<td>(12)<tr><td>002<td>12.03.2024</table>");
  const std::string plain = temp.Write("none.html", "<table><tr><td>1 234,5<td>1,204<td>=1+1</table>");
  const std::string script = temp.Write("read.py",
                                        "import openpyxl, sys\n"
                                        "for path in sys.argv[1:]:\n"
                                        "    for sheet in openpyxl.load_workbook(path).worksheets:\n"
                                        "        print([[(c.value, c.number_format) for c in row] for row in sheet.iter_rows()])\n");
  auto read = [&](const std::string& folder) {
    const std::string command = "/usr/bin/python3 " + Quote(script) + " " + Quote((dir / folder / "de.html.xlsx").string()) +
                                " " + Quote((dir / folder / "none.html.xlsx").string()) + " >" + Quote((dir / "read").string()) +
                                " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return ReadFile(dir / "read");
  };
  // The page without a language is read as the user's locale writes numbers (French here).
  Result r = Run({"convert", "-q", "--format", "xlsx", "--numbers", "locale", "-o", (dir / "l").string(), german, plain},
                 "LC_ALL= LC_NUMERIC=fr_FR.UTF-8 ");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read("l"),
            "[[('A', 'General'), ('B', 'General')], [(1204, '#,##0'), (1.5, '0.0')], [(0.12, '0%'), (-12, '0;(0)')], "
            "[('002', 'General'), ('12.03.2024', 'General')]]\n"
            "[[(1234.5, '#,##0.0'), (1.204, '0.000'), ('=1+1', 'General')]]\n");
  r = Run({"convert", "-q", "--format=xlsx", "--numbers=exact", "-o", (dir / "e").string(), german, plain},
          "LC_ALL= LC_NUMERIC=fr_FR.UTF-8 ");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read("e"),
            "[[('A', 'General'), ('B', 'General')], [(1.204, 'General'), ('1,5', 'General')], "
            "[('12%', 'General'), ('(12)', 'General')], [('002', 'General'), ('12.03.2024', 'General')]]\n"
            "[[('1 234,5', 'General'), ('1,204', 'General'), ('=1+1', 'General')]]\n");

  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"convert", "--numbers", "locale", "-o", "x", plain}, "corvane: --numbers needs --format xlsx (csv and jsonl cells are the page's text)"},
      {{"convert", "--format", "csv", "--numbers=exact", "-o", "x", plain}, "corvane: --numbers needs --format xlsx (csv and jsonl cells are the page's text)"},
      {{"convert", "--format", "xlsx", "--numbers", "german", "-o", "x", plain}, "corvane: --numbers takes exact or locale"},
  };
  for (const auto& [args, message] : refused) {
    r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, message + "\nTry 'corvane --help' for more information.\n");
  }
}

TEST_F(CommandLineTest, LargeTableAmongSmallOnesInCsvAndXlsx) {
  // The middle table is large enough to be written as it is read; the order and the separators of the
  // tables stay as for small ones.
  const std::string text(220, 'w');
  std::string page = "<table><tr><td>small 1</table>\n<table>";
  std::string rows;
  for (int row = 1; row <= 40000; ++row) {
    page += "<tr><td>" + std::to_string(row) + "<td>" + text + "\n";
    rows += std::to_string(row) + "," + text + "\r\n";
  }
  page += "</table>\n<table><tr><td>small 3</table>\n";
  ASSERT_GT(page.size(), std::size_t{8} << 20);
  const std::string input = temp.Write("large.html", page);
  Result r = Run({"convert", "-q", "--format", "csv", "-o", (dir / "o").string(), input});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadFile(dir / "o" / "large.html.csv") == "\xEF\xBB\xBFsmall 1\r\n\r\n" + rows + "\r\nsmall 3\r\n");

  r = Run({"convert", "-q", "--format", "xlsx", "-o", (dir / "x").string(), input});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string script = temp.Write("read.py",
                                        "import re, sys, zipfile\n"
                                        "z = zipfile.ZipFile(sys.argv[1])\n"
                                        "print(re.findall(r'name=\"([^\"]*)\"', z.read('xl/workbook.xml').decode()))\n"
                                        "for k in (1, 2, 3):\n"
                                        "    x = z.read('xl/worksheets/sheet%d.xml' % k).decode()\n"
                                        "    print(x.count('<row '), re.findall(r'<v>([^<]*)</v>|<t>([^<]{0,9})', x)[-1])\n");
  const std::string command = "/usr/bin/python3 " + Quote(script) + " " + Quote((dir / "x" / "large.html.xlsx").string()) +
                              " >" + Quote((dir / "read").string()) + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadFile(dir / "read"),
            "['Table 1', 'Table 2', 'Table 3']\n"
            "1 ('', 'small 1')\n"
            "40000 ('', 'wwwwwwwww')\n"
            "1 ('', 'small 3')\n");
}

TEST_F(CommandLineTest, CsvAndXlsxReadTablesWithThePagesLineBreaksInEveryMode) {
  const std::string tables =
      "<table><tr><td>always\navailable</td><td><pre>line 1\nline 2</pre></td></tr></table>\n"
      "<table><tr><td><a>TVal1</a>\n, <a>TVal2</a></td></tr></table>\n"
      "<table><tr><td><table><tr><td>1</td></tr></table></td></tr></table>\n"
      "<table><tr><td>a<!-- x</td></tr></table>\n";
  std::string padding;
  for (int line = 0; line < 3000; ++line) padding += "<p>" + std::string(96, 'p') + "</p>\n";
  const std::string page = temp.Write("page.html", tables);
  const std::string large = temp.Write("large.html", padding + tables);  // written beside the scan
  const std::string csv = "\xEF\xBB\xBF" "always available,\"line 1\nline 2\"\r\n\r\n\"TVal1 , TVal2\"\r\n\r\n1\r\n\r\na\r\n";
  const std::vector<std::pair<std::vector<std::string>, fs::path>> modes = {
      {{"convert", "--format", "csv", "-o", (dir / "o").string(), page}, dir / "o" / "page.html.csv"},
      {{"convert", "-q", "--format", "csv", "-o", (dir / "q").string(), page}, dir / "q" / "page.html.csv"},
      {{"convert", "-q", "--format", "csv", "-o", (dir / "q").string(), large}, dir / "q" / "large.html.csv"},
      {{"convert", "-q", "--format", "csv", "-a", (dir / "all.csv").string(), page}, dir / "all.csv"},
  };
  for (const auto& [args, output] : modes) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(output), csv) << output;
  }

  // Sheets are named by the table's number in the page, whichever tables are written.
  const std::string script = temp.Write("read.py",
                                        "import openpyxl, sys\n"
                                        "for sheet in openpyxl.load_workbook(sys.argv[1]).worksheets:\n"
                                        "    print(sheet.title, [[c.value for c in row] for row in sheet.iter_rows()])\n");
  auto read = [&](const fs::path& workbook) {
    const std::string command = "/usr/bin/python3 " + Quote(script) + " " + Quote(workbook.string()) + " >" +
                                Quote((dir / "read").string()) + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return ReadFile(dir / "read");
  };
  Result r = Run({"convert", "-q", "--format", "xlsx", "-o", (dir / "x").string(), large});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read(dir / "x" / "large.html.xlsx"),
            "Table 1 [['always available', 'line 1\\nline 2']]\nTable 2 [['TVal1 , TVal2']]\nTable 3 [[1]]\nTable 4 [['a']]\n");
  r = Run({"convert", "-q", "--format", "xlsx", "--tables", "2,4", "-o", (dir / "x").string(), page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read(dir / "x" / "page.html.xlsx"), "Table 2 [['TVal1 , TVal2']]\nTable 4 [['a']]\n");
  r = Run({"convert", "-q", "--format", "xlsx", "--tables", "2", "-a", (dir / "all.xlsx").string(), page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read(dir / "all.xlsx"), "page.html 2 [['TVal1 , TVal2']]\n");
}

TEST_F(CommandLineTest, JsonlGivesALinePerTableInEveryMode) {
  const std::string tables =
      "<table><tr><td>always\navailable</td><td><pre>line 1\nline 2</pre></td></tr></table>\n"
      "<table><tr><td colspan=2>\"q\" \\ &#1;</td><tr><td>a<td>b</table>\n";
  std::string padding;
  for (int line = 0; line < 3000; ++line) padding += "<p>" + std::string(96, 'p') + "</p>\n";
  const std::string page = temp.Write("page.html", tables);
  const std::string large = temp.Write("large.html", padding + tables);
  auto lines = [](const std::string& file) {
    return "{\"file\":\"" + file + "\",\"table\":1,\"rows\":[[\"always available\",\"line 1\\nline 2\"]]}\n"
           "{\"file\":\"" + file + "\",\"table\":2,\"rows\":[[\"\\\"q\\\" \\\\ \xef\xbf\xbd\",\"\"],[\"a\",\"b\"]]}\n";
  };
  const std::vector<std::tuple<std::vector<std::string>, fs::path, std::string>> modes = {
      {{"convert", "--format", "jsonl", "-o", (dir / "o").string(), page}, dir / "o" / "page.html.jsonl", lines(page)},
      {{"convert", "-q", "--format=jsonl", "-o", (dir / "q").string(), large}, dir / "q" / "large.html.jsonl", lines(large)},
      {{"convert", "-q", "--format", "jsonl", "-a", (dir / "all.jsonl").string(), page, large}, dir / "all.jsonl",
       lines(large) + lines(page)},
      {{"convert", "-q", "--format", "jsonl", "--tables", "2", "-a", (dir / "all.jsonl").string(), page}, dir / "all.jsonl",
       lines(large) + lines(page) + lines(page).substr(lines(page).find('\n') + 1)},
  };
  for (const auto& [args, output, expected] : modes) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(output), expected) << output;
  }
  const std::string before = ReadFile(dir / "all.jsonl");
  Result r = Run({"convert", "-q", "--format", "jsonl", "-a", (dir / "all.jsonl").string(), page, (dir / "missing.html").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ReadFile(dir / "all.jsonl"), before + lines(page)) << "the page that converted stays, the missing one adds nothing";
  r = Run({"convert", "-q", "--format", "jsonl", "-a", "-", page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, lines(page));

  // A large table among small ones, and a grid far larger than its page, are written as they are read.
  std::string big = "<table><tr><td>small 1</table>\n<table>";
  std::string rows;
  for (int row = 1; row <= 40000; ++row) {
    big += "<tr><td>" + std::to_string(row) + "<td>" + std::string(220, 'w') + "\n";
    rows += std::string(row > 1 ? "," : "") + "[\"" + std::to_string(row) + "\",\"" + std::string(220, 'w') + "\"]";
  }
  big += "</table>\n<table><tr>";
  for (int k = 0; k < 17; ++k) big += "<td colspan=1000 rowspan=400>w";
  for (int row = 1; row < 301; ++row) big += "<tr>";
  big += "</table>\n";
  const std::string bigFile = temp.Write("big.html", big);
  r = Run({"convert", "-q", "--format", "jsonl", "-o", (dir / "b").string(), bigFile});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string json = ReadFile(dir / "b" / "big.html.jsonl");
  const std::string start = "{\"file\":\"" + bigFile + "\",\"table\":";
  const std::string first = start + "1,\"rows\":[[\"small 1\"]]}\n" + start + "2,\"rows\":[" + rows + "]}\n";
  EXPECT_TRUE(json.substr(0, first.size()) == first);
  std::string wide = "[";
  for (int column = 0; column < 16384; ++column) wide += std::string(column > 0 ? "," : "") + (column % 1000 == 0 ? "\"w\"" : "\"\"");
  wide += "]";
  std::string empty = "[\"\"";
  for (int column = 1; column < 16384; ++column) empty += ",\"\"";
  empty += "]";
  std::string grid = start + "3,\"rows\":[" + wide;
  for (int row = 1; row < 301; ++row) grid += "," + empty;
  EXPECT_TRUE(json.substr(first.size()) == grid + "]}\n");
}

// The lines of a JSON Lines output, each cut after its source's fields: what the table is, from "table".
std::vector<std::string> TableParts(const std::string& jsonl, std::vector<std::string>* sources = nullptr) {
  std::vector<std::string> parts;
  for (std::size_t at = 0; at < jsonl.size();) {
    const std::size_t end = jsonl.find('\n', at);
    const std::string line = jsonl.substr(at, end - at);
    const std::size_t table = line.find(",\"table\":");
    parts.push_back(line.substr(table));
    if (sources) sources->push_back(line.substr(0, table));
    at = end + 1;
  }
  return parts;
}

TEST_F(CommandLineTest, WebArchivePagesConvertAsTheirFilesDo) {
  // Every test page, sent in turn plain, chunked and gzipped, and deflated, among records that are no pages.
  std::vector<std::string> pages;
  for (const fs::path& folder : {kData, kData / "fidelity"})
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().extension() == ".html") pages.push_back(entry.path().string());
  std::sort(pages.begin(), pages.end());
  ASSERT_GE(pages.size(), 20u);
  std::vector<std::string> records = {corvane::test::WarcRecord("warcinfo", "", "format: test\r\n", 0)};
  std::vector<std::string> expectedSources;
  const fs::path archive = dir / "crawl.warc.gz";
  for (std::size_t k = 0; k < pages.size(); ++k) {
    corvane::test::THttpSending sending;
    if (k % 3 == 1) sending.Chunked = true, sending.Encoding = "gzip";
    if (k % 3 == 2) sending.Encoding = "deflate";
    const std::string url = "http://example.test/" + fs::path(pages[k]).filename().string();
    const int number = static_cast<int>(k) + 1;
    records.push_back(corvane::test::WarcRecord("request", url, "GET / HTTP/1.1\r\n\r\n", 1000 + number));
    records.push_back(corvane::test::WarcRecord("response", url, corvane::test::HttpResponse(ReadFile(pages[k]), sending), number));
    expectedSources.push_back("{\"file\":\"" + archive.string() + "\",\"url\":\"" + url + "\",\"record\":\"<urn:uuid:" +
                              std::to_string(number) + ">\",\"date\":\"2024-05-0" + std::to_string(number % 9 + 1) +
                              "T10:00:00Z\"");
  }
  records.push_back(corvane::test::WarcRecord("response", "http://example.test/i.png",
                                              corvane::test::HttpResponse("<table><tr><td>no</table>", {"image/png", false, ""}), 9999));
  std::vector<std::string> args = {"convert", "-q", "--format", "jsonl", "-a", (dir / "files.jsonl").string()};
  args.insert(args.end(), pages.begin(), pages.end());
  Result r = Run(args);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> files = TableParts(ReadFile(dir / "files.jsonl"));
  ASSERT_GE(files.size(), 20u);
  for (bool gzip : {true, false}) {
    const fs::path path = gzip ? archive : dir / "crawl.warc";
    std::ofstream(path, std::ios::binary) << corvane::test::WarcArchive(records, gzip);
    for (const std::string quiet : {"--trim", "-q"}) {
      r = Run({"convert", quiet, "--format", "jsonl", "-o", (dir / "out").string(), path.string()});
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.err, "");
      std::vector<std::string> sources;
      const std::vector<std::string> tables = TableParts(ReadFile(dir / "out" / (path.filename().string() + ".jsonl")), &sources);
      if (quiet == "--trim") {
        // The log's mode: each archive's count of records, pages and tables.
        EXPECT_NE(r.out.find("Records read : " + std::to_string(records.size()) + ", pages: " +
                             std::to_string(pages.size()) + ", tables: " + std::to_string(files.size())),
                  std::string::npos)
            << r.out;
        continue;
      }
      EXPECT_EQ(tables, files) << path;
      // Each table names its page's record, in the archive's order.
      std::vector<std::string> expected;
      std::set<std::string> seen(sources.begin(), sources.end());
      for (std::string source : expectedSources) {
        if (!gzip) source.replace(source.find(archive.string()), archive.string().size(), path.string());
        if (seen.count(source)) expected.push_back(source);
      }
      sources.erase(std::unique(sources.begin(), sources.end()), sources.end());
      EXPECT_EQ(sources, expected);
    }
  }

  // CSV: the rows of every table, each led by its page's address and the table's number; --tables
  // applies to each page.
  const std::string page = "<table><tr><td>a<td>b, c</table><table><tr><td>x<tr><td>y</table>";
  const std::string small = (dir / "small.warc").string();
  std::ofstream(small, std::ios::binary) << corvane::test::WarcArchive(
      {corvane::test::WarcRecord("response", "http://a.test/1", corvane::test::HttpResponse(page), 1),
       corvane::test::WarcRecord("response", "http://a.test/\"2\"", corvane::test::HttpResponse(page + page), 2)},
      false);
  r = Run({"convert", "-q", "--format", "csv", "-o", (dir / "csv").string(), small});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "csv" / "small.warc.csv"),
            "\xEF\xBB\xBFhttp://a.test/1,1,a,\"b, c\"\r\nhttp://a.test/1,2,x\r\nhttp://a.test/1,2,y\r\n"
            "\"http://a.test/\"\"2\"\"\",1,a,\"b, c\"\r\n\"http://a.test/\"\"2\"\"\",2,x\r\n\"http://a.test/\"\"2\"\"\",2,y\r\n"
            "\"http://a.test/\"\"2\"\"\",3,a,\"b, c\"\r\n\"http://a.test/\"\"2\"\"\",4,x\r\n\"http://a.test/\"\"2\"\"\",4,y\r\n");
  r = Run({"convert", "-q", "--format", "csv", "--tables", "2,3", "-a", "-", small});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "http://a.test/1,2,x\r\nhttp://a.test/1,2,y\r\n\"http://a.test/\"\"2\"\"\",2,x\r\n"
                   "\"http://a.test/\"\"2\"\"\",2,y\r\n\"http://a.test/\"\"2\"\"\",3,a,\"b, c\"\r\n");

  // The spreadsheet formats refuse archives before any work.
  for (const std::string format : {"xls", "xlsx"}) {
    r = Run({"convert", "--format", format, "-o", (dir / "refused").string(), (dir / "one-table.html").string(), small});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "corvane: cannot convert the web archive " + small + " to " + format +
                         ": archives need --format jsonl or csv\n");
  }
  EXPECT_FALSE(fs::exists(dir / "refused" / "small.warc.xls"));
  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--byte-range", "9-9", small}, "--byte-range takes START-END, byte offsets with START below END"},
           {{"--byte-range", "-9", small}, "--byte-range takes START-END, byte offsets with START below END"},
           {{"--byte-range=1-", small}, "--byte-range takes START-END, byte offsets with START below END"},
           {{"--byte-range", "1-x", small}, "--byte-range takes START-END, byte offsets with START below END"},
           {{"--byte-range", "0-9", small, (dir / "crawl.warc.gz").string()},
            "--byte-range reads plain .warc archives only, not " + (dir / "crawl.warc.gz").string()}}) {
    std::vector<std::string> command = {"convert", "-q", "--format", "jsonl", "-o", (dir / "refused").string()};
    command.insert(command.end(), args.begin(), args.end());
    r = Run(command);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_TRUE(r.err.starts_with("corvane: " + message + "\n")) << r.err;
  }
  // Two ranges that meet give the archive's lines once.
  const fs::path plain = dir / "crawl.warc";
  const std::string whole = ReadFile(dir / "out" / "crawl.warc.jsonl");
  const std::string middle = std::to_string(fs::file_size(plain) / 2);
  r = Run({"convert", "-q", "--format", "jsonl", "--byte-range", "0-" + middle, "-a", (dir / "parts.jsonl").string(), plain.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  r = Run({"convert", "-q", "--format", "jsonl", "--byte-range", middle + "-999999999", "-a", (dir / "parts.jsonl").string(), plain.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "parts.jsonl"), whole);
  EXPECT_NE(whole, "");
}

TEST_F(CommandLineTest, ADamagedArchiveKeepsWhatItCouldReadAndFails) {
  const auto page = [](int n) {
    return corvane::test::WarcRecord("response", "http://a.test/" + std::to_string(n),
                                     corvane::test::HttpResponse("<table><tr><td>" + std::to_string(n) + "</table>"), n);
  };
  const std::string first = page(1);
  std::string bad = page(2);
  bad.replace(bad.find("Content-Length: ") + 16, 2, "99");
  const std::string archive = corvane::test::WarcArchive({first, bad, page(3), page(4)}, true);
  const std::string path = temp.Write("bad.warc.gz", archive.substr(0, archive.size() - 30));
  const Result r = Run({"convert", "-q", "--format", "jsonl", "-o", (dir / "out").string(), path});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "corvane: " + path + ": the record at byte " + std::to_string(first.size()) +
                       " does not end where its length says, skipped\n"
                       "corvane: " + path + ": the archive ends inside a gzip member at byte " +
                       std::to_string(archive.size() - corvane::test::Deflated(page(4)).size()) + "\n"
                       "corvane: " + path + ": the archive ends inside the record at byte " +
                       std::to_string(first.size() + bad.size() + page(3).size()) + "\n"
                       "corvane: 3 damaged records or gzip members skipped in " + path + "\n");
  std::vector<std::string> sources;
  EXPECT_EQ(TableParts(ReadFile(dir / "out" / "bad.warc.gz.jsonl"), &sources),
            (std::vector<std::string>{",\"table\":1,\"rows\":[[\"1\"]]}", ",\"table\":1,\"rows\":[[\"3\"]]}"}));
}

TEST_F(CommandLineTest, LinksAreHyperlinksInXlsxAndColumnsWithLinks) {
  const std::string table =
      "<table><tr><th>Name<th><a href=h.html>Site</a><tr><td><a href=\"a b.html\">Alpha</a><td><a href=mailto:m@h.org>m</a>"
      "<tr><td>Beta <a href=b.html>b</a><td><a href=\"javascript:go()\">js</a></table>\n";
  const std::string local = temp.Write("local.html", table);
  const std::string based = temp.Write("based.html", "<head><base href=\"http://h.org/d/\"></head>" + table);
  const std::string file = "file://" + (dir / "").string();
  Result r = Run({"convert", "-q", "--format", "csv", "--links", "-o", (dir / "c").string(), local, based});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "c" / "local.html.csv"), "\xEF\xBB\xBFName,Name (link),Site,Site (link)\r\nAlpha," + file +
                                                        "a%20b.html,m,mailto:m@h.org\r\nBeta b,,js,\r\n");
  EXPECT_EQ(ReadFile(dir / "c" / "based.html.csv"),
            "\xEF\xBB\xBFName,Name (link),Site,Site (link)\r\nAlpha,http://h.org/d/a%20b.html,m,mailto:m@h.org\r\nBeta b,,js,\r\n");
  r = Run({"convert", "-q", "--format", "jsonl", "--links", "-a", "-", based});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "{\"file\":\"" + based + "\",\"table\":1,\"rows\":[[\"Name\",\"Name (link)\",\"Site\",\"Site (link)\"],"
                   "[\"Alpha\",\"http://h.org/d/a%20b.html\",\"m\",\"mailto:m@h.org\"],[\"Beta b\",\"\",\"js\",\"\"]]}\n");

  r = Run({"convert", "-q", "--format", "xlsx", "-o", (dir / "x").string(), local, based});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string script = temp.Write("read.py",
                                        "import openpyxl, sys\n"
                                        "for path in sys.argv[1:]:\n"
                                        "    for row in openpyxl.load_workbook(path).active.iter_rows():\n"
                                        "        print([(c.value, c.hyperlink.target if c.hyperlink else None, c.font.b, c.font.u) for c in row])\n");
  const std::string command = "/usr/bin/python3 " + Quote(script) + " " + Quote((dir / "x" / "local.html.xlsx").string()) + " " +
                              Quote((dir / "x" / "based.html.xlsx").string()) + " >" + Quote((dir / "read").string()) + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadFile(dir / "read"),
            "[('Name', None, True, None), ('Site', '" + file + "h.html', True, None)]\n"
            "[('Alpha', '" + file + "a%20b.html', False, 'single'), ('m', 'mailto:m@h.org', False, 'single')]\n"
            "[('Beta b', None, False, None), ('js', None, False, None)]\n"
            "[('Name', None, True, None), ('Site', 'http://h.org/d/h.html', True, None)]\n"
            "[('Alpha', 'http://h.org/d/a%20b.html', False, 'single'), ('m', 'mailto:m@h.org', False, 'single')]\n"
            "[('Beta b', None, False, None), ('js', None, False, None)]\n");

  for (const std::string format : {"xls", "xlsx"}) {
    r = Run({"convert", "--links", "--format", format, "-o", (dir / "n").string(), local});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "corvane: --links needs --format csv or jsonl (an xlsx cell that is one link is a hyperlink)\n"
              "Try 'corvane --help' for more information.\n");
  }
}

TEST_F(CommandLineTest, WhatATableLosesToFitIsSaidOnStandardErrorAndInTheLog) {
  std::string wide = "<table><tr><td>first</table>\n<table><tr>";
  for (int k = 0; k < 16384 + 3; ++k) wide += "<td>x";
  const std::string input = temp.Write("wide.html", wide + "</table>\n");
  const std::string notice = input + ", table 2: 3 cells past column 16384 left out";
  for (const std::string format : {"csv", "xlsx"}) {
    Result r = Run({"convert", "--format", format, "-o", (dir / "o").string(), input});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "corvane: " + notice + "\n") << format;
    EXPECT_NE(r.out.find("\n" + notice + "\n"), std::string::npos) << format;
    r = Run({"convert", "-q", "--format", format, "-o", (dir / "o").string(), input});
    EXPECT_EQ(r.err, "corvane: " + notice + "\n") << format;
  }
}

TEST_F(CommandLineTest, CsvOfAGridFarLargerThanItsPageIsWrittenAsItIsRead) {
  // 17 wide cells spanning 301 rows: almost five million places from a few kilobytes.
  std::string page = "<table><tr><td>before</table>\n<table><tr>";
  for (int k = 0; k < 17; ++k) page += "<td colspan=1000 rowspan=400>w";
  for (int row = 1; row < 301; ++row) page += "<tr>";
  page += "</table>\n<table><tr><td>after</table>\n";
  std::string first;
  for (int column = 0; column < 16384; ++column) first += std::string(column > 0 ? "," : "") + (column % 1000 == 0 ? "w" : "");
  std::string grid = first + "\r\n";
  for (int row = 1; row < 301; ++row) grid += std::string(16383, ',') + "\r\n";
  const Result r = Run({"convert", "-q", "--format", "csv", "-o", (dir / "o").string(), temp.Write("wide.html", page)});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadFile(dir / "o" / "wide.html.csv") == "\xEF\xBB\xBF" "before\r\n\r\n" + grid + "\r\nafter\r\n");
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

namespace {

// The width and height in the header of a PNG file; zero when it is none.
std::pair<int, int> PngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto word = [&bytes](std::size_t at) {
    return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
           (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
  };
  return {word(16), word(20)};
}

// The pixels of a PNG file as 0xRRGGBB, row by row; empty when it cannot be read.
std::vector<std::uint32_t> PngPixels(const std::string& path, int& width) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return {};
  width = static_cast<int>(image.width);
  std::vector<std::uint32_t> pixels;
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3)
    pixels.push_back(std::uint32_t{bytes[i]} << 16 | std::uint32_t{bytes[i + 1]} << 8 | bytes[i + 2]);
  return pixels;
}

TEST_F(CommandLineTest, RenderDrawsPicturesAndPlaceholders) {
  // A GIF of one red pixel beside the page; another picture is missing.
  temp.Write("red.gif", std::string("GIF89a\x01\0\x01\0\x80\0\0\xff\0\0\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02" "D\x01\0;", 35));
  const fs::path page = temp.Write("pictures.html", "<img src=red.gif width=20 height=10><img src=gone.gif>");
  const Result r = Run({"render", page.string(), "-o", (dir / "p.png").string(), "--width", "100"});
  ASSERT_EQ(r.status, 0) << r.err;
  int width = 0;
  const std::vector<std::uint32_t> pixels = PngPixels((dir / "p.png").string(), width);
  ASSERT_EQ(width, 100);
  ASSERT_EQ(PngSize(ReadFile(dir / "p.png")), std::make_pair(100, 5 + 24 + 5));
  auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; };
  // Body margins 10 and 5; both stand on the line's bottom, which the 24-pixel placeholder box sets.
  EXPECT_EQ(at(10, 5 + 24 - 10), 0xFF0000u);
  EXPECT_EQ(at(29, 5 + 24 - 1), 0xFF0000u);
  EXPECT_EQ(at(9, 20), 0xFFFFFFu);
  EXPECT_EQ(at(10, 5 + 24 - 11), 0xFFFFFFu);
  EXPECT_NE(at(30, 5), 0xFFFFFFu) << "the placeholder's frame";
}

TEST_F(CommandLineTest, RenderPaintsThePageIntoAPng) {
  const fs::path page = temp.Write("page.html", "<p>Hello, world</p>");
  const Result r = Run({"render", page.string(), "-o", (dir / "page.png").string(), "--width", "300"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  // The body margin of 5 above a line of 17; below it the paragraph space of 14 collapses with the
  // body margin of 5.
  EXPECT_EQ(PngSize(ReadFile(dir / "page.png")), std::make_pair(300, 36));

  std::string tall;
  for (int i = 0; i < 3000; ++i) tall += "<p>line " + std::to_string(i) + "\n";
  const fs::path tallPage = temp.Write("tall.html", tall);
  const Result t = Run({"render", tallPage.string(), "-o", (dir / "tall.png").string()});
  EXPECT_EQ(t.status, 0) << t.err;
  EXPECT_EQ(PngSize(ReadFile(dir / "tall.png")), std::make_pair(800, 5 + 3000 * 17 + 2999 * 14 + 14));
}

TEST_F(CommandLineTest, RenderTableShowsOneInnermostTableAlone) {
  const fs::path page = temp.Write("tables.html",
                                   "<p>Intro</p>\n<table><tr><td><table><tr><td>a</td></tr></table></td>\n"
                                   "<td><table><tr><td>b<br>c</td></tr></table></td></tr></table>\n");
  const Result r = Run({"render", page.string(), "-o", (dir / "t.png").string(), "--width", "200", "--table", "2"});
  EXPECT_EQ(r.status, 0) << r.err;
  // Body margins of 5, cell spacing 2 and padding 1 around two lines of 17.
  EXPECT_EQ(PngSize(ReadFile(dir / "t.png")), std::make_pair(200, 5 + 2 + 1 + 2 * 17 + 1 + 2 + 5));

  const Result none = Run({"render", page.string(), "-o", (dir / "n.png").string(), "--table=3"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "corvane: " + page.string() + " has 2 tables, no table 3\n");
  EXPECT_FALSE(fs::exists(dir / "n.png"));
}

// What poppler's tools say of a PDF: its text laid out, and its information.
std::string ToolOutput(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    ::pclose(pipe);
  }
  return output;
}

std::string PdfText(const fs::path& pdf) { return ToolOutput("pdftotext -layout " + Quote(pdf.string()) + " - 2>/dev/null"); }

std::string PdfInfoLine(const fs::path& pdf, const std::string& key) {
  const std::string info = ToolOutput("pdfinfo " + Quote(pdf.string()) + " 2>/dev/null");
  const std::size_t at = info.find(key + ":");
  if (at == std::string::npos) return {};
  std::size_t value = info.find_first_not_of(' ', at + key.size() + 1);
  return info.substr(value, info.find('\n', value) - value);
}

// The lines of text that hold something, their spaces squeezed, the form feeds between pages kept as
// lines of their own.
std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  auto flush = [&] {
    std::string squeezed;
    for (char c : line) {
      if (c == ' ' && (squeezed.empty() || squeezed.back() == ' ')) continue;
      squeezed += c;
    }
    while (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
    if (!squeezed.empty()) lines.push_back(squeezed);
    line.clear();
  };
  for (char c : text) {
    if (c == '\f') {
      flush();
      lines.push_back("<page>");
    } else if (c == '\n') {
      flush();
    } else {
      line += c;
    }
  }
  flush();
  return lines;
}

TEST_F(CommandLineTest, RenderPrintsThePageIntoAPdf) {
  if (std::system("command -v pdftotext >/dev/null 2>&1 && command -v pdfinfo >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "pdftotext and pdfinfo (poppler-utils) are not installed";
  std::string rows;
  for (int i = 1; i <= 120; ++i) rows += "<tr><td>row " + std::to_string(i) + "</td><td>v" + std::to_string(i) + "</td></tr>\n";
  const fs::path page = temp.Write(
      "print.html", "<html><head><title>Prices</title></head><body><h1>Price list</h1><p>Before the table</p>\n"
                    "<page><p>After the break</p><table><thead><tr><th>Item</th><th>Value</th></tr></thead>\n" +
                        rows + "</table><p style=\"page-break-before: always\">The end</p></body></html>");
  const fs::path pdf = dir / "print.pdf";
  const Result r = Run({"render", page.string(), "-o", pdf.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(PdfInfoLine(pdf, "Page size"), "595 x 842 pts (A4)");
  EXPECT_EQ(PdfInfoLine(pdf, "Title"), "Prices");
  const int pages = std::atoi(PdfInfoLine(pdf, "Pages").c_str());
  EXPECT_GE(pages, 5);

  // The text in order, page by page (pdftotext ends each page with a form feed): the forced breaks
  // start pages, the pages the table goes on to begin with its head, every row comes once and in order,
  // and each page ends with its footer.
  std::vector<std::vector<std::string>> byPage(1);
  for (const std::string& line : TextLines(PdfText(pdf))) {
    if (line == "<page>") {
      byPage.emplace_back();
    } else {
      byPage.back().push_back(line);
    }
  }
  if (byPage.back().empty()) byPage.pop_back();
  ASSERT_EQ(static_cast<int>(byPage.size()), pages);
  const std::string of = " of " + std::to_string(pages);
  EXPECT_EQ(byPage[0], (std::vector<std::string>{"Price list", "Before the table", "page 1" + of}));
  ASSERT_GE(byPage[1].size(), 2u);
  EXPECT_EQ(byPage[1][0], "After the break");
  EXPECT_EQ(byPage[1][1], "Item Value");
  for (int n = 2; n + 1 < pages; ++n) EXPECT_EQ(byPage[static_cast<std::size_t>(n)].front(), "Item Value") << n;
  EXPECT_EQ(byPage.back(), (std::vector<std::string>{"The end", "page " + std::to_string(pages) + of}));
  int row = 1;
  for (int n = 0; n < pages; ++n) {
    const std::vector<std::string>& lines = byPage[static_cast<std::size_t>(n)];
    EXPECT_EQ(lines.back(), "page " + std::to_string(n + 1) + of);
    for (const std::string& line : lines) {
      if (line.rfind("row ", 0) != 0) continue;
      EXPECT_EQ(line, "row " + std::to_string(row) + " v" + std::to_string(row));
      ++row;
    }
  }
  EXPECT_EQ(row, 121);

  // Another paper, and one table alone.
  const fs::path letter = dir / "letter.PDF";
  const Result t = Run({"render", page.string(), "-o", letter.string(), "--page-size", "letter", "--table", "1"});
  ASSERT_EQ(t.status, 0) << t.err;
  EXPECT_EQ(PdfInfoLine(letter, "Page size"), "612 x 792 pts (letter)");
  const std::vector<std::string> table = TextLines(PdfText(letter));
  EXPECT_NE(std::find(table.begin(), table.end(), "Item Value"), table.end());
  EXPECT_NE(std::find(table.begin(), table.end(), "row 120 v120"), table.end());
  EXPECT_EQ(std::count(table.begin(), table.end(), "Price list"), 0);
}

TEST_F(CommandLineTest, RenderPdfHoldsThePictures) {
  if (std::system("command -v pdfimages >/dev/null 2>&1 && command -v pdftotext >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "pdfimages and pdftotext (poppler-utils) are not installed";
  // A GIF of one red pixel beside the page, drawn twice; a missing picture draws its placeholder only.
  temp.Write("red.gif", std::string("GIF89a\x01\0\x01\0\x80\0\0\xff\0\0\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02" "D\x01\0;", 35));
  const fs::path page =
      temp.Write("pictures.html", "<p>Before <img src=red.gif width=20 height=10> between <img src=red.gif> after "
                                  "<img src=gone.gif></p>");
  const fs::path pdf = dir / "pictures.pdf";
  const Result r = Run({"render", page.string(), "-o", pdf.string(), "--page-size=A5"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PdfInfoLine(pdf, "Page size"), "420 x 595 pts (A5)");
  const std::vector<std::string> images = TextLines(ToolOutput("pdfimages -list " + Quote(pdf.string()) + " 2>/dev/null"));
  // A heading and a rule, the two pictures, then the missing picture's 16-pixel icon with its mask.
  ASSERT_EQ(images.size(), 6u);
  EXPECT_EQ(images[2].substr(0, 18), "1 0 image 1 1 rgb ");
  EXPECT_EQ(images[3].substr(0, 18), "1 1 image 1 1 rgb ");
  EXPECT_EQ(images[4].substr(0, 20), "1 2 image 16 16 rgb ");
  const std::vector<std::string> text = TextLines(PdfText(pdf));
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.front(), "Before between after");
}

TEST_F(CommandLineTest, RenderPdfFailuresLeaveTheTargetAsItWas) {
  const fs::path page = temp.Write("page.html", "<p>x");
  const std::string unwritable = (dir / "no" / "such" / "a.pdf").string();
  const Result noOutput = Run({"render", page.string(), "-o", unwritable});
  EXPECT_EQ(noOutput.status, 1);
  EXPECT_EQ(noOutput.err, "corvane: cannot write " + unwritable + ": No such file or directory\n");

  // A folder in the target's place is not replaced; a missing page writes nothing.
  fs::create_directory(dir / "folder.pdf");
  const Result folder = Run({"render", page.string(), "-o", (dir / "folder.pdf").string()});
  EXPECT_EQ(folder.status, 2);
  EXPECT_TRUE(fs::is_directory(dir / "folder.pdf"));
  temp.Write("kept.pdf", "old");
  const Result missing = Run({"render", (dir / "none.html").string(), "-o", (dir / "kept.pdf").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(ReadFile(dir / "kept.pdf"), "old");
  EXPECT_EQ(Run({"render", page.string(), "-o", page.string() + ".pdf", "--table", "1"}).status, 1) << "no table";
  EXPECT_FALSE(fs::exists(page.string() + ".pdf"));
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"folder.pdf", "kept.pdf", "page.html", "stderr", "stdout"}));
}

TEST_F(CommandLineTest, RenderFailures) {
  const fs::path page = temp.Write("page.html", "<p>x");
  const std::string missing = (dir / "missing.html").string();
  const Result noInput = Run({"render", missing, "-o", (dir / "a.png").string()});
  EXPECT_EQ(noInput.status, 1);
  EXPECT_EQ(noInput.err, "corvane: cannot read " + missing + ": No such file or directory\n");

  const Result folder = Run({"render", dir.string(), "-o", (dir / "a.png").string()});
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "corvane: cannot read " + dir.string() + ": not a regular file\n");

  const Result noPage = Run({"view", (dir / "none.html").string()});
  EXPECT_EQ(noPage.status, 1);
  EXPECT_EQ(noPage.err, "corvane: Can't locate file: " + (dir / "none.html").string() + "\n");

  const std::string unwritable = (dir / "no" / "such" / "a.png").string();
  const Result noOutput = Run({"render", page.string(), "-o", unwritable});
  EXPECT_EQ(noOutput.status, 1);
  EXPECT_EQ(noOutput.err, "corvane: cannot write " + unwritable + ": No such file or directory\n");

  struct TUsage {
    std::vector<std::string> Args;
    std::string Message;
  } const usages[] = {
      {{"render", page.string()}, "render needs -o OUT.png or -o OUT.pdf"},
      {{"render", page.string(), "-o", "x.jpg"}, "render writes a .png or a .pdf file, not x.jpg"},
      {{"render", page.string(), "-o", "x.png.txt"}, "render writes a .png or a .pdf file, not x.png.txt"},
      {{"render", page.string(), "-o", "x.pdf", "--page-size", "B5"}, "--page-size takes A4, Letter, Legal, A3 or A5"},
      {{"render", page.string(), "-o", "x.pdf", "--page-size"}, "--page-size takes A4, Letter, Legal, A3 or A5"},
      {{"render", page.string(), "-o", "x.png", "--page-size=A4"}, "--page-size is for a .pdf file"},
      {{"render", page.string(), "-o", "x.pdf", "--width", "300"},
       "--width and --max-height are for a .png file; a .pdf is laid out to its --page-size"},
      {{"render", page.string(), "-o", "x.png", "--max-pages", "10"}, "--max-pages is for a .pdf file"},
      {{"render", page.string(), "-o", "x.png", "--max-pages=0"}, "--max-pages is for a .pdf file"},
      {{"render", page.string(), "-o", "x.pdf", "--max-pages", "-1"}, "--max-pages takes a number of pages, 0 for no limit"},
      {{"render", page.string(), "-o", "x.pdf", "--max-pages=many"}, "--max-pages takes a number of pages, 0 for no limit"},
      {{"render", page.string(), "-o", "x.pdf", "--max-pages", "5x"}, "--max-pages takes a number of pages, 0 for no limit"},
      {{"render", page.string(), "-o", "x.pdf", "--max-pages"}, "--max-pages takes a number of pages, 0 for no limit"},
      {{"render", "-o", "x.png"}, "render needs a FILE"},
      {{"render", page.string(), "-o", "x.png", "--width", "0"}, "--width takes a number of pixels from 1 to 6000"},
      {{"render", page.string(), "-o", "x.png", "--width", "wide"}, "--width takes a number of pixels from 1 to 6000"},
      {{"render", page.string(), page.string(), "-o", "x.png"}, "render takes one FILE"},
      {{"render", page.string(), "-o", "x.png", "-x"}, "unknown option '-x'"},
      {{"render", page.string(), "-o", "x.png", "--table", "0"}, "--table takes a table number counted from 1"},
      {{"render", page.string(), "-o", "x.png", "--max-height", "0"}, "--max-height takes a number of pixels from 1"},
      {{"render", page.string(), "-o", "x.png", "--max-height=-5"}, "--max-height takes a number of pixels from 1"},
      {{"render", page.string(), "-o", "x.png", "--table"}, "--table takes a table number counted from 1"},
      {{"view"}, "view takes one FILE"},
      {{"view", page.string(), page.string()}, "view takes one FILE"},
      {{"view", "-style", "fusion"}, "view takes one FILE"},
      {{"view", page.string(), "--frame"}, "unknown option '--frame'"},
      {{"view", page.string(), "--skin"}, "option '--skin' needs a skin: desktop, light, dark or a .qss file"},
      {{"--skin"}, "option '--skin' needs a skin: desktop, light, dark or a .qss file"},
      {{page.string(), "-platform"}, "option '-platform' needs a value"},
  };
  for (const TUsage& usage : usages) {
    const Result r = Run(usage.Args);
    EXPECT_EQ(r.status, 2) << usage.Message;
    EXPECT_EQ(r.err, "corvane: " + usage.Message + "\nTry 'corvane --help' for more information.\n");
  }
  EXPECT_FALSE(fs::exists("x.png"));
}

}  // namespace
