#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "style/font_families.h"
#include "style/my_font.h"
#include "style/prop_value.h"
#include "style/style_colors.h"
#include "style/style_units.h"

namespace corvane {

// The screen's logical pixels per inch when a QGuiApplication with a screen exists (call it on the
// user-interface thread), else 96.
double ScreenPixelsPerInch();

// What the style engine of one document shares between its property sets: the screen resolution, the
// default point size, the serial counter and the caches of colours, families and font metrics. The
// document's style list owns it; every property set of the document points to it.
//
// Threads: the caches of colours, installed families and font metrics by key belong to the context, so
// to one document, and have no locks. Two caches are the process's: the index of installed families
// (TFontFamilyIndex, thread-safe) and the fonts made by description (TFontMetricsCache::FontOf), filled
// on first use without a guard. So documents are styled one at a time: in the programme on the
// user-interface thread (the viewer, previews, printing) or the render command's main thread; the
// Python module renders under a lock of its own, whichever thread calls it.
class TStyleContext {
 public:
  explicit TStyleContext(double pixelsPerInch) : m_pixelsPerInch(pixelsPerInch) {}
  TStyleContext(const TStyleContext&) = delete;
  TStyleContext& operator=(const TStyleContext&) = delete;

  double PixelsPerInch() const { return m_pixelsPerInch; }
  // The viewer's default font size in points; the keywords "xx-small" to "xx-large" scale it.
  double DefaultPointSize() const { return m_defaultPointSize; }
  void SetDefaultPointSize(double points) { m_defaultPointSize = points; }
  // The viewer's preformatted font: a family of that name alone is the monospace face.
  const std::string& PreFontName() const { return m_preFontName; }
  void SetPreFontName(std::string_view name) { m_preFontName = name; }

  std::uint32_t NextSerialNumber() { return ++m_serialCounter; }

  int LengthToPixels(std::string_view text, TLengthKind kind, double base, double em, double ex,
                     int fallback) const {
    return corvane::LengthToPixels(text, kind, base, em, ex, fallback, m_pixelsPerInch);
  }
  double FontSizeToPoints(std::string_view text, double base) const {
    return corvane::FontSizeToPoints(text, base, m_defaultPointSize, m_pixelsPerInch);
  }
  std::optional<TColor> ColorFromString(std::string_view text, THashMark mark = THashMark::Optional) {
    return m_colors.ColorFromString(text, mark);
  }
  std::optional<std::string> FirstInstalledFont(std::string_view list) { return m_fonts.FirstInstalledFont(list); }

  TInstalledFonts& InstalledFonts() { return m_fonts; }
  TFontMetricsCache& FontMetrics() { return m_metrics; }

  // The text "normal", shared by every table's "word-wrap".
  const TPropValue& NormalText() const { return m_normal; }

 private:
  double m_pixelsPerInch;
  double m_defaultPointSize = 12.0;
  std::string m_preFontName = "Courier New";
  std::uint32_t m_serialCounter = 0;
  TColorCache m_colors;
  TInstalledFonts m_fonts;
  TFontMetricsCache m_metrics;
  TPropValue m_normal = TPropValue::Text("normal");
};

}  // namespace corvane
