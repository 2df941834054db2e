// Measures the viewer control as the Table Select dialog uses it: a view of the dialog's size (543 x 435)
// is handed the file's first table the way the dialog hands it over (three lines: "<html><body>", the
// table, "</body></html>"), and the time runs until the first frame of it is painted. Then it times a
// scroll step of one line (the Down key) at the top and at the bottom of the document, each with its
// repaint, and reports the process's peak memory. At the bottom it also times mouse moves over the table:
// hovering (the link and cursor hit tests), and dragging with the left button held (the selection
// extended at each move), without their repaints.
//
// FILE may be gen:forms:N, a table of N form controls (five to a row).
//
//   corvane_view_bench FILE [--repeat N]
//   load_to_frame_ms scroll_top_ms scroll_bottom_ms document_height peak_rss_mb hover_move_ms drag_move_ms
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

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
#include "generate_forms.h"
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
    // What the step left for the event loop (moves of the controls' windows) is part of it.
    QApplication::processEvents();
    times.push_back(Milliseconds(Clock::now() - start));
  }
  return Median(times);
}

// The median time of a mouse move over the panel, the pointer going to and fro across it.
double MouseMove(corvane::THtmlView& view, Qt::MouseButtons buttons, int moves) {
  QWidget* panel = view.PaintPanel();
  std::vector<double> times;
  for (int i = 0; i < moves; ++i) {
    const QPointF point(10 + (i * 37) % (panel->width() - 20), 10 + (i * 53) % (panel->height() - 20));
    QMouseEvent move(QEvent::MouseMove, point, panel->mapToGlobal(point), Qt::NoButton, buttons, Qt::NoModifier);
    const auto start = Clock::now();
    QApplication::sendEvent(panel, &move);
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
  const std::string name = argv[1];
  std::ifstream in;
  if (name.rfind("gen:forms:", 0) != 0) in.open(name, std::ios::binary);
  std::string page = name.rfind("gen:forms:", 0) == 0 ? corvane::bench::FormsPage(std::atol(name.c_str() + 10))
                                                       : std::string(std::istreambuf_iterator<char>(in), {});
  if (!in.is_open() && page.empty()) {
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
  double top = 0, bottom = 0, hover = 0, drag = 0;
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
      // Down the whole document a page at a time, as a reader goes, so that everything on the way has
      // been shown once.
      for (int y = 0; y < view.DocumentHeight(); y += view.PaintPanel()->height()) {
        view.ScrollToY(y);
        view.PaintPanel()->repaint();
        QApplication::processEvents();
      }
      view.ScrollToY(view.DocumentHeight());
      view.PaintPanel()->repaint();
      bottom = ScrollStep(view, 20);
      height = view.DocumentHeight();
      hover = MouseMove(view, Qt::NoButton, 200);
      QWidget* panel = view.PaintPanel();
      const QPointF press(20, 20);
      QMouseEvent down(QEvent::MouseButtonPress, press, panel->mapToGlobal(press), Qt::LeftButton, Qt::LeftButton,
                       Qt::NoModifier);
      QApplication::sendEvent(panel, &down);
      drag = MouseMove(view, Qt::LeftButton, 200);
      QMouseEvent up(QEvent::MouseButtonRelease, press, panel->mapToGlobal(press), Qt::LeftButton, Qt::NoButton,
                     Qt::NoModifier);
      QApplication::sendEvent(panel, &up);
    }
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.2f %.2f %.2f %d %.1f %.3f %.3f\n", Median(loads), top, bottom, height, usage.ru_maxrss / 1024.0,
              hover, drag);
  return 0;
}
