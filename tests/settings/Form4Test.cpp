#include "settings/Form4.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "settings/Ini.h"
#include "settings/Registry.h"
#include "support/BoxCloser.h"
#include "support/QtWait.h"
#include "support/Files.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ReadFile;

std::string Settings(std::string laden, std::string afspelen, std::string grootscherm, std::string xsluiten) {
  return "[Windows]\nladen=" + laden + "\n\n[Online Radio]\nafspelen=" + afspelen + "\ngrootscherm=" + grootscherm +
         "\nxsluiten=" + xsluiten + "\n\n[Onthouden]\nVolume=50\nLaatsteLandbestand=holland.txt\n";
}

class Form4Test : public ::testing::Test {
 protected:
  Form4Test() {
    fs::create_directories(program_);
    fs::copy_file(fs::path(VANDREL_SHIPPED_DATA) / "lang.ini", program_ / "lang.ini");
  }

  void PutSettings(const std::string& text) { std::ofstream(Ini(), std::ios::binary) << text; }
  fs::path Ini() const { return program_ / "INST.INI"; }
  std::string Program() const { return (program_ / "vandrel-radio").string(); }
  std::string Entry() const { return ReadFile(AutostartEntryPath(autostart_.string(), "Vandrel Internet Radio")); }
  std::unique_ptr<Form4> MakeForm() {
    return std::make_unique<Form4>(
        Form4::Environment{program_.string(), "/build/bin/vandrel-radio", texts_, autostart_.string()});
  }

  test::TempFolder tmp_{"form4"};
  const fs::path& dir_ = tmp_.path();
  fs::path program_ = dir_ / "Program Files $HOME";
  fs::path autostart_ = dir_ / "config" / "autostart";
  LanguageTable texts_{(program_ / "lang.ini").string(), [] { return std::string("english"); }};
};

TEST_F(Form4Test, OkWritesTheStatesAsReadThenClickedAndArmsOrDisarmsAutostart) {
  test::BoxCloser boxes;
  PutSettings(Settings("0", "0", "2", "1"));
  auto form = MakeForm();
  form->show();
  test::Pump(100ms);

  for (QCheckBox* box : {form->Check1, form->Check2, form->Check4}) box->click();
  form->Command1->click();
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(ReadFile(Ini()), Settings("1", "1", "2", "0"));  // the states as read, then clicked
  // What the entry holds is RegistryTest's; here only that the dialog arms it.
  EXPECT_NE(Entry().find("X-Vandrel-Command=" + Program() + "\n"), std::string::npos) << Entry();

  form = MakeForm();  // shown modally, as the opener does; Enter confirms
  form->Check1->click();
  QTimer::singleShot(0, form.get(), [&form] { form->Check2->setFocus(); QTest::keyClick(form->Check2, Qt::Key_Return); });
  EXPECT_EQ(form->exec(), QDialog::Accepted);
  const std::string off = Entry();
  EXPECT_NE(off.find("X-Vandrel-Command=rem " + Program() + "\n"), std::string::npos) << off;
  EXPECT_EQ(ReadFile(Ini()), Settings("0", "1", "2", "0"));

  WriteIni(Ini().string(), "Windows", "laden", "2");  // greyed counts as off
  MakeForm()->Command1->click();
  EXPECT_EQ(Entry(), off);
  EXPECT_EQ(ReadFile(Ini()), Settings("2", "1", "2", "0"));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Form4Test, CancelEscapeAndTheCloseBoxWriteNothing) {
  test::BoxCloser boxes;
  const std::string before = Settings("1", "0", "2", "1");
  PutSettings(before);
  for (int way = 0; way < 3; ++way) {
    auto form = MakeForm();
    form->show();
    for (QCheckBox* box : {form->Check1, form->Check2, form->Check3, form->Check4}) box->click();
    EXPECT_EQ(form->Check3->checkState(), Qt::Checked);  // a click never leaves grey
    if (way == 0) form->Command2->click();
    if (way == 1) QTest::keyClick(form->Check2, Qt::Key_Escape);
    if (way == 2) form->close();
    test::Pump(50ms);
    EXPECT_EQ(form->result(), QDialog::Rejected) << way;
  }
  EXPECT_EQ(ReadFile(Ini()), before);
  EXPECT_FALSE(fs::exists(autostart_));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Form4Test, RefusesToOpenUnlessEveryOptionIsZeroOneOrTwo) {
  test::BoxCloser boxes;
  for (int key = 0; key < 4; ++key) {
    for (const char* value : {"", "x", "3", "-1", " 1", "1x"}) {
      std::string v[4] = {"1", "0", "2", "1"};
      v[key] = value;
      const std::string text = Settings(v[0], v[1], v[2], v[3]);
      PutSettings(text);
      EXPECT_THROW(MakeForm(), DialogOpenError) << key << " \"" << value << "\"";
      EXPECT_EQ(ReadFile(Ini()), text);
    }
  }
  PutSettings("[Online Radio]\nafspelen=0\ngrootscherm=1\nxsluiten=0\n");  // no [Windows] laden
  EXPECT_THROW(MakeForm(), DialogOpenError);
  fs::remove(Ini());
  EXPECT_THROW(MakeForm(), DialogOpenError);
  EXPECT_FALSE(fs::exists(Ini()));
  EXPECT_FALSE(fs::exists(autostart_));
  EXPECT_TRUE(boxes.boxes.empty());  // the opener reports it, not the dialog

  PutSettings(Settings("00", "01", "0", "2"));  // whole numbers, leading zeros
  EXPECT_NO_THROW(MakeForm());
}

}  // namespace
}  // namespace vandrel
