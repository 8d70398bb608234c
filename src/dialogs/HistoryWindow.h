#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <string>

#include "control/SongLog.h"
#include "core/LanguageTable.h"

namespace vandrel {

// The songs heard, newest first, with their time and station. A title can
// be copied, or looked up on the web in the browser.
class HistoryWindow : public QDialog {
  Q_OBJECT

 public:
  HistoryWindow(SongLog& log, const LanguageTable& texts, std::function<void(const std::string&)> openInBrowser,
                QWidget* parent);

  // The title of the selected line, or "".
  std::string selectedTitle() const;

  void Command1_Click();  // copy
  void Command2_Click();  // look up
  void Command3_Click();  // clear

  QLabel* Image1;
  QLabel* Image2;
  QLabel* Label1;
  QTreeWidget* List1;
  QPushButton* Command1;
  QPushButton* Command2;
  QPushButton* Command3;
  QPushButton* Command4;  // close

 private:
  void fill();

  SongLog& log_;
  std::function<void(const std::string&)> openInBrowser_;
};

// Where a title is looked up: a web search for it.
std::string LookUpAddress(const std::string& title);

}  // namespace vandrel
