#include "style/style_sheet_parser.h"

#include <algorithm>
#include <vector>

#include "style/properties.h"
#include "style/style_list.h"
#include "style/style_shorthands.h"
#include "style/style_text.h"

namespace corvane {

namespace {

using namespace style_text;

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Property names are letters, digits and "-".
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '-'; }

// What a selector may hold: tags, classes, ids, pseudo-classes, "*" and the two combinators we know.
bool IsSelectorChar(char c) {
  return IsNameChar(c) || c == ' ' || c == '#' || c == '*' || c == '.' || c == ':' || c == '>' || c == '_';
}

bool IsQualifier(char c) { return c == '#' || c == '.' || c == ':'; }

// Values are read in lower case, but the address inside url(...) keeps its case: file names on our file
// systems are case-sensitive.
std::string LowerValue(std::string_view text) {
  std::string lower(text);
  for (std::size_t i = 0; i < lower.size(); ++i) {
    lower[i] = LowerAscii(lower[i]);
    if (lower[i] == '(' && i >= 3 && lower.compare(i - 3, 3, "url") == 0) {
      const std::size_t close = lower.find(')', i + 1);
      if (close == std::string::npos) break;
      i = close;
    }
  }
  return lower;
}

// One declaration as read: the name in lower case, the value as collected (untrimmed). The raw value is
// lower case and trimmed; the value proper has one pair of enclosing quotes removed.
void HandleDeclaration(std::string_view name, std::string_view collected, TDeclarationStore& store) {
  if (name.empty()) return;
  const std::string raw = LowerValue(Trim(collected));
  std::string_view value = raw;
  if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  if (IsShorthand(name))
    ExpandShorthand(name, raw, value, store);
  else if (Contains(value, "url("))
    store.Store(name, store.ResolveUrl(value));
  else
    store.Store(name, value);
}

// The order of the tokens of a sorted simple selector: a child marker, the tag, the classes (ascending),
// the id, the pseudo-class.
int TokenRank(std::string_view token) {
  switch (token.front()) {
    case '>': return 0;
    case '.': return 2;
    case '#': return 3;
    case ':': return 4;
    default: return 1;
  }
}

// A simple selector with several qualifiers in the order of the keys: "p#x.b.a" becomes "p.a.b#x".
std::string SortedSimpleSelector(std::string_view piece) {
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  while (start < piece.size()) {
    std::size_t end = start + 1;
    if (piece[start] != '>')
      while (end < piece.size() && !IsQualifier(piece[end]) && piece[end] != '>') ++end;
    tokens.push_back(piece.substr(start, end - start));
    start = end;
  }
  std::stable_sort(tokens.begin(), tokens.end(), [](std::string_view a, std::string_view b) {
    const int rankA = TokenRank(a);
    const int rankB = TokenRank(b);
    if (rankA != rankB) return rankA < rankB;
    return rankA == 2 && a < b;
  });
  std::string sorted;
  sorted.reserve(piece.size());
  for (std::string_view token : tokens) sorted += token;
  return sorted;
}

// Child combinators: "ul > li" and "ul>li" become "ul> li", the ">" ending the parent's piece; a ">"
// with nothing before or after it is dropped.
std::string NormalizeChildCombinators(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 4);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '>') {
      out += c;
      continue;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out.empty() || i + 1 == text.size()) continue;
    out += '>';
    if (text[i + 1] != ' ') out += ' ';
  }
  return std::string(Trim(out));
}

// Reading characters, the store function and the selector keys of one style sheet: one parser per
// sheet, living for one ParseStyleSheet call.
class TStyleSheetParser final : public TDeclarationStore {
 public:
  TStyleSheetParser(TStyleList& styles, const TStyleSheetInput& input) : m_styles(styles), m_input(input) {}

  char Parse(char currentChar) {
    Push(currentChar == '\r' ? ' ' : currentChar);
    m_ch = ' ';
    // The ">" of the start tag and an HTML comment opener.
    while (m_ch == ' ' || m_ch == '!' || m_ch == '-' || m_ch == '<' || m_ch == '>') {
      if (m_ch == '<' && AtEndTag()) break;
      GetCh();
    }
    while (!AtSheetEnd()) {
      if (m_ch == '@') {
        ReadAtRule();
      } else if (m_ch == '<') {
        // Markup in a linked sheet: passed over up to the next space.
        while (m_ch != ' ' && m_ch != '\0') GetCh();
        SkipSpaces();
      } else {
        ReadRule();
      }
      // An HTML comment closer.
      while (m_ch == ' ' || m_ch == '-' || m_ch == '>') GetCh();
    }
    return m_ch >= 'a' && m_ch <= 'z' ? static_cast<char>(m_ch - 'a' + 'A') : m_ch;
  }

  void Store(std::string_view name, std::string_view value) override {
    for (const std::string& key : m_keys) m_styles.AddDeclaration(key, name, value);
  }

  std::string ResolveUrl(std::string_view value) override {
    if (m_input.BaseAddress.empty() || !m_input.ResolveUrl) return std::string(value);
    return m_input.ResolveUrl(value, m_input.BaseAddress);
  }

 private:
  bool Linked() const { return m_input.Kind == TSheetKind::LinkedSheet; }
  // The end of the text, or the "<" of a STYLE element's end tag.
  bool AtSheetEnd() const { return m_ch == '\0' || (m_ch == '<' && !Linked()); }

  void Push(char c) {
    m_pushed = c;
    m_hasPushed = true;
  }

  // The next character of the source, a carriage return as a space. Once the source has given 0 it is
  // not asked again.
  char Read() {
    if (m_hasPushed) {
      m_hasPushed = false;
      return m_pushed;
    }
    if (m_ended) return '\0';
    const char c = m_input.Source();
    if (c == '\0') m_ended = true;
    return c == '\r' ? ' ' : c;
  }

  // The next character after any comments. An unterminated comment ends at a "<", which stays the current
  // character so that the end tag of the STYLE element is still seen.
  void GetCh() {
    while (true) {
      m_ch = Read();
      if (m_ch != '/') return;
      const char next = Read();
      if (next != '*') {
        Push(next);
        return;
      }
      char previous = '\0';
      while (true) {
        const char c = Read();
        if (c == '\0' || c == '<') {
          m_ch = c;
          return;
        }
        if (previous == '*' && c == '/') break;
        previous = c;
      }
    }
  }

  void SkipSpaces() {
    while (m_ch == ' ') GetCh();
  }

  // Whether the current "<" of a STYLE element begins its end tag rather than an HTML comment opener.
  // Without a way to look ahead every "<" is taken for an opener.
  bool AtEndTag() {
    if (Linked() || !m_input.Peek) return false;
    const char next = m_hasPushed ? m_pushed : m_ended ? '\0' : m_input.Peek();
    return next != '!';
  }

  void ReadRule() {
    m_keys.clear();
    ReadSelectors();
    ReadDeclarations();
  }

  // "@import ...;" and the like are dropped; a block at-rule is read when it is meant for the screen.
  void ReadAtRule() {
    m_text.clear();
    while (m_ch != '\0' && m_ch != ';' && m_ch != '<' && m_ch != '{') {
      m_text += LowerAscii(m_ch);
      GetCh();
    }
    if (m_ch == ';') {
      GetCh();
      return;
    }
    if (m_ch != '{') return;
    GetCh();
    if (Contains(m_text, "screen")) {
      while (m_ch != '\0' && m_ch != '<' && m_ch != '}') {
        ReadRule();
        SkipSpaces();
      }
    } else {
      for (int depth = 1; !AtSheetEnd(); GetCh()) {
        if (m_ch == '{') ++depth;
        if (m_ch == '}' && --depth == 0) break;
      }
    }
    if (m_ch == '}') GetCh();
  }

  // The comma-separated selectors of one rule, each as a key. A selector ends at the first character it
  // may not hold ("a[href]" is read as "a"); the rest up to the "{" is passed over.
  void ReadSelectors() {
    do {
      if (m_ch == ',') GetCh();
      SkipSpaces();
      m_text.clear();
      int qualifiers = 0;
      bool sorted = false;
      while (IsSelectorChar(m_ch)) {
        // A universal selector is dropped.
        const char c = m_ch == '*' ? ' ' : LowerAscii(m_ch);
        if (c == ' ')
          qualifiers = 0;
        else if (IsQualifier(c) && ++qualifiers >= 2)
          sorted = true;
        m_text += c;
        GetCh();
      }
      AddKey(Trim(m_text), sorted);
    } while (m_ch == ',');
    while (m_ch != '\0' && m_ch != '<' && m_ch != '{') GetCh();
  }

  // The key of one selector: a simple selector as it is (sorted when it has several qualifiers); a
  // contextual one as the subject, the ancestor count and a sequence number, the ancestors from the
  // nearest outward, each followed by a space: "div ul li" becomes "li 210ul div ".
  void AddKey(std::string_view selector, bool sorted) {
    const std::string text = NormalizeChildCombinators(selector);
    if (text.empty()) return;
    auto piece = [sorted](std::string_view p) { return sorted ? SortedSimpleSelector(p) : std::string(p); };
    if (text.find(' ') == std::string::npos) {
      m_keys.push_back(piece(text));
      return;
    }
    std::vector<std::string_view> pieces;
    std::string_view rest = text;
    while (!rest.empty()) {
      const std::size_t space = rest.find(' ');
      if (space != 0) pieces.push_back(rest.substr(0, space));
      rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    }
    std::string key = piece(pieces.back());
    key += ' ';
    key += std::to_string(pieces.size() - 1);
    key += m_styles.NextContextNumber();
    for (std::size_t i = pieces.size() - 1; i-- > 0;) {
      key += piece(pieces[i]);
      key += ' ';
    }
    m_keys.push_back(std::move(key));
  }

  void ReadDeclarations() {
    if (m_ch != '{') return;
    GetCh();
    do {
      SkipSpaces();
      m_name.clear();
      for (; IsNameChar(m_ch); GetCh()) m_name += LowerAscii(m_ch);
      SkipSpaces();
      if (m_ch == ':' || m_ch == '=') {
        GetCh();
        m_text.clear();
        for (; m_ch != '\0' && m_ch != ';' && m_ch != '<' && m_ch != '}'; GetCh()) m_text += m_ch;
        if (!m_keys.empty()) HandleDeclaration(m_name, m_text, *this);
      }
      SkipSpaces();
      if (m_ch == ';') GetCh();
      while (m_ch != '\0' && m_ch != '<' && m_ch != '}' && !IsNameChar(m_ch)) GetCh();
    } while (m_ch != '\0' && m_ch != '<' && m_ch != '}');
    if (m_ch == '}') GetCh();
  }

  TStyleList& m_styles;
  const TStyleSheetInput& m_input;
  char m_ch = ' ';
  char m_pushed = '\0';
  bool m_hasPushed = false;
  bool m_ended = false;
  std::vector<std::string> m_keys;
  std::string m_text;
  std::string m_name;
};

// The store function of a style attribute: its own property set.
class TInlineStore final : public TDeclarationStore {
 public:
  explicit TInlineStore(TProperties& properties) : m_properties(properties) {}
  void Store(std::string_view name, std::string_view value) override { m_properties.SetDeclarationByName(name, value); }

 private:
  TProperties& m_properties;
};

}  // namespace

char ParseStyleSheet(TStyleList& styles, char currentChar, const TStyleSheetInput& input) {
  if (!input.Source) return '\0';
  TStyleSheetParser parser(styles, input);
  return parser.Parse(currentChar);
}

void ParseStyleSheetText(TStyleList& styles, std::string_view text, std::string baseAddress,
                         TStyleUrlResolver resolveUrl) {
  std::size_t next = 0;
  TStyleSheetInput input;
  input.Source = [text, &next]() -> char {
    while (next < text.size()) {
      const char c = text[next++];
      if (c != '\n') return c == '\t' ? ' ' : c;
    }
    return '\0';
  };
  input.Kind = TSheetKind::LinkedSheet;
  input.BaseAddress = std::move(baseAddress);
  input.ResolveUrl = std::move(resolveUrl);
  ParseStyleSheet(styles, ' ', input);
}

// The declaration loop of a style sheet rule without selectors, braces or comments: a value runs to the
// next ";" or the end of the text.
void ParseInlineStyle(std::string_view text, TProperties& properties) {
  TInlineStore store(properties);
  std::size_t next = 0;
  char ch = ' ';
  auto getCh = [&] {
    ch = next < text.size() ? text[next++] : '\0';
    if (ch == '\r') ch = ' ';
  };
  auto skipSpaces = [&] {
    while (ch == ' ') getCh();
  };
  std::string name;
  std::string value;
  getCh();
  while (ch != '\0') {
    skipSpaces();
    name.clear();
    while (IsNameChar(ch)) {
      name += LowerAscii(ch);
      getCh();
    }
    skipSpaces();
    if (ch == ':' || ch == '=') {
      getCh();
      value.clear();
      while (ch != '\0' && ch != ';') {
        value += ch;
        getCh();
      }
      HandleDeclaration(name, value, store);
    }
    skipSpaces();
    if (ch == ';') getCh();
    while (ch != '\0' && !IsNameChar(ch)) getCh();
  }
}

}  // namespace corvane
