#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <string>

#include "control/DirectoryPorts.h"
#include "core/ListBox.h"
#include "platform/LanguageBoxes.h"
#include "platform/QtListBox.h"

namespace vandrel {

// The station search. It asks the directory for the stations matching a
// word and plays a hit at once through the controller; the dialog
// stays open so that several hits can be tried.
//
// Opening: the constructor puts the hint line into List1 and sets the
// captions; nothing is downloaded. It has no failure path of its own: any
// exception that leaves the constructor means the opening failed, and the
// opener then shows "error12" and nothing else:
//
//   try {
//     Form3 form(directoryPorts(), this);
//     form.Image1->setPixmap(...);  // "frame1.skn", stretched
//     form.Image2->setPixmap(...);  // "balk1.skn", stretched
//     form.exec();
//   } catch (const std::exception&) { boxes().errorBox("error12"); }
//
// Zoek! is the default button, so Enter searches unless another button has
// the focus. Only Annuleren (also Esc and the close box) closes the dialog.
class Form3 : public QDialog {
  Q_OBJECT

 public:
  Form3(const DirectoryPorts& ports, QWidget* parent);

  // Replaces both lists by the hits for the word, which is sent as typed.
  void LaadLijst_Zoek(const std::string& ZoekWoord);
  void Command3_Click();  // search
  void Command1_Click();  // play the selected hit
  void Command2_Click();  // close

  // Bottom first: the background lies under everything, the title bar under
  // its heading.
  QLabel* Image1;  // background, stretched to the dialog
  QLabel* Image2;  // title bar, stretched
  QLabel* Label1;  // heading
  QLabel* Label2;  // prompt
  QLineEdit* Text1;  // the search word
  QPushButton* Command3;
  QListWidget* List1;  // names of the hits
  QLabel* NoHits;      // over List1 after a search that found nothing
  QPushButton* Command1;
  QPushButton* Command2;

  QtListBox List1Box;
  StringListBox List2;  // stream addresses, by the index of List1

 private:
  void createControls();
  void Form_Load();

  DirectoryPorts ports_;
  LanguageBoxes boxes_;
};

}  // namespace vandrel
