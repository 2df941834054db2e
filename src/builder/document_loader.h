#pragma once

#include <string>
#include <vector>

#include "builder/document_builder.h"
#include "style/style_list.h"

namespace corvane {

class TSectionList;

// What a viewer hands a new document: fonts and colours, the background, hover colours for links.
struct TDocumentDefaults {
  // Black text on white: the two make a pair, whatever the desktop theme's colours are.
  TStyleDefaults Style{.Color = 0x000000};
  TColor Background = 0xFFFFFF;
  bool HoverLinks = false;
};

// Loads HTML text into a document the way the viewer does: the document is cleared, given its
// defaults, and built from the text. The caller lays it out.
TParseResult LoadHtmlDocument(TSectionList& document, std::string text, const TDocumentDefaults& defaults,
                              const TBuilderHandlers& handlers = {});
// The same for a plain text.
void LoadTextDocument(TSectionList& document, std::string text, const TDocumentDefaults& defaults,
                      const TBuilderHandlers& handlers = {});

// The text of a list of lines as a viewer loads it: every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace corvane
