#include "style/properties.h"

#include "style/style_context.h"
#include "style/style_text.h"
#include "style/style_units.h"

namespace corvane {

namespace {

using namespace style_text;

std::string_view TextOf(const TPropValue& value) { return value.AsText(); }

}  // namespace

std::optional<std::string> TProperties::GetBackgroundImage() const {
  const TPropValue& value = Value(Prop::BackgroundImage);
  if (!value.IsText()) return std::nullopt;
  if (value.AsText() == "none") return std::string();
  std::string address = UrlFromValue(value);
  if (address.empty()) return std::nullopt;
  return address;
}

TBackgroundPosition TProperties::GetBackgroundPosition(int em, int ex) const {
  TBackgroundPosition position;
  TBackgroundAxis& x = position.X;
  TBackgroundAxis& y = position.Y;
  const TPropValue& value = Value(Prop::BackgroundPosition);
  if (value.IsText()) {
    const std::string_view text = Trim(value.AsText());
    const std::size_t space = text.find(' ');
    std::string_view items[2] = {text.substr(0, space), {}};
    const int count = space == std::string_view::npos ? 1 : 2;
    if (count == 2) items[1] = Trim(text.substr(space + 1));
    // The slot is the axis the next item describes: 1 for x, 2 for y; "top" and "bottom" as the first
    // item leave the next item to x.
    int slot = 1;
    for (int n = 0; n < count; ++n) {
      const std::string_view item = items[n];
      TBackgroundAxis* axis = slot == 1 ? &x : slot == 2 ? &y : nullptr;
      if (axis) axis->Kind = TBackgroundAxis::Pixels;
      if (item == "center") {
        if (axis) axis->Kind = TBackgroundAxis::Center;
      } else if (Contains(item, "%")) {
        if (axis) axis->Kind = TBackgroundAxis::Percent;
      } else if (item == "left" || item == "right") {
        if (slot == 2) y = x;
        x.Kind = item == "left" ? TBackgroundAxis::Left : TBackgroundAxis::Right;
      } else if (item == "top" || item == "bottom") {
        y.Kind = item == "top" ? TBackgroundAxis::Top : TBackgroundAxis::Bottom;
        if (slot == 1) slot = 0;
      }
      axis = slot == 1 ? &x : slot == 2 ? &y : nullptr;
      if (axis && (axis->Kind == TBackgroundAxis::Percent || axis->Kind == TBackgroundAxis::Pixels))
        axis->Value = m_context->LengthToPixels(item, TLengthKind::Absolute, 100, em, ex, 0);
      ++slot;
    }
    if (count == 1) (slot == 2 ? y : x).Kind = TBackgroundAxis::Center;
  }
  const std::string_view repeat = Trim(TextOf(Value(Prop::BackgroundRepeat)));
  x.Repeat = repeat != "no-repeat" && repeat != "repeat-y";
  y.Repeat = repeat != "no-repeat" && repeat != "repeat-x";
  x.Fixed = y.Fixed = Trim(TextOf(Value(Prop::BackgroundAttachment))) == "fixed";
  return position;
}

std::optional<int> TProperties::GetVerticalAlign() const {
  const std::string_view text = TextOf(Value(Prop::VerticalAlign));
  if (text == "top" || text == "text-top") return Align::Top;
  if (text == "middle") return Align::Middle;
  if (text == "baseline") return Align::Baseline;
  if (text == "bottom") return Align::Bottom;
  if (text == "sub") return Align::Sub;
  if (text == "super") return Align::Super;
  return std::nullopt;
}

bool TProperties::IsOverflowHidden() const { return TextOf(Value(Prop::Overflow)) == "hidden"; }

std::optional<int> TProperties::GetFloat() const {
  const std::string_view text = TextOf(Value(Prop::Float));
  if (text == "left") return Align::Left;
  if (text == "right") return Align::Right;
  if (text == "none") return Align::None;
  return std::nullopt;
}

std::optional<int> TProperties::GetClear() const {
  const std::string_view text = TextOf(Value(Prop::Clear));
  if (text == "left") return 1;
  if (text == "right") return 2;
  if (text == "both") return 3;
  if (text == "none") return 0;
  return std::nullopt;
}

int TProperties::GetListStyleType() const {
  static constexpr std::string_view kTypes[] = {"blank",       "circle", "decimal", "disc",        "lower-alpha",
                                                "lower-roman", "none",   "square",  "upper-alpha", "upper-roman"};
  const TPropValue& value = Value(Prop::ListStyleType);
  if (!value.IsText()) return 0;
  for (int code = 0; code < static_cast<int>(std::size(kTypes)); ++code)
    if (value.AsText() == kTypes[code]) return code;
  return 0;
}

std::string TProperties::GetListStyleImage() const { return UrlFromValue(Value(Prop::ListStyleImage)); }

int TProperties::GetPosition() const {
  const std::string_view text = TextOf(Value(Prop::Position));
  if (text == "absolute") return 1;
  if (text == "relative") return 2;
  return 0;
}

int TProperties::GetVisibility() const { return Value(Prop::Visibility).IsInteger(1) ? 1 : 2; }

int TProperties::GetZIndex() const {
  const TPropValue& value = Value(Prop::ZIndex);
  if (value.IsInteger()) return value.AsInteger();
  if (value.IsText()) return IntegerOr(value.AsText(), 0);
  return 0;
}

bool TProperties::IsDisplayNone() const { return TextOf(Value(Prop::Display)) == "none"; }

bool TProperties::IsCollapsedBorders() const { return TextOf(Value(Prop::BorderCollapse)) == "collapse"; }

int TProperties::GetLineHeight(int fontHeight) const {
  const TPropValue& value = Value(Prop::LineHeight);
  if (!value.IsText()) return -1;
  double factor = 0.0;
  if (IsDecimalNumber(value.AsText(), &factor)) return RoundToInt(fontHeight * factor);
  return m_context->LengthToPixels(value.AsText(), TLengthKind::Relative, m_emSize, m_emSize, m_exSize, -1);
}

TTextIndent TProperties::GetTextIndent() const {
  const TPropValue& value = Value(Prop::TextIndent);
  if (!value.IsText()) return {};
  if (Contains(value.AsText(), "%"))
    return {m_context->LengthToPixels(value.AsText(), TLengthKind::Relative, 100, 0, 0, 0), true};
  // An "ex" counts as a whole em here.
  return {m_context->LengthToPixels(value.AsText(), TLengthKind::Absolute, 0, m_emSize, m_emSize, 0), false};
}

int TProperties::GetTextTransform() const { return Value(Prop::TextTransform).AsInteger(); }

std::string TProperties::GetFontVariant() const {
  const TPropValue& value = Value(Prop::FontVariant);
  return value.IsText() ? std::string(value.AsText()) : std::string("normal");
}

TPageBreaks TProperties::GetPageBreaks() const {
  return {TextOf(Value(Prop::PageBreakBefore)) == "always", TextOf(Value(Prop::PageBreakAfter)) == "always",
          TextOf(Value(Prop::PageBreakInside)) == "avoid"};
}

TColor TProperties::GetBackgroundColor() const {
  const TPropValue& value = Value(Prop::BackgroundColor);
  return StyleSet(Prop::BackgroundColor) && value.IsInteger() ? static_cast<TColor>(value.AsInteger()) : ColorNone;
}

TColor TProperties::GetOwnColor() const {
  const TPropValue& value = Value(Prop::Color);
  return StyleSet(Prop::Color) && value.IsInteger() ? static_cast<TColor>(value.AsInteger()) : ColorNone;
}

int TProperties::GetBorderStyle() const {
  const TPropValue& value = Value(Prop::BorderStyle);
  return value.IsText() ? BorderStyleFromString(value.AsText()) : BorderKind::None;
}

bool TProperties::HasBorderStyle() const { return Value(Prop::BorderStyle).IsText(); }

void TProperties::TakeBackgroundForFonts() {
  const TPropValue& value = Value(Prop::BackgroundColor);
  if (value.IsInteger() && StyleSet(Prop::BackgroundColor) && m_fontBackground != static_cast<TColor>(value.AsInteger())) {
    ++m_version;
    m_cachedFont.reset();
    m_fontBackground = static_cast<TColor>(value.AsInteger());
  }
}

std::shared_ptr<const TBoxValues> TProperties::SharedBoxValues() const {
  const TProperties* shared = m_template && m_version == m_shapeVersion ? m_template.get() : nullptr;
  if (!shared) return std::make_shared<TBoxValues>(GetBoxValues());
  if (!shared->m_sharedBoxValues) shared->m_sharedBoxValues = std::make_shared<TBoxValues>(shared->GetBoxValues());
  return shared->m_sharedBoxValues;
}

TBoxValues TProperties::GetBoxValues() const {
  TBoxValues box;
  for (int i = TBoxValues::First; i <= TBoxValues::Last; ++i) box[i] = Value(i);
  for (const int i : Prop::BorderStyles) {
    const TPropValue& value = Value(i);
    box[i] = TPropValue::Integer(value.IsText() ? int{value.AsLength().BorderStyle} : int{BorderKind::None});
  }
  return box;
}

}  // namespace corvane
