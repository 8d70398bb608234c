#include "dialogs/Form3.h"

#include <exception>

#include "core/DirectoryAddress.h"
#include "dialogs/Captions.h"
#include "dialogs/DialogLook.h"
#include "platform/Accessibility.h"
#include "platform/Caption.h"
#include "platform/MessageBox.h"
#include "platform/Stacking.h"
#include "platform/Twips.h"
#include "stations/SearchAddress.h"
#include "stations/TaggedListDownload.h"

namespace vandrel {

Form3::Form3(const DirectoryPorts& ports, QWidget* parent)
    : QDialog(parent), List1Box(nullptr), ports_(ports), boxes_(ports.texts, this) {
  createControls();
  connect(Command3, &QPushButton::clicked, this, &Form3::Command3_Click);
  connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
  Form_Load();
}

void Form3::createControls() {
  SetUpDialog(*this, "Form3", 5130, 2625);

  const DialogHeader header = AddDialogHeader(*this);
  Image1 = header.background;
  Image2 = header.titleBar;
  Label1 = header.heading;
  Label2 = Named(new Caption(this), "Label2");
  Text1 = Named(new QLineEdit(this), "Text1");
  Command3 = Named(new QPushButton(this), "Command3");
  List1 = Named(new QListWidget(this), "List1");
  Command1 = Named(new QPushButton(this), "Command1");
  Command2 = Named(new QPushButton(this), "Command2");
  List1Box = QtListBox(List1);
  // Said over the empty list, which stays empty: a hit's line is the server's.
  NoHits = Named(new QLabel(List1->viewport()), "NoHits");
  NoHits->setAlignment(Qt::AlignCenter);
  NoHits->setWordWrap(true);
  NoHits->hide();

  //     control    left  top   width  height
  Place(Label2,     120,  720,  1695,  255);
  Place(Text1,      120,  1080, 2055,  285);
  Place(Command3,   2280, 1080, 975,   255);
  Place(List1,      120,  1440, 3135,  1035);
  Place(Command1,   3480, 1560, 1335,  375);
  Place(Command2,   3480, 2040, 1335,  375);

  MakePlainLabel(Label2, false);
  MakeResultList(List1);
  // Screen readers name the field by the prompt, the results by the heading.
  Label2->setBuddy(Text1);
  Label1->setBuddy(List1);
  Label1->setText("Zender Zoeken");
  Label2->setText("Naar wat zoek je??");
  Command3->setText("Zoek!");
  Command1->setText("OKE!");
  Command2->setText("Annuleren");
  Command3->setDefault(true);
  // The prompt may be longer in another language; it has the room up to the
  // buttons beside the list.
  Label2->resize(Px(3255) - Label2->x(), Label2->height());
  Text1->setFocus();
  RaiseWindowedControls(this);
  MarkControlFocus(this);
}

void Form3::Form_Load() {
  Image1->setGeometry(0, 0, width(), height());
  LetListGrow(*this, {Image1, Image2, Label1, List1, {Command1, Command2}});
  List1Box.AddItem(ports_.texts.text("f3list1"));
  SetCaptions(ports_.texts, {{Command1, "f2command1"}, {Command2, "f2command2"}, {Command3, "f3command3"},
                             {Label1, "f3label1"}, {Label2, "f3label2"}});
  NameBuddies(this);
}

void Form3::Command3_Click() { LaadLijst_Zoek(Text1->text().toStdString()); }

void Form3::LaadLijst_Zoek(const std::string& ZoekWoord) {
  List1Box.Clear();
  List2.Clear();
  NoHits->hide();
  try {
    DownloadTaggedList(ports_.http, ports_.downloadInfo, SearchAddress(ports_.baseAddress, ZoekWoord),
                       {{"naam", &List1Box}, {"url", &List2}});
  } catch (const std::exception&) {
    boxes_.errorBox("error8");
    return;
  }
  NoHits->setText(QString::fromStdString(ports_.texts.text("xnohits")));
  NoHits->setGeometry(List1->viewport()->rect());
  NoHits->setVisible(List1->count() == 0);
}

void Form3::Command1_Click() {
  try {
    const int i = SelectedRow(List1);
    const std::string url = List2.List(i);
    if (url.empty()) {
      boxes_.noticeBox("error5");
      return;
    }
    const std::string naam = List1Box.List(i);
    // A hit has no homepage of its own: the link leads to the directory's site.
    ports_.controller.station().play({naam, url, DirectoryHostName(ports_.baseAddress)});
    // No word of success for a play that has failed already.
    if (ports_.controller.player().state().activity == PlayState::Error) return;
    const std::string text = naam + ports_.texts.text("error6");
    ShowMessageBox(this, QMessageBox::Information, ports_.texts.text("error0"), text);
  } catch (const std::exception&) {
    boxes_.errorBox("error7");
  }
}

void Form3::Command2_Click() { reject(); }

}  // namespace vandrel
