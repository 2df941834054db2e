#include "extract/sorted_string_list.h"

#include <algorithm>
#include <iterator>

#include "extract/text_search.h"

namespace corvane {

bool TSortedStringList::Less(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = AsciiUpper(static_cast<unsigned char>(a[i]));
    const unsigned char y = AsciiUpper(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

void TSortedStringList::Compact() {
  if (m_first == 0) return;
  m_items.erase(m_items.begin(), m_items.begin() + static_cast<std::ptrdiff_t>(m_first));
  m_first = 0;
}

bool TSortedStringList::Add(std::string text) {
  Compact();
  const auto at = std::lower_bound(m_items.begin(), m_items.end(), text,
                                   [](const std::string& a, const std::string& b) { return Less(a, b); });
  if (at != m_items.end() && *at == text) return false;
  m_items.insert(at, std::move(text));
  return true;
}

void TSortedStringList::AddAll(std::vector<std::string> texts) {
  Compact();
  const auto less = [](const std::string& a, const std::string& b) { return Less(a, b); };
  std::sort(texts.begin(), texts.end(), less);
  std::vector<std::string> merged;
  merged.reserve(m_items.size() + texts.size());
  std::merge(std::make_move_iterator(m_items.begin()), std::make_move_iterator(m_items.end()),
             std::make_move_iterator(texts.begin()), std::make_move_iterator(texts.end()),
             std::back_inserter(merged), less);
  merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
  m_items = std::move(merged);
}

bool TSortedStringList::Remove(std::string_view text) {
  Compact();
  const auto at = std::lower_bound(m_items.begin(), m_items.end(), text,
                                   [](const std::string& a, std::string_view b) { return Less(a, b); });
  if (at == m_items.end() || *at != text) return false;
  m_items.erase(at);
  return true;
}

void TSortedStringList::Delete(std::size_t index) {
  if (index >= Count()) return;
  if (index == 0) {
    m_items[m_first] = std::string();
    ++m_first;
    // Taken entries are dropped now and then, so the vector stays within twice the live entries.
    if (m_first == m_items.size()) Clear();
    else if (m_first > 64 && m_first * 2 > m_items.size()) Compact();
    return;
  }
  m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(m_first + index));
}

}  // namespace corvane
