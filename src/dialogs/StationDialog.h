#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "core/LanguageTable.h"

namespace vandrel {

// A station of the user's own, new or kept: a name and a web radio address.
// OK closes it only when both are fit to keep; otherwise a box says why.
class StationDialog : public QDialog {
  Q_OBJECT

 public:
  // An empty name opens it to add a station.
  StationDialog(const LanguageTable& texts, const std::string& name, const std::string& address, QWidget* parent);

  // What was typed, as it is kept: the name trimmed, the address trimmed.
  std::string name() const;
  std::string address() const;
  bool playNow() const { return Check1->isChecked(); }

  void Command1_Click();  // OK

  QLabel* Image1;  // background
  QLabel* Image2;  // title bar
  QLabel* Label1;  // heading
  QLabel* Label2;
  QLineEdit* Text1;  // name
  QLabel* Label3;
  QLineEdit* Text2;  // address
  QCheckBox* Check1;
  QPushButton* Command1;
  QPushButton* Command2;

 private:
  const LanguageTable& texts_;
};

}  // namespace vandrel
