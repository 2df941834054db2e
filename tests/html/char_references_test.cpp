#include "html/char_references.h"

#include <gtest/gtest.h>

#include <tuple>

#include "html/charsets.h"
#include "html/html_reader.h"
#include "reader_test_support.h"

namespace corvane {
namespace {

using test::ReadTokens;

struct TReferenceCase {
  std::string Html;
  int CodePage;
  std::string Text;  // UTF-8
  std::vector<int> Indices;
};

TEST(CharReferencesTest, InText) {
  const TReferenceCase cases[] = {
      {"&amp;", kCodePageUtf8, "&", {0}},
      {"&amp", kCodePageUtf8, "&", {0}},
      {"&#38;", kCodePageUtf8, "&", {0}},
      {"&AMP;", kCodePageUtf8, "&AMP;", {0, 1, 2, 3, 4}},
      {"&#;", kCodePageUtf8, "&#;", {0, 1, 2}},
      {"&#x41;b", kCodePageUtf8, "Ab", {0, 6}},
      {"&#X41", kCodePageUtf8, "A", {0}},
      {"&#xZ", kCodePageUtf8, "&#xZ", {0, 1, 2, 3}},
      {"a & b", kCodePageUtf8, "a & b", {0, 1, 2, 3, 4}},
      {"&apos;", kCodePageUtf8, "\u2019", {0}},
      {"&#150;", kCodePageWindows1252, "\u2013", {0}},
      {"&#150;", kCodePageUtf8, "\u2013", {0}},  // no UTF-8 character: read as the byte of Windows-1252
      {"&#8211;", kCodePageWindows1252, "\u2013", {0}},
      {"&#9;x", kCodePageUtf8, " x", {0, 4}},
      {"&#7;", kCodePageUtf8, "?", {0}},
      {"&#0;", kCodePageUtf8, "?", {0}},
      {"&NBSP;&nbsp;", kCodePageUtf8, "&NBSP;\u00A0", {0, 1, 2, 3, 4, 5, 6}},
      {"&Agrave;&agrave;", kCodePageUtf8, "\u00C0\u00E0", {0, 8}},
      {"&thetasym;&euro;&hearts;", kCodePageUtf8, "\u03D1\u20AC\u2665", {0, 10, 16}},
      {"&abcdefghijklm;", kCodePageUtf8, "&abcdefghijklm;", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
      {"&copy2", kCodePageUtf8, "&copy2", {0, 1, 2, 3, 4, 5}},
      {"&&lt;", kCodePageUtf8, "&<", {0, 1}},
      // Characters beyond 16 bits are whole characters; what is no character is the replacement character.
      {"&#128512;", kCodePageUtf8, "\U0001F600", {0, 0}},
      {"&#x110000;&#xD800;&#99999999999;", kCodePageUtf8, "\uFFFD\uFFFD\uFFFD", {0, 10, 18}},
  };
  for (const TReferenceCase& c : cases) {
    const auto tokens = ReadTokens(c.Html, c.CodePage);
    ASSERT_EQ(tokens.size(), 1u) << c.Html;
    EXPECT_EQ(tokens[0].Text, c.Text) << c.Html;
    EXPECT_EQ(tokens[0].Indices, c.Indices) << c.Html;
  }
}

// Digit runs of any length: the value stops growing once it is no character, so a value of more than
// 32 bits never comes round to a small one (2^32 + 0x41 is not "A"), and leading zeros count for nothing.
const std::string kManyZeros(200000, '0');

TEST(CharReferencesTest, NumbersBeyondUnicodeInText) {
  const TReferenceCase cases[] = {
      {"&#x100000041;b", kCodePageUtf8, "\uFFFDb", {0, 13}},
      {"&#X100000041", kCodePageUtf8, "\uFFFD", {0}},
      {"&#x100000020;", kCodePageUtf8, "\uFFFD", {0}},
      {"&#xFFFFFFFF00000041;", kCodePageWindows1252, "\uFFFD", {0}},
      {"&#4294967361;b", kCodePageUtf8, "\uFFFDb", {0, 13}},
      {"&#4294967296;", kCodePageUtf8, "\uFFFD", {0}},
      {"&#4294967305;", kCodePageUtf8, "\uFFFD", {0}},
      {"&#4294967446;", kCodePageWindows1252, "\uFFFD", {0}},
      {"&#18446744073709551681;", kCodePageUtf8, "\uFFFD", {0}},
      // The edges of what is a character.
      {"&#x10FFFF;&#1114111;", kCodePageUtf8, "\U0010FFFF\U0010FFFF", {0, 0, 10, 10}},
      {"&#x110000;&#1114112;", kCodePageUtf8, "\uFFFD\uFFFD", {0, 10}},
      {"&#xD7FF;&#xD800;&#xDBFF;&#xDC00;&#57343;&#xE000;", kCodePageUtf8,
       "\uD7FF\uFFFD\uFFFD\uFFFD\uFFFD\uE000", {0, 8, 16, 24, 32, 40}},
      {"&#x10000;", kCodePageUtf8, "\U00010000", {0, 0}},
      {"&#x0000000041;&#00000065;", kCodePageUtf8, "AA", {0, 14}},
      {"&#" + kManyZeros + "65;b", kCodePageUtf8, "Ab", {0, 200005}},
      {"&#x" + kManyZeros + "41;b", kCodePageUtf8, "Ab", {0, 200006}},
      {"&#x" + std::string(200000, 'f') + ";b", kCodePageUtf8, "\uFFFDb", {0, 200004}},
      {"&#" + std::string(200000, '9') + "b", kCodePageUtf8, "\uFFFDb", {0, 200002}},
      {"&#1" + kManyZeros + "65;", kCodePageUtf8, "\uFFFD", {0}},
  };
  for (const TReferenceCase& c : cases) {
    const auto tokens = ReadTokens(c.Html, c.CodePage);
    ASSERT_EQ(tokens.size(), 1u) << c.Html.substr(0, 40);
    EXPECT_EQ(tokens[0].Text, c.Text) << c.Html.substr(0, 40);
    EXPECT_EQ(tokens[0].Indices, c.Indices) << c.Html.substr(0, 40);
  }
}

struct TAttributeReferenceCase {
  std::string Tag;
  int CodePage;
  std::string Text;  // bytes in the code page
};

TEST(CharReferencesTest, InAttributeValues) {
  const TAttributeReferenceCase cases[] = {
      {"<a href='a?x=1&copy=2'>", kCodePageUtf8, "a?x=1\xC2\xA9=2"},
      {"<a href='a?x=1&copy=2'>", kCodePageWindows1252, "a?x=1\xA9=2"},
      {"<a href='a?x=1&lang=2'>", kCodePageUtf8, "a?x=1&lang=2"},
      {"<a href=a?x=1&lang=2>", kCodePageUtf8, "a?x=1&lang=2"},
      {"<a title='&lang;'>", kCodePageUtf8, "\xE2\x8C\xA9"},
      {"<a title='&lang;&#x4E00;'>", kCodePageWindows1252, "??"},
      {"<a title='&#150;&#9;&#3;'>", kCodePageUtf8, "\x96 ?"},
      {"<a title=\"&#8364;&euro\">", kCodePageWindows1252, "\x80&euro"},
      {"<a title='&#128512;'>", kCodePageUtf8, "\xF0\x9F\x98\x80"},
      {"<a title='&AMP;&#;&#xq'>", kCodePageUtf8, "&AMP;&#;&#xq"},
      {"<td width=5&#48;%>", kCodePageUtf8, "50%"},
  };
  for (const TAttributeReferenceCase& c : cases) {
    THtmlReader reader(c.Tag, c.CodePage);
    reader.Start();
    ASSERT_EQ(reader.Attributes().Count(), 1) << c.Tag;
    EXPECT_EQ(reader.Attributes()[0].Text, c.Text) << c.Tag;
  }
}

// Attribute values are text in a code page: what is no character (beyond U+10FFFF, a surrogate) becomes
// the code page's default character "?", the same as a character the code page cannot hold, under UTF-8
// too. Never the character a value of more than 32 bits would come round to.
TEST(CharReferencesTest, NumbersBeyondUnicodeInAttributeValues) {
  const TAttributeReferenceCase cases[] = {
      {"<a title='&#x100000041;b'>", kCodePageUtf8, "?b"},
      {"<a title=\"&#X100000041\">", kCodePageWindows1252, "?"},
      {"<a title=&#x100000041;b>", kCodePageUtf8, "?b"},
      {"<a title='&#4294967361;b'>", kCodePageUtf8, "?b"},
      {"<a title=&#4294967361;>", kCodePageWindows1252, "?"},
      {"<a title='&#4294967305;&#4294967446;'>", kCodePageWindows1252, "??"},
      {"<a title='&#18446744073709551681;'>", kCodePageUtf8, "?"},
      {"<a title='&#x10FFFF;&#x110000;'>", kCodePageUtf8, "\xF4\x8F\xBF\xBF?"},
      {"<a title='&#xD7FF;&#xD800;&#57343;&#xE000;'>", kCodePageUtf8, "\xED\x9F\xBF??\xEE\x80\x80"},
      {"<a title='&#" + kManyZeros + "65;b'>", kCodePageUtf8, "Ab"},
      {"<a title='&#x" + std::string(200000, 'F') + ";b'>", kCodePageUtf8, "?b"},
      {"<a title=&#" + std::string(200000, '9') + "b>", kCodePageUtf8, "?b"},
      {"<td width=&#4294967349;0>", kCodePageUtf8, "?0"},
  };
  for (const TAttributeReferenceCase& c : cases) {
    THtmlReader reader(c.Tag, c.CodePage);
    reader.Start();
    ASSERT_EQ(reader.Attributes().Count(), 1) << c.Tag.substr(0, 40);
    EXPECT_EQ(reader.Attributes()[0].Text, c.Text) << c.Tag.substr(0, 40);
  }
}

class TTextAreaLines : public TTextAreaContent {
 public:
  std::vector<std::string> Lines;
  void AddLine(const QString& line) override { Lines.push_back(test::Utf8(line)); }
  void ContentComplete() override {}
};

// TEXTAREA content is decoded as attribute values are, into the code page of the content.
TEST(CharReferencesTest, NumbersBeyondUnicodeInTextAreaContent) {
  const std::tuple<std::string, int, std::string> cases[] = {
      {"<textarea>&#x100000041;&#4294967361;b</textarea>", kCodePageUtf8, "??b"},
      {"<textarea>&#x100000041;&#xD800;&#x10FFFF;</textarea>", kCodePageUtf8, "??\U0010FFFF"},
      {"<textarea>&#4294967446;&#150;</textarea>", kCodePageWindows1252, "?\u2013"},
      {"<textarea>&#" + kManyZeros + "65;</textarea>", kCodePageUtf8, "A"},
  };
  for (const auto& [html, codePage, line] : cases) {
    TTextAreaLines control;
    THtmlReader reader(html, codePage);
    test::ReadTokens(reader, &control);
    EXPECT_EQ(control.Lines, std::vector<std::string>{line}) << html.substr(0, 40);
  }
}

TEST(CharReferencesTest, EntityTable) {
  EXPECT_EQ(LookupEntity("apos"), u'\u2019');
  EXPECT_EQ(LookupEntity("quot"), u'"');
  EXPECT_EQ(LookupEntity("yuml"), u'\u00FF');
  EXPECT_EQ(LookupEntity("Yuml"), u'\u0178');
  EXPECT_EQ(LookupEntity("loz"), u'\u25CA');
  EXPECT_EQ(LookupEntity("zwnj"), u'\u200C');
  EXPECT_EQ(LookupEntity("Amp"), std::nullopt);
  EXPECT_EQ(LookupEntity(""), std::nullopt);
}

TEST(CharsetsTest, NamesAreFoundInTableOrder) {
  const std::pair<std::string, std::optional<int>> cases[] = {
      {"text/html; charset=windows-1252", 0},  {"ISO-8859-15", 0},       {"iso-8859-2", kCharSetIso8859_2},
      {"windows-1251", 204},                   {"KOI8-R", 204},          {"x-sjis", 128},
      {"Shift_JIS", 128},                      {"euc-kr", 129},          {"EUC-JP", kCharSetEucJp},
      {"big5", 136},                           {"tis-620", 222},         {"utf-8", std::nullopt},
      {"text/html", std::nullopt},             {"cp1250", 238},
  };
  for (const auto& [value, charSet] : cases) EXPECT_EQ(CharsetOfName(value), charSet) << value;
}

// The text of the rest of a started document.
std::string ReadRest(THtmlReader& reader) {
  std::string text;
  for (reader.NextToken(); reader.Symbol() != TagSymbol::SymEof; reader.NextToken())
    if (reader.Symbol() == TagSymbol::SymText) text += test::Utf8(reader.Token().S());
  return text;
}

// Reads a document and handles its META tags as the builder does.
struct TMetaCase {
  std::string Html;
  int DocumentCodePage;  // after the META
};

TEST(CharsetsTest, MetaDeclarations) {
  const TMetaCase cases[] = {
      {"<meta http-equiv=Content-Type content='text/html; charset=iso-8859-2'>", kCodePageIso8859_2},
      {"<meta http-equiv='content-type' content='text/html; charset=UTF-8'>", kCodePageUtf8},
      {"<meta http-equiv='content-type' content='text/html; charset=windows-1251'>", 1251},
      {"<meta charset='shift_jis'>", kCodePageShiftJis},
      {"<meta charset=utf-8>", kCodePageUtf8},
      {"<meta http-equiv=refresh content='0; charset=utf-8'>", kCodePageWindows1252},
      {"<meta http-equiv='content-type' content='text/html'>", kCodePageWindows1252},
      {"\xEF\xBB\xBF<meta charset=windows-1251>", kCodePageUtf8},
  };
  for (const TMetaCase& c : cases) {
    THtmlReader reader(c.Html, kCodePageWindows1252);
    reader.Start();
    ASSERT_EQ(reader.Symbol(), TagSymbol::SymMeta);
    reader.HandleMetaCharset(reader.Attributes());
    EXPECT_EQ(reader.DocumentCodePage(), c.DocumentCodePage) << c.Html;
  }

  // The text after the META is read in the code page it declared.
  THtmlReader latin2("<meta http-equiv=content-type content='charset=iso-8859-2'><b>\xB1</b>", kCodePageWindows1252);
  latin2.Start();
  latin2.HandleMetaCharset(latin2.Attributes());
  latin2.NextToken();
  latin2.NextToken();
  EXPECT_EQ(test::Utf8(latin2.Token().S()), "\u0105");
}

TEST(CharsetsTest, FontCharset) {
  THtmlReader reader("<font charset=greek>", kCodePageWindows1252);
  reader.Start();
  EXPECT_EQ(reader.FontCharset(reader.Attributes()), 161);
  THtmlReader marked("\xEF\xBB\xBF<font charset=greek>");
  marked.Start();
  EXPECT_EQ(marked.FontCharset(marked.Attributes()), std::nullopt);
}

TEST(CharsetsTest, Iso2022JpTextIsReadAsShiftJis) {
  // "あ" (JIS 0x24 0x22) and a character of JIS row 0x5F, between ASCII.
  THtmlReader reader("a\x1B$B\x24\x22\x5F\x21\x1B(Bb");
  EXPECT_TRUE(reader.Transcoded());
  EXPECT_EQ(reader.DocumentCodePage(), kCodePageShiftJis);
  EXPECT_EQ(reader.Text(), "a\x82\xA0\xE0\x40" "b");
  const auto tokens = ReadTokens(reader);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].Text, "a\u3042\u6F3Eb");
  EXPECT_EQ(tokens[0].Indices, (std::vector<int>{0, 1, 3, 5}));

  EXPECT_FALSE(IsIso2022Jp("a\x1B(Bb\x1B$Bc"));  // the switch back must come after the switch
  EXPECT_TRUE(IsIso2022Jp("\x1B$@x\x1B(J"));
}

TEST(CharsetsTest, EucJpIsTranscodedWhenDeclared) {
  const std::string html = "<meta charset=euc-jp><p>\xA4\xA2x\xA4\xA2";
  THtmlReader reader(html, kCodePageWindows1252);
  reader.Start();
  reader.HandleMetaCharset(reader.Attributes());
  EXPECT_TRUE(reader.Transcoded());
  EXPECT_EQ(reader.DocumentCodePage(), kCodePageShiftJis);
  EXPECT_EQ(reader.Text().size(), html.size());
  EXPECT_EQ(ReadRest(reader), "\u3042x\u3042");
  EXPECT_EQ(reader.FindCharset("euc-jp"), kCharSetShiftJis);  // once per parse
}

}  // namespace
}  // namespace corvane
