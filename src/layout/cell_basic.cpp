#include "layout/cell_basic.h"

#include <QPainter>

#include <algorithm>
#include <climits>

#include "layout/block.h"
#include "layout/section.h"
#include "layout/section_list.h"

namespace corvane {

namespace {
// Items this far outside the clip rectangle cannot draw into it.
constexpr int kPaintReach = 200;
}  // namespace

template <class TItems>
void TItemBands::BuildFrom(const TItems& items) {
  const std::size_t n = items.size();
  if (n <= kShortList) {
    m_count = n;
    m_bands.reset();
    return;
  }
  if (!m_bands || m_count != n) m_bands = std::make_unique_for_overwrite<int[]>(2 * n);
  m_count = n;
  int* bottomSoFar = m_bands.get();
  int* topFrom = m_bands.get() + n;
  int bottom = INT_MIN;
  for (std::size_t i = 0; i < n; ++i) {
    const TSectionBase& item = *items[i];
    bottom = std::max(bottom, item.IsPositioned() ? INT_MAX : std::max(item.PaintBottom, item.PaintY + item.InkHeight));
    bottomSoFar[i] = bottom;
  }
  int top = INT_MAX;
  for (std::size_t i = n; i-- > 0;) {
    const TSectionBase& item = *items[i];
    top = std::min(top, item.IsPositioned() ? INT_MIN : std::min(item.PaintTop, item.PaintY));
    topFrom[i] = top;
  }
}

void TItemBands::Build(const std::vector<TSectionBase*>& items) { BuildFrom(items); }
void TItemBands::Build(const std::vector<std::unique_ptr<TSectionBase>>& items) { BuildFrom(items); }

std::pair<int, int> TItemBands::Stretch(int top, int bottom) const {
  if (m_count <= kShortList) return {0, static_cast<int>(m_count)};
  const int* bottomSoFar = m_bands.get();
  const int* topFrom = m_bands.get() + m_count;
  const int first = static_cast<int>(std::lower_bound(bottomSoFar, bottomSoFar + m_count, top) - bottomSoFar);
  const int last = static_cast<int>(std::upper_bound(topFrom, topFrom + m_count, bottom) - topFrom);
  return {first, std::max(first, last)};
}

TCellBasic::TCellBasic(TSectionList* ownerList) : OwnerList(ownerList) {}
TCellBasic::~TCellBasic() = default;

void TCellBasic::Add(std::unique_ptr<TSectionBase> item, int tagPosition) {
  if (!item) return;
  item->TagPosition = tagPosition;
  if (item->IsTextSection()) {
    auto& section = static_cast<TSection&>(*item);
    section.Finish(tagPosition);
    if (section.Text().empty() && !section.IsPreformatted() && !section.HoldsAnchor() && !section.HasClear() &&
        !section.HasFormControls())
      return;
    section.RegisterId();
    section.DropBuildState();
  }
  item->OwnerList = OwnerList;
  if (!item->IsAbsolutelyPositioned()) m_lastFlowItem = item.get();
  m_items.push_back(std::move(item));
}

std::unique_ptr<TSectionBase> TCellBasic::Remove(TSectionBase* item) {
  for (auto at = m_items.begin(); at != m_items.end(); ++at) {
    if (at->get() != item) continue;
    std::unique_ptr<TSectionBase> removed = std::move(*at);
    m_items.erase(at);
    m_lastFlowItem = nullptr;
    for (auto last = m_items.rbegin(); last != m_items.rend(); ++last) {
      if ((*last)->IsAbsolutelyPositioned()) continue;
      m_lastFlowItem = last->get();
      break;
    }
    return removed;
  }
  return nullptr;
}

void TCellBasic::Clear() {
  m_lastFlowItem = nullptr;
  m_items.clear();
}

int TCellBasic::LayOutItem(TSectionBase& item, const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  MaxWidth = 0;
  if (item.Failed) return 0;
  try {
    return item.LayOut(args, MaxWidth, Curs);
  } catch (const EProcessError& error) {
    // The item is left out; the viewer reports the failure once the layout is over.
    item.Failed = true;
    item.Height = item.InkHeight = 0;
    item.TopY = item.PaintTop = item.PaintY = item.BottomY = item.PaintBottom = args.Y;
    OwnerList->Host().ReportLayoutError(error.what());
    return 0;
  }
}

int TCellBasic::StackItems(const TLayoutArgs& args, bool leadingTaken, TCollapsedMargin& trailing, int& ScrollWidth,
                           int& Curs) {
  ScrollWidth = 0;
  int y = args.Y;
  TCollapsedMargin pending;
  bool atTop = leadingTaken;  // still at the list's top: the margins met so far are applied above it
  for (const auto& item : m_items) {
    TLayoutArgs itemArgs = args;
    int maxWidth = 0;
    TBlock* block = item->AsBlock();
    if (block && block->CollapsesInFlow() && !item->Failed) {
      if (block->CollapsesThrough()) {
        // Takes no room: its margins join those around it.
        if (!atTop) block->AddThroughMargins(pending);
        block->SetStackedTop(0, true);
        itemArgs.Y = y + pending.Value();
        LayOutItem(*item, itemArgs, maxWidth, Curs);
        ScrollWidth = std::max(ScrollWidth, maxWidth);
        continue;
      }
      if (!atTop) block->AddLeadingMargins(pending);
      block->SetStackedTop(pending.Value(), block->TopOpen());
      itemArgs.Y = y;
      y += LayOutItem(*item, itemArgs, maxWidth, Curs);
      pending = block->TrailingMargin;
      atTop = false;
    } else if (block && (block->IsFloating() || block->IsAbsolutelyPositioned() || block->DisplayNone)) {
      // Out of the flow: placed below the space so far, which still collapses with what follows.
      itemArgs.Y = y + pending.Value();
      LayOutItem(*item, itemArgs, maxWidth, Curs);
    } else {
      y += pending.Value();
      pending = TCollapsedMargin();
      itemArgs.Y = y;
      y += LayOutItem(*item, itemArgs, maxWidth, Curs);
      atTop = false;
    }
    ScrollWidth = std::max(ScrollWidth, maxWidth);
  }
  trailing = pending;
  return y;
}

int TCellBasic::LayOut(int Y, int Width, int AHeight, int BlHt, int& ScrollWidth, int& Curs,
                       const TLayoutContext& context) {
  TopY = Y;
  FirstCharIndex = Curs;
  // A table cell keeps the margins of its first and last blocks inside, except in quirks mode, where
  // they are dropped.
  const bool quirks = OwnerList && OwnerList->State.QuirksMode;
  TCollapsedMargin trailing;
  const TLayoutArgs args{0, Y, 0, 0, Width, AHeight, BlHt, IMgr, context};
  int bottom = StackItems(args, quirks, trailing, ScrollWidth, Curs);
  if (!quirks) bottom += trailing.Value();
  CharCount = Curs - FirstCharIndex;
  BuildBands();
  return std::max(0, bottom - Y);
}

void TCellBasic::GetMinMaxWidth(int& Min, int& Max) {
  Min = 0;
  Max = 0;
  for (const auto& item : m_items) {
    int min = 0, max = 0;
    item->GetMinMaxWidth(min, max);
    Min = std::max(Min, min);
    Max = std::max(Max, max);
  }
}

int TCellBasic::Paint(QPainter& canvas, const TPaintArgs& given, int, int Y) {
  int result = Y;
  const int yOffset = OwnerList->YOffset();
  const QRect& clip = given.ARect;
  const auto [first, last] =
      m_bands.Stretch(clip.top() + yOffset - kPaintReach, clip.top() + clip.height() + yOffset + kPaintReach);
  TPaintArgs args = given;
  args.IMgr = IMgr;
  for (int i = first; i < last && i < Count(); ++i) {
    TSectionBase& item = *m_items[static_cast<std::size_t>(i)];
    if (!item.Failed) result = item.Paint(canvas, args);
  }
  if (!m_items.empty() && last < Count()) result = m_items.back()->PaintY + m_items.back()->Height;
  return result;
}

// Visits the items whose [PaintTop, PaintBottom) holds y, in order, until visit answers true.
template <typename Visit>
static bool VisitItemsAt(const std::vector<std::unique_ptr<TSectionBase>>& items, const TItemBands& bands, int y,
                         Visit visit) {
  const auto [first, last] = bands.Stretch(y, y);
  for (int i = first; i < last && i < static_cast<int>(items.size()); ++i) {
    TSectionBase& item = *items[static_cast<std::size_t>(i)];
    if (item.Failed || item.PaintTop > y || y >= item.PaintBottom) continue;
    if (visit(item)) return true;
  }
  return false;
}

int TCellBasic::LinkAt(int X, int Y, TLinkAtResult& result) {
  int flags = 0;
  VisitItemsAt(m_items, m_bands, Y, [&](TSectionBase& item) {
    flags = item.LinkAt(X, Y, result);
    return flags != 0;
  });
  return flags;
}

bool TCellBasic::ObjectAt(int X, int Y, TObjectAtPoint& result) {
  return VisitItemsAt(m_items, m_bands, Y, [&](TSectionBase& item) { return item.ObjectAt(X, Y, result); });
}

int TCellBasic::CharIndexAt(int X, int Y, TCharAtPoint& result) {
  int index = -1;
  VisitItemsAt(m_items, m_bands, Y, [&](TSectionBase& item) {
    index = item.CharIndexAt(X, Y, result);
    return index >= 0;
  });
  return index;
}

int TCellBasic::FindText(int from, const std::u16string& text, bool matchCase) {
  for (const auto& item : m_items)
    if (const int at = item->FindText(from, text, matchCase); at >= 0) return at;
  return -1;
}

int TCellBasic::FindTextBackward(int from, const std::u16string& text, bool matchCase) {
  for (auto item = m_items.rbegin(); item != m_items.rend(); ++item)
    if (const int at = (*item)->FindTextBackward(from, text, matchCase); at >= 0) return at;
  return -1;
}

int TCellBasic::SourcePosOf(int index) {
  for (const auto& item : m_items)
    if (const int at = item->SourcePosOf(index); at >= 0) return at;
  return -1;
}

int TCellBasic::DocPosOf(int sourcePosition, bool previous) {
  if (!previous) {
    for (const auto& item : m_items)
      if (const int at = item->DocPosOf(sourcePosition, false); at >= 0) return at;
  } else {
    for (auto item = m_items.rbegin(); item != m_items.rend(); ++item)
      if (const int at = (*item)->DocPosOf(sourcePosition, true); at >= 0) return at;
  }
  return -1;
}

bool TCellBasic::CharIndexToXY(int index, int& X, int& Y) {
  for (const auto& item : m_items)
    if (item->CharIndexToXY(index, X, Y)) return true;
  return false;
}

bool TCellBasic::CharAt(int index, char16_t& ch, TSectionBase*& object) {
  if (index < FirstCharIndex || index > FirstCharIndex + CharCount) return false;
  for (const auto& item : m_items)
    if (item->CharAt(index, ch, object)) return true;
  return false;
}

void TCellBasic::CopySelection() {
  const int selB = OwnerList->SelB, selE = OwnerList->SelE;
  for (const auto& item : m_items) {
    if (item->FirstCharIndex >= selE) break;
    if (item->FirstCharIndex + item->CharCount > selB || (item->CharCount == 0 && item->FirstCharIndex >= selB))
      item->CopySelection();
  }
}

void TCellBasic::CollectSections(std::vector<TSection*>& sections) {
  for (const auto& item : m_items) item->CollectSections(sections);
}

void TCellBasic::AddToPositionList() {
  for (const auto& item : m_items) item->AddToPositionList();
}

TCell::TCell(TSectionList* ownerList) : TCellBasic(ownerList) {}
TCell::~TCell() = default;

// Puts a fresh indentation manager into a list's hands for one layout or paint. Managers are kept
// for the next cell once given back, with the room their records took: a page of many small table
// cells would otherwise allocate two lists of records for each cell at each layout and paint.
class TCell::TOwnManager {
 public:
  explicit TOwnManager(TCell& cell) : m_cell(cell), m_saved(cell.IMgr), m_manager(TakeManager()) {
    m_cell.IMgr = m_manager.get();
  }
  ~TOwnManager() {
    m_cell.IMgr = m_saved;
    GiveBack(std::move(m_manager));
  }
  TOwnManager(const TOwnManager&) = delete;
  TOwnManager& operator=(const TOwnManager&) = delete;
  IndentManager& Manager() { return *m_manager; }

 private:
  static constexpr std::size_t kMostSpares = 32;  // cells nested deeper than this allocate
  static constexpr std::size_t kMostKeptRecords = 256;

  // Room for every spare kept is made at once, so that giving one back never allocates.
  static std::vector<std::unique_ptr<IndentManager>>& Spares() {
    thread_local std::vector<std::unique_ptr<IndentManager>> spares = [] {
      std::vector<std::unique_ptr<IndentManager>> room;
      room.reserve(kMostSpares);
      return room;
    }();
    return spares;
  }
  static std::unique_ptr<IndentManager> TakeManager() {
    std::vector<std::unique_ptr<IndentManager>>& spares = Spares();
    if (spares.empty()) return std::make_unique<IndentManager>();
    std::unique_ptr<IndentManager> manager = std::move(spares.back());
    spares.pop_back();
    return manager;
  }
  static void GiveBack(std::unique_ptr<IndentManager> manager) {
    std::vector<std::unique_ptr<IndentManager>>& spares = Spares();
    if (spares.size() >= kMostSpares || manager->L.capacity() > kMostKeptRecords ||
        manager->R.capacity() > kMostKeptRecords)
      return;
    // As new, but for the room of the two lists.
    std::vector<IndentRec> left = std::move(manager->L);
    std::vector<IndentRec> right = std::move(manager->R);
    left.clear();
    right.clear();
    *manager = IndentManager();
    manager->L = std::move(left);
    manager->R = std::move(right);
    spares.push_back(std::move(manager));
  }

  TCell& m_cell;
  IndentManager* m_saved;
  std::unique_ptr<IndentManager> m_manager;
};

int TCell::LayOut(int Y, int Width, int AHeight, int BlHt, int& ScrollWidth, int& Curs,
                  const TLayoutContext& context) {
  TOwnManager own(*this);
  IndentManager& mgr = own.Manager();
  mgr.Reset(0, Width);
  mgr.Width = Width;
  mgr.CurrentID = this;
  const int left = mgr.AddLeft(0, Y);
  const int right = mgr.AddRight(Width, Y);
  const int height = TCellBasic::LayOut(Y, Width, AHeight, BlHt, ScrollWidth, Curs, context);
  mgr.RemoveLeft(left);
  mgr.RemoveRight(right);
  const int floatBottom = mgr.FloatBottom();
  m_width = Width;
  m_height = std::max(height, floatBottom - TopY);
  m_scrollWidth = ScrollWidth;
  return m_height;
}

int TCell::LayOutAgainAt(int Y, int Width, int AHeight, int BlHt, int& ScrollWidth, int& Curs,
                         const TLayoutContext& context) {
  bool plain = Width == m_width;
  for (int i = 0; plain && i < Count(); ++i) {
    TSectionBase& item = (*this)[i];
    plain = item.IsTextSection() && !item.Failed && static_cast<TSection&>(item).CanTranslate();
  }
  if (!plain) return LayOut(Y, Width, AHeight, BlHt, ScrollWidth, Curs, context);
  const int dy = Y - TopY, dCurs = Curs - FirstCharIndex;
  for (int i = 0; i < Count(); ++i) static_cast<TSection&>((*this)[i]).Translate(dy, dCurs);
  TopY = Y;
  FirstCharIndex = Curs;
  Curs += CharCount;
  BuildBands();
  ScrollWidth = m_scrollWidth;
  return m_height;
}

int TCell::Paint(QPainter& canvas, const TPaintArgs& args, int ClipWidth, int Y) {
  TOwnManager own(*this);
  own.Manager().Reset(args.X, args.X + m_width);
  own.Manager().ClipWidth = ClipWidth;
  PaintedY = Y;
  return TCellBasic::Paint(canvas, args, ClipWidth, Y);
}

}  // namespace corvane
