#include "layout/table.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "html/attribute_list.h"
#include "layout/indent_manager.h"
#include "layout/layout_math.h"
#include "layout/section_list.h"
#include "style/border_look.h"
#include "style/style_context.h"
#include "style/style_units.h"

namespace corvane {

namespace {

int ClampPixels(int value) { return std::clamp(value, 0, TCellObj::kMaxPixels); }

// A HEIGHT or WIDTH attribute: pixels, or a percentage when its text has "%".
struct TSize {
  int Value = 0;
  bool Percent = false;
};
TSize SizeOf(const TAttribute& attribute) {
  return {attribute.Value, attribute.Text.find('%') != std::string::npos};
}

// Rounds a / b to the nearest integer, halves to the even neighbour (b > 0).
std::int64_t RoundedQuotient(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(std::nearbyint(static_cast<double>(a) / static_cast<double>(b)));
}

// What a cell takes from its style set: the same for every set made alike, so that the cells of a long
// table share one reading.
struct TCellStyle {
  int EmSize = 0;
  int ExSize = 0;
  int VAlign = 0;  // 0: none given
  int SpecWd = 0;  // 0: none given
  bool WidthAsPercent = false;
  int SpecHt = 0;  // 0: none given
  TColor Background = ColorNone;
  std::string BackgroundImage;
  TBackgroundPosition BkPosition;
  TPageBreaks PageBreaks;
  bool HasBorderStyle = false;
  std::array<int, 4> Borders{};   // top, right, bottom, left
  TBorderLook BorderLook;
  std::array<int, 4> Paddings{};  // top, right, bottom, left
};

TCellStyle ReadCellStyle(TProperties& properties) {
  TCellStyle style;
  properties.Font();
  style.EmSize = properties.EmSize();
  style.ExSize = properties.ExSize();
  const double ppi = properties.Context().PixelsPerInch();
  const std::optional<int> align = properties.GetVerticalAlign();
  if (align == 1 || align == 2 || align == 4) style.VAlign = *align;
  const TPropValue& width = properties.Value(Prop::Width);
  if (width.IsText()) {
    const std::string_view text = width.AsText();
    if (text.find('%') != std::string_view::npos) {
      const int percent = LengthToPixels(text, TLengthKind::Relative, 100, style.EmSize, style.ExSize, 0, ppi);
      if (percent > 0 && percent < 100) {
        style.SpecWd = percent * 10;
        style.WidthAsPercent = true;
      }
    } else {
      const int pixels = LengthToPixels(text, TLengthKind::Absolute, 0, style.EmSize, style.ExSize, 0, ppi);
      if (pixels > 0) style.SpecWd = ClampPixels(pixels);
    }
  }
  const TPropValue& height = properties.Value(Prop::Height);
  if (height.IsText() && height.AsText().find('%') == std::string_view::npos) {
    const int pixels = LengthToPixels(height.AsText(), TLengthKind::Absolute, 0, style.EmSize, style.ExSize, 0, ppi);
    if (pixels > 0) style.SpecHt = ClampPixels(pixels);
  }
  style.Background = properties.GetBackgroundColor();
  if (const std::optional<std::string> image = properties.GetBackgroundImage(); image) style.BackgroundImage = *image;
  style.BkPosition = properties.GetBackgroundPosition(style.EmSize, style.ExSize);
  style.PageBreaks = properties.GetPageBreaks();
  const TBoxValues box = properties.GetBoxValues();
  style.HasBorderStyle = properties.HasBorderStyle();
  TMarginArray pixels;
  ConvertBoxValues(box, 0, 0, style.EmSize, style.ExSize, ppi, pixels);
  if (style.HasBorderStyle) {
    style.Borders = {std::clamp(pixels[Prop::BorderTopWidth], 0, 100), std::clamp(pixels[Prop::BorderRightWidth], 0, 100),
                     std::clamp(pixels[Prop::BorderBottomWidth], 0, 100), std::clamp(pixels[Prop::BorderLeftWidth], 0, 100)};
    style.BorderLook = BorderLookOf(pixels);
  }
  ConvertCellPaddings(box, style.EmSize, style.ExSize, ppi, pixels);
  style.Paddings = {std::min(pixels[Prop::PaddingTop], 1000), std::min(pixels[Prop::PaddingRight], 1000),
                    std::min(pixels[Prop::PaddingBottom], 1000), std::min(pixels[Prop::PaddingLeft], 1000)};
  return style;
}

// The reading of the last set asked for, kept while the set it was made from lives.
const TCellStyle& CellStyleOf(TProperties& properties) {
  struct TLast {
    std::weak_ptr<const TProperties> Template;
    TCellStyle Style;
  };
  static thread_local TLast last;
  static thread_local TCellStyle fresh;
  const std::shared_ptr<const TProperties> shape = properties.ShapeTemplate();
  if (shape && last.Template.lock() == shape) return last.Style;
  if (!shape) {
    fresh = ReadCellStyle(properties);
    return fresh;
  }
  last.Style = ReadCellStyle(properties);
  last.Template = shape;
  return last.Style;
}

// Keeps the table nesting of a layout or paint counted, also when it fails.
class TNestingGuard {
 public:
  explicit TNestingGuard(int& level) : m_level(level) { ++m_level; }
  ~TNestingGuard() { --m_level; }
  TNestingGuard(const TNestingGuard&) = delete;
  TNestingGuard& operator=(const TNestingGuard&) = delete;

 private:
  int& m_level;
};

}  // namespace

TCellObjCell::TCellObjCell(TSectionList* ownerList) : TCell(ownerList) { OwnerTag = "td"; }

int TCellObjCell::LinkAt(int X, int Y, TLinkAtResult& result) {
  int flags = TCell::LinkAt(X, Y, result);
  if (!MyRect.contains(X, Y - OwnerList->YOffset())) return flags;
  if (!Link) return flags;
  if (!(flags & LinkAtTitle) && !Link->Title.empty()) {
    result.Title = Link->Title;
    flags |= LinkAtTitle;
  }
  if (!(flags & LinkAtLink) && !Link->Url.empty()) {
    TRunTarget target;
    target.Url = Link->Url;
    target.Target = Link->Target;
    result.Link = target;
    flags |= LinkAtLink;
  }
  return flags;
}

TCellObj::TCellObj(TSectionList* ownerList, TProperties& properties, const TAttributeList* attributes, int vAlign)
    : VAlign(vAlign), Cell(std::make_unique<TCellObjCell>(ownerList)) {
  TStyleContext& context = properties.Context();
  if (attributes) {
    for (const auto& attribute : *attributes) {
      switch (attribute->Symbol) {
        case TagSymbol::SymHref:
          if (!attribute->Text.empty()) Cell->MakeLink().Url = attribute->Text;
          break;
        case TagSymbol::SymTarget:
          if (!attribute->Text.empty()) Cell->MakeLink().Target = attribute->Text;
          break;
        case TagSymbol::SymBgcolor:
          if (auto colour = context.ColorFromString(attribute->Text)) {
            BkGnd = true;
            BkColor = *colour;
          }
          break;
        case TagSymbol::SymBackground:
          if (!attribute->Text.empty()) MakeLooks().BackgroundImage = attribute->Text;
          break;
        case TagSymbol::SymColspan:
          if (attribute->Value > 1) ColSpan = std::min(attribute->Value, kMaxColSpan);
          break;
        case TagSymbol::SymRowspan:
          if (attribute->Value > 1) RowSpan = std::min(attribute->Value, kMaxRowSpan);
          break;
        case TagSymbol::SymWidth: {
          const TSize size = SizeOf(*attribute);
          if (!size.Percent && size.Value > 0) {
            SpecWd = ClampPixels(size.Value);
          } else if (size.Percent && size.Value >= 1 && size.Value <= 100) {
            SpecWd = size.Value * 10;
            WidthAsPercent = true;
          }
          break;
        }
        case TagSymbol::SymHeight: {
          const TSize size = SizeOf(*attribute);
          if (!size.Percent) {
            SpecHt = ClampPixels(size.Value);
          } else {
            SpecHtPercent = std::clamp(size.Value, 0, 100);
          }
          break;
        }
        default:
          break;
      }
    }
  }
  const TCellStyle& style = CellStyleOf(properties);
  EmSize = style.EmSize;
  ExSize = style.ExSize;
  if (style.VAlign != 0) VAlign = style.VAlign;
  if (style.SpecWd > 0) {
    SpecWd = style.SpecWd;
    WidthAsPercent = style.WidthAsPercent;
  }
  if (style.SpecHt > 0) SpecHt = style.SpecHt;
  if (!properties.TitleText().empty()) Cell->MakeLink().Title = properties.TitleText();
  if (style.Background != ColorNone) {
    BkGnd = true;
    BkColor = style.Background;
  }
  if (!style.BackgroundImage.empty()) MakeLooks().BackgroundImage = style.BackgroundImage;
  if (style.BkPosition != TBackgroundPosition{}) MakeLooks();
  if (Looks) Looks->BkPosition = style.BkPosition;
  PageBreaks = style.PageBreaks;
  HasBorderStyle = style.HasBorderStyle;
  if (HasBorderStyle) {
    BrdTop = style.Borders[0];
    BrdRight = style.Borders[1];
    BrdBottom = style.Borders[2];
    BrdLeft = style.Borders[3];
    MakeLooks().BorderLook = style.BorderLook;
  }
  PadTop = style.Paddings[0];
  PadRight = style.Paddings[1];
  PadBottom = style.Paddings[2];
  PadLeft = style.Paddings[3];
}

TCellObj::TCellObj(TSectionList*, int rowSpan) : ColSpan(0), RowSpan(rowSpan) {}

TCellObj::~TCellObj() = default;

const std::string& TCellObj::BackgroundImage() const {
  static const std::string none;
  return Looks ? Looks->BackgroundImage : none;
}

TCellList::TCellList(const TAttributeList* attributes, TProperties& properties) {
  TStyleContext& context = properties.Context();
  if (attributes) {
    for (const auto& attribute : *attributes) {
      switch (attribute->Symbol) {
        case TagSymbol::SymBgcolor:
          if (auto colour = context.ColorFromString(attribute->Text)) {
            BkGnd = true;
            BkColor = *colour;
          }
          break;
        case TagSymbol::SymBackground:
          BkImage = attribute->Text;
          break;
        case TagSymbol::SymHeight: {
          const TSize size = SizeOf(*attribute);
          if (!size.Percent) {
            SpecRowHeight = ClampPixels(size.Value);
          } else {
            SpecRowHeightPercent = std::clamp(size.Value, 0, 100);
          }
          break;
        }
        default:
          break;
      }
    }
  }
  if (const TColor background = properties.GetBackgroundColor(); background != ColorNone) {
    BkGnd = true;
    BkColor = background;
  }
  if (const std::optional<std::string> image = properties.GetBackgroundImage(); image && !image->empty())
    BkImage = *image;
  PageBreaks = properties.GetPageBreaks();
}

TCellList::~TCellList() = default;

void TCellList::Add(std::unique_ptr<TCellObj> cell) {
  PageBreaks.Before = PageBreaks.Before || cell->PageBreaks.Before;
  PageBreaks.After = PageBreaks.After || cell->PageBreaks.After;
  PageBreaks.InsideAvoid = PageBreaks.InsideAvoid || cell->PageBreaks.InsideAvoid;
  if (SpecRowHeight > 0) {
    cell->SpecHt = std::max(SpecRowHeight, cell->SpecHt);
  } else if (SpecRowHeightPercent > 0) {
    cell->SpecHtPercent = std::max(SpecRowHeightPercent, cell->SpecHtPercent);
  }
  Cells.push_back(std::move(cell));
}

ThtmlTable::ThtmlTable(TSectionList* ownerList, TProperties& properties, const TAttributeList* attributes)
    : TSectionBase(ownerList), BorderColorLight(SystemColor(20)), BorderColorDark(SystemColor(16)) {
  TStyleContext& context = properties.Context();
  if (attributes) {
    for (const auto& attribute : *attributes) {
      switch (attribute->Symbol) {
        case TagSymbol::SymBorder:
          BorderWidth = std::clamp(attribute->Value, 0, 100);
          break;
        case TagSymbol::SymCellpadding:
          if (attribute->Value >= 0) CellPadding = std::min(attribute->Value, 50);
          break;
        case TagSymbol::SymCellspacing:
          if (attribute->Value >= -1) CellSpacing = std::min(attribute->Value, 40);
          break;
        case TagSymbol::SymBordercolor:
          if (auto colour = context.ColorFromString(attribute->Text)) BorderColorLight = BorderColorDark = *colour;
          break;
        case TagSymbol::SymBordercolorlight:
          if (auto colour = context.ColorFromString(attribute->Text)) BorderColorLight = *colour;
          break;
        case TagSymbol::SymBordercolordark:
          if (auto colour = context.ColorFromString(attribute->Text)) BorderColorDark = *colour;
          break;
        default:
          break;
      }
    }
  }
  if (properties.IsCollapsedBorders()) CellSpacing = -1;
}

ThtmlTable::~ThtmlTable() = default;

void ThtmlTable::Initialize() {
  if (Initialized) return;
  CompleteGrid();
  Initialized = true;
}

void ThtmlTable::CompleteGrid() {
  const int rowCount = static_cast<int>(Rows.size());
  NumCols = 0;
  // Hostile spans must not make the grid take gigabytes: every cell keeps its own slot, the column spans
  // share what the budget holds beyond those in the order they come (a span is cut to what is left), and
  // row spans stop at the row that would pass it (step 2).
  const long long budget = OwnerList ? OwnerList->TablePlaceBudget : kMaxTablePlaces;
  bool spansCut = false;
  long long ownSlots = 0;  // the slots the rows take before row spans add theirs
  long long spareSlots = budget;  // what column spans may still add to the cells' own slots
  for (const auto& row : Rows) spareSlots -= row->Count();
  // 1. Cells completed, and the columns a cell spans reserved by placeholders after it.
  for (int r = 0; r < rowCount; ++r) {
    TCellList& row = *Rows[static_cast<std::size_t>(r)];
    std::vector<std::unique_ptr<TCellObj>> rowSlots;
    rowSlots.reserve(row.Cells.size());
    for (auto& owned : row.Cells) {
      TCellObj& cell = *owned;
      if (row.BkGnd && !cell.BkGnd) {
        cell.BkGnd = true;
        cell.BkColor = row.BkColor;
      }
      if (cell.PadTop < 0) cell.PadTop = CellPadding;
      if (cell.PadRight < 0) cell.PadRight = CellPadding;
      if (cell.PadBottom < 0) cell.PadBottom = CellPadding;
      if (cell.PadLeft < 0) cell.PadLeft = CellPadding;
      if (!cell.HasBorderStyle && BorderWidth > 0) cell.BrdTop = cell.BrdRight = cell.BrdBottom = cell.BrdLeft = 1;
      cell.HzSpace = cell.PadLeft + cell.BrdLeft + cell.BrdRight + cell.PadRight;
      cell.VrSpace = cell.PadTop + cell.BrdTop + cell.BrdBottom + cell.PadBottom;
      if (cell.BackgroundImage().empty() && !row.BkImage.empty()) cell.MakeLooks().BackgroundImage = row.BkImage;
      if (!cell.WidthAsPercent && cell.SpecWd > 0) UseAbsolute = true;
      if (BkGnd && !cell.BkGnd) {
        cell.BkGnd = true;
        cell.BkColor = BkColor;
      }
      if (cell.Cell) {
        cell.Cell->BkGnd = cell.BkGnd;
        cell.Cell->BkColor = cell.BkColor;
      }
      cell.RowSpan = std::min(cell.RowSpan, rowCount - r);
      if (cell.ColSpan - 1 > spareSlots) {
        cell.ColSpan = static_cast<int>(std::max(spareSlots, 0LL)) + 1;
        spansCut = true;
      }
      spareSlots -= cell.ColSpan - 1;
      ownSlots += cell.ColSpan;
      const int span = cell.ColSpan;
      const int placeholderRows = cell.RowSpan >= 2 ? cell.RowSpan : 1;
      rowSlots.push_back(std::move(owned));
      for (int k = 1; k < span; ++k) rowSlots.push_back(std::make_unique<TCellObj>(OwnerList, placeholderRows));
    }
    row.Cells = std::move(rowSlots);
    NumCols = std::max(NumCols, row.Count());
  }
  // 2. Row spans: each slot that spans rows reserves its column in the rows below it. Done row by row:
  // a row takes a placeholder wherever a slot above still covers the column, its own rowSlots elsewhere.
  // A row takes at most its own slots and one for each column up to the last one covered from above;
  // when that, with the slots placed and those the rows below take of their own, would pass the budget,
  // every row span still reaching down ends above the row.
  std::vector<int> coveredUntil;  // by column: the last row a spanning slot above covers
  std::vector<std::pair<TCellObj*, int>> coveredBy;  // by column: that slot and its row
  long long placed = 0;
  long long ownBelow = ownSlots;
  for (int r = 0; r < rowCount; ++r) {
    TCellList& row = *Rows[static_cast<std::size_t>(r)];
    int lastCovered = -1;
    for (int c = 0; c < static_cast<int>(coveredUntil.size()); ++c)
      if (coveredUntil[static_cast<std::size_t>(c)] >= r) lastCovered = c;
    ownBelow -= row.Count();
    if (lastCovered >= 0 && placed + row.Count() + lastCovered + 1 + ownBelow > budget) {
      for (std::size_t c = 0; c < coveredUntil.size(); ++c) {
        if (coveredUntil[c] < r) continue;
        coveredUntil[c] = r - 1;
        coveredBy[c].first->RowSpan = r - coveredBy[c].second;
      }
      lastCovered = -1;
      spansCut = true;
    }
    std::vector<std::unique_ptr<TCellObj>> rowSlots;
    rowSlots.reserve(row.Cells.size() + static_cast<std::size_t>(lastCovered + 1));
    std::size_t next = 0;
    for (int c = 0;; ++c) {
      const bool covered = c < static_cast<int>(coveredUntil.size()) && coveredUntil[static_cast<std::size_t>(c)] >= r;
      if (covered || (next >= row.Cells.size() && c <= lastCovered)) {
        rowSlots.push_back(std::make_unique<TCellObj>(OwnerList, 0));
        continue;
      }
      if (next >= row.Cells.size()) break;
      std::unique_ptr<TCellObj> slot = std::move(row.Cells[next++]);
      if (slot->RowSpan >= 2) {
        slot->RowSpan = std::min(slot->RowSpan, rowCount - r);
        if (static_cast<int>(coveredUntil.size()) <= c) {
          coveredUntil.resize(static_cast<std::size_t>(c) + 1, -1);
          coveredBy.resize(static_cast<std::size_t>(c) + 1, {nullptr, 0});
        }
        int& until = coveredUntil[static_cast<std::size_t>(c)];
        until = std::max(until, r + slot->RowSpan - 1);
        coveredBy[static_cast<std::size_t>(c)] = {slot.get(), r};
      }
      rowSlots.push_back(std::move(slot));
    }
    row.Cells = std::move(rowSlots);
    placed += row.Count();
  }
  if (spansCut && OwnerList) OwnerList->TableSpansCut = true;
  // 3. Trailing columns of placeholders only: the cell that spans them gives them up. Column by column
  // from the right, while every row as long as the grid ends with a placeholder, that last column goes:
  // each such row loses its last slot and the nearest cell to its left spanning more than one column
  // loses a column. A row of c slots, t of them trailing placeholders, joins the rows as long as the
  // grid after NumCols - c columns went and ends with a real cell after t more, so the number of columns
  // that go is the least of NumCols - c + t; each row then gives up its slots in one walk.
  if (NumCols > 0) {
    int drop = 0;
    bool longest = false;
    for (const auto& row : Rows) longest = longest || row->Count() == NumCols;
    if (longest) {
      drop = NumCols;
      for (const auto& row : Rows) {
        const int count = row->Count();
        if (count > NumCols) continue;
        int trailing = 0;
        while (trailing < count && row->Cells[static_cast<std::size_t>(count - 1 - trailing)]->IsPlaceholder()) ++trailing;
        drop = std::min(drop, NumCols - count + trailing);
      }
    }
    for (const auto& row : Rows) {
      const int count = row->Count();
      if (count > NumCols) continue;
      std::vector<std::unique_ptr<TCellObj>>& rowCells = row->Cells;
      int spanning = count - 1;  // the search for a spanning cell only ever moves left
      for (int k = 0; k < drop - (NumCols - count); ++k) {
        rowCells.pop_back();
        spanning = std::min(spanning, static_cast<int>(rowCells.size()) - 1);
        while (spanning >= 0 && rowCells[static_cast<std::size_t>(spanning)]->ColSpan <= 1) --spanning;
        if (spanning >= 0) --rowCells[static_cast<std::size_t>(spanning)]->ColSpan;
      }
    }
  }
  // 4. The longest row.
  NumCols = 0;
  for (const auto& row : Rows) NumCols = std::max(NumCols, row->Count());
  // 5. Column declarations give their widths to the rowSlots of their columns.
  if (!ColInfo.empty()) {
    for (const auto& row : Rows) {
      for (int i = 0; i < row->Count() && i < NumCols && i < static_cast<int>(ColInfo.size()); ++i) {
        const TColObj& column = ColInfo[static_cast<std::size_t>(i)];
        if (column.ColWidth <= 0) continue;
        TCellObj& slot = *row->Cells[static_cast<std::size_t>(i)];
        slot.SpecWd = column.ColWidth;
        slot.WidthAsPercent = column.ColAsPercent;
        if (!slot.WidthAsPercent) UseAbsolute = true;
      }
    }
    ColInfo.clear();
    ColInfo.shrink_to_fit();
  }
  // 6.
  const std::size_t columns = static_cast<std::size_t>(NumCols);
  Widths.assign(columns, 0);
  MaxWidths.assign(columns, 0);
  MinWidths.assign(columns, 0);
  Percents.assign(columns, 0);
}

void ThtmlTable::CellMinMax(TCellObj& cell, int& min, int& max) {
  min = max = 0;
  if (cell.Cell) cell.Cell->GetMinMaxWidth(min, max);
  const int d = cell.HzSpace + CellSpacing;
  min += d;
  max += d;
}

namespace {

// The cells of a table in order of their span (rows, or columns), each span in row and slot order, so
// that a computation by span levels visits only the spans present.
struct TSpanBuckets {
  struct TAt {
    int Row;
    int Column;
  };
  std::vector<std::pair<int, std::vector<TAt>>> Levels;  // ascending span
};

template <typename SpanOf>
TSpanBuckets BucketCells(const std::vector<std::unique_ptr<TCellList>>& rows, SpanOf spanOf) {
  std::vector<std::pair<int, TSpanBuckets::TAt>> cells;
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const TCellList& row = *rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < row.Count(); ++c) {
      const TCellObj& cell = *row.Cells[static_cast<std::size_t>(c)];
      if (cell.IsPlaceholder()) continue;
      cells.push_back({spanOf(cell), {r, c}});
    }
  }
  std::stable_sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  TSpanBuckets buckets;
  for (const auto& [span, at] : cells) {
    if (buckets.Levels.empty() || buckets.Levels.back().first != span) buckets.Levels.push_back({span, {}});
    buckets.Levels.back().second.push_back(at);
  }
  return buckets;
}

}  // namespace

void ThtmlTable::GetMinMaxAbs(int& Min, int& Max) {
  std::fill(MinWidths.begin(), MinWidths.end(), 0);
  std::fill(MaxWidths.begin(), MaxWidths.end(), 0);
  Heights.clear();
  const TSpanBuckets buckets = BucketCells(Rows, [](const TCellObj& cell) { return cell.ColSpan; });
  for (const auto& level : buckets.Levels) {
    const int span = level.first;
    for (const TSpanBuckets::TAt& at : level.second) {
      TCellObj& cell = *Rows[static_cast<std::size_t>(at.Row)]->Cells[static_cast<std::size_t>(at.Column)];
      const int c = at.Column;
      const int last = std::min(NumCols, c + span);
      int min = 0, max = 0;
      CellMinMax(cell, min, max);
      const bool pixelWidth = !cell.WidthAsPercent && cell.SpecWd > 0;
      if (span == 1) {
        if (pixelWidth) min = max = std::max(min, cell.SpecWd + cell.HzSpace + CellSpacing);
        MinWidths[static_cast<std::size_t>(c)] = std::max(MinWidths[static_cast<std::size_t>(c)], min);
        MaxWidths[static_cast<std::size_t>(c)] = std::max(MaxWidths[static_cast<std::size_t>(c)], max);
        continue;
      }
      std::int64_t sumMin = 0, sumMax = 0;
      for (int k = c; k < last; ++k) {
        sumMin += MinWidths[static_cast<std::size_t>(k)];
        sumMax += MaxWidths[static_cast<std::size_t>(k)];
      }
      if (pixelWidth) {
        min = std::max(min, cell.SpecWd);
        max = min;
      }
      auto spread = [&](std::vector<int>& widths, std::int64_t sum, int target) {
        if (sum >= target) return;
        if (sum <= 0) {
          widths[static_cast<std::size_t>(c)] = target;
          return;
        }
        const int extra = static_cast<int>(target - sum);
        const int base = static_cast<int>(std::min<std::int64_t>(sum, INT_MAX));
        for (int k = c; k < last; ++k) widths[static_cast<std::size_t>(k)] += MulDiv(widths[static_cast<std::size_t>(k)], extra, base);
      };
      spread(MinWidths, sumMin, min);
      spread(MaxWidths, sumMax, max);
    }
  }
  std::int64_t sumMin = 0, sumMax = 0;
  for (int w : MinWidths) sumMin += w;
  for (int w : MaxWidths) sumMax += w;
  Min = static_cast<int>(std::min<std::int64_t>(sumMin, INT_MAX / 2));
  Max = static_cast<int>(std::min<std::int64_t>(sumMax, INT_MAX / 2));
}

void ThtmlTable::GetMinMaxPercent(int D, int& Min, int& Max) {
  std::fill(MinWidths.begin(), MinWidths.end(), 0);
  std::fill(MaxWidths.begin(), MaxWidths.end(), 0);
  std::fill(Percents.begin(), Percents.end(), 0);
  Heights.clear();
  const TSpanBuckets buckets = BucketCells(Rows, [](const TCellObj& cell) { return cell.ColSpan; });
  for (const auto& level : buckets.Levels) {
    const int span = level.first;
    for (const TSpanBuckets::TAt& at : level.second) {
      TCellObj& cell = *Rows[static_cast<std::size_t>(at.Row)]->Cells[static_cast<std::size_t>(at.Column)];
      const int c = at.Column;
      const int last = std::min(NumCols, c + span);
      int min = 0, max = 0;
      CellMinMax(cell, min, max);
      int p = 0;
      if (cell.WidthAsPercent) {
        p = cell.SpecWd;
      } else if (cell.SpecWd > 0 && D > 0) {
        p = std::min(1000, MulDiv(cell.SpecWd, 1000, D));
      }
      if (span == 1) {
        const std::size_t k = static_cast<std::size_t>(c);
        MaxWidths[k] = std::max(MaxWidths[k], max);
        MinWidths[k] = std::max(MinWidths[k], min);
        Percents[k] = std::max(Percents[k], p);
        continue;
      }
      std::int64_t sumMax = 0, sumMin = 0, sumPct = 0;
      int free = 0;  // columns without a percentage
      for (int k = c; k < last; ++k) {
        sumMax += MaxWidths[static_cast<std::size_t>(k)];
        sumMin += MinWidths[static_cast<std::size_t>(k)];
        const int percent = Percents[static_cast<std::size_t>(k)];
        if (percent > 0) {
          sumPct += percent;
        } else {
          ++free;
        }
      }
      if (c == 0 && last >= NumCols) {
        sumMin = std::max<std::int64_t>(sumMin, D);
        sumMax = std::max<std::int64_t>(sumMax, D);
      }
      const std::int64_t minExcess = min - sumMin;
      const std::int64_t maxExcess = max - sumMax;
      const int sumPercent = static_cast<int>(std::min<std::int64_t>(sumPct, INT_MAX / 2));
      if (p > 0 || sumPct > 0) {
        const int share = free > 0 ? std::max(0, (p - sumPercent) / free) : 0;
        if (free == 0 && sumPercent + 1 < p) {
          for (int k = c; k < last; ++k)
            Percents[static_cast<std::size_t>(k)] = MulDiv(Percents[static_cast<std::size_t>(k)], p, sumPercent);
        } else if (share > 0) {
          for (int k = c; k < last; ++k)
            if (Percents[static_cast<std::size_t>(k)] <= 0) Percents[static_cast<std::size_t>(k)] = share;
        }
        const int total = std::max(sumPercent, p);
        if (minExcess > 0) {
          const int excess = static_cast<int>(std::min<std::int64_t>(minExcess, INT_MAX / 2));
          for (int k = c; k < last; ++k) {
            const std::size_t i = static_cast<std::size_t>(k);
            if (free <= 0 || sumMax <= 0) {
              MinWidths[i] += MulDiv(excess, Percents[i], total);
            } else {
              MinWidths[i] += MulDiv(excess, MaxWidths[i], static_cast<int>(std::min<std::int64_t>(sumMax, INT_MAX)));
            }
          }
        }
        if (maxExcess > 0) {
          const int excess = static_cast<int>(std::min<std::int64_t>(maxExcess, INT_MAX / 2));
          for (int k = c; k < last; ++k)
            MaxWidths[static_cast<std::size_t>(k)] += MulDiv(excess, Percents[static_cast<std::size_t>(k)], total);
        }
      } else {
        auto scale = [&](std::vector<int>& widths, std::int64_t excess, std::int64_t sum, int target) {
          if (excess <= 0) return;
          int newSum = 0;
          for (int k = c; k < last; ++k) {
            int& width = widths[static_cast<std::size_t>(k)];
            width = sum == 0 ? target / span
                             : MulDiv(target, width, static_cast<int>(std::min<std::int64_t>(sum, INT_MAX)));
            newSum += width;
          }
          if (newSum < target) widths[static_cast<std::size_t>(c)] += target - newSum;
        };
        scale(MinWidths, minExcess, sumMin, min);
        scale(MaxWidths, maxExcess, sumMax, max);
      }
    }
  }
  std::int64_t sumMin = 0, sumMax = 0;
  for (int w : MinWidths) sumMin += w;
  for (int w : MaxWidths) sumMax += w;
  Min = static_cast<int>(std::min<std::int64_t>(sumMin, INT_MAX / 2));
  Max = static_cast<int>(std::min<std::int64_t>(sumMax, INT_MAX / 2));
}

void ThtmlTable::GetMinMaxWidth(int& Min, int& Max) {
  Initialize();
  if (m_minMaxCycle == OwnerList->LayoutCycle && m_minMaxD == SpecWidth) {
    Min = m_minCache;
    Max = m_maxCache;
    return;
  }
  if (UseAbsolute && SpecWidth == 0) {
    GetMinMaxAbs(Min, Max);
  } else {
    GetMinMaxPercent(SpecWidth, Min, Max);
    // A table of no given width grows until each percentage column has its share with its content in
    // it, and the other columns their maximums in what the percentages leave.
    if (SpecWidth == 0) Max = std::max(Max, PercentShares(TShares::Measure));
  }
  Min = std::max(Min + CellSpacing, SpecWidth);
  Max = std::max(Max + CellSpacing, SpecWidth);
  m_minMaxCycle = OwnerList->LayoutCycle;
  m_minMaxD = SpecWidth;
  m_minCache = Min;
  m_maxCache = Max;
}

void ThtmlTable::FindColumnWidths(int W) {
  if (NumCols <= 0) return;  // an empty table has no columns to give widths
  if (UseAbsolute && SpecWidth == 0) {
    int sumMin = 0, sumMax = 0;
    GetMinMaxAbs(sumMin, sumMax);
    if (W < sumMin) {
      Widths = MinWidths;
    } else if (W >= sumMax) {
      Widths = MaxWidths;
    } else {
      for (int c = 0; c < NumCols; ++c) {
        const std::size_t i = static_cast<std::size_t>(c);
        Widths[i] = sumMax - sumMin <= 0 ? MinWidths[i] + MulDiv(MinWidths[i], W - sumMin, sumMin)
                                         : MinWidths[i] + MulDiv(MaxWidths[i] - MinWidths[i], W - sumMin, sumMax - sumMin);
      }
      std::int64_t sum = 0;
      for (int w : Widths) sum += w;
      std::int64_t diff = W - sum;
      for (int c = 0; c < NumCols && diff != 0; ++c) {
        const std::size_t i = static_cast<std::size_t>(c);
        if (diff > 0) {
          ++Widths[i];
          --diff;
        } else if (MinWidths[i] < MaxWidths[i]) {
          --Widths[i];
          ++diff;
        }
      }
    }
    return;
  }
  int sumMin = 0, sumMax = 0;
  GetMinMaxPercent(W, sumMin, sumMax);
  if (sumMin >= W) {
    Widths = MinWidths;
  } else if (SpecWidth == 0) {
    AutomaticDistribution(sumMin, sumMax, W);
  } else {
    FixedWidthDistribution(W);
  }
}

int ThtmlTable::PercentShares(TShares use) {
  const bool apply = use == TShares::Give;
  const std::size_t n = Percents.size();
  std::int64_t P = 0, M = 0;
  for (std::size_t c = 0; c < n; ++c) {
    if (Percents[c] > 0) {
      P += Percents[c];
    } else {
      M += MaxWidths[c];
    }
  }
  if (P <= 0 || P > 1000) return 0;
  const int m = static_cast<int>(std::min<std::int64_t>(M, INT_MAX / 2));
  int A = 0;
  for (std::size_t c = 0; c < n; ++c)
    if (Percents[c] > 0) A = std::max(A, MulDiv(MaxWidths[c], 1000, Percents[c]));
  // Without other columns to take the rest, the percentage columns share the whole among themselves.
  const int whole = m < 1 ? static_cast<int>(P) : 1000;
  const int B = m < 1 ? 0 : P > 999 ? 30000 : MulDiv(m, 1000, static_cast<int>(1000 - P));
  const int N = std::max(A, B);
  const int rest = MulDiv(N, static_cast<int>(1000 - P), 1000);
  std::int64_t sum = 0;
  std::size_t widest = 0;
  int widestShare = -1;
  for (std::size_t c = 0; c < n; ++c) {
    const int share = Percents[c] > 0 ? MulDiv(N, Percents[c], whole) : (m < 1 ? 0 : MulDiv(MaxWidths[c], rest, m));
    if (apply) Widths[c] = share;
    sum += share;
    if (share > widestShare) {
      widest = c;
      widestShare = share;
    }
  }
  // What rounding leaves short goes to the widest column; what it adds makes the table that much wider,
  // so that no column falls below its share.
  if (sum < N) {
    if (apply) Widths[widest] += static_cast<int>(N - sum);
    sum = N;
  }
  return static_cast<int>(std::min<std::int64_t>(sum, INT_MAX / 2));
}

void ThtmlTable::AutomaticDistribution(int sumMin, int sumMax, int W) {
  const std::size_t n = static_cast<std::size_t>(NumCols);
  std::int64_t P = 0;
  for (int percent : Percents) P += percent;
  if (P > 0 && P <= 1000) {
    if (W >= PercentShares(TShares::Measure)) {
      PercentShares(TShares::Give);
      return;
    }
    // The percentages do not fit: those below their columns' minimums go, the rest are scaled down.
    int previousX = INT_MAX;
    for (;;) {
      bool anyPercent = false;
      std::int64_t S = 0, Q = 0;
      for (std::size_t c = 0; c < n; ++c) {
        if (Percents[c] > 0 && MulDiv(W, Percents[c], 1000) < MinWidths[c]) Percents[c] = 0;
        if (Percents[c] > 0) {
          anyPercent = true;
          Q += MulDiv(W, Percents[c], 1000);
        } else {
          S += MinWidths[c];
        }
      }
      if (!anyPercent) break;
      if (W < S + Q) {
        const int X = std::min<int>(static_cast<int>(std::max<std::int64_t>(W - S, 0)), previousX - 1);
        if (X <= 0) {
          std::fill(Percents.begin(), Percents.end(), 0);
          break;
        }
        previousX = X;
        const int q = static_cast<int>(std::min<std::int64_t>(Q, INT_MAX));
        for (std::size_t c = 0; c < n; ++c)
          if (Percents[c] > 0) Percents[c] = MulDiv(Percents[c], X, q);
        continue;
      }
      std::int64_t newMin = 0, newMax = 0;
      for (std::size_t c = 0; c < n; ++c) {
        if (Percents[c] > 0) MinWidths[c] = MaxWidths[c] = MulDiv(W, Percents[c], 1000);
        newMin += MinWidths[c];
        newMax += MaxWidths[c];
      }
      sumMin = static_cast<int>(std::min<std::int64_t>(newMin, INT_MAX / 2));
      sumMax = static_cast<int>(std::min<std::int64_t>(newMax, INT_MAX / 2));
      break;
    }
  }
  if (sumMax == sumMin) {
    for (std::size_t c = 0; c < n; ++c) Widths[c] = MinWidths[c] + (W - sumMin) / NumCols;
    Widths[0] += (W - sumMin) % NumCols;
    return;
  }
  std::int64_t sum = 0;
  std::size_t widest = 0;
  for (std::size_t c = 0; c < n; ++c) {
    Widths[c] = MinWidths[c] + MulDiv(MaxWidths[c] - MinWidths[c], W - sumMin, sumMax - sumMin);
    sum += Widths[c];
    if (MaxWidths[c] - MinWidths[c] > MaxWidths[widest] - MinWidths[widest]) widest = c;
  }
  Widths[widest] += static_cast<int>(W - sum);
}

void ThtmlTable::FixedWidthDistribution(int W) {
  const std::size_t n = static_cast<std::size_t>(NumCols);
  std::vector<bool> fixed(n, false), percentColumn(n, false);
  int freeCount = 0;
  std::int64_t E = 0, PP = 0;
  std::size_t lastFree = 0;
  for (std::size_t c = 0; c < n; ++c) {
    if (Percents[c] <= 0) {
      Widths[c] = MinWidths[c];
      ++freeCount;
      lastFree = c;
      E += std::max(0, MaxWidths[c] - MinWidths[c]);
    } else {
      percentColumn[c] = true;
      const int share = MulDiv(W, Percents[c], 1000);
      if (share > MinWidths[c]) {
        Widths[c] = share;
        PP += Percents[c];
      } else {
        Widths[c] = MinWidths[c];
        fixed[c] = true;
      }
    }
  }
  auto sumWidths = [&] {
    std::int64_t sum = 0;
    for (int w : Widths) sum += w;
    return sum;
  };
  auto unfixedPercent = [&](std::size_t c) { return percentColumn[c] && !fixed[c]; };
  std::int64_t diff = sumWidths() - W;
  if (diff < 0) {
    const int shortfall = static_cast<int>(std::min<std::int64_t>(-diff, INT_MAX / 2));
    if (freeCount == 0) {
      if (PP > 0)
        for (std::size_t c = 0; c < n; ++c)
          if (unfixedPercent(c)) Widths[c] += MulDiv(shortfall, Percents[c], static_cast<int>(PP));
    } else if (E > 0 && E >= shortfall / 4) {
      for (std::size_t c = 0; c < n; ++c)
        if (!percentColumn[c])
          Widths[c] += MulDiv(shortfall, std::max(0, MaxWidths[c] - MinWidths[c]), static_cast<int>(std::min<std::int64_t>(E, INT_MAX)));
    } else {
      for (std::size_t c = 0; c < n; ++c)
        if (!percentColumn[c]) Widths[c] += shortfall / freeCount;
    }
  } else if (diff > 0) {
    int excess = static_cast<int>(std::min<std::int64_t>(diff, INT_MAX / 2));
    for (int pass = 0; pass < 4 && PP > 0; ++pass) {
      bool anyFixed = false;
      for (std::size_t c = 0; c < n; ++c) {
        if (!unfixedPercent(c)) continue;
        if (Widths[c] - MulDiv(excess, Percents[c], static_cast<int>(PP)) < MinWidths[c]) {
          excess -= Widths[c] - MinWidths[c];
          Widths[c] = MinWidths[c];
          fixed[c] = true;
          PP -= Percents[c];
          anyFixed = true;
        }
      }
      if (!anyFixed) break;
    }
    if (PP > 0 && excess > 0)
      for (std::size_t c = 0; c < n; ++c)
        if (unfixedPercent(c)) Widths[c] -= MulDiv(excess, Percents[c], static_cast<int>(PP));
  }
  diff = sumWidths() - W;
  if (diff > 0) {
    // The first unfixed column gives up the rest, down to nothing at most; what it cannot give, the next.
    for (std::size_t c = 0; c < n && diff > 0; ++c) {
      if (fixed[c]) continue;
      const int give = static_cast<int>(std::min<std::int64_t>(diff, Widths[c]));
      Widths[c] -= give;
      diff -= give;
    }
  } else if (diff < 0) {
    std::int64_t shortfall = -diff;
    if (freeCount == 0) {
      if (shortfall > NumCols) {
        const int each = static_cast<int>(shortfall / NumCols);
        for (std::size_t c = 0; c < n; ++c) Widths[c] += each;
        shortfall -= static_cast<std::int64_t>(each) * NumCols;
      }
      for (std::size_t c = 0; c < n && shortfall > 0; ++c, --shortfall) ++Widths[c];
    } else {
      Widths[lastFree] += static_cast<int>(std::min<std::int64_t>(shortfall, INT_MAX / 2));
    }
  }
}

void ThtmlTable::FindRowHeights(int AHeight) {
  const int rowCount = static_cast<int>(Rows.size());
  Heights.assign(static_cast<std::size_t>(rowCount), 0);
  if (rowCount == 0) return;  // an empty table has no rows to share a height
  const int s = CellSpacing;
  const int H = AHeight - s;
  // Every row, one with nothing of its own to measure included, is at least the spacing high.
  std::vector<int> minimum(static_cast<std::size_t>(rowCount), s), desired(static_cast<std::size_t>(rowCount), s);
  std::vector<bool> specified(static_cast<std::size_t>(rowCount), false);
  // Column x positions, to find the width a cell spans.
  std::vector<std::int64_t> columnX(static_cast<std::size_t>(NumCols) + 1, 0);
  for (int c = 0; c < NumCols; ++c)
    columnX[static_cast<std::size_t>(c) + 1] = columnX[static_cast<std::size_t>(c)] + Widths[static_cast<std::size_t>(c)];
  auto spannedWidth = [&](int c, int span) {
    const int last = std::min(NumCols, c + std::max(span, 1));
    return static_cast<int>(columnX[static_cast<std::size_t>(last)] - columnX[static_cast<std::size_t>(c)]);
  };
  const TSpanBuckets buckets = BucketCells(Rows, [](const TCellObj& cell) { return std::max(1, cell.RowSpan); });
  for (const auto& [n, cells] : buckets.Levels) {
    // Cells of this span, row by row.
    std::size_t k = 0;
    while (k < cells.size()) {
      const int r = cells[k].Row;
      int rowValue = 0, desiredValue = 0;
      bool rowSpecified = false;
      for (; k < cells.size() && cells[k].Row == r; ++k) {
        TCellObj& cell = *Rows[static_cast<std::size_t>(r)]->Cells[static_cast<std::size_t>(cells[k].Column)];
        cell.Wd = spannedWidth(cells[k].Column, cell.ColSpan);
        int E = 0;
        if (cell.SpecHt > 0) {
          E = cell.SpecHt;
        } else if (cell.SpecHtPercent > 0) {
          E = MulDiv(cell.SpecHtPercent, std::max(0, H - rowCount * s), 100);
        } else if (rowCount == 1) {
          E = std::max(0, H - s);
        }
        int curs = 0, scrollWidth = 0;
        cell.VSize = cell.Cell ? cell.Cell->LayOut(0, std::max(0, cell.Wd - cell.HzSpace - s),
                                                   std::max(0, E - cell.VrSpace), 0, scrollWidth, curs)
                               : 0;
        int value = cell.VSize + cell.VrSpace;
        int want = value;
        if (cell.SpecHt > 0) {
          value = std::max(value, cell.SpecHt);
          want = value;
          rowSpecified = true;
        } else if (cell.SpecHtPercent > 0) {
          want = std::max(want, E);
          rowSpecified = true;
        }
        rowValue = std::max(rowValue, value);
        desiredValue = std::max(desiredValue, want);
      }
      rowValue += s;
      desiredValue += s;
      if (n == 1) {
        minimum[static_cast<std::size_t>(r)] = std::max(minimum[static_cast<std::size_t>(r)], rowValue);
        desired[static_cast<std::size_t>(r)] = std::max(desired[static_cast<std::size_t>(r)], desiredValue);
        if (rowSpecified) specified[static_cast<std::size_t>(r)] = true;
      } else if (rowValue > s) {
        const int last = std::min(rowCount, r + n);
        auto spread = [&](std::vector<int>& values, int target) {
          std::int64_t sum = 0;
          for (int rr = r; rr < last; ++rr) sum += values[static_cast<std::size_t>(rr)];
          if (sum >= target) return;
          const std::int64_t gap = target - sum;
          const int span = last - r;
          for (int rr = r; rr < last; ++rr) values[static_cast<std::size_t>(rr)] += static_cast<int>(gap / span);
          values[static_cast<std::size_t>(last) - 1] += static_cast<int>(gap % span);
        };
        spread(minimum, rowValue);
        spread(desired, desiredValue);
        if (rowSpecified)
          for (int rr = r; rr < last; ++rr) specified[static_cast<std::size_t>(rr)] = true;
      }
    }
  }
  std::int64_t sumMin = 0, sumDesired = 0;
  int unspecified = 0;
  for (int r = 0; r < rowCount; ++r) {
    sumMin += minimum[static_cast<std::size_t>(r)];
    sumDesired += desired[static_cast<std::size_t>(r)];
    if (!specified[static_cast<std::size_t>(r)]) ++unspecified;
  }
  if (sumMin >= H) {
    Heights = minimum;
  } else if (sumDesired < H) {
    Heights = desired;
    if (unspecified <= 0) {
      if (sumDesired > 0) {
        std::int64_t given = 0;
        for (int r = 0; r + 1 < rowCount; ++r) {
          Heights[static_cast<std::size_t>(r)] =
              static_cast<int>(RoundedQuotient(static_cast<std::int64_t>(desired[static_cast<std::size_t>(r)]) * H, sumDesired));
          given += Heights[static_cast<std::size_t>(r)];
        }
        Heights.back() = static_cast<int>(H - given);
      } else {
        Heights.back() += static_cast<int>(H - sumDesired);
      }
    } else {
      const std::int64_t gap = H - sumDesired;
      int lastUnspecified = 0;
      for (int r = 0; r < rowCount; ++r) {
        if (specified[static_cast<std::size_t>(r)]) continue;
        Heights[static_cast<std::size_t>(r)] += static_cast<int>(gap / unspecified);
        lastUnspecified = r;
      }
      Heights[static_cast<std::size_t>(lastUnspecified)] += static_cast<int>(gap % unspecified);
    }
  } else {
    std::int64_t given = 0;
    const std::int64_t range = sumDesired - sumMin;
    for (int r = 0; r + 1 < rowCount; ++r) {
      const std::size_t i = static_cast<std::size_t>(r);
      Heights[i] = minimum[i] + static_cast<int>(RoundedQuotient(
                                    static_cast<std::int64_t>(desired[i] - minimum[i]) * (H - sumMin), range));
      given += Heights[i];
    }
    Heights.back() = static_cast<int>(H - given);
  }
}

void ThtmlTable::PlaceCells(int Y, int& Curs) {
  const int rowCount = static_cast<int>(Rows.size());
  const int s = CellSpacing;
  // Row tops from the heights: a cell's height is the sum over the rows it spans.
  std::vector<std::int64_t> rowY(static_cast<std::size_t>(rowCount) + 1, 0);
  for (int r = 0; r < rowCount; ++r)
    rowY[static_cast<std::size_t>(r) + 1] = rowY[static_cast<std::size_t>(r)] + Heights[static_cast<std::size_t>(r)];
  m_rowTops.assign(static_cast<std::size_t>(rowCount), 0);
  m_rowBottomSoFar.assign(static_cast<std::size_t>(rowCount), 0);
  int lowest = INT_MIN;
  int y = Y;
  for (int r = 0; r < rowCount; ++r) {
    TCellList& row = *Rows[static_cast<std::size_t>(r)];
    row.RowHeight = Heights[static_cast<std::size_t>(r)];
    row.RowSpanHeight = row.RowHeight;
    for (const auto& owned : row.Cells) {
      TCellObj& cell = *owned;
      if (cell.IsPlaceholder()) continue;
      const int last = std::min(rowCount, r + std::max(1, cell.RowSpan));
      cell.Ht = static_cast<int>(rowY[static_cast<std::size_t>(last)] - rowY[static_cast<std::size_t>(r)]);
      row.RowSpanHeight = std::max(row.RowSpanHeight, cell.Ht);
    }
    m_rowTops[static_cast<std::size_t>(r)] = y;
    lowest = std::max(lowest, y + row.RowSpanHeight);
    m_rowBottomSoFar[static_cast<std::size_t>(r)] = lowest;
    const bool outermost = OwnerList->TableNestLevel == 1;
    if (outermost) OwnerList->TableFinalPass = true;
    if (OwnerList->TableFinalPass) {
      for (const auto& owned : row.Cells) {
        TCellObj& cell = *owned;
        if (cell.IsPlaceholder() || !cell.HasContent()) continue;
        const int room = cell.Ht - cell.VSize - s - cell.VrSpace;
        switch (cell.VAlign) {
          case 1:
            cell.YIndent = 0;
            break;
          case 2:
            cell.YIndent = room / 2;
            break;
          case 3:
          case 4:
            cell.YIndent = room;
            break;
          default:
            break;
        }
        int scrollWidth = 0;
        cell.Cell->LayOutAgainAt(y + s + cell.PadTop + cell.BrdTop + cell.YIndent, std::max(0, cell.Wd - cell.HzSpace - s),
                                 std::max(0, cell.Ht - cell.VrSpace - s), 0, scrollWidth, Curs);
      }
    }
    if (outermost) OwnerList->TableFinalPass = false;
    y += row.RowHeight;
  }
}

int ThtmlTable::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  TNestingGuard nesting(OwnerList->TableNestLevel);
  // The lines of the cells are no list item's first line: a list item around the table takes the
  // table's bottom instead.
  int* const listItemBaseline = OwnerList->CurrentListItemBaseline;
  OwnerList->CurrentListItemBaseline = nullptr;
  PaintY = TopY = PaintTop = args.Y;
  FirstCharIndex = Curs;
  Initialize();
  IndentManager& mgr = *args.IMgr;
  const int W = (SpecWidth > 0 ? SpecWidth : mgr.RightEdge(args.Y) - mgr.LeftEdge(args.Y)) - CellSpacing;
  // A nested table is laid out by the measuring and by the placing pass of every table around it; its
  // widths and heights hold for the rest of the layout cycle.
  const bool measured = m_measuredCycle == OwnerList->LayoutCycle && m_measuredWidth == W &&
                        m_measuredHeight == args.AHeight && static_cast<int>(Heights.size()) == static_cast<int>(Rows.size());
  if (!measured) {
    FindColumnWidths(W);
    FindRowHeights(args.AHeight);
    m_measuredCycle = OwnerList->LayoutCycle;
    m_measuredWidth = W;
    m_measuredHeight = args.AHeight;
  }
  std::int64_t width = CellSpacing;
  for (int w : Widths) width += w;
  TableWidth = static_cast<int>(std::min<std::int64_t>(width, INT_MAX / 2));
  PlaceCells(args.Y, Curs);
  std::int64_t height = CellSpacing;
  for (int h : Heights) height += h;
  Height = InkHeight = static_cast<int>(std::clamp<std::int64_t>(height, 0, INT_MAX / 4));
  CharCount = Curs - FirstCharIndex;
  MaxWidth = TableWidth;
  BottomY = PaintBottom = args.Y + Height;
  OwnerList->CurrentListItemBaseline = listItemBaseline;
  if (listItemBaseline && *listItemBaseline == 0) *listItemBaseline = args.Y + Height;
  return Height;
}

}  // namespace corvane
