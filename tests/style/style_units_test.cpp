#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "style/prop_value.h"
#include "style/property_index.h"
#include "style/selector_key.h"
#include "style/style_units.h"

namespace corvane {
namespace {

TEST(LengthToPixels, UnitsAt96PixelsPerInch) {
  struct TCase {
    const char* text;
    TLengthKind kind;
    double base, em, ex;
    int fallback;
    int expected;
  };
  const TLengthKind abs = TLengthKind::Absolute, rel = TLengthKind::Relative;
  const std::vector<TCase> cases = {
      {"12pt", abs, 0, 0, 0, -1, 16},   {"1in", abs, 0, 0, 0, -1, 96},     {"2.54cm", abs, 0, 0, 0, -1, 96},
      {"25.4mm", abs, 0, 0, 0, -1, 96}, {"1pc", abs, 0, 0, 0, -1, 16},     {"50%", abs, 300, 0, 0, -1, 150},
      {"2.5px", abs, 0, 0, 0, -1, 2},   {"3.5px", abs, 0, 0, 0, -1, 4},    {"7", abs, 10, 0, 0, -1, 7},
      {"7", rel, 10, 0, 0, -1, 70},     {"3q", abs, 0, 0, 0, -9, -9},      {"1e3px", abs, 0, 0, 0, -9, -9},
      {"1e3", abs, 0, 0, 0, -9, 1000},  {"2em", abs, 0, 10, 0, -1, 20},    {"1.5ex", abs, 0, 0, 7, -1, 10},
      {" -2px ", abs, 0, 0, 0, -1, -2}, {"px", abs, 0, 0, 0, -1, 0},       {"auto", abs, 0, 0, 0, -7, -7},
      {"1.5", rel, 3, 0, 0, -1, 4},     {"12PX", abs, 0, 0, 0, -3, -3},    {".5in", abs, 0, 0, 0, -1, 48},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(LengthToPixels(c.text, c.kind, c.base, c.em, c.ex, c.fallback, 96.0), c.expected) << c.text;
}

// A length text is read once into number and unit (TPropValue::AsLength) and converted at each layout
// with that layout's base and font sizes: every text must give what converting the text itself gives,
// under two different layouts, so the reading keeps nothing of the first one.
TEST(ParsedLength, ConvertsAsTheTextUnderEveryLayout) {
  struct TCase {
    const char* text;
    TLengthKind kind;
    int fallback;
    int atFirst;   // base 300, em 16, ex 7, 96 pixels per inch
    int atSecond;  // base 120, em 10, ex 6, 120 pixels per inch
  };
  const TLengthKind abs = TLengthKind::Absolute, rel = TLengthKind::Relative;
  const std::vector<TCase> cases = {
      {"12pt", abs, -1, 16, 20},    {"1in", abs, -1, 96, 120},     {"2.54cm", abs, -1, 96, 120},
      {"25.4mm", abs, -1, 96, 120}, {"1pc", abs, -1, 16, 20},      {"3px", abs, -1, 3, 3},
      {"2.5px", abs, -1, 2, 2},     {"50%", abs, -1, 150, 60},     {"12.5%", abs, -1, 38, 15},
      {"-10%", abs, -1, -30, -12},  {"2em", abs, -1, 32, 20},      {"1.5ex", abs, -1, 10, 9},
      {" 1.25em ", abs, -1, 20, 12}, {"7", abs, -1, 7, 7},         {"7", rel, -1, 2100, 840},
      {"1e1", abs, -1, 10, 10},     {"+4px", abs, -1, 4, 4},       {".5in", abs, -1, 48, 60},
      {"1e3px", abs, -9, -9, -9},   {"3q", abs, -9, -9, -9},       {"12PX", abs, -9, -9, -9},
      {"50%x", abs, -9, -9, -9},    {"auto", abs, -9, -9, -9},     {"thin", abs, -9, -9, -9},
      {"px", abs, -9, 0, 0},        {"", abs, -9, 0, 0},           {"--2px", abs, -9, -9, -9},
      {"1..2px", abs, -9, -9, -9},  {"5 px", abs, -9, 5, 5},
  };
  for (const TCase& c : cases) {
    const TPropValue value = TPropValue::Text(c.text);
    const TPropValue shared = value;  // a copy shares the text and its reading
    EXPECT_EQ(LengthToPixels(c.text, c.kind, 300, 16, 7, c.fallback, 96.0), c.atFirst) << c.text;
    EXPECT_EQ(LengthToPixels(value.AsLength(), c.kind, 300, 16, 7, c.fallback, 96.0), c.atFirst) << c.text;
    EXPECT_EQ(LengthToPixels(c.text, c.kind, 120, 10, 6, c.fallback, 120.0), c.atSecond) << c.text;
    EXPECT_EQ(LengthToPixels(shared.AsLength(), c.kind, 120, 10, 6, c.fallback, 120.0), c.atSecond) << c.text;
  }
}

TEST(ParsedLength, KeywordsPercentSignsAndBorderStyles) {
  struct TCase {
    const char* text;
    TBoxKeyword keyword;
    bool percentSign;
    int borderStyle;
  };
  const std::vector<TCase> cases = {
      {"auto", TBoxKeyword::Auto, false, BorderKind::None},     {"thin", TBoxKeyword::Thin, false, BorderKind::None},
      {"medium", TBoxKeyword::Medium, false, BorderKind::None}, {"thick", TBoxKeyword::Thick, false, BorderKind::None},
      {" auto", TBoxKeyword::None, false, BorderKind::None},    {"AUTO", TBoxKeyword::None, false, BorderKind::None},
      {"50%", TBoxKeyword::None, true, BorderKind::None},       {"5%x", TBoxKeyword::None, true, BorderKind::None},
      {"solid", TBoxKeyword::None, false, BorderKind::Solid},   {"double", TBoxKeyword::None, false, BorderKind::Double},
      {"Solid", TBoxKeyword::None, false, BorderKind::None},    {"", TBoxKeyword::None, false, BorderKind::None},
  };
  // A reading asked of a value about to go is a copy, not a reference into its freed text.
  static_assert(std::is_same_v<decltype(TPropValue::Text("5px").AsLength()), TParsedLength>);
  static_assert(std::is_same_v<decltype(std::declval<const TPropValue&>().AsLength()), const TParsedLength&>);
  for (const TCase& c : cases) {
    const TPropValue value = TPropValue::Text(c.text);
    const TParsedLength& length = value.AsLength();
    EXPECT_EQ(length.Keyword, c.keyword) << c.text;
    EXPECT_EQ(length.HasPercentSign, c.percentSign) << c.text;
    EXPECT_EQ(length.BorderStyle, c.borderStyle) << c.text;
  }
  // Values that are not text read as the empty text.
  EXPECT_EQ(TPropValue::Integer(5).AsLength().Unit, TLengthUnit::None);
  EXPECT_EQ(TPropValue().AsLength().Number, 0.0);
}

TEST(FontSizeToPoints, UnitsAndKeywordsUnderATenPointParent) {
  const std::vector<std::pair<const char*, double>> cases = {
      {"1.2em", 12},   {"150%", 15},  {"larger", 12.5}, {"smaller", 7.5}, {"x-large", 24}, {"xx-small", 8},
      {"medium", 14.4}, {"12px", 9},  {"12", 9},        {"10pt", 10},     {"1in", 72},     {"1pc", 12},
      {"2ex", 10},     {"bogus", 12}, {"", 0},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_DOUBLE_EQ(FontSizeToPoints(text, 10.0, 12.0, 96.0), expected) << text;
}

TEST(StyleCodes, AlignmentsAndBorderStyles) {
  const std::vector<std::pair<const char*, int>> alignments = {
      {"TOP", 1},   {"middle", 2}, {"absmiddle", 2}, {"Center", 2},  {"baseline", 3},
      {"bottom", 4}, {"left", 5},  {"right", 6},     {"justify", 7}, {"sub", 0}};
  for (const auto& [text, code] : alignments) EXPECT_EQ(AlignmentFromString(text), code) << text;
  const std::vector<std::pair<const char*, int>> borders = {
      {"none", 0},  {"solid", 1},  {"inset", 2},  {"outset", 3}, {"groove", 4},
      {"ridge", 5}, {"dashed", 6}, {"dotted", 7}, {"double", 8}, {"hidden", 0}};
  for (const auto& [text, code] : borders) EXPECT_EQ(BorderStyleFromString(text), code) << text;
}

TEST(UrlFromValue, AddressOfUrlTexts) {
  EXPECT_EQ(UrlFromValue(TPropValue::Text("url(a.gif)")), "a.gif");
  EXPECT_EQ(UrlFromValue(TPropValue::Text("url('b c.png')")), "b c.png");
  EXPECT_EQ(UrlFromValue(TPropValue::Text("url(\"x\")")), "x");
  EXPECT_EQ(UrlFromValue(TPropValue::Text("url('')")), "''");
  EXPECT_EQ(UrlFromValue(TPropValue::Text("url(open")), "open");
  EXPECT_EQ(UrlFromValue(TPropValue::Text("none")), "");
  EXPECT_EQ(UrlFromValue(TPropValue::Integer(3)), "");
}

TEST(PropertyIndexOf, NamesAreExactAndCaseSensitive) {
  EXPECT_EQ(PropertyIndexOf("font-family"), 0);
  EXPECT_EQ(PropertyIndexOf("border-left-style"), 30);
  EXPECT_EQ(PropertyIndexOf("display"), 59);
  EXPECT_EQ(PropertyIndexOf("Color"), std::nullopt);
  EXPECT_EQ(PropertyIndexOf("margin"), std::nullopt);
  for (int i = 0; i < Prop::Count; ++i) EXPECT_EQ(PropertyIndexOf(PropertyName(i)), i);
}

TEST(SplitSelectorKey, PartsOfSimpleAndContextualKeys) {
  struct TExpected {
    std::string tag, cls, id, pseudo;
    bool childOfNext;
  };
  const std::vector<std::pair<const char*, std::vector<TExpected>>> cases = {
      {"a.x#main:visited", {{"a", "x", "main", "visited", false}}},
      {"li 110ul> ", {{"li", "", "", "", true}, {"ul", "", "", "", false}}},
      {"li 210ul div ", {{"li", "", "", "", false}, {"ul", "", "", "", false}, {"div", "", "", "", false}}},
      {"p 11pre", {{"p", "", "", "", false}, {"pre", "", "", "", false}}},
      {".a.b 1120td.x#y ", {{"", "a.b", "", "", false}, {"td", "x", "y", "", false}}},
      {"::link", {{"", "", "", ":link", false}}},
  };
  for (const auto& [key, expected] : cases) {
    const std::vector<TSelectorPart> parts = SplitSelectorKey(key);
    ASSERT_EQ(parts.size(), expected.size()) << key;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_EQ(parts[i].Tag, expected[i].tag) << key << " part " << i;
      EXPECT_EQ(parts[i].Class, expected[i].cls) << key << " part " << i;
      EXPECT_EQ(parts[i].Id, expected[i].id) << key << " part " << i;
      EXPECT_EQ(parts[i].Pseudo, expected[i].pseudo) << key << " part " << i;
      EXPECT_EQ(parts[i].ChildOfNext, expected[i].childOfNext) << key << " part " << i;
    }
  }
  EXPECT_EQ(SplitSelectorKey("a 910b c d e f g h i j k l ").size(), 10u);
}

TEST(ClassesContained, EveryNameOfThePartAmongTheElements) {
  EXPECT_TRUE(ClassesContained("a", "a.b"));
  EXPECT_TRUE(ClassesContained("b.a", "a.b.c"));
  EXPECT_FALSE(ClassesContained("a.d", "a.b.c"));
  EXPECT_FALSE(ClassesContained("ab", "a.b"));
  EXPECT_FALSE(ClassesContained("a", ""));
}

}  // namespace
}  // namespace corvane
