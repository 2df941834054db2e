#pragma once

#include <QRect>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "html/id_name_list.h"
#include "style/font_obj.h"

class QPainter;

namespace corvane {

class IndentManager;
class TBlock;
class TFloatingObj;
class TFormControlObj;
class TPageBreakCollector;
class TSection;
class TSectionList;

// Flags of a link hit test.
enum TLinkAtFlag : int { LinkAtLink = 1, LinkAtFormControl = 2, LinkAtTitle = 4 };

// What a link hit test found under a point.
struct TLinkAtResult {
  std::optional<TRunTarget> Link;  // a copy of the link's target
  TFormControlObj* FormControl = nullptr;
  int FormX = 0;  // the point inside an image button
  int FormY = 0;
  std::string Title;
};

// What a character hit test found under a point.
struct TCharAtPoint {
  int XR = 0;  // x of the caret before the character
  int YR = 0;  // y of the top of the caret
  int CaretHeight = 0;
  bool InText = false;
};

// What an object hit test found under a point: the object and the point inside it.
struct TObjectAtPoint {
  TFloatingObj* Object = nullptr;
  int IX = 0;
  int IY = 0;
};

// What an item's layout inherits from the items around it. Each item that changes it for what it holds
// passes a changed copy down, so it holds for the nested layout only, also when that fails.
struct TLayoutContext {
  int TableNesting = 0;             // the tables around the item
  bool TableFinalPass = false;      // the outermost table is placing its cells
  int* ListItemBaseline = nullptr;  // the list item whose baseline the next first line gives, when 0
};

// The arguments of an item's layout: its place (x, y), the reference point of positioned content, the
// width and height available, the height of the enclosing block, the indentation manager and the
// context.
struct TLayoutArgs {
  int X = 0;
  int Y = 0;
  int XRef = 0;
  int YRef = 0;
  int AWidth = 0;
  int AHeight = 0;
  int BlHt = 0;
  IndentManager* IMgr = nullptr;
  TLayoutContext Context;
};

// What an item's paint inherits from the items around it. As with the layout context, an item that
// changes it for what it holds passes a changed copy down, so it holds for the nested paint only.
struct TPaintContext {
  int TableNesting = 0;  // the tables around the item; positioned blocks inside one paint unclipped
};

// The arguments of an item's paint: the clip rectangle (screen coordinates), the x of the content, the
// reference point of positioned content, the indentation manager and the context.
struct TPaintArgs {
  QRect ARect;
  int X = 0;
  int XRef = 0;
  int YRef = 0;
  IndentManager* IMgr = nullptr;
  TPaintContext Context;
};

// A laid-out item of a document: text sections, blocks, tables, rules and page breaks. Y values are
// document coordinates (0 at the top of the document); painting converts them to screen coordinates
// by subtracting the document's scroll offset.
class TSectionBase : public TIDObject {
 public:
  explicit TSectionBase(TSectionList* ownerList);
  ~TSectionBase() override;
  TSectionBase(const TSectionBase&) = delete;
  TSectionBase& operator=(const TSectionBase&) = delete;

  static constexpr int kNotLaidOut = 999999999;

  TBlock* EnclosingBlock = nullptr;  // the block whose draw list holds the item; not owned
  TSectionList* OwnerList;           // not owned
  int Height = 0;
  int InkHeight = 0;
  int FirstCharIndex = 0;
  int CharCount = 0;
  int StackLevel = 0;
  int TopY = kNotLaidOut;
  int BottomY = 0;
  int LeftX = 0;
  int PaintTop = 0;
  int PaintBottom = 0;
  int PaintY = 0;

  int GetYPos() const override { return TopY; }

  virtual void CopySelection();
  // Lays the item out; returns the height it takes in the flow. MaxWidth receives the widest line;
  // Curs is the document character counter.
  virtual int LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs);
  // Paints the item; returns the y below it.
  virtual int Paint(QPainter& canvas, const TPaintArgs& args);
  virtual int LinkAt(int X, int Y, TLinkAtResult& result);
  virtual bool ObjectAt(int X, int Y, TObjectAtPoint& result);
  virtual int CharIndexAt(int X, int Y, TCharAtPoint& result);
  virtual int FindText(int from, const std::u16string& text, bool matchCase);
  virtual int FindTextBackward(int from, const std::u16string& text, bool matchCase);
  virtual int SourcePosOf(int index);
  virtual int DocPosOf(int sourcePosition, bool previous);
  virtual bool CharIndexToXY(int index, int& X, int& Y);
  virtual bool CharAt(int index, char16_t& ch, TSectionBase*& object);
  virtual void GetMinMaxWidth(int& Min, int& Max);
  virtual void AddToPositionList();
  // Appends the text sections of the item, in the order the position look-ups visit them.
  virtual void CollectSections(std::vector<TSection*>& sections);
  // Tells the pagination which spans of the laid-out item a page edge should not cut, and where the item
  // asks for a new page. By default the item is kept whole.
  virtual void CollectPageBreaks(TPageBreakCollector& collector);

  // Item kinds that content lists and builders look for.
  virtual bool IsTextSection() const { return false; }
  virtual TBlock* AsBlock() { return nullptr; }
  // An absolutely positioned block takes no part in margin collapsing or content bottoms.
  virtual bool IsAbsolutelyPositioned() const { return false; }
  // Positioned items are drawn away from their place in the flow.
  virtual bool IsPositioned() const { return false; }

  // An item whose layout failed is left out of the document: no height, never painted.
  bool Failed = false;

  // The source position at which the builder added the item.
  int TagPosition = -1;
};

// A forced page break; only printing acts on it.
class TPage final : public TSectionBase {
 public:
  using TSectionBase::TSectionBase;

  void CollectPageBreaks(TPageBreakCollector& collector) override;
};

}  // namespace corvane
