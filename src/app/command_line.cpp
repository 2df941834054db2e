#include "app/command_line.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

#include <QtGlobal>

#include "extract/byte_file.h"
#include "extract/conversion_job.h"
#include "extract/inline_job_host.h"
#include "extract/warc_reader.h"
#include "app/convert_options.h"
#include "app/output_format.h"
#include "app/render_options.h"
#include "app/window_arguments.h"

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "unknown"
#endif

namespace corvane {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "corvane";

constexpr std::string_view kConvertSynopsis =
    "corvane convert (-o DIR | -a FILE) [--format xls|xlsx|csv|jsonl] [--links] [--numbers exact|locale] [--trim] [--tables all|N[,N...]] [--byte-range START-END] [--threads N] [-q] PATH...\n";
constexpr std::string_view kRenderSynopsis =
    "corvane render FILE -o OUT.png [--width N] [--max-height N] [--table N]\n"
    "       corvane render FILE -o OUT.pdf [--page-size A4|Letter|Legal|A3|A5] [--max-pages N] [--table N]\n";
constexpr std::string_view kViewSynopsis = "corvane view [--skin NAME|FILE] FILE\n";

constexpr std::string_view kUsageHead =
    "Usage:\n"
    "  corvane [--skin NAME|FILE] [FILE...]\n"
    "                                  open the window, with the .htm and .html FILEs in its input list\n"
    "  corvane convert (-o DIR | -a FILE) [--format xls|xlsx|csv|jsonl] [--links]\n"
    "                  [--numbers exact|locale] [--trim] [--tables all|N[,N...]]\n"
    "                  [--byte-range START-END] [--threads N] [-q] PATH...\n"
    "  corvane render FILE -o OUT.png [--width N] [--max-height N] [--table N]\n"
    "  corvane render FILE -o OUT.pdf [--page-size A4|Letter|Legal|A3|A5] [--max-pages N]\n"
    "                 [--table N]\n"
    "  corvane view [--skin NAME|FILE] FILE\n"
    "                                  a window with the page as CORVANE's viewer shows it\n"
    "  corvane --help | --version      (and 'corvane COMMAND --help' for one command)\n";

constexpr std::string_view kWhatItDoes =
    "\n"
    "Writes every table of the HTML files that holds no other table to \".xls\" text files that\n"
    "spreadsheets open: one line per table row, each cell in double quotes, cells separated by tabs.\n";

constexpr std::string_view kConvertOptionsHead = "\nOptions of convert:\n";

constexpr std::string_view kConvertOptionsTail =
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

constexpr std::string_view kRenderOptionsHead =
    "\n"
    "Options of render (a picture of the page as the viewer lays it out, without a display, or the\n"
    "page printed into a PDF file):\n";

constexpr std::string_view kRenderOptionsTail =
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

constexpr std::string_view kWindowOptionsHead = "\nOptions of the windows (corvane [FILE...] and corvane view):\n";

constexpr std::string_view kToolkitOptions =
    "  -style NAME, -platform NAME, -reverse, ...\n"
    "                          the toolkit's own options, as every Qt program takes them\n";

// The options that are no command's: a run's help and the version.
constexpr std::array kGeneralOptions = {
    TOption{"help", 'h', "", "print the usage of every command, or after a command of that command"},
    TOption{"version", 0, "", "print the version"},
};

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

void PrintError(const std::string& message) {
  std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(kProgram.size()), kProgram.data(), message.c_str());
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

namespace {

// The help's parts whose option lists come from the commands' tables.
std::string ConvertOptionsHelp() {
  return std::string(kConvertOptionsHead) + OptionList(ConvertOptionTable()) + std::string(kConvertOptionsTail);
}

std::string RenderOptionsHelp() {
  return std::string(kRenderOptionsHead) + OptionList(RenderOptionTable()) + std::string(kRenderOptionsTail);
}

std::string WindowOptionsHelp() {
  return std::string(kWindowOptionsHead) + OptionList(WindowOptionTable()) + std::string(kToolkitOptions);
}

bool IsHelpOption(std::string_view arg) { return arg == "-h" || arg == "--help"; }

}  // namespace

TOptionTable GeneralOptionTable() { return kGeneralOptions; }

void PrintUsage() {
  Print({kUsageHead, kWhatItDoes, ConvertOptionsHelp(), RenderOptionsHelp(), WindowOptionsHelp(), kSafetyAndStatus});
}

bool HandleCommandHelp(const std::vector<std::string>& args, int& status) {
  if (args.empty()) return false;
  // An option's value may be "--help" too: any "-h" or "--help" before a "--" asks for the help.
  const auto end = std::find(args.begin() + 1, args.end(), "--");
  if (std::find_if(args.begin() + 1, end, [](const std::string& a) { return IsHelpOption(a); }) == end) return false;
  if (args[0] == "convert") Print({"Usage: ", kConvertSynopsis, kWhatItDoes, ConvertOptionsHelp(), kSafetyAndStatus});
  else if (args[0] == "render") Print({"Usage: ", kRenderSynopsis, RenderOptionsHelp()});
  else if (args[0] == "view") Print({"Usage: ", kViewSynopsis, kViewText, WindowOptionsHelp()});
  else return false;
  status = kExitSuccess;
  return true;
}

bool HandleInfoOptions(const std::vector<std::string>& args, int& status) {
  if (HandleCommandHelp(args, status)) return true;
  if (args.size() != 1) return false;
  if (IsHelpOption(args[0])) {
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
  std::string problem;
  const std::optional<TConvertOptions> parsed = ParseConvertArguments(args, problem);
  if (!parsed) {
    PrintError(problem);
    std::fprintf(stderr, "Try '%.*s --help' for more information.\n", static_cast<int>(kProgram.size()),
                 kProgram.data());
    return kExitUsage;
  }
  const TConvertOptions& options = *parsed;

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
  job.SetThreads(options.threads);
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
