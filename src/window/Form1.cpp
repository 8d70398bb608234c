#include "window/Form1.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <exception>

#include "core/DirectoryAddress.h"
#include "core/ProgramFolder.h"
#include "markup/DownloadInfoSettings.h"
#include "markup/Markora.h"
#include "platform/Accessibility.h"
#include "platform/Caption.h"
#include "platform/HtmlView.h"
#include "platform/MessageBox.h"
#include "platform/Named.h"
#include "platform/Stacking.h"
#include "platform/Twips.h"
#include "window/Favourites.h"
#include "window/Form1Layout.h"
#include "window/Form1Menus.h"

namespace vandrel {

Form1::Form1(Environment environment, QWidget* parent)
    : QWidget(parent),
      List1Box(nullptr),
      env_(std::move(environment)),
      controller_({env_.player, DirectoryHostName(env_.baseAddress) + "/",
                   env_.settingsFolder.empty() ? env_.programFolder : env_.settingsFolder, {List1Box, List2, List3}}),
      playerState_(env_.player.state()),
      streamTitle_(env_.player.streamTitle()),
      texts_(InFolder(env_.programFolder, "lang.ini"), [this] { return gESelecteerdland; }),
      boxes_(texts_, this) {
  createControls();
  LayOutForm1(*this);
  RaiseWindowedControls(this);
  MarkControlFocus(this);
  // The controls follow the controller.
  connect(&controller_, &StationController::stationChanged, this, &Form1::showStation);
  connect(&controller_, &StationController::volumeChanged, Slider1, &QSlider::setValue);
  connect(&controller_, &StationController::countryChanged, this,
          [this](const QString& country) { TaalGeselecteerdTekst->setText(country), GiveRoom(TaalGeselecteerdTekst); });
  connect(&controller_, &StationController::reloadRequested, &Timer1, qOverload<>(&QTimer::start));

  playOnEveryClick(List1, &Form1::List1_Click);
  connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
  connect(stopspelen, &QAction::triggered, this, &Form1::stopspelen_Click);
  connect(Slider1, &QSlider::valueChanged, this, &Form1::Slider1_Change);
  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
  playOnEveryClick(File1, &Form1::File1_Click);
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
    makeClickable(link.control, link.hand, QString::fromUtf8(link.pictureName));
    clickHandlers_[link.control] = link.click;
  }
  orderTabs();
  connect(WebBrowser1, &WebPanel::viewCreated, this, &Form1::orderTabs);
  connect(open, &QAction::triggered, this, &Form1::open_Click);
  connect(sluit, &QAction::triggered, this, &Form1::sluit_Click);
  connect(&TrayIcon1, &TrayIcon::Click, this, &Form1::TrayIcon1_Click);
  connect(&TrayIcon1, &TrayIcon::RightClick, this, &Form1::TrayIcon1_RightClick);
  connect(&env_.player, &MediaPlayer::stateChanged, this, [this](const PlayerState& state) {
    playerState_ = state;
    showStatus();
  });
  connect(&env_.player, &MediaPlayer::titleChanged, this, [this](const QString& title) {
    streamTitle_ = title.toStdString();
    showStatus();
  });
  connect(&env_.player, &MediaPlayer::errorOccurred, this, &Form1::showPlayerError);

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
  menus_ = std::make_unique<Form1Menus>(*this);
  Form_Load();
}

Form1::~Form1() = default;

void Form1::playOnEveryClick(QListWidget* list, void (Form1::*handler)()) {
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

void Form1::createControls() {
  setObjectName("Form1");
  setWindowTitle("Vandrel Internet Radio");
  setAttribute(Qt::WA_StyledBackground);
  applyLook();

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
  List1Box.AddItem(texts_.text("error14"));
  WebBrowser1->Navigate(env_.baseAddress + "radio/inter/website/index.php?wat=home&lang=" + gESelecteerdland);
  Timer5.start();
  Timer3.start();
  Timer2.start();
  Timer1.start();
}

void Form1::orderTabs() {
  QWidget* const panel = WebBrowser1->view() != nullptr ? static_cast<QWidget*>(WebBrowser1->view()) : WebBrowser1;
  QWidget* const order[] = {Label1,   Label12, Label4, Label5, List1,  File1, Command1, Command2, Command3,
                            TaalGeselecteerdTekst, Label3, Label9, Slider1, panel, Image3, Image4};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void Form1::makeClickable(QLabel* control, bool hand, const QString& pictureName) {
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

DirectoryPorts Form1::directoryPorts() { return {env_.http, DownloadInfo, env_.baseAddress, texts_, controller_}; }

void Form1::Timer1_Timer() {
  // Stopped first: the download runs a nested event loop in which this timer
  // must not tick again.
  Timer1.stop();
  try {
    LaadLijst_Radio(controller_.countryFile());
    // A station list on the screen: a play is near, so libmpv opens now, on
    // its own thread, and the first play starts sooner. Not in the tray.
    if (isVisible() && List1->count() > 0) env_.player.prepare();
  } catch (const std::exception&) {
    boxes_.errorBox("error10");
    Timer1.start();
  }
}

void Form1::LaadLijst_Radio(const std::string& bestand) {
  if (!LoadStationLists(env_.http, DownloadInfo, env_.baseAddress, bestand, {List1Box, List2, List3})) {
    boxes_.errorBox("error10");
  }
}

void Form1::List1_Click() {
  try {
    const int i = List1->currentRow();
    controller_.station().play({List1Box.List(i), List2.List(i), List3.List(i)});
  } catch (const std::exception&) {
    boxes_.errorBox("error15");
  }
}

void Form1::Command1_Click() { AddFavourite({controller_, File1Box, texts_, boxes_, this}); }

void Form1::Command2_Click() { RemoveFavourite({controller_, File1Box, texts_, boxes_, this}); }

void Form1::File1_Click() { PlayFavourite({controller_, File1Box, texts_, boxes_, this}); }

void Form1::Command3_Click() { controller_.station().stop(); }

void Form1::stopspelen_Click() { controller_.station().stop(); }

void Form1::Slider1_Change() { controller_.setVolume(Slider1->value()); }

void Form1::Label9_Click() { controller_.setVolume(0); }

void Form1::showStatus() {
  // The caption cuts what does not fit as it paints; the tip always holds the whole line.
  QString status = QString::fromStdString(StatusText(playerState_, streamTitle_));
  if (menus_ && menus_->recorder().recording()) status += " \u25CF " + QString::fromStdString(texts_.text("xrecording"));
  Label14->setText(status);
  GiveRoom(Label14);
  Label14->setToolTip(PlainTip(status));
}

void Form1::showStation() {
  ZenderNaam->setText(QString::fromStdString(controller_.station().name()));
  GiveRoom(ZenderNaam);
  // A station the list gives no homepage has no website to lead to.
  Label3->setEnabled(!RadioUrl().empty());
}

void Form1::showPlayerError(const QString& cause) {
  if (errorBoxOpen_) return;
  errorBoxOpen_ = true;
  ShowMessageBoxLater(this, QMessageBox::Information, texts_.text("error0"), texts_.text("error18"),
                      cause.toStdString(), [this] { errorBoxOpen_ = false; });
}

}  // namespace vandrel
