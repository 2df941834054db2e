#include "style/style_shorthands.h"

#include <array>

#include "style/property_index.h"
#include "style/style_colors.h"
#include "style/style_text.h"

namespace corvane {

namespace {

using namespace style_text;

constexpr std::size_t npos = std::string_view::npos;

// A shorthand's items are read with room for this many (one more is taken, and then ignored).
constexpr int kMaxItems = 7;

bool IsOneOf(std::string_view item, std::initializer_list<std::string_view> words) {
  for (std::string_view word : words)
    if (item == word) return true;
  return false;
}

// Colours in border and background shorthands must be names, rgb() or carry the "#": "5" is a width.
bool IsMarkedColor(std::string_view item) { return ColorFromString(item, THashMark::Required).has_value(); }

bool IsBorderStyle(std::string_view item) {
  return IsOneOf(item, {"none", "solid", "dashed", "dotted", "double", "groove", "inset", "outset", "ridge"});
}

// The side properties of each box shorthand; null for other names.
const TSides<Prop::Index>* SidesOfShorthand(std::string_view name) {
  if (name == "margin") return &Prop::Margins;
  if (name == "padding") return &Prop::Paddings;
  if (name == "border-width") return &Prop::BorderWidths;
  if (name == "border-color") return &Prop::BorderColors;
  if (name == "border-style") return &Prop::BorderStyles;
  return nullptr;
}

bool IsBorder(std::string_view name) {
  return IsOneOf(name, {"border", "border-top", "border-right", "border-bottom", "border-left"});
}

void ExpandBox(const TSides<Prop::Index>& sides, std::string_view value, TDeclarationStore& store) {
  const std::vector<std::string> items = SplitValue(value, 4);
  // Which item each of top, right, bottom, left takes, by the number of items.
  static constexpr std::array<std::array<int, 4>, 4> kItemOfSide = {{
      {0, 0, 0, 0},
      {0, 1, 0, 1},
      {0, 1, 2, 1},
      {0, 1, 2, 3},
  }};
  if (items.empty() || items.size() > 4) return;
  const auto& itemOf = kItemOfSide[items.size() - 1];
  for (const TSide side : kAllSides)
    store.Store(PropertyName(sides[side]), items[itemOf[static_cast<std::size_t>(side)]]);
}

void ExpandBorder(std::string_view name, std::string_view value, TDeclarationStore& store) {
  const std::string base(name);
  const std::string colorName = base + "-color";
  const std::string styleName = base + "-style";
  const std::string widthName = base + "-width";
  std::string rest(value);
  for (const std::string& function : TakeFunctions(rest))
    if (IsMarkedColor(function)) store.Store(colorName, function);
  for (const std::string& item : SplitValue(rest, kMaxItems)) {
    if (IsMarkedColor(item)) {
      store.Store(colorName, item);
    } else if (IsBorderStyle(item)) {
      store.Store(styleName, item);
    } else if (name == "border") {
      for (const int side : Prop::BorderWidths) store.Store(PropertyName(side), item);
    } else {
      store.Store(widthName, item);
    }
  }
}

// A whole number of 100 or more: a font weight, which the font shorthand does not take as a size.
bool IsWeightNumber(std::string_view item) {
  std::size_t first = 0;
  while (first < item.size() && item[first] == '0') ++first;
  for (std::size_t i = first; i < item.size(); ++i)
    if (!IsDigit(item[i])) return false;
  return item.size() - first >= 3;
}

void ExpandFont(std::string_view rawValue, TDeclarationStore& store) {
  std::string family;
  bool hasFamily = false;
  for (const std::string& item : SplitValue(rawValue, kMaxItems)) {
    if (item.starts_with('/')) {
      store.Store("line-height", std::string_view(item).substr(1));
    } else if (IsOneOf(item, {"italic", "oblique"})) {
      store.Store("font-style", item);
    } else if (IsOneOf(item, {"normal", "bolder", "lighter", "bold"})) {
      store.Store("font-weight", item);
    } else if (item == "small-caps") {
      store.Store("font-variant", item);
    } else if (IsOneOf(item, {"larger", "smaller", "xx-small", "x-small", "small", "medium", "large", "x-large",
                              "xx-large"})) {
      store.Store("font-size", item);
    } else if (!IsDigit(item.front())) {
      family = item;
      hasFamily = true;
    } else if (!IsWeightNumber(item)) {
      store.Store("font-size", item);
    }
  }
  if (hasFamily) store.Store("font-family", family);
}

void ExpandBackground(std::string_view value, TDeclarationStore& store) {
  std::string rest(value);
  for (const std::string& function : TakeFunctions(rest)) {
    if (Contains(function, "rgb("))
      store.Store("background-color", function);
    else if (Contains(function, "url("))
      store.Store("background-image", store.ResolveUrl(function));
  }
  std::vector<std::string> items = SplitValue(rest, kMaxItems);
  // Each pass takes what it recognises out of the items; the last two left are the position.
  std::erase_if(items, [&store](const std::string& item) {
    if (IsMarkedColor(item)) {
      store.Store("background-color", item);
      return true;
    }
    if (item == "none") {
      store.Store("background-image", item);
      return true;
    }
    return false;
  });
  std::erase_if(items, [&store](const std::string& item) {
    if (!Contains(item, "repeat")) return false;
    store.Store("background-repeat", item);
    return true;
  });
  std::erase_if(items, [&store](const std::string& item) {
    if (item != "fixed" && item != "scroll") return false;
    store.Store("background-attachment", item);
    return true;
  });
  if (items.empty()) return;
  std::string position;
  for (std::size_t i = items.size() > 2 ? items.size() - 2 : 0; i < items.size(); ++i) position += items[i] + ' ';
  store.Store("background-position", position);
}

void ExpandListStyle(std::string_view value, TDeclarationStore& store) {
  for (const std::string& item : SplitValue(value, kMaxItems)) {
    if (Contains(item, "url("))
      store.Store("list-style-image", store.ResolveUrl(item));
    else
      store.Store("list-style-type", item);
  }
}

// Step 1 of SplitValue: trimmed, runs of spaces as one, and no space after a comma so that a list such
// as "arial, serif" stays one item.
std::string CompactSpaces(std::string_view text) {
  text = Trim(text);
  std::string compact;
  compact.reserve(text.size());
  for (char c : text) {
    if (c == ' ' && !compact.empty() && (compact.back() == ' ' || compact.back() == ',')) continue;
    compact += c;
  }
  return compact;
}

}  // namespace

bool IsShorthand(std::string_view name) {
  return SidesOfShorthand(name) != nullptr || IsBorder(name) || name == "font" || name == "background" ||
         name == "list-style";
}

void ExpandShorthand(std::string_view name, std::string_view rawValue, std::string_view value,
                     TDeclarationStore& store) {
  if (const TSides<Prop::Index>* sides = SidesOfShorthand(name))
    ExpandBox(*sides, value, store);
  else if (IsBorder(name))
    ExpandBorder(name, value, store);
  else if (name == "font")
    ExpandFont(rawValue, store);
  else if (name == "background")
    ExpandBackground(value, store);
  else if (name == "list-style")
    ExpandListStyle(value, store);
}

std::vector<std::string> SplitValue(std::string_view text, int maximum) {
  const std::string compact = CompactSpaces(text);
  const std::string_view all = compact;
  std::vector<std::string> items;
  std::size_t at = 0;
  while (at < all.size() && items.size() < static_cast<std::size_t>(maximum) + 1) {
    const std::string_view rest = all.substr(at);
    std::size_t end = rest.find(' ');
    const std::size_t quote = rest.find_first_of("\"'");
    if (quote < end) {
      const std::size_t closing = rest.find(rest[quote], quote + 1);
      end = closing == npos ? npos : rest.find(' ', closing);
    }
    std::string_view item = rest.substr(0, end);
    std::size_t next = end == npos ? all.size() : at + end + 1;
    // "12px/1.5": the part from the "/" on is read as the next item.
    if (const std::size_t slash = item.find('/', 1); slash != npos) {
      item = item.substr(0, slash);
      next = at + slash;
    }
    if (!item.empty()) items.emplace_back(item);
    at = next;
  }
  return items;
}

std::vector<std::string> TakeFunctions(std::string& text) {
  std::vector<std::string> items;
  while (items.size() < kMaxItems) {
    std::size_t start = text.find("url(");
    if (start == npos) start = text.find("rgb(");
    if (start == npos) break;
    // The ")" that closes this call; a call without one is left in the text.
    const std::size_t close = text.find(')', start);
    if (close == npos) break;
    items.push_back(text.substr(start, close + 1 - start));
    text.erase(start, close + 1 - start);
  }
  return items;
}

}  // namespace corvane
