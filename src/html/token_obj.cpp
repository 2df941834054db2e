#include "html/token_obj.h"

#include "html/char_collection.h"
#include "html/code_pages.h"

namespace corvane {

const QString& TokenObj::S() const {
  if (!m_textValid) {
    m_text = QString(reinterpret_cast<const QChar*>(m_chars.data()), static_cast<qsizetype>(m_chars.size()));
    m_textValid = true;
  }
  return m_text;
}

void TokenObj::AddConverted(std::string_view bytes, const int* indices, int codePage,
                            TCodePageConverter& converter) {
  if (bytes.empty()) return;
  if (m_sink) {
    m_sink->AddBytes(bytes, codePage, converter);
    return;
  }
  converter.AppendUtf16(bytes, indices, codePage, m_chars, m_keepIndices ? &m_indices : nullptr);
  m_textValid = false;
}

void AddBytesToToken(TokenObj& token, const TCharCollection& bytes, int codePage, TCodePageConverter& converter) {
  token.AddConverted(bytes.Chars(), bytes.KeepIndices() ? bytes.Indices().data() : nullptr, codePage, converter);
}

}  // namespace corvane
