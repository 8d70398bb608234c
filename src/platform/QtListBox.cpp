#include "platform/QtListBox.h"

namespace vandrel {

void QtListBox::Clear() { widget_->clear(); }

void QtListBox::AddItem(const std::string& item) { widget_->addItem(QString::fromStdString(item)); }

int QtListBox::ListCount() const { return widget_->count(); }

std::string QtListBox::List(int index) const {
  if (index < 0 || index >= widget_->count()) return {};
  return widget_->item(index)->text().toStdString();
}

}  // namespace vandrel
