#pragma once

#include <array>

#include "style/prop_value.h"
#include "style/property_index.h"

namespace corvane {

// The unconverted box properties of an element (background colour up to "left"), as
// TProperties::GetBoxValues hands them to blocks, cells and inline boxes, which convert them again at
// every layout: a text is read into number and unit once (TPropValue::AsLength), and only the step from
// there to pixels, which takes the layout's widths and font sizes, is repeated. The four side border
// styles hold border style codes. Indexed by property index.
class TBoxValues {
 public:
  static constexpr int First = Prop::FirstBox;
  static constexpr int Last = Prop::LastBox;

  TPropValue& operator[](int index) { return m_values[static_cast<std::size_t>(index - First)]; }
  const TPropValue& operator[](int index) const { return m_values[static_cast<std::size_t>(index - First)]; }

 private:
  std::array<TPropValue, Last - First + 1> m_values;
};

// The box in pixels ("margin array"): background and border colour, margins, paddings, border widths,
// border colours, border style codes, width, height, top, bottom, right, left. AutoLength means auto;
// a background colour of ColorNone means transparent. Indexed by property index.
class TMarginArray {
 public:
  static constexpr int First = TBoxValues::First;
  static constexpr int Last = TBoxValues::Last;

  int& operator[](int index) { return m_pixels[static_cast<std::size_t>(index - First)]; }
  int operator[](int index) const { return m_pixels[static_cast<std::size_t>(index - First)]; }

 private:
  std::array<int, Last - First + 1> m_pixels{};
};

// Converts the whole box for block layout against the containing width and height and the element's
// em and ex sizes. The vertical margins are left to ConvertVerticalMargins; a border width whose side
// has no style is 0, and an unset one leaves its pixel entry as it was. Returns how many of the right
// and left margins and the width are auto.
int ConvertBoxValues(const TBoxValues& box, int baseWidth, int baseHeight, int em, int ex, double pixelsPerInch,
                     TMarginArray& pixels);

// Converts the margins, border widths, width and height of an inline box; margins and sizes that are
// not given come out NotSet. Other entries are left as they were.
void ConvertInlineBoxValues(const TBoxValues& box, int baseWidth, int em, int ex, double pixelsPerInch,
                            TMarginArray& pixels);

// Which vertical margins were the default paragraph space (converted to 14 pixels), so that blocks can
// collapse them.
struct TParagraphMargins {
  bool TopIsParagraph = false;
  bool BottomIsParagraph = false;
};
TParagraphMargins ConvertVerticalMargins(const TBoxValues& box, int baseWidth, int em, int ex, double pixelsPerInch,
                                         TMarginArray& pixels);

// Converts the paddings of a table cell; a percentage comes back as its negated number, and a padding
// that is not given as -1.
void ConvertCellPaddings(const TBoxValues& box, int em, int ex, double pixelsPerInch, TMarginArray& pixels);

}  // namespace corvane
