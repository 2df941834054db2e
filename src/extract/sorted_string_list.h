#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Strings kept in sorted order with duplicates ignored: the file queue of a job. The order puts
// ASCII letters of either case together ("a.html" before "B.html"), with byte order deciding between
// names that differ only in case; only identical strings count as duplicates.
class TSortedStringList {
 public:
  // Inserts text at its sorted place; returns false, changing nothing, when it is already there.
  bool Add(std::string text);
  // Adds every string of texts, sorting them all at once.
  void AddAll(std::vector<std::string> texts);
  // Deleting entry 0, as a job takes its files one after the other, costs nothing per entry.
  void Delete(std::size_t index);
  // Removes text if it is there; returns whether it was.
  bool Remove(std::string_view text);
  void Clear() {
    m_items.clear();
    m_first = 0;
  }

  std::size_t Count() const { return m_items.size() - m_first; }
  bool Empty() const { return Count() == 0; }
  const std::string& operator[](std::size_t index) const { return m_items[m_first + index]; }
  std::span<const std::string> Items() const { return std::span(m_items).subspan(m_first); }

  // The sort order.
  static bool Less(std::string_view a, std::string_view b);

 private:
  // Drops the entries before m_first from the vector.
  void Compact();

  // The entries are m_items[m_first, end): entry 0 is taken by moving m_first on.
  std::vector<std::string> m_items;
  std::size_t m_first = 0;
};

}  // namespace corvane
