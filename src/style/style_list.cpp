#include "style/style_list.h"

#include <algorithm>
#include <iterator>

#include "style/style_text.h"

namespace corvane {

namespace {

using namespace style_text;

// Keys are compared in lower case; a key that is already lower case is not copied.
class TFoldedKey {
 public:
  explicit TFoldedKey(std::string_view key) : m_view(key) {
    if (HasUpperAscii(key)) m_view = m_folded = LowerCopy(key);
  }
  std::string_view View() const { return m_view; }

 private:
  std::string m_folded;
  std::string_view m_view;
};

TPropValue Text(std::string_view text) { return TPropValue::Text(text); }
TPropValue Integer(int value) { return TPropValue::Integer(value); }
TPropValue Color(TColor colour) { return TPropValue::Integer(static_cast<std::int32_t>(colour)); }

}  // namespace

TStyleList::TStyleList(double pixelsPerInch) : m_context(std::make_unique<TStyleContext>(pixelsPerInch)) {}

TStyleList::~TStyleList() = default;

void TStyleList::Clear() {
  ++m_generation;
  m_entries.clear();
  m_pending.clear();
  m_latestByKey.clear();
  m_ruleIds.clear();
  m_defaultRule = nullptr;
  m_contextCounter = 10;
  m_hoverRulesPresent = false;
}

namespace {

// Sorted order: keys ascending; among equal keys the later rule first.
template <typename Entry>
bool EntryBefore(const Entry& a, const Entry& b) {
  const int order = a.Key.compare(b.Key);
  return order != 0 ? order < 0 : a.Sequence > b.Sequence;
}

}  // namespace

std::size_t TStyleList::LowerBound(std::string_view key) const {
  const TFoldedKey folded(key);
  const std::vector<TEntry>& entries = Sorted();
  const auto at = std::lower_bound(entries.begin(), entries.end(), folded.View(),
                                   [](const TEntry& entry, std::string_view k) { return entry.Key < k; });
  return static_cast<std::size_t>(at - entries.begin());
}

std::pair<std::size_t, std::size_t> TStyleList::EqualRange(std::string_view key) const {
  const TFoldedKey folded(key);
  const std::vector<TEntry>& entries = Sorted();
  const auto first = std::lower_bound(entries.begin(), entries.end(), folded.View(),
                                      [](const TEntry& entry, std::string_view k) { return entry.Key < k; });
  auto last = first;
  while (last != entries.end() && last->Key == folded.View()) ++last;
  return {static_cast<std::size_t>(first - entries.begin()), static_cast<std::size_t>(last - entries.begin())};
}

TProperties* TStyleList::FindRule(std::string_view key) {
  const TFoldedKey folded(key);
  const auto found = m_latestByKey.find(folded.View());
  return found != m_latestByKey.end() ? found->second : nullptr;
}

const TProperties* TStyleList::FindRule(std::string_view key) const {
  return const_cast<TStyleList*>(this)->FindRule(key);
}

bool TStyleList::IdInRules(std::string_view id) const {
  if (m_ruleIds.empty()) return false;
  const TFoldedKey folded(id);
  return m_ruleIds.find(folded.View()) != m_ruleIds.end();
}

TProperties& TStyleList::Insert(std::string_view key, std::unique_ptr<TProperties> rule) {
  ++m_generation;
  rule->SetElementTag(key);
  TEntry entry{LowerCopy(key), std::move(rule), {}, 0, ++m_sequence};
  entry.Parts = SplitSelectorKey(entry.Key);
  TProperties& inserted = *entry.Rule;
  m_latestByKey.insert_or_assign(entry.Key, &inserted);
  const std::string_view folded = entry.Key;
  for (std::size_t hash = folded.find('#'); hash != std::string_view::npos; hash = folded.find('#', hash + 1)) {
    const std::size_t end = std::min(folded.find_first_of(".:#> ", hash + 1), folded.size());
    m_ruleIds.emplace(folded.substr(hash + 1, end - hash - 1));
  }
  m_pending.push_back(std::move(entry));
  return inserted;
}

void TStyleList::MergePending() const {
  std::sort(m_pending.begin(), m_pending.end(), EntryBefore<TEntry>);
  const std::size_t sortedCount = m_entries.size();
  m_entries.insert(m_entries.end(), std::make_move_iterator(m_pending.begin()),
                   std::make_move_iterator(m_pending.end()));
  m_pending.clear();
  std::inplace_merge(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(sortedCount),
                     m_entries.end(), EntryBefore<TEntry>);
  std::size_t next = m_entries.size();
  for (std::size_t i = m_entries.size(); i-- > 0;) {
    if (m_entries[i].Parts.size() > 1) next = i;
    m_entries[i].NextContextual = next;
  }
}

TProperties& TStyleList::AddRule(std::string_view key) { return Insert(key, std::make_unique<TProperties>(*m_context)); }

TProperties& TStyleList::AddCopy(std::string_view key, const TProperties& source) {
  TProperties& rule = AddRule(key);
  rule.CopyValues(source);
  return rule;
}

void TStyleList::SetLinkRuleColor(std::string_view name, TColor colour) {
  ++m_generation;
  if (TProperties* rule = FindRule(std::string("::").append(name))) rule->SetValue(Prop::Color, Color(colour));
}

std::string TStyleList::NextContextNumber() { return std::to_string(m_contextCounter++); }

bool TStyleList::AddDeclaration(std::string_view key, std::string_view propertyName, std::string_view value) {
  const std::optional<int> index = PropertyIndexOf(propertyName);
  if (!index) return false;
  TProperties* rule = FindRule(key);
  std::unique_ptr<TProperties> newRule;
  if (!rule) {
    newRule = std::make_unique<TProperties>(*m_context);
    rule = newRule.get();
  }
  const bool stored = rule->StoreDeclaration(*index, value, TDeclarationSource::StyleSheet);
  ++m_generation;
  if (stored && *index == Prop::Color) {
    // Unvisited links imply the hover and visited looks, visited links the hover look, unless those are
    // declared later.
    const TColor colour = static_cast<TColor>(rule->Value(Prop::Color).AsInteger());
    if (key == ":link") {
      SetLinkRuleColor("hover", colour);
      SetLinkRuleColor("visited", colour);
    } else if (key == ":visited") {
      SetLinkRuleColor("hover", colour);
    }
  }
  // A declaration that stored nothing (an unreadable colour) makes no rule.
  if (newRule && stored) Insert(key, std::move(newRule));
  if (Contains(key, ":hover")) m_hoverRulesPresent = true;
  if (key == "a") AddDeclaration("::link", propertyName, value);
  return true;
}

void TStyleList::LoadDefaults(const TStyleDefaults& defaults) {
  Clear();
  m_context->SetDefaultPointSize(defaults.Size);
  m_context->SetPreFontName(defaults.PreFontName);
  const double size = defaults.Size;

  TProperties& base = AddRule("default");
  base.SetValue(Prop::FontFamily, Text(defaults.FontName));
  base.SetValue(Prop::FontSize, TPropValue::Number(size));
  base.SetValue(Prop::FontStyle, Text("none"));
  base.SetValue(Prop::FontWeight, Text("normal"));
  base.SetValue(Prop::TextAlign, Text("left"));
  base.SetValue(Prop::TextDecoration, Text("none"));
  base.SetValue(Prop::TextTransform, Integer(0));
  base.SetValue(Prop::WordWrap, Text("normal"));
  base.SetValue(Prop::FontVariant, Text("normal"));
  base.SetValue(Prop::Color, Color(defaults.Color));
  base.SetValue(Prop::MarginTop, Integer(defaults.MarginHeight));
  base.SetValue(Prop::MarginBottom, Integer(defaults.MarginHeight));
  base.SetValue(Prop::MarginLeft, Integer(defaults.MarginWidth));
  base.SetValue(Prop::MarginRight, Integer(defaults.MarginWidth));
  base.SetValue(Prop::Visibility, Integer(2));
  base.SetValue(Prop::LetterSpacing, Integer(0));
  base.SetCharSet(defaults.CharSet);
  base.SetDefaultFontName(defaults.FontName);
  m_defaultRule = &base;

  TProperties& link = AddRule("::link");
  link.SetValue(Prop::Color, Color(defaults.HotSpotColor | ColorMark));
  link.SetValue(Prop::TextDecoration, Text(defaults.LinkUnderline ? "underline" : "none"));
  AddRule("::visited").SetValue(Prop::Color, Color(defaults.VisitedColor | ColorMark));
  AddRule("::hover").SetValue(Prop::Color, Color(defaults.OverColor | ColorMark));
  AddRule("null");

  // Preformatted text keeps the weight, style and decoration around it (a PRE in a TH is bold); its
  // size follows from its family (the cascade makes monospace smaller), and its margins are one line.
  TProperties& pre = AddRule("pre");
  pre.SetValue(Prop::FontFamily, Text(defaults.PreFontName));
  pre.SetValue(Prop::MarginTop, Text("1em"));
  pre.SetValue(Prop::MarginBottom, Text("1em"));

  TProperties& p = AddRule("p");
  p.SetValue(Prop::MarginTop, Integer(ParagraphSpace));
  p.SetValue(Prop::MarginBottom, Integer(ParagraphSpace));
  AddRule("p 11pre").SetValue(Prop::MarginTop, Integer(0));

  auto listRule = [this](std::string_view key, int paddingLeft, int marginTop, int marginBottom) -> TProperties& {
    TProperties& rule = AddRule(key);
    rule.SetValue(Prop::PaddingLeft, Integer(paddingLeft));
    rule.SetValue(Prop::MarginTop, Integer(marginTop));
    rule.SetValue(Prop::MarginBottom, Integer(marginBottom));
    return rule;
  };
  for (std::string_view key : {"ul", "ol", "menu", "dir"})
    listRule(key, 35, ParagraphSpace, ParagraphSpace).SetValue(Prop::ListStyleType, Text("blank"));
  TProperties& dl = listRule("dl", 0, 0, 0);
  dl.SetValue(Prop::MarginLeft, Integer(0));
  dl.SetValue(Prop::ListStyleType, Text("none"));
  listRule("dd", 35, 0, 0);
  listRule("blockquote", 35, ParagraphSpace, 14);

  auto withCopies = [this](TProperties& rule, std::initializer_list<std::string_view> copies) {
    for (std::string_view key : copies) AddCopy(key, rule);
  };
  TProperties& code = AddRule("code");
  code.SetValue(Prop::FontFamily, Text(defaults.PreFontName));
  withCopies(code, {"tt", "kbd", "samp"});
  TProperties& bold = AddRule("b");
  bold.SetValue(Prop::FontWeight, Text("bold"));
  withCopies(bold, {"strong", "th"});
  TProperties& sup = AddRule("sup");
  sup.SetValue(Prop::FontSize, Text("75%"));
  sup.SetValue(Prop::VerticalAlign, Text("super"));
  TProperties& sub = AddRule("sub");
  sub.SetValue(Prop::FontSize, Text("75%"));
  sub.SetValue(Prop::VerticalAlign, Text("sub"));
  AddRule("big").SetValue(Prop::FontSize, Text("1.25em"));
  AddRule("small").SetValue(Prop::FontSize, Text("0.75em"));
  AddRule("table").SetValue(Prop::TextAlign, Text("none"));
  TProperties& italic = AddRule("i");
  italic.SetValue(Prop::FontStyle, Text("italic"));
  withCopies(italic, {"em", "cite", "var", "address"});
  AddRule("u").SetValue(Prop::TextDecoration, Text("underline"));
  TProperties& strike = AddRule("s");
  strike.SetValue(Prop::TextDecoration, Text("line-through"));
  withCopies(strike, {"strike"});
  TProperties& center = AddRule("center");
  center.SetValue(Prop::TextAlign, Text("center"));
  withCopies(center, {"caption"});

  TProperties& input = AddRule("input");
  input.SetValue(Prop::FontFamily, Text("Arial Unicode MS, Arial"));
  input.SetValue(Prop::FontSize, Text("10pt"));
  input.SetValue(Prop::FontStyle, Text("none"));
  input.SetValue(Prop::FontWeight, Text("normal"));
  input.SetValue(Prop::TextAlign, Text("left"));
  input.SetValue(Prop::TextDecoration, Text("none"));
  input.SetValue(Prop::Color, Color(defaults.Color));
  withCopies(input, {"select", "textarea"});
  // Text areas show preformatted text.
  FindRule("textarea")->SetValue(Prop::FontFamily, Text(defaults.PreFontName));

  TProperties& hr = AddRule("hr");
  hr.SetValue(Prop::MarginLeft, Integer(0));
  hr.SetValue(Prop::MarginRight, Integer(0));
  hr.SetValue(Prop::MarginTop, Integer(10));
  hr.SetValue(Prop::MarginBottom, Integer(10));

  static constexpr int kHeadingSizes[] = {24, 18, 14, 12, 10, 8};
  for (int level = 1; level <= 6; ++level) {
    const char key[] = {'h', static_cast<char>('0' + level), '\0'};
    TProperties& heading = AddRule(key);
    heading.SetValue(Prop::FontSize, TPropValue::Number(size / 12.0 * kHeadingSizes[level - 1]));
    heading.SetValue(Prop::MarginTop, Integer(19));
    heading.SetValue(Prop::MarginBottom, Integer(19));
    heading.SetValue(Prop::FontWeight, Text("bold"));
  }
}

}  // namespace corvane
