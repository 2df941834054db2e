#include "app/window_arguments.h"

#include <array>

namespace corvane {

namespace {

constexpr TOption Toolkit(std::string_view name, std::string_view value) {
  return TOption{.Name = name, .Value = value, .Toolkit = true};
}

// --skin, and the options the application object reads from the command line, with a value and without.
constexpr std::array kWindowOptions = {
    TOption{"skin", 0, "NAME|FILE",
            "the look of this run: desktop, light, dark, or a Qt style sheet (.qss);\n"
            "without it, the skin chosen last under View > Skin",
            "option '--skin' needs a skin: desktop, light, dark or a .qss file"},
    Toolkit("style", "NAME"), Toolkit("stylesheet", "FILE"), Toolkit("platform", "NAME"),
    Toolkit("platformpluginpath", "PATH"), Toolkit("platformtheme", "NAME"), Toolkit("plugin", "NAME"),
    Toolkit("qwindowgeometry", "GEOMETRY"), Toolkit("qwindowtitle", "TITLE"), Toolkit("qwindowicon", "FILE"),
    Toolkit("session", "ID"), Toolkit("display", "DISPLAY"), Toolkit("geometry", "GEOMETRY"), Toolkit("title", "TITLE"),
    Toolkit("name", "NAME"), Toolkit("font", "FONT"), Toolkit("fn", "FONT"), Toolkit("background", "COLOR"),
    Toolkit("foreground", "COLOR"), Toolkit("visual", "VISUAL"),
    Toolkit("reverse", ""), Toolkit("widgetcount", ""), Toolkit("nograb", ""), Toolkit("dograb", ""), Toolkit("sync", ""),
    Toolkit("testability", ""),
};

}  // namespace

TOptionTable WindowOptionTable() { return kWindowOptions; }

TWindowArguments ParseWindowArguments(const std::vector<std::string>& args) {
  TWindowArguments parsed;
  const auto take = [&parsed](const TOption& option, std::string_view, const std::string& value) -> std::string {
    if (option.Name == "skin") parsed.skin = value;
    if (option.Name == "platform") parsed.platformChosen = true;
    return {};
  };
  parsed.error = ParseOptions(kWindowOptions, args, take, parsed.files, &parsed.toolkitArguments);
  return parsed;
}

}  // namespace corvane
