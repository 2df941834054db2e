#include "html/code_pages.h"

#include <gtest/gtest.h>

#include "html/char_collection.h"
#include "html/token_obj.h"
#include "reader_test_support.h"

namespace corvane {
namespace {

struct TDecodeCase {
  std::string Bytes;
  int CodePage;
  std::string Text;  // UTF-8
  std::vector<int> Indices;
};

TEST(CodePagesTest, EveryByteBecomesACharacterWithItsIndex) {
  const TDecodeCase cases[] = {
      {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" "b", kCodePageUtf8, "a\u00E9\u20AC\U0001F600b", {10, 11, 13, 16, 16, 20}},
      // Bytes that are no UTF-8 read as Windows-1252, one character each.
      {"\xC3(\x80\xED\xA0\x80\xF0\x9F", kCodePageUtf8, "\u00C3(\u20AC\u00ED\u00A0\u20AC\u00F0\u0178",
       {10, 11, 12, 13, 14, 15, 16, 17}},
      {"\xC0\xAF\x81", kCodePageUtf8, "\u00C0\u00AF\u0081", {10, 11, 12}},
      {"\x80\x81\x9F\xFF", kCodePageWindows1252, "\u20AC\u0081\u0178\u00FF", {10, 11, 12, 13}},
      {"\xB1\xE6", kCodePageIso8859_2, "\u0105\u0107", {10, 11}},
      {"a\x82\xA0\xB1" "b", kCodePageShiftJis, "a\u3042\uFF71b", {10, 11, 13, 14}},
      // A lead byte without its trail byte.
      {"\x82", kCodePageShiftJis, "\u201A", {10}},
      {"\x82<", kCodePageShiftJis, "\u201A<", {10, 11}},
      {"\xC1\xC2", 1251, "\u0411\u0412", {10, 11}},
      // A code page the platform does not know is read as the system default one (UTF-8 here).
      {"\xC3\xA9", 12345, "\u00E9", {10}},
  };
  TCodePageConverter converter;
  for (const TDecodeCase& c : cases) {
    TCharCollection bytes;
    for (std::size_t i = 0; i < c.Bytes.size(); ++i) bytes.Add(c.Bytes[i], 10 + static_cast<int>(i));
    TokenObj token;
    AddBytesToToken(token, bytes, c.CodePage, converter);
    EXPECT_EQ(test::Utf8(token.S()), c.Text) << c.Bytes;
    EXPECT_EQ(token.Indices(), c.Indices) << c.Bytes;
  }
  EXPECT_FALSE(converter.IsUsable(12345));
  EXPECT_TRUE(converter.IsUsable(kCodePageShiftJis));
}

TEST(CodePagesTest, EncodingOneCharacter) {
  const std::tuple<char32_t, int, std::string> cases[] = {
      {U'\u20AC', kCodePageWindows1252, "\x80"}, {U'\u4E00', kCodePageWindows1252, "?"},
      {U'\u3042', kCodePageShiftJis, "\x82\xA0"}, {U'A', kCodePageShiftJis, "A"},
      {U'\u00A9', kCodePageUtf8, "\xC2\xA9"},     {U'\U0001F600', kCodePageUtf8, "\xF0\x9F\x98\x80"},
      {U'\u0105', kCodePageIso8859_2, "\xB1"},    {char32_t{0xD800}, kCodePageUtf8, "?"},
  };
  TCodePageConverter converter;
  for (const auto& [c, codePage, bytes] : cases) {
    std::string out;
    converter.AppendEncoded(c, codePage, out);
    EXPECT_EQ(out, bytes) << static_cast<unsigned>(c);
  }
}

TEST(CodePagesTest, CharacterSetsHaveTheirCodePages) {
  EXPECT_EQ(CodePageOfCharSet(0), 1252);
  EXPECT_EQ(CodePageOfCharSet(kCharSetIso8859_2), kCodePageIso8859_2);
  EXPECT_EQ(CodePageOfCharSet(kCharSetShiftJis), 932);
  EXPECT_EQ(CodePageOfCharSet(kCharSetDefault), kCodePageSystem);
  EXPECT_EQ(CodePageOfCharSet(255), kCodePageOem);
  EXPECT_EQ(CodePageOfCharSet(3), std::nullopt);
  EXPECT_EQ(Windows1252Char(0x96), u'\u2013');
  EXPECT_EQ(Windows1252Char(0x8D), u'\u008D');
}

}  // namespace
}  // namespace corvane
