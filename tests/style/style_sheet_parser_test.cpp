#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "style/properties.h"
#include "style/style_list.h"
#include "style/style_sheet_parser.h"

namespace corvane {
namespace {

bool IsColorProperty(int index) {
  return index == Prop::Color || index == Prop::BackgroundColor || index == Prop::BorderColor ||
         (index >= Prop::BorderTopColor && index <= Prop::BorderLeftColor);
}

// The values a rule or style attribute was given, in property order: "name=[text]", colours in hex.
std::string Declared(const TProperties& set) {
  const TProperties fresh(set.Context());
  std::string text;
  for (int index = 0; index < Prop::Count; ++index) {
    const TPropValue& value = set.Value(index);
    if (value == fresh.Value(index)) continue;
    if (!text.empty()) text += ' ';
    text += std::string(PropertyName(index)) + "=";
    if (value.IsText()) {
      text += "[" + std::string(value.AsText()) + "]";
    } else if (IsColorProperty(index)) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(value.AsInteger()));
      text += hex;
    } else {
      text += std::to_string(value.AsInteger());
    }
  }
  return text;
}

// Every rule of the list as "<key>" and its declarations, in key order.
std::vector<std::string> Rules(const TStyleList& styles) {
  std::vector<std::string> rules;
  for (std::size_t i = 0; i < styles.Count(); ++i)
    rules.push_back("\"" + std::string(styles.KeyAt(i)) + "\" " + Declared(styles.RuleAt(i)));
  return rules;
}

// A STYLE element as the HTML reader hands it over (line ends folded to CR): the parser starts on the ">"
// of the start tag and pulls the content and what follows it.
struct TElementRead {
  char Stop = '?';
  std::string Unread;  // what the parser left of the text
};

TElementRead ReadStyleElement(TStyleList& styles, const std::string& text, std::string base = {},
                              TStyleUrlResolver resolveUrl = {}) {
  std::size_t next = 0;
  TStyleSheetInput input;
  input.Source = [&]() -> char { return next < text.size() ? text[next++] : '\0'; };
  input.Peek = [&]() -> char { return next < text.size() ? text[next] : '\0'; };
  input.BaseAddress = std::move(base);
  input.ResolveUrl = std::move(resolveUrl);
  TElementRead read;
  read.Stop = ParseStyleSheet(styles, '>', input);
  read.Unread = text.substr(next);
  return read;
}

std::vector<std::string> SheetRules(const std::string& sheet) {
  TStyleList styles(96.0);
  ReadStyleElement(styles, sheet + "</style>");
  return Rules(styles);
}

using TRules = std::vector<std::string>;

TEST(StyleSheetParser, RulesAndValuesOfSheets) {
  struct TCase {
    const char* sheet;
    TRules rules;
  };
  const std::vector<TCase> cases = {
      {"h1, h2 { color: red }", {"\"h1\" color=0xff", "\"h2\" color=0xff"}},
      {"P.Note { Font-Weight: BOLD }", {"\"p.note\" font-weight=[bold]"}},
      {".b.a { color: red } .a.b { font-weight: bold }", {"\".a.b\" font-weight=[bold] color=0xff"}},
      {"p#x.b.a { color: red } a:hover#top { color: red }", {"\"a#top:hover\" color=0xff", "\"p.a.b#x\" color=0xff"}},
      {"#x.a { color: red }", {"\".a#x\" color=0xff"}},
      {"@media print { p { color: red } } h1 { color: blue }", {"\"h1\" color=0xff0000"}},
      {"@media screen, print { p { color: red } h2 { color: blue } } h1 { color: blue }",
       {"\"h1\" color=0xff0000", "\"h2\" color=0xff0000", "\"p\" color=0xff"}},
      {"@media all { p { color: red } }", {}},
      {"@media print { @page { x { } } p { color: red } } h1 { color: blue }", {"\"h1\" color=0xff0000"}},
      {"@import url(x.css); p { color: red }", {"\"p\" color=0xff"}},
      {"p { color: red !important; font-weight: bold }", {"\"p\" font-weight=[bold]"}},
      {"p { margin: 1px 2px 3px }",
       {"\"p\" margin-top=[1px] margin-right=[2px] margin-bottom=[3px] margin-left=[2px]"}},
      {"p { padding: 1px 2px; border-width: 3px }",
       {"\"p\" padding-top=[1px] padding-right=[2px] padding-bottom=[1px] padding-left=[2px] border-top-width=[3px] "
        "border-right-width=[3px] border-bottom-width=[3px] border-left-width=[3px]"}},
      // Five items are no box value.
      {"p { margin: 1px 2px 3px 4px 5px }", {}},
      {"p { border: 1px solid #f00 }",
       {"\"p\" border-style=[solid] border-color=0x20000ff border-top-width=[1px] border-right-width=[1px] "
        "border-bottom-width=[1px] border-left-width=[1px] border-top-color=0x20000ff border-right-color=0x20000ff "
        "border-bottom-color=0x20000ff border-left-color=0x20000ff border-top-style=[solid] "
        "border-right-style=[solid] border-bottom-style=[solid] border-left-style=[solid]"}},
      {"p { border-left: dotted }", {"\"p\" border-style=[dotted] border-left-style=[dotted]"}},
      {"p { border-top: 2px rgb(0, 128, 0) }", {"\"p\" border-top-width=[2px] border-top-color=0x2008000"}},
      {"p { font: italic bold 12px/1.5 'Times New Roman', serif }",
       {"\"p\" font-family=['times new roman',serif] font-size=[12px] font-style=[italic] font-weight=[bold] "
        "line-height=[1.5]"}},
      {"p { font: 700 small-caps larger arial }", {"\"p\" font-family=[arial] font-size=[larger] font-variant=[small-caps]"}},
      {"p { background: url(a.gif) no-repeat 10px 20px }",
       {"\"p\" background-image=[url(a.gif)] background-position=[10px 20px ] background-repeat=[no-repeat]"}},
      {"p { background: #fff none repeat-x fixed left }",
       {"\"p\" background-color=0x2ffffff background-image=[none] background-position=[left ] "
        "background-repeat=[repeat-x] background-attachment=[fixed]"}},
      {"p { background: rgb(1,2,3) url(b.png) }", {"\"p\" background-color=0x2030201 background-image=[url(b.png)]"}},
      {"ul { list-style: square inside url(dot.gif) }", {"\"ul\" list-style-type=[inside] list-style-image=[url(dot.gif)]"}},
      // The value proper loses its quotes; the url keeps the case of its address.
      {"p { font-family: \"Arial\"; background-image: URL(Img/A.GIF) }",
       {"\"p\" font-family=[arial] background-image=[url(Img/A.GIF)]"}},
      {"p { color = red ; ; font-weight : bold ; junk ; text-align: center }",
       {"\"p\" font-weight=[bold] text-align=[center] color=0xff"}},
      {"p /* one */ { /* two */ color: /* three */ red }/**//**/h1{color:red}", {"\"h1\" color=0xff", "\"p\" color=0xff"}},
      {"a[href] { color: red } h1 + p { color: blue }",
       {"\"::link\" color=0xff", "\"a\" color=0xff", "\"h1\" color=0xff0000"}},
      {"* { color: red } *.x { color: blue }", {"\".x\" color=0xff0000"}},
      {"{ color: red } > { color: red } p { unknown: 1; color: nonsense }", {}},
  };
  for (const TCase& c : cases) EXPECT_EQ(SheetRules(c.sheet), c.rules) << c.sheet;
}

TEST(StyleSheetParser, ContextualAndChildKeys) {
  struct TCase {
    const char* sheet;
    TRules rules;
  };
  const std::vector<TCase> cases = {
      {"ul li { color: red }", {"\"li 110ul \" color=0xff"}},
      {"ul > li { color: red } ul>li { color: red }", {"\"li 110ul> \" color=0xff", "\"li 111ul> \" color=0xff"}},
      {"div p span { color: red }", {"\"span 210p div \" color=0xff"}},
      {"div  *  p { color: red }", {"\"p 110div \" color=0xff"}},
      {"ul li, ol li { color: red } ul li { color: blue }",
       {"\"li 110ul \" color=0xff", "\"li 111ol \" color=0xff", "\"li 112ul \" color=0xff0000"}},
      {"td.b.a > p#x.c:hover { color: red }", {"\"p.c#x:hover 110>td.a.b \" color=0xff"}},
      {"> li > { color: red }", {"\"li\" color=0xff"}},
      {"@media screen { #top em { color: red } }", {"\"em 110#top \" color=0xff"}},
  };
  for (const TCase& c : cases) EXPECT_EQ(SheetRules(c.sheet), c.rules) << c.sheet;
}

TEST(StyleSheetParser, WhereAStyleElementStops) {
  struct TCase {
    const char* text;
    TRules rules;
    char stop;
    const char* unread;
  };
  const std::vector<TCase> cases = {
      {"\r<!--\rp { color: red }\r-->\r</style>a", {"\"p\" color=0xff"}, '<', "/style>a"},
      {"p { color: red } /* h1 { color: blue } </style>a", {"\"p\" color=0xff"}, '<', "/style>a"},
      {"p { color: red; font-weight: bold</style>a", {"\"p\" font-weight=[bold] color=0xff"}, '<', "/style>a"},
      {"@media print { p { color: red } </style>a", {}, '<', "/style>a"},
      {"@media screen { p { color: red } </style>a", {"\"p\" color=0xff"}, '<', "/style>a"},
      {"p, h1 </style>a { color: red }", {}, '<', "/style>a { color: red }"},
      {"</style>a", {}, '<', "/style>a"},
      {"<!-- --></style>a", {}, '<', "/style>a"},
      {"p { color: red }", {"\"p\" color=0xff"}, '\0', ""},
      {"p { color: red }/", {"\"p\" color=0xff"}, '\0', ""},
  };
  for (const TCase& c : cases) {
    TStyleList styles(96.0);
    const TElementRead read = ReadStyleElement(styles, c.text);
    EXPECT_EQ(Rules(styles), c.rules) << c.text;
    EXPECT_EQ(read.Stop, c.stop) << c.text;
    EXPECT_EQ(read.Unread, c.unread) << c.text;
  }
}

TEST(StyleSheetParser, LinkedSheetsReadOnOverMarkup) {
  TStyleList styles(96.0);
  ParseStyleSheetText(styles, "p\n{\tcolor:\nred }\r\n<br> h1 { color: blue } <b>\t@media print { x {} }");
  EXPECT_EQ(Rules(styles), (TRules{"\"h1\" color=0xff0000", "\"p\" color=0xff"}));
}

TEST(StyleSheetParser, UrlValuesAreResolvedAgainstTheBase) {
  std::vector<std::string> calls;
  TStyleUrlResolver resolver = [&calls](std::string_view value, std::string_view base) {
    calls.push_back(std::string(value) + " @ " + std::string(base));
    return "url(" + std::string(base) + "x)";
  };
  const std::string sheet =
      "p { background-image: url('A.gif'); background: url(b.gif) red; list-style: url(c.gif) disc; "
      "font-family: url(d) }</style>";
  {
    TStyleList styles(96.0);
    ReadStyleElement(styles, sheet, "http://h/css/", resolver);
    EXPECT_EQ(Rules(styles), (TRules{"\"p\" font-family=[url(http://h/css/x)] background-color=0xff "
                                     "background-image=[url(http://h/css/x)] list-style-type=[disc] "
                                     "list-style-image=[url(http://h/css/x)]"}));
    EXPECT_EQ(calls, (std::vector<std::string>{"url('A.gif') @ http://h/css/", "url(b.gif) @ http://h/css/",
                                               "url(c.gif) @ http://h/css/", "url(d) @ http://h/css/"}));
  }
  calls.clear();
  TStyleList styles(96.0);
  ReadStyleElement(styles, sheet, "", resolver);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(Rules(styles), (TRules{"\"p\" font-family=[url(d)] background-color=0xff background-image=[url(b.gif)] "
                                   "list-style-type=[disc] list-style-image=[url(c.gif)]"}));
}

TEST(StyleSheetParser, ContextNumbersAndHoverRulesGoToTheList) {
  TStyleList styles(96.0);
  ReadStyleElement(styles, "ul li { color: red } a:hover { color: red }");
  EXPECT_EQ(styles.ContextCounter(), 11);
  EXPECT_TRUE(styles.HoverRulesPresent());
}

TEST(InlineStyle, DeclarationsOfAStyleAttribute) {
  struct TCase {
    const char* text;
    const char* declared;
  };
  const std::vector<TCase> cases = {
      {"color:red;;font-weight:bold", "font-weight=[bold] color=0xff"},
      {"COLOR: Nonsense", "color=0x0"},
      {"margin: 1px 2px", "margin-top=[1px] margin-right=[2px] margin-bottom=[1px] margin-left=[2px]"},
      {"background: url(A.gif) } x", "background-image=[url(A.gif)] background-position=[} x ]"},
      {"font-family = 'a;b' ; text-align : center", "font-family=['a] text-align=[center]"},
      {"border-left: 2px dashed blue\r", "border-style=[dashed] border-left-width=[2px] border-left-color=0xff0000 "
                                         "border-left-style=[dashed]"},
      {"; ; color red; text-indent: 5px; /* x */", "text-indent=[5px]"},
      {"font: 700 arial", "font-family=[arial]"},
      {"font: 12px 700 Arial", "font-family=[arial] font-size=[12px]"},
      {"font: bold 900 1.5em 'A B'", "font-family=['a b'] font-size=[1.5em] font-weight=[bold]"},
      {"", ""},
  };
  for (const TCase& c : cases) {
    TStyleList styles(96.0);
    TProperties properties(styles.Context());
    ParseInlineStyle(c.text, properties);
    EXPECT_EQ(Declared(properties), c.declared) << c.text;
  }
}

}  // namespace
}  // namespace corvane
