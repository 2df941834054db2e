#include "layout/text_measurer.h"

#include <QFontMetrics>

#include "style/my_font.h"

namespace corvane {

namespace {

class TQtCharWidths final : public TCharWidths {
 public:
  explicit TQtCharWidths(const QFont& font) : m_metrics(font) {}

 protected:
  int Measure(char32_t codePoint) const override {
    if (codePoint < 0x10000) return m_metrics.horizontalAdvance(QChar(static_cast<char16_t>(codePoint)));
    const char32_t pair[1] = {codePoint};
    return m_metrics.horizontalAdvance(QString::fromUcs4(pair, 1));
  }

 private:
  QFontMetrics m_metrics;
};

class TFixedCharWidths final : public TCharWidths {
 public:
  explicit TFixedCharWidths(int pitch) : m_pitch(pitch) {}

 protected:
  int Measure(char32_t) const override { return m_pitch; }

 private:
  int m_pitch;
};

}  // namespace

int TCharWidths::OtherWidth(char16_t c, char16_t next) const {
  char32_t codePoint = c;
  if (IsLowSurrogate(c)) return 0;
  if (IsHighSurrogate(c) && IsLowSurrogate(next))
    codePoint = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(next) - 0xDC00);
  const auto known = m_other.find(codePoint);
  if (known != m_other.end()) return known->second;
  const int width = Measure(codePoint);
  m_other.emplace(codePoint, width);
  return width;
}

int TCharWidths::AccumulateWidths(const char16_t* text, int count, int start, int* sums, char16_t after) const {
  int sum = start;
  for (int i = 0; i < count; ++i) {
    const char16_t c = text[i];
    // Latin characters measured before are one look-up: the common case of every document.
    const int known = c < 256 ? m_latin[c] : -1;
    sum += known >= 0 ? known : Width(c, i + 1 < count ? text[i + 1] : after);
    sums[i] = sum;
  }
  return sum;
}

int TCharWidths::TextWidth(const char16_t* text, int count) const {
  int sum = 0;
  for (int i = 0; i < count; ++i) sum += Width(text[i], i + 1 < count ? text[i + 1] : 0);
  return sum;
}

namespace {

struct TKeyHash {
  std::size_t operator()(const TQtTextMeasurer::TKey& key) const {
    std::size_t h = qHash(key.Family);
    h = h * 31 + static_cast<std::size_t>(key.PixelSize);
    h = h * 31 + static_cast<std::size_t>(key.Weight);
    h = h * 31 + static_cast<std::size_t>(key.Italic);
    return h * 31 + static_cast<std::size_t>(key.LetterSpacing);
  }
};

std::unordered_map<TQtTextMeasurer::TKey, std::unique_ptr<TCharWidths>, TKeyHash>& SharedTables() {
  static std::unordered_map<TQtTextMeasurer::TKey, std::unique_ptr<TCharWidths>, TKeyHash> tables;
  return tables;
}

}  // namespace

TQtTextMeasurer::TQtTextMeasurer() = default;
TQtTextMeasurer::~TQtTextMeasurer() = default;

const TCharWidths& TQtTextMeasurer::Widths(const TMyFont& font) {
  const QFont& qfont = font.Font();
  // Newest first: the runs of a section mostly repeat the fonts just asked for.
  for (std::size_t k = 1; k <= m_recent.size(); ++k) {
    const TRecent& recent = m_recent[(m_nextRecent + m_recent.size() - k) % m_recent.size()];
    if (recent.Widths && qfont.isCopyOf(recent.Font) && recent.LetterSpacing == font.LetterSpacing()) return *recent.Widths;
  }
  TKey key{qfont.family(), qfont.pixelSize(), qfont.weight(), qfont.italic(), font.LetterSpacing()};
  if (!m_last || !(key == m_lastKey)) {
    auto& table = SharedTables()[key];
    if (!table) table = std::make_unique<TQtCharWidths>(font.DrawingFont());
    m_lastKey = std::move(key);
    m_last = table.get();
  }
  m_recent[m_nextRecent] = {qfont, font.LetterSpacing(), m_last};
  m_nextRecent = (m_nextRecent + 1) % m_recent.size();
  return *m_last;
}

TFixedPitchMeasurer::TFixedPitchMeasurer(int pitch) : m_widths(std::make_unique<TFixedCharWidths>(pitch)) {}
TFixedPitchMeasurer::~TFixedPitchMeasurer() = default;

const TCharWidths& TFixedPitchMeasurer::Widths(const TMyFont&) { return *m_widths; }

}  // namespace corvane
