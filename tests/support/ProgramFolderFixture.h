#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "platform/MpvPlayer.h"
#include "platform/QtHttpClient.h"
#include "player/Form1.h"
#include "settings/Ini.h"
#include "support/ShippedFiles.h"
#include "support/DirectoryServerProcess.h"
#include "support/QtWait.h"

namespace vandrel::test {

// A program folder with the shipped texts, settings and favourites folder,
// and a main window started in it against the shipped directory, as the
// program starts it: hidden until its start-up sequence decides.
class ProgramFolderFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new DirectoryServerProcess(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  ProgramFolderFixture() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vandrel start XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("no temporary folder");
    folder_ = tmpl;
    CopyShippedProgramFiles(folder_);
  }
  ~ProgramFolderFixture() override {
    form_.reset();
    std::filesystem::remove_all(folder_);
  }

  std::string Ini() const { return (folder_ / "INST.INI").string(); }
  void Set(const char* section, const char* key, const std::string& value) { WriteIni(Ini(), section, key, value); }
  std::string Get(const char* section, const char* key) const { return ReadIni(Ini(), section, key); }

  std::string Tone(int seconds) const {
    return server_->baseAddress() + "stream/tone?seconds=" + std::to_string(seconds);
  }

  // Against the shipped directory unless another base address is given.
  Form1& Start(const std::string& base = "") {
    form_ = std::make_unique<Form1>(Form1::Environment{folder_.string(), base.empty() ? server_->baseAddress() : base,
                                                       http_, player_, [this] { ++ended_; }, launcher_});
    return *form_;
  }

  bool StartedUp() const {
    return WaitUntil([this] { return !form_->Timer3.isActive(); }, std::chrono::seconds(5));
  }

  static inline DirectoryServerProcess* server_ = nullptr;
  std::filesystem::path folder_;
  QtHttpClient http_;
  MpvPlayer player_{std::map<std::string, std::string>{{"ao", "null"}}};
  std::unique_ptr<Form1> form_;
  int ended_ = 0;
  Launcher* launcher_ = nullptr;  // the desktop's when null
};

}  // namespace vandrel::test
