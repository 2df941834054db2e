// Draws the pictures of the README offscreen: the main window with the bundled examples in its input
// list, and the Table Select dialog showing the second table of examples/nested-layout.html rendered.
//
//   corvane_screenshots EXAMPLES_DIR OUT_DIR
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QUrl>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "app/main_window.h"
#include "app/table_selection_dialog.h"
#include "app/ui_texts.h"
#include "extract/table_fragment_scanner.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvane_screenshots EXAMPLES_DIR OUT_DIR\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Settings of its own: never the user's remembered folders, sizes or skin, nor left behind for them.
  QStandardPaths::setTestModeEnabled(true);
  QSettings(corvane::kApplicationTitle, corvane::kApplicationTitle).clear();
  const QDir examples(QString::fromLocal8Bit(argv[1]));
  const QDir out(QString::fromLocal8Bit(argv[2]));

  corvane::TfrmMain window;
  QList<QUrl> urls;
  for (const QFileInfo& file : examples.entryInfoList({"*.html"}, QDir::Files, QDir::Name))
    urls << QUrl::fromLocalFile(file.absoluteFilePath());
  window.HandleDroppedFiles(urls);
  window.show();
  QApplication::processEvents();
  if (!window.grab().save(out.filePath("main-window.png"))) return 1;

  std::ifstream in(examples.filePath("nested-layout.html").toStdString(), std::ios::binary);
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  corvane::TfrmPreview dialog(&window);
  dialog.Fragments = corvane::CutTableFragments(page);
  dialog.UpdateListBox();
  dialog.show();
  QApplication::processEvents();
  if (dialog.lstTables()->count() > 1) dialog.lstTables()->item(1)->setSelected(true);
  QApplication::processEvents();
  if (!dialog.grab().save(out.filePath("table-select.png"))) return 1;
  return 0;
}
