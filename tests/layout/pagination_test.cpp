// Cutting a laid-out document into pages: first on constraints given by hand, then on documents laid out
// on the fixed-pitch measurer (lines 17 high).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/layout_test_support.h"
#include "layout/pagination.h"

namespace corvane {
namespace {

using test::TTestDocument;

struct TKeptSpan {
  TKeepKind Kind;
  int Top;
  int Bottom;
};

struct TCutCase {
  const char* Name;
  std::vector<TKeptSpan> Spans;
  std::vector<int> Forced;
  std::vector<TPageBreakCollector::THead> Heads;
  int DocumentHeight;
  int PageHeight;
  std::vector<int> Bottoms;     // of each page
  std::vector<int> HeadCounts;  // of each page; empty: none anywhere
};

// Lines of height from top to bottom.
void AddLines(std::vector<TKeptSpan>& spans, int top, int bottom, int height, TKeepKind kind = TKeepKind::Line) {
  for (int y = top; y < bottom; y += height) spans.push_back({kind, y, std::min(bottom, y + height)});
}

std::vector<TKeptSpan> Lines(int top, int bottom, int height) {
  std::vector<TKeptSpan> spans;
  AddLines(spans, top, bottom, height);
  return spans;
}

std::vector<TKeptSpan> With(std::vector<TKeptSpan> spans, std::vector<TKeptSpan> more) {
  spans.insert(spans.end(), more.begin(), more.end());
  return spans;
}

TEST(Pagination, CutsByTheConstraints) {
  const std::vector<TCutCase> cases = {
      {"nothing kept: cut at the page edges", {}, {}, {}, 250, 100, {100, 200, 250}, {}},
      {"a short document is one page", {}, {}, {}, 40, 100, {40}, {}},
      {"an empty document is one empty page", {}, {}, {}, 0, 100, {0}, {}},
      {"a line across the edge goes to the next page", Lines(0, 170, 17), {}, {}, 170, 100, {85, 170}, {}},
      {"a break between lines at the edge is taken", Lines(0, 200, 20), {}, {}, 200, 100, {100, 200}, {}},
      {"a row taller than a page is cut between its lines",
       With({{TKeepKind::Row, 0, 250}}, Lines(0, 250, 17)), {}, {}, 250, 100, {85, 170, 250}, {}},
      {"a row taller than a page and without lines is cut at the edge",
       {{TKeepKind::Row, 0, 250}}, {}, {}, 250, 100, {100, 200, 250}, {}},
      {"rows are kept whole", With(Lines(0, 90, 30), {{TKeepKind::Row, 90, 150}, {TKeepKind::Row, 150, 210}}), {}, {},
       210, 100, {90, 150, 210}, {}},
      {"a picture taller than a page is cut at the edge", {{TKeepKind::Line, 10, 260}}, {}, {}, 300, 100,
       {100, 200, 300}, {}},
      {"a forced break ends the page", Lines(0, 150, 10), {30}, {}, 150, 100, {30, 130, 150}, {}},
      {"forced breaks at the top and the end make no empty page", {}, {0, 150}, {}, 150, 200, {150}, {}},
      {"two forced breaks at one place make one break", {}, {50, 50}, {}, 120, 200, {50, 120}, {}},
      {"a forced break with only space above it starts no page", Lines(30, 250, 20), {20}, {}, 250, 100,
       {90, 190, 250}, {}},
      {"an avoided block that fits goes to the next page",
       With(Lines(0, 200, 20), {{TKeepKind::Avoid, 60, 160}}), {}, {}, 200, 100, {60, 160, 200}, {}},
      {"an avoided block taller than a page gives way",
       With(Lines(0, 200, 20), {{TKeepKind::Avoid, 0, 150}}), {}, {}, 200, 100, {100, 200}, {}},
      {"overlapping avoided spans give way to rows and lines",
       With(Lines(0, 200, 10), {{TKeepKind::Avoid, 0, 90}, {TKeepKind::Avoid, 80, 170}}), {}, {}, 200, 100,
       {100, 200}, {}},
      {"pages that continue a table repeat its head",
       With({{TKeepKind::Row, 0, 20}}, [] {
         std::vector<TKeptSpan> rows;
         AddLines(rows, 20, 300, 20, TKeepKind::Row);
         return rows;
       }()),
       {}, {{0, 20, 300}}, 300, 100, {100, 180, 260, 300}, {0, 1, 1, 1}},
      {"a page below the table repeats no head",
       [] {
         std::vector<TKeptSpan> rows;
         AddLines(rows, 0, 160, 20, TKeepKind::Row);
         AddLines(rows, 160, 300, 10);
         return rows;
       }(),
       {}, {{0, 20, 120}}, 300, 100, {100, 180, 280, 300}, {0, 1, 0, 0}},
      {"a head taller than half a page is not repeated", Lines(0, 300, 10), {}, {{0, 60, 300}}, 300, 100,
       {100, 200, 300}, {0, 0, 0}},
  };
  for (const TCutCase& c : cases) {
    TPageBreakCollector collector;
    for (const TKeptSpan& span : c.Spans) collector.Keep(span.Top, span.Bottom, span.Kind);
    for (int y : c.Forced) collector.ForceBreak(y);
    for (const auto& head : c.Heads) collector.TableHead(head.Top, head.Bottom, head.BodyBottom);
    const std::vector<TPageRange> pages = Paginate(collector, c.DocumentHeight, c.PageHeight);
    std::vector<int> bottoms;
    std::vector<int> headCounts;
    int top = 0;
    bool contiguous = true;
    for (const TPageRange& page : pages) {
      contiguous = contiguous && page.Top == top;
      top = page.Bottom;
      bottoms.push_back(page.Bottom);
      headCounts.push_back(static_cast<int>(page.Heads.size()));
    }
    EXPECT_TRUE(contiguous) << c.Name;
    EXPECT_EQ(bottoms, c.Bottoms) << c.Name;
    if (!c.HeadCounts.empty()) {
      EXPECT_EQ(headCounts, c.HeadCounts) << c.Name;
      for (const TPageRange& page : pages)
        for (const TPageHead& head : page.Heads) EXPECT_EQ(head.Top, c.Heads[0].Top) << c.Name;
    } else {
      EXPECT_EQ(headCounts, std::vector<int>(pages.size(), 0)) << c.Name;
    }
  }
}

// ---- Documents ----

// The text sections of the document, those in table cells too.
std::vector<TSection*> AllSections(const TTestDocument& document) {
  std::vector<TSection*> sections;
  const_cast<TSectionList&>(document.Document).CollectSections(sections);
  return sections;
}

// Every text line of the document, as [top, bottom) bands.
std::vector<std::pair<int, int>> LineBands(const TTestDocument& document) {
  std::vector<std::pair<int, int>> bands;
  for (const TSection* section : AllSections(document))
    for (const LineRec& line : section->Lines())
      if (line.Ln > 0) bands.emplace_back(line.Top, line.Top + line.BandHeight());
  return bands;
}

// The top of the first line of the section whose text starts with start.
int LineTop(const TTestDocument& document, std::u16string_view start) {
  for (const TSection* section : AllSections(document))
    if (section->Text().starts_with(start) && !section->Lines().empty()) return section->Lines().front().Top;
  return -1;
}

struct TPagedDocument {
  TPagedDocument(const std::string& html, int pageHeight, int width = 300) : Document(html) {
    Document.Document.Printing = true;
    Document.LayOut(width);
    Pages = PaginateDocument(Document.Document, Document.Height, pageHeight);
  }
  // Whether any page edge cuts a text line.
  bool CutsALine() const {
    for (const auto& [top, bottom] : LineBands(Document))
      for (const TPageRange& page : Pages)
        if (page.Bottom > top && page.Bottom < bottom) return true;
    return false;
  }
  int PageStartingAt(int y) const {
    for (std::size_t i = 0; i < Pages.size(); ++i)
      if (Pages[i].Top == y) return static_cast<int>(i);
    return -1;
  }

  TTestDocument Document;
  std::vector<TPageRange> Pages;
};

std::string Paragraphs(int count) {
  std::string html;
  for (int i = 0; i < count; ++i) html += "<p>Paragraph " + std::to_string(i) + " aaa bbb ccc ddd eee fff ggg hhh iii</p>";
  return html;
}

TEST(Pagination, TextIsNeverCutAcrossPages) {
  for (int pageHeight : {60, 100, 137, 400}) {
    const TPagedDocument paged("<html><body>" + Paragraphs(30) + "</body></html>", pageHeight);
    EXPECT_GT(paged.Pages.size(), 1u) << pageHeight;
    EXPECT_FALSE(paged.CutsALine()) << pageHeight;
    // The last page ends with the last line: the body's bottom margin makes no page of its own.
    EXPECT_LT(paged.Pages.back().Top, LineBands(paged.Document).back().second);
    EXPECT_GE(paged.Pages.back().Bottom, LineBands(paged.Document).back().second);
    EXPECT_LE(paged.Pages.back().Bottom, paged.Document.Height);
    for (const TPageRange& page : paged.Pages) {
      EXPECT_LE(page.Bottom - page.Top, pageHeight);
      EXPECT_GT(page.Bottom, page.Top);
    }
  }
}

TEST(Pagination, ForcedBreaksStartPages) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"PAGE element", "<p>First</p><page><p>Second</p>"},
      {"page-break-before on a block", "<p>First</p><div style=\"page-break-before: always\">Second</div>"},
      {"page-break-after on a block", "<div style=\"page-break-after: always\">First</div><p>Second</p>"},
      {"page-break-before on a break", "First<br style=\"page-break-before: always\">Second"},
      {"page-break-before on a table row",
       "<table><tr><td>First</td></tr><tr style=\"page-break-before: always\"><td>Second</td></tr></table>"},
      {"page-break-after on a table cell",
       "<table><tr><td style=\"page-break-after: always\">First</td></tr><tr><td>Second</td></tr></table>"},
  };
  for (const auto& [name, body] : cases) {
    const TPagedDocument paged("<html><body>" + body + "</body></html>", 1000);
    ASSERT_EQ(paged.Pages.size(), 2u) << name;
    const int second = LineTop(paged.Document, u"Second");
    EXPECT_LE(paged.Pages[1].Top, second) << name;
    EXPECT_GT(paged.Pages[1].Top, LineTop(paged.Document, u"First")) << name;
  }
}

TEST(Pagination, AvoidKeepsABlockTogetherWhenItFits) {
  const std::string lines = "a<br>b<br>c<br>d<br>e";  // five lines, 85 high
  const TPagedDocument plain("<html><body>" + Paragraphs(3) + "<div>" + lines + "</div></body></html>", 180);
  const TPagedDocument kept(
      "<html><body>" + Paragraphs(3) + "<div style=\"page-break-inside: avoid\">" + lines + "</div></body></html>", 180);
  const int blockTop = LineTop(kept.Document, u"a");
  ASSERT_GT(blockTop, 0);
  ASSERT_EQ(LineTop(plain.Document, u"a"), blockTop);
  // Without the property the block is cut between its lines; with it, it starts a page.
  EXPECT_EQ(plain.PageStartingAt(blockTop), -1);
  EXPECT_NE(kept.PageStartingAt(blockTop), -1);
  EXPECT_FALSE(kept.CutsALine());
}

std::string TableRows(int count) {
  std::string rows;
  for (int i = 0; i < count; ++i) rows += "<tr><td>Row " + std::to_string(i) + "</td><td>aaa</td></tr>";
  return rows;
}

TEST(Pagination, TableHeadsAreRepeatedOnTheirPages) {
  const TPagedDocument paged("<html><body><table><thead><tr><th>Head</th><th>Other</th></tr></thead><tbody>" +
                                 TableRows(40) + "</tbody></table><p>After</p>" + Paragraphs(10) + "</body></html>",
                             200);
  ASSERT_GT(paged.Pages.size(), 3u);
  EXPECT_FALSE(paged.CutsALine());
  EXPECT_TRUE(paged.Pages[0].Heads.empty());
  const int headTop = LineTop(paged.Document, u"Head");
  const int after = LineTop(paged.Document, u"After");
  for (std::size_t i = 1; i < paged.Pages.size(); ++i) {
    const TPageRange& page = paged.Pages[i];
    if (page.Top < after - 10) {
      ASSERT_EQ(page.Heads.size(), 1u) << i;
      EXPECT_LE(page.Heads[0].Top, headTop);
      EXPECT_GT(page.Heads[0].Bottom, headTop);
      EXPECT_LE(page.Bottom - page.Top + page.HeadHeight(), 200);
    } else {
      EXPECT_TRUE(page.Heads.empty()) << i;
    }
  }
}

TEST(Pagination, RowsAreKeptWholeAndATallRowIsCutBetweenLines) {
  // Row tops are the tops of their first cells' lines: no page starts inside a row band.
  const TPagedDocument rows("<html><body><table>" + TableRows(30) + "</table></body></html>", 130);
  EXPECT_FALSE(rows.CutsALine());
  for (std::size_t i = 1; i < rows.Pages.size(); ++i) {
    const int top = rows.Pages[i].Top;
    bool startsARow = false;
    for (const TSection* section : AllSections(rows.Document)) {
      if (!section->Text().starts_with(u"Row ")) continue;
      const int line = section->Lines().front().Top;
      startsARow = startsARow || (line >= top && line - top < 8);
    }
    EXPECT_TRUE(startsARow) << i;
  }
  std::string tall = "<html><body><table><tr><td>";
  for (int i = 0; i < 20; ++i) tall += "Line<br>";
  tall += "</td><td>x</td></tr></table></body></html>";
  const TPagedDocument cut(tall, 100);
  EXPECT_GE(cut.Pages.size(), 4u);
  EXPECT_FALSE(cut.CutsALine());
}

}  // namespace
}  // namespace corvane
