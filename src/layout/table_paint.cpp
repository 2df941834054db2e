// Painting a table (backgrounds, clipped cell content, 3-D and styled borders) and the point queries
// that find the cell under a point.
#include <QPainter>

#include <algorithm>
#include <climits>

#include "html/selection_text.h"
#include "layout/border_painter.h"
#include "layout/section_list.h"
#include "layout/table.h"

namespace corvane {

namespace {

constexpr TColor kSilver = 0xC0C0C0;

}  // namespace

std::pair<int, int> ThtmlTable::RowStretch(int top, int bottom) const {
  // Rows are in y order; a row's cells may reach below it, so the search goes by the lowest bottom so far.
  const int first = static_cast<int>(std::lower_bound(m_rowBottomSoFar.begin(), m_rowBottomSoFar.end(), top) -
                                     m_rowBottomSoFar.begin());
  const int last = static_cast<int>(std::upper_bound(m_rowTops.begin(), m_rowTops.end(), bottom) - m_rowTops.begin());
  return {first, std::max(first, last)};
}

// The colours of the 3-D frames: the table's own, or the defaults, with silver for the light one on a
// white page, where the button highlight would not show.
static TColor LightColour(const ThtmlTable& table, const TSectionList& document) {
  if (table.BorderColorLight != SystemColor(20)) return table.BorderColorLight;
  const bool whitePage = (document.Background() & 0xFFFFFF) == 0xFFFFFF;
  return document.Printing || whitePage ? kSilver : table.BorderColorLight;
}

int ThtmlTable::Paint(QPainter& canvas, const TPaintArgs& given) {
  // The cells' content paints one table deeper.
  TPaintArgs args = given;
  ++args.Context.TableNesting;
  const int result = PaintY + Height;
  const int yOffset = OwnerList->YOffset();
  const int clipTop = args.ARect.top();
  const int clipBottom = args.ARect.top() + args.ARect.height();
  const int screenTop = PaintY - yOffset;
  if (screenTop + Height < clipTop || screenTop >= clipBottom) return result;
  DrawX = args.X;
  DrawY = PaintY;
  if (m_rowTops.size() != Rows.size()) return result;
  const auto [first, last] = RowStretch(clipTop + yOffset, clipBottom + yOffset);
  for (int r = first; r < last; ++r) {
    TCellList& row = *Rows[static_cast<std::size_t>(r)];
    const int y = m_rowTops[static_cast<std::size_t>(r)];
    if (y - yOffset + row.RowSpanHeight < clipTop || y - yOffset >= clipBottom) continue;
    int x = args.X;
    for (int c = 0; c < row.Count(); ++c) {
      if (!row.IsPlaceholder(c)) PaintCell(canvas, *row.Cells[static_cast<std::size_t>(c)], row, x, y, args);
      if (c < NumCols) x += Widths[static_cast<std::size_t>(c)];
    }
  }
  return result;
}

void ThtmlTable::PaintCell(QPainter& canvas, TCellObj& cell, const TCellList&, int x, int y, const TPaintArgs& args) {
  const int yOffset = OwnerList->YOffset();
  const int s = CellSpacing;
  const int w = cell.Wd, h = cell.Ht;
  const int clipTop = args.ARect.top();
  const int clipBottom = args.ARect.top() + args.ARect.height();
  // The border box; collapsed cells (negative spacing) overlap their neighbours below by a pixel.
  const int left = x + s, top = y + s - yOffset, right = x + w, bottom = y + h - yOffset + (s < 0 ? s : 0);
  const QRect borderBox(left, top, std::max(0, right - left), std::max(0, bottom - top));
  const int padLeft = left + cell.BrdLeft, padTop = top + cell.BrdTop;
  const int padRight = right - cell.BrdRight, padBottom = bottom - cell.BrdBottom;
  if (cell.Cell) cell.Cell->MyRect = borderBox;
  if (top > clipBottom) return;

  const int bandTop = std::max(padTop, clipTop - 2);
  const int bandBottom = std::min(padBottom, clipBottom);
  if (cell.Cell && cell.Cell->BkGnd && bandBottom > bandTop && OwnerList->PaintsBackgrounds(true)) {
    int fillLeft = padLeft, fillTop = bandTop, fillRight = padRight, fillBottom = bandBottom;
    if (cell.HasBorderStyle) {
      if (cell.BrdRight > 0) ++fillRight;
      if (cell.BrdBottom > 0) ++fillBottom;
    } else if (BorderWidth > 0) {
      --fillLeft;
      --fillTop;
    }
    FillRect(canvas, fillLeft, fillTop, fillRight, fillBottom, ToQColor(cell.Cell->BkColor));
  }
  if (cell.Looks && !cell.Looks->BackgroundImage.empty() && bandBottom > bandTop &&
      OwnerList->PaintsBackgrounds(true)) {
    const QRect paddingBox(padLeft, padTop, std::max(0, padRight - padLeft), std::max(0, padBottom - padTop));
    cell.Looks->Picture.Paint(canvas, *OwnerList, cell.Looks->BackgroundImage, cell.Looks->BkPosition, paddingBox,
                              QRect(padLeft, bandTop, paddingBox.width(), bandBottom - bandTop));
  }

  if (cell.HasContent() && y - yOffset < clipBottom + 200 && y - yOffset + h >= -199) {
    canvas.save();
    canvas.setClipRect(QRect(x + s, y + s - yOffset, std::max(0, w - s), std::max(0, h - s)), Qt::IntersectClip);
    TPaintArgs content = args;
    content.X = x + s + cell.PadLeft + cell.BrdLeft;
    cell.Cell->Paint(canvas, content, w - cell.HzSpace - s, y + cell.PadTop + cell.BrdTop + cell.YIndent);
    canvas.restore();
  }
  if (cell.Cell) cell.Cell->PaintedY = y;

  const int frameTop = std::max(-200, top), frameBottom = std::min(5000, y + h - yOffset - 1);
  if (cell.HasBorderStyle) {
    const TBorderLook look = cell.Looks ? cell.Looks->BorderLook : TBorderLook{};
    const bool plainFrame = cell.BrdLeft == 1 && cell.BrdTop == 1 && cell.BrdRight == 1 && cell.BrdBottom == 1 &&
                            std::all_of(look.Styles.begin(), look.Styles.end(), [](int st) { return st == 1; }) &&
                            std::all_of(look.Colors.begin(), look.Colors.end(),
                                        [&](TColor colour) { return colour == look.Colors.Left(); });
    if (plainFrame) {
      const QColor colour = ToQColor(look.Colors.Left());
      DrawOnePixelFrame(canvas, x + s, frameTop, x + w - 1, frameBottom, colour, colour);
    } else {
      DrawBorder(canvas, borderBox, QRect(padLeft, padTop, std::max(0, padRight - padLeft), std::max(0, padBottom - padTop)),
                 OwnerList->Printing, cell.Cell ? cell.Cell->BkColor : ColorNone, look);
    }
  } else if (BorderWidth > 0 && cell.Cell) {
    // A sunken frame: dark above and left, light below and right. Empty cells have theirs too, so that
    // the grid of a bordered table stays whole.
    DrawOnePixelFrame(canvas, x + s, frameTop, x + w - 1, frameBottom, ToQColor(BorderColorDark),
                      ToQColor(LightColour(*this, *OwnerList)));
  }
}

template <typename Visit>
bool ThtmlTable::VisitCellsAt(int X, int Y, Visit visit) {
  if (Y < TopY || Y >= BottomY || X < DrawX || X > DrawX + TableWidth) return false;
  if (m_rowTops.size() != Rows.size()) return false;
  const auto [first, last] = RowStretch(Y, Y);
  for (int r = first; r < last; ++r) {
    const TCellList& row = *Rows[static_cast<std::size_t>(r)];
    int x = DrawX;
    for (int c = 0; c < row.Count(); ++c) {
      const TCellObj* slot = row.Slot(c);
      if (!slot) {
        if (c < NumCols) x += Widths[static_cast<std::size_t>(c)];
        continue;
      }
      const TCellObj& cell = *slot;
      if (cell.Cell && x <= X && X < x + cell.Wd && cell.Cell->PaintedY <= Y &&
          Y < cell.Cell->PaintedY + cell.Ht)
        return visit(*cell.Cell);
      if (c < NumCols) x += Widths[static_cast<std::size_t>(c)];
    }
  }
  return false;
}

int ThtmlTable::LinkAt(int X, int Y, TLinkAtResult& result) {
  int flags = 0;
  VisitCellsAt(X, Y, [&](TCellObjCell& cell) {
    flags = cell.LinkAt(X, Y, result);
    return true;
  });
  return flags;
}

bool ThtmlTable::ObjectAt(int X, int Y, TObjectAtPoint& result) {
  bool found = false;
  VisitCellsAt(X, Y, [&](TCellObjCell& cell) {
    found = cell.ObjectAt(X, Y, result);
    return true;
  });
  return found;
}

int ThtmlTable::CharIndexAt(int X, int Y, TCharAtPoint& result) {
  int index = -1;
  VisitCellsAt(X, Y, [&](TCellObjCell& cell) {
    index = cell.CharIndexAt(X, Y, result);
    return true;
  });
  return index;
}

namespace {

// Calls visit on each cell's content, row by row and slot by slot, until it answers true.
template <typename Visit>
bool ForEachCell(const std::vector<std::unique_ptr<TCellList>>& rows, Visit visit) {
  for (const auto& row : rows)
    for (const auto& cell : row->Cells)
      if (cell && cell->Cell && visit(*cell->Cell)) return true;
  return false;
}

template <typename Visit>
bool ForEachCellBackward(const std::vector<std::unique_ptr<TCellList>>& rows, Visit visit) {
  for (auto row = rows.rbegin(); row != rows.rend(); ++row)
    for (auto cell = (*row)->Cells.rbegin(); cell != (*row)->Cells.rend(); ++cell)
      if (*cell && (*cell)->Cell && visit(*(*cell)->Cell)) return true;
  return false;
}

}  // namespace

int ThtmlTable::FindText(int from, const std::u16string& text, bool matchCase) {
  int at = -1;
  ForEachCell(Rows, [&](TCellObjCell& cell) { return (at = cell.FindText(from, text, matchCase)) >= 0; });
  return at;
}

int ThtmlTable::FindTextBackward(int from, const std::u16string& text, bool matchCase) {
  int at = -1;
  ForEachCellBackward(Rows, [&](TCellObjCell& cell) { return (at = cell.FindTextBackward(from, text, matchCase)) >= 0; });
  return at;
}

int ThtmlTable::SourcePosOf(int index) {
  int at = -1;
  ForEachCell(Rows, [&](TCellObjCell& cell) { return (at = cell.SourcePosOf(index)) >= 0; });
  return at;
}

int ThtmlTable::DocPosOf(int sourcePosition, bool previous) {
  int at = -1;
  if (previous) {
    ForEachCellBackward(Rows, [&](TCellObjCell& cell) { return (at = cell.DocPosOf(sourcePosition, true)) >= 0; });
  } else {
    ForEachCell(Rows, [&](TCellObjCell& cell) { return (at = cell.DocPosOf(sourcePosition, false)) >= 0; });
  }
  return at;
}

bool ThtmlTable::CharIndexToXY(int index, int& X, int& Y) {
  if (CharCount <= 0 || index < FirstCharIndex || index > FirstCharIndex + CharCount) return false;
  return ForEachCell(Rows, [&](TCellObjCell& cell) { return cell.CharIndexToXY(index, X, Y); });
}

bool ThtmlTable::CharAt(int index, char16_t& ch, TSectionBase*& object) {
  if (CharCount <= 0 || index < FirstCharIndex || index > FirstCharIndex + CharCount) return false;
  return ForEachCell(Rows, [&](TCellObjCell& cell) { return cell.CharAt(index, ch, object); });
}

void ThtmlTable::CopySelection() {
  SelTextCount* collector = OwnerList->Collector();
  if (!collector) return;
  // Row by row and cell by cell, so that the collector can set the cells of a row apart; the slots a
  // spanning cell covers hold no cell of their own.
  collector->BeginTable();
  for (const auto& row : Rows) {
    collector->BeginRow();
    for (const auto& cell : row->Cells) {
      if (!cell || !cell->Cell) continue;
      collector->BeginCell();
      cell->Cell->CopySelection();
      collector->EndCell();
    }
    collector->EndRow();
  }
  collector->EndTable();
}

}  // namespace corvane

namespace corvane {

void ThtmlTable::CollectSections(std::vector<TSection*>& sections) {
  for (const auto& row : Rows)
    for (const auto& cell : row->Cells)
      if (cell && cell->Cell) cell->Cell->CollectSections(sections);
}

}  // namespace corvane
