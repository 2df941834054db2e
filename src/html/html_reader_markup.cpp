// The reader's markup that yields no token: comments, processing instructions, declarations and
// server-side include directives.
#include <string>

#include "html/html_reader.h"

namespace corvane {

namespace {

// Marks the reader as inside a comment or directive for as long as it is skipped, also when the skip ends
// with an error.
class TMarkupScope {
 public:
  explicit TMarkupScope(bool& flag) : m_flag(flag) { m_flag = true; }
  ~TMarkupScope() { m_flag = false; }
  TMarkupScope(const TMarkupScope&) = delete;
  TMarkupScope& operator=(const TMarkupScope&) = delete;

 private:
  bool& m_flag;
};

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

// The current character is a "<" that may open a comment, declaration, server-side block or include
// directive; each of them is skipped, and so are any that follow right after.
void THtmlReader::SkipMarkupAtLess() {
  while (m_ch == '<') {
    const char next = PeekChar();
    if (next != '!' && next != '%') return;
    SkipMarkup();
    NextRawChar();
  }
}

void THtmlReader::SkipMarkup() {
  TMarkupScope scope(m_inMarkup);
  NextRawChar();
  if (m_ch == '%') {
    // A server-side block: up to "%>".
    while (m_ch != '\0' && !(m_ch == '%' && PeekChar() == '>')) NextRawChar();
    NextRawChar();
    return;
  }
  m_inComment = true;
  NextRawChar();
  if (m_ch == '-' && PeekChar() == '-') {
    NextRawChar();
    NextRawChar();
    if (m_ch == '#' && m_handlers.Include && IncludeAllowed()) {
      RunIncludeDirective();
    } else {
      SkipDashedComment();
    }
    return;
  }
  // <!DOCTYPE ...> and other declarations end at the next ">". A document type declaration puts the
  // document in standards mode.
  static constexpr char kDoctype[] = "DOCTYPE";
  std::size_t matched = 0;
  while (matched < sizeof(kDoctype) - 1 && (m_ch & ~0x20) == kDoctype[matched]) {
    ++matched;
    NextRawChar();
  }
  if (matched == sizeof(kDoctype) - 1) m_doctype = true;
  while (m_ch != '>' && m_ch != '\0') NextRawChar();
  m_inComment = false;
}

// From inside "<!--": up to "--" followed by any more dashes, spaces, line ends and one "!", then ">".
void THtmlReader::SkipDashedComment() {
  for (;;) {
    while (m_ch != '-' && m_ch != '\0') NextRawChar();
    if (m_ch == '\0') break;  // the end of the text (browser rules; the viewer's have thrown)
    NextRawChar();
    if (m_ch != '-') continue;
    while (m_ch == '-') NextRawChar();
    while (m_ch == ' ' || m_ch == '\r') NextRawChar();
    if (m_ch == '!') NextRawChar();
    if (m_ch == '>') break;
  }
  m_inComment = false;
}

bool THtmlReader::IncludeAllowed() {
  while (!m_inserted.empty() && m_inserted.back().Next >= m_inserted.back().Text.size()) m_inserted.pop_back();
  return m_inserted.size() < static_cast<std::size_t>(kMaxIncludeDepth) && m_includes < kMaxIncludes &&
         m_includedBytes < kMaxIncludedBytes;
}

// <!--#command name="value" name=value -->, the "#" being the current character.
void THtmlReader::RunIncludeDirective() {
  const auto isNameChar = [](char c) { return IsLetter(c) || (c >= '0' && c <= '9') || c == '_'; };
  NextChar();
  std::string command;
  while (isNameChar(m_ch)) {
    command += m_ch;
    NextChar();
  }
  std::vector<std::string> parameters;
  for (;;) {
    SkipBlanks();
    if (!IsLetter(m_ch)) break;
    std::string parameter;
    while (isNameChar(m_ch)) {
      parameter += m_ch;
      NextChar();
    }
    SkipBlanks();
    parameter += '=';
    if (m_ch == '=') {
      NextChar();
      SkipBlanks();
      if (m_ch == '"' || m_ch == '\'') {
        const char quote = m_ch;
        NextChar();
        while (m_ch != quote && m_ch != '\0') {
          if (m_ch == '&') {
            parameter += DecodeReferenceToText(kCodePageSystem);
            continue;
          }
          parameter += m_ch == '\r' ? ' ' : m_ch;
          NextChar();
        }
        if (m_ch == quote) NextChar();
      } else {
        while (m_ch != '\0' && m_ch != ' ' && m_ch != '\r' && m_ch != '-' && m_ch != '>') {
          parameter += m_ch;
          NextChar();
        }
      }
    }
    parameters.push_back(std::move(parameter));
  }
  SkipDashedComment();

  ++m_includes;
  std::string inserted = m_handlers.Include(command, std::move(parameters));
  if (inserted.empty()) return;
  std::replace(inserted.begin(), inserted.end(), '\0', ' ');  // a NUL would read as the end of the text
  while (!m_inserted.empty() && m_inserted.back().Next >= m_inserted.back().Text.size()) m_inserted.pop_back();
  m_includedBytes += inserted.size();
  m_inserted.push_back(TInsertedText{std::move(inserted), 0});
  UpdatePlainEnd();
}

}  // namespace corvane
