#pragma once

#include <optional>
#include <string_view>

namespace corvane {

// The style properties by their fixed index. Box values are the stretch BackgroundColor..Left, and the
// sides of margins, paddings and borders run top, right, bottom, left (but the offsets Top..Left run
// top, bottom, right, left).
namespace Prop {
enum Index : int {
  FontFamily,
  FontSize,
  FontStyle,
  FontWeight,
  TextAlign,
  TextDecoration,
  LetterSpacing,
  BorderStyle,
  Color,
  BackgroundColor,
  BorderColor,
  MarginTop,
  MarginRight,
  MarginBottom,
  MarginLeft,
  PaddingTop,
  PaddingRight,
  PaddingBottom,
  PaddingLeft,
  BorderTopWidth,
  BorderRightWidth,
  BorderBottomWidth,
  BorderLeftWidth,
  BorderTopColor,
  BorderRightColor,
  BorderBottomColor,
  BorderLeftColor,
  BorderTopStyle,
  BorderRightStyle,
  BorderBottomStyle,
  BorderLeftStyle,
  Width,
  Height,
  Top,
  Bottom,
  Right,
  Left,
  Visibility,
  LineHeight,
  BackgroundImage,
  BackgroundPosition,
  BackgroundRepeat,
  BackgroundAttachment,
  VerticalAlign,
  Position,
  ZIndex,
  ListStyleType,
  ListStyleImage,
  Float,
  Clear,
  TextIndent,
  PageBreakBefore,
  PageBreakAfter,
  PageBreakInside,
  TextTransform,
  WordWrap,
  FontVariant,
  BorderCollapse,
  Overflow,
  Display,
  Count
};
}  // namespace Prop

static_assert(Prop::Count == 60);

// Integers stored in length properties: not given, the text "auto", and the default vertical margin of
// paragraphs, lists and block quotes (14 pixels, reported by a flag so that blocks can collapse it).
inline constexpr int NotSet = -12345678;
inline constexpr int AutoLength = -12348765;
inline constexpr int ParagraphSpace = -12348766;

// The declaration name of a property ("font-family" ...); "" outside 0..59.
std::string_view PropertyName(int index);
// The index of a declaration name; exact, case-sensitive match.
std::optional<int> PropertyIndexOf(std::string_view name);

// What a new element's set takes from its parent's (see TProperties::InheritFrom).
enum class TInheritance : unsigned char { Copied, NotCopied, ResetToNotSet };
TInheritance InheritanceOf(int index);

}  // namespace corvane
