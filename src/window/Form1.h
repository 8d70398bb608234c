#pragma once

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "control/DirectoryPorts.h"
#include "control/StationController.h"
#include "core/HttpClient.h"
#include "core/LanguageTable.h"
#include "core/ListBox.h"
#include "core/TextHolder.h"
#include "markup/MarkoraTextHolder.h"
#include "platform/Anchors.h"
#include "platform/FileListBox.h"
#include "platform/LanguageBoxes.h"
#include "platform/Launcher.h"
#include "platform/MediaPlayer.h"
#include "platform/QtListBox.h"
#include "platform/TrayIcon.h"
#include "platform/WebPanel.h"

namespace vandrel {

class Form1Menus;

// The main window: a view of its controller, which holds the current station,
// volume and country. Controls keep the names the rest of the program knows
// them by; the handlers under those names only pass on to the controller.
class Form1 : public QWidget {
  Q_OBJECT

 public:
  struct Environment {
    std::string programFolder;
    std::string baseAddress;  // of the station directory server, ends in "/"
    HttpClient& http;         // Inet1
    MediaPlayer& player;      // WindowsMediaPlayer1
    // Ends the program once the window has closed for good.
    std::function<void()> endProgram = [] { QCoreApplication::quit(); };
    // Opens web addresses in the browser; the desktop's own when null.
    Launcher* launcher = nullptr;
    // How long a start into the notification area waits for one to come: at
    // login the panel often starts after the program.
    std::chrono::milliseconds trayWait = std::chrono::seconds(10);
    // Holds INST.INI and favo/; the program folder when empty.
    std::string settingsFolder = {};
  };

  explicit Form1(Environment environment, QWidget* parent = nullptr);
  ~Form1() override;

  // Handlers.
  void LaadLijst_Radio(const std::string& bestand);
  void List1_Click();
  void File1_Click();
  void Command1_Click();  // add a favourite
  void Command2_Click();  // remove a favourite
  void Command3_Click();
  void stopspelen_Click();
  void Slider1_Change();
  void Label1_Click();   // country chooser
  void Label12_Click();  // station search
  void Label4_Click();   // settings
  void TaalGeselecteerdTekst_Click();
  void Label5_Click();   // information page
  void Label3_Click();   // station homepage
  void Image4_Click();   // e-cards
  void Image3_Click();   // project home page
  void Label9_Click();   // mute
  void WebBrowser1_NavigateError();
  void TrayIcon1_Click();
  void TrayIcon1_RightClick();
  void open_Click();
  void sluit_Click();
  // Says once, when the program has started, that nothing it keeps can be
  // saved in either folder, instead of failing at each save.
  void settingsNotWritable(const std::string& userFolder);
  // Saves the remembered keys; sets cancel when the window only goes to the
  // notification area.
  void Form_Unload(bool& cancel);

  // Visible controls, top of the window first.
  QLabel* Image2;  // background, below everything
  QLabel* Image1;  // header
  QLabel* Label1;
  QLabel* Label12;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label7;
  QLabel* Label11;
  QLabel* Label8;
  QLabel* Label10;
  QListWidget* List1;
  QListWidget* File1;
  FileListBox File1Box{nullptr};
  WebPanel* WebBrowser1;
  QPushButton* Command1;
  QPushButton* Command2;
  QPushButton* Command3;
  QLabel* Image4;
  QLabel* Image3;
  QLabel* Label2;
  QLabel* TaalGeselecteerdTekst;
  QLabel* Label6;
  QLabel* ZenderNaam;
  QLabel* Label3;
  QLabel* Label13;
  QLabel* Label14;
  QFrame* Line1;
  QLabel* Label9;
  QSlider* Slider1;
  Anchors* layoutAnchors = nullptr;  // how the controls follow a larger window

  // State holders kept out of sight.
  std::string gESelecteerdland = "english";
  QtListBox List1Box;
  StringListBox List2;
  StringListBox List3;
  MarkoraTextHolder DownloadInfo;  // a hidden markup box
  // The current station's homepage, opened by the homepage link.
  const std::string& RadioUrl() const { return controller_.station().homepage(); }
  // The current country's list file.
  const std::string& TaalGeselecteerd() const { return controller_.countryFile(); }

  // The notification-area menu.
  QMenu IconTray;
  QAction* stopspelen;
  QAction* bla;
  QAction* open;
  QAction* streep;
  QAction* sluit;

  TrayIcon TrayIcon1;

  QTimer Timer1;  // station list, 1000 ms
  QTimer Timer2;  // skin pictures, 500 ms
  QTimer Timer3;  // start-up sequence, 200 ms
  QTimer Timer4;  // final exit, 100 ms, armed by "Close"
  QTimer Timer5;  // captions, 20 ms

  const LanguageTable& texts() const { return texts_; }
  const LanguageBoxes& boxes() const { return boxes_; }
  StationController& controller() { return controller_; }
  // What the country chooser and the station search work with.
  DirectoryPorts directoryPorts();
  Form1Menus& menus() { return *menus_; }

 protected:
  friend class Form1Menus;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void Form_Load();
  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();
  void waitForTray();
  void makeClickable(QLabel* control, bool hand, const QString& pictureName);
  // Keys go in reading order, the picture links last.
  void orderTabs();
  // The style and focus colours of the palette's set, light or dark.
  void applyLook();
  void showSkin(QLabel* image, const char* name, double keepLeft = 0);
  // Puts the dialog skins on a dialog's background and title bar.
  void skinDialog(QLabel* image1, QLabel* image2);
  // Creates a dialog (its own opening code runs), skins and shows it; any
  // failure on the way gives the "error12" box instead.
  template <typename Dialog, typename... Args>
  void openSkinnedDialog(Args&&... args);
  void openInBrowser(const std::string& address);
  void Timer4_Timer();
  void Timer5_Timer();
  const std::string& settingsFolder() const { return controller_.settingsFolder(); }
  void showStatus();
  // One box at a time, never while another box is open; the cause is its second line.
  void showPlayerError(const QString& cause);
  void showStation();
  // A click on the line already selected plays it again (after a stop or an
  // error); a click that changes the selection plays through the selection.
  void playOnEveryClick(QListWidget* list, void (Form1::*handler)());

  Environment env_;
  QTimer trayWait_;  // looks for a notification area that is late
  StationController controller_;
  // What the player said last: the status line is made of both.
  PlayerState playerState_;
  std::string streamTitle_;
  std::map<QObject*, bool> clickedLists_;  // a list's viewport -> its last press changed the selection
  DesktopLauncher desktopLauncher_;
  std::map<QObject*, void (Form1::*)()> clickHandlers_;
  LanguageTable texts_;
  LanguageBoxes boxes_;
  bool errorBoxOpen_ = false;
  bool dark_ = false;  // the look applied last
  std::unique_ptr<Form1Menus> menus_;  // last: it works on everything above
};

}  // namespace vandrel
