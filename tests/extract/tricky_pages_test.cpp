// Pages built to trip the fast scan and the fast row lines: tags cut by every buffer edge, comments and
// scripts holding table tags, letters in odd case, NUL bytes, lines of hundreds of kilobytes. Each is
// scanned whole, in blocks of several sizes read a few bytes at a time, and with its line breaks kept,
// and compared with the step-by-step versions of the rules; so are its table lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "extract/row_extraction.h"
#include "extract/table_fragment_scanner.h"
#include "literal_reference.h"

namespace corvane {
namespace {

struct TrickyPage {
  const char* name;
  std::string text;
};

std::vector<TrickyPage> Pages() {
  const std::string longCell(100000, 'w');
  std::string manyTags;
  for (int k = 0; k < 5000; ++k) manyTags += k % 3 ? "<b>b</b>" : "<TD>c</td>";
  return {
      {"comment holding tags", "<!-- <table><tr><td>no</td></tr></table> -->\n<table><tr><td>yes</td></tr></table>"},
      {"script holding tags", "<script>var t = '<table>'; t += '</table>';</script>\n<table><tr><td>s</td></tr></table>\n"},
      {"odd case", "<TaBlE><Tr><tD>A</Td><TH>b</tH></tR></TABLE>\r\n<table><TR><TD><B>x</b></TD></TR></tAbLe>"},
      {"nul bytes", std::string("<table>\0<tr><td>a\0b</td></tr>\0</table>\n\0<table>\0</table>", 57)},
      {"huge line", "<table><tr><td>" + longCell + "</td><td> &nbsp;z </td></tr></table>"},
      {"huge line before a table", longCell + "<table><tr><td>after</td></tr></table>\n" + longCell},
      {"many tags on one line", "<table><tr>" + manyTags + "</tr></table>"},
      {"line ends inside tags", "<table\r\n><tr\n><td\r>a</td\n></tr></ta\nble></table>\r\n"},
      {"close before open", "</table><table>\n<tr><td>x</td></tr></table></TABLE>tail\n<table><tr><td>y</td></tr></table>"},
      {"nested and siblings", "<table><tr><td><table><tr><td>i</td></tr></table></td></tr>\n<table><tr><th>h</th></tr></table></table>"},
      {"end-of-file mark", "<table><tr><td>a</td></tr></table>\x1a<table><tr><td>b</td></tr></table>"},
      {"control bytes beside the tags", "\t<table>\x01<tr><td>a\tb</td></tr>\x19</table>\x0b\n\x02<TABLE><tr><td>c</td></tr></TABLE>\t"},
      {"unfinished tags at the end", "<table><tr><td>a</td></tr></table><table><tr><td>b</td></tr></ta"},
  };
}

// The fragments of text fed through ScanAll in blocks of blockSize, each read giving at most readSize.
std::vector<std::string> ScanInBlocks(const std::string& text, std::size_t blockSize, std::size_t readSize,
                                      TLineBreaks lineBreaks) {
  TTableFragmentScanner scanner;
  scanner.SetLineBreaks(lineBreaks);
  std::size_t offset = 0;
  scanner.ScanAll(
      [&](char* buffer, std::size_t size) {
        const std::size_t count = std::min({size, readSize, text.size() - offset});
        std::memcpy(buffer, text.data() + offset, count);
        offset += count;
        return count;
      },
      blockSize);
  return scanner.TakeFragments();
}

TEST(TrickyPages, FastScanAndLinesAgreeWithTheStepByStepRules) {
  struct Feeding {
    std::size_t blockSize;
    std::size_t readSize;
  };
  const std::vector<Feeding> feedings = {{16, 1}, {16, 7}, {17, 16}, {64, 13}, {4096, 4096}, {1 << 20, 1 << 20}};
  for (const TrickyPage& page : Pages()) {
    SCOPED_TRACE(page.name);
    const std::vector<std::string> expected = reference::ScanTables(page.text);
    EXPECT_EQ(CutTableFragments(page.text), expected);
    for (const Feeding& feeding : feedings) {
      SCOPED_TRACE("block " + std::to_string(feeding.blockSize) + ", reads of " + std::to_string(feeding.readSize));
      EXPECT_EQ(ScanInBlocks(page.text, feeding.blockSize, feeding.readSize, TLineBreaks::Joined), expected);
      std::vector<std::string> kept = ScanInBlocks(page.text, feeding.blockSize, feeding.readSize, TLineBreaks::Kept);
      for (std::string& fragment : kept) JoinFragmentLines(fragment);
      EXPECT_EQ(kept, expected) << "line breaks kept, then joined";
    }
    for (const bool trim : {false, true}) {
      for (const std::string& fragment : expected) {
        std::string lines;
        AppendTableLines(fragment, trim ? TCellTrimming::Trim : TCellTrimming::Keep, lines);
        std::string plain;
        for (const std::string& line : reference::RowLines(fragment, trim)) plain += line + "\r\n";
        EXPECT_TRUE(lines == plain) << (trim ? "trimmed" : "kept") << " lines of a fragment of " << fragment.size()
                                    << " bytes";
      }
    }
  }
}

}  // namespace
}  // namespace corvane
