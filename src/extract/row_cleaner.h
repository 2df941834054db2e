#pragma once

#include <span>
#include <string>
#include <string_view>

namespace corvane {

// The opening-tag prefixes whose tags are cut out of row lines, in the order they are applied. A
// prefix removes every tag whose name begins with it: "<b" also takes 'br' and 'body' tags.
std::span<const std::string_view> OpenTagPrefixes();
// The closing tags removed from row lines, in the order they are applied.
std::span<const std::string_view> CloseTags();

// Cleans one assembled row line: every "&nbsp;" (any case) becomes a space; then, if the line holds a
// "<", each closing tag of CloseTags is removed everywhere, one tag after the other, and each prefix of
// OpenTagPrefixes in turn removes its tags through their ">" for as long as it occurs. The result is
// trimmed of bytes of code 32 or below. A prefix with no ">" after it is left in place, with the rest of
// the line, and cleaning goes on with the next prefix.
//
// The result is exactly that of the removals made one after the other, but tags absent from the line
// cost nothing, and ordinary lines are cleaned in one pass over each half of the lists.
std::string CleanRowText(std::string_view line);

// The same result, always by the tag-by-tag removals (still skipping tags the line does not hold).
// CleanRowText falls back to it for lines where removals interact.
std::string CleanRowTextTagByTag(std::string_view line);

}  // namespace corvane
