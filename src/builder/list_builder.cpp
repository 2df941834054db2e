// Lists, list items and the block elements that hold flow content (ADDRESS, BLOCKQUOTE, CENTER, FORM,
// DIV).
#include <algorithm>
#include <limits>

#include "builder/document_builder.h"
#include "html/attribute_list.h"
#include "layout/block.h"
#include "layout/form_control.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "style/prop_stack.h"

namespace corvane {

namespace {

using S = TagSymbol;

const TSymbolSet kListItemInline = {
    S::SymB,      S::SymI,      S::SymEm,       S::SymStrong,   S::SymU,       S::SymCite,      S::SymVar,
    S::SymS,      S::SymStrike, S::SymTt,       S::SymCode,     S::SymKbd,     S::SymSamp,      S::SymSpan,
    S::SymLabel,  S::SymSub,    S::SymSup,      S::SymBig,      S::SymSmall,   S::SymBEnd,      S::SymIEnd,
    S::SymEmEnd,  S::SymStrongEnd, S::SymUEnd,  S::SymCiteEnd,  S::SymVarEnd,  S::SymSEnd,      S::SymStrikeEnd,
    S::SymTtEnd,  S::SymCodeEnd, S::SymKbdEnd,  S::SymSampEnd,  S::SymSpanEnd, S::SymLabelEnd,  S::SymSubEnd,
    S::SymSupEnd, S::SymBigEnd, S::SymSmallEnd, S::SymBr,       S::SymImg,     S::SymA,         S::SymAEnd,
    S::SymInput,  S::SymTextarea, S::SymTextareaEnd, S::SymSelect, S::SymFont, S::SymFontEnd,   S::SymBasefont,
    S::SymMap,    S::SymPage,   S::SymScript,   S::SymScriptEnd, S::SymPanel,  S::SymNobr,      S::SymNobrEnd,
    S::SymWbr,    S::SymObject, S::SymObjectEnd, S::SymText,    S::SymUnknownTag};

bool IsListSymbol(TagSymbol symbol) {
  return symbol == S::SymOl || symbol == S::SymUl || symbol == S::SymDir || symbol == S::SymMenu || symbol == S::SymDl;
}

bool IsListEnd(TagSymbol symbol) {
  return symbol == S::SymOlEnd || symbol == S::SymUlEnd || symbol == S::SymDirEnd || symbol == S::SymMenuEnd ||
         symbol == S::SymDlEnd || symbol == S::SymBlockquoteEnd;
}

TBlockLI::TListKind ListKindOf(TagSymbol list) {
  switch (list) {
    case S::SymOl:
      return TBlockLI::TListKind::Ordered;
    case S::SymUl:
    case S::SymDir:
    case S::SymMenu:
      return TBlockLI::TListKind::Unordered;
    case S::SymDl:
      return TBlockLI::TListKind::Definition;
    default:
      return TBlockLI::TListKind::None;
  }
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

}  // namespace

bool THtmlBuilder::BuildList(TagSymbol symbol, const TSymbolSet& stop) {
  if (m_blockDepth >= kMaxBlockDepth) return false;
  int number = 1;
  char typeLetter = '1';
  bool plain = false;
  if (symbol == S::SymOl) {
    if (const TAttribute* start = Attributes().Find(S::SymStart); start && start->Value >= 0) number = start->Value;
    if (const TAttribute* type = Attributes().Find(S::SymType); type && !type->Text.empty()) typeLetter = type->Text[0];
  } else if (symbol == S::SymUl) {
    const TAttribute* type = Attributes().Find(S::SymType);
    const std::string typeText = type ? Lower(type->Text) : std::string();
    plain = Attributes().Find(S::SymPlain) != nullptr || typeText == "none" || typeText == "plain";
    // A named marker holds at every nesting level; the items know it by its first letter.
    if (typeText == "disc" || typeText == "circle" || typeText == "square") typeLetter = typeText[0];
  }
  CloseSection();
  const std::string tag(ElementName(symbol));
  PushProperties(tag);
  OpenBlock();
  NextToken();
  const TagSymbol end = EndSymbolOf(symbol).value_or(S::SymEof);
  if (IsListEnd(Symbol())) {
    // An empty list: its block ends here, and what follows is outside it.
    CloseSection();
    PopProperties(tag);
    CloseBlock();
    return true;
  }
  const bool counts = symbol == S::SymOl || symbol == S::SymUl || symbol == S::SymDir || symbol == S::SymMenu;
  if (counts) ++ListLevel;
  const TSymbolSet divisionStop =
      stop + TSymbolSet{S::SymOlEnd, S::SymLi, S::SymUlEnd, S::SymDirEnd, S::SymMenuEnd, S::SymDlEnd, S::SymDd,
                        S::SymDt, S::SymEof};
  for (;;) {
    const TagSymbol current = Symbol();
    if (current == S::SymEof || current == end || stop.Contains(current)) break;
    if (current == S::SymP) {
      BuildParagraph(stop);
    } else if (kListItemInline.Contains(current) || current == S::SymH || current == S::SymHEnd ||
               current == S::SymHr || current == S::SymPre || current == S::SymPreEnd || current == S::SymTable) {
      BuildInline();
    } else if (IsListSymbol(current)) {
      if (!BuildList(current, stop) || !stop.Contains(Symbol())) NextToken();
    } else if (current == S::SymLi || current == S::SymDd || current == S::SymDt) {
      if (current == S::SymLi)
        if (const TAttribute* value = Attributes().Find(S::SymValue); value && value->Value != 0) number = value->Value;
      BuildListItem(symbol, current, number, stop, plain, typeLetter);
      // A huge START or VALUE keeps its last number instead of wrapping to negatives.
      if (number < std::numeric_limits<int>::max()) ++number;
    } else if (current == S::SymAddress || current == S::SymBlockquote) {
      BuildDivision(current, stop);
    } else if (current == S::SymCenter || current == S::SymForm || current == S::SymDiv) {
      BuildDivision(current, divisionStop);
    } else if (current == S::SymStyle) {
      ReadStyleContent();
      NextToken();
    } else {
      NextToken();
    }
  }
  if (counts) --ListLevel;
  CloseSection();
  PopProperties(tag);
  CloseBlock();
  return true;
}

void THtmlBuilder::BuildListItem(TagSymbol listSymbol, TagSymbol itemSymbol, int number, const TSymbolSet& stop,
                                 bool plain, char typeLetter) {
  if (m_blockDepth >= kMaxBlockDepth) {
    NextToken();
    return;
  }
  CloseSection();
  const std::string tag(ElementName(itemSymbol));
  PushProperties(tag);
  auto item = std::make_unique<TBlockLI>(&m_document, &Attributes(), ListLevel, number, typeLetter, plain,
                                         ListKindOf(listSymbol), CurrentCell, Top());
  AddBlock(std::move(item));
  OpenSection();
  const TSection* first = CurrentSection.get();
  SkipBlanks();
  NextToken();
  const bool inList = IsListSymbol(listSymbol);
  for (;;) {
    const TagSymbol current = Symbol();
    if (current == S::SymP && inList) {
      BuildParagraph({});
    } else if (current == S::SymPEnd || current == S::SymUnknownTag) {
      NextToken();
    } else if ((current == S::SymLi || current == S::SymDd || current == S::SymDt) &&
               m_blockDepth >= kMaxBlockDepth) {
      // At the nesting limit the lists inside were read past, and so are their items: the text stays in
      // this item instead of making a line of its own for every level.
      NextToken();
    } else if (kListItemInline.Contains(current) || current == S::SymH || current == S::SymTable) {
      BuildInline();
    } else if (IsListSymbol(current)) {
      const bool built = BuildList(current, stop);
      if (!built || !stop.Contains(Symbol())) NextToken();
    } else if (current == S::SymAddress || current == S::SymBlockquote || current == S::SymCenter ||
               current == S::SymForm || current == S::SymDiv) {
      BuildDivision(current, stop);
    } else {
      break;
    }
  }
  // An empty item still gets a line for its marker.
  if (CurrentSection && CurrentSection.get() == first && CurrentSection->Text().empty())
    CurrentSection->AddChar(0xA0, TagPosition());
  CloseSection();
  PopProperties(tag);
  CloseBlock();
}

ThtmlForm& THtmlBuilder::NewForm(const TAttributeList* attributes) {
  auto form = std::make_unique<ThtmlForm>(&m_document);
  if (attributes) {
    auto text = [&](TagSymbol symbol) {
      const TAttribute* attribute = attributes->Find(symbol);
      return attribute ? Converter().ToUtf16(attribute->Text, attribute->CodePage) : QString();
    };
    if (const TAttribute* method = attributes->Find(S::SymMethod))
      form->Method = Converter().ToUtf16(method->Text, method->CodePage).left(4);
    form->Action = text(S::SymAction);
    form->Target = text(S::SymTarget);
    form->EncType = text(S::SymEnctype);
  }
  m_document.htmlFormList.push_back(std::move(form));
  return *m_document.htmlFormList.back();
}

void THtmlBuilder::BuildForm(const TSymbolSet& stop) {
  while (Symbol() == S::SymForm) {
    CloseSection();
    PushProperties("form");
    OpenBlock();
    CurrentForm = &NewForm(&Attributes());
    NextToken();
    BuildFlow(stop + TSymbolSet{S::SymForm, S::SymFormEnd});
    CloseSection();
    PopProperties("form");
    CloseBlock();
    if (Symbol() == S::SymFormEnd) {
      CurrentForm = nullptr;
      NextToken();
    }
  }
}

void THtmlBuilder::BuildDivision(TagSymbol symbol, const TSymbolSet& stop) {
  if (m_blockDepth >= kMaxBlockDepth) {
    NextToken();
    return;
  }
  switch (symbol) {
    case S::SymAddress:
    case S::SymBlockquote:
      CloseSection();
      if (!BuildList(symbol, stop + TSymbolSet{S::SymAddressEnd, S::SymBlockquoteEnd})) {
        NextToken();
        return;
      }
      if (Symbol() == S::SymAddressEnd || Symbol() == S::SymBlockquoteEnd) NextToken();
      return;
    case S::SymCenter:
      CloseSection();
      PushPropertiesWithoutAttributes("center");
      ++m_blockDepth;  // no block, but one level of nesting all the same
      NextToken();
      BuildFlow(stop + TSymbolSet{S::SymCenterEnd});
      --m_blockDepth;
      CloseSection();
      PopProperties("center");
      if (Symbol() == S::SymCenterEnd) NextToken();
      return;
    case S::SymForm:
      BuildForm(stop);
      return;
    case S::SymDiv: {
      CloseSection();
      TProperties& division = PushProperties("div");
      const TAttribute* align = Attributes().Find(S::SymAlign);
      if (align) {
        std::string value = Lower(align->Text);
        if (value == "middle") value = "center";
        if (value == "left" || value == "center" || value == "right" || value == "justify") {
          division.SetFromAttribute(Prop::TextAlign, TPropValue::Text(value));
          PropStack().SealShape(division, "text-align:" + value);
        }
      }
      OpenBlock();
      OpenSection();
      NextToken();
      BuildFlow(stop + TSymbolSet{S::SymDivEnd});
      CloseSection();
      PopProperties("div");
      CloseBlock();
      OpenSection();
      if (Symbol() == S::SymDivEnd) NextToken();
      return;
    }
    default:
      NextToken();
      return;
  }
}

}  // namespace corvane
