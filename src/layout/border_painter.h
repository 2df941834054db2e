#pragma once

#include <QRect>

#include "style/border_look.h"
#include "style/style_colors.h"

class QPainter;

namespace corvane {

// The four sides of a border in the order they are painted: left, top, right, bottom.
enum TBorderSide : int { SideLeft, SideTop, SideRight, SideBottom };

// Draws a border into the ring between outer and inner (screen coordinates; a rectangle covers the
// pixels from left to right - 1 and top to bottom - 1). Each side is the trapezoid between the outer and
// inner corners, filled with its colour; inset darkens left and top, outset right and bottom, groove and
// ridge draw their halves so, double draws the outer and inner thirds, dashed and dotted stroke the side
// with square dashes or dots of its thickness. With a background colour, the ring of a dashed, dotted or
// double side is filled with it first.
void DrawBorder(QPainter& canvas, const QRect& outer, const QRect& inner, bool printing, TColor background,
                const TBorderLook& look);

// A one-pixel frame with corners (left, top) and (right, bottom), both included: the left column and
// the top row in the first colour (the top row up to right - 1), the right column and the bottom row in
// the second (the bottom row from left + 1).
void DrawOnePixelFrame(QPainter& canvas, int left, int top, int right, int bottom, const QColor& first,
                       const QColor& second);

// A colour darkened for the shaded sides of 3-D borders: each channel times 0.75, rounded.
TColor Darker(TColor colour);

// Fills the pixels from (left, top) up to, not including, (right, bottom); nothing when empty.
void FillRect(QPainter& canvas, int left, int top, int right, int bottom, const QColor& colour);

}  // namespace corvane
