// Measures what building and laying out a page costs, offscreen, at width 800, default font
// "Times New Roman" 16 px:
//
//   corvane_docpage_bench tiny [--documents N]
//     N tiny pages (default 1000) built and laid out one after the other in one process, each into a
//     fresh document: the first document alone, then the mean of the others, in processor ms and in
//     user-space instructions per document.
//   corvane_docpage_bench docs [--repeat N] [--dir DIR]
//     generated documentation-like pages (headings, paragraphs, inline code with classes, tables and a
//     linked style sheet) of about 5 KB, 100 KB, 1 MB and 4 MB, written into DIR (default a new
//     temporary folder): per page its size, the medians over N fresh documents (default 5) of build,
//     layout and freeing the document (its teardown, as when the viewer loads the next page) in
//     processor ms, build + layout in MB/s and the instructions of build and layout. With
//     --page LABEL (small, medium, 1MB or 4MB) only that page is measured, e.g. under a profiler.
//
// Processor time and instruction counts are used because other work on the machine makes wall times
// noisy; instructions read "n/a" where the kernel does not count them for this process.
#include <QGuiApplication>

#include <linux/perf_event.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "builder/document_loader.h"
#include "layout/section_list.h"

namespace {

using corvane::bench::Median;

constexpr int kWidth = 800;

double ProcessMilliseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// User-space instructions retired by this thread since construction; -1 when they cannot be counted.
class TInstructionCounter {
 public:
  TInstructionCounter() {
    perf_event_attr attr{};
    attr.size = sizeof(attr);
    attr.type = PERF_TYPE_HARDWARE;
    attr.config = PERF_COUNT_HW_INSTRUCTIONS;
    attr.exclude_kernel = 1;
    attr.exclude_hv = 1;
    m_fd = static_cast<int>(::syscall(SYS_perf_event_open, &attr, 0, -1, -1, 0));
  }
  ~TInstructionCounter() {
    if (m_fd >= 0) ::close(m_fd);
  }
  TInstructionCounter(const TInstructionCounter&) = delete;
  TInstructionCounter& operator=(const TInstructionCounter&) = delete;

  std::int64_t Read() const {
    std::uint64_t value = 0;
    if (m_fd < 0 || ::read(m_fd, &value, sizeof(value)) != sizeof(value)) return -1;
    return static_cast<std::int64_t>(value);
  }

 private:
  int m_fd = -1;
};

std::string FormatCount(double instructions) {
  if (instructions < 0) return "n/a";
  char text[32];
  std::snprintf(text, sizeof(text), "%.0f", instructions);
  return text;
}

// Builds and lays out text into a fresh document; returns the laid-out height.
int BuildAndLayOut(const std::string& text, const corvane::TDocumentDefaults& defaults,
                   const corvane::TBuilderHandlers& handlers) {
  corvane::TSectionList document;
  corvane::LoadHtmlDocument(document, text, defaults, handlers);
  int scrollWidth = 0;
  return document.DoLayout(kWidth, 800, scrollWidth);
}

int RunTiny(int documents) {
  const std::string page =
      "<html><head><title>Note</title><style>body { font-family: \"Segoe UI\", Roboto, Helvetica, Arial, "
      "sans-serif } code { font-family: Menlo, Consolas, monospace }</style></head><body><h1>A note</h1><p>Some <b>bold</b> and <i>italic</i> text "
      "with a <a href=\"#x\">link</a> and <code>code</code>.</p><ul><li>one<li>two</ul></body></html>";
  const corvane::TDocumentDefaults defaults;
  const corvane::TBuilderHandlers handlers;
  const TInstructionCounter counter;

  const double start = ProcessMilliseconds();
  const std::int64_t startCount = counter.Read();
  int height = BuildAndLayOut(page, defaults, handlers);
  const double firstDone = ProcessMilliseconds();
  const std::int64_t firstCount = counter.Read();
  for (int i = 1; i < documents; ++i) height = BuildAndLayOut(page, defaults, handlers);
  const double allDone = ProcessMilliseconds();
  const std::int64_t allCount = counter.Read();

  const int rest = std::max(1, documents - 1);
  std::printf("tiny page of %zu bytes, %d documents, height %d\n", page.size(), documents, height);
  std::printf("  first document: %.3f ms, %s instructions\n", firstDone - start,
              FormatCount(startCount < 0 ? -1.0 : static_cast<double>(firstCount - startCount)).c_str());
  std::printf("  per document after it: %.4f ms, %s instructions\n", (allDone - firstDone) / rest,
              FormatCount(startCount < 0 ? -1.0 : static_cast<double>(allCount - firstCount) / rest).c_str());
  return 0;
}

// The style sheet that the documentation pages link: rules by element, class, id and context.
std::string DocumentationSheet() {
  return "body { font-family: Georgia, serif; color: #222; margin: 8px }\n"
         "h1, h2, h3 { font-family: \"Helvetica Neue\", Arial, sans-serif; color: #1a3d6d }\n"
         "h1 { font-size: 24pt } h2 { font-size: 18pt; margin-top: 20px } h3 { font-size: 14pt }\n"
         "p { line-height: 1.4; margin: 6px 0 }\n"
         "code { font-family: Consolas, \"DejaVu Sans Mono\", monospace; background-color: #f4f4f4 }\n"
         "code.kw { color: #8b008b; font-weight: bold } code.ty { color: #2b7489 }\n"
         "code.fn { color: #795e26 } code.str { color: #a31515 }\n"
         "table.api { border-collapse: collapse; width: 100% }\n"
         "table.api th { background-color: #e8eef6; text-align: left; padding: 4px }\n"
         "table.api td { padding: 4px; vertical-align: top }\n"
         "td code { font-size: 90% } .note { color: #555; font-style: italic }\n"
         "#toc a { text-decoration: none } a:hover { color: red }\n"
         "div.section p em { color: #603 }\n";
}

// One section of a documentation page: a heading, paragraphs with inline code, a table of members.
void AppendDocumentationSection(std::string& page, int n) {
  const std::string name = "Widget" + std::to_string(n);
  page += "<div class=\"section\" id=\"s" + std::to_string(n) + "\">\n<h2>The <code class=\"ty\">" + name +
          "</code> class</h2>\n";
  for (int p = 0; p < 3; ++p) {
    page += "<p>Call <code class=\"fn\">" + name + "::Update()</code> after changing the <em>state</em> of a " +
            "<code class=\"ty\">" + name + "</code>; it returns <code class=\"kw\">true</code> when the " +
            "view must be drawn again, and <code class=\"str\">\"ok\"</code> is written to the log. See " +
            "<a href=\"#s" + std::to_string(n + 1) + "\">the next section</a> for the options, which are " +
            "read once when the program starts and kept until it ends.</p>\n";
  }
  page += "<p class=\"note\">Note: the members below are listed in the order they are declared.</p>\n";
  page += "<table class=\"api\" border=\"1\">\n<tr><th>Member</th><th>Type</th><th>Description</th></tr>\n";
  for (int r = 0; r < 6; ++r) {
    page += "<tr><td><code class=\"fn\">member" + std::to_string(r) + "</code></td><td><code class=\"ty\">int</code>"
            "</td><td>The " + std::to_string(r) + "th value; <b>zero</b> means none.</td></tr>\n";
  }
  page += "</table>\n</div>\n";
}

std::string DocumentationPage(std::size_t bytes) {
  std::string page =
      "<!DOCTYPE html>\n<html><head><title>API reference</title>\n"
      "<link rel=\"stylesheet\" href=\"doc.css\">\n</head><body>\n<h1>API reference</h1>\n"
      "<div id=\"toc\"><a href=\"#s0\">Start</a></div>\n";
  for (int n = 0; page.size() < bytes; ++n) AppendDocumentationSection(page, n);
  page += "</body></html>\n";
  return page;
}

int RunDocs(int repeat, std::string dir, const std::string& only) {
  if (dir.empty()) {
    char folder[] = "/tmp/corvane-docpage-bench-XXXXXX";
    if (!::mkdtemp(folder)) return 1;
    dir = folder;
  }
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/doc.css", std::ios::binary) << DocumentationSheet();
  const corvane::TDocumentDefaults defaults;
  corvane::TBuilderHandlers handlers;
  handlers.BaseAddress = dir + "/page.html";
  const TInstructionCounter counter;

  std::printf("%-8s %9s %9s %9s %9s %8s %14s\n", "page", "bytes", "build_ms", "layout_ms", "free_ms", "MB/s",
              "instructions");
  const std::pair<const char*, std::size_t> sizes[] = {
      {"small", 5000}, {"medium", 100000}, {"1MB", 1000000}, {"4MB", 4000000}};
  for (const auto& [label, size] : sizes) {
    if (!only.empty() && only != label) continue;
    const std::string page = DocumentationPage(size);
    std::vector<double> build, layout, teardown, instructions;
    int height = 0;
    for (int run = 0; run < repeat; ++run) {
      auto document = std::make_unique<corvane::TSectionList>();
      const std::int64_t count0 = counter.Read();
      const double start = ProcessMilliseconds();
      corvane::LoadHtmlDocument(*document, page, defaults, handlers);
      const double built = ProcessMilliseconds();
      int scrollWidth = 0;
      height = document->DoLayout(kWidth, 800, scrollWidth);
      const double laidOut = ProcessMilliseconds();
      const std::int64_t count1 = counter.Read();
      document.reset();
      build.push_back(built - start);
      layout.push_back(laidOut - built);
      teardown.push_back(ProcessMilliseconds() - laidOut);
      instructions.push_back(count0 < 0 ? -1.0 : static_cast<double>(count1 - count0));
    }
    const double total = Median(build) + Median(layout);
    std::printf("%-8s %9zu %9.2f %9.2f %9.2f %8.1f %14s  height %d\n", label, page.size(), Median(build),
                Median(layout), Median(teardown), total > 0 ? static_cast<double>(page.size()) / 1e6 / (total / 1e3) : 0.0,
                FormatCount(Median(instructions)).c_str(), height);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  mallopt(M_MXFAST, 0);  // the allocator set as the program sets it at its start
  if (argc < 2) {
    std::fprintf(stderr, "usage: corvane_docpage_bench tiny [--documents N] | docs [--repeat N] [--dir DIR] [--page LABEL]\n");
    return 2;
  }
  const std::string mode = argv[1];
  int documents = 1000;
  int repeat = 5;
  std::string dir;
  std::string only;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--documents") documents = std::max(1, std::atoi(argv[i + 1]));
    if (option == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
    if (option == "--dir") dir = argv[i + 1];
    if (option == "--page") only = argv[i + 1];
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (mode == "tiny") return RunTiny(documents);
  if (mode == "docs") return RunDocs(repeat, dir, only);
  std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
  return 2;
}
