#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "platform/ListBox.h"
#include "platform/MpvPlayer.h"
#include "platform/QtHttpClient.h"
#include "player/Form1.h"
#include "support/DirectoryServerProcess.h"
#include "support/QtWait.h"
#include "support/ShippedFiles.h"

namespace vandrel::test {

namespace fs = std::filesystem;

inline fs::path MakeTempFolder(const std::string& what) {
  std::string tmpl = (fs::temp_directory_path() / ("vandrel " + what + " XXXXXX")).string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("no temporary folder");
  return tmpl;
}

// The directory server on a data folder of its own: path below the folder, content.
struct ServedData {
  explicit ServedData(const std::map<std::string, std::string>& files) : data(MakeTempFolder("directory")) {
    for (const auto& [path, content] : files) {
      fs::create_directories((data / path).parent_path());
      std::ofstream(data / path, std::ios::binary) << content;
    }
    server = std::make_unique<DirectoryServerProcess>(data.string());
  }
  ~ServedData() {
    server.reset();
    fs::remove_all(data);
  }
  fs::path data;
  std::unique_ptr<DirectoryServerProcess> server;
};

inline std::vector<std::string> Names(const ListBox& box) {
  std::vector<std::string> names;
  for (int i = 0; i < box.ListCount(); ++i) names.push_back(box.List(i));
  return names;
}

// How often the server's log shows a request target (its raw form).
inline int Requests(const DirectoryServerProcess& server, const std::string& target) {
  int n = 0;
  const std::string log = server.log(), line = "GET " + target + " ";
  for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
  return n;
}

// A main window in a program folder of its own, with the shipped texts.
class MainWindowFixture : public ::testing::Test {
 protected:
  MainWindowFixture() : folder_(MakeTempFolder("dialogs")) { CopyShippedProgramFiles(folder_); }
  ~MainWindowFixture() override {
    main_.reset();
    fs::remove_all(folder_);
  }

  // Started, and showing the given first station: as before a dialog opens.
  Form1& MakeMain(const std::string& base, const std::string& firstStation = "") {
    main_ = std::make_unique<Form1>(Form1::Environment{folder_.string(), base, http_, player_});
    main_->show();
    WaitUntil([this] { return !main_->Timer3.isActive(); }, std::chrono::seconds(5));
    if (!firstStation.empty()) {
      EXPECT_TRUE(WaitUntil([&] { return main_->List1Box.List(0) == firstStation; }, std::chrono::seconds(10)));
    }
    return *main_;
  }

  std::string Text(const char* key) const { return main_->texts().Text(key); }

  fs::path folder_;
  QtHttpClient http_;
  MpvPlayer player_{std::map<std::string, std::string>{{"ao", "null"}}};
  std::unique_ptr<Form1> main_;
};

}  // namespace vandrel::test
