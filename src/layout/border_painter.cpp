#include "layout/border_painter.h"

#include <QColor>
#include <QPainter>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

namespace corvane {

namespace {

// Border style codes.
enum : int {
  StyleNone,
  StyleSolid,
  StyleInset,
  StyleOutset,
  StyleGroove,
  StyleRidge,
  StyleDashed,
  StyleDotted,
  StyleDouble
};

// Rows above and below these are never drawn: clamping keeps the work for very tall boxes bounded.
constexpr std::int64_t MinY = -200;
constexpr std::int64_t MaxY = 5000;

// A rectangle in pixel-edge coordinates: it covers x in [L, R - 1] and y in [T, B - 1]. 64-bit so that
// products of coordinates in the span arithmetic below cannot overflow.
struct TEdges {
  std::int64_t L, T, R, B;
};

struct TPoint {
  std::int64_t X, Y;
};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {  // b > 0
  return -FloorDiv(-a, b);
}

std::int64_t ClampY(std::int64_t y) { return std::clamp(y, MinY, MaxY); }

void FillEdges(QPainter& canvas, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
               const QColor& colour) {
  if (right <= left || bottom <= top) return;
  // Out-of-range edges are cut to what a QRect can hold; such pixels are far off any device anyway.
  left = std::max<std::int64_t>(left, INT_MIN / 2);
  right = std::min<std::int64_t>(right, INT_MAX / 2);
  top = std::max<std::int64_t>(top, INT_MIN / 2);
  bottom = std::min<std::int64_t>(bottom, INT_MAX / 2);
  canvas.fillRect(QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                        static_cast<int>(bottom - top)),
                  colour);
}

// Fills the quadrilateral q (convex, vertices in order) within clip. A pixel is inside when its centre is:
// a centre exactly on a left edge counts, one on a right edge does not, so the four sides of a ring meet
// without gaps or overlaps even where they share a diagonal. Rows with equal spans go out as one rectangle.
void FillQuad(QPainter& canvas, const TPoint (&q)[4], const TEdges& clip, const QColor& colour) {
  std::int64_t top = q[0].Y, bottom = q[0].Y;
  for (const TPoint& p : q) {
    top = std::min(top, p.Y);
    bottom = std::max(bottom, p.Y);
  }
  top = std::max(top, clip.T);
  bottom = std::min(bottom, clip.B);

  std::int64_t runTop = top, runL = 0, runR = 0;
  for (std::int64_t y = top; y <= bottom; ++y) {
    std::int64_t l = 0, r = 0;  // the row's pixels, x in [l, r); empty when l >= r
    if (y < bottom) {
      // Twice the centre line, so that all positions along it are integers over the edge's height.
      const std::int64_t yc2 = 2 * y + 1;
      bool any = false;
      for (int i = 0; i < 4; ++i) {
        TPoint a = q[i], b = q[(i + 1) % 4];
        if (a.Y == b.Y || yc2 <= 2 * std::min(a.Y, b.Y) || yc2 >= 2 * std::max(a.Y, b.Y)) continue;
        if (a.Y > b.Y) std::swap(a, b);
        // Twice the crossing x is num / den; c is its ceiling.
        const std::int64_t den = b.Y - a.Y;
        const std::int64_t num = 2 * a.X * den + (yc2 - 2 * a.Y) * (b.X - a.X);
        const std::int64_t c = CeilDiv(num, den);
        const std::int64_t first = CeilDiv(c - 1, 2);     // smallest x with 2x + 1 >= crossing
        const std::int64_t end = FloorDiv(c - 2, 2) + 1;  // past the largest x with 2x + 1 < crossing
        l = any ? std::min(l, first) : first;
        r = any ? std::max(r, end) : end;
        any = true;
      }
      l = std::max(l, clip.L);
      r = std::min(r, clip.R);
      if (!any || l >= r) l = r = 0;
    }
    if (y == bottom || l != runL || r != runR) {
      FillEdges(canvas, runL, runTop, runR, y, colour);
      runTop = y;
      runL = l;
      runR = r;
    }
  }
}

constexpr TEdges NoClip{INT64_MIN / 4, INT64_MIN / 4, INT64_MAX / 4, INT64_MAX / 4};

// Fills one side's part of the ring between outer and inner: the trapezoid between their corners.
void FillSide(QPainter& canvas, const TEdges& o, const TEdges& i, int side, const QColor& colour,
              const TEdges& clip = NoClip) {
  if (!colour.isValid()) return;
  const TPoint quads[4][4] = {{{o.L, o.T}, {i.L, i.T}, {i.L, i.B}, {o.L, o.B}},
                              {{o.L, o.T}, {o.R, o.T}, {i.R, i.T}, {i.L, i.T}},
                              {{o.R, o.T}, {o.R, o.B}, {i.R, i.B}, {i.R, i.T}},
                              {{o.L, o.B}, {i.L, i.B}, {i.R, i.B}, {o.R, o.B}}};
  FillQuad(canvas, quads[side], clip, colour);
}

// The rectangle moved inwards from r by depth[side] on each side.
TEdges Shrunk(const TEdges& r, const std::array<std::int64_t, 4>& depth) {
  return {r.L + depth[SideLeft], r.T + depth[SideTop], r.R - depth[SideRight], r.B - depth[SideBottom]};
}

// Whether a side is drawn darker in a 3-D style: inset shades the left and top, outset the right and
// bottom, as light falls from the top left.
bool Shaded(int style, int side) {
  const bool leftOrTop = side == SideLeft || side == SideTop;
  return style == StyleInset ? leftOrTop : !leftOrTop;
}

// The side of a four-sided value that a painted side is.
constexpr TSide kLookSide[4] = {TSide::Left, TSide::Top, TSide::Right, TSide::Bottom};

QColor SideColour(TColor colour, bool shaded) { return ToQColor(shaded ? Darker(colour) : colour); }

// Dashes and dots along a side: rectangles of the side's thickness across, cut to the side's trapezoid so
// that they meet the neighbouring sides on the corner diagonals. The pattern starts at the outer corner
// (left or top) with ink: a dash is three thicknesses long and a dot one, each followed by a gap of one.
void DrawDashes(QPainter& canvas, const TEdges& o, const TEdges& i, int side, std::int64_t thickness, bool dotted,
                const QColor& colour) {
  const std::int64_t ink = dotted ? thickness : 3 * thickness;
  const std::int64_t period = ink + thickness;
  const bool across = side == SideTop || side == SideBottom;
  const std::int64_t start = across ? o.L : o.T, stop = across ? o.R : o.B;
  for (std::int64_t a = start; a < stop; a += period) {
    const std::int64_t b = std::min(a + ink, stop);
    const TEdges clip = across ? TEdges{a, NoClip.T, b, NoClip.B} : TEdges{NoClip.L, a, NoClip.R, b};
    FillSide(canvas, o, i, side, colour, clip);
  }
}

}  // namespace

TColor Darker(TColor colour) {
  if (colour == ColorNone) return ColorNone;
  // Resolved first, so that system colours darken their palette colour.
  const QColor c = ToQColor(colour);
  const auto scale = [](int channel) { return static_cast<TColor>((channel * 3 + 2) / 4); };
  return scale(c.red()) | (scale(c.green()) << 8) | (scale(c.blue()) << 16);
}

void FillRect(QPainter& canvas, int left, int top, int right, int bottom, const QColor& colour) {
  FillEdges(canvas, left, top, right, bottom, colour);
}

// The printing flag changes nothing: every shape is filled in whole device pixels, which suits paper as
// well as the screen.
void DrawBorder(QPainter& canvas, const QRect& outer, const QRect& inner, bool /*printing*/, TColor background,
                const TBorderLook& look) {
  // QRect::right() and bottom() are the last pixels; one past them is the edge.
  const TEdges o{outer.left(), ClampY(outer.top()), std::int64_t{outer.right()} + 1,
                 ClampY(std::int64_t{outer.bottom()} + 1)};
  const TEdges i{inner.left(), ClampY(inner.top()), std::int64_t{inner.right()} + 1,
                 ClampY(std::int64_t{inner.bottom()} + 1)};
  // A side whose inner edge lies beyond its outer edge has no width.
  const auto gap = [](std::int64_t from, std::int64_t to) { return std::max<std::int64_t>(to - from, 0); };
  const std::array<std::int64_t, 4> width{gap(o.L, i.L), gap(o.T, i.T), gap(i.R, o.R), gap(i.B, o.B)};

  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);

  // Patterned sides leave gaps, which show the background rather than what lies under the box.
  if (background != ColorNone) {
    const QColor fill = ToQColor(background);
    for (int side = 0; side < 4; ++side) {
      const int style = look.Styles[kLookSide[side]];
      if (width[side] > 0 && (style == StyleDashed || style == StyleDotted || style == StyleDouble))
        FillSide(canvas, o, i, side, fill);
    }
  }

  for (int side = 0; side < 4; ++side) {
    const int style = look.Styles[kLookSide[side]];
    const TColor colour = look.Colors[kLookSide[side]];
    const std::int64_t w = width[side];
    if (style == StyleNone || colour == ColorNone || w == 0) continue;
    switch (style) {
      case StyleInset:
      case StyleOutset:
        FillSide(canvas, o, i, side, SideColour(colour, Shaded(style, side)));
        break;
      case StyleGroove:
      case StyleRidge: {
        // The outer half is thickness / 2, the inner half the rest, so an odd pixel goes inwards.
        std::array<std::int64_t, 4> half{};
        for (int s = 0; s < 4; ++s) half[s] = width[s] / 2;
        const TEdges middle = Shrunk(o, half);
        const int outerStyle = style == StyleGroove ? StyleInset : StyleOutset;
        const int innerStyle = style == StyleGroove ? StyleOutset : StyleInset;
        FillSide(canvas, o, middle, side, SideColour(colour, Shaded(outerStyle, side)));
        FillSide(canvas, middle, i, side, SideColour(colour, Shaded(innerStyle, side)));
        break;
      }
      case StyleDouble: {
        // Two lines of a third of the thickness each, rounded to the nearest pixel; the gap keeps the rest.
        std::array<std::int64_t, 4> third{}, inward{};
        for (int s = 0; s < 4; ++s) {
          third[s] = width[s] / 3 + (width[s] % 3 == 2 ? 1 : 0);
          inward[s] = -third[s];
        }
        const QColor c = ToQColor(colour);
        FillSide(canvas, o, Shrunk(o, third), side, c);
        FillSide(canvas, Shrunk(i, inward), i, side, c);
        break;
      }
      case StyleDashed:
      case StyleDotted:
        DrawDashes(canvas, o, i, side, w, style == StyleDotted, ToQColor(colour));
        break;
      default:  // solid, and unknown codes drawn as solid
        FillSide(canvas, o, i, side, ToQColor(colour));
        break;
    }
  }
  canvas.restore();
}

namespace {

// A line from `from` to `to`, horizontal or vertical, with the start pixel and without the end pixel.
void LineTo(QPainter& canvas, QPoint from, QPoint to, const QColor& colour) {
  const std::int64_t fx = from.x(), fy = from.y(), tx = to.x(), ty = to.y();
  if (fx == tx) {
    if (fy < ty)
      FillEdges(canvas, fx, fy, fx + 1, ty, colour);
    else
      FillEdges(canvas, fx, ty + 1, fx + 1, fy + 1, colour);
  } else {
    if (fx < tx)
      FillEdges(canvas, fx, fy, tx, fy + 1, colour);
    else
      FillEdges(canvas, tx + 1, fy, fx + 1, fy + 1, colour);
  }
}

}  // namespace

void DrawOnePixelFrame(QPainter& canvas, int left, int top, int right, int bottom, const QColor& first,
                       const QColor& second) {
  top = static_cast<int>(ClampY(top));
  bottom = static_cast<int>(ClampY(bottom));
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  // Drawn as one path around the frame, each stretch without its end pixel, so that in a degenerate frame
  // (a single row or column) the later stretches cover the earlier ones as one continuous line would.
  const QPoint bottomLeft(left, bottom), topLeft(left, top), topRight(right, top), bottomRight(right, bottom);
  LineTo(canvas, bottomLeft, topLeft, first);
  LineTo(canvas, topLeft, topRight, first);
  LineTo(canvas, topRight, bottomRight, second);
  LineTo(canvas, bottomRight, bottomLeft, second);
  canvas.restore();
}

}  // namespace corvane
