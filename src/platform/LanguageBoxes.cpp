#include "platform/LanguageBoxes.h"

#include "core/LanguageTable.h"
#include "platform/MessageBox.h"

namespace vandrel {

void LanguageBoxes::ErrorBox(const std::string& key) const {
  ShowMessageBox(parent_, QMessageBox::Critical, texts_.Text("error0"), texts_.Text(key));
}

void LanguageBoxes::NoticeBox(const std::string& key) const {
  ShowMessageBox(parent_, QMessageBox::Information, texts_.Text("error0"), texts_.Text(key));
}

}  // namespace vandrel
