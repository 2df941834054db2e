#include "app/window_arguments.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace corvane {
namespace {

using Args = std::vector<std::string>;

TEST(WindowArgumentsTest, ToolkitOptionsAreSetAsideAndOursAreRead) {
  struct Case {
    Args args;
    Args files;
    const char* skin;  // nullptr: none given
    std::string error;
    bool platform;
  };
  const Case cases[] = {
      {{"a.html", "b.htm"}, {"a.html", "b.htm"}, nullptr, "", false},
      {{"-style", "fusion", "a.html"}, {"a.html"}, nullptr, "", false},
      {{"--style", "fusion", "a.html"}, {"a.html"}, nullptr, "", false},
      {{"-style=fusion", "a.html"}, {"a.html"}, nullptr, "", false},
      {{"-platform", "offscreen", "-reverse", "a.html"}, {"a.html"}, nullptr, "", true},
      {{"-platform=offscreen"}, {}, nullptr, "", true},
      {{"-qwindowgeometry", "800x600+0+0", "-widgetcount"}, {}, nullptr, "", false},
      {{"--skin", "dark", "a.html"}, {"a.html"}, "dark", "", false},
      {{"--skin=/home/u/my.qss"}, {}, "/home/u/my.qss", "", false},
      {{"-x"}, {}, nullptr, "unknown option '-x'", false},
      {{"-reverse=1"}, {}, nullptr, "unknown option '-reverse=1'", false},
      {{"--tables", "1"}, {}, nullptr, "unknown option '--tables'", false},
      {{"a.html", "-style"}, {"a.html"}, nullptr, "option '-style' needs a value", false},
      {{"--skin"}, {}, nullptr, "option '--skin' needs a skin: desktop, light, dark or a .qss file", false},
      {{"-"}, {"-"}, nullptr, "", false},
  };
  for (const Case& c : cases) {
    const std::string name = testing::PrintToString(c.args);
    const TWindowArguments parsed = ParseWindowArguments(c.args);
    EXPECT_EQ(parsed.error, c.error) << name;
    if (!c.error.empty()) continue;
    EXPECT_EQ(parsed.files, c.files) << name;
    EXPECT_EQ(parsed.skin.has_value(), c.skin != nullptr) << name;
    if (c.skin) {
      EXPECT_EQ(*parsed.skin, c.skin) << name;
    }
    EXPECT_EQ(parsed.platformChosen, c.platform) << name;
  }
}

}  // namespace
}  // namespace corvane
