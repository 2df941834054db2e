// Tables as the builder makes them from HTML text: rows, cells, captions, row groups and COL and
// COLGROUP columns, the parts HTML leaves implicit, and input meant to hurt.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "layout/layout_test_support.h"
#include "layout/table.h"

namespace corvane {
namespace {

using test::Tree;
using test::TTestDocument;
using test::FirstTable;

// The cells of a table row by row.
std::vector<TCellObj*> Cells(const ThtmlTable& table) {
  std::vector<TCellObj*> cells;
  for (const auto& row : table.Rows)
    for (const auto& cell : row->Cells) cells.push_back(cell.get());
  return cells;
}

TEST(TableBuilder, Trees) {
  struct TCase {
    const char* Html;
    std::u16string Tree;
  } const cases[] = {
      {"<table><td>a<td>b</table>", u"[{a|,b|}]"},
      {"<table><tr><td>a<tr><td>b</table>after", u"[{a|/b|}]after|"},
      {"<table><tr><td>a</td></tr><tr><td>b</td></tr></table>", u"[{a|/b|}]"},
      {"<table><tr><td>a", u"[{a|}]"},
      {"<table></table>x", u"[{}]x|"},
      // Content between cells goes before the table; lone spaces are dropped.
      {"<table>x<tr><td>a</table>", u"x|[{a|}]"},
      {"<table><tr>x<td>a</table>", u"x|[{a|}]"},
      {"<table><tr><td>a</td>y<td>b</table>", u"y|[{a|,b|}]"},
      {"<table> <tr> <td>a</td> </tr> </table>", u"[{a|}]"},
      // Captions: above, below, added to, alone, and a stray end that ends the table.
      {"<table><caption>c</caption><tr><td>a</table>", u"[[c|][{a|}]]"},
      {"<table><caption align=BOTTOM>c</caption><tr><td>a</table>", u"[[{a|}][c|]]"},
      {"<table><caption>c</caption><tr><td>a<caption>d</caption></table>", u"[[c|d|][{a|}]]"},
      {"<table><caption align=bottom>c</caption><caption>d</caption><tr><td>a</table>", u"[[{a|}][c|d|]]"},
      {"<table><caption align=bottom>c</caption><caption align=top>d</caption><tr><td>a</table>", u"[[c|d|][{a|}]]"},
      {"<table><caption>only</caption></table>", u"[[only|][{}]]"},
      {"<table><tr><td>a</caption>b", u"[{a|}]b|"},
      // Foot rows come last, also when their group ends an open cell.
      {"<table><tfoot><tr><td>f<tbody><tr><td>b</table>", u"[{b|/f|}]"},
      {"<table><tfoot><tr><td>f</tfoot><tr><td>b</table>", u"[{b|/f|}]"},
      {"<table><thead><tr><td>h<tfoot><tr><td>f<tbody><tr><td>b</table>", u"[{h|/b|/f|}]"},
      {"<table><tr><td>a<thead><tr><td>h</table>", u"[{a|/h|}]"},
      // A nested table stays in its cell and leaves the rows around it alone.
      {"<table><tr><td>a<table><tr><td>b<tr><td>c</table>d<tr><td>e</table>", u"[{a|[{b|/c|}]d|/e|}]"},
      {"<table><tr><td>a<table><thead><tr><td>b</tbody></table>c<td>d</table>", u"[{a|[{b|}]c|,d|}]"},
      // COL after the first cell ends it and is read past.
      {"<table><tr><td>a<col align=right><td>b</table>", u"[{a|,b|}]"},
      {"<table><tr><td>a<p>b</table>", u"[{a|[b|]}]"},
      // Cells and rows outside a table are only their text.
      {"<td>x<tr>y</td>z", u"xyz|"},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    EXPECT_EQ(Tree(document.Body().Content()), c.Tree) << c.Html;
  }
}

TEST(TableBuilder, RowGroups) {
  struct TCase {
    const char* Html;
    std::vector<int> Kinds;
  } const cases[] = {
      {"<table><thead><tr><td>h<tfoot><tr><td>f<tbody><tr><td>b</table>", {0, 1, 2}},
      {"<table><tr><td>a<thead><tr><td>h</table>", {1, 1}},
      {"<table><thead><td>h</thead><td>b</table>", {0, 1}},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    const ThtmlTable* table = FirstTable(document.Body().Content());
    ASSERT_NE(table, nullptr) << c.Html;
    std::vector<int> kinds;
    for (const auto& row : table->Rows) kinds.push_back(row->RowType);
    EXPECT_EQ(kinds, c.Kinds) << c.Html;
  }
}

TEST(TableBuilder, CellAlignment) {
  // The justify of each cell's text in order: 1 left, 2 centre, 3 right.
  struct TCase {
    const char* Html;
    std::vector<int> Justify;
  } const cases[] = {
      {"<table><tr><th>h<td>d</table>", {2, 1}},
      {"<style>td { text-align: right }</style><table><tr><th>h<td>d</table>", {2, 3}},
      {"<center><table><tr><td>a</table></center>", {1}},
      {"<table><tr align=right><td>a<td align=center>b<td align=middle>c</table>", {3, 2, 2}},
      {"<table><col align=right><col><tr><td>a<td>b<tr><td>c<td>d</table>", {3, 1, 3, 1}},
      {"<table><col span=2 align=center><tr><td>a<td>b<td>c</table>", {2, 2, 1}},
      {"<table><colgroup align=right><col><col align=left></colgroup><tr><td>a<td>b<td>c</table>", {3, 1, 1}},
      {"<table><col align=right><tr><td align=center>a</table>", {2}},
      // A cell spanning rows keeps its column from the cells below.
      {"<table><col align=right><col align=center><tr><td rowspan=2>a<td>b<tr><td>c</table>", {3, 2, 2}},
      {"<table><col><col align=right><tr><td colspan=2>a<td>b</table>", {1, 1}},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(600);
    const ThtmlTable* table = FirstTable(document.Body().Content());
    ASSERT_NE(table, nullptr) << c.Html;
    std::vector<int> justify;
    for (const TCellObj* cell : Cells(*table)) {
      if (!cell) continue;
      std::vector<TSection*> sections;
      cell->Cell->CollectSections(sections);
      justify.push_back(sections.empty() ? 0 : sections[0]->Justify());
    }
    EXPECT_EQ(justify, c.Justify) << c.Html;
  }
}

TEST(TableBuilder, CellVerticalAlignment) {
  struct TCase {
    const char* Html;
    std::vector<int> VAlign;  // 1 top, 2 middle, 3 baseline, 4 bottom
  } const cases[] = {
      {"<td>a<td valign=TOP>b<td valign=baseline>c<td valign=bottom>d<td valign=nonsense>e", {2, 1, 1, 4, 2}},
      {"<tr valign=top><td>a<td valign=middle>b</tr><td>c", {1, 2, 2}},
      {"<tr valign=bottom><td style=\"vertical-align:top\">a", {1}},
      {"<col valign=baseline><col valign=absmiddle><col><tr><td>a<td valign=top>b<td valign=bottom>c", {3, 2, 4}},
  };
  for (const TCase& c : cases) {
    TTestDocument document(std::string("<table>") + c.Html + "</table>");
    const ThtmlTable* table = FirstTable(document.Body().Content());
    ASSERT_NE(table, nullptr) << c.Html;
    std::vector<int> valign;
    for (const TCellObj* cell : Cells(*table)) valign.push_back(cell->VAlign);
    EXPECT_EQ(valign, c.VAlign) << c.Html;
  }
}

TEST(TableBuilder, DeclaredColumns) {
  struct TCase {
    const char* Html;
    std::size_t Declared;
    std::vector<int> ColSpans;
  } const cases[] = {
      {"<col><col><tr><td colspan=5>a", 2, {2}},
      {"<col><col><col><tr><td rowspan=2>a<td>b<tr><td colspan=5>c", 3, {1, 1, 2}},
      {"<col span=2><tr><td>a<td>b<td colspan=3>c", 2, {1, 1, 3}},
      {"<col span=500>", 100, {}},
      {"<colgroup><col span=2147483647><col span=-4></colgroup>", 101, {}},
      // A column group without columns declares none.
      {"<colgroup span=3 align=right></colgroup><tr><td colspan=4>a", 0, {4}},
      {"<tr><td>a<col><col>", 0, {1}},
  };
  for (const TCase& c : cases) {
    TTestDocument document(std::string("<table>") + c.Html + "</table>");
    const ThtmlTable* table = FirstTable(document.Body().Content());
    ASSERT_NE(table, nullptr) << c.Html;
    EXPECT_EQ(table->ColInfo.size(), c.Declared) << c.Html;
    std::vector<int> spans;
    for (const TCellObj* cell : Cells(*table)) spans.push_back(cell->ColSpan);
    EXPECT_EQ(spans, c.ColSpans) << c.Html;
  }
  TTestDocument widths("<table><colgroup width=20 valign=bottom><col><col width=30% align=justify></table>");
  const ThtmlTable& table = *FirstTable(widths.Body().Content());
  ASSERT_EQ(table.ColInfo.size(), 2u);
  EXPECT_EQ(table.ColInfo[0].ColWidth, 20);
  EXPECT_FALSE(table.ColInfo[0].ColAsPercent);
  EXPECT_EQ(table.ColInfo[0].ColVAlign, 4);
  EXPECT_EQ(table.ColInfo[1].ColWidth, 300);
  EXPECT_TRUE(table.ColInfo[1].ColAsPercent);
  EXPECT_EQ(table.ColInfo[1].ColAlign, "justify");
}

TEST(TableBuilder, NowrapYieldsToAPixelWidth) {
  struct TCase {
    const char* Cell;
    int Min;
  } const cases[] = {
      {"<td>aa bb", 20},
      {"<td nowrap>aa bb", 60},
      {"<td nowrap width=50%>aa bb", 60},
      {"<td nowrap width=100>aa bb", 20},
      {"<td nowrap style=\"width:100px\">aa bb", 20},
  };
  for (const TCase& c : cases) {
    TTestDocument document(std::string("<table><tr>") + c.Cell + "</table>");
    const ThtmlTable* table = FirstTable(document.Body().Content());
    ASSERT_NE(table, nullptr) << c.Cell;
    int min = 0, max = 0;
    Cells(*table).at(0)->Cell->GetMinMaxWidth(min, max);
    EXPECT_EQ(min, c.Min) << c.Cell;
  }
}

TEST(TableBuilder, TablesKeepThePropertiesAroundThem) {
  // An inner table's row group must not reach the outer table's rows, and the outer table takes its
  // own entries away at its end.
  TTestDocument document(
      "plain<font color=#0000ff><table><tr style=\"color:#ff0000\"><td><table><thead><tr><td>i</thead></table>"
      "after</table>blue</font>black");
  document.LayOut(600);
  std::vector<TSection*> sections;
  document.Body().CollectSections(sections);
  auto colourAt = [&](std::u16string_view start, int index) -> TColor {
    for (const TSection* section : sections) {
      if (!section->Text().starts_with(start)) continue;
      const TFontList& fonts = section->Fonts();
      return fonts[fonts.GetFontObjAt(index).RunNumber].Font().Color() & 0xFFFFFF;
    }
    return ColorNone;
  };
  EXPECT_EQ(colourAt(u"i", 0), 0x0000FFu);
  EXPECT_EQ(colourAt(u"after", 0), 0x0000FFu);
  EXPECT_EQ(colourAt(u"blueblack", 0), 0xFF0000u);
  const TColor plain = colourAt(u"plain", 0);
  EXPECT_EQ(colourAt(u"blueblack", 4), plain);

  // A cell takes nothing from the one before it; a row group's entry ends with the group.
  TTestDocument cells("<table><thead style=\"color:#ff0000\"><tr><td><i>h<td>i<tbody><tr><td>b</table>");
  cells.LayOut(600);
  sections.clear();
  cells.Body().CollectSections(sections);
  ASSERT_EQ(sections.size(), 3u);
  EXPECT_TRUE(sections[0]->Fonts()[0].Font().Style().Italic);
  EXPECT_FALSE(sections[1]->Fonts()[0].Font().Style().Italic);
  EXPECT_EQ(colourAt(u"i", 0), 0x0000FFu);
  EXPECT_EQ(colourAt(u"b", 0), plain);
}

// Lays a document out at two widths, paints it and asks for what lies under a few points.
void Exercise(TTestDocument& document) {
  for (int width : {600, 40}) {
    document.LayOut(width);
    document.Paint(width, 200);
    for (int y : {0, 6, 30, 120}) {
      for (int x : {0, 12, 25, 300}) {
        TLinkAtResult link;
        document.Document.LinkAt(x, y, link);
        TCharAtPoint at;
        document.Body().CharIndexAt(x, y, at);
      }
    }
  }
}

TEST(TableHostileInput, TablesNestedTooDeep) {
  std::string html;
  for (int i = 0; i < 11; ++i) html += "<table><tr><td>";
  html += "x";
  for (int i = 0; i < 11; ++i) html += "</table>";
  html += "after";
  TTestDocument document(html);
  Exercise(document);
  // Ten tables; the eleventh one's row and cell are a second row and cell of the tenth, and its end
  // ends the tenth, so the last end stands in the body.
  std::u16string expected;
  for (int i = 0; i < 10; ++i) expected += u"[{";
  expected += u"/x|";
  for (int i = 0; i < 10; ++i) expected += u"}]";
  EXPECT_EQ(Tree(document.Body().Content()), expected + u"after|");
}

TEST(TableHostileInput, EmptyTablesWithSizes) {
  struct TCase {
    const char* Html;
    int Width, Height;  // of the table
    int AfterY;         // of the text after it
  } const cases[] = {
      {"<table width=100></table>x", 2, 2, 7},
      {"<table height=100></table>x", 2, 2, 105},
      {"<table width=50% height=100><tr></tr><tr></tr></table>x", 2, 100, 105},
      {"<table width=100 height=100><tr><td></table>x", 100, 100, 105},
      {"<table width=100><caption>c</caption></table>x", 2, 2, 24},
      // Every row has a height, and together they want nothing.
      {"<table height=49 cellspacing=0 cellpadding=0><tr height=1%><td></td></table>x", 0, 49, 54},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    Exercise(document);
    document.LayOut(600);
    const ThtmlTable* table = FirstTable(document.Body().Content());
    ASSERT_NE(table, nullptr) << c.Html;
    EXPECT_EQ(table->TableWidth, c.Width) << c.Html;
    EXPECT_EQ(table->Height, c.Height) << c.Html;
    EXPECT_EQ(document.Sections().back()->TopY, c.AfterY) << c.Html;
  }
}

TEST(TableHostileInput, HugeSpansAndSizesAreClamped) {
  const char* const pages[] = {
      "<table><col><tr><td rowspan=2147483647 colspan=2147483647>a<td>b<tr><td colspan=-1>c</table>",
      "<table><tr><td colspan=2147483647>a<td>b<tr><td rowspan=2147483647>c<td colspan=2147483647>d</table>",
      "<table><colgroup span=2147483647><col span=2147483647 width=99999999999></colgroup><tr><td>a</table>",
      "<table width=99999999999 height=99999999999 cellspacing=99999999999 cellpadding=99999999999 "
      "border=99999999999 hspace=99999999999 vspace=99999999999 align=left><tr height=99999999999>"
      "<td width=99999999999 height=99999999999>a<td width=99999999999%>b</table>",
  };
  for (const char* html : pages) {
    TTestDocument document(html);
    Exercise(document);
  }
  TTestDocument spans(pages[1]);
  spans.LayOut(600);
  EXPECT_EQ(FirstTable(spans.Body().Content())->NumCols, 1001);
  TTestDocument sizes(pages[3]);
  sizes.LayOut(600);
  const ThtmlTable& table = *FirstTable(sizes.Body().Content());
  EXPECT_EQ(table.CellSpacing, 40);
  EXPECT_EQ(table.CellPadding, 50);
  EXPECT_EQ(table.BorderWidth, 100);
  EXPECT_LE(table.TableWidth, 100000);
  EXPECT_EQ(table.Heights, std::vector<int>{100000 + 40});
}

TEST(TableHostileInput, AHundredThousandRows) {
  // Built, laid out, painted far down and hit-tested; the benchmark times pages like this one.
  const int rows = 100000;
  std::string html = "<table border=1>";
  for (int i = 0; i < rows; ++i) html += "<tr><td>" + std::to_string(i % 10);
  html += "</table>";
  auto document = std::make_unique<TTestDocument>(html);
  document->LayOut(600);
  document->Paint(600, 400, rows * 10);
  TLinkAtResult link;
  document->Document.LinkAt(20, rows * 10 + 10, link);
  const ThtmlTable& table = *FirstTable(document->Body().Content());
  ASSERT_EQ(table.Rows.size(), 100000u);
  EXPECT_EQ(table.Height, 100000 * 23 + 2);
  std::vector<TSection*> sections;
  table.Rows[50000]->Cells[0]->Cell->CollectSections(sections);
  ASSERT_EQ(sections.size(), 1u);
  const TSection& section = *sections[0];
  EXPECT_EQ(section.TopY, 6 + 50000 * 23 + 4);
  document->Paint(600, 400, section.TopY - 100);
  TCharAtPoint at;
  EXPECT_EQ(document->Body().CharIndexAt(section.Lines()[0].DrawXX + 1, section.TopY + 2, at), section.FirstCharIndex);
}

}  // namespace
}  // namespace corvane
