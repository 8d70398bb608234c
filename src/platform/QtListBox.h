#pragma once

#include <QListWidget>

#include "core/ListBox.h"

namespace vandrel {

// A visible list box: the loaders fill it through the same calls as a hidden one.
class QtListBox : public ListBox {
 public:
  explicit QtListBox(QListWidget* widget) : widget_(widget) {}

  void Clear() override;
  void AddItem(const std::string& item) override;
  int ListCount() const override;
  std::string List(int index) const override;

 private:
  QListWidget* widget_;
};

}  // namespace vandrel
