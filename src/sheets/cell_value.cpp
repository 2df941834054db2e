#include "sheets/cell_value.h"

#include <charconv>
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

}  // namespace corvane
