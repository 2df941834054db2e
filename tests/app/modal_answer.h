#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace corvane::test {

// Answers the next modal dialog: once one is showing, calls answer with it. Watches the application's
// active modal widget, so it works for dialogs that static helpers open too. Gives up after timeoutMs
// (long: a loaded machine may take seconds to show a file dialog). A dialog that answer leaves open (a
// failed assertion inside it) is closed, so that a failing test fails rather than waits for ever.
inline void AnswerNextModal(std::function<void(QWidget*)> answer, int timeoutMs = 30000) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  int waited = 0;
  QObject::connect(timer, &QTimer::timeout, [timer, waited, answer = std::move(answer), timeoutMs]() mutable {
    waited += timer->interval();
    QWidget* modal = QApplication::activeModalWidget();
    const bool showing = modal && modal->isVisible();
    if (!showing && waited < timeoutMs) return;
    timer->stop();
    timer->deleteLater();
    if (!showing) return;
    const QPointer<QWidget> shown(modal);
    answer(modal);
    if (shown && shown->isVisible() && QApplication::activeModalWidget() == shown) {
      if (auto* dialog = qobject_cast<QDialog*>(shown.data()))
        dialog->reject();
      else
        shown->close();
    }
  });
  timer->start();
}

}  // namespace corvane::test
