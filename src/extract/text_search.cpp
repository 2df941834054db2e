#include "extract/text_search.h"

#include <cstring>

namespace corvane {

bool MatchesNoCase(std::string_view text, std::size_t pos, std::string_view pattern) {
  if (pos > text.size() || text.size() - pos < pattern.size()) return false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (AsciiUpper(static_cast<unsigned char>(text[pos + i])) !=
        AsciiUpper(static_cast<unsigned char>(pattern[i])))
      return false;
  }
  return true;
}

std::size_t FindByte(std::string_view text, std::size_t from, char c) {
  if (from >= text.size()) return std::string_view::npos;
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
             : std::string_view::npos;
}

std::size_t FindNoCase(std::string_view text, std::size_t from, std::string_view pattern) {
  if (pattern.empty()) return from <= text.size() ? from : std::string_view::npos;
  const unsigned char first = AsciiUpper(static_cast<unsigned char>(pattern.front()));
  if (first >= 'A' && first <= 'Z') {
    for (std::size_t pos = from; pos + pattern.size() <= text.size(); ++pos) {
      if (MatchesNoCase(text, pos, pattern)) return pos;
    }
    return std::string_view::npos;
  }
  // Our tags start with '<': jump between those bytes.
  for (std::size_t pos = FindByte(text, from, static_cast<char>(first));
       pos != std::string_view::npos; pos = FindByte(text, pos + 1, static_cast<char>(first))) {
    if (MatchesNoCase(text, pos, pattern)) return pos;
  }
  return std::string_view::npos;
}

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlankByte(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsBlankByte(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool IsBlankText(std::string_view text) { return TrimBlanks(text).empty(); }

}  // namespace corvane
