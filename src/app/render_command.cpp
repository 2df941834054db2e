#include "app/render_command.h"

#include <QGuiApplication>
#include <QIODevice>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "app/command_line.h"
#include "app/png_band_writer.h"
#include "app/render_options.h"
#include "builder/document_loader.h"
#include "extract/byte_file.h"
#include "extract/table_fragment_scanner.h"
#include "layout/section_list.h"
#include "viewer/bounded_layout.h"
#include "viewer/print_document.h"

namespace corvane {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxWidth = kMaxRenderWidth;  // as wide as the viewer ever paints
constexpr int kBandHeight = 512;    // rows painted at a time

constexpr int kPdfResolution = 1200;  // dots per inch of the PDF's coordinates

// The output format by the name's extension, in any case; a name without one is a picture, as it always
// was.
std::optional<TRenderFormat> FormatOfOutput(const std::string& output) {
  std::string extension = fs::path(output).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension.empty() || extension == ".png") return TRenderFormat::Png;
  if (extension == ".pdf") return TRenderFormat::Pdf;
  return std::nullopt;
}

void PrintError(const std::string& message) { std::fprintf(stderr, "corvane: %s\n", message.c_str()); }

int UsageError(const std::string& message) {
  PrintError(message);
  std::fprintf(stderr, "Try 'corvane --help' for more information.\n");
  return kExitUsage;
}

// The signal that asked render to stop while the picture was being written, 0 while none has.
volatile std::sig_atomic_t g_stopSignal = 0;
// Set once the output is open: until then a stop has nothing to undo and ends the process at once.
volatile std::sig_atomic_t g_writing = 0;

constexpr char kInterrupted[] = "corvane: render stopped: interrupted\n";
constexpr char kTerminated[] = "corvane: render stopped: terminated\n";

void SayStopped(int signal) {
  const char* text = signal == SIGINT ? kInterrupted : kTerminated;
  const std::size_t size = signal == SIGINT ? sizeof kInterrupted - 1 : sizeof kTerminated - 1;
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, size);
}

// Laying a page out writes nothing, so a stop then ends the process at once; while the picture is
// written, the band loop sees the stop and takes the unfinished file away.
extern "C" void OnRenderStopSignal(int signal) {
  if (g_writing == 0) {
    SayStopped(signal);
    ::_exit(128 + signal);
  }
  g_stopSignal = signal;
}

void InstallRenderSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnRenderStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

std::optional<std::string> ReadPage(const std::string& path, std::string& error) {
  std::error_code code;
  const fs::file_status status = fs::status(path, code);
  if (code) {
    error = code.message();
    return std::nullopt;
  }
  if (!fs::is_regular_file(status)) {
    error = "not a regular file";
    return std::nullopt;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    error = "read error";
    return std::nullopt;
  }
  return text;
}

// Puts a finished picture or PDF in its target's place, unless a stop came meanwhile. What took the
// target's name while the page was painted is not replaced unless it is a regular file.
bool CommitOutput(TOutputFile& output, const std::string& path, std::string& error) {
  if (g_stopSignal != 0) return false;
  if (const std::string problem = ReplaceTargetProblem(path); !problem.empty()) {
    error = problem;
    return false;
  }
  try {
    output.Commit();
  } catch (const TFileError& failure) {
    error = failure.Code() != 0 ? ErrorText(failure.Code()) : failure.what();
    return false;
  }
  return true;
}

}  // namespace

bool IsRenderCommand(const std::vector<std::string>& args) { return !args.empty() && args[0] == "render"; }

bool PaintDocumentToPng(TSectionList& document, int width, int height, const std::string& path, std::string& error) {
  // The picture is written beside the target, which it replaces only once it is whole: an earlier
  // picture stays as it was when writing fails or is stopped, and no partial file is left.
  TOutputFile output;
  std::error_code openError;
  g_writing = 1;
  if (!output.Open(path, TOutputMode::Replace, openError)) {
    error = openError.message();
    return false;
  }
  TPngBandWriter writer;
  if (!writer.Open(output, width, height)) {
    error = writer.Error();
    return false;
  }
  QImage band(width, std::min(kBandHeight, height), QImage::Format_ARGB32_Premultiplied);
  if (band.isNull()) {
    error = "out of memory";
    return false;
  }
  const QColor background = ToQColor(document.Background());
  for (int top = 0; top < height; top += band.height()) {
    band.fill(background.isValid() ? background : QColor(Qt::white));
    {
      QPainter painter(&band);
      document.SetYOffset(top);
      document.PaintBackgroundImage(painter, QRect(0, 0, width, band.height()), width);
      document.Paint(painter, QRect(0, 0, width, band.height()), kMaxWidth, 0, 0, 0, 0);
    }
    if (!writer.WriteRows(band, std::min(band.height(), height - top))) {
      error = writer.Error();
      return false;
    }
    if (g_stopSignal != 0) return false;
  }
  if (!writer.Close()) {
    error = writer.Error();
    return false;
  }
  return CommitOutput(output, path, error);
}

namespace {

// The output file as a device the PDF writer writes into, in order. A failed write is kept and ends the
// writing.
class TOutputFileDevice final : public QIODevice {
 public:
  explicit TOutputFileDevice(TOutputFile& output) : m_output(output) { open(QIODevice::WriteOnly); }
  bool isSequential() const override { return true; }
  const std::string& Error() const { return m_error; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    if (!m_error.empty()) return -1;
    try {
      m_output.Write(std::string_view(data, static_cast<std::size_t>(size)));
      return size;
    } catch (const TFileError& failure) {
      m_error = failure.Code() != 0 ? ErrorText(failure.Code()) : failure.what();
    } catch (const std::bad_alloc&) {
      m_error = "out of memory";
    }
    return -1;
  }

 private:
  TOutputFile& m_output;
  std::string m_error;
};

}  // namespace

std::unique_ptr<TPrintCopy> MakeRenderPrintCopy(const TPrintSource& source, QPageSize::PageSizeId pageSize, int maxPages) {
  TPrintBounds bounds;
  bounds.MaxPages = maxPages;
  bounds.TablePlaces = kPictureTablePlaces;
  bounds.TableColumns = kPictureTableColumns;
  return std::make_unique<TPrintCopy>(source, QPageSize(pageSize).size(QPageSize::Millimeter), kPdfResolution, bounds);
}

bool PaintPrintCopyToPdf(TPrintCopy& copy, QPageSize::PageSizeId pageSize, const std::string& path, std::string& error) {
  // Written beside the target and put in its place only once whole, as a picture is.
  TOutputFile output;
  std::error_code openError;
  g_writing = 1;
  if (!output.Open(path, TOutputMode::Replace, openError)) {
    error = openError.message();
    return false;
  }
  TOutputFileDevice device(output);
  {
    QPdfWriter writer(&device);
    writer.setResolution(kPdfResolution);
    writer.setPageSize(QPageSize(pageSize));
    writer.setCreator(QStringLiteral("CORVANE"));
    writer.setTitle(copy.Title());
    QString paintError;
    if (!PaintPrintCopy(copy, writer, &paintError, [] { return g_stopSignal != 0; })) {
      error = !device.Error().empty() ? device.Error() : paintError.toStdString();
      return false;
    }
  }
  if (!device.Error().empty()) {
    error = device.Error();
    return false;
  }
  return CommitOutput(output, path, error);
}

namespace {

int FinishWriting(bool written, const TRenderOptions& options, const std::string& error) {
  if (written) return kExitSuccess;
  if (g_stopSignal != 0) {
    SayStopped(g_stopSignal);
    return 128 + g_stopSignal;
  }
  PrintError("cannot write " + options.output + ": " + error);
  return kExitFailure;
}

// The page (or its table) as a PDF of pages of the paper size asked for.
int RenderPdf(std::string page, const TRenderOptions& options) {
  TPrintSource source;
  source.Text = std::move(page);
  std::error_code code;
  source.ReferenceName = fs::absolute(options.file, code).string();
  const std::unique_ptr<TPrintCopy> copy = MakeRenderPrintCopy(source, options.pageSize, options.maxPages);
  source = TPrintSource();  // the page's text is no longer needed
  for (const std::string& notice : copy->Notices(options.file)) PrintError(notice);
  std::string error;
  const bool written = PaintPrintCopyToPdf(*copy, options.pageSize, options.output, error);
  return FinishWriting(written, options, error);
}

// Takes the output format from the output's name, and checks that the options given are the format's.
// Empty when they are; else the problem.
std::string ChooseFormat(TRenderOptions& options) {
  const std::optional<TRenderFormat> format = FormatOfOutput(options.output);
  if (!format) return "render writes a .png or a .pdf file, not " + options.output;
  options.format = *format;
  if (options.format == TRenderFormat::Pdf && options.pictureOptionGiven)
    return "--width and --max-height are for a .png file; a .pdf is laid out to its --page-size";
  if (options.format == TRenderFormat::Png && options.pageSizeGiven) return "--page-size is for a .pdf file";
  if (options.format == TRenderFormat::Png && options.maxPagesGiven) return "--max-pages is for a .pdf file";
  return {};
}

int Render(int argc, char** argv, TRenderOptions* options) {
  std::string error;
  std::optional<std::string> page = ReadPage(options->file, error);
  if (!page) {
    PrintError("cannot read " + options->file + ": " + error);
    return kExitFailure;
  }
  // The picture takes its target's place by a rename: only a regular file, and never the page itself
  // (by whatever path), may be replaced.
  if (const std::string problem = ReplaceTargetProblem(options->output); !problem.empty()) {
    PrintError("cannot write " + options->output + ": " + problem);
    return kExitUsage;
  }
  TFileIdentity input;
  TFileIdentity target;
  if (FileIdentityOf(options->file, input) && FileIdentityOf(options->output, target) && input == target) {
    PrintError("cannot write " + options->output + ": it is the input file " + options->file);
    return kExitUsage;
  }
  // The output is never the page itself, whatever its name; past that, its name says what it is.
  if (const std::string problem = ChooseFormat(*options); !problem.empty()) return UsageError(problem);
  // Pictures of pages never depend on a display: fonts and resolution are those of the offscreen screen.
  // The toolkit's notes about the desktop session are no concern of a command in a script.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
  });
  QGuiApplication app(argc, argv);

  if (options->table > 0) {
    // The table alone, in the page the Table Select dialog builds around a table it shows.
    std::vector<std::string> tables = CutTableFragments(*page, TLineBreaks::Kept);
    if (static_cast<std::size_t>(options->table) > tables.size()) {
      PrintError(options->file + " has " + std::to_string(tables.size()) + (tables.size() == 1 ? " table" : " tables") +
                 ", no table " + std::to_string(options->table));
      return kExitFailure;
    }
    page = JoinLines({"<html><body>", std::move(tables[static_cast<std::size_t>(options->table - 1)]), "</body></html>"});
  }
  if (options->format == TRenderFormat::Pdf) return RenderPdf(std::move(*page), *options);

  // Only as much of the page is built and laid out as can reach the picture above its cut.
  std::error_code code;
  const TPictureLayout picture =
      LayOutPicture(std::move(*page), fs::absolute(options->file, code).string(), options->width, options->maxHeight, kMaxWidth);
  page.reset();
  for (const std::string& notice : picture.Notices(options->file)) PrintError(notice);

  const bool written = PaintDocumentToPng(*picture.Document, picture.Width, picture.Height, options->output, error);
  return FinishWriting(written, *options, error);
}

}  // namespace

int RunRenderCommand(int argc, char** argv, const std::vector<std::string>& args) {
  std::string problem;
  std::optional<TRenderOptions> options = ParseRenderArguments(args, problem);
  if (!options) return UsageError(problem);
  InstallRenderSignalHandlers();
  // A page too large for the memory there is fails as a convert run does: with a reason and status 1,
  // the output untouched.
  try {
    return Render(argc, argv, &*options);
  } catch (const std::bad_alloc&) {
    PrintError("not enough memory to render " + options->file);
    return kExitFailure;
  }
}

}  // namespace corvane
