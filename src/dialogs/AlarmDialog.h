#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <array>

#include "control/AlarmControl.h"
#include "dialogs/Form4.h"

namespace vandrel {

// The wake-up alarm's place: on or off, the time, the weekdays, the
// favourite, and the word that the program must be running then, with the
// offer to start it with the desktop.
class AlarmDialog : public QDialog {
  Q_OBJECT

 public:
  AlarmDialog(AlarmControl& alarm, const Form4::Environment& environment, QWidget* parent);

  void Command1_Click();  // OK: keeps the alarm, and the autostart when ticked

  QLabel* Image1;
  QLabel* Image2;
  QLabel* Label1;
  QCheckBox* Check1;  // on
  QTimeEdit* Time1;
  std::array<QCheckBox*, 7> Days;  // Monday first
  QLabel* Label2;                  // favourite
  QComboBox* Combo1;
  QLabel* Label3;     // the program must be running
  QCheckBox* Check2;  // start with the desktop
  QPushButton* Command1;
  QPushButton* Command2;

 private:
  AlarmControl& alarm_;
  Form4::Environment env_;
};

}  // namespace vandrel
