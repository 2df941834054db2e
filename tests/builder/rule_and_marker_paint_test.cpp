// What geometry cannot show: how an unshaded rule and a square list marker are drawn.
#include <gtest/gtest.h>

#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::Blocks;
using test::InkIn;
using test::TTestDocument;

TEST(RuleAndMarkerPaint, UnshadedRuleIsAFlatGreyBar) {
  TTestDocument document("<hr size=4 noshade><hr size=4>");
  document.LayOut(300);
  const QImage picture = document.Paint(300, 100);
  const std::vector<TBlock*> rules = Blocks(document.Body().Content());
  ASSERT_EQ(rules.size(), 2u);
  const TSectionBase& bar = rules[0]->Content()[0];
  const int top = bar.PaintY, left = rules[0]->LeftX, right = left + static_cast<const THorzLine&>(bar).LineWidth - 1;
  ASSERT_GT(right - left, 100);
  // Every pixel of the bar is grey, and nothing is drawn around it.
  for (int y = top; y < top + 4; ++y)
    for (int x : {left, left + 1, (left + right) / 2, right}) EXPECT_EQ(picture.pixel(x, y), qRgb(128, 128, 128)) << x << "," << y;
  EXPECT_EQ(InkIn(picture, QRect(left, top - 2, right - left + 1, 2)), 0);
  EXPECT_EQ(InkIn(picture, QRect(left, top + 4, right - left + 1, 2)), 0);
  // The shaded rule keeps its sunken outline: its inside is not filled.
  const TSectionBase& shaded = rules[1]->Content()[0];
  EXPECT_EQ(picture.pixel((left + right) / 2, shaded.PaintY + 1), qRgb(255, 255, 255));
  EXPECT_NE(picture.pixel((left + right) / 2, shaded.PaintY), qRgb(255, 255, 255));
}

TEST(RuleAndMarkerPaint, NamedSquareMarkerAtAnyLevel) {
  TTestDocument document("<ul type=square><li>x</ul><ul><li>y</ul>");
  document.LayOut(300);
  const QImage picture = document.Paint(300, 200);
  const std::vector<TBlock*> lists = Blocks(document.Body().Content());
  ASSERT_EQ(lists.size(), 2u);
  auto markerInk = [&](const TBlock& list) {
    const auto& item = static_cast<const TBlockLI&>(*Blocks(list.Content()).at(0));
    const int x = item.LeftX, y = item.FirstLineBaseline();
    // The marker's 5 by 5 box, and its four corners that only a square fills.
    const int corners = InkIn(picture, QRect(x - 15, y - 6, 1, 1)) + InkIn(picture, QRect(x - 11, y - 6, 1, 1)) +
                        InkIn(picture, QRect(x - 15, y - 2, 1, 1)) + InkIn(picture, QRect(x - 11, y - 2, 1, 1));
    return std::pair{InkIn(picture, QRect(x - 15, y - 6, 5, 5)), corners};
  };
  EXPECT_EQ(markerInk(*lists[0]), std::pair(25, 4));
  // The first level's disc leaves the corners of its box empty.
  const auto [discInk, discCorners] = markerInk(*lists[1]);
  EXPECT_GT(discInk, 0);
  EXPECT_EQ(discCorners, 0);
}

}  // namespace
}  // namespace corvane
