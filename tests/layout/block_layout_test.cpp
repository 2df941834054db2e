#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::Blocks;
using test::InkIn;
using test::kBodyX;
using test::kBodyY;
using test::kLineHeight;
using test::TTestDocument;

int TopOfSection(const TTestDocument& document, std::u16string_view start) {
  const TSection* section = document.SectionStarting(start);
  return section ? section->TopY : -1;
}

// The top of the first text section starting with the given characters, table cells included.
int TopOfAnySection(const TTestDocument& document, std::u16string_view start) {
  std::vector<TSection*> sections;
  document.Body().Content().CollectSections(sections);
  for (const TSection* section : sections)
    if (section->Text().starts_with(start)) return section->TopY;
  return -1;
}

TEST(BlockLayout, VerticalMarginsCollapse) {
  struct TCase {
    const char* Html;
    int SecondTop;
  } const cases[] = {
      // Both positive: the larger; one negative: their sum; both negative: the more negative.
      {"<div style=\"margin-bottom:20px\">a</div><div style=\"margin-top:10px\">b</div>", 22 + 20},
      {"<div style=\"margin-bottom:-5px\">a</div><div style=\"margin-top:10px\">b</div>", 22 + 5},
      {"<div style=\"margin-bottom:-5px\">a</div><div style=\"margin-top:-8px\">b</div>", 22 - 8},
      // Paragraph space: none above the first paragraph, 14 between paragraphs.
      {"<p>a</p><p>b</p>", 22 + 14},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(300);
    EXPECT_EQ(TopOfSection(document, u"a"), kBodyY) << c.Html;
    EXPECT_EQ(TopOfSection(document, u"b"), c.SecondTop) << c.Html;
  }
}

// Adjoining margins collapse through parents that nothing closes, and through empty blocks.
TEST(BlockLayout, MarginsCollapseThroughParentsAndEmptyBlocks) {
  struct TCase {
    const char* Html;
    std::u16string_view Text;
    int Top;
  } const cases[] = {
      // A paragraph's space stays outside a plain div, above and below.
      {"<div>x</div><div><p>a</p></div><div>y</div>", u"a", 22 + 14},
      {"<div>x</div><div><p>a</p></div><div>y</div>", u"y", 22 + 14 + 17 + 14},
      // Border or padding keep the child's margins inside.
      {"<div>x</div><div style=\"border:1px solid\"><p>a</p></div><div>y</div>", u"a", 22 + 1 + 14},
      {"<div>x</div><div style=\"border:1px solid\"><p>a</p></div><div>y</div>", u"y", 37 + 17 + 14 + 1},
      {"<div>x</div><div style=\"padding-top:2px\"><p>a</p></div>", u"a", 22 + 2 + 14},
      // A given height keeps the last child's bottom margin inside.
      {"<div style=\"height:50px\"><p>a</p></div><div>y</div>", u"y", kBodyY + 50},
      // Items of a list of paragraphs are one paragraph space apart.
      {"<ul><li><p>a</p></li><li><p>b</p></li></ul>", u"b", kBodyY + 17 + 14},
      // Margins met through parents: the largest, with the most negative added.
      {"<div style=\"margin-bottom:20px\">x</div><div><div style=\"margin-top:30px\">a</div></div>", u"a", 22 + 30},
      {"<div style=\"margin-bottom:20px\">x</div><div style=\"margin-top:-5px\"><div style=\"margin-top:-8px\">a</div></div>",
       u"a", 22 + 20 - 8},
      {"<div><div style=\"margin-bottom:6px\">x</div></div><div style=\"margin-top:9px\">a</div>", u"a", 22 + 9},
      // Empty paragraphs take no room; their margins join their neighbours'.
      {"<div>x</div><p></p><div>y</div>", u"y", 22 + 14},
      {"<div>x</div><p></p><p></p><div>y</div>", u"y", 22 + 14},
      {"<div>x</div><div style=\"margin-top:10px;margin-bottom:20px\"></div><div>y</div>", u"y", 22 + 20},
      {"<p>a</p><div style=\"margin:-4px\"></div><p>b</p>", u"b", 22 + 14 - 4},
      // An empty block with a border takes its room.
      {"<div>x</div><div style=\"border-top:3px solid\"></div><div>y</div>", u"y", 22 + 3},
      // Floats keep their place in the space and do not break the collapsing around them.
      {"<p>a</p><div style=\"float:left\">f</div><p>b</p>", u"b", 22 + 14},
      {"<p>a</p><div style=\"float:left\">f</div><p>b</p>", u"f", 22 + 14},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(300);
    EXPECT_EQ(TopOfSection(document, c.Text), c.Top) << c.Html;
  }
}

// At the top of the page the default paragraph space is dropped; given margins collapse with the body's.
TEST(BlockLayout, MarginsAtTheTopOfThePage) {
  struct TCase {
    const char* Html;
    int Top;
  } const cases[] = {
      {"<p>a</p>", kBodyY},
      {"<div><p>a</p></div>", kBodyY},
      {"<p></p><p>a</p>", kBodyY},
      {"<div style=\"margin-top:3px\">a</div>", kBodyY},
      {"<div><div style=\"margin-top:20px\">a</div></div>", 20},
      {"<div style=\"padding-top:1px\"><p>a</p></div>", kBodyY + 1 + 14},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(300);
    EXPECT_EQ(TopOfSection(document, u"a"), c.Top) << c.Html;
  }
}

// With a document type declaration a table cell keeps its paragraphs' margins inside; without one
// (quirks mode) the first and last lose their outer margins.
TEST(BlockLayout, CellParagraphMarginsFollowTheDocumentMode) {
  const char* const cell = "<html><body><table><tr><td><p>a</p><p>b</p></td></tr></table>c</body></html>";
  TTestDocument quirks(cell);
  TTestDocument standard(std::string("<!doctype html>") + cell);
  EXPECT_TRUE(quirks.Document.State.QuirksMode);
  EXPECT_FALSE(standard.Document.State.QuirksMode);
  quirks.LayOut(300);
  standard.LayOut(300);
  const int quirksA = TopOfAnySection(quirks, u"a");
  EXPECT_EQ(TopOfAnySection(quirks, u"b"), quirksA + 17 + 14);
  EXPECT_EQ(TopOfAnySection(standard, u"a"), quirksA + 14);
  EXPECT_EQ(TopOfAnySection(standard, u"b"), quirksA + 14 + 17 + 14);
  EXPECT_EQ(TopOfAnySection(standard, u"c"), TopOfAnySection(quirks, u"c") + 2 * 14);

  // Other declarations and comments leave the document in quirks mode.
  TTestDocument declared("<!-- DOCTYPE --><!ELEMENT x><p>a");
  EXPECT_TRUE(declared.Document.State.QuirksMode);
}

// A preformatted line or a word wider than the page overflows alone: the text around it wraps at the
// page width, and only the scroll width grows.
TEST(BlockLayout, AnOverflowingLineLeavesTheWidthToTheRest) {
  const std::string longLine(40, 'w');
  const char* const pages[] = {"<div><pre>%</pre><p>a b c d e f g h i j k l m n o p q r s t u v w x y z</p></div>",
                               "<ul><li>% a b c d e f g h i j k l m n o p q r s t u v w x y z</li></ul>"};
  for (std::string html : pages) {
    html.replace(html.find('%'), 1, longLine);
    TTestDocument document(html);
    document.LayOut(300);
    EXPECT_GE(document.ScrollWidth, kBodyX + 400) << html;
    const std::vector<TBlock*> blocks = Blocks(document.Body().Content());
    ASSERT_EQ(blocks.size(), 1u) << html;
    EXPECT_EQ(blocks[0]->NewWidth + blocks[0]->LeftX - kBodyX, 280) << html;
    const TSection* words = document.SectionStarting(html.find("<ul>") == 0 ? std::u16string_view(u"w") : u"a b");
    ASSERT_NE(words, nullptr) << html;
    const std::vector<std::u16string> lines = TTestDocument::LineTexts(*words);
    EXPECT_GE(lines.size(), 2u) << html;
    for (const std::u16string& line : lines)
      if (!line.starts_with(u"ww")) {
        EXPECT_LE(static_cast<int>(line.size()) * test::kPitch, 280) << html;
      }
  }
}

TEST(BlockLayout, WidthsAndAutoMargins) {
  struct TCase {
    const char* Html;
    int LeftX;
    int Width;
  } const cases[] = {
      {"<div>x</div>", kBodyX, 600},
      {"<div style=\"width:200px;margin-left:auto;margin-right:auto\">x</div>", kBodyX + 200, 200},
      {"<div style=\"width:200px;margin-left:auto\">x</div>", kBodyX + 400, 200},
      {"<div style=\"margin-left:50px;padding-left:5px;border-left:3px solid\">x</div>", kBodyX + 58, 542},
      {"<div style=\"width:50%\">x</div>", kBodyX, 300},
      // A width below the widest word grows to it.
      {"<div style=\"width:20px\">abcdef</div>", kBodyX, 60},
      {"<div align=center style=\"width:100px\">x</div>", kBodyX + 250, 100},
      {"<center><div style=\"width:100px\">x</div></center>", kBodyX + 250, 100},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(600 + 2 * kBodyX);
    const std::vector<TBlock*> blocks = Blocks(document.Body().Content());
    ASSERT_EQ(blocks.size(), 1u) << c.Html;
    EXPECT_EQ(blocks[0]->LeftX, c.LeftX) << c.Html;
    EXPECT_EQ(blocks[0]->NewWidth, c.Width) << c.Html;
  }
}

TEST(BlockLayout, GivenHeights) {
  TTestDocument hidden("<div style=\"height:30px;overflow:hidden\">a<br>b<br>c</div>x");
  hidden.LayOut(300);
  EXPECT_EQ(TopOfSection(hidden, u"x"), kBodyY + 30);
  TTestDocument grows("<div style=\"height:30px\">a<br>b<br>c</div>x");
  grows.LayOut(300);
  EXPECT_EQ(TopOfSection(grows, u"x"), kBodyY + 3 * kLineHeight);
  TTestDocument taller("<div style=\"height:80px\">a</div>x");
  taller.LayOut(300);
  EXPECT_EQ(TopOfSection(taller, u"x"), kBodyY + 80);
}

TEST(BlockLayout, FloatsAndClearing) {
  TTestDocument document(
      "<div style=\"float:left;width:30px;height:40px\"></div>"
      "<div style=\"float:right;width:20px;height:60px\"></div>"
      "<div style=\"clear:both\">x</div>");
  document.LayOut(300);
  EXPECT_EQ(TopOfSection(document, u"x"), kBodyY + 60);
  TTestDocument left("<div style=\"float:left;width:30px;height:40px\"></div><div style=\"clear:left\">x</div>");
  left.LayOut(300);
  EXPECT_EQ(TopOfSection(left, u"x"), kBodyY + 40);

  // Right floats stack from the right edge without overlapping.
  TTestDocument right(
      "<div style=\"float:right;width:50px\">a</div><div style=\"float:right;width:50px\">b</div>text");
  right.LayOut(300);
  const std::vector<TBlock*> blocks = Blocks(right.Body().Content());
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0]->LeftX, 290 - 50);
  EXPECT_EQ(blocks[1]->LeftX, 290 - 100);
  // The text beside them ends where they begin.
  EXPECT_EQ(right.SectionStarting(u"text")->Lines()[0].DrawWidth, 280 - 100);
}

// A list item's marker stands on the baseline of the item's first line, or at the bottom of a table that
// comes first; lines inside that table, and the items of lists inside it or inside the item, give no
// baseline of the item's. Each case names, item by item in document order, the text whose first line
// gives the baseline, or "{table}" for the bottom of the document's first table.
TEST(BlockLayout, ListItemBaselines) {
  struct TCase {
    const char* Html;
    std::vector<std::u16string> Baselines;
  } const cases[] = {
      {"<ul><li>aaa<li>bbb</ul>", {u"aaa", u"bbb"}},
      {"<ul><li><table><tr><td>aaa</table>bbb</ul>", {u"{table}"}},
      {"<ul><li><table><tr><td><ul><li>aaa</ul></table>bbb</ul>", {u"{table}", u"aaa"}},
      {"<table><tr><td>x<td><ol><li>aaa<li>bbb</ol></table>", {u"aaa", u"bbb"}},
      {"<ul><li><ul><li>aaa</ul>bbb</ul>", {u"bbb", u"aaa"}},
      {"<ol><li><table><tr><td><table><tr><td>aaa</table></table><li>bbb</ol>", {u"{table}", u"bbb"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Html);
    TTestDocument document(c.Html);
    document.LayOut(400);
    std::vector<TBlockLI*> items;
    const ThtmlTable* firstTable = nullptr;
    std::function<void(const TCellBasic&)> collect = [&](const TCellBasic& list) {
      for (int i = 0; i < list.Count(); ++i) {
        if (auto* table = dynamic_cast<ThtmlTable*>(&list[i])) {
          if (!firstTable) firstTable = table;
          for (const auto& row : table->Rows)
            for (const auto& cell : row->Cells)
              if (cell->Cell) collect(*cell->Cell);
        } else if (TBlock* block = list[i].AsBlock()) {
          if (auto* item = dynamic_cast<TBlockLI*>(block)) items.push_back(item);
          collect(block->Content());
        }
      }
    };
    collect(document.Body().Content());
    std::vector<TSection*> sections;
    document.Body().Content().CollectSections(sections);
    ASSERT_EQ(items.size(), c.Baselines.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      int expected = -1;
      if (c.Baselines[i] == u"{table}") {
        ASSERT_NE(firstTable, nullptr);
        expected = firstTable->TopY + firstTable->Height;
      } else {
        for (const TSection* section : sections)
          if (section->Text().starts_with(c.Baselines[i]) && !section->Lines().empty()) {
            const LineRec& line = section->Lines()[0];
            expected = line.Top + line.LineHt + line.SpaceBefore - line.Descent;
          }
      }
      EXPECT_EQ(items[i]->FirstLineBaseline(), expected) << i;
    }
  }
}

TEST(BlockLayout, ListMarkers) {
  TTestDocument document(
      "<ul><li>a<ul><li>b<ul><li>c</ul></ul></ul>"
      "<ol type=a start=26><li>y<li>z<li value=-3>w</ol><ol type=I><li>i</ol><ol><li>1</ol><li>stray<dl><dd>d</dl>");
  document.LayOut(400);
  std::vector<TBlockLI*> items;
  std::function<void(const TCellBasic&)> collect = [&](const TCellBasic& list) {
    for (TBlock* block : Blocks(list)) {
      if (auto* item = dynamic_cast<TBlockLI*>(block)) items.push_back(item);
      collect(block->Content());
    }
  };
  collect(document.Body().Content());
  ASSERT_EQ(items.size(), 10u);
  // Nested unordered lists: disc, circle, square.
  EXPECT_EQ(items[0]->ListType(), 3);
  EXPECT_EQ(items[1]->ListType(), 1);
  EXPECT_EQ(items[2]->ListType(), 7);
  // Letters stop at "z", and numbers below 1 take the first letter.
  EXPECT_EQ(items[3]->MarkerText(), "z.");
  EXPECT_EQ(items[4]->MarkerText(), "z.");
  EXPECT_EQ(items[5]->MarkerText(), "a.");
  EXPECT_EQ(items[6]->MarkerText(), "I.");
  EXPECT_EQ(items[7]->MarkerText(), "1.");
  // An item outside any list has a disc and room for it.
  EXPECT_EQ(items[8]->ListType(), 3);
  EXPECT_EQ(items[8]->LeftX, kBodyX + 16);
  EXPECT_EQ(items[9]->ListType(), 6);
}

TEST(BlockLayout, RulesTakeTheirWidthAndAlignment) {
  struct TCase {
    const char* Html;
    int LeftX;
    int Width;
  } const cases[] = {
      {"<hr>", kBodyX, 280},
      {"<hr width=50%>", kBodyX + 70, 140},
      {"<hr width=50 align=right>", kBodyX + 230, 50},
      {"<hr width=50 align=left>", kBodyX, 50},
      {"<hr width=500>", kBodyX, 280},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(300);
    const std::vector<TBlock*> blocks = Blocks(document.Body().Content());
    ASSERT_EQ(blocks.size(), 1u) << c.Html;
    EXPECT_EQ(blocks[0]->LeftX, c.LeftX) << c.Html;
    EXPECT_EQ(blocks[0]->NewWidth, c.Width) << c.Html;
  }
}

// Pixels that geometry cannot show: list markers, rules, block backgrounds and borders.
TEST(BlockPainting, MarkersRulesBackgroundsAndBorders) {
  TTestDocument document(
      "<ul><li>x</ul><hr noshade size=3>"
      "<div style=\"background-color:#00ff00;border:2px solid #ff0000;padding:3px\">x</div>");
  document.LayOut(300);
  const QImage picture = document.Paint(300, 200);
  // The disc of the first item: 5 by 5 pixels, 15 left of the item's content and 6 above its baseline.
  const int baseline = kBodyY + kLineHeight - test::kDescent;
  const int x = kBodyX + 35;
  EXPECT_GT(InkIn(picture, QRect(x - 15, baseline - 6, 5, 5)), 15);
  EXPECT_EQ(InkIn(picture, QRect(x - 20, baseline - 10, 5, 12)), 0);
  EXPECT_EQ(InkIn(picture, QRect(x - 10, baseline - 10, 5, 12)), 0);

  const std::vector<TBlock*> blocks = Blocks(document.Body().Content());
  ASSERT_EQ(blocks.size(), 3u);
  // The rule: a bar 3 rows high across the band, flat grey without shading.
  const int ruleTop = blocks[1]->TopY;
  EXPECT_EQ(picture.pixel(150, ruleTop), qRgb(128, 128, 128));
  EXPECT_EQ(picture.pixel(150, ruleTop + 1), qRgb(128, 128, 128));
  EXPECT_EQ(picture.pixel(150, ruleTop + 2), qRgb(128, 128, 128));
  EXPECT_EQ(picture.pixel(150, ruleTop + 3), qRgb(255, 255, 255));
  EXPECT_EQ(picture.pixel(kBodyX, ruleTop + 1), qRgb(128, 128, 128));
  // The box: border from its top, background inside the border.
  const TBlock& box = *blocks[2];
  EXPECT_EQ(box.MyRect, QRect(kBodyX, box.TopY - 5, 280, kLineHeight + 10));
  EXPECT_EQ(picture.pixel(box.MyRect.left(), box.MyRect.top()), qRgb(255, 0, 0));
  EXPECT_EQ(picture.pixel(box.MyRect.left() + 1, box.MyRect.top() + 1), qRgb(255, 0, 0));
  EXPECT_EQ(picture.pixel(box.MyRect.left() + 2, box.MyRect.top() + 2), qRgb(0, 255, 0));
  EXPECT_EQ(picture.pixel(box.MyRect.right(), box.MyRect.bottom()), qRgb(255, 0, 0));
  EXPECT_EQ(picture.pixel(box.MyRect.right() + 1, box.MyRect.bottom()), qRgb(255, 255, 255));
}

// Red pixels of a picture.
int RedIn(const QImage& picture) {
  int red = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      if (picture.pixel(x, y) == qRgb(255, 0, 0)) ++red;
  return red;
}

// Inside a table a positioned block paints free of every clip (the cell's, an overflow box's); outside
// tables, or a block in normal flow, stays clipped. The block is moved below its overflow box, so it
// shows only when unclipped. The nesting holds for the tables around the block and not past them.
TEST(BlockPainting, PositionedBlocksInTablesPaintUnclipped) {
  const std::string positioned =
      "<div style=\"overflow:hidden;height:20px\"><div style=\"position:relative;top:40px;width:50px;height:10px;"
      "background:#ff0000\"></div></div>";
  const std::string inFlow =
      "<div style=\"overflow:hidden;height:20px\"><div style=\"margin-top:40px;width:50px;height:10px;"
      "background:#ff0000\"></div></div>";
  const auto inTables = [](const std::string& html, int depth) {
    std::string out = html;
    for (int i = 0; i < depth; ++i) out = "<table><tr><td>" + out + "</td></tr></table>";
    return out;
  };
  const std::string table = "<table><tr><td>a</td></tr></table>";
  const struct {
    std::string Html;
    bool Shows;
  } cases[] = {
      {inTables(positioned, 0), false},
      {inTables(positioned, 1), true},
      {inTables(positioned, 2), true},
      {inTables(positioned, 3), true},
      {"<div>" + inTables(positioned, 2) + "</div>", true},
      // Past the tables the nesting is back to none: after a table, and after a nested one in a cell.
      {table + positioned, false},
      {inTables(table, 2) + positioned, false},
      {inTables(table + positioned, 1), true},
      // Blocks in normal flow keep the clip at every depth.
      {inTables(inFlow, 0), false},
      {inTables(inFlow, 1), false},
      {inTables(inFlow, 2), false},
  };
  for (const auto& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(400);
    EXPECT_EQ(RedIn(document.Paint(400, 300)) > 0, c.Shows) << c.Html;
  }
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// The distinct sets of box values of the blocks in a content list and in the lists within them.
void CollectBoxSets(const TCellBasic& list, std::vector<const TBoxValues*>& sets) {
  for (int i = 0; i < list.Count(); ++i) {
    if (TBlock* block = list[i].AsBlock()) {
      const TBoxValues* set = &static_cast<const TBoxValues&>(block->MargArrayO);
      if (std::find(sets.begin(), sets.end(), set) == sets.end()) sets.push_back(set);
      CollectBoxSets(block->Content(), sets);
    }
  }
}

// Blocks that are given the same box share one set of box values, so that a million paragraphs do not
// keep a million: the blocks of one style share its set, and so do blocks in a row given equal values;
// a block given another box has a set of its own.
TEST(BlockLayout, BlocksInARowShareTheirBoxValues) {
  const struct {
    const char* Html;
    std::size_t Sets;  // in the body
  } cases[] = {
      {"<p>a<p>b<p>c<p>d", 1},
      {"<p>a<p style=\"margin-left:9px\">b<p>c", 2},
      {"<p>a<p style=\"margin-left:9px\">b<p style=\"margin-left:9px\">c", 2},
      {"<h1>a</h1><h1>b</h1><p>c<p>d", 2},
  };
  for (const auto& c : cases) {
    TTestDocument document(c.Html);
    std::vector<const TBoxValues*> sets;
    CollectBoxSets(document.Body().Content(), sets);
    EXPECT_EQ(sets.size(), c.Sets) << c.Html;
  }
}

// A block whose box values are changed after it was made (a table's HEIGHT, a list item's room for its
// marker) changes its own: the block before it, with the same values until then, keeps them and its
// layout.
TEST(BlockLayout, ChangingSharedBoxValuesLeavesTheOthersAlone) {
  for (const char* after : {"<table height=50 border=2 width=100><tr><td>x</table>", "<li>x"}) {
    TTestDocument plain("<div>a</div><div>b</div>");
    TTestDocument changed(std::string("<div>a</div>") + after);
    const TBlock* first = changed.Body().Content()[0].AsBlock();
    const TBlock* expected = plain.Body().Content()[0].AsBlock();
    ASSERT_TRUE(first && expected) << after;
    for (int i = TBoxValues::First; i <= TBoxValues::Last; ++i)
      EXPECT_TRUE(first->MargArrayO[i] == expected->MargArrayO[i]) << after << " " << i;
    plain.LayOut(400);
    changed.LayOut(400);
    EXPECT_EQ(changed.SectionStarting(u"a")->Lines().size(), plain.SectionStarting(u"a")->Lines().size());
  }
}

}  // namespace
}  // namespace corvane
