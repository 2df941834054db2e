#pragma once

#include <QRect>
#include <QSize>

namespace corvane {

// A window's frame geometry wanted fitted to a screen's available area: as large as wanted or the area
// allows (never below minimum), then moved onto the area, its top left corner first, so that the title
// bar and the menus stay reachable.
QRect FitToScreen(const QRect& wanted, const QRect& available, const QSize& minimum);

}  // namespace corvane
