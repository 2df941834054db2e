// Measures the viewer control as the Table Select dialog uses it: a view of the dialog's size (543 x 435)
// is handed the file's first table the way the dialog hands it over (three lines: "<html><body>", the
// table, "</body></html>"), and the time runs until the first frame of it is painted. Then it times a
// scroll step of one line (the Down key) at the top and at the bottom of the document, each with its
// repaint, and reports the process's peak memory.
//
//   corvane_view_bench FILE [--repeat N]
//   load_to_frame_ms scroll_top_ms scroll_bottom_ms document_height peak_rss_mb
#include <QApplication>
#include <QKeyEvent>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "extract/table_fragment_scanner.h"
#include "viewer/html_view.h"

namespace {

using corvane::bench::Clock;
using corvane::bench::Median;
using corvane::bench::Milliseconds;

// The median time of a one-line scroll and its repaint, over steps down and back up.
double ScrollStep(corvane::THtmlView& view, int steps) {
  std::vector<double> times;
  for (int i = 0; i < steps; ++i) {
    const Qt::Key key = i % 2 == 0 ? Qt::Key_Down : Qt::Key_Up;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    const auto start = Clock::now();
    QApplication::sendEvent(&view, &press);
    view.PaintPanel()->repaint();
    times.push_back(Milliseconds(Clock::now() - start));
  }
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: corvane_view_bench FILE [--repeat N]\n");
    return 2;
  }
  int repeat = 5;
  for (int i = 2; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
  std::ifstream in(argv[1], std::ios::binary);
  std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && page.empty()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<std::string> tables = corvane::CutTableFragments(page);
  const std::string fragment = tables.empty() ? page : tables.front();
  page.clear();
  page.shrink_to_fit();
  tables.clear();

  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::vector<double> loads;
  double top = 0, bottom = 0;
  int height = 0;
  for (int run = 0; run < repeat; ++run) {
    corvane::THtmlView view;
    view.SetDefBackground(0xFFFFFF);
    view.resize(543, 435);
    view.show();
    QApplication::processEvents();
    const auto start = Clock::now();
    std::vector<std::string> lines;
    lines.reserve(3);
    lines.emplace_back("<html><body>");
    lines.push_back(fragment);
    lines.emplace_back("</body></html>");
    view.LoadFromStrings(std::move(lines), "test");
    view.PaintPanel()->repaint();
    loads.push_back(Milliseconds(Clock::now() - start));
    if (run == repeat - 1) {
      top = ScrollStep(view, 20);
      view.ScrollToY(view.DocumentHeight());
      view.PaintPanel()->repaint();
      bottom = ScrollStep(view, 20);
      height = view.DocumentHeight();
    }
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.2f %.2f %.2f %d %.1f\n", Median(loads), top, bottom, height, usage.ru_maxrss / 1024.0);
  return 0;
}
