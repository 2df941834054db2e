#pragma once

#include <string>

#include "html/html_reader.h"

namespace corvane {

class TStyleList;

// Plugs the style sheet parser into handlers: the content of a STYLE element adds its rules to styles,
// url() values resolved against baseAddress by StyleUrl; a STYLE attribute gives a property set of
// styles' document. reader is the reader the handlers are for: the parser looks one character ahead
// through it to tell an end tag from an HTML comment opener. styles and reader must outlive the handlers.
void SetStyleHandlers(THtmlReaderHandlers& handlers, TStyleList& styles, std::string baseAddress,
                      const THtmlReader& reader);

// The same for the reader's own handlers, keeping its other handlers.
void HookUpStyleParsers(THtmlReader& reader, TStyleList& styles, std::string baseAddress);

// A style sheet file that a LINK names, loaded as text: its url() values are resolved against the
// folder of sheetAddress.
void ParseLinkedStyleSheet(TStyleList& styles, std::string_view text, std::string_view sheetAddress);

}  // namespace corvane
