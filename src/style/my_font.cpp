#include "style/my_font.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "style/style_units.h"

namespace corvane {

TFontMetrics MeasureFont(const QFont& font) {
  const QFontMetrics metrics(font);
  TFontMetrics result;
  result.TextHeight = metrics.height();
  result.Descent = metrics.descent();
  result.ExternalLeading = std::max(0, metrics.leading());
  const int emHeight = font.pixelSize() > 0 ? QFontInfo(font).pixelSize() : metrics.height();
  result.InternalLeading = std::max(0, metrics.height() - emHeight);
  result.AverageCharWidth = metrics.averageCharWidth();
  result.MaximumCharWidth = metrics.maxWidth();
  return result;
}

const TFontMetrics& TFontMetricsCache::Measure(const QFont& font) {
  const QString key = font.key();
  auto known = m_metrics.find(key);
  if (known == m_metrics.end()) known = m_metrics.insert(key, MeasureFont(font));
  return known.value();
}

TMyFont::TMyFont(const ThtFontInfo& info, double pixelsPerInch, TFontMetricsCache* cache)
    : m_pixelsPerInch(pixelsPerInch) {
  Apply(info, cache);
}

void TMyFont::Apply(const ThtFontInfo& info, TFontMetricsCache* cache) {
  // Sizes are asked for as em heights, and a font needs at least one pixel.
  const int pixels = std::max(1, RoundToInt(m_pixelsPerInch * info.Size / 72.0));
  m_font = QFont(QString::fromUtf8(info.Name.data(), static_cast<qsizetype>(info.Name.size())));
  m_font.setPixelSize(pixels);
  m_font.setBold(info.Style.Bold);
  m_font.setItalic(info.Style.Italic);
  m_font.setUnderline(info.Style.Underline);
  m_font.setStrikeOut(info.Style.StrikeOut);
  m_height = -pixels;
  m_style = info.Style;
  m_color = info.Color;
  m_charSet = info.CharSet;
  m_fontBackground = info.BackgroundColor;
  m_metrics = cache ? cache->Measure(m_font) : MeasureFont(m_font);
  // Qt has no character sets: the platform gives what was asked for.
  m_actualCharSet = m_charSet;
}

QFont TMyFont::DrawingFont() const {
  if (m_letterSpacing == 0) return m_font;
  QFont font = m_font;
  font.setLetterSpacing(QFont::AbsoluteSpacing, m_letterSpacing);
  return font;
}

void TMyFont::SelectInto(QPainter& painter) const {
  painter.setFont(DrawingFont());
  painter.setPen(ToQColor(m_color));
}

}  // namespace corvane
