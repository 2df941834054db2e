#include "app/screen_fit.h"

#include <algorithm>

namespace corvane {

QRect FitToScreen(const QRect& wanted, const QRect& available, const QSize& minimum) {
  const QSize size = wanted.size().boundedTo(available.size()).expandedTo(minimum);
  const int left = std::max(std::min(wanted.left(), available.right() + 1 - size.width()), available.left());
  const int top = std::max(std::min(wanted.top(), available.bottom() + 1 - size.height()), available.top());
  return {QPoint(left, top), size};
}

}  // namespace corvane
