// What the builder reads from the attributes of tables, rows and cells, and how their style wins over it,
// as the table objects hold it before layout.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "layout/layout_test_support.h"
#include "layout/table.h"

namespace corvane {
namespace {

using test::TTestDocument;
using test::FirstTable;

std::string Hex(TColor colour) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(colour) & 0xFFFFFFu);
  return text;
}

// A cell's spans, then what it was given: "w" width (px or pm, per mille), "h" height (px or %), "bg"
// colour, "img" background picture, "href" and "target" of its link.
std::string Describe(const TCellObj& cell) {
  std::string text = std::to_string(cell.ColSpan) + "x" + std::to_string(cell.RowSpan);
  if (cell.SpecWd > 0) text += " w=" + std::to_string(cell.SpecWd) + (cell.WidthAsPercent ? "pm" : "px");
  if (cell.SpecHt > 0) text += " h=" + std::to_string(cell.SpecHt) + "px";
  if (cell.SpecHtPercent > 0) text += " h=" + std::to_string(cell.SpecHtPercent) + "%";
  if (cell.BkGnd) text += " bg=" + Hex(cell.BkColor);
  if (!cell.BackgroundImage().empty()) text += " img=" + cell.BackgroundImage();
  if (cell.Cell && cell.Cell->Link) {
    if (!cell.Cell->Link->Url.empty()) text += " href=" + cell.Cell->Link->Url;
    if (!cell.Cell->Link->Target.empty()) text += " target=" + cell.Cell->Link->Target;
  }
  return text;
}

TEST(TableAttributes, Cells) {
  struct TCase {
    const char* Html;
    const char* Cell;
  } const cases[] = {
      {"<td>a", "1x1"},
      {"<td colspan=3 rowspan=2 width=40 height=25>a", "3x2 w=40px h=25px"},
      {"<td bgcolor=red background=a.gif href=x.html target=_top>a", "1x1 bg=" "0000FF img=a.gif href=x.html target=_top"},
      // Spans: below 2 they are 1; above the limits they are held there.
      {"<td colspan=0 rowspan=0>a", "1x1"},
      {"<td colspan=-2 rowspan=1>a", "1x1"},
      {"<td colspan=5000 rowspan=100000>a", "1000x65534"},
      // Widths: pixels, or a percentage from 1 to 100 in per mille; anything else is none.
      {"<td width=50%>a", "1x1 w=500pm"},
      {"<td width=100%>a", "1x1 w=1000pm"},
      {"<td width=0%>a", "1x1"},
      {"<td width=150%>a", "1x1"},
      {"<td width=-5>a", "1x1"},
      {"<td width=999999>a", "1x1 w=100000px"},
      // Heights: pixels, or a percentage held within 0 to 100.
      {"<td height=30%>a", "1x1 h=30%"},
      {"<td height=300%>a", "1x1 h=100%"},
      {"<td height=-4>a", "1x1"},
      // Colours that do not read are none; empty names and links are none.
      {"<td bgcolor=nosuchcolour background=\"\" href=\"\" target=\"\">a", "1x1"},
      // The style wins where both give a value.
      {"<td width=40 style=\"width:60px\">a", "1x1 w=60px"},
      {"<td width=40 style=\"width:25%\">a", "1x1 w=250pm"},
      {"<td height=40 style=\"height:70px\">a", "1x1 h=70px"},
      {"<td bgcolor=red style=\"background-color:#00ff00\">a", "1x1 bg=00FF00"},
      {"<td background=a.gif style=\"background-image:url(b.gif)\">a", "1x1 img=b.gif"},
      // A row's height passes to its cells when it is more.
      {"<tr height=30><td height=20>a", "1x1 h=30px"},
      {"<tr height=30><td height=50>a", "1x1 h=50px"},
      {"<tr height=20%><td>a", "1x1 h=20%"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Html);
    TTestDocument document(std::string("<table>") + c.Html + "</table>");
    const ThtmlTable* table = FirstTable(document.Body().Content());
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->Rows.size(), 1u);
    ASSERT_EQ(table->Rows[0]->Cells.size(), 1u);
    EXPECT_EQ(Describe(*table->Rows[0]->Cells[0]), c.Cell);
  }
}

// Cells of many styles in turn (more than the builder keeps readings of) each take their own.
TEST(TableAttributes, CellsOfManyStylesInTurnTakeTheirOwn) {
  std::string html = "<style>";
  for (int k = 1; k <= 6; ++k)
    html += ".c" + std::to_string(k) + " { width: " + std::to_string(10 * k) + "px; background-color: #0000" +
            std::to_string(k) + "0 }";
  html += "</style><table>";
  for (int row = 0; row < 3; ++row) {
    html += "<tr>";
    for (int k = 1; k <= 6; ++k) html += "<td class=c" + std::to_string((k + row) % 6 + 1) + ">a";
  }
  html += "</table>";
  TTestDocument document(html);
  const ThtmlTable* table = FirstTable(document.Body().Content());
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->Rows.size(), 3u);
  for (std::size_t row = 0; row < 3; ++row) {
    ASSERT_EQ(table->Rows[row]->Cells.size(), 6u);
    for (std::size_t k = 1; k <= 6; ++k) {
      const int style = static_cast<int>((k + row) % 6 + 1);
      EXPECT_EQ(Describe(*table->Rows[row]->Cells[k - 1]),
                "1x1 w=" + std::to_string(10 * style) + "px bg=" + std::to_string(style) + "00000")
          << "row " << row << " cell " << k;
    }
  }
}

TEST(TableAttributes, Rows) {
  struct TCase {
    const char* Html;
    int Height, HeightPercent;
    const char* Background;  // "" for none
    const char* Image;
  } const cases[] = {
      {"<tr><td>a", 0, 0, "", ""},
      {"<tr height=30 bgcolor=blue background=r.gif><td>a", 30, 0, "FF0000", "r.gif"},
      {"<tr height=45%><td>a", 0, 45, "", ""},
      {"<tr height=999999><td>a", 100000, 0, "", ""},
      {"<tr bgcolor=blue style=\"background-color:#00ff00;background-image:url(s.gif)\" background=r.gif><td>a", 0, 0,
       "00FF00", "s.gif"},
      // A row the table makes for a cell outside one has nothing of its own.
      {"<td>a", 0, 0, "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Html);
    TTestDocument document(std::string("<table>") + c.Html + "</table>");
    const ThtmlTable* table = FirstTable(document.Body().Content());
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->Rows.size(), 1u);
    const TCellList& row = *table->Rows[0];
    EXPECT_EQ(row.SpecRowHeight, c.Height);
    EXPECT_EQ(row.SpecRowHeightPercent, c.HeightPercent);
    EXPECT_EQ(row.BkGnd ? Hex(row.BkColor) : "", c.Background);
    EXPECT_EQ(row.BkImage, c.Image);
  }
}

TEST(TableAttributes, Tables) {
  struct TCase {
    const char* Attributes;
    int Border, Padding, Spacing;
    const char* Light;  // "" for the default
    const char* Dark;
  } const cases[] = {
      {"", 0, 1, 2, "", ""},
      {"border=3 cellpadding=5 cellspacing=7", 3, 5, 7, "", ""},
      {"border=500 cellpadding=99 cellspacing=99", 100, 50, 40, "", ""},
      {"border=-2 cellpadding=-1 cellspacing=-5", 0, 1, 2, "", ""},
      {"cellspacing=-1", 0, 1, -1, "", ""},
      {"bordercolor=red", 0, 1, 2, "0000FF", "0000FF"},
      {"bordercolorlight=red bordercolordark=blue", 0, 1, 2, "0000FF", "FF0000"},
      {"bordercolor=red bordercolordark=blue", 0, 1, 2, "0000FF", "FF0000"},
      {"bordercolordark=blue bordercolor=red", 0, 1, 2, "0000FF", "0000FF"},
      {"bordercolor=nosuchcolour", 0, 1, 2, "", ""},
      // Collapsed borders leave no spacing whatever the attribute says.
      {"cellspacing=7 style=\"border-collapse:collapse\"", 0, 1, -1, "", ""},
  };
  const ThtmlTable* plain = nullptr;
  TTestDocument plainDocument("<table><td>a</table>");
  plain = FirstTable(plainDocument.Body().Content());
  ASSERT_NE(plain, nullptr);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Attributes);
    TTestDocument document(std::string("<table ") + c.Attributes + "><td>a</table>");
    const ThtmlTable* table = FirstTable(document.Body().Content());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->BorderWidth, c.Border);
    EXPECT_EQ(table->CellPadding, c.Padding);
    EXPECT_EQ(table->CellSpacing, c.Spacing);
    EXPECT_EQ(Hex(table->BorderColorLight), *c.Light ? c.Light : Hex(plain->BorderColorLight));
    EXPECT_EQ(Hex(table->BorderColorDark), *c.Dark ? c.Dark : Hex(plain->BorderColorDark));
  }
}

}  // namespace
}  // namespace corvane
