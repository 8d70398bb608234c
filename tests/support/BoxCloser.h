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
  struct Box {
    std::string text;
  };

  BoxCloser() {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes.push_back({box->text().toStdString()});
        box->accept();
      }
    });
    timer_.start();
  }

  std::vector<Box> boxes;
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes) texts.push_back(box.text);
    return texts;
  }

 private:
  QTimer timer_;
};

}  // namespace vandrel::test
