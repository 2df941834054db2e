#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

// Output lines are quoted cells separated by tabs; no escaping.
inline constexpr char kCellQuote = '"';
inline constexpr char kCellSeparator = '\t';
inline constexpr std::string_view kRowLineEnd = "\r\n";
// A cell tag is taken as three bytes ("<td") then everything through the next ">", and its end tag as
// five ("</td>"), whatever was searched for.
inline constexpr std::size_t kCellTagLength = 3;
inline constexpr std::size_t kCellEndTagLength = 5;

enum class TCellTrimming { Keep, Trim };

// Walks the rows of one table fragment without parsing HTML: a row starts after the ">" that follows
// "<TR" (any case) and ends before the next "</TR"; the walk goes on one byte past "</TR". A last row
// without "</TR" is not a row.
class TTableRowWalker {
 public:
  explicit TTableRowWalker(std::string_view fragment) : m_text(fragment) {}
  // The next row's text, or false when the table is done.
  bool Next(std::string_view& rowText);

 private:
  std::string_view m_text;
  std::size_t m_pos = 0;
};

// The cleaned output line of one row: the text between each openTag (three bytes are taken as the
// tag, then everything through the next ">") and the following closeTag (five bytes), quoted, joined
// by tabs, then cleaned with CleanRowText. With TCellTrimming::Trim each cell is trimmed of bytes of
// code 32 or below before it is quoted.
std::string ExtractCells(std::string_view rowText, std::string_view openTag, std::string_view closeTag,
                         TCellTrimming trimming);

// The output line of one row: its "<td" cells, or its "<th" cells when that gives an empty line.
std::string RowLine(std::string_view rowText, TCellTrimming trimming);

// RowLine's line appended to out (no line end), without allocating for ordinary rows: the cells are
// cleaned as they are copied, in one pass over the row.
void AppendRowLine(std::string_view rowText, TCellTrimming trimming, std::string& out);

// The ".xls" lines of a whole table fragment appended to out: each row's line (AppendRowLine) followed
// by kRowLineEnd, for every row TTableRowWalker finds.
void AppendTableLines(std::string_view fragment, TCellTrimming trimming, std::string& out);

}  // namespace corvane
