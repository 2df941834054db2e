#pragma once

#include <QRect>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "layout/background_picture.h"
#include "layout/border_painter.h"
#include "layout/cell_basic.h"
#include "layout/section_base.h"
#include "layout/table_placement.h"
#include "style/box_values.h"
#include "style/properties.h"

namespace corvane {

class ThtmlTable;
struct TColumnConstraints;

// A column declaration from COL or COLGROUP.
struct TColObj {
  int ColWidth = 0;
  bool ColAsPercent = false;  // ColWidth in per mille
  std::string ColAlign;       // alignment text, "" for none
  int ColVAlign = 0;          // 0 none, 1 top, 2 middle, 3 baseline, 4 bottom
};

// What the builder reads from the attributes of a TABLE, a TR and a TD or TH element (table_attributes in
// src/builder). The constructors below take it with the element's style, which wins where both give a
// value.
struct TTableAttributes {
  int BorderWidth = 0;
  int CellPadding = 1;
  int CellSpacing = 2;
  std::optional<TColor> BorderColorLight;
  std::optional<TColor> BorderColorDark;
};
struct TRowAttributes {
  std::optional<TColor> Background;
  std::string BackgroundImage;
  int SpecHeight = 0;         // pixels
  int SpecHeightPercent = 0;  // percent of the table's height
};
struct TCellAttributes {
  std::string Url;     // HREF, "" for none
  std::string Target;  // TARGET, "" for none
  std::optional<TColor> Background;
  std::string BackgroundImage;
  int ColSpan = 1;
  int RowSpan = 1;
  int SpecWd = 0;  // pixels, or per mille with WidthAsPercent; 0 for none
  bool WidthAsPercent = false;
  int SpecHt = 0;         // pixels
  int SpecHtPercent = 0;  // percent of the table's height
};

// The content of one table cell, with what the cell adds to a link hit test.
class TCellObjCell final : public TCell {
 public:
  explicit TCellObjCell(TSectionList* ownerList);

  QRect MyRect;  // the cell's border box at the last paint, screen coordinates
  // The cell's own title and link (TITLE, HREF and TARGET of the element), kept only when it has one.
  struct TCellLink {
    std::string Title;
    std::string Url;
    std::string Target;
  };
  std::unique_ptr<TCellLink> Link;
  TCellLink& MakeLink() {
    if (!Link) Link = std::make_unique<TCellLink>();
    return *Link;
  }

  int LinkAt(int X, int Y, TLinkAtResult& result) override;
};

// One cell of a table row.
class TCellObj {
 public:
  // A cell of a TD or TH element with its properties and attributes.
  TCellObj(TSectionList* ownerList, TProperties& properties, const TCellAttributes& attributes, int vAlign);
  ~TCellObj();

  // Limits read values are kept within, so that sums cannot overflow and spans cannot ask for millions of
  // slots.
  static constexpr int kMaxColSpan = 1000;
  static constexpr int kMaxRowSpan = 65534;
  static constexpr int kMaxPixels = 100000;

  int ColSpan = 1;
  int RowSpan = 1;
  int Wd = 0;          // width: the spanned column widths
  int Ht = 0;          // height: the spanned row heights
  int VSize = 0;       // height of the laid-out content
  int SpecHt = 0;      // pixels
  int SpecHtPercent = 0;
  int YIndent = 0;     // vertical offset of the content
  int VAlign = 2;      // 1 top, 2 middle, 3 baseline, 4 bottom
  int SpecWd = 0;      // the width attribute: pixels, or per mille with WidthAsPercent
  bool WidthAsPercent = false;
  int EmSize = 0;
  int ExSize = 0;
  int PadTop = -1, PadRight = -1, PadBottom = -1, PadLeft = -1;
  int BrdTop = 0, BrdRight = 0, BrdBottom = 0, BrdLeft = 0;
  int HzSpace = 0;
  int VrSpace = 0;
  bool HasBorderStyle = false;
  bool BkGnd = false;  // a background colour of its own (BGCOLOR or style)
  TColor BkColor = ColorNone;
  // What few cells have, kept apart so that the cells of long plain tables stay small.
  struct TCellLooks {
    std::string BackgroundImage;
    TBackgroundPosition BkPosition;
    TBorderLook BorderLook;  // styles and colours of the sides, with HasBorderStyle
    TBackgroundPicture Picture;  // the background image, once painted
  };
  std::unique_ptr<TCellLooks> Looks;
  TCellLooks& MakeLooks() {
    if (!Looks) Looks = std::make_unique<TCellLooks>();
    return *Looks;
  }
  const std::string& BackgroundImage() const;
  TPageBreaks PageBreaks;
  std::unique_ptr<TCellObjCell> Cell;

  bool HasContent() const { return Cell && !Cell->Empty(); }
};

// One table row. Once the table's grid is complete, Cells holds a slot for each column up to the row's
// last: a cell where one starts, null where a cell to the left or above spans over it or where nothing
// does (table_grid.h). Spans of millions of slots then cost a pointer a slot.
class TCellList {
 public:
  TCellList(const TRowAttributes& attributes, TProperties& properties);
  ~TCellList();

  std::vector<std::unique_ptr<TCellObj>> Cells;
  int RowHeight = 0;
  int SpecRowHeight = 0;
  int SpecRowHeightPercent = 0;
  int RowSpanHeight = 0;  // the tallest sum of heights of a cell starting in this row
  bool BkGnd = false;
  TColor BkColor = ColorNone;
  std::string BkImage;
  TPageBreaks PageBreaks;
  int RowType = 1;  // 0 head, 1 body, 2 foot

  // Adds a cell: the row's height and page breaks pass to it.
  void Add(std::unique_ptr<TCellObj> cell);
  int Count() const { return static_cast<int>(Cells.size()); }
  bool IsPlaceholder(int column) const { return Slot(column) == nullptr; }
  TCellObj* Slot(int column) const {
    return column >= 0 && column < Count() ? Cells[static_cast<std::size_t>(column)].get() : nullptr;
  }
};

// The grid of a table: rows of cell slots, the widths of its columns and the heights of its rows.
class ThtmlTable final : public TSectionBase {
 public:
  ThtmlTable(TSectionList* ownerList, TProperties& properties, const TTableAttributes& attributes);
  ~ThtmlTable() override;

  std::vector<std::unique_ptr<TCellList>> Rows;
  bool Initialized = false;
  int BorderWidth = 0;
  bool Floating = false;
  int NumCols = 0;
  int TableWidth = 0;
  int SpecWidth = 0;        // asked for by the table block; 0 for none
  bool UseAbsolute = false; // some cell has a width in pixels
  int CellPadding = 1;
  int CellSpacing = 2;
  TColor BorderColorLight;
  TColor BorderColorDark;
  int DrawX = 0;
  int DrawY = 0;
  bool BkGnd = false;
  TColor BkColor = ColorNone;
  std::vector<TColObj> ColInfo;
  std::vector<int> Widths;   // of the columns, from the last layout
  std::vector<int> Heights;  // of the rows, from the last layout; cleared when the columns are measured

  void AddColumn(const TColObj& column) { ColInfo.push_back(column); }
  void AddRow(std::unique_ptr<TCellList> row) { Rows.push_back(std::move(row)); }

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
  void CollectSections(std::vector<TSection*>& sections) override;
  // Each row is kept whole (with the cells that span down from it), its forced breaks asked for, the
  // head rows reported for repeating, and the cells' content's constraints added.
  void CollectPageBreaks(TPageBreakCollector& collector) override;

  // The steps of the layout (table.cpp), public for tests: the grid completed once, the columns given
  // widths from a width the columns share.
  void Initialize();
  void FindColumnWidths(int width);

 private:
  // A cell takes its row's and the table's defaults (padding, borders, backgrounds).
  void CompleteCell(const TCellList& row, TCellObj& cell);
  void CompleteGrid();
  // CompleteGrid for a table without spans or column declarations, whose cells fit the budget of
  // slots; false, having changed nothing, for any other table.
  bool CompleteGridWithoutSpans(long long budget);
  // The cells' widths and what they ask for, their content measured.
  TColumnConstraints ColumnConstraints();
  // Both lay the cells out in the context of the table's cells.
  void FindRowHeights(int AHeight, const TLayoutContext& cells);
  void PlaceCells(int Y, int& Curs, const TLayoutContext& cells);
  // The rows whose band may meet [top, bottom] of the document.
  std::pair<int, int> RowStretch(int top, int bottom) const;
  void PaintCell(QPainter& canvas, TCellObj& cell, const TCellList& row, int x, int y, const TPaintArgs& args);
  template <typename Visit>
  bool VisitCellsAt(int X, int Y, Visit visit);

  // The placement of the last layout and the cells it placed, kept so that a nested table placed by every
  // pass of the tables around it reuses their room.
  std::vector<TPlacedCell> m_placedCells;
  TRowPlacement m_placement;
  std::vector<int> m_rowTops;         // document y of each row, from the last layout
  std::vector<int> m_rowBottomSoFar;  // the lowest bottom of the cells of the rows up to each one
  // Measurements kept for the layout cycle: a nested table is measured by each enclosing layout pass,
  // and would otherwise be measured again for every level above it.
  int m_minMaxCycle = -1;
  int m_minMaxD = -1;
  int m_minCache = 0;
  int m_maxCache = 0;
  int m_measuredCycle = -1;
  int m_measuredWidth = -1;
  int m_measuredHeight = -1;
};

}  // namespace corvane
