#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Ini.h"
#include "core/ListBox.h"
#include "platform/MpvPlayer.h"
#include "platform/QtHttpClient.h"
#include "support/DirectoryServerProcess.h"
#include "support/Files.h"
#include "support/QtWait.h"
#include "support/ShippedFiles.h"
#include "window/Form1.h"

namespace vandrel::test {

// The directory server on a data folder of its own: path below the folder, content.
struct ServedData {
  explicit ServedData(const std::map<std::string, std::string>& files) {
    for (const auto& [path, content] : files) data.write(path, content);
    server = std::make_unique<DirectoryServerProcess>(data.path().string());
  }
  TempFolder data{"directory"};
  std::unique_ptr<DirectoryServerProcess> server;
};

inline std::vector<std::string> Names(const ListBox& box) {
  std::vector<std::string> names;
  for (int i = 0; i < box.ListCount(); ++i) names.push_back(box.List(i));
  return names;
}

// A program folder of shipped files and a main window in it, hidden until its start-up decides.
class ProgramFolderFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new DirectoryServerProcess(); }
  static void TearDownTestSuite() { delete std::exchange(server_, nullptr); }

  ProgramFolderFixture() { CopyShippedProgramFiles(folder_); }

  std::string Ini() const { return (folder_ / "INST.INI").string(); }
  void Set(const char* section, const char* key, const std::string& value) { WriteIni(Ini(), section, key, value); }
  std::string Get(const char* section, const char* key) const { return ReadIni(Ini(), section, key); }

  std::string Tone(int seconds) const { return server_->baseAddress() + "stream/tone?seconds=" + std::to_string(seconds); }

  Form1& Start(const std::string& base = "") {
    form_ = std::make_unique<Form1>(Form1::Environment{folder_.string(), base.empty() ? server_->baseAddress() : base,
                                                       http_, player_, [this] { ++ended_; }, launcher_, trayWait_});
    return *form_;
  }

  // Started, shown, and showing the given first station: as before a dialog opens.
  Form1& Open(const std::string& base, const std::string& firstStation = "") {
    Start(base).show();
    StartedUp();
    if (!firstStation.empty()) {
      EXPECT_TRUE(WaitUntil([&] { return form_->List1Box.List(0) == firstStation; }, std::chrono::seconds(10)));
    }
    return *form_;
  }
  std::string Text(const char* key) const { return form_->texts().text(key); }

  bool StartedUp() const { return WaitUntil([this] { return !form_->Timer3.isActive(); }, std::chrono::seconds(5)); }

  static inline DirectoryServerProcess* server_ = nullptr;
  TempFolder dir_{"program"};
  const std::filesystem::path& folder_ = dir_.path();
  QtHttpClient http_;
  struct Player : MpvPlayer {  // counts the window's hints that a play is near
    using MpvPlayer::MpvPlayer;
    void prepare() override { ++prepared; MpvPlayer::prepare(); }
    int prepared = 0;
  };
  Player player_{std::map<std::string, std::string>{{"ao", "null"}}};
  std::unique_ptr<Form1> form_;
  int ended_ = 0;
  Launcher* launcher_ = nullptr;  // the desktop's when null
  std::chrono::milliseconds trayWait_ = std::chrono::seconds(10);
};

}  // namespace vandrel::test
