#include <gtest/gtest.h>

#include "layout/layout_dump.h"
#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::InkIn;
using test::kBodyX;
using test::kBodyY;
using test::kLineHeight;
using test::kPitch;
using test::TTestDocument;

TEST(Document, AnEmptyDocument) {
  TSectionList document;
  document.SetMeasurer(std::make_unique<TFixedPitchMeasurer>(kPitch));
  int scrollWidth = 5;
  EXPECT_EQ(document.DoLayout(300, 200, scrollWidth), 0);
  EXPECT_EQ(scrollWidth, 0);
  QImage picture(10, 10, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&picture);
  EXPECT_EQ(document.Paint(painter, QRect(0, 0, 10, 10), 6000, 0, 7, 0, 0), 7);
  EXPECT_EQ(document.FindSectionAtY(0).Section, nullptr);
}

// A document emptied and filled with another page lays it out and paints it exactly as a new document
// does, whatever the page before it left behind.
TEST(Document, AReusedDocumentLaysOutTheNextPageAsANewOneDoes) {
  const std::string table = "<table border=1><tr><td>aaa<td><p>b</p><tr><td colspan=2>cc</table>";
  std::string hostileSpans = "<table>";
  for (int row = 0; row < 30; ++row) hostileSpans += "<tr><td colspan=50 rowspan=900>x<td rowspan=1000>y";
  hostileSpans += "</table>";
  std::string manyLinks;
  for (int link = 0; link < 401; ++link) manyLinks += "<a href=#x>l</a> ";
  struct TCase {
    const char* Name;
    std::string First;
    std::string Second;
  } const cases[] = {
      {"spans cut before", hostileSpans, table},
      {"spans cut after", table, hostileSpans},
      {"a fixed background before", "<body background=x.gif style='background-attachment:fixed'>" + table, table},
      {"quirks before", "<table><tr><td><p>a</p></table>", "<!DOCTYPE html>" + table},
      {"a list item around a table before", "<ul><li><table><tr><td>a</table></ul>", "<ol><li>" + table + "</ol>"},
      {"many links before", manyLinks + table, "<a href=#y>one</a>" + table},
      {"nested tables before", "<table><tr><td><table><tr><td>" + table + "</table></table>", table},
  };
  constexpr int kWidth = 400;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTestDocument reused(c.First);
    reused.Document.TablePlaceBudget = 5'000;
    reused.LayOut(kWidth);
    reused.Paint(kWidth, 200);
    LoadHtmlDocument(reused.Document, c.Second, TDocumentDefaults{}, {});
    TTestDocument fresh(c.Second);
    fresh.Document.TablePlaceBudget = 5'000;

    EXPECT_EQ(reused.LayOut(kWidth), fresh.LayOut(kWidth));
    EXPECT_EQ(reused.ScrollWidth, fresh.ScrollWidth);
    EXPECT_EQ(test::LayoutDump(reused.Document), test::LayoutDump(fresh.Document));
    EXPECT_EQ(reused.Paint(kWidth, 200), fresh.Paint(kWidth, 200));
    EXPECT_EQ(reused.Document.State.TableSpansCut, fresh.Document.State.TableSpansCut);
    EXPECT_EQ(reused.Document.State.QuirksMode, fresh.Document.State.QuirksMode);
    EXPECT_EQ(reused.Document.State.ManyLinks, fresh.Document.State.ManyLinks);
    EXPECT_EQ(reused.Document.HasFixedBackground(), fresh.Document.HasFixedBackground());
    EXPECT_EQ(reused.Document.HasFocusProxies(), fresh.Document.HasFocusProxies());
    for (int y : {0, 30, 60, 500})
      EXPECT_EQ(reused.Document.FindSectionAtY(y).Index, fresh.Document.FindSectionAtY(y).Index) << y;
  }
}

TEST(Document, SectionsAtHeights) {
  TTestDocument document("<p>a</p><p>b</p><p>c</p>");
  document.LayOut(300);
  const std::vector<TSection*> sections = document.Sections();
  ASSERT_EQ(sections.size(), 3u);
  EXPECT_EQ(document.Document.FindSectionAtY(kBodyY - 1).Section, nullptr);
  EXPECT_EQ(document.Document.FindSectionAtY(kBodyY).Section, sections[0]);
  // Between two items: the one above.
  EXPECT_EQ(document.Document.FindSectionAtY(sections[1]->TopY - 3).Section, sections[0]);
  const TSectionAtY at = document.Document.FindSectionAtY(sections[2]->TopY + 100);
  EXPECT_EQ(at.Section, sections[2]);
  EXPECT_EQ(at.Index, 2);
  EXPECT_EQ(at.Y, sections[2]->TopY);
}

TEST(Document, SelectedText) {
  TTestDocument document("<p>ab</p><p>cd ef</p>");
  document.LayOut(300);
  const std::vector<TSection*> sections = document.Sections();
  TSectionList& list = document.Document;
  list.SelB = sections[0]->FirstCharIndex;
  list.SelE = sections[1]->FirstCharIndex + 5;
  char16_t buffer[32];
  EXPECT_EQ(list.GetSelLength(), 9);
  EXPECT_EQ(list.GetSelTextBuf(buffer, 32), 10);
  EXPECT_EQ(std::u16string(buffer), u"ab\r\ncd ef");
  // A buffer too small keeps what fits; an empty selection copies nothing.
  EXPECT_EQ(list.GetSelTextBuf(buffer, 4), 4);
  EXPECT_EQ(std::u16string(buffer), u"ab\r");
  list.SelE = list.SelB;
  EXPECT_EQ(list.GetSelLength(), 0);
  EXPECT_EQ(list.GetSelTextBuf(buffer, 32), 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST(Document, IdsNameWhatTheyMark) {
  TTestDocument document("<p>x</p><p id=para>a</p><br id=gone><p>b<a name=\"#mark\">c</a>");
  document.LayOut(300);
  TSectionList& list = document.Document;
  // A block's id names the block; ids of sections that were dropped name their place in the text.
  TIDObject* paragraph = list.IDNameList.Find("para");
  ASSERT_NE(paragraph, nullptr);
  EXPECT_EQ(paragraph->GetYPos(), document.SectionStarting(u"a")->TopY);
  TIDObject* gone = list.IDNameList.Find("GONE");
  ASSERT_NE(gone, nullptr);
  EXPECT_GE(gone->GetYPos(), 0);
  TIDObject* mark = list.IDNameList.Find("mark");
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->GetYPos(), document.SectionStarting(u"b")->TopY);
}

TEST(Document, LinksAndTitlesUnderPoints) {
  TTestDocument document("<p>ab <a href=\"x.html\" title=T>cd</a> <span title=S>ef</span></p>");
  document.LayOut(300);
  document.Paint(300, 100);
  TSectionList& list = document.Document;
  const int y = kBodyY + 8;
  TLinkAtResult link;
  EXPECT_EQ(list.LinkAt(kBodyX + 3 * kPitch + 2, y, link), LinkAtLink | LinkAtTitle);
  ASSERT_TRUE(link.Link.has_value());
  EXPECT_EQ(link.Link->Url, "x.html");
  EXPECT_EQ(link.Title, "T");
  TLinkAtResult title;
  EXPECT_EQ(list.LinkAt(kBodyX + 6 * kPitch + 2, y, title), LinkAtTitle);
  EXPECT_EQ(title.Title, "S");
  TLinkAtResult none;
  EXPECT_EQ(list.LinkAt(kBodyX + 2, y, none), 0);
  EXPECT_EQ(list.LinkAt(kBodyX + 2, y + 100, none), 0);
}

TEST(DocumentPainting, SelectionAndInlineBorders) {
  TTestDocument document("<p>abc <span style=\"border:1px solid #0000ff\">de</span>", false);
  document.LayOut(300);
  TSection& section = *document.Sections().at(0);
  document.Document.SelB = section.FirstCharIndex + 1;
  document.Document.SelE = section.FirstCharIndex + 2;
  const QImage picture = document.Paint(300, 60);
  // The selected "b" stands on a block of the text colour; the characters beside it do not.
  int x = 0, y = 0;
  ASSERT_TRUE(section.CharIndexToXY(section.FirstCharIndex + 1, x, y));
  EXPECT_EQ(picture.pixel(x, y + 1), qRgb(0, 0, 0));
  EXPECT_EQ(picture.pixel(x - 1, y + 1), qRgb(255, 255, 255));
  // A bordered inline element: blue around its characters, nowhere else.
  int blue = 0;
  for (int py = 0; py < picture.height(); ++py)
    for (int px = 0; px < picture.width(); ++px) blue += picture.pixel(px, py) == qRgb(0, 0, 255);
  EXPECT_GT(blue, 20);
  int dx = 0, dy = 0;
  ASSERT_TRUE(section.CharIndexToXY(section.FirstCharIndex + 4, dx, dy));
  EXPECT_EQ(picture.pixel(dx - 1, dy + 8), qRgb(0, 0, 255));
  // Painting away from the text draws nothing of it.
  EXPECT_EQ(InkIn(document.Paint(300, 60, 500), QRect(0, 0, 300, 60)), 0);
}

}  // namespace
}  // namespace corvane
