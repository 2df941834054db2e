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

TEST(CodePagesTest, CharactersWrittenStraightOutAreThoseAppended) {
  const std::pair<int, std::string> cases[] = {
      {kCodePageUtf8, "plain ASCII <&>"},
      {kCodePageUtf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" "b"},
      {kCodePageUtf8, "\xC3(\x80\xED\xA0\x80\xF0\x9F\xC0\xAF\xF4\x90\x80\x80\xE2\x82"},
      {kCodePageWindows1252, "\x80\x81\x9F\xFF caf\xE9"},
      {kCodePageIso8859_2, "\xB1\xE6"},
      {1251, "\xC1\xC2 \x96"},
      {kCodePageShiftJis, "a\x82\xA0\xB1\x83\x41" "b\x82"},
      {kCodePageShiftJis, "\x82<\x81"},
      {12345, "\xC3\xA9"},
  };
  TCodePageConverter converter;
  for (const auto& [codePage, bytes] : cases) {
    std::vector<char16_t> appended;
    converter.AppendUtf16(bytes, nullptr, codePage, appended, nullptr);
    // Room for two units a byte, and a guard after it that must stay untouched.
    std::vector<char16_t> written(2 * bytes.size() + 1, u'#');
    char16_t* end = converter.WriteUtf16(bytes, codePage, written.data());
    ASSERT_LE(end, written.data() + 2 * bytes.size()) << bytes;
    EXPECT_EQ(std::vector<char16_t>(written.data(), end), appended) << bytes;
    EXPECT_EQ(written.back(), u'#') << bytes;
  }
  // What a few of them read as.
  char16_t out[16];
  const auto read = [&](std::string_view bytes, int codePage) {
    return test::Utf8(QString(reinterpret_cast<const QChar*>(out),
                              converter.WriteUtf16(bytes, codePage, out) - out));
  };
  EXPECT_EQ(read("\xF0\x9F\x98\x80\xE2\x82", kCodePageUtf8), "\U0001F600\u00E2\u201A");
  EXPECT_EQ(read("\x83\x41\x83\x65", kCodePageShiftJis), "\u30A2\u30C6");
  EXPECT_EQ(read("\x96\xEA", 1251), "\u2013\u043A");
}

// Which code pages let ASCII text be widened without a conversion: those where no byte below 0x80
// belongs to a longer sequence or reads as another character.
TEST(CodePagesTest, CodePagesThatKeepAscii) {
  const std::pair<int, bool> cases[] = {
      {kCodePageUtf8, true},  {kCodePageWindows1252, true}, {kCodePageIso8859_2, true}, {1251, true},
      {12345, true},  // read as the system default one, UTF-8 here
      {kCodePageShiftJis, false}, {949, false}, {54936, false}, {20932, false}, {1200, false},
  };
  TCodePageConverter converter;
  for (const auto& [codePage, keeps] : cases) EXPECT_EQ(converter.KeepsAscii(codePage), keeps) << codePage;
  // Asked again in another order, as the converter answers from the code page it was asked last.
  for (auto c = std::rbegin(cases); c != std::rend(cases); ++c)
    EXPECT_EQ(converter.KeepsAscii(c->first), c->second) << c->first;
}

// Conversions that take turns between code pages give what each code page gives alone.
TEST(CodePagesTest, CodePagesTakingTurns) {
  const std::string bytes = "a\x82\xA0\xE9\xC3\xA9";
  const std::pair<int, std::string> cases[] = {
      {kCodePageShiftJis, "a\u3042\u9BCF\uFF69"},
      {kCodePageWindows1252, "a\u201A\u00A0\u00E9\u00C3\u00A9"},
      {kCodePageUtf8, "a\u201A\u00A0\u00E9\u00E9"},
  };
  TCodePageConverter converter;
  for (int round = 0; round < 3; ++round)
    for (const auto& [codePage, text] : cases) EXPECT_EQ(test::Utf8(converter.ToUtf16(bytes, codePage)), text) << codePage;
}

// A token's widened ASCII is what converting the same bytes gives, indices included.
TEST(CodePagesTest, WidenedAsciiIsItsConversion) {
  std::string ascii;
  for (int c = 1; c < 0x80; ++c) ascii += static_cast<char>(c);
  TCodePageConverter converter;
  for (int codePage : {kCodePageUtf8, kCodePageWindows1252, kCodePageIso8859_2}) {
    TokenObj widened, converted;
    widened.AddAscii(ascii.data(), ascii.size(), 40);
    TCharCollection bytes;
    bytes.AddRun(ascii.data(), ascii.size(), 40);
    AddBytesToToken(converted, bytes, codePage, converter);
    EXPECT_EQ(widened.Chars(), converted.Chars()) << codePage;
    EXPECT_EQ(widened.Indices(), converted.Indices()) << codePage;
  }
}

// Bytes 0x80..0x9F of Windows-1252, as UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) read as the code point of the same number, the C1 control character.
constexpr std::pair<unsigned char, const char*> kWindows1252High[] = {
    {0x80, "\u20AC"}, {0x81, "\u0081"}, {0x82, "\u201A"}, {0x83, "\u0192"}, {0x84, "\u201E"}, {0x85, "\u2026"},
    {0x86, "\u2020"}, {0x87, "\u2021"}, {0x88, "\u02C6"}, {0x89, "\u2030"}, {0x8A, "\u0160"}, {0x8B, "\u2039"},
    {0x8C, "\u0152"}, {0x8D, "\u008D"}, {0x8E, "\u017D"}, {0x8F, "\u008F"}, {0x90, "\u0090"}, {0x91, "\u2018"},
    {0x92, "\u2019"}, {0x93, "\u201C"}, {0x94, "\u201D"}, {0x95, "\u2022"}, {0x96, "\u2013"}, {0x97, "\u2014"},
    {0x98, "\u02DC"}, {0x99, "\u2122"}, {0x9A, "\u0161"}, {0x9B, "\u203A"}, {0x9C, "\u0153"}, {0x9D, "\u009D"},
    {0x9E, "\u017E"}, {0x9F, "\u0178"},
};

bool IsUndefinedInWindows1252(unsigned char byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

// Every way a byte of 0x80..0x9F reaches the text: the byte table, the code page's conversion, a byte
// that is no UTF-8, and a numeric reference to it in text.
TEST(CodePagesTest, Windows1252HighBytes) {
  TCodePageConverter converter;
  for (const auto& [byte, text] : kWindows1252High) {
    const std::string bytes(1, static_cast<char>(byte));
    const std::string reference = "&#" + std::to_string(byte) + ";";
    EXPECT_EQ(test::Utf8(QString(QChar(Windows1252Char(byte)))), text) << int{byte};
    EXPECT_EQ(test::Utf8(converter.ToUtf16(bytes, kCodePageWindows1252)), text) << int{byte};
    EXPECT_EQ(test::Utf8(converter.ToUtf16("a" + bytes + "b", kCodePageWindows1252)), "a" + std::string(text) + "b")
        << int{byte};
    EXPECT_EQ(test::Utf8(converter.ToUtf16(bytes, kCodePageUtf8)), text) << int{byte};
    for (int codePage : {kCodePageWindows1252, kCodePageUtf8}) {
      const auto tokens = test::ReadTokens(reference, codePage);
      ASSERT_EQ(tokens.size(), 1u) << reference;
      EXPECT_EQ(tokens[0].Text, text) << reference << " " << codePage;
    }
  }
  // The whole run at once, as a text token of a Windows-1252 page.
  std::string run, expected;
  for (const auto& [byte, text] : kWindows1252High) {
    run += static_cast<char>(byte);
    expected += text;
  }
  const auto tokens = test::ReadTokens(run, kCodePageWindows1252);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].Text, expected);

  // A page that declares ISO 8859-1 is read as Windows-1252, as pages that declare it are written.
  for (const char* meta : {"<meta charset=iso-8859-1>", "<meta charset=windows-1252>"}) {
    THtmlReader reader(meta + run, kCodePageUtf8);
    reader.Start();
    reader.HandleMetaCharset(reader.Attributes());
    EXPECT_EQ(reader.DocumentCodePage(), kCodePageWindows1252) << meta;
    reader.NextToken();
    ASSERT_EQ(reader.Symbol(), TagSymbol::SymText) << meta;
    EXPECT_EQ(test::Utf8(reader.Token().S()), expected) << meta;
  }
}

// Encoding into Windows-1252 gives the byte back for the 27 characters it defines; the control characters
// that stand in for its undefined bytes have no byte of the code page and become "?".
TEST(CodePagesTest, Windows1252HighCharactersEncodeToTheirBytes) {
  TCodePageConverter converter;
  for (const auto& [byte, text] : kWindows1252High) {
    const QString character = QString::fromUtf8(text);
    ASSERT_EQ(character.size(), 1);
    std::string out;
    converter.AppendEncoded(character[0].unicode(), kCodePageWindows1252, out);
    EXPECT_EQ(out, IsUndefinedInWindows1252(byte) ? "?" : std::string(1, static_cast<char>(byte))) << int{byte};
  }
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
