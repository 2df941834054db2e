#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::TTestDocument;

// The text section, in cells too, whose text starts with start.
const TSection& SectionStarting(const TTestDocument& document, std::u16string_view start) {
  std::vector<TSection*> sections;
  document.Body().CollectSections(sections);
  for (const TSection* section : sections)
    if (section->Text().starts_with(start)) return *section;
  throw std::invalid_argument("no such section");
}

// The selection runs from an offset into the section starting with From to one into the section
// starting with To; -1 for the end of To, its line end included.
struct TCopyCase {
  const char* Name;
  std::string Html;
  std::u16string From;
  int FromOffset;
  std::u16string To;
  int ToOffset;
  std::u16string Expected;
};
void PrintTo(const TCopyCase& c, std::ostream* out) { *out << c.Name; }

class SelectionCopy : public testing::TestWithParam<TCopyCase> {};

TEST_P(SelectionCopy, CopiesTablesAsCells) {
  const TCopyCase& c = GetParam();
  TTestDocument document(c.Html);
  document.LayOut(400);
  const TSection& to = SectionStarting(document, c.To);
  document.Document.SelB = SectionStarting(document, c.From).FirstCharIndex + c.FromOffset;
  document.Document.SelE = to.FirstCharIndex + (c.ToOffset < 0 ? to.CharCount + 1 : c.ToOffset);
  EXPECT_EQ(document.Document.SelectedTextForCopy(), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionCopy,
    testing::Values(
        TCopyCase{"Paragraphs", "<p>ab</p><p>cd ef</p>", u"ab", 1, u"cd", 5, u"b\ncd ef"},
        TCopyCase{"Empty", "<p>ab</p>", u"ab", 1, u"ab", 1, u""},
        TCopyCase{"TwoCells", "<table><tr><td>alpha<td>beta</table>", u"alpha", 0, u"beta", 4, u"alpha\tbeta"},
        TCopyCase{"TwoRows", "<table><tr><td>a1<td>b1<tr><td>c1<td>d1</table>", u"a1", 0, u"d1", 2,
                  u"a1\tb1\nc1\td1"},
        TCopyCase{"FromTheSecondCell", "<table><tr><td>a1<td>b1<td>c1<tr><td>d1<td>e1<td>f1</table>", u"b1", 1,
                  u"e1", 2, u"1\tc1\nd1\te1"},
        TCopyCase{"EmptyCellsBetweenStay", "<table><tr><td>a1<td><td>c1<td>d1</table>", u"a1", 0, u"c1", 2,
                  u"a1\t\tc1"},
        TCopyCase{"LineBreakInACell", "<table><tr><td>one<br>two<td>three</table>", u"one", 0, u"three", 5,
                  u"one two\tthree"},
        TCopyCase{"NestedTable", "<table><tr><td>a1<table><tr><td>b1<td>c1<tr><td>d1</table>e1<td>f1</table>",
                  u"a1", 0, u"f1", 2, u"a1 b1 c1 d1 e1\tf1"},
        TCopyCase{"TextAroundATable", "<p>before</p><table><tr><td>a1<td>b1</table><p>after</p>", u"before", 0,
                  u"after", 3, u"before\na1\tb1\naft"},
        TCopyCase{"TableAtTheEnd", "<p>x1<img src=none.gif>y1</p><table><tr><td>a1<img src=none.gif>b1</table>",
                  u"x1", 0, u"a1", -1, u"x1y1\na1b1"}),
    [](const testing::TestParamInfo<TCopyCase>& info) { return info.param.Name; });

TEST(SelectionCopyPlain, TheBufferCopyRunsCellsOn) {
  TTestDocument document("<table><tr><td>a1<td>b1<tr><td>c1</table>");
  document.LayOut(400);
  document.Document.SelB = SectionStarting(document, u"a1").FirstCharIndex;
  document.Document.SelE = SectionStarting(document, u"c1").FirstCharIndex + 2;
  char16_t buffer[32];
  EXPECT_EQ(document.Document.GetSelTextBuf(buffer, 32), 11);
  EXPECT_EQ(std::u16string(buffer), u"a1\r\nb1\r\nc1");
}

}  // namespace
}  // namespace corvane
