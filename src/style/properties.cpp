#include "style/properties.h"

#include <cassert>
#include <utility>

#include "style/char_sets.h"
#include "style/monospace_size.h"
#include "style/prop_stack.h"
#include "style/style_context.h"
#include "style/style_list.h"
#include "style/style_text.h"

namespace corvane {

namespace {

using namespace style_text;

bool IsRowGroup(std::string_view tag) { return tag == "thead" || tag == "tbody" || tag == "tfoot"; }

// The lists whose built-in vertical margins are the paragraph space.
bool IsSpacedList(std::string_view tag) { return tag == "ul" || tag == "ol" || tag == "menu" || tag == "dir"; }

TColor ColorOf(const TPropValue& value) { return static_cast<TColor>(value.AsInteger()); }
TPropValue ColorValue(TColor colour) { return TPropValue::Integer(static_cast<std::int32_t>(colour)); }

// A font weight text: bold when it names bold or is a number above 599.
bool IsBoldWeight(std::string_view weight) { return Contains(weight, "bold") || IntegerOr(weight, 0) > 599; }

// Puts an entry on the property stack for as long as it is in scope.
class TTemporaryEntry {
 public:
  TTemporaryEntry(TPropStack& stack, int index, std::unique_ptr<TProperties> entry)
      : m_stack(stack), m_index(index), m_entry(stack.InsertEntry(index, std::move(entry))) {}
  ~TTemporaryEntry() { m_stack.RemoveEntry(m_index); }
  TTemporaryEntry(const TTemporaryEntry&) = delete;
  TTemporaryEntry& operator=(const TTemporaryEntry&) = delete;
  TProperties& operator*() const { return m_entry; }

 private:
  TPropStack& m_stack;
  int m_index;
  TProperties& m_entry;
};

}  // namespace

struct TProperties::TRulePass {
  const TStyleList& Styles;
  TPropStack& Stack;
  int StackIndex;
  std::string_view Tag;
  std::string_view Class;
  std::string_view Id;
  std::string_view Pseudo;
  const TProperties* InlineStyle;
  std::string& Key;  // scratch space for the keys looked up
};

TProperties::TProperties(TStyleContext& context) : m_context(&context), m_serialNumber(context.NextSerialNumber()) {}

TProperties::TProperties(const TProperties& source, TStyleContext& context)
    : m_context(&context), m_values(source.m_values), m_serialNumber(context.NextSerialNumber()) {}

const TProperties::TValueArray& TProperties::FreshValues() {
  static const TValueArray fresh = [] {
    TValueArray values;
    for (int i = Prop::FirstResetToNotSet; i <= Prop::LastResetToNotSet; ++i)
      values[static_cast<std::size_t>(i)] = TPropValue::Integer(NotSet);
    values[Prop::ZIndex] = TPropValue::Integer(0);
    return values;
  }();
  return fresh;
}

void TProperties::ResetValues() {
  if (m_values->Refs > 1) {
    m_values.MakeFresh();
  } else {
    m_values->Values = FreshValues();
  }
}

TProperties::~TProperties() = default;

void TProperties::Recycle() {
  m_cachedFont.reset();
  m_hasLinkFonts = false;
  m_defaultFontName.clear();
  m_elementTag.clear();
  m_elementClass.clear();
  m_elementId.clear();
  m_pseudoClass.clear();
  m_titleText.clear();
  m_inlineStyle = nullptr;
  m_fontBackground = ColorNone;
  m_charSet = 1;
  m_codePage = 0;
  m_emSize = m_exSize = 0;
  m_sizeFollowsDefault = true;
  ResetValues();
  m_styleSet.reset();
  m_linkFonts.reset();
  m_serialNumber = m_context->NextSerialNumber();
  ++m_version;
  m_shape = 0;
  m_shapeVersion = 0;
  m_template.reset();
  m_sharedBoxValues.reset();
}

void DeleteProperties(TProperties* properties) { std::unique_ptr<TProperties> owned(properties); }

void TProperties::InheritFrom(std::string_view tag, const TProperties& parent) {
  const bool parentIsSpan = parent.m_elementTag == "span";
  const bool parentIsRowGroup = IsRowGroup(parent.m_elementTag);
  const bool isTable = tag == "table";
  TValueArray& values = ChangeValues();
  for (int i = 0; i < Prop::Count; ++i) {
    const TPropValue& value = parent.Value(i);
    TPropValue& own = values[static_cast<std::size_t>(i)];
    if (parentIsSpan && i != Prop::BorderStyle) {
      own = value;
    } else if (parentIsRowGroup) {
      own = value;
      m_styleSet[static_cast<std::size_t>(i)] = parent.m_styleSet[static_cast<std::size_t>(i)];
    } else if (i == Prop::WordWrap && isTable) {
      own = m_context->NormalText();
    } else {
      switch (InheritanceOf(i)) {
        case TInheritance::Copied:
          own = value;
          break;
        case TInheritance::NotCopied:
          own = TPropValue();
          break;
        case TInheritance::ResetToNotSet:
          own = FreshValues()[static_cast<std::size_t>(i)];
          break;
      }
    }
  }
  m_defaultFontName = parent.m_defaultFontName;
  m_fontBackground = parent.m_fontBackground;
  m_charSet = parent.m_charSet;
  m_codePage = parent.m_codePage;
  m_titleText = parent.m_titleText;
  m_hasLinkFonts = parent.m_hasLinkFonts;
  if (parent.m_linkFonts) {
    if (!m_linkFonts) m_linkFonts = std::make_unique<TFontInfoArray>();
    *m_linkFonts = *parent.m_linkFonts;
  }
  m_emSize = parent.m_emSize;
  m_exSize = m_emSize / 2;
  m_sizeFollowsDefault = parent.m_sizeFollowsDefault;
}

void TProperties::ApplyStyleRules(const TStyleList& styles, TPropStack& stack, const TElementIdentity& element) {
  assert(stack.Count() > 0 && &stack.Top() == this);
  ApplyStyleRulesAt(styles, stack, stack.Count() - 1, element);
}

void TProperties::ApplyStyleRulesAt(const TStyleList& styles, TPropStack& stack, int stackIndex,
                                    const TElementIdentity& element) {
  std::string key;
  key.reserve(96);
  // Relative sizes are taken of the parent's size once, however many passes merge them.
  const TPropValue& inherited = Value(Prop::FontSize);
  const double parentPoints =
      inherited.IsNumber() && inherited.AsNumber() > 0 ? inherited.AsNumber() : m_context->DefaultPointSize();
  TRulePass pass{styles, stack, stackIndex, element.Tag, {}, element.Id, element.Pseudo, element.InlineStyle, key};
  const std::string_view classes = Trim(element.Class);
  if (Contains(classes, ".")) {
    // Every class name on its own (the inline style with the last one), then the whole list: rules for
    // ".a", ".b" and ".a.b" all reach an element of class "a.b".
    std::string_view rest = classes;
    for (std::size_t dot = rest.find('.'); dot != std::string_view::npos; dot = rest.find('.')) {
      pass.Class = rest.substr(0, dot);
      pass.InlineStyle = nullptr;
      RunRulePass(pass);
      rest = rest.substr(dot + 1);
    }
    pass.InlineStyle = element.InlineStyle;
    pass.Class = rest;
    RunRulePass(pass);
  }
  pass.Class = classes;
  RunRulePass(pass);
  const TProperties* parent = stackIndex >= 1 ? &stack[stackIndex - 1] : nullptr;
  ResolveFontSize(parentPoints, parent);
  if (IsSpacedList(element.Tag)) DropNestedListMargins(stack, stackIndex);

  m_elementTag = element.Tag;
  m_elementClass = element.Class;
  m_elementId = element.Id;
  m_pseudoClass = element.Pseudo;
  m_inlineStyle = element.InlineStyle;
  if (!element.Title.empty()) m_titleText = element.Title;
  if (element.Pseudo == "link") {
    if (!m_linkFonts) m_linkFonts = std::make_unique<TFontInfoArray>();
    ComputeLinkFonts(styles, stack, stackIndex);
    m_hasLinkFonts = true;
  }
}

void TProperties::RunRulePass(const TRulePass& pass) {
  const std::string_view t = pass.Tag, c = pass.Class, i = pass.Id, p = pass.Pseudo;
  const bool plain = p.empty() || (p != "hover" && p != "visited");

  auto key = [&pass](std::initializer_list<std::string_view> pieces) -> const std::string& {
    pass.Key.clear();
    for (std::string_view piece : pieces) pass.Key.append(piece);
    return pass.Key;
  };
  auto merge = [&](std::initializer_list<std::string_view> pieces) { MergeRulesWithKey(pass.Styles, key(pieces)); };
  // From the least to the most specific key: later merges overwrite earlier ones.
  if (t == "a" && !p.empty()) merge({"::", p});
  if (plain) merge({t});
  if (!p.empty()) merge({":", p});
  if (plain && !c.empty()) {
    merge({".", c});
    merge({t, ".", c});
  }
  if (!p.empty()) merge({t, ":", p});
  if (!c.empty() && !p.empty()) {
    merge({".", c, ":", p});
    merge({t, ".", c, ":", p});
  }
  if (!i.empty()) {
    merge({"#", i});
    merge({t, "#", i});
    if (!c.empty()) merge({".", c, "#", i});
    if (!p.empty()) {
      merge({"#", i, ":", p});
      merge({t, "#", i, ":", p});
    }
    if (!c.empty()) merge({t, ".", c, "#", i});
    merge({".", c, "#", i, ":", p});
    merge({t, ".", c, "#", i, ":", p});
  }

  ScanContextual(pass, t);
  ScanContextual(pass, key({".", c}));
  ScanContextual(pass, key({":", p}));

  if (pass.InlineStyle) MergeRule(*pass.InlineStyle);
}

// Turns a "font-size" text of the rules into points, and scales the size when the element's family
// differs in kind (monospace or not) from its parent's. Only sizes that still follow the viewer's
// default are scaled, as a browser scales them: a size given in a fixed unit, here or above, stays as
// given, and so does a keyword size.
void TProperties::ResolveFontSize(double parentPoints, const TProperties* parent) {
  bool scalable = true;
  if (const TPropValue& size = Value(Prop::FontSize); size.IsText()) {
    const std::string_view text = size.AsText();
    switch (FontSizeKindOf(text)) {
      case TFontSizeKind::Absolute:
        m_sizeFollowsDefault = false;
        scalable = false;
        break;
      case TFontSizeKind::Keyword:
        m_sizeFollowsDefault = true;
        scalable = false;
        break;
      case TFontSizeKind::Relative:
        break;
    }
    // The looks of an enclosing link take the size of their own sizes, as the element takes it of its
    // parent's.
    if (m_linkFonts)
      for (ThtFontInfo& font : m_linkFonts->Fonts) font.Size = m_context->FontSizeToPoints(text, font.Size);
    At(Prop::FontSize) = TPropValue::Number(m_context->FontSizeToPoints(text, parentPoints));
  }
  if (scalable && parent) ScaleForFamily(parent->Value(Prop::FontFamily).AsText());
}

double TProperties::ScaleForFamily(std::string_view formerFamily) {
  const TPropValue& size = Value(Prop::FontSize);
  if (!m_sizeFollowsDefault || !size.IsNumber()) return 1.0;
  const double factor =
      MonospaceSwitchFactor(formerFamily, Value(Prop::FontFamily).AsText(), m_context->PreFontName());
  if (factor != 1.0) {
    At(Prop::FontSize) = TPropValue::Number(size.AsNumber() * factor);
    ScaleLinkFonts(factor);
  }
  return factor;
}

void TProperties::ScaleLinkFonts(double factor) {
  if (m_linkFonts)
    for (ThtFontInfo& font : m_linkFonts->Fonts) font.Size *= factor;
}

// A list inside another list (a definition list too) has none of the paragraph space the built-in rules
// give lists above and below; margins that a style sheet gave it stay.
void TProperties::DropNestedListMargins(const TPropStack& stack, int stackIndex) {
  const bool top = Value(Prop::MarginTop).IsInteger(ParagraphSpace);
  const bool bottom = Value(Prop::MarginBottom).IsInteger(ParagraphSpace);
  if (!top && !bottom) return;
  for (int a = stackIndex - 1; a >= 1; --a) {
    const std::string& tag = stack[a].m_elementTag;
    if (IsSpacedList(tag) || tag == "dl") {
      if (top) At(Prop::MarginTop) = TPropValue::Integer(0);
      if (bottom) At(Prop::MarginBottom) = TPropValue::Integer(0);
      return;
    }
  }
}

void TProperties::MergeRulesWithKey(const TStyleList& styles, std::string_view key) {
  const auto [first, last] = styles.EqualRange(key);
  for (std::size_t i = first; i < last; ++i) MergeRule(styles.RuleAt(i));
}

void TProperties::ScanContextual(const TRulePass& pass, std::string_view prefix) {
  const TStyleList& styles = pass.Styles;
  std::string folded;
  if (HasUpperAscii(prefix)) prefix = folded = LowerCopy(prefix);
  const std::size_t first = styles.LowerBound(prefix);
  // Simple keys only stop the scan; without a contextual key left in the range there is nothing to do.
  const std::size_t contextual = styles.NextContextual(first);
  if (contextual == styles.Count() || !styles.KeyAt(contextual).starts_with(prefix)) return;
  for (std::size_t i = first; i < styles.Count(); ++i) {
    if (!styles.KeyAt(i).starts_with(prefix)) break;
    if (!MatchContextual(pass, i)) break;
  }
}

// Merges the contextual rule at ruleIndex when the element and its open ancestors match it. Returns
// false when the scan must stop: the key's subject shares neither tag, class nor pseudo-class with the
// element.
bool TProperties::MatchContextual(const TRulePass& pass, std::size_t ruleIndex) {
  const std::vector<TSelectorPart>& parts = pass.Styles.SelectorAt(ruleIndex);
  const TSelectorPart& subject = parts.front();
  if (subject.Tag != pass.Tag && subject.Class != pass.Class && subject.Pseudo != pass.Pseudo) return false;
  if (parts.size() == 1) return true;
  const bool pseudoMatches =
      subject.Pseudo == pass.Pseudo || (subject.Pseudo.empty() && (pass.Pseudo.empty() || pass.Pseudo == "link"));
  if (!(subject.Tag.empty() || subject.Tag == pass.Tag) || !(subject.Class.empty() || subject.Class == pass.Class) ||
      !(subject.Id.empty() || subject.Id == pass.Id) || !pseudoMatches)
    return true;

  std::size_t k = 1;
  bool mustBeParent = subject.ChildOfNext;
  for (int a = pass.StackIndex - 1; a >= 1; --a) {
    const TProperties& ancestor = pass.Stack[a];
    const TSelectorPart& part = parts[k];
    const bool matches = (part.Tag.empty() || part.Tag == ancestor.m_elementTag) &&
                         (part.Class.empty() || part.Class == ancestor.m_elementClass ||
                          ClassesContained(part.Class, ancestor.m_elementClass)) &&
                         (part.Id.empty() || part.Id == ancestor.m_elementId) &&
                         (part.Pseudo.empty() || part.Pseudo == ancestor.m_pseudoClass);
    if (matches) {
      if (k + 1 == parts.size()) {
        MergeRule(pass.Styles.RuleAt(ruleIndex));
        break;
      }
      mustBeParent = part.ChildOfNext;
      ++k;
    } else if (mustBeParent) {
      break;
    }
  }
  return true;
}

void TProperties::MergeRule(const TProperties& rule) {
  for (int i = 0; i < Prop::Count; ++i) {
    const TPropValue& value = rule.Value(i);
    if (!value.IsSet()) continue;
    if (i >= Prop::FirstResetToNotSet && i <= Prop::LastResetToNotSet) {
      if (!value.IsText() && !(value.IsInteger() && value.AsInteger() != NotSet)) continue;
    } else if (i == Prop::ZIndex && value.IsInteger(0)) {
      // Every set starts with the integer 0 here; only a declared "z-index" (a text) is the rule's own.
      continue;
    }
    At(i) = value;
    m_styleSet.set(static_cast<std::size_t>(i));
    if (m_linkFonts) UpdateLinkFonts(i, value);
  }
}

// Keeps the link looks in step with a font value that a rule or an attribute gives a link.
void TProperties::UpdateLinkFonts(int index, const TPropValue& value) {
  TFontInfoArray& fonts = *m_linkFonts;
  switch (index) {
    case Prop::FontFamily:
      if (auto name = m_context->FirstInstalledFont(value.AsText()))
        for (ThtFontInfo& font : fonts.Fonts) font.Name = *name;
      break;
    case Prop::FontSize:
      // A size text is taken once, when every rule is merged (ResolveFontSize): several passes may merge
      // the same relative size.
      if (!value.IsText())
        for (ThtFontInfo& font : fonts.Fonts) font.Size = value.Numeric();
      break;
    case Prop::FontStyle: {
      const std::string_view style = value.AsText();
      for (ThtFontInfo& font : fonts.Fonts) {
        if (style == "italic" || style == "oblique")
          font.Style.Italic = true;
        else if (style == "normal")
          font.Style.Italic = false;
      }
      break;
    }
    case Prop::FontWeight: {
      const std::string_view weight = value.AsText();
      const bool bold = Contains(weight, "bold") || (!Contains(weight, "normal") && IntegerOr(weight, 0) >= 600);
      for (ThtFontInfo& font : fonts.Fonts) font.Style.Bold = bold;
      break;
    }
    case Prop::TextDecoration: {
      const std::string_view decoration = value.AsText();
      for (ThtFontInfo& font : fonts.Fonts) {
        if (decoration == "underline") {
          font.Style.Underline = true;
        } else if (decoration == "line-through") {
          font.Style.StrikeOut = true;
        } else if (decoration == "none") {
          font.Style.Underline = false;
          font.Style.StrikeOut = false;
        }
      }
      break;
    }
    case Prop::LetterSpacing:
      for (ThtFontInfo& font : fonts.Fonts) font.LetterSpacing = value;
      break;
    case Prop::Color:
      for (ThtFontInfo& font : fonts.Fonts) font.Color = ColorOf(value);
      break;
    case Prop::BackgroundColor:
      for (ThtFontInfo& font : fonts.Fonts) font.BackgroundColor = ColorOf(value);
      break;
    default:
      break;
  }
}

// The four looks of a link come from short-lived entries above it on the stack, cascaded with the
// pseudo-classes "visited" and "hover", so that contextual rules see the link's real ancestors.
void TProperties::ComputeLinkFonts(const TStyleList& styles, TPropStack& stack, int stackIndex) {
  TFontInfoArray& fonts = *m_linkFonts;
  TakeBackgroundForFonts();
  FillFontInfo(fonts[TFontInfoArray::Link]);
  auto entryBelow = [this](const TProperties& parent) {
    auto entry = std::make_unique<TProperties>(*m_context);
    entry->InheritFrom({}, parent);
    return entry;
  };
  {
    TTemporaryEntry visited(stack, stackIndex + 1, entryBelow(*this));
    (*visited).CascadeLinkLook(styles, stack, stackIndex + 1, *this, "visited", fonts[TFontInfoArray::Visited]);
    TTemporaryEntry visitedHover(stack, stackIndex + 2, entryBelow(*visited));
    (*visitedHover)
        .CascadeLinkLook(styles, stack, stackIndex + 2, *this, "hover", fonts[TFontInfoArray::VisitedHover]);
  }
  TTemporaryEntry hover(stack, stackIndex + 1, entryBelow(*this));
  (*hover).CascadeLinkLook(styles, stack, stackIndex + 1, *this, "hover", fonts[TFontInfoArray::Hover]);
}

void TProperties::CascadeLinkLook(const TStyleList& styles, TPropStack& stack, int stackIndex,
                                  const TProperties& link, std::string_view pseudo, ThtFontInfo& look) {
  ApplyStyleRulesAt(styles, stack, stackIndex,
                    {link.m_elementTag, link.m_elementClass, link.m_elementId, pseudo, link.m_titleText,
                     link.m_inlineStyle});
  TakeBackgroundForFonts();
  FillFontInfo(look);
}

void TProperties::Rederive(const TProperties& parent, const TStyleList& styles, TPropStack& stack, int stackIndex) {
  for (int i = 0; i < Prop::Count; ++i)
    if (!StyleSet(i)) At(i) = parent.Value(i);
  // An inherited size is the new parent's, made smaller or larger again for a family of another kind.
  double factor = 1.0;
  if (!StyleSet(Prop::FontSize)) {
    m_sizeFollowsDefault = parent.m_sizeFollowsDefault;
    factor = ScaleForFamily(parent.Value(Prop::FontFamily).AsText());
  }
  m_cachedFont.reset();
  if (!m_linkFonts) return;
  if (parent.m_linkFonts) {
    *m_linkFonts = *parent.m_linkFonts;
    ScaleLinkFonts(factor);
  } else if (m_pseudoClass == "link") {
    ComputeLinkFonts(styles, stack, stackIndex);
  } else {
    m_linkFonts.reset();
    m_hasLinkFonts = false;
  }
}

void TProperties::CopyValues(const TProperties& source) {
  ++m_version;
  m_values = source.m_values;
}

void TProperties::CopyCascadeResult(const TProperties& source) {
  ++m_version;
  m_values = source.m_values;
  m_styleSet = source.m_styleSet;
  m_defaultFontName = source.m_defaultFontName;
  m_elementTag = source.m_elementTag;
  m_elementClass = source.m_elementClass;
  m_elementId = source.m_elementId;
  m_pseudoClass = source.m_pseudoClass;
  m_titleText = source.m_titleText;
  m_inlineStyle = source.m_inlineStyle;
  m_fontBackground = source.m_fontBackground;
  m_charSet = source.m_charSet;
  m_codePage = source.m_codePage;
  m_emSize = source.m_emSize;
  m_exSize = source.m_exSize;
  m_sizeFollowsDefault = source.m_sizeFollowsDefault;
  m_hasLinkFonts = source.m_hasLinkFonts;
  if (source.m_linkFonts) {
    m_linkFonts = std::make_unique<TFontInfoArray>(*source.m_linkFonts);
  } else {
    m_linkFonts.reset();
  }
  m_cachedFont.reset();
}

void TProperties::CopyRootFrom(const TProperties& defaultRule) {
  CopyValues(defaultRule);
  SetCharSet(defaultRule.m_charSet);
  // ISO 8859-2 is stored as the East European character set with its own code page, which the character
  // set alone would turn into Windows-1250.
  m_codePage = defaultRule.m_codePage;
  m_defaultFontName = defaultRule.m_defaultFontName;
  m_elementTag = "default";
  m_sizeFollowsDefault = true;
}

void TProperties::SetCharSet(int charSet) {
  ++m_version;
  if (charSet == 31) {
    m_charSet = 238;
    m_codePage = 28592;
  } else {
    // Qt fonts have no character sets: the set asked for is the set given.
    m_charSet = static_cast<std::uint8_t>(charSet);
    if (auto codePage = CodePageOfCharSet(m_charSet)) m_codePage = *codePage;
  }
  if (m_linkFonts)
    for (ThtFontInfo& font : m_linkFonts->Fonts) font.CharSet = m_charSet;
}

void TProperties::SetUtf8() {
  ++m_version;
  m_codePage = 65001;
  m_charSet = 0;
}

void TProperties::SetFromAttribute(int index, const TPropValue& value) {
  if (StyleSet(index)) return;
  const TPropValue formerFamily = index == Prop::FontFamily ? Value(index) : TPropValue();
  At(index) = value;
  m_styleSet.set(static_cast<std::size_t>(index));
  if (m_linkFonts) {
    for (ThtFontInfo& font : m_linkFonts->Fonts) {
      if (index == Prop::FontFamily) {
        font.Name = value.AsText();
      } else if (index == Prop::FontSize) {
        font.Size = value.IsText() ? m_context->FontSizeToPoints(value.AsText(), font.Size) : value.Numeric();
      } else if (index == Prop::Color) {
        font.Color = ColorOf(value);
      }
    }
  }
  // A face that changes the kind of family changes an inherited size as a rule's family does.
  if (index == Prop::FontFamily && !StyleSet(Prop::FontSize)) ScaleForFamily(formerFamily.AsText());
}

bool TProperties::SetDeclaration(int index, std::string_view text) {
  return StoreDeclaration(index, text, TDeclarationSource::StyleAttribute);
}

bool TProperties::SetDeclarationByName(std::string_view name, std::string_view text) {
  const std::optional<int> index = PropertyIndexOf(name);
  return index && SetDeclaration(*index, text);
}

bool TProperties::StoreDeclaration(int index, std::string_view text, TDeclarationSource source) {
  if (index < 0 || index >= Prop::Count) return false;
  auto colour = [&] { return m_context->ColorFromString(text); };
  switch (index) {
    case Prop::BorderStyle: {
      const TPropValue value = TPropValue::Text(text);
      At(index) = value;
      for (const int side : Prop::BorderStyles) At(side) = value;
      return true;
    }
    case Prop::Color:
      if (auto c = colour()) {
        At(index) = ColorValue(*c);
      } else if (source == TDeclarationSource::StyleAttribute) {
        At(index) = TPropValue::Integer(0);
      } else {
        return false;
      }
      return true;
    case Prop::BackgroundColor:
      At(index) = ColorValue(colour().value_or(ColorNone));
      return true;
    case Prop::BorderColor:
      if (auto c = colour()) {
        for (int i : {int(Prop::BorderColor), int(Prop::BorderTopColor), int(Prop::BorderRightColor),
                      int(Prop::BorderBottomColor), int(Prop::BorderLeftColor)})
          At(i) = ColorValue(*c);
        return true;
      }
      return false;
    case Prop::BorderTopColor:
    case Prop::BorderRightColor:
    case Prop::BorderBottomColor:
    case Prop::BorderLeftColor:
      if (auto c = colour()) {
        At(index) = ColorValue(*c);
        return true;
      }
      return false;
    case Prop::BorderTopStyle:
    case Prop::BorderRightStyle:
    case Prop::BorderBottomStyle:
    case Prop::BorderLeftStyle: {
      const TPropValue value = TPropValue::Text(text);
      At(index) = value;
      if (text != "none") At(Prop::BorderStyle) = value;
      return true;
    }
    case Prop::Visibility:
      if (text == "visible") {
        At(index) = TPropValue::Integer(2);
      } else if (text == "hidden") {
        At(index) = TPropValue::Integer(1);
      } else {
        return false;
      }
      return true;
    case Prop::TextTransform:
      At(index) = TPropValue::Integer(text == "uppercase" ? 1 : text == "lowercase" ? 2 : 0);
      return true;
    case Prop::WordWrap:
      At(index) = text == "break-word" ? TPropValue::Text(text) : m_context->NormalText();
      return true;
    case Prop::FontVariant:
      if (text != "small-caps" && text != "normal") return false;
      At(index) = TPropValue::Text(text);
      return true;
    default:
      At(index) = TPropValue::Text(text);
      return true;
  }
}

std::unique_ptr<TMyFont> TProperties::MakeFont() { return std::make_unique<TMyFont>(Font()); }

const TMyFont& TProperties::Font() {
  if (!m_cachedFont) {
    // Sets of one shape share the font its first set made.
    TProperties* shared = m_template && m_version == m_shapeVersion ? m_template.get() : nullptr;
    if (shared && shared->m_cachedFont) {
      m_cachedFont = shared->m_cachedFont;
      m_emSize = shared->m_emSize;
      m_exSize = shared->m_exSize;
      return *m_cachedFont;
    }
    ThtFontInfo info;
    FillFontInfo(info);
    auto font = std::make_shared<TMyFont>(info, m_context->PixelsPerInch(), &m_context->FontMetrics());
    m_emSize = font->TextHeight() - font->InternalLeading();
    m_exSize = m_emSize / 2;
    const TPropValue& spacing = info.LetterSpacing;
    int pixels = 0;
    if (spacing.IsInteger()) {
      pixels = spacing.AsInteger();
    } else if (spacing.IsText() && spacing.AsText() != "normal") {
      pixels = m_context->LengthToPixels(spacing.AsText(), TLengthKind::Absolute, m_emSize, m_emSize, m_exSize, 0);
    }
    font->SetLetterSpacing(pixels);
    m_cachedFont = std::move(font);
    if (shared) {
      shared->m_cachedFont = m_cachedFont;
      shared->m_emSize = m_emSize;
      shared->m_exSize = m_exSize;
    }
  }
  return *m_cachedFont;
}

void TProperties::FillFontInfo(ThtFontInfo& info) const {
  info.BackgroundColor = m_fontBackground;
  info.Color = ColorOf(Value(Prop::Color));
  const TPropValue& size = Value(Prop::FontSize);
  if (size.IsNumber() || size.IsInteger()) {
    info.Size = size.Numeric();
  } else if (size.IsText()) {
    info.Size = m_context->FontSizeToPoints(size.AsText(), m_context->DefaultPointSize());
  } else {
    info.Size = m_context->DefaultPointSize();
  }
  info.CharSet = m_charSet;
  info.LetterSpacing = Value(Prop::LetterSpacing);

  info.Style.Bold = IsBoldWeight(Value(Prop::FontWeight).AsText());
  const std::string_view style = Value(Prop::FontStyle).AsText();
  info.Style.Italic = style == "italic" || style == "oblique";
  const std::string_view decoration = Value(Prop::TextDecoration).AsText();
  info.Style.Underline = decoration == "underline";
  info.Style.StrikeOut = !info.Style.Underline && decoration == "line-through";

  std::optional<std::string> name = m_context->FirstInstalledFont(Value(Prop::FontFamily).AsText());
  info.Name = name ? std::move(*name) : m_defaultFontName;
}

void TProperties::CopyLinkFonts(TFontInfoArray& fonts) const {
  if (m_linkFonts) fonts = *m_linkFonts;
}

}  // namespace corvane
