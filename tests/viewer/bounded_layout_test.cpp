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

}  // namespace
}  // namespace corvane
