#include "generate_tables.h"

#include <cstdio>
#include <random>
#include <stdexcept>

namespace corvane::bench {

namespace {

const char* const kCellTemplates[] = {
    "Item %u",
    "<b>Part %u</b>",
    "<font color=\"#336699\" face=\"Arial\">%u.25</font>",
    "&nbsp;%u&nbsp;",
    "Smith &amp; Sons %u",
    "<a href=\"http://example.com/item?id=%u\">details</a>",
    "<span class=\"note\" style=\"color:red\">%u units</span>",
    "line one<br>line %u",
    "<I>%u</I> <U>kg</U>",
    "<p align=\"left\">%u</p>",
};

class Writer {
 public:
  explicit Writer(const std::string& path) : m_file(std::fopen(path.c_str(), "wb")) {
    if (!m_file) throw std::runtime_error("cannot create " + path);
  }
  ~Writer() {
    if (m_file) std::fclose(m_file);
  }
  void Put(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), m_file) != text.size()) throw std::runtime_error("write failed");
    m_written += text.size();
  }
  std::uint64_t Written() const { return m_written; }
  void Close() {
    if (std::fclose(m_file) != 0) throw std::runtime_error("write failed");
    m_file = nullptr;
  }

 private:
  std::FILE* m_file;
  std::uint64_t m_written = 0;
};

std::string Cell(std::mt19937& random) {
  char text[160];
  std::snprintf(text, sizeof text, kCellTemplates[random() % std::size(kCellTemplates)],
                static_cast<unsigned>(random() % 100000));
  return text;
}

void PutTable(Writer& out, std::mt19937& random, unsigned number) {
  const bool upper = number % 3 == 0;
  out.Put(upper ? "<TABLE BORDER=1 CELLPADDING=2 class=\"data\">\r\n" : "<table border=\"1\" width=\"100%\">\r\n");
  for (int row = 0; row < 50; ++row) {
    std::string line = upper ? "  <TR CLASS=row>" : "  <tr class=\"row\">";
    for (int cell = 0; cell < 8; ++cell) {
      const char* open = row == 0 ? (upper ? "<TH>" : "<th>") : (cell % 4 == 0 ? "<Td align=\"right\">" : "<td>");
      const char* close = row == 0 ? (upper ? "</TH>" : "</th>") : (cell % 2 ? "</TD>" : "</td>");
      line += open + Cell(random) + close;
      // Now and then a row goes on over the next line.
      if (cell == 3 && random() % 8 == 0) line += "\r\n    ";
    }
    line += upper ? "</TR>\r\n" : "</tr>\r\n";
    out.Put(line);
  }
  out.Put(upper ? "</TABLE>\r\n" : "</table>\r\n");
}

}  // namespace

void GenerateTablesFile(const std::string& path, std::uint64_t sizeBytes) {
  Writer out(path);
  std::mt19937 random(12345);
  out.Put("<html>\r\n<head><title>Generated tables</title></head>\r\n<body>\r\n");
  for (unsigned number = 0; out.Written() < sizeBytes; ++number) {
    out.Put("<h2>Section " + std::to_string(number) + "</h2>\r\n<p>Some text between the tables.</p>\r\n");
    if (number % 20 == 19) {
      // A layout table holding two data tables: only the inner ones are cut out.
      out.Put("<table width=\"100%\"><tr><td valign=\"top\">\r\n");
      PutTable(out, random, number);
      out.Put("</td><td valign=\"top\">\r\n");
      PutTable(out, random, number + 1);
      out.Put("</td></tr></table>\r\n");
    } else {
      PutTable(out, random, number);
    }
  }
  out.Put("</body>\r\n</html>\r\n");
  out.Close();
}

}  // namespace corvane::bench
