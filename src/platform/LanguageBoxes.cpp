#include "platform/LanguageBoxes.h"

#include "core/LanguageTable.h"
#include "platform/MessageBox.h"

namespace vandrel {

void LanguageBoxes::errorBox(const std::string& key) const {
  ShowMessageBox(parent_, QMessageBox::Critical, texts_.text("error0"), texts_.text(key));
}

void LanguageBoxes::noticeBox(const std::string& key) const {
  ShowMessageBox(parent_, QMessageBox::Information, texts_.text("error0"), texts_.text(key));
}

}  // namespace vandrel
