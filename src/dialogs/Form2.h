#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "control/DirectoryPorts.h"
#include "core/ListBox.h"
#include "platform/LanguageBoxes.h"
#include "platform/QtListBox.h"

namespace vandrel {

// The country chooser. It lists the directory's countries and hands the
// chosen one to the controller (chooseCountry): the main window then shows
// its name in TaalGeselecteerdTekst and loads its stations.
//
// Opening: the constructor downloads the country list through the given
// client and download box (LaadLijst_Taal). A failed download is the
// dialog's own business: it shows the "error4" box and the dialog still
// opens, with whatever was listed. Any exception that leaves the constructor
// means the opening failed; the opener then shows "error12" and nothing else:
//
//   try {
//     Form2 form(directoryPorts(), this);
//     form.Image1->setPixmap(...);  // "frame1.skn", stretched
//     form.Image2->setPixmap(...);  // "balk1.skn", stretched
//     form.exec();
//   } catch (const std::exception&) { boxes().errorBox("error12"); }
//
// OKE! (also Enter) hands over and accepts; Annuleren, Esc and the close box
// change nothing.
class Form2 : public QDialog {
  Q_OBJECT

 public:
  Form2(const DirectoryPorts& ports, QWidget* parent);

  void LaadLijst_Taal();
  void Command1_Click();  // confirm
  void Command2_Click();  // cancel

  // Bottom first: the background lies under everything, the title bar under
  // its heading.
  QLabel* Image1;  // background, stretched to the dialog
  QLabel* Image2;  // title bar, stretched
  QLabel* Label1;  // heading
  QLabel* Label2;  // introduction
  QListWidget* List1;  // country names
  QPushButton* Command1;
  QPushButton* Command2;

  QtListBox List1Box;
  StringListBox List2;  // list file names, by the index of List1
  QTimer Timer1;        // captions, 10 ms

 private:
  void createControls();
  void Form_Load();
  void Timer1_Timer();

  DirectoryPorts ports_;
  LanguageBoxes boxes_;
};

}  // namespace vandrel
