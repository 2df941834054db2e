#include <QPainter>

#include <algorithm>

#include "html/attribute_list.h"
#include "layout/block.h"
#include "layout/indent_manager.h"
#include "layout/section_list.h"
#include "style/style_context.h"

namespace corvane {

namespace {

constexpr int kNoShadeGrey = 0x80;

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

}  // namespace

THorzLine::THorzLine(TSectionList* ownerList, TProperties& properties, const TAttributeList* attributes)
    : TSectionBase(ownerList) {
  if (attributes) {
    if (const TAttribute* size = attributes->Find(TagSymbol::SymSize); size && size->Value >= 1 && size->Value <= 20)
      VSize = size->Value;
    if (const TAttribute* colour = attributes->Find(TagSymbol::SymColor))
      if (auto c = properties.Context().ColorFromString(colour->Text)) Color = *c;
    if (const TAttribute* align = attributes->Find(TagSymbol::SymAlign)) {
      const std::string value = Lower(align->Text);
      if (value == "left") Align = 1;
      if (value == "right") Align = 3;
      if (value == "center") Align = 2;
    }
    NoShade = attributes->Find(TagSymbol::SymNoshade) != nullptr;
    if (const TAttribute* width = attributes->Find(TagSymbol::SymWidth)) {
      if (width->Text.find('%') != std::string::npos) {
        const int percent = std::clamp(width->Value, 0, 100);
        properties.SetFromAttribute(Prop::Width, TPropValue::Text(std::to_string(percent) + "%"));
      } else if (width->Value > 0) {
        properties.SetFromAttribute(Prop::Width, TPropValue::Integer(std::min(width->Value, 100000)));
      }
    }
  }
  if (Color == ColorNone) Color = properties.GetOwnColor();
  if (properties.StyleSet(Prop::TextAlign)) {
    const std::string_view align = properties.Value(Prop::TextAlign).AsText();
    if (align == "left") Align = 1;
    if (align == "right") Align = 3;
    if (align == "center") Align = 2;
  }
  properties.SetFromAttribute(Prop::Height, TPropValue::Integer(VSize));
  Height = VSize;
}

int THorzLine::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  FirstCharIndex = Curs;
  CharCount = 0;
  IndentManager& mgr = *args.IMgr;
  const int x = std::max(args.X, mgr.LeftEdge(args.Y));
  LineWidth = std::max(0, std::min(args.X + args.AWidth - x, mgr.RightEdge(args.Y) - x));
  m_xOffset = x - args.X;
  MaxWidth = LineWidth;
  Height = InkHeight = VSize;
  TopY = PaintTop = PaintY = args.Y;
  BottomY = PaintBottom = args.Y + Height;
  return Height;
}

int THorzLine::Paint(QPainter& canvas, const TPaintArgs& args) {
  const int top = PaintY - OwnerList->YOffset();
  const int clipTop = args.ARect.top(), clipBottom = args.ARect.top() + args.ARect.height();
  if (top + VSize < clipTop || top >= clipBottom) return PaintY + Height;
  const int x = args.X + m_xOffset;
  if (Color != ColorNone) {
    FillRect(canvas, x, top, x + LineWidth, top + VSize, ToQColor(Color));
  } else if (NoShade) {
    // Unshaded: a flat grey bar of the rule's size.
    FillRect(canvas, x, top, x + LineWidth, top + VSize, QColor(kNoShadeGrey, kNoShadeGrey, kNoShadeGrey));
  } else if (LineWidth > 0) {
    // Sunk into the page: dark above and left, light below and right.
    const bool whitePage = (OwnerList->Background() & 0xFFFFFF) == 0xFFFFFF;
    const QColor light = OwnerList->Printing || whitePage ? QColor(0xC0, 0xC0, 0xC0) : ToQColor(SystemColor(20));
    DrawOnePixelFrame(canvas, x, top, x + LineWidth - 1, top + VSize - 1, ToQColor(SystemColor(16)), light);
  }
  return PaintY + Height;
}

THRBlock::THRBlock(TSectionList* ownerList, const TAttributeList* attributes, TCellBasic* ownerCell,
                   TProperties& properties)
    : TBlock(ownerList, attributes, ownerCell, properties, TKind::Rule) {}

void THRBlock::SetRule(std::unique_ptr<THorzLine> rule) {
  m_rule = rule.get();
  Justify = rule->Align;
  MyCell->Add(std::move(rule), -1);
}

int THRBlock::ContentWidth(int AWidth, int, int) {
  int& marginLeft = MargArray[Prop::MarginLeft];
  int& marginRight = MargArray[Prop::MarginRight];
  if (marginLeft == AutoLength) marginLeft = 0;
  if (marginRight == AutoLength) marginRight = 0;
  const int available = AWidth - HorizontalFrame() - marginLeft - marginRight;
  const int width = MargArray[Prop::Width];
  const int result = width == AutoLength ? std::max(15, available) : std::max(0, std::min(width, available));
  const int justify = Positioning == 1 ? 1 : Justify;
  const int free = std::max(0, available - result);
  if (justify == 2) marginLeft += free / 2;
  if (justify == 3) marginLeft += free;
  return result;
}

}  // namespace corvane
