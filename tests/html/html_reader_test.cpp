#include "html/html_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <thread>

#include "html/code_pages.h"
#include "html/id_name_list.h"
#include "reader_test_support.h"

namespace corvane {
namespace {

using test::ReadTokens;
using test::Texts;
using S = TagSymbol;

struct TTokensCase {
  std::string Html;
  std::string Tokens;  // as test::Texts shows them
};

TEST(HtmlReaderTest, TokenStreams) {
  const TTokensCase cases[] = {
      {"a < b", "a |<| b"},
      {"<?xml version='1.0'?>x", "<?>|x"},
      {"<H2 align=center>x</h2>", "<h2>|x|</h2>"},
      {"<H7>x", "<?>|x"},
      {"<h>x", "<h>|x"},
      {"<br/><BR />", "<br>|<br>"},
      {"</li></BR><//a>", "<?>|<?>|<?>"},
      {"<<b>", "<|<b>"},
      {"a<", "a|<"},
      {"<b>x</b >", "<b>|x|</b>"},
      {"<table_x><x1>", "<?>|<?>"},
      // Names read again (as the element cache answers them), longer ones and near ones.
      {"<td><tdx></td><TD><t><blockquote></BLOCKQUOTE><blockquot><td></tdx>", "<td>|<?>|</td>|<td>|<?>|<blockquote>|</blockquote>|<?>|<td>|<?>"},
      {"<b unterminated", "<b>"},
      // Line ends and tabs in text are one space each run; TAB, CR and LF read as spaces.
      {"a\r\n\tb", "a b"},
      {" \n x", " x"},
      // Control characters 1..8 end a text and read as "?".
      {"a\x01" "b\x08", "a|?b|?"},
  };
  for (const TTokensCase& c : cases) EXPECT_EQ(Texts(ReadTokens(c.Html)), c.Tokens) << c.Html;
}

TEST(HtmlReaderTest, TextAndTagsCarrySourceIndices) {
  const auto tokens = ReadTokens("a < b<p>\r\n x&amp;y\x02z");
  ASSERT_EQ(Texts(tokens), "a |<| b|<p>| x&y|?z");
  EXPECT_EQ(tokens[0].Indices, (std::vector<int>{0, 1}));
  EXPECT_EQ(tokens[1].Indices, (std::vector<int>{2}));
  EXPECT_EQ(tokens[2].Indices, (std::vector<int>{3, 4}));
  EXPECT_EQ(tokens[3].TagPosition, 5);
  EXPECT_EQ(tokens[4].Indices, (std::vector<int>{8, 11, 12, 17}));  // one space for CR LF and " "
  EXPECT_EQ(tokens[5].Indices, (std::vector<int>{18, 19}));
}

// Without source positions the reader gives the same tokens, texts and attributes, and keeps no index.
TEST(HtmlReaderTest, WithoutPositionsTheTokensStayTheSame) {
  struct TCase {
    std::string Html;
    int CodePage;
  };
  const std::string longText = "<td>" + std::string(70000, 'w') + " \xC3\xA9&amp;x" + std::string(70000, 'v') + "</td>";
  const TCase cases[] = {
      {"a < b<p>\r\n x&amp;y\x02z", kCodePageUtf8},
      {"<td class=\"a&lt;b\" rowspan=2>caf\xC3\xA9 &#x1F600; &notit; \xF0\x9F\x98\x80</td>", kCodePageUtf8},
      {"<p>\xE9t\xE9 \x80 &euro;&#150;<br/>", kCodePageWindows1252},
      {"\xC3 broken \xE2\x82 utf-8 \xFF", kCodePageUtf8},
      {longText, kCodePageUtf8},
  };
  for (const TCase& c : cases) {
    THtmlReader kept(c.Html, c.CodePage);
    THtmlReader plain(c.Html, c.CodePage);
    plain.SetKeepPositions(false);
    EXPECT_FALSE(plain.KeepPositions());
    const auto expected = ReadTokens(kept);
    const auto tokens = ReadTokens(plain);
    ASSERT_EQ(tokens.size(), expected.size()) << c.Html.substr(0, 60);
    for (std::size_t k = 0; k < tokens.size(); ++k) {
      EXPECT_EQ(tokens[k].Symbol, expected[k].Symbol) << k;
      EXPECT_EQ(tokens[k].Text, expected[k].Text) << k;
      EXPECT_EQ(tokens[k].Attributes, expected[k].Attributes) << k;
      EXPECT_EQ(tokens[k].TagPosition, expected[k].TagPosition) << k;
      EXPECT_TRUE(tokens[k].Indices.empty()) << k;
      if (expected[k].Symbol == S::SymText) {
        EXPECT_FALSE(expected[k].Indices.empty()) << k;
      }
    }
  }
}

TEST(HtmlReaderTest, LineEndsFoldToOneCr) {
  struct TCase {
    std::string Text, Chars;
    std::vector<int> Positions;
  };
  const TCase cases[] = {
      {"a\r\nb", "a\rb", {0, 1, 3}},       {"a\n\rb", "a\rb", {0, 1, 3}},
      {"a\rb", "a\rb", {0, 1, 2}},         {"a\nb", "a\rb", {0, 1, 2}},
      {"a\r\n\r\nb", "a\r\rb", {0, 1, 3, 5}}, {"a\r\rb", "a\r\rb", {0, 1, 2, 3}},
      {"a\n\nb", "a\r\rb", {0, 1, 2, 3}},  {"a\r\n\nb", "a\r\rb", {0, 1, 3, 4}},
      {"a\tb", "a b", {0, 1, 2}},
  };
  for (const TCase& c : cases) {
    const test::TRawChars raw = test::ReadRawChars(c.Text);
    EXPECT_EQ(raw.Chars, c.Chars);
    EXPECT_EQ(raw.Positions, c.Positions);
  }
}

TEST(HtmlReaderTest, CommentsDeclarationsAndServerBlocksAreSkipped) {
  const TTokensCase cases[] = {
      {"x<!-- a -- b -->y", "xy"},
      {"x<!-- a - b -->y", "xy"},
      {"x<!-- a -- >y", "xy"},
      {"x<!-- a --->y", "xy"},
      {"x<!-- a --!>y", "xy"},
      {"x<!---->y", "xy"},
      {"<!DOCTYPE html>y", "y"},
      {"x<!-x>y", "xy"},
      {"x<% if a > b %>y", "xy"},
      {"x<%>y", "xy"},
      {"x<% open", "x"},
      {"x<!--#include file=a -->y", "xy"},  // no include handler: a comment
  };
  for (const TTokensCase& c : cases) EXPECT_EQ(Texts(ReadTokens(c.Html)), c.Tokens) << c.Html;

  const auto tokens = ReadTokens("ab<!-- c -->d");
  EXPECT_EQ(tokens[0].Indices, (std::vector<int>{0, 1, 12}));
}

TEST(HtmlReaderTest, OpenCommentEndsTheParseWithItsError) {
  for (const std::string html : {"x<!-- y", "x<!-- y --", "x<!DOCTYPE", "<b title='<!-- y'>"}) {
    THtmlReader reader(html);
    try {
      for (reader.Start(); reader.Symbol() != S::SymEof;) reader.NextToken();
      ADD_FAILURE() << "no error for " << html;
    } catch (const THtmlParseError& error) {
      EXPECT_STREQ(error.what(), "Open Comment at End of HTML File");
    }
    // Reading on gives the end of the text, not the error again.
    reader.NextToken();
    EXPECT_EQ(reader.Symbol(), S::SymEof);
  }
}

TEST(HtmlReaderTest, PlainTextReadsMarkupLiterally) {
  THtmlReader reader("a<!--b--><%c%>");
  reader.SetRawContent(true);
  std::string chars;
  for (reader.NextChar(); reader.RawChar() != '\0'; reader.NextChar()) chars += reader.RawChar();
  EXPECT_EQ(chars, "a<!--b--><%c%>");
}

// A text read where it lies gives the tokens of its copy, and stays as it was, also when reading it
// needs it changed.
TEST(HtmlReaderTest, ABorrowedTextReadsAsItsCopy) {
  const std::string cases[] = {
      "<p class=x>caf\xC3\xA9 &amp; <b>bold</b></p>",
      "a" + std::string(3, '\0') + "b<td>c",
      "a" + std::string(101, '\0') + "b",
      "\xEF\xBB\xBF<p>marked \xC3\xA9",
      "<meta charset=euc-jp><p>\xA4\xA2\xA4\xA4 x",
      "<p>\x1B$B$\"$$\x1B(B x</p>",
      "<p>" + std::string(9000, 'w') + " &lt; " + std::string(70000, 'v'),
  };
  for (const std::string& html : cases) {
    const std::string before = html;
    THtmlReader copy{std::string(html)};
    THtmlReader borrowed{TBorrowedText{html}};
    const auto expected = ReadTokens(copy);
    const auto tokens = ReadTokens(borrowed);
    EXPECT_EQ(Texts(tokens), Texts(expected)) << html.substr(0, 60);
    EXPECT_EQ(borrowed.Text(), copy.Text()) << html.substr(0, 60);
    EXPECT_TRUE(html == before) << html.substr(0, 60);
  }
}

// Passing over the attributes of tags whose attributes are not wanted ends each tag where reading them
// does: the tokens after it are the same.
TEST(HtmlReaderTest, AttributesPassedOverEndWhereReadOnesEnd) {
  const std::string cases[] = {
      "<p class=\"a>b\" id='c\"d'>x</p><td colspan=2 rowspan=\"3\" title='t>'>y",
      "<p width=50 %>a<p width=50%>b<p width=-3x>c<p width= +7 % >d",
      "<p title=\"&quot;>&gt;&#34;\" alt='&#x27;'>e<td title=\"&quot;>\">f",
      "<p a=x&amp;y>g<p b=&>h<p c=\"&\">i",
      "<p title=\"line\r\nbreak\n\">j<p data-x=\"<!-- c -->\">k",
      "<p style=\"" + std::string(9000, 's') + "\">l<td rowspan=" + std::string(5000, '9') + ">m",
      "<p a b=c d = 'e' f=\"never closed>n<td>o",
      "<p\ta\r=\rb\n>p</p a=b><br/ c=d>q<?xml v=1?>r",
  };
  for (const std::string& html : cases) {
    THtmlReader all(html);
    THtmlReader some(html);
    some.SetAttributesOf({S::SymTd}, {S::SymRowspan, S::SymTitle});
    const auto expected = ReadTokens(all);
    const auto tokens = ReadTokens(some);
    // A TD's ROWSPAN and TITLE as read; its other attributes without their values.
    const auto wanted = [](const std::vector<std::string>& attributes) {
      std::vector<std::string> kept;
      for (const std::string& attribute : attributes)
        kept.push_back(attribute.starts_with("ROWSPAN=") || attribute.starts_with("TITLE=")
                           ? attribute
                           : attribute.substr(0, attribute.find('=')) + "=|0");
      return kept;
    };
    ASSERT_EQ(tokens.size(), expected.size()) << html.substr(0, 60);
    for (std::size_t k = 0; k < tokens.size(); ++k) {
      EXPECT_EQ(tokens[k].Symbol, expected[k].Symbol) << k;
      EXPECT_EQ(tokens[k].Text, expected[k].Text) << k;
      EXPECT_EQ(tokens[k].TagPosition, expected[k].TagPosition) << k;
      if (tokens[k].Symbol == S::SymTd)
        EXPECT_EQ(tokens[k].Attributes, wanted(expected[k].Attributes)) << k;
      else
        EXPECT_TRUE(tokens[k].Attributes.empty()) << k;
    }
  }
}

// A text sink that keeps the characters it is given.
class TRecording final : public TTextSink {
 public:
  void AddChar(char16_t c) override { Text.push_back(c); }
  void AddBytes(std::string_view bytes, int codePage, TCodePageConverter& converter) override {
    const std::size_t at = Text.size();
    Text.resize(at + 2 * bytes.size());
    Text.resize(static_cast<std::size_t>(converter.WriteUtf16(bytes, codePage, Text.data() + at) - Text.data()));
  }
  std::u16string Text;
};

// A sink gets a text token's characters in place of the token: the same characters, in pieces.
TEST(HtmlReaderTest, ASinkGetsTheTextOfTheTokens) {
  const std::pair<std::string, int> cases[] = {
      {"a < b<p>\r\n x&amp;y\x02z &#150;&#x1F600; &notit; \xF0\x9F\x98\x80", kCodePageUtf8},
      {"<p>\xE9t\xE9 \x80 &euro;&#150;<br/>\xC3", kCodePageWindows1252},
      {"<td>" + std::string(70000, 'w') + " \xC3\xA9&amp;x" + std::string(70000, 'v') + "</td>", kCodePageUtf8},
  };
  for (const auto& [html, codePage] : cases) {
    std::vector<std::string> expected;
    for (const test::TReadToken& token : ReadTokens(html, codePage))
      if (token.Symbol == S::SymText) expected.push_back(token.Text);
    THtmlReader reader(html, codePage);
    TRecording sink;
    reader.SetTextSink(&sink);
    std::vector<std::string> texts;
    for (reader.Start(); reader.Symbol() != S::SymEof; reader.NextToken()) {
      if (reader.Symbol() != S::SymText) continue;
      EXPECT_TRUE(reader.Token().Empty());
      texts.push_back(test::Utf8(QString::fromUtf16(sink.Text.data(), static_cast<qsizetype>(sink.Text.size()))));
      sink.Text.clear();
    }
    EXPECT_TRUE(texts == expected) << html.substr(0, 60);
  }
}

TEST(HtmlReaderTest, NulBytes) {
  std::string text = "a" + std::string(100, '\0') + "b" + std::string(1, '\0') + "c";
  THtmlReader reader(text);
  EXPECT_EQ(reader.Text(), "a" + std::string(100, ' ') + "b");

  THtmlReader few(std::string("a\0b", 3));
  EXPECT_EQ(few.Text(), "a b");
}

TEST(HtmlReaderTest, Utf8MarkIsPassedOver) {
  THtmlReader reader("\xEF\xBB\xBF" "ab\xC3\xA9", kCodePageWindows1252);
  EXPECT_TRUE(reader.Utf8MarkSeen());
  EXPECT_EQ(reader.DocumentCodePage(), kCodePageUtf8);
  EXPECT_EQ(reader.Position(), 2);
  const auto tokens = ReadTokens(reader);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].Text, "ab\xC3\xA9");
  EXPECT_EQ(tokens[0].Indices, (std::vector<int>{3, 4, 5}));

  // A text of the mark alone is not taken for one.
  THtmlReader mark("\xEF\xBB\xBF");
  EXPECT_FALSE(mark.Utf8MarkSeen());
}

struct TAttributeCase {
  std::string Tag;
  std::vector<std::string> Attributes;  // "NAME=text|value"
};

TEST(HtmlReaderTest, AttributeValues) {
  const TAttributeCase cases[] = {
      {"<td nowrap>", {"NOWRAP=|0"}},
      {"<table border>", {"BORDER=|1"}},
      {"<table border=0>", {"BORDER=0|0"}},
      {"<td width='50%'>", {"WIDTH=50%|50"}},
      {"<td width=50%>", {"WIDTH=50%|50"}},
      {"<td width=50 %>", {"WIDTH=50%|50"}},
      {"<td width='100px'>", {"WIDTH=100px|100"}},
      {"<td width=-5px>", {"WIDTH=-5px|5"}},
      {"<td width=\" 12.5px \">", {"WIDTH= 12.5px |125"}},
      {"<td width=2.5 height=3.5>", {"WIDTH=2.5|2", "HEIGHT=3.5|4"}},
      {"<a href=x.htm target = _top>", {"HREF=x.htm|0", "TARGET=_top|0"}},
      {"<a href=\"a>b\" x-y=1>", {"HREF=a>b|0", "X-Y=1|1"}},
      {"<a title='a\r\nb' name='a\r\nb' alt=\"c\nd\">", {"TITLE=a\r\nb|0", "NAME=ab|0", "ALT=c\r\nd|0"}},
      {"<a href=x/>", {"HREF=x/|0"}},
      {"<a =x b>", {}},
      {"<a href>", {"HREF=|0"}},
      {"<img src='open", {"SRC=open|0"}},
      // Line ends after text, tabs, a comment and a reference inside a quoted value.
      {"<a title='ab\r\ncd\n\ref' name='x\ty<!-- c -->z&amp;w'>", {"TITLE=ab\r\ncd\r\nef|0", "NAME=x yz&w|0"}},
      {"<a title='a\rbc\nd'>", {"TITLE=a\r\nbc\r\nd|0"}},
      // Values longer than the reader takes at once, a line end in the middle.
      {"<a title='" + std::string(5000, 'a') + "\r\n" + std::string(5000, 'b') + "' href=\"" + std::string(9000, 'c') + "\">",
       {"TITLE=" + std::string(5000, 'a') + "\r\n" + std::string(5000, 'b') + "|0", "HREF=" + std::string(9000, 'c') + "|0"}},
  };
  for (const TAttributeCase& c : cases) {
    const auto tokens = ReadTokens(c.Tag);
    ASSERT_FALSE(tokens.empty()) << c.Tag;
    EXPECT_EQ(tokens[0].Attributes, c.Attributes) << c.Tag;
  }
}

TEST(HtmlReaderTest, AttributeSymbolsAndCodePages) {
  THtmlReader reader("<a HREF=x data-x=1 Style=\"color:red\">", kCodePageWindows1252);
  reader.Start();
  const TAttributeList& attributes = reader.Attributes();
  ASSERT_EQ(attributes.Count(), 3);
  EXPECT_EQ(attributes[0].Symbol, S::SymHref);
  EXPECT_EQ(attributes[1].Symbol, S::SymUnknownAttr);
  EXPECT_EQ(attributes[1].AttrName, "DATA-X");
  EXPECT_EQ(attributes[2].Symbol, S::SymStyleAttr);
  EXPECT_EQ(attributes[2].CodePage, kCodePageWindows1252);
}

TEST(HtmlReaderTest, IntegerValues) {
  const std::pair<std::string, int> cases[] = {
      {"50%", 50},   {"100px", 100}, {"-5px", 5},         {"12.5px", 125}, {"2.5", 2},     {"3.5", 4},
      {"-2.5", -2},  {"0.5", 0},     {"0.51", 1},         {"+7", 7},       {"", 0},        {"+", 0},
      {"-", 0},      {"abc", 0},     {"1e3", 1000},       {".5", 0},       {" 42 ", 42},   {"5.", 5},
      {"1e", 1},     {"99999999999", INT_MAX}, {"-1e30", INT_MIN}, {"1e999", INT_MAX}, {"12%%", 12},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(AttributeIntegerValue(text), value) << text;
}

TEST(HtmlReaderTest, AttributeListQueries) {
  THtmlReader reader("<p class=' Zeta alpha  Mid ' id='Top' title=T style='x'>");
  reader.Start();
  TAttributeList& attributes = reader.Attributes();
  EXPECT_EQ(attributes.ClassName(), "alpha.mid.zeta");
  EXPECT_EQ(attributes.Id(), "top");
  EXPECT_EQ(attributes.Title(), "T");
  EXPECT_EQ(attributes.NameValueList(), (std::vector<std::string>{"CLASS= Zeta alpha  Mid ", "ID=Top", "TITLE=T", "STYLE=x"}));
  EXPECT_EQ(attributes.StyleProperties(), nullptr);  // no inline style parser plugged in
  attributes.Clear();
  EXPECT_EQ(attributes.Id(), "");
}

TEST(HtmlReaderTest, IdsRegisterAtTheirPosition) {
  TIDNameList ids;
  THtmlReader reader("<p id=First>x<a id=''><b ID=second>");
  reader.SetIdList(&ids);
  ReadTokens(reader);
  EXPECT_EQ(ids.Count(), 2);
  const auto* first = dynamic_cast<TChPosObj*>(ids.Find("FIRST"));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->SourcePosition(), 11);  // the position after the value: its ">"

  // The link pre-scan registers nothing.
  TIDNameList none;
  THtmlReader scan("<p id=x>");
  scan.SetIdList(&none);
  scan.SetScanOnly(true);
  ReadTokens(scan);
  EXPECT_EQ(none.Count(), 0);
}

TEST(HtmlReaderTest, ScanOnlyConsumesWithoutCollecting) {
  THtmlReader reader("ab &amp; <a href=x>c");
  reader.SetScanOnly(true);
  const auto tokens = ReadTokens(reader);
  EXPECT_EQ(Texts(tokens), "|<a>|");
  EXPECT_EQ(tokens[1].Attributes, (std::vector<std::string>{"HREF=x|0"}));
  reader.SetScanOnly(false);
  reader.Rewind();
  EXPECT_EQ(Texts(ReadTokens(reader)), "ab & |<a>|c");
}

class TLines : public TTextAreaContent {
 public:
  std::vector<std::string> lines;
  int completed = 0;
  void AddLine(const QString& line) override { lines.push_back(test::Utf8(line)); }
  void ContentComplete() override { ++completed; }
};

TEST(HtmlReaderTest, TextAreaContentGoesToTheControlLineByLine) {
  TLines control;
  THtmlReader reader("<textarea>a &lt;b&gt; <b>\r\nx <!-- c --></TEXTAREA >z", kCodePageUtf8);
  const auto tokens = ReadTokens(reader, &control);
  EXPECT_EQ(Texts(tokens), "<textarea>|z");
  EXPECT_EQ(control.lines, (std::vector<std::string>{"a <b> <b>\r\n", "x "}));
  EXPECT_EQ(control.completed, 1);

  TLines open;
  THtmlReader unterminated("<textarea>a\r\n", kCodePageUtf8);
  ReadTokens(unterminated, &open);
  EXPECT_EQ(open.lines, (std::vector<std::string>{"a\r\n"}));
  EXPECT_EQ(open.completed, 1);

  TLines windows;
  THtmlReader latin("<textarea>\xE9&eacute;</textarea>", kCodePageWindows1252);
  ReadTokens(latin, &windows);
  EXPECT_EQ(windows.lines, (std::vector<std::string>{"\xC3\xA9\xC3\xA9"}));
}

TEST(HtmlReaderTest, ScriptContentGoesToTheScriptHandler) {
  struct TScript {
    std::string name, language, text;
  };
  std::vector<TScript> scripts;
  THtmlReaderHandlers handlers;
  handlers.Script = [&](const std::string& name, const std::string& language, const std::string& text) {
    scripts.push_back({name, language, text});
  };
  THtmlReader reader(
      "<script language=JavaScript name=s>if (a<b && c) {\r\n<!-- x -->\r\n s='<b>'; }</SCRIPT >y"
      "<script>< /x</scriptx></script\r\n>z");
  reader.SetHandlers(handlers);
  EXPECT_EQ(Texts(ReadTokens(reader)), "<script>|y|<script>|z");
  ASSERT_EQ(scripts.size(), 2u);
  EXPECT_EQ(scripts[0].name, "s");
  EXPECT_EQ(scripts[0].language, "JavaScript");
  EXPECT_EQ(scripts[0].text, "if (a<b && c) {\r\n<!-- x -->\r\n s='<b>'; }");
  EXPECT_EQ(scripts[1].text, "< /x</scriptx>");

  // Without a handler the script is read and dropped.
  EXPECT_EQ(Texts(ReadTokens("<script>a<b>c</script>d")), "<script>|d");
  EXPECT_EQ(Texts(ReadTokens("<script>a")), "<script>");
}

TEST(HtmlReaderTest, StyleContentGoesToTheStyleSheetParser) {
  std::string sheet;
  char first = 0;
  THtmlReaderHandlers handlers;
  handlers.Style = [&](char current, const std::function<char()>& next) {
    first = current;
    char c = next();
    for (; c != '\0' && c != '<'; c = next()) sheet += c;
    return c;
  };
  THtmlReader reader("<style type=text/css>\r\np {x}\r\n</style>a");
  reader.SetHandlers(handlers);
  EXPECT_EQ(Texts(ReadTokens(reader)), "<style>|</style>|a");
  EXPECT_EQ(first, '>');
  EXPECT_EQ(sheet, "\rp {x}\r");

  // The parser reads raw characters: comments are its own business.
  sheet.clear();
  handlers.Style = [&](char, const std::function<char()>& next) {
    char c = next();
    for (; c != '\0'; c = next()) sheet += c;
    return c;
  };
  THtmlReader comment("<style><!-- p --></style>");
  comment.SetHandlers(handlers);
  ReadTokens(comment);
  EXPECT_EQ(sheet, "<!-- p --></style>");

  EXPECT_EQ(Texts(ReadTokens("<style>p {x}</style>a")), "<style>|</style>|a");
}

TEST(HtmlReaderTest, IncludeDirectivesInsertTheHandlersText) {
  std::vector<std::string> calls;
  THtmlReaderHandlers handlers;
  handlers.Include = [&](const std::string& command, std::vector<std::string> parameters) {
    std::string call = command;
    for (const std::string& parameter : parameters) call += " " + parameter;
    calls.push_back(call);
    if (command == "outer") return std::string("[<!--#inner-->]");
    if (command == "inner") return std::string("in\r\nner");
    return std::string();
  };
  THtmlReader reader("a<!--#echo var=\"x&amp;y\" file='a\rb' flag size=-1 -->b<!--#outer -->c");
  reader.SetHandlers(handlers);
  const auto tokens = ReadTokens(reader);
  EXPECT_EQ(Texts(tokens), "ab[in ner]c");
  EXPECT_EQ(calls, (std::vector<std::string>{"echo var=x&y file=a b flag= size=", "outer", "inner"}));
  // Inserted characters take the position of the last character of the text itself.
  EXPECT_EQ(tokens[0].Indices, (std::vector<int>{0, 52, 66, 66, 66, 66, 66, 66, 66, 66, 67}));
}

TEST(HtmlReaderTest, IncludesThatIncludeThemselvesEnd) {
  int calls = 0;
  THtmlReaderHandlers handlers;
  handlers.Include = [&](const std::string&, std::vector<std::string>) {
    ++calls;
    return std::string("x<!--#again--><!--#again-->");
  };
  THtmlReader reader("<!--#again-->end");
  reader.SetHandlers(handlers);
  const auto tokens = ReadTokens(reader);
  EXPECT_EQ(calls, THtmlReader::kMaxIncludes);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_TRUE(tokens[0].Text.ends_with("xend"));
}

TEST(HtmlReaderTest, ProgressIsReportedEvery4096Bytes) {
  std::vector<int> reports;
  THtmlReaderHandlers handlers;
  handlers.Progress = [&](TProgressStage stage, int percent) {
    EXPECT_EQ(stage, TProgressStage::Running);
    reports.push_back(percent);
  };
  handlers.ProgressScale = 75;
  THtmlReader reader(std::string(10000, 'x'));
  reader.SetHandlers(handlers);
  ReadTokens(reader);
  EXPECT_EQ(reports, (std::vector<int>{30, 61}));
}

// Inputs that are all one construct, unterminated or repeated, are read in one pass without error
// beyond the open-comment one. (A reader that went back over its text would time the test out.)
TEST(HtmlReaderTest, PathologicalInputsEnd) {
  const std::size_t n = 256 * 1024;
  const auto repeat = [n](const std::string& piece) {
    std::string text;
    while (text.size() < n) text += piece;
    return text;
  };
  const std::string inputs[] = {
      repeat("<"),   "<a " + repeat("b "),         repeat("&#"),       repeat("&#x"),  repeat("<!x>"),
      repeat("<%"),  "<p title='" + repeat("&a"), repeat("\r\n\t"), repeat("<b>"), "<script>" + repeat("<a"),
      "<textarea>" + repeat("<"), "<!--" + repeat("-"), repeat("\x01"), repeat("</"), repeat("<h1"),
  };
  for (const std::string& text : inputs) {
    THtmlReader reader(text);
    std::size_t tokens = 0;
    try {
      for (reader.Start(); reader.Symbol() != S::SymEof; reader.NextToken()) {
        ++tokens;
        EXPECT_LE(reader.Attributes().Count(), THtmlReader::kMaxAttributes);
        reader.ReadRawContent();
      }
    } catch (const THtmlParseError&) {
    }
    EXPECT_LE(tokens, text.size()) << text.substr(0, 12);
  }
}

TEST(HtmlReaderTest, ReadersShareNothing) {
  std::string html;
  for (int i = 0; i < 2000; ++i) html += "<p class=c" + std::to_string(i) + ">t&amp;" + std::to_string(i) + "<!-- c -->";
  const std::string expected = Texts(ReadTokens(html));
  std::string first, second;
  std::thread a([&] { first = Texts(ReadTokens(html)); });
  std::thread b([&] { second = Texts(ReadTokens(html, kCodePageWindows1252)); });
  a.join();
  b.join();
  EXPECT_EQ(first, expected);
  EXPECT_EQ(second, expected);
}

TEST(HtmlReaderTest, DeclaredCharsetOfAPage) {
  struct TCase {
    std::string Declaration;
    bool Utf8;
    std::optional<int> CharSet;
  } const cases[] = {
      {"", false, std::nullopt},
      {"\xEF\xBB\xBF", true, std::nullopt},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">", false, 204},
      {"<META CHARSET=iso-8859-2>", false, kCharSetIso8859_2},
      {"<meta charset=\"UTF-8\">", true, std::nullopt},
      // The last declaration counts; other META elements and unknown names say nothing.
      {"<meta charset=utf-8><meta charset=windows-1253>", false, 161},
      {"<meta name=author content=\"charset=1251\"><meta charset=klingon>", false, std::nullopt},
      // EUC-JP is met by transcoding a whole page, which a page's declaration alone cannot do.
      {"<meta charset=euc-jp>", false, std::nullopt},
      {"<meta charset=", false, std::nullopt},
  };
  for (const TCase& c : cases) {
    const TDeclaredCharset charset = DeclaredCharset(c.Declaration);
    EXPECT_EQ(charset.Utf8, c.Utf8) << c.Declaration;
    EXPECT_EQ(charset.CharSet, c.CharSet) << c.Declaration;
  }
}

// All the text tokens' source indices, one after another.
std::vector<int> TextIndices(const std::vector<test::TReadToken>& tokens) {
  std::vector<int> indices;
  for (const test::TReadToken& token : tokens)
    if (token.Symbol == S::SymText) indices.insert(indices.end(), token.Indices.begin(), token.Indices.end());
  return indices;
}

std::vector<int> Range(int from, int to) {
  std::vector<int> numbers;
  for (int k = from; k < to; ++k) numbers.push_back(k);
  return numbers;
}

struct TRunCase {
  std::string Html;
  int CodePage;
  std::string Tokens;        // as test::Texts shows them
  std::vector<int> Indices;  // of all the text tokens' characters
};

// Plain text bytes next to the bytes that end a run: references, blanks, line ends, control characters,
// NUL, bytes above 0x7F and multi-byte sequences whose trail byte is ASCII.
TEST(HtmlReaderTest, TextRunsMeetingOtherBytes) {
  const TRunCase cases[] = {
      {"ab&amp;cd", kCodePageUtf8, "ab&cd", {0, 1, 2, 7, 8}},
      {"a  b\t\tc ", kCodePageUtf8, "a b c ", {0, 1, 3, 4, 6, 7}},
      {"a\r\nb\n\rc\rd", kCodePageUtf8, "a b c d", {0, 1, 3, 4, 6, 7, 8}},
      {"x &lt;y", kCodePageUtf8, "x <y", {0, 1, 2, 6}},
      {"word \xC3\xA9t\xC3\xA9 x", kCodePageUtf8, "word \u00E9t\u00E9 x", {0, 1, 2, 3, 4, 5, 7, 8, 10, 11}},
      // A UTF-8 lead byte that ASCII follows reads as its Windows-1252 character.
      {"\xC3" "A \xE2\x82 b", kCodePageUtf8, "\u00C3A \u00E2\u201A b", {0, 1, 2, 3, 4, 5, 6}},
      {"ab\x01" "cd", kCodePageUtf8, "ab|?cd", {0, 1, 2, 3, 4}},
      {std::string("ab\0cd", 5), kCodePageUtf8, "ab cd", {0, 1, 2, 3, 4}},
      {"x<b>y</b>z", kCodePageUtf8, "x|<b>|y|</b>|z", {0, 4, 9}},
      {"\xEF\xBB\xBF" "ab c", kCodePageSystem, "ab c", {3, 4, 5, 6}},
      {"caf\xE9 \x80uro", kCodePageWindows1252, "caf\u00E9 \u20ACuro", {0, 1, 2, 3, 4, 5, 6, 7, 8}},
      // Shift_JIS: a trail byte can be an ASCII one ("\x83\x5C" is one character).
      {"a\x83\x5C" "b \x83", kCodePageShiftJis, "a\u30BDb \u0192", {0, 1, 3, 4, 5}},
      {"\x82\xA0&amp;x\x83\x5C", kCodePageShiftJis, "\u3042&x\u30BD", {0, 2, 7, 8}},
  };
  for (const TRunCase& c : cases) {
    const auto tokens = ReadTokens(c.Html, c.CodePage);
    EXPECT_EQ(Texts(tokens), c.Tokens) << c.Html;
    EXPECT_EQ(TextIndices(tokens), c.Indices) << c.Html;
  }
}

// A run of letters of every length up to a few blocks of sixteen bytes, then each kind of byte that
// ends a run, then more letters.
TEST(HtmlReaderTest, RunEndsAtEveryOffset) {
  struct TEnd {
    std::string Bytes;
    std::string Tokens;       // what the end reads as, with the "|" of any token it ends
    std::vector<int> Places;  // the indices of its characters, from its first byte
  };
  const TEnd ends[] = {
      {"&amp;", "&", {0}},       {"  ", " ", {0}},          {" \r\n", " ", {0}},
      {" x", " x", {0, 1}},      {" &amp;", " &", {0, 1}},  {"\xC3\xA9", "\u00E9", {0}},
      {"\xE9", "\u00E9", {0}},   {"\x01", "|?", {0}},       {"<b>", "|<b>|", {}},
      {" <b>", " |<b>|", {0}},   {"\r", " ", {0}},          {"\t", " ", {0}},
      {"\xF0\x9F\x98\x80", "\U0001F600", {0, 0}},
  };
  for (int length = 1; length <= 50; ++length) {
    for (const TEnd& end : ends) {
      std::string letters;
      for (int k = 0; k < length; ++k) letters += static_cast<char>('a' + k % 26);
      const std::string html = letters + end.Bytes + "yz";
      std::vector<int> indices = Range(0, length);
      for (int place : end.Places) indices.push_back(length + place);
      const int after = length + static_cast<int>(end.Bytes.size());
      indices.push_back(after);
      indices.push_back(after + 1);
      const auto tokens = ReadTokens(html);
      EXPECT_EQ(Texts(tokens), letters + end.Tokens + "yz") << html;
      EXPECT_EQ(TextIndices(tokens), indices) << html;
    }
  }
}

// Runs that cross the places where progress is reported: the same tokens and indices with a progress
// handler as without one, and one report per 4096 bytes.
TEST(HtmlReaderTest, RunsAcrossProgressReports) {
  const std::string tail = "ab&amp;c\xC3\xA9 d  e w w<b>f";
  for (int shift = 0; shift < 24; ++shift) {
    const std::string html = std::string(4080 + shift, 'x') + tail;
    const auto expected = ReadTokens(html);
    int reports = 0;
    THtmlReaderHandlers handlers;
    handlers.Progress = [&reports](TProgressStage, int) { ++reports; };
    handlers.ProgressScale = 100;
    THtmlReader reader(html, kCodePageUtf8);
    reader.SetHandlers(handlers);
    const auto tokens = ReadTokens(reader);
    EXPECT_EQ(reports, 1) << shift;
    EXPECT_EQ(Texts(tokens), std::string(4080 + shift, 'x') + "ab&c\u00E9 d e w w|<b>|f") << shift;
    EXPECT_EQ(TextIndices(tokens), TextIndices(expected)) << shift;
    const int start = 4080 + shift;
    std::vector<int> indices = Range(0, start + 2);
    for (int place : {2, 7, 8, 10, 11, 12, 14, 15, 16, 17, 18, 22}) indices.push_back(start + place);
    EXPECT_EQ(TextIndices(tokens), indices) << shift;
  }
}

// Random texts of the pieces that meet at the ends of runs. ASCII ones read in UTF-8 (widened at once)
// give the same tokens and indices as in Shift_JIS (converted); any ones give a sink, which takes the
// bytes to convert, the texts of the tokens.
TEST(HtmlReaderTest, RunsReadAsTheirConversion) {
  const std::vector<std::string> ascii = {"a",     "bc",  " ",    "  ",    "\r\n", "\t",   "&amp;", "&lt",
                                          "&#65;", "<b>", "</b>", "<",     "\x01", "x y ", "&",    "<!-- c -->",
                                          "0123456789abcdefghijklmnop", "<a href='x'>", "\n", "\r"};
  std::vector<std::string> any = ascii;
  for (const char* bytes : {"\xC3\xA9", "\xE9", "\xC3", "\xF0\x9F\x98\x80", "\xE2\x82", "\x80", "\xFF"})
    any.push_back(bytes);
  std::mt19937 random(20261210);
  const auto text = [&random](const std::vector<std::string>& pieces) {
    std::string html;
    const int count = static_cast<int>(random() % 40);
    for (int k = 0; k < count; ++k) html += pieces[random() % pieces.size()];
    return html;
  };
  for (int round = 0; round < 400; ++round) {
    const std::string html = text(ascii);
    const auto widened = ReadTokens(html, kCodePageUtf8);
    const auto converted = ReadTokens(html, kCodePageShiftJis);
    ASSERT_EQ(Texts(widened), Texts(converted)) << html;
    ASSERT_EQ(TextIndices(widened), TextIndices(converted)) << html;
  }
  for (int round = 0; round < 400; ++round) {
    const std::string html = text(any);
    for (int codePage : {kCodePageUtf8, kCodePageWindows1252}) {
      std::vector<std::string> expected;
      for (const test::TReadToken& token : ReadTokens(html, codePage))
        if (token.Symbol == S::SymText) expected.push_back(token.Text);
      THtmlReader reader(html, codePage);
      TRecording sink;
      reader.SetTextSink(&sink);
      std::vector<std::string> texts;
      for (reader.Start(); reader.Symbol() != S::SymEof; reader.NextToken()) {
        if (reader.Symbol() != S::SymText) continue;
        texts.push_back(test::Utf8(QString::fromUtf16(sink.Text.data(), static_cast<qsizetype>(sink.Text.size()))));
        sink.Text.clear();
      }
      ASSERT_EQ(texts, expected) << html;
    }
  }
}

// Tag and attribute names read again and again (as the name caches answer them), near ones, ones
// longer than the caches take, and mixed case.
TEST(HtmlReaderTest, NamesReadAgainKeepTheirSymbols) {
  const std::string html =
      "<td class=a CLASS=b classx=c clas=d background=e bgcolor=f colspan=2 rowspan=3 Id=g>"
      "<td class=h clas=i><Td ROWSPAN=4 bgcolor=j><address><ADDRESSX><addres><address>";
  THtmlReader reader(html, kCodePageUtf8);
  struct TExpected {
    TagSymbol Symbol;
    std::vector<TagSymbol> Attributes;
  };
  const TExpected expected[] = {
      {S::SymTd,
       {S::SymClass, S::SymClass, S::SymUnknownAttr, S::SymUnknownAttr, S::SymBackground, S::SymBgcolor,
        S::SymColspan, S::SymRowspan, S::SymId}},
      {S::SymTd, {S::SymClass, S::SymUnknownAttr}},
      {S::SymTd, {S::SymRowspan, S::SymBgcolor}},
      {S::SymAddress, {}},
      {S::SymUnknownTag, {}},
      {S::SymUnknownTag, {}},
      {S::SymAddress, {}},
  };
  reader.Start();
  for (const TExpected& tag : expected) {
    ASSERT_EQ(reader.Symbol(), tag.Symbol);
    std::vector<TagSymbol> symbols;
    for (const auto& attribute : reader.Attributes()) symbols.push_back(attribute->Symbol);
    EXPECT_EQ(symbols, tag.Attributes);
    reader.NextToken();
  }
  EXPECT_EQ(reader.Symbol(), S::SymEof);
}

}  // namespace
}  // namespace corvane
