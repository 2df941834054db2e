#include "viewer/bounded_layout.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builder/document_loader.h"
#include "layout/block.h"
#include "layout/section_list.h"
#include "layout/table.h"

namespace corvane {
namespace {

TEST(BoundedLayout, FirstPartEndsBeforeATag) {
  const struct {
    std::string Page;
    std::size_t Budget;
    std::size_t End;
  } cases[] = {
      {"<p>one</p><p>two</p>", 100, 20},  // the whole page fits
      {"<p>one</p><p>two</p>", 20, 20},
      {"<p>one</p><p>two</p>", 12, 10},   // ends at the tag the budget falls in
      {"<p>one</p><p>two</p>", 10, 10},   // a tag starting at the budget
      {"<p>one</p><p>two</p>", 2, 2},     // no tag starts after the first byte: the budget
      {"<p>" + std::string(100, 'w'), 50, 50},  // no tag in the second half: the budget
      {"<p>" + std::string(20, 'w') + "<b>" + std::string(20, 'w'), 40, 23},
      {"<p>" + std::string(20, 'w') + "<b>" + std::string(30, 'w'), 50, 50},
      {"words without tags", 5, 5},
      {"x", 0, 1},                        // never an empty part
  };
  for (const auto& c : cases) EXPECT_EQ(FirstPartEnd(c.Page, c.Budget), c.End) << c.Page << " " << c.Budget;
}

// Rounds on a page whose height grows with its bytes as asked: they stop once the part laid out is more
// than half as high again as the cut, or at the whole page, and grow at least twofold.
TEST(BoundedLayout, RoundsGrowUntilTheCutIsPassedByHalf) {
  const struct {
    std::size_t PageBytes;
    int PixelsPerKilobyte;
    int MaxHeight;
    std::size_t FirstBytes;
    std::vector<std::size_t> Built;  // bytes built, round by round
    bool Whole;
  } cases[] = {
      {10000, 100, 100000, 20000, {10000}, true},               // a small page: whole, in one round
      {1000000, 1000, 1000, 4096, {4096}, false},               // 4,096 px from the first part already
      {1000000, 400, 1000, 4096, {4096}, false},                // 1,638 px: enough
      {1000000, 300, 1000, 4096, {4096, 8192}, false},          // 1,228 px: twice the bytes
      {1000000, 100, 1000, 4096, {4096, 18777}, false},         // 409 px: more needed, by the estimate
      {1000000, 1, 1000, 100000, {100000, 1000000}, true},      // too flat: the estimate passes the end
      {1000000, 0, 1000, 4096, {4096, 1000000}, true},          // nothing high: the whole page next
      {30000, 100, 1000000, 4096, {4096, 30000}, true},         // the cut lies past the whole page
  };
  for (const auto& c : cases) {
    const std::string page = "<p>" + std::string(c.PageBytes - 3, 'x');
    std::vector<std::size_t> built;
    const TBoundedLayout result = LayOutWithinHeight(page, c.MaxHeight, c.FirstBytes, [&](std::string text) {
      built.push_back(text.size());
      return static_cast<int>(static_cast<long long>(text.size()) * c.PixelsPerKilobyte / 1000);
    });
    EXPECT_EQ(built, c.Built) << c.PageBytes << " " << c.PixelsPerKilobyte;
    EXPECT_EQ(result.Whole, c.Whole);
    EXPECT_EQ(result.Rounds, static_cast<int>(c.Built.size()));
    EXPECT_EQ(result.BytesBuilt, c.Built.back());
    for (std::size_t i = 1; i < built.size(); ++i) EXPECT_GE(built[i], std::min(2 * built[i - 1], page.size()));
  }
}

// A table whose widest cells come in its first rows, so that its columns do not depend on how many of its
// rows are built.
std::string Rows(int count) {
  std::string page = "<body style=\"margin:0\"><table border=1>";
  for (int row = 0; row < count; ++row)
    page += "<tr><td>row " + std::to_string(row % 10) + "</td><td>" + std::string(1 + row % 7, 'w') + "</td></tr>\n";
  return page + "</table><p>after</p></body>";
}

struct TLaidOut {
  std::unique_ptr<TSectionList> Document;
  int Height = 0;
  TBoundedLayout Rounds;
};

constexpr int kWidth = 300;

TLaidOut LayOut(const std::string& page, int maxHeight, std::size_t firstBytes) {
  TLaidOut out;
  out.Rounds = LayOutWithinHeight(page, maxHeight, firstBytes, [&](std::string text) {
    out.Document.reset();
    out.Document = std::make_unique<TSectionList>();
    LoadHtmlDocument(*out.Document, std::move(text), TDocumentDefaults{});
    int scrollWidth = 0;
    out.Height = out.Document->DoLayout(kWidth, 0, scrollWidth);
    return out.Height;
  });
  return out;
}

QImage Picture(TSectionList& document, int height) {
  QImage picture(kWidth, height, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  document.SetYOffset(0);
  document.Paint(painter, QRect(0, 0, kWidth, height), 6000, 0, 0, 0, 0);
  return picture;
}

int TableRows(const TSectionList& document) {
  int rows = 0;
  const std::function<void(const TCellBasic&)> visit = [&](const TCellBasic& list) {
    for (int i = 0; i < list.Count(); ++i) {
      if (auto* table = dynamic_cast<const ThtmlTable*>(&list[i])) rows += static_cast<int>(table->Rows.size());
      if (TBlock* block = list[i].AsBlock()) visit(block->Content());
    }
  };
  visit(document);
  return rows;
}

// However many rows a page has, the rows built for a picture cut at a height stay the same few, and the
// picture above the cut is the one the whole page gives.
TEST(BoundedLayout, ATallPageIsBuiltOnlyPastTheCut) {
  constexpr int kCut = 600;
  constexpr std::size_t kFirstBytes = 2048;
  const TLaidOut whole = LayOut(Rows(3000), kCut, std::size_t{1} << 30);
  ASSERT_TRUE(whole.Rounds.Whole);
  ASSERT_EQ(TableRows(*whole.Document), 3000);
  const QImage expected = Picture(*whole.Document, kCut);

  int rowsBuilt = -1;
  for (const int rows : {3000, 30000}) {
    SCOPED_TRACE(rows);
    TLaidOut cut = LayOut(Rows(rows), kCut, kFirstBytes);
    EXPECT_FALSE(cut.Rounds.Whole);
    EXPECT_GT(cut.Height, kCut + kCut / 2);
    EXPECT_LT(cut.Height, 20 * kCut);
    if (rowsBuilt < 0) rowsBuilt = TableRows(*cut.Document);
    EXPECT_EQ(TableRows(*cut.Document), rowsBuilt);
    EXPECT_LT(rowsBuilt, 300);
    EXPECT_TRUE(Picture(*cut.Document, kCut) == expected);
  }
}

// A page no taller than the cut allows is built whole, with what comes after its table.
TEST(BoundedLayout, APageWithinTheCutIsBuiltWhole) {
  const std::string page = Rows(20);
  const TLaidOut laidOut = LayOut(page, 100000, 64);
  EXPECT_TRUE(laidOut.Rounds.Whole);
  EXPECT_EQ(laidOut.Rounds.BytesBuilt, page.size());
  EXPECT_EQ(TableRows(*laidOut.Document), 20);
  EXPECT_EQ(laidOut.Height, LayOut(page, 100000, std::size_t{1} << 30).Height);
}

// The cells each table row keeps (slots holding a cell), table by table in the order they come.
std::vector<std::vector<int>> RowCells(const TSectionList& document) {
  std::vector<std::vector<int>> tables;
  const std::function<void(const TCellBasic&)> visit = [&](const TCellBasic& list) {
    for (int i = 0; i < list.Count(); ++i) {
      if (auto* table = dynamic_cast<const ThtmlTable*>(&list[i])) {
        const std::size_t index = tables.size();
        tables.emplace_back();
        for (const auto& row : table->Rows) {
          int kept = 0;
          for (const auto& cell : row->Cells) {
            if (!cell) continue;
            ++kept;
            if (cell->Cell) visit(*cell->Cell);
          }
          tables[index].push_back(kept);
        }
      }
      if (TBlock* block = list[i].AsBlock()) visit(block->Content());
    }
  };
  visit(document);
  return tables;
}

struct TBuilt {
  std::unique_ptr<TSectionList> Document;
  int Height = 0;
};

TBuilt BuildWithColumnLimit(const std::string& page, int limit) {
  TBuilt built;
  built.Document = std::make_unique<TSectionList>();
  built.Document->TableColumnLimit = limit;
  LoadHtmlDocument(*built.Document, page, TDocumentDefaults{});
  int scrollWidth = 0;
  built.Height = built.Document->DoLayout(kWidth, 0, scrollWidth);
  return built;
}

// A row's cells are kept while the columns they start in, counted by their spans, stay within the
// limit; the rest of the row is read past without building it, nested tables and raw content included,
// and the rows after it are built as before.
TEST(BoundedLayout, ARowKeepsTheCellsWithinTheColumnLimit) {
  const struct {
    std::string Page;
    int Limit;
    std::vector<std::vector<int>> Cells;  // kept, by table and row
    bool Cut;
  } cases[] = {
      {"<table><tr><td>a<td>b<td>c<td>d<td>e</table>", 3, {{3}}, true},
      {"<table><tr><td>a<td>b<td>c</table>", 3, {{3}}, false},
      {"<table><tr><td>a<td>b<td>c<td>d<td>e</table>", 0, {{5}}, false},  // no limit
      {"<table><tr><td colspan=2>a<td>b<td>c</table>", 3, {{2}}, true},
      {"<table><tr><td colspan=5>a<td>b</table>", 3, {{1}}, true},
      {"<table><tr><td>1<td>2<td>3<td>4<tr><td>5<td>6</table>", 3, {{3, 2}}, true},
      {"<table><td>1<td>2<td>3<td>4</table>", 3, {{3}}, true},  // the row the first cell opens
      {"<table><tr><td>1</td><td>2</td><td>3</td><td>4</td></tr><tr><td>5</td></tr></table>", 3, {{3, 1}}, true},
      // Columns that cells spanning rows from above take are not counted.
      {"<table><tr><td rowspan=2>a<td>b<td>c<tr><td>d<td>e<td>f<td>g</table>", 3, {{3, 3}}, true},
      // A table in a cell passed over is not built, and its end does not end the outer table.
      {"<table><tr><td>1<td>2<td>3<td><table><tr><td>a<td>b</table>x<td>y<tr><td>z</table>", 3, {{3, 1}}, true},
      // Nor do tags in raw content: a text area's or a script's.
      {"<table><tr><td>1<td>2<td>3<td><textarea><td><tr></textarea><td>w<tr><td>z</table>", 3, {{3, 1}}, true},
      {"<table><tr><td>1<td>2<td>3<td><script>a('<tr><td>')</script><td>w<tr><td>z</table>", 3, {{3, 1}}, true},
      // A nested table holds to the limit too.
      {"<table><tr><td><table><tr><td>a<td>b<td>c<td>d</table><td>e</table>", 3, {{2}, {3}}, true},
      {"<table><tr><td>1<td>2<td>3<td>4", 3, {{3}}, true},  // the page ends in a cell passed over
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Page);
    const TBuilt built = BuildWithColumnLimit(c.Page, c.Limit);
    EXPECT_EQ(RowCells(*built.Document), c.Cells);
    EXPECT_EQ(built.Document->State.TableColumnsCut, c.Cut);
  }
}

// A cell passed over still gives the page its style sheet, as a cell built does.
TEST(BoundedLayout, AStyleSheetInACellPassedOverStillApplies) {
  const std::string page = "<table><tr><td>1<td>2<td>3<td><style>p { margin-top: 100px }</style></table><p>after</p>";
  const TBuilt cut = BuildWithColumnLimit(page, 3);
  ASSERT_TRUE(cut.Document->State.TableColumnsCut);
  EXPECT_EQ(cut.Height, BuildWithColumnLimit(page, 0).Height);
  EXPECT_GT(cut.Height, BuildWithColumnLimit("<table><tr><td>1<td>2<td>3</table><p>after</p>", 0).Height + 50);
}

std::string WideRow(int cells) {
  std::string page = "<body style=\"margin:0\"><table border=1><tr>";
  for (int cell = 0; cell < cells; ++cell) page += "<td>" + std::to_string(cell % 10) + "</td>";
  return page + "</tr></table><p>after</p></body>";
}

// A picture builds at most kPictureTableColumns cells of a row however many the row has, and says so.
TEST(BoundedLayout, APictureBuildsARowUpToItsColumns) {
  const struct {
    int Cells;
    int Kept;
    std::vector<std::string> Notices;
  } cases[] = {
      {100, 100, {}},
      {kPictureTableColumns, kPictureTableColumns, {}},
      {kPictureTableColumns + 1, kPictureTableColumns,
       {"wide.html has a table of more than 10000 columns; the picture shows its first 10000"}},
      {100000, kPictureTableColumns,
       {"wide.html has a table of more than 10000 columns; the picture shows its first 10000"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Cells);
    const TPictureLayout picture = LayOutPicture(WideRow(c.Cells), "", kWidth, 1000, 6000);
    EXPECT_EQ(RowCells(*picture.Document), std::vector<std::vector<int>>{{c.Kept}});
    EXPECT_EQ(picture.Notices("wide.html"), c.Notices);
  }
}

// The columns left out start right of the widest picture: the picture of a row wider than the limit is
// the one the whole row gives.
TEST(BoundedLayout, APictureOfARowPastItsColumnsIsTheWholeRowsPicture) {
  const std::string page = WideRow(kPictureTableColumns + 2000);
  TPictureLayout picture = LayOutPicture(page, "", kWidth, 1000, 6000);
  ASSERT_EQ(picture.Width, 6000);
  const TBuilt whole = BuildWithColumnLimit(page, 0);
  ASSERT_EQ(RowCells(*whole.Document), std::vector<std::vector<int>>{{kPictureTableColumns + 2000}});
  EXPECT_EQ(picture.LaidOut.Height, whole.Height);
  const auto paint = [&](TSectionList& document) {
    QImage image(6000, picture.Height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    document.SetYOffset(0);
    document.Paint(painter, QRect(0, 0, 6000, picture.Height), 6000, 0, 0, 0, 0);
    return image;
  };
  EXPECT_TRUE(paint(*picture.Document) == paint(*whole.Document));
}

}  // namespace
}  // namespace corvane
