#include "html/html_parser.h"

#include <utility>

#include "html/style_hookup.h"
#include "style/style_list.h"

namespace corvane {

namespace {
constexpr int kShiftJisCharSet = 128;
}

THtmlParser::THtmlParser(std::string text, TStyleList& styles, std::string baseAddress, TDeclaredCharset pageCharset)
    : THtmlReader(std::move(text)), m_pageCharset(pageCharset), m_styles(styles), m_propStack(styles) {
  HookUpStyleParsers(*this, m_styles, std::move(baseAddress));
  BeginParse();
}

THtmlParser::~THtmlParser() = default;

void THtmlParser::BeginParse() {
  m_propStack.Reset();
  TProperties& root = m_propStack.Top();
  if (Utf8MarkSeen()) {
    root.SetUtf8();
  } else if (Transcoded()) {
    root.SetCharSet(kShiftJisCharSet);
  } else if (m_pageCharset.Utf8) {
    root.SetUtf8();
  } else if (m_pageCharset.CharSet) {
    root.SetCharSet(*m_pageCharset.CharSet);
  }
  SetDocumentCodePage(root.CodePage());
}

int THtmlParser::CurrentCodePage() const {
  // Between parses no element is open; the document code page stands in.
  const int count = m_propStack.Count();
  return count > 0 ? m_propStack[count - 1].CodePage() : DocumentCodePage();
}

void THtmlParser::SetCurrentCharSet(int charSet) {
  if (m_propStack.Count() > 0) m_propStack.Top().SetCharSet(charSet);
}

void THtmlParser::SetCurrentUtf8() {
  if (m_propStack.Count() > 0) m_propStack.Top().SetUtf8();
}

}  // namespace corvane
