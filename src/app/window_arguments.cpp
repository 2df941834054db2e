#include "app/window_arguments.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace corvane {

namespace {

// The options the application object reads from the command line, with a value and without.
constexpr std::array<std::string_view, 19> kOptionsWithValue = {
    "style",   "stylesheet", "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowtitle", "qwindowicon", "session", "display", "geometry", "title", "name", "font", "fn",
    "background", "foreground", "visual"};
constexpr std::array<std::string_view, 6> kFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync",
                                                   "testability"};

}  // namespace

bool IsToolkitOption(const std::string& arg, bool& takesValue) {
  std::string_view name = arg;
  if (name.size() < 2 || name[0] != '-') return false;
  name.remove_prefix(name.starts_with("--") ? 2 : 1);
  const std::size_t equals = name.find('=');
  const bool hasValue = equals != std::string_view::npos;
  if (hasValue) name = name.substr(0, equals);
  const auto in = [name](const auto& list) { return std::find(list.begin(), list.end(), name) != list.end(); };
  if (in(kOptionsWithValue)) {
    takesValue = !hasValue;
    return true;
  }
  takesValue = false;
  return !hasValue && in(kFlags);
}

TWindowArguments ParseWindowArguments(const std::vector<std::string>& args) {
  TWindowArguments parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool takesValue = false;
    if (arg == "--skin" || arg.starts_with("--skin=")) {
      if (arg == "--skin" && i + 1 == args.size()) {
        parsed.error = "option '--skin' needs a skin: desktop, light, dark or a .qss file";
        return parsed;
      }
      parsed.skin = arg == "--skin" ? args[++i] : arg.substr(7);
    } else if (IsToolkitOption(arg, takesValue)) {
      const std::string_view bare = std::string_view(arg).substr(arg.starts_with("--") ? 2 : 1);
      if (bare.starts_with("platform") && (bare.size() == 8 || bare[8] == '=')) parsed.platformChosen = true;
      if (takesValue && ++i == args.size()) {
        parsed.error = "option '" + arg + "' needs a value";
        return parsed;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      parsed.error = "unknown option '" + arg + "'";
      return parsed;
    } else {
      parsed.files.push_back(arg);
    }
  }
  return parsed;
}

}  // namespace corvane
