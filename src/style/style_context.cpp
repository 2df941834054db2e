#include "style/style_context.h"

#include <QGuiApplication>
#include <QScreen>

namespace corvane {

double ScreenPixelsPerInch() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 96.0;
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->logicalDotsPerInch() : 96.0;
}

}  // namespace corvane
