#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMouseEvent>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "platform/MpvPlayer.h"
#include "platform/QtHttpClient.h"
#include "player/Form1.h"
#include "support/ShippedFiles.h"
#include "support/QtWait.h"
#include "support/ReadFile.h"

namespace vandrel::test {

namespace fs = std::filesystem;


inline fs::path MakeTempFolder(const std::string& what) {
  std::string tmpl = (fs::temp_directory_path() / ("vandrel " + what + " XXXXXX")).string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("no temporary folder");
  return tmpl;
}

// A directory data folder holding the given files (path below the folder, content).
inline fs::path MakeDirectoryData(const std::string& what, const std::map<std::string, std::string>& files) {
  const fs::path data = MakeTempFolder(what);
  for (const auto& [path, content] : files) {
    fs::create_directories((data / path).parent_path());
    std::ofstream(data / path, std::ios::binary) << content;
  }
  return data;
}

inline void SaveScreenshot(QWidget& widget, const char* name) {
  QDir().mkpath(VANDREL_SCREENSHOT_DIR);
  widget.grab().save(QString(VANDREL_SCREENSHOT_DIR) + "/" + name);
}

// A double click on a line of a list, as the mouse makes it.
inline void DoubleClick(QListWidget* list, int row) {
  QWidget* viewport = list->viewport();
  const QPointF at = list->visualItemRect(list->item(row)).center();
  const QPointF global = viewport->mapToGlobal(at);
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                  QEvent::MouseButtonRelease}) {
    const bool down = type != QEvent::MouseButtonRelease;
    QMouseEvent event(type, at, global, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  }
}

// How often the server's log shows a request target (its raw form).
inline int Requests(const std::string& log, const std::string& target) {
  int n = 0;
  const std::string line = "GET " + target + " ";
  for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
  return n;
}

// A main window in a program folder of its own, with the shipped texts.
class MainWindowFixture : public ::testing::Test {
 protected:
  MainWindowFixture() : folder_(MakeTempFolder("dialogs")) {
    CopyShippedProgramFiles(folder_);
  }
  ~MainWindowFixture() override {
    main_.reset();
    fs::remove_all(folder_);
  }

  Form1& MakeMain(const std::string& base) {
    main_ = std::make_unique<Form1>(Form1::Environment{folder_.string(), base, http_, player_});
    main_->show();
    // Started: the remembered settings are in place before a dialog opens.
    WaitUntil([this] { return !main_->Timer3.isActive(); }, std::chrono::seconds(5));
    return *main_;
  }

  std::string Text(const char* key) const { return main_->texts().Text(key); }

  fs::path folder_;
  QtHttpClient http_;
  MpvPlayer player_{std::map<std::string, std::string>{{"ao", "null"}}};
  std::unique_ptr<Form1> main_;
};

}  // namespace vandrel::test
