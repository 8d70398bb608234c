#include "dialogs/Form4.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "core/Ini.h"
#include "core/ProgramFolder.h"
#include "core/Registry.h"
#include "core/SettingsFile.h"
#include "dialogs/DialogLook.h"
#include "platform/Accessibility.h"
#include "platform/Caption.h"
#include "platform/Stacking.h"
#include "platform/Twips.h"

namespace vandrel {

namespace {

constexpr const char* kAutostartName = "Vandrel Internet Radio";
constexpr int kClientWidth = 4425;
constexpr int kClientHeight = 2850;
constexpr int kCheckLeft = 120;

// The stored form of a check box state: "0" unchecked, "1" checked, "2" greyed.
int State(const QCheckBox* box) {
  switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
  }
}

Qt::CheckState CheckStateOf(int state) {
  switch (state) {
    case 1: return Qt::Checked;
    case 2: return Qt::PartiallyChecked;
    default: return Qt::Unchecked;
  }
}

// Digits only, so blanks, signs and fractions do not pass as a state.
std::optional<int> ParseState(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2) return std::nullopt;
  }
  return value;
}

struct Option {
  QCheckBox* Form4::*box;
  SettingKey setting;
};

constexpr Option kOptions[] = {
    {&Form4::Check1, settings::kAutostart},
    {&Form4::Check2, settings::kPlayAtStart},
    {&Form4::Check3, settings::kShowWindow},
    {&Form4::Check4, settings::kCloseEnds},
};

}  // namespace

Form4::Form4(Environment environment, QWidget* parent)
    : QDialog(parent), env_(std::move(environment)), boxes_(env_.texts, this) {
  createControls();
  connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
  Form_Load();
}

void Form4::createControls() {
  SetUpDialog(*this, "Form4", kClientWidth, kClientHeight);
  setFixedSize(size());

  Image1 = Named(new Caption(this), "Image1");
  Image2 = Named(new Caption(this), "Image2");
  Label1 = Named(new Caption(this), "Label1");
  Check1 = Named(new QCheckBox(this), "Check1");
  Check2 = Named(new QCheckBox(this), "Check2");
  Check3 = Named(new QCheckBox(this), "Check3");
  Check4 = Named(new QCheckBox(this), "Check4");
  Command1 = Named(new QPushButton(this), "Command1");
  Command2 = Named(new QPushButton(this), "Command2");

  //     control                left        top   width  height
  Place(Image1,                 0,          0,    0,     0);
  Place(Image2,                 0,          0,    5175,  495);
  Place(Label1,                 0,          0,    4455,  495);
  Place(Check1,                 kCheckLeft, 720,  1935,  255);
  Place(Check2,                 kCheckLeft, 1080, 3975,  255);
  Place(Check3,                 kCheckLeft, 1440, 3015,  255);
  Place(Check4,                 kCheckLeft, 1800, 3015,  255);
  Place(Command1,               120,        2280, 1335,  375);
  Place(Command2,               1680,       2280, 1335,  375);

  Image1->setScaledContents(true);
  Image2->setScaledContents(true);
  MakeHeading(Label1);
  Label1->setText("Instellingen");
  Check1->setText("Opstarten bij Windows");
  Check2->setText("De laatste zender starten bij opstarten");
  Check3->setText("Venster openen bij opstarten");
  Check4->setText("Programma afsluiten met kruisje");
  Command1->setText("OKE!");
  Command2->setText("Annuleren");
  Command1->setDefault(true);
  RaiseWindowedControls(this);
  MarkControlFocus(this);

  for (QCheckBox* box : {Check1, Check2, Check3, Check4}) {
    // Three states so that a greyed "2" from the file survives; a click
    // only ever checks or unchecks, as the program never sets grey itself.
    box->setTristate(true);
    connect(box, &QCheckBox::clicked, this, [box] {
      if (box->checkState() == Qt::PartiallyChecked) box->setCheckState(Qt::Checked);
    });
  }
}

std::string Form4::settingsFile() const {
  return vandrel::SettingsFile(env_.settingsFolder.empty() ? env_.programFolder : env_.settingsFolder);
}

void Form4::Form_Load() {
  Image1->setGeometry(0, 0, width(), height());

  const std::string iniPath = settingsFile();
  for (const Option& option : kOptions) {
    const auto [section, key] = option.setting;
    const std::string text = ReadIni(iniPath, section, key);
    const std::optional<int> state = ParseState(text);
    if (!state) {
      throw DialogOpenError(std::string("INST.INI: [") + section + "] " + key + " is \"" + text +
                            "\", not 0, 1 or 2");
    }
    (this->*option.box)->setCheckState(CheckStateOf(*state));
  }

  const LanguageTable& t = env_.texts;
  Command1->setText(QString::fromStdString(t.text("f2command1")));
  Command2->setText(QString::fromStdString(t.text("f2command2")));
  Label1->setText(QString::fromStdString(t.text("f4label1")));
  Check1->setText(QString::fromStdString(t.text("f4check1")));
  Check2->setText(QString::fromStdString(t.text("f4check2")));
  Check3->setText(QString::fromStdString(t.text("f4check3")));
  Check4->setText(QString::fromStdString(t.text("f4check4")));

  // Fonts differ from the ones the widths were chosen for: a caption that
  // does not fit gets the room up to the dialog's right edge.
  const int room = width() - 2 * Px(kCheckLeft);
  for (QCheckBox* box : {Check1, Check2, Check3, Check4}) {
    box->resize(std::clamp(box->sizeHint().width(), box->width(), std::max(room, box->width())), box->height());
  }
}

void Form4::Command1_Click() {
  try {
    const std::string iniPath = settingsFile();
    std::vector<IniValue> values;
    for (const Option& option : kOptions) {
      values.push_back({option.setting.section, option.setting.key, std::to_string(State(this->*option.box))});
    }
    WriteIniValues(iniPath, values);
    StartWithDesktop(env_, State(Check1) == 1);
  } catch (...) {
    boxes_.errorBox("error9");
    return;
  }
  accept();
}

void Form4::Command2_Click() { reject(); }

void Form4::StartWithDesktop(const Environment& environment, bool on) {
  const std::string program = AutostartProgramPath(environment.programFolder, environment.executablePath);
  SetAutostart(kAutostartName, on ? program : "rem " + program, environment.autostartFolder);
}

}  // namespace vandrel
