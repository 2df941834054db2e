#pragma once

#include <QString>

#include <compare>
#include <cstddef>
#include <iterator>
#include <string_view>
#include <vector>

namespace corvane {

class TCharCollection;
class TCodePageConverter;

// The numbers from a start on, as an iterator: a range of them fills a vector of source indices in one
// insertion.
struct TCountingIterator {
  using iterator_category = std::random_access_iterator_tag;
  using value_type = int;
  using difference_type = std::ptrdiff_t;
  using pointer = const int*;
  using reference = int;

  int Value = 0;

  int operator*() const { return Value; }
  int operator[](difference_type n) const { return Value + static_cast<int>(n); }
  TCountingIterator& operator++() {
    ++Value;
    return *this;
  }
  TCountingIterator operator++(int) { return TCountingIterator{Value++}; }
  TCountingIterator& operator--() {
    --Value;
    return *this;
  }
  TCountingIterator operator--(int) { return TCountingIterator{Value--}; }
  TCountingIterator& operator+=(difference_type n) {
    Value += static_cast<int>(n);
    return *this;
  }
  TCountingIterator& operator-=(difference_type n) {
    Value -= static_cast<int>(n);
    return *this;
  }
  friend TCountingIterator operator+(TCountingIterator i, difference_type n) { return i += n; }
  friend TCountingIterator operator+(difference_type n, TCountingIterator i) { return i += n; }
  friend TCountingIterator operator-(TCountingIterator i, difference_type n) { return i -= n; }
  friend difference_type operator-(TCountingIterator a, TCountingIterator b) { return difference_type{a.Value} - b.Value; }
  friend bool operator==(TCountingIterator a, TCountingIterator b) { return a.Value == b.Value; }
  friend auto operator<=>(TCountingIterator a, TCountingIterator b) { return a.Value <=> b.Value; }
};

// Takes a token's text as it is read, in place of the token (see TokenObj::SetSink): a reader that
// only wants the text, such as the sheet reader building a cell, gets it without the token's copy.
class TTextSink {
 public:
  virtual ~TTextSink() = default;
  // One character, such as a decoded character reference.
  virtual void AddChar(char16_t c) = 0;
  // Bytes of the text to be converted through the code page, as TCodePageConverter::WriteUtf16 does.
  virtual void AddBytes(std::string_view bytes, int codePage, TCodePageConverter& converter) = 0;
};

// The text of one text token: 16-bit characters, each with the source index of the byte (or the "&" of
// the character reference) it came from. Cleared for every token, it keeps its storage, so reading
// text allocates nothing per character. A reader that needs no source positions turns the indices off
// (SetKeepIndices(false)): Indices() then stays empty, and the text takes half the memory it would.
class TokenObj {
 public:
  static constexpr std::size_t kInitialCapacity = 300;

  TokenObj() {
    m_chars.reserve(kInitialCapacity);
    m_indices.reserve(kInitialCapacity);
  }

  void SetKeepIndices(bool keep) {
    m_keepIndices = keep;
    if (!keep) std::vector<int>().swap(m_indices);
  }
  bool KeepIndices() const { return m_keepIndices; }

  // Text goes to sink instead of the token, which then stays empty; null: back to the token.
  void SetSink(TTextSink* sink) { m_sink = sink; }
  TTextSink* Sink() const { return m_sink; }

  void Add(char16_t c, int index) {
    if (m_sink) [[unlikely]] {
      m_sink->AddChar(c);
      return;
    }
    m_chars.push_back(c);
    if (m_keepIndices) m_indices.push_back(index);
    m_textValid = false;
  }
  void Clear() {
    m_chars.clear();
    m_indices.clear();
    m_text.clear();
    m_textValid = false;
  }

  int Count() const { return static_cast<int>(m_chars.size()); }
  bool Empty() const { return m_chars.empty(); }
  const std::vector<char16_t>& Chars() const { return m_chars; }
  const std::vector<int>& Indices() const { return m_indices; }
  // The characters as a string, built once and kept until the next change.
  const QString& S() const;

  // Adds count bytes below 0x80 of a code page that keeps ASCII (TCodePageConverter::KeepsAscii), each
  // as the character of its code; their source indices run up from firstIndex.
  void AddAscii(const char* bytes, std::size_t count, int firstIndex) {
    if (m_sink) [[unlikely]] {
      for (std::size_t k = 0; k < count; ++k) m_sink->AddChar(static_cast<char16_t>(bytes[k]));
      return;
    }
    const auto* from = reinterpret_cast<const unsigned char*>(bytes);
    m_chars.insert(m_chars.end(), from, from + count);
    if (m_keepIndices)
      m_indices.insert(m_indices.end(), TCountingIterator{firstIndex},
                       TCountingIterator{firstIndex + static_cast<int>(count)});
    m_textValid = false;
  }
  // Adds bytes converted through the code page; byte k has the source index indices[k] (indices may be
  // null when the token keeps none).
  void AddConverted(std::string_view bytes, const int* indices, int codePage, TCodePageConverter& converter);

 private:

  std::vector<char16_t> m_chars;
  std::vector<int> m_indices;
  mutable QString m_text;
  mutable bool m_textValid = false;
  bool m_keepIndices = true;
  TTextSink* m_sink = nullptr;
};

// Adds the bytes of a collection to the token, converted through the code page. Each character takes the
// index of the first byte of its sequence (both halves of a surrogate pair the same); a byte the code page
// cannot decode becomes its Windows-1252 character, so every byte gives at least one character.
void AddBytesToToken(TokenObj& token, const TCharCollection& bytes, int codePage, TCodePageConverter& converter);

}  // namespace corvane
