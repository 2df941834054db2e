#include "extract/page_charset.h"

#include "extract/text_search.h"

namespace corvane {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kMetaTag = "<META";
constexpr std::string_view kTableTag = "<TABLE";
constexpr std::string_view kCharsetWord = "CHARSET";

// FindNoCase needs a pattern that begins with a byte other than a letter; "charset" does not.
bool ContainsNoCase(std::string_view text, std::string_view word) {
  for (std::size_t pos = 0; pos + word.size() <= text.size(); ++pos)
    if (MatchesNoCase(text, pos, word)) return true;
  return false;
}

}  // namespace

std::string PageCharsetDeclaration(std::string_view page) {
  page = page.substr(0, kPageCharsetScanLimit);
  if (page.starts_with(kByteOrderMark)) return std::string(kByteOrderMark);

  const std::size_t table = FindNoCase(page, 0, kTableTag);
  if (table != std::string_view::npos) page = page.substr(0, table);

  std::string declaration;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t start = FindNoCase(page, pos, kMetaTag);
    if (start == std::string_view::npos) break;
    const std::size_t nameEnd = start + kMetaTag.size();
    // "<METADATA" and the like are other tags.
    if (nameEnd < page.size()) {
      const unsigned char next = static_cast<unsigned char>(page[nameEnd]);
      if (!IsBlankByte(next) && next != '>' && next != '/') {
        pos = nameEnd;
        continue;
      }
    }
    const std::size_t close = FindByte(page, nameEnd, '>');
    if (close == std::string_view::npos) break;  // cut off by the first table or the scan limit
    const std::string_view element = page.substr(start, close + 1 - start);
    if (ContainsNoCase(element, kCharsetWord)) declaration.append(element);
    pos = close + 1;
  }
  return declaration;
}

}  // namespace corvane
