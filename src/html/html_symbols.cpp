#include "html/html_symbols.h"

#include <cstddef>

namespace corvane {

namespace {

using S = TagSymbol;

struct TElementRecord {
  std::string_view Name;  // lower case
  TagSymbol Start;
  std::optional<TagSymbol> End;
};

struct TAttributeRecord {
  std::string_view Name;  // lower case
  TagSymbol Symbol;
};

// The element table in its order: first the 57 elements with an end form, then the 23 without. A
// heading is the single name "h"; its level is read after the name.
constexpr std::array<TElementRecord, kElementTableSize> kElements = {{
    {"html", S::SymHtml, S::SymHtmlEnd},
    {"title", S::SymTitle, S::SymTitleEnd},
    {"body", S::SymBody, S::SymBodyEnd},
    {"head", S::SymHead, S::SymHeadEnd},
    {"b", S::SymB, S::SymBEnd},
    {"i", S::SymI, S::SymIEnd},
    {"h", S::SymH, S::SymHEnd},
    {"em", S::SymEm, S::SymEmEnd},
    {"strong", S::SymStrong, S::SymStrongEnd},
    {"u", S::SymU, S::SymUEnd},
    {"cite", S::SymCite, S::SymCiteEnd},
    {"var", S::SymVar, S::SymVarEnd},
    {"tt", S::SymTt, S::SymTtEnd},
    {"code", S::SymCode, S::SymCodeEnd},
    {"kbd", S::SymKbd, S::SymKbdEnd},
    {"samp", S::SymSamp, S::SymSampEnd},
    {"ol", S::SymOl, S::SymOlEnd},
    {"ul", S::SymUl, S::SymUlEnd},
    {"dir", S::SymDir, S::SymDirEnd},
    {"menu", S::SymMenu, S::SymMenuEnd},
    {"dl", S::SymDl, S::SymDlEnd},
    {"a", S::SymA, S::SymAEnd},
    {"address", S::SymAddress, S::SymAddressEnd},
    {"blockquote", S::SymBlockquote, S::SymBlockquoteEnd},
    {"pre", S::SymPre, S::SymPreEnd},
    {"center", S::SymCenter, S::SymCenterEnd},
    {"table", S::SymTable, S::SymTableEnd},
    {"td", S::SymTd, S::SymTdEnd},
    {"th", S::SymTh, S::SymThEnd},
    {"caption", S::SymCaption, S::SymCaptionEnd},
    {"form", S::SymForm, S::SymFormEnd},
    {"textarea", S::SymTextarea, S::SymTextareaEnd},
    {"select", S::SymSelect, S::SymSelectEnd},
    {"option", S::SymOption, S::SymOptionEnd},
    {"font", S::SymFont, S::SymFontEnd},
    {"sub", S::SymSub, S::SymSubEnd},
    {"sup", S::SymSup, S::SymSupEnd},
    {"big", S::SymBig, S::SymBigEnd},
    {"small", S::SymSmall, S::SymSmallEnd},
    {"p", S::SymP, S::SymPEnd},
    {"map", S::SymMap, S::SymMapEnd},
    {"frameset", S::SymFrameset, S::SymFramesetEnd},
    {"noframes", S::SymNoframes, S::SymNoframesEnd},
    {"script", S::SymScript, S::SymScriptEnd},
    {"div", S::SymDiv, S::SymDivEnd},
    {"s", S::SymS, S::SymSEnd},
    {"strike", S::SymStrike, S::SymStrikeEnd},
    {"tr", S::SymTr, S::SymTrEnd},
    {"nobr", S::SymNobr, S::SymNobrEnd},
    {"style", S::SymStyle, S::SymStyleEnd},
    {"span", S::SymSpan, S::SymSpanEnd},
    {"colgroup", S::SymColgroup, S::SymColgroupEnd},
    {"label", S::SymLabel, S::SymLabelEnd},
    {"thead", S::SymThead, S::SymTheadEnd},
    {"tbody", S::SymTbody, S::SymTbodyEnd},
    {"tfoot", S::SymTfoot, S::SymTfootEnd},
    {"object", S::SymObject, S::SymObjectEnd},
    {"li", S::SymLi, std::nullopt},
    {"br", S::SymBr, std::nullopt},
    {"hr", S::SymHr, std::nullopt},
    {"dd", S::SymDd, std::nullopt},
    {"dt", S::SymDt, std::nullopt},
    {"img", S::SymImg, std::nullopt},
    {"base", S::SymBase, std::nullopt},
    {"button", S::SymButton, std::nullopt},
    {"input", S::SymInput, std::nullopt},
    {"selected", S::SymSelected, std::nullopt},
    {"basefont", S::SymBasefont, std::nullopt},
    {"area", S::SymArea, std::nullopt},
    {"frame", S::SymFrame, std::nullopt},
    {"page", S::SymPage, std::nullopt},
    {"bgsound", S::SymBgsound, std::nullopt},
    {"wrap", S::SymWrap, std::nullopt},
    {"meta", S::SymMeta, std::nullopt},
    {"panel", S::SymPanel, std::nullopt},
    {"wbr", S::SymWbr, std::nullopt},
    {"link", S::SymLink, std::nullopt},
    {"col", S::SymCol, std::nullopt},
    {"param", S::SymParam, std::nullopt},
    {"readonly", S::SymReadonly, std::nullopt},
}};

// The attribute table in its order. VALUE stands twice; lookups find the first.
constexpr std::array<TAttributeRecord, kAttributeTableSize> kAttributes = {{
    {"href", S::SymHref},
    {"name", S::SymName},
    {"src", S::SymSrc},
    {"alt", S::SymAlt},
    {"align", S::SymAlign},
    {"text", S::SymTextAttr},
    {"bgcolor", S::SymBgcolor},
    {"link", S::SymLink},
    {"background", S::SymBackground},
    {"colspan", S::SymColspan},
    {"rowspan", S::SymRowspan},
    {"border", S::SymBorder},
    {"cellpadding", S::SymCellpadding},
    {"cellspacing", S::SymCellspacing},
    {"valign", S::SymValign},
    {"width", S::SymWidth},
    {"start", S::SymStart},
    {"value", S::SymValue},
    {"type", S::SymType},
    {"checkbox", S::SymCheckbox},
    {"radio", S::SymRadio},
    {"method", S::SymMethod},
    {"action", S::SymAction},
    {"checked", S::SymChecked},
    {"size", S::SymSize},
    {"maxlength", S::SymMaxlength},
    {"cols", S::SymCols},
    {"rows", S::SymRows},
    {"multiple", S::SymMultiple},
    {"value", S::SymValue},
    {"selected", S::SymSelected},
    {"face", S::SymFace},
    {"color", S::SymColor},
    {"transp", S::SymTransp},
    {"clear", S::SymClear},
    {"ismap", S::SymIsmap},
    {"bordercolor", S::SymBordercolor},
    {"usemap", S::SymUsemap},
    {"shape", S::SymShape},
    {"coords", S::SymCoords},
    {"nohref", S::SymNohref},
    {"height", S::SymHeight},
    {"plain", S::SymPlain},
    {"target", S::SymTarget},
    {"noresize", S::SymNoresize},
    {"scrolling", S::SymScrolling},
    {"hspace", S::SymHspace},
    {"language", S::SymLanguage},
    {"frameborder", S::SymFrameborder},
    {"marginwidth", S::SymMarginwidth},
    {"marginheight", S::SymMarginheight},
    {"loop", S::SymLoop},
    {"onclick", S::SymOnclick},
    {"wrap", S::SymWrap},
    {"noshade", S::SymNoshade},
    {"http-equiv", S::SymHttpEquiv},
    {"content", S::SymContent},
    {"enctype", S::SymEnctype},
    {"vlink", S::SymVlink},
    {"olink", S::SymOlink},
    {"active", S::SymActive},
    {"vspace", S::SymVspace},
    {"class", S::SymClass},
    {"id", S::SymId},
    {"style", S::SymStyleAttr},
    {"rel", S::SymRel},
    {"rev", S::SymRev},
    {"nowrap", S::SymNowrap},
    {"bordercolorlight", S::SymBordercolorlight},
    {"bordercolordark", S::SymBordercolordark},
    {"charset", S::SymCharset},
    {"ratio", S::SymRatio},
    {"title", S::SymTitle},
    {"onfocus", S::SymOnfocus},
    {"onblur", S::SymOnblur},
    {"onchange", S::SymOnchange},
    {"span", S::SymSpan},
    {"tabindex", S::SymTabindex},
    {"bgproperties", S::SymBgproperties},
    {"disabled", S::SymDisabled},
    {"topmargin", S::SymTopmargin},
    {"leftmargin", S::SymLeftmargin},
    {"label", S::SymLabel},
    {"readonly", S::SymReadonly},
}};

constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr std::size_t kMaxNameLength = 16;  // "bordercolorlight"
constexpr std::size_t kSlots = 256;

constexpr std::size_t HashOf(std::string_view upperName) {
  std::size_t hash = 2166136261u;
  for (char c : upperName) hash = ((hash ^ static_cast<unsigned char>(c)) * 16777619u) & 0xFFFFFFFFu;
  return hash % kSlots;
}

// Upper-case names in a hash table with open addressing, filled in table order and skipping a name that
// is already there: a lookup finds the first record of a name, as a linear search from the top would.
struct TNameSlot {
  char Name[kMaxNameLength] = {};
  std::uint8_t Length = 0;
  std::uint8_t Record = 0xFF;  // 0xFF: empty
};

template <typename Record, std::size_t N>
constexpr std::array<TNameSlot, kSlots> NameSlots(const std::array<Record, N>& table) {
  std::array<TNameSlot, kSlots> slots{};
  for (std::size_t i = 0; i < N; ++i) {
    TNameSlot slot;
    for (std::size_t k = 0; k < table[i].Name.size(); ++k) slot.Name[k] = Upper(table[i].Name[k]);
    slot.Length = static_cast<std::uint8_t>(table[i].Name.size());
    slot.Record = static_cast<std::uint8_t>(i);
    const std::string_view name(slot.Name, slot.Length);
    std::size_t at = HashOf(name);
    while (slots[at].Record != 0xFF && std::string_view(slots[at].Name, slots[at].Length) != name)
      at = (at + 1) % kSlots;
    if (slots[at].Record == 0xFF) slots[at] = slot;
  }
  return slots;
}

constexpr auto kElementSlots = NameSlots(kElements);
constexpr auto kAttributeSlots = NameSlots(kAttributes);

// The record number of an upper-case name; -1 when it is not in the table.
int FindRecord(const std::array<TNameSlot, kSlots>& slots, std::string_view upperName) {
  if (upperName.empty() || upperName.size() > kMaxNameLength) return -1;
  for (std::size_t at = HashOf(upperName);; at = (at + 1) % kSlots) {
    const TNameSlot& slot = slots[at];
    if (slot.Record == 0xFF) return -1;
    if (std::string_view(slot.Name, slot.Length) == upperName) return slot.Record;
  }
}

constexpr std::size_t kSymbolCount = static_cast<std::size_t>(TagSymbol::SymCount);
constexpr std::uint8_t kNoRecord = 0xFF;

// The element record of each start symbol (or of each end symbol), for the reverse lookups.
template <bool kByEnd>
constexpr std::array<std::uint8_t, kSymbolCount> RecordsBySymbol() {
  std::array<std::uint8_t, kSymbolCount> records{};
  records.fill(kNoRecord);
  for (std::size_t i = 0; i < kElements.size(); ++i) {
    const std::optional<TagSymbol> symbol = kByEnd ? kElements[i].End : std::optional<TagSymbol>(kElements[i].Start);
    if (symbol) records[static_cast<std::size_t>(*symbol)] = static_cast<std::uint8_t>(i);
  }
  return records;
}

constexpr auto kRecordOfStart = RecordsBySymbol<false>();
constexpr auto kRecordOfEnd = RecordsBySymbol<true>();

const TElementRecord* RecordOf(const std::array<std::uint8_t, kSymbolCount>& records, TagSymbol symbol) {
  const std::size_t n = static_cast<std::size_t>(symbol);
  if (n >= records.size() || records[n] == kNoRecord) return nullptr;
  return &kElements[records[n]];
}

}  // namespace

std::optional<TElementSymbols> LookupElement(std::string_view upperName) {
  const int record = FindRecord(kElementSlots, upperName);
  if (record < 0) return std::nullopt;
  const TElementRecord& element = kElements[static_cast<std::size_t>(record)];
  return TElementSymbols{element.Start, element.End};
}

std::optional<TagSymbol> LookupAttribute(std::string_view upperName) {
  const int record = FindRecord(kAttributeSlots, upperName);
  if (record < 0) return std::nullopt;
  return kAttributes[static_cast<std::size_t>(record)].Symbol;
}

std::string_view ElementName(TagSymbol start) {
  const TElementRecord* record = RecordOf(kRecordOfStart, start);
  return record ? record->Name : std::string_view();
}

std::string_view EndElementName(TagSymbol end) {
  const TElementRecord* record = RecordOf(kRecordOfEnd, end);
  return record ? record->Name : std::string_view();
}

std::optional<TagSymbol> EndSymbolOf(TagSymbol start) {
  const TElementRecord* record = RecordOf(kRecordOfStart, start);
  return record ? record->End : std::nullopt;
}

}  // namespace corvane
