#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

class TPropValue;

// How LengthToPixels reads a number without a unit: as pixels, or as a multiple of the base.
enum class TLengthKind { Absolute, Relative };

// Alignment codes (AlignmentFromString, vertical alignment, script shift).
namespace Align {
enum Code : int { None, Top, Middle, Baseline, Bottom, Left, Right, Justify, Sub, Super };
}

// Border style codes (BorderStyleFromString and the side styles of the box values).
namespace BorderKind {
enum Code : int { None, Solid, Inset, Outset, Groove, Ridge, Dashed, Dotted, Double };
}

// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double value);
int RoundToInt(double value);

// The unit of a length text as LengthToPixels reads it: none (a bare number), one of the known units,
// or Unknown for any other unit text (which gives the fallback).
enum class TLengthUnit : std::uint8_t { None, Px, Pt, Em, Ex, Percent, In, Cm, Mm, Pc, Unknown };

// The words the box values give a meaning of their own, compared with the whole untrimmed text.
enum class TBoxKeyword : std::uint8_t { None, Auto, Thin, Medium, Thick };

// A length text read once: its number and unit, the box keyword it is, whether it has a "%" anywhere
// (a percentage height subtracts the borders and paddings even when the unit after the "%" goes on) and
// its border style code. Converting it to pixels still takes the base, em and ex sizes of the layout.
struct TParsedLength {
  double Number = 0.0;
  TLengthUnit Unit = TLengthUnit::None;
  TBoxKeyword Keyword = TBoxKeyword::None;
  bool HasPercentSign = false;
  std::uint8_t BorderStyle = 0;
};
TParsedLength ParseLength(std::string_view text);

// A style length in pixels. Units in, cm, mm, pt, pc follow pixelsPerInch; em and ex take the given
// sizes; % takes base; a bare number is pixels, or a multiple of base when kind is Relative; an unknown
// unit gives fallback. "1e3px" has the unit "e3px", so it gives fallback too.
int LengthToPixels(std::string_view text, TLengthKind kind, double base, double em, double ex, int fallback,
                   double pixelsPerInch);
// The same for a text read before; gives exactly what the text gives.
int LengthToPixels(const TParsedLength& length, TLengthKind kind, double base, double em, double ex, int fallback,
                   double pixelsPerInch);

// A "font-size" text in points, not rounded: lengths, em and ex of base (the parent's size in points),
// percentages, "smaller"/"larger" of base, and the keywords "xx-small" to "xx-large" of
// defaultPointSize; anything else is defaultPointSize.
double FontSizeToPoints(std::string_view text, double base, double defaultPointSize, double pixelsPerInch);

// What a "font-size" text is measured against: a fixed length (in, cm, mm, pt, pc, px or a bare number),
// the parent's size (em, ex, %, "smaller", "larger"), or the default size (the keywords "xx-small" to
// "xx-large", and any text FontSizeToPoints does not read).
enum class TFontSizeKind { Absolute, Relative, Keyword };
TFontSizeKind FontSizeKindOf(std::string_view text);

// Alignment code of a text, lower-cased first: "top" 1, "middle"/"absmiddle"/"center" 2, "baseline" 3,
// "bottom" 4, "left" 5, "right" 6, "justify" 7; anything else 0.
int AlignmentFromString(std::string_view text);

// Border style code: "none" 0, "solid" 1, "inset" 2, "outset" 3, "groove" 4, "ridge" 5, "dashed" 6,
// "dotted" 7, "double" 8, anything else 0.
int BorderStyleFromString(std::string_view text);

// The address in a text value holding "url(...)": up to the first ")", one pair of quotes removed.
// Empty for other values.
std::string UrlFromValue(const TPropValue& value);

// The split of a style number and its unit: the longest leading decimal number (sign, digits, point,
// exponent), except that an "e" inside it starts the unit ("1em", "1e3px"). A text that is all number
// has an empty unit. Number is 0 when its text does not read as a number.
struct TNumberAndUnit {
  double Number = 0.0;
  std::string_view Unit;
};
TNumberAndUnit SplitNumberAndUnit(std::string_view text);

// Whether the trimmed text is exactly a decimal number (with optional exponent), and its value.
bool IsDecimalNumber(std::string_view text, double* value = nullptr);

}  // namespace corvane
