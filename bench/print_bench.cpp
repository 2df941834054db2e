// Measures printing a page into a PDF the way `corvane render FILE -o OUT.pdf` does: the print copy
// built and laid out at the width of A4 paper between 2 cm margins and cut into pages, then every page
// painted into a PDF in memory. Apart from it, the page is built once more and its first layout timed
// against its pagination (the median of N), and a layout again (the median of N, which finds much of the
// work done); last it reports the process's peak memory.
//
//   corvane_print_bench FILE [--repeat N]
//   copy_ms pdf_ms total_ms pages pdf_mb layout_ms relayout_ms paginate_ms paginate_share peak_rss_mb
#include <QBuffer>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "forms/form_controls.h"
#include "layout/pagination.h"
#include "layout/section_list.h"
#include "viewer/print_document.h"

namespace {

using corvane::bench::Clock;
using corvane::bench::Median;
using corvane::bench::Milliseconds;

constexpr int kResolution = 1200;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: corvane_print_bench FILE [--repeat N]\n");
    return 2;
  }
  int repeat = 5;
  for (int i = 2; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  corvane::TPrintSource source;
  source.Text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  source.ReferenceName = argv[1];

  const auto start = Clock::now();
  corvane::TPrintCopy copy(source, QPageSize(QPageSize::A4).size(QPageSize::Millimeter), kResolution);
  const double copyMs = Milliseconds(Clock::now() - start);

  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  const auto paintStart = Clock::now();
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(kResolution);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QString error;
    if (!corvane::PaintPrintCopy(copy, writer, &error)) {
      std::fprintf(stderr, "%s\n", qPrintable(error));
      return 1;
    }
  }
  const double pdfMs = Milliseconds(Clock::now() - paintStart);
  const double totalMs = Milliseconds(Clock::now() - start);

  // The same page built again, its first layout against its pagination.
  corvane::TFormControls controls;
  corvane::TBuilderHandlers handlers;
  handlers.FormControls = &controls;
  corvane::TSectionList document;
  corvane::LoadHtmlDocument(document, source.Text, corvane::TDocumentDefaults{}, handlers);
  document.Printing = true;
  document.IsCopy = true;
  int scrollWidth = 0;
  auto t = Clock::now();
  const int height = document.DoLayout(copy.ContentWidth(), copy.PageHeight(), scrollWidth);
  const double layoutMs = Milliseconds(Clock::now() - t);
  std::vector<double> layouts;
  std::vector<double> paginations;
  for (int i = 0; i < repeat; ++i) {
    t = Clock::now();
    const std::vector<corvane::TPageRange> pages = corvane::PaginateDocument(document, height, copy.PageHeight());
    paginations.push_back(Milliseconds(Clock::now() - t));
    if (static_cast<int>(pages.size()) != copy.PageCount()) std::fprintf(stderr, "page counts differ\n");
    t = Clock::now();
    document.DoLayout(copy.ContentWidth(), copy.PageHeight(), scrollWidth);
    layouts.push_back(Milliseconds(Clock::now() - t));
  }

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double relayout = Median(layouts);
  const double paginate = Median(paginations);
  std::printf("copy_ms pdf_ms total_ms pages pdf_mb layout_ms relayout_ms paginate_ms paginate_share peak_rss_mb\n");
  std::printf("%.1f %.1f %.1f %d %.2f %.1f %.1f %.2f %.3f %.1f\n", copyMs, pdfMs, totalMs, copy.PageCount(),
              static_cast<double>(buffer.size()) / (1024.0 * 1024.0), layoutMs, relayout, paginate,
              layoutMs > 0 ? paginate / layoutMs : 0.0, static_cast<double>(usage.ru_maxrss) / 1024.0);
  return 0;
}
