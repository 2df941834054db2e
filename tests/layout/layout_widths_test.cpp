// Widths of content as the layout measures them, and layouts that must not depend on what was measured
// before them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/layout_dump.h"
#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::Blocks;
using test::TTestDocument;

// Blocks that take their width from their content: floats shrink to it, absolutely positioned blocks
// and given widths grow to its narrowest, a hidden overflow keeps the given width. Each case names the
// content width of the innermost first block, on a page 200 pixels wide (180 inside the body).
TEST(LayoutWidths, BlocksSizedByTheirContent) {
  struct TCase {
    const char* Html;
    int Width;
  } const cases[] = {
      {"<div><p>ab cd ef</p></div>", 180},
      {"<div style=\"float:left\"><p>ab cd</p></div>", 60},
      {"<div><div><div style=\"float:right\"><div><p>ab <b>cde</b></p></div></div></div></div>", 70},
      {"<div style=\"position:absolute\"><p>abcdefghijklmnopqrstuvwxyz0123</p></div>", 300},
      {"<div style=\"width:30px\"><p>abcdefgh</p></div>", 80},
      {"<div style=\"width:30px; overflow:hidden\"><p>abcdefgh</p></div>", 30},
      {"<div style=\"width:20px; margin-left:auto; margin-right:auto\"><p>abc def</p></div>", 30},
      {"<div style=\"overflow:hidden\"><div style=\"float:left\"><p>ab cd ef gh</p></div></div>", 120},
      {"<ul><li><div style=\"float:left; padding:3px\">abcd</div></ul>", 50},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(200);
    TBlock* block = Blocks(document.Body().Content()).at(0);
    while (!Blocks(block->Content()).empty()) block = Blocks(block->Content()).front();
    EXPECT_EQ(block->NewWidth, c.Width) << c.Html;
  }
}

// Laid out at one width after another, a document comes out as a fresh one laid out at the last width
// only: nothing kept from an earlier layout (measured widths, prepared content, tables' columns) may
// survive into a layout it does not hold for.
TEST(LayoutWidths, LayingOutAtSeveralWidthsInTurnMatchesAFreshLayout) {
  const char* const pages[] = {
      "<div><p>plain text in plain blocks, long enough to wrap</p><div><p>deeper still</p></div></div>",
      "<div style=\"float:left\"><p>a float sized by its text</p><div><p>with a block inside</p></div></div>tail",
      "<div style=\"position:absolute; left:10px; top:30px\"><div><p>placed block with text</p></div></div>",
      "<div style=\"width:40%\"><p>a given width of the page</p></div><div style=\"width:90px\"><p>pixels wide</p></div>",
      "<div style=\"overflow:hidden; width:60px\"><p>hidden overflow</p></div><div style=\"overflow:hidden\"><p>x</p></div>",
      "<div><p>text <img width=\"50%\" height=10> and <img align=right width=20 height=30>pictures</p></div>",
      "<div><table width=\"80%\" border=1><tr><td><div><p>cell text that wraps</p></div></td><td>b</td></tr>"
      "<tr><td colspan=2><table><tr><td>nested <div style=\"float:right\">f</div></td></tr></table></td></tr></table></div>",
      "<div><pre>pre <img width=20 height=10> text\nnext</pre></div><div style=\"word-wrap:break-word\"><p>abcdefghijklmnopq</p></div>",
      "<ul><li><div><p>an item with <b>bold</b> text</p></div></li></ul><div><table><caption>caption text</caption>"
      "<tr><td>c</td></tr></table></div>",
  };
  const int widths[] = {800, 300, 1200, 60, 800, 150};
  for (const char* page : pages) {
    TTestDocument again(page);
    for (const int width : widths) {
      again.LayOut(width);
      TTestDocument fresh(page);
      fresh.LayOut(width);
      EXPECT_EQ(test::LayoutDump(again.Document), test::LayoutDump(fresh.Document)) << page << " at " << width;
      EXPECT_EQ(again.Height, fresh.Height) << page << " at " << width;
      EXPECT_EQ(again.ScrollWidth, fresh.ScrollWidth) << page << " at " << width;
    }
  }
}

}  // namespace
}  // namespace corvane
