#include "window/Form1.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <charconv>
#include <exception>
#include <stdexcept>

#include "core/BrowserLinks.h"
#include "core/DirectoryAddress.h"
#include "core/Ini.h"
#include "core/ProgramFolder.h"
#include "core/Registry.h"
#include "dialogs/Form2.h"
#include "dialogs/Form3.h"
#include "dialogs/Form4.h"
#include "markup/DownloadInfoSettings.h"
#include "markup/Markora.h"
#include "platform/Accessibility.h"
#include "platform/Caption.h"
#include "platform/MessageBox.h"
#include "platform/Named.h"
#include "platform/Palette.h"
#include "platform/Stacking.h"
#include "platform/Twips.h"
#include "platform/WindowGeometry.h"
#include "shell/SkinPicture.h"
#include "stations/FavouriteFiles.h"
#include "stations/StationListLoader.h"
#include "window/Favourites.h"
#include "window/Form1Layout.h"

namespace vandrel {

namespace {

// The look the window has before (or without) its skin pictures.
constexpr const char* kStyle = R"(
  #Form1 { background: @background; }
  #Form1 > QLabel { color: @text; }
  #Form1 > #Image1 { background: @header; }
  #Form1 > #Label1, #Form1 > #Label12, #Form1 > #Label4, #Form1 > #Label5 { color: @headerText; }
  #Form1 > #Label7, #Form1 > #Label11 { color: @navy; }
  #Form1 > #Label3 { color: #1f5fa8; }
  #Form1 > QLabel:focus { text-decoration: underline; }
  #Form1 > #WebBrowser1 { background: #ffffff; border: 1px solid #b8c2d0; }
  #Form1 > #Line1 { color: #b8c2d0; }
)";

// Where the window stood and how large it was: "left,top,width,height".
constexpr const char* kGeometryKey = "Geometry";

// The volume when the settings file holds no usable one.
constexpr int kDefaultVolume = 50;

// A remembered volume: a whole number the slider can show.
int VolumeValue(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 100) {
    throw std::invalid_argument("volume");
  }
  return value;
}

}  // namespace

Form1::Form1(Environment environment, QWidget* parent)
    : QWidget(parent),
      List1Box(nullptr),
      env_(std::move(environment)),
      station_(env_.player, DirectoryHostName(env_.baseAddress) + "/"),
      texts_(InFolder(env_.programFolder, "lang.ini"), [this] { return gESelecteerdland; }),
      boxes_(texts_, this) {
  CreateControls();
  LayOutForm1(*this);
  RaiseWindowedControls(this);
  MarkButtonFocus(this);
  station_.Restore(ZenderNaam->text().toStdString());  // the design-time text until one is chosen
  station_.OnChange([this] { StationChange(); });

  PlayOnEveryClick(List1, &Form1::List1_Click);
  connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
  connect(stopspelen, &QAction::triggered, this, &Form1::stopspelen_Click);
  connect(Slider1, &QSlider::valueChanged, this, &Form1::Slider1_Change);
  connect(Command1, &QPushButton::clicked, this, [this] { vandrel::Command1_Click(*this, File1Box); });
  connect(Command2, &QPushButton::clicked, this, [this] { vandrel::Command2_Click(*this, File1Box); });
  PlayOnEveryClick(File1, &Form1::File1_Click);
  connect(WebBrowser1, &WebPanel::NavigateError, this, &Form1::WebBrowser1_NavigateError);
  struct Link {
    QLabel* control;
    void (Form1::*click)();
    bool hand;  // the link labels show the hand cursor
    const char* pictureName = "";  // what a screen reader calls a picture link
  };
  const Link links[] = {{Label1, &Form1::Label1_Click, true},
                        {Label12, &Form1::Label12_Click, true},
                        {Label4, &Form1::Label4_Click, true},
                        {Label5, &Form1::Label5_Click, true},
                        {Label3, &Form1::Label3_Click, true},
                        {TaalGeselecteerdTekst, &Form1::TaalGeselecteerdTekst_Click, false},
                        {Label9, &Form1::Label9_Click, false},
                        {Image3, &Form1::Image3_Click, false, "Vandrel Internet Radio home page"},
                        {Image4, &Form1::Image4_Click, false, "E-cards"}};
  for (const Link& link : links) {
    MakeClickable(link.control, link.hand, QString::fromUtf8(link.pictureName));
    clickHandlers_[link.control] = link.click;
  }
  connect(open, &QAction::triggered, this, &Form1::open_Click);
  connect(sluit, &QAction::triggered, this, &Form1::sluit_Click);
  connect(&TrayIcon1, &TrayIcon::Click, this, &Form1::TrayIcon1_Click);
  connect(&TrayIcon1, &TrayIcon::RightClick, this, &Form1::TrayIcon1_RightClick);
  connect(&env_.player, &MediaPlayer::stateChanged, this, &Form1::PlayerStatusChange);
  connect(&env_.player, &MediaPlayer::titleChanged, this, &Form1::PlayerStatusChange);
  connect(&env_.player, &MediaPlayer::errorOccurred, this, &Form1::PlayerError);

  Timer5.setInterval(20);
  connect(&Timer5, &QTimer::timeout, this, &Form1::Timer5_Timer);
  Timer2.setInterval(500);
  connect(&Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
  Timer3.setInterval(200);
  connect(&Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
  Timer4.setInterval(100);
  connect(&Timer4, &QTimer::timeout, this, &Form1::Timer4_Timer);
  Form_Load();
}

Form1::~Form1() = default;

void Form1::PlayOnEveryClick(QListWidget* list, void (Form1::*handler)()) {
  clickedLists_[list->viewport()] = false;
  list->viewport()->installEventFilter(this);
  connect(list, &QListWidget::itemSelectionChanged, this, [this, list, handler] {
    // Clearing the list also changes the selection; only a chosen line plays.
    if (list->selectedItems().isEmpty()) return;
    clickedLists_[list->viewport()] = true;
    (this->*handler)();
  });
  connect(list, &QListWidget::clicked, this, [this, list, handler] {
    if (!clickedLists_[list->viewport()] && !list->selectedItems().isEmpty()) (this->*handler)();
  });
}

void Form1::CreateControls() {
  setObjectName("Form1");
  setWindowTitle("Vandrel Internet Radio");
  setAttribute(Qt::WA_StyledBackground);
  setStyleSheet(WithPalette(kStyle));

  // Created bottom first: the background lies under everything, the header
  // under its four links.
  Image2 = Named(new Caption(this), "Image2");
  Image1 = Named(new Caption(this), "Image1");
  Label1 = Named(new Caption(this), "Label1");
  Label12 = Named(new Caption(this), "Label12");
  Label4 = Named(new Caption(this), "Label4");
  Label5 = Named(new Caption(this), "Label5");
  Label7 = Named(new Caption(this), "Label7");
  Label11 = Named(new Caption(this), "Label11");
  Label8 = Named(new Caption(this), "Label8");
  Label10 = Named(new Caption(this), "Label10");
  List1 = Named(new QListWidget(this), "List1");
  File1 = Named(new QListWidget(this), "File1");
  WebBrowser1 = Named(new WebPanel(this), "WebBrowser1");
  Command1 = Named(new QPushButton(this), "Command1");
  Command2 = Named(new QPushButton(this), "Command2");
  Command3 = Named(new QPushButton(this), "Command3");
  Image4 = Named(new Caption(this), "Image4");
  Image3 = Named(new Caption(this), "Image3");
  Label2 = Named(new Caption(this), "Label2");
  TaalGeselecteerdTekst = Named(new Caption(this), "TaalGeselecteerdTekst");
  Label6 = Named(new Caption(this), "Label6");
  ZenderNaam = Named(new Caption(this), "ZenderNaam");
  Label3 = Named(new Caption(this), "Label3");
  Label13 = Named(new Caption(this), "Label13");
  Label14 = Named(new Caption(this), "Label14");
  Line1 = Named(new QFrame(this), "Line1");
  Label9 = Named(new Caption(this), "Label9");
  Slider1 = Named(new QSlider(Qt::Horizontal, this), "Slider1");
  List1Box = QtListBox(List1);
  DownloadInfo.attachOnFirstUse([this] {
    auto* downloadBox = Named(new Markora(this), "DownloadInfo");
    LoadDownloadInfo(*downloadBox);
    Place(downloadBox, 1320, 240, 8055, 1815);
    downloadBox->hide();
    return downloadBox;
  });
  File1Box = FileListBox(File1);
  setWindowIcon(QIcon(":/icons/vandrel-radio.svg"));
  for (auto [image, path] : {std::pair{Image4, ":/icons/ecards-link.svg"}, {Image3, ":/icons/project-link.svg"}}) {
    SetPicture(image, path, QPixmap(path));
  }
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  TrayIcon1.setScreenTip("Vandrel Internet Radio");
  // Names come from lists and settings: shown as they stand, never as markup.
  ZenderNaam->setTextFormat(Qt::PlainText);
  TaalGeselecteerdTekst->setTextFormat(Qt::PlainText);

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
  WebBrowser1->Navigate(env_.baseAddress + "radio/inter/website/index.php?wat=home&lang=" + gESelecteerdland);
  Timer5.start();
  Timer3.start();
  Timer2.start();
  Timer1.start();
}

std::string Form1::SettingsFile() const { return InFolder(settingsFolder(), "INST.INI"); }

void Form1::Timer2_Timer() {
  // Stopped while its box is open, so boxes do not pile up; tried again after.
  Timer2.stop();
  try {
    ShowSkin(Image1, "head.skn", 0.5);  // the logo half keeps its shape
    ShowSkin(Image2, "frame1.skn");
    Image2->resize(width(), height());
    layoutAnchors->Rebase(Image2);
  } catch (const std::exception&) {
    boxes_.ErrorBox("error16");
    Timer2.start();
  }
}

void Form1::ShowSkin(QLabel* image, const char* name, double keepLeft) {
  SetPicture(image, QString::fromStdString(env_.programFolder + "/def_" + name), LoadSkin(env_.programFolder, name),
             keepLeft);
}

void Form1::MakeClickable(QLabel* control, bool hand, const QString& pictureName) {
  control->installEventFilter(this);
  MakeLink(control, pictureName);  // reachable from the keyboard too
  if (hand) control->setCursor(Qt::PointingHandCursor);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (const auto list = clickedLists_.find(watched); list != clickedLists_.end()) {
    // Seen before the list handles the press, which may change the selection.
    if (event->type() == QEvent::MouseButtonPress) list->second = false;
    // The pointer over a list: a play is near, so the player gets ready. Not
    // in a hidden window, as that costs the tray tens of megabytes.
    if (event->type() == QEvent::Enter) env_.player.prepare();
    return QWidget::eventFilter(watched, event);
  }
  bool clicked = false;
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* widget = static_cast<QWidget*>(watched);
    clicked = mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint());
  } else if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    clicked = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
  }
  const auto handler = clickHandlers_.find(watched);
  if (!clicked || handler == clickHandlers_.end()) return QWidget::eventFilter(watched, event);
  (this->*handler->second)();
  return true;
}

void Form1::SkinDialog(QLabel* image1, QLabel* image2) {
  ShowSkin(image1, "frame1.skn");
  ShowSkin(image2, "balk1.skn");
}

template <typename Dialog, typename... Args>
void Form1::OpenSkinnedDialog(Args&&... args) {
  try {
    Dialog form(std::forward<Args>(args)...);
    SkinDialog(form.Image1, form.Image2);
    form.exec();
  } catch (const std::exception&) {
    boxes_.ErrorBox("error12");
  }
}

void Form1::Label1_Click() { OpenSkinnedDialog<Form2>(*this); }

void Form1::Label12_Click() { OpenSkinnedDialog<Form3>(*this); }

void Form1::Label4_Click() {
  OpenSkinnedDialog<Form4>(Form4::Environment{env_.programFolder,
                                              QCoreApplication::applicationFilePath().toStdString(), texts_,
                                              DefaultAutostartFolder(), settingsFolder()},
                           this);
}

void Form1::TaalGeselecteerdTekst_Click() { Label1_Click(); }

void Form1::Label5_Click() { WebBrowser1->Navigate(env_.baseAddress + "radio/inter/website/index.php?wat=about"); }

void Form1::OpenInBrowser(const std::string& address) {
  try {
    if (!IsWebAddress(address)) throw LaunchError("not a web address: " + address);
    (env_.launcher != nullptr ? *env_.launcher : desktopLauncher_).Open(address);
  } catch (const std::exception&) {
    boxes_.ErrorBox("error12");
  }
}

void Form1::Label3_Click() { OpenInBrowser(HomepageAddress(RadioUrl())); }

void Form1::Image4_Click() { OpenInBrowser(env_.baseAddress + "ecards/"); }

void Form1::Image3_Click() { OpenInBrowser(kProjectHomePage); }

void Form1::Label9_Click() { Slider1->setValue(0); }

void Form1::WebBrowser1_NavigateError() {
  std::string text;
  try {
    text = texts_.Text("error1");
  } catch (const std::exception&) {
    // the page stays empty rather than wrong
  }
  WebBrowser1->Navigate("about:" + text);
}

void Form1::WaitForTray() {
  const auto until = std::chrono::steady_clock::now() + env_.trayWait;
  trayWait_.setInterval(250);
  connect(&trayWait_, &QTimer::timeout, this, [this, until] {
    if (TrayIcon::Available()) return trayWait_.stop();
    if (std::chrono::steady_clock::now() < until) return;
    trayWait_.stop();
    // Without a notification area a hidden window could never be reached.
    show();
  });
  trayWait_.start();
}

void Form1::Timer3_Timer() {
  // One run only: a failure is reported once instead of every 200 ms, and
  // the steps after it still take place.
  Timer3.stop();
  const std::string ini = SettingsFile();
  bool failed = false;
  setGeometry(RestoredGeometry(QString::fromStdString(ReadIni(ini, "Windows", kGeometryKey)), minimumSize()));
  if (ReadIni(ini, "Online Radio", "grootscherm") == "1") {
    show();
  } else {
    // The platform puts a shown icon into a notification area that comes
    // later, even after the wait.
    TrayIcon1.Add(windowIcon());
    if (!TrayIcon::Available()) WaitForTray();
  }
  if (ReadIni(ini, "Online Radio", "afspelen") == "1") station_.Open(ReadIniWhole(ini, "Onthouden", "LaatsteURL"));
  TaalGeselecteerdTekst->setText(QString::fromStdString(ReadIni(ini, "Onthouden", "LaatsteLandNaam")));
  TaalGeselecteerd = ReadIni(ini, "Onthouden", "LaatsteLandBestand");
  station_.Restore(ReadIni(ini, "Onthouden", "LaatsteNAAM"));
  try {
    Slider1->setValue(VolumeValue(ReadIni(ini, "Onthouden", "Volume")));
  } catch (const std::exception&) {
    failed = true;
    Slider1->setValue(kDefaultVolume);
  }
  try {
    File1Box.setPath(FavouritesFolder(settingsFolder()));
  } catch (const std::exception&) {
    failed = true;
  }
  if (failed) boxes_.ErrorBox("error17");
}

void Form1::closeEvent(QCloseEvent* event) {
  bool cancel = false;
  Form_Unload(cancel);
  if (cancel) {
    event->ignore();
  } else {
    event->accept();
  }
}

void Form1::Form_Unload(bool& cancel) {
  const std::string ini = SettingsFile();
  // One replace: a kill while closing never pairs one station's name with another's address.
  WriteIniValues(ini, {{"Onthouden", "LaatsteNAAM", station_.name()},
                       {"Onthouden", "LaatsteURL", station_.address()},
                       {"Onthouden", "Volume", std::to_string(Slider1->value())},
                       {"Onthouden", "LaatsteLandNaam", TaalGeselecteerdTekst->text().toStdString()},
                       {"Onthouden", "LaatsteLandbestand", TaalGeselecteerd},
                       {"Windows", kGeometryKey, GeometryText(geometry()).toStdString()}});
  // Without a notification area the window could not come back once hidden,
  // so closing it ends the program.
  if (ReadIni(ini, "Online Radio", "xsluiten") == "1" || !TrayIcon::Available()) {
    TrayIcon1.Remove();
    Timer4.stop();
    env_.endProgram();
    return;
  }
  cancel = true;
  hide();
  TrayIcon1.Add(windowIcon());
}

void Form1::Timer4_Timer() {
  Timer4.stop();
  TrayIcon1.Remove();
  env_.endProgram();
}

void Form1::TrayIcon1_Click() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  TrayIcon1.Remove();
}

void Form1::open_Click() { TrayIcon1_Click(); }

void Form1::SettingsNotWritable(const std::string& userFolder) {
  QTimer::singleShot(0, this, [this, userFolder] {
    const std::string folders = "\n\n" + env_.programFolder + (userFolder.empty() ? "" : "\n" + userFolder);
    ShowMessageBox(this, QMessageBox::Warning, texts_.Text("error0"), texts_.Text("error19") + folders);
  });
}

void Form1::TrayIcon1_RightClick() { IconTray.popup(QCursor::pos()); }

void Form1::sluit_Click() {
  Timer4.start();
  close();
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
      if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
        GiveRoom(label);  // longer captions (Dutch) take the free room beside them
      }
      if (auto* button = qobject_cast<QPushButton*>(control)) button->setText(text);
    }
  } catch (const std::exception&) {
    return;  // tried again at the next tick
  }
  NameBuddies(this);
  Timer5.stop();
}

void Form1::Timer1_Timer() {
  // Stopped first: the download runs a nested event loop in which this timer
  // must not tick again.
  Timer1.stop();
  try {
    LaadLijst_Radio(TaalGeselecteerd);
    // A station list on the screen: a play is near, so libmpv opens now, on
    // its own thread, and the first play starts sooner. Not in the tray.
    if (isVisible() && List1->count() > 0) env_.player.prepare();
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
    station_.Play({List1Box.List(i), List2.List(i), List3.List(i)});
  } catch (const std::exception&) {
    boxes_.ErrorBox("error15");
  }
}

void Form1::File1_Click() { vandrel::File1_Click(*this, File1Box); }

void Form1::Command3_Click() { station_.Stop(); }

void Form1::stopspelen_Click() { station_.Stop(); }

void Form1::Slider1_Change() { env_.player.setVolume(Slider1->value()); }

void Form1::PlayerStatusChange() {
  // The caption cuts what does not fit as it paints; the tip always holds the whole line.
  const QString status = QString::fromStdString(env_.player.status());
  Label14->setText(status);
  Label14->setToolTip(PlainTip(status));
}

void Form1::StationChange() {
  ZenderNaam->setText(QString::fromStdString(station_.name()));
  GiveRoom(ZenderNaam);
}

Station Form1::StationFor(const std::string& address) const {
  for (int i = 0; i < List2.ListCount(); ++i) {
    if (List2.List(i) == address && i < List1Box.ListCount()) return {List1Box.List(i), address, List3.List(i)};
  }
  std::string name = FavouriteNameFor(File1Box.Path(), address);
  return {name.empty() ? address : name, address, station_.homepage()};
}

void Form1::PlayerError(const QString& cause) {
  if (errorBoxOpen_) return;
  errorBoxOpen_ = true;
  ShowMessageBoxLater(this, QMessageBox::Information, texts_.Text("error0"), texts_.Text("error18"),
                      cause.toStdString(), [this] { errorBoxOpen_ = false; });
}

}  // namespace vandrel
