#pragma once

#include <string>

class QWidget;

namespace vandrel {

class LanguageTable;

// The program's two standard boxes: text from the language table, title the
// language text "error0", one OK button.
class LanguageBoxes {
 public:
  LanguageBoxes(const LanguageTable& texts, QWidget* parent) : texts_(texts), parent_(parent) {}

  void errorBox(const std::string& key) const;   // critical icon (style 16)
  void noticeBox(const std::string& key) const;  // information icon (style 64)

 private:
  const LanguageTable& texts_;
  QWidget* parent_;
};

}  // namespace vandrel
