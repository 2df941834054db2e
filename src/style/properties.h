#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "style/box_values.h"
#include "style/my_font.h"
#include "style/prop_value.h"
#include "style/property_index.h"
#include "style/style_colors.h"

namespace corvane {

class TPropStack;
class TProperties;
class TStyleContext;
class TStyleList;

// What the cascade knows of an element: the lower-case tag, the class names (lower case, sorted, joined
// by "."), the lower-case id, the pseudo-class ("link" for an anchor with an address), the title and the
// property set of its style attribute (may be null). The element's entry keeps a pointer to that set and
// reads it again when a link's looks are re-derived, so it must live while the element is open.
struct TElementIdentity {
  std::string_view Tag;
  std::string_view Class;
  std::string_view Id;
  std::string_view Pseudo;
  std::string_view Title;
  const TProperties* InlineStyle = nullptr;
};

// Where a declaration comes from: they differ in what an unreadable "color" does.
enum class TDeclarationSource { StyleAttribute, StyleSheet };

// One axis of a background position.
struct TBackgroundAxis {
  enum TKind : int { Top, Center, Bottom, Left, Right, Percent, Pixels };
  TKind Kind = Pixels;
  int Value = 0;
  bool Repeat = true;
  bool Fixed = false;
  bool operator==(const TBackgroundAxis&) const = default;
};
struct TBackgroundPosition {
  TBackgroundAxis X;
  TBackgroundAxis Y;
  bool operator==(const TBackgroundPosition&) const = default;
};

struct TTextIndent {
  int Value = 0;  // pixels, or the percentage
  bool IsPercent = false;
};

struct TPageBreaks {
  bool Before = false;
  bool After = false;
  bool InsideAvoid = false;
};

// The 60 style properties of one element, of one style rule, or of one style attribute, with what the
// element needs besides them: identity, character set, em size, cached font and the link looks.
//
// An element's set is made by its parent's (InheritFrom), then the rules of the style sheet and its style
// attribute are merged into it (ApplyStyleRules); HTML attributes come last and lose against both
// (SetFromAttribute). Layout then asks it for fonts and for pixels through the queries below.
class TProperties {
 public:
  explicit TProperties(TStyleContext& context);
  // A set of the same context that starts with the values of source, shared until either changes (the
  // kept cascade results); CopyCascadeResult gives it the rest.
  explicit TProperties(const TProperties& source, TStyleContext& context);
  ~TProperties();
  TProperties(const TProperties&) = delete;
  TProperties& operator=(const TProperties&) = delete;

  // Building and cascading.

  // Fills this fresh set from the parent's for a new element with the given tag. Children of a "span" take
  // all of its values but "border-style"; children of a row group also take its StyleSet flags.
  void InheritFrom(std::string_view tag, const TProperties& parent);
  // Merges the matching rules of styles, then the element's inline style, and records its identity. This
  // set must be the top entry of stack. An element whose pseudo-class is "link" also gets its four link
  // looks.
  void ApplyStyleRules(const TStyleList& styles, TPropStack& stack, const TElementIdentity& element);
  // Refreshes the entry at stackIndex after its parent entry changed: what no rule gave it comes from the
  // parent again.
  void Rederive(const TProperties& parent, const TStyleList& styles, TPropStack& stack, int stackIndex);
  // Merges the set values of a rule; a later merge overwrites an earlier one.
  void MergeRule(const TProperties& rule);
  // Copies the 60 values (not the StyleSet flags).
  void CopyValues(const TProperties& source);
  // The root entry of a parse: the values, character set and default font name of the "default" rule.
  void CopyRootFrom(const TProperties& defaultRule);

  // The character set (Windows numbering) and the code page that goes with it; 31 stands for
  // ISO 8859-2.
  void SetCharSet(int charSet);
  void SetUtf8();

  // A value given by an HTML attribute (FONT face and size, colours, margins ...). Ignored when a rule,
  // the inline style or an earlier attribute gave the property.
  void SetFromAttribute(int index, const TPropValue& value);
  // One declaration of a style attribute. Returns whether something was stored.
  bool SetDeclaration(int index, std::string_view text);
  // The same by property name; unknown names are ignored (false).
  bool SetDeclarationByName(std::string_view name, std::string_view text);
  // One declaration of a style attribute or style sheet, stored as its property wants it: colours as
  // colour integers, "visibility" and "text-transform" as codes, "border-style" and "border-color" also
  // on the four sides. Returns whether something was stored.
  bool StoreDeclaration(int index, std::string_view text, TDeclarationSource source);

  // Sets a value as it stands, without raising its StyleSet flag (built-in rules, builder adjustments).
  void SetValue(int index, TPropValue value) { At(index) = std::move(value); }

  // Counts the changes of this set: a cascade result kept for the children of an element stays good
  // while the element's set is unchanged.
  std::uint32_t Version() const { return m_version; }
  // The kept cascade result this set was made from, while this set is unchanged; null otherwise. Sets
  // with the same template hold the same values and the same font.
  std::shared_ptr<const TProperties> ShapeTemplate() const {
    return m_template && m_version == m_shapeVersion ? m_template : nullptr;
  }
  // The same without taking a share: for comparing with a template kept elsewhere.
  const TProperties* ShapeTemplatePointer() const {
    return m_version == m_shapeVersion ? m_template.get() : nullptr;
  }
  // This set as a new element with the same parent and identity would get it from the cascade: values,
  // flags, identity, character set and link looks; not the serial number, the version or the font.
  void CopyCascadeResult(const TProperties& source);
  // Makes this set as a new one for another element: the stack reuses the sets of closed elements.
  void Recycle();

  // Fonts.

  // A copy of this element's font; the font is made and measured on the first call only.
  std::unique_ptr<TMyFont> MakeFont();
  // The font of the current values, made when first asked for; EmSize and ExSize follow it.
  const TMyFont& Font();
  // The description of this element's font: family (the first installed one of the list, else the
  // document's default font name), size, style, colours, character set and the raw letter spacing.
  void FillFontInfo(ThtFontInfo& info) const;
  void CopyLinkFonts(TFontInfoArray& fonts) const;

  // Queries for layout.

  // nullopt: no background image given; "" for "none".
  std::optional<std::string> GetBackgroundImage() const;
  TBackgroundPosition GetBackgroundPosition(int em, int ex) const;
  // Alignment code of "vertical-align": top 1, middle 2, baseline 3, bottom 4, sub 8, super 9.
  std::optional<int> GetVerticalAlign() const;
  bool IsOverflowHidden() const;
  // Left 5, right 6, none 0.
  std::optional<int> GetFloat() const;
  // Left 1, right 2, both 3, none 0.
  std::optional<int> GetClear() const;
  // Blank 0, circle 1, decimal 2, disc 3, lower-alpha 4, lower-roman 5, none 6, square 7, upper-alpha 8,
  // upper-roman 9; 0 when not given or unknown.
  int GetListStyleType() const;
  std::string GetListStyleImage() const;
  // Absolute 1, relative 2, else 0.
  int GetPosition() const;
  // Hidden 1, visible 2.
  int GetVisibility() const;
  int GetZIndex() const;
  bool IsDisplayNone() const;
  bool IsCollapsedBorders() const;
  // Pixels for a font of the given height; -1 when not given.
  int GetLineHeight(int fontHeight) const;
  TTextIndent GetTextIndent() const;
  // None 0, uppercase 1, lowercase 2.
  int GetTextTransform() const;
  std::string GetFontVariant() const;
  TPageBreaks GetPageBreaks() const;
  // Colours a rule, the inline style or an attribute gave this element itself; ColorNone otherwise.
  TColor GetBackgroundColor() const;
  TColor GetOwnColor() const;
  int GetBorderStyle() const;
  bool HasBorderStyle() const;
  // A background colour given to this element becomes the background of its fonts.
  void TakeBackgroundForFonts();
  TBoxValues GetBoxValues() const;
  // The same, read once for the sets of one shape while they are unchanged (kept by their cascade
  // result), else read for this call. Not to be changed.
  std::shared_ptr<const TBoxValues> SharedBoxValues() const;

  // Fields.

  const TPropValue& Value(int index) const { return m_values->Values[static_cast<std::size_t>(index)]; }
  bool StyleSet(int index) const { return m_styleSet.test(static_cast<std::size_t>(index)); }
  std::uint32_t SerialNumber() const { return m_serialNumber; }
  const std::string& ElementTag() const { return m_elementTag; }
  void SetElementTag(std::string_view tag) {
    ++m_version;
    m_elementTag = tag;
  }
  const std::string& ElementClass() const { return m_elementClass; }
  const std::string& ElementId() const { return m_elementId; }
  const std::string& PseudoClass() const { return m_pseudoClass; }
  const std::string& TitleText() const { return m_titleText; }
  const TProperties* InlineStyle() const { return m_inlineStyle; }
  const std::string& DefaultFontName() const { return m_defaultFontName; }
  void SetDefaultFontName(std::string_view name) {
    ++m_version;
    m_defaultFontName = name;
  }
  TColor FontBackground() const { return m_fontBackground; }
  std::uint8_t CharSet() const { return m_charSet; }
  int CodePage() const { return m_codePage; }
  int EmSize() const { return m_emSize; }
  int ExSize() const { return m_exSize; }
  // The font size still follows the viewer's default size: no size in a fixed unit was given to this
  // element or above it. Only such sizes change with the family (monospace is smaller).
  bool SizeFollowsDefault() const { return m_sizeFollowsDefault; }
  bool HasLinkFonts() const { return m_hasLinkFonts; }
  const TFontInfoArray* LinkFonts() const { return m_linkFonts.get(); }
  const TMyFont* CachedFont() const { return m_cachedFont.get(); }
  TStyleContext& Context() const { return *m_context; }

 private:
  friend class TPropStack;

  struct TRulePass;
  void ApplyStyleRulesAt(const TStyleList& styles, TPropStack& stack, int stackIndex,
                         const TElementIdentity& element);
  void RunRulePass(const TRulePass& pass);
  void ResolveFontSize(double parentPoints, const TProperties* parent);
  // Scales an inherited or relative size for a change of family kind; returns the factor applied.
  double ScaleForFamily(std::string_view formerFamily);
  void ScaleLinkFonts(double factor);
  void DropNestedListMargins(const TPropStack& stack, int stackIndex);
  void MergeRulesWithKey(const TStyleList& styles, std::string_view key);
  void ScanContextual(const TRulePass& pass, std::string_view prefix);
  bool MatchContextual(const TRulePass& pass, std::size_t ruleIndex);
  void ComputeLinkFonts(const TStyleList& styles, TPropStack& stack, int stackIndex);
  void CascadeLinkLook(const TStyleList& styles, TPropStack& stack, int stackIndex, const TProperties& link,
                       std::string_view pseudo, ThtFontInfo& look);
  void UpdateLinkFonts(int index, const TPropValue& value);
  TPropValue& At(int index) {
    ++m_version;
    m_cachedFont.reset();  // made from the values as they were
    if (m_values->Refs > 1) Unshare();
    return m_values->Values[static_cast<std::size_t>(index)];
  }

  // The 60 values, shared by the sets that hold them alike until one of them changes: an element that
  // gets a kept cascade result takes its values by pointer, not by copying 60 of them. The count is a
  // plain integer, as in TPropValue: the sets of a document are used on one thread at a time, and the
  // sets of two documents never share values.
  using TValueArray = std::array<TPropValue, Prop::Count>;
  // The values of a fresh set: unset but for the ones that start as not set and "z-index". Integers
  // only, so copies of it share no texts and any thread may copy it.
  static const TValueArray& FreshValues();
  struct TValueBlock {
    TValueArray Values = FreshValues();
    int Refs = 1;
  };
  class TSharedValues {
   public:
    TSharedValues() : m_block(new TValueBlock) {}
    ~TSharedValues() { Release(); }
    TSharedValues(const TSharedValues& other) : m_block(other.m_block) { ++m_block->Refs; }
    TSharedValues& operator=(const TSharedValues& other) {
      ++other.m_block->Refs;
      Release();
      m_block = other.m_block;
      return *this;
    }
    TValueBlock* operator->() const { return m_block; }
    // Gives this holder a new block of a fresh set's values.
    void MakeFresh() {
      auto* fresh = new TValueBlock;
      Release();
      m_block = fresh;
    }
    // Gives this holder a block of its own with the same values.
    void MakeOwn() {
      auto* own = new TValueBlock{m_block->Values};
      Release();
      m_block = own;
    }

   private:
    void Release() {
      if (--m_block->Refs == 0) delete m_block;
    }
    TValueBlock* m_block;
  };
  void Unshare() { m_values.MakeOwn(); }
  // The values to change many of at once, as At gives one.
  TValueArray& ChangeValues() {
    ++m_version;
    m_cachedFont.reset();
    if (m_values->Refs > 1) Unshare();
    return m_values->Values;
  }
  // Gives this set the values of a fresh one.
  void ResetValues();

  TStyleContext* m_context;
  std::shared_ptr<const TMyFont> m_cachedFont;  // shared with the sets of the same shape
  bool m_hasLinkFonts = false;
  std::string m_defaultFontName;
  std::string m_elementTag;
  std::string m_elementClass;
  std::string m_elementId;
  std::string m_pseudoClass;
  std::string m_titleText;
  const TProperties* m_inlineStyle = nullptr;
  TColor m_fontBackground = ColorNone;
  std::uint8_t m_charSet = 1;
  int m_codePage = 0;
  int m_emSize = 0;
  int m_exSize = 0;
  bool m_sizeFollowsDefault = true;
  TSharedValues m_values;
  std::bitset<Prop::Count> m_styleSet;
  std::unique_ptr<TFontInfoArray> m_linkFonts;
  std::uint32_t m_serialNumber;
  std::uint32_t m_version = 0;
  // Sets made alike (the same cascade result under parents made alike) share a shape while unchanged.
  std::uint32_t m_shape = 0;
  std::uint32_t m_shapeVersion = 0;
  // The kept cascade result this set was made from, while unchanged: it also keeps the font made for the
  // sets of its shape.
  std::shared_ptr<TProperties> m_template;
  // On a kept cascade result: the box values of the sets of its shape, read when first asked for.
  mutable std::shared_ptr<const TBoxValues> m_sharedBoxValues;
};

// Frees a property set; for owners that only know the type by name (the attribute list's style sets).
void DeleteProperties(TProperties* properties);

}  // namespace corvane
