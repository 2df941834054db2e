#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// A run of 8-bit characters of the document, each with its source index, collected before it is
// converted through a code page. Cleared and refilled for every run, it keeps its storage. Without
// indices (SetKeepIndices(false)) it collects the bytes alone and Indices() stays empty.
class TCharCollection {
 public:
  static constexpr std::size_t kInitialCapacity = 300;

  TCharCollection() {
    m_chars.reserve(kInitialCapacity);
    m_indices.reserve(kInitialCapacity);
  }

  void SetKeepIndices(bool keep) {
    m_keepIndices = keep;
    if (!keep) std::vector<int>().swap(m_indices);
  }
  bool KeepIndices() const { return m_keepIndices; }

  void Add(char c, int index) {
    m_chars.push_back(c);
    if (m_keepIndices) m_indices.push_back(index);
  }
  // Adds count bytes whose source indices run up from firstIndex.
  void AddRun(const char* bytes, std::size_t count, int firstIndex) {
    m_chars.append(bytes, count);
    if (!m_keepIndices) return;
    const std::size_t at = m_indices.size();
    m_indices.resize(at + count);
    for (std::size_t k = 0; k < count; ++k) m_indices[at + k] = firstIndex + static_cast<int>(k);
  }
  void Add(const TCharCollection& other) {
    m_chars += other.m_chars;
    if (m_keepIndices) m_indices.insert(m_indices.end(), other.m_indices.begin(), other.m_indices.end());
  }
  // Removes the first count bytes.
  void DropFirst(std::size_t count) {
    m_chars.erase(0, count);
    if (m_keepIndices) m_indices.erase(m_indices.begin(), m_indices.begin() + static_cast<std::ptrdiff_t>(count));
  }
  int Count() const { return static_cast<int>(m_chars.size()); }
  bool Empty() const { return m_chars.empty(); }
  void Clear() {
    m_chars.clear();
    m_indices.clear();
  }

  std::string_view Chars() const { return m_chars; }
  const std::vector<int>& Indices() const { return m_indices; }

 private:
  std::string m_chars;
  std::vector<int> m_indices;
  bool m_keepIndices = true;
};

}  // namespace corvane
