#include <gtest/gtest.h>

#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::Blocks;
using test::Tree;
using test::TTestDocument;

std::u16string BodyTree(const std::string& html) {
  TTestDocument document(html);
  return Tree(document.Body().Content());
}

TEST(PreformattedBuilder, LineEndsAtTheEdgesOfTheContent) {
  struct TCase {
    const char* Html;
    std::u16string Tree;
  } const cases[] = {
      {"<pre>x</pre>after", u"[x|]after|"},
      // The line end right after the start tag is dropped, only the first one.
      {"<pre>\nx</pre>", u"[x|]"},
      {"<pre>\r\nx</pre>", u"[x|]"},
      {"<pre>\n\nx</pre>", u"[|x|]"},
      {"<pre> \nx</pre>", u"[|x|]"},
      // The line end right before the end tag makes no line; one more does.
      {"<pre>x\n</pre>after", u"[x|]after|"},
      {"<pre>x\r\n</pre>", u"[x|]"},
      {"<pre>x\n\n</pre>", u"[x||]"},
      {"<pre>\nx\n</pre>", u"[x|]"},
      {"<pre>x\n<b></b></pre>", u"[x|]"},
      {"<pre>x\n </pre>", u"[x||]"},  // a line holding a space
      {"<pre>x<br>\n</pre>", u"[x||]"},
      // The PRE also ends at a table: its last line end makes no line there either.
      {"<pre>x\n<table><tr><td>t</td></tr></table>", u"[x|][{t|}]"},
      // Every other space and line stays.
      {"<pre>a  b\n\n c </pre>", u"[a  b|| c|]"},
      {"<pre>\n</pre>", u"[|]"},
  };
  for (const TCase& c : cases) EXPECT_EQ(BodyTree(c.Html), c.Tree) << c.Html;
}

TEST(PreformattedBuilder, TabsAdvanceToTheNextMultipleOfEightColumns) {
  struct TCase {
    const char* Html;
    std::u16string Tree;
  } const cases[] = {
      {"<pre>\tx</pre>", u"[        x|]"},
      {"<pre>ab\tx</pre>", u"[ab      x|]"},
      {"<pre>1234567\tx</pre>", u"[1234567 x|]"},
      {"<pre>12345678\tx</pre>", u"[12345678        x|]"},
      {"<pre>a\t\tx</pre>", u"[a               x|]"},
      // Columns count from the start of each line, across font changes and references.
      {"<pre>abcdefghij\nab\tx</pre>", u"[abcdefghij|ab      x|]"},
      {"<pre><b>ab</b>c\tx</pre>", u"[abc     x|]"},
      {"<pre>&eacute;&amp;\tx</pre>", u"[\u00e9&      x|]"},
      // Spaces stay spaces.
      {"<pre>a  x</pre>", u"[a  x|]"},
      // Outside preformatted text a TAB is white space as before.
      {"<p>a\t\tx</p>", u"[a x|]"},
  };
  for (const TCase& c : cases) EXPECT_EQ(BodyTree(c.Html), c.Tree) << c.Html;
}

TEST(PreformattedBuilder, TabsInPlainTextDocuments) {
  TSectionList document;
  document.SetMeasurer(std::make_unique<TFixedPitchMeasurer>(test::kPitch));
  LoadTextDocument(document, "ab\tx\r\n\ty", TDocumentDefaults{});
  const TBlock& pre = *Blocks(static_cast<TBlock&>(document[0]).Content()).at(0);
  EXPECT_EQ(Tree(pre.Content()), u"ab      x|        y|");
}

TEST(PreformattedBuilder, EdgeLineEndsTakeNoHeight) {
  // Each PRE is as high as its lines of text.
  struct TCase {
    const char* Html;
    int Lines;
  } const cases[] = {
      {"<pre>x</pre>", 1},   {"<pre>\nx</pre>", 1},    {"<pre>x\n</pre>", 1},
      {"<pre>\nx\n</pre>", 1}, {"<pre>\n\nx\n</pre>", 2}, {"<pre>x\n\n</pre>", 2},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(400);
    const TBlock& pre = *Blocks(document.Body().Content()).at(0);
    EXPECT_EQ(pre.Content().Count(), c.Lines) << c.Html;
    const int height = pre.Content()[pre.Content().Count() - 1].BottomY - pre.Content()[0].TopY;
    EXPECT_EQ(height, c.Lines * document.Sections().at(0)->Lines().at(0).BandHeight()) << c.Html;
  }
}

}  // namespace
}  // namespace corvane
