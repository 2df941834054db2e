// What geometry cannot show: the shape of a list marker.
#include <gtest/gtest.h>

#include <utility>

#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::Blocks;
using test::InkIn;
using test::TTestDocument;

TEST(ListMarkerPaint, NamedSquareMarkerAtAnyLevel) {
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
