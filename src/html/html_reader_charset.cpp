// The reader's character sets: a META element's declaration, a FONT element's CHARSET, and the
// declaration a page's head makes, read before the page is.
#include <optional>
#include <string>

#include "html/charsets.h"
#include "html/html_reader.h"
#include "style/style_text.h"

namespace corvane {

namespace {

// The character-set text of a META element: its CHARSET, or the CONTENT of an HTTP-EQUIV Content-Type
// (empty without one); none for other META elements.
std::optional<std::string> MetaCharsetText(const TAttributeList& attributes) {
  if (const TAttribute* charset = attributes.Find(TagSymbol::SymCharset)) return charset->Text;
  const TAttribute* httpEquiv = attributes.Find(TagSymbol::SymHttpEquiv);
  if (!httpEquiv || !style_text::EqualsIgnoreCase(httpEquiv->Text, "content-type")) return std::nullopt;
  const TAttribute* content = attributes.Find(TagSymbol::SymContent);
  return content ? content->Text : std::string();
}

}  // namespace

std::optional<int> THtmlReader::FindCharset(std::string_view value) {
  const std::optional<int> charSet = CharsetOfName(value);
  if (charSet != kCharSetEucJp) return charSet;
  if (!m_transcoded) {
    OwnText();
    EucJpToShiftJis(m_own);
    m_text = m_own;
    UpdatePlainEnd();
    m_transcoded = true;
    // The current character was read before the transcoding; the bytes it changes are above 0xA0.
    if (m_inserted.empty() && m_next > m_start && static_cast<unsigned char>(m_ch) > 0xA0)
      SetCurrentChar(m_text[m_next - 1]);
  }
  return kCharSetShiftJis;
}

void THtmlReader::HandleMetaCharset(const TAttributeList& attributes) {
  if (m_utf8Mark) return;
  const std::optional<std::string> declaration = MetaCharsetText(attributes);
  if (!declaration) return;
  if (const std::optional<int> charSet = FindCharset(*declaration)) {
    SetCurrentCharSet(*charSet);
  } else if (style_text::LowerCopy(*declaration).find("utf-8") != std::string::npos) {
    SetCurrentUtf8();
  }
  m_documentCodePage = CurrentCodePage();
}

std::optional<int> THtmlReader::FontCharset(const TAttributeList& attributes) {
  if (m_utf8Mark) return std::nullopt;
  const TAttribute* charset = attributes.Find(TagSymbol::SymCharset);
  if (!charset) return std::nullopt;
  return FindCharset(charset->Text);
}

void THtmlReader::SetCurrentCharSet(int charSet) {
  if (const std::optional<int> codePage = CodePageOfCharSet(charSet)) m_currentCodePage = *codePage;
}

void THtmlReader::SetCurrentUtf8() { m_currentCodePage = kCodePageUtf8; }

TDeclaredCharset DeclaredCharset(std::string_view declaration) {
  TDeclaredCharset result;
  if (declaration.starts_with("\xEF\xBB\xBF")) {
    result.Utf8 = true;
    return result;
  }
  THtmlReader reader{std::string(declaration)};
  // A declaration cut off inside a comment still declares what stands before it.
  reader.SetRules(TReaderRules::Browser);
  reader.Start();
  for (; reader.Symbol() != TagSymbol::SymEof; reader.NextToken()) {
    if (reader.Symbol() != TagSymbol::SymMeta) continue;
    const std::optional<std::string> text = MetaCharsetText(reader.Attributes());
    if (!text) continue;
    const std::optional<int> charSet = CharsetOfName(*text);
    if (charSet == kCharSetEucJp) continue;
    if (charSet) {
      result = {false, charSet};
    } else if (style_text::LowerCopy(*text).find("utf-8") != std::string::npos) {
      result = {true, std::nullopt};
    }
  }
  return result;
}

}  // namespace corvane
