#include "platform/MessageBoxes.h"

#include <QMessageBox>

#include "platform/MessageBox.h"

#include "core/LanguageTable.h"

namespace vandrel {

namespace {

void Show(QWidget* parent, QMessageBox::Icon icon, const std::string& title, const std::string& text) {
  QMessageBox box(icon, QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok, parent);
  box.setObjectName(icon == QMessageBox::Critical ? "ErrorBox" : "NoticeBox");
  RunMessageBox(box);
}

}  // namespace

void MessageBoxes::ErrorBox(const std::string& key) const {
  Show(parent_, QMessageBox::Critical, texts_.Text("error0"), texts_.Text(key));
}

void MessageBoxes::NoticeBox(const std::string& key) const {
  Show(parent_, QMessageBox::Information, texts_.Text("error0"), texts_.Text(key));
}

}  // namespace vandrel
