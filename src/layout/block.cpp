#include "layout/block.h"

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <mutex>
#include <set>

#include "html/attribute_list.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "style/border_look.h"
#include "style/style_context.h"
#include "style/style_units.h"

namespace corvane {

namespace {

// Element names live as long as the program: the few block names there are, each kept once.
std::string_view InternedTag(const std::string& tag) {
  static std::mutex guard;
  static std::set<std::string, std::less<>> names;
  const std::lock_guard<std::mutex> lock(guard);
  return *names.insert(tag).first;
}

}  // namespace

namespace {

constexpr int kPaintReach = 200;

bool IsAuto(int value) { return value == AutoLength; }
int OrZero(int value) { return value == AutoLength || value == NotSet ? 0 : value; }

// Saves the painter's clip and restores it when the scope ends, also when painting fails.
class TClipGuard {
 public:
  explicit TClipGuard(QPainter& canvas) : m_canvas(canvas) { m_canvas.save(); }
  ~TClipGuard() { m_canvas.restore(); }
  TClipGuard(const TClipGuard&) = delete;
  TClipGuard& operator=(const TClipGuard&) = delete;

 private:
  QPainter& m_canvas;
};

}  // namespace

TBlockCell::TBlockCell(TSectionList* ownerList, TBlock* owner) : TCellBasic(ownerList) { OwnerBlock = owner; }

int TBlockCell::DoLayout(const TLayoutArgs& args, bool leadingTaken, TCollapsedMargin& trailing, int& ScrollWidth,
                         int& Curs) {
  TopY = args.Y;
  FirstCharIndex = Curs;
  IMgr = args.IMgr;
  const int bottom = StackItems(args, leadingTaken, trailing, ScrollWidth, Curs);
  ContentBottom = args.Y;
  PaintTop = 990000;
  PaintBottom = 0;
  for (const auto& item : m_items) {
    if (!item->IsAbsolutelyPositioned()) ContentBottom = std::max(ContentBottom, item->BottomY);
    PaintTop = std::min(PaintTop, item->PaintTop);
    PaintBottom = std::max(PaintBottom, item->PaintBottom);
  }
  CharCount = Curs - FirstCharIndex;
  BuildBands();
  return bottom - args.Y;
}

int TBlockCell::PaintItems(QPainter& canvas, const std::vector<TSectionBase*>& drawList, const TItemBands& bands,
                           const TPaintArgs& args) {
  const int yOffset = OwnerList->YOffset();
  const auto [first, last] =
      bands.Stretch(args.ARect.top() + yOffset - kPaintReach, args.ARect.top() + args.ARect.height() + yOffset + kPaintReach);
  int result = 0;
  for (int i = first; i < last && i < static_cast<int>(drawList.size()); ++i) {
    TSectionBase& item = *drawList[static_cast<std::size_t>(i)];
    if (!item.Failed) result = item.Paint(canvas, args);
  }
  return result;
}

const std::shared_ptr<const TBoxValues>& TSharedBoxValues::NoValues() {
  static const std::shared_ptr<const TBoxValues> empty = std::make_shared<TBoxValues>();
  return empty;
}

TPropValue& TSharedBoxValues::Edit(int index) {
  if (m_values.use_count() > 1) m_values = std::make_shared<TBoxValues>(*m_values);
  return const_cast<TBoxValues&>(*m_values)[index];
}

void TSharedBoxValues::Assign(std::shared_ptr<const TBoxValues> values, const TSharedBoxValues* other) {
  if (other && other->m_values && other->m_values != values) {
    bool same = true;
    for (int i = TBoxValues::First; i <= TBoxValues::Last && same; ++i) same = (*values)[i] == (*other->m_values)[i];
    if (same) {
      m_values = other->m_values;
      return;
    }
  }
  m_values = std::move(values);
}

TBlock::TBlock(TSectionList* ownerList, const TAttributeList* attributes, TCellBasic* ownerCell,
               TProperties& properties, TKind kind)
    : TSectionBase(ownerList), m_kind(kind) {
  MyCell = std::make_unique<TBlockCell>(ownerList, this);
  MyCell->OwnerTag = InternedTag(properties.ElementTag());
  OwnerCell = ownerCell;
  properties.Font();  // the element's own em and ex sizes
  EmSize = properties.EmSize();
  ExSize = properties.ExSize();
  m_pixelsPerInch = properties.Context().PixelsPerInch();
  FGColor = static_cast<TColor>(properties.Value(Prop::Color).AsInteger());
  HasBorderStyle = properties.HasBorderStyle();
  // The block before this one in the same list most often has the same box.
  const TBlock* previous = nullptr;
  if (ownerCell && ownerCell->Count() > 0) previous = (*ownerCell)[ownerCell->Count() - 1].AsBlock();
  // Read once for the elements of one shape and shared with them (or with the block before it, which
  // was given the same); a block that changes its set copies it first.
  MargArrayO.Assign(properties.SharedBoxValues(), previous ? &previous->MargArrayO : nullptr);
  if (kind != TKind::Body) {
    FloatLR = properties.GetFloat().value_or(0);
    if (FloatLR != 5 && FloatLR != 6) FloatLR = 0;
    Positioning = properties.GetPosition();
  }
  ClearAttr = properties.GetClear().value_or(0);
  Hidden = properties.GetVisibility() == 1;
  DisplayNone = properties.IsDisplayNone();
  HideOverflow = properties.IsOverflowHidden();
  PageBreaks = properties.GetPageBreaks();
  const std::string_view align = properties.Value(Prop::TextAlign).AsText();
  Justify = align == "right" ? 3 : align == "center" ? 2 : 1;
  BkPosition = properties.GetBackgroundPosition(EmSize, ExSize);
  if (kind != TKind::Body && kind != TKind::TableAndCaption)
    BackgroundImage = properties.GetBackgroundImage().value_or(std::string());
  TitleText = properties.TitleText();
  TagClass = std::string(ownerCell ? ownerCell->OwnerTag : std::string_view()) + "." + properties.ElementTag();
  if (attributes && OwnerList) {
    const std::string& id = attributes->Id();
    if (!id.empty()) OwnerList->IDNameList.AddObject(id, this);
  }
  if (Positioning != 0) {
    // z-index values as large as 2147483647 are common: the level is computed wide and kept in range.
    const std::int64_t level = std::int64_t{10} * properties.GetZIndex();
    StackLevel = static_cast<int>(std::clamp<std::int64_t>(level, INT_MIN / 2, INT_MAX / 2));
  }
  if ((Positioning == 1 || IsFloating()) && StackLevel == 0) StackLevel = 1;
  if (Positioning == 1) m_ownManager = std::make_unique<IndentManager>();
  if (kind != TKind::Table && kind != TKind::TableAndCaption) CollapseMargins(properties);
}

TBlock::~TBlock() = default;

void TBlock::CollapseMargins(TProperties& properties) {
  const TParagraphMargins paragraph =
      ConvertVerticalMargins(MargArrayO, 400, EmSize, ExSize, m_pixelsPerInch, MargArray);
  BottomIsParagraphSpace = paragraph.BottomIsParagraph;
  m_topIsParagraphSpace = paragraph.TopIsParagraph;
  int& top = MargArray[Prop::MarginTop];
  // A border, padding, clearance or given height closes the content: children's margins stay inside.
  TMarginArray box{};
  ConvertBoxValues(MargArrayO, 400, 400, EmSize, ExSize, m_pixelsPerInch, box);
  m_topOpen = box[Prop::PaddingTop] == 0 && box[Prop::BorderTopWidth] == 0 && ClearAttr == 0 && !HideOverflow;
  m_bottomOpen = box[Prop::PaddingBottom] == 0 && box[Prop::BorderBottomWidth] == 0 && box[Prop::Height] <= 0 &&
                 !HideOverflow;
  if (Positioning == 1) {
    if (paragraph.TopIsParagraph) top = 0;
  } else if (!IsFloating()) {
    // The rest of the collapsing with the neighbours happens at layout.
    TSectionBase* before = OwnerCell ? OwnerCell->LastFlowItem() : nullptr;
    TBlock* block = before ? before->AsBlock() : nullptr;
    if (block) {
      const bool tableLike = block->Kind() == TKind::Table || block->Kind() == TKind::TableAndCaption;
      if (tableLike && block->IsFloating() && paragraph.TopIsParagraph) top = 0;
    } else if (before && before->IsTextSection()) {
      // A list right after the text of a list item starts without paragraph space.
      if (OwnerCell->OwnerTag == "li" && paragraph.TopIsParagraph &&
          (TagClass.starts_with("ul.") || TagClass.starts_with("ol.")))
        top = 0;
    }
  }
  OwnMarginTop = top;
  OwnMarginBottom = MargArray[Prop::MarginBottom];
  (void)properties;
}

void TBlock::DropBottomMargin() {
  MargArray[Prop::MarginBottom] = 0;
  OwnMarginBottom = 0;
  BottomIsParagraphSpace = false;
}

bool TBlock::CollapsesInFlow() const {
  return (m_kind == TKind::Plain || m_kind == TKind::ListItem || m_kind == TKind::Rule) && Positioning != 1 &&
         !IsFloating() && !DisplayNone;
}

bool TBlock::CollapsesThrough() {
  const int cycle = OwnerList ? OwnerList->State.LayoutCycle : 0;
  if (m_throughCycle == cycle) return m_through;
  bool through = CollapsesInFlow() && m_topOpen && m_bottomOpen;
  for (int i = 0; through && i < MyCell->Count(); ++i) {
    TBlock* block = (*MyCell)[i].AsBlock();
    through = block && (block->DisplayNone || (block->CollapsesInFlow() && block->CollapsesThrough()));
  }
  m_throughCycle = cycle;
  m_through = through;
  return through;
}

namespace {

// Adds the top margins of the first blocks of a list that adjoin the list's top.
void AddLeadingMarginsOf(TBlockCell& list, TCollapsedMargin& margins, bool pageTop) {
  for (int i = 0; i < list.Count(); ++i) {
    TBlock* block = list[i].AsBlock();
    if (block && (block->IsFloating() || block->IsAbsolutelyPositioned() || block->DisplayNone)) continue;
    if (!block || !block->CollapsesInFlow()) return;
    if (!block->CollapsesThrough()) {
      block->AddLeadingMargins(margins, pageTop);
      return;
    }
    block->AddThroughMargins(margins, pageTop);
  }
}

}  // namespace

void TBlock::AddLeadingMargins(TCollapsedMargin& margins, bool pageTop) {
  if (pageTop) {
    if (!m_topIsParagraphSpace) margins.Add(OwnMarginTop);
    if (TopOpen()) AddLeadingMarginsOf(*MyCell, margins, true);
    return;
  }
  // Every enclosing block asks again for the chain below it: kept once per layout.
  const int cycle = OwnerList ? OwnerList->State.LayoutCycle : 0;
  if (m_leadingCycle != cycle) {
    m_leading = TCollapsedMargin();
    m_leading.Add(OwnMarginTop);
    if (TopOpen()) AddLeadingMarginsOf(*MyCell, m_leading, false);
    m_leadingCycle = cycle;
  }
  margins.Add(m_leading);
}

void TBlock::AddThroughMargins(TCollapsedMargin& margins, bool pageTop) {
  if (!(pageTop && m_topIsParagraphSpace)) margins.Add(OwnMarginTop);
  if (!(pageTop && BottomIsParagraphSpace)) margins.Add(OwnMarginBottom);
  for (int i = 0; i < MyCell->Count(); ++i)
    if (TBlock* block = (*MyCell)[i].AsBlock(); block && !block->DisplayNone)
      block->AddThroughMargins(margins, pageTop);
}

void TBlock::SetStackedTop(int space, bool contentLeadingTaken) {
  m_stacked = true;
  m_stackedTop = space;
  m_contentLeadingTaken = contentLeadingTaken;
}

int TBlock::HorizontalMargins() const { return OrZero(MargArray[Prop::MarginLeft]) + OrZero(MargArray[Prop::MarginRight]); }

int TBlock::HorizontalFrame() const {
  return MargArray[Prop::PaddingLeft] + MargArray[Prop::PaddingRight] + MargArray[Prop::BorderLeftWidth] +
         MargArray[Prop::BorderRightWidth];
}

void TBlock::GetMinMaxWidth(int& Min, int& Max) {
  Min = Max = 0;
  if (DisplayNone || Positioning == 1) return;
  // Computed with a base width of 0, the widths hold for the whole layout cycle; every enclosing block
  // asks for them again.
  if (m_minMaxCycle == OwnerList->State.LayoutCycle) {
    Min = m_minCache;
    Max = m_maxCache;
    return;
  }
  ConvertBoxValues(MargArrayO, 0, 400, EmSize, ExSize, m_pixelsPerInch, MargArray);
  const int width = MargArray[Prop::Width];
  if (HideOverflow && !IsAuto(width) && width > 20) {
    Min = Max = width;
  } else {
    MeasureContent(Min, Max);
  }
  const int extra = HorizontalMargins() + HorizontalFrame();
  Min += extra;
  Max += extra;
  if (!IsAuto(width)) {
    Min = std::max(Min, width);
    Max = Min;
  }
  m_minMaxCycle = OwnerList->State.LayoutCycle;
  m_minCache = Min;
  m_maxCache = Max;
}

void TBlock::MeasureContent(int& Min, int& Max) {
  MyCell->GetMinMaxWidth(Min, Max);
  m_contentCycle = OwnerList ? OwnerList->State.LayoutCycle : 0;
}

// Measuring a content list sizes the pictures of its text sections (and marks a break after each
// floating one), measures preformatted text and controls, and measures its tables, which keep what they
// find for their own layout. All that is done here in the order measuring does it; plain text and the
// box values of plain blocks are left alone: their layout measures them again anyway. A block whose
// content was measured or prepared in this cycle is passed over, so that each list is walked once.
void TBlock::PrepareContentUnmeasured() {
  const int cycle = OwnerList ? OwnerList->State.LayoutCycle : 0;
  if (m_contentCycle == cycle) return;
  m_contentCycle = cycle;
  for (int i = 0; i < MyCell->Count(); ++i) {
    TSectionBase& item = (*MyCell)[i];
    int min = 0, max = 0;
    if (item.IsTextSection()) {
      auto& section = static_cast<TSection&>(item);
      if (section.IsPreformatted() || !section.Images().empty() || !section.Controls().empty())
        section.GetMinMaxWidth(min, max);
    } else if (TBlock* block = item.AsBlock(); block && block->MeasuresLikeAPlainBlock()) {
      // A hidden or absolutely positioned block answers 0 without looking inside.
      if (!block->DisplayNone && block->Positioning != 1) block->PrepareContentUnmeasured();
    } else {
      item.GetMinMaxWidth(min, max);
    }
  }
}

int TBlock::ContentWidth(int AWidth, int, int autoCount) {
  int& width = MargArray[Prop::Width];
  int& marginLeft = MargArray[Prop::MarginLeft];
  int& marginRight = MargArray[Prop::MarginRight];
  const int LR = HorizontalFrame();
  const bool hide = HideOverflow && !IsAuto(width) && width > 20;
  // The content's widths count for a given width (unless it hides its overflow) and for an auto width
  // that is absolutely positioned or floats; an auto width in the flow is what is left of AWidth.
  const bool autoResult = autoCount >= 3 || (autoCount >= 1 && IsAuto(width));
  const bool measured = autoResult ? Positioning == 1 || IsFloating() : !hide;
  int Min = 0, Max = 0;
  if (measured) {
    MeasureContent(Min, Max);
  } else {
    PrepareContentUnmeasured();
  }
  auto autoWidth = [&] {
    const int margins = OrZero(marginLeft) + OrZero(marginRight);
    if (Positioning == 1) return std::max(Min, AWidth - LR - margins - LeftP);
    if (IsFloating()) return std::min(Max, AWidth - LR - margins);
    // A block in the flow fills the width it is given: a line or word wider than that overflows alone
    // and widens only the scroll width, and the rest of the content still wraps at this width.
    return AWidth - LR - margins;
  };
  auto given = [&] { return hide ? width : std::max(width, Min); };
  int result = 0;
  switch (autoCount) {
    case 0:
      result = given();
      if (Positioning == 0 && !IsFloating() && (Justify == 2 || Justify == 3) && marginLeft == 0 && marginRight == 0) {
        const int free = std::max(0, AWidth - result - LR);
        if (Justify == 2) {
          marginLeft = marginRight = free / 2;
        } else {
          marginLeft = free;
        }
      }
      break;
    case 1:
      if (IsAuto(width)) {
        result = autoWidth();
      } else {
        result = given();
        if (IsAuto(marginLeft)) {
          marginLeft = std::max(0, AWidth - LR - OrZero(marginRight) - result);
        } else if (IsAuto(marginRight)) {
          marginRight = IsFloating() ? 0 : std::max(0, AWidth - LR - marginLeft - result);
        }
      }
      break;
    case 2:
      if (IsAuto(width)) {
        if (IsAuto(marginLeft)) marginLeft = 0;
        if (IsAuto(marginRight)) marginRight = 0;
        result = autoWidth();
      } else {
        result = given();
        marginLeft = marginRight = std::max(0, AWidth - result - LR) / 2;
      }
      break;
    default:
      marginLeft = marginRight = 0;
      result = autoWidth();
      break;
  }
  marginLeft = OrZero(marginLeft);
  marginRight = OrZero(marginRight);
  return std::max(0, result);
}

void TBlock::ResolvePositionedOffsets(int AWidth) {
  const int top = MargArray[Prop::Top];
  const int left = MargArray[Prop::Left];
  TopP = IsAuto(top) ? 0 : top;
  LeftP = IsAuto(left) ? 0 : left;
  if (Positioning == 1 && IsAuto(left)) {
    const int right = MargArray[Prop::Right];
    const int width = MargArray[Prop::Width];
    const bool anyAuto = IsAuto(right) || IsAuto(width) || IsAuto(MargArray[Prop::MarginLeft]) ||
                         IsAuto(MargArray[Prop::MarginRight]);
    if (!anyAuto) LeftP = AWidth - right - width - HorizontalMargins() - HorizontalFrame();
  }
}

void TBlock::BuildDrawList() {
  DrawList.clear();
  DrawList.reserve(static_cast<std::size_t>(MyCell->Count()));
  for (int i = 0; i < MyCell->Count(); ++i) {
    TSectionBase& item = (*MyCell)[i];
    item.EnclosingBlock = this;
    DrawList.push_back(&item);
  }
  // Negative levels first, then level 0 in document order, then positive levels; equal levels keep
  // their document order. Most blocks hold level 0 alone, already in order.
  const auto byLevel = [](const TSectionBase* a, const TSectionBase* b) { return a->StackLevel < b->StackLevel; };
  if (!std::is_sorted(DrawList.begin(), DrawList.end(), byLevel))
    std::stable_sort(DrawList.begin(), DrawList.end(), byLevel);
  m_drawListBuilt = true;
}

int TBlock::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  FirstCharIndex = Curs;
  if (DisplayNone) {
    Height = InkHeight = 0;
    MaxWidth = 0;
    TopY = BottomY = PaintTop = PaintBottom = PaintY = args.Y;
    CharCount = 0;
    return 0;
  }
  IndentManager& given = *args.IMgr;
  PaintY = args.Y;
  ClearAddon = given.ClearDistance(args.Y, ClearAttr);
  MaxWidth = args.AWidth;
  const int autoCount =
      ConvertBoxValues(MargArrayO, args.AWidth, args.AHeight, EmSize, ExSize, m_pixelsPerInch, MargArray);
  ResolvePositionedOffsets(args.AWidth);
  int X = args.X;
  int Y = args.Y;
  if (Positioning == 1) {
    X = LeftP;
    Y = TopP + args.YRef;
  }
  NewWidth = ContentWidth(args.AWidth, args.AHeight, autoCount);
  // A block stacked in the flow takes its top margin from the list (the collapsed space above it) and
  // leaves its bottom margin to the list.
  const bool stacked = m_stacked && CollapsesInFlow();
  const bool contentLeadingTaken = stacked && m_contentLeadingTaken;
  m_stacked = false;
  if (CollapsesInFlow()) {
    MargArray[Prop::MarginTop] = stacked ? m_stackedTop : OwnMarginTop;
    MargArray[Prop::MarginBottom] = stacked ? 0 : OwnMarginBottom;
  }
  const TMarginArray& m = MargArray;

  IndentManager* mgr = &given;
  if (Positioning == 1) {
    m_savedManager = &given;
    m_ownManager->Clear();
    m_ownManager->Reset(0, NewWidth);
    mgr = m_ownManager.get();
  }
  const void* savedOwner = mgr->CurrentID;
  mgr->CurrentID = this;

  const int top = Y + ClearAddon;
  PaintTop = m[Prop::MarginTop] < 0 ? top + m[Prop::MarginTop] : top;
  if (FloatLR == 5) {
    Indent = std::max(X, mgr->LeftEdge(top)) + m[Prop::MarginLeft] + m[Prop::BorderLeftWidth] +
             m[Prop::PaddingLeft] - X;
  } else if (FloatLR == 6) {
    Indent = std::min(X + args.AWidth, mgr->RightEdge(top)) - X - m[Prop::MarginRight] - m[Prop::PaddingRight] -
             m[Prop::BorderRightWidth] - NewWidth;
  } else {
    Indent = m[Prop::MarginLeft] + m[Prop::PaddingLeft] + m[Prop::BorderLeftWidth];
  }
  TopY = top + m[Prop::MarginTop] + m[Prop::PaddingTop] + m[Prop::BorderTopWidth];
  const int x = X + Indent;
  const int leftRecord = mgr->AddLeft(x, TopY);
  const int rightRecord = mgr->AddRight(x + NewWidth, TopY);
  LeftX = x;

  const int ownHeight = m[Prop::Height] > 0 ? m[Prop::Height] : 0;
  TLayoutArgs content;
  content.Context = args.Context;
  content.X = x;
  content.Y = Positioning == 2 ? TopY + TopP : TopY;
  content.AWidth = NewWidth;
  content.AHeight = ownHeight;
  content.BlHt = ownHeight > 0 ? ownHeight : (args.AHeight < 1 ? args.BlHt : args.AHeight);
  content.IMgr = mgr;
  if (Positioning == 1) {
    content.XRef = LeftP + args.XRef + m[Prop::MarginLeft] + m[Prop::BorderLeftWidth];
    content.YRef = TopP + args.YRef + m[Prop::MarginTop] + m[Prop::BorderTopWidth];
  } else if (Positioning == 2) {
    content.XRef = args.XRef;
    content.YRef = TopY + TopP;
  } else {
    content.XRef = args.XRef;
    content.YRef = args.YRef;
  }
  m_contentXRef = content.XRef;
  m_contentYRef = content.YRef;
  int scrollWidth = 0;
  TCollapsedMargin contentTrailing;
  const int contentEnd = content.Y + MyCell->DoLayout(content, contentLeadingTaken, contentTrailing, scrollWidth, Curs);
  CharCount = Curs - FirstCharIndex;
  if (HideOverflow) scrollWidth = NewWidth;
  MaxWidth = HorizontalMargins() + HorizontalFrame() + scrollWidth;
  if (Positioning != 0) MaxWidth = std::max(0, MaxWidth + LeftP - m[Prop::MarginRight] - args.X);

  // The last child's bottom margin stays inside unless it passes on with this block's own.
  const bool passBottom = stacked && BottomOpen();
  const int contentBottom =
      passBottom ? MyCell->ContentBottom : std::max(MyCell->ContentBottom, contentEnd + contentTrailing.Value());
  ContentBot = std::max(TopY, contentBottom - (Positioning == 2 ? TopP : 0));
  TrailingMargin = TCollapsedMargin();
  if (stacked) {
    TrailingMargin.Add(OwnMarginBottom);
    if (passBottom) TrailingMargin.Add(contentTrailing);
  }
  if (ownHeight > 0) {
    if (HideOverflow && ownHeight > 3) {
      ContentBot = TopY + ownHeight;
    } else {
      ContentBot = std::max(ContentBot, TopY + ownHeight);
    }
  }
  if (Positioning == 1) ContentBot = std::max(ContentBot, mgr->FloatBottom());
  BottomY = ContentBot + m[Prop::PaddingBottom] + m[Prop::BorderBottomWidth] + m[Prop::MarginBottom];
  const int inkBottom = MyCell->PaintBottom > 0 ? std::max(ContentBot, MyCell->PaintBottom) : ContentBot;
  PaintBottom = inkBottom + m[Prop::PaddingBottom] + m[Prop::BorderBottomWidth];
  Height = BottomY - args.Y;

  mgr->RemoveLeft(leftRecord);
  mgr->RemoveRight(rightRecord);
  mgr->CurrentID = savedOwner;

  if (!m_drawListBuilt) BuildDrawList();
  m_drawBands.Build(DrawList);

  if (IsFloating() || Positioning == 1) {
    InkHeight = Positioning == 1 ? 0 : Height;
    if (FloatLR == 5) {
      given.PlaceBlockFloat(5, args.Y, x + NewWidth + m[Prop::MarginRight] + m[Prop::PaddingRight] +
                                           m[Prop::BorderRightWidth], 0, PaintBottom - args.Y);
    } else if (FloatLR == 6) {
      given.PlaceBlockFloat(6, args.Y, 0, NewWidth + HorizontalMargins() + HorizontalFrame(), PaintBottom - args.Y);
    }
    Height = 0;
    return 0;
  }
  InkHeight = std::max(given.FloatBottom() - args.Y, Height);
  return Height;
}

int TBlock::Paint(QPainter& canvas, const TPaintArgs& args) {
  if (DisplayNone) return 0;
  if (Hidden) return PaintY + Height;
  int X = args.X;
  int Y = PaintY;
  if (Positioning == 2) {
    X += LeftP;
    Y += TopP;
  } else if (Positioning == 1) {
    X = args.XRef + LeftP;
    Y = args.YRef + TopP;
  }
  PaintBlock(canvas, args, X, Y);
  return PaintY + Height;
}

int TBlock::PaintBlock(QPainter& canvas, const TPaintArgs& args, int X, int Y) {
  const TMarginArray& m = MargArray;
  const int yOffset = OwnerList->YOffset();
  const int boxLeft = (IsFloating() ? X + Indent - m[Prop::MarginLeft] - m[Prop::PaddingLeft] - m[Prop::BorderLeftWidth] : X) +
                      m[Prop::MarginLeft];
  const int boxRight = boxLeft + HorizontalFrame() + NewWidth;
  const int boxTop = Y + ClearAddon + m[Prop::MarginTop] - yOffset;
  int marginBottom = BottomY;
  if (Positioning == 2) marginBottom += TopP;
  if (IsFloating()) marginBottom = PaintBottom + m[Prop::MarginBottom];
  const int boxBottom = marginBottom - yOffset - m[Prop::MarginBottom];
  const QRect borderBox(boxLeft, boxTop, std::max(0, boxRight - boxLeft), std::max(0, boxBottom - boxTop));
  const QRect paddingBox = borderBox.adjusted(m[Prop::BorderLeftWidth], m[Prop::BorderTopWidth],
                                              -m[Prop::BorderRightWidth], -m[Prop::BorderBottomWidth]);
  MyRect = borderBox;

  const int clipTop = args.ARect.top();
  const int clipBottom = args.ARect.top() + args.ARect.height();
  {
    TClipGuard guard(canvas);
    if (Positioning != 0 && args.Context.TableNesting > 0) canvas.setClipping(false);
    const TColor background = static_cast<TColor>(m[Prop::BackgroundColor]);
    if (borderBox.top() < clipBottom && borderBox.top() + borderBox.height() >= clipTop && background != ColorNone &&
        OwnerList->PaintsBackgrounds(m_kind == TKind::Table)) {
      const int top = std::max(paddingBox.top(), clipTop - 2);
      const int bottom = std::min(paddingBox.top() + paddingBox.height(), clipBottom);
      FillRect(canvas, paddingBox.left(), top, paddingBox.left() + paddingBox.width(), bottom, ToQColor(background));
    }
    if (!BackgroundImage.empty() && borderBox.top() < clipBottom && borderBox.top() + borderBox.height() >= clipTop &&
        OwnerList->PaintsBackgrounds(m_kind == TKind::Table)) {
      const int top = std::max(paddingBox.top(), clipTop - 2);
      const int bottom = std::min(paddingBox.top() + paddingBox.height(), clipBottom);
      BackgroundPicture.Paint(canvas, *OwnerList, BackgroundImage, BkPosition, paddingBox,
                              QRect(paddingBox.left(), top, paddingBox.width(), std::max(0, bottom - top)));
    }
    if (HideOverflow) {
      const QRect contentBox(X + Indent, TopY - yOffset + (Positioning == 2 ? TopP : 0), NewWidth,
                             std::max(0, ContentBot - TopY));
      canvas.setClipRect(contentBox, Qt::IntersectClip);
    }
    IndentManager* mgr = args.IMgr;
    if (Positioning == 1 && m_ownManager) {
      m_ownManager->Reset(m_savedManager ? m_savedManager->LfEdge : 0, NewWidth);
      mgr = m_ownManager.get();
    }
    const void* savedOwner = mgr ? mgr->CurrentID : nullptr;
    if (mgr) mgr->CurrentID = this;
    TPaintArgs content = args;
    content.X = X + Indent;
    content.XRef = m_contentXRef;
    content.YRef = m_contentYRef;
    content.IMgr = mgr;
    MyCell->PaintItems(canvas, DrawList, m_drawBands, content);
    if (mgr) mgr->CurrentID = savedOwner;
  }
  PaintBorder(canvas, borderBox, paddingBox);
  return PaintY + Height;
}

void TBlock::PaintBorder(QPainter& canvas, const QRect& borderBox, const QRect& paddingBox) {
  if (!HasBorderStyle) return;
  DrawBorder(canvas, borderBox, paddingBox, OwnerList->Printing, static_cast<TColor>(MargArray[Prop::BackgroundColor]),
             BorderLookOf(MargArray));
}

int TBlock::LinkAt(int X, int Y, TLinkAtResult& result) {
  if (DisplayNone || Hidden) return 0;
  int flags = MyCell->LinkAt(X, Y, result);
  if (!(flags & LinkAtTitle) && !TitleText.empty() &&
      MyRect.contains(X, Y - OwnerList->YOffset())) {
    result.Title = TitleText;
    flags |= LinkAtTitle;
  }
  return flags;
}

bool TBlock::ObjectAt(int X, int Y, TObjectAtPoint& result) { return !DisplayNone && MyCell->ObjectAt(X, Y, result); }
int TBlock::CharIndexAt(int X, int Y, TCharAtPoint& result) { return DisplayNone ? -1 : MyCell->CharIndexAt(X, Y, result); }
int TBlock::FindText(int from, const std::u16string& text, bool matchCase) {
  return DisplayNone ? -1 : MyCell->FindText(from, text, matchCase);
}
int TBlock::FindTextBackward(int from, const std::u16string& text, bool matchCase) {
  return DisplayNone ? -1 : MyCell->FindTextBackward(from, text, matchCase);
}
int TBlock::SourcePosOf(int index) { return DisplayNone ? -1 : MyCell->SourcePosOf(index); }
int TBlock::DocPosOf(int sourcePosition, bool previous) {
  return DisplayNone ? -1 : MyCell->DocPosOf(sourcePosition, previous);
}
bool TBlock::CharIndexToXY(int index, int& X, int& Y) { return !DisplayNone && MyCell->CharIndexToXY(index, X, Y); }
bool TBlock::CharAt(int index, char16_t& ch, TSectionBase*& object) {
  return !DisplayNone && MyCell->CharAt(index, ch, object);
}
void TBlock::CopySelection() {
  if (!DisplayNone) MyCell->CopySelection();
}
void TBlock::AddToPositionList() {
  if (!DisplayNone) MyCell->AddToPositionList();
}

TBodyBlock::TBodyBlock(TSectionList* ownerList, const TAttributeList* attributes, TCellBasic* ownerCell,
                       TProperties& properties)
    : TBlock(ownerList, attributes, ownerCell, properties, TKind::Body) {
  if (const std::optional<std::string> image = properties.GetBackgroundImage(); image && OwnerList) {
    OwnerList->State.BackgroundImageName = *image;
    OwnerList->State.BackgroundPosition = properties.GetBackgroundPosition(EmSize, ExSize);
  }
  const TColor background = properties.GetBackgroundColor();
  if (background != ColorNone && OwnerList) OwnerList->SetBackground(background | ColorMark);
}

int TBodyBlock::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  FirstCharIndex = Curs;
  IndentManager& mgr = *args.IMgr;
  PaintY = args.Y;
  ConvertBoxValues(MargArrayO, args.AWidth, args.AHeight, EmSize, ExSize, m_pixelsPerInch, MargArray);
  const TMarginArray& m = MargArray;
  MargArray[Prop::MarginLeft] = OrZero(m[Prop::MarginLeft]);
  MargArray[Prop::MarginRight] = OrZero(m[Prop::MarginRight]);
  NewWidth = std::max(0, mgr.Width - HorizontalMargins() - HorizontalFrame());
  Indent = m[Prop::MarginLeft] + m[Prop::BorderLeftWidth] + m[Prop::PaddingLeft];
  // The first and last children's margins collapse with the body's own when nothing closes the body;
  // at the top of the page the default paragraph space is left out.
  TCollapsedMargin top;
  top.Add(OwnMarginTop);
  if (m_topOpen) AddLeadingMarginsOf(*MyCell, top, true);
  MargArray[Prop::MarginTop] = top.Value();
  TopY = args.Y + m[Prop::MarginTop] + m[Prop::BorderTopWidth] + m[Prop::PaddingTop];
  PaintTop = args.Y;
  const int x = args.X + Indent;
  LeftX = x;
  const void* savedOwner = mgr.CurrentID;
  mgr.CurrentID = this;
  const int leftRecord = mgr.AddLeft(x, TopY);
  const int rightRecord = mgr.AddRight(x + NewWidth, TopY);
  TLayoutArgs content;
  content.Context = args.Context;
  content.X = x;
  content.Y = TopY;
  content.XRef = m_contentXRef = args.XRef;
  content.YRef = m_contentYRef = args.YRef;
  content.AWidth = NewWidth;
  content.AHeight = args.AHeight - m[Prop::MarginTop] - m[Prop::MarginBottom];
  content.BlHt = args.BlHt;
  content.IMgr = &mgr;
  int scrollWidth = 0;
  TCollapsedMargin trailing;
  const int contentEnd = TopY + MyCell->DoLayout(content, m_topOpen, trailing, scrollWidth, Curs);
  CharCount = Curs - FirstCharIndex;
  TCollapsedMargin bottom;
  bottom.Add(OwnMarginBottom);
  if (m_bottomOpen) {
    bottom.Add(trailing);
  } else {
    MyCell->ContentBottom = std::max(MyCell->ContentBottom, contentEnd + trailing.Value());
  }
  MargArray[Prop::MarginBottom] = bottom.Value();
  mgr.RemoveLeft(leftRecord);
  mgr.RemoveRight(rightRecord);
  mgr.CurrentID = savedOwner;
  ContentBot = std::max(TopY, MyCell->ContentBottom);
  BottomY = ContentBot + m[Prop::PaddingBottom] + m[Prop::BorderBottomWidth] + m[Prop::MarginBottom];
  Height = BottomY - args.Y;
  InkHeight = std::max(mgr.FloatBottom() - args.Y, Height);
  PaintBottom = args.Y + InkHeight;
  MaxWidth = std::max(mgr.Width, std::max(scrollWidth, NewWidth) + HorizontalMargins());
  if (!m_drawListBuilt) BuildDrawList();
  m_drawBands.Build(DrawList);
  return Height;
}

int TBodyBlock::Paint(QPainter& canvas, const TPaintArgs& args) {
  TPaintArgs content = args;
  content.X = args.X + Indent;
  MyCell->PaintItems(canvas, DrawList, m_drawBands, content);
  return PaintY + Height;
}

int TBodyBlock::LinkAt(int X, int Y, TLinkAtResult& result) {
  int flags = MyCell->LinkAt(X, Y, result);
  if (!(flags & LinkAtTitle) && !TitleText.empty()) {
    result.Title = TitleText;
    flags |= LinkAtTitle;
  }
  return flags;
}

}  // namespace corvane
