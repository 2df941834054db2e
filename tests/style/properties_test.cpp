#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "style_test_support.h"

namespace corvane {
namespace {

using testing::TStyledDocument;

TPropValue Text(const char* text) { return TPropValue::Text(text); }
TPropValue Integer(int value) { return TPropValue::Integer(value); }

TEST(Declarations, StoredAsEachPropertyWantsThem) {
  struct TCase {
    const char* name;
    const char* text;
    TDeclarationSource source;
    bool stored;
    std::vector<std::pair<int, TPropValue>> expected;
  };
  const auto attr = TDeclarationSource::StyleAttribute, sheet = TDeclarationSource::StyleSheet;
  const std::vector<TCase> cases = {
      {"color", "nonsense", attr, true, {{Prop::Color, Integer(0)}}},
      {"color", "nonsense", sheet, false, {{Prop::Color, {}}}},
      {"color", "#f00", sheet, true, {{Prop::Color, Integer(0x020000FF)}}},
      {"background-color", "nonsense", sheet, true, {{Prop::BackgroundColor, Integer(ColorNone)}}},
      {"border-color", "red", attr, true,
       {{Prop::BorderColor, Integer(0xFF)}, {Prop::BorderTopColor, Integer(0xFF)}, {Prop::BorderLeftColor, Integer(0xFF)}}},
      {"border-color", "nonsense", attr, false, {{Prop::BorderColor, {}}, {Prop::BorderTopColor, Integer(NotSet)}}},
      {"border-top-color", "nonsense", attr, false, {{Prop::BorderTopColor, Integer(NotSet)}}},
      {"border-style", "dotted", attr, true,
       {{Prop::BorderStyle, Text("dotted")}, {Prop::BorderTopStyle, Text("dotted")}, {Prop::BorderLeftStyle, Text("dotted")}}},
      {"border-left-style", "dotted", attr, true,
       {{Prop::BorderLeftStyle, Text("dotted")}, {Prop::BorderStyle, Text("dotted")}, {Prop::BorderTopStyle, Integer(NotSet)}}},
      {"border-left-style", "none", attr, true, {{Prop::BorderLeftStyle, Text("none")}, {Prop::BorderStyle, {}}}},
      {"visibility", "hidden", attr, true, {{Prop::Visibility, Integer(1)}}},
      {"visibility", "visible", attr, true, {{Prop::Visibility, Integer(2)}}},
      {"visibility", "collapse", attr, false, {{Prop::Visibility, {}}}},
      {"text-transform", "uppercase", attr, true, {{Prop::TextTransform, Integer(1)}}},
      {"text-transform", "capitalize", attr, true, {{Prop::TextTransform, Integer(0)}}},
      {"word-wrap", "break-word", attr, true, {{Prop::WordWrap, Text("break-word")}}},
      {"word-wrap", "anywhere", attr, true, {{Prop::WordWrap, Text("normal")}}},
      {"font-variant", "small-caps", attr, true, {{Prop::FontVariant, Text("small-caps")}}},
      {"font-variant", "all-caps", attr, false, {{Prop::FontVariant, {}}}},
      {"margin-top", "1.5em", sheet, true, {{Prop::MarginTop, Text("1.5em")}}},
      {"font-size", "larger", sheet, true, {{Prop::FontSize, Text("larger")}}},
  };
  TStyledDocument document;
  for (const TCase& c : cases) {
    TProperties set(document.Styles().Context());
    EXPECT_EQ(set.StoreDeclaration(*PropertyIndexOf(c.name), c.text, c.source), c.stored) << c.name << ": " << c.text;
    for (const auto& [index, value] : c.expected)
      EXPECT_EQ(set.Value(index), value) << c.name << ": " << c.text << ", property " << PropertyName(index);
  }
  TProperties set(document.Styles().Context());
  EXPECT_FALSE(set.SetDeclarationByName("colour", "red"));
  EXPECT_TRUE(set.SetDeclarationByName("color", "red"));
}

TEST(VerticalMargins, FreshSetIsZeroAndParagraphsGetTheParagraphSpace) {
  TStyledDocument document;
  TProperties fresh(document.Styles().Context());
  TMarginArray pixels;
  TParagraphMargins flags = ConvertVerticalMargins(fresh.GetBoxValues(), 400, 16, 8, 96, pixels);
  EXPECT_EQ(pixels[Prop::MarginTop], 0);
  EXPECT_FALSE(flags.TopIsParagraph);

  TProperties& p = document.Push("p");
  flags = ConvertVerticalMargins(p.GetBoxValues(), 400, 16, 8, 96, pixels);
  EXPECT_EQ(pixels[Prop::MarginTop], 14);
  EXPECT_EQ(pixels[Prop::MarginBottom], 14);
  EXPECT_TRUE(flags.TopIsParagraph);
  EXPECT_TRUE(flags.BottomIsParagraph);

  document.Stack().PopTop();
  TProperties& blockquote = document.Push("blockquote");
  flags = ConvertVerticalMargins(blockquote.GetBoxValues(), 400, 16, 8, 96, pixels);
  EXPECT_EQ(pixels[Prop::MarginBottom], 14);
  EXPECT_TRUE(flags.TopIsParagraph);
  EXPECT_FALSE(flags.BottomIsParagraph);
}

TEST(BoxValues, BorderWidthsFollowTheSideStyles) {
  TStyledDocument document;
  // {border-style of the side, border width, expected pixels}
  struct TCase {
    const char* style;
    const char* width;
    int expected;
  };
  const std::vector<TCase> cases = {
      {nullptr, "3px", 0}, {"none", "3px", 0},  {"solid", "3px", 3},  {"solid", "thin", 2},
      {"solid", "medium", 4}, {"solid", "thick", 6}, {"solid", nullptr, 4}, {"dashed", "1em", 16},
      {"solid", "nonsense", 4},
  };
  for (const TCase& c : cases) {
    TProperties set(document.Styles().Context());
    if (c.style) set.SetDeclarationByName("border-top-style", c.style);
    if (c.width) set.SetDeclarationByName("border-top-width", c.width);
    TMarginArray pixels;
    ConvertBoxValues(set.GetBoxValues(), 400, 300, 16, 8, 96, pixels);
    EXPECT_EQ(pixels[Prop::BorderTopWidth], c.expected) << (c.style ? c.style : "-") << " " << (c.width ? c.width : "-");
  }
}

TEST(BoxValues, BlockConversion) {
  TStyledDocument document;
  TProperties set(document.Styles().Context());
  for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
           {"margin-left", "auto"}, {"margin-right", "10%"}, {"padding-top", "5px"}, {"padding-bottom", "1em"},
           {"border-style", "solid"}, {"border-top-width", "2px"}, {"border-bottom-width", "thin"},
           {"height", "50%"}, {"left", "25%"}, {"top", "10%"}, {"background-color", "red"}}) {
    set.SetDeclarationByName(name, value);
  }
  TMarginArray pixels;
  EXPECT_EQ(ConvertBoxValues(set.GetBoxValues(), 400, 300, 16, 8, 96, pixels), 2);  // margin-left and width
  EXPECT_EQ(pixels[Prop::MarginLeft], AutoLength);
  EXPECT_EQ(pixels[Prop::MarginRight], 40);
  EXPECT_EQ(pixels[Prop::Width], AutoLength);
  EXPECT_EQ(pixels[Prop::Height], 150 - 2 - 2 - 5 - 16);
  EXPECT_EQ(pixels[Prop::Left], 100);
  EXPECT_EQ(pixels[Prop::Top], 30);
  EXPECT_EQ(pixels[Prop::Right], AutoLength);
  EXPECT_EQ(pixels[Prop::BackgroundColor], 0xFF);
  EXPECT_EQ(pixels[Prop::BorderColor], static_cast<int>(ColorNone));
  EXPECT_EQ(pixels[Prop::BorderTopStyle], BorderKind::Solid);
  EXPECT_EQ(pixels[Prop::BorderTopColor], 0);

  TMarginArray cell;
  set.SetDeclarationByName("padding-left", "10%");
  ConvertCellPaddings(set.GetBoxValues(), 16, 8, 96, cell);
  EXPECT_EQ(cell[Prop::PaddingTop], 5);
  EXPECT_EQ(cell[Prop::PaddingLeft], -10);
  EXPECT_EQ(cell[Prop::PaddingRight], -1);

  TMarginArray inlineBox;
  inlineBox[Prop::PaddingTop] = 77;
  ConvertInlineBoxValues(set.GetBoxValues(), 400, 16, 8, 96, inlineBox);
  EXPECT_EQ(inlineBox[Prop::MarginTop], NotSet);
  EXPECT_EQ(inlineBox[Prop::MarginRight], 40);
  EXPECT_EQ(inlineBox[Prop::MarginLeft], 0);  // "auto" is no length
  EXPECT_EQ(inlineBox[Prop::Width], NotSet);
  EXPECT_EQ(inlineBox[Prop::Height], 200);
  EXPECT_EQ(inlineBox[Prop::PaddingTop], 77);
}

// The box texts are read once; converting the same box again under another layout must follow that
// layout's widths and font sizes.
TEST(BoxValues, TheSameBoxUnderTwoLayouts) {
  TStyledDocument document;
  TProperties set(document.Styles().Context());
  for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
           {"margin-right", "10%"}, {"padding-top", "5px"}, {"padding-bottom", "1em"}, {"border-style", "solid"},
           {"border-top-width", "0.5em"}, {"border-bottom-width", "thin"}, {"width", "2ex"}, {"height", "50%"},
           {"left", "25%"}, {"top", "10%"}, {"bottom", "3q"}}) {
    set.SetDeclarationByName(name, value);
  }
  const TBoxValues box = set.GetBoxValues();
  struct TCase {
    int index;
    int wide;    // 400 by 300, em 16, ex 8
    int narrow;  // 200 by 100, em 10, ex 4
  };
  const std::vector<TCase> cases = {
      {Prop::MarginRight, 40, 20},     {Prop::PaddingTop, 5, 5},         {Prop::PaddingBottom, 16, 10},
      {Prop::BorderTopWidth, 8, 5},    {Prop::BorderBottomWidth, 2, 2},  {Prop::Width, 16, 8},
      {Prop::Height, 150 - 8 - 2 - 5 - 16, 50 - 5 - 2 - 5 - 10},        {Prop::Left, 100, 50},
      {Prop::Top, 30, 10},             {Prop::Bottom, AutoLength, AutoLength},
      {Prop::BorderTopStyle, BorderKind::Solid, BorderKind::Solid},
  };
  TMarginArray wide, narrow;
  ConvertBoxValues(box, 400, 300, 16, 8, 96, wide);
  ConvertBoxValues(box, 200, 100, 10, 4, 96, narrow);
  for (const TCase& c : cases) {
    EXPECT_EQ(wide[c.index], c.wide) << PropertyName(c.index);
    EXPECT_EQ(narrow[c.index], c.narrow) << PropertyName(c.index);
  }
}

TEST(BackgroundPosition, KeywordsPercentagesAndLengths) {
  using A = TBackgroundAxis;
  struct TCase {
    const char* text;
    A::TKind x;
    int xValue;
    A::TKind y;
    int yValue;
  };
  const std::vector<TCase> cases = {
      {"right bottom", A::Right, 0, A::Bottom, 0}, {"top", A::Center, 0, A::Top, 0},
      {"50%", A::Percent, 50, A::Center, 0},      {"center left", A::Left, 0, A::Center, 0},
      {"top left", A::Left, 0, A::Top, 0},        {"10px 20px ", A::Pixels, 10, A::Pixels, 20},
      {"left", A::Left, 0, A::Center, 0},         {"2em 25%", A::Pixels, 32, A::Percent, 25},
  };
  TStyledDocument document;
  for (const TCase& c : cases) {
    TProperties set(document.Styles().Context());
    set.SetDeclarationByName("background-position", c.text);
    const TBackgroundPosition position = set.GetBackgroundPosition(16, 8);
    EXPECT_EQ(position.X.Kind, c.x) << c.text;
    EXPECT_EQ(position.X.Value, c.xValue) << c.text;
    EXPECT_EQ(position.Y.Kind, c.y) << c.text;
    EXPECT_EQ(position.Y.Value, c.yValue) << c.text;
  }
  TProperties set(document.Styles().Context());
  set.SetDeclarationByName("background-repeat", "repeat-x");
  set.SetDeclarationByName("background-attachment", "fixed");
  const TBackgroundPosition position = set.GetBackgroundPosition(16, 8);
  EXPECT_EQ(position.X.Kind, A::Pixels);
  EXPECT_TRUE(position.X.Repeat);
  EXPECT_FALSE(position.Y.Repeat);
  EXPECT_TRUE(position.X.Fixed && position.Y.Fixed);
}

TEST(Queries, ValuesForLayout) {
  TStyledDocument document;
  TProperties set(document.Styles().Context());
  EXPECT_EQ(set.GetVerticalAlign(), std::nullopt);
  EXPECT_EQ(set.GetLineHeight(20), -1);
  EXPECT_EQ(set.GetZIndex(), 0);
  EXPECT_EQ(set.GetVisibility(), 2);
  EXPECT_EQ(set.GetFontVariant(), "normal");
  EXPECT_EQ(set.GetBackgroundImage(), std::nullopt);
  for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
           {"vertical-align", "text-top"}, {"float", "right"}, {"clear", "both"}, {"list-style-type", "lower-roman"},
           {"list-style-image", "url('dot.gif')"}, {"position", "absolute"}, {"z-index", "7"}, {"display", "none"},
           {"overflow", "hidden"}, {"border-collapse", "collapse"}, {"page-break-after", "always"},
           {"page-break-inside", "avoid"}, {"line-height", "1.5"}, {"text-indent", "10%"}, {"visibility", "hidden"},
           {"background-image", "url(back.png)"}, {"text-transform", "lowercase"}}) {
    set.SetDeclarationByName(name, value);
  }
  EXPECT_EQ(set.GetVerticalAlign(), 1);
  EXPECT_EQ(set.GetFloat(), 6);
  EXPECT_EQ(set.GetClear(), 3);
  EXPECT_EQ(set.GetListStyleType(), 5);
  EXPECT_EQ(set.GetListStyleImage(), "dot.gif");
  EXPECT_EQ(set.GetPosition(), 1);
  EXPECT_EQ(set.GetZIndex(), 7);
  EXPECT_TRUE(set.IsDisplayNone());
  EXPECT_TRUE(set.IsOverflowHidden());
  EXPECT_TRUE(set.IsCollapsedBorders());
  EXPECT_FALSE(set.GetPageBreaks().Before);
  EXPECT_TRUE(set.GetPageBreaks().After);
  EXPECT_TRUE(set.GetPageBreaks().InsideAvoid);
  EXPECT_EQ(set.GetLineHeight(20), 30);
  EXPECT_EQ(set.GetTextIndent().Value, 10);
  EXPECT_TRUE(set.GetTextIndent().IsPercent);
  EXPECT_EQ(set.GetVisibility(), 1);
  EXPECT_EQ(set.GetBackgroundImage(), "back.png");
  EXPECT_EQ(set.GetTextTransform(), 2);
  set.SetDeclarationByName("background-image", "none");
  EXPECT_EQ(set.GetBackgroundImage(), "");
  set.SetDeclarationByName("list-style-type", "hebrew");
  EXPECT_EQ(set.GetListStyleType(), 0);
  set.SetDeclarationByName("float", "inherit");
  EXPECT_EQ(set.GetFloat(), std::nullopt);

  // Lengths that need the element's em size.
  TProperties& div = document.PushSized("div", "15pt");
  div.MakeFont();
  ASSERT_EQ(div.EmSize(), 20);
  div.SetDeclarationByName("line-height", "150%");
  EXPECT_EQ(div.GetLineHeight(99), 30);
  div.SetDeclarationByName("text-indent", "2ex");
  EXPECT_EQ(div.GetTextIndent().Value, 40);
  EXPECT_FALSE(div.GetTextIndent().IsPercent);
}

TEST(SetFromAttribute, LosesToRulesAndTheStyleAttribute) {
  TStyledDocument document;
  document.AddRule("td", {{"background-color", "green"}});
  TProperties& cell = document.Push("td", {}, {}, {}, document.InlineStyle({{"color", "blue"}}));
  cell.SetFromAttribute(Prop::Color, Integer(0x020000FF));
  cell.SetFromAttribute(Prop::BackgroundColor, Integer(0x020000FF));
  cell.SetFromAttribute(Prop::Width, Text("50%"));
  EXPECT_EQ(cell.GetOwnColor(), 0xFF0000u);
  EXPECT_EQ(cell.GetBackgroundColor(), 0x8000u);
  EXPECT_EQ(cell.Value(Prop::Width), Text("50%"));
  // The first attribute wins over a later one too.
  cell.SetFromAttribute(Prop::Width, Text("10%"));
  EXPECT_EQ(cell.Value(Prop::Width), Text("50%"));
}

TEST(CharacterSets, CodePagesOfTheCharacterSetTable) {
  const std::vector<std::tuple<int, int, int>> cases = {
      {31, 238, 28592}, {128, 128, 932}, {1, 1, 0}, {0, 0, 1252}, {204, 204, 1251}, {238, 238, 1250}, {77, 77, 2}};
  TStyledDocument document;
  for (const auto& [given, charSet, codePage] : cases) {
    TProperties set(document.Styles().Context());
    set.SetCharSet(given);
    EXPECT_EQ(set.CharSet(), charSet) << given;
    EXPECT_EQ(set.CodePage(), codePage) << given;
  }
  TProperties set(document.Styles().Context());
  set.SetCharSet(161);
  set.SetCharSet(99);  // not in the table: the code page stays
  EXPECT_EQ(set.CharSet(), 99);
  EXPECT_EQ(set.CodePage(), 1253);
  set.SetUtf8();
  EXPECT_EQ(set.CharSet(), 0);
  EXPECT_EQ(set.CodePage(), 65001);
}

}  // namespace
}  // namespace corvane
