#include "builder/document_builder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <string_view>

#include "html/attribute_list.h"
#include "html/selection_text.h"
#include "layout/block.h"
#include "layout/form_control.h"
#include "layout/image_obj.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "style/prop_stack.h"
#include "style/style_context.h"
#include "style/style_list.h"

namespace corvane {

namespace {

using S = TagSymbol;

const TSymbolSet kFontStyleGroup = {
    S::SymB,      S::SymI,      S::SymEm,      S::SymStrong,    S::SymU,      S::SymCite,      S::SymVar,
    S::SymS,      S::SymStrike, S::SymTt,      S::SymCode,      S::SymKbd,    S::SymSamp,      S::SymSpan,
    S::SymLabel,  S::SymSub,    S::SymSup,     S::SymBig,       S::SymSmall,  S::SymBEnd,      S::SymIEnd,
    S::SymEmEnd,  S::SymStrongEnd, S::SymUEnd, S::SymCiteEnd,   S::SymVarEnd, S::SymSEnd,      S::SymStrikeEnd,
    S::SymTtEnd,  S::SymCodeEnd, S::SymKbdEnd, S::SymSampEnd,   S::SymSpanEnd, S::SymLabelEnd, S::SymSubEnd,
    S::SymSupEnd, S::SymBigEnd, S::SymSmallEnd};

const TSymbolSet kInlineGroup =
    kFontStyleGroup + TSymbolSet{S::SymBr,      S::SymImg,      S::SymA,       S::SymAEnd,    S::SymInput,
                                 S::SymTextarea, S::SymTextareaEnd, S::SymSelect, S::SymFont,   S::SymFontEnd,
                                 S::SymBasefont, S::SymMap,      S::SymPage,    S::SymScript,  S::SymScriptEnd,
                                 S::SymPanel,    S::SymNobr,     S::SymNobrEnd, S::SymWbr,     S::SymObject,
                                 S::SymObjectEnd, S::SymText,    S::SymUnknownTag};

const TSymbolSet kFlowInline = kInlineGroup + TSymbolSet{S::SymH, S::SymHEnd, S::SymHr, S::SymPre, S::SymPreEnd,
                                                         S::SymTable};

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

// The ALIGN of P, H and DIV as a "text-align" value; "" for none.
std::string AlignOf(const TAttributeList& attributes) {
  const TAttribute* align = attributes.Find(S::SymAlign);
  if (!align) return {};
  const std::string value = Lower(align->Text);
  if (value == "left" || value == "center" || value == "right" || value == "justify") return value;
  if (value == "middle") return "center";
  return {};
}

std::string AttributeText(const TAttributeList& attributes, TagSymbol symbol) {
  const TAttribute* attribute = attributes.Find(symbol);
  return attribute ? attribute->Text : std::string();
}

bool HoldsOnlySpaces(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c == u' '; });
}

}  // namespace

THtmlBuilder::THtmlBuilder(std::string text, TSectionList& document, TBuilderHandlers handlers)
    : THtmlParser(std::move(text), document.Styles, handlers.BaseAddress, handlers.PageCharset),
      m_document(document),
      m_handlers(std::move(handlers)) {
  SetIdList(&m_document.IDNameList);
}

THtmlBuilder::~THtmlBuilder() = default;

TProperties& THtmlBuilder::Top() { return PropStack().Top(); }

TProperties& THtmlBuilder::PushProperties(std::string_view tag, std::string_view pseudo) {
  if (PropStack().Count() >= kMaxOpenElements) {
    ++m_refusedPushes[std::string(tag)];
    return Top();
  }
  TAttributeList& attributes = Attributes();
  TProperties* style = attributes.StyleProperties();
  TPropertiesOwner owned = attributes.TakeStyleProperties();
  const std::string className = attributes.ClassName();
  const std::string title = attributes.Title();
  TElementIdentity element{tag, className, attributes.Id(), pseudo, title, style};
  TProperties& top = PropStack().PushProperties(element);
  if (owned) m_inlineStyles.emplace_back(top.SerialNumber(), std::move(owned));
  return top;
}

TProperties& THtmlBuilder::PushPropertiesWithoutAttributes(std::string_view tag) {
  if (PropStack().Count() >= kMaxOpenElements) {
    ++m_refusedPushes[std::string(tag)];
    return Top();
  }
  TElementIdentity element;
  element.Tag = tag;
  return PropStack().PushProperties(element);
}

void THtmlBuilder::PopProperties(std::string_view tag) {
  if (!m_refusedPushes.empty()) {
    const auto refused = m_refusedPushes.find(std::string(tag));
    if (refused != m_refusedPushes.end()) {
      if (--refused->second == 0) m_refusedPushes.erase(refused);
      return;
    }
  }
  const TPoppedEntry popped = PropStack().PopProperties(tag);
  if (!popped.Found) return;
  if (popped.HasBorderStyle) m_document.InlineList.SetEnd(popped.SerialNumber, Position());
  for (auto at = m_inlineStyles.rbegin(); at != m_inlineStyles.rend(); ++at) {
    if (at->first != popped.SerialNumber) continue;
    m_inlineStyles.erase(std::next(at).base());
    break;
  }
}

void THtmlBuilder::PopToCount(int count) {
  TPropStack& stack = PropStack();
  for (int i = std::max(1, count); i < stack.Count(); ++i)
    std::erase_if(m_inlineStyles, [serial = stack[i].SerialNumber()](const auto& entry) { return entry.first == serial; });
  stack.PopToCount(count);
}

void THtmlBuilder::InlineBoxCheck() {
  TProperties& top = Top();
  top.TakeBackgroundForFonts();
  PropStack().SealShape(top, "font-background");
  if (top.HasBorderStyle()) m_document.InlineList.Add(Position(), top);
}

void THtmlBuilder::CloseSection() {
  if (CurrentSection) CurrentCell->Add(std::move(CurrentSection), TagPosition() >= 0 ? TagPosition() : std::max(0, Position()));
}

void THtmlBuilder::CloseSectionAt(int sourcePosition) {
  if (CurrentSection) CurrentCell->Add(std::move(CurrentSection), std::max(0, sourcePosition));
}

void THtmlBuilder::OpenSection(bool paragraphStart, bool withAttributes) {
  CurrentSection = std::make_unique<TSection>(&m_document, paragraphStart, InLink ? &LinkTarget : nullptr, Top(),
                                              withAttributes ? &Attributes() : nullptr);
}

void THtmlBuilder::OpenPreSection(bool paragraphStart) {
  CurrentSection = std::make_unique<TPreFormated>(&m_document, paragraphStart, InLink ? &LinkTarget : nullptr, Top(),
                                                  nullptr);
}

TSection& THtmlBuilder::EnsureSection() {
  if (!CurrentSection) OpenSection();
  return *CurrentSection;
}

void THtmlBuilder::AddBlock(std::unique_ptr<TBlock> block) {
  TBlock* added = block.get();
  CurrentCell->Add(std::move(block), TagPosition());
  CurrentCell = &added->Content();
  ++m_blockDepth;
}

TBlock& THtmlBuilder::OpenBlock() {
  auto block = std::make_unique<TBlock>(&m_document, &Attributes(), CurrentCell, Top());
  TBlock& opened = *block;
  AddBlock(std::move(block));
  return opened;
}

void THtmlBuilder::CloseBlock() {
  if (TBlock* block = CurrentCell->OwnerBlock; block && block->OwnerCell) {
    CurrentCell = block->OwnerCell;
    --m_blockDepth;
  }
}

void THtmlBuilder::FontChange() {
  if (CurrentSection) CurrentSection->ChangeFont(Top());
  NextToken();
}

void THtmlBuilder::Initialize() {
  CurrentCell = &m_document;
  BeginParse();
  PropStack().Top().Font();
  auto body = std::make_unique<TBodyBlock>(&m_document, nullptr, CurrentCell, Top());
  BodyBlock = body.get();
  AddBlock(std::move(body));
  m_blockDepth = 0;
  LinkTarget.Clear();
  InLink = false;
  BaseFontSize = 3;
  m_title.clear();
  m_baseUrl.clear();
  m_baseTarget.clear();
  CurrentForm = nullptr;
  OpenSection();
  NoBreak = false;
  ListLevel = 0;
  TableLevel = 0;
  SetRawContent(false);
  SetScanOnly(false);
}

void THtmlBuilder::Finalize() {
  CloseSection();
  m_inlineStyles.clear();
  EndParse();
  LinkTarget.Clear();
  InLink = false;
}

namespace {

constexpr int kMostTabbedLinks = 400;

// How many places of text could begin an A start tag: a "<" followed by "a" or "A" and then no letter.
// The reader finds no A tag elsewhere, so this is never fewer than the links it reads; counting stops
// once it passes most.
int PossibleLinkTags(std::string_view text, int most) {
  int count = 0;
  const char* at = text.data();
  const char* const end = at + text.size();
  while (count <= most) {
    at = static_cast<const char*>(std::memchr(at, '<', static_cast<std::size_t>(end - at)));
    if (at == nullptr) break;
    ++at;
    if (at == end || (*at != 'a' && *at != 'A')) continue;
    // An ASCII letter goes on the tag's name; anything else may end it (the reader's rule for other
    // bytes does not matter: counting too many only costs the reader's count).
    const char after = at + 1 == end ? '\0' : static_cast<char>(at[1] | 0x20);
    if (after < 'a' || after > 'z') ++count;
  }
  return count;
}

}  // namespace

void THtmlBuilder::LinkPreScan() {
  // Documents with more than 400 links give their links no keyboard tab stops. Most pages have too
  // few places where a link could begin to need the reader's count.
  if (PossibleLinkTags(Text(), kMostTabbedLinks) <= kMostTabbedLinks) {
    m_document.State.ManyLinks = false;
    return;
  }
  int links = 0;
  try {
    SetScanOnly(true);
    // The count needs only the HREF of A tags: every other attribute is passed over unread.
    SetAttributesOf({S::SymA}, {S::SymHref});
    Start();
    while (Symbol() != S::SymEof && links <= kMostTabbedLinks) {
      if (Symbol() == S::SymA && Attributes().Find(S::SymHref)) ++links;
      NextToken();
    }
  } catch (const std::exception&) {
    links = 0;
  }
  m_document.State.ManyLinks = links > kMostTabbedLinks;
  Rewind();
  AllAttributes();
  SetScanOnly(false);
}

void THtmlBuilder::ParseHtml() {
  Initialize();
  LinkPreScan();
  THtmlReaderHandlers handlers = Handlers();
  handlers.Include = m_handlers.Include;
  handlers.Script = m_handlers.Script;
  handlers.Progress = m_handlers.Progress;
  SetHandlers(std::move(handlers));
  try {
    Start();
    BuildFlow({});
  } catch (const std::exception&) {
    // The document keeps what was built.
  }
  if (InLink) EndLink();
  Finalize();
  m_document.State.QuirksMode = !DoctypeSeen();
}

TParseResult ParseHtmlDocumentWithResult(std::string text, TSectionList& document, const TBuilderHandlers& handlers) {
  THtmlBuilder builder(std::move(text), document, handlers);
  builder.ParseHtml();
  return {builder.Title(), builder.BaseUrl(), builder.BaseTarget()};
}

void ParseHtmlDocument(std::string text, TSectionList& document, const TBuilderHandlers& handlers) {
  ParseHtmlDocumentWithResult(std::move(text), document, handlers);
}

void ParseTextDocument(std::string text, TSectionList& document, const TBuilderHandlers& handlers) {
  THtmlBuilder builder(std::move(text), document, handlers);
  builder.ParseText();
}

void THtmlBuilder::BuildFlow(const TSymbolSet& stop) {
  while (Symbol() != S::SymEof) {
    const TagSymbol symbol = Symbol();
    if (stop.Contains(symbol)) return;
    switch (symbol) {
      case S::SymTitle:
        ReadTitle();
        break;
      case S::SymBody:
        BodyAttributes();
        break;
      case S::SymP:
        BuildParagraph(stop);
        break;
      case S::SymBase:
        HandleBase();
        break;
      case S::SymOl:
      case S::SymUl:
      case S::SymDir:
      case S::SymMenu:
      case S::SymDl:
        BuildList(symbol, stop);
        if (!stop.Contains(Symbol())) NextToken();
        break;
      case S::SymLi:
        BuildListItem(S::SymUnknownTag, S::SymLi, 1, stop, false, '1');
        break;
      case S::SymDd:
      case S::SymDt:
        BuildListItem(S::SymDl, symbol, 1, stop, false, '1');
        break;
      case S::SymAddress:
      case S::SymBlockquote:
      case S::SymCenter:
      case S::SymForm:
      case S::SymDiv:
        BuildDivision(symbol, stop);
        break;
      case S::SymLink:
        StyleSheetLink();
        break;
      case S::SymFormEnd:
        CurrentForm = nullptr;
        NextToken();
        break;
      case S::SymBgsound:
        HandleSound();
        break;
      case S::SymMeta:
        HandleMeta();
        break;
      case S::SymStyle:
        ReadStyleContent();
        NextToken();
        break;
      default:
        if (kFlowInline.Contains(symbol)) {
          BuildInline();
        } else {
          NextToken();
        }
        break;
    }
  }
  NextToken();
}

void THtmlBuilder::ReadTitle() {
  NextToken();
  QString title;
  while (Symbol() == S::SymText) {
    title += Token().S();
    NextToken();
  }
  m_title = title;
}

void THtmlBuilder::HandleBase() {
  if (const TAttribute* href = Attributes().Find(S::SymHref)) m_baseUrl = href->Text;
  if (const TAttribute* target = Attributes().Find(S::SymTarget)) m_baseTarget = target->Text;
  NextToken();
}

void THtmlBuilder::HandleMeta() {
  HandleMetaCharset(Attributes());
  if (m_handlers.Meta)
    m_handlers.Meta(AttributeText(Attributes(), S::SymHttpEquiv), AttributeText(Attributes(), S::SymName),
                    AttributeText(Attributes(), S::SymContent));
  NextToken();
}

void THtmlBuilder::HandleSound() {
  const TAttribute* source = Attributes().Find(S::SymSrc);
  if (m_handlers.Sound && source) {
    const TAttribute* loop = Attributes().Find(S::SymLoop);
    m_handlers.Sound(source->Text, 0, loop ? loop->Value : 1);
  }
  NextToken();
}

void THtmlBuilder::BodyAttributes() {
  // White space before BODY (between the head's tags) is not content: BODY still applies.
  const bool bodyEmpty = BodyBlock && BodyBlock->Content().Empty() &&
                         !(CurrentSection && !HoldsOnlySpaces(CurrentSection->Text()));
  if (!bodyEmpty || TableLevel != 0) {
    NextToken();
    return;
  }
  m_document.PanelList.clear();
  m_document.FormControlList.clear();
  CurrentSection.reset();
  TProperties& body = PushProperties("body");
  const TStyleDefaults& defaults = m_document.Defaults();
  int marginWidth = defaults.MarginWidth;
  int marginHeight = defaults.MarginHeight;
  TStyleContext& context = body.Context();
  for (const auto& attribute : Attributes()) {
    switch (attribute->Symbol) {
      case S::SymTextAttr:
        if (auto colour = context.ColorFromString(attribute->Text))
          body.SetFromAttribute(Prop::Color, TPropValue::Integer(static_cast<std::int32_t>(*colour)));
        break;
      case S::SymBgcolor:
        if (auto colour = context.ColorFromString(attribute->Text))
          body.SetFromAttribute(Prop::BackgroundColor, TPropValue::Integer(static_cast<std::int32_t>(*colour)));
        break;
      case S::SymBackground:
        body.SetFromAttribute(Prop::BackgroundImage, TPropValue::Text("url(" + attribute->Text + ")"));
        break;
      case S::SymLink:
        if (auto colour = context.ColorFromString(attribute->Text)) m_document.Styles.SetLinkRuleColor("link", *colour);
        break;
      case S::SymVlink:
        if (auto colour = context.ColorFromString(attribute->Text))
          m_document.Styles.SetLinkRuleColor("visited", *colour);
        break;
      case S::SymOlink:
        if (auto colour = context.ColorFromString(attribute->Text)) {
          m_document.Styles.SetLinkRuleColor("hover", *colour);
          m_document.Styles.RaiseHoverRulesPresent();
        }
        break;
      case S::SymMarginwidth:
      case S::SymLeftmargin:
        marginWidth = std::clamp(attribute->Value, 0, 200);
        break;
      case S::SymMarginheight:
      case S::SymTopmargin:
        marginHeight = std::clamp(attribute->Value, 0, 200);
        break;
      case S::SymBgproperties:
        if (Lower(attribute->Text) == "fixed")
          body.SetFromAttribute(Prop::BackgroundAttachment, TPropValue::Text("fixed"));
        break;
      default:
        break;
    }
  }
  body.SetFromAttribute(Prop::MarginLeft, TPropValue::Integer(marginWidth));
  body.SetFromAttribute(Prop::MarginRight, TPropValue::Integer(marginWidth));
  body.SetFromAttribute(Prop::MarginTop, TPropValue::Integer(marginHeight));
  body.SetFromAttribute(Prop::MarginBottom, TPropValue::Integer(marginHeight));

  TCellBasic* owner = BodyBlock->OwnerCell;
  std::unique_ptr<TSectionBase> old = owner->Remove(BodyBlock);
  old.reset();
  CurrentCell = owner;
  --m_blockDepth;
  auto replacement = std::make_unique<TBodyBlock>(&m_document, &Attributes(), owner, body);
  BodyBlock = replacement.get();
  AddBlock(std::move(replacement));
  OpenSection();
  NextToken();
}

void THtmlBuilder::BuildParagraph(const TSymbolSet& stop) {
  if (stop.Contains(S::SymP)) return;
  CloseSection();
  SkipBlanks();
  // Runs of P and /P make one paragraph with the attributes of the last P.
  std::string align = AlignOf(Attributes());
  TAttributeList kept;
  auto keep = [&] {
    align = AlignOf(Attributes());
    kept.Clear();
    for (const auto& attribute : Attributes()) kept.Add(std::make_unique<TAttribute>(*attribute));
  };
  keep();
  NextToken();
  while (Symbol() == S::SymP || Symbol() == S::SymPEnd) {
    if (Symbol() == S::SymP) keep();
    SkipBlanks();
    NextToken();
  }
  // The paragraph's element is opened with the remembered attributes.
  TAttributeList& current = Attributes();
  TAttributeList saved;
  for (const auto& attribute : current) saved.Add(std::make_unique<TAttribute>(*attribute));
  current.Clear();
  for (const auto& attribute : kept) current.Add(std::make_unique<TAttribute>(*attribute));
  TProperties& paragraph = PushProperties("p");
  if (!align.empty()) {
    paragraph.SetFromAttribute(Prop::TextAlign, TPropValue::Text(align));
    PropStack().SealShape(paragraph, "text-align:" + align);
  }
  TBlock& block = OpenBlock();
  current.Clear();
  for (const auto& attribute : saved) current.Add(std::make_unique<TAttribute>(*attribute));

  while (!stop.Contains(Symbol()) && kInlineGroup.Contains(Symbol())) {
    if (Symbol() == S::SymUnknownTag) {
      NextToken();
    } else {
      BuildInline();
    }
  }
  if (Symbol() == S::SymTable) block.DropBottomMargin();
  CloseSection();
  PopProperties("p");
  CloseBlock();
  if (Symbol() == S::SymPEnd) NextToken();
}

void THtmlBuilder::BuildInline() {
  const TagSymbol symbol = Symbol();
  switch (symbol) {
    case S::SymB:
    case S::SymI:
    case S::SymEm:
    case S::SymStrong:
    case S::SymU:
    case S::SymCite:
    case S::SymVar:
    case S::SymS:
    case S::SymStrike:
    case S::SymTt:
    case S::SymCode:
    case S::SymKbd:
    case S::SymSamp:
    case S::SymSpan:
    case S::SymLabel:
      PushProperties(ElementName(symbol));
      InlineBoxCheck();
      FontChange();
      return;
    case S::SymSub:
    case S::SymSup:
    case S::SymBig:
    case S::SymSmall:
      EnsureSection();
      PushProperties(ElementName(symbol));
      InlineBoxCheck();
      FontChange();
      return;
    case S::SymBr:
      BuildLineBreak();
      return;
    case S::SymH:
      BuildHeading();
      return;
    case S::SymPreEnd:
      PopProperties("pre");
      NextToken();
      return;
    case S::SymHEnd:
    case S::SymTextareaEnd:
    case S::SymObjectEnd:
      NextToken();
      return;
    case S::SymHr:
      BuildHorizontalRule();
      return;
    case S::SymPre:
      if (Attributes().Find(S::SymWrap)) {
        CloseSection();
        PushProperties("pre");
        NextToken();
      } else {
        BuildPreformatted();
      }
      return;
    case S::SymImg:
    case S::SymPanel:
      BuildImageOrPanel();
      return;
    case S::SymA:
      BuildAnchor();
      return;
    case S::SymAEnd:
      EndLink();
      NextToken();
      return;
    case S::SymText:
      if (CurrentSection) {
        CurrentSection->AddText(Token(), NoBreak);
      } else if (!(Token().Empty() || (Token().Count() == 1 && Token().Chars()[0] == u' '))) {
        OpenSection();
        CurrentSection->AddText(Token(), NoBreak);
      }
      NextToken();
      return;
    case S::SymInput:
    case S::SymSelect:
    case S::SymTextarea:
      BuildFormControl();
      return;
    case S::SymFont:
      BuildFont(false, m_inPreformatted);
      FontChange();
      return;
    case S::SymBasefont:
      BuildFont(true, m_inPreformatted);
      FontChange();
      return;
    case S::SymFontEnd:
      PopProperties("font");
      FontChange();
      return;
    case S::SymMap:
      BuildImageMap();
      return;
    case S::SymPage:
      CloseSection();
      CurrentCell->Add(std::make_unique<TPage>(&m_document), TagPosition());
      NextToken();
      return;
    case S::SymScript:
      ReadScriptContent();
      NextToken();
      return;
    case S::SymNobr:
    case S::SymNobrEnd:
      NoBreak = symbol == S::SymNobr;
      NextToken();
      return;
    case S::SymWbr:
      if (CurrentSection) CurrentSection->AddBreakOpportunity();
      NextToken();
      return;
    case S::SymObject:
      BuildObject();
      return;
    case S::SymTable:
      BuildTable();
      return;
    default:
      if (kFontStyleGroup.Contains(symbol)) {
        PopProperties(EndElementName(symbol));
        FontChange();
        return;
      }
      NextToken();
      return;
  }
}

void THtmlBuilder::BuildHeading() {
  const int level = TagValue();
  if (level < 1 || level > 6) {
    NextToken();
    return;
  }
  CloseSection();
  const std::string tag{'h', static_cast<char>('0' + level)};
  TProperties& heading = PushProperties(tag);
  if (const std::string align = AlignOf(Attributes()); !align.empty()) {
    heading.SetFromAttribute(Prop::TextAlign, TPropValue::Text(align));
    PropStack().SealShape(heading, "text-align:" + align);
  }
  SkipBlanks();
  NextToken();
  if (Symbol() == S::SymCenter) {
    Top().SetValue(Prop::TextAlign, TPropValue::Text("center"));
    PropStack().SealShape(Top(), "centred");
    NextToken();
  }
  OpenBlock();
  OpenSection(true, true);
  const TSymbolSet headingInline = kInlineGroup + TSymbolSet{S::SymHr};
  for (;;) {
    const TagSymbol symbol = Symbol();
    if (symbol == S::SymP) {
      BuildParagraph({});
    } else if (symbol == S::SymUnknownTag) {
      NextToken();
    } else if (symbol == S::SymDiv) {
      BuildDivision(S::SymDiv, {S::SymHEnd});
    } else if (headingInline.Contains(symbol) && symbol != S::SymMap && symbol != S::SymPage) {
      BuildInline();
    } else {
      break;
    }
  }
  CloseSection();
  PopProperties(tag);
  CloseBlock();
  if (Symbol() == S::SymHEnd) NextToken();
}

void THtmlBuilder::BuildHorizontalRule() {
  CloseSection();
  TProperties& properties = PushProperties("hr");
  auto rule = std::make_unique<THorzLine>(&m_document, properties, &Attributes());
  auto block = std::make_unique<THRBlock>(&m_document, &Attributes(), CurrentCell, properties);
  block->SetRule(std::move(rule));
  CurrentCell->Add(std::move(block), TagPosition());
  PopProperties("hr");
  NextToken();
}

bool THtmlBuilder::PageBreakAsked() {
  TElementIdentity element;
  element.Tag = "br";
  const std::string className = Attributes().ClassName();
  element.Class = className;
  TProperties* style = Attributes().StyleProperties();
  element.InlineStyle = style;
  PropStack().PushProperties(element);
  const TPageBreaks breaks = Top().GetPageBreaks();
  PropStack().PopProperties("br");
  return breaks.Before || breaks.After;
}

void THtmlBuilder::BuildLineBreak() {
  if (const TAttribute* clear = Attributes().Find(S::SymClear)) {
    (void)clear;
    CloseSection();
    OpenSection(false, true);
    if (PageBreakAsked()) {
      CloseSection();
      CurrentCell->Add(std::make_unique<TPage>(&m_document), TagPosition());
      OpenSection(true, true);
    }
  } else {
    if (!CurrentSection) OpenSection(true, true);
    CurrentSection->AddChar(kLineBreakChar, TagPosition());
    CloseSection();
    if (PageBreakAsked()) CurrentCell->Add(std::make_unique<TPage>(&m_document), TagPosition());
    OpenSection(false, true);
  }
  NextToken();
}

}  // namespace corvane
