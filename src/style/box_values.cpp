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

// The border style of the side a border width belongs to.
constexpr int StyleOfWidth(int widthIndex) {
  for (TSide side : kAllSides)
    if (Prop::BorderWidths[side] == widthIndex) return Prop::BorderStyles[side];
  return -1;
}

void ConvertBorderWidths(const TBoxValues& box, int baseWidth, int em, int ex, double ppi, TMarginArray& pixels) {
  for (TSide side : kAllSides) {
    const int i = Prop::BorderWidths[side];
    pixels[i] = BorderWidth(box[i], box[Prop::BorderStyles[side]].AsInteger(), baseWidth, em, ex, ppi, pixels[i]);
  }
}

// ConvertBoxValues takes the box in index order, and a percentage height subtracts the vertical border
// widths and paddings converted before it.
static_assert(Prop::Height > Prop::BorderWidths.Bottom() && Prop::Height > Prop::BorderWidths.Top() &&
              Prop::Height > Prop::Paddings.Top() && Prop::Height > Prop::Paddings.Bottom());

}  // namespace

int ConvertBoxValues(const TBoxValues& box, int baseWidth, int baseHeight, int em, int ex, double ppi,
                     TMarginArray& pixels) {
  int autoCount = 0;
  for (int i = TBoxValues::First; i <= TBoxValues::Last; ++i) {
    const TPropValue& value = box[i];
    switch (i) {
      case Prop::BackgroundColor:
      case Prop::BorderColor:
        pixels[i] = value.IsInteger() ? static_cast<int>(value.AsInteger()) : static_cast<int>(ColorNone);
        break;
      case Prop::MarginTop:
      case Prop::MarginBottom:
        break;
      case Prop::MarginRight:
      case Prop::MarginLeft:
        if (value.IsText() && value.AsLength().Keyword == TBoxKeyword::Auto) {
          pixels[i] = AutoLength;
          ++autoCount;
        } else if (value.IsText()) {
          pixels[i] = LengthToPixels(value.AsLength(), TLengthKind::Absolute, baseWidth, em, ex, 0, ppi);
        } else {
          pixels[i] = IsGivenInteger(value) ? value.AsInteger() : 0;
        }
        break;
      case Prop::BorderTopWidth:
      case Prop::BorderRightWidth:
      case Prop::BorderBottomWidth:
      case Prop::BorderLeftWidth:
        pixels[i] = BorderWidth(value, box[StyleOfWidth(i)].AsInteger(), baseWidth, em, ex, ppi, pixels[i]);
        break;
      case Prop::Width:
        if (value.IsText()) {
          pixels[i] = LengthToPixels(value.AsLength(), TLengthKind::Absolute, baseWidth, em, ex, AutoLength, ppi);
        } else {
          pixels[i] = IsGivenInteger(value) ? value.AsInteger() : AutoLength;
        }
        if (pixels[i] == AutoLength) ++autoCount;
        break;
      case Prop::Top:
      case Prop::Bottom:
      case Prop::Right:
      case Prop::Left:
        if (value.IsText()) {
          const int base = i == Prop::Top ? baseHeight : baseWidth;
          pixels[i] = LengthToPixels(value.AsLength(), TLengthKind::Absolute, base, em, ex, AutoLength, ppi);
        } else {
          pixels[i] = IsGivenInteger(value) ? value.AsInteger() : AutoLength;
        }
        break;
      default:
        // Paddings, height, border colours and border style codes.
        if (value.IsText()) {
          const int base = i == Prop::Height ? baseHeight : baseWidth;
          const TParsedLength& length = value.AsLength();
          pixels[i] = LengthToPixels(length, TLengthKind::Absolute, base, em, ex, 0, ppi);
          // A percentage height is the height of the content: without the vertical paddings and borders.
          if (i == Prop::Height && length.HasPercentSign)
            pixels[i] -= pixels[Prop::BorderTopWidth] + pixels[Prop::BorderBottomWidth] + pixels[Prop::PaddingTop] +
                         pixels[Prop::PaddingBottom];
        } else {
          pixels[i] = IsGivenInteger(value) ? value.AsInteger() : 0;
        }
        break;
    }
  }
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
