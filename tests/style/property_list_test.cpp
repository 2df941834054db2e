#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "style/property_index.h"

namespace corvane {
namespace {

// Every property with the index, declaration name and inheritance it has always had: the index fixes
// the ranges that the box code walks, the name is what style sheets use, and the inheritance decides
// what a child's set takes from its parent's.
struct TExpectedProperty {
  int Index;
  int Number;
  std::string_view Name;
  TInheritance Inheritance;
};

constexpr TInheritance C = TInheritance::Copied;
constexpr TInheritance N = TInheritance::NotCopied;
constexpr TInheritance R = TInheritance::ResetToNotSet;

constexpr TExpectedProperty kExpected[] = {
    {Prop::FontFamily, 0, "font-family", C},
    {Prop::FontSize, 1, "font-size", C},
    {Prop::FontStyle, 2, "font-style", C},
    {Prop::FontWeight, 3, "font-weight", C},
    {Prop::TextAlign, 4, "text-align", C},
    {Prop::TextDecoration, 5, "text-decoration", C},
    {Prop::LetterSpacing, 6, "letter-spacing", C},
    {Prop::BorderStyle, 7, "border-style", N},
    {Prop::Color, 8, "color", C},
    {Prop::BackgroundColor, 9, "background-color", N},
    {Prop::BorderColor, 10, "border-color", N},
    {Prop::MarginTop, 11, "margin-top", R},
    {Prop::MarginRight, 12, "margin-right", R},
    {Prop::MarginBottom, 13, "margin-bottom", R},
    {Prop::MarginLeft, 14, "margin-left", R},
    {Prop::PaddingTop, 15, "padding-top", R},
    {Prop::PaddingRight, 16, "padding-right", R},
    {Prop::PaddingBottom, 17, "padding-bottom", R},
    {Prop::PaddingLeft, 18, "padding-left", R},
    {Prop::BorderTopWidth, 19, "border-top-width", R},
    {Prop::BorderRightWidth, 20, "border-right-width", R},
    {Prop::BorderBottomWidth, 21, "border-bottom-width", R},
    {Prop::BorderLeftWidth, 22, "border-left-width", R},
    {Prop::BorderTopColor, 23, "border-top-color", R},
    {Prop::BorderRightColor, 24, "border-right-color", R},
    {Prop::BorderBottomColor, 25, "border-bottom-color", R},
    {Prop::BorderLeftColor, 26, "border-left-color", R},
    {Prop::BorderTopStyle, 27, "border-top-style", R},
    {Prop::BorderRightStyle, 28, "border-right-style", R},
    {Prop::BorderBottomStyle, 29, "border-bottom-style", R},
    {Prop::BorderLeftStyle, 30, "border-left-style", R},
    {Prop::Width, 31, "width", R},
    {Prop::Height, 32, "height", R},
    {Prop::Top, 33, "top", R},
    {Prop::Bottom, 34, "bottom", R},
    {Prop::Right, 35, "right", R},
    {Prop::Left, 36, "left", R},
    {Prop::Visibility, 37, "visibility", C},
    {Prop::LineHeight, 38, "line-height", C},
    {Prop::BackgroundImage, 39, "background-image", N},
    {Prop::BackgroundPosition, 40, "background-position", N},
    {Prop::BackgroundRepeat, 41, "background-repeat", N},
    {Prop::BackgroundAttachment, 42, "background-attachment", N},
    {Prop::VerticalAlign, 43, "vertical-align", C},
    {Prop::Position, 44, "position", N},
    {Prop::ZIndex, 45, "z-index", C},
    {Prop::ListStyleType, 46, "list-style-type", C},
    {Prop::ListStyleImage, 47, "list-style-image", C},
    {Prop::Float, 48, "float", N},
    {Prop::Clear, 49, "clear", N},
    {Prop::TextIndent, 50, "text-indent", C},
    {Prop::PageBreakBefore, 51, "page-break-before", N},
    {Prop::PageBreakAfter, 52, "page-break-after", N},
    {Prop::PageBreakInside, 53, "page-break-inside", N},
    {Prop::TextTransform, 54, "text-transform", C},
    {Prop::WordWrap, 55, "word-wrap", C},
    {Prop::FontVariant, 56, "font-variant", C},
    {Prop::BorderCollapse, 57, "border-collapse", N},
    {Prop::Overflow, 58, "overflow", N},
    {Prop::Display, 59, "display", N},
};

TEST(PropertyList, EveryPropertyKeepsItsIndexNameAndInheritance) {
  ASSERT_EQ(std::size(kExpected), static_cast<std::size_t>(Prop::Count));
  for (const TExpectedProperty& expected : kExpected) {
    SCOPED_TRACE(std::string(expected.Name));
    EXPECT_EQ(expected.Index, expected.Number);
    EXPECT_EQ(PropertyName(expected.Index), expected.Name);
    EXPECT_EQ(PropertyIndexOf(expected.Name), expected.Index);
    EXPECT_EQ(InheritanceOf(expected.Index), expected.Inheritance);
  }
}

TEST(PropertyList, NamesAreUniqueAndOutsideIndexesHaveNone) {
  std::set<std::string_view> names;
  for (int i = 0; i < Prop::Count; ++i) EXPECT_TRUE(names.insert(PropertyName(i)).second) << PropertyName(i);
  for (const int outside : {-1, int{Prop::Count}, Prop::Count + 1, 1000}) {
    EXPECT_EQ(PropertyName(outside), "");
    EXPECT_EQ(InheritanceOf(outside), TInheritance::Copied);
  }
  for (const std::string_view unknown : {"", "margin", "Color", "border-top", "font-family ", "colour"})
    EXPECT_EQ(PropertyIndexOf(unknown), std::nullopt) << unknown;
}

// The four-sided groups name their sides in the order top, right, bottom, left.
TEST(PropertyList, FourSidedGroupsByName) {
  const std::pair<TSides<Prop::Index>, std::string_view> groups[] = {
      {Prop::Margins, "margin-%"},           {Prop::Paddings, "padding-%"},
      {Prop::BorderWidths, "border-%-width"}, {Prop::BorderColors, "border-%-color"},
      {Prop::BorderStyles, "border-%-style"}, {Prop::Offsets, "%"}};
  constexpr std::string_view kWords[] = {"top", "right", "bottom", "left"};
  for (const auto& [sides, pattern] : groups) {
    for (const TSide side : kAllSides) {
      std::string name(pattern);
      name.replace(name.find('%'), 1, kWords[static_cast<int>(side)]);
      EXPECT_EQ(PropertyName(sides[side]), name);
    }
  }
  for (const int i : {Prop::PageBreakBefore, Prop::PageBreakAfter, Prop::PageBreakInside})
    EXPECT_EQ(GroupOf(i), TPropGroup::PageBreak);
  EXPECT_EQ(GroupOf(Prop::Width), TPropGroup::Size);
  EXPECT_EQ(GroupOf(Prop::BorderColor), TPropGroup::None);
  EXPECT_EQ(GroupOf(-1), TPropGroup::None);
}

}  // namespace
}  // namespace corvane
