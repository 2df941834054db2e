#include "literal_reference.h"

#include <algorithm>

namespace corvane::reference {

namespace {

const char* const kPrefixes[] = {
    "<p",    "<address", "<big",  "<blink", "<blockquote", "<bq",     "<cite",      "<credit", "<em",
    "<sup",  "<sub",     "<kbd",  "<listing", "<pre",      "<sample", "<line",      "<font",   "<div",
    "<strong", "<small", "<var",  "<xmp",   "<blackface",  "<code",   "<del",       "<insert", "<q",
    "<strike", "<s",     "<tt",   "<b",     "<i",          "<u",      "<center",    "<centre", "<span",
    "<a",    "<h1",      "<h2",   "<h3",    "<h4",         "<h5",     "<h6"};
const char* const kCloses[] = {
    "</p>",    "</address>", "</big>",  "</blink>", "</blockquote>", "</bq>",     "</cite>",
    "</credit>", "</em>",    "</sup>",  "</sub>",   "</kbd>",        "</listing>", "</pre>",
    "</sample>", "</line>",  "</font>", "</div>",   "</strong>",     "</small>",  "</var>",
    "</xmp>",  "</blackface>", "</code>", "</del>", "</insert>",     "</q>",      "</strike>",
    "</s>",    "</tt>",      "</b>",    "</i>",     "</u>",          "</center>", "</centre>",
    "</span>", "</a>",       "</h1>",   "</h2>",    "</h3>",         "</h4>",     "</h5>",
    "</h6>"};

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

std::string ReplaceAllNoCase(const std::string& text, const std::string& what, const std::string& with) {
  const std::string upper = Upper(text);
  const std::string upperWhat = Upper(what);
  std::string result;
  std::size_t from = 0;
  for (std::size_t p = upper.find(upperWhat); p != std::string::npos; p = upper.find(upperWhat, from)) {
    result += text.substr(from, p - from) + with;
    from = p + what.size();
  }
  return result + text.substr(from);
}

// Drops the first count characters, or all of them when there are fewer.
void DropFront(std::string& text, std::size_t count) { text.erase(0, std::min(count, text.size())); }

}  // namespace

std::vector<std::string> ScanTables(const std::string& file) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (std::size_t i = 0; i < file.size(); ++i) {
    const char c = file[i];
    if (c == 26) break;
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < file.size() && file[i + 1] == '\n') ++i;
      continue;
    }
    line += c;
    open = true;
  }
  if (open) lines.push_back(line);

  struct Marker {
    bool start;
    std::size_t index;
  };
  std::vector<std::string> pieces;
  std::vector<Marker> markers;
  int depth = 0;
  for (const std::string& whole : lines) {
    if (Trim(whole).empty()) continue;
    std::string rest = whole;
    while (!rest.empty()) {
      const std::string upper = Upper(rest);
      const std::size_t start = upper.find("<TABLE");
      const std::size_t end = upper.find("</TABLE>");
      enum { kPlain, kStart, kEnd } event = kPlain;
      if (start != std::string::npos && end != std::string::npos) {
        event = start < end ? kStart : kEnd;
      } else if (start != std::string::npos) {
        event = kStart;
      } else if (end != std::string::npos) {
        event = kEnd;
      }
      if (event == kStart) ++depth;
      if (depth == 0) break;
      std::string piece;
      if (event == kPlain) {
        piece = rest;
        rest.clear();
      } else if (event == kStart) {
        const std::size_t p = start + 1;  // 1-based
        piece = rest.substr(0, std::min(p + 6, rest.size()));
        rest = rest.substr(std::min(p + 6, rest.size()));
        markers.push_back({true, pieces.size()});
      } else {
        const std::size_t p = end + 1;
        piece = rest.substr(0, p - 1);
        rest = rest.substr(p - 1);
      }
      pieces.push_back(piece);
      if (event == kEnd) {
        pieces.push_back(rest.substr(0, 8));
        rest = rest.substr(8);
        markers.push_back({false, pieces.size()});
        --depth;
      }
    }
  }

  std::vector<std::string> fragments;
  for (std::size_t m = 0; m + 1 < markers.size(); ++m) {
    if (!markers[m].start || markers[m + 1].start) continue;
    std::string fragment;
    for (std::size_t k = markers[m].index; k < markers[m + 1].index; ++k) fragment += pieces[k];
    fragments.push_back(fragment);
  }
  return fragments;
}

std::string CleanRowText(const std::string& line) {
  std::string text = ReplaceAllNoCase(line, "&nbsp;", " ");
  if (text.find('<') == std::string::npos) return Trim(text);
  for (const char* tag : kCloses) text = ReplaceAllNoCase(text, tag, "");
  for (const char* prefix : kPrefixes) {
    const std::string upperPrefix = Upper(prefix);
    for (;;) {
      const std::size_t p = Upper(text).find(upperPrefix);
      if (p == std::string::npos) break;
      const std::size_t gt = text.find('>', p);
      if (gt == std::string::npos) break;
      text.erase(p, gt - p + 1);
    }
  }
  return Trim(text);
}

std::string ExtractCells(std::string row, const std::string& openTag, const std::string& closeTag,
                         bool trimCells) {
  std::string line;
  for (;;) {
    const std::size_t p = Upper(row).find(Upper(openTag));
    if (p == std::string::npos) break;
    DropFront(row, p + 3);
    const std::size_t q = row.find('>');
    if (q == std::string::npos) break;
    DropFront(row, q + 1);
    const std::size_t r = Upper(row).find(Upper(closeTag));
    if (r == std::string::npos) break;
    std::string cell = row.substr(0, r);
    if (trimCells) cell = Trim(cell);
    line = line.empty() ? "\"" + cell + "\"" : line + "\t\"" + cell + "\"";
    DropFront(row, r + 5);
  }
  return CleanRowText(line);
}

std::vector<std::string> RowLines(const std::string& fragment, bool trimCells) {
  std::string text = fragment;
  std::vector<std::string> lines;
  for (;;) {
    const std::size_t p = Upper(text).find("<TR");
    if (p == std::string::npos) break;
    DropFront(text, p + 3);
    const std::size_t q = text.find('>');
    if (q == std::string::npos) break;
    DropFront(text, q + 1);
    const std::size_t r = Upper(text).find("</TR");
    if (r == std::string::npos) break;
    const std::string row = text.substr(0, r);
    std::string line = ExtractCells(row, "<td", "</td>", trimCells);
    if (line.empty()) line = ExtractCells(row, "<th", "</th>", trimCells);
    lines.push_back(line);
    DropFront(text, r + 5);
  }
  return lines;
}

}  // namespace corvane::reference
