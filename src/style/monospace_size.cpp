#include "style/monospace_size.h"

#include "style/style_text.h"

namespace corvane {

namespace {

using namespace style_text;

bool IsQuote(char c) { return c == '"' || c == '\''; }

}  // namespace

bool IsMonospaceFamily(std::string_view family, std::string_view preFontName) {
  family = Trim(family);
  if (EqualsIgnoreCase(family, "monospace")) return true;
  // A quoted "monospace" names a family of that name, not the generic one.
  if (family.size() >= 2 && IsQuote(family.front()) && family.back() == family.front())
    family = Trim(family.substr(1, family.size() - 2));
  return !family.empty() && EqualsIgnoreCase(family, Trim(preFontName));
}

double MonospaceSwitchFactor(std::string_view parentFamily, std::string_view family, std::string_view preFontName) {
  if (family == parentFamily) return 1.0;
  const bool wasMonospace = IsMonospaceFamily(parentFamily, preFontName);
  const bool isMonospace = IsMonospaceFamily(family, preFontName);
  if (wasMonospace == isMonospace) return 1.0;
  return isMonospace ? kMonospaceScale : 1.0 / kMonospaceScale;
}

}  // namespace corvane
