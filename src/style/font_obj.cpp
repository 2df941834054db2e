#include "style/font_obj.h"

#include <algorithm>
#include <cstdio>

namespace corvane {

namespace {

// The position of run in runs; -1 when it is not there.
int PositionOf(const std::vector<TFontObj*>& runs, const TFontObj* run) {
  const auto at = std::find(runs.begin(), runs.end(), run);
  return at == runs.end() ? -1 : static_cast<int>(at - runs.begin());
}

bool SameLink(const TFontObj& a, const TFontObj& b) { return a.RunTarget().LinkId == b.RunTarget().LinkId; }

}  // namespace

const std::string TFontObj::s_noTitle;
const TRunTarget TFontObj::s_noTarget;

TFontObj::TFontObj(TSection* section, int startIndex, std::unique_ptr<TMyFont> font)
    : m_section(section), m_startIndex(startIndex) {
  if (font) m_font = std::move(*font);
  FontChanged();
}

TFontObj::TFontObj(TSection* section, int startIndex, const TMyFont& font)
    : m_section(section), m_startIndex(startIndex), m_font(font) {
  FontChanged();
}

TFontObj::~TFontObj() = default;

void TFontObj::SetTitleText(std::string title) {
  if (title.empty()) {
    m_titleText.reset();
  } else {
    m_titleText = std::make_unique<std::string>(std::move(title));
  }
}

TRunTarget& TFontObj::EditRunTarget() {
  if (!m_runTarget) m_runTarget = std::make_unique<TRunTarget>();
  return *m_runTarget;
}

std::unique_ptr<TFontObj> TFontObj::CreateCopy(TSection* section, const TFontObj& source) {
  auto run = std::make_unique<TFontObj>(section, source.m_startIndex, source.m_font);
  run->m_scriptShift = source.m_scriptShift;
  if (source.m_linkFonts) run->ApplyFontInfo((*source.m_linkFonts)[TFontInfoArray::Link]);
  if (source.m_runTarget) run->m_runTarget = std::make_unique<TRunTarget>(*source.m_runTarget);
  return run;
}

void TFontObj::ReplaceFont(std::unique_ptr<TMyFont> font) {
  if (font) m_font = std::move(*font);
  FontChanged();
}

void TFontObj::ApplyFontInfo(const ThtFontInfo& info, TFontMetricsCache* cache) {
  // Measured again: a look may change the size or weight, and layout reads the run's metrics.
  m_font.Apply(info, cache);
  FontChanged();
}

void TFontObj::FontChanged() {
  m_textHeight = m_font.TextHeight();
  m_maximumCharWidth = m_font.MaximumCharWidth();
  m_lineHeight = m_font.TextHeight() + m_font.ExternalLeading();
  m_descent = m_font.Descent();
  m_overhang = m_font.Style().Italic ? m_font.TextHeight() / 10 : 0;
  m_font.SetCharSet(static_cast<std::uint8_t>(m_font.ActualCharSet()));
}

void TFontObj::MakeLinkFonts() {
  if (!m_linkFonts) m_linkFonts = std::make_unique<TFontInfoArray>();
}

void TFontObj::SetVisited(bool visited) {
  if (visited == m_visited) return;
  m_visited = visited;
  ApplyCurrentLook();
}

void TFontObj::SetHover(bool hover) {
  if (hover == m_hover) return;
  m_hover = hover;
  ApplyCurrentLook();
}

void TFontObj::ApplyCurrentLook() {
  if (!m_linkFonts) return;
  const int look = m_visited ? (m_hover ? TFontInfoArray::VisitedHover : TFontInfoArray::Visited)
                             : (m_hover ? TFontInfoArray::Hover : TFontInfoArray::Link);
  ApplyFontInfo((*m_linkFonts)[look]);
}

void TFontObj::SetHoverForLink(std::vector<TFontObj*>& runs, bool hover) {
  SetHover(hover);
  const int at = PositionOf(runs, this);
  if (at < 0) return;
  for (int i = at - 1; i >= 0 && SameLink(*runs[static_cast<std::size_t>(i)], *this); --i)
    runs[static_cast<std::size_t>(i)]->SetHover(hover);
  for (std::size_t i = static_cast<std::size_t>(at) + 1; i < runs.size() && SameLink(*runs[i], *this); ++i)
    runs[i]->SetHover(hover);
}

void TFontObj::CreateFocusProxy(TLinkDocument& document, int tabIndex) {
  if (m_focusProxy) return;
  // One proxy per link, on its first run.
  std::vector<TFontObj*>& runs = document.LinkRuns();
  for (int i = PositionOf(runs, this) - 1; i >= 0 && SameLink(*runs[static_cast<std::size_t>(i)], *this); --i)
    if (runs[static_cast<std::size_t>(i)]->m_focusProxy) return;
  m_focusProxy = document.MakeFocusProxy(*this);
  if (!m_focusProxy) return;
  m_document = &document;
  if (tabIndex > 0) document.AddToTabOrder(tabIndex, *m_focusProxy);
}

void TFontObj::SetLinkY(std::vector<TFontObj*>& runs, int y) {
  if (RunTarget().Url.empty()) return;
  if (m_focusProxy) {
    m_linkY = y;
    return;
  }
  for (int i = PositionOf(runs, this) - 1; i >= 0 && SameLink(*runs[static_cast<std::size_t>(i)], *this); --i) {
    TFontObj& run = *runs[static_cast<std::size_t>(i)];
    if (run.m_focusProxy) {
      run.m_linkY = y;
      return;
    }
  }
}

template <typename Visit>
void TFontObj::ForSameLinkFrom(const std::vector<TFontObj*>& runs, Visit visit) {
  visit(*this);
  const int at = PositionOf(runs, this);
  if (at < 0) return;
  for (std::size_t i = static_cast<std::size_t>(at) + 1; i < runs.size() && SameLink(*runs[i], *this); ++i)
    visit(*runs[i]);
}

void TFontObj::FocusEntered() {
  if (!m_document) return;
  ForSameLinkFrom(m_document->LinkRuns(), [](TFontObj& run) { run.m_active = true; });
  m_document->LinkFocused(*this);
}

void TFontObj::FocusLeft() {
  if (!m_document) return;
  ForSameLinkFrom(m_document->LinkRuns(), [](TFontObj& run) { run.m_active = false; });
  m_document->RepaintLinks();
}

void TFontObj::KeyPressed(int key) {
  if (!m_document) return;
  if (key == 13) {
    m_document->FollowLink(RunTarget());
  } else {
    m_document->ViewerKeyDown(key);
  }
}

void TFontObj::TakeOverFocusProxy(std::unique_ptr<TFocusProxy> proxy, TLinkDocument* document) {
  m_focusProxy = std::move(proxy);
  m_document = document;
  if (m_focusProxy) m_focusProxy->SetRun(*this);
}

}  // namespace corvane
