#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <string>

#include "core/LanguageTable.h"
#include "dialogs/DialogOpenError.h"
#include "platform/LanguageBoxes.h"

namespace vandrel {

// The settings dialog: the four start-up options of INST.INI and the
// autostart entry.
//
// Opening: the constructor runs Form_Load, which reads the four option keys
// and throws DialogOpenError when one is missing or not a whole number from
// 0 to 2; nothing is written then. The opener puts the skin pictures into
// Image1 (background) and Image2 (title bar) and shows the dialog with exec():
//
//   try {
//     Form4 form({folder, QCoreApplication::applicationFilePath().toStdString(),
//                 texts(), DefaultAutostartFolder()}, this);
//     form.Image1->setPixmap(...);  form.Image2->setPixmap(...);
//     form.exec();
//   } catch (...) { boxes().errorBox("error12"); }
//
// OK (also Enter) stores the options and writes or disarms the autostart
// entry, then accepts; Cancel, Esc and the close box write nothing.
class Form4 : public QDialog {
  Q_OBJECT

 public:
  struct Environment {
    std::string programFolder;    // the running program's
    std::string executablePath;   // the running program; its file name ends the autostart path
    const LanguageTable& texts;   // texts of the current language
    std::string autostartFolder;  // DefaultAutostartFolder() outside tests
    std::string settingsFolder = {};  // holds INST.INI; the program folder when empty
  };

  // Writes or disarms the autostart entry of the running program; throws as SetAutostart does.
  static void StartWithDesktop(const Environment& environment, bool on);

  explicit Form4(Environment environment, QWidget* parent = nullptr);

  void Command1_Click();  // OK
  void Command2_Click();  // cancel

  // Bottom first: the background lies under everything, the title bar under
  // its heading.
  QLabel* Image1;  // background, scaled to the dialog
  QLabel* Image2;  // title bar, scaled
  QLabel* Label1;  // heading on the title bar
  QCheckBox* Check1;  // Windows / laden, and the autostart entry
  QCheckBox* Check2;  // Online Radio / afspelen
  QCheckBox* Check3;  // Online Radio / grootscherm
  QCheckBox* Check4;  // Online Radio / xsluiten
  QPushButton* Command1;
  QPushButton* Command2;

 private:
  void createControls();
  void Form_Load();
  std::string settingsFile() const;

  Environment env_;
  LanguageBoxes boxes_;
};

}  // namespace vandrel
