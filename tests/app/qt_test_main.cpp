#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A dialog that stays open this long with nobody answering it is a test gone wrong (a message nobody
// expected, a file dialog that took another path): it is closed and the test fails, rather than the
// whole run waiting for ever.
constexpr int kUnansweredSeconds = 20;

void WatchForUnansweredDialogs() {
  auto* timer = new QTimer(qApp);
  timer->setInterval(1000);
  auto watched = std::make_shared<QPointer<QWidget>>();
  auto seconds = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [watched, seconds] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal != watched->data()) {
      *watched = modal;
      *seconds = 0;
      return;
    }
    if (++*seconds < kUnansweredSeconds) return;
    QString text = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) text += ": " + box->text();
    ADD_FAILURE() << "a dialog nobody answered was closed: " << text.toStdString();
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
    else
      modal->close();
    *seconds = 0;
  });
  timer->start();
}

}  // namespace

// The app tests need a user-interface thread with an event loop: the thread that runs main(). They run
// without a display unless QT_QPA_PLATFORM says otherwise, test discovery included.
int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // Settings the windows remember go to a folder of this test process's own, never the user's, and
  // never another test's running beside it.
  QStandardPaths::setTestModeEnabled(true);
  QTemporaryDir settings;
  if (settings.isValid()) QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  WatchForUnansweredDialogs();
  return RUN_ALL_TESTS();
}
