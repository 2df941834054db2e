#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Byte-level text helpers of the extraction core. Input files are handled as 8-bit bytes whatever
// their encoding: only the ASCII letters a-z are upper-cased, and "blank" means a code of 32 or below.
// The searches are inline: they run for every "<" of every row.
namespace corvane {

inline constexpr unsigned char AsciiUpper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

inline constexpr bool IsBlankByte(unsigned char c) { return c <= 32; }

// True when text holds pattern at pos, ASCII letters compared without regard to case. False when the
// text is too short.
inline bool MatchesNoCase(std::string_view text, std::size_t pos, std::string_view pattern) {
  if (pos > text.size() || text.size() - pos < pattern.size()) return false;
  const char* at = text.data() + pos;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (AsciiUpper(static_cast<unsigned char>(at[i])) != AsciiUpper(static_cast<unsigned char>(pattern[i])))
      return false;
  }
  return true;
}

// First position of byte c at or after from, or npos. Tags stand close together, so the search looks
// at sixteen bytes at a time itself rather than paying for a library call per tag.
inline std::size_t FindByte(std::string_view text, std::size_t from, char c) {
  const std::size_t size = text.size();
  const char* data = text.data();
  std::size_t pos = from;
#if defined(__SSE2__)
  const __m128i want = _mm_set1_epi8(c);
  for (; pos + 16 <= size; pos += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, want));
    if (hits != 0) return pos + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
  }
#endif
  for (; pos < size; ++pos)
    if (data[pos] == c) return pos;
  return std::string_view::npos;
}

inline constexpr bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// First position at or after from where text matches pattern (see MatchesNoCase), or npos. The
// pattern must begin with a byte that is not a letter, as our tags do with "<" or "&". Candidates are
// found thirty-two positions at a time by two of the pattern's bytes, its first and its fourth (or its
// last, when shorter), which tell most tags apart ("</TR" from "</TD>", "<td" from "</td>"); the many
// other tags of a row are skipped, not each looked at.
inline std::size_t FindNoCase(std::string_view text, std::size_t from, std::string_view pattern) {
  const std::size_t size = text.size();
  const char* data = text.data();
  std::size_t pos = from;
#if defined(__SSE2__)
  if (pattern.size() >= 2) {
    // Letters are compared with their case bit set on both sides; other bytes as they are.
    auto lane = [&](std::size_t k, __m128i& mask, __m128i& want) {
      const unsigned char c = static_cast<unsigned char>(pattern[k]);
      const bool letter = IsAsciiLetter(c);
      mask = _mm_set1_epi8(letter ? 0x20 : 0);
      want = _mm_set1_epi8(static_cast<char>(letter ? (c | 0x20) : c));
    };
    const std::size_t second = pattern.size() >= 4 ? 3 : pattern.size() - 1;
    // The first byte is never a letter: it is compared as it is.
    const __m128i want0 = _mm_set1_epi8(pattern.front());
    __m128i mask1, want1;
    lane(second, mask1, want1);
    auto load = [data](std::size_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)); };
    auto candidates = [&](std::size_t at) {
      return _mm_and_si128(_mm_cmpeq_epi8(load(at), want0), _mm_cmpeq_epi8(_mm_or_si128(load(at + second), mask1), want1));
    };
    auto check = [&](std::size_t at, std::uint32_t hits) {
      for (; hits != 0; hits &= hits - 1) {
        const std::size_t match = at + static_cast<std::size_t>(__builtin_ctz(hits));
        if (MatchesNoCase(text, match, pattern)) return match;
      }
      return std::string_view::npos;
    };
    // Thirty-two positions a round while they last, then sixteen.
    for (; pos + 32 + second <= size; pos += 32) {
      const std::uint32_t hits = static_cast<std::uint32_t>(_mm_movemask_epi8(candidates(pos))) |
                                 (static_cast<std::uint32_t>(_mm_movemask_epi8(candidates(pos + 16))) << 16);
      if (hits != 0)
        if (const std::size_t match = check(pos, hits); match != std::string_view::npos) return match;
    }
    for (; pos + 16 + second <= size; pos += 16) {
      const std::uint32_t hits = static_cast<std::uint32_t>(_mm_movemask_epi8(candidates(pos)));
      if (hits != 0)
        if (const std::size_t match = check(pos, hits); match != std::string_view::npos) return match;
    }
  }
#endif
  for (pos = FindByte(text, pos, pattern.front()); pos != std::string_view::npos;
       pos = FindByte(text, pos + 1, pattern.front())) {
    if (MatchesNoCase(text, pos, pattern)) return pos;
  }
  return std::string_view::npos;
}

// A pattern of at most eight bytes, matched as MatchesNoCase does but in one comparison of eight bytes:
// the text gets the case bit set where the pattern has letters.
class TShortPattern {
 public:
  constexpr explicit TShortPattern(std::string_view pattern) : m_pattern(pattern) {
    if (pattern.size() > 8) throw "a short pattern has at most eight bytes";
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(pattern[i]);
      const bool letter = IsAsciiLetter(c);
      m_want |= std::uint64_t{letter ? static_cast<unsigned char>(c | 0x20) : c} << (8 * i);
      m_fold |= std::uint64_t{letter ? 0x20u : 0u} << (8 * i);
      m_mask |= std::uint64_t{0xff} << (8 * i);
    }
  }

  // Whether the text at at matches, where eight bytes can be read whatever the text's length (text
  // followed by zeros).
  bool MatchesPadded(const char* at) const {
    if constexpr (std::endian::native == std::endian::little) {
      std::uint64_t bytes;
      std::memcpy(&bytes, at, 8);
      return ((bytes | m_fold) & m_mask) == m_want;
    } else {
      return MatchesNoCase(std::string_view(at, 8), 0, m_pattern);
    }
  }

 private:
  std::string_view m_pattern;
  std::uint64_t m_want = 0;
  std::uint64_t m_fold = 0;
  std::uint64_t m_mask = 0;
};

// Removes leading and trailing bytes of code 32 or below.
inline std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlankByte(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsBlankByte(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

}  // namespace corvane
