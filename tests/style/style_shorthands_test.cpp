#include <gtest/gtest.h>

#include <string>
#include <string_view>
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

// What a shorthand stores, "name=value" in the order stored.
class TRecordingStore final : public TDeclarationStore {
 public:
  TItems Stored;
  void Store(std::string_view name, std::string_view value) override {
    Stored.push_back(std::string(name) + "=" + std::string(value));
  }
};

// A whole number of three or more digits is a weight, never a size; the shorthand keeps the weight words
// only, so a numeric weight sets nothing and the size stays what the element inherits.
TEST(StyleShorthands, FontWeightsAreNoSizes) {
  struct TCase {
    const char* raw;
    TItems stored;
  };
  const std::vector<TCase> cases = {
      {"700 arial", {"font-family=arial"}},
      {"12px 700 arial", {"font-size=12px", "font-family=arial"}},
      {"700 12px arial", {"font-size=12px", "font-family=arial"}},
      {"100 arial", {"font-family=arial"}},
      {"200 arial", {"font-family=arial"}},
      {"300 arial", {"font-family=arial"}},
      {"400 arial", {"font-family=arial"}},
      {"500 arial", {"font-family=arial"}},
      {"600 arial", {"font-family=arial"}},
      {"800 arial", {"font-family=arial"}},
      {"900 arial", {"font-family=arial"}},
      {"700", {}},
      {"0700 1000 arial", {"font-family=arial"}},
      {"bold arial", {"font-weight=bold", "font-family=arial"}},
      {"bold 12px arial", {"font-weight=bold", "font-size=12px", "font-family=arial"}},
      {"12pt bold arial", {"font-size=12pt", "font-weight=bold", "font-family=arial"}},
      {"normal 700 bolder lighter x", {"font-weight=normal", "font-weight=bolder", "font-weight=lighter",
                                       "font-family=x"}},
      {"italic 700 small-caps 12px/1.5 'times new roman',serif",
       {"font-style=italic", "font-variant=small-caps", "font-size=12px", "line-height=1.5",
        "font-family='times new roman',serif"}},
      {"700 12px/700 arial", {"font-size=12px", "line-height=700", "font-family=arial"}},
      // Sizes: numbers of fewer than three digits, and anything with a unit or a fraction.
      {"12 arial", {"font-size=12", "font-family=arial"}},
      {"99 arial", {"font-size=99", "font-family=arial"}},
      {"1.2em arial", {"font-size=1.2em", "font-family=arial"}},
      {"150% arial", {"font-size=150%", "font-family=arial"}},
      {"700px arial", {"font-size=700px", "font-family=arial"}},
      {"100.5 arial", {"font-size=100.5", "font-family=arial"}},
      {"14pt arial", {"font-size=14pt", "font-family=arial"}},
      {"2ex arial", {"font-size=2ex", "font-family=arial"}},
      {"x-large 700 arial", {"font-size=x-large", "font-family=arial"}},
  };
  for (const TCase& c : cases) {
    TRecordingStore store;
    ExpandShorthand("font", c.raw, c.raw, store);
    EXPECT_EQ(store.Stored, c.stored) << c.raw;
  }
}

}  // namespace
}  // namespace corvane
