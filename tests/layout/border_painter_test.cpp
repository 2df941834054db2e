#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "layout/border_painter.h"

namespace corvane {
namespace {

constexpr TColor Grey = 0xC0C0C0, Red = 0x0000FF, Blue = 0xFF0000, Green = 0x008000;

// Draws on a white image and returns its rows joined by '|': a pixel is '.' for white, C for Grey, D for
// Grey darkened, R, B, G, K for red, blue, green, black, '?' for anything else.
std::string Render(int width, int height, const std::function<void(QPainter&)>& draw) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);  // the drawing must not depend on it
  draw(painter);
  painter.end();
  const QRgb colours[] = {0xFFFFFF, 0xC0C0C0, 0x909090, 0xFF0000, 0x0000FF, 0x008000, 0x000000};
  std::string art;
  for (int y = 0; y < height; ++y, art += y < height ? "|" : "")
    for (int x = 0; x < width; ++x) {
      const auto at = std::find(std::begin(colours), std::end(colours), image.pixel(x, y) & 0xFFFFFF);
      art += ".CDRBGK?"[at - std::begin(colours)];
    }
  return art;
}

std::string Border(int width, int height, QRect outer, QRect inner, TColor background, const TBorderLook& look) {
  return Render(width, height, [&](QPainter& p) { DrawBorder(p, outer, inner, false, background, look); });
}

TBorderLook Look(int style, TColor colour) { return {TSides<int>::All(style), TSides<TColor>::All(colour)}; }

TEST(Darker, ScalesEachChannelByThreeQuartersRounded) {
  const QColor face = ToQColor(SystemColor(15));  // a system colour darkens its palette colour
  const auto dark = [](int channel) { return static_cast<TColor>((channel * 3 + 2) / 4); };
  EXPECT_EQ(Darker(SystemColor(15)), dark(face.red()) | dark(face.green()) << 8 | dark(face.blue()) << 16);
  EXPECT_EQ(Darker(Grey), 0x909090u);
  EXPECT_EQ(Darker(0x020102FF), 0x000102BFu);  // 1.5 rounds up, 0.75 to 1; the mark goes
  EXPECT_EQ(Darker(ColorNone), ColorNone);
}

// Solid sides of any widths, a single side among them, cover the pixels between the rectangles exactly.
TEST(DrawBorder, SolidSidesCoverExactlyTheRing) {
  const QRect outer(1, 2, 10, 10);
  for (const QRect inner : {QRect(2, 3, 8, 8), QRect(4, 5, 4, 4), QRect(2, 2, 9, 10), QRect(3, 3, 7, 6), outer}) {
    std::string expected;
    for (int y = 0; y < 14; ++y, expected += y < 14 ? "|" : "")
      for (int x = 0; x < 12; ++x) expected += outer.contains(x, y) && !inner.contains(x, y) ? 'R' : '.';
    EXPECT_EQ(Border(12, 14, outer, inner, ColorNone, Look(1, Red)), expected) << inner.x() << "," << inner.y();
  }
}

// Each corner pixel belongs to exactly one side, decided by the direction of the diagonal through it.
TEST(DrawBorder, CornersShadingAndNothing) {
  const std::vector<std::pair<TBorderLook, std::string>> cases = {
      {{TSides<int>::All(1), {{Blue, Green, 0, Red}}}, "BBBG|R..G|R..G|KKKG"},  // top, right, bottom, left
      {Look(2, Grey), "DDDC|D..C|D..C|CCCC"},
      {Look(3, Grey), "CCCD|C..D|C..D|DDDD"},
      {Look(0, Red), "....|....|....|...."},
      {Look(1, ColorNone), "....|....|....|...."}};
  for (const auto& [look, expected] : cases) EXPECT_EQ(Border(4, 4, {0, 0, 4, 4}, {1, 1, 2, 2}, Blue, look), expected);
}

// The pixels across the top and bottom sides, each read from the outer edge inwards; the left as the top.
TEST(DrawBorder, BandsAcrossASide) {
  struct TCase {
    int style, width;
    TColor background;
    std::string top, bottom;
  };
  const std::vector<TCase> cases = {
      {2, 2, ColorNone, "DD", "CC"},     {3, 2, ColorNone, "CC", "DD"},       {4, 3, ColorNone, "DCC", "CDD"},
      {5, 4, ColorNone, "CCDD", "DDCC"}, {8, 1, ColorNone, ".", "."},         {8, 2, ColorNone, "CC", "CC"},
      {8, 3, Blue, "CBC", "CBC"},        {8, 5, ColorNone, "CC.CC", "CC.CC"}, {8, 6, Blue, "CCBBCC", "CCBBCC"}};
  for (const TCase& c : cases) {
    const int w = c.width;
    const std::string art =
        Border(20, 20, {0, 0, 20, 20}, {w, w, 20 - 2 * w, 20 - 2 * w}, c.background, Look(c.style, Grey));
    std::string top, left, bottom;
    for (int d = 0; d < w; ++d) top += art[d * 21 + 10], left += art[10 * 21 + d], bottom += art[(19 - d) * 21 + 10];
    EXPECT_EQ(top + " " + left + " " + bottom, c.top + " " + c.top + " " + c.bottom) << c.style << " width " << w;
  }
}

// Flat-ended dots and dashes along a top and a left side of thickness 2: a dot as long as the side is
// thick, a dash three times, each gap once; the gaps show the background when there is one.
TEST(DrawBorder, DotsAndDashesAlongASide) {
  const auto picture = [](std::string line, bool left, char gap) {  // the line twice, then a blank one
    std::replace(line.begin(), line.end(), '.', gap);
    std::string art;
    for (char c : line) art += std::string(2, c) + ".|";
    art.pop_back();
    return left ? art : line + "|" + line + "|" + std::string(line.size(), '.');
  };
  for (const auto& [style, line] : {std::pair{7, "RR..RR..RR..RR..RR.."}, std::pair{6, "RRRRRR..RRRRRR..RRRR"}})
    for (const bool left : {false, true}) {
      TBorderLook look = {{}, TSides<TColor>::All(Red)};
      (left ? look.Styles.Left() : look.Styles.Top()) = style;
      const QRect outer = left ? QRect(0, 0, 3, 20) : QRect(0, 0, 20, 3);
      const QRect inner = left ? QRect(2, 0, 1, 20) : QRect(0, 2, 20, 1);
      EXPECT_EQ(Border(outer.width(), outer.height(), outer, inner, ColorNone, look), picture(line, left, '.'));
      EXPECT_EQ(Border(outer.width(), outer.height(), outer, inner, Blue, look), picture(line, left, 'B'));
    }
}

TEST(DrawBorder, HugeBoxesAreClampedVertically) {
  const QRect outer(1, -1000000000, 6, 2000000000), inner(3, -999999990, 2, 1999999980);
  EXPECT_EQ(Border(8, 2, outer, inner, Blue, Look(8, Red)), ".RR..RR.|.RR..RR.");
}

TEST(DrawOnePixelFrame, EachStretchOmitsItsEndPixel) {
  const auto frame = [](int left, int top, int right, int bottom) {
    return Render(6, 4, [&](QPainter& p) { DrawOnePixelFrame(p, left, top, right, bottom, Qt::red, Qt::blue); });
  };
  EXPECT_EQ(frame(1, 1, 4, 3), "......|.RRRB.|.R..B.|.RBBB.");
  EXPECT_EQ(frame(2, 0, 2, 2), "..B...|..B...|..R...|......");  // a column: the later stretch wins
  EXPECT_EQ(frame(1, 2, 4, 2), "......|......|.RBBB.|......");
  EXPECT_EQ(frame(0, -900, 1, 9000), "RB....|RB....|RB....|RB....");
}

TEST(FillRect, CoversLeftTopUpToRightBottom) {
  const auto fill = [](int left, int top, int right, int bottom) {
    return Render(5, 3, [&](QPainter& p) { FillRect(p, left, top, right, bottom, Qt::red); });
  };
  EXPECT_EQ(fill(1, 1, 4, 3), ".....|.RRR.|.RRR.");
  EXPECT_EQ(fill(4, 1, 1, 3), ".....|.....|.....");
  EXPECT_EQ(fill(1, 2, 4, 2), ".....|.....|.....");
}

}  // namespace
}  // namespace corvane
