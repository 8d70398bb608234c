#pragma once

#include <QMessageBox>
#include <string>

namespace vandrel {

// A modal box with one OK button, for the boxes whose title or text is not
// just a language text. The text is shown as plain text: it may hold a
// station or country name from the directory.
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const std::string& title, const std::string& text);

}  // namespace vandrel
