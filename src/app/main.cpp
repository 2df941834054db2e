#include <QApplication>
#include <QFileInfo>
#include <QUrl>

#include <malloc.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/render_command.h"
#include "app/skin.h"
#include "app/ui_texts.h"
#include "app/view_command.h"
#include "app/window_arguments.h"

namespace {

// The window, with the files of the command line in its input list as if they had been dropped.
int RunWindow(int argc, char** argv, const corvane::TWindowArguments& arguments) {
  std::optional<corvane::TDisplayOpening> opening(std::in_place);
  // The toolkit reads its options only before a "--": the files after it are never taken for them.
  int toolkitArgc = std::min(argc, 1 + static_cast<int>(arguments.toolkitArguments));
  QApplication app(toolkitArgc, argv);
  opening.reset();
  QApplication::setApplicationName(corvane::kApplicationTitle);
  QApplication::setWindowIcon(corvane::ApplicationIcon());
  // The look: the one asked for on the command line, or the one chosen last. A skin that cannot be
  // loaded leaves the desktop's look, with a word on standard error.
  {
    QString skinError;
    const bool skinned = arguments.skin ? corvane::ApplySkinOption(QString::fromLocal8Bit(arguments.skin->c_str()), &skinError)
                                        : corvane::ApplyRememberedSkin(&skinError);
    if (!skinned) std::fprintf(stderr, "corvane: %s\n", skinError.toLocal8Bit().constData());
  }
  corvane::TfrmMain window;
  QList<QUrl> urls;
  for (const std::string& file : arguments.files)
    urls << QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(file.c_str())).absoluteFilePath());
  window.HandleDroppedFiles(urls);
  window.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  // A file grown past the size limit (ulimit -f) is a failed write, undone like a full disk, never the
  // end of the process in the middle of a row.
  std::signal(SIGXFSZ, SIG_IGN);
  // Small blocks are merged with their free neighbours when they are freed, not piled up for a later
  // request to sort: a page's document frees a hundred thousand of them at once, and the sorting then
  // fell to the next large request, the next page's build (about a tenth of the time of a build, layout
  // and teardown of a large page).
  mallopt(M_MXFAST, 0);
  const std::vector<std::string> args(argv + 1, argv + argc);
  int status = corvane::kExitSuccess;
  if (corvane::HandleInfoOptions(args, status)) return status;
  if (corvane::IsConvertCommand(args)) return corvane::RunConvertCommand(args);
  if (corvane::IsRenderCommand(args)) return corvane::RunRenderCommand(argc, argv, args);
  if (corvane::IsViewCommand(args)) return corvane::RunViewCommand(argc, argv, args);
  // The toolkit's own options (-style, -platform, ...) are the application object's to take.
  const corvane::TWindowArguments window = corvane::ParseWindowArguments(args);
  if (!window.error.empty()) {
    std::fprintf(stderr, "corvane: %s\nTry 'corvane --help' for more information.\n", window.error.c_str());
    return corvane::kExitUsage;
  }
  if (!window.platformChosen && !corvane::CheckDisplay()) return corvane::kExitUsage;
  return RunWindow(argc, argv, window);
}
