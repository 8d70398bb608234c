#include "core/ListBox.h"

namespace vandrel {

void StringListBox::Clear() { items_.clear(); }

void StringListBox::AddItem(const std::string& item) { items_.push_back(item); }

int StringListBox::ListCount() const { return static_cast<int>(items_.size()); }

std::string StringListBox::List(int index) const {
  if (index < 0 || index >= ListCount()) return {};
  return items_[static_cast<std::size_t>(index)];
}

}  // namespace vandrel
