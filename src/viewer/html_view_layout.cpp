#include <QFrame>
#include <QPainter>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>
#include <exception>

#include "viewer/html_view.h"

// The viewer's layout and paint: laying the document out at the view's width, placing the frame, the paint
// panel and the scroll bars, and painting the panel.
namespace corvane {

namespace {

constexpr int kMaxScrollWidth = 6000;
constexpr int kLongSource = 9999;  // longer sources skip the full-width layout pass

// Sets a flag for the life of the guard.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
  ~TFlagGuard() { m_flag = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& m_flag;
};

}  // namespace

int THtmlView::LayoutPass(int width) {
  m_scrollWidth = 0;
  int scrollWidth = 0;
  m_documentHeight = m_document.DoLayout(std::max(0, width), height() - m_borderWidth, scrollWidth);
  m_scrollWidth = scrollWidth;
  return m_documentHeight;
}

void THtmlView::LayoutDocument() {
  TFlagGuard inLayout(m_inLayout);
  const int W = width() - m_borderWidth;
  const int H = height() - m_borderWidth;
  const bool vertical = m_scrollBars == TScrollStyle::ssVertical || m_scrollBars == TScrollStyle::ssBoth;
  const bool horizontal = m_scrollBars == TScrollStyle::ssHorizontal || m_scrollBars == TScrollStyle::ssBoth;
  auto needsBar = [&](int widthLimit) {
    return H < m_documentHeight ||
           (horizontal && m_documentHeight >= H - m_barThickness && widthLimit < m_scrollWidth);
  };
  if (!vertical) {
    LayoutPass(W);
  } else if ((m_options & htShowVScroll) || m_source.size() > kLongSource) {
    LayoutPass(W - m_barThickness);
  } else {
    LayoutPass(W);
    if (needsBar(width() - m_barThickness - m_borderWidth)) {
      LayoutPass(W - m_barThickness);
      if (!needsBar(width() - m_borderWidth)) LayoutPass(W);
    }
  }
  m_inLayout = false;
  ArrangeScrollBars();
}

void THtmlView::ApplyFrameRule() {
  const bool framed = m_borderStyle == THTMLBorderStyle::htSingle ||
                      (m_borderStyle == THTMLBorderStyle::htFocused && hasFocus());
  const int style = framed ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame;
  if (m_borderPanel->frameStyle() != style) {
    m_borderPanel->setFrameStyle(style);
    m_borderPanel->setLineWidth(1);
  }
}

void THtmlView::ArrangeScrollBars() {
  m_scrollWidth = std::min(m_scrollWidth, kMaxScrollWidth);
  int b = 1;
  if (m_borderStyle == THTMLBorderStyle::htNone) {
    m_borderPanel->hide();
    b = 0;
  } else {
    m_borderPanel->setGeometry(rect());
    m_borderPanel->show();
    m_borderPanel->lower();
  }
  m_borderWidth = 2 * b;
  ApplyFrameRule();

  const int w = width(), h = height();
  const bool showV = (m_options & htShowVScroll) != 0;
  const bool verticalAllowed = m_scrollBars == TScrollStyle::ssVertical || m_scrollBars == TScrollStyle::ssBoth;
  bool V = false, E = false, H = false;
  const bool fits = h - m_borderWidth >= m_documentHeight && w - m_borderWidth >= m_scrollWidth;
  if (m_scrollBars == TScrollStyle::ssNone || (!showV && fits)) {
  } else if (m_scrollBars == TScrollStyle::ssHorizontal) {
    H = w - m_borderWidth < m_scrollWidth;
  } else {
    const bool both = m_scrollBars == TScrollStyle::ssBoth;
    E = m_documentHeight >= h - m_borderWidth ||
        (both && m_documentHeight >= h - m_borderWidth - m_barThickness &&
         w - m_barThickness - m_borderWidth < m_scrollWidth);
    H = both && !(w - m_borderWidth >= m_scrollWidth &&
                  ((!E && !showV) || w - m_barThickness - m_borderWidth >= m_scrollWidth));
    V = E || showV;
  }
  const int P = V || (showV && verticalAllowed) ? w - m_barThickness : w;
  const int panelWidth = std::max(0, P - m_borderWidth);
  const int panelHeight = std::max(0, h - m_borderWidth - (H ? m_barThickness : 0));
  m_paintPanel->setGeometry(b, b, panelWidth, panelHeight);
  m_paintPanel->raise();

  m_settingBars = true;
  {
    const QSignalBlocker quietH(m_hScrollBar);
    m_hScrollBar->setGeometry(b, h - m_barThickness - b, std::max(0, P - b), m_barThickness);
    const int hMaximum = std::max({0, m_scrollWidth, P - m_borderWidth});
    m_hScrollBar->setPageStep(std::max(1, P - 20));
    m_hScrollBar->setRange(0, std::max(0, hMaximum - panelWidth));
    m_hScrollBar->setVisible(H);
    m_hScrollBar->raise();
  }
  {
    const QSignalBlocker quietV(m_vScrollBar);
    m_vScrollBar->setGeometry(w - m_barThickness - b, b, m_barThickness, panelHeight);
    m_vScrollBar->setPageStep(std::max(1, panelHeight));
    // The position stays: a bar whose document got shorter keeps it until the view scrolls again.
    m_vScrollBar->setRange(0, std::max(MaxVerticalPosition(), m_vScrollBar->value()));
    if (showV) {
      m_vScrollBar->setVisible(verticalAllowed);
      m_vScrollBar->setEnabled(E);
    } else {
      m_vScrollBar->setVisible(V);
      m_vScrollBar->setEnabled(true);
    }
    m_vScrollBar->raise();
  }
  m_settingBars = false;
}

void THtmlView::Relayout() {
  m_processing = true;
  struct TEnd {
    THtmlView& View;
    ~TEnd() { View.m_processing = false; }
  } end{*this};
  const int position = Position();
  const TSectionAtY at = m_document.FindSectionAtY(position);
  TSectionBase* section = at.Section;
  const int offset = section ? position - at.Y : position;
  if (OnProgress) OnProgress(TProgressStage::Starting, 0);
  LayoutDocument();
  if (section && at.Index >= 0 && static_cast<std::size_t>(at.Index) < m_document.PositionList().size() &&
      m_document.PositionList()[static_cast<std::size_t>(at.Index)] == section) {
    ScrollToY(section->GetYPos() + offset);
  } else if (!section) {
    ScrollToY(offset);
  }
  if (OnProgress) OnProgress(TProgressStage::Ending, 100);
}

void THtmlView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!m_constructed) return;
  if (m_processing) {
    ArrangeScrollBars();
    return;
  }
  try {
    Relayout();
  } catch (const std::exception&) {
    // Nothing may leave an event handler. A document that cannot be laid out at the new size (out of
    // memory) is let go rather than painted half laid out.
    ResetDocument();
    m_source.clear();
    m_documentHeight = m_scrollWidth = 0;
    ArrangeScrollBars();
  }
  if (m_documentHeight < m_paintPanel->height()) {
    ScrollToY(0);
  } else {
    ScrollToY(Position());
  }
  SetHorizontalPosition(std::min(HScrollPosition(), MaxHorizontalPosition()));
}

void THtmlView::HTMLPaint(QPaintEvent* event) {
  if (m_inLayout || m_painting) return;
  TFlagGuard painting(m_painting);
  ApplyFrameRule();
  QPainter painter(m_paintPanel);
  const QRect clip = event->rect();
  painter.setFont(m_paintPanel->font());
  painter.fillRect(clip, m_panelColor);
  if (clip.isEmpty()) return;
  painter.setClipRect(clip);
  try {
    m_document.PaintBackgroundImage(painter, clip, m_paintPanel->width());
    m_document.Paint(painter, QRect(0, 1, m_paintPanel->width(), m_paintPanel->height() - 1), kMaxScrollWidth,
                     -HScrollPosition(), 0, 0, 0);
  } catch (const std::exception&) {
    // A paint that runs out of memory leaves the background; the next paint tries again.
  }
}

}  // namespace corvane
