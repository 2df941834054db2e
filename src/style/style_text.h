#pragma once

#include <string>
#include <string_view>

// Small text helpers of the style engine. Style texts are 8-bit; only ASCII letters change case.
namespace corvane::style_text {

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Removes the characters of code 32 and below from both ends.
inline std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

inline std::string LowerCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

inline bool HasUpperAscii(std::string_view text) {
  for (char c : text)
    if (c >= 'A' && c <= 'Z') return true;
  return false;
}

inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

inline bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The decimal integer that the trimmed text is (an optional sign, then digits); fallback for any other
// text.
int IntegerOr(std::string_view text, int fallback);

}  // namespace corvane::style_text
