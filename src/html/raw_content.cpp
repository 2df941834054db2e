// The readers of raw element content: SCRIPT, STYLE and TEXTAREA.
#include "html/html_reader.h"
#include "style/style_text.h"

namespace corvane {

namespace {

constexpr int kTextAreaRun = 100;
constexpr int kScriptEndTail = 6;  // characters read after "</script" looking for its ">"

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string AttributeText(const TAttributeList& attributes, TagSymbol symbol) {
  const TAttribute* attribute = attributes.Find(symbol);
  return attribute ? attribute->Text : std::string();
}

}  // namespace

bool THtmlReader::ReadRawContent(TTextAreaContent* textArea) {
  switch (m_symbol) {
    case TagSymbol::SymScript: ReadScriptContent(); return true;
    case TagSymbol::SymStyle: ReadStyleContent(); return true;
    case TagSymbol::SymTextarea: ReadTextAreaContent(textArea); return true;
    default: return false;
  }
}

// The current character is the ">" of the start tag. The content is read in pieces: line ends, runs of
// text, and tag-like pieces ("<" with "/" and letters) of which "</script" ends it. Without a script
// handler the same pieces are read and dropped, and comments in them are skipped as anywhere else.
void THtmlReader::ReadScriptContent() {
  const bool keep = static_cast<bool>(m_handlers.Script);
  const std::string name = AttributeText(m_attributes, TagSymbol::SymName);
  const std::string language = AttributeText(m_attributes, TagSymbol::SymLanguage);
  const bool rawContent = m_rawContent;
  if (keep) m_rawContent = true;
  if (m_ch == '>') NextChar();

  std::string script;
  std::string piece;
  m_symbol = TagSymbol::SymEof;
  while (m_ch != '\0') {
    if (m_ch == '\r') {
      if (keep) script += "\r\n";
      NextChar();
      continue;
    }
    if (m_ch != '<') {
      for (; m_ch != '\0' && m_ch != '\r' && m_ch != '<'; NextChar())
        if (keep) script += m_ch;
      continue;
    }
    const char next = PeekChar();
    if (next != '/' && !IsLetter(next)) {
      if (keep) script += '<';
      NextChar();
      continue;
    }
    piece.assign(1, '<');
    NextChar();
    for (; m_ch == '/' || IsLetter(m_ch); NextChar()) piece += m_ch;
    const bool end = style_text::EqualsIgnoreCase(piece, "</script");
    for (int n = 0; n < kScriptEndTail && m_ch != '>' && m_ch != '\0'; ++n, NextChar())
      piece += m_ch == '\r' ? ' ' : m_ch;
    if (m_ch == '>') {
      piece += '>';
      if (end) m_rawContent = rawContent;  // what follows the end tag is markup again
      NextChar();
    }
    if (end) {
      m_symbol = TagSymbol::SymScriptEnd;
      break;
    }
    if (keep) script += piece;
  }
  m_rawContent = rawContent;
  if (keep) m_handlers.Script(name, language, script);
}

// The current character is the ">" of the start tag; the style sheet parser reads raw characters from it
// and hands back the character it stopped at.
void THtmlReader::ReadStyleContent() {
  if (m_handlers.Style) {
    const char stop = m_handlers.Style(m_ch, [this] {
      NextRawChar();
      return m_ch;
    });
    SetCurrentChar(stop);
    return;
  }
  // Without a parser the content is passed over to where the parser would stop, the next "<".
  while (m_ch != '\0' && m_ch != '<') NextRawChar();
}

// The start tag has been read. Lines go to the control as they end; references are decoded into the code
// page the content is read in, the one the lines are converted from.
void THtmlReader::ReadTextAreaContent(TTextAreaContent* control) {
  const int codePage = CurrentCodePage();
  std::string line;
  std::string piece;
  const auto handOver = [&] {
    if (control) control->AddLine(m_converter.ToUtf16(line, codePage));
    line.clear();
  };
  m_symbol = TagSymbol::SymEof;
  while (m_ch != '\0') {
    if (m_ch == '\r') {
      line += "\r\n";
      handOver();
      NextChar();
    } else if (m_ch == '&') {
      line += DecodeReferenceToText(codePage);
    } else if (m_ch == '<') {
      piece.assign(1, '<');
      NextChar();
      for (; m_ch != '\0' && m_ch != ' ' && m_ch != '\r' && m_ch != '>'; NextChar()) piece += m_ch;
      if (style_text::EqualsIgnoreCase(piece, "</textarea")) {
        while (m_ch != '>' && m_ch != '\0') NextChar();
        if (m_ch == '>') NextChar();
        m_symbol = TagSymbol::SymTextareaEnd;
        break;
      }
      line += piece;
    } else {
      for (int n = 0; n < kTextAreaRun && m_ch != '\0' && m_ch != '\r' && m_ch != '&' && m_ch != '<'; ++n) {
        line += m_ch;
        NextChar();
      }
    }
  }
  if (!line.empty()) handOver();
  if (control) control->ContentComplete();
}

}  // namespace corvane
