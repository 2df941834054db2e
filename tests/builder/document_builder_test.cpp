#include <gtest/gtest.h>

#include <functional>

#include "layout/form_control.h"
#include "layout/layout_test_support.h"
#include "style/properties.h"

namespace corvane {
namespace {

using test::Blocks;
using test::kBodyX;
using test::Tree;
using test::TTestDocument;

std::u16string BodyTree(const std::string& html) {
  TTestDocument document(html);
  return Tree(document.Body().Content());
}

TEST(DocumentBuilder, BuildsTheBlockStructure) {
  struct TCase {
    const char* Html;
    std::u16string Tree;
  } const cases[] = {
      {"a<p>b</p>c", u"a|[b|]c|"},
      {"<p><p><p>x", u"[x|]"},
      {"<h1>t</h1>x", u"[t|]x|"},
      {"<h7>x", u"x|"},
      {"<ul><li>a<li>b</ul>c", u"[[a|][b|]]c|"},
      // An empty list ends where it ends: what follows is outside it.
      {"<ul></ul>after", u"[]after|"},
      {"<ul></ol>after", u"[]after|"},
      {"<li>x", u"[x|]"},
      {"<ol><li></li><li>b</ol>", u"[[\u00a0|][b|]]"},
      {"<div>a<div>b</div>c</div>d", u"[a|[b|]c|]d|"},
      {"<blockquote>q</blockquote>x", u"[q|]x|"},
      {"<center>c</center>x", u"c|x|"},
      {"<form>f</form>x", u"[f|]x|"},
      {"a<hr>b", u"a|[]b|"},
      {"<pre>a  b\n\nc</pre>x", u"[a  b||c|]x|"},
      {"<pre>\nx</pre>", u"[x|]"},
      // Whatever a PRE opens inside ends with it.
      {"<pre>a<p>b</pre>after", u"[a|[b|]]after|"},
      {"<pre>a<form>b</pre>after", u"[a|[b|]]after|"},
      // A lone space between blocks makes no section.
      {"<div>a</div> <div>b</div>", u"[a|][b|]"},
      // Elements that do not belong are read past; their content shows.
      {"<frameset><frame><noframes>n</noframes></frameset><button>b</button><area><param><option>o",
       u"nbo|"},
      {"<td>t<tr>r<caption>c", u"trc|"},
  };
  for (const TCase& c : cases) EXPECT_EQ(BodyTree(c.Html), c.Tree) << c.Html;
}

TEST(DocumentBuilder, PropertyStackFollowsTheElements) {
  TTestDocument document("<b>a<i>b</b>c</i>d");
  document.LayOut(300);
  const TSection& section = *document.Sections().at(0);
  const TFontList& fonts = section.Fonts();
  auto styleAt = [&](int index) { return fonts[fonts.GetFontObjAt(index).RunNumber].Font().Style(); };
  EXPECT_TRUE(styleAt(0).Bold && !styleAt(0).Italic);
  EXPECT_TRUE(styleAt(1).Bold && styleAt(1).Italic);
  // At </b> the "i" is derived again from below the "b": "c" is italic, not bold.
  EXPECT_TRUE(!styleAt(2).Bold && styleAt(2).Italic);
  EXPECT_TRUE(!styleAt(3).Bold && !styleAt(3).Italic);
}

TEST(DocumentBuilder, ParagraphAndHeadingAlignment) {
  struct TCase {
    const char* Html;
    int Justify;
  } const cases[] = {
      {"<p><p><p align=right>x", 3}, {"<p align=middle>x", 2}, {"<p align=justify>x", 4},
      {"<h2><center>x</h2>", 2},     {"<h2 align=right>x</h2>", 3}, {"<div align=center>x</div>", 2},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(300);
    EXPECT_EQ(document.Sections().at(0)->Justify(), c.Justify) << c.Html;
  }
}

TEST(DocumentBuilder, FontSizes) {
  struct TCase {
    const char* Html;
    int Pixels;  // the em height of "x"
  } const cases[] = {
      {"<font size=+2>x", 24},  // size 5: 18 points
      {"<font size=9>x", 48},   // size 7: 36 points
      {"<basefont size=5><font size=-1>x", 19},  // size 4: 14 points
      {"<font size=1>x", 11},
      {"<pre><font size=7>x</font></pre>", 40},  // the preformatted table: 30 points
      // Elements made alike but changed differently by their attributes keep their own fonts.
      {"<p><font size=7>a</font><p><font color=red>x", 16},
      {"<p><font size=7>a</font><p><font size=7>b</font><p><font color=red>x", 16},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(300);
    const TSection* section = document.SectionStarting(u"x");
    ASSERT_NE(section, nullptr) << c.Html;
    EXPECT_EQ(-section->Fonts()[section->Fonts().GetFontObjAt(0).RunNumber].Font().Height(), c.Pixels) << c.Html;
  }
}

TEST(DocumentBuilder, BodyAttributes) {
  TTestDocument margins("<body leftmargin=500 topmargin=7 bgcolor=#ff0000 text=#00ff00>x");
  margins.LayOut(600);
  const TSection& section = *margins.Sections().at(0);
  EXPECT_EQ(section.Lines()[0].DrawWidth, 600 - 2 * 200);
  EXPECT_EQ(section.TopY, 7);
  EXPECT_EQ(margins.Document.Background() & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(section.Fonts()[0].Font().Color() & 0xFFFFFF, 0x00FF00u);
  // After visible text the BODY tag is skipped, and the text stays.
  TTestDocument late("hello<body bgcolor=red leftmargin=50>x");
  late.LayOut(600);
  EXPECT_EQ(late.Document.Background(), 0xFFFFFFu);
  EXPECT_EQ(Tree(late.Body().Content()), u"hellox|");
  EXPECT_EQ(late.Sections().at(0)->Lines()[0].DrawWidth, 600 - 2 * kBodyX);
}

TEST(DocumentBuilder, BodyAppliesAfterWhiteSpaceAndHeadElements) {
  struct TCase {
    const char* Html;
    bool Applies;
  } const cases[] = {
      {"<body bgcolor=#ff0000>x", true},
      {"<html>\n<head>\n<title>t</title>\n</head>\n<body bgcolor=#ff0000>x", true},
      {"<!DOCTYPE html>\r\n<html>\t<head> </head>  <body bgcolor=#ff0000>x", true},
      {"<head>\n<meta charset=utf-8>\n<link rel=icon href=i.ico>\n<base href=\"http://h/\">\n<!-- c -->\n"
       "<script>var a = 1;</script>\n</head>\n<body bgcolor=#ff0000>x",
       true},
      {"<head>\n<style>body { background: #ff0000 }</style>\n</head>\n<body>x", true},
      // Visible text or an object before BODY is content: BODY no longer applies.
      {"<head></head>\nhello\n<body bgcolor=#ff0000>x", false},
      {"\n<img src=nope.png>\n<body bgcolor=#ff0000>x", false},
      {"<p>p</p>\n<body bgcolor=#ff0000>x", false},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(300);
    EXPECT_EQ(document.Document.Background() & 0xFFFFFF, c.Applies ? 0x0000FFu : 0xFFFFFFu) << c.Html;
  }
  // The BODY element itself matches rules: a class selector and the body's own margin.
  for (const char* html : {"<html>\n<head><style>body.x p { margin-left: 33px }</style></head>\n<body class=x><p>x",
                           "<html>\n<head><style>body { margin-left: 43px }</style></head>\n<body><p>x"}) {
    TTestDocument document(html);
    document.LayOut(300);
    EXPECT_EQ(Blocks(document.Body().Content()).at(0)->LeftX, 43) << html;
  }
}

TEST(DocumentBuilder, ListMarkers) {
  struct TCase {
    const char* Html;
    int Marker;  // of the last item: 1 circle, 2 decimal, 3 disc, 4 a, 5 i, 6 none, 7 square, 8 A, 9 I
    const char* Text;
  } const cases[] = {
      {"<ul><li>x</ul>", 3, ""},
      {"<ul><li><ul><li>x</ul></ul>", 1, ""},
      {"<ul><li><ul><li><ul><li>x</ul></ul></ul>", 7, ""},
      // A named marker holds at any level, and only for its own list.
      {"<ul type=square><li>x</ul>", 7, ""},
      {"<ul type=SQUARE><li>a<li>x</ul>", 7, ""},
      {"<ul type=circle><li>x</ul>", 1, ""},
      {"<ul><li><ul type=disc><li>x</ul></ul>", 3, ""},
      {"<ul type=square><li><ul><li>x</ul></ul>", 1, ""},
      {"<ul type=none><li>x</ul>", 6, ""},
      {"<ul type=triangle><li>x</ul>", 3, ""},
      {"<ol start=8><li>a<li>b<li>x</ol>", 2, "10."},
      {"<ol type=a><li>a<li>x</ol>", 4, "b."},
      {"<ol type=I><li>a<li>x</ol>", 9, "II."},
      {"<li>x", 3, ""},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    std::vector<const TBlockLI*> items;
    std::function<void(const TCellBasic&)> collect = [&](const TCellBasic& list) {
      for (TBlock* block : Blocks(list)) {
        if (auto* item = dynamic_cast<const TBlockLI*>(block)) items.push_back(item);
        collect(block->Content());
      }
    };
    collect(document.Body().Content());
    ASSERT_FALSE(items.empty()) << c.Html;
    EXPECT_EQ(items.back()->ListType(), c.Marker) << c.Html;
    EXPECT_EQ(items.back()->MarkerText(), c.Text) << c.Html;
  }
}

TEST(DocumentBuilder, ManyLinksTurnOffTabStops) {
  const auto repeat = [](int times, const std::string& piece) {
    std::string html;
    for (int i = 0; i < times; ++i) html += piece;
    return html;
  };
  const struct {
    std::string Html;
    bool ManyLinks;
  } cases[] = {
      {repeat(400, "<a href=\"#x\">l</a> "), false},
      {repeat(401, "<a href=\"#x\">l</a> "), true},
      // Links in other spellings: upper case, a line break or a tab after the name, the last one at
      // the end of the text.
      {repeat(400, "<A\nHREF=#x>l</A> ") + "<a href=#y>", true},
      {repeat(200, "<a\thref=#x>l</a>") + repeat(201, "<a href=#x\n>m</a>"), true},
      // Other attributes before the address, one with a ">" in its quoted value.
      {repeat(401, "<a class=c title='x>y' HRef=\"#x\">l</a>"), true},
      {repeat(401, "<a class=c title='x>y href=#x'>l</a>"), false},
      // More places that look like links than 400, but 400 links at most.
      {repeat(400, "<a href=#x>l</a>") + repeat(50, "<a name=n>t</a>"), false},
      {repeat(500, "<abbr>a</abbr><address>b</address><area href=#x>"), false},
      {repeat(401, "<!-- <a href=#x> -->"), false},
  };
  for (const auto& c : cases) {
    TTestDocument document(c.Html);
    EXPECT_EQ(document.Document.State.ManyLinks, c.ManyLinks) << c.Html.substr(0, 80);
  }
}

TEST(DocumentBuilder, TitleBaseAndStyleSheets) {
  const TParseResult result = [] {
    TSectionList document;
    return LoadHtmlDocument(document,
                            "<title>The &amp; title</title><base href=\"http://h/x/\" target=main>"
                            "<style>p { margin-left: 33px }</style><p>x",
                            TDocumentDefaults{});
  }();
  EXPECT_EQ(result.Title, QStringLiteral("The & title"));
  EXPECT_EQ(result.BaseUrl, "http://h/x/");
  EXPECT_EQ(result.BaseTarget, "main");
  TTestDocument styled("<style>p { margin-left: 33px }</style><p>x");
  styled.LayOut(300);
  EXPECT_EQ(Blocks(styled.Body().Content()).at(0)->LeftX, kBodyX + 33);
}

// Controls for the tests: every control is 40 by 20 pixels.
class TFakeControl final : public TFormControlObj {
 public:
  TFakeControl(TSectionList* document, ThtmlForm* form, std::string kind)
      : TFormControlObj(document, form), Kind(std::move(kind)) {}
  int Width() const override { return 40; }
  int Height() const override { return 20; }
  void SetWidth(int) override {}
  void ShowAt(int, int) override {}
  void Hide() override {}
  void PaintAt(QPainter&, int, int) override {}
  bool GetSubmission(int, QString&) override { return false; }
  void SetData(int, const QString&) override {}
  std::string Kind;
  std::vector<std::string> Options;
};

class TFakeFactory final : public TFormControlFactory {
 public:
  TFormControlObj* CreateControl(TagSymbol symbol, TSectionList& document, ThtmlForm& form, TProperties&,
                                 const TAttributeList&, TCodePageConverter&) override {
    auto& control = form.InsertControl(std::make_unique<TFakeControl>(&document, &form, std::string(ElementName(symbol))));
    Made.push_back(static_cast<TFakeControl*>(&control));
    return &control;
  }
  void AddOption(TFormControlObj& control, const QString& text, const std::optional<QString>&, bool selected,
                 const std::vector<std::string>&) override {
    static_cast<TFakeControl&>(control).Options.push_back(text.toStdString() + (selected ? "*" : ""));
  }
  void OptionsComplete(TFormControlObj&) override {}
  TTextAreaContent* TextAreaOf(TFormControlObj&) override { return nullptr; }
  std::vector<TFakeControl*> Made;
};

TEST(DocumentBuilder, FormControlsTakeTheirPlaceInLines) {
  TFakeFactory factory;
  TBuilderHandlers handlers;
  handlers.FormControls = &factory;
  // An unclosed SELECT ends at the INPUT after it, and the INPUT is kept.
  TTestDocument document("a<select><option>one<option selected>two</select>b<select><option>x<input>c", true,
                         handlers);
  document.LayOut(400);
  ASSERT_EQ(factory.Made.size(), 3u);
  EXPECT_EQ(factory.Made[0]->Kind, "select");
  EXPECT_EQ(factory.Made[0]->Options, (std::vector<std::string>{"one", "two*"}));
  EXPECT_EQ(factory.Made[1]->Options, std::vector<std::string>{"x"});
  EXPECT_EQ(factory.Made[2]->Kind, "input");
  const TSection& section = *document.Sections().at(0);
  EXPECT_EQ(section.Text(), u"a\u0002b\u0002\u0002c ");
  // Controls sit on the baseline of their line, which grows to hold them.
  EXPECT_EQ(section.Lines().at(0).SpaceBefore, 20 + 2 - test::kLineHeight);
}

}  // namespace
}  // namespace corvane
