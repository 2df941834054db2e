#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/options.h"

namespace corvane {

// The arguments of the window commands (`corvane [FILE...]`, `corvane view FILE`) once the toolkit's
// own options are set aside: those (-style NAME, -platform NAME, -reverse, ...) are left in argv for
// the application object, which takes them.
struct TWindowArguments {
  std::vector<std::string> files;
  std::optional<std::string> skin;  // --skin NAME|FILE, or --skin=NAME|FILE
  std::string error;                // a usage error, empty when the arguments are sound
  bool platformChosen = false;      // -platform NAME: the window needs no display variable
  // How many of the arguments the toolkit may read: those before a "--", after which every argument
  // is a file (-odd-name.html), never one of its options.
  std::size_t toolkitArguments = 0;
};

TWindowArguments ParseWindowArguments(const std::vector<std::string>& args);

// The options of the windows: ours (--skin), then the toolkit's own, which are read with one dash or
// two ("--style" is taken as "-style", as the toolkit does).
TOptionTable WindowOptionTable();

}  // namespace corvane
