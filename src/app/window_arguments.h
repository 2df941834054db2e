#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

// The arguments of the window commands (`corvane [FILE...]`, `corvane view FILE`) once the toolkit's
// own options are set aside: those (-style NAME, -platform NAME, -reverse, ...) are left in argv for
// the application object, which takes them.
struct TWindowArguments {
  std::vector<std::string> files;
  std::optional<std::string> skin;  // --skin NAME|FILE, or --skin=NAME|FILE
  std::string error;                // a usage error, empty when the arguments are sound
  bool platformChosen = false;      // -platform NAME: the window needs no display variable
};

TWindowArguments ParseWindowArguments(const std::vector<std::string>& args);

// True when arg is one of the toolkit's options; takesValue tells whether the next argument is its
// value (-style fusion) rather than a file. "--style" is taken as "-style", as the toolkit does.
bool IsToolkitOption(const std::string& arg, bool& takesValue);

}  // namespace corvane
