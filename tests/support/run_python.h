// Runs a small Python script of a test on a file, for checks that read an output back with Python's
// own libraries (openpyxl and the like).
#pragma once

#include <cstdio>
#include <string>

#include "support/temp_dir.h"

namespace corvane::test {

// Runs script with Debian's python3 on file and returns what it prints, standard error included.
inline std::string RunPython(const std::string& script, const std::string& file) {
  TTempDir dir;
  const std::string scriptPath = dir.Write("read.py", script);
  const std::string command = "/usr/bin/python3 " + scriptPath + " '" + file + "' 2>&1";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    ::pclose(pipe);
  }
  return output;
}

}  // namespace corvane::test
