#include "images/picture.h"

namespace corvane {

void TPicture::Draw(QPainter& painter, const QRect& target, TMaskUse use) const {
  if (Animation) {
    Animation->Draw(painter, target);
  } else if (Still) {
    Still->Draw(painter, target, use);
  }
}

}  // namespace corvane
