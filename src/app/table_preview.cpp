#include "app/table_preview.h"

#include <utility>

#include "app/skin.h"
#include "builder/document_loader.h"
#include "viewer/html_view.h"

namespace corvane {

TViewerPreview::TViewerPreview(QWidget* parent) : m_view(new THtmlView(parent)) {
  // Black on white unless the page says otherwise, as browsers show pages: text in the desktop
  // theme's colour could be light on this white.
  m_view->SetDefBackground(0xFFFFFF);
  m_view->DefFontColor = 0x000000;
  m_view->SetBorderStyle(THTMLBorderStyle::htFocused);
  m_view->HistoryMaxCount = 0;
  m_view->DefFontName = "Times New Roman";
  m_view->DefPreFontName = "Courier New";
  m_view->SetNoSelect(false);
  m_view->CharSet = 1;
  m_view->PrintMarginLeft = m_view->PrintMarginRight = m_view->PrintMarginTop = m_view->PrintMarginBottom = 2.0;
  m_view->PrintScale = 1.0;
  m_view->Clear();
  // Nor do the colours and style sheet of the program's skin reach the page.
  KeepPageColours(m_view);
}

QWidget* TViewerPreview::Widget() { return m_view; }

void TViewerPreview::Clear() {
  m_view->Clear();
  m_showing = false;
}

void TViewerPreview::LoadStrings(std::vector<std::string> lines, const std::string& referenceName) {
  if (m_showing && m_view->DocumentSource() == JoinLines(lines)) return;
  m_showing = false;
  m_view->LoadFromStrings(std::move(lines), referenceName);
  m_showing = true;
}

void TViewerPreview::SetPageAddress(const std::string& path) {
  if (m_view->BaseAddress == path) return;
  m_view->BaseAddress = path;
  m_showing = false;
}

void TViewerPreview::SetPageCharset(const std::string& declaration) {
  if (m_view->PageCharsetDeclaration == declaration) return;
  m_view->PageCharsetDeclaration = declaration;
  m_showing = false;
}

}  // namespace corvane
