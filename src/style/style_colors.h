#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QColor;
class QPalette;

namespace corvane {

// A colour value 0x00BBGGRR. System colours are SystemColorBase plus a system colour index and are
// resolved through the application palette when drawn; ColorNone means no colour.
using TColor = std::uint32_t;

inline constexpr TColor ColorNone = 0x1FFFFFFF;
// Carried by colours read from hexadecimal or rgb() text, not by named colours.
inline constexpr TColor ColorMark = 0x02000000;
inline constexpr TColor SystemColorBase = 0xFF000000;

constexpr TColor SystemColor(int index) { return SystemColorBase + static_cast<TColor>(index); }
constexpr bool IsSystemColor(TColor colour) { return (colour & 0xFF000000) == SystemColorBase; }

// Whether a colour without "#" may be read as hexadecimal digits ("f00") or must carry the mark ("#f00").
enum class THashMark { Optional, Required };

// Reads a colour: a name of the colour table (no ColorMark), "rgb(r, g, b)" with integers or percentages,
// or hexadecimal digits after the last "#" (1-3 digits doubled: "f00" is "ff0000"). nullopt when the text
// is none of these.
std::optional<TColor> ColorFromString(std::string_view text, THashMark mark = THashMark::Optional);

// The colour of a name of the colour table (case-insensitive).
std::optional<TColor> ColorFromName(std::string_view name);
// The number of names in the colour table.
int ColorNameCount();
// The name of entry index of the colour table, in sorted order; "" outside the table.
std::string_view ColorNameAt(int index);

// ColorFromString with a one-entry cache of the last success: style sheets repeat the same colour text
// many times. One per document.
class TColorCache {
 public:
  std::optional<TColor> ColorFromString(std::string_view text, THashMark mark = THashMark::Optional);

 private:
  std::string m_lastText;
  THashMark m_lastMark = THashMark::Optional;
  TColor m_lastColor = 0;
  bool m_hasLast = false;
};

// The colour to draw with: system colours through the palette's roles, ColorNone as an invalid
// (transparent) colour, the marks ignored.
QColor ToQColor(TColor colour, const QPalette& palette);
// The same with the application palette.
QColor ToQColor(TColor colour);

}  // namespace corvane
