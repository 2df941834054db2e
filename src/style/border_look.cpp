#include "style/border_look.h"

namespace corvane {

TBorderLook BorderLookOf(const TMarginArray& pixels) {
  TBorderLook look;
  for (const TSide side : kAllSides) {
    look.Styles[side] = pixels[Prop::BorderStyles[side]];
    look.Colors[side] = static_cast<TColor>(pixels[Prop::BorderColors[side]]);
  }
  return look;
}

}  // namespace corvane
