#include "dialogs/Form2.h"

#include <exception>

#include "dialogs/Captions.h"
#include "dialogs/DialogLook.h"
#include "platform/Accessibility.h"
#include "platform/Caption.h"
#include "platform/MessageBox.h"
#include "platform/Stacking.h"
#include "platform/Twips.h"
#include "stations/TaggedListDownload.h"

namespace vandrel {

Form2::Form2(const DirectoryPorts& ports, QWidget* parent)
    : QDialog(parent), List1Box(nullptr), ports_(ports), boxes_(ports.texts, this) {
  createControls();
  connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
  Timer1.setInterval(10);
  connect(&Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
  Timer1.start();
  Form_Load();
}

void Form2::createControls() {
  SetUpDialog(*this, "Form2", 5130, 2430);

  const DialogHeader header = AddDialogHeader(*this);
  Image1 = header.background;
  Image2 = header.titleBar;
  Label1 = header.heading;
  Label2 = Named(new Caption(this), "Label2");
  List1 = Named(new QListWidget(this), "List1");
  Command1 = Named(new QPushButton(this), "Command1");
  Command2 = Named(new QPushButton(this), "Command2");
  List1Box = QtListBox(List1);

  //     control    left  top   width  height
  Place(Label2,     120,  600,  4815,  615);
  Place(List1,      120,  1080, 2535,  1230);
  Place(Command1,   3480, 1440, 1335,  375);
  Place(Command2,   3480, 1920, 1335,  375);

  MakePlainLabel(Label2, true);
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  MakeResultList(List1);
  Label2->setBuddy(List1);  // screen readers name the list by the introduction
  Label1->setText("Land Kiezen");
  Label2->setText(
      "Vandrel Internet Radio kan nu radio zenders ontvangen over de hele wereld!! Kies hieronder het land waar je "
      "een zender van zoekt:");
  Command1->setText("OKE!");
  Command2->setText("Annuleren");
  Command1->setDefault(true);
  RaiseWindowedControls(this);
  MarkControlFocus(this);
}

void Form2::Form_Load() {
  Image1->setGeometry(0, 0, width(), height());
  LetListGrow(*this, {Image1, Image2, Label1, List1, {Command1, Command2}});
  LaadLijst_Taal();
}

void Form2::LaadLijst_Taal() {
  List1Box.Clear();
  List2.Clear();
  try {
    DownloadTaggedList(ports_.http, ports_.downloadInfo, ports_.baseAddress + "radio/inter/keuze-uk.txt",
                       {{"naam", &List1Box}, {"bestand", &List2}});
  } catch (const std::exception&) {
    boxes_.errorBox("error4");
  }
}

void Form2::Timer1_Timer() {
  try {
    SetCaptions(ports_.texts,
                {{Label1, "f2label1"}, {Label2, "f2label2"}, {Command1, "f2command1"}, {Command2, "f2command2"}});
  } catch (const std::exception&) {
    return;  // tried again at the next tick
  }
  NameBuddies(this);
  Timer1.stop();
}

void Form2::Command1_Click() {
  const int i = SelectedRow(List1);
  const std::string bestand = List2.List(i);
  if (bestand.empty()) {
    boxes_.noticeBox("error2");
    return;
  }
  const std::string land = List1Box.List(i);
  ports_.controller.chooseCountry(land, bestand);
  ShowMessageBox(this, QMessageBox::Information, "Gekozen.", land + ports_.texts.text("error3"));
  accept();
}

void Form2::Command2_Click() { reject(); }

}  // namespace vandrel
