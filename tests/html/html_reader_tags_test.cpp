// Tags read straight from the bytes (THtmlReader::SetQuickTags) against the same tags read character by
// character: every token, attribute, index and the reader's place after each token must agree.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "html/code_pages.h"
#include "html/html_reader.h"
#include "reader_test_support.h"

namespace corvane {
namespace {

using S = TagSymbol;

enum class TAttributesRead { All, OfTd, None };

struct TReadOptions {
  int CodePage = kCodePageUtf8;
  TAttributesRead Attributes = TAttributesRead::All;
  bool Progress = false;
};

// Each token with the reader's place after it, and the progress reports, one string per item.
std::vector<std::string> Trace(const std::string& html, const TReadOptions& options, bool quick) {
  THtmlReader reader(html, options.CodePage);
  reader.SetQuickTags(quick);
  if (options.Attributes == TAttributesRead::OfTd)
    reader.SetAttributesOf({S::SymTd, S::SymA}, {S::SymRowspan, S::SymHref, S::SymId});
  else if (options.Attributes == TAttributesRead::None)
    reader.SetAttributesOf({}, {});
  std::vector<std::string> trace;
  if (options.Progress) {
    THtmlReaderHandlers handlers;
    handlers.Progress = [&trace](TProgressStage, int percent) { trace.push_back("progress " + std::to_string(percent)); };
    handlers.ProgressScale = 1000;
    reader.SetHandlers(handlers);
  }
  reader.Start();
  while (reader.Symbol() != S::SymEof) {
    std::string item = std::to_string(static_cast<int>(reader.Symbol())) + " end=" + std::to_string(reader.EndTag()) +
                       " [" + test::Utf8(reader.Token().S()) + "]";
    for (int index : reader.Token().Indices()) item += " " + std::to_string(index);
    if (reader.Symbol() != S::SymText) {
      item += " level=" + std::to_string(reader.TagValue()) + " at=" + std::to_string(reader.TagPosition());
      for (const auto& attribute : reader.Attributes())
        item += " " + attribute->AttrName + "=" + attribute->Text + "|" + std::to_string(attribute->Value);
    }
    item += " then " + std::to_string(reader.Position()) + ":" + std::to_string(static_cast<int>(reader.RawChar())) +
            "/" + std::to_string(static_cast<int>(reader.UpperChar()));
    trace.push_back(item);
    reader.ReadRawContent();
    reader.NextToken();
  }
  return trace;
}

void ExpectSameTrace(const std::string& html, const TReadOptions& options) {
  const auto slow = Trace(html, options, false);
  const auto quick = Trace(html, options, true);
  ASSERT_EQ(quick.size(), slow.size()) << html.substr(html.size() > 120 ? html.size() - 120 : 0);
  for (std::size_t k = 0; k < slow.size(); ++k)
    ASSERT_EQ(quick[k], slow[k]) << "token " << k << " of " << html.substr(html.size() > 120 ? html.size() - 120 : 0);
}

// Tags of every form the quick way takes, and of the forms it leaves to the long way.
const std::vector<std::string>& TagForms() {
  static const std::vector<std::string> forms = {
      "<td>", "</td>", "<TD>", "<Tr\t>", "<tr >", "</tr\r\n>", "<a href=\"/w/123\">", "<a href='/w/1' id=x>",
      "<br/>", "<br />", "<a/b>", "</a b=c>", "<td colspan=2 rowspan=\"3\">", "<td ROWSPAN=4 title='t>'>",
      "<img src=x.png alt=\"a > b\">", "<p title=\"unclosed>x<td>y", "<p a=\"x'>b'>", "<p a='x\"'>",
      "<td width=50 %>", "<td width=50%>", "<td width= +7 % >", "<td width=-3x>", "<p data-x=\"<!-- c -->\">",
      "<p a=\"<b>\">", "<p a=<b>", "<p a=<!-- x -->>", "<p <%= x %>>", "<p <!-- c --> b>", "<p a=<% x %>>",
      "<p\r\nclass=\"a\"\r\n>", "<p\nclass=a\r>", "<p class=\"a\r\nb\">", "<p\n\rclass=a\n\r>", "<p\ta\r=\rb\n>",
      "<h1>", "<h2 class=x>", "</h3 >", "<h>", "<h7>", "<H6>", "<script>x</script>", "<style>p{}</style>",
      "<script src=a.js>y</script>", "<textarea a=b>t</textarea>", "<td\"x\">", "<td =x>", "<td a=b=c>",
      "<td a = \"b\" c>", "<?xml v=1?>", "< td>", "</>", "<//a>", "</ td>", "<a\xC3\xA9 b>", "<p title=\"\xE9\xA1\">",
      "<p t=\"\x83\x5C\">", "<p t=\x83\x5C>", "<\x83\x5C>", "<blockquote cite=x>", "<abcdefghijklmnopqrstuvwxyz_0123456789>",
      "<a\x01" "b>", "<p a=\x7F>", "<p a='x'b='y'>", "<p -a=b>", "<p a=\"b\"\"c\">", std::string("<p a=\"\0\">", 9), "<td a=>",
      "<td a='>", "<td a=\"", "<td a", "<td", "<", "</", "<td =>", "<a href=\"x\"/>", "<td%>", "<td a=%>",
      "<tr><td>1</td><td>2</td></tr>", "<p a=\"x\" <b>", "<p a=b <!-- c -->>", "<p a=\"<!-- \" -->\" b>",
      "<p a='x<!-- > -->'>", "<p <!-- > --> b>", "<p a=<!-- > -->>", "<p a=\"<% \" %>\">", "<h 1>", "</h 2 a=b>",
      "<p w=5%a=\"x>y\">", "<p w=5 %a='x>y'>", "<p a=\"x\" b=\"y>z\">", "<p a='x'\r\nb='y>z'>",
  };
  return forms;
}

// Each form after text, cut at every byte against a progress report (the report falls before, inside and
// after the tag), in both code page kinds and with attributes read, read for a few tags or for none.
TEST(HtmlReaderTagsTest, QuickTagsReadAsTheLongWayAtEveryCut) {
  for (const std::string& form : TagForms()) {
    for (TAttributesRead attributes : {TAttributesRead::All, TAttributesRead::OfTd, TAttributesRead::None}) {
      for (int codePage : {kCodePageUtf8, kCodePageShiftJis}) {
        for (std::size_t before = 4086 - form.size(); before <= 4098; ++before) {
          const std::string html = std::string(before, 'x') + form + "z<td>y";
          ExpectSameTrace(html, {codePage, attributes, true});
        }
        ExpectSameTrace(form + " " + form, {codePage, attributes, false});
      }
    }
  }
}

// Random texts of tag pieces, in whole documents of several code pages, some with a UTF-8 mark or in
// UTF-16 (whose NUL bytes read as spaces) or ISO-2022-JP (read as Shift_JIS).
TEST(HtmlReaderTagsTest, QuickTagsReadAsTheLongWayInRandomTexts) {
  const std::vector<std::string> pieces = {
      "<",  "</", "td", "TR", "a",  " ",  "\t", "\r", "\n", "\r\n", "=",  "\"", "'",  ">", "/>", "href", "id",
      "x",  "12", "%",  "-",  "+",  "<!-- c -->", "<%x%>", "h1", "h", "script", "&amp;", "\xE9", "\x83\x5C",
      "\x01", "<br>", "</td>", "<td colspan=2>", "<a href='/w/1'>", "text ", "<p class=\"x\">"};
  std::mt19937 random(20261210);
  for (int round = 0; round < 3000; ++round) {
    std::string html;
    const int count = 1 + static_cast<int>(random() % 60);
    for (int k = 0; k < count; ++k) html += pieces[random() % pieces.size()];
    const TAttributesRead attributes = static_cast<TAttributesRead>(round % 3);
    ExpectSameTrace(html, {kCodePageUtf8, attributes, false});
    ExpectSameTrace(std::string(4096 - random() % 64, 'x') + html, {kCodePageShiftJis, attributes, true});
  }
  // Whole documents that change before they are read.
  std::string utf16;
  for (char c : std::string("<td a='1'>x</td><tr>")) utf16 += {c, '\0'};
  const std::string documents[] = {
      "\xEF\xBB\xBF<td class=x>\xC3\xA9</td><tr>",
      "\xFF\xFE" + utf16,
      "<td a=\"\x1B$B$\"\x1B(B\">\x1B$B$\"\x1B(B</td><p b='\x1B$B$\"\x1B(B'>",
  };
  for (const std::string& html : documents)
    for (TAttributesRead attributes : {TAttributesRead::All, TAttributesRead::OfTd, TAttributesRead::None})
      ExpectSameTrace(html, {kCodePageSystem, attributes, false});
}

// Include directives insert text: a tag in it, or one that the inserted text ends inside, is read as any.
TEST(HtmlReaderTagsTest, TagsInInsertedTextReadAsAny) {
  const std::string html = "<td a=b><!--#include x=\"1\" --><td c='d'></td><!--#include x=\"2\" -->e'>f</tr>";
  std::vector<std::vector<std::string>> traces;
  for (bool quick : {false, true}) {
    THtmlReader reader(html, kCodePageUtf8);
    reader.SetQuickTags(quick);
    reader.SetAttributesOf({S::SymA}, {});
    THtmlReaderHandlers handlers;
    handlers.Include = [](const std::string&, std::vector<std::string> parameters) -> std::string {
      return parameters.at(0) == "X=1" ? "<tr><td b=c>in</td>" : "<td title='";
    };
    reader.SetHandlers(handlers);
    const auto tokens = test::ReadTokens(reader);
    traces.emplace_back();
    for (const auto& token : tokens)
      traces.back().push_back(std::to_string(static_cast<int>(token.Symbol)) + " " + token.Text + " " +
                              std::to_string(token.TagPosition));
  }
  EXPECT_EQ(traces[1], traces[0]);
  EXPECT_EQ(test::Texts(test::ReadTokens(html)), "<td>|<td>|</td>|e'>f|</tr>");
}

}  // namespace
}  // namespace corvane
