#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace corvane {

class TProperties;
class TStyleList;

// The content of a STYLE element ends at the "<" of its end tag; a linked sheet file only at its end.
enum class TSheetKind { StyleElement, LinkedSheet };

// Pulls the next character of a sheet; 0 at its end.
using TStyleCharSource = std::function<char()>;
// Resolves the url(...) in a style value against the base address of its sheet, giving "url(address)".
// The HTML side supplies it (the style engine knows nothing of addresses).
using TStyleUrlResolver = std::function<std::string(std::string_view value, std::string_view base)>;

// Where a style sheet's text comes from and what it is resolved against.
struct TStyleSheetInput {
  TStyleCharSource Source;
  // The character Source would give next, not consumed; may be empty. With it, a STYLE element that is
  // empty, or holds nothing but an HTML comment, stops at its end tag instead of reading on past it.
  TStyleCharSource Peek;
  TSheetKind Kind = TSheetKind::StyleElement;
  std::string BaseAddress;  // "" when url() values stay as written
  TStyleUrlResolver ResolveUrl;
};

// Reads a style sheet into styles: every declaration of a rule goes to the rule of each of its selectors
// (keys as TStyleList describes them), shorthands expanded into their longhand properties. currentChar is
// the character the caller stands on (the ">" of a STYLE start tag); reading starts with it. A STYLE
// element is read up to the "<" of its end tag, a linked sheet to its end. Returns the character reading
// stopped at, upper case ("<" or 0): the caller goes on from it. Never fails; what it cannot read it skips.
char ParseStyleSheet(TStyleList& styles, char currentChar, const TStyleSheetInput& input);

// A loaded style sheet file: line feeds are skipped and tabs read as spaces; url() values are resolved
// against baseAddress through resolveUrl.
void ParseStyleSheetText(TStyleList& styles, std::string_view text, std::string baseAddress = {},
                         TStyleUrlResolver resolveUrl = {});

// The declarations of a STYLE attribute into properties. url() values stay as written.
void ParseInlineStyle(std::string_view text, TProperties& properties);

}  // namespace corvane
