#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

// How far into a page its character-set declaration is looked for.
inline constexpr std::size_t kPageCharsetScanLimit = std::size_t{64} << 10;

// The character-set declaration of a page, for reading a table cut out of it the way the page itself
// reads: the UTF-8 byte-order mark when the page begins with one; otherwise the text of every
// "<META ...>" element (any case, up to its first ">") that mentions "charset" in any case, joined in
// page order. Only elements before the page's first "<TABLE" and within its first
// kPageCharsetScanLimit bytes count; an element whose ">" lies beyond them is dropped. Empty when the
// page declares nothing.
std::string PageCharsetDeclaration(std::string_view page);

}  // namespace corvane
