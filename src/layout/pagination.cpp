#include "layout/pagination.h"

#include <QPainter>

#include <algorithm>

#include "layout/block.h"
#include "layout/floating_obj.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "layout/table.h"
#include "style/property_index.h"

namespace corvane {

// ---- Gathering the constraints ----

void TPageBreakCollector::Keep(int top, int bottom, TKeepKind kind) {
  // A span with no y strictly inside it cannot be cut.
  if (bottom - top < 2) return;
  m_spans[static_cast<int>(kind)].push_back({top, bottom});
}

void TPageBreakCollector::ForceBreak(int y) { m_forced.push_back(y); }

void TPageBreakCollector::TableHead(int headTop, int headBottom, int bodyBottom) {
  if (headBottom > headTop && bodyBottom > headBottom) m_heads.push_back({headTop, headBottom, bodyBottom});
}

void TSectionBase::CollectPageBreaks(TPageBreakCollector& collector) {
  if (Failed) return;
  collector.Keep(TopY, TopY + Height, TKeepKind::Line);
}

void TPage::CollectPageBreaks(TPageBreakCollector& collector) { collector.ForceBreak(TopY); }

void TSection::CollectPageBreaks(TPageBreakCollector& collector) {
  if (Failed) return;
  // Lines of no characters are only space (room made to clear floats): a page may end inside them.
  for (const LineRec& line : m_lines)
    if (line.Ln > 0) collector.Keep(line.Top, line.Top + line.BandHeight(), TKeepKind::Line);
  for (const auto& image : Images())
    if (image->IsFloating())
      collector.Keep(image->FloatY, image->FloatY + image->ObjHeight + image->VSpaceT + image->VSpaceB,
                     TKeepKind::Line);
}

void TCellBasic::CollectPageBreaks(TPageBreakCollector& collector) {
  for (const auto& item : m_items) item->CollectPageBreaks(collector);
}

void TBlock::CollectPageBreaks(TPageBreakCollector& collector) {
  if (Failed || DisplayNone) return;
  const TMarginArray& m = MargArray;
  // The border box: a break before the block leaves its top margin on the page above.
  const int top = TopY - m[Prop::PaddingTop] - m[Prop::BorderTopWidth];
  if (PageBreaks.Before) collector.ForceBreak(top);
  if (PageBreaks.InsideAvoid) collector.Keep(top, BottomY - m[Prop::MarginBottom], TKeepKind::Avoid);
  MyCell->CollectPageBreaks(collector);
  if (PageBreaks.After) collector.ForceBreak(BottomY);
}

void ThtmlTable::CollectPageBreaks(TPageBreakCollector& collector) {
  if (Failed || m_rowTops.size() != Rows.size() || Rows.empty()) return;
  const std::size_t rowCount = Rows.size();
  auto rowBottom = [&](std::size_t r) { return m_rowTops[r] + Rows[r]->RowHeight; };
  for (std::size_t r = 0; r < rowCount; ++r) {
    const TCellList& row = *Rows[r];
    const int top = m_rowTops[r];
    if (row.PageBreaks.Before) collector.ForceBreak(top);
    collector.Keep(top, top + row.RowSpanHeight, TKeepKind::Row);
    for (const auto& cell : row.Cells)
      if (cell && cell->HasContent()) cell->Cell->CollectPageBreaks(collector);
    if (row.PageBreaks.After) collector.ForceBreak(rowBottom(r));
  }
  // The head rows lead the grid; the foot rows, gathered at its end, are not repeated.
  std::size_t headRows = 0;
  while (headRows < rowCount && Rows[headRows]->RowType == 0) ++headRows;
  std::size_t bodyEnd = rowCount;
  while (bodyEnd > headRows && Rows[bodyEnd - 1]->RowType == 2) --bodyEnd;
  if (headRows > 0 && bodyEnd > headRows) {
    collector.TableHead(m_rowTops[0], m_rowTops[headRows], rowBottom(bodyEnd - 1));
    // A head alone at the foot of a page is no use: it goes with the first body row when it can.
    collector.Keep(m_rowTops[0], rowBottom(headRows), TKeepKind::Avoid);
  }
}

// ---- Cutting ----

namespace {

using TSpan = TPageBreakCollector::TSpan;

// The spans of each kind in order of their tops. The walk gives each kind nearly in document order (a
// row before the lines of its cells, a cell's lines before the next cell's), so sorting has little to do
// and is skipped when there is nothing to do.
struct TSortedSpans {
  explicit TSortedSpans(const TPageBreakCollector& constraints) {
    for (int k = 0; k < 3; ++k) {
      std::vector<TSpan>& spans = Kinds[k];
      spans = constraints.Spans(static_cast<TKeepKind>(k));
      auto byTop = [](const TSpan& a, const TSpan& b) { return a.Top < b.Top; };
      if (!std::is_sorted(spans.begin(), spans.end(), byTop)) std::stable_sort(spans.begin(), spans.end(), byTop);
    }
  }
  std::vector<TSpan> Kinds[3];
};

// The union of the spans of the first kinds that fit on a page, as disjoint spans in order: a y may end a
// page when it lies strictly inside none of them. One merging walk over the sorted kinds.
std::vector<TSpan> KeptUnion(const TSortedSpans& sorted, int kinds, int pageHeight) {
  std::size_t next[3] = {0, 0, 0};
  std::vector<TSpan> merged;
  for (;;) {
    // The next span that fits, of the kind whose next one starts highest.
    int kind = -1;
    for (int k = 0; k < kinds; ++k) {
      const std::vector<TSpan>& spans = sorted.Kinds[k];
      while (next[k] < spans.size() && spans[next[k]].Bottom - spans[next[k]].Top > pageHeight) ++next[k];
      if (next[k] < spans.size() && (kind < 0 || spans[next[k]].Top < sorted.Kinds[kind][next[kind]].Top)) kind = k;
    }
    if (kind < 0) break;
    const TSpan& span = sorted.Kinds[kind][next[kind]++];
    if (!merged.empty() && span.Top < merged.back().Bottom) {
      merged.back().Bottom = std::max(merged.back().Bottom, span.Bottom);
    } else {
      merged.push_back(span);
    }
  }
  return merged;
}

// Whether any span of sorted starts in [top, y).
bool ContentIn(const TSortedSpans& sorted, int top, int y) {
  for (const std::vector<TSpan>& spans : sorted.Kinds) {
    const auto first =
        std::lower_bound(spans.begin(), spans.end(), top, [](const TSpan& span, int value) { return span.Top < value; });
    if (first != spans.end() && first->Top < y) return true;
  }
  return false;
}

// The lowest y at or above limit that lies inside none of the kept spans: the top of the span that holds
// limit, or limit itself.
int LowestBreak(const std::vector<TSpan>& kept, int limit) {
  auto after = std::upper_bound(kept.begin(), kept.end(), limit, [](int y, const TSpan& span) { return y <= span.Top; });
  if (after == kept.begin()) return limit;
  const TSpan& span = *(after - 1);
  return span.Bottom > limit ? span.Top : limit;
}

}  // namespace

std::vector<TPageRange> Paginate(const TPageBreakCollector& constraints, int documentHeight, int pageHeight) {
  pageHeight = std::max(1, pageHeight);
  documentHeight = std::max(0, documentHeight);
  const TSortedSpans sorted(constraints);
  // Every kind, then without the weakest, then lines alone; the last two only when a page needs them.
  std::vector<TSpan> kept[3] = {KeptUnion(sorted, 3, pageHeight), {}, {}};
  bool keptMade[3] = {true, false, false};
  std::vector<int> forced = constraints.ForcedBreaks();
  std::sort(forced.begin(), forced.end());
  std::vector<TPageBreakCollector::THead> heads = constraints.Heads();
  std::sort(heads.begin(), heads.end(), [](const auto& a, const auto& b) { return a.Bottom < b.Bottom; });

  // Below the last kept span there is only space (the bottom margins of the blocks): no page is started
  // for it.
  int contentBottom = -1;
  bool anyContent = false;
  for (const std::vector<TSpan>& spans : sorted.Kinds) {
    for (const TSpan& span : spans) contentBottom = std::max(contentBottom, span.Bottom);
    anyContent = anyContent || !spans.empty();
  }
  contentBottom = contentBottom < 0 ? documentHeight : std::min(contentBottom, documentHeight);
  // A forced break with nothing above it on its page (only space) would make an empty page: it is
  // passed over.
  auto contentAbove = [&](int top, int y) { return !anyContent || ContentIn(sorted, top, y); };

  std::vector<TPageRange> pages;
  std::size_t nextForced = 0;
  std::size_t nextHead = 0;
  std::vector<TPageBreakCollector::THead> open;  // tables whose head ends at or above the page top
  int top = 0;
  do {
    TPageRange page;
    page.Top = top;
    // The heads of the tables whose body the page starts in, outermost (highest head) first.
    while (nextHead < heads.size() && heads[nextHead].Bottom <= top) open.push_back(heads[nextHead++]);
    std::erase_if(open, [top](const auto& head) { return head.BodyBottom <= top; });
    std::sort(open.begin(), open.end(), [](const auto& a, const auto& b) { return a.Top < b.Top; });
    for (const auto& head : open) page.Heads.push_back({head.Top, head.Bottom});
    // Heads that would leave less than half a page for content are not repeated.
    if (page.HeadHeight() > pageHeight / 2) page.Heads.clear();
    const int room = pageHeight - page.HeadHeight();

    while (nextForced < forced.size() && (forced[nextForced] <= top || !contentAbove(top, forced[nextForced])))
      ++nextForced;
    int bottom = 0;
    if (nextForced < forced.size() && forced[nextForced] < documentHeight && forced[nextForced] <= top + room) {
      bottom = forced[nextForced];
    } else if (top + room >= documentHeight) {
      bottom = documentHeight;
    } else {
      const int limit = top + room;
      bottom = limit;
      for (int k = 0; k < 3; ++k) {
        if (!keptMade[k]) {
          kept[k] = KeptUnion(sorted, 3 - k, pageHeight);
          keptMade[k] = true;
        }
        const int at = LowestBreak(kept[k], limit);
        if (at > top) {
          bottom = at;
          break;
        }
      }
    }
    page.Bottom = bottom;
    pages.push_back(std::move(page));
    top = bottom;
  } while (top < contentBottom);
  return pages;
}

std::vector<TPageRange> PaginateDocument(TSectionList& document, int documentHeight, int pageHeight) {
  TPageBreakCollector collector;
  document.CollectPageBreaks(collector);
  return Paginate(collector, documentHeight, pageHeight);
}

namespace {

// Paints the document's band [top, bottom) at y of the painter.
void PaintBand(TSectionList& document, int top, int bottom, int y, int width, QPainter& painter) {
  const int height = bottom - top;
  if (height <= 0) return;
  painter.save();
  painter.translate(0, y);
  const QRect band(0, 0, width, height);
  painter.setClipRect(band, Qt::IntersectClip);
  if (document.PaintsBackgrounds(false)) {
    const QColor background = ToQColor(document.Background());
    if (background.isValid()) painter.fillRect(band, background);
  }
  document.SetYOffset(top);
  document.PaintBackgroundImage(painter, band, width);
  document.Paint(painter, band, width, 0, 0, 0, 0);
  painter.restore();
}

}  // namespace

void PaintPage(TSectionList& document, const TPageRange& page, int width, QPainter& painter) {
  int y = 0;
  for (const TPageHead& head : page.Heads) {
    PaintBand(document, head.Top, head.Bottom, y, width, painter);
    y += head.Height();
  }
  PaintBand(document, page.Top, page.Bottom, y, width, painter);
}

}  // namespace corvane
