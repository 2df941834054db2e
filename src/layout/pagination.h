#pragma once

#include <vector>

class QPainter;

namespace corvane {

class TSectionList;

// A band of document y painted above a page's content: the head rows of a table the page continues.
struct TPageHead {
  int Top = 0;
  int Bottom = 0;
  int Height() const { return Bottom - Top; }
};

// One printed page: the document y range [Top, Bottom) it shows, below the table heads it repeats
// (outermost table first).
struct TPageRange {
  int Top = 0;
  int Bottom = 0;
  std::vector<TPageHead> Heads;
  int HeadHeight() const {
    int height = 0;
    for (const TPageHead& head : Heads) height += head.Height();
    return height;
  }
};

// What keeps a span of the document together on one page, from the firmest to the weakest. Where the
// spans of all kinds leave no place to break, those of the weaker kinds give way first.
enum class TKeepKind {
  Line,   // a text line, a picture, a rule: cut only when taller than a page
  Row,    // a table row (with the cells that span down from it)
  Avoid,  // page-break-inside: avoid
};

// The break constraints of a laid-out document, gathered in one walk over its items (see
// TSectionBase::CollectPageBreaks): spans that may not be cut by a page edge, forced breaks and the
// head rows of tables.
class TPageBreakCollector {
 public:
  // The span [top, bottom) is kept on one page when it fits on one.
  void Keep(int top, int bottom, TKeepKind kind);
  // A new page starts at y.
  void ForceBreak(int y);
  // A table whose head rows take [headTop, headBottom) and whose body ends at bodyBottom: a page that
  // starts inside its body repeats the head above its content.
  void TableHead(int headTop, int headBottom, int bodyBottom);

  struct TSpan {
    int Top;
    int Bottom;
  };
  struct THead {
    int Top;
    int Bottom;
    int BodyBottom;
  };
  const std::vector<TSpan>& Spans(TKeepKind kind) const { return m_spans[static_cast<int>(kind)]; }
  const std::vector<int>& ForcedBreaks() const { return m_forced; }
  const std::vector<THead>& Heads() const { return m_heads; }

 private:
  std::vector<TSpan> m_spans[3];
  std::vector<int> m_forced;
  std::vector<THead> m_heads;
};

// Cuts a document of documentHeight into pages of pageHeight (pixels of content) by the constraints:
// a page ends at a forced break, else as low as it can without cutting a kept span that fits on a
// page; a span taller than a page is cut at a line inside it where there is one, else at the page edge.
// Pages that continue a table repeat its head rows, and hold that much less. Always at least one page.
std::vector<TPageRange> Paginate(const TPageBreakCollector& constraints, int documentHeight, int pageHeight);

// Gathers the constraints of a document laid out (with Printing set, at the printable width) and cuts
// it into pages of pageHeight.
std::vector<TPageRange> PaginateDocument(TSectionList& document, int documentHeight, int pageHeight);

// Paints one page of a document laid out at width, in document pixels with the page's top left at the
// painter's origin: the repeated table heads one below the other, then the page's own band, each clipped
// to its band. The document's paint does the work, so Printing and the print options of the document
// decide what is drawn; the page background is filled when the document paints backgrounds.
void PaintPage(TSectionList& document, const TPageRange& page, int width, QPainter& painter);

}  // namespace corvane
