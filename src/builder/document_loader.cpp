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
  document.BaseAddress = handlers.BaseAddress;
  TParseResult result = ParseHtmlDocumentWithResult(std::move(text), document, handlers);
  // Pictures are fetched at layout, against the page's BASE when it has one.
  if (!result.BaseUrl.empty()) document.BaseAddress = result.BaseUrl;
  return result;
}

void LoadTextDocument(TSectionList& document, std::string text, const TDocumentDefaults& defaults,
                      const TBuilderHandlers& handlers) {
  Reset(document, defaults);
  ParseTextDocument(std::move(text), document, handlers);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace corvane
