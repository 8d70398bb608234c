#include "dialogs/StationDialog.h"

#include "core/StreamAddress.h"
#include "core/XmlPlaylist.h"
#include "dialogs/Captions.h"
#include "dialogs/DialogLook.h"
#include "platform/Accessibility.h"
#include "platform/Caption.h"
#include "platform/MessageBox.h"
#include "platform/Stacking.h"
#include "platform/Twips.h"
#include "stations/FavouriteFiles.h"

namespace vandrel {

StationDialog::StationDialog(const LanguageTable& texts, const std::string& name, const std::string& address,
                             QWidget* parent)
    : QDialog(parent), texts_(texts) {
  SetUpDialog(*this, "StationDialog", 5130, 2955);
  const DialogHeader header = AddDialogHeader(*this);
  Image1 = header.background;
  Image2 = header.titleBar;
  Label1 = header.heading;
  Label2 = Named(new Caption(this), "Label2");
  Text1 = Named(new QLineEdit(this), "Text1");
  Label3 = Named(new Caption(this), "Label3");
  Text2 = Named(new QLineEdit(this), "Text2");
  Check1 = Named(new QCheckBox(this), "Check1");
  Command1 = Named(new QPushButton(this), "Command1");
  Command2 = Named(new QPushButton(this), "Command2");

  //     control    left  top   width  height
  Place(Label2,     120,  720,  4815,  255);
  Place(Text1,      120,  960,  4815,  285);
  Place(Label3,     120,  1380, 4815,  255);
  Place(Text2,      120,  1620, 4815,  285);
  Place(Check1,     120,  2040, 4815,  255);
  Place(Command1,   2280, 2400, 1215,  375);
  Place(Command2,   3600, 2400, 1335,  375);
  Image1->setGeometry(0, 0, width(), height());
  setFixedSize(size());
  MakePlainLabel(Label2, false);
  MakePlainLabel(Label3, false);
  Label2->setBuddy(Text1);
  Label3->setBuddy(Text2);
  Text1->setText(QString::fromStdString(name));
  Text2->setText(QString::fromStdString(address));
  Text1->setMaxLength(150);
  Text2->setMaxLength(2000);
  Check1->setChecked(name.empty());
  Command1->setDefault(true);
  SetCaptions(texts_, {{Label1, name.empty() ? "xaddstation" : "xeditstation"}, {Label2, "xname"},
                       {Label3, "xaddress"}, {Check1, "xplaynow"}, {Command1, "f2command1"},
                       {Command2, "f2command2"}});
  // The menu's words, without the dots that say a window follows.
  Label1->setText(Label1->text().remove(QChar(0x2026)));
  connect(Command1, &QPushButton::clicked, this, &StationDialog::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
  RaiseWindowedControls(this);
  MarkControlFocus(this);
  NameBuddies(this);
  Text1->setFocus();
}

std::string StationDialog::name() const { return FavouriteName(Text1->text().toStdString()); }

std::string StationDialog::address() const { return Text2->text().trimmed().toStdString(); }

void StationDialog::Command1_Click() {
  const char* problem = name().empty()                     ? "xnoname"
                        : !IsFavouriteFileName(name())     ? "xbadname"
                        : !IsOneLineWebRadio(address())    ? "xbadaddress"
                                                           : nullptr;
  if (problem == nullptr) {
    accept();
    return;
  }
  ShowMessageBox(this, QMessageBox::Information, texts_.text("error0"), texts_.text(problem));
  (problem == std::string("xbadaddress") ? Text2 : Text1)->setFocus();
}

}  // namespace vandrel
