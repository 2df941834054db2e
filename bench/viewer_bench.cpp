// Measures the viewer's engine on one page as the comparison engines are measured: building the
// document from the file's text, laying it out at a width, and painting its top 800 pixels into a
// WIDTH x 800 picture (ARGB32 premultiplied, white fill included), offscreen, default font
// "Times New Roman" 16 px. Prints medians over fresh documents and the laid-out height:
//
//   corvane_viewer_bench FILE WIDTH [--repeat N] [--paint-at Y]
//   parse_ms layout_ms paint_ms height
//
// FILE may also name a generated page: gen:paragraph:BYTES (one paragraph of words), gen:pre:BYTES (one
// preformatted line), gen:lines:N (N preformatted lines of 40 characters), gen:images:N (a table of N
// pictures, ten to a row: nine in ten the same spacer GIF, the others a flag GIF or missing, with their
// files written beside the page in a temporary folder), gen:inline-images:N (the same pictures in one
// paragraph), gen:forms:N (a table of N form controls, five to a row).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdlib.h>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "forms/form_controls.h"
#include "generate_forms.h"
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
  } else if (kind == "images" || kind == "inline-images") {
    const bool table = kind == "images";
    text = table ? "<table border=1>" : "<p>";
    for (long i = 0; i < size; ++i) {
      if (table && i % 10 == 0) text += "<tr>";
      if (table) text += "<td>";
      if (i % 10 == 3) {
        text += "<img src=flag.gif alt=\"Flag " + std::to_string(i) + "\">";
      } else if (i % 20 == 7) {
        text += "<img src=missing" + std::to_string(i % 50) + ".gif alt=Missing>";
      } else {
        text += "<img src=spacer.gif width=" + std::to_string(8 + i % 5) + " height=8>";
      }
      text += table ? "</td>" : " ";
    }
    if (table) text += "</table>";
  } else if (kind == "forms") {
    text = corvane::bench::FormsPage(size);
  } else if (kind == "lines") {
    text = "<pre>";
    for (long i = 0; i < size; ++i) text += "line " + std::to_string(i) + " of the document, some more text\n";
    text += "</pre>";
  }
  return text;
}

// A GIF file of width x height pixels of colour index 0 (of the colours red and white), with a
// transparent index when asked: the LZW data is a clear code, then index 0 repeated by the encoder's
// simplest form (one code per pixel, resetting before the code size grows), then the end code.
std::string SmallGif(int width, int height, bool transparent) {
  auto word = [](int value) { return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; };
  std::string gif = "GIF89a" + word(width) + word(height) + std::string("\x80\0\0\xff\0\0\xff\xff\xff", 9);
  if (transparent) gif += std::string("\x21\xf9\x04\x01\0\0\0\0", 8);
  gif += "," + word(0) + word(0) + word(width) + word(height) + std::string(1, '\0');
  // Code size 3 bits (minimum 2): clear = 4, end = 5. Codes are packed from the lowest bit.
  gif += '\x02';
  std::string data;
  unsigned bits = 0;
  int count = 0;
  auto put = [&](unsigned code) {
    bits |= code << count;
    count += 3;
    while (count >= 8) {
      data.push_back(static_cast<char>(bits & 0xFF));
      bits >>= 8;
      count -= 8;
    }
  };
  const long pixels = static_cast<long>(width) * height;
  for (long i = 0; i < pixels; ++i) {
    // A clear before every pair keeps the table from growing past 3-bit codes.
    if (i % 2 == 0) put(4);
    put(0);
  }
  put(5);
  if (count > 0) data.push_back(static_cast<char>(bits & 0xFF));
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - at);
    gif.push_back(static_cast<char>(n));
    gif += data.substr(at, n);
  }
  gif += std::string("\0;", 2);
  return gif;
}

// Writes the pictures of the generated image pages into a new temporary folder; returns the page's
// address in it.
std::string WritePicturesFolder() {
  char folder[] = "/tmp/corvane-viewer-bench-XXXXXX";
  if (!::mkdtemp(folder)) return "page.html";
  auto write = [&folder](const char* name, const std::string& bytes) {
    std::ofstream(std::string(folder) + "/" + name, std::ios::binary) << bytes;
  };
  write("spacer.gif", SmallGif(1, 1, true));
  write("flag.gif", SmallGif(24, 16, false));
  return std::string(folder) + "/page.html";
}

}  // namespace

int main(int argc, char** argv) {
  mallopt(M_MXFAST, 0);  // the allocator set as the program sets it at its start
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
  corvane::TBuilderHandlers handlers;
  corvane::TFormControls formControls;
  handlers.FormControls = &formControls;
  if (path.rfind("gen:images:", 0) == 0 || path.rfind("gen:inline-images:", 0) == 0)
    handlers.BaseAddress = WritePicturesFolder();
  std::vector<double> parse, layout, paint;
  int height = 0;
  for (int run = 0; run < repeat; ++run) {
    corvane::TSectionList document;
    document.PaintControls = true;
    auto start = Clock::now();
    corvane::LoadHtmlDocument(document, text, defaults, handlers);
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
  if (!handlers.BaseAddress.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(handlers.BaseAddress).parent_path(), ignored);
  }
  return 0;
}
