#pragma once

#include <string>
#include <vector>

namespace vandrel {

// A list of texts in the order added, as the loaders fill it.
class ListBox {
 public:
  virtual ~ListBox() = default;
  virtual void Clear() = 0;
  virtual void AddItem(const std::string& item) = 0;
  virtual int ListCount() const = 0;
  // The empty text for an index that has no entry.
  virtual std::string List(int index) const = 0;
};

// A list box that is only state, never shown.
class StringListBox : public ListBox {
 public:
  void Clear() override;
  void AddItem(const std::string& item) override;
  int ListCount() const override;
  std::string List(int index) const override;
  const std::vector<std::string>& items() const { return items_; }

 private:
  std::vector<std::string> items_;
};

}  // namespace vandrel
