// The least a Qt Widgets program can take to map a window that it shows from
// a 200 ms timer, as the player's start-up sequence does: the floor for the
// player's map time in tray-footprint.sh, measured in the same run.
#include <QApplication>
#include <QLabel>
#include <QTimer>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel window("Qt floor");
  window.setWindowTitle("Qt floor");
  window.resize(640, 480);
  QTimer::singleShot(200, &window, &QWidget::show);
  return QApplication::exec();
}
