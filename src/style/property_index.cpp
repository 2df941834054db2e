#include "style/property_index.h"

#include <algorithm>
#include <array>
#include <utility>

namespace corvane {

namespace {

constexpr std::array<std::string_view, Prop::Count> kNames = {
    "font-family",         "font-size",           "font-style",        "font-weight",
    "text-align",          "text-decoration",     "letter-spacing",    "border-style",
    "color",               "background-color",    "border-color",      "margin-top",
    "margin-right",        "margin-bottom",       "margin-left",       "padding-top",
    "padding-right",       "padding-bottom",      "padding-left",      "border-top-width",
    "border-right-width",  "border-bottom-width", "border-left-width", "border-top-color",
    "border-right-color",  "border-bottom-color", "border-left-color", "border-top-style",
    "border-right-style",  "border-bottom-style", "border-left-style", "width",
    "height",              "top",                 "bottom",            "right",
    "left",                "visibility",          "line-height",       "background-image",
    "background-position", "background-repeat",   "background-attachment", "vertical-align",
    "position",            "z-index",             "list-style-type",   "list-style-image",
    "float",               "clear",               "text-indent",       "page-break-before",
    "page-break-after",    "page-break-inside",   "text-transform",    "word-wrap",
    "font-variant",        "border-collapse",     "overflow",          "display",
};

using TNameEntry = std::pair<std::string_view, int>;

// The names sorted once, for binary search.
constexpr std::array<TNameEntry, Prop::Count> SortedNames() {
  std::array<TNameEntry, Prop::Count> entries{};
  for (int i = 0; i < Prop::Count; ++i) entries[i] = {kNames[i], i};
  std::sort(entries.begin(), entries.end());
  return entries;
}

constexpr auto kSortedNames = SortedNames();

}  // namespace

std::string_view PropertyName(int index) {
  if (index < 0 || index >= Prop::Count) return {};
  return kNames[index];
}

std::optional<int> PropertyIndexOf(std::string_view name) {
  const auto at = std::lower_bound(kSortedNames.begin(), kSortedNames.end(), name,
                                   [](const TNameEntry& entry, std::string_view key) { return entry.first < key; });
  if (at == kSortedNames.end() || at->first != name) return std::nullopt;
  return at->second;
}

TInheritance InheritanceOf(int index) {
  if (index >= Prop::MarginTop && index <= Prop::Left) return TInheritance::ResetToNotSet;
  switch (index) {
    case Prop::BorderStyle:
    case Prop::BackgroundColor:
    case Prop::BorderColor:
    case Prop::BackgroundImage:
    case Prop::BackgroundPosition:
    case Prop::BackgroundRepeat:
    case Prop::BackgroundAttachment:
    case Prop::Position:
    case Prop::Float:
    case Prop::Clear:
    case Prop::PageBreakBefore:
    case Prop::PageBreakAfter:
    case Prop::PageBreakInside:
    case Prop::BorderCollapse:
    case Prop::Overflow:
    case Prop::Display:
      return TInheritance::NotCopied;
    default:
      return TInheritance::Copied;
  }
}

}  // namespace corvane
