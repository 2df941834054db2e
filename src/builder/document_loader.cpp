#include "builder/document_loader.h"

#include "layout/section_list.h"

namespace corvane {

namespace {

void Reset(TSectionList& document, const TDocumentDefaults& defaults) {
  document.Clear();
  document.SetDefaults(defaults.Style, defaults.Background, defaults.HoverLinks);
}

}  // namespace

TParseResult LoadHtmlDocument(TSectionList& document, std::string text, const TDocumentDefaults& defaults,
                              const TBuilderHandlers& handlers) {
  Reset(document, defaults);
  return ParseHtmlDocumentWithResult(std::move(text), document, handlers);
}

void LoadTextDocument(TSectionList& document, std::string text, const TDocumentDefaults& defaults,
                      const TBuilderHandlers& handlers) {
  Reset(document, defaults);
  ParseTextDocument(std::move(text), document, handlers);
}

}  // namespace corvane
