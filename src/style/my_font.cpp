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

std::size_t TFontMetricsCache::TKeyHash::operator()(const TKey& key) const {
  std::size_t h = std::hash<std::string>{}(key.Name);
  h = h * 131 + static_cast<std::size_t>(key.Pixels);
  return h * 16 + (key.Style.Bold ? 1 : 0) + (key.Style.Italic ? 2 : 0) + (key.Style.Underline ? 4 : 0) +
         (key.Style.StrikeOut ? 8 : 0);
}

namespace {

QFont MakePlatformFont(const std::string& name, int pixels, const TFontStyles& style) {
  QFont font(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  font.setPixelSize(pixels);
  font.setBold(style.Bold);
  font.setItalic(style.Italic);
  font.setUnderline(style.Underline);
  font.setStrikeOut(style.StrikeOut);
  // Whole-pixel advances that add up: without kerning and with full hinting the width of a text is the
  // sum of its characters' widths, and a text drawn in one call lands where its pieces would.
  font.setKerning(false);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

}  // namespace

const TFontMetricsCache::TEntry& TFontMetricsCache::FontOf(const std::string& name, int pixels,
                                                           const TFontStyles& style) {
  static std::unordered_map<TKey, TEntry, TKeyHash> fonts;
  TKey key{name, pixels, style};
  auto known = fonts.find(key);
  if (known == fonts.end()) {
    TEntry entry;
    entry.Font = MakePlatformFont(name, pixels, style);
    entry.Metrics = MeasureFont(entry.Font);
    known = fonts.emplace(std::move(key), std::move(entry)).first;
  }
  return known->second;
}

TMyFont::TMyFont(const ThtFontInfo& info, double pixelsPerInch, TFontMetricsCache* cache)
    : m_pixelsPerInch(pixelsPerInch) {
  Apply(info, cache);
}

void TMyFont::Apply(const ThtFontInfo& info, TFontMetricsCache* cache) {
  // Sizes are asked for as em heights, and a font needs at least one pixel.
  const int pixels = std::max(1, RoundToInt(m_pixelsPerInch * info.Size / 72.0));
  if (cache) {
    const TFontMetricsCache::TEntry& entry = cache->FontOf(info.Name, pixels, info.Style);
    m_font = entry.Font;
    m_metrics = entry.Metrics;
  } else {
    m_font = MakePlatformFont(info.Name, pixels, info.Style);
    m_metrics = MeasureFont(m_font);
  }
  m_height = -pixels;
  m_style = info.Style;
  m_color = info.Color;
  m_charSet = info.CharSet;
  m_fontBackground = info.BackgroundColor;
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
