#pragma once

// Text as the XML of a workbook's parts holds it, and the measure of a cell's lines for its column.

#include <QString>

#include <string>
#include <string_view>

namespace corvane {

// Copies text to out, which has room for it, and answers where it ends.
inline char* PutXmlBytes(char* out, std::string_view text) {
  for (const char c : text) *out++ = c;
  return out;
}

// The first length UTF-16 units of text as XML character data in UTF-8.
void AppendXmlText(std::string& xml, const QString& text, qsizetype length);
// Text for an XML attribute value in quotes.
void AppendXmlAttribute(std::string& out, std::string_view text);

// A column is made as wide as its longest line, up to this many characters; a cell with a longer line
// is wrapped.
constexpr int kWidestColumn = 60;

// The characters of a text's longest line, up to kWidestColumn + 1 (a pair of UTF-16 halves is one), and
// whether it has several lines; both found in one pass, which ends once a line is too long for any
// column (such a cell is wrapped whatever follows).
struct TTextLines {
  int Longest = 0;
  bool Several = false;
};
TTextLines LinesOf(const QString& text);

}  // namespace corvane
