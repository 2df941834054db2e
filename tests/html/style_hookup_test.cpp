#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/style_hookup.h"
#include "reader_test_support.h"
#include "style/properties.h"
#include "style/style_list.h"

namespace corvane {
namespace {

// What a document's reading left: the tokens (as test::Texts joins them), each rule as its key and the
// texts and colours it holds, and the same for the style attribute of the last P.
struct TStyledRead {
  std::string Tokens;
  std::vector<std::string> Rules;
  std::string InlineStyle;
};

std::string Values(const TProperties& set) {
  const TProperties fresh(set.Context());
  std::string text;
  for (int index = 0; index < Prop::Count; ++index) {
    const TPropValue& value = set.Value(index);
    if (value == fresh.Value(index)) continue;
    text += " " + std::string(PropertyName(index)) + "=";
    text += value.IsText() ? std::string(value.AsText()) : std::to_string(value.AsInteger());
  }
  return text;
}

TStyledRead ReadStyled(const std::string& html, const std::string& base) {
  TStyleList styles(96.0);
  THtmlReader reader(html, kCodePageWindows1252);
  HookUpStyleParsers(reader, styles, base);
  TStyledRead read;
  std::vector<test::TReadToken> tokens;
  for (reader.Start(); reader.Symbol() != TagSymbol::SymEof; reader.NextToken()) {
    tokens.push_back({reader.Symbol(), test::Utf8(reader.Token().S()), {}, reader.TagValue(), 0, {}});
    if (reader.Symbol() == TagSymbol::SymP && reader.Attributes().StyleProperties())
      read.InlineStyle = Values(*reader.Attributes().TakeStyleProperties());
    reader.ReadRawContent();
  }
  read.Tokens = test::Texts(tokens);
  for (std::size_t i = 0; i < styles.Count(); ++i)
    read.Rules.push_back(std::string(styles.KeyAt(i)) + ":" + Values(styles.RuleAt(i)));
  return read;
}

TEST(StyleHookup, StyleElementsAndAttributesOfADocument) {
  struct TCase {
    const char* html;
    const char* base;
    const char* tokens;
    std::vector<std::string> rules;
    const char* inlineStyle;
  };
  const std::vector<TCase> cases = {
      {"<head><style type='text/css'>\r\n<!--\r\nP.Note { color: red; background: url(img/bg.gif) }\r\n"
       "ul > li { list-style: square }\r\n-->\r\n</style></head>"
       "<p style='margin: 1px 2px; Background-Image: url(X.gif)'>text</p>",
       "http://server/docs/", "<head>|<style>|</style>|</head>|<p>|text|</p>",
       {"li 110ul> : list-style-type=square", "p.note: color=255 background-image=url(http://server/docs/img/bg.gif)"},
       " margin-top=1px margin-right=2px margin-bottom=1px margin-left=2px background-image=url(X.gif)"},
      {"<style>td { background-image: url('../img/a.gif') }</style>", "/home/u/docs/", "<style>|</style>",
       {"td: background-image=url(/home/u/docs/../img/a.gif)"}, ""},
      // An empty sheet, or one holding just a comment, ends at its end tag: the text after it stays.
      {"<style></style>Hello<b>x</b>", "", "<style>|</style>|Hello|<b>|x|</b>", {}, ""},
      {"<style><!-- --></style>Hello", "", "<style>|</style>|Hello", {}, ""},
      {"<style>p { color: red } /* open </style>after", "", "<style>|</style>|after", {"p: color=255"}, ""},
      {"<style>@media print { p { color: red } </style>after", "", "<style>|</style>|after", {}, ""},
  };
  for (const TCase& c : cases) {
    const TStyledRead read = ReadStyled(c.html, c.base);
    EXPECT_EQ(read.Tokens, c.tokens) << c.html;
    EXPECT_EQ(read.Rules, c.rules) << c.html;
    EXPECT_EQ(read.InlineStyle, c.inlineStyle) << c.html;
  }
}

TEST(StyleHookup, LinkedSheetsResolveAgainstTheirOwnFolder) {
  TStyleList styles(96.0);
  ParseLinkedStyleSheet(styles, "p { background: url(../img/a.gif) }\r\n<!-- -->\r\nh1 { list-style: url(b.gif) }",
                        "http://server/css/site.css?v=2");
  ASSERT_EQ(styles.Count(), 2u);
  EXPECT_EQ(styles.FindRule("p")->Value(Prop::BackgroundImage).AsText(), "url(http://server/img/a.gif)");
  EXPECT_EQ(styles.FindRule("h1")->Value(Prop::ListStyleImage).AsText(), "url(http://server/css/b.gif)");
}

}  // namespace
}  // namespace corvane
