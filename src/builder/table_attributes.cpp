#include "builder/table_attributes.h"

#include <algorithm>
#include <string>

#include "html/attribute_list.h"
#include "style/style_context.h"

namespace corvane {

namespace {

using S = TagSymbol;

int ClampPixels(int value) { return std::clamp(value, 0, TCellObj::kMaxPixels); }

// A HEIGHT or WIDTH attribute: pixels, or a percentage when its text has "%".
struct TSize {
  int Value = 0;
  bool Percent = false;
};
TSize SizeOf(const TAttribute& attribute) { return {attribute.Value, attribute.Text.find('%') != std::string::npos}; }

}  // namespace

TTableAttributes ReadTableAttributes(const TAttributeList& attributes, TStyleContext& context) {
  TTableAttributes table;
  for (const auto& attribute : attributes) {
    switch (attribute->Symbol) {
      case S::SymBorder:
        table.BorderWidth = std::clamp(attribute->Value, 0, 100);
        break;
      case S::SymCellpadding:
        if (attribute->Value >= 0) table.CellPadding = std::min(attribute->Value, 50);
        break;
      case S::SymCellspacing:
        if (attribute->Value >= -1) table.CellSpacing = std::min(attribute->Value, 40);
        break;
      case S::SymBordercolor:
        if (auto colour = context.ColorFromString(attribute->Text)) table.BorderColorLight = table.BorderColorDark = *colour;
        break;
      case S::SymBordercolorlight:
        if (auto colour = context.ColorFromString(attribute->Text)) table.BorderColorLight = *colour;
        break;
      case S::SymBordercolordark:
        if (auto colour = context.ColorFromString(attribute->Text)) table.BorderColorDark = *colour;
        break;
      default:
        break;
    }
  }
  return table;
}

TRowAttributes ReadRowAttributes(const TAttributeList& attributes, TStyleContext& context) {
  TRowAttributes row;
  for (const auto& attribute : attributes) {
    switch (attribute->Symbol) {
      case S::SymBgcolor:
        if (auto colour = context.ColorFromString(attribute->Text)) row.Background = *colour;
        break;
      case S::SymBackground:
        row.BackgroundImage = attribute->Text;
        break;
      case S::SymHeight: {
        const TSize size = SizeOf(*attribute);
        if (!size.Percent) {
          row.SpecHeight = ClampPixels(size.Value);
        } else {
          row.SpecHeightPercent = std::clamp(size.Value, 0, 100);
        }
        break;
      }
      default:
        break;
    }
  }
  return row;
}

TCellAttributes ReadCellAttributes(const TAttributeList& attributes, TStyleContext& context) {
  TCellAttributes cell;
  for (const auto& attribute : attributes) {
    switch (attribute->Symbol) {
      case S::SymHref:
        if (!attribute->Text.empty()) cell.Url = attribute->Text;
        break;
      case S::SymTarget:
        if (!attribute->Text.empty()) cell.Target = attribute->Text;
        break;
      case S::SymBgcolor:
        if (auto colour = context.ColorFromString(attribute->Text)) cell.Background = *colour;
        break;
      case S::SymBackground:
        if (!attribute->Text.empty()) cell.BackgroundImage = attribute->Text;
        break;
      case S::SymColspan:
        if (attribute->Value > 1) cell.ColSpan = std::min(attribute->Value, TCellObj::kMaxColSpan);
        break;
      case S::SymRowspan:
        if (attribute->Value > 1) cell.RowSpan = std::min(attribute->Value, TCellObj::kMaxRowSpan);
        break;
      case S::SymWidth: {
        const TSize size = SizeOf(*attribute);
        if (!size.Percent && size.Value > 0) {
          cell.SpecWd = ClampPixels(size.Value);
        } else if (size.Percent && size.Value >= 1 && size.Value <= 100) {
          cell.SpecWd = size.Value * 10;
          cell.WidthAsPercent = true;
        }
        break;
      }
      case S::SymHeight: {
        const TSize size = SizeOf(*attribute);
        if (!size.Percent) {
          cell.SpecHt = ClampPixels(size.Value);
        } else {
          cell.SpecHtPercent = std::clamp(size.Value, 0, 100);
        }
        break;
      }
      default:
        break;
    }
  }
  return cell;
}

}  // namespace corvane
