#pragma once

#include <string>
#include <vector>

#include "app/options.h"

namespace corvane {

// Exit statuses of the command line.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // a file failed or the job stopped
inline constexpr int kExitUsage = 2;

// True when the arguments (without the program name) ask for the headless conversion.
bool IsConvertCommand(const std::vector<std::string>& args);

// Runs `corvane convert ...` (args without the program name, starting with "convert"): the job of the
// window, without a display, its log on standard output. Returns the exit status.
int RunConvertCommand(const std::vector<std::string>& args);

// Handles --help and --version; returns true with status set when args asked for either.
bool HandleInfoOptions(const std::vector<std::string>& args, int& status);

void PrintUsage();

// The options that are no command's: -h, --help and --version.
TOptionTable GeneralOptionTable();

// Whether a window can be shown: a display (X11 or Wayland) or a platform chosen by QT_QPA_PLATFORM.
// Without one, `corvane [FILE...]` and `corvane view` say what to do instead and return false.
bool CheckDisplay();

// While it lives, the toolkit failing to open the display (a display that does not answer, a platform
// plugin that is missing) ends the process with status 2 and a message saying so, instead of an abort.
// Made around the construction of the window's application.
class TDisplayOpening {
 public:
  TDisplayOpening();
  ~TDisplayOpening();
  TDisplayOpening(const TDisplayOpening&) = delete;
  TDisplayOpening& operator=(const TDisplayOpening&) = delete;
};

// The progress line of a long job on a terminal: "3 of 10 files, 45.2 MB/s".
std::string ProgressLine(int done, int total, double megabytes, double seconds);

}  // namespace corvane
