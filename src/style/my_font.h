#pragma once

#include <QFont>
#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "style/prop_value.h"
#include "style/style_colors.h"

class QPainter;

namespace corvane {

struct TFontStyles {
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  friend bool operator==(const TFontStyles&, const TFontStyles&) = default;
};

// A plain description of a font: the four looks of a link are kept this way.
struct ThtFontInfo {
  std::string Name;
  double Size = 0.0;  // points
  TFontStyles Style;
  TColor Color = 0;
  TColor BackgroundColor = ColorNone;
  std::uint8_t CharSet = 1;
  TPropValue LetterSpacing;  // the raw "letter-spacing" value
};

// The four looks of a link.
struct TFontInfoArray {
  enum Look : int { Link, Visited, Hover, VisitedHover };
  std::array<ThtFontInfo, 4> Fonts;

  ThtFontInfo& operator[](int look) { return Fonts[static_cast<std::size_t>(look)]; }
  const ThtFontInfo& operator[](int look) const { return Fonts[static_cast<std::size_t>(look)]; }
};

// What layout needs to know of a font, in pixels, read from the platform once per font.
struct TFontMetrics {
  int TextHeight = 0;  // ascent + descent
  int Descent = 0;
  int ExternalLeading = 0;
  int InternalLeading = 0;  // text height less the em height asked for
  int AverageCharWidth = 0;
  int MaximumCharWidth = 0;
};

// Fonts and their metrics by description, so that the elements that share a font make and measure it
// once. Fonts made by description are shared by every document of the process (like the platform's own
// font cache, on the user-interface thread only).
class TFontMetricsCache {
 public:
  struct TEntry {
    QFont Font;
    TFontMetrics Metrics;
  };
  const TFontMetrics& Measure(const QFont& font);
  // The font of a description at a pixel size, made and measured on first use.
  const TEntry& FontOf(const std::string& name, int pixels, const TFontStyles& style);

 private:
  struct TKey {
    std::string Name;
    int Pixels = 0;
    TFontStyles Style;
    bool operator==(const TKey&) const = default;
  };
  struct TKeyHash {
    std::size_t operator()(const TKey& key) const;
  };
  QHash<QString, TFontMetrics> m_metrics;
};

// Reads the metrics of a font from the platform.
TFontMetrics MeasureFont(const QFont& font);

// A platform font with the metrics measured when it was made. Copying a TMyFont copies the metrics with
// the font.
class TMyFont {
 public:
  // An unmeasured default font.
  TMyFont() = default;
  // The font of a description at the given screen resolution: asked for with a pixel height of
  // round(ppi x size / 72). Metrics come from cache when one is given.
  TMyFont(const ThtFontInfo& info, double pixelsPerInch, TFontMetricsCache* cache = nullptr);

  // Makes this the font of info (name, height, style, colour, character set, background) and measures it
  // again; the letter spacing stays.
  void Apply(const ThtFontInfo& info, TFontMetricsCache* cache = nullptr);

  // The platform font, without letter spacing.
  const QFont& Font() const { return m_font; }
  // The font to draw and measure text with: letter spacing included.
  QFont DrawingFont() const;
  // Makes this the painter's font and its pen colour.
  void SelectInto(QPainter& painter) const;

  std::string Name() const { return m_font.family().toStdString(); }
  int Height() const { return m_height; }  // negative: the em height in pixels
  TFontStyles Style() const { return m_style; }
  TColor Color() const { return m_color; }
  std::uint8_t CharSet() const { return m_charSet; }
  double PixelsPerInch() const { return m_pixelsPerInch; }

  TColor FontBackground() const { return m_fontBackground; }
  int TextHeight() const { return m_metrics.TextHeight; }
  int Descent() const { return m_metrics.Descent; }
  int ExternalLeading() const { return m_metrics.ExternalLeading; }
  int InternalLeading() const { return m_metrics.InternalLeading; }
  int AverageCharWidth() const { return m_metrics.AverageCharWidth; }
  int MaximumCharWidth() const { return m_metrics.MaximumCharWidth; }
  int ActualCharSet() const { return m_actualCharSet; }
  int LetterSpacing() const { return m_letterSpacing; }

  void SetColor(TColor colour) { m_color = colour; }
  void SetFontBackground(TColor colour) { m_fontBackground = colour; }
  void SetCharSet(std::uint8_t charSet) { m_charSet = charSet; }
  void SetLetterSpacing(int pixels) { m_letterSpacing = pixels; }

 private:
  QFont m_font;
  int m_height = 0;
  TFontStyles m_style;
  TColor m_color = 0;
  std::uint8_t m_charSet = 1;
  double m_pixelsPerInch = 96.0;
  TColor m_fontBackground = ColorNone;
  TFontMetrics m_metrics;
  int m_actualCharSet = 1;
  int m_letterSpacing = 0;
};

}  // namespace corvane
