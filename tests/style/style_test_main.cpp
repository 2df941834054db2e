#include <QGuiApplication>

#include <gtest/gtest.h>

// Fonts and the palette need a QGuiApplication. The tests run without a display unless QT_QPA_PLATFORM
// says otherwise, test discovery included; the offscreen screen has 96 logical pixels per inch.
int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
