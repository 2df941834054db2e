#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "html/free_list.h"
#include "html/html_symbols.h"

namespace corvane {

// The style engine's property set. The attribute list only holds the one made from a STYLE attribute.
class TProperties;

// Owns a property set that the style engine made; the engine supplies the function that frees it, so
// that this layer needs no more than the name of the type.
struct TPropertiesDeleter {
  void (*Free)(TProperties*) = nullptr;
  void operator()(TProperties* properties) const {
    if (Free) Free(properties);
  }
};
using TPropertiesOwner = std::unique_ptr<TProperties, TPropertiesDeleter>;

// The inline style parser: the property set of the text of a STYLE attribute. The style engine plugs it
// in; without it, STYLE attributes give no property set.
using TInlineStyleParser = std::function<TPropertiesOwner(const std::string& styleText)>;

// One attribute as the tokenizer read it.
struct TAttribute {
  TagSymbol Symbol = TagSymbol::SymUnknownAttr;
  std::string AttrName;  // as read, upper case
  int Value = 0;         // the integer reading of the value (see AttributeIntegerValue)
  std::string Text;      // the value text in CodePage, character references decoded
  int CodePage = 0;      // the document code page when the attribute was read
};

// The attributes of the tag just read. The tokenizer reuses one list for every tag, and the attributes
// themselves: Clear keeps the ones it removes (up to kKeptSpares), and Spare hands one back, with the
// storage its texts had, so that reading a tag allocates nothing once a few were read.
class TAttributeList : public TFreeList<TAttribute> {
 public:
  static constexpr std::size_t kKeptSpares = 64;

  // Empties the list and forgets the cached id.
  void Clear() {
    if (!m_items.empty() || m_idCached) ClearItems();  // most tags have no attributes
  }
  // An attribute to read into: a kept one (its contents are stale) or a new one.
  std::unique_ptr<TAttribute> Spare();
  // Keeps an attribute that was not added for a later Spare.
  void Keep(std::unique_ptr<TAttribute> attribute);

  // The first attribute with the symbol; nullptr when there is none.
  const TAttribute* Find(TagSymbol symbol) const;
  // Each attribute as a line of its upper-case name, "=" and its text.
  std::vector<std::string> NameValueList() const;
  // The CLASS text trimmed and lower-cased; several space-separated names come sorted and joined with ".",
  // the form the style sheet keys take.
  std::string ClassName() const;
  // The ID text lower-cased, "" when absent. Cached until the next Clear.
  const std::string& Id() const;
  // The TITLE text, "" when absent.
  std::string Title() const;
  // A new property set made from the STYLE attribute by the inline style parser, owned by the list (the one
  // made before is freed); nullptr when there is no STYLE attribute or no parser.
  TProperties* StyleProperties();
  // Hands the property set last made by StyleProperties to the caller, for an element whose property set
  // must outlive this tag (the list is reused for the next tag).
  TPropertiesOwner TakeStyleProperties() { return std::move(m_styleProperties); }

  void SetInlineStyleParser(TInlineStyleParser parser) { m_inlineStyleParser = std::move(parser); }

 private:
  void ClearItems();

  mutable std::string m_id;
  mutable bool m_idCached = false;
  TInlineStyleParser m_inlineStyleParser;
  TPropertiesOwner m_styleProperties;
  std::vector<std::unique_ptr<TAttribute>> m_spares;
};

// The integer reading of an attribute value: the text trimmed, one trailing "%" dropped; a decimal number
// (sign, fraction, exponent) rounded to the nearest integer, ties to even. When characters that belong to
// no number follow, the digits read up to them, without sign or decimal point ('12.5px' gives 125). A
// text that starts with anything but a sign, "." or a digit gives 0.
int AttributeIntegerValue(std::string_view text);

// Removes the characters of code 32 and below from both ends.
std::string_view TrimmedView(std::string_view text);

}  // namespace corvane
