#pragma once

#include <array>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "style/sides.h"

namespace corvane {

// What a new element's set takes from its parent's (see TProperties::InheritFrom).
enum class TInheritance : unsigned char { Copied, NotCopied, ResetToNotSet };

// The properties that come in fours, one per side, and the page breaks.
enum class TPropGroup : unsigned char { None, Margin, Padding, BorderWidth, BorderColor, BorderStyle, Size, Offset,
                                        PageBreak };

// The style properties by their fixed index, as listed in property_list.def.
namespace Prop {
enum Index : int {
#define CORVANE_PROPERTY(id, name, inheritance, group) id,
#include "style/property_list.def"
#undef CORVANE_PROPERTY
  Count
};
}  // namespace Prop

struct TPropertyDef {
  std::string_view Name;  // the declaration name ("font-family" ...)
  TInheritance Inheritance;
  TPropGroup Group;
};

inline constexpr std::array<TPropertyDef, Prop::Count> kPropertyDefs = {{
#define CORVANE_PROPERTY(id, name, inheritance, group) {name, TInheritance::inheritance, TPropGroup::group},
#include "style/property_list.def"
#undef CORVANE_PROPERTY
}};

// Integers stored in length properties: not given, the text "auto", and the default vertical margin of
// paragraphs, lists and block quotes (14 pixels, reported by a flag so that blocks can collapse it).
inline constexpr int NotSet = -12345678;
inline constexpr int AutoLength = -12348765;
inline constexpr int ParagraphSpace = -12348766;

// The declaration name of a property ("font-family" ...); "" outside 0..Count - 1.
std::string_view PropertyName(int index);
// The index of a declaration name; exact, case-sensitive match.
std::optional<int> PropertyIndexOf(std::string_view name);

// Copied outside 0..Count - 1.
constexpr TInheritance InheritanceOf(int index) {
  if (index < 0 || index >= Prop::Count) return TInheritance::Copied;
  return kPropertyDefs[static_cast<std::size_t>(index)].Inheritance;
}

constexpr TPropGroup GroupOf(int index) {
  if (index < 0 || index >= Prop::Count) return TPropGroup::None;
  return kPropertyDefs[static_cast<std::size_t>(index)].Group;
}

namespace detail {

constexpr std::string_view SideWord(TSide side) {
  constexpr std::array<std::string_view, 4> words = {"top", "right", "bottom", "left"};
  return words[static_cast<std::size_t>(side)];
}

// Whether a property's name holds the side's word as a whole part ("border-top-width", "top").
constexpr bool NamesSide(std::string_view name, TSide side) {
  const std::string_view word = SideWord(side);
  for (std::size_t at = name.find(word); at != std::string_view::npos; at = name.find(word, at + 1)) {
    const bool startsPart = at == 0 || name[at - 1] == '-';
    const bool endsPart = at + word.size() == name.size() || name[at + word.size()] == '-';
    if (startsPart && endsPart) return true;
  }
  return false;
}

// The member of a group that names the side; -1 when there is not exactly one.
constexpr int MemberForSide(TPropGroup group, TSide side) {
  int found = -1;
  for (int i = 0; i < Prop::Count; ++i) {
    if (kPropertyDefs[static_cast<std::size_t>(i)].Group != group) continue;
    if (!NamesSide(kPropertyDefs[static_cast<std::size_t>(i)].Name, side)) continue;
    if (found >= 0) return -1;
    found = i;
  }
  return found;
}

constexpr int GroupSize(TPropGroup group) {
  int size = 0;
  for (const TPropertyDef& def : kPropertyDefs) size += def.Group == group ? 1 : 0;
  return size;
}

// A four-sided group: four members, one for each side.
constexpr bool IsFourSided(TPropGroup group) {
  if (GroupSize(group) != 4) return false;
  for (TSide side : kAllSides)
    if (MemberForSide(group, side) < 0) return false;
  return true;
}

// Whether the sides follow one another in the order top, right, bottom, left.
constexpr bool IsRun(const TSides<Prop::Index>& sides) {
  for (std::size_t k = 1; k < sides.Values.size(); ++k)
    if (sides.Values[k] != sides.Values[k - 1] + 1) return false;
  return true;
}

constexpr TSides<Prop::Index> SidesOf(TPropGroup group) {
  TSides<Prop::Index> sides{};
  for (TSide side : kAllSides) sides[side] = static_cast<Prop::Index>(MemberForSide(group, side));
  return sides;
}

// Whether exactly the properties first..last have the inheritance.
constexpr bool IsExactRun(TInheritance inheritance, int first, int last) {
  for (int i = 0; i < Prop::Count; ++i)
    if ((InheritanceOf(i) == inheritance) != (i >= first && i <= last)) return false;
  return true;
}

// Whether every member of the groups lies in first..last.
constexpr bool AllWithin(int first, int last, std::initializer_list<TPropGroup> groups) {
  for (int i = 0; i < Prop::Count; ++i)
    for (TPropGroup group : groups)
      if (GroupOf(i) == group && (i < first || i > last)) return false;
  return true;
}

}  // namespace detail

// The property of each side of a four-sided group.
namespace Prop {
inline constexpr TSides<Index> Margins = detail::SidesOf(TPropGroup::Margin);
inline constexpr TSides<Index> Paddings = detail::SidesOf(TPropGroup::Padding);
inline constexpr TSides<Index> BorderWidths = detail::SidesOf(TPropGroup::BorderWidth);
inline constexpr TSides<Index> BorderColors = detail::SidesOf(TPropGroup::BorderColor);
inline constexpr TSides<Index> BorderStyles = detail::SidesOf(TPropGroup::BorderStyle);
inline constexpr TSides<Index> Offsets = detail::SidesOf(TPropGroup::Offset);

// The properties that start out NotSet and are reset to it for every new element: the box lengths,
// border colours and styles, sizes and offsets.
inline constexpr int FirstResetToNotSet = MarginTop;
inline constexpr int LastResetToNotSet = Left;

// The box values handed to layout (TBoxValues, TMarginArray): background colour up to "left".
inline constexpr int FirstBox = BackgroundColor;
inline constexpr int LastBox = Left;
}  // namespace Prop

// Checks on the list that the code relies on: a misplaced line fails the build here.
static_assert(detail::IsFourSided(TPropGroup::Margin) && detail::IsFourSided(TPropGroup::Padding) &&
              detail::IsFourSided(TPropGroup::BorderWidth) && detail::IsFourSided(TPropGroup::BorderColor) &&
              detail::IsFourSided(TPropGroup::BorderStyle) && detail::IsFourSided(TPropGroup::Offset));
// Margins, paddings, border widths, colours and styles each lie together in the order top, right,
// bottom, left, the order in which sets are listed and compared property by property.
static_assert(detail::IsRun(Prop::Margins));
static_assert(detail::IsRun(Prop::Paddings));
static_assert(detail::IsRun(Prop::BorderWidths));
static_assert(detail::IsRun(Prop::BorderColors));
static_assert(detail::IsRun(Prop::BorderStyles));
// The offsets run top, bottom, right, left.
static_assert(Prop::Top + 1 == Prop::Bottom && Prop::Bottom + 1 == Prop::Right && Prop::Right + 1 == Prop::Left);
static_assert(detail::IsExactRun(TInheritance::ResetToNotSet, Prop::FirstResetToNotSet, Prop::LastResetToNotSet));
// Every box value lies in the range handed to layout.
static_assert(detail::AllWithin(Prop::FirstBox, Prop::LastBox,
                                {TPropGroup::Margin, TPropGroup::Padding, TPropGroup::BorderWidth,
                                 TPropGroup::BorderColor, TPropGroup::BorderStyle, TPropGroup::Size,
                                 TPropGroup::Offset}) &&
              Prop::FirstBox <= Prop::BorderColor && Prop::BorderColor <= Prop::LastBox);
static_assert(detail::GroupSize(TPropGroup::PageBreak) == 3);

}  // namespace corvane
