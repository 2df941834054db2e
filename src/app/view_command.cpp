#include "app/view_command.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/skin.h"
#include "app/ui_texts.h"
#include "app/view_window.h"
#include "app/window_arguments.h"

namespace corvane {

bool IsViewCommand(const std::vector<std::string>& args) { return !args.empty() && args[0] == "view"; }

int RunViewCommand(int argc, char** argv, const std::vector<std::string>& args) {
  // The toolkit's own options (-style, -platform, ...) are the application object's to take.
  const TWindowArguments arguments = ParseWindowArguments({args.begin() + 1, args.end()});
  if (!arguments.error.empty()) {
    std::fprintf(stderr, "corvane: %s\nTry 'corvane --help' for more information.\n", arguments.error.c_str());
    return kExitUsage;
  }
  if (arguments.files.size() != 1) {
    std::fprintf(stderr, "corvane: view takes one FILE\nTry 'corvane --help' for more information.\n");
    return kExitUsage;
  }
  const std::string& file = arguments.files.front();
  // A missing file is told before any window is opened (or a display is needed).
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(file, code);
  if (!std::filesystem::exists(status)) {
    std::fprintf(stderr, "corvane: Can't locate file: %s\n", file.c_str());
    return kExitFailure;
  }
  // Something there that is not a page to read (a folder, a FIFO, a device) is named for what it is.
  if (!std::filesystem::is_regular_file(status)) {
    std::fprintf(stderr, "corvane: cannot show %s: %s\n", file.c_str(),
                 std::filesystem::is_directory(status) ? "Is a directory" : "not a regular file");
    return kExitFailure;
  }
  if (!arguments.platformChosen && !CheckDisplay()) return kExitUsage;
  std::optional<TDisplayOpening> opening(std::in_place);
  // The toolkit reads its options only before a "--": the files after it are never taken for them.
  int toolkitArgc = std::min(argc, 2 + static_cast<int>(arguments.toolkitArguments));
  QApplication app(toolkitArgc, argv);
  opening.reset();
  QApplication::setApplicationName(kApplicationTitle);
  QApplication::setWindowIcon(ApplicationIcon());
  // The look: the one asked for on the command line, or the one chosen last. A skin that cannot be
  // loaded leaves the desktop's look, with a word on standard error.
  {
    QString skinError;
    const bool skinned = arguments.skin ? ApplySkinOption(QString::fromLocal8Bit(arguments.skin->c_str()), &skinError)
                                        : ApplyRememberedSkin(&skinError);
    if (!skinned) std::fprintf(stderr, "corvane: %s\n", skinError.toLocal8Bit().constData());
  }
  TViewWindow window;
  std::string error;
  if (!window.Open(file, error)) {
    std::fprintf(stderr, "corvane: %s\n", error.c_str());
    return kExitFailure;
  }
  window.show();
  return QApplication::exec();
}

}  // namespace corvane
