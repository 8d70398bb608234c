#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <string>
#include <vector>

namespace vandrel::test {

// Notes and closes every message box the program opens, from inside the
// box's own event loop, the way a user pressing OK would.
class BoxCloser {
 public:
  BoxCloser() {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes.push_back(box->text().toStdString());
        box->accept();
      }
    });
    timer_.start();
  }

  std::vector<std::string> boxes;  // their texts
  const std::vector<std::string>& Texts() const { return boxes; }

 private:
  QTimer timer_;
};

}  // namespace vandrel::test
