#pragma once

#include <QFont>

namespace corvane {

// The font of the window and the dialog: it stands in for the classic 8-point dialog font, at the
// pixel size the control sizes were made for.
QFont DialogFont(bool bold = false);

}  // namespace corvane
