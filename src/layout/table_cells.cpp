// The table's, the rows' and the cells' objects as the builder makes them, from what it read of their
// attributes and from their style: the values the layout steps start from.
#include "layout/table.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "layout/section_list.h"
#include "style/border_look.h"
#include "style/style_context.h"
#include "style/style_units.h"

namespace corvane {

namespace {

int ClampPixels(int value) { return std::clamp(value, 0, TCellObj::kMaxPixels); }

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
  const std::shared_ptr<const TBoxValues> sharedBox = properties.SharedBoxValues();
  const TBoxValues& box = *sharedBox;
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

// The readings of the last few shapes asked for, each kept while the set it was made from lives: the
// header and body cells of a table, or the cells of its columns, take turns.
const TCellStyle& CellStyleOf(TProperties& properties) {
  struct TKept {
    const TProperties* Shape = nullptr;  // compared first; the weak pointer tells whether it still lives
    std::weak_ptr<const TProperties> Template;
    TCellStyle Style;
  };
  static thread_local std::array<TKept, 4> kept;
  static thread_local std::size_t nextKept = 0;
  static thread_local TCellStyle fresh;
  const TProperties* shape = properties.ShapeTemplatePointer();
  if (!shape) {
    fresh = ReadCellStyle(properties);
    return fresh;
  }
  for (const TKept& entry : kept)
    if (entry.Shape == shape && !entry.Template.expired()) return entry.Style;
  TKept& entry = kept[nextKept];
  nextKept = (nextKept + 1) % kept.size();
  entry.Style = ReadCellStyle(properties);
  entry.Template = properties.ShapeTemplate();
  entry.Shape = shape;
  return entry.Style;
}

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

TCellObj::TCellObj(TSectionList* ownerList, TProperties& properties, const TCellAttributes& attributes, int vAlign)
    : ColSpan(attributes.ColSpan),
      RowSpan(attributes.RowSpan),
      SpecHt(attributes.SpecHt),
      SpecHtPercent(attributes.SpecHtPercent),
      VAlign(vAlign),
      SpecWd(attributes.SpecWd),
      WidthAsPercent(attributes.WidthAsPercent),
      Cell(std::make_unique<TCellObjCell>(ownerList)) {
  if (!attributes.Url.empty()) Cell->MakeLink().Url = attributes.Url;
  if (!attributes.Target.empty()) Cell->MakeLink().Target = attributes.Target;
  if (attributes.Background) {
    BkGnd = true;
    BkColor = *attributes.Background;
  }
  if (!attributes.BackgroundImage.empty()) MakeLooks().BackgroundImage = attributes.BackgroundImage;
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

TCellObj::~TCellObj() = default;

const std::string& TCellObj::BackgroundImage() const {
  static const std::string none;
  return Looks ? Looks->BackgroundImage : none;
}

TCellList::TCellList(const TRowAttributes& attributes, TProperties& properties)
    : SpecRowHeight(attributes.SpecHeight),
      SpecRowHeightPercent(attributes.SpecHeightPercent),
      BkImage(attributes.BackgroundImage) {
  if (attributes.Background) {
    BkGnd = true;
    BkColor = *attributes.Background;
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
  // Most rows hold a few cells: room for four at once instead of growing through one and two.
  if (Cells.capacity() == 0) Cells.reserve(4);
  Cells.push_back(std::move(cell));
}

ThtmlTable::ThtmlTable(TSectionList* ownerList, TProperties& properties, const TTableAttributes& attributes)
    : TSectionBase(ownerList),
      BorderWidth(attributes.BorderWidth),
      CellPadding(attributes.CellPadding),
      CellSpacing(attributes.CellSpacing),
      BorderColorLight(attributes.BorderColorLight.value_or(SystemColor(20))),
      BorderColorDark(attributes.BorderColorDark.value_or(SystemColor(16))) {
  if (properties.IsCollapsedBorders()) CellSpacing = -1;
}

ThtmlTable::~ThtmlTable() = default;

}  // namespace corvane
