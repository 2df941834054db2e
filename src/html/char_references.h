#pragma once

#include <optional>
#include <string_view>

namespace corvane {

inline constexpr int kEntityCount = 253;

// The code point of a character entity name: the 252 entities of HTML 4.01 (Latin-1, symbols and Greek
// letters, special characters) and "apos", which reads as the right single quotation mark U+2019. Names
// are case-sensitive ("Agrave" and "agrave" differ; "NBSP" is none).
std::optional<char16_t> LookupEntity(std::string_view name);

}  // namespace corvane
