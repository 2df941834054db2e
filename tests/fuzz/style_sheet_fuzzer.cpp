// Feeds arbitrary bytes to the style sheet parser, as the content of a STYLE element, as a linked sheet
// file, through the HTML reader, and as the text of a STYLE attribute, each into a fresh document's style
// list (the one for the STYLE element with the built-in rules, which rules for "a" also reach). The first
// byte picks the base address ("0" to "3" in the seed corpus). Besides crashes it traps when the parser
// reads past the "<" it stops at, asks the source again after its end, or stops at any other character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "html/html_reader.h"
#include "html/style_hookup.h"
#include "html/url_functions.h"
#include "style/properties.h"
#include "style/style_list.h"
#include "style/style_sheet_parser.h"

namespace {

constexpr const char* kBases[] = {"", "http://server/css/", "/home/u/sheets/", "file:///c|/x/"};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::string ResolveUrl(std::string_view value, std::string_view base) { return corvane::StyleUrl(value, base); }

void ParseAsStyleElement(std::string_view text, const char* base) {
  corvane::TStyleList styles(96.0);
  styles.LoadDefaults({});
  std::size_t next = 0;
  bool ended = false;
  corvane::TStyleSheetInput input;
  input.Source = [&]() -> char {
    Check(!ended);
    if (next >= text.size() || text[next] == '\0') {
      ended = true;
      return '\0';
    }
    return text[next++];
  };
  input.Peek = [&]() -> char { return next < text.size() ? text[next] : '\0'; };
  input.BaseAddress = base;
  input.ResolveUrl = ResolveUrl;
  const char stop = corvane::ParseStyleSheet(styles, '>', input);
  Check(stop == '\0' || stop == '<');
  // The "<" handed back is the last character read, so that the reader goes on right after it.
  if (stop == '<') Check(next > 0 && text[next - 1] == '<');
}

void ParseInHtml(std::string_view text, const char* base) {
  corvane::TStyleList styles(96.0);
  corvane::THtmlReader reader("<p style='" + std::string(text.substr(0, 200)) + "'><style>" + std::string(text) +
                              "</style>after");
  corvane::HookUpStyleParsers(reader, styles, base);
  try {
    for (reader.Start(); reader.Symbol() != corvane::TagSymbol::SymEof; reader.NextToken()) {
      (void)reader.Attributes().StyleProperties();
      reader.ReadRawContent();
    }
  } catch (const corvane::THtmlParseError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char* base = kBases[data[0] % std::size(kBases)];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  ParseAsStyleElement(text, base);
  {
    corvane::TStyleList styles(96.0);
    corvane::ParseStyleSheetText(styles, text, base, ResolveUrl);
    corvane::ParseLinkedStyleSheet(styles, text, base);
  }
  ParseInHtml(text, base);
  {
    corvane::TStyleList styles(96.0);
    corvane::TProperties properties(styles.Context());
    corvane::ParseInlineStyle(text, properties);
  }
  return 0;
}
