#include "dialogs/AlarmDialog.h"

#include <QLocale>

#include "core/FolderFiles.h"
#include "core/Ini.h"
#include "core/SettingsFile.h"
#include "dialogs/Captions.h"
#include "dialogs/DialogLook.h"
#include "platform/Accessibility.h"
#include "platform/Caption.h"
#include "platform/LanguageBoxes.h"
#include "platform/Stacking.h"
#include "platform/Twips.h"
#include "stations/FavouriteFiles.h"

namespace vandrel {

AlarmDialog::AlarmDialog(AlarmControl& alarm, const Form4::Environment& environment, QWidget* parent)
    : QDialog(parent), alarm_(alarm), env_(environment) {
  if (env_.settingsFolder.empty()) env_.settingsFolder = env_.programFolder;
  SetUpDialog(*this, "AlarmDialog", 5880, 3855);
  const DialogHeader header = AddDialogHeader(*this);
  Image1 = header.background;
  Image2 = header.titleBar;
  Label1 = header.heading;
  Check1 = Named(new QCheckBox(this), "Check1");
  Time1 = Named(new QTimeEdit(this), "Time1");
  const QLocale locale(env_.texts.text("xlocale") == "nl" ? QLocale::Dutch : QLocale::English);
  for (int day = 0; day < 7; ++day) {
    Days[day] = Named(new QCheckBox(locale.dayName(day + 1, QLocale::ShortFormat), this), "Day");
    Place(Days[day], 120 + day * 795, 1140, 780, 255);
  }
  Label2 = Named(new Caption(this), "Label2");
  Combo1 = Named(new QComboBox(this), "Combo1");
  Label3 = Named(new Caption(this), "Label3");
  Check2 = Named(new QCheckBox(this), "Check2");
  Command1 = Named(new QPushButton(this), "Command1");
  Command2 = Named(new QPushButton(this), "Command2");
  //     control    left  top   width  height
  Place(Image2,     0,    0,    5925,  495);
  Place(Label1,     120,  0,    5685,  495);
  Place(Check1,     120,  720,  3615,  285);
  Place(Time1,      3870, 690,  1815,  315);
  Place(Label2,     120,  1560, 1215,  255);
  Place(Combo1,     1440, 1530, 4245,  315);
  Place(Label3,     120,  2040, 5565,  735);
  Place(Check2,     120,  2820, 5565,  255);
  Place(Command1,   3030, 3300, 1215,  375);
  Place(Command2,   4350, 3300, 1335,  375);
  Image1->setGeometry(0, 0, width(), height());
  setFixedSize(size());
  MakePlainLabel(Label2, false);
  MakePlainLabel(Label3, true);
  Label2->setBuddy(Combo1);
  Time1->setDisplayFormat("HH:mm");
  SetCaptions(env_.texts, {{Label1, "xalarm"}, {Check1, "xalarmon"}, {Label2, "xalarmstation"},
                           {Label3, "xalarmrunning"}, {Check2, "xautostart"}, {Command1, "f2command1"},
                           {Command2, "f2command2"}});
  // Read out as what it sets.
  Time1->setAccessibleName(Check1->text());
  const AlarmSetting& setting = alarm_.setting();
  Check1->setChecked(setting.on);
  Time1->setTime(QTime(setting.hour, setting.minute));
  for (int day = 0; day < 7; ++day) Days[day]->setChecked((setting.weekdays & (1u << day)) != 0);
  try {
    for (const std::string& name : ListFolderFiles(FavouritesFolder(env_.settingsFolder))) {
      Combo1->addItem(QString::fromStdString(name));
    }
  } catch (const std::exception&) {
    // no favourites folder: the alarm plays the tone
  }
  Combo1->setCurrentText(QString::fromStdString(setting.favourite));
  Check2->setChecked(ReadIni(SettingsFile(env_.settingsFolder), settings::kAutostart.section,
                             settings::kAutostart.key) == "1");
  Command1->setDefault(true);
  connect(Command1, &QPushButton::clicked, this, &AlarmDialog::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
  RaiseWindowedControls(this);
  MarkControlFocus(this);
  NameBuddies(this);
  Check1->setFocus();
}

void AlarmDialog::Command1_Click() {
  AlarmSetting setting;
  setting.on = Check1->isChecked();
  setting.hour = Time1->time().hour();
  setting.minute = Time1->time().minute();
  setting.weekdays = 0;
  for (int day = 0; day < 7; ++day) setting.weekdays |= Days[day]->isChecked() ? 1u << day : 0u;
  setting.favourite = Combo1->currentText().toStdString();
  alarm_.setSetting(setting);
  const bool autostart = Check2->isChecked();
  const std::string ini = SettingsFile(env_.settingsFolder);
  if (autostart != (ReadIni(ini, settings::kAutostart.section, settings::kAutostart.key) == "1")) {
    try {
      WriteIni(ini, settings::kAutostart.section, settings::kAutostart.key, autostart ? "1" : "0");
      Form4::StartWithDesktop(env_, autostart);
    } catch (...) {
      LanguageBoxes(env_.texts, this).errorBox("error9");
      return;
    }
  }
  accept();
}

}  // namespace vandrel
