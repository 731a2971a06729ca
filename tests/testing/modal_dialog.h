#pragma once
// Window tests drive modal dialogs from inside their exec() loop: the action is
// queued before the command opens the dialog and runs once the dialog is up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace qm::testing {

// Runs `act` on the first modal window of type Window to become active, polling
// every few milliseconds; a test fails if none appears within `timeout_ms`.
template <typename Window>
void OnNextModal(std::function<void(Window*)> act, int timeout_ms = 10000) {
  auto* timer = new QTimer;
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [timer, clock, act, timeout_ms] {
    if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(window);
    } else if (clock->elapsed() > timeout_ms) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "no modal " << Window::staticMetaObject.className() << " appeared";
    }
  });
  timer->start(2);
}

}  // namespace qm::testing
