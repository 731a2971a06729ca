#pragma once
// Window tests drive modal dialogs from inside their exec() loop: the action is
// queued before the command opens the dialog and runs once the dialog is up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace qm::testing {

// Polls every few milliseconds for a modal window of type Window and runs the action
// on the first one to become active. It ends with the object that holds it, so an
// action whose dialog never came cannot act on a later test's dialog; a test fails
// if no dialog appeared by then or within `timeout_ms`.
template <typename Window>
class [[nodiscard]] ModalAction {
 public:
  ModalAction(std::function<void(Window*)> act, int timeout_ms)
      : timer_(std::make_unique<QTimer>()) {
    clock_.start();
    QObject::connect(timer_.get(), &QTimer::timeout, [this, act = std::move(act), timeout_ms] {
      if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget())) {
        timer_->stop();
        done_ = true;
        act(window);
      } else if (clock_.elapsed() > timeout_ms) {
        timer_->stop();
      }
    });
    timer_->start(2);
  }
  ~ModalAction() {
    timer_->stop();
    EXPECT_TRUE(done_) << "no modal " << Window::staticMetaObject.className() << " appeared";
  }
  ModalAction(const ModalAction&) = delete;
  ModalAction& operator=(const ModalAction&) = delete;

 private:
  std::unique_ptr<QTimer> timer_;
  QElapsedTimer clock_;
  bool done_ = false;
};

template <typename Window>
std::unique_ptr<ModalAction<Window>> OnNextModal(std::function<void(Window*)> act,
                                                 int timeout_ms = 10000) {
  return std::make_unique<ModalAction<Window>>(std::move(act), timeout_ms);
}

}  // namespace qm::testing
