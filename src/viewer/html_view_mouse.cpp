#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "html/url_functions.h"
#include "layout/section.h"
#include "style/style_text.h"
#include "viewer/html_view.h"

// The viewer's mouse: selection, scrolling by dragging, links under the mouse and their clicks, copy.
namespace corvane {

namespace {

constexpr int kDragScrollDeadZone = 20;  // pixels around the middle press that do not scroll

bool IsWordCharacter(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c >= 192;
}

}  // namespace

QPoint THtmlView::DocumentPoint(QPoint point) const {
  // The hit tests take x where the last paint put things on the panel (the horizontal scroll included),
  // and y in the document.
  return QPoint(point.x(), point.y() + m_document.YOffset());
}

int THtmlView::CharIndexAtPanel(QPoint point, bool* inText) {
  const QPoint at = DocumentPoint(point);
  TCharAtPoint result;
  const int index = m_document.CharIndexAt(at.x(), at.y(), result);
  if (inText) *inText = index >= 0 && result.InText;
  return index;
}

bool THtmlView::AutoScrolling() const { return m_autoScrollTimer->isActive(); }

void THtmlView::HTMLMouseDown(QMouseEvent* event) {
  if (OnMouseDown) OnMouseDown(event);
  setFocus(Qt::MouseFocusReason);
  m_linkJustFollowed = false;
  if (m_processing) return;
  if (m_dragScroll) {
    EndDragScroll();
    return;
  }
  if (event->button() == Qt::MiddleButton) {
    m_dragScroll = true;
    m_dragStartY = event->position().toPoint().y();
    m_lastMouse = event->position().toPoint();
    m_paintPanel->setCursor(Qt::SizeVerCursor);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  const QPoint point = event->position().toPoint();
  m_lastMouse = point;
  m_leftPressed = true;
  TLinkAtResult link;
  const QPoint at = DocumentPoint(point);
  m_maySelect = (m_document.LinkAt(at.x(), at.y(), link) & (LinkAtLink | LinkAtFormControl)) == 0;
  m_anchor = CharIndexAtPanel(point);
  if (m_anchor >= 0) {
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    if (m_document.SelE > m_document.SelB || shift) m_paintPanel->update();
    if (shift && !m_noSelect) {
      m_document.SelB = std::min(m_caretPos, m_anchor);
      m_document.SelE = std::max(m_caretPos, m_anchor);
    } else {
      m_document.SelB = m_document.SelE = m_anchor;
      m_caretPos = m_anchor;
    }
  }
  m_leftButtonDown = true;
}

void THtmlView::HTMLMouseMove(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(event);
  const QPoint point = event->position().toPoint();
  m_lastMouse = point;
  if (m_processing) return;
  if (m_dragScroll) {
    if (std::abs(point.y() - m_dragStartY) > kDragScrollDeadZone) StartAutoScroll();
    return;
  }
  UpdateHover(point);
  if (event->buttons() & Qt::LeftButton) {
    if (point.y() <= 0 || point.y() >= m_paintPanel->height()) StartAutoScroll();
    if (!m_noSelect) ExtendSelectionTo(point);
  }
}

void THtmlView::UpdateHover(QPoint point) {
  const QPoint at = DocumentPoint(point);
  TLinkAtResult link;
  const int flags = m_document.LinkAt(at.x(), at.y(), link);
  const bool overLink = (flags & LinkAtLink) != 0 && link.Link;
  std::string url, target, title;
  if (overLink) {
    url = link.Link->Url;
    target = link.Link->Target;
  }
  if (flags & LinkAtTitle) title = link.Title;
  if (overLink || (flags & LinkAtFormControl)) {
    m_paintPanel->setCursor(Qt::PointingHandCursor);
  } else {
    if (OnImageOver) {
      TObjectAtPoint object;
      if (m_document.ObjectAt(at.x(), at.y(), object) && object.Object) OnImageOver(*object.Object, object.IX, object.IY);
    }
    bool inText = false;
    CharIndexAtPanel(point, &inText);
    m_paintPanel->setCursor(inText ? cursor() : QCursor(Qt::ArrowCursor));
  }
  if (overLink || (flags & LinkAtFormControl) || m_document.ActiveImage) {
    if (!m_hoverTimer->isActive()) m_hoverTimer->start();
  } else {
    m_hoverTimer->stop();
  }
  SetHoverLink(url, target, title);
}

void THtmlView::SetHoverLink(const std::string& url, const std::string& target, const std::string& title) {
  m_hoverTitle = title;
  m_paintPanel->setToolTip(QString::fromStdString(title));
  if (url == m_hoverUrl && target == m_hoverTarget) return;
  m_hoverUrl = url;
  m_hoverTarget = target;
  if (OnHotSpotCovered) OnHotSpotCovered(url);
}

void THtmlView::HoverTick() {
  if (m_paintPanel->rect().contains(m_paintPanel->mapFromGlobal(QCursor::pos()))) return;
  // The mouse left the panel without a move over it: the links and pictures it lit go back.
  const QPoint outside(-1, -1 - m_document.YOffset());
  TLinkAtResult none;
  m_document.LinkAt(outside.x(), outside.y(), none);
  m_hoverTimer->stop();
  SetHoverLink({}, {}, {});
}

void THtmlView::ExtendSelectionTo(QPoint point) {
  if (!m_maySelect || m_anchor < 0) return;
  point.setY(std::clamp(point.y(), 0, m_paintPanel->height()));
  const int index = CharIndexAtPanel(point);
  if (index < 0) return;
  if (!m_noSelect) {
    const int selB = std::min(m_anchor, index), selE = std::max(m_anchor, index);
    if (selB != m_document.SelB || selE != m_document.SelE) {
      m_document.SelB = selB;
      m_document.SelE = selE;
      m_paintPanel->update();
    }
  }
  m_caretPos = index;
}

void THtmlView::StartAutoScroll() {
  if (!m_autoScrollTimer->isActive()) m_autoScrollTimer->start();
}

void THtmlView::AutoScrollStep() {
  // Where the mouse was last seen: a held button keeps the moves coming beyond the panel's edges.
  const QPoint point = m_lastMouse;
  const bool selecting = m_leftPressed && (point.y() <= 0 || point.y() > m_paintPanel->height());
  const int d = point.y() - m_dragStartY;
  const bool dragging = m_dragScroll && std::abs(d) > kDragScrollDeadZone;
  if (m_processing || (!selecting && !dragging)) {
    m_autoScrollTimer->stop();
    if (m_dragScroll) m_paintPanel->setCursor(Qt::SizeVerCursor);
    return;
  }
  int step = 0;
  if (selecting) {
    if (point.y() < -15) step = -8 * kVerticalStep;
    else if (point.y() <= 0) step = -kVerticalStep;
    else if (point.y() > m_paintPanel->height() + 15) step = 8 * kVerticalStep;
    else step = kVerticalStep;
  } else {
    step = d < -60 ? -32 : d < -20 ? -8 : d > 60 ? 32 : 8;
    m_paintPanel->setCursor(step < 0 ? Qt::UpArrowCursor : Qt::SizeVerCursor);
  }
  const int y = std::clamp(Position() + step, 0, MaxVerticalPosition());
  MoveVertically(y, false);
  if (selecting) ExtendSelectionTo(point);
  m_paintPanel->update();
}

void THtmlView::EndDragScroll() {
  m_dragScroll = false;
  m_autoScrollTimer->stop();
  m_paintPanel->setCursor(cursor());
}

void THtmlView::HTMLMouseUp(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (m_dragScroll) {
    if (!(event->button() == Qt::MiddleButton && point.y() == m_dragStartY)) EndDragScroll();
    return;
  }
  if (OnMouseUp) OnMouseUp(event);
  if (m_processing) return;
  const QPoint at = DocumentPoint(point);
  if (OnImageClick) {
    TObjectAtPoint object;
    if (m_document.ObjectAt(at.x(), at.y(), object) && object.Object) OnImageClick(*object.Object, object.IX, object.IY);
  }
  if (event->button() != Qt::LeftButton || (event->modifiers() & Qt::ShiftModifier)) return;
  m_autoScrollTimer->stop();
  ExtendSelectionTo(point);
  m_maySelect = false;
  m_leftButtonDown = false;
  if (!m_leftPressed) return;
  m_leftPressed = false;
  if (m_document.SelE > m_document.SelB) return;
  TLinkAtResult link;
  const int flags = m_document.LinkAt(at.x(), at.y(), link);
  if ((flags & LinkAtFormControl) && link.FormControl) {
    link.FormControl->ImageClick(link.FormX, link.FormY);
  } else if ((flags & LinkAtLink) && link.Link) {
    m_hoverUrl = link.Link->Url;
    m_hoverTarget = link.Link->Target;
    m_linkJustFollowed = true;
    FollowLink(link.Link->Url);
  }
}

void THtmlView::HTMLMouseDouble(QMouseEvent* event) {
  m_leftButtonDown = true;
  if (event->button() != Qt::LeftButton || m_processing || m_linkJustFollowed) return;
  const int index = CharIndexAtPanel(event->position().toPoint());
  char16_t ch = 0;
  TSectionBase* item = nullptr;
  if (!m_noSelect && index >= 0 && m_document.CharAt(index, ch, item) && item && IsWordCharacter(ch)) {
    int begin = index, end = index + 1;
    if (item->IsTextSection()) {
      // The word is looked for in the section's own text, which holds it whole.
      const std::u16string& text = static_cast<TSection*>(item)->Text();
      const int first = item->FirstCharIndex;
      while (begin > first && IsWordCharacter(text[static_cast<std::size_t>(begin - 1 - first)])) --begin;
      while (end - first < static_cast<int>(text.size()) && IsWordCharacter(text[static_cast<std::size_t>(end - first)]))
        ++end;
    }
    m_document.SelB = begin;
    m_document.SelE = end;
    m_caretPos = begin;
    m_anchor = begin;
    m_maySelect = false;
    m_paintPanel->update();
  }
  if (OnMouseDouble) OnMouseDouble();
}

void THtmlView::SelectAll() {
  m_document.SelB = 0;
  m_document.SelE = m_document.CharCount;
  m_paintPanel->update();
}

QString THtmlView::SelectedText() {
  if (m_document.SelE <= m_document.SelB) return QString();
  return QString::fromStdU16String(m_document.SelectedTextForCopy());
}

void THtmlView::CopyToClipboard() {
  const QString text = SelectedText();
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void THtmlView::FollowLink(const std::string& url) {
  if (OnHotSpotClick && OnHotSpotClick(url)) return;
  const int before = Position();
  const auto followed = [&](const std::string& target) {
    if (OnLinkFollowed) OnLinkFollowed(m_documentName, target, before);
  };
  const std::size_t hash = url.find('#');
  const std::string path = url.substr(0, hash);
  const std::string target = hash == std::string::npos ? std::string() : url.substr(hash + 1);
  if (path.empty()) {
    if (const TIDObject* object = m_document.IDNameList.Find(target)) {
      ScrollToY(object->GetYPos());
      followed(target);
    }
    return;
  }
  const std::string base = m_base.empty() ? m_documentName : m_base;
  std::string full = UrlToFilePath(path);
  if (full.empty() || full[0] != '/') {
    if (IsFullUrl(path)) return;  // only files are followed
    full = UrlToFilePath(UrlBase(base)) + full;
  }
  full = std::filesystem::path(full).lexically_normal().string();
  const std::string extension = style_text::LowerCopy(std::filesystem::path(full).extension().string());
  const bool page = extension == ".htm" || extension == ".html";
  if (page && full == m_documentName) {
    const TIDObject* object = target.empty() ? nullptr : m_document.IDNameList.Find(target);
    ScrollToY(object ? object->GetYPos() : 0);
    followed(target);
    return;
  }
  if (page || extension == ".bmp" || extension == ".gif" || extension == ".jpg" || extension == ".jpeg" ||
      extension == ".png") {
    std::string error;
    // A page that cannot be read is reported here: nothing leaves a mouse handler.
    if (!LoadFileAt(full, page ? target : std::string(), error)) {
      ShowLinkError(QString::fromStdString(error));
      return;
    }
    followed(page ? target : std::string());
  }
}

void THtmlView::SelectRange(int start, int length) {
  start = std::clamp(start, 0, m_document.CharCount);
  const int end = std::clamp(start + std::max(0, length), start, m_document.CharCount);
  m_document.SelB = start;
  m_document.SelE = end;
  m_caretPos = start;
  m_anchor = start;
  if (end > start) ScrollIntoView(start, end);
  m_paintPanel->update();
}

bool THtmlView::FindNext(const QString& text, bool forward, bool matchCase, bool fromSelection) {
  if (m_processing) return false;
  const std::u16string wanted = text.toStdU16String();
  const int length = static_cast<int>(wanted.size());
  const bool selected = m_document.SelE > m_document.SelB;
  const int here = selected ? m_document.SelB : m_caretPos;
  int at = -1;
  if (length > 0) {
    if (forward) {
      at = m_document.FindText(selected && !fromSelection ? here + 1 : here, wanted, matchCase);
      if (at < 0) at = m_document.FindText(0, wanted, matchCase);
    } else {
      // A backward search takes the matches that end by its starting index: those that start before here.
      at = m_document.FindTextBackward(here - 1 + length, wanted, matchCase);
      if (at < 0) at = m_document.FindTextBackward(m_document.CharCount + length, wanted, matchCase);
    }
  }
  if (at < 0) {
    m_document.SelE = m_document.SelB;
    m_caretPos = m_document.SelB;
    m_paintPanel->update();
    return false;
  }
  SelectRange(at, length);
  return true;
}

void THtmlView::ScrollIntoView(int start, int end) {
  int x = 0, y = 0, endX = 0, endY = 0;
  if (!m_document.CharIndexToXYRoot(start, x, y)) return;
  if (!m_document.CharIndexToXYRoot(std::max(start, end - 1), endX, endY)) endY = y;
  // The positions give a line's top; a line of the text below it must fit too.
  const int lineAllowance = static_cast<int>(2 * kVerticalStep * std::max(1.0, m_zoom));
  const int top = Position(), height = m_paintPanel->height();
  // Out of view, the match goes a third of the way down the view, higher when its end needs the room.
  if (y < top || endY + lineAllowance > top + height)
    ScrollToY(std::min(y, std::max(y - height / 3, endY + lineAllowance - height)));
  // Across, the positions are where the last paint put the characters on the panel.
  const int width = m_paintPanel->width();
  if (x < 0 || x + kVerticalStep > width) SetHorizontalPosition(HScrollPosition() + x - width / 3);
}

void THtmlView::ShowLinkError(const QString& message) {
  if (OnLinkError) {
    OnLinkError(message);
    return;
  }
  QMessageBox::warning(this, window()->windowTitle(), message);
}

}  // namespace corvane
