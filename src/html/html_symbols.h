#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace corvane {

// Every symbol the tokenizer hands to the document builders: element start symbols, element end symbols
// (suffix End), attribute symbols, and the five of the tokenizer itself. The attributes TITLE, LINK, SPAN,
// WRAP, SELECTED, LABEL and READONLY share the symbol of the element of the same name; the attributes
// TEXT and STYLE are SymTextAttr and SymStyleAttr, apart from the text token and the STYLE element.
enum class TagSymbol : std::uint8_t {
  SymText,        // a text token
  SymEof,         // the end of the text
  SymUnknownTag,  // a tag not in the element table, or the end tag of an element without an end form
  SymUnknownAttr, // an attribute not in the attribute table
  SymLineEnd,     // a line end inside raw SCRIPT or TEXTAREA content

  // Elements with an end form, in table order.
  SymHtml, SymTitle, SymBody, SymHead, SymB, SymI, SymH, SymEm, SymStrong, SymU, SymCite, SymVar, SymTt,
  SymCode, SymKbd, SymSamp, SymOl, SymUl, SymDir, SymMenu, SymDl, SymA, SymAddress, SymBlockquote, SymPre,
  SymCenter, SymTable, SymTd, SymTh, SymCaption, SymForm, SymTextarea, SymSelect, SymOption, SymFont, SymSub,
  SymSup, SymBig, SymSmall, SymP, SymMap, SymFrameset, SymNoframes, SymScript, SymDiv, SymS, SymStrike,
  SymTr, SymNobr, SymStyle, SymSpan, SymColgroup, SymLabel, SymThead, SymTbody, SymTfoot, SymObject,

  // Their end symbols, in the same order.
  SymHtmlEnd, SymTitleEnd, SymBodyEnd, SymHeadEnd, SymBEnd, SymIEnd, SymHEnd, SymEmEnd, SymStrongEnd, SymUEnd,
  SymCiteEnd, SymVarEnd, SymTtEnd, SymCodeEnd, SymKbdEnd, SymSampEnd, SymOlEnd, SymUlEnd, SymDirEnd,
  SymMenuEnd, SymDlEnd, SymAEnd, SymAddressEnd, SymBlockquoteEnd, SymPreEnd, SymCenterEnd, SymTableEnd,
  SymTdEnd, SymThEnd, SymCaptionEnd, SymFormEnd, SymTextareaEnd, SymSelectEnd, SymOptionEnd, SymFontEnd,
  SymSubEnd, SymSupEnd, SymBigEnd, SymSmallEnd, SymPEnd, SymMapEnd, SymFramesetEnd, SymNoframesEnd,
  SymScriptEnd, SymDivEnd, SymSEnd, SymStrikeEnd, SymTrEnd, SymNobrEnd, SymStyleEnd, SymSpanEnd,
  SymColgroupEnd, SymLabelEnd, SymTheadEnd, SymTbodyEnd, SymTfootEnd, SymObjectEnd,

  // Elements without an end form.
  SymLi, SymBr, SymHr, SymDd, SymDt, SymImg, SymBase, SymButton, SymInput, SymSelected, SymBasefont, SymArea,
  SymFrame, SymPage, SymBgsound, SymWrap, SymMeta, SymPanel, SymWbr, SymLink, SymCol, SymParam, SymReadonly,

  // Attributes that are not also elements.
  SymHref, SymName, SymSrc, SymAlt, SymAlign, SymTextAttr, SymBgcolor, SymBackground, SymColspan, SymRowspan,
  SymBorder, SymCellpadding, SymCellspacing, SymValign, SymWidth, SymStart, SymValue, SymType, SymCheckbox,
  SymRadio, SymMethod, SymAction, SymChecked, SymSize, SymMaxlength, SymCols, SymRows, SymMultiple, SymFace,
  SymColor, SymTransp, SymClear, SymIsmap, SymBordercolor, SymUsemap, SymShape, SymCoords, SymNohref,
  SymHeight, SymPlain, SymTarget, SymNoresize, SymScrolling, SymHspace, SymLanguage, SymFrameborder,
  SymMarginwidth, SymMarginheight, SymLoop, SymOnclick, SymNoshade, SymHttpEquiv, SymContent, SymEnctype,
  SymVlink, SymOlink, SymActive, SymVspace, SymClass, SymId, SymStyleAttr, SymRel, SymRev, SymNowrap,
  SymBordercolorlight, SymBordercolordark, SymCharset, SymRatio, SymOnfocus, SymOnblur, SymOnchange,
  SymTabindex, SymBgproperties, SymDisabled, SymTopmargin, SymLeftmargin,

  SymCount
};

static_assert(static_cast<int>(TagSymbol::SymCount) <= 224, "the builders keep symbol sets of 224 members");

// A set of symbols, such as the stop set a build procedure hands down.
class TSymbolSet {
 public:
  constexpr TSymbolSet() = default;
  constexpr TSymbolSet(std::initializer_list<TagSymbol> symbols) {
    for (TagSymbol symbol : symbols) Include(symbol);
  }

  constexpr void Include(TagSymbol symbol) {
    const unsigned n = static_cast<unsigned>(symbol);
    m_bits[n / 64] |= std::uint64_t{1} << (n % 64);
  }
  constexpr bool Contains(TagSymbol symbol) const {
    const unsigned n = static_cast<unsigned>(symbol);
    return (m_bits[n / 64] >> (n % 64)) & 1;
  }
  constexpr TSymbolSet operator+(const TSymbolSet& other) const {
    TSymbolSet both;
    for (std::size_t i = 0; i < m_bits.size(); ++i) both.m_bits[i] = m_bits[i] | other.m_bits[i];
    return both;
  }
  constexpr bool operator==(const TSymbolSet&) const = default;

 private:
  std::array<std::uint64_t, 4> m_bits{};
};

// Symbols of one element-table record.
struct TElementSymbols {
  TagSymbol Start;
  std::optional<TagSymbol> End;  // none for the 23 elements without an end form
};

inline constexpr int kElementTableSize = 80;
inline constexpr int kAttributeTableSize = 84;

// The element whose upper-case name is upperName (exact match); none when the name is not in the table.
std::optional<TElementSymbols> LookupElement(std::string_view upperName);
// The attribute whose upper-case name is upperName (exact match); none when the name is not in the table.
std::optional<TagSymbol> LookupAttribute(std::string_view upperName);

// The lower-case element name of a start symbol; "" for any other symbol.
std::string_view ElementName(TagSymbol start);
// The lower-case element name of an end symbol; "" for any other symbol.
std::string_view EndElementName(TagSymbol end);
// The end symbol of a start symbol; none for elements without an end form and for other symbols.
std::optional<TagSymbol> EndSymbolOf(TagSymbol start);

}  // namespace corvane
