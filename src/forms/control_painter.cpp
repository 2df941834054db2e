#include "forms/control_painter.h"

#include <QPainter>
#include <QPolygon>

namespace corvane {

void DrawControlBox(QPainter& painter, const QRect& rect, TControlFrame frame, const QColor& fill) {
  if (rect.width() <= 0 || rect.height() <= 0) return;
  painter.fillRect(rect, fill);
  const QColor outerTopLeft = frame == TControlFrame::Sunken ? kButtonShadow : Qt::white;
  const QColor outerBottomRight = frame == TControlFrame::Sunken ? Qt::white : kDarkShadow;
  const QColor innerTopLeft = frame == TControlFrame::Sunken ? kDarkShadow : kButtonFace;
  const QColor innerBottomRight = frame == TControlFrame::Sunken ? kButtonFace : kButtonShadow;
  auto edge = [&](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
  };
  edge(rect, outerTopLeft, outerBottomRight);
  if (rect.width() > 2 && rect.height() > 2) edge(rect.adjusted(1, 1, -1, -1), innerTopLeft, innerBottomRight);
}

void DrawControlText(QPainter& painter, const QRect& rect, const QString& text, const QFont& font, int alignment,
                     const QColor& colour) {
  if (text.isEmpty() || rect.isEmpty()) return;
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.setFont(font);
  painter.setPen(colour);
  painter.drawText(rect, alignment | Qt::TextSingleLine, text);
  painter.restore();
}

void DrawDownArrow(QPainter& painter, const QRect& rect) {
  const QPoint centre = rect.center();
  QPolygon arrow;
  arrow << QPoint(centre.x() - 3, centre.y() - 1) << QPoint(centre.x() + 3, centre.y() - 1)
        << QPoint(centre.x(), centre.y() + 2);
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawPolygon(arrow);
  painter.restore();
}

void DrawScrollBar(QPainter& painter, const QRect& rect) {
  if (rect.isEmpty()) return;
  painter.fillRect(rect, kButtonFace);
  const int side = std::min(rect.width(), rect.height() / 2);
  DrawControlBox(painter, QRect(rect.left(), rect.top(), rect.width(), side), TControlFrame::Raised, kButtonFace);
  DrawControlBox(painter, QRect(rect.left(), rect.bottom() - side + 1, rect.width(), side), TControlFrame::Raised,
                 kButtonFace);
}

}  // namespace corvane
