#include "extract/text_search.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

struct FindCase {
  const char* name;
  std::string text;
  std::size_t from;
  std::string pattern;
  std::size_t expected;
};

void PrintTo(const FindCase& c, std::ostream* out) { *out << c.name; }

class FindNoCaseExamples : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindNoCaseExamples, FindTheFirstMatch) {
  const FindCase& c = GetParam();
  EXPECT_EQ(FindNoCase(c.text, c.from, c.pattern), c.expected);
}

constexpr std::size_t kNone = std::string_view::npos;
// Long enough for the sixteen-at-a-time search: cell ends, which share "</t" with a row end.
const std::string kCells = "<td>1</td><td>2</TD><td>3</td><td>4</td>";

INSTANTIATE_TEST_SUITE_P(
    Examples, FindNoCaseExamples,
    ::testing::Values(
        FindCase{"RowEndAmongCellEnds", kCells + "</tR>", 0, "</TR", kCells.size()},
        FindCase{"RowEndInShortText", "</td></TR>", 0, "</TR", 5},
        FindCase{"AtTheVeryEnd", std::string(30, 'x') + "</Tr", 0, "</TR", 30},
        FindCase{"CutShortAtTheEnd", std::string(30, 'x') + "</T", 0, "</TR", kNone},
        FindCase{"SameFirstAndFourthBytesOnly", "<xxR <abr " + kCells + "</tr", 0, "</TR", 10 + kCells.size()},
        FindCase{"CellTagNotTakenFromCellEnd", "</td>" + std::string(20, ' ') + "<TD>", 0, "<td", 25},
        FindCase{"TwoBytePattern", std::string(40, 'a') + "<B>", 0, "<b", 40},
        FindCase{"FromPastTheMatch", kCells + "</tr>", kCells.size() + 1, "</TR", kNone},
        FindCase{"CaseBitOnlyForLetters", std::string(20, ' ') + "{/TR " + "</TR", 0, "</TR", 25},
        FindCase{"NotThere", kCells + kCells, 0, "</TR", kNone}),
    [](const auto& info) { return std::string(info.param.name); });

struct PatternCase {
  const char* name;
  std::string text;  // padded with zeros to eight bytes
  std::string pattern;
  bool expected;
};

void PrintTo(const PatternCase& c, std::ostream* out) { *out << c.name; }

class ShortPatternExamples : public ::testing::TestWithParam<PatternCase> {};

TEST_P(ShortPatternExamples, MatchAsMatchesNoCase) {
  const PatternCase& c = GetParam();
  const TShortPattern pattern(c.pattern);
  std::string padded = c.text;
  padded.resize(padded.size() + 8, '\0');
  EXPECT_EQ(pattern.MatchesPadded(padded.data()), c.expected);
  EXPECT_EQ(MatchesNoCase(c.text, 0, c.pattern), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ShortPatternExamples,
    ::testing::Values(
        PatternCase{"AnyCase", "&NbSp;x", "&nbsp;", true},
        PatternCase{"CutShort", "&nbsp", "&nbsp;", false},
        PatternCase{"EndTag", "</TD>", "</td>", true},
        PatternCase{"OtherByteAfterName", "</tD ", "</td>", false},
        PatternCase{"LessThanNotFolded", "\x1c/td>", "</td>", false},
        PatternCase{"SlashNotFolded", "<\x0ftd>", "</td>", false},
        PatternCase{"EightBytes", "&NBSP;AB", "&nbsp;ab", true},
        PatternCase{"LastOfEightDiffers", "&NBSP;AC", "&nbsp;ab", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane
