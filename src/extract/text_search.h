#pragma once

#include <cstddef>
#include <string_view>

// Byte-level text helpers of the extraction core. Input files are handled as 8-bit bytes whatever
// their encoding: only the ASCII letters a-z are upper-cased, and "blank" means a code of 32 or below.
namespace corvane {

inline constexpr unsigned char AsciiUpper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

inline constexpr bool IsBlankByte(unsigned char c) { return c <= 32; }

// True when text holds pattern at pos, ASCII letters compared without regard to case. False when the
// text is too short.
bool MatchesNoCase(std::string_view text, std::size_t pos, std::string_view pattern);

// First position at or after from where text matches pattern (see MatchesNoCase), or npos. Patterns
// are short tags; when they begin with a non-letter the search jumps between occurrences of that byte.
std::size_t FindNoCase(std::string_view text, std::size_t from, std::string_view pattern);

// First position of byte c at or after from, or npos.
std::size_t FindByte(std::string_view text, std::size_t from, char c);

// Removes leading and trailing bytes of code 32 or below.
std::string_view TrimBlanks(std::string_view text);

bool IsBlankText(std::string_view text);

}  // namespace corvane
