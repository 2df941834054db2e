#pragma once

#include <QRect>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "layout/indent_manager.h"
#include "layout/margin_collapse.h"
#include "layout/section_base.h"
#include "style/style_colors.h"

class QPainter;

namespace corvane {

class TBlock;
class TPageBreakCollector;
class TSection;
class TSectionList;

// The items of a content list in paint order, with what finds quickly the ones that meet a band of y:
// the highest bottom of the items up to each position and the lowest top from each position on. Items
// that meet a band lie in one stretch of positions, whatever the order; positioned items, drawn away
// from their place in the flow, always count.
class TItemBands {
 public:
  void Build(const std::vector<TSectionBase*>& items);
  void Build(const std::vector<std::unique_ptr<TSectionBase>>& items);
  // The stretch [first, last) of positions that may hold items meeting [top, bottom].
  std::pair<int, int> Stretch(int top, int bottom) const;

 private:
  // Short lists are simply walked whole: most table cells hold one item.
  static constexpr std::size_t kShortList = 8;
  template <class TItems>
  void BuildFrom(const TItems& items);

  std::size_t m_count = 0;
  // For long lists: the highest bottom so far at [0, count), the lowest top from on at [count, 2 count).
  std::unique_ptr<int[]> m_bands;
};

// A content list: the ordered items of one container, owned.
class TCellBasic {
 public:
  explicit TCellBasic(TSectionList* ownerList);
  virtual ~TCellBasic();
  TCellBasic(const TCellBasic&) = delete;
  TCellBasic& operator=(const TCellBasic&) = delete;

  TSectionList* OwnerList;  // not owned
  int TopY = 0;
  IndentManager* IMgr = nullptr;  // the manager used while laying out and painting the items
  int FirstCharIndex = 0;
  int CharCount = 0;
  bool BkGnd = false;
  TColor BkColor = ColorNone;
  int ContentBottom = 0;
  int PaintTop = 0;
  int PaintBottom = 0;
  std::string_view OwnerTag;   // "li", "body", "default" ...: a literal or an interned name
  TBlock* OwnerBlock = nullptr;  // for the content list of a block

  int Count() const { return static_cast<int>(m_items.size()); }
  bool Empty() const { return m_items.empty(); }
  TSectionBase& operator[](int index) const { return *m_items[static_cast<std::size_t>(index)]; }
  TSectionBase* Last() const { return m_items.empty() ? nullptr : m_items.back().get(); }
  // The last item that is not an absolutely positioned block.
  TSectionBase* LastFlowItem() const { return m_lastFlowItem; }

  // Adds an item built at the source position: a text section is finished first, and one left with no
  // text (and nothing else that keeps it) is freed instead of added.
  void Add(std::unique_ptr<TSectionBase> item, int tagPosition);
  // Takes an item out without freeing it.
  std::unique_ptr<TSectionBase> Remove(TSectionBase* item);
  void Clear();

  virtual int LayOut(int Y, int Width, int AHeight, int BlHt, int& ScrollWidth, int& Curs,
                     const TLayoutContext& context);
  virtual void GetMinMaxWidth(int& Min, int& Max);
  // Paints the items from Y with the place, clip and context of args; the list's own indentation manager
  // replaces args.IMgr.
  virtual int Paint(QPainter& canvas, const TPaintArgs& args, int ClipWidth, int Y);
  virtual int LinkAt(int X, int Y, TLinkAtResult& result);

  bool ObjectAt(int X, int Y, TObjectAtPoint& result);
  int CharIndexAt(int X, int Y, TCharAtPoint& result);
  int FindText(int from, const std::u16string& text, bool matchCase);
  int FindTextBackward(int from, const std::u16string& text, bool matchCase);
  int SourcePosOf(int index);
  int DocPosOf(int sourcePosition, bool previous);
  bool CharIndexToXY(int index, int& X, int& Y);
  bool CharAt(int index, char16_t& ch, TSectionBase*& object);
  void CopySelection();
  void AddToPositionList();
  void CollectSections(std::vector<TSection*>& sections);
  void CollectPageBreaks(TPageBreakCollector& collector);

 protected:
  // Lays the items out one below the other from args.Y; the vertical margins of blocks that adjoin
  // collapse. With leadingTaken the top margins that adjoin the list's top are already applied above
  // args.Y. Answers the y below the last item; the margin under it, not yet applied, is left in
  // trailing for the owner to apply or pass on.
  int StackItems(const TLayoutArgs& args, bool leadingTaken, TCollapsedMargin& trailing, int& ScrollWidth,
                 int& Curs);
  // Lays out one item, keeping the list going when the item fails.
  int LayOutItem(TSectionBase& item, const TLayoutArgs& args, int& MaxWidth, int& Curs);
  void BuildBands() { m_bands.Build(m_items); }

  std::vector<std::unique_ptr<TSectionBase>> m_items;
  TSectionBase* m_lastFlowItem = nullptr;
  TItemBands m_bands;
};

// A content list with its own indentation manager: the document root and table cells.
class TCell : public TCellBasic {
 public:
  explicit TCell(TSectionList* ownerList);
  ~TCell() override;

  int PaintedY = 0;  // y at which the list was last painted

  int LayOut(int Y, int Width, int AHeight, int BlHt, int& ScrollWidth, int& Curs,
             const TLayoutContext& context) override;
  int Paint(QPainter& canvas, const TPaintArgs& args, int ClipWidth, int Y) override;
  // Lays the list out again at Y with the width of its last layout. A list of plain text sections is
  // only moved: its lines would come out the same.
  int LayOutAgainAt(int Y, int Width, int AHeight, int BlHt, int& ScrollWidth, int& Curs,
                    const TLayoutContext& context);

 private:
  // The indentation manager lives only while the list is laid out or painted: nothing of it is needed
  // in between, and tables have thousands of cells.
  class TOwnManager;
  int m_width = -1;  // of the last layout
  int m_height = 0;
  int m_scrollWidth = 0;
};

// Raised by an item whose layout fails: the item is left out of the document and the failure reported
// once the layout is over.
class EProcessError : public std::exception {
 public:
  explicit EProcessError(std::string message) : m_message(std::move(message)) {}
  const char* what() const noexcept override { return m_message.c_str(); }

 private:
  std::string m_message;
};

}  // namespace corvane
