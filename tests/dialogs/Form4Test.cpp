#include "dialogs/Form4.h"

#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>

#include "core/Ini.h"
#include "core/Registry.h"
#include "support/BoxCloser.h"
#include "support/Files.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

std::string Settings(std::string laden, std::string afspelen, std::string grootscherm, std::string xsluiten) {
  return "[Windows]\nladen=" + laden + "\n\n[Online Radio]\nafspelen=" + afspelen + "\ngrootscherm=" + grootscherm +
         "\nxsluiten=" + xsluiten + "\n\n[Onthouden]\nVolume=50\nLaatsteLandbestand=holland.txt\n";
}

class Form4Test : public ::testing::Test {
 protected:
  Form4Test() { tmp_.write("Program Files $HOME/lang.ini", ReadFile(fs::path(VANDREL_SHIPPED_DATA) / "lang.ini")); }

  std::string PutSettings(const std::string& text) { return tmp_.write("Program Files $HOME/INST.INI", text), text; }
  fs::path Ini() const { return program_ / "INST.INI"; }
  std::string Program() const { return (program_ / "vandrel-radio").string(); }
  std::string Entry() const { return ReadFile(AutostartEntryPath(autostart_.string(), "Vandrel Internet Radio")); }
  std::unique_ptr<Form4> MakeForm() {
    return std::make_unique<Form4>(
        Form4::Environment{program_.string(), "/build/bin/vandrel-radio", texts_, autostart_.string()});
  }

  test::TempFolder tmp_{"form4"};
  fs::path program_ = tmp_ / "Program Files $HOME";
  fs::path autostart_ = tmp_ / "config/autostart";
  LanguageTable texts_{(program_ / "lang.ini").string(), [] { return std::string("english"); }};
};

// The autostart entry's content is RegistryTest's; here that the dialog arms it. It opens on 0, 1 or 2 only.
TEST_F(Form4Test, OnlyOkAndEnterWriteTheClickedStatesAndArmOrDisarmAutostartAndOddValuesRefuseToOpen) {
  test::BoxCloser boxes;
  const std::pair<void (*)(Form4&), bool> ways[] = {{[](Form4& form) { form.Command1->click(); }, true},
                                                     {[](Form4& form) { QTest::keyClick(form.Check2, Qt::Key_Return); }, true},
                                                     {[](Form4& form) { form.Command2->click(); }, false}};
  for (const auto& [close, writes] : ways) {
    PutSettings(Settings("0", "0", "2", "1"));
    fs::remove_all(autostart_);
    auto form = MakeForm();
    form->show();
    for (QCheckBox* box : {form->Check1, form->Check2, form->Check3, form->Check4}) box->click();
    close(*form);
    EXPECT_EQ(form->result(), writes ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(ReadFile(Ini()), writes ? Settings("1", "1", "1", "0") : Settings("0", "0", "2", "1"));
    EXPECT_EQ(fs::exists(autostart_), writes);
    EXPECT_TRUE(!writes || Entry().find("X-Vandrel-Command=" + Program() + "\n") != std::string::npos) << Entry();
  }

  WriteIni(Ini().string(), "Windows", "laden", "2");  // greyed counts as off
  MakeForm()->Command1->click();
  EXPECT_NE(Entry().find("X-Vandrel-Command=rem " + Program() + "\n"), std::string::npos) << Entry();
  EXPECT_EQ(ReadFile(Ini()), Settings("2", "0", "2", "1"));

  fs::remove_all(autostart_);
  for (const char* bad : {"", "3", "-1", " 1", "1x"}) {  // one check serves all four keys alike
    const std::string text = PutSettings(Settings("1", bad, "2", "1"));
    EXPECT_THROW(MakeForm(), DialogOpenError) << text;
    EXPECT_EQ(ReadFile(Ini()), text);
  }
  EXPECT_FALSE(fs::exists(autostart_));
  EXPECT_TRUE(boxes.boxes.empty());  // the opener reports it, not the dialog

  PutSettings(Settings("00", "01", "0", "2"));  // whole numbers, leading zeros
  EXPECT_NO_THROW(MakeForm());
}

}  // namespace
}  // namespace vandrel
