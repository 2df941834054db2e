#include "app/command_line.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string_view>

#include <QtGlobal>

#include "extract/byte_file.h"
#include "extract/conversion_job.h"
#include "extract/inline_job_host.h"
#include "extract/warc_reader.h"
#include "app/output_format.h"

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "unknown"
#endif

namespace corvane {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "corvane";

constexpr std::string_view kConvertSynopsis =
    "corvane convert (-o DIR | -a FILE) [--format xls|xlsx|csv|jsonl] [--links] [--numbers exact|locale] [--trim] [--tables all|N[,N...]] [--byte-range START-END] [-q] PATH...\n";
constexpr std::string_view kRenderSynopsis =
    "corvane render FILE -o OUT.png [--width N] [--max-height N] [--table N]\n"
    "       corvane render FILE -o OUT.pdf [--page-size A4|Letter|Legal|A3|A5] [--table N]\n";
constexpr std::string_view kViewSynopsis = "corvane view [--skin NAME|FILE] FILE\n";

constexpr std::string_view kUsageHead =
    "Usage:\n"
    "  corvane [--skin NAME|FILE] [FILE...]\n"
    "                                  open the window, with the .htm and .html FILEs in its input list\n"
    "  corvane convert (-o DIR | -a FILE) [--format xls|xlsx|csv|jsonl] [--links]\n"
    "                  [--numbers exact|locale] [--trim] [--tables all|N[,N...]]\n"
    "                  [--byte-range START-END] [-q] PATH...\n"
    "  corvane render FILE -o OUT.png [--width N] [--max-height N] [--table N]\n"
    "  corvane render FILE -o OUT.pdf [--page-size A4|Letter|Legal|A3|A5] [--table N]\n"
    "  corvane view [--skin NAME|FILE] FILE\n"
    "                                  a window with the page as CORVANE's viewer shows it\n"
    "  corvane --help | --version      (and 'corvane COMMAND --help' for one command)\n";

constexpr std::string_view kWhatItDoes =
    "\n"
    "Writes every table of the HTML files that holds no other table to \".xls\" text files that\n"
    "spreadsheets open: one line per table row, each cell in double quotes, cells separated by tabs.\n";

constexpr std::string_view kConvertOptions =
    "\n"
    "Options of convert:\n"
    "  -o, --output-dir DIR    write NAME.EXT.xls for each input file into DIR (created when missing);\n"
    "                          a later input with the same name as an earlier one gets\n"
    "                          NAME.EXT (2).xls, and so on\n"
    "  -a, --append FILE       append the rows of all files to FILE (created when missing; never one of\n"
    "                          the input files); with FILE '-' the rows go to standard output and the\n"
    "                          log to standard error\n"
    "      --format FORMAT     xls (the default): the tab-separated text described above, its bytes as\n"
    "                          the page has them; xlsx: a workbook NAME.EXT.xlsx per file with a sheet\n"
    "                          per table, or with -a one workbook with a sheet per table of every file,\n"
    "                          written when the job ends and only when it succeeded; csv: NAME.EXT.csv\n"
    "                          with the tables one after another (or appended to FILE), UTF-8; jsonl:\n"
    "                          NAME.EXT.jsonl (or appended to FILE), UTF-8, a line per table:\n"
    "                          {\"file\":PATH,\"table\":N,\"rows\":[[TEXT,...],...]}. All three read\n"
    "                          each table as a browser shows it: tags removed, references decoded, the\n"
    "                          page's code page read, white space collapsed, spans merged (xlsx) or left\n"
    "                          empty (csv, jsonl); plain numbers are numbers in xlsx (see --numbers),\n"
    "                          everything else text. In xlsx, header rows are bold and frozen with a\n"
    "                          filter, columns fit their text, and a cell that is one link is a\n"
    "                          hyperlink to its absolute address (resolved against the page's BASE or\n"
    "                          its file)\n"
    "      --links             csv and jsonl: after each column that holds links, a column of their\n"
    "                          addresses, named \"NAME (link)\" in a header row\n"
    "      --numbers exact|locale  xlsx: which texts are numbers. exact (the default): plain numbers\n"
    "                          only, such as -3.5; locale: also 1,204  12%  (12)  1.234,5 as the page's\n"
    "                          language writes them (its HTML LANG, else LC_ALL, LC_NUMERIC or LANG,\n"
    "                          else English), shown in a number format as they were written; a text\n"
    "                          no such format shows as written (002, dates, codes) stays text\n"
    "      --trim              trim spaces and control characters around each cell's text\n"
    "      --tables all|N,...  tables to write from files with more than one table: all of them (the\n"
    "                          default), or their numbers counted from 1 in file order; files with one\n"
    "                          table always write it\n"
    "      --byte-range START-END  plain .warc archives: only the records whose header starts at a\n"
    "                          byte offset from START up to (not including) END; ranges that meet\n"
    "                          give every record once, for converting one large archive in parts\n"
    "  -q, --quiet             do not print the job log (failures still go to standard error)\n"
    "\n"
    "Short options may be bundled: -qo DIR is -q -o DIR. PATH is a file or a folder; a folder adds every\n"
    ".htm and .html file below it. Files are converted in sorted order, each once. A long job shows its\n"
    "progress on standard error when that is a terminal (not with -q).\n"
    "\n"
    "A PATH ending in .warc or .warc.gz is a web archive (WARC 1.0 or 1.1, plain or gzip members): each\n"
    "response record whose HTTP Content-Type is HTML is a page, read with its transfer and content\n"
    "encodings undone and the header's charset as its declaration. Archives need --format jsonl or csv:\n"
    "NAME.warc.gz.jsonl holds a line per table with \"url\", \"record\" and \"date\" after \"file\", and\n"
    "NAME.warc.gz.csv every table's rows with two leading fields, the page's address and the table's\n"
    "number. Damaged records are skipped, each named on standard error, and the rest converted; the\n"
    "archive then counts as failed (exit status 1), its output kept.\n";

constexpr std::string_view kRenderOptions =
    "\n"
    "Options of render (a picture of the page as the viewer lays it out, without a display, or the\n"
    "page printed into a PDF file):\n"
    "  -o, --output OUT        the file to write: a PNG picture for OUT.png, a PDF for OUT.pdf\n"
    "      --width N           PNG: the width to lay the page out at, in pixels (default 800)\n"
    "      --max-height N      PNG: cut the picture N pixels down, with a note (default 100000)\n"
    "      --page-size SIZE    PDF: the paper, A4, Letter, Legal, A3 or A5 (default A4)\n"
    "      --table N           only the Nth table that convert would write, counted from 1, shown\n"
    "                          alone as the Table Select dialog shows it\n"
    "\n"
    "A PDF holds the page as it is printed: laid out to the paper between margins of 2 cm, cut into\n"
    "pages between lines and table rows, a table's head rows repeated on the pages it continues on,\n"
    "\"page N of M\" under each page; its text can be selected and searched.\n"
    "The file is written beside OUT and takes its place only once whole: a render that fails or is\n"
    "stopped leaves an earlier file as it was. OUT must be a regular file or missing, and not FILE.\n"
    "Exit status: 0 when the file was written, 1 when FILE cannot be read or OUT cannot be written, 2\n"
    "for a usage error, 130 when interrupted (Ctrl+C) and 143 when terminated.\n";

constexpr std::string_view kViewText =
    "\n"
    "Opens a window with the page as CORVANE's viewer shows it, its links followed in the window. It\n"
    "needs a display.\n";

constexpr std::string_view kWindowOptions =
    "\n"
    "Options of the windows (corvane [FILE...] and corvane view):\n"
    "  --skin NAME|FILE        the look of this run: desktop, light, dark, or a Qt style sheet (.qss);\n"
    "                          without it, the skin chosen last under View > Skin\n"
    "  -style NAME, -platform NAME, -reverse, ...\n"
    "                          the toolkit's own options, as every Qt program takes them\n";

constexpr std::string_view kSafetyAndStatus =
    "\n"
    "An output file is complete or absent: a file written to DIR replaces an earlier one only when its\n"
    "run succeeds, and a run that fails or is stopped takes its rows back out of the append FILE.\n"
    "A replaced output keeps its permission bits. A run appending to FILE locks it: a second job\n"
    "appending to it meanwhile fails.\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when a file failed, a folder could not be searched,\n"
    "the log could not be written or the job stopped, 2 for a usage error, 130 when interrupted (Ctrl+C)\n"
    "and 143 when terminated.\n";

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
  std::vector<std::string> paths;
};

class TUsageError {
 public:
  explicit TUsageError(std::string message) : m_message(std::move(message)) {}
  const std::string& Message() const { return m_message; }

 private:
  std::string m_message;
};

void PrintError(const std::string& message) {
  std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(kProgram.size()), kProgram.data(), message.c_str());
}

// "1,3" -> {"0", "2"}: sorted, each once, as the table dialog gives them.
std::vector<std::string> ParseTableNumbers(std::string_view text) {
  std::set<unsigned long> numbers;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    unsigned long number = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), number);
    if (item.empty() || error != std::errc() || end != item.data() + item.size() || number == 0)
      throw TUsageError("--tables takes 'all' or table numbers counted from 1, such as 1,3");
    numbers.insert(number - 1);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  std::vector<std::string> positions;
  for (unsigned long number : numbers) positions.push_back(std::to_string(number));
  return positions;
}

// Bundled short options apart: "-qo DIR" is "-q -o DIR", and "-oDIR" is "-o DIR".
std::vector<std::string> SplitShortOptions(const std::vector<std::string>& args) {
  std::vector<std::string> split;
  bool ended = false;
  for (const std::string& arg : args) {
    if (ended || arg.size() <= 2 || arg[0] != '-' || arg[1] == '-') {
      ended = ended || arg == "--";
      split.push_back(arg);
      continue;
    }
    for (std::size_t k = 1; k < arg.size(); ++k) {
      split.push_back(std::string{'-', arg[k]});
      if (arg[k] == 'o' || arg[k] == 'a') {
        if (k + 1 < arg.size()) split.push_back(arg.substr(k + 1));
        break;
      }
    }
  }
  return split;
}

TConvertOptions ParseConvertArguments(const std::vector<std::string>& given) {
  const std::vector<std::string> args = SplitShortOptions(given);
  TConvertOptions options;
  bool outputDirGiven = false;
  bool appendGiven = false;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      options.paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // Options with a value take it from "--name=value" or from the next argument.
    std::string name = arg;
    std::optional<std::string> value;
    if (const std::size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    auto takeValue = [&]() -> std::string {
      if (value) return *value;
      if (i + 1 >= args.size()) throw TUsageError("option '" + name + "' needs a value");
      return args[++i];
    };
    if (name == "-o" || name == "--output-dir") {
      options.outputDir = takeValue();
      outputDirGiven = true;
    } else if (name == "-a" || name == "--append") {
      options.appendFile = takeValue();
      appendGiven = true;
    } else if (name == "--format") {
      const std::string format = takeValue();
      const std::optional<TOutputFormat> known = OutputFormatNamed(format);
      if (!known) throw TUsageError("--format takes xls, xlsx, csv or jsonl");
      options.format = *known;
    } else if (name == "--tables") {
      const std::string tables = takeValue();
      options.tables = tables == "all" ? std::nullopt : std::optional(ParseTableNumbers(tables));
    } else if (name == "--numbers") {
      const std::string numbers = takeValue();
      if (numbers != "exact" && numbers != "locale") throw TUsageError("--numbers takes exact or locale");
      options.localeNumbers = numbers == "locale";
    } else if (name == "--byte-range") {
      const std::string range = takeValue();
      const std::size_t dash = range.find('-');
      std::uint64_t start = 0;
      std::uint64_t end = 0;
      const char* text = range.data();
      const char* textEnd = text + range.size();
      const bool read = dash != std::string::npos && dash > 0 &&
                        std::from_chars(text, text + dash, start).ptr == text + dash &&
                        std::from_chars(text + dash + 1, textEnd, end).ptr == textEnd && dash + 1 < range.size();
      if (!read || start >= end) throw TUsageError("--byte-range takes START-END, byte offsets with START below END");
      options.byteRange = std::pair(start, end);
    } else if (name == "--links" && !value) {
      options.links = true;
    } else if ((name == "--trim" || name == "-q" || name == "--quiet") && !value) {
      (name == "--trim" ? options.trim : options.quiet) = true;
    } else {
      throw TUsageError("unknown option '" + arg + "'");
    }
  }
  if (outputDirGiven && appendGiven) throw TUsageError("use either -o DIR or -a FILE, not both");
  if (!outputDirGiven && !appendGiven) throw TUsageError("convert needs -o DIR or -a FILE");
  if ((outputDirGiven && options.outputDir.empty()) || (appendGiven && options.appendFile.empty()))
    throw TUsageError("the output path is empty");
  if (options.paths.empty()) throw TUsageError("convert needs at least one PATH");
  if (options.links && options.format != TOutputFormat::Csv && options.format != TOutputFormat::Jsonl)
    throw TUsageError("--links needs --format csv or jsonl (an xlsx cell that is one link is a hyperlink)");
  if (options.localeNumbers && options.format != TOutputFormat::Xlsx)
    throw TUsageError("--numbers needs --format xlsx (csv and jsonl cells are the page's text)");
  if (options.format == TOutputFormat::Xlsx && options.appendFile == "-")
    throw TUsageError("--format xlsx cannot write to standard output");
  return options;
}

bool IsHtmlFileName(std::string_view name) {
  return name.ends_with(".htm") || name.ends_with(".html");
}

std::string FullPath(const fs::path& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return (error ? path : absolute).lexically_normal().string();
}

// Adds the .htm and .html files below folder. Folders are read one at a time, each closed before the
// next is opened, so that no depth runs out of file handles; a folder that cannot be read is named
// on standard error, the walk goes on with the others, and failed is set. Symbolic links to files
// count; symbolic links to folders are not followed, so that no loop is walked.
void WalkFolder(const std::string& root, std::vector<std::string>& files, bool& failed) {
  std::vector<std::string> folders = {FullPath(root)};
  while (!folders.empty()) {
    std::string folder = std::move(folders.back());
    folders.pop_back();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
      PrintError("cannot search folder " + folder + ": " + ErrorText(errno));
      failed = true;
      continue;
    }
    if (folder.back() != '/') folder.push_back('/');
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (!entry) {
        if (errno != 0) {
          PrintError("cannot search folder " + folder + ": " + ErrorText(errno));
          failed = true;
        }
        break;
      }
      const std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string path = folder;
      path.append(name);
      unsigned char type = entry->d_type;
      if (type == DT_UNKNOWN) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0) continue;
        type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISLNK(info.st_mode) ? DT_LNK : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
      }
      if (type == DT_DIR) {
        folders.push_back(std::move(path));
      } else if (IsHtmlFileName(name)) {
        struct stat info;
        if (type == DT_REG || (type == DT_LNK && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)))
          files.push_back(std::move(path));
      }
    }
    ::closedir(dir);
  }
}

// The files to convert: files as given, folders searched for .htm and .html files. failed is set when
// a folder could not be searched.
std::vector<std::string> CollectInputFiles(const std::vector<std::string>& paths, bool& failed) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      WalkFolder(path, files, failed);
    } else {
      files.push_back(FullPath(path));  // a missing file fails at its turn, like one that went away
    }
  }
  return files;
}

// The signal that asked the job to stop, 0 while none has.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signal) { g_stopSignal = signal; }

// SIGINT and SIGTERM let the run going on undo its output and the job end; SIGPIPE is ignored, so that
// a closed standard output is a failed write of the log, never the end of a run in the middle of
// writing.
void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

std::string ProgressLine(int done, int total, double megabytes, double seconds) {
  char line[96];
  std::snprintf(line, sizeof line, "%d of %d files, %.1f MB/s", done, total, seconds > 0 ? megabytes / seconds : 0.0);
  return line;
}

namespace {

// The command line's stand-in for the window: the log goes to standard output (standard error when the
// rows do), the table choice comes from --tables, and each run executes at once on this thread.
class TConsoleJobHost final : public TInlineJobHost {
 public:
  TConsoleJobHost(const TConvertOptions& options, std::vector<std::string> files)
      : m_options(options), m_files(std::move(files)), m_log(options.appendFile == "-" ? stderr : stdout) {
    // A long job on a terminal shows how far it has come, on a line of its own that the log clears.
    m_showProgress = !options.quiet && ::isatty(STDERR_FILENO) != 0;
    m_outputPath = options.appendFile.empty() ? options.outputDir : options.appendFile;
    if (!options.appendFile.empty()) return;
    if (m_outputPath.back() != '/') m_outputPath.push_back('/');
  }

  void AppendLog(std::string_view line) override {
    if (m_options.quiet || m_logError != 0) return;
    ClearProgress();
    std::fwrite(line.data(), 1, line.size(), m_log);
    std::fputc('\n', m_log);
    if (std::ferror(m_log)) m_logError = errno != 0 ? errno : EIO;
  }
  // Writes what the log still holds; false when any of the log could not be written.
  bool FinishLog() {
    ClearProgress();
    if (std::fflush(m_log) != 0 && m_logError == 0) m_logError = errno != 0 ? errno : EIO;
    return m_logError == 0;
  }
  FILE* Log() const { return m_log; }
  int LogError() const { return m_logError; }
  bool StopRequested() const override { return g_stopSignal != 0; }
  void ReportFailure(std::string_view message) override {
    // The log may be quiet or going elsewhere: the reason always reaches standard error. It goes after
    // the log lines written so far.
    if (!m_options.quiet) std::fflush(m_log);
    ClearProgress();
    PrintError(std::string(message));
  }
  void ReportNotice(std::string_view message) override { ReportFailure(message); }
  void ShowPassLabels(std::string_view currentFile, std::string_view) override {
    if (!m_showProgress || currentFile == m_runFile) return;
    m_runFile = currentFile;
    struct stat info;
    m_runBytes = ::stat(m_runFile.c_str(), &info) == 0 ? static_cast<double>(info.st_size) : 0.0;
  }
  bool AppendOutput() const override { return !m_options.appendFile.empty(); }
  bool AppendsToStandardOutput() const override { return m_options.appendFile == "-"; }
  TTableWriter* TableWriter() override {
    if (!m_writer) m_writer = MakeTableWriter(m_options.format, m_options.appendFile, m_options.links,
                                                 m_options.localeNumbers.value_or(false));
    return m_writer.get();
  }
  bool TrimCellValues() const override { return m_options.trim; }
  std::pair<std::uint64_t, std::uint64_t> ArchiveRange() const override {
    return m_options.byteRange.value_or(TInlineJobHost::ArchiveRange());
  }
  std::string OutputPath() const override { return m_outputPath; }

  TTableChoice ChooseTables(const TFragmentStore& fragments) override {
    return *ChoiceWithoutFragments(fragments.size());
  }
  bool WritesEveryTableUnlogged() const override { return m_options.quiet && !m_options.tables; }
  std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t) override {
    TTableChoice choice;
    if (m_options.tables) {
      choice.Selection = *m_options.tables;
      choice.Remember = true;
    } else {
      choice.EveryTable = true;
    }
    return choice;
  }

  void JobEnded(TJobEnd) override { m_showProgress = false; }
  std::vector<std::string> InputListEntries() const override { return m_files; }
  int ProgressMaximum() const override { return static_cast<int>(m_files.size()); }
  void SetProgressPosition(int position) override {
    if (!m_showProgress || position <= m_done) return;
    m_done = position;
    m_bytesDone += m_runBytes;
    m_runBytes = 0;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    // Short jobs finish before a line would help.
    if (seconds < 1.0) return;
    if (m_log == stdout) std::fflush(stdout);
    const std::string line = ProgressLine(m_done, ProgressMaximum(), m_bytesDone / 1e6, seconds);
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    m_progressShown = true;
  }

 private:
  void ClearProgress() {
    if (!m_progressShown) return;
    std::fputs("\r\033[K", stderr);
    m_progressShown = false;
  }

  const TConvertOptions& m_options;
  std::vector<std::string> m_files;
  std::unique_ptr<TTableWriter> m_writer;
  FILE* m_log;
  std::string m_outputPath;
  int m_logError = 0;
  bool m_showProgress = false;
  bool m_progressShown = false;
  int m_done = 0;
  std::string m_runFile;
  double m_runBytes = 0;
  double m_bytesDone = 0;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// The input that is the append target itself (the same file by any path), or nothing.
std::optional<std::string> InputThatIsAppendTarget(const std::string& appendFile, const std::vector<std::string>& files) {
  TFileIdentity target;
  if (appendFile.empty() || !FileIdentityOf(appendFile, target)) return std::nullopt;
  for (const std::string& file : files) {
    TFileIdentity identity;
    if (FileIdentityOf(file, identity) && identity == target) return file;
  }
  return std::nullopt;
}

}  // namespace

void Print(std::initializer_list<std::string_view> parts) {
  for (std::string_view part : parts) std::fwrite(part.data(), 1, part.size(), stdout);
}

void PrintUsage() { Print({kUsageHead, kWhatItDoes, kConvertOptions, kRenderOptions, kWindowOptions, kSafetyAndStatus}); }

bool HandleCommandHelp(const std::vector<std::string>& args, int& status) {
  if (args.empty()) return false;
  const auto end = std::find(args.begin() + 1, args.end(), "--");
  if (std::find_if(args.begin() + 1, end, [](const std::string& a) { return a == "--help" || a == "-h"; }) == end)
    return false;
  if (args[0] == "convert") Print({"Usage: ", kConvertSynopsis, kWhatItDoes, kConvertOptions, kSafetyAndStatus});
  else if (args[0] == "render") Print({"Usage: ", kRenderSynopsis, kRenderOptions});
  else if (args[0] == "view") Print({"Usage: ", kViewSynopsis, kViewText, kWindowOptions});
  else return false;
  status = kExitSuccess;
  return true;
}

bool HandleInfoOptions(const std::vector<std::string>& args, int& status) {
  if (HandleCommandHelp(args, status)) return true;
  if (args.size() != 1) return false;
  if (args[0] == "--help" || args[0] == "-h") {
    PrintUsage();
  } else if (args[0] == "--version") {
    std::printf("%.*s %s\n", static_cast<int>(kProgram.size()), kProgram.data(), CORVANE_VERSION);
  } else {
    return false;
  }
  status = kExitSuccess;
  return true;
}

namespace {

void PrintWindowlessHint() {
  std::fprintf(stderr,
               "To convert without a window: corvane convert (-o DIR | -a FILE) PATH...\n"
               "See 'corvane convert --help'.\n");
}

// The toolkit's own lines about a display it cannot open are replaced by one of ours, naming what was
// asked for; it ends the process before the toolkit aborts it.
void OnDisplayOpeningMessage(QtMsgType type, const QMessageLogContext&, const QString&) {
  if (type != QtFatalMsg) return;
  std::string asked;
  for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    asked += (asked.empty() ? " (" : ", ") + std::string(name) + "=" + value;
  }
  if (!asked.empty()) asked += ")";
  PrintError("the display cannot be opened" + asked);
  PrintWindowlessHint();
  std::fflush(stderr);
  std::_Exit(kExitUsage);
}

QtMessageHandler g_previousMessageHandler = nullptr;

}  // namespace

TDisplayOpening::TDisplayOpening() { g_previousMessageHandler = qInstallMessageHandler(OnDisplayOpeningMessage); }

TDisplayOpening::~TDisplayOpening() { qInstallMessageHandler(g_previousMessageHandler); }

bool CheckDisplay() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  if (set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM")) return true;
  PrintError("the window needs a display, and none is set (DISPLAY or WAYLAND_DISPLAY)");
  PrintWindowlessHint();
  return false;
}

bool IsConvertCommand(const std::vector<std::string>& args) { return !args.empty() && args[0] == "convert"; }

int RunConvertCommand(const std::vector<std::string>& args) {
  TConvertOptions options;
  try {
    options = ParseConvertArguments(args);
  } catch (const TUsageError& error) {
    PrintError(error.Message());
    std::fprintf(stderr, "Try '%.*s --help' for more information.\n", static_cast<int>(kProgram.size()),
                 kProgram.data());
    return kExitUsage;
  }

  // The job's workbook takes its target's place by a rename at the end: a target that is not a regular
  // file (a device, a FIFO, a folder, a symbolic link) would be destroyed, so it is refused before any
  // work, as appending refuses it.
  if (options.format == TOutputFormat::Xlsx && !options.appendFile.empty()) {
    if (const std::string problem = ReplaceTargetProblem(options.appendFile); !problem.empty()) {
      PrintError("cannot write the workbook to " + options.appendFile + ": " + problem);
      return kExitUsage;
    }
  }

  if (!options.outputDir.empty()) {
    std::error_code error;
    fs::create_directories(options.outputDir, error);
    if (error) {
      PrintError("cannot create output folder " + options.outputDir + ": " + error.message());
      return kExitFailure;
    }
  }

  bool searchFailed = false;
  std::vector<std::string> files = CollectInputFiles(options.paths, searchFailed);
  if (files.empty()) {
    PrintError("no .htm or .html files found");
    return searchFailed ? kExitFailure : kExitSuccess;
  }
  if (options.byteRange) {
    const auto other = std::find_if(files.begin(), files.end(), [](const std::string& file) {
      return !file.ends_with(".warc") && !file.ends_with(".WARC");
    });
    if (other != files.end()) {
      PrintError("--byte-range reads plain .warc archives only, not " + *other);
      return kExitUsage;
    }
  }
  if (options.format == TOutputFormat::Xls || options.format == TOutputFormat::Xlsx) {
    const auto archive = std::find_if(files.begin(), files.end(), [](const std::string& file) { return IsArchiveFileName(file); });
    if (archive != files.end()) {
      PrintError("cannot convert the web archive " + *archive + " to " +
                 (options.format == TOutputFormat::Xls ? "xls" : "xlsx") + ": archives need --format jsonl or csv");
      return kExitUsage;
    }
  }
  if (const std::optional<std::string> input =
          options.appendFile == "-" ? std::nullopt : InputThatIsAppendTarget(options.appendFile, files)) {
    PrintError("cannot append to " + options.appendFile + ": it is the input file " + *input);
    return kExitUsage;
  }
  FILE* log = options.appendFile == "-" ? stderr : stdout;
  if (!options.quiet && ::isatty(::fileno(log)) == 0) {
    static char buffer[1 << 16];
    std::setvbuf(log, buffer, _IOFBF, sizeof buffer);
  }

  InstallSignalHandlers();
  TConsoleJobHost host(options, files);
  TConversionJob job(host);
  job.FileQueue().AddAll(std::move(files));
  host.RunJob(job);
  const bool logWritten = host.FinishLog();

  // A signal that came after the last run had finished stops nothing.
  const int signal = job.Stopped() ? static_cast<int>(g_stopSignal) : 0;
  if (job.AbortJob() || job.Stopped()) {
    PrintError(signal == SIGINT    ? "stopped: interrupted"
               : signal == SIGTERM ? "stopped: terminated"
               : job.AbortJob()    ? "stopped: the output file could not be created"
                                   : "stopped");
    for (const std::string& file : job.NotConverted()) PrintError("not converted: " + file);
  }
  if (!logWritten)
    PrintError(std::string("cannot write the log to ") + (host.Log() == stderr ? "standard error: " : "standard output: ") +
               ErrorText(host.LogError()));
  if (signal != 0) return 128 + signal;
  const bool ok = job.FailedFiles().empty() && !job.AbortJob() && !job.Stopped() && !job.OutputFailed() &&
                  !searchFailed && logWritten;
  return ok ? kExitSuccess : kExitFailure;
}

}  // namespace corvane
