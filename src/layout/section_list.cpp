#include "layout/section_list.h"

#include <QPainter>

#include <algorithm>
#include <chrono>
#include <climits>
#include <unordered_set>

#include "html/selection_text.h"
#include "html/url_functions.h"
#include "layout/floating_obj.h"
#include "layout/form_control.h"
#include "layout/image_obj.h"

namespace corvane {

std::int64_t TDocumentHost::AnimationClock() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TSectionList::TSectionList(TDocumentHost* host)
    : TCell(this), m_host(host ? host : &m_ownHost), m_measurer(std::make_unique<TQtTextMeasurer>()) {
  OwnerTag = "default";
  InlineList.SetDocument(this);
}

TSectionList::~TSectionList() { Clear(); }

void TSectionList::SetHost(TDocumentHost* host) { m_host = host ? host : &m_ownHost; }

void TSectionList::SetDefaults(const TStyleDefaults& defaults, TColor background, bool hoverLinksActive) {
  m_defaults = defaults;
  Styles.LoadDefaults(defaults);
  FontColor = defaults.Color;
  HotSpotColor = defaults.HotSpotColor;
  LinkVisitedColor = defaults.VisitedColor;
  LinkActiveColor = defaults.OverColor;
  PreFontName = defaults.PreFontName;
  LinksActive = hoverLinksActive;
  SetBackground(background);
}

void TSectionList::SetBackground(TColor colour) {
  m_background = colour;
  m_host->BackgroundChanged(colour);
}

void TSectionList::Clear() {
  Clearing = true;
  IDNameList.Clear();
  m_positionList.clear();
  m_positionsDue = false;
  InlineList.Clear();
  m_backgroundPicture.Release();
  SelB = SelE = 0;
  MapList.clear();
  DelayedImages.Clear();
  for (TImageObj* image : m_animatedImages) image->InAnimatedList = false;
  m_animatedImages.clear();
  m_linkRuns.clear();
  ActiveLink = nullptr;
  ActiveImage = nullptr;
  PanelList.clear();
  Styles.Clear();
  TabOrderList.clear();
  m_controlTabOrder.clear();
  DrawList.Clear();
  TCellBasic::Clear();
  m_shownControls.clear();
  m_shownNow.clear();
  htmlFormList.clear();
  FormControlList.clear();
  CharCount = 0;
  State = TDocumentState();
  Clearing = false;
}

std::unique_ptr<TFocusProxy> TSectionList::MakeFocusProxy(TFontObj& run) {
  std::unique_ptr<TFocusProxy> proxy = m_host->MakeFocusProxy(run);
  if (proxy) ++State.FocusProxies;
  return proxy;
}

void TSectionList::AddToTabOrder(int tabIndex, TFocusProxy& proxy) {
  TabOrderList.push_back({tabIndex, TabOrderCount(), nullptr, &proxy});
}

void TSectionList::AddToTabOrder(int tabIndex, TFormControlObj& control) {
  TabOrderList.push_back({tabIndex, TabOrderCount(), &control, nullptr});
  m_controlTabOrder.push_back(TabOrderList.back());
}

namespace {
void SortTabOrder(std::vector<TTabOrderEntry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const TTabOrderEntry& a, const TTabOrderEntry& b) {
    return a.TabIndex != b.TabIndex ? a.TabIndex < b.TabIndex : a.Count < b.Count;
  });
}
}  // namespace

std::vector<TFormControlObj*> TSectionList::ControlFocusOrder() const {
  std::vector<TTabOrderEntry> ordered = m_controlTabOrder;
  SortTabOrder(ordered);
  std::vector<TFormControlObj*> order;
  order.reserve(FormControlList.size());
  std::unordered_set<const TFormControlObj*> taken;
  for (const TTabOrderEntry& entry : ordered) {
    if (entry.Control->CanFocus()) order.push_back(entry.Control);
    taken.insert(entry.Control);
  }
  for (TFormControlObj* control : FormControlList)
    if (!taken.contains(control) && control->CanFocus()) order.push_back(control);
  return order;
}

void TSectionList::RemoveFromTabOrder(TFocusProxy& proxy) {
  std::erase_if(TabOrderList, [&proxy](const TTabOrderEntry& entry) { return entry.Proxy == &proxy; });
}

int TSectionList::LayOut(int Y, int Width, int AHeight, int BlHt, int& ScrollWidth, int& Curs,
                         const TLayoutContext& context) {
  ++State.LayoutCycle;
  InlineList.MarkNeedsConverting();
  if (!TabOrderList.empty()) {
    SortTabOrder(TabOrderList);
    m_host->ApplyTabOrder(TabOrderList);
    TabOrderList.clear();
  }
  const int height = TCell::LayOut(Y, Width, AHeight, BlHt, ScrollWidth, Curs, context);
  if (!IsCopy) m_positionsDue = true;
  m_layoutWidth = ScrollWidth;
  m_height = height;
  // Every animation starts again from its current frame; a print copy stands still.
  const std::int64_t now = m_host->AnimationClock();
  for (TImageObj* image : m_animatedImages) image->RestartAnimation(!IsCopy, now);
  if (!IsCopy) m_host->EnableAnimationTimer(!m_animatedImages.empty());
  return height;
}

int TSectionList::DoLayout(int width, int clientHeight, int& scrollWidth) {
  int curs = 0;
  return LayOut(0, width, clientHeight, 0, scrollWidth, curs, TLayoutContext());
}

int TSectionList::Paint(QPainter& canvas, const QRect& ARect, int ClipWidth, int X, int Y, int XRef, int YRef) {
  DrawList.Clear();
  ++m_paintSerial;
  for (TImageObj* image : m_animatedImages) image->Drawn = false;
  const int result = TCell::Paint(canvas, TPaintArgs{ARect, X, XRef, YRef, nullptr, TPaintContext{}}, ClipWidth, Y);
  DrawList.DrawImages(canvas);
  if (!IsCopy) m_host->EnableAnimationTimer(!m_animatedImages.empty());
  // Every paint places each control in view (the painter only clips); the controls shown by the
  // previous paint that this one did not reach have left the view.
  if (!IsCopy && !PaintControls) {
    for (TFormControlObj* control : m_shownControls) {
      if (control->ShownInPaint == m_paintSerial) continue;
      control->ShowIt = false;
      control->Hide();
    }
    m_shownControls.swap(m_shownNow);
    m_shownNow.clear();
  }
  m_yOffsetChanged = false;
  return result;
}

void TSectionList::PaintBackgroundImage(QPainter& canvas, const QRect& clip, int width) {
  if (State.BackgroundImageName.empty() || (Printing && !PrintBackground)) return;
  const QRect document(0, -m_yOffset, std::max(width, m_layoutWidth), std::max(m_height, clip.bottom() + 1 + m_yOffset));
  m_backgroundPicture.Paint(canvas, *this, State.BackgroundImageName, State.BackgroundPosition,
                            HasFixedBackground() ? QRect(0, 0, width, clip.bottom() + 1) : document, clip);
}

TImageFetch& TSectionList::PictureFetch() {
  if (m_pictureFetch) return *m_pictureFetch;
  if (!m_ownPictureFetch) {
    m_ownPictureCache = std::make_unique<TStringBitmapList>();
    m_ownPictureFetch = std::make_unique<TImageFetch>(*m_ownPictureCache);
  }
  return *m_ownPictureFetch;
}

std::string TSectionList::ExpandPictureName(const std::string& source) const {
  if (ExpandImageName) return ExpandImageName(source);
  const std::string path = UrlToFilePath(source);
  if (!path.empty() && path[0] == '/') return path;
  if (IsFullUrl(source)) return source;
  return UrlToFilePath(UrlBase(BaseAddress)) + path;
}

bool TSectionList::PictureArrived(const std::string& name) {
  const std::vector<TImageObj*> waiting = DelayedImages.Take(name);
  for (TImageObj* image : waiting) image->ForgetPicture();
  return !waiting.empty();
}

void TSectionList::AddAnimatedImage(TImageObj* image) {
  if (image->InAnimatedList) return;
  image->InAnimatedList = true;
  m_animatedImages.push_back(image);
}

void TSectionList::RemoveAnimatedImage(TImageObj* image) {
  if (!image->InAnimatedList) return;
  image->InAnimatedList = false;
  std::erase(m_animatedImages, image);
}

int TSectionList::StepAnimations(std::int64_t now) {
  int changed = 0;
  for (TImageObj* image : m_animatedImages) {
    if (!image->Drawn) continue;
    const QRect dirty = image->StepAnimation(now);
    if (dirty.isEmpty()) continue;
    m_host->InvalidatePanelRect(dirty);
    ++changed;
  }
  return changed;
}

void TSectionList::ControlShown(TFormControlObj& control) {
  if (control.ShownInPaint == m_paintSerial) return;
  control.ShownInPaint = m_paintSerial;
  m_shownNow.push_back(&control);
}

void TSectionList::SetYOffset(int y) {
  m_yOffset = y;
  m_yOffsetChanged = true;
}

int TSectionList::LinkAt(int X, int Y, TLinkAtResult& result) {
  ActiveLink = nullptr;
  ActiveImage = nullptr;
  const int flags = TCellBasic::LinkAt(X, Y, result);
  if ((LinksActive || Styles.HoverRulesPresent()) && ActiveLink != State.HoverLink) {
    if (State.HoverLink) State.HoverLink->SetHoverForLink(m_linkRuns, false);
    if (ActiveLink && ActiveLink->LinkFonts()) ActiveLink->SetHoverForLink(m_linkRuns, true);
    State.HoverLink = ActiveLink;
    m_host->InvalidatePanel();
  }
  if (ActiveImage != State.HoverImage) {
    if (State.HoverImage) State.HoverImage->SetMouseState(0);
    State.HoverImage = ActiveImage;
  }
  if (State.HoverImage) State.HoverImage->SetMouseState(m_host->LeftButtonDown() ? 2 : 1);
  return flags;
}

const std::vector<TSectionBase*>& TSectionList::PositionList() const {
  // Gathering writes the list alone.
  if (m_positionsDue && m_positionList.empty()) const_cast<TSectionList*>(this)->AddToPositionList();
  return m_positionList;
}

TSectionAtY TSectionList::FindSectionAtY(int Y) {
  const std::vector<TSectionBase*>& positions = PositionList();
  // The last item of the position list whose y is not below Y: with the lowest y from each position on,
  // that is the last position whose lowest-from-here is not below Y.
  if (State.PositionTopsCycle != State.LayoutCycle || State.PositionTops.size() != positions.size()) {
    State.PositionTops.resize(positions.size());
    int lowest = INT_MAX;
    for (std::size_t i = positions.size(); i-- > 0;) {
      lowest = std::min(lowest, positions[i]->GetYPos());
      State.PositionTops[i] = lowest;
    }
    State.PositionTopsCycle = State.LayoutCycle;
  }
  const auto after = std::upper_bound(State.PositionTops.begin(), State.PositionTops.end(), Y);
  if (after == State.PositionTops.begin()) return {};
  const int index = static_cast<int>(after - State.PositionTops.begin()) - 1;
  TSectionBase* section = positions[static_cast<std::size_t>(index)];
  return {section, section->GetYPos(), index};
}

int TSectionList::DocPosOfRoot(int sourcePosition, bool previous) {
  const int at = TCellBasic::DocPosOf(sourcePosition, previous);
  return at >= 0 ? at : CharCount;
}

bool TSectionList::CharIndexToXYRoot(int index, int& X, int& Y) {
  if (!TCellBasic::CharIndexToXY(std::min(index, CharCount - 1), X, Y)) return false;
  if (index >= CharCount) X += 15;  // the caret after the last character
  return true;
}

int TSectionList::YOfSourcePosition(int sourcePosition) const {
  auto& self = const_cast<TSectionList&>(*this);
  int x = 0, y = 0;
  if (!self.CharIndexToXYRoot(self.DocPosOfRoot(sourcePosition, false), x, y)) return 0;
  return y;
}

int TSectionList::GetSelLength() {
  if (SelB >= SelE) return 0;
  SelTextCount counter;
  m_collector = &counter;
  CopySelection();
  m_collector = nullptr;
  return counter.Finish();
}

int TSectionList::GetSelTextBuf(char16_t* buffer, int size) {
  if (size > 0) buffer[0] = 0;
  if (SelB >= SelE) return 0;
  SelTextBuf collector(buffer, size);
  m_collector = &collector;
  CopySelection();
  m_collector = nullptr;
  return collector.Finish();
}

std::u16string TSectionList::SelectedTextForCopy() {
  if (SelB >= SelE) return {};
  TSelectionCopy collector;
  m_collector = &collector;
  CopySelection();
  m_collector = nullptr;
  collector.Finish();
  return collector.Text();
}

}  // namespace corvane
