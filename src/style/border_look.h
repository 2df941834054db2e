#pragma once

#include "style/box_values.h"
#include "style/sides.h"
#include "style/style_colors.h"

namespace corvane {

// How the four sides of a border are drawn.
struct TBorderLook {
  TSides<int> Styles{};     // border style codes: 0 none ... 8 double
  TSides<TColor> Colors{};  // ColorNone draws nothing
};

// The look of a box's border from its box in pixels: each side's border style code and colour. Blocks,
// table cells and inline boxes all take their border look from here.
TBorderLook BorderLookOf(const TMarginArray& pixels);

}  // namespace corvane
