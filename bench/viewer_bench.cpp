// Measures the viewer's engine on one page as the comparison engines are measured: building the
// document from the file's text, laying it out at a width, and painting its top 800 pixels into a
// WIDTH x 800 picture (ARGB32 premultiplied, white fill included), offscreen, default font
// "Times New Roman" 16 px. Prints medians over fresh documents and the laid-out height:
//
//   corvane_viewer_bench FILE WIDTH [--repeat N] [--paint-at Y]
//   parse_ms layout_ms paint_ms height
//
// FILE may also name a generated page: gen:paragraph:BYTES (one paragraph of words), gen:pre:BYTES (one
// preformatted line), gen:lines:N (N preformatted lines of 40 characters).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "builder/document_loader.h"
#include "layout/section_list.h"

namespace {

using corvane::bench::Clock;
using corvane::bench::Median;
using corvane::bench::Milliseconds;

// The text of a generated page, or nothing when the name asks for none.
std::optional<std::string> GeneratedPage(const std::string& name) {
  if (name.rfind("gen:", 0) != 0) return std::nullopt;
  const std::size_t colon = name.find(':', 4);
  const std::string kind = name.substr(4, colon - 4);
  const long size = colon == std::string::npos ? 0 : std::atol(name.c_str() + colon + 1);
  std::string text;
  if (kind == "paragraph") {
    text = "<p>";
    for (long i = 0; static_cast<long>(text.size()) < size; ++i) text += "word" + std::to_string(i % 1000) + " ";
  } else if (kind == "pre") {
    text = "<pre>";
    for (long i = 0; static_cast<long>(text.size()) < size; ++i) text += static_cast<char>('a' + i % 26);
    text += "</pre>";
  } else if (kind == "lines") {
    text = "<pre>";
    for (long i = 0; i < size; ++i) text += "line " + std::to_string(i) + " of the document, some more text\n";
    text += "</pre>";
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: corvane_viewer_bench FILE WIDTH [--repeat N] [--paint-at Y]\n");
    return 2;
  }
  const std::string path = argv[1];
  const int width = std::atoi(argv[2]);
  int repeat = 5;
  int paintAt = 0;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
    if (option == "--paint-at") paintAt = std::max(0, std::atoi(argv[i + 1]));
  }
  std::string text;
  if (std::optional<std::string> generated = GeneratedPage(path)) {
    text = std::move(*generated);
  } else {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      return 1;
    }
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  corvane::TDocumentDefaults defaults;
  std::vector<double> parse, layout, paint;
  int height = 0;
  for (int run = 0; run < repeat; ++run) {
    corvane::TSectionList document;
    document.PaintControls = true;
    auto start = Clock::now();
    corvane::LoadHtmlDocument(document, text, defaults);
    auto parsed = Clock::now();
    int scrollWidth = 0;
    height = document.DoLayout(width, 800, scrollWidth);
    auto laidOut = Clock::now();
    QImage picture(width, 800, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    {
      QPainter painter(&picture);
      document.SetYOffset(std::min(paintAt, std::max(0, height - 800)));
      document.Paint(painter, QRect(0, 0, width, 800), 6000, 0, 0, 0, 0);
    }
    auto painted = Clock::now();
    parse.push_back(Milliseconds(parsed - start));
    layout.push_back(Milliseconds(laidOut - parsed));
    paint.push_back(Milliseconds(painted - laidOut));
  }
  std::printf("%.2f %.2f %.2f %d\n", Median(parse), Median(layout), Median(paint), height);
  return 0;
}
