#include "player/Form1.h"

#include <exception>

#include "platform/DirectoryAddress.h"
#include "platform/ProgramFolder.h"
#include "player/Form1Layout.h"
#include "player/StationListLoader.h"

namespace vandrel {

namespace {

// The look the window has before (or without) its skin pictures.
constexpr const char* kStyle = R"(
  #Form1 { background: #eef1f6; }
  #Image1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #16324f, stop:1 #2c5d8f); }
  #Label1, #Label12, #Label4, #Label5 { color: #ffffff; }
  #Label7, #Label11 { color: #16324f; }
  #Label3 { color: #1f5fa8; }
  #WebBrowser1 { background: #ffffff; border: 1px solid #b8c2d0; }
  #Line1 { color: #b8c2d0; }
)";

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

Form1::Form1(Environment environment, QWidget* parent)
    : QWidget(parent),
      List1Box(nullptr),
      env_(std::move(environment)),
      texts_(InFolder(env_.programFolder, "lang.ini"), [this] { return gESelecteerdland; }),
      boxes_(texts_, this) {
  CreateControls();
  LayOutForm1(*this);
  RadioUrl = DirectoryHostName(env_.baseAddress) + "/";

  connect(List1, &QListWidget::itemSelectionChanged, this, [this] {
    // Clearing the list also changes the selection; only a chosen line plays.
    if (!List1->selectedItems().isEmpty()) List1_Click();
  });
  connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
  connect(stopspelen, &QAction::triggered, this, &Form1::stopspelen_Click);
  connect(Slider1, &QSlider::valueChanged, this, &Form1::Slider1_Change);
  env_.player.onStatusChange = [this] { PlayerStatusChange(); };
  env_.player.onError = [this] { PlayerError(); };

  Timer5.setInterval(20);
  connect(&Timer5, &QTimer::timeout, this, &Form1::Timer5_Timer);
  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
  Form_Load();
}

Form1::~Form1() {
  env_.player.onStatusChange = nullptr;
  env_.player.onError = nullptr;
}

void Form1::CreateControls() {
  setObjectName("Form1");
  setWindowTitle("Vandrel Internet Radio");
  setAttribute(Qt::WA_StyledBackground);
  setStyleSheet(kStyle);

  // Created bottom first: the background lies under everything, the header
  // under its four links.
  Image2 = Named(new QLabel(this), "Image2");
  Image1 = Named(new QLabel(this), "Image1");
  Label1 = Named(new QLabel(this), "Label1");
  Label12 = Named(new QLabel(this), "Label12");
  Label4 = Named(new QLabel(this), "Label4");
  Label5 = Named(new QLabel(this), "Label5");
  Label7 = Named(new QLabel(this), "Label7");
  Label11 = Named(new QLabel(this), "Label11");
  Label8 = Named(new QLabel(this), "Label8");
  Label10 = Named(new QLabel(this), "Label10");
  List1 = Named(new QListWidget(this), "List1");
  File1 = Named(new QListWidget(this), "File1");
  WebBrowser1 = Named(new QFrame(this), "WebBrowser1");
  Command1 = Named(new QPushButton(this), "Command1");
  Command2 = Named(new QPushButton(this), "Command2");
  Command3 = Named(new QPushButton(this), "Command3");
  Image4 = Named(new QLabel(this), "Image4");
  Image3 = Named(new QLabel(this), "Image3");
  Label2 = Named(new QLabel(this), "Label2");
  TaalGeselecteerdTekst = Named(new QLabel(this), "TaalGeselecteerdTekst");
  Label6 = Named(new QLabel(this), "Label6");
  ZenderNaam = Named(new QLabel(this), "ZenderNaam");
  Label3 = Named(new QLabel(this), "Label3");
  Label13 = Named(new QLabel(this), "Label13");
  Label14 = Named(new QLabel(this), "Label14");
  Line1 = Named(new QFrame(this), "Line1");
  Label9 = Named(new QLabel(this), "Label9");
  Slider1 = Named(new QSlider(Qt::Horizontal, this), "Slider1");
  List1Box = QtListBox(List1);

  // The player starts at full volume; the slider shows it until the
  // remembered volume is restored.
  Slider1->setRange(0, 100);
  Slider1->setValue(100);

  stopspelen = IconTray.addAction("Stop Playing");
  stopspelen->setObjectName("stopspelen");
  bla = IconTray.addSeparator();
  open = IconTray.addAction("Open");
  open->setObjectName("open");
  streep = IconTray.addSeparator();
  sluit = IconTray.addAction("Close");
  sluit->setObjectName("sluit");
}

void Form1::Form_Load() {
  List1Box.AddItem(texts_.Text("error14"));
  Timer5.start();
  Timer1.start();
}

void Form1::Timer5_Timer() {
  const std::pair<QWidget*, const char*> captions[] = {
      {Label1, "label1"},   {Label12, "label12"},   {Label4, "label4"},     {Label5, "label5"},
      {Label7, "label7"},   {Label11, "label11"},   {Label8, "label8"},     {Label10, "label10"},
      {Label2, "label2"},   {Label6, "label6"},     {Label3, "label3"},     {Label13, "label13"},
      {Label14, "label14"}, {Label9, "label9"},     {Command1, "command1"}, {Command2, "command2"},
      {Command3, "command3"},
  };
  try {
    for (const auto& [control, key] : captions) {
      const QString text = QString::fromStdString(texts_.Text(key));
      if (auto* label = qobject_cast<QLabel*>(control)) label->setText(text);
      if (auto* button = qobject_cast<QPushButton*>(control)) button->setText(text);
    }
  } catch (const std::exception&) {
    return;  // tried again at the next tick
  }
  Timer5.stop();
}

void Form1::Timer1_Timer() {
  // Stopped first: the download runs a nested event loop in which this timer
  // must not tick again.
  Timer1.stop();
  try {
    LaadLijst_Radio(TaalGeselecteerd);
  } catch (const std::exception&) {
    boxes_.ErrorBox("error10");
    Timer1.start();
  }
}

void Form1::LaadLijst_Radio(const std::string& bestand) {
  if (!vandrel::LaadLijst_Radio(env_.http, DownloadInfo, env_.baseAddress, bestand, {List1Box, List2, List3})) {
    boxes_.ErrorBox("error10");
  }
}

void Form1::List1_Click() {
  try {
    const int i = List1->currentRow();
    env_.player.setURL(List2.List(i));
    ZenderNaam->setText(QString::fromStdString(List1Box.List(i)));
    RadioUrl = List3.List(i);
  } catch (const std::exception&) {
    boxes_.ErrorBox("error15");
  }
}

void Form1::Command3_Click() { env_.player.close(); }

void Form1::stopspelen_Click() { env_.player.close(); }

void Form1::Slider1_Change() { env_.player.setVolume(Slider1->value()); }

void Form1::PlayerStatusChange() {
  const QString status = QString::fromStdString(env_.player.status());
  Label14->setText(status);
  Label14->setToolTip(status);  // the line is narrow; a stream title may not fit
}

void Form1::PlayerError() { boxes_.NoticeBox("error18"); }

}  // namespace vandrel
