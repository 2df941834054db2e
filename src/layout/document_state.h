#pragma once

#include <string>
#include <vector>

#include "style/properties.h"

namespace corvane {

class TFloatingObj;
class TFontObj;

// What one document learns while it is built, laid out and painted, apart from its content (the items
// and the document-wide lists) and its settings (defaults, print options, limits). The document holds
// one and replaces it by a fresh one when it is emptied for another page, so a field added here starts
// every document from its initial value without anybody having to remember it.
struct TDocumentState {
  // Found by the builder.
  bool QuirksMode = false;  // no document type declaration: table cells drop their blocks' outer margins
  bool ManyLinks = false;   // more than 400 links: no keyboard tab stops for links
  std::string BackgroundImageName;  // the BODY's background image
  TBackgroundPosition BackgroundPosition;
  int SectionCount = 0;  // text sections numbered so far, for the layout's progress

  // Layout. The cycle counts the layouts of the document: an item keeps what it measured in one layout
  // by its number, and measures again in the next.
  int LayoutCycle = 0;
  int ProgressStart = 0;  // the progress, in per cent, the layout's reports start from
  // Some table spans were cut to keep the grid within the place budget.
  bool TableSpansCut = false;
  // Cells of a table row past the column limit were left out.
  bool TableColumnsCut = false;

  // The link run and the picture shown in the hover look.
  TFontObj* HoverLink = nullptr;
  TFloatingObj* HoverImage = nullptr;
  int FocusProxies = 0;  // link runs with a keyboard focus proxy
  // FindSectionAtY: the lowest GetYPos from each position of the position list on, and the layout cycle
  // they were found in.
  std::vector<int> PositionTops;
  int PositionTopsCycle = -1;
};

}  // namespace corvane
