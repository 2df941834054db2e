#include "viewer/bounded_layout.h"

#include <algorithm>

namespace corvane {

std::size_t FirstPartEnd(std::string_view page, std::size_t budget) {
  if (budget >= page.size()) return page.size();
  const std::size_t tag = page.rfind('<', budget);
  return tag != std::string_view::npos && tag > budget / 2 ? tag : std::max<std::size_t>(budget, 1);
}

TBoundedLayout LayOutWithinHeight(const std::string& page, int maxHeight, std::size_t firstBytes,
                                  const std::function<int(std::string text)>& layOut) {
  TBoundedLayout result;
  // What is laid out must reach this far before the rest of the page may be left out.
  const long long cut = std::max(maxHeight, 1);
  const long long enough = cut + cut / 2;
  std::size_t budget = std::max<std::size_t>(firstBytes, 1);
  for (;;) {
    std::size_t end = FirstPartEnd(page, budget);
    if (end <= result.BytesBuilt) end = page.size();  // each round builds more than the one before
    ++result.Rounds;
    result.BytesBuilt = end;
    result.Whole = end >= page.size();
    result.Height = layOut(result.Whole ? page : page.substr(0, end));
    if (result.Whole || result.Height > enough) return result;
    // Twice the bytes at least; as many more as the height reached so far says are needed to pass
    // enough, with a quarter to spare.
    const long double needed = static_cast<long double>(end) * static_cast<long double>(enough) * 1.25L /
                               static_cast<long double>(std::max(result.Height, 1));
    const long double next = std::max(static_cast<long double>(end) * 2.0L, needed);
    budget = next >= static_cast<long double>(page.size()) ? page.size() : static_cast<std::size_t>(next);
  }
}

}  // namespace corvane
