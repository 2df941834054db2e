#include <gtest/gtest.h>

#include <string>

#include "style/border_look.h"
#include "style_test_support.h"

namespace corvane {
namespace {

using testing::TStyledDocument;

constexpr const char* kSideNames[] = {"top", "right", "bottom", "left"};

// Each side's style and colour land on that side of the look, and on no other.
TEST(BorderLookOf, EachSideTakesItsOwnStyleAndColour) {
  for (const TSide side : kAllSides) {
    SCOPED_TRACE(kSideNames[static_cast<int>(side)]);
    TMarginArray pixels;
    for (const TSide other : kAllSides) {
      pixels[Prop::BorderStyles[other]] = BorderKind::Solid;
      pixels[Prop::BorderColors[other]] = 0x00FF00;
      pixels[Prop::BorderWidths[other]] = 5;  // widths are not part of the look
    }
    pixels[Prop::BorderStyles[side]] = BorderKind::Dotted;
    pixels[Prop::BorderColors[side]] = static_cast<int>(ColorNone);
    pixels[Prop::BorderColor] = 0x0000FF;  // the shorthand colour has been spread to the sides already
    const TBorderLook look = BorderLookOf(pixels);
    for (const TSide other : kAllSides) {
      EXPECT_EQ(look.Styles[other], other == side ? BorderKind::Dotted : BorderKind::Solid);
      EXPECT_EQ(look.Colors[other], other == side ? ColorNone : TColor{0x00FF00});
    }
  }
}

// From declarations through conversion: "border-right-color: red; border-left-style: double".
TEST(BorderLookOf, FromDeclaredSides) {
  TStyledDocument document;
  TProperties set(document.Styles().Context());
  set.SetDeclarationByName("border-style", "solid");
  set.SetDeclarationByName("border-left-style", "double");
  set.SetDeclarationByName("border-right-color", "red");
  TMarginArray pixels;
  ConvertBoxValues(set.GetBoxValues(), 400, 300, 16, 8, 96, pixels);
  const TBorderLook look = BorderLookOf(pixels);
  EXPECT_EQ(look.Styles, (TSides<int>{{BorderKind::Solid, BorderKind::Solid, BorderKind::Solid, BorderKind::Double}}));
  EXPECT_EQ(look.Colors.Right(), TColor{0xFF});
  EXPECT_EQ(look.Colors.Top(), TColor{0});
}

// A border width counts only where its own side has a style, for blocks and inline boxes alike.
TEST(BoxValues, BorderWidthFollowsTheStyleOfItsOwnSide) {
  TStyledDocument document;
  for (const TSide side : kAllSides) {
    SCOPED_TRACE(kSideNames[static_cast<int>(side)]);
    TProperties set(document.Styles().Context());
    for (const TSide other : kAllSides) set.SetDeclarationByName(PropertyName(Prop::BorderWidths[other]), "3px");
    set.SetDeclarationByName("border-" + std::string(kSideNames[static_cast<int>(side)]) + "-style", "solid");
    TMarginArray block, inlineBox;
    ConvertBoxValues(set.GetBoxValues(), 400, 300, 16, 8, 96, block);
    ConvertInlineBoxValues(set.GetBoxValues(), 400, 16, 8, 96, inlineBox);
    for (const TSide other : kAllSides) {
      EXPECT_EQ(block[Prop::BorderWidths[other]], other == side ? 3 : 0);
      EXPECT_EQ(inlineBox[Prop::BorderWidths[other]], other == side ? 3 : 0);
    }
  }
}

TEST(Sides, NamedSidesAndIndexesAgree) {
  TSides<int> sides{{1, 2, 3, 4}};
  EXPECT_EQ(sides.Top(), 1);
  EXPECT_EQ(sides.Right(), 2);
  EXPECT_EQ(sides.Bottom(), 3);
  EXPECT_EQ(sides.Left(), 4);
  sides[TSide::Left] = 9;
  EXPECT_EQ(sides.Left(), 9);
  EXPECT_EQ(TSides<int>::All(7), (TSides<int>{{7, 7, 7, 7}}));
  EXPECT_NE(sides, TSides<int>::All(1));
}

}  // namespace
}  // namespace corvane
