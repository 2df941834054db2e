#include "extract/table_fragment_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>

#include "literal_reference.h"

namespace corvane {
namespace {

using Fragments = std::vector<std::string>;

struct ScanCase {
  const char* name;
  std::string input;
  Fragments expected;
};

void PrintTo(const ScanCase& c, std::ostream* out) { *out << c.name; }

class ScanExamples : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanExamples, CutsTheExpectedFragments) {
  const ScanCase& c = GetParam();
  EXPECT_EQ(CutTableFragments(c.input), c.expected);
  EXPECT_EQ(reference::ScanTables(c.input), c.expected) << "the step-by-step version disagrees";
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ScanExamples,
    ::testing::Values(
        ScanCase{"NoTables", "<html><body><p>Hello</p></body></html>\r\n", {}},
        ScanCase{"OneTable", "<table><tr><td>a</td></tr></table>", {"<table><tr><td>a</td></tr></table>"}},
        ScanCase{"OnlyInnermostTable", "<table>A<table>B</table>C</table>", {"A<table>B</table>"}},
        ScanCase{"LinesJoinedWithoutBreaks",
                 "<table>\r\n  <tr><td>Hello\r\nWorld</td></tr>\r\n</table>\r\n",
                 {"<table>  <tr><td>HelloWorld</td></tr></table>"}},
        ScanCase{"BlankLinesLeftOut", "<table>\n \t \n\nx\n</table>", {"<table>x</table>"}},
        ScanCase{"TextBeforeTagOnItsLine", "<p>Intro</p><table>\nx</table>", {"<p>Intro</p><table>x</table>"}},
        ScanCase{"TwoTablesOnOneLine", "<table>x</table><table>y</table>", {"<table>x</table>", "<table>y</table>"}},
        ScanCase{"CloseBeforeOpenAtDepthZeroDropsLine", "</table><table>\nx</table>", {}},
        ScanCase{"TextAfterCloseOnLineDropped", "<table>x</table> tail\n<table>y</table>",
                 {"<table>x</table>", "<table>y</table>"}},
        ScanCase{"MixedCaseKeepsFileCase", "<TaBlE>x</tAbLe>", {"<TaBlE>x</tAbLe>"}},
        ScanCase{"FileEndsInsideTable", "<table>x</table><table>y", {"<table>x</table>"}},
        ScanCase{"SiblingInnerTables", "<table><table>a</table><table>b</table></table>",
                 {"<table>a</table>", "<table>b</table>"}},
        ScanCase{"CloseTagWithSpaceNotRecognised", "<table>x</table >y\n</table>", {"<table>x</table >y</table>"}},
        ScanCase{"TagSplitOverLinesNotRecognised", "<table>x</ta\nble></table>", {"<table>x</table></table>"}},
        ScanCase{"LongerNamesMatch", "<tablex>a</table>", {"<tablex>a</table>"}},
        ScanCase{"ByteAfterOpenTagIsTaken", "<table</table>x</table>", {"<table</table>x</table>"}},
        ScanCase{"OpenTagAtLineEnd", "<table\nx</table>", {"<tablex</table>"}},
        ScanCase{"EndOfFileMark", "<table>a</table>\x1a<table>b</table>", {"<table>a</table>"}},
        ScanCase{"EndOfFileMarkMidTable", "<table>a\x1a</table>", {}},
        ScanCase{"CrLfCrAndLfLineEnds", "<table>\r\na\rb\nc\r\n</table>", {"<table>abc</table>"}},
        ScanCase{"UnclosedOuterSwallowsLaterTables", "<table><table>a</table>\n<table>b</table>",
                 {"<table>a</table>", "<table>b</table>"}},
        ScanCase{"NulAndControlBytesAreBlank", std::string("<table>\n\0\x01 \n</table>", 20), {"<table></table>"}},
        ScanCase{"Utf8BytesKept", "<table>\xc3\xa9t\xc3\xa9</table>", {"<table>\xc3\xa9t\xc3\xa9</table>"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Feeds the scanner through ScanAll with reads of random small sizes and a small block, so that tags
// and line ends fall across every kind of boundary.
Fragments ScanInPieces(const std::string& text, std::mt19937& random) {
  TTableFragmentScanner scanner;
  std::size_t offset = 0;
  std::uniform_int_distribution<std::size_t> step(1, 9);
  scanner.ScanAll(
      [&](char* buffer, std::size_t size) {
        const std::size_t count = std::min({size, step(random), text.size() - offset});
        std::memcpy(buffer, text.data() + offset, count);
        offset += count;
        return count;
      },
      16);
  return scanner.TakeFragments();
}

// Records what a sink is handed; wants the fragments whose bit is set in wanted, and ends the scan
// after stopAfter fragments.
struct TRecordingSink final : TFragmentSink {
  unsigned wanted = 0;
  std::size_t stopAfter = SIZE_MAX;
  Fragments taken;
  bool WantsText(std::size_t index) override { return index < 32 && (wanted >> index & 1) != 0; }
  bool Take(std::size_t index, std::string& text) override {
    EXPECT_EQ(index, taken.size());
    taken.push_back(std::move(text));
    return taken.size() < stopAfter;
  }
};

// What a sink must be handed: the wanted fragments' texts, empty texts for the others.
Fragments WantedOnly(Fragments fragments, const TRecordingSink& sink) {
  if (fragments.size() > sink.stopAfter) fragments.resize(sink.stopAfter);
  for (std::size_t k = 0; k < fragments.size(); ++k)
    if (!(k < 32 && (sink.wanted >> k & 1))) fragments[k].clear();
  return fragments;
}

TEST(TableFragmentScanner, AgreesWithStepByStepVersionOnRandomText) {
  const std::vector<std::string> tokens = {
      "<table>", "<TABLE border=1>", "</table>", "</TaBlE>", "<tablex", "</table >", "<tabl", "e>",
      "</", "x", "yz", " ", "\t", "\r", "\n", "\r\n", "<", ">", "<tr><td>a</td></tr>", "<p>"};
  std::mt19937 random(20261208);
  std::uniform_int_distribution<std::size_t> pick(0, tokens.size() - 1);
  std::uniform_int_distribution<int> length(0, 60);
  std::uniform_int_distribution<int> percent(0, 99);
  for (int round = 0; round < 4000; ++round) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += tokens[pick(random)];
    if (percent(random) == 0) text.insert(text.size() / 2, 1, '\x1a');
    const Fragments expected = reference::ScanTables(text);
    ASSERT_EQ(CutTableFragments(text), expected) << "input: " << text;
    ASSERT_EQ(ScanInPieces(text, random), expected) << "input in pieces: " << text;
    Fragments withBreaks = CutTableFragments(text, TLineBreaks::Kept);
    for (std::string& fragment : withBreaks) JoinFragmentLines(fragment);
    ASSERT_EQ(withBreaks, expected) << "line breaks kept, then joined: " << text;

    TRecordingSink sink;
    sink.wanted = static_cast<unsigned>(random());
    if (percent(random) < 20) sink.stopAfter = static_cast<std::size_t>(percent(random) % 4 + 1);
    TTableFragmentScanner scanner;
    scanner.SetSink(&sink);
    scanner.Feed(text.data(), text.size(), true);
    scanner.Finish();
    ASSERT_EQ(sink.taken, WantedOnly(expected, sink)) << "input to a sink: " << text;
    ASSERT_EQ(scanner.FragmentCount(), sink.taken.size());
  }
}

TEST(TableFragmentScanner, KeepsLineBreaksInsideFragmentsOnly) {
  const struct {
    const char* input;
    Fragments expected;
  } cases[] = {
      {"<table><tr><td>always\r\navailable</td></tr></table>", {"<table><tr><td>always\navailable</td></tr></table>"}},
      // Blank lines are kept as bare line breaks, so that the lines of a PRE stay lines.
      {"<table><tr><td><pre>a\n  \n\tb</pre></td></tr>\n</table>\n", {"<table><tr><td><pre>a\n\n\tb</pre></td></tr>\n</table>"}},
      // Nothing before the fragment's line or after its closing tag: those line ends are not its own.
      {"<p>x</p>\n\n<p>Intro</p><table>\rx</table>\n\ntail", {"<p>Intro</p><table>\nx</table>"}},
      {"<table>\n<table>a\nb</table>\n</table>", {"<table>a\nb</table>"}},
      {"<table\nx</table>", {"<table\nx</table>"}},
      {"</table><table>\nx</table>", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(CutTableFragments(c.input, TLineBreaks::Kept), c.expected) << c.input;
}

TEST(TableFragmentScanner, VeryLongLineInOneTable) {
  std::string cell(3'000'000, 'x');
  const std::string text = "<table><tr><td>" + cell + "</td></tr></table>";
  const Fragments fragments = CutTableFragments(text);
  ASSERT_EQ(fragments.size(), 1u);
  EXPECT_EQ(fragments[0], text);
}

}  // namespace
}  // namespace corvane
