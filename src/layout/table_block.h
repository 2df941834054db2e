#pragma once

#include <memory>

#include "layout/block.h"

namespace corvane {

class ThtmlTable;

// The block around a table: margins, the width asked for, alignment and floating, the outer border.
class TTableBlock final : public TBlock {
 public:
  // Takes the table as its only content.
  TTableBlock(TSectionList* ownerList, const TAttributeList* attributes, std::unique_ptr<ThtmlTable> table,
              TCellBasic* ownerCell, TProperties& properties);

  ThtmlTable* Table;
  int WidthAttr = 0;   // pixels, or per mille with AsPercent; 0 for none
  bool AsPercent = false;
  bool InCaptionWrapper = false;
  bool HasBgColor = false;
  TColor BgColor = ColorNone;
  int HSpace = 0;
  int VSpace = 0;
  bool BorderFromAttribute = false;
  int Shift = 0;  // moved right to stand between floats

  int ContentWidth(int AWidth, int AHeight, int autoCount) override;
  void GetMinMaxWidth(int& Min, int& Max) override;
  int LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) override;
  int Paint(QPainter& canvas, const TPaintArgs& args) override;
  void PaintBorder(QPainter& canvas, const QRect& borderBox, const QRect& paddingBox) override;

  // The padding and borders left and right, in pixels.
  int Frame() const;

 private:
  // Gives the table the block's background colour (the style's, or BGCOLOR), for its cells.
  void ShareBackground();
};

// The block that pairs a table block with its caption block, one above the other.
class TTableAndCaptionBlock final : public TBlock {
 public:
  TTableAndCaptionBlock(TSectionList* ownerList, TTableBlock* tableBlock, const TAttributeList* attributes,
                        TCellBasic* ownerCell, TProperties& properties);

  TTableBlock* TableBlock;
  TBlock* CaptionBlock = nullptr;
  int TableIndex = 0;  // of the table block in the content list

  // Takes the caption block, which marks the table block as wrapped.
  void SetCaptionBlock(TBlock* caption);

  int ContentWidth(int AWidth, int AHeight, int autoCount) override;
  void GetMinMaxWidth(int& Min, int& Max) override;
  int DocPosOf(int sourcePosition, bool previous) override;
  void CollectSections(std::vector<TSection*>& sections) override;
};

}  // namespace corvane
