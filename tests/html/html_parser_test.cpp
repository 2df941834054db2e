#include <gtest/gtest.h>

#include <string>

#include "html/html_parser.h"
#include "reader_test_support.h"
#include "style/style_list.h"

namespace corvane {
namespace {

// A document's style list with its built-in rules; charSet is the viewer's character set.
struct TDocumentStyles {
  explicit TDocumentStyles(int charSet = 1) : Styles(96.0) {
    TStyleDefaults defaults;
    defaults.CharSet = charSet;
    Styles.LoadDefaults(defaults);
  }
  TStyleList Styles;
};

TElementIdentity Element(std::string_view tag) {
  TElementIdentity element;
  element.Tag = tag;
  return element;
}

// The text of the next text token, as UTF-8.
std::string NextText(THtmlParser& parser) {
  while (parser.Symbol() != TagSymbol::SymEof && parser.Symbol() != TagSymbol::SymText) parser.NextToken();
  std::string text = test::Utf8(parser.Token().S());
  parser.NextToken();
  return text;
}

TEST(HtmlParserTest, RootEntryGivesTheDocumentCodePage) {
  struct TCase {
    const char* Html;
    int CharSet;
    int DocumentCodePage;
  };
  const TCase cases[] = {
      {"<p>x", 0, kCodePageWindows1252},                      // ANSI
      {"<p>x", 1, kCodePageSystem},                           // the default character set
      {"<p>x", 161, 1253},                                    // Greek
      {"<p>x", 31, kCodePageIso8859_2},                       // ISO 8859-2
      {"\xEF\xBB\xBF<p>x", 161, kCodePageUtf8},               // a byte-order mark wins
      {"a\x1B$B\x24\x22\x1B(Bb", 0, kCodePageShiftJis},       // ISO-2022-JP, read as Shift_JIS
  };
  for (const TCase& c : cases) {
    TDocumentStyles document(c.CharSet);
    THtmlParser parser(c.Html, document.Styles);
    ASSERT_EQ(parser.PropStack().Count(), 1) << c.Html;
    EXPECT_EQ(parser.PropStack()[0].ElementTag(), "default");
    EXPECT_EQ(parser.DocumentCodePage(), c.DocumentCodePage) << c.Html;
    EXPECT_EQ(parser.PropStack()[0].CodePage(), c.DocumentCodePage) << c.Html;
  }
}

TEST(HtmlParserTest, TextIsReadInTheCodePageOfTheInnermostElement) {
  TDocumentStyles document(0);
  // 0xF1 is "ñ" in Windows-1252 and "ρ" in Windows-1253.
  THtmlParser parser("<b>\xF1</b><font>\xF1</font>\xF1", document.Styles);
  parser.Start();
  EXPECT_EQ(NextText(parser), "\u00F1");

  parser.PropStack().PushProperties(Element("font"));
  parser.PropStack().Top().SetCharSet(161);
  EXPECT_EQ(NextText(parser), "\u03C1");

  EXPECT_TRUE(parser.PropStack().PopProperties("font").Found);
  EXPECT_EQ(NextText(parser), "\u00F1");
}

TEST(HtmlParserTest, MetaDeclarationGoesToTheInnermostElement) {
  TDocumentStyles document(0);
  THtmlParser parser("<meta charset=iso-8859-2><p>\xB1", document.Styles);
  parser.Start();
  ASSERT_EQ(parser.Symbol(), TagSymbol::SymMeta);
  parser.HandleMetaCharset(parser.Attributes());
  EXPECT_EQ(parser.PropStack().Top().CodePage(), kCodePageIso8859_2);
  EXPECT_EQ(parser.DocumentCodePage(), kCodePageIso8859_2);
  EXPECT_EQ(NextText(parser), "\u0105");

  // A new parse of the same text starts from the viewer's character set again.
  parser.Rewind();
  parser.BeginParse();
  EXPECT_EQ(parser.DocumentCodePage(), kCodePageWindows1252);
  parser.EndParse();
  EXPECT_EQ(parser.PropStack().Count(), 0);
}

TEST(HtmlParserTest, TwoParsersShareNoElements) {
  TDocumentStyles first(0);
  TDocumentStyles second(161);
  THtmlParser a("<p>\xF1", first.Styles);
  THtmlParser b("<p>\xF1", second.Styles);
  a.PropStack().PushProperties(Element("p"));
  a.PropStack().PushProperties(Element("b"));
  b.PropStack().PushProperties(Element("p"));
  a.PropStack().PopToCount(1);
  EXPECT_EQ(a.PropStack().Count(), 1);
  EXPECT_EQ(b.PropStack().Count(), 2);
  a.Start();
  b.Start();
  EXPECT_EQ(NextText(a), "\u00F1");
  EXPECT_EQ(NextText(b), "\u03C1");
}

TEST(HtmlParserTest, StyleElementsAndAttributesGoToTheDocumentsStyles) {
  TDocumentStyles document;
  THtmlParser parser("<style>.note { background: url(dot.gif) }</style><p style='margin-left:5px'>x",
                     document.Styles, "http://example.com/docs/");
  std::string inlineMargin;
  for (parser.Start(); parser.Symbol() != TagSymbol::SymEof; parser.NextToken()) {
    if (parser.Symbol() == TagSymbol::SymP && parser.Attributes().StyleProperties())
      inlineMargin = parser.Attributes().StyleProperties()->Value(Prop::MarginLeft).AsText();
    parser.ReadRawContent();
  }
  const TProperties* note = document.Styles.FindRule(".note");
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->Value(Prop::BackgroundImage).AsText(), "url(http://example.com/docs/dot.gif)");
  EXPECT_EQ(inlineMargin, "5px");
}

}  // namespace
}  // namespace corvane
