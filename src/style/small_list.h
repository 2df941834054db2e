#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace corvane {

// A list of plain values that holds its first N inside itself: most sections have one or two font
// runs and source jumps, and a document makes tens of thousands of sections, so that a list of their
// own on the heap for each cost the allocator twice per section.
template <typename T, std::size_t N>
class TSmallList {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "values are moved as bytes");
  static_assert(N > 0);

 public:
  TSmallList() = default;
  TSmallList(const TSmallList& other) { assign(other.begin(), other.end()); }
  TSmallList(TSmallList&& other) noexcept { TakeFrom(other); }
  TSmallList& operator=(const TSmallList& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
  }
  TSmallList& operator=(TSmallList&& other) noexcept {
    if (this != &other) {
      FreeHeap();
      TakeFrom(other);
    }
    return *this;
  }
  ~TSmallList() { FreeHeap(); }

  T* begin() { return m_data; }
  T* end() { return m_data + m_size; }
  const T* begin() const { return m_data; }
  const T* end() const { return m_data + m_size; }
  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  T& operator[](std::size_t index) { return m_data[index]; }
  const T& operator[](std::size_t index) const { return m_data[index]; }
  T& front() { return m_data[0]; }
  const T& front() const { return m_data[0]; }
  T& back() { return m_data[m_size - 1]; }
  const T& back() const { return m_data[m_size - 1]; }

  void push_back(const T& value) {
    if (m_size == m_capacity) {
      const T copy = value;  // value may stand in the list
      Grow(m_capacity * 2);
      m_data[m_size++] = copy;
      return;
    }
    m_data[m_size++] = value;
  }
  void pop_back() { --m_size; }
  void clear() { m_size = 0; }
  // Shrinking only: the values that stay are kept.
  void resize(std::size_t size) {
    if (size < m_size) m_size = static_cast<std::uint32_t>(size);
  }
  void assign(const T* first, const T* last) {
    const auto count = static_cast<std::size_t>(last - first);
    if (count > m_capacity) {
      FreeHeap();
      m_data = Inline();
      m_capacity = N;
      m_size = 0;
      Grow(count);
    }
    if (count > 0) std::memmove(m_data, first, count * sizeof(T));
    m_size = static_cast<std::uint32_t>(count);
  }

 private:
  T* Inline() { return reinterpret_cast<T*>(m_inline); }
  bool OnHeap() const { return m_data != reinterpret_cast<const T*>(m_inline); }
  void FreeHeap() {
    if (OnHeap()) ::operator delete(m_data);
  }
  void Grow(std::size_t capacity) {
    T* grown = static_cast<T*>(::operator new(capacity * sizeof(T)));
    if (m_size > 0) std::memcpy(grown, m_data, m_size * sizeof(T));
    FreeHeap();
    m_data = grown;
    m_capacity = static_cast<std::uint32_t>(capacity);
  }
  void TakeFrom(TSmallList& other) {
    m_size = other.m_size;
    if (other.OnHeap()) {
      m_data = other.m_data;
      m_capacity = other.m_capacity;
    } else {
      m_data = Inline();
      m_capacity = N;
      if (m_size > 0) std::memcpy(m_data, other.m_data, m_size * sizeof(T));
    }
    other.m_data = other.Inline();
    other.m_size = 0;
    other.m_capacity = N;
  }

  T* m_data = Inline();
  std::uint32_t m_size = 0;
  std::uint32_t m_capacity = N;
  alignas(T) unsigned char m_inline[N * sizeof(T)];
};

}  // namespace corvane
