#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  int status = corvane::kExitSuccess;
  if (corvane::HandleInfoOptions(args, status)) return status;
  if (corvane::IsConvertCommand(args)) return corvane::RunConvertCommand(args);
  if (!args.empty()) {
    std::fprintf(stderr, "corvane: unknown command '%s'\nTry 'corvane --help' for more information.\n",
                 args[0].c_str());
    return corvane::kExitUsage;
  }
  corvane::PrintUsage();
  return status;
}
