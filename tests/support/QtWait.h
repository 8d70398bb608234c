#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <chrono>
#include <functional>

namespace vandrel::test {

// Runs the event loop until the condition holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  QDeadlineTimer deadline(limit);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

// Runs the event loop for a while, for checks that something does not happen.
inline void Pump(std::chrono::milliseconds duration) {
  WaitUntil([] { return false; }, duration);
}

}  // namespace vandrel::test
