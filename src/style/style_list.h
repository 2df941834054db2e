#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "style/properties.h"
#include "style/selector_key.h"
#include "style/style_colors.h"
#include "style/style_context.h"

namespace corvane {

// What the viewer gives the built-in rules of each document.
struct TStyleDefaults {
  std::string FontName = "Times New Roman";
  std::string PreFontName = "Courier New";
  double Size = 12.0;  // points
  TColor Color = SystemColor(18);  // button text
  TColor HotSpotColor = 0xFF0000;  // blue
  TColor VisitedColor = 0x800080;
  TColor OverColor = 0xFF0000;
  bool LinkUnderline = true;
  int CharSet = 1;
  int MarginHeight = 5;
  int MarginWidth = 10;
};

// The style sheet of one document: rules (property sets) under selector keys, sorted by key without
// regard to case, equal keys allowed. The cascade reads it by exact key and by key prefix.
//
// Key format: simple selectors "p", ".note", "p.note", "#main", "a:hover", ".a.b", "a.x#main:visited";
// contextual selectors subject first, then the ancestors from the nearest outward, with the ancestor
// count and a sequence number before the first ancestor and a space at the end ("li 210ul div "); a ">"
// ends an ancestor that must be the immediate parent ("li 110ul> "). The link rules are "::link",
// "::visited" and "::hover".
//
// The list also owns the document's style context, which every property set made for this document
// points to: it must outlive them (the parser's property stack, the attribute lists' inline styles).
class TStyleList {
 public:
  explicit TStyleList(double pixelsPerInch = ScreenPixelsPerInch());
  TStyleList(const TStyleList&) = delete;
  TStyleList& operator=(const TStyleList&) = delete;
  ~TStyleList();

  // Frees every rule; the sequence numbers of contextual keys start at 10 again.
  void Clear();
  // Clear, then the built-in rules that give HTML elements their look.
  void LoadDefaults(const TStyleDefaults& defaults);

  // Adds one declaration to the rule with key, making the rule when there is none. Colours for ":link"
  // and ":visited" also recolour the link rules they imply; declarations for "a" also go to "::link";
  // keys with ":hover" raise HoverRulesPresent. False for an unknown property name.
  bool AddDeclaration(std::string_view key, std::string_view propertyName, std::string_view value);
  // A new rule under key with the 60 values of source.
  TProperties& AddCopy(std::string_view key, const TProperties& source);
  // Recolours the link rule "::" + name ("link", "visited", "hover") when it exists.
  void SetLinkRuleColor(std::string_view name, TColor colour);
  // The sequence number for the next contextual key, as decimal text.
  std::string NextContextNumber();
  int ContextCounter() const { return m_contextCounter; }

  // Whether a rule for ":hover" exists, so that links must track the mouse. The document also raises it
  // for the OLINK colour of BODY.
  bool HoverRulesPresent() const { return m_hoverRulesPresent; }
  void RaiseHoverRulesPresent() { m_hoverRulesPresent = true; }

  // The "default" rule; null before LoadDefaults.
  const TProperties* DefaultRule() const { return m_defaultRule; }
  // The first rule whose key equals key (without regard to case); null when there is none.
  TProperties* FindRule(std::string_view key);
  const TProperties* FindRule(std::string_view key) const;

  // Lookups of the cascade, by position in key order. Keys are compared in lower case. Rules added since
  // the last of these lookups join the sorted order on the next one.
  std::size_t Count() const {
    SortPending();
    return m_entries.size();
  }
  // The first position whose key is not below key.
  std::size_t LowerBound(std::string_view key) const;
  // The positions [first, last) of the rules whose key equals key.
  std::pair<std::size_t, std::size_t> EqualRange(std::string_view key) const;
  // The key at a position, lower case.
  std::string_view KeyAt(std::size_t position) const { return Sorted()[position].Key; }
  const TProperties& RuleAt(std::size_t position) const { return *Sorted()[position].Rule; }
  const std::vector<TSelectorPart>& SelectorAt(std::size_t position) const { return Sorted()[position].Parts; }
  // The first position at or after position whose key is contextual (more than one part); Count() when
  // there is none. A prefix scan that meets none can merge nothing and need not walk its keys.
  std::size_t NextContextual(std::size_t position) const {
    const std::vector<TEntry>& entries = Sorted();
    return position < entries.size() ? entries[position].NextContextual : entries.size();
  }

  // Whether some rule's key names the id (compared in lower case). An id that none names selects no rule,
  // for the element or below it: elements that differ in such ids alone cascade alike.
  bool IdInRules(std::string_view id) const;

  TStyleContext& Context() const { return *m_context; }
  double DefaultPointSize() const { return m_context->DefaultPointSize(); }
  // Changes whenever a rule is added or changed, so that results of the cascade can be kept until then.
  std::uint64_t Generation() const { return m_generation; }

 private:
  struct TEntry {
    std::string Key;  // lower case
    std::unique_ptr<TProperties> Rule;
    std::vector<TSelectorPart> Parts;  // the key split once, for the contextual scans
    std::size_t NextContextual = 0;
    std::uint64_t Sequence = 0;  // later rules have higher numbers and come before equal keys
  };
  // Hashes keys given as std::string or std::string_view alike, so that lookups need no copy.
  struct TKeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
  };

  TProperties& AddRule(std::string_view key);
  TProperties& Insert(std::string_view key, std::unique_ptr<TProperties> rule);
  const std::vector<TEntry>& Sorted() const {
    SortPending();
    return m_entries;
  }
  void SortPending() const {
    if (!m_pending.empty()) MergePending();
  }
  void MergePending() const;

  std::unique_ptr<TStyleContext> m_context;
  // A style sheet adds rules by the thousand before the cascade looks at them, so new rules wait in
  // m_pending and join the sorted m_entries in one merge: adding n rules costs O(n log n), not O(n^2).
  mutable std::vector<TEntry> m_entries;
  mutable std::vector<TEntry> m_pending;
  // The latest rule of each key, which is the first of its equal keys in sorted order.
  std::unordered_map<std::string, TProperties*, TKeyHash, std::equal_to<>> m_latestByKey;
  // The ids the keys name: what follows each "#" up to the next ".", ":", "#", ">" or space.
  std::unordered_set<std::string, TKeyHash, std::equal_to<>> m_ruleIds;
  std::uint64_t m_sequence = 0;
  std::uint64_t m_generation = 0;
  int m_contextCounter = 10;
  bool m_hoverRulesPresent = false;
  const TProperties* m_defaultRule = nullptr;
};

}  // namespace corvane
