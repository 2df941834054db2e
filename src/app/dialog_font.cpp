#include "app/dialog_font.h"

namespace corvane {

QFont DialogFont(bool bold) {
  QFont font("Liberation Sans");
  font.setPixelSize(11);
  font.setBold(bold);
  return font;
}

}  // namespace corvane
