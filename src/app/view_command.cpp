#include "app/view_command.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/command_line.h"
#include "app/display_text.h"
#include "app/main_window.h"
#include "app/ui_texts.h"
#include "viewer/html_view.h"

namespace corvane {

bool IsViewCommand(const std::vector<std::string>& args) { return !args.empty() && args[0] == "view"; }

int RunViewCommand(int argc, char** argv, const std::vector<std::string>& args) {
  if (args.size() != 2 || (args[1].size() > 1 && args[1][0] == '-')) {
    std::fprintf(stderr, "corvane: view takes one FILE\nTry 'corvane --help' for more information.\n");
    return kExitUsage;
  }
  // A missing file is told before any window is opened (or a display is needed).
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(args[1], code);
  if (!std::filesystem::exists(status)) {
    std::fprintf(stderr, "corvane: Can't locate file: %s\n", args[1].c_str());
    return kExitFailure;
  }
  // Something there that is not a page to read (a folder, a FIFO, a device) is named for what it is.
  if (!std::filesystem::is_regular_file(status)) {
    std::fprintf(stderr, "corvane: cannot show %s: %s\n", args[1].c_str(),
                 std::filesystem::is_directory(status) ? "Is a directory" : "not a regular file");
    return kExitFailure;
  }
  if (!CheckDisplay()) return kExitUsage;
  std::optional<TDisplayOpening> opening(std::in_place);
  QApplication app(argc, argv);
  opening.reset();
  QApplication::setApplicationName(kApplicationTitle);
  QApplication::setWindowIcon(ApplicationIcon());
  THtmlView view;
  view.SetDefBackground(0xFFFFFF);
  view.DefFontColor = 0x000000;  // a pair with the white: never the theme's light text on it
  view.resize(800, 600);
  // The browse button of a file field chooses a file.
  view.OnFileBrowse = [&view](QString& file) {
    const QString chosen = QFileDialog::getOpenFileName(&view, QString(), file);
    if (chosen.isEmpty()) return false;
    file = chosen;
    return true;
  };
  std::string error;
  try {
    if (!view.LoadFromFile(args[1], error)) {
      std::fprintf(stderr, "corvane: %s\n", error.c_str());
      return kExitFailure;
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "corvane: cannot show %s: %s\n", args[1].c_str(), failure.what());
    return kExitFailure;
  }
  const QString title = view.DocumentTitle().isEmpty() ? QFileInfo(DisplayText(args[1])).fileName() : view.DocumentTitle();
  view.setWindowTitle(title + " - " + kApplicationTitle);
  view.show();
  return QApplication::exec();
}

}  // namespace corvane
