// The window's looks: skins, captions, and the dialogs and links it opens.
#include <exception>

#include "core/BrowserLinks.h"
#include "core/ProgramFolder.h"
#include "core/Registry.h"
#include "dialogs/Captions.h"
#include "dialogs/Form2.h"
#include "dialogs/Form3.h"
#include "dialogs/Form4.h"
#include "platform/Accessibility.h"
#include "platform/Caption.h"
#include "platform/Palette.h"
#include "shell/SkinPicture.h"
#include "window/Form1.h"

namespace vandrel {

namespace {

// The look the window has before (or without) its skin pictures.
constexpr const char* kStyle = R"(
  #Form1 { background: @background; }
  #Form1 > QLabel { color: @text; }
  #Form1 > #Image1 { background: @header; }
  #Form1 > #Label1, #Form1 > #Label12, #Form1 > #Label4, #Form1 > #Label5 { color: @headerText; }
  #Form1 > #Label7, #Form1 > #Label11 { color: @navy; }
  #Form1 > #Label3 { color: @link; }
  #Form1 > #Label3:disabled { color: @muted; }
  #Form1 > QLabel:focus { text-decoration: underline; }
  #Form1 > #WebBrowser1 { background: @page; border: 1px solid @frame; }
  #Form1 > #Line1 { color: @frame; }
  #WebBrowser1 QScrollBar:vertical { background: @groove; width: 12px; margin: 0; }
  #WebBrowser1 QScrollBar::handle:vertical { background: @thumb; min-height: 24px; margin: 2px; border-radius: 4px; }
  #WebBrowser1 QScrollBar::add-line:vertical, #WebBrowser1 QScrollBar::sub-line:vertical { height: 0; }
  #WebBrowser1 QScrollBar::add-page:vertical, #WebBrowser1 QScrollBar::sub-page:vertical { background: none; }
)";

}  // namespace

void Form1::applyLook() {
  dark_ = IsDarkPalette();
  UseFocusColours(*this, dark_);
  setStyleSheet(WithPalette(kStyle, dark_));
}

void Form1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  const auto type = event->type();
  // The desktop turned dark or light: the look follows, the skins too once shown.
  if ((type == QEvent::ApplicationPaletteChange || type == QEvent::PaletteChange) && IsDarkPalette() != dark_) {
    applyLook();
    FrameList(List1), FrameList(File1);
    if (!Timer2.isActive()) Timer2_Timer();
  }
}

void Form1::Timer2_Timer() {
  // Stopped while its box is open, so boxes do not pile up; tried again after.
  Timer2.stop();
  try {
    showSkin(Image1, "head.skn", 0.5);  // the logo half keeps its shape
    showSkin(Image2, "frame1.skn");
    Image2->resize(width(), height());
    layoutAnchors->rebase(Image2);
  } catch (const std::exception&) {
    boxes_.errorBox("error16");
    Timer2.start();
  }
}

void Form1::showSkin(QLabel* image, const char* name, double keepLeft) {
  const std::string file = SkinFile(env_.programFolder, name, dark_);
  SetPicture(image, QString::fromStdString(file), LoadSkin(file), keepLeft);
}

void Form1::skinDialog(QLabel* image1, QLabel* image2) {
  showSkin(image1, "frame1.skn");
  showSkin(image2, "balk1.skn");
}

template <typename Dialog, typename... Args>
void Form1::openSkinnedDialog(Args&&... args) {
  try {
    Dialog form(std::forward<Args>(args)...);
    skinDialog(form.Image1, form.Image2);
    form.exec();
  } catch (const std::exception&) {
    boxes_.errorBox("error12");
  }
}

void Form1::Label1_Click() { openSkinnedDialog<Form2>(directoryPorts(), this); }

void Form1::Label12_Click() { openSkinnedDialog<Form3>(directoryPorts(), this); }

void Form1::Label4_Click() {
  openSkinnedDialog<Form4>(Form4::Environment{env_.programFolder,
                                              QCoreApplication::applicationFilePath().toStdString(), texts_,
                                              DefaultAutostartFolder(), settingsFolder()},
                           this);
}

void Form1::TaalGeselecteerdTekst_Click() { Label1_Click(); }

void Form1::Label5_Click() { WebBrowser1->Navigate(env_.baseAddress + "radio/inter/website/index.php?wat=about"); }

void Form1::openInBrowser(const std::string& address) {
  try {
    if (!IsWebAddress(address)) throw LaunchError("not a web address: " + address);
    (env_.launcher != nullptr ? *env_.launcher : desktopLauncher_).open(address);
  } catch (const std::exception&) {
    boxes_.errorBox("error12");
  }
}

void Form1::Label3_Click() {
  if (!RadioUrl().empty()) openInBrowser(HomepageAddress(RadioUrl()));
}

void Form1::Image4_Click() { openInBrowser(env_.baseAddress + "ecards/"); }

void Form1::Image3_Click() { openInBrowser(kProjectHomePage); }

void Form1::WebBrowser1_NavigateError() {
  std::string text;
  try {
    text = texts_.text("error1");
  } catch (const std::exception&) {
    // the page stays empty rather than wrong
  }
  WebBrowser1->Navigate("about:" + text);
}

void Form1::Timer5_Timer() {
  try {
    SetCaptions(texts_,
                {{Label1, "label1"},   {Label12, "label12"},   {Label4, "label4"},     {Label5, "label5"},
                 {Label7, "label7"},   {Label11, "label11"},   {Label8, "label8"},     {Label10, "label10"},
                 {Label2, "label2"},   {Label6, "label6"},     {Label3, "label3"},     {Label13, "label13"},
                 {Label14, "label14"}, {Label9, "label9"},     {Command1, "command1"}, {Command2, "command2"},
                 {Command3, "command3"}},
                true);  // longer captions (Dutch) take the free room beside them
  } catch (const std::exception&) {
    return;  // tried again at the next tick
  }
  NameBuddies(this);
  Timer5.stop();
}

}  // namespace vandrel
