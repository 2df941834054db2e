#include "style/style_units.h"

#include <charconv>
#include <climits>
#include <cmath>

#include "style/prop_value.h"
#include "style/style_text.h"

namespace corvane {

namespace {

using namespace style_text;

// The length of the leading decimal number of text: optional sign, digits with an optional point,
// optional exponent.
std::size_t DecimalNumberLength(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < text.size() && IsDigit(text[i])) ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, digits = true;
  }
  if (!digits) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  return i;
}

// The value of a whole decimal number text; 0 when it is not one.
double NumberValue(std::string_view text) {
  if (text.empty() || DecimalNumberLength(text) != text.size()) return 0.0;
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return 0.0;
  return value;
}

}  // namespace

double RoundHalfEven(double value) {
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return whole;
}

int RoundToInt(double value) {
  const double rounded = RoundHalfEven(value);
  if (!(rounded < static_cast<double>(INT_MAX))) return INT_MAX;
  if (!(rounded > static_cast<double>(INT_MIN))) return INT_MIN;
  return static_cast<int>(rounded);
}

TNumberAndUnit SplitNumberAndUnit(std::string_view text) {
  text = Trim(text);
  std::size_t end = DecimalNumberLength(text);
  // A text that stops being a number somewhere: an "e" before that point belongs to the unit.
  if (end != text.size()) {
    const std::size_t e = text.find('e');
    if (e != std::string_view::npos && e < end) end = e;
  }
  if (end == text.size()) return {NumberValue(text), {}};
  return {NumberValue(text.substr(0, end)), Trim(text.substr(end))};
}

bool IsDecimalNumber(std::string_view text, double* value) {
  text = Trim(text);
  if (text.empty() || DecimalNumberLength(text) != text.size()) return false;
  if (value) *value = NumberValue(text);
  return true;
}

namespace {

TLengthUnit LengthUnitOf(std::string_view unit) {
  if (unit.empty()) return TLengthUnit::None;
  if (unit == "px") return TLengthUnit::Px;
  if (unit == "pt") return TLengthUnit::Pt;
  if (unit == "em") return TLengthUnit::Em;
  if (unit == "ex") return TLengthUnit::Ex;
  if (unit == "%") return TLengthUnit::Percent;
  if (unit == "in") return TLengthUnit::In;
  if (unit == "cm") return TLengthUnit::Cm;
  if (unit == "mm") return TLengthUnit::Mm;
  if (unit == "pc") return TLengthUnit::Pc;
  return TLengthUnit::Unknown;
}

TBoxKeyword BoxKeywordOf(std::string_view text) {
  if (text == "auto") return TBoxKeyword::Auto;
  if (text == "thin") return TBoxKeyword::Thin;
  if (text == "medium") return TBoxKeyword::Medium;
  if (text == "thick") return TBoxKeyword::Thick;
  return TBoxKeyword::None;
}

}  // namespace

TParsedLength ParseLength(std::string_view text) {
  const auto [number, unit] = SplitNumberAndUnit(text);
  TParsedLength length;
  length.Number = number;
  length.Unit = LengthUnitOf(unit);
  length.Keyword = BoxKeywordOf(text);
  length.HasPercentSign = Contains(text, "%");
  length.BorderStyle = static_cast<std::uint8_t>(BorderStyleFromString(text));
  return length;
}

int LengthToPixels(const TParsedLength& length, TLengthKind kind, double base, double em, double ex, int fallback,
                   double pixelsPerInch) {
  const double v = length.Number;
  double pixels;
  switch (length.Unit) {
    case TLengthUnit::None:
      pixels = kind == TLengthKind::Relative ? v * base : v;
      break;
    case TLengthUnit::Px:
      pixels = v;
      break;
    case TLengthUnit::Pt:
      pixels = v * pixelsPerInch / 72.0;
      break;
    case TLengthUnit::Em:
      pixels = v * em;
      break;
    case TLengthUnit::Ex:
      pixels = v * ex;
      break;
    case TLengthUnit::Percent:
      pixels = v * base / 100.0;
      break;
    case TLengthUnit::In:
      pixels = v * pixelsPerInch;
      break;
    case TLengthUnit::Cm:
      pixels = v * pixelsPerInch / 2.54;
      break;
    case TLengthUnit::Mm:
      pixels = v * pixelsPerInch / 25.4;
      break;
    case TLengthUnit::Pc:
      pixels = v * pixelsPerInch / 6.0;
      break;
    default:
      return fallback;
  }
  return RoundToInt(pixels);
}

int LengthToPixels(std::string_view text, TLengthKind kind, double base, double em, double ex, int fallback,
                   double pixelsPerInch) {
  const auto [v, unit] = SplitNumberAndUnit(text);
  const TParsedLength length{v, LengthUnitOf(unit)};
  return LengthToPixels(length, kind, base, em, ex, fallback, pixelsPerInch);
}

double FontSizeToPoints(std::string_view text, double base, double defaultPointSize, double pixelsPerInch) {
  const auto [v, unit] = SplitNumberAndUnit(text);
  const double d = defaultPointSize;
  if (unit.empty()) return v * 72.0 / pixelsPerInch;
  if (unit == "pt") return v;
  if (unit == "px") return v * 72.0 / pixelsPerInch;
  if (unit == "em") return v * base;
  if (unit == "%") return v * base / 100.0;
  if (unit == "ex") return v * base / 2.0;
  if (unit == "in") return v * 72.0;
  if (unit == "cm") return v * 72.0 / 2.54;
  if (unit == "mm") return v * 72.0 / 25.4;
  if (unit == "pc") return v * 12.0;
  if (unit == "smaller") return base * 0.75;
  if (unit == "larger") return base * 1.25;
  if (unit == "xx-small") return d / 1.5;
  if (unit == "x-small") return d / 1.2;
  if (unit == "small") return d;
  if (unit == "medium") return d * 1.2;
  if (unit == "large") return d * 1.5;
  if (unit == "x-large") return d * 2.0;
  if (unit == "xx-large") return d * 3.0;
  return d;
}

TFontSizeKind FontSizeKindOf(std::string_view text) {
  const std::string_view unit = SplitNumberAndUnit(text).Unit;
  if (unit.empty() || unit == "pt" || unit == "px" || unit == "in" || unit == "cm" || unit == "mm" || unit == "pc")
    return TFontSizeKind::Absolute;
  if (unit == "em" || unit == "ex" || unit == "%" || unit == "smaller" || unit == "larger")
    return TFontSizeKind::Relative;
  return TFontSizeKind::Keyword;
}

int AlignmentFromString(std::string_view text) {
  const std::string s = LowerCopy(text);
  if (s == "top") return Align::Top;
  if (s == "middle" || s == "absmiddle" || s == "center") return Align::Middle;
  if (s == "left") return Align::Left;
  if (s == "right") return Align::Right;
  if (s == "bottom") return Align::Bottom;
  if (s == "baseline") return Align::Baseline;
  if (s == "justify") return Align::Justify;
  return Align::None;
}

int BorderStyleFromString(std::string_view text) {
  static constexpr std::string_view kNames[] = {"none",  "solid",  "inset",  "outset", "groove",
                                                "ridge", "dashed", "dotted", "double"};
  for (int code = 0; code < static_cast<int>(std::size(kNames)); ++code)
    if (text == kNames[code]) return code;
  return BorderKind::None;
}

std::string UrlFromValue(const TPropValue& value) {
  if (!value.IsText()) return {};
  const std::string_view text = value.AsText();
  const std::size_t url = text.find("url(");
  if (url == std::string_view::npos) return {};
  std::string_view address = text.substr(url + 4);
  address = address.substr(0, address.find(')'));
  if (address.size() > 2 && (address.front() == '"' || address.front() == '\'')) {
    address.remove_prefix(1);
    address.remove_suffix(1);
  }
  return std::string(address);
}

}  // namespace corvane
