#include "app/table_preview.h"

#include "app/display_text.h"

namespace corvane {

TSourcePreview::TSourcePreview(QWidget* parent) : m_text(new QPlainTextEdit(parent)) {
  m_text->setReadOnly(true);
  m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  m_text->setStyleSheet("QPlainTextEdit { background: white; }");
}

void TSourcePreview::Clear() { m_text->clear(); }

void TSourcePreview::LoadStrings(const std::vector<std::string>& lines, const std::string&) {
  QStringList text;
  for (const std::string& line : lines) text << DisplayText(line);
  m_text->setPlainText(text.join('\n'));
}

}  // namespace corvane
