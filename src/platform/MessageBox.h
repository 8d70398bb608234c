#pragma once

#include <QMessageBox>
#include <functional>
#include <string>

namespace vandrel {

// The program's one message box: modal, one OK button, the text shown as
// plain text (it may hold a station or country name from the directory).
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const std::string& title, const std::string& text);

// The same box with a second line, shown once no other box of the program
// is open, returning at once: its caller's work (a player's events, say)
// goes on while it is open. `closed` runs when the user closes it.
void ShowMessageBoxLater(QWidget* parent, QMessageBox::Icon icon, const std::string& title, const std::string& text,
                         const std::string& detail, std::function<void()> closed);

// A dialog's frame: its title and a close button, no minimize or maximize.
void SetDialogFrame(QWidget& dialog);

}  // namespace vandrel
