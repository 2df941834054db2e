#include <gtest/gtest.h>

#include "html/attribute_list.h"
#include "html/html_reader.h"
#include "html/id_name_list.h"
#include "html/image_map.h"
#include "html/selection_text.h"
#include "html/url_target.h"

namespace corvane {
namespace {

TEST(UrlTargetTest, LinkLifetime) {
  THtmlReader reader("<a href=x.htm target=_top tabindex=3>");
  reader.Start();
  TUrlTarget link;
  link.Assign("x.htm", "_top", 7, &reader.Attributes());
  EXPECT_EQ(link.Attributes, "HREF=x.htm\r\nTARGET=_top\r\nTABINDEX=3");
  EXPECT_EQ(link.StartPos, 7);
  EXPECT_EQ(link.EndPos, -1);

  TUrlTarget other;
  other.Assign("y.htm", "", 1, nullptr);
  EXPECT_NE(other.LinkId, link.LinkId);

  // Font runs, which keep copies of the targets: one of another link, then three of this one.
  std::vector<TRunTarget> runs(4);
  runs[0] = other;
  for (int i = 1; i < 4; ++i) runs[i] = link;
  runs[1].LinkId = other.LinkId;  // the walk back stops here
  link.SetEnd(4, [&runs](int i) { return &runs[static_cast<std::size_t>(i)]; }, 42);
  EXPECT_EQ(link.EndPos, 42);
  EXPECT_EQ(runs[3].EndPos, 42);
  EXPECT_EQ(runs[2].EndPos, 42);
  EXPECT_EQ(runs[1].EndPos, -1);

  link.Clear();
  EXPECT_EQ(link.Url, "");
  EXPECT_EQ(link.LinkId, 0);
  EXPECT_EQ(link.StartPos, -1);
}

class TFixedPositions : public TDocumentPositions {
 public:
  int YOfSourcePosition(int sourcePosition) const override { return sourcePosition * 10; }
};

class TItem : public TIDObject {
 public:
  int GetYPos() const override { return 500; }
};

TEST(IdNameListTest, LastRegistrationWinsWhateverTheCase) {
  TFixedPositions document;
  TIDNameList ids(&document);
  ids.AddPosition("TOP", 3);
  ids.AddPosition("top", 8);  // the builder upper-cases A NAME; an ID comes as written
  TItem item;
  ids.AddObject("Item", &item);
  EXPECT_EQ(ids.Count(), 2);
  ASSERT_NE(ids.Find("Top"), nullptr);
  EXPECT_EQ(ids.Find("Top")->GetYPos(), 80);
  EXPECT_EQ(ids.Find("ITEM"), &item);
  ids.AddPosition("item", 1);
  EXPECT_EQ(ids.Find("Item")->GetYPos(), 10);
  EXPECT_EQ(ids.Find("missing"), nullptr);
  EXPECT_EQ(TChPosObj(nullptr, 4).GetYPos(), 0);
  ids.Clear();
  EXPECT_EQ(ids.Count(), 0);
}

TMapItem MapOf(const std::string& areas) {
  THtmlReader reader("<map name=nav>" + areas);
  reader.Start();
  TMapItem map(reader.Attributes().Find(TagSymbol::SymName)->Text);
  for (reader.NextToken(); reader.Symbol() != TagSymbol::SymEof; reader.NextToken())
    if (reader.Symbol() == TagSymbol::SymArea) map.AddArea(reader.Attributes());
  return map;
}

TEST(ImageMapTest, AreasAndHits) {
  TMapItem map = MapOf(
      "<area shape=circle coords='10,10' href=dropped.htm>"
      "<area shape=rect coords='0,0,9,9' href=square.htm target=main title=Square>"
      "<area shape=RECTANGLE coords='40 , 0 , 30, 9' nohref>"
      "<area shape=circ coords='100,100,5' href=circle.htm>"
      "<area shape=polygon coords='50,0,60,0,60,10,50,10,7' href=poly.htm>"
      "<area shape=rect coords='0,0,200,200' href=all.htm>");
  EXPECT_EQ(map.MapName, "NAV");
  EXPECT_EQ(map.AreaCount(), 5);

  struct TProbe {
    int X, Y;
    bool Found;
    std::string Url;
  };
  const TProbe probes[] = {
      {0, 0, true, "square.htm"},  {9, 9, true, "square.htm"},  {10, 9, true, "all.htm"},
      {35, 5, false, ""},          {30, 9, false, ""},          {100, 105, true, "circle.htm"},
      {104, 103, true, "circle.htm"}, {105, 105, true, "all.htm"}, {50, 0, true, "poly.htm"},
      {59, 9, true, "poly.htm"},   {60, 5, true, "all.htm"},    {201, 0, false, ""},
  };
  for (const TProbe& probe : probes) {
    const TMapItem::TAreaHit hit = map.FindArea(probe.X, probe.Y);
    EXPECT_EQ(hit.Found, probe.Found) << probe.X << "," << probe.Y;
    EXPECT_EQ(hit.Target ? hit.Target->Url : "", probe.Url) << probe.X << "," << probe.Y;
  }
  const TMapItem::TAreaHit square = map.FindArea(5, 5);
  EXPECT_EQ(square.Target->Target, "main");
  EXPECT_EQ(square.Title, "Square");
}

TEST(ImageMapTest, CoordsAndLimits) {
  EXPECT_EQ(ParseCoords(" 1, 2 ,3  4,,-5, x, 123456789012345678901,+6 "),
            (std::vector<int>{1, 2, 3, 4, -5, 0, 0, 6}));
  EXPECT_EQ(ParseCoords(std::string(2000, '1').insert(1000, ",")).size(), 2u);
  std::string many;
  for (int i = 0; i < 400; ++i) many += "1,";
  EXPECT_EQ(ParseCoords(many).size(), 301u);

  std::string areas;
  for (int i = 0; i < 1001; ++i) areas += "<area coords=0,0,1,1 href=a>";
  EXPECT_EQ(MapOf(areas).AreaCount(), TMapItem::kMaxAreas);
}

TEST(SelectionTextTest, CountAndCopy) {
  const std::u16string text = u"a\x02" u"b\x04" u"c\x08" u"d";
  SelTextCount count;
  count.AddText(text.data(), static_cast<int>(text.size()));
  count.AddTextWithLineEnd(u"e", 1);
  EXPECT_EQ(count.Finish(), 8);  // a b c, the line break, d, e, CR LF

  char16_t buffer[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
  SelTextBuf copy(buffer, 6);
  copy.AddText(text.data(), static_cast<int>(text.size()));
  copy.AddTextWithLineEnd(u"e", 1);
  EXPECT_EQ(copy.Finish(), 6);
  EXPECT_EQ(std::u16string(buffer), u"abcde");

  SelTextBuf none(nullptr, 0);
  none.AddText(text.data(), static_cast<int>(text.size()));
  EXPECT_EQ(none.Finish(), 0);
}

}  // namespace
}  // namespace corvane
