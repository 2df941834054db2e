#include "style/property_index.h"

#include <algorithm>
#include <array>
#include <utility>

namespace corvane {

namespace {

using TNameEntry = std::pair<std::string_view, int>;

// The names sorted once, for binary search.
constexpr std::array<TNameEntry, Prop::Count> SortedNames() {
  std::array<TNameEntry, Prop::Count> entries{};
  for (int i = 0; i < Prop::Count; ++i) entries[i] = {kPropertyDefs[i].Name, i};
  std::sort(entries.begin(), entries.end());
  return entries;
}

constexpr auto kSortedNames = SortedNames();

constexpr bool NamesAreUnique() {
  for (std::size_t i = 1; i < kSortedNames.size(); ++i)
    if (kSortedNames[i - 1].first == kSortedNames[i].first) return false;
  return true;
}
static_assert(NamesAreUnique(), "two properties in property_list.def share a name");

}  // namespace

std::string_view PropertyName(int index) {
  if (index < 0 || index >= Prop::Count) return {};
  return kPropertyDefs[static_cast<std::size_t>(index)].Name;
}

std::optional<int> PropertyIndexOf(std::string_view name) {
  const auto at = std::lower_bound(kSortedNames.begin(), kSortedNames.end(), name,
                                   [](const TNameEntry& entry, std::string_view key) { return entry.first < key; });
  if (at == kSortedNames.end() || at->first != name) return std::nullopt;
  return at->second;
}

}  // namespace corvane
