#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Where the declarations of a style sheet rule or a style attribute go, one (name, value) at a time.
// Names that are not properties are dropped by the receiver.
class TDeclarationStore {
 public:
  virtual void Store(std::string_view name, std::string_view value) = 0;
  // A value holding "url(...)" as the sheet wants it stored: resolved against the sheet's base address
  // when it has one, else unchanged.
  virtual std::string ResolveUrl(std::string_view value) { return std::string(value); }

 protected:
  ~TDeclarationStore() = default;
};

// Whether the declaration name is one that ExpandShorthand takes apart: "margin", "padding",
// "border-width", "border-color", "border-style", "border" and its four sides, "font", "background",
// "list-style".
bool IsShorthand(std::string_view name);

// Stores the longhand declarations of a shorthand. "font" reads rawValue (quotes kept around family
// names), the others value (one pair of enclosing quotes removed).
void ExpandShorthand(std::string_view name, std::string_view rawValue, std::string_view value,
                     TDeclarationStore& store);

// The items of a shorthand value: separated by spaces, a quoted stretch staying in one item, a
// comma-separated list staying one item, and "12px/1.5" giving "12px" and "/1.5". At most maximum + 1
// items.
std::vector<std::string> SplitValue(std::string_view text, int maximum);

// Cuts the function calls out of text: every "url(...)", or, when there is none, every "rgb(...)"; at
// most 7. What is left stays in text.
std::vector<std::string> TakeFunctions(std::string& text);

}  // namespace corvane
