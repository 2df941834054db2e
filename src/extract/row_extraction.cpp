#include "extract/row_extraction.h"

#include "extract/row_cleaner.h"
#include "extract/text_search.h"

namespace corvane {

namespace {

constexpr std::string_view kRowTag = "<TR";
constexpr std::string_view kRowEndTag = "</TR";
// "</TR" and the byte after it, normally ">".
constexpr std::size_t kRowEndLength = kRowEndTag.size() + 1;
// The cell tags are taken by the length of "<td" and "</td>", whatever was searched for.
constexpr std::size_t kCellTagLength = 3;
constexpr std::size_t kCellEndTagLength = 5;

constexpr std::size_t npos = std::string_view::npos;

}  // namespace

bool TTableRowWalker::Next(std::string_view& rowText) {
  const std::size_t tag = FindNoCase(m_text, m_pos, kRowTag);
  if (tag == npos) return false;
  const std::size_t gt = FindByte(m_text, tag + kRowTag.size(), '>');
  if (gt == npos) return false;
  const std::size_t begin = gt + 1;
  const std::size_t end = FindNoCase(m_text, begin, kRowEndTag);
  if (end == npos) return false;
  rowText = m_text.substr(begin, end - begin);
  m_pos = end + kRowEndLength;
  return true;
}

std::string ExtractCells(std::string_view rowText, std::string_view openTag, std::string_view closeTag,
                         TCellTrimming trimming) {
  std::string line;
  line.reserve(rowText.size() + 8);
  std::size_t pos = 0;
  for (;;) {
    const std::size_t tag = FindNoCase(rowText, pos, openTag);
    if (tag == npos) break;
    const std::size_t gt = FindByte(rowText, tag + kCellTagLength, '>');
    if (gt == npos) break;
    const std::size_t begin = gt + 1;
    const std::size_t end = FindNoCase(rowText, begin, closeTag);
    if (end == npos) break;
    std::string_view cell = rowText.substr(begin, end - begin);
    if (trimming == TCellTrimming::Trim) cell = TrimBlanks(cell);
    if (!line.empty()) line.push_back(kCellSeparator);
    line.push_back(kCellQuote);
    line.append(cell);
    line.push_back(kCellQuote);
    pos = end + kCellEndTagLength;
  }
  return CleanRowText(line);
}

std::string RowLine(std::string_view rowText, TCellTrimming trimming) {
  std::string line = ExtractCells(rowText, "<td", "</td>", trimming);
  if (line.empty()) line = ExtractCells(rowText, "<th", "</th>", trimming);
  return line;
}

}  // namespace corvane
