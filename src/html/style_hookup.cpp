#include "html/style_hookup.h"

#include <memory>

#include "html/url_functions.h"
#include "style/properties.h"
#include "style/style_list.h"
#include "style/style_sheet_parser.h"

namespace corvane {

namespace {

std::string ResolveStyleUrl(std::string_view value, std::string_view base) { return StyleUrl(value, base); }

}  // namespace

void SetStyleHandlers(THtmlReaderHandlers& handlers, TStyleList& styles, std::string baseAddress,
                      const THtmlReader& reader) {
  handlers.Style = [&styles, &reader, base = std::move(baseAddress)](char currentChar,
                                                                      const std::function<char()>& nextRawChar) {
    TStyleSheetInput input;
    input.Source = nextRawChar;
    input.Peek = [&reader] { return reader.PeekChar(); };
    input.Kind = TSheetKind::StyleElement;
    input.BaseAddress = base;
    input.ResolveUrl = ResolveStyleUrl;
    return ParseStyleSheet(styles, currentChar, input);
  };
  handlers.InlineStyle = [&styles](const std::string& styleText) {
    auto properties = std::make_unique<TProperties>(styles.Context());
    ParseInlineStyle(styleText, *properties);
    return TPropertiesOwner(properties.release(), TPropertiesDeleter{&DeleteProperties});
  };
}

void HookUpStyleParsers(THtmlReader& reader, TStyleList& styles, std::string baseAddress) {
  THtmlReaderHandlers handlers = reader.Handlers();
  SetStyleHandlers(handlers, styles, std::move(baseAddress), reader);
  reader.SetHandlers(std::move(handlers));
}

void ParseLinkedStyleSheet(TStyleList& styles, std::string_view text, std::string_view sheetAddress) {
  ParseStyleSheetText(styles, text, UrlBase(sheetAddress), ResolveStyleUrl);
}

}  // namespace corvane
