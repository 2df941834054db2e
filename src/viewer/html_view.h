#pragma once

#include <QColor>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "builder/document_loader.h"
#include "layout/document_host.h"
#include "layout/form_control.h"
#include "layout/section_list.h"
#include "style/style_colors.h"

class QFrame;
class QTimer;

namespace corvane {

class THtmlView;
class TFormControls;

enum class THTMLBorderStyle { htFocused, htNone, htSingle };
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum class TDocumentKind { HTML, PlainText };

// The viewer's options, combined with |.
enum ThtmlViewOption : unsigned {
  htOverLinksActive = 1u << 0,
  htNoLinkUnderline = 1u << 1,
  htPrintTableBackground = 1u << 2,
  htPrintBackground = 1u << 3,
  htPrintMonochromeBlack = 1u << 4,
  htShowDummyCaret = 1u << 5,
  htShowVScroll = 1u << 6,
  htNoWheelMouse = 1u << 7,
  htNoLinkHilite = 1u << 8,
};
using ThtmlViewOptions = unsigned;

// The panel the document is painted on. It draws nothing by itself: painting and the mouse go to the
// viewer that owns it, and it never erases its background (every paint covers the whole update area).
class TPaintPanel final : public QWidget {
 public:
  TPaintPanel(THtmlView& view, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Without the base class's press: a double click must not collapse the word it selects.
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Tab and Shift+Tab between the form controls on the panel go in the document's tab order.
  bool focusNextPrevChild(bool next) override;

 private:
  template <typename Handler>
  void Guarded(Handler handler);

 private:
  THtmlView& m_view;
};

// A vertical scroll bar whose range, page and position are 32-bit numbers.
class T32ScrollBar final : public QScrollBar {
 public:
  explicit T32ScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {}
};

// A control that shows one HTML (or plain text) document in a scrollable area: a frame that shows the
// focus, the panel the document paints on, and the two scroll bars, which appear only when the document
// needs them. It lays the document out again when it is resized, keeping the text at the top of the view
// in place, and scrolls by the bars, the keyboard and the mouse wheel.
class THtmlView : public QWidget, private TDocumentHost {
 public:
  explicit THtmlView(QWidget* parent = nullptr);
  ~THtmlView() override;

  // Loads the lines, each followed by CR LF, as an HTML document known by referenceName. The lines are
  // let go once joined, so that a long table is not held twice while it is laid out.
  void LoadFromStrings(std::vector<std::string> lines, const std::string& referenceName);
  // Loads text as a document of the given kind. referenceName may end in "#target": the view then
  // scrolls to the element of that id.
  void LoadFromString(std::string text, const std::string& referenceName, TDocumentKind kind = TDocumentKind::HTML);
  // Loads a file: plain text for ".txt", HTML otherwise. Answers false, with the reason in error, when
  // the file cannot be read.
  bool LoadFromFile(const std::string& path, std::string& error);
  // Loads the file at path and scrolls to the element of id target when there is one: a picture
  // (.bmp, .gif, .jpg, .jpeg, .png) on a page of its own, otherwise as LoadFromFile. Answers false, with
  // the reason in error, when the file cannot be read; the view then keeps what it showed.
  bool LoadFileAt(const std::string& path, const std::string& target, std::string& error);
  // Empties the view; the document name and the scroll positions stay.
  virtual void Clear();
  // Scrolls so that document y is at the top of the view, as far as the document reaches.
  void ScrollToY(int y);

  // Looks for text in the document and selects the match, scrolled into view. Forward it starts just
  // after the start of the selection (at the caret when nothing is selected), backward it takes the
  // last match that starts before it; past either end it goes on from the other. fromSelection starts
  // forward at the selection itself, so that a longer text, as it is typed, keeps the match in place.
  // Answers false when the text is nowhere in the document: the selection is then emptied.
  bool FindNext(const QString& text, bool forward, bool matchCase, bool fromSelection = false);
  // Selects the characters from start, length of them, and scrolls them into view.
  void SelectRange(int start, int length);

  // The text zoom: the default font size is multiplied by it (0.25 to 5). Changing it lays the document
  // out again from its source with the new size, keeping the text at the top of the view in place and
  // the selection; later loads keep it.
  double Zoom() const { return m_zoom; }
  void SetZoom(double zoom);

  // Published properties.
  TColor DefBackground() const { return m_defBackground; }
  void SetDefBackground(TColor colour);
  THTMLBorderStyle BorderStyle() const { return m_borderStyle; }
  void SetBorderStyle(THTMLBorderStyle style);
  bool NoSelect() const { return m_noSelect; }
  void SetNoSelect(bool noSelect);
  TScrollStyle ScrollBars() const { return m_scrollBars; }
  void SetScrollBars(TScrollStyle bars);
  ThtmlViewOptions htOptions() const { return m_options; }
  void SethtOptions(ThtmlViewOptions options);
  // Properties that take effect at the next load or clear.
  int HistoryMaxCount = 0;
  std::string DefFontName = "Times New Roman";
  std::string DefPreFontName = "Courier New";
  int DefFontSize = 12;
  TColor DefFontColor = SystemColor(18);  // button text
  TColor DefHotSpotColor = 0xFF0000;      // blue
  TColor DefOverLinkColor = 0xFF0000;
  TColor DefVisitedLinkColor = 0x800080;  // purple
  int VisitedMaxCount = 50;
  int ImageCacheCount = 5;
  int CharSet = 1;  // the default character set
  int MarginWidth = 10;
  int MarginHeight = 5;
  double PrintMarginLeft = 2.0, PrintMarginRight = 2.0, PrintMarginTop = 2.0, PrintMarginBottom = 2.0;
  double PrintScale = 1.0;
  bool ViewImages = true;
  // The character-set declaration of the page the document was cut from (a META element or a UTF-8
  // byte-order mark): a document that declares nothing itself is read in that character set.
  std::string PageCharsetDeclaration;
  // The address relative names of the next documents (pictures, linked style sheets) are resolved
  // against; empty: the document's own name. A table cut from a page finds its pictures beside the page.
  std::string BaseAddress;

  // Events; each may be left unset.
  std::function<void(bool processing)> OnProcessing;
  TProgressHandler OnProgress;  // Starting with 0 and Ending with 100
  std::function<void(std::string& source)> OnParseBegin;  // may replace the source
  std::function<void()> OnParseEnd;
  std::function<void(const std::string& httpEquiv, const std::string& name, const std::string& content)> OnMeta;
  std::function<void(int delay, const std::string& url)> OnMetaRefresh;
  std::function<void()> OnSoundRequest;  // asks to stop any background sound
  // Pictures: the host may supply them by name (the name as the document expanded it). An image request
  // answered with TImageStream::Waiting is completed later by InsertImage.
  TBitmapRequestHandler OnBitmapRequest;
  TImageRequestHandler OnImageRequest;

  // Hands in the picture an image request left waiting: the images that wait for it show it and the
  // document is laid out again. False when the data is no picture (they then show the error picture).
  bool InsertImage(const std::string& name, std::string_view data);
  // The image cache shared by the documents this view shows; made by the first load.
  TStringBitmapList* ImageCache() const { return m_pictureCache.get(); }
  // The animation timer of the document's animated pictures.
  QTimer* AnimationTimer() const { return m_animationTimer; }

  // What the view shows and how.
  TSectionList& Document() { return m_document; }
  const std::string& DocumentSource() const { return m_source; }
  const std::string& DocumentName() const { return m_documentName; }
  TDocumentKind DocumentKind() const { return m_kind; }
  const QString& DocumentTitle() const { return m_title; }
  const std::string& Base() const { return m_base; }
  const std::string& BaseTarget() const { return m_baseTarget; }
  int DocumentHeight() const { return m_documentHeight; }
  int ScrollWidth() const { return m_scrollWidth; }
  int BarThickness() const { return m_barThickness; }
  int BorderWidth() const { return m_borderWidth; }
  int Position() const { return m_vScrollBar->value(); }
  int HScrollPosition() const { return m_hScrollBar->value(); }
  bool Processing() const { return m_processing; }
  QWidget* PaintPanel() const { return m_paintPanel; }
  QFrame* BorderPanel() const { return m_borderPanel; }
  QScrollBar* VScrollBar() const { return m_vScrollBar; }
  QScrollBar* HScrollBar() const { return m_hScrollBar; }
  QColor PanelColor() const { return m_panelColor; }

  // The paint panel's handlers: selection with the left button (a drag, a double click for a word,
  // Shift for extending), scrolling by a drag with the middle button, links under the mouse.
  virtual void HTMLPaint(QPaintEvent* event);
  virtual void HTMLMouseDown(QMouseEvent* event);
  virtual void HTMLMouseMove(QMouseEvent* event);
  virtual void HTMLMouseUp(QMouseEvent* event);
  virtual void HTMLMouseDouble(QMouseEvent* event);
  // Extends the selection to a point of the panel while the mouse drags.
  virtual void ExtendSelectionTo(QPoint point);

  // The selection, as document character indices (empty when the start is not below the end).
  int SelStart() const { return m_document.SelB; }
  int SelLength() const { return std::max(0, m_document.SelE - m_document.SelB); }
  void SelectAll();
  // The selected text as it goes to the clipboard: the cells of a table row separated by tabs, one
  // line per row, so that it pastes into a spreadsheet as cells.
  QString SelectedText();
  // Puts the selected text on the clipboard (Ctrl+C and the context menu's "Copy").
  void CopyToClipboard();
  int CaretPos() const { return m_caretPos; }
  // The link under the mouse, as the hover state keeps it.
  const std::string& HoverUrl() const { return m_hoverUrl; }
  const std::string& HoverTitle() const { return m_hoverTitle; }
  bool DragScrolling() const { return m_dragScroll; }
  bool AutoScrolling() const;

  // Mouse events; each may be left unset.
  std::function<void(QMouseEvent* event)> OnMouseDown;
  std::function<void(QMouseEvent* event)> OnMouseMove;
  std::function<void(QMouseEvent* event)> OnMouseUp;
  std::function<void()> OnMouseDouble;
  // The link under the mouse changed: its address, empty when the mouse left it.
  std::function<void(const std::string& url)> OnHotSpotCovered;
  // A link was clicked: answering true handles it, otherwise the view follows it.
  std::function<bool(const std::string& url)> OnHotSpotClick;
  // A picture was clicked, or the mouse moved over one: the point inside the picture.
  std::function<void(TFloatingObj& image, int x, int y)> OnImageClick;
  std::function<void(TFloatingObj& image, int x, int y)> OnImageOver;
  // The view followed a clicked link by itself, to another page or to a place in this one: the page it
  // shows now, the target in it (empty for none) and the position the view had before.
  std::function<void(const std::string& path, const std::string& target, int previousPosition)> OnLinkFollowed;
  // A clicked link that cannot be followed (a missing page): the message; unset, a message box shows it.
  std::function<void(const QString& message)> OnLinkError;

  // Form controls: their ONCLICK, ONFOCUS, ONBLUR and ONCHANGE texts as they fire; a form's submission
  // (forms submit only while it is set); the browse button of a file field, with the field's text to
  // start from, answering whether a file was chosen.
  std::function<void(TFormControlObj& control, const QString& message)> OnObjectClick;
  std::function<void(TFormControlObj& control, const QString& message)> OnObjectFocus;
  std::function<void(TFormControlObj& control, const QString& message)> OnObjectBlur;
  std::function<void(TFormControlObj& control, const QString& message)> OnObjectChange;
  std::function<void(const TFormSubmission& submission)> OnFormSubmit;
  std::function<bool(QString& file)> OnFileBrowse;
  // Moves the keyboard focus to the next (or previous) form control of the tab order; at either end
  // it leaves the view. False when there is nowhere to go.
  bool FocusNextControl(bool next);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // TDocumentHost
  void BackgroundChanged(TColor colour) override;
  void InvalidatePanel() override;
  bool Showing() const override;
  void EnableAnimationTimer(bool enabled) override;
  void InvalidatePanelRect(const QRect& rect) override;
  bool LeftButtonDown() const override { return m_leftButtonDown; }
  void FocusControl(TFormControlObj& control) override;
  // Keys a control passes on (a check box's arrows and pages) scroll the view.
  void ViewerKeyDown(int key) override;
  bool ScrollByKey(int key);
  void ObjectClick(TFormControlObj& control, const QString& message) override;
  void ObjectFocus(TFormControlObj& control, const QString& message) override;
  void ObjectBlur(TFormControlObj& control, const QString& message) override;
  void ObjectChange(TFormControlObj& control, const QString& message) override;
  bool HandlesFormSubmit() const override { return static_cast<bool>(OnFormSubmit); }
  void FormSubmit(const TFormSubmission& submission) override;
  bool FileBrowse(QString& file) override { return OnFileBrowse && OnFileBrowse(file); }
  // Leaves the view for the widget before or after it in the window's focus chain.
  bool LeaveView(bool next);

  // The point of the panel as the document's hit tests take it.
  QPoint DocumentPoint(QPoint point) const;
  int CharIndexAtPanel(QPoint point, bool* inText = nullptr);
  void UpdateHover(QPoint point);
  void SetHoverLink(const std::string& url, const std::string& target, const std::string& title);
  void HoverTick();
  void StartAutoScroll();
  void AutoScrollStep();
  void EndDragScroll();
  // Follows a clicked link: the view's handler first, then an id in this document, a page or a picture.
  void FollowLink(const std::string& url);
  void ShowLinkError(const QString& message);
  // Scrolls the characters from start to end (exclusive) into view when they are not in it.
  void ScrollIntoView(int start, int end);
  // The name LoadFromString takes for the document name: a name with a "#" in it gets an empty target.
  static std::string ReferenceOf(const std::string& name);

  TDocumentDefaults Defaults() const;
  // Makes the image cache on first use and gives the document the fetch with the view's events.
  void PreparePictures();
  void ResetDocument();
  void LayoutDocument();
  int LayoutPass(int width);
  void ArrangeScrollBars();
  void Relayout();
  void ApplyFrameRule();
  int MaxVerticalPosition() const;
  int MaxHorizontalPosition() const;
  // Moves the view to y (already clamped): the panel's pixels move when moved is set and the step is
  // small enough, otherwise the panel is repainted.
  void MoveVertically(int y, bool moveSmallSteps);
  void SetVerticalValue(int y);
  void SetHorizontalPosition(int x);
  void VerticalAction(int action);
  void HorizontalAction(int action);

  // Declared before the document, which gives its pictures back to the cache when it goes.
  std::unique_ptr<TStringBitmapList> m_pictureCache;
  std::unique_ptr<TImageFetch> m_pictureFetch;
  // Declared before the document, whose controls it makes.
  std::unique_ptr<TFormControls> m_formControls;
  TSectionList m_document;
  QFrame* m_borderPanel;
  TPaintPanel* m_paintPanel;
  T32ScrollBar* m_vScrollBar;
  QScrollBar* m_hScrollBar;
  QTimer* m_hoverTimer;
  QTimer* m_animationTimer;

  TColor m_defBackground = SystemColor(15);  // button face
  THTMLBorderStyle m_borderStyle = THTMLBorderStyle::htFocused;
  bool m_noSelect = false;
  TScrollStyle m_scrollBars = TScrollStyle::ssBoth;
  ThtmlViewOptions m_options = htPrintTableBackground | htPrintMonochromeBlack;

  QColor m_panelColor;
  std::string m_source;
  std::string m_documentName;
  TDocumentKind m_kind = TDocumentKind::HTML;
  QString m_title;
  std::string m_base;
  std::string m_baseTarget;
  int m_refreshDelay = 0;
  std::string m_refreshUrl;
  int m_documentHeight = 0;
  int m_scrollWidth = 0;
  int m_barThickness = 0;
  int m_borderWidth = 2;
  int m_caretPos = 0;
  int m_anchor = -1;
  // Mouse state.
  bool m_maySelect = false;        // a left press away from links and controls: dragging selects
  bool m_leftPressed = false;      // a left press is being tracked
  bool m_leftButtonDown = false;   // as the document's hover pictures see it
  bool m_dragScroll = false;       // a middle press scrolls by dragging
  int m_dragStartY = 0;
  QPoint m_lastMouse;  // the panel point of the last press or move
  bool m_linkJustFollowed = false;
  std::string m_hoverUrl;
  std::string m_hoverTarget;
  std::string m_hoverTitle;
  QTimer* m_autoScrollTimer;
  int m_wheelRest = 0;  // wheel delta not yet turned into a step
  double m_zoom = 1.0;
  bool m_constructed = false;
  // A line of scrolling, by the keys, the bars and dragging past the edges.
  static constexpr int kVerticalStep = 16;
  bool m_processing = false;
  bool m_inLayout = false;
  bool m_painting = false;
  bool m_settingBars = false;
};

}  // namespace corvane
