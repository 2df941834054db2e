#include "sheets/cell_value.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <string>

namespace corvane {

std::optional<double> PlainNumber(const QString& text) {
  const qsizetype size = text.size();
  if (size == 0 || size > 32) return std::nullopt;
  // Most texts are not numbers, and most of those show it at once.
  const char16_t first = text[0].unicode();
  if (first != u'-' && (first < u'0' || first > u'9')) return std::nullopt;
  std::string ascii;
  ascii.reserve(static_cast<std::size_t>(size));
  for (const QChar c : text) {
    if (c.unicode() > 0x7F) return std::nullopt;
    ascii.push_back(static_cast<char>(c.unicode()));
  }
  std::size_t i = ascii[0] == '-' ? 1 : 0;
  const std::size_t integerStart = i;
  while (i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9') ++i;
  const std::size_t integerDigits = i - integerStart;
  if (integerDigits == 0 || (integerDigits > 1 && ascii[integerStart] == '0')) return std::nullopt;
  std::size_t fractionDigits = 0;
  if (i < ascii.size() && ascii[i] == '.') {
    ++i;
    const std::size_t fractionStart = i;
    while (i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9') ++i;
    fractionDigits = i - fractionStart;
    if (fractionDigits == 0 || ascii[i - 1] == '0') return std::nullopt;
  }
  if (i != ascii.size()) return std::nullopt;
  // Significant digits: those after the leading zeros of "0.00…".
  std::size_t significant = integerDigits + fractionDigits;
  if (ascii[integerStart] == '0') {
    significant = fractionDigits;
    for (std::size_t k = integerStart + 2; k < ascii.size() && ascii[k] == '0'; ++k) --significant;
    // "0" alone and "-0" are zero; "-0" would read back as "0".
    if (fractionDigits == 0) return integerStart == 0 ? std::optional<double>(0.0) : std::nullopt;
  }
  if (significant > 15) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (error != std::errc() || end != ascii.data() + ascii.size()) return std::nullopt;
  return value;
}

namespace {

char ToLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Whether c is the group separator reading.Group stands for.
bool IsGroup(char16_t c, char16_t group) {
  switch (group) {
    case u' ': return c == u' ' || c == 0x00A0 || c == 0x202F;
    case u'\'': return c == u'\'' || c == 0x2019;
    default: return c == group;
  }
}

// A number as the language writes it, with group separators, decimals, a percent sign or parentheses;
// none for a plain integer (PlainNumber's) or text.
std::optional<TCellNumber> WrittenNumber(const QString& text, const TNumberReading& reading) {
  qsizetype begin = 0, end = text.size();
  if (end == 0 || end > 40) return std::nullopt;
  const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
  bool parens = false, percent = false, minus = false;
  if (units[0] == u'(' && units[end - 1] == u')') {
    parens = true;
    ++begin;
    --end;
  } else {
    if (units[0] == u'-') minus = true, ++begin;
    if (units[end - 1] == u'%') percent = true, --end;
  }
  std::string mantissa;  // the digits in ASCII, with '.' before the decimals
  qsizetype i = begin;
  while (i < end && IsDigit(units[i])) mantissa.push_back(static_cast<char>(units[i++]));
  const std::size_t leading = mantissa.size();
  if (leading == 0) return std::nullopt;
  bool grouped = false;
  if (i < end && IsGroup(units[i], reading.Group)) {
    // Groups of three after a first group of one to three digits, not begun by a zero.
    if (leading > 3 || mantissa[0] == '0') return std::nullopt;
    while (i < end && IsGroup(units[i], reading.Group)) {
      if (end - i < 4 || !IsDigit(units[i + 1]) || !IsDigit(units[i + 2]) || !IsDigit(units[i + 3])) return std::nullopt;
      for (int k = 1; k <= 3; ++k) mantissa.push_back(static_cast<char>(units[i + k]));
      i += 4;
    }
    if (i < end && IsDigit(units[i])) return std::nullopt;
    grouped = true;
  } else if (leading > 1 && mantissa[0] == '0') {
    return std::nullopt;  // "002" is a code
  }
  int decimals = 0;
  if (i < end && units[i] == reading.Decimal) {
    mantissa.push_back('.');
    for (++i; i < end && IsDigit(units[i]); ++i, ++decimals) mantissa.push_back(static_cast<char>(units[i]));
    if (decimals == 0 || decimals > 3) return std::nullopt;
  }
  if (i != end) return std::nullopt;
  if (!grouped && !parens && !percent && decimals == 0) return std::nullopt;
  // At most 15 significant digits: a spreadsheet keeps no more.
  const std::size_t first = mantissa.find_first_of("123456789");
  if (first == std::string::npos) {
    if (minus || parens) return std::nullopt;  // "-0" would show as "0"
  } else if (std::count_if(mantissa.begin() + static_cast<std::ptrdiff_t>(first), mantissa.end(),
                           [](char c) { return c != '.'; }) > 15) {
    return std::nullopt;
  }
  if (percent) mantissa.append("e-2");
  double value = 0;
  const auto [stop, error] = std::from_chars(mantissa.data(), mantissa.data() + mantissa.size(), value);
  if (error != std::errc() || stop != mantissa.data() + mantissa.size()) return std::nullopt;
  const int kind = parens ? 2 : percent ? 1 : 0;
  return TCellNumber{minus || parens ? -value : value, kFirstNumberFormat + kind * 8 + (grouped ? 4 : 0) + decimals};
}

}  // namespace

std::optional<TCellNumber> CellNumber(const QString& text, const TNumberReading& reading) {
  // Where the point is the decimal separator, a plain number reads the same either way.
  if (!reading.Locale || reading.Decimal == u'.') {
    if (const std::optional<double> plain = PlainNumber(text)) return TCellNumber{*plain, 0};
    if (!reading.Locale) return std::nullopt;
  }
  if (std::optional<TCellNumber> written = WrittenNumber(text, reading)) return written;
  // A text the language does not read ("1.5" where the point groups) is still read plainly.
  if (const std::optional<double> plain = PlainNumber(text)) return TCellNumber{*plain, 0};
  return std::nullopt;
}

std::string NumberFormatCode(int formatId) {
  const int k = formatId - kFirstNumberFormat;
  if (k < 0 || k >= kNumberFormats) return "General";
  std::string number = (k / 4) % 2 ? "#,##0" : "0";
  if (k % 4 > 0) number.append(".").append(static_cast<std::size_t>(k % 4), '0');
  switch (k / 8) {
    case 1: return number + "%";
    case 2: return number + ";(" + number + ")";
    default: return number;
  }
}

TNumberReading NumberReadingOf(std::string_view language) {
  std::string primary, region;
  std::size_t i = 0;
  for (; i < language.size() && std::isalpha(static_cast<unsigned char>(language[i])); ++i) primary.push_back(ToLower(language[i]));
  if (i < language.size() && (language[i] == '-' || language[i] == '_'))
    for (++i; i < language.size() && std::isalnum(static_cast<unsigned char>(language[i])); ++i) region.push_back(ToLower(language[i]));
  TNumberReading reading;
  reading.Locale = true;
  static constexpr std::string_view kCommaPoint[] = {"de", "nl", "it", "es", "pt", "da", "id", "tr", "ro",
                                                     "el", "hr", "sl", "sr", "vi", "is"};
  static constexpr std::string_view kCommaSpace[] = {"fr", "ru", "pl", "cs", "sv", "fi", "nb", "nn", "no", "uk",
                                                     "sk", "hu", "bg", "lt", "lv", "et", "be", "kk"};
  if ((primary == "de" || primary == "it") && (region == "ch" || region == "li")) {
    reading.Group = u'\'';
  } else if (primary == "es" && (region == "mx" || region == "us")) {
    // Mexican and US Spanish write numbers as English does.
  } else if (std::find(std::begin(kCommaPoint), std::end(kCommaPoint), primary) != std::end(kCommaPoint)) {
    reading.Decimal = u',';
    reading.Group = u'.';
  } else if (std::find(std::begin(kCommaSpace), std::end(kCommaSpace), primary) != std::end(kCommaSpace)) {
    reading.Decimal = u',';
    reading.Group = u' ';
  }
  return reading;
}

std::string PageLanguage(std::string_view head) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
  for (std::size_t at = 0; (at = head.find('<', at)) != std::string_view::npos; ++at) {
    if (head.compare(at, 4, "<!--") == 0) {
      at = head.find("-->", at + 4);
      if (at == std::string_view::npos) return {};
      continue;
    }
    std::string name;
    for (std::size_t k = at + 1; k < head.size() && k < at + 6; ++k) name.push_back(ToLower(head[k]));
    if (name.size() < 5 || name.compare(0, 4, "html") != 0 || !(isSpace(name[4]) || name[4] == '>' || name[4] == '/'))
      continue;
    // The HTML element's attributes, up to its '>'.
    std::size_t k = at + 5;
    while (k < head.size() && head[k] != '>') {
      if (isSpace(head[k]) || head[k] == '/') {
        ++k;
        continue;
      }
      std::string attribute;
      while (k < head.size() && !isSpace(head[k]) && head[k] != '=' && head[k] != '>') attribute.push_back(ToLower(head[k++]));
      while (k < head.size() && isSpace(head[k])) ++k;
      std::string value;
      if (k < head.size() && head[k] == '=') {
        for (++k; k < head.size() && isSpace(head[k]);) ++k;
        if (k < head.size() && (head[k] == '"' || head[k] == '\'')) {
          const std::size_t close = head.find(head[k], k + 1);
          if (close == std::string_view::npos) return {};
          value = head.substr(k + 1, close - k - 1);
          k = close + 1;
        } else {
          while (k < head.size() && !isSpace(head[k]) && head[k] != '>') value.push_back(head[k++]);
        }
      }
      if (attribute == "lang") {
        const std::size_t from = value.find_first_not_of(" \t\n\r\f");
        return from == std::string::npos ? std::string() : value.substr(from, value.find_last_not_of(" \t\n\r\f") - from + 1);
      }
    }
    return {};
  }
  return {};
}

std::string UserNumbersLanguage() {
  for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    const std::string_view locale(value);
    if (locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0) return {};
    return std::string(locale);
  }
  return {};
}

}  // namespace corvane
