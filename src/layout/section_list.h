#pragma once

#include <QRect>

#include <cstdint>
#include <functional>

#include <memory>
#include <string>
#include <vector>

#include "html/id_name_list.h"
#include "html/image_map.h"
#include "html/table_places.h"
#include "images/delayed_pictures.h"
#include "images/image_fetch.h"
#include "layout/background_picture.h"
#include "layout/cell_basic.h"
#include "layout/document_host.h"
#include "layout/document_state.h"
#include "layout/draw_list.h"
#include "layout/inline_list.h"
#include "layout/text_measurer.h"
#include "style/font_list.h"
#include "style/font_obj.h"
#include "style/style_list.h"

class QPainter;

namespace corvane {

class SelTextCount;
class TFloatingObj;
class TImageObj;
class TFormControlObj;
class ThtmlForm;

// The item at or above a y, as FindSectionAtY answers it.
struct TSectionAtY {
  TSectionBase* Section = nullptr;
  int Y = 0;
  int Index = -1;
};

// The document root: the content list of the whole document (normally one body block) and the holder
// of every document-wide list. The viewer owns one, lays it out to a width, tells it the scroll offset
// and asks it to paint a rectangle; the document builder fills it.
//
// What lasts how long: the content and the document-wide lists are the page's; what was learned about
// the page while building, laying out and painting it is State, replaced by a fresh one when the
// document is emptied (Clear) for another page; the settings (defaults, print options, the table place
// budget, the picture fetch) are the owner's and stay.
//
// Threads: layout has no locks, and a document is built, laid out, painted and hit-tested on one
// thread. Besides the document's own state and the style context of its style list, layout uses
// caches of the process: the character widths of the Qt measurer (TQtTextMeasurer, one table per font,
// filled on first use without a guard) and the fonts made by description (see TStyleContext), so
// documents measured with the Qt measurer are laid out one at a time (the Python module's renders take
// a lock of their own); the element names of blocks
// are interned under a mutex, and a table cell's last style reading is kept per thread.
class TSectionList final : public TCell, public TLinkDocument, public TDocumentPositions {
  // Where the font runs of the document's sections live. The first member, so that it goes after every
  // other one: the sections are gone by then.
  TFontRunPool m_runPool;

 public:
  explicit TSectionList(TDocumentHost* host = nullptr);
  ~TSectionList() override;

  TDocumentHost& Host() const { return *m_host; }
  void SetHost(TDocumentHost* host);

  // Text measuring; the Qt measurer unless a test puts another in place.
  TTextMeasurer& Measurer() const { return *m_measurer; }
  void SetMeasurer(std::unique_ptr<TTextMeasurer> measurer) { m_measurer = std::move(measurer); }

  // The defaults of a new document: fonts and colours into the style list, the link colours, the
  // background, the hover tracking of links.
  void SetDefaults(const TStyleDefaults& defaults, TColor background, bool hoverLinksActive);
  const TStyleDefaults& Defaults() const { return m_defaults; }

  // Empties the document (see the ownership above); the defaults must be handed again afterwards.
  void Clear();

  // Lays the whole document out to Width; ScrollWidth receives the widest line. Returns the height.
  int LayOut(int Y, int Width, int AHeight, int BlHt, int& ScrollWidth, int& Curs,
             const TLayoutContext& context) override;
  // Lays out with the viewer's arguments; returns the height.
  int DoLayout(int width, int clientHeight, int& scrollWidth);
  // Paints the document into ARect (screen coordinates), from a fresh paint context.
  int Paint(QPainter& canvas, const QRect& ARect, int ClipWidth, int X, int Y, int XRef, int YRef);
  int LinkAt(int X, int Y, TLinkAtResult& result) override;

  void SetYOffset(int y);
  // A paint showed control on the viewer's panel.
  void ControlShown(TFormControlObj& control);
  int YOffset() const { return m_yOffset; }

  TSectionAtY FindSectionAtY(int Y);
  int DocPosOfRoot(int sourcePosition, bool previous);
  bool CharIndexToXYRoot(int index, int& X, int& Y);
  int YOfSourcePosition(int sourcePosition) const override;

  // The selection's text: its length, and the text itself into a buffer of size characters.
  int GetSelLength();
  int GetSelTextBuf(char16_t* buffer, int size);
  // The selection's text for the clipboard, its tables as tab-separated rows (see TSelectionCopy); empty
  // for an empty selection.
  std::u16string SelectedTextForCopy();
  SelTextCount* Collector() const { return m_collector; }

  TFontRunPool& RunPool() { return m_runPool; }

  // TLinkDocument.
  std::vector<TFontObj*>& LinkRuns() override { return m_linkRuns; }
  std::unique_ptr<TFocusProxy> MakeFocusProxy(TFontObj& run) override;
  int TabOrderCount() const override { return static_cast<int>(TabOrderList.size()); }
  void AddToTabOrder(int tabIndex, TFocusProxy& proxy) override;
  void AddToTabOrder(int tabIndex, TFormControlObj& control);
  // The form controls in the order the Tab key visits them: those with a tab index by their index, then
  // the others in document order. Hidden, disabled and unfocusable controls are left out.
  std::vector<TFormControlObj*> ControlFocusOrder() const;
  void RemoveFromTabOrder(TFocusProxy& proxy) override;
  void LinkFocused(TFontObj& run) override { m_host->LinkFocused(run); }
  void RepaintLinks() override { m_host->InvalidatePanel(); }
  void FollowLink(const TRunTarget& target) override { m_host->FollowLink(target); }
  void ViewerKeyDown(int key) override { m_host->ViewerKeyDown(key); }

  TColor Background() const { return m_background; }
  void SetBackground(TColor colour);

  // Document-wide lists.
  TIDNameList IDNameList{this};
  std::vector<std::unique_ptr<ThtmlForm>> htmlFormList;
  std::vector<std::unique_ptr<TMapItem>> MapList;
  std::vector<TFormControlObj*> FormControlList;
  std::vector<TFloatingObj*> PanelList;
  // Pictures. The fetch is the viewer's, whose image cache outlives its documents; a document without a
  // viewer fetches through a cache of its own.
  TImageFetch& PictureFetch();
  void SetPictureFetch(TImageFetch* fetch) { m_pictureFetch = fetch; }
  // Image sources are expanded by the viewer's handler when it is set, else resolved against the folder of
  // BaseAddress (the document's address, or its BASE).
  std::function<std::string(const std::string& source)> ExpandImageName;
  std::string BaseAddress;
  std::string ExpandPictureName(const std::string& source) const;
  // The images waiting for a picture that the viewer's host hands in later, by expanded name.
  TDelayedPictureList<TImageObj> DelayedImages;
  // The picture of name has been handed in (see TImageFetch::HandIn): the images waiting for it take it.
  // True when any did; the document is then laid out again.
  bool PictureArrived(const std::string& name);
  // Animated pictures, each once, stepped by the viewer's animation timer.
  void AddAnimatedImage(TImageObj* image);
  void RemoveAnimatedImage(TImageObj* image);
  const std::vector<TImageObj*>& AnimatedImages() const { return m_animatedImages; }
  // One tick of the animation timer at time now: steps the animated pictures drawn in the last paint, and
  // has the panel repaint each one whose frame changed. Returns how many changed.
  int StepAnimations(std::int64_t now);
  TStyleList Styles;
  TDrawList DrawList;
  // The items in position order, for finding the item at a y: empty until the document has been laid
  // out (never in a print copy), then gathered the first time they are asked for.
  const std::vector<TSectionBase*>& PositionList() const;
  void AppendPosition(TSectionBase* item) { m_positionList.push_back(item); }
  std::vector<TTabOrderEntry> TabOrderList;
  TInlineList InlineList;

  // Selection: document character indices.
  int SelB = 0;
  int SelE = 0;

  // Document colours and fonts.
  TColor FontColor = 0;
  TColor HotSpotColor = 0xFF0000;
  TColor LinkVisitedColor = 0x800080;
  TColor LinkActiveColor = 0xFF0000;
  std::string PreFontName = "Courier New";
  bool LinksActive = false;  // hover colours for links
  // Paints the document's background image (the BODY's) over clip of a panel of width pixels: scrolling
  // with the text, or fixed to the panel. Nothing when there is none or images are not shown.
  void PaintBackgroundImage(QPainter& canvas, const QRect& clip, int width);
  // Whether the background image stays in place while the text scrolls: a scroll repaints the panel.
  bool HasFixedBackground() const {
    return !State.BackgroundImageName.empty() &&
           (State.BackgroundPosition.X.Fixed || State.BackgroundPosition.Y.Fixed);
  }
  bool ShowImages = true;
  bool Printing = false;
  bool PrintBackground = false;       // printing paints the page's and the blocks' backgrounds
  bool PrintTableBackground = false;  // and those of tables and their cells
  bool PrintMonochromeBlack = false;  // printing draws all text in black
  bool IsCopy = false;
  // Whether backgrounds are painted: always on the screen; when printing as the print options say.
  bool PaintsBackgrounds(bool table) const { return !Printing || (table ? PrintTableBackground : PrintBackground); }
  // The colour text is drawn in.
  TColor TextColour(TColor colour) const { return Printing && PrintMonochromeBlack ? TColor(0) : colour; }

  // What the document learned while built, laid out and painted; a fresh one for every page.
  TDocumentState State;
  // The most places a table's grid may take; spans that would pass it are cut, and State.TableSpansCut set.
  long long TablePlaceBudget = kMaxTablePlaces;
  // The most columns a row's cells may start in (0: no limit); cells starting further right are passed
  // over while the page is built, and State.TableColumnsCut set. Only for copies that cannot show them.
  int TableColumnLimit = 0;

  // The link run and the picture under the mouse, found by the last link hit test.
  TFontObj* ActiveLink = nullptr;
  TFloatingObj* ActiveImage = nullptr;
  // Form controls draw themselves into the paint (a document painted without a viewer).
  bool PaintControls = false;
  // Set while the items are being freed, so that they need not tidy the document-wide lists one by one.
  bool Clearing = false;

  // Whether any link run has a keyboard focus proxy (which records the y of its line).
  bool HasFocusProxies() const { return State.FocusProxies > 0; }

  bool YOffsetChanged() const { return m_yOffsetChanged; }
  // The widest line of the last layout, as DoLayout reports it.
  int LayoutWidth() const { return m_layoutWidth; }

 private:
  mutable std::vector<TSectionBase*> m_positionList;
  bool m_positionsDue = false;  // laid out since the list was last emptied: gathered when asked for
  // A content list's paint, without the document's own work around it: the entry is the Paint above.
  using TCell::Paint;
  TDocumentHost m_ownHost;
  int m_height = 0;  // of the last layout
  TImageFetch* m_pictureFetch = nullptr;
  std::unique_ptr<TStringBitmapList> m_ownPictureCache;
  std::unique_ptr<TImageFetch> m_ownPictureFetch;
  TBackgroundPicture m_backgroundPicture;  // after the cache it gives its picture back to
  std::vector<TImageObj*> m_animatedImages;
  TDocumentHost* m_host;
  std::unique_ptr<TTextMeasurer> m_measurer;
  TStyleDefaults m_defaults;
  std::vector<TFontObj*> m_linkRuns;
  SelTextCount* m_collector = nullptr;
  int m_yOffset = 0;
  bool m_yOffsetChanged = false;
  // The controls the last paint showed, and those the current one shows.
  std::vector<TFormControlObj*> m_shownControls;
  std::vector<TFormControlObj*> m_shownNow;
  std::uint64_t m_paintSerial = 0;
  TColor m_background = 0xFFFFFF;
  int m_layoutWidth = 0;
  std::vector<TTabOrderEntry> m_controlTabOrder;  // the controls with a tab index, kept past layout
};

}  // namespace corvane
