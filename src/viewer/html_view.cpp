#include "viewer/html_view.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "builder/document_loader.h"
#include "forms/form_controls.h"
#include "html/html_reader.h"
#include "style/style_text.h"

namespace corvane {

namespace {

constexpr int kFirstAnimationTick = 50;  // milliseconds
constexpr int kAutoScrollInterval = 100;  // milliseconds
constexpr int kAnimationTick = 40;
constexpr int kHorizontalStep = 15;
constexpr int kWheelNotch = 120;
constexpr std::uintmax_t kMaxFileSize = 256u * 1024 * 1024;

// The delay of a refresh META's CONTENT: the number before the first ";", -1 when there is none.
int RefreshDelay(const std::string& content) {
  const std::string number = content.substr(0, content.find(';'));
  std::size_t at = 0;
  while (at < number.size() && (number[at] == ' ' || number[at] == '\t')) ++at;
  std::size_t end = at;
  if (end < number.size() && (number[end] == '-' || number[end] == '+')) ++end;
  const std::size_t digits = end;
  while (end < number.size() && number[end] >= '0' && number[end] <= '9') ++end;
  if (end == digits) return -1;
  long long value = 0;
  for (std::size_t i = digits; i < end && value <= INT_MAX; ++i) value = value * 10 + (number[i] - '0');
  if (number[at] == '-') return -1;
  return static_cast<int>(std::min<long long>(value, INT_MAX));
}

std::string RefreshUrl(const std::string& content) {
  const std::size_t at = style_text::LowerCopy(content).find("url=");
  return at == std::string::npos ? std::string() : content.substr(at + 4);
}

std::string ExpandName(const std::string& name) {
  if (name.empty()) return name;
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(name, error);
  return error ? name : full.lexically_normal().string();
}

}  // namespace

TPaintPanel::TPaintPanel(THtmlView& view, QWidget* parent) : QWidget(parent), m_view(view) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
  setMouseTracking(true);
}

void TPaintPanel::paintEvent(QPaintEvent* event) { m_view.HTMLPaint(event); }

bool TPaintPanel::focusNextPrevChild(bool next) { return m_view.FocusNextControl(next); }
// Nothing may leave an event handler of Qt's: a failure in one (out of memory loading a linked page,
// a handler of the host that throws) is shown in a message box and the view goes on.
template <typename Handler>
void TPaintPanel::Guarded(Handler handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    QMessageBox::critical(this, window()->windowTitle(), QString::fromLocal8Bit(error.what()));
  }
}

void TPaintPanel::mousePressEvent(QMouseEvent* event) {
  Guarded([&] { m_view.HTMLMouseDown(event); });
}
void TPaintPanel::mouseMoveEvent(QMouseEvent* event) {
  Guarded([&] { m_view.HTMLMouseMove(event); });
}
void TPaintPanel::mouseReleaseEvent(QMouseEvent* event) {
  Guarded([&] { m_view.HTMLMouseUp(event); });
}
void TPaintPanel::mouseDoubleClickEvent(QMouseEvent* event) {
  Guarded([&] { m_view.HTMLMouseDouble(event); });
}

void TPaintPanel::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(QStringLiteral("Copy"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setEnabled(m_view.SelLength() > 0);
  if (menu.exec(event->globalPos()) == copy) m_view.CopyToClipboard();
}

THtmlView::THtmlView(QWidget* parent)
    : QWidget(parent),
      m_document(this),
      m_borderPanel(new QFrame(this)),
      m_paintPanel(new TPaintPanel(*this, this)),
      m_vScrollBar(new T32ScrollBar(this)),
      m_hScrollBar(new QScrollBar(Qt::Horizontal, this)),
      m_hoverTimer(new QTimer(this)),
      m_animationTimer(new QTimer(this)),
      m_autoScrollTimer(new QTimer(this)) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::IBeamCursor);
  m_borderPanel->setFrameStyle(QFrame::NoFrame);
  m_borderPanel->setGeometry(rect());
  m_paintPanel->setFocusProxy(this);
  m_paintPanel->setCursor(Qt::IBeamCursor);
  m_panelColor = ToQColor(m_defBackground, palette());

  m_barThickness = m_vScrollBar->sizeHint().width();
  for (QScrollBar* bar : {static_cast<QScrollBar*>(m_vScrollBar), m_hScrollBar}) {
    bar->hide();
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setRange(0, 0);
  }
  m_vScrollBar->setSingleStep(kVerticalStep);
  m_hScrollBar->setSingleStep(kHorizontalStep);
  // The bars report what the user asked; the view decides where that leads.
  connect(m_vScrollBar, &QAbstractSlider::actionTriggered, this, [this](int action) { VerticalAction(action); });
  connect(m_vScrollBar, &QAbstractSlider::valueChanged, this, [this](int value) {
    if (!m_settingBars) MoveVertically(value, true);
  });
  connect(m_hScrollBar, &QAbstractSlider::actionTriggered, this, [this](int action) { HorizontalAction(action); });
  connect(m_hScrollBar, &QAbstractSlider::valueChanged, this, [this](int) {
    if (!m_settingBars) m_paintPanel->update();
  });

  m_hoverTimer->setInterval(200);
  m_hoverTimer->setSingleShot(false);
  connect(m_hoverTimer, &QTimer::timeout, this, [this] { HoverTick(); });
  // Dragging past the panel's edges scrolls on a timer, without a loop of its own: the mouse, paints
  // and a closing window are handled in between as ever.
  m_autoScrollTimer->setInterval(kAutoScrollInterval);
  connect(m_autoScrollTimer, &QTimer::timeout, this, [this] { AutoScrollStep(); });
  m_paintPanel->setMouseTracking(true);
  // The first tick comes after 50 ms, the others every 40 ms.
  m_animationTimer->setInterval(kFirstAnimationTick);
  connect(m_animationTimer, &QTimer::timeout, this, [this] {
    m_animationTimer->setInterval(kAnimationTick);
    if (!m_processing) m_document.StepAnimations(AnimationClock());
  });
  ResetDocument();
  ArrangeScrollBars();
  m_constructed = true;
}

THtmlView::~THtmlView() {
  m_animationTimer->stop();
  // The document's controls and focus proxies are children of the panel; let them go first.
  m_document.Clear();
}

void THtmlView::PreparePictures() {
  if (!m_pictureCache) {
    m_pictureCache = std::make_unique<TStringBitmapList>(ImageCacheCount);
    m_pictureFetch = std::make_unique<TImageFetch>(*m_pictureCache);
  }
  m_pictureFetch->OnBitmapRequest = OnBitmapRequest;
  m_pictureFetch->OnImageRequest = OnImageRequest;
  m_document.SetPictureFetch(m_pictureFetch.get());
}

bool THtmlView::InsertImage(const std::string& name, std::string_view data) {
  if (!m_pictureFetch || m_processing) return false;
  const bool decoded = m_pictureFetch->HandIn(name, data);
  if (m_document.PictureArrived(name)) Relayout();
  return decoded;
}

void THtmlView::EnableAnimationTimer(bool enabled) {
  if (!enabled) {
    m_animationTimer->stop();
  } else if (!m_animationTimer->isActive()) {
    m_animationTimer->setInterval(kFirstAnimationTick);
    m_animationTimer->start();
  }
}

void THtmlView::InvalidatePanelRect(const QRect& rect) { m_paintPanel->update(rect); }

void THtmlView::SetDefBackground(TColor colour) {
  if (m_processing) return;
  m_defBackground = colour;
  m_document.SetBackground(colour);
  m_panelColor = ToQColor(colour, palette());
  update();
  m_paintPanel->update();
}

void THtmlView::SetBorderStyle(THTMLBorderStyle style) {
  m_borderStyle = style;
  ApplyFrameRule();
  ArrangeScrollBars();
}

void THtmlView::SetNoSelect(bool noSelect) {
  m_noSelect = noSelect;
  if (noSelect) {
    m_document.SelB = m_document.SelE = 0;
    m_anchor = -1;
    m_paintPanel->update();
  }
}

void THtmlView::SetScrollBars(TScrollStyle bars) {
  if (bars == m_scrollBars) return;
  m_scrollBars = bars;
  if (!m_processing && m_constructed) {
    LayoutDocument();
    m_paintPanel->update();
  }
}

void THtmlView::SethtOptions(ThtmlViewOptions options) {
  m_options = options;
  m_document.LinksActive = (options & htOverLinksActive) != 0;
  if (m_constructed && !m_processing) {
    LayoutDocument();
    m_paintPanel->update();
  }
}

TDocumentDefaults THtmlView::Defaults() const {
  TDocumentDefaults defaults;
  defaults.Style.FontName = DefFontName;
  defaults.Style.PreFontName = DefPreFontName;
  defaults.Style.Size = DefFontSize * m_zoom;
  defaults.Style.Color = DefFontColor;
  defaults.Style.HotSpotColor = DefHotSpotColor;
  defaults.Style.VisitedColor = DefVisitedLinkColor;
  defaults.Style.OverColor = DefOverLinkColor;
  defaults.Style.LinkUnderline = (m_options & htNoLinkUnderline) == 0;
  defaults.Style.CharSet = CharSet;
  defaults.Style.MarginHeight = MarginHeight;
  defaults.Style.MarginWidth = MarginWidth;
  defaults.Background = m_defBackground;
  defaults.HoverLinks = (m_options & htOverLinksActive) != 0;
  return defaults;
}

void THtmlView::ResetDocument() {
  const TDocumentDefaults defaults = Defaults();
  m_animationTimer->stop();
  m_document.Clear();
  m_document.SetDefaults(defaults.Style, defaults.Background, defaults.HoverLinks);
  m_document.ShowImages = ViewImages;
}

void THtmlView::LoadFromStrings(std::vector<std::string> lines, const std::string& referenceName) {
  std::string text = JoinLines(lines);
  std::vector<std::string>().swap(lines);
  LoadFromString(std::move(text), referenceName, TDocumentKind::HTML);
  if (m_refreshDelay > 0 && OnMetaRefresh) OnMetaRefresh(m_refreshDelay, m_refreshUrl);
}

void THtmlView::LoadFromString(std::string text, const std::string& referenceName, TDocumentKind kind) {
  if (m_processing) return;
  m_processing = true;
  if (OnProcessing) OnProcessing(true);
  m_refreshDelay = 0;
  // Whatever happens below, the view leaves the load usable.
  struct TEnd {
    THtmlView& View;
    ~TEnd() {
      if (View.OnProgress) View.OnProgress(TProgressStage::Ending, 100);
      View.m_processing = false;
      View.m_inLayout = false;
      if (View.OnProcessing) View.OnProcessing(false);
    }
  } end{*this};

  // The last "#" starts the target, so that a file name may hold one.
  const std::size_t hash = referenceName.rfind('#');
  const std::string name = referenceName.substr(0, hash);
  const std::string target = hash == std::string::npos ? std::string() : referenceName.substr(hash + 1);
  m_inLayout = true;
  const std::string previousName = m_documentName;
  m_documentName = ExpandName(name);
  m_kind = kind;

  if (OnProgress) OnProgress(TProgressStage::Starting, 0);
  m_caretPos = 0;
  m_anchor = -1;
  m_maySelect = false;
  m_autoScrollTimer->stop();
  if (OnSoundRequest) OnSoundRequest();
  m_source = std::move(text);
  if (OnParseBegin) OnParseBegin(m_source);

  const TDocumentDefaults defaults = Defaults();

  TBuilderHandlers handlers;
  handlers.BaseAddress = BaseAddress.empty() ? m_documentName : BaseAddress;
  if (!m_formControls) m_formControls = std::make_unique<TFormControls>(m_paintPanel);
  handlers.FormControls = m_formControls.get();
  if (!PageCharsetDeclaration.empty()) handlers.PageCharset = DeclaredCharset(PageCharsetDeclaration);
  handlers.Meta = [this](const std::string& httpEquiv, const std::string& metaName, const std::string& content) {
    if (OnMeta) OnMeta(httpEquiv, metaName, content);
    if (OnMetaRefresh && style_text::EqualsIgnoreCase(httpEquiv, "refresh")) {
      const int delay = RefreshDelay(content);
      if (delay >= 0) {
        m_refreshDelay = std::max(1, delay);
        m_refreshUrl = RefreshUrl(content);
      }
    }
  };
  m_animationTimer->stop();
  PreparePictures();
  m_document.ShowImages = ViewImages;
  if (kind == TDocumentKind::HTML) {
    const TParseResult result = LoadHtmlDocument(m_document, m_source, defaults, handlers);
    m_base = result.BaseUrl;
    m_baseTarget = result.BaseTarget;
    m_title = result.Title;
  } else {
    LoadTextDocument(m_document, m_source, defaults, handlers);
    m_base.clear();
    m_baseTarget.clear();
    m_title.clear();
  }
  // The pictures of the documents before that no document has used for a while go.
  m_pictureCache->Purge();
  if (OnParseEnd) OnParseEnd();
  LayoutDocument();

  const TIDObject* object = target.empty() ? nullptr : m_document.IDNameList.Find(target);
  const int targetY = object ? object->GetYPos() : -1;
  if (targetY >= 0) {
    ScrollToY(targetY);
    SetHorizontalPosition(0);
  } else if (m_documentName.empty() || m_documentName != previousName) {
    ScrollToY(0);
    SetHorizontalPosition(0);
  } else {
    // The same document again keeps its place, as far as the new document reaches.
    ScrollToY(Position());
    SetHorizontalPosition(HScrollPosition());
  }
  m_paintPanel->update();
}

bool THtmlView::LoadFromFile(const std::string& path, std::string& error) {
  std::error_code code;
  const std::filesystem::path file(path);
  if (!std::filesystem::is_regular_file(file, code)) {
    error = "Can't locate file: " + path;
    return false;
  }
  const std::uintmax_t size = std::filesystem::file_size(file, code);
  if (code || size > kMaxFileSize) {
    error = code ? code.message() : "the file is larger than 256 MB";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!in || !in.read(text.data(), static_cast<std::streamsize>(size))) {
    error = "cannot read " + path;
    return false;
  }
  const std::string extension = style_text::LowerCopy(file.extension().string());
  LoadFromString(std::move(text), ReferenceOf(path),
                 extension == ".txt" ? TDocumentKind::PlainText : TDocumentKind::HTML);
  return true;
}

std::string THtmlView::ReferenceOf(const std::string& name) {
  return name.find('#') == std::string::npos ? name : name + '#';
}

bool THtmlView::LoadFileAt(const std::string& path, const std::string& target, std::string& error) {
  if (m_processing) {
    error = "the view is busy loading a page";
    return false;
  }
  const std::string extension = style_text::LowerCopy(std::filesystem::path(path).extension().string());
  if (extension == ".bmp" || extension == ".gif" || extension == ".jpg" || extension == ".jpeg" ||
      extension == ".png") {
    std::string quoted;
    quoted.reserve(path.size());
    for (char c : path) {
      if (c == '"')
        quoted += "&quot;";
      else if (c == '&')
        quoted += "&amp;";
      else
        quoted += c;
    }
    LoadFromString("<img src=\"" + quoted + "\">", ReferenceOf(path));
    return true;
  }
  if (!LoadFromFile(path, error)) return false;
  if (!target.empty())
    if (const TIDObject* object = m_document.IDNameList.Find(target)) ScrollToY(object->GetYPos());
  return true;
}

void THtmlView::SetZoom(double zoom) {
  zoom = std::clamp(zoom, 0.25, 5.0);
  if (zoom == m_zoom) return;
  const double ratio = zoom / m_zoom;
  m_zoom = zoom;
  if (m_processing || m_source.empty()) return;
  // The same source gives the same items in the same order: the item at the top of the view is found
  // again by its place in the position list, and the part of it above the view grows with the text.
  const int position = Position();
  const TSectionAtY at = m_document.FindSectionAtY(position);
  const int offset = at.Section ? position - at.Y : position;
  const int selB = m_document.SelB, selE = m_document.SelE, caret = m_caretPos;
  const int horizontal = HScrollPosition();
  LoadFromString(std::string(m_source), ReferenceOf(m_documentName), m_kind);
  const auto index = static_cast<std::size_t>(at.Index);
  if (at.Section && at.Index >= 0 && index < m_document.PositionList().size()) {
    ScrollToY(m_document.PositionList()[index]->GetYPos() + static_cast<int>(offset * ratio));
  } else {
    ScrollToY(static_cast<int>(position * ratio));
  }
  SetHorizontalPosition(static_cast<int>(horizontal * ratio));
  m_document.SelB = std::min(selB, m_document.CharCount);
  m_document.SelE = std::min(selE, m_document.CharCount);
  m_caretPos = std::min(caret, m_document.CharCount);
}

void THtmlView::Clear() {
  if (m_processing) return;
  m_hoverTimer->stop();
  m_autoScrollTimer->stop();
  m_maySelect = false;
  m_hoverUrl.clear();
  m_hoverTarget.clear();
  m_hoverTitle.clear();
  ResetDocument();
  if (m_pictureCache) m_pictureCache->Clear();
  m_source.clear();
  m_base.clear();
  m_baseTarget.clear();
  m_title.clear();
  {
    const QSignalBlocker quiet(m_vScrollBar);
    m_settingBars = true;
    m_vScrollBar->setMaximum(std::max(0, m_vScrollBar->value()));
    m_settingBars = false;
  }
  m_vScrollBar->hide();
  m_vScrollBar->resize(m_vScrollBar->width(), m_paintPanel->height());
  m_hScrollBar->hide();
  m_caretPos = 0;
  m_anchor = -1;
  if (OnSoundRequest) OnSoundRequest();
  update();
  m_paintPanel->update();
}

int THtmlView::MaxVerticalPosition() const { return std::max(0, m_documentHeight - m_paintPanel->height()); }

int THtmlView::MaxHorizontalPosition() const { return m_hScrollBar->maximum(); }

void THtmlView::SetVerticalValue(int y) {
  const QSignalBlocker quiet(m_vScrollBar);
  m_settingBars = true;
  m_vScrollBar->setMaximum(std::max(MaxVerticalPosition(), y));
  m_vScrollBar->setValue(y);
  m_settingBars = false;
}

bool THtmlView::focusNextPrevChild(bool next) { return FocusNextControl(next); }

bool THtmlView::FocusNextControl(bool next) {
  const std::vector<TFormControlObj*> order = m_document.ControlFocusOrder();
  if (!order.empty()) {
    const auto focused = std::find_if(order.begin(), order.end(), [](const TFormControlObj* c) { return c->Focused; });
    if (focused == order.end()) {
      // From the view itself into its first (or last) control.
      if (hasFocus()) {
        FocusControl(next ? *order.front() : *order.back());
        return true;
      }
    } else if (next ? focused + 1 != order.end() : focused != order.begin()) {
      FocusControl(**(next ? focused + 1 : focused - 1));
      return true;
    }
  }
  return LeaveView(next);
}

bool THtmlView::LeaveView(bool next) {
  QWidget* widget = this;
  while (true) {
    widget = next ? widget->nextInFocusChain() : widget->previousInFocusChain();
    if (!widget || widget == this) return false;
    if (isAncestorOf(widget) || !(widget->focusPolicy() & Qt::TabFocus) || !widget->isVisible() ||
        !widget->isEnabled())
      continue;
    widget->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
}

void THtmlView::FocusControl(TFormControlObj& control) {
  const int top = control.YPos;
  const int bottom = top + control.Height() + control.MarginTop + control.MarginBottom;
  const int viewTop = m_document.YOffset();
  if (top < viewTop || bottom > viewTop + m_paintPanel->height()) ScrollToY(std::max(0, bottom - m_paintPanel->height() / 2));
  // The paint places the control, and makes its window when it first comes into view.
  if (!control.Placed || !control.ShowIt) m_paintPanel->repaint();
  control.SetFocus();
}

void THtmlView::ObjectClick(TFormControlObj& control, const QString& message) {
  if (OnObjectClick) OnObjectClick(control, message);
}

void THtmlView::ObjectFocus(TFormControlObj& control, const QString& message) {
  if (OnObjectFocus) OnObjectFocus(control, message);
}

void THtmlView::ObjectBlur(TFormControlObj& control, const QString& message) {
  if (OnObjectBlur) OnObjectBlur(control, message);
}

void THtmlView::ObjectChange(TFormControlObj& control, const QString& message) {
  if (OnObjectChange) OnObjectChange(control, message);
}

void THtmlView::FormSubmit(const TFormSubmission& submission) {
  if (OnFormSubmit) OnFormSubmit(submission);
}

void THtmlView::ScrollToY(int y) {
  y = std::clamp(y, 0, MaxVerticalPosition());
  SetVerticalValue(y);
  m_document.SetYOffset(y);
  update();
  m_paintPanel->update();
}

void THtmlView::SetHorizontalPosition(int x) {
  x = std::clamp(x, 0, MaxHorizontalPosition());
  const QSignalBlocker quiet(m_hScrollBar);
  m_settingBars = true;
  m_hScrollBar->setValue(x);
  m_settingBars = false;
  m_paintPanel->update();
}

void THtmlView::MoveVertically(int y, bool moveSmallSteps) {
  y = std::clamp(y, 0, MaxVerticalPosition());
  const int old = m_document.YOffset();
  SetVerticalValue(y);
  m_document.SetYOffset(y);
  if (y == old) return;
  const int step = old - y;
  // Moving the pixels that stay in view repaints only the band that scrolls in. The form controls'
  // windows move with the panel's pixels, so the paint that follows finds them in place and moves
  // none of them; it also hides those that left the view.
  if (moveSmallSteps && std::abs(step) < m_paintPanel->height() && !m_document.HasFocusProxies() &&
      !m_document.HasFixedBackground()) {
    m_paintPanel->scroll(0, step);
  } else {
    m_paintPanel->update();
  }
}

void THtmlView::VerticalAction(int action) {
  int y = m_document.YOffset();
  const int large = m_paintPanel->height() - kVerticalStep;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: y += kVerticalStep; break;
    case QAbstractSlider::SliderSingleStepSub: y -= kVerticalStep; break;
    case QAbstractSlider::SliderPageStepAdd: y += large; break;
    case QAbstractSlider::SliderPageStepSub: y -= large; break;
    case QAbstractSlider::SliderMove: y = m_vScrollBar->sliderPosition(); break;
    case QAbstractSlider::SliderToMinimum: y = 0; break;
    case QAbstractSlider::SliderToMaximum: y = m_documentHeight - m_paintPanel->height(); break;
    default: break;
  }
  y = std::clamp(y, 0, MaxVerticalPosition());
  // The bar applies the action after this; it lands where the view says.
  m_vScrollBar->setSliderPosition(y);
}

void THtmlView::HorizontalAction(int action) {
  int x = m_hScrollBar->sliderPosition();
  if (action == QAbstractSlider::SliderSingleStepAdd || action == QAbstractSlider::SliderSingleStepSub ||
      action == QAbstractSlider::SliderPageStepAdd || action == QAbstractSlider::SliderPageStepSub ||
      action == QAbstractSlider::SliderMove) {
    m_hScrollBar->setSliderPosition(std::clamp(x, 0, MaxHorizontalPosition()));
  }
}

void THtmlView::keyPressEvent(QKeyEvent* event) {
  if (m_dragScroll) EndDragScroll();
  if (event->matches(QKeySequence::Copy)) {
    CopyToClipboard();
    return;
  }
  if (event->matches(QKeySequence::SelectAll) && !m_noSelect) {
    SelectAll();
    return;
  }
  if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier) ||
      QGuiApplication::mouseButtons() != Qt::NoButton) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (!ScrollByKey(event->key())) QWidget::keyPressEvent(event);
}

void THtmlView::ViewerKeyDown(int key) { ScrollByKey(key); }

bool THtmlView::ScrollByKey(int key) {
  const int position = Position();
  const int large = m_paintPanel->height() - kVerticalStep;
  int y = position;
  switch (key) {
    case Qt::Key_PageUp: y -= large; break;
    case Qt::Key_PageDown: y += large; break;
    case Qt::Key_Home: y = 0; break;
    case Qt::Key_End: y = m_documentHeight; break;
    case Qt::Key_Up: y -= kVerticalStep; break;
    case Qt::Key_Down: y += kVerticalStep; break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int step = key == Qt::Key_Left ? -kHorizontalStep : kHorizontalStep;
      SetHorizontalPosition(HScrollPosition() + step);
      return true;
    }
    default:
      return false;
  }
  y = std::clamp(y, 0, MaxVerticalPosition());
  MoveVertically(y, std::abs(y - position) == kVerticalStep);
  return true;
}

void THtmlView::wheelEvent(QWheelEvent* event) {
  if (m_options & htNoWheelMouse) {
    event->ignore();
    return;
  }
  const int delta = event->angleDelta().y();
  // A sideways or tilt wheel has no vertical delta: it does not scroll the page.
  if (delta == 0) {
    event->ignore();
    return;
  }
  event->accept();
  const int lines = QApplication::wheelScrollLines();
  int y = Position();
  if (lines > 0) {
    // Touchpads send many small deltas; they add up to one step per notch.
    if ((m_wheelRest > 0) != (delta > 0)) m_wheelRest = 0;
    m_wheelRest += delta;
    const int notches = m_wheelRest / kWheelNotch;
    if (notches == 0) return;
    m_wheelRest -= notches * kWheelNotch;
    y -= notches * kVerticalStep * lines;
  } else {
    y -= delta / 2;
  }
  y = std::clamp(y, 0, MaxVerticalPosition());
  if (y != Position()) ScrollToY(y);
}

void THtmlView::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  ApplyFrameRule();
}

void THtmlView::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  ApplyFrameRule();
}

void THtmlView::BackgroundChanged(TColor colour) {
  m_panelColor = ToQColor(colour, palette());
  m_paintPanel->update();
}

void THtmlView::InvalidatePanel() { m_paintPanel->update(); }

bool THtmlView::Showing() const { return isVisible(); }

}  // namespace corvane
