#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "extract/text_search.h"

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
// The result is exactly that of the removals made one after the other, but ordinary lines are cleaned
// in one pass (see TTextCleaner).
std::string CleanRowText(std::string_view line);

// The same result, always by the tag-by-tag removals (still skipping tags the line does not hold).
// The other cleaning falls back to it for lines where removals may interact.
std::string CleanRowTextTagByTag(std::string_view line);

// The one-pass cleaning behind CleanRowText and the row line builder.
//
// One pass over the text replaces "&nbsp;", drops the closing tags of the list and drops each tag that
// begins with a prefix through the first ">" after it. That is what the removals one after the other
// give unless a removal brings a new tag of the lists together, or a dropped tag holds another "<"
// (a closing tag removed first would move its ">"). Those cases are rare and are not resolved here:
// the cleaning gives up, and the caller cleans the whole line tag by tag.
//
// The text is loaded once: copied with zero bytes after it, and indexed (one bit per byte: where its
// "<" and "&" bytes are, and where its ">" bytes are), so that each search after that takes a few
// operations on a word of bits and each tag is compared in one step. A cleaner keeps its buffers from
// one text to the next.
class TTextCleaner {
 public:
  enum class TResult { Done, NoCells, Unsure };

  // Takes a copy of text.
  void Load(std::string_view text);

  // Cleans the whole text as CleanRowText does, but does not trim the result: Done or Unsure.
  TResult CleanText();

  // Makes the line of the text's cells (the text is a table row): the text between each cellTag (three
  // bytes are taken as the tag, then everything through the next ">") and the next cellEndTag (five
  // bytes, beginning with "</"), quoted and joined by tabs, then cleaned as CleanRowText does. With
  // trimCells each cell is first trimmed of bytes of code 32 or below. NoCells when there is none.
  TResult CleanCells(const TShortPattern& cellTag, const TShortPattern& cellEndTag, bool trimCells);

  // The line made by the last CleanText or CleanCells that did not give Unsure.
  std::string_view Line() const { return {m_line.data() + kLinePad, m_lineSize}; }

 private:
  template <bool kCells>
  TResult Clean(const TShortPattern* cellTag, const TShortPattern* cellEndTag, bool trimCells);

  // Zero bytes after the text, and before the line, so that bytes may be read sixteen or thirty-two at
  // a time; zero bytes after the index, which is read eight bytes at a time.
  static constexpr std::size_t kTextPad = 64;
  static constexpr std::size_t kLinePad = 16;
  static constexpr std::size_t kIndexPad = 32;

  std::string m_text;
  std::size_t m_size = 0;
  std::string m_lessThanOrAmpersand;  // one bit per byte of text, the first byte's in the lowest bit
  std::string m_greaterThan;
  std::string m_line;
  std::size_t m_lineSize = 0;
};

}  // namespace corvane
