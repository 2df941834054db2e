#include "extract/row_extraction.h"

#include "extract/row_cleaner.h"
#include "extract/text_search.h"

namespace corvane {

namespace {

constexpr std::string_view kRowTag = "<TR";
constexpr std::string_view kRowEndTag = "</TR";
// "</TR" and the byte after it, normally ">".
constexpr std::size_t kRowEndLength = kRowEndTag.size() + 1;
constexpr std::string_view kDataCellTag = "<td";
constexpr std::string_view kDataCellEndTag = "</td>";
constexpr std::string_view kHeaderCellTag = "<th";
constexpr std::string_view kHeaderCellEndTag = "</th>";
constexpr TShortPattern kDataCellPattern(kDataCellTag);
constexpr TShortPattern kDataCellEndPattern(kDataCellEndTag);
constexpr TShortPattern kHeaderCellPattern(kHeaderCellTag);
constexpr TShortPattern kHeaderCellEndPattern(kHeaderCellEndTag);

constexpr std::size_t npos = std::string_view::npos;
// Rows up to this size leave the buffers they needed for the next rows.
constexpr std::size_t kLargestKeptRow = std::size_t{1} << 20;

// The cells of a row joined into a line as they stand, not cleaned.
std::string RawCells(std::string_view rowText, std::string_view openTag, std::string_view closeTag,
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
  return line;
}

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
  return CleanRowText(RawCells(rowText, openTag, closeTag, trimming));
}

void AppendRowLine(std::string_view rowText, TCellTrimming trimming, std::string& out) {
  // One cleaner per thread, whose buffers are kept for the next row unless a huge row made them grow.
  // The line it makes needs no trimming: it begins and ends with a quote, which no removal takes; and
  // it is empty exactly when there are no cells.
  thread_local TTextCleaner cleaner;
  cleaner.Load(rowText);
  const bool trimCells = trimming == TCellTrimming::Trim;
  TTextCleaner::TResult result = cleaner.CleanCells(kDataCellPattern, kDataCellEndPattern, trimCells);
  if (result == TTextCleaner::TResult::NoCells)
    result = cleaner.CleanCells(kHeaderCellPattern, kHeaderCellEndPattern, trimCells);
  if (result != TTextCleaner::TResult::Unsure) {
    out.append(cleaner.Line());
  } else {
    std::string raw = RawCells(rowText, kDataCellTag, kDataCellEndTag, trimming);
    if (raw.empty()) raw = RawCells(rowText, kHeaderCellTag, kHeaderCellEndTag, trimming);
    out.append(CleanRowTextTagByTag(raw));
  }
  if (rowText.size() > kLargestKeptRow) cleaner = TTextCleaner();
}

void AppendTableLines(std::string_view fragment, TCellTrimming trimming, std::string& out) {
  TTableRowWalker rows(fragment);
  std::string_view rowText;
  while (rows.Next(rowText)) {
    AppendRowLine(rowText, trimming, out);
    out.append(kRowLineEnd);
  }
}

std::string RowLine(std::string_view rowText, TCellTrimming trimming) {
  std::string line;
  AppendRowLine(rowText, trimming, line);
  return line;
}

}  // namespace corvane
