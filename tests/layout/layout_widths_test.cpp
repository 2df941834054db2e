// Widths of content as the layout measures them.
#include <gtest/gtest.h>

#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::TTestDocument;

// The narrowest and widest widths of a section, 10 pixels a character: words end at spaces, after "-",
// "?" and soft hyphens (which add a hyphen), and around ideographs, which stand alone.
TEST(LayoutWidths, WordsOfASection) {
  struct TCase {
    const char* Html;
    int Min;
    int Max;
  } const cases[] = {
      {"a", 10, 20},
      {"abcdefgh", 80, 90},
      {"abcdefghi jk", 90, 130},
      {"ab?cd efg", 30, 100},            // "ab?" ends at the "?"
      {"ab-?cd", 30, 70},                // "ab-" and then "?cd"
      {"a&shy;bcdef", 50, 70},           // "a" and its hyphen, then "bcdef"
      {"ab&#x4E00;&#x4E01;cd", 20, 70},  // ideographs stand alone between the words
      {"&#x1F600;ab", 20, 40},           // a pair stands alone, 10 wide, its low half 0
      {"<nobr>ab?cd ef</nobr>", 90, 90},  // no break inside: one word, its final space too
      {"ab <b>cdefg</b>h", 60, 100},     // a word across font runs
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(400);
    int min = 0, max = 0;
    document.Sections().at(0)->GetMinMaxWidth(min, max);
    EXPECT_EQ(min, c.Min) << c.Html;
    EXPECT_EQ(max, c.Max) << c.Html;
  }
}

}  // namespace
}  // namespace corvane
