#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

inline constexpr int kCharsetNameCount = 47;

// The font character set that a charset declaration names: the first of the 47 names, in table order,
// that occurs anywhere in the lower-cased value ('iso-8859-15' already matches "8859-1"). EUC-JP gives
// kCharSetEucJp, which the reader turns into a transcoding; none when no name occurs.
std::optional<int> CharsetOfName(std::string_view value);

// Whether the text is ISO-2022-JP: a switch to JIS X 0208 (ESC "$@" or ESC "$B") and, at or after the
// later of the two, a switch back (ESC "(J" or ESC "(B").
bool IsIso2022Jp(std::string_view text);
// The Shift_JIS form of an ISO-2022-JP text; the escape sequences are dropped.
std::string Iso2022JpToShiftJis(std::string_view text);
// Rewrites an EUC-JP text as Shift_JIS in place; every byte count stays.
void EucJpToShiftJis(std::string& text);

}  // namespace corvane
