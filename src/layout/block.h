#pragma once

#include <memory>
#include <string>
#include <vector>

#include "layout/background_picture.h"
#include "layout/border_painter.h"
#include "layout/cell_basic.h"
#include "layout/margin_collapse.h"
#include "layout/section_base.h"
#include "style/box_values.h"
#include "style/my_font.h"
#include "style/properties.h"

namespace corvane {

class TAttributeList;
class TBlock;

// The content list of a block.
class TBlockCell final : public TCellBasic {
 public:
  TBlockCell(TSectionList* ownerList, TBlock* owner);

  // Lays the items out one below the other from (X, Y): returns the height of the stack, and records
  // the lowest item bottom (ContentBottom) and the ink extent (PaintTop, PaintBottom).
  // With leadingTaken the top margins of the first blocks are applied by the owner; the bottom margin
  // of the last ones is left in trailing.
  int DoLayout(const TLayoutArgs& args, bool leadingTaken, TCollapsedMargin& trailing, int& ScrollWidth, int& Curs);
  // Paints the items of the draw list at X.
  int PaintItems(QPainter& canvas, const std::vector<TSectionBase*>& drawList, const TItemBands& bands,
                 const TPaintArgs& args);
};

// The box values (margins, paddings, borders, sizes as given) of a block, shared with a block before it
// in the same content list that was given the same: a page of a million paragraphs keeps a few sets of
// some 700 bytes, not a million. Written through Edit, which first copies a set still shared.
class TSharedBoxValues {
 public:
  TSharedBoxValues() : m_values(NoValues()) {}
  const TPropValue& operator[](int index) const { return (*m_values)[index]; }
  operator const TBoxValues&() const { return *m_values; }
  TPropValue& Edit(int index);
  // Shares values (the set the element's style keeps for all elements of its shape), or the set of
  // other when that holds the same.
  void Assign(std::shared_ptr<const TBoxValues> values, const TSharedBoxValues* other);

 private:
  // The set of a block given nothing: one for all of them, copied by the first edit.
  static const std::shared_ptr<const TBoxValues>& NoValues();
  // Sets are made by make_shared of a TBoxValues that is not const, and written only once no other
  // holder is left.
  std::shared_ptr<const TBoxValues> m_values;
};

// A block box: margins, borders, padding and a content list. Blocks take their place in the flow, float
// left or right, or are positioned relative to their place or absolutely; they confine their content
// by edge records in the indentation manager.
class TBlock : public TSectionBase {
 public:
  // The kinds of block that margin collapsing and the builders tell apart.
  enum class TKind { Plain, Body, ListItem, Rule, Table, TableAndCaption };

  TBlock(TSectionList* ownerList, const TAttributeList* attributes, TCellBasic* ownerCell, TProperties& properties,
         TKind kind = TKind::Plain);
  ~TBlock() override;

  TMarginArray MargArray;
  std::unique_ptr<TBlockCell> MyCell;
  int EmSize = 0;
  int ExSize = 0;
  TColor FGColor = 0;
  bool HasBorderStyle = false;
  int FloatLR = 0;       // 0 none, 5 left, 6 right
  int ClearAttr = 0;     // 0 none, 1 left, 2 right, 3 both
  TBackgroundPosition BkPosition;
  int Positioning = 0;   // 0 static, 1 absolute, 2 relative
  bool Hidden = false;   // visibility: hidden
  bool BottomIsParagraphSpace = false;
  TPageBreaks PageBreaks;
  bool DisplayNone = false;
  bool HideOverflow = false;
  int Justify = 1;  // 1 left, 2 centre, 3 right
  TSharedBoxValues MargArrayO;
  TCellBasic* OwnerCell = nullptr;
  std::string TagClass;  // "ul.li": the parent's tag and the element's
  int NewWidth = 0;      // content width of the last layout
  int ClearAddon = 0;
  int Indent = 0;        // x of the content box relative to the block's X
  std::string BackgroundImage;
  TBackgroundPicture BackgroundPicture;
  int TopP = 0;
  int LeftP = 0;
  std::vector<TSectionBase*> DrawList;
  int ContentBot = 0;
  std::string TitleText;
  QRect MyRect;  // the border box of the last paint, screen coordinates

  TKind Kind() const { return m_kind; }
  TBlockCell& Content() const { return *MyCell; }
  TBlock* AsBlock() override { return this; }
  bool IsAbsolutelyPositioned() const override { return Positioning == 1; }
  bool IsPositioned() const override { return Positioning != 0; }
  bool IsFloating() const { return FloatLR == 5 || FloatLR == 6; }

  // The paragraph space under the block is dropped.
  void DropBottomMargin();

  // Margin collapsing in the flow. A block that collapses takes its vertical margins from the list
  // that stacks it: its top margin is the collapsed space above it, and its bottom margin is left to
  // the list as TrailingMargin, to collapse with what follows.
  bool CollapsesInFlow() const;
  // No border, padding or clearance above the content: the first child's top margin passes through.
  bool TopOpen() const { return m_topOpen && CollapsesInFlow(); }
  // No border, padding or given height below the content: the last child's bottom margin passes through.
  bool BottomOpen() const { return m_bottomOpen && CollapsesInFlow(); }
  // Takes no room: nothing inside takes room and nothing closes it; its margins collapse through it.
  bool CollapsesThrough();
  // Adds the margins that adjoin the block's top: its own and those of the first children that pass.
  // At the top of the page (pageTop) the default paragraph space counts for nothing.
  void AddLeadingMargins(TCollapsedMargin& margins, bool pageTop = false);
  // Adds the margins of a block that collapses through: its top and bottom and those of its content.
  void AddThroughMargins(TCollapsedMargin& margins, bool pageTop = false);
  // Set by the stacking list before the layout: the space above the border box, and whether the first
  // child's top margin is already in it.
  void SetStackedTop(int space, bool contentLeadingTaken);
  // The bottom margin left unapplied by the last layout (with the last children's when they pass).
  TCollapsedMargin TrailingMargin;
  int OwnMarginTop = 0;     // after the rules applied at creation
  int OwnMarginBottom = 0;

  int LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) override;
  int Paint(QPainter& canvas, const TPaintArgs& args) override;
  void GetMinMaxWidth(int& Min, int& Max) override;
  int LinkAt(int X, int Y, TLinkAtResult& result) override;
  bool ObjectAt(int X, int Y, TObjectAtPoint& result) override;
  int CharIndexAt(int X, int Y, TCharAtPoint& result) override;
  int FindText(int from, const std::u16string& text, bool matchCase) override;
  int FindTextBackward(int from, const std::u16string& text, bool matchCase) override;
  int SourcePosOf(int index) override;
  int DocPosOf(int sourcePosition, bool previous) override;
  bool CharIndexToXY(int index, int& X, int& Y) override;
  bool CharAt(int index, char16_t& ch, TSectionBase*& object) override;
  void CopySelection() override;
  void AddToPositionList() override;
  void CollectSections(std::vector<TSection*>& sections) override {
    if (!DisplayNone) MyCell->CollectSections(sections);
  }
  // The block's page breaks before and after, page-break-inside: avoid, and its content's constraints.
  void CollectPageBreaks(TPageBreakCollector& collector) override;

  virtual void PaintBorder(QPainter& canvas, const QRect& borderBox, const QRect& paddingBox);
  // The width of the content box for the available width; n counts the auto values among width,
  // margin-left and margin-right.
  virtual int ContentWidth(int AWidth, int AHeight, int autoCount);

 protected:
  // Collapses the top margin with what comes before the block in its content list.
  void CollapseMargins(TProperties& properties);
  // Resolves the top and left of a positioned block.
  void ResolvePositionedOffsets(int AWidth);
  void BuildDrawList();
  // Paints the background and the content; shared by the kinds that draw like a plain block.
  int PaintBlock(QPainter& canvas, const TPaintArgs& args, int X, int Y);
  int HorizontalMargins() const;
  int HorizontalFrame() const;  // paddings and borders, left and right

  double m_pixelsPerInch = 96.0;
  TItemBands m_drawBands;
  std::unique_ptr<IndentManager> m_ownManager;  // absolutely positioned blocks
  IndentManager* m_savedManager = nullptr;
  bool m_drawListBuilt = false;
  // The reference point handed to the content at the last layout, for positioned content inside.
  int m_contentXRef = 0;
  int m_contentYRef = 0;
  // The minimum and maximum widths of the layout cycle they were computed in.
  int m_minMaxCycle = -1;
  int m_minCache = 0;
  int m_maxCache = 0;
  // The layout cycle in which the content was last measured, or prepared without its widths.
  int m_contentCycle = -1;
  // Gives the content what measuring it does besides the widths, without measuring the widths: for a
  // block whose width does not depend on its content.
  void PrepareContentUnmeasured();
  // Measures the content, noting that it was measured in this cycle.
  void MeasureContent(int& Min, int& Max);
  // Measured by TBlock::GetMinMaxWidth alone, which always looks inside: no table and no hidden overflow.
  bool MeasuresLikeAPlainBlock() const {
    return (m_kind == TKind::Plain || m_kind == TKind::ListItem || m_kind == TKind::Rule) && !HideOverflow;
  }
  // Margin collapsing: what closes the top and bottom of the content, and the stacking state.
  bool m_topIsParagraphSpace = false;
  bool m_topOpen = false;
  bool m_bottomOpen = false;
  bool m_stacked = false;
  int m_stackedTop = 0;
  bool m_contentLeadingTaken = false;
  int m_leadingCycle = -1;
  TCollapsedMargin m_leading;
  int m_throughCycle = -1;
  bool m_through = false;

 private:
  TKind m_kind;
};

// The document body: never positioned, paints only its content.
class TBodyBlock final : public TBlock {
 public:
  TBodyBlock(TSectionList* ownerList, const TAttributeList* attributes, TCellBasic* ownerCell, TProperties& properties);

  int LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) override;
  int Paint(QPainter& canvas, const TPaintArgs& args) override;
  int LinkAt(int X, int Y, TLinkAtResult& result) override;
};

// A list item with its marker.
class TBlockLI final : public TBlock {
 public:
  // The list element an item belongs to.
  enum class TListKind { Ordered, Unordered, Definition, None };

  TBlockLI(TSectionList* ownerList, const TAttributeList* attributes, int level, int number, char typeLetter,
           bool plain, TListKind listKind, TCellBasic* ownerCell, TProperties& properties);

  int ListType() const { return m_listType; }
  int ListNumber() const { return m_number; }
  // The marker text of a numbered item ("3.", "c.", "iv."); "" for the other markers.
  std::string MarkerText() const;
  int FirstLineBaseline() const { return m_baseline; }

  int LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) override;
  int Paint(QPainter& canvas, const TPaintArgs& args) override;

 private:
  int m_listType = 3;  // marker codes: 1 circle, 2 decimal, 3 disc, 4 lower-alpha, 5 lower-roman, 6 none,
                       // 7 square, 8 upper-alpha, 9 upper-roman
  int m_number = 1;
  int m_baseline = 0;  // of the first line, document y
  std::unique_ptr<TMyFont> m_markerFont;
};

// The rule of an HR element.
class THorzLine final : public TSectionBase {
 public:
  // Reads SIZE, COLOR, ALIGN, NOSHADE and WIDTH; size and width also go to the properties, so that the
  // block around the rule sizes itself by them.
  THorzLine(TSectionList* ownerList, TProperties& properties, const TAttributeList* attributes);

  int VSize = 2;
  TColor Color = ColorNone;
  int Align = 2;  // 1 left, 2 centre, 3 right
  bool NoShade = false;
  int LineWidth = 0;  // of the last layout

  int LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) override;
  int Paint(QPainter& canvas, const TPaintArgs& args) override;

 private:
  int m_xOffset = 0;  // x of the rule relative to the X of its layout
};

// The block around a horizontal rule.
class THRBlock final : public TBlock {
 public:
  THRBlock(TSectionList* ownerList, const TAttributeList* attributes, TCellBasic* ownerCell, TProperties& properties);

  // Takes the rule and its alignment.
  void SetRule(std::unique_ptr<THorzLine> rule);
  int ContentWidth(int AWidth, int AHeight, int autoCount) override;

 private:
  THorzLine* m_rule = nullptr;
};

}  // namespace corvane
