#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "style/style_shorthands.h"

namespace corvane {
namespace {

using TItems = std::vector<std::string>;

TEST(StyleShorthands, SplitValueIntoItems) {
  struct TCase {
    const char* text;
    int maximum;
    TItems items;
  };
  const std::vector<TCase> cases = {
      {"  1px   2px  ", 4, {"1px", "2px"}},
      {"italic 12px/1.5 'Times New Roman', serif", 7, {"italic", "12px", "/1.5", "'Times New Roman',serif"}},
      {"a, b ,c d", 7, {"a,b", ",c", "d"}},
      {"\"a b\"c d 'e\" f' g", 7, {"\"a b\"c", "d", "'e\" f'", "g"}},
      {"x 'open quote", 7, {"x", "'open quote"}},
      {"/a/b c", 7, {"/a", "/b", "c"}},
      {"1 2 3 4 5 6", 4, {"1", "2", "3", "4", "5"}},
      {"", 4, {}},
  };
  for (const TCase& c : cases) EXPECT_EQ(SplitValue(c.text, c.maximum), c.items) << c.text;
}

TEST(StyleShorthands, TakeFunctionsCutsUrlsThenColours) {
  struct TCase {
    const char* text;
    TItems items;
    const char* rest;
  };
  const std::vector<TCase> cases = {
      {"rgb(1,2,3) url(a.gif) no-repeat", {"url(a.gif)", "rgb(1,2,3)"}, "  no-repeat"},
      {"x) url(a", {}, "x) url(a"},
      {"url(1)url(2)url(3)url(4)url(5)url(6)url(7)url(8)", {"url(1)", "url(2)", "url(3)", "url(4)", "url(5)", "url(6)", "url(7)"},
       "url(8)"},
      {"solid", {}, "solid"},
  };
  for (const TCase& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(TakeFunctions(text), c.items) << c.text;
    EXPECT_EQ(text, c.rest) << c.text;
  }
}

}  // namespace
}  // namespace corvane
