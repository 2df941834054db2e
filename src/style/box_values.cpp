#include "style/box_values.h"

#include "style/style_colors.h"
#include "style/style_units.h"

namespace corvane {

namespace {

// An integer that was given (not NotSet).
bool IsGivenInteger(const TPropValue& value) { return value.IsInteger() && value.AsInteger() != NotSet; }

int BorderWidth(const TPropValue& value, int styleCode, int baseWidth, int em, int ex, double ppi, int current) {
  if (styleCode == BorderKind::None) return 0;
  if (value.IsText()) {
    const TParsedLength& length = value.AsLength();
    switch (length.Keyword) {
      case TBoxKeyword::Thin:
        return 2;
      case TBoxKeyword::Medium:
        return 4;
      case TBoxKeyword::Thick:
        return 6;
      default:
        return LengthToPixels(length, TLengthKind::Absolute, baseWidth, em, ex, 4, ppi);
    }
  }
  if (value.IsInteger()) return value.AsInteger() == NotSet ? 4 : value.AsInteger();
  return current;
}

void ConvertBorderWidths(const TBoxValues& box, int baseWidth, int em, int ex, double ppi, TMarginArray& pixels) {
  for (TSide side : kAllSides) {
    const int i = Prop::BorderWidths[side];
    pixels[i] = BorderWidth(box[i], box[Prop::BorderStyles[side]].AsInteger(), baseWidth, em, ex, ppi, pixels[i]);
  }
}

// A length of the box: a text converted against base with the fallback for an unknown unit, a given
// integer as it is, anything else unset.
int BoxLength(const TPropValue& value, int base, int em, int ex, double ppi, int fallback, int unset) {
  if (value.IsText()) return LengthToPixels(value.AsLength(), TLengthKind::Absolute, base, em, ex, fallback, ppi);
  return IsGivenInteger(value) ? value.AsInteger() : unset;
}

}  // namespace

int ConvertBoxValues(const TBoxValues& box, int baseWidth, int baseHeight, int em, int ex, double ppi,
                     TMarginArray& pixels) {
  int autoCount = 0;
  for (const int i : {Prop::BackgroundColor, Prop::BorderColor}) {
    const TPropValue& value = box[i];
    pixels[i] = value.IsInteger() ? static_cast<int>(value.AsInteger()) : static_cast<int>(ColorNone);
  }
  // The vertical margins are ConvertVerticalMargins'.
  for (const int i : {Prop::MarginRight, Prop::MarginLeft}) {
    const TPropValue& value = box[i];
    if (value.IsText() && value.AsLength().Keyword == TBoxKeyword::Auto) {
      pixels[i] = AutoLength;
      ++autoCount;
    } else {
      pixels[i] = BoxLength(value, baseWidth, em, ex, ppi, 0, 0);
    }
  }
  for (const int i : Prop::Paddings) pixels[i] = BoxLength(box[i], baseWidth, em, ex, ppi, 0, 0);
  ConvertBorderWidths(box, baseWidth, em, ex, ppi, pixels);
  // The border colours and style codes are integers as they are.
  for (const int i : Prop::BorderColors) pixels[i] = BoxLength(box[i], baseWidth, em, ex, ppi, 0, 0);
  for (const int i : Prop::BorderStyles) pixels[i] = BoxLength(box[i], baseWidth, em, ex, ppi, 0, 0);
  pixels[Prop::Width] = BoxLength(box[Prop::Width], baseWidth, em, ex, ppi, AutoLength, AutoLength);
  if (pixels[Prop::Width] == AutoLength) ++autoCount;
  const TPropValue& height = box[Prop::Height];
  pixels[Prop::Height] = BoxLength(height, baseHeight, em, ex, ppi, 0, 0);
  // A percentage height is the height of the content: without the vertical paddings and borders.
  if (height.IsText() && height.AsLength().HasPercentSign)
    pixels[Prop::Height] -= pixels[Prop::BorderTopWidth] + pixels[Prop::BorderBottomWidth] +
                            pixels[Prop::PaddingTop] + pixels[Prop::PaddingBottom];
  pixels[Prop::Top] = BoxLength(box[Prop::Top], baseHeight, em, ex, ppi, AutoLength, AutoLength);
  for (const int i : {Prop::Bottom, Prop::Right, Prop::Left})
    pixels[i] = BoxLength(box[i], baseWidth, em, ex, ppi, AutoLength, AutoLength);
  return autoCount;
}

void ConvertInlineBoxValues(const TBoxValues& box, int baseWidth, int em, int ex, double ppi, TMarginArray& pixels) {
  auto convert = [&](int i, int fallback) {
    const TPropValue& value = box[i];
    if (value.IsText()) {
      pixels[i] = LengthToPixels(value.AsLength(), TLengthKind::Absolute, baseWidth, em, ex, fallback, ppi);
    } else {
      pixels[i] = IsGivenInteger(value) ? value.AsInteger() : NotSet;
    }
  };
  for (const int i : Prop::Margins) convert(i, 0);
  ConvertBorderWidths(box, baseWidth, em, ex, ppi, pixels);
  convert(Prop::Width, AutoLength);
  convert(Prop::Height, AutoLength);
}

TParagraphMargins ConvertVerticalMargins(const TBoxValues& box, int baseWidth, int em, int ex, double ppi,
                                         TMarginArray& pixels) {
  TParagraphMargins flags;
  for (int i : {Prop::MarginTop, Prop::MarginBottom}) {
    const TPropValue& value = box[i];
    int result = 0;
    if (value.IsText()) {
      result = LengthToPixels(value.AsLength(), TLengthKind::Absolute, baseWidth, em, ex, 0, ppi);
    } else if (value.IsInteger(ParagraphSpace)) {
      result = 14;
      (i == Prop::MarginTop ? flags.TopIsParagraph : flags.BottomIsParagraph) = true;
    } else if (IsGivenInteger(value)) {
      result = value.AsInteger();
    }
    pixels[i] = result;
  }
  return flags;
}

void ConvertCellPaddings(const TBoxValues& box, int em, int ex, double ppi, TMarginArray& pixels) {
  for (const int i : Prop::Paddings) {
    const TPropValue& value = box[i];
    if (value.IsText()) {
      pixels[i] = LengthToPixels(value.AsLength(), TLengthKind::Absolute, -100, em, ex, 0, ppi);
    } else {
      pixels[i] = IsGivenInteger(value) ? value.AsInteger() : -1;
    }
  }
}

}  // namespace corvane
