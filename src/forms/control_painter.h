#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

namespace corvane {

// The look of controls drawn without the toolkit (pictures of pages, print copies): plain 3-D frames in
// the system's colours.
enum class TControlFrame { Sunken, Raised };

inline const QColor kButtonFace(0xF0, 0xF0, 0xF0);
inline const QColor kButtonShadow(0xA0, 0xA0, 0xA0);
inline const QColor kDarkShadow(0x69, 0x69, 0x69);
inline const QColor kHighlight(0x00, 0x78, 0xD7);

// Fills rect and draws a 2-pixel frame inside it.
void DrawControlBox(QPainter& painter, const QRect& rect, TControlFrame frame, const QColor& fill);
// Text inside rect, cut at its edges.
void DrawControlText(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
                     int alignment, const QColor& colour = Qt::black);
// The arrow of a drop-down list or a scroll bar, pointing down, centred in rect.
void DrawDownArrow(QPainter& painter, const QRect& rect);
// An empty vertical scroll bar in rect.
void DrawScrollBar(QPainter& painter, const QRect& rect);

}  // namespace corvane
