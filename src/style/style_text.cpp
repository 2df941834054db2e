#include "style/style_text.h"

#include <charconv>

namespace corvane::style_text {

int IntegerOr(std::string_view text, int fallback) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return fallback;
  return value;
}

}  // namespace corvane::style_text
