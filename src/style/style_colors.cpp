#include "style/style_colors.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <array>
#include <utility>

#include "style/style_text.h"
#include "style/style_units.h"

namespace corvane {

namespace {

using namespace style_text;

// 0xRRGGBB as written in colour keyword lists, turned into 0x00BBGGRR.
constexpr TColor Rgb(std::uint32_t rgb) {
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

using TNamedColor = std::pair<std::string_view, TColor>;

constexpr std::array<TNamedColor, 176> kColorNames = {{
    {"aliceblue", Rgb(0xF0F8FF)},
    {"antiquewhite", Rgb(0xFAEBD7)},
    {"aqua", Rgb(0x00FFFF)},
    {"aquamarine", Rgb(0x7FFFD4)},
    {"azure", Rgb(0xF0FFFF)},
    {"beige", Rgb(0xF5F5DC)},
    {"bisque", Rgb(0xFFE4C4)},
    {"black", Rgb(0x000000)},
    {"blanchedalmond", Rgb(0xFFEBCD)},
    {"blue", Rgb(0x0000FF)},
    {"blueviolet", Rgb(0x8A2BE2)},
    {"brown", Rgb(0xA52A2A)},
    {"burlywood", Rgb(0xDEB887)},
    {"cadetblue", Rgb(0x5F9EA0)},
    {"chartreuse", Rgb(0x7FFF00)},
    {"chocolate", Rgb(0xD2691E)},
    {"coral", Rgb(0xFF7F50)},
    {"cornflowerblue", Rgb(0x6495ED)},
    {"cornsilk", Rgb(0xFFF8DC)},
    {"crimson", Rgb(0xDC143C)},
    {"cyan", Rgb(0x00FFFF)},
    {"darkblue", Rgb(0x00008B)},
    {"darkcyan", Rgb(0x008B8B)},
    {"darkgoldenrod", Rgb(0xB8860B)},
    {"darkgray", Rgb(0xA9A9A9)},
    {"darkgreen", Rgb(0x006400)},
    {"darkgrey", Rgb(0xA9A9A9)},
    {"darkkhaki", Rgb(0xBDB76B)},
    {"darkmagenta", Rgb(0x8B008B)},
    {"darkolivegreen", Rgb(0x556B2F)},
    {"darkorange", Rgb(0xFF8C00)},
    {"darkorchid", Rgb(0x9932CC)},
    {"darkred", Rgb(0x8B0000)},
    {"darksalmon", Rgb(0xE9967A)},
    {"darkseagreen", Rgb(0x8FBC8F)},
    {"darkslateblue", Rgb(0x483D8B)},
    {"darkslategray", Rgb(0x2F4F4F)},
    {"darkslategrey", Rgb(0x2F4F4F)},
    {"darkturquoise", Rgb(0x00CED1)},
    {"darkviolet", Rgb(0x9400D3)},
    {"deeppink", Rgb(0xFF1493)},
    {"deepskyblue", Rgb(0x00BFFF)},
    {"dimgray", Rgb(0x696969)},
    {"dimgrey", Rgb(0x696969)},
    {"dodgerblue", Rgb(0x1E90FF)},
    {"firebrick", Rgb(0xB22222)},
    {"floralwhite", Rgb(0xFFFAF0)},
    {"forestgreen", Rgb(0x228B22)},
    {"fuchsia", Rgb(0xFF00FF)},
    {"gainsboro", Rgb(0xDCDCDC)},
    {"ghostwhite", Rgb(0xF8F8FF)},
    {"gold", Rgb(0xFFD700)},
    {"goldenrod", Rgb(0xDAA520)},
    {"gray", Rgb(0x808080)},
    {"grey", Rgb(0x808080)},
    {"green", Rgb(0x008000)},
    {"greenyellow", Rgb(0xADFF2F)},
    {"honeydew", Rgb(0xF0FFF0)},
    {"hotpink", Rgb(0xFF69B4)},
    {"indianred", Rgb(0xCD5C5C)},
    {"indigo", Rgb(0x4B0082)},
    {"ivory", Rgb(0xFFFFF0)},
    {"khaki", Rgb(0xF0E68C)},
    {"lavender", Rgb(0xE6E6FA)},
    {"lavenderblush", Rgb(0xFFF0F5)},
    {"lawngreen", Rgb(0x7CFC00)},
    {"lemonchiffon", Rgb(0xFFFACD)},
    {"lightblue", Rgb(0xADD8E6)},
    {"lightcoral", Rgb(0xF08080)},
    {"lightcyan", Rgb(0xE0FFFF)},
    {"lightgoldenrodyellow", Rgb(0xFAFAD2)},
    {"lightgray", Rgb(0xD3D3D3)},
    {"lightgreen", Rgb(0x90EE90)},
    {"lightgrey", Rgb(0xD3D3D3)},
    {"lightpink", Rgb(0xFFB6C1)},
    {"lightsalmon", Rgb(0xFFA07A)},
    {"lightseagreen", Rgb(0x20B2AA)},
    {"lightskyblue", Rgb(0x87CEFA)},
    {"lightslategray", Rgb(0x778899)},
    {"lightslategrey", Rgb(0x778899)},
    {"lightsteelblue", Rgb(0xB0C4DE)},
    {"lightyellow", Rgb(0xFFFFE0)},
    {"lime", Rgb(0x00FF00)},
    {"limegreen", Rgb(0x32CD32)},
    {"linen", Rgb(0xFAF0E6)},
    {"magenta", Rgb(0xFF00FF)},
    {"maroon", Rgb(0x800000)},
    {"mediumaquamarine", Rgb(0x66CDAA)},
    {"mediumblue", Rgb(0x0000CD)},
    {"mediumorchid", Rgb(0xBA55D3)},
    {"mediumpurple", Rgb(0x9370DB)},
    {"mediumseagreen", Rgb(0x3CB371)},
    {"mediumslateblue", Rgb(0x7B68EE)},
    {"mediumspringgreen", Rgb(0x00FA9A)},
    {"mediumturquoise", Rgb(0x48D1CC)},
    {"mediumvioletred", Rgb(0xC71585)},
    {"midnightblue", Rgb(0x191970)},
    {"mintcream", Rgb(0xF5FFFA)},
    {"mistyrose", Rgb(0xFFE4E1)},
    {"moccasin", Rgb(0xFFE4B5)},
    {"navajowhite", Rgb(0xFFDEAD)},
    {"navy", Rgb(0x000080)},
    {"oldlace", Rgb(0xFDF5E6)},
    {"olive", Rgb(0x808000)},
    {"olivedrab", Rgb(0x6B8E23)},
    {"orange", Rgb(0xFFA500)},
    {"orangered", Rgb(0xFF4500)},
    {"orchid", Rgb(0xDA70D6)},
    {"palegoldenrod", Rgb(0xEEE8AA)},
    {"palegreen", Rgb(0x98FB98)},
    {"paleturquoise", Rgb(0xAFEEEE)},
    {"palevioletred", Rgb(0xDB7093)},
    {"papayawhip", Rgb(0xFFEFD5)},
    {"peachpuff", Rgb(0xFFDAB9)},
    {"peru", Rgb(0xCD853F)},
    {"pink", Rgb(0xFFC0CB)},
    {"plum", Rgb(0xDDA0DD)},
    {"powderblue", Rgb(0xB0E0E6)},
    {"purple", Rgb(0x800080)},
    {"red", Rgb(0xFF0000)},
    {"rosybrown", Rgb(0xBC8F8F)},
    {"royalblue", Rgb(0x4169E1)},
    {"saddlebrown", Rgb(0x8B4513)},
    {"salmon", Rgb(0xFA8072)},
    {"sandybrown", Rgb(0xF4A460)},
    {"seagreen", Rgb(0x2E8B57)},
    {"seashell", Rgb(0xFFF5EE)},
    {"sienna", Rgb(0xA0522D)},
    {"silver", Rgb(0xC0C0C0)},
    {"skyblue", Rgb(0x87CEEB)},
    {"slateblue", Rgb(0x6A5ACD)},
    {"slategray", Rgb(0x708090)},
    {"slategrey", Rgb(0x708090)},
    {"snow", Rgb(0xFFFAFA)},
    {"springgreen", Rgb(0x00FF7F)},
    {"steelblue", Rgb(0x4682B4)},
    {"tan", Rgb(0xD2B48C)},
    {"teal", Rgb(0x008080)},
    {"thistle", Rgb(0xD8BFD8)},
    {"tomato", Rgb(0xFF6347)},
    {"turquoise", Rgb(0x40E0D0)},
    {"violet", Rgb(0xEE82EE)},
    {"wheat", Rgb(0xF5DEB3)},
    {"white", Rgb(0xFFFFFF)},
    {"whitesmoke", Rgb(0xF5F5F5)},
    {"yellow", Rgb(0xFFFF00)},
    {"yellowgreen", Rgb(0x9ACD32)},
    {"transparent", ColorNone},
    {"scrollbar", SystemColor(0)},
    {"background", SystemColor(1)},
    {"activecaption", SystemColor(2)},
    {"inactivecaption", SystemColor(3)},
    {"menu", SystemColor(4)},
    {"window", SystemColor(5)},
    {"windowframe", SystemColor(6)},
    {"menutext", SystemColor(7)},
    {"windowtext", SystemColor(8)},
    {"captiontext", SystemColor(9)},
    {"activeborder", SystemColor(10)},
    {"inactiveborder", SystemColor(11)},
    {"appworkspace", SystemColor(12)},
    {"highlight", SystemColor(13)},
    {"highlighttext", SystemColor(14)},
    {"buttonface", SystemColor(15)},
    {"threedface", SystemColor(15)},
    {"buttonshadow", SystemColor(16)},
    {"threedshadow", SystemColor(16)},
    {"graytext", SystemColor(17)},
    {"buttontext", SystemColor(18)},
    {"inactivecaptiontext", SystemColor(19)},
    {"buttonhighlight", SystemColor(20)},
    {"threedlightshadow", SystemColor(20)},
    {"threeddarkshadow", SystemColor(21)},
    {"threedhighlight", SystemColor(22)},
    {"infotext", SystemColor(23)},
    {"infobackground", SystemColor(24)},
}};

constexpr std::array<TNamedColor, kColorNames.size()> SortedColorNames() {
  auto sorted = kColorNames;
  std::sort(sorted.begin(), sorted.end(), [](const TNamedColor& a, const TNamedColor& b) { return a.first < b.first; });
  return sorted;
}

// Sorted at compile time: an immutable table that every document shares.
constexpr auto kSortedColorNames = SortedColorNames();

// A percentage component of rgb(): "50" of "50%" read as a decimal fraction, times 2.55, rounded.
int PercentComponent(std::string_view text) {
  std::string digits(text);
  std::erase(digits, '%');
  double value = 0.0;
  if (!IsDecimalNumber(digits, &value)) return 0;
  return RoundToInt(std::clamp(value * 2.55, -1.0, 256.0));
}

int RgbComponent(std::string_view text) {
  text = Trim(text);
  const int value = Contains(text, "%") ? PercentComponent(text) : IntegerOr(text, 0);
  return std::clamp(value, 0, 255);
}

std::optional<TColor> RgbFunction(std::string_view text) {
  const std::string_view afterRgb = text.substr(text.find("rgb") + 3);
  const std::size_t open = afterRgb.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = afterRgb.find(')', open + 1);
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view inside = afterRgb.substr(open + 1, close - open - 1);
  std::array<std::string_view, 3> parts{};
  for (int i = 0; i < 2; ++i) {
    const std::size_t comma = inside.find(',');
    parts[i] = inside.substr(0, comma);
    inside = comma == std::string_view::npos ? std::string_view() : inside.substr(comma + 1);
  }
  parts[2] = inside;
  const TColor red = static_cast<TColor>(RgbComponent(parts[0]));
  const TColor green = static_cast<TColor>(RgbComponent(parts[1]));
  const TColor blue = static_cast<TColor>(RgbComponent(parts[2]));
  return (blue << 16) + (green << 8) + red + ColorMark;
}

std::optional<TColor> HexColor(std::string_view text) {
  const std::size_t hash = text.rfind('#');
  if (hash != std::string_view::npos) text = Trim(text.substr(hash + 1));
  std::string digits;
  if (!text.empty() && text.size() <= 3) {
    for (char c : text) digits.append(2, c);
  } else {
    digits = text;
  }
  // A 32-bit hexadecimal number: at most eight digits.
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return Rgb(value & 0xFFFFFF) + ColorMark;
}

}  // namespace

std::optional<TColor> ColorFromName(std::string_view name) {
  const std::string lower = LowerCopy(name);
  const auto at = std::lower_bound(kSortedColorNames.begin(), kSortedColorNames.end(), std::string_view(lower),
                                   [](const TNamedColor& entry, std::string_view key) { return entry.first < key; });
  if (at == kSortedColorNames.end() || at->first != lower) return std::nullopt;
  return at->second;
}

int ColorNameCount() { return static_cast<int>(kSortedColorNames.size()); }

std::string_view ColorNameAt(int index) {
  if (index < 0 || index >= ColorNameCount()) return {};
  return kSortedColorNames[static_cast<std::size_t>(index)].first;
}

std::optional<TColor> ColorFromString(std::string_view text, THashMark mark) {
  if (text.empty()) return std::nullopt;
  const std::string lower = LowerCopy(Trim(text));
  const std::string_view s = lower;
  const bool hasHash = Contains(s, "#");
  if (!s.starts_with('#') && !Contains(s, "rgb(")) {
    if (auto named = ColorFromName(s)) return named;
  }
  if (Contains(s, "rgb")) return RgbFunction(s);
  if (!hasHash && mark == THashMark::Required) return std::nullopt;
  return HexColor(s);
}

std::optional<TColor> TColorCache::ColorFromString(std::string_view text, THashMark mark) {
  // The cache is keyed by the mark too: "f00" may be a colour without the mark and not with it.
  const std::string_view key = Trim(text);
  if (m_hasLast && mark == m_lastMark && EqualsIgnoreCase(key, m_lastText)) return m_lastColor;
  const std::optional<TColor> colour = corvane::ColorFromString(text, mark);
  if (colour) {
    m_lastText = key;
    m_lastMark = mark;
    m_lastColor = *colour;
    m_hasLast = true;
  }
  return colour;
}

QColor ToQColor(TColor colour, const QPalette& palette) {
  if (colour == ColorNone) return QColor();
  if (IsSystemColor(colour)) {
    const int index = static_cast<int>(colour - SystemColorBase);
    switch (index) {
      case 5:  // window
      case 4:  // menu
      case 10:
      case 11:
      case 30:
        return palette.color(QPalette::Window);
      case 7:  // menu text
      case 8:  // window text
      case 19:
        return palette.color(QPalette::WindowText);
      case 0:   // scroll bar
      case 15:  // button face
        return palette.color(QPalette::Button);
      case 18:  // button text
        return palette.color(QPalette::ButtonText);
      case 2:   // active caption
      case 13:  // highlight
      case 27:
      case 29:
        return palette.color(QPalette::Highlight);
      case 9:   // caption text
      case 14:  // highlighted text
        return palette.color(QPalette::HighlightedText);
      case 17:  // grey text
        return palette.color(QPalette::Disabled, QPalette::WindowText);
      case 16:  // button shadow
        return palette.color(QPalette::Dark);
      case 6:   // window frame
      case 21:  // 3-D dark shadow
        return palette.color(QPalette::Shadow);
      case 20:  // button highlight
        return palette.color(QPalette::Light);
      case 22:
        return palette.color(QPalette::Midlight);
      case 23:  // tool-tip text
        return palette.color(QPalette::ToolTipText);
      case 24:  // tool-tip background
        return palette.color(QPalette::ToolTipBase);
      case 26:  // hot-tracked item
        return palette.color(QPalette::Link);
      case 1:   // desktop
      case 3:   // inactive caption
      case 12:  // application workspace
      case 28:
        return palette.color(QPalette::Mid);
      default:
        return palette.color(QPalette::WindowText);
    }
  }
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

QColor ToQColor(TColor colour) { return ToQColor(colour, QGuiApplication::palette()); }

}  // namespace corvane
