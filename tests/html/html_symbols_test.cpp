#include "html/html_symbols.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using S = TagSymbol;

TEST(HtmlSymbolsTest, ElementLookup) {
  EXPECT_EQ(LookupElement("H")->Start, S::SymH);
  EXPECT_EQ(LookupElement("H")->End, S::SymHEnd);
  EXPECT_EQ(LookupElement("OBJECT")->End, S::SymObjectEnd);
  EXPECT_EQ(LookupElement("LI")->Start, S::SymLi);
  EXPECT_EQ(LookupElement("LI")->End, std::nullopt);
  EXPECT_EQ(LookupElement("READONLY")->Start, S::SymReadonly);
  for (const char* unknown : {"H1", "h", "", "HTMLX", "/A", "TEXT", "HREF"})
    EXPECT_EQ(LookupElement(unknown), std::nullopt) << unknown;
}

TEST(HtmlSymbolsTest, AttributeLookup) {
  EXPECT_EQ(LookupAttribute("HTTP-EQUIV"), S::SymHttpEquiv);
  EXPECT_EQ(LookupAttribute("VALUE"), S::SymValue);
  EXPECT_EQ(LookupAttribute("OLINK"), S::SymOlink);
  EXPECT_EQ(LookupAttribute("TEXT"), S::SymTextAttr);
  EXPECT_EQ(LookupAttribute("STYLE"), S::SymStyleAttr);
  // These attributes are the elements of the same name.
  for (const char* shared : {"TITLE", "LINK", "SPAN", "WRAP", "SELECTED", "LABEL", "READONLY"})
    EXPECT_EQ(LookupAttribute(shared), LookupElement(shared)->Start) << shared;
  for (const char* unknown : {"href", "DATA-X", "", "BORDERCOLORLIGHTX"})
    EXPECT_EQ(LookupAttribute(unknown), std::nullopt) << unknown;
}

TEST(HtmlSymbolsTest, ReverseLookups) {
  EXPECT_EQ(ElementName(S::SymBlockquote), "blockquote");
  EXPECT_EQ(ElementName(S::SymWbr), "wbr");
  EXPECT_EQ(ElementName(S::SymTdEnd), "");
  EXPECT_EQ(ElementName(S::SymHref), "");
  EXPECT_EQ(EndElementName(S::SymTdEnd), "td");
  EXPECT_EQ(EndElementName(S::SymTd), "");
  EXPECT_EQ(EndSymbolOf(S::SymTable), S::SymTableEnd);
  EXPECT_EQ(EndSymbolOf(S::SymBr), std::nullopt);
}

TEST(HtmlSymbolsTest, SymbolSets) {
  constexpr TSymbolSet cells{S::SymTd, S::SymTh};
  const TSymbolSet stops = cells + TSymbolSet{S::SymLeftmargin, S::SymEof};
  EXPECT_TRUE(stops.Contains(S::SymTh));
  EXPECT_TRUE(stops.Contains(S::SymLeftmargin));
  EXPECT_FALSE(stops.Contains(S::SymTr));
  EXPECT_FALSE(cells.Contains(S::SymEof));
}

}  // namespace
}  // namespace corvane
