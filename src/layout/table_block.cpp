#include "layout/table_block.h"

#include <QColor>

#include <algorithm>
#include <cstdlib>

#include "html/attribute_list.h"
#include "layout/border_painter.h"
#include "layout/indent_manager.h"
#include "layout/section_list.h"
#include "layout/table.h"
#include "style/style_context.h"
#include "style/style_units.h"

namespace corvane {

namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return upper;
}

int ZeroIfAuto(int value) { return value == AutoLength || value == NotSet ? 0 : value; }

}  // namespace

TTableBlock::TTableBlock(TSectionList* ownerList, const TAttributeList* attributes, std::unique_ptr<ThtmlTable> table,
                         TCellBasic* ownerCell, TProperties& properties)
    : TBlock(ownerList, attributes, ownerCell, properties, TKind::Table), Table(table.get()) {
  TStyleContext& context = properties.Context();
  // Tables take no part in margin collapsing, but their vertical margins are pixels all the same.
  ConvertVerticalMargins(MargArrayO, 400, EmSize, ExSize, m_pixelsPerInch, MargArray);
  ConvertBoxValues(MargArrayO, 0, 0, EmSize, ExSize, m_pixelsPerInch, MargArray);
  if (attributes) {
    for (const auto& attribute : *attributes) {
      switch (attribute->Symbol) {
        case TagSymbol::SymWidth:
          if (attribute->Text.find('%') == std::string::npos) {
            if (attribute->Value > 0) WidthAttr = std::min(attribute->Value, TCellObj::kMaxPixels);
          } else if (attribute->Value >= 1 && attribute->Value <= 100) {
            WidthAttr = attribute->Value * 10;
            AsPercent = true;
          }
          break;
        case TagSymbol::SymHeight:
          if (!properties.StyleSet(Prop::Height)) {
            MargArrayO.Edit(Prop::Height) =
                attribute->Text.find('%') == std::string::npos
                    ? TPropValue::Integer(std::clamp(attribute->Value, 0, TCellObj::kMaxPixels))
                    : TPropValue::Text(std::to_string(std::clamp(attribute->Value, 0, 100)) + "%");
          }
          break;
        case TagSymbol::SymAlign: {
          const std::string align = Upper(TrimmedView(attribute->Text));
          if (align == "CENTER") Justify = 2;
          if ((align == "LEFT" || align == "RIGHT") && FloatLR == 0) FloatLR = align == "LEFT" ? 5 : 6;
          break;
        }
        case TagSymbol::SymHspace:
          HSpace = std::min(40, std::abs(std::max(attribute->Value, -40)));
          break;
        case TagSymbol::SymVspace:
          VSpace = std::min(200, std::abs(std::max(attribute->Value, -200)));
          break;
        case TagSymbol::SymBgcolor:
          if (auto colour = context.ColorFromString(attribute->Text)) {
            HasBgColor = true;
            BgColor = *colour;
          }
          break;
        default:
          break;
      }
    }
  }
  const TPropValue& width = properties.Value(Prop::Width);
  if (width.IsText()) {
    const std::string_view text = width.AsText();
    if (text.find('%') != std::string_view::npos) {
      const int percent = LengthToPixels(text, TLengthKind::Relative, 100, EmSize, ExSize, 0, m_pixelsPerInch);
      if (percent > 0) {
        WidthAttr = std::min(1000, percent * 10);
        AsPercent = true;
      }
    } else {
      const int pixels = LengthToPixels(text, TLengthKind::Absolute, 0, EmSize, ExSize, 0, m_pixelsPerInch);
      if (pixels > 0) {
        WidthAttr = std::min(pixels, TCellObj::kMaxPixels);
        AsPercent = false;
        MargArrayO.Edit(Prop::Width) = TPropValue::Integer(std::max(0, WidthAttr - Frame()));
      }
    }
  }
  if (Table->BorderWidth > 0) {
    bool anyStyle = false;
    for (const int side : Prop::BorderStyles) anyStyle = anyStyle || MargArrayO[side].AsInteger() != 0;
    if (!anyStyle) {
      for (const int side : Prop::BorderWidths) MargArrayO.Edit(side) = TPropValue::Integer(Table->BorderWidth);
      for (const int side : Prop::BorderStyles) MargArrayO.Edit(side) = TPropValue::Integer(BorderKind::Outset);
      BorderFromAttribute = true;
      HasBorderStyle = true;
    }
  }
  if (IsFloating() && StackLevel == 0) StackLevel = 1;
  Table->Floating = IsFloating();
  // A caption wrapper or an enclosing table may have the grid completed, which hands the table's colour
  // to its cells, before this block is laid out.
  ShareBackground();
  MyCell->Add(std::move(table), -1);
}

void TTableBlock::ShareBackground() {
  TColor& background = reinterpret_cast<TColor&>(MargArray[Prop::BackgroundColor]);
  if (HasBgColor && background == ColorNone) background = BgColor;
  Table->BkGnd = background != ColorNone && BackgroundImage.empty();
  Table->BkColor = background;
}

int TTableBlock::Frame() const {
  return MargArray[Prop::PaddingLeft] + MargArray[Prop::PaddingRight] + MargArray[Prop::BorderLeftWidth] +
         MargArray[Prop::BorderRightWidth];
}

int TTableBlock::ContentWidth(int AWidth, int, int) {
  int& marginLeft = MargArray[Prop::MarginLeft];
  int& marginRight = MargArray[Prop::MarginRight];
  if (InCaptionWrapper) {
    marginLeft = marginRight = 0;
  } else {
    marginLeft = ZeroIfAuto(marginLeft);
    marginRight = ZeroIfAuto(marginRight);
    if (IsFloating() && marginLeft == 0 && marginRight == 0) {
      marginLeft = marginRight = HSpace;
      if (MargArray[Prop::MarginTop] == 0 && MargArray[Prop::MarginBottom] == 0)
        MargArray[Prop::MarginTop] = MargArray[Prop::MarginBottom] = VSpace;
    }
  }
  ShareBackground();
  const int LR = marginLeft + marginRight + Frame();
  if (!InCaptionWrapper) Table->SpecWidth = 0;
  int min = 0, max = 0;
  int w = 0;
  if (InCaptionWrapper && Table->SpecWidth > 0) {
    Table->GetMinMaxWidth(min, max);
    w = std::max(min, Table->SpecWidth);
  } else if (WidthAttr <= 0) {
    Table->GetMinMaxWidth(min, max);
    w = max;
    if (AWidth - LR < max) w = std::max(min, AWidth - LR);
  } else {
    const int target = AsPercent ? static_cast<int>(static_cast<std::int64_t>(AWidth) * WidthAttr / 1000) - LR
                                 : WidthAttr - Frame();
    Table->SpecWidth = std::max(0, target);
    Table->GetMinMaxWidth(min, max);
    w = std::max(min, target);
    Table->SpecWidth = std::max(0, w);
  }
  if (marginLeft == 0 && marginRight == 0 && w + LR < AWidth) {
    const int free = AWidth - w - LR;
    if (Justify == 3) marginLeft = free;
    if (Justify == 2) marginLeft = free / 2;
  }
  return std::max(0, w);
}

void TTableBlock::GetMinMaxWidth(int& Min, int& Max) {
  ConvertBoxValues(MargArrayO, 0, 400, EmSize, ExSize, m_pixelsPerInch, MargArray);
  const int W = !AsPercent && WidthAttr > 0 ? std::max(0, WidthAttr - Frame()) : 0;
  const int saved = Table->SpecWidth;
  Table->SpecWidth = W;
  TBlock::GetMinMaxWidth(Min, Max);
  Table->SpecWidth = saved;
  if (W > 0) Min = Max = std::max(Min, W);
}

int TTableBlock::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  TLayoutArgs placed = args;
  Shift = 0;
  if (!IsFloating() && !IsPositioned()) {
    // Between the floats at this height.
    IndentManager& mgr = *args.IMgr;
    const int x = std::max(args.X, mgr.LeftEdge(args.Y));
    placed.AWidth = std::max(0, std::min(args.X + args.AWidth, mgr.RightEdge(args.Y)) - x);
    placed.X = x;
    Shift = x - args.X;
  }
  return TBlock::LayOut(placed, MaxWidth, Curs);
}

int TTableBlock::Paint(QPainter& canvas, const TPaintArgs& args) {
  TPaintArgs shifted = args;
  shifted.X += Shift;
  return TBlock::Paint(canvas, shifted);
}

void TTableBlock::PaintBorder(QPainter& canvas, const QRect& borderBox, const QRect& paddingBox) {
  if (!BorderFromAttribute) {
    TBlock::PaintBorder(canvas, borderBox, paddingBox);
    return;
  }
  // Raised: light above and left, dark below and right.
  const bool whitePage = (OwnerList->Background() & 0xFFFFFF) == 0xFFFFFF;
  const TColor light = Table->BorderColorLight == SystemColor(20) && (OwnerList->Printing || whitePage)
                           ? TColor{0xC0C0C0}
                           : Table->BorderColorLight;
  const TColor dark = Table->BorderColorDark;
  const int b = Table->BorderWidth;
  const int left = paddingBox.left(), top = paddingBox.top();
  const int right = paddingBox.left() + paddingBox.width(), bottom = paddingBox.top() + paddingBox.height();
  if (b == 1) {
    DrawOnePixelFrame(canvas, left - 1, std::max(-200, top - 1), right, std::min(5000, bottom), ToQColor(light),
                      ToQColor(dark));
    return;
  }
  TBorderLook look;
  look.Styles = TSides<int>::All(BorderKind::Solid);
  look.Colors = {{light, dark, dark, light}};  // top, right, bottom, left
  DrawBorder(canvas, paddingBox.adjusted(-b, -b, b, b), paddingBox, OwnerList->Printing, ColorNone, look);
}

TTableAndCaptionBlock::TTableAndCaptionBlock(TSectionList* ownerList, TTableBlock* tableBlock,
                                             const TAttributeList* attributes, TCellBasic* ownerCell,
                                             TProperties& properties)
    : TBlock(ownerList, attributes, ownerCell, properties, TKind::TableAndCaption), TableBlock(tableBlock) {
  Justify = tableBlock->Justify;
  FloatLR = tableBlock->FloatLR;
  if (IsFloating() && StackLevel == 0) StackLevel = 1;
  TagClass = "TableAndCaption.";
  MargArray[Prop::MarginTop] = tableBlock->MargArray[Prop::MarginTop];
  MargArray[Prop::MarginBottom] = tableBlock->MargArray[Prop::MarginBottom];
  if (attributes && OwnerList && !attributes->Id().empty()) OwnerList->IDNameList.AddObject(attributes->Id(), tableBlock);
}

void TTableAndCaptionBlock::SetCaptionBlock(TBlock* caption) {
  CaptionBlock = caption;
  TableBlock->InCaptionWrapper = true;
}

int TTableAndCaptionBlock::ContentWidth(int AWidth, int, int) {
  // The wrapper has no border, padding or background of its own, and floats in the table's place.
  for (int side : {Prop::PaddingTop, Prop::PaddingRight, Prop::PaddingBottom, Prop::PaddingLeft, Prop::BorderTopWidth,
                   Prop::BorderRightWidth, Prop::BorderBottomWidth, Prop::BorderLeftWidth})
    MargArray[side] = 0;
  MargArray[Prop::BackgroundColor] = static_cast<int>(ColorNone);
  HasBorderStyle = false;
  TableBlock->FloatLR = 0;
  TableBlock->Table->Floating = false;
  int& marginLeft = MargArray[Prop::MarginLeft];
  int& marginRight = MargArray[Prop::MarginRight];
  marginLeft = ZeroIfAuto(marginLeft);
  marginRight = ZeroIfAuto(marginRight);
  int captionMin = 0, captionMax = 0;
  if (CaptionBlock) CaptionBlock->GetMinMaxWidth(captionMin, captionMax);
  ConvertBoxValues(TableBlock->MargArrayO, AWidth, 0, TableBlock->EmSize, TableBlock->ExSize, m_pixelsPerInch,
                   TableBlock->MargArray);
  const int frame = TableBlock->Frame();
  ThtmlTable& table = *TableBlock->Table;
  int tableMin = 0, tableMax = 0;
  int width = 0;
  if (TableBlock->WidthAttr > 0) {
    const int asked = TableBlock->AsPercent
                          ? std::min(static_cast<int>(static_cast<std::int64_t>(AWidth) * TableBlock->WidthAttr / 1000),
                                     AWidth - marginLeft - marginRight)
                          : TableBlock->WidthAttr;
    table.SpecWidth = std::max(0, asked - frame);
    table.GetMinMaxWidth(tableMin, tableMax);
    width = std::max(tableMin, table.SpecWidth);
  } else {
    table.SpecWidth = 0;
    table.GetMinMaxWidth(tableMin, tableMax);
    width = tableMax;
    if (AWidth - frame < width) width = std::max(tableMin, AWidth - frame);
  }
  width += frame;
  const int result = std::max(width, captionMin);
  if (result < AWidth && marginLeft == 0 && marginRight == 0) {
    const int free = AWidth - result;
    if (Justify == 3) marginLeft = free;
    if (Justify == 2) marginLeft = free / 2;
  }
  TableBlock->Justify = 2;
  return std::max(0, result);
}

void TTableAndCaptionBlock::GetMinMaxWidth(int& Min, int& Max) {
  int tableMin = 0, tableMax = 0, captionMin = 0, captionMax = 0;
  TableBlock->GetMinMaxWidth(tableMin, tableMax);
  if (CaptionBlock) CaptionBlock->GetMinMaxWidth(captionMin, captionMax);
  Min = std::max(tableMin, captionMin);
  Max = std::max(tableMax, captionMin);
}

int TTableAndCaptionBlock::DocPosOf(int sourcePosition, bool previous) {
  TBlock* first = previous ? static_cast<TBlock*>(TableBlock) : CaptionBlock;
  TBlock* second = previous ? CaptionBlock : static_cast<TBlock*>(TableBlock);
  for (TBlock* block : {first, second}) {
    if (!block) continue;
    if (const int at = block->DocPosOf(sourcePosition, previous); at >= 0) return at;
  }
  return -1;
}

void TTableAndCaptionBlock::CollectSections(std::vector<TSection*>& sections) {
  if (CaptionBlock) CaptionBlock->CollectSections(sections);
  TableBlock->CollectSections(sections);
}

}  // namespace corvane
