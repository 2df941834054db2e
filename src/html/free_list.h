#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace corvane {

// A list that owns its items: deleting an item, clearing the list or destroying it frees them. The
// attribute list and the property stack are such lists.
template <typename T>
class TFreeList {
 public:
  TFreeList() = default;
  TFreeList(const TFreeList&) = delete;
  TFreeList& operator=(const TFreeList&) = delete;
  TFreeList(TFreeList&&) noexcept = default;
  TFreeList& operator=(TFreeList&&) noexcept = default;
  ~TFreeList() = default;

  int Count() const { return static_cast<int>(m_items.size()); }
  bool Empty() const { return m_items.empty(); }
  T& operator[](int index) { return *m_items[static_cast<std::size_t>(index)]; }
  const T& operator[](int index) const { return *m_items[static_cast<std::size_t>(index)]; }
  T& Last() { return *m_items.back(); }
  const T& Last() const { return *m_items.back(); }

  T& Add(std::unique_ptr<T> item) {
    m_items.push_back(std::move(item));
    return *m_items.back();
  }
  void Insert(int index, std::unique_ptr<T> item) {
    m_items.insert(m_items.begin() + index, std::move(item));
  }
  void Delete(int index) { m_items.erase(m_items.begin() + index); }
  // Hands the item at index to the caller without freeing it.
  std::unique_ptr<T> Extract(int index) {
    std::unique_ptr<T> item = std::move(m_items[static_cast<std::size_t>(index)]);
    m_items.erase(m_items.begin() + index);
    return item;
  }
  void Clear() { m_items.clear(); }

  auto begin() { return m_items.begin(); }
  auto end() { return m_items.end(); }
  auto begin() const { return m_items.begin(); }
  auto end() const { return m_items.end(); }

 protected:
  std::vector<std::unique_ptr<T>> m_items;
};

}  // namespace corvane
