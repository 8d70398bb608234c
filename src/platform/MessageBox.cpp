#include "platform/MessageBox.h"

#include <QApplication>
#include <QGridLayout>
#include <QPointer>
#include <memory>
#include <vector>

#include "platform/WindowGeometry.h"

namespace vandrel {

namespace {

int openBoxes = 0;
std::vector<std::function<void()>> waiting;

QMessageBox* NewBox(QWidget* parent, QMessageBox::Icon icon, const std::string& title, const std::string& text) {
  auto* box = new QMessageBox(icon, QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok, parent);
  box->setObjectName("MessageBox");
  box->setTextFormat(Qt::PlainText);
  SetDialogFrame(*box);
  // The box sizes to its text; a short text would cut the title on the frame.
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    const int width = metrics.horizontalAdvance(box->windowTitle()) + 6 * metrics.height();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                  grid->columnCount());
  }
  return box;
}

void Closed() {
  if (--openBoxes > 0 || waiting.empty()) return;
  auto next = std::move(waiting.front());
  waiting.erase(waiting.begin());
  next();
}

}  // namespace

void SetDialogFrame(QWidget& dialog) {
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const std::string& title, const std::string& text) {
  std::unique_ptr<QMessageBox> box(NewBox(parent, icon, title, text));
  CentreOnParent(box.get());
  ++openBoxes;
  box->exec();
  Closed();
}

void ShowMessageBoxLater(QWidget* parent, QMessageBox::Icon icon, const std::string& title, const std::string& text,
                         const std::string& detail, std::function<void()> closed) {
  auto show = [owner = QPointer<QWidget>(parent), had = parent != nullptr, icon, title, text, detail,
               closed = std::move(closed)] {
    if (had && !owner) return;  // its window went first
    QMessageBox* box = NewBox(owner, icon, title, text);
    box->setInformativeText(QString::fromStdString(detail));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, closed);
    QObject::connect(box, &QObject::destroyed, &Closed);
    CentreOnParent(box);
    ++openBoxes;
    box->show();
  };
  if (openBoxes == 0) {
    show();
  } else {
    waiting.push_back(std::move(show));
  }
}

}  // namespace vandrel
