#include "html/attribute_list.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

namespace corvane {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

int Clamped(double value) {
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

double RoundedHalfToEven(double value) {
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return whole;
}

}  // namespace

std::string_view TrimmedView(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

int AttributeIntegerValue(std::string_view text) {
  std::string_view s = TrimmedView(text);
  if (!s.empty() && s.back() == '%') s.remove_suffix(1);
  if (s.empty() || !(s[0] == '+' || s[0] == '-' || s[0] == '.' || IsDigit(s[0]))) return 0;

  // How far the text reads as a decimal number.
  std::size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  bool digits = false;
  auto skipDigits = [&] {
    for (; i < s.size() && IsDigit(s[i]); ++i) digits = true;
  };
  skipDigits();
  if (i < s.size() && s[i] == '.') {
    ++i;
    skipDigits();
  }
  if (digits && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      i = j;
    }
  }

  if (digits && i == s.size()) {
    std::string_view number = s[0] == '+' ? s.substr(1) : s;
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) return s[0] == '-' ? INT_MIN : INT_MAX;
    if (error != std::errc() || end != number.data() + number.size()) return 0;
    return Clamped(RoundedHalfToEven(value));
  }

  // Not a number as a whole: the digits before the first character that spoiled it.
  long long value = 0;
  for (std::size_t k = 0; k < i; ++k) {
    if (!IsDigit(s[k])) continue;
    value = std::min<long long>(value * 10 + (s[k] - '0'), INT_MAX);
  }
  return static_cast<int>(value);
}

void TAttributeList::ClearItems() {
  for (std::unique_ptr<TAttribute>& item : m_items)
    if (item) Keep(std::move(item));
  TFreeList<TAttribute>::Clear();
  m_id.clear();
  m_idCached = false;
}

std::unique_ptr<TAttribute> TAttributeList::Spare() {
  if (m_spares.empty()) return std::make_unique<TAttribute>();
  std::unique_ptr<TAttribute> spare = std::move(m_spares.back());
  m_spares.pop_back();
  return spare;
}

void TAttributeList::Keep(std::unique_ptr<TAttribute> attribute) {
  if (m_spares.size() < kKeptSpares) m_spares.push_back(std::move(attribute));
}

const TAttribute* TAttributeList::Find(TagSymbol symbol) const {
  for (const auto& attribute : m_items)
    if (attribute->Symbol == symbol) return attribute.get();
  return nullptr;
}

std::vector<std::string> TAttributeList::NameValueList() const {
  std::vector<std::string> lines;
  lines.reserve(m_items.size());
  for (const auto& attribute : m_items) lines.push_back(attribute->AttrName + "=" + attribute->Text);
  return lines;
}

std::string TAttributeList::ClassName() const {
  const TAttribute* attribute = Find(TagSymbol::SymClass);
  if (!attribute) return {};
  const std::string text = Lowered(TrimmedView(attribute->Text));
  if (text.find(' ') == std::string::npos) return text;
  std::vector<std::string_view> names;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t space = rest.find(' ');
    const std::string_view name = rest.substr(0, space);
    if (!name.empty()) names.push_back(name);
    if (space == std::string_view::npos) break;
    rest.remove_prefix(space + 1);
  }
  std::sort(names.begin(), names.end());
  std::string joined;
  for (std::string_view name : names) {
    if (!joined.empty()) joined += '.';
    joined += name;
  }
  return joined;
}

const std::string& TAttributeList::Id() const {
  if (!m_idCached) {
    const TAttribute* attribute = Find(TagSymbol::SymId);
    m_id = attribute ? Lowered(attribute->Text) : std::string();
    m_idCached = true;
  }
  return m_id;
}

std::string TAttributeList::Title() const {
  const TAttribute* attribute = Find(TagSymbol::SymTitle);
  return attribute ? attribute->Text : std::string();
}

TProperties* TAttributeList::StyleProperties() {
  const TAttribute* attribute = Find(TagSymbol::SymStyleAttr);
  if (!attribute || !m_inlineStyleParser) return nullptr;
  m_styleProperties = m_inlineStyleParser(attribute->Text);
  return m_styleProperties.get();
}

}  // namespace corvane
