#include "settings/Form4.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "settings/Ini.h"
#include "settings/Registry.h"
#include "support/ReadFile.h"
#include "support/BoxCloser.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::ReadFile;

std::string Settings(const std::string& laden, const std::string& afspelen, const std::string& grootscherm,
                     const std::string& xsluiten) {
  return "[Windows]\nladen=" + laden + "\n\n[Online Radio]\nafspelen=" + afspelen + "\ngrootscherm=" + grootscherm +
         "\nxsluiten=" + xsluiten + "\n\n[Onthouden]\nVolume=50\nLaatsteLandbestand=holland.txt\n";
}

void PressKey(QWidget* widget, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

fs::path MakeTempFolder() {
  std::string tmpl = (fs::temp_directory_path() / "vandrel form4 XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("no temporary folder");
  return tmpl;
}

class Form4Test : public ::testing::Test {
 protected:
  Form4Test() {
    fs::create_directories(program_);
    std::ofstream(program_ / "lang.ini") << "[english]\n"
                                            "f2command1=Confirm\n"
                                            "f2command2=Back out\n"
                                            "f4label1=Options\n"
                                            "f4check1=With the desktop\n"
                                            "f4check2=Resume playing\n"
                                            "f4check4=Close ends\n";
  }
  ~Form4Test() override { fs::remove_all(dir_); }

  void PutSettings(const std::string& text) { std::ofstream(Ini(), std::ios::binary) << text; }
  fs::path Ini() const { return program_ / "INST.INI"; }
  std::string Option(const char* section, const char* key) const { return ReadIni(Ini().string(), section, key); }
  std::string Program() const { return (program_ / "vandrel-radio").string(); }
  fs::path Entry() const { return AutostartEntryPath(autostart_.string(), "Vandrel Internet Radio"); }

  std::unique_ptr<Form4> MakeForm() {
    return std::make_unique<Form4>(
        Form4::Environment{program_.string(), "/build/bin/vandrel-radio", texts_, autostart_.string()});
  }

  fs::path dir_ = MakeTempFolder();
  fs::path program_ = dir_ / "Program Files $HOME";
  fs::path autostart_ = dir_ / "config" / "autostart";
  LanguageTable texts_{(program_ / "lang.ini").string(), [] { return std::string("english"); }};
};

TEST_F(Form4Test, OpensWithTheFileStatesAndCaptionsAndOkWritesTheStatesBack) {
  test::BoxCloser boxes;
  PutSettings(Settings("1", "0", "2", "1"));
  auto form = MakeForm();

  EXPECT_EQ(form->Check1->checkState(), Qt::Checked);
  EXPECT_EQ(form->Check2->checkState(), Qt::Unchecked);
  EXPECT_EQ(form->Check3->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(form->Check4->checkState(), Qt::Checked);

  EXPECT_TRUE(form->windowTitle().isEmpty());
  EXPECT_EQ(form->Command1->text(), "Confirm");
  EXPECT_EQ(form->Command2->text(), "Back out");
  EXPECT_EQ(form->Label1->text(), "Options");
  EXPECT_EQ(form->Check1->text(), "With the desktop");
  EXPECT_EQ(form->Check2->text(), "Resume playing");
  EXPECT_EQ(form->Check3->text(), "");  // key missing from the table
  EXPECT_EQ(form->Check4->text(), "Close ends");
  EXPECT_EQ(form->size(), QSize(295, 190));
  EXPECT_EQ(form->Image1->geometry(), form->rect());
  EXPECT_EQ(form->Image2->geometry(), QRect(0, 0, 345, 33));

  form->show();
  form->Check1->click();
  form->Check2->click();
  form->Check4->click();
  form->Check4->click();
  EXPECT_EQ(form->Check1->checkState(), Qt::Unchecked);
  EXPECT_EQ(form->Check2->checkState(), Qt::Checked);
  EXPECT_EQ(form->Check4->checkState(), Qt::Checked);
  form->Command1->click();

  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(Option("Windows", "laden"), "0");
  EXPECT_EQ(Option("Online Radio", "afspelen"), "1");
  EXPECT_EQ(Option("Online Radio", "grootscherm"), "2");
  EXPECT_EQ(Option("Online Radio", "xsluiten"), "1");
  EXPECT_EQ(Option("Onthouden", "Volume"), "50");
  EXPECT_EQ(Option("Onthouden", "LaatsteLandBestand"), "holland.txt");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Form4Test, CancelEscapeAndTheCloseBoxWriteNothing) {
  const std::string before = Settings("1", "0", "2", "1");
  const std::pair<const char*, std::function<void(Form4&)>> ways[] = {
      {"cancel button", [](Form4& f) { f.Command2->click(); }},
      {"escape", [](Form4& f) { PressKey(f.Check2, Qt::Key_Escape); }},
      {"close box", [](Form4& f) { f.close(); }},
  };
  for (const auto& [name, leave] : ways) {
    SCOPED_TRACE(name);
    test::BoxCloser boxes;
    PutSettings(before);
    auto form = MakeForm();
    form->show();
    for (QCheckBox* box : {form->Check1, form->Check2, form->Check3, form->Check4}) box->click();
    // A click checks or unchecks; grey turns to checked, never the other way.
    EXPECT_EQ(form->Check1->checkState(), Qt::Unchecked);
    EXPECT_EQ(form->Check2->checkState(), Qt::Checked);
    EXPECT_EQ(form->Check3->checkState(), Qt::Checked);
    EXPECT_EQ(form->Check4->checkState(), Qt::Unchecked);
    form->Check2->setFocus();
    leave(*form);
    test::Pump(50ms);
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadFile(Ini()), before);
    EXPECT_FALSE(fs::exists(autostart_));
    EXPECT_TRUE(boxes.boxes.empty());
  }
}

TEST_F(Form4Test, RefusesToOpenUnlessEveryOptionIsZeroOneOrTwo) {
  test::BoxCloser boxes;
  const char* bad[] = {"", "x", "3", "-1", "1.5", " 1", "1x", "10"};
  for (int key = 0; key < 4; ++key) {
    for (const char* value : bad) {
      SCOPED_TRACE(std::to_string(key) + " \"" + value + "\"");
      std::string v[4] = {"1", "0", "2", "1"};
      v[key] = value;
      const std::string text = Settings(v[0], v[1], v[2], v[3]);
      PutSettings(text);
      EXPECT_THROW(MakeForm(), DialogOpenError);
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

TEST_F(Form4Test, OkArmsOrDisarmsTheAutostartEntryAndNeverRemovesIt) {
  test::BoxCloser boxes;
  PutSettings(Settings("0", "0", "1", "0"));
  std::string program = Program();
  std::string quoted;
  for (const char c : program) quoted += (c == '$') ? std::string("\\\\$") : std::string(1, c);
  const std::string on = "Exec=\"" + quoted + "\"\n";

  {
    // Shown modally as the opener does; Enter confirms.
    auto form = MakeForm();
    form->Check1->click();
    QTimer::singleShot(0, form.get(), [&form] {
      form->Check2->setFocus();
      PressKey(form->Check2, Qt::Key_Return);
    });
    EXPECT_EQ(form->exec(), QDialog::Accepted);
  }
  std::string entry = ReadFile(Entry());
  EXPECT_NE(entry.find(on), std::string::npos) << entry;
  EXPECT_NE(entry.find("Hidden=false\n"), std::string::npos);
  EXPECT_NE(entry.find("X-Vandrel-Command=" + program + "\n"), std::string::npos);
  EXPECT_EQ(Option("Windows", "laden"), "1");

  {
    auto form = MakeForm();
    ASSERT_EQ(form->Check1->checkState(), Qt::Checked);
    form->Check1->click();
    form->Command1->click();
  }
  entry = ReadFile(Entry());
  EXPECT_NE(entry.find("Hidden=true\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("X-GNOME-Autostart-enabled=false\n"), std::string::npos);
  EXPECT_NE(entry.find("Exec=true\n"), std::string::npos);
  EXPECT_NE(entry.find("X-Vandrel-Command=rem " + program + "\n"), std::string::npos);

  // Greyed counts as off.
  WriteIni(Ini().string(), "Windows", "laden", "2");
  {
    auto form = MakeForm();
    form->Command1->click();
  }
  EXPECT_EQ(ReadFile(Entry()), entry);
  EXPECT_EQ(Option("Windows", "laden"), "2");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Form4Test, ShippedCaptionsFitTheDialog) {
  fs::copy_file(fs::path(VANDREL_SHIPPED_DATA) / "lang.ini", program_ / "lang.ini",
                fs::copy_options::overwrite_existing);
  PutSettings(Settings("1", "0", "2", "1"));
  auto form = MakeForm();
  form->show();
  ASSERT_TRUE(test::WaitUntil([&] { return form->isVisible(); }, 2s));
  test::Pump(100ms);
  for (QWidget* w : std::initializer_list<QWidget*>{form->Check1, form->Check2, form->Check3, form->Check4,
                                                    form->Command1, form->Command2}) {
    SCOPED_TRACE(w->objectName().toStdString());
    EXPECT_GE(w->width(), w->sizeHint().width());
    EXPECT_LE(w->geometry().right(), form->width());
  }
  EXPECT_GE(form->Label1->width(), form->Label1->sizeHint().width());
  QDir().mkpath(VANDREL_SCREENSHOT_DIR);
  form->grab().save(QString(VANDREL_SCREENSHOT_DIR) + "/form4-settings.png");
}

}  // namespace
}  // namespace vandrel
