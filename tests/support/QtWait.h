#pragma once

#include <QtCore/qtestsupport_core.h>

#include <QDir>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>

namespace vandrel::test {

// QTest's waits (in QtCore, for the benchmarks too), with the time as a duration.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}

// Runs the event loop for a while, for checks that something does not happen.
inline void Pump(std::chrono::milliseconds duration) { QTest::qWait(static_cast<int>(duration.count())); }

// The longest the event loop kept a timer waiting since start(): how long the window would not answer.
class LoopGap {
 public:
  explicit LoopGap(std::chrono::milliseconds interval) {
    tick_.setInterval(interval);
    QObject::connect(&tick_, &QTimer::timeout, [this] {
      const auto now = std::chrono::steady_clock::now();
      longest_ = std::max(longest_, now - std::exchange(last_, now));
    });
  }
  void start() { last_ = std::chrono::steady_clock::now(), tick_.start(); }
  void stop() { tick_.stop(); }
  std::chrono::steady_clock::duration longest() const { return longest_; }

 private:
  QTimer tick_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration longest_{};
};

#ifdef VANDREL_SCREENSHOT_DIR
// Keeps a picture beside the build for a reviewer's eye.
inline void SaveScreenshot(const QImage& picture, const std::string& name) {
  QDir().mkpath(VANDREL_SCREENSHOT_DIR);
  picture.save(QString(VANDREL_SCREENSHOT_DIR) + "/" + QString::fromStdString(name));
}
inline void SaveScreenshot(QWidget& widget, const std::string& name) { SaveScreenshot(widget.grab().toImage(), name); }
#endif

}  // namespace vandrel::test
