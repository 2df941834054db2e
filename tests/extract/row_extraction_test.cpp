#include "extract/row_extraction.h"

#include <gtest/gtest.h>

#include <random>

#include "extract/row_cleaner.h"
#include "literal_reference.h"

namespace corvane {
namespace {

std::vector<std::string> RowLines(std::string_view fragment, TCellTrimming trimming) {
  std::vector<std::string> lines;
  TTableRowWalker rows(fragment);
  std::string_view row;
  while (rows.Next(row)) lines.push_back(RowLine(row, trimming));
  return lines;
}

struct RowCase {
  const char* name;
  std::string fragment;
  std::vector<std::string> kept;     // lines with cells as they stand
  std::vector<std::string> trimmed;  // lines with "Trim Cell Values " on
};

void PrintTo(const RowCase& c, std::ostream* out) { *out << c.name; }

class RowExamples : public ::testing::TestWithParam<RowCase> {};

// Every line of the fragment appended to one buffer that already holds text, each with its line end.
std::string AppendedLines(std::string_view fragment, TCellTrimming trimming) {
  std::string out = "before\r\n";
  TTableRowWalker rows(fragment);
  std::string_view row;
  while (rows.Next(row)) {
    AppendRowLine(row, trimming, out);
    out.append(kRowLineEnd);
  }
  return out;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out = "before\r\n";
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

TEST_P(RowExamples, GiveTheExpectedLines) {
  const RowCase& c = GetParam();
  EXPECT_EQ(RowLines(c.fragment, TCellTrimming::Keep), c.kept);
  EXPECT_EQ(RowLines(c.fragment, TCellTrimming::Trim), c.trimmed);
  EXPECT_EQ(AppendedLines(c.fragment, TCellTrimming::Keep), Joined(c.kept));
  EXPECT_EQ(AppendedLines(c.fragment, TCellTrimming::Trim), Joined(c.trimmed));
  EXPECT_EQ(reference::RowLines(c.fragment, false), c.kept) << "the step-by-step version disagrees";
  EXPECT_EQ(reference::RowLines(c.fragment, true), c.trimmed) << "the step-by-step version disagrees";
}

const std::string kHugeCell((1 << 20) + 100, 'w');

INSTANTIATE_TEST_SUITE_P(
    Examples, RowExamples,
    ::testing::Values(
        RowCase{"TwoCells", "<table><tr><td>a</td><td>b</td></tr></table>", {"\"a\"\t\"b\""}, {"\"a\"\t\"b\""}},
        RowCase{"SpacesKeptOrTrimmed", "<tr><td> a </td></tr>", {"\" a \""}, {"\"a\""}},
        RowCase{"BoldRemoved", "<tr><td><b>Name</b></td></tr>", {"\"Name\""}, {"\"Name\""}},
        RowCase{"BreakRemoved", "<tr><td>x<br>y</td></tr>", {"\"xy\""}, {"\"xy\""}},
        RowCase{"NbspBecomesSpaceAfterTrimming", "<tr><td>&nbsp;x</td></tr>", {"\" x\""}, {"\" x\""}},
        RowCase{"HeaderOnlyRow", "<tr><th>H1</th><th>H2</th></tr>", {"\"H1\"\t\"H2\""}, {"\"H1\"\t\"H2\""}},
        RowCase{"DataCellsWinOverHeaders", "<tr><th>H</th><td>d</td></tr>", {"\"d\""}, {"\"d\""}},
        RowCase{"CellsWithoutCloseTagGiveEmptyLine", "<tr><td>a<td>b</tr>", {""}, {""}},
        RowCase{"QuotesAndTabsUnescaped", "<tr><td>say \"hi\"\tthere</td></tr>", {"\"say \"hi\"\tthere\""},
                {"\"say \"hi\"\tthere\""}},
        RowCase{"LastRowWithoutEndTagDropped", "<tr><td>1</td></tr><tr><td>2</td>", {"\"1\""}, {"\"1\""}},
        RowCase{"AttributesAndCaseIgnored", "<TR class=x><TD align=left>a</Td><td\nx=1>b</TD></tr>",
                {"\"a\"\t\"b\""}, {"\"a\"\t\"b\""}},
        RowCase{"OuterRowRunsToInnerFirstRowEnd", "<tr><td>out</td>x<table><tr><td>in</td></tr></table>",
                {"\"out\"\t\"in\""}, {"\"out\"\t\"in\""}},
        RowCase{"RemovalSpansCells", "<tr><td>a<b</td><td>c>d</td></tr>", {"\"ad\""}, {"\"ad\""}},
        RowCase{"PrefixWithoutCloseStays", "<tr><td>a<b</td></tr>", {"\"a<b\""}, {"\"a<b\""}},
        RowCase{"OtherTagsAndEntitiesStay", "<tr><td><li>x &amp; y</li></td></tr>", {"\"<li>x &amp; y</li>\""},
                {"\"<li>x &amp; y</li>\""}},
        RowCase{"ImageSpanAndLinkRemoved", "<tr><td><a href=\"u\"><img src=i.gif><span>t</span></a></td></tr>",
                {"\"t\""}, {"\"t\""}},
        RowCase{"RowWithoutCells", "<tr>no cells</tr>", {""}, {""}},
        // Blanks before a tag the cleaning removes were not at the cell's edge when it was trimmed.
        RowCase{"BlanksBeforeRemovedTagsStay",
                "<tr><td> a <b> </td><td> x </b> </td><td>&nbsp; y &nbsp;</td></tr>",
                {"\" a  \"\t\" x  \"\t\"  y  \""}, {"\"a \"\t\"x \"\t\"  y  \""}},
        RowCase{"JoinedClosingTagInCell", "<tr><td>x</blockquote</p>>y</td><td>x</</b>p>y</td></tr>",
                {"\"xy\"\t\"x</p>y\""}, {"\"xy\"\t\"x</p>y\""}},
        RowCase{"TagEndingFarAway",
                "<tr><td><a href=\"http://example.com/a/long/path/to/somewhere?with=a&amp;query=string\">t</a>"
                "</td><td>" + std::string(150, 'z') + "</td></tr>",
                {"\"t\"\t\"" + std::string(150, 'z') + "\""}, {"\"t\"\t\"" + std::string(150, 'z') + "\""}},
        RowCase{"HeaderCellsAfterDataCellsWithoutEnd", "<tr><td>a<th>b</th></tr>", {"\"b\""}, {"\"b\""}},
        // The buffers a row of over a megabyte needed are let go; the next row gets new ones.
        RowCase{"RowAfterHugeRow", "<tr><td>" + kHugeCell + "</td></tr><tr><td>b</td></tr>",
                {"\"" + kHugeCell + "\"", "\"b\""}, {"\"" + kHugeCell + "\"", "\"b\""}},
        RowCase{"NoRows", "<table>text</table>", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct CleanCase {
  const char* name;
  std::string line;
  std::string expected;
};

void PrintTo(const CleanCase& c, std::ostream* out) { *out << c.name; }

class CleanExamples : public ::testing::TestWithParam<CleanCase> {};

TEST_P(CleanExamples, CleanAsTheStepByStepRemovals) {
  const CleanCase& c = GetParam();
  EXPECT_EQ(CleanRowText(c.line), c.expected);
  EXPECT_EQ(CleanRowTextTagByTag(c.line), c.expected);
  EXPECT_EQ(reference::CleanRowText(c.line), c.expected) << "the step-by-step version disagrees";
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CleanExamples,
    ::testing::Values(
        CleanCase{"NothingToDo", "\"a\"\t\"b\"", "\"a\"\t\"b\""},
        CleanCase{"NbspAnyCase", "&NBSP;&nbsp;&NbSp;x", "x"},
        CleanCase{"PrefixTakesLongerNames", "<pre>a</pre><param x><body>b<input>c<abbr>d<ul>e", "abcde"},
        CleanCase{"ClosingTagsOfOtherNamesStay", "</li></ul></nobr><hr><nobr>x", "</li></ul></nobr><hr><nobr>x"},
        CleanCase{"CommentsStay", "<!-- c -->x", "<!-- c -->x"},
        CleanCase{"ScriptAndSelectRemoved", "<script>x</script><select>y", "x</script>y"},
        // Closing tags are removed in one pass each: a tag brought together by a later removal stays.
        CleanCase{"CloseTagMadeByLaterRemovalStays", "x</</b>p>y", "x</p>y"},
        CleanCase{"CloseTagMadeByEarlierRemovalIsRemoved", "x</</p>b>y", "xy"},
        // Prefixes repeat until none is left: one brought together by the removal goes too.
        CleanCase{"PrefixMadeByRemovalIsRemoved", "x<<b>b>y", "xy"},
        CleanCase{"PrefixMadeForEarlierPrefixStays", "x<<b>p>y", "x<p>y"},
        CleanCase{"ClosingRemovalMakesPrefix", "x<</b>b y>z", "xz"},
        CleanCase{"OrderOfPrefixesMatters", "<i <b>x>y", "y"},
        CleanCase{"TagHoldingLessThan", "<a title=\"1<2\">t</a>", "t"},
        CleanCase{"RemovedTagSwallowsInnerTag", "<i>a<b c<i>", "a"},
        CleanCase{"NoGreaterThanAfterPrefixLeavesRest", "<i>a<b c", "a<b c"},
        CleanCase{"LaterPrefixesGoOnAfterOneWithoutEnd", "<b>x<p q", "x<p q"},
        CleanCase{"TrimmedAfterCleaning", "  <b> x </b>\t", "x"},
        // A removal may join the letters of a closing tag. The tag goes when its turn in the list is
        // still to come, in any case; it stays when its turn has passed.
        CleanCase{"JoinedLaterCloseTagRemoved", "x</blockquote</p>>y", "xy"},
        CleanCase{"JoinedLaterCloseTagAnyCase", "x</BlockQuote</P>>y", "xy"},
        CleanCase{"JoinedByTwoRemovals", "x</bl</p>ockquote</p>>y", "xy"},
        CleanCase{"JoinedLastTagOfList", "x</h</p>6>y", "xy"},
        CleanCase{"JoinedAtItsStart", "x</</em>b>y", "xy"},
        CleanCase{"JoinedEarlierCloseTagStays", "x</e</i>m>y", "x</em>y"},
        CleanCase{"JoinedByLaterRemovalStays", "x</bl</p>ockquo</b>te>y", "x</blockquote>y"},
        CleanCase{"JoinedByPrefixRemovalStays", "x</<br>p>y", "x</p>y"},
        CleanCase{"JoinedPrefixRemovedWithItsTag", "x<</p>font a>y", "xy"},
        CleanCase{"NbspJoinedByRemovalStays", "&nb</b>sp;x", "&nbsp;x"},
        CleanCase{"LessThanInTextBeforeClosingTag", "a <b</b>c", "a <bc"},
        CleanCase{"TagEndsAfterAmpersand", "<a href=\"?a=1&b=2\">t</a>", "t"},
        CleanCase{"CloseTagLookalikes", "</bx></p ></sp></tt></td></th>", "</bx></p ></sp></td></th>"},
        CleanCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

std::string RandomText(std::mt19937& random, const std::vector<std::string>& tokens, int maxTokens) {
  std::uniform_int_distribution<std::size_t> pick(0, tokens.size() - 1);
  std::uniform_int_distribution<int> length(0, maxTokens);
  std::string text;
  for (int n = length(random); n > 0; --n) text += tokens[pick(random)];
  return text;
}

TEST(CleanRowText, AgreesWithStepByStepVersionOnRandomLines) {
  const std::vector<std::string> tokens = {
      "<b>", "</b>", "<B", "<br>", "</p>", "<p", "<", ">", "/", "b", "p", "</", "x", " ", "&nbsp;",
      "&NBSP;", "&nb", "sp;", "<span class=\"a\">", "</span>", "<font", "</font>", "<i>", "</i>",
      "<a href=x>", "</a>", "<h1>", "</h1>", "\"", "\t", "<td>", "<blockquote>", "</blockquote>",
      "<s", "</s>", "i", "s", "font", "span", "q", "<q>", "h", "1", "<li>", "</bl", "ockquote>", "</h",
      "6>", "</e", "m>", "&", "x y z w v u t s r q p o n m l k j i h"};
  std::mt19937 random(4242);
  for (int round = 0; round < 20000; ++round) {
    const std::string line = RandomText(random, tokens, 30);
    const std::string expected = reference::CleanRowText(line);
    ASSERT_EQ(CleanRowText(line), expected) << "line: " << line;
    ASSERT_EQ(CleanRowTextTagByTag(line), expected) << "line: " << line;
  }
}

TEST(RowLines, AgreeWithStepByStepVersionOnRandomTables) {
  const std::vector<std::string> tokens = {
      "<tr>", "<TR x>", "</tr>", "</TR", "<td>", "<TD a=1>", "</td>", "</TD>", "<th>", "</th>", "a",
      " ", "<b>", "</b>", ">", "<", "&nbsp;", "\"", "<br>", "<table>", "</table>", "<t", "d>", "x y"};
  std::mt19937 random(777);
  for (int round = 0; round < 5000; ++round) {
    const std::string fragment = RandomText(random, tokens, 50);
    ASSERT_EQ(RowLines(fragment, TCellTrimming::Keep), reference::RowLines(fragment, false))
        << "fragment: " << fragment;
    ASSERT_EQ(RowLines(fragment, TCellTrimming::Trim), reference::RowLines(fragment, true))
        << "fragment: " << fragment;
  }
}

TEST(CleanRowText, ManyTagsInOneLongLine) {
  // Thousands of removals in one line, including ones that bring new tags together: "</b>" is made
  // by removing "</i>" after the "</b>" pass, so it stays.
  std::string line;
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    line += "<<b>b>c</</i>b>";
    expected += "c</b>";
  }
  EXPECT_EQ(CleanRowText(line), expected);
}

TEST(TagLists, HoldTheirTagsInOrder) {
  ASSERT_EQ(OpenTagPrefixes().size(), 43u);
  ASSERT_EQ(CloseTags().size(), 43u);
  EXPECT_EQ(OpenTagPrefixes().front(), "<p");
  EXPECT_EQ(OpenTagPrefixes().back(), "<h6");
  EXPECT_EQ(CloseTags()[4], "</blockquote>");
  // Each prefix pairs with its closing tag, position by position.
  for (std::size_t k = 0; k < 43; ++k)
    EXPECT_EQ("</" + std::string(OpenTagPrefixes()[k].substr(1)) + ">", CloseTags()[k]);
}

}  // namespace
}  // namespace corvane
