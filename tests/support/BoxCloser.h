#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <string>
#include <vector>

namespace vandrel::test {

// Notes and closes every message box from inside its own event loop, as a user who reads it for a while, then presses OK.
class BoxCloser {
  QTimer timer_;

 public:
  explicit BoxCloser(std::chrono::milliseconds reading = std::chrono::milliseconds(50)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes.push_back(box->text().toStdString());
        details.push_back(box->informativeText().toStdString());
        box->accept();
      }
    });
    timer_.start(reading);
  }

  std::vector<std::string> boxes, details;  // their texts and second lines
  const std::vector<std::string>& Texts() const { return boxes; }
};

}  // namespace vandrel::test
