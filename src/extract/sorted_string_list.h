#pragma once

#include <cstddef>
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
  void Delete(std::size_t index);
  // Removes text if it is there; returns whether it was.
  bool Remove(std::string_view text);
  void Clear() { m_items.clear(); }

  std::size_t Count() const { return m_items.size(); }
  bool Empty() const { return m_items.empty(); }
  const std::string& operator[](std::size_t index) const { return m_items[index]; }
  const std::vector<std::string>& Items() const { return m_items; }

  // The sort order.
  static bool Less(std::string_view a, std::string_view b);

 private:
  std::vector<std::string> m_items;
};

}  // namespace corvane
