#include "platform/MessageBox.h"

#include "platform/WindowFit.h"

namespace vandrel {

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const std::string& title, const std::string& text) {
  QMessageBox box(icon, QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok, parent);
  box.setObjectName("MessageBox");
  box.setTextFormat(Qt::PlainText);
  CentreOnParent(&box);
  box.exec();
}

}  // namespace vandrel
