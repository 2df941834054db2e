#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

// The app tests need a user-interface thread with an event loop: the thread that runs main(). They run
// without a display unless QT_QPA_PLATFORM says otherwise, test discovery included.
int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // Settings the window remembers go to a test location, never the user's.
  QStandardPaths::setTestModeEnabled(true);
  return RUN_ALL_TESTS();
}
