// Tables laid out from HTML text on the fixed-pitch measurer: a cell's text "aaa" is 30 wide (40 with its
// trailing space, which counts in the widest line), a line is 17 high. With the defaults (spacing 2,
// padding 1, no border) a cell adds 4 to its column's widths and 4 to its row's height.
#include <gtest/gtest.h>

#include "layout/layout_test_support.h"
#include "layout/table.h"

namespace corvane {
namespace {

using test::InkIn;
using test::kBodyX;
using test::kBodyY;
using test::TTestDocument;

constexpr int kWindow = 600 + 2 * kBodyX;  // a body 600 wide

// Every table of a content list in document order, with the tables inside its cells.
void CollectTables(const TCellBasic& list, std::vector<ThtmlTable*>& tables) {
  for (int i = 0; i < list.Count(); ++i) {
    if (auto* table = dynamic_cast<ThtmlTable*>(&list[i])) {
      tables.push_back(table);
      for (const auto& row : table->Rows)
        for (const auto& cell : row->Cells)
          if (cell && cell->Cell) CollectTables(*cell->Cell, tables);
    } else if (TBlock* block = list[i].AsBlock()) {
      CollectTables(block->Content(), tables);
    }
  }
}

// A document laid out at a width and painted, so that the tables know where they were drawn.
struct TTablePage {
  explicit TTablePage(const std::string& html, int width = kWindow) : Document(html) {
    Document.LayOut(width);
    Picture = Document.Paint(width, 300);
    CollectTables(Document.Body().Content(), Tables);
  }
  ThtmlTable& Table(std::size_t n = 0) const { return *Tables.at(n); }
  const TSection* Text(std::u16string_view start) const {
    std::vector<TSection*> sections;
    Document.Body().CollectSections(sections);
    for (const TSection* section : sections)
      if (section->Text().starts_with(start)) return section;
    return nullptr;
  }
  // Where the first line of the text starting with start was drawn.
  QPoint TextAt(std::u16string_view start) const {
    const TSection* section = Text(start);
    if (!section || section->Lines().empty()) return {-1, -1};
    return {section->Lines()[0].DrawXX, section->TopY};
  }
  QRgb Pixel(int x, int y) const { return Picture.pixel(x, y) & 0xFFFFFF; }

  TTestDocument Document;
  QImage Picture;
  std::vector<ThtmlTable*> Tables;
};

// The slots of each row: "CxR" for a cell of column span C and row span R, "_" for a placeholder; rows
// separated by "|".
std::string Grid(const ThtmlTable& table) {
  std::string grid;
  for (const auto& row : table.Rows) {
    if (!grid.empty()) grid += "|";
    for (std::size_t c = 0; c < row->Cells.size(); ++c) {
      const TCellObj* cell = row->Cells[c].get();
      if (c > 0) grid += " ";
      grid += !cell ? "_" : std::to_string(cell->ColSpan) + "x" + std::to_string(cell->RowSpan);
    }
  }
  return grid;
}

constexpr QRgb kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kSilver = 0xC0C0C0;

TEST(TableGrid, SpansArePlacedWithPlaceholders) {
  struct TCase {
    const char* Html;
    const char* Grid;
  } const cases[] = {
      {"<tr><td>a<td>b<tr><td>c", "1x1 1x1|1x1"},
      // Columns that only a span reaches are given up again.
      {"<tr><td>a<td colspan=3>b<tr><td>c<td>d", "1x1 1x1|1x1 1x1"},
      {"<tr><td colspan=2>a<td>b<tr><td>c<td>d<td>e", "2x1 _ 1x1|1x1 1x1 1x1"},
      {"<tr><td>a<td colspan=3>b<tr><td>c<td colspan=2>d", "1x1 1x1|1x1 1x1"},
      {"<tr><td>a<td colspan=3>b<tr><td>c<td>d<td>e", "1x1 2x1 _|1x1 1x1 1x1"},
      // A row span stops at the last row.
      {"<tr><td rowspan=5>a<td>b<tr><td>c", "1x2 1x1|_ 1x1"},
      {"<tr><td>a<td rowspan=2>b<td>c<tr><td>d<td>e", "1x1 1x2 1x1|1x1 _ 1x1"},
      // A short row below a spanning cell is filled up to it.
      {"<tr><td>a<td>b<td rowspan=2>c<tr><td>d", "1x1 1x1 1x2|1x1 _ _"},
      // A block of two by two keeps both its columns free in the row below.
      {"<tr><td rowspan=2 colspan=2>a<td>b<tr><td>c", "2x2 _ 1x1|_ _ 1x1"},
      {"<tr><td colspan=-3 rowspan=-1>a<td colspan=0 rowspan=0>b", "1x1 1x1"},
      {"<tr><td colspan=2147483647>a<tr><td>b", "1x1|1x1"},
      {"<tr><td rowspan=2147483647>a<td>b<tr><td>c", "1x2 1x1|_ 1x1"},
  };
  for (const TCase& c : cases) {
    TTablePage page(std::string("<table>") + c.Html + "</table>");
    ASSERT_EQ(page.Tables.size(), 1u) << c.Html;
    EXPECT_EQ(Grid(page.Table()), c.Grid) << c.Html;
  }
}

// The slots of all rows of a table.
long long Places(const ThtmlTable& table) {
  long long places = 0;
  for (const auto& row : table.Rows) places += row->Count();
  return places;
}

// Spans that would make a grid pass the budget of places are cut: a column span to what still fits, a
// row span to end above the row that would pass it. Nothing is cut within the budget.
TEST(TableGrid, SpansAreCutToTheBudgetOfPlaces) {
  struct TCase {
    const char* Html;
    long long Budget;
    const char* Grid;
    bool Cut;
  } const cases[] = {
      {"<tr><td colspan=3>a<td>b<tr><td>c<td>d<td>e<td>f", 8, "3x1 _ _ 1x1|1x1 1x1 1x1 1x1", false},
      {"<tr><td colspan=3>a<td>b<tr><td>c<td>d<td>e<td>f", 7, "2x1 _ 1x1|1x1 1x1 1x1 1x1", true},
      {"<tr><td colspan=5>a<td colspan=5>b", 6, "5x1 _ _ _ _ 1x1", true},
      {"<tr><td>a<td colspan=9>b<td>c", 3, "1x1 1x1 1x1", true},
      {"<tr><td rowspan=3 colspan=2>a<td>b<tr><td>c<tr><td>d", 9, "2x3 _ 1x1|_ _ 1x1|_ _ 1x1", false},
      {"<tr><td rowspan=3 colspan=2>a<td>b<tr><td>c<tr><td>d", 8, "2x2 _ 1x1|_ _ 1x1|1x1", true},
      // A short cell far to the right reaching down fills every row below up to it.
      {"<tr><td colspan=4>a<td rowspan=4>b<tr><td>c<tr><td>d<tr><td>e", 13, "4x1 _ _ _ 1x2|1x1 _ _ _ _|1x1|1x1", true},
      {"<tr><td colspan=4>a<td rowspan=4>b<tr><td>c<tr><td>d<tr><td>e", 21, "4x1 _ _ _ 1x4|1x1 _ _ _ _|1x1 _ _ _ _|1x1 _ _ _ _", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Html);
    TTestDocument document(std::string("<table>") + c.Html + "</table>");
    document.Document.TablePlaceBudget = c.Budget;
    document.LayOut(kWindow);
    std::vector<ThtmlTable*> tables;
    CollectTables(document.Body().Content(), tables);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(Grid(*tables[0]), c.Grid);
    EXPECT_LE(Places(*tables[0]), c.Budget);
    EXPECT_EQ(document.Document.State.TableSpansCut, c.Cut);
  }
}

// A hostile page of huge spans in every cell takes no more places than the budget (lowered here: the
// real one of 50,000,000 places takes gigabytes to reach), while the 90-byte page of huge spans is small.
TEST(TableGrid, HostileSpansStayWithinTheBudget) {
  std::string html = "<table>";
  for (int row = 0; row < 300; ++row) html += "<tr><td colspan=1000 rowspan=65534>x<td rowspan=100000>y";
  TTestDocument hostile(html + "</table>");
  hostile.Document.TablePlaceBudget = 100'000;
  hostile.LayOut(kWindow);
  std::vector<ThtmlTable*> tables;
  CollectTables(hostile.Body().Content(), tables);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_LE(Places(*tables[0]), 100'000);
  EXPECT_GT(Places(*tables[0]), 90'000);
  EXPECT_TRUE(hostile.Document.State.TableSpansCut);

  TTestDocument small("<table><tr><td colspan=100000 rowspan=100000>x</td><td>y</td></tr><tr><td>z</td></tr></table>");
  small.LayOut(kWindow);
  tables.clear();
  CollectTables(small.Body().Content(), tables);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(Places(*tables[0]), 2002);  // a column span of 1000 over both rows, and one cell each
  EXPECT_FALSE(small.Document.State.TableSpansCut);
}

TEST(TableLayout, ColumnWidths) {
  struct TCase {
    const char* Html;
    int Window;
    std::vector<int> Widths;
    int TableWidth;
  } const cases[] = {
      // Without a width the table is as wide as its content: the column maximums plus the spacing.
      {"<table><tr><td>aaa<td>bb</table>", kWindow, {44, 34}, 80},
      // Too narrow for that: each column gets its minimum and a share by its maximum minus minimum.
      {"<table><tr><td>aaa bbb ccc<td>dd ee</table>", 140, {76, 42}, 120},
      // What rounding leaves over goes to the column with the most room between its widths.
      {"<table><tr><td>a b<td>cc dd ee<td>f g</table>", 94, {19, 34, 19}, 74},
      // Never narrower than the widest words.
      {"<table><tr><td>aaaaaaaaaa<td>bbbbbbbbbb</table>", 100, {104, 104}, 210},
      // A given width: the room beyond the minimums goes in equal parts, or by maximum minus minimum
      // when that is large enough to matter.
      {"<table width=300><tr><td>aaa<td>bb</table>", kWindow, {154, 144}, 300},
      {"<table width=50%><tr><td>aaa<td>bb</table>", kWindow, {154, 144}, 300},
      {"<table width=100><tr><td>aa bbbb<td>c</table>", kWindow, {76, 22}, 100},
      // Percentages of the width inside the spacing.
      {"<table width=400 cellspacing=0><tr><td width=50%>aaa<td>bb</table>", kWindow, {200, 200}, 400},
      {"<table width=200 cellspacing=0><tr><td width=80%>a<td width=40%>b</table>", kWindow, {133, 67}, 200},
      {"<table width=200 cellspacing=0><tr><td width=100%>a<td>b</table>", kWindow, {188, 12}, 200},
      // A width of 100 percent from a style rule means nothing.
      {"<table width=200 cellspacing=0><tr><td style=\"width:100%\">a<td>b</table>", kWindow, {100, 100}, 200},
      {"<table width=200 cellspacing=0><tr><td width=10%>aaaaaaaaaa<td width=90%>b</table>", kWindow, {102, 98}, 200},
      // Too much asked for: the percentage columns give back in proportion, those that would fall below
      // their minimum first, and the first column gives up what rounding leaves over.
      {"<table width=200 cellspacing=0><tr><td width=50%>aaaaaaaa<td width=50%>b<td width=50%>c</table>", kWindow,
       {82, 59, 59}, 200},
      {"<table width=200 cellspacing=0><tr><td width=50%>aaaaaa<td width=50%>b<td width=50%>c</table>", kWindow,
       {66, 67, 67}, 200},
      // Too little: the percentage columns share the rest, or when all stand at their minimums, every column.
      {"<table width=200 cellspacing=0><tr><td width=20%>a<td width=30%>b</table>", kWindow, {80, 120}, 200},
      {"<table width=201 cellspacing=0><tr><td width=1%>aaa<td width=1%>bb</table>", kWindow, {106, 95}, 201},
      // A pixel width in a table of given width is taken as its share of the width.
      {"<table width=300 cellspacing=0><tr><td width=100>a<td>b</table>", kWindow, {100, 200}, 300},
      // Pixel widths without a table width: the column is the width plus padding and spacing.
      {"<table><tr><td width=100>a<td>bb</table>", kWindow, {104, 34}, 140},
      {"<table><tr><td width=60>aaaa bbbb<td>cc dd</table>", 130, {64, 44}, 110},
      {"<table><col width=50><col width=80><tr><td>a<td>b</table>", kWindow, {54, 84}, 140},
      // A pixel width over two columns is shared by them as it is.
      {"<table><tr><td colspan=2 width=100>a<tr><td>b<td>c</table>", kWindow, {50, 50}, 102},
      // What rounding leaves goes to the first columns, taken only from columns that can shrink.
      {"<table><tr><td width=5>g<td>a b<td>c d<td>e f</table>", 109, {15, 24, 24, 24}, 89},
      {"<table><tr><td width=5>g<td>a b<td>c d<td>e f</table>", 110, {14, 24, 25, 25}, 90},
      // A percentage column of a table without width, when the rest does not fit.
      {"<table><tr><td width=25%>a<td>bbbb cccc dddd eeee</table>", 220, {50, 148}, 200},
      // A percentage below the column's minimum is dropped.
      {"<table><tr><td width=10%>aaaaaaaa<td>bbbb cccc dddd eeee</table>", 220, {88, 110}, 200},
      // A cell spanning both columns is wide enough through them.
      {"<table><tr><td colspan=2>aaaaaaaaaa<tr><td>a<td>b</table>", kWindow, {57, 57}, 116},
      // In a table of given width such a cell takes the whole width, whatever its words.
      {"<table width=300 cellspacing=0><tr><td colspan=2>aaaaaaaaaaaaaaaaaaaa<tr><td>a<td>bbbbbbbbbb</table>", kWindow,
       {105, 195}, 300},
      {"<table cellspacing=10 cellpadding=5><tr><td>a<td>b</table>", kWindow, {40, 40}, 90},
      {"<table border=1><tr><td>aaa<td>bb</table>", kWindow, {46, 36}, 84},
      {"<table width=99999999999><tr><td>a</table>", kWindow, {99998}, 100000},
      {"<table><tr><td width=99999999999>a</table>", kWindow, {100004}, 100006},
  };
  for (const TCase& c : cases) {
    TTablePage page(c.Html, c.Window);
    ASSERT_EQ(page.Tables.size(), 1u) << c.Html;
    EXPECT_EQ(page.Table().Widths, c.Widths) << c.Html;
    EXPECT_EQ(page.Table().TableWidth, c.TableWidth) << c.Html;
  }
}

TEST(TableLayout, PercentColumnsOfATableWithoutWidth) {
  // The table grows until each percentage column has its share with its content in it, and the other
  // columns their maximums in what is left; a cell "a" is 14 to 24 wide, "aaaaaaaaa" 94 to 104.
  struct TCase {
    const char* Cells;
    int Window;
    std::vector<int> Widths;
    int TableWidth;
  } const cases[] = {
      {"<td width=30%>a<td width=70%>b", kWindow, {24, 56}, 82},
      {"<td width=30%>aaaaaaaaa<td width=70%>b", kWindow, {104, 243}, 349},
      {"<td width=20%>x<td width=20%>y<td>z auto", kWindow, {25, 25, 74}, 126},
      {"<td width=50%>half<td>rest", kWindow, {54, 54}, 110},
      {"<td width=25%>a<td>bb", kWindow, {24, 72}, 98},
      // Percentages alone share the table their largest asks for in their proportions.
      {"<td width=30%>a<td width=30%>bbb", kWindow, {74, 74}, 150},
      {"<td width=20%>a<td width=40%>bbb", kWindow, {40, 80}, 122},
      // A hundred percent beside other columns takes the whole width.
      {"<td width=100%>a<td>b", kWindow, {584, 14}, 600},
      // Too narrow: the words come first, the percentage columns share what is left.
      {"<td width=30%>aaaaaaaaa<td width=70%>b", 200, {94, 84}, 180},
      // Over a hundred percent in all: the content widths as before.
      {"<td width=60%>a<td width=60%>bb", kWindow, {24, 34}, 60},
  };
  for (const TCase& c : cases) {
    const std::string html = std::string("<table><tr>") + c.Cells + "</table>";
    TTablePage page(html, c.Window);
    ASSERT_EQ(page.Tables.size(), 1u) << html;
    EXPECT_EQ(page.Table().Widths, c.Widths) << html;
    EXPECT_EQ(page.Table().TableWidth, c.TableWidth) << html;
  }
  // The block around the table is as wide as the table, what the shares' rounding adds included.
  TTablePage right("<table align=right><tr><td width=20%>x<td width=20%>y<td>z auto</table>");
  EXPECT_EQ(right.Table().DrawX + right.Table().TableWidth, kBodyX + 600);
  // Inside an outer table the inner one asks for the width its percentages need.
  TTablePage nested("<table><tr><td><table><tr><td width=30%>a<td width=70%>b</table></table>");
  ASSERT_EQ(nested.Tables.size(), 2u);
  EXPECT_EQ(nested.Table(1).Widths, (std::vector<int>{24, 56}));
}

TEST(TableLayout, RowHeights) {
  struct TCase {
    const char* Html;
    std::vector<int> Heights;
    int Height;
  } const cases[] = {
      {"<table><tr><td>a<tr><td>b</table>", {21, 21}, 44},
      // A table height is shared by the rows without a height.
      {"<table height=100><tr><td>a<tr><td>b</table>", {49, 49}, 100},
      {"<table height=10><tr><td>a</table>", {21}, 23},
      {"<table><tr height=40><td>a<tr><td>b</table>", {42, 21}, 65},
      {"<table><tr><td height=50>a<td>b</table>", {52}, 54},
      // 20 percent of what the rows may have (200 less the spacing), the rest to the other row.
      {"<table height=200><tr height=20%><td>a<tr><td>b</table>", {41, 157}, 200},
      // Every row has a height: they are stretched in proportion.
      {"<table height=100><tr height=20><td>a<tr height=30><td>b</table>", {40, 58}, 100},
      {"<table height=100><tr><td>a<tr><td>b<tr><td>c</table>", {32, 32, 34}, 100},
      // Rows that want more than there is get their minimum and a share of the rest.
      {"<table height=100><tr height=40%><td>a<tr height=40%><td>b<tr height=40%><td>c</table>", {33, 33, 32}, 100},
      // A cell spanning rows makes them taller by equal parts, the last one by the remainder too.
      {"<table><tr><td rowspan=2>a<br>b<br>c<br>d<td>x<tr><td>y</table>", {36, 36}, 74},
      {"<table><tr><td rowspan=3>a<br>b<br>c<br>d<br>e<td>x<tr><td>y<tr><td>z</table>", {29, 29, 31}, 91},
      // A cell spanning columns is measured at their width.
      {"<table><tr><td colspan=2>aaa bbb<tr><td>aaa<td>bbb</table>", {21, 21}, 44},
      {"<table style=\"border-collapse:collapse\"><tr><td>a<td>b<tr><td>c<td>d</table>", {18, 18}, 35},
      {"<table><tr><td height=99999999999>a</table>", {100002}, 100004},
  };
  for (const TCase& c : cases) {
    TTablePage page(c.Html);
    ASSERT_EQ(page.Tables.size(), 1u) << c.Html;
    EXPECT_EQ(page.Table().Heights, c.Heights) << c.Html;
    EXPECT_EQ(page.Table().Height, c.Height) << c.Html;
  }
  // The spanning cell is as high as both rows; the others are centred in theirs.
  TTablePage page("<table><tr><td rowspan=2>a<br>b<br>c<br>d<td>x<tr><td>y</table>");
  EXPECT_EQ(page.Table().Rows[0]->Cells[0]->Ht, 72);
  EXPECT_EQ(page.TextAt(u"x"), QPoint(kBodyX + 24 + 3, kBodyY + 3 + 7));
  EXPECT_EQ(page.TextAt(u"y"), QPoint(kBodyX + 24 + 3, kBodyY + 36 + 3 + 7));
}

TEST(TableLayout, VerticalAlignment) {
  // One cell in a row of 98: 77 pixels to spare around the line.
  struct TCase {
    const char* Cells;
    int Offset;
  } const cases[] = {
      {"<tr><td>a", 38},
      {"<tr><td valign=top>a", 0},
      {"<tr><td valign=BOTTOM>a", 77},
      {"<tr><td valign=baseline>a", 0},
      {"<tr valign=bottom><td>a", 77},
      {"<tr valign=bottom><td valign=middle>a", 38},
      {"<tr><td valign=bottom style=\"vertical-align:top\">a", 0},
      // Baseline from a column lowers the content as far as bottom does.
      {"<col valign=baseline><tr><td>a", 77},
      {"<col valign=top><tr><td valign=bottom>a", 0},
  };
  for (const TCase& c : cases) {
    TTablePage page(std::string("<table height=100>") + c.Cells + "</table>");
    ASSERT_EQ(page.Tables.size(), 1u) << c.Cells;
    EXPECT_EQ(page.Table().Rows[0]->Cells[0]->YIndent, c.Offset) << c.Cells;
    EXPECT_EQ(page.TextAt(u"a").y(), kBodyY + 3 + c.Offset) << c.Cells;
  }
}

TEST(TableLayout, SpacingPaddingAndBorderAttributes) {
  struct TCase {
    const char* Html;
    int Spacing, Padding, Border;
  } const cases[] = {
      {"<table>", 2, 1, 0},
      {"<table cellspacing=50 cellpadding=80 border=500>", 40, 50, 100},
      {"<table border>", 2, 1, 1},
      {"<table cellspacing=-1 cellpadding=-1 border=-3>", -1, 1, 0},
      {"<table cellspacing=-2>", 2, 1, 0},
      {"<table cellspacing=9 style=\"border-collapse:collapse\">", -1, 1, 0},
  };
  for (const TCase& c : cases) {
    TTablePage page(std::string(c.Html) + "<tr><td>a</table>");
    ASSERT_EQ(page.Tables.size(), 1u) << c.Html;
    EXPECT_EQ(page.Table().CellSpacing, c.Spacing) << c.Html;
    EXPECT_EQ(page.Table().CellPadding, c.Padding) << c.Html;
    EXPECT_EQ(page.Table().BorderWidth, c.Border) << c.Html;
  }

  // The content stands inside spacing and padding (and the cell's one-pixel frame with a border).
  TTablePage spaced("<table cellspacing=10 cellpadding=5><tr><td>a<td>b</table>");
  EXPECT_EQ(spaced.Table().Height, 10 + 5 + 17 + 5 + 10);
  EXPECT_EQ(spaced.TextAt(u"a"), QPoint(kBodyX + 15, kBodyY + 15));
  EXPECT_EQ(spaced.TextAt(u"b"), QPoint(kBodyX + 40 + 15, kBodyY + 15));
  TTablePage bordered("<table border=1><tr><td>aaa<td>bb</table>after");
  EXPECT_EQ(bordered.Table().DrawX, kBodyX + 1);
  EXPECT_EQ(bordered.Table().TopY, kBodyY + 1);
  EXPECT_EQ(bordered.TextAt(u"aaa"), QPoint(kBodyX + 1 + 2 + 2, kBodyY + 1 + 2 + 2));
  EXPECT_EQ(bordered.TextAt(u"bb"), QPoint(kBodyX + 1 + 46 + 4, kBodyY + 5));
  EXPECT_EQ(bordered.TextAt(u"after").y(), kBodyY + 1 + 25 + 1);
  // Collapsed cells overlap their neighbours by the pixel of spacing they give up.
  TTablePage collapsed("<table style=\"border-collapse:collapse\"><tr><td>a<td>b<tr><td>c<td>d</table>");
  EXPECT_EQ(collapsed.TextAt(u"b"), QPoint(kBodyX + 21, kBodyY));
  EXPECT_EQ(collapsed.TextAt(u"c"), QPoint(kBodyX, kBodyY + 18));
}

TEST(TableLayout, Placement) {
  struct TCase {
    const char* Html;
    int TableX;
    QPoint After;  // where the text after the table goes
  } const cases[] = {
      {"<table><tr><td>a</table>x", kBodyX, {kBodyX, kBodyY + 23}},
      {"<table align=center><tr><td>a</table>x", kBodyX + 287, {kBodyX, kBodyY + 23}},
      {"<center><table><tr><td>a</table></center>x", kBodyX + 287, {kBodyX, kBodyY + 23}},
      {"<div align=right><table><tr><td>a</table></div>x", kBodyX + 574, {kBodyX, kBodyY + 23}},
      // Floating tables let the text go beside them, HSPACE away.
      {"<table align=right><tr><td>a</table>x", kBodyX + 574, {kBodyX, kBodyY}},
      {"<table align=left hspace=5><tr><td>a</table>x", kBodyX + 5, {kBodyX + 36, kBodyY}},
  };
  for (const TCase& c : cases) {
    TTablePage page(c.Html);
    ASSERT_EQ(page.Tables.size(), 1u) << c.Html;
    EXPECT_EQ(page.Table().DrawX, c.TableX) << c.Html;
    EXPECT_EQ(page.TextAt(u"x"), c.After) << c.Html;
  }
}

TEST(TableLayout, Captions) {
  // The wrapper is as wide as the caption's longest word; the table is centred under it.
  TTablePage top("<table><caption>captionxx</caption><tr><td>a</table>after");
  EXPECT_EQ(top.TextAt(u"captionxx"), QPoint(kBodyX, kBodyY));
  EXPECT_EQ(top.Table().TopY, kBodyY + 17);
  EXPECT_EQ(top.Table().DrawX, kBodyX + (90 - 26) / 2);
  EXPECT_EQ(top.TextAt(u"after").y(), kBodyY + 17 + 23);
  TTablePage bottom("<table><caption align=bottom>captionxx</caption><tr><td>a</table>after");
  EXPECT_EQ(bottom.Table().TopY, kBodyY);
  EXPECT_EQ(bottom.TextAt(u"captionxx"), QPoint(kBodyX, kBodyY + 23));
  EXPECT_EQ(bottom.TextAt(u"after").y(), kBodyY + 23 + 17);
  // A caption narrower than the table is as wide as the table.
  TTablePage narrow("<table width=300><caption align=bottom>c</caption><tr><td>a</table>");
  EXPECT_EQ(narrow.Table().DrawX, kBodyX);
  EXPECT_EQ(narrow.Table().TableWidth, 300);
}

TEST(TableLayout, NestedTable) {
  TTablePage page("<table><tr><td>x<table><tr><td>inner</table></table>after");
  ASSERT_EQ(page.Tables.size(), 2u);
  const ThtmlTable& outer = page.Table(0);
  const ThtmlTable& inner = page.Table(1);
  // The inner table is 66 wide and 23 high, under the "x" line.
  EXPECT_EQ(inner.TableWidth, 66);
  EXPECT_EQ(outer.Widths, std::vector<int>{70});
  EXPECT_EQ(outer.Heights, std::vector<int>{2 + 1 + 17 + 23 + 1});
  EXPECT_EQ(inner.TopY, kBodyY + 3 + 17);
  EXPECT_EQ(inner.DrawX, kBodyX + 3);
  EXPECT_EQ(page.TextAt(u"inner"), QPoint(kBodyX + 6, kBodyY + 3 + 17 + 3));
  EXPECT_EQ(page.TextAt(u"after").y(), kBodyY + 46);
}

TEST(TablePaint, ThreeDFrames) {
  // Outer frame raised: light left and top, dark right and bottom. Cells sunken: the other way round,
  // the empty cell's too.
  TTablePage page("<table border=1 bordercolorlight=#ff0000 bordercolordark=#0000ff><tr><td>a<td></table>");
  const ThtmlTable& table = page.Table();
  ASSERT_EQ(table.Widths, (std::vector<int>{26, 6}));
  // Outer: the padding box is (11, 6) to (45, 31); the frame goes round it.
  const int left = 10, top = 5, right = 45, bottom = 31;
  EXPECT_EQ(page.Pixel(left, 20), kRed);
  EXPECT_EQ(page.Pixel(left, bottom), kRed);
  EXPECT_EQ(page.Pixel(30, top), kRed);
  EXPECT_EQ(page.Pixel(right, top), kBlue);
  EXPECT_EQ(page.Pixel(right, 20), kBlue);
  EXPECT_EQ(page.Pixel(30, bottom), kBlue);
  // The first cell's frame: (13, 8) to (36, 28).
  EXPECT_EQ(page.Pixel(13, 20), kBlue);
  EXPECT_EQ(page.Pixel(13, 28), kBlue);
  EXPECT_EQ(page.Pixel(20, 8), kBlue);
  EXPECT_EQ(page.Pixel(36, 8), kRed);
  EXPECT_EQ(page.Pixel(36, 20), kRed);
  EXPECT_EQ(page.Pixel(20, 28), kRed);
  EXPECT_EQ(page.Pixel(14, 27), kWhite);
  // The empty cell's frame: (39, 8) to (42, 28).
  EXPECT_EQ(page.Pixel(39, 20), kBlue);
  EXPECT_EQ(page.Pixel(40, 8), kBlue);
  EXPECT_EQ(page.Pixel(42, 20), kRed);
  EXPECT_EQ(page.Pixel(40, 28), kRed);
  EXPECT_EQ(InkIn(page.Picture, QRect(40, 9, 2, 19)), 0);
  EXPECT_EQ(InkIn(page.Picture, QRect(37, 9, 2, 19)), 0);

  // A wider border is a band of solid colours.
  TTablePage thick("<table border=3 bordercolorlight=#ff0000 bordercolordark=#0000ff><tr><td>a</table>");
  // Padding box (13, 8) to (41, 33).
  for (int d : {0, 1, 2}) {
    EXPECT_EQ(thick.Pixel(10 + d, 20), kRed) << d;
    EXPECT_EQ(thick.Pixel(25, 5 + d), kRed) << d;
    EXPECT_EQ(thick.Pixel(41 + d, 20), kBlue) << d;
    EXPECT_EQ(thick.Pixel(25, 33 + d), kBlue) << d;
  }
  EXPECT_EQ(thick.Pixel(9, 20), kWhite);
  EXPECT_EQ(thick.Pixel(44, 20), kWhite);

  // The default colours on a white page: silver for light, the button shadow for dark.
  TTablePage plain("<table border=1><tr><td>a</table>");
  const QRgb shadow = ToQColor(SystemColor(16)).rgb() & 0xFFFFFF;
  EXPECT_EQ(plain.Pixel(10, 5), kSilver);
  EXPECT_EQ(plain.Pixel(10 + 1 + 28, 5 + 1 + 25), shadow);
  EXPECT_EQ(plain.Pixel(13, 8), shadow);
  EXPECT_EQ(plain.Pixel(36, 28), kSilver);
}

TEST(TablePaint, BackgroundsAndStyledFrames) {
  // A cell's colour wins over its row's, a row's over the table's. Without spacing the cells touch.
  TTablePage colours(
      "<table bgcolor=#0000ff cellspacing=0><tr bgcolor=#ff0000><td>a<td bgcolor=#00ff00>b<tr><td>c<td>d</table>");
  EXPECT_EQ(colours.Pixel(10, 5), kRed);
  EXPECT_EQ(colours.Pixel(31, 5), kRed);
  EXPECT_EQ(colours.Pixel(32, 5), kGreen);
  EXPECT_EQ(colours.Pixel(10, 5 + 19), kBlue);
  // With spacing the page shows between them.
  TTablePage spaced("<table><tr><td bgcolor=#00ff00>a<td bgcolor=#00ff00>b</table>");
  EXPECT_EQ(spaced.Pixel(33, 10), kGreen);
  EXPECT_EQ(spaced.Pixel(34, 10), kWhite);
  EXPECT_EQ(spaced.Pixel(35, 10), kWhite);
  EXPECT_EQ(spaced.Pixel(36, 10), kGreen);
  EXPECT_EQ(spaced.Pixel(12, 6), kWhite);
  EXPECT_EQ(spaced.Pixel(12, 7), kGreen);
  // In a bordered table an empty coloured cell is filled inside its frame: cell (11 + 2, 6 + 2) to
  // (11 + 6, 6 + 6 + 17).
  TTablePage bordered("<table border=1><tr><td bgcolor=#00ff00></td><td>a</table>");
  const QRgb shadow = ToQColor(SystemColor(16)).rgb() & 0xFFFFFF;
  EXPECT_EQ(bordered.Pixel(13, 8), shadow);
  EXPECT_EQ(bordered.Pixel(14, 9), kGreen);
  EXPECT_EQ(bordered.Pixel(15, 27), kGreen);
  EXPECT_EQ(bordered.Pixel(16, 20), kSilver);
  EXPECT_EQ(bordered.Pixel(14, 28), kSilver);
  EXPECT_EQ(bordered.Pixel(17, 20), kWhite);

  // A cell frame of one solid pixel in one colour is exactly a rectangle: (10, 5) to (33, 25).
  TTablePage framed("<table cellspacing=0><tr><td style=\"border:1px solid #ff0000\">a</table>");
  for (const QPoint& p : {QPoint(10, 5), QPoint(33, 5), QPoint(10, 25), QPoint(33, 25), QPoint(20, 5),
                          QPoint(20, 25), QPoint(10, 15), QPoint(33, 15)})
    EXPECT_EQ(framed.Pixel(p.x(), p.y()), kRed) << p.x() << "," << p.y();
  for (const QPoint& p : {QPoint(9, 15), QPoint(34, 15), QPoint(20, 4), QPoint(20, 26), QPoint(11, 6)})
    EXPECT_EQ(framed.Pixel(p.x(), p.y()), kWhite) << p.x() << "," << p.y();
}

TEST(TablePaint, EveryCellOfABorderedTableHasItsFrame) {
  // Each cell's frame runs along its border box: every pixel of its four sides is inked, empty cells'
  // included; inside an empty cell the page shows.
  const char* const tables[] = {
      "<table border=1><tr><td>a<td><td>c<tr><td><td>b<td>&nbsp;</table>",
      "<table border=1 style=\"border-collapse:collapse\"><tr><td>a<td><td>c</table>",
      "<table border=1 cellspacing=0 cellpadding=4><tr><td>cs0<td><tr><td colspan=2></table>",
      "<table border=3 rules=rows frame=box><tr><td><td>r1b<tr><td>r2a<td></table>",
  };
  for (const char* html : tables) {
    TTablePage page(html);
    ASSERT_EQ(page.Tables.size(), 1u) << html;
    const ThtmlTable& table = page.Table();
    int empty = 0;
    for (const auto& row : table.Rows) {
      for (const auto& cell : row->Cells) {
        if (!cell) continue;
        const QRect box = cell->Cell->MyRect;
        ASSERT_GT(box.width(), 2) << html;
        // A collapsed cell reaches a pixel into the row below, where its frame's bottom side lies.
        const int bottom = table.CellSpacing < 0 ? box.bottom() + 1 : box.bottom();
        const int height = bottom - box.top() + 1;
        EXPECT_EQ(InkIn(page.Picture, QRect(box.left(), box.top(), 1, height)), height) << html;
        EXPECT_EQ(InkIn(page.Picture, QRect(box.right(), box.top(), 1, height)), height) << html;
        EXPECT_EQ(InkIn(page.Picture, QRect(box.left(), box.top(), box.width(), 1)), box.width()) << html;
        EXPECT_EQ(InkIn(page.Picture, QRect(box.left(), bottom, box.width(), 1)), box.width()) << html;
        if (cell->HasContent()) continue;
        ++empty;
        EXPECT_EQ(InkIn(page.Picture, QRect(box.left() + 1, box.top() + 1, box.width() - 2, height - 2)), 0) << html;
      }
    }
    EXPECT_GT(empty, 0) << html;
  }
}

TEST(TablePaint, ATableOutsideTheClipDrawsNothing) {
  TTablePage page("<table border=1 bgcolor=#00ff00><tr><td>a</table>");
  ThtmlTable& table = page.Table();
  QImage picture(200, 100, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  TPaintArgs args;
  args.ARect = QRect(0, 0, 200, table.TopY);
  args.X = 50;
  EXPECT_EQ(table.Paint(painter, args), table.TopY + table.Height);
  painter.end();
  EXPECT_EQ(InkIn(picture, picture.rect()), 0);
  EXPECT_EQ(table.DrawX, kBodyX + 1);
}

TEST(TableHitTest, LinksAndCharactersInCells) {
  // Columns of 54 and 64 from x 10; text at y 8.
  TTablePage page(
      "<table><tr><td href=outer.html><a href=\"in.html\">link</a><td href=\"cell.html\" target=t title=tip>plain"
      "</table>");
  TSectionList& document = page.Document.Document;
  struct TCase {
    int X, Y;
    const char* Url;
    const char* Title;
  } const cases[] = {
      // The content's link comes before the cell's.
      {20, 12, "in.html", ""},
      {63, 12, "outer.html", ""},
      {90, 12, "cell.html", "tip"},
      {126, 24, "cell.html", "tip"},
      {65, 12, "", ""},   // the spacing between the cells
      {90, 4, "", ""},    // above the table
      {129, 12, "", ""},  // right of it
  };
  for (const TCase& c : cases) {
    TLinkAtResult result;
    const int flags = document.LinkAt(c.X, c.Y, result);
    EXPECT_EQ((flags & LinkAtLink) != 0, *c.Url != 0) << c.X << "," << c.Y;
    EXPECT_EQ(result.Link ? result.Link->Url : "", c.Url) << c.X << "," << c.Y;
    EXPECT_EQ(result.Title, c.Title) << c.X << "," << c.Y;
  }
  TLinkAtResult result;
  document.LinkAt(90, 12, result);
  ASSERT_TRUE(result.Link);
  EXPECT_EQ(result.Link->Target, "t");

  const TSection* plain = page.Text(u"plain");
  ASSERT_NE(plain, nullptr);
  ASSERT_EQ(page.TextAt(u"plain").x(), 67);
  TCharAtPoint at;
  EXPECT_EQ(page.Document.Body().CharIndexAt(67 + 23, 12, at), plain->FirstCharIndex + 2);
  EXPECT_EQ(at.XR, 67 + 20);
  EXPECT_TRUE(at.InText);
  EXPECT_EQ(page.Table().CharIndexAt(90, 4, at), -1);
}

}  // namespace
}  // namespace corvane
