#pragma once

#include <string>
#include <vector>

namespace corvane {

// True when the arguments (without the program name) ask for `corvane view`.
bool IsViewCommand(const std::vector<std::string>& args);

// Runs `corvane view FILE`: the page window (TViewWindow) showing that page. Returns the exit status.
int RunViewCommand(int argc, char** argv, const std::vector<std::string>& args);

}  // namespace corvane
