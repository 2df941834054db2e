#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace corvane::test {

// Answers the next modal dialog: once one is showing, calls answer with it. Watches the application's
// active modal widget, so it works for dialogs that static helpers open too. Gives up after timeoutMs.
inline void AnswerNextModal(std::function<void(QWidget*)> answer, int timeoutMs = 5000) {
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
    if (showing) answer(modal);
  });
  timer->start();
}

}  // namespace corvane::test
