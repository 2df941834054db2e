#pragma once

#include <QFont>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>

namespace corvane {

class TMyFont;

// Characters that stand for objects in a text section, never measured or drawn as text.
inline constexpr char16_t kFormControlChar = 2;
inline constexpr char16_t kImageChar = 4;
inline constexpr char16_t kLineBreakChar = 8;
inline constexpr char16_t kSoftHyphen = 0xAD;
inline constexpr char16_t kNoBreakSpace = 0xA0;

inline bool IsObjectChar(char16_t c) { return c == kFormControlChar || c == kImageChar || c == kLineBreakChar; }
inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

// The whole-pixel widths of the characters of one font. The width of a text is the sum of the widths of
// its characters, so that line breaking, painting and hit testing agree to the pixel. A surrogate pair
// is one character: its width goes to the high half, the low half is 0 wide. The object characters and
// the soft hyphen are 0 wide.
class TCharWidths {
 public:
  virtual ~TCharWidths() = default;

  // The width of c, with next the character after it (for surrogate pairs).
  int Width(char16_t c, char16_t next = 0) const {
    if (c < 256) [[likely]] {
      int16_t& known = m_latin[c];
      if (known < 0) known = static_cast<int16_t>(SpecialOr(c, [&] { return Measure(c); }));
      return known;
    }
    return OtherWidth(c, next);
  }
  // Adds the widths of text[0..count) to a running sum, writing the sum after each character to
  // sums[0..count); after is the character that follows the text, which completes a surrogate pair cut
  // at its end. Returns the final sum.
  int AccumulateWidths(const char16_t* text, int count, int start, int* sums, char16_t after = 0) const;
  int TextWidth(const char16_t* text, int count) const;

 protected:
  // The platform's width of one character (a code point above U+FFFF for a surrogate pair).
  virtual int Measure(char32_t codePoint) const = 0;

 private:
  template <typename F>
  static int SpecialOr(char16_t c, F measure) {
    if (IsObjectChar(c) || c == kSoftHyphen || c == 0) return 0;
    return measure();
  }
  int OtherWidth(char16_t c, char16_t next) const;

  mutable std::array<int16_t, 256> m_latin = MakeUnknown();
  mutable std::unordered_map<char32_t, int> m_other;

  static std::array<int16_t, 256> MakeUnknown() {
    std::array<int16_t, 256> table;
    table.fill(-1);
    return table;
  }
};

// Measures text for layout. The document holds one; tests put a fixed-pitch measurer in its place so
// that positions can be asserted without depending on the machine's fonts.
class TTextMeasurer {
 public:
  virtual ~TTextMeasurer() = default;
  // The widths of the characters of font as it is drawn (letter spacing included). The table lives as
  // long as the measurer.
  virtual const TCharWidths& Widths(const TMyFont& font) = 0;
};

// Widths read from the platform fonts, one table per distinct font. The tables are shared by every
// document of the process (a font's widths never change); like the fonts themselves they are used on
// the user-interface thread only.
class TQtTextMeasurer final : public TTextMeasurer {
 public:
  TQtTextMeasurer();
  ~TQtTextMeasurer() override;
  const TCharWidths& Widths(const TMyFont& font) override;

  struct TKey {
    QString Family;
    int PixelSize = 0;
    int Weight = 0;
    bool Italic = false;
    int LetterSpacing = 0;
    bool operator==(const TKey&) const = default;
  };

 private:
  // Consecutive runs mostly share a font; the last answer is kept.
  TKey m_lastKey;
  const TCharWidths* m_last = nullptr;
  // The fonts asked for most recently, found again without building a key: copies of one font share
  // their data, which QFont::isCopyOf sees.
  struct TRecent {
    QFont Font;
    int LetterSpacing = 0;
    const TCharWidths* Widths = nullptr;
  };
  std::array<TRecent, 8> m_recent;
  std::size_t m_nextRecent = 0;
};

// Every character (object characters and soft hyphens aside) is Pitch pixels wide, whatever the font.
class TFixedPitchMeasurer final : public TTextMeasurer {
 public:
  explicit TFixedPitchMeasurer(int pitch);
  ~TFixedPitchMeasurer() override;
  const TCharWidths& Widths(const TMyFont& font) override;

 private:
  std::unique_ptr<TCharWidths> m_widths;
};

}  // namespace corvane
