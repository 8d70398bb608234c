// The four windows in both languages, palettes and sizes; where windows and boxes stand.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "dialogs/Form2.h"
#include "dialogs/Form3.h"
#include "dialogs/AlarmDialog.h"
#include "dialogs/Form4.h"
#include "dialogs/HistoryWindow.h"
#include "dialogs/StationDialog.h"
#include "window/Form1Menus.h"
#include "platform/Caption.h"
#include "platform/HtmlView.h"
#include "platform/Stacking.h"
#include "platform/WindowGeometry.h"
#include "shell/SkinPicture.h"
#include "support/BoxCloser.h"
#include "support/ProgramFolderFixture.h"
#include "support/ShownTip.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

double Contrast(QColor a, QColor b) {
  auto lum = [](QColor c) {
    auto ch = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * ch(c.redF()) + 0.7152 * ch(c.greenF()) + 0.0722 * ch(c.blueF()) + 0.05;
  };
  return std::max(lum(a), lum(b)) / std::min(lum(a), lum(b));
}

// The median colour of the rim round a text: a skin's gradient has no single most frequent one.
QColor Behind(const QImage& shot, const QRect& r) {
  const qreal k = shot.devicePixelRatio();
  const QRect area = QRect(r.topLeft() * k, r.size() * k).adjusted(-1, -1, 1, 1);
  std::vector<QColor> rim;
  for (int x = area.left(); x <= area.right(); ++x)
    for (int y : {area.top(), area.bottom()}) rim.emplace_back(shot.pixel(x, y));
  std::nth_element(rim.begin(), rim.begin() + rim.size() / 2, rim.end(),
                   [](QColor a, QColor b) { return a.lightnessF() < b.lightnessF(); });
  return rim[rim.size() / 2];
}

// Where a label draws its text, in the window; empty when it shows none.
QRect TextRect(QWidget* window, QWidget* w) {
  auto* label = qobject_cast<QLabel*>(w);
  if (label == nullptr || !label->pixmap().isNull() || label->text().isEmpty()) return {};
  const QRect area = label->contentsRect();
  const QSize size = label->wordWrap() ? QSize(area.width(), label->heightForWidth(area.width()))
                                       : QSize(std::min(label->fontMetrics().horizontalAdvance(label->text()),
                                                        area.width()), label->fontMetrics().height());
  const QRect rect = QStyle::alignedRect(label->layoutDirection(), label->alignment(), size, area);
  return QRect(label->mapTo(window, rect.topLeft()), rect.size());
}

// A control as the window shows it, over what lies behind it.
QImage Shot(QWidget* window, QWidget* w) { return window->grab(QRect(w->mapTo(window, QPoint()), w->size())).toImage(); }

// What a change of state shows: the contrast that at least a few of the pixels it changed reach against what
// they were (a mark is more than a stray pixel, and may lie among fainter changes of the style's own); 1 for none.
double ChangeContrast(const QImage& before, const QImage& after) {
  std::vector<double> changed;
  for (int y = 0; y < std::min(before.height(), after.height()); ++y)
    for (int x = 0; x < std::min(before.width(), after.width()); ++x)
      if (before.pixel(x, y) != after.pixel(x, y)) changed.push_back(Contrast(before.pixel(x, y), after.pixel(x, y)));
  const auto few = std::min<std::size_t>(changed.size(), std::lround(6 * before.devicePixelRatio() * before.devicePixelRatio()));
  if (few == 0) return 1;
  std::nth_element(changed.begin(), changed.begin() + (few - 1), changed.end(), std::greater<>());
  return changed[few - 1];
}

// The web panel's page: each line of it (rows with ink between rows without) against the page's corner.
void ExpectReadablePage(HtmlView* view, const std::string& where) {
  const QImage page = view->viewport()->grab().toImage();
  test::SaveScreenshot(page, where + ".png");
  int lines = 0;
  double ink = 1;
  for (int y = 0; y <= page.height(); ++y) {
    double row = 1;
    for (int x = 0; y < page.height() && x < page.width(); ++x) row = std::max(row, Contrast(page.pixel(x, y), page.pixel(0, 0)));
    if (row > 1) ink = std::max(ink, row);
    if (row > 1 || ink == 1) continue;
    EXPECT_GE(ink, 4.5) << where << " line " << lines + 1;
    ink = 1, ++lines;
  }
  EXPECT_GT(lines, 0) << where;
}

class WindowLayoutTest : public test::ProgramFolderFixture {
 protected:
  Form1& StartShown() {
    Set("Online Radio", "xsluiten", "1");  // shown, as shipped; its close box ends it
    auto& form = Start();
    EXPECT_TRUE(StartedUp() && QTest::qWaitForWindowExposed(&form));
    return form;
  }

  // Nothing cut, covered or unreadable (the whole not even with a tip); with reach, Tab stops are named and show the focus.
  void ExpectFit(QWidget* window, const std::string& where, bool reach, const std::vector<QWidget*>& whole = {}) {
    const QImage shot = window->grab().toImage();  // painting decides what is elided
    test::SaveScreenshot(shot, where + ".png");
    if (reach) {
      ASSERT_TRUE(test::WaitUntil([&] { return window->activateWindow(), window->isActiveWindow(); }, 5s));
      window->setAttribute(Qt::WA_KeyboardFocusChange);  // as after a Tab
    }
    std::vector<QWidget*> shown;  // bottom first: later siblings lie above
    for (QObject* child : window->children())
      if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow() && w->isVisibleTo(window)) shown.push_back(w);
    for (QWidget* w : shown) {
      const std::string name = where + " " + w->objectName().toStdString();
      if (auto* label = qobject_cast<QLabel*>(w); label && !TextRect(window, w).isEmpty()) {
        const QRect area = label->contentsRect();
        if (label->wordWrap()) {
          EXPECT_LE(label->heightForWidth(area.width()), area.height()) << name;
        } else if (label->fontMetrics().horizontalAdvance(label->text()) > area.width()) {
          auto* caption = qobject_cast<Caption*>(label);
          const bool mayCut = std::ranges::find(whole, w) == whole.end();
          EXPECT_TRUE(mayCut && caption && caption->elided() && test::ShownTip(label->toolTip()) == label->text()) << name << " is cut";
        }
        EXPECT_LE(label->fontMetrics().height(), area.height() + 1) << name;
        EXPECT_GE(Contrast(label->palette().color(label->foregroundRole()), Behind(shot, TextRect(window, w))), 4.5) << name;
      }
      if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        const int needs = qobject_cast<QCheckBox*>(w) ? w->sizeHint().width() - 1
                                                      : button->fontMetrics().horizontalAdvance(button->text()) + 6;
        EXPECT_LE(needs, w->width()) << name;
      }
      if (auto* box = qobject_cast<QCheckBox*>(w)) {  // the tick against the box
        const Qt::CheckState was = box->checkState();
        box->setCheckState(Qt::Unchecked);
        const QImage clear = Shot(window, box);
        // Unticked, the box's edge stands out from its inside (3:1, as for any control's edge).
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        const qreal k = clear.devicePixelRatio();
        double edge = 0;
        for (int x = mark.left() * k; x < (mark.left() + 3) * k; ++x)
          edge = std::max(edge, Contrast(clear.pixelColor(x, mark.center().y() * k), clear.pixelColor(mark.center() * k)));
        EXPECT_GE(edge, 3.0) << name << " box";
        box->setCheckState(Qt::Checked);
        EXPECT_GE(ChangeContrast(clear, Shot(window, box)), 4.5) << name << " tick";
        box->setCheckState(was);
      }
      if (auto* list = qobject_cast<QListWidget*>(w)) {
        const int ink = QFontMetrics(list->font()).boundingRect(QStringLiteral("ÅÖÉgjpqy")).height();
        for (int row = 0; row < list->count(); ++row) {
          const QRect at = list->visualItemRect(list->item(row));
          EXPECT_GE(at.height(), ink + 2) << name;
          const int seen = std::min(at.width(), list->viewport()->width() - at.x());  // a row may reach past its list
          const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
          if (at.isEmpty() || QFontMetricsF(list->font()).horizontalAdvance(list->item(row)->text()) + margins <= seen) continue;
          EXPECT_EQ(std::ranges::find(whole, w), whole.end()) << name << " cuts " << list->item(row)->text().toStdString();
          if (!list->viewport()->rect().contains(at.center())) continue;  // only a row in sight shows a tip
          QHelpEvent ask(QEvent::ToolTip, at.center(), list->viewport()->mapToGlobal(at.center()));
          QApplication::sendEvent(list->viewport(), &ask);
          EXPECT_EQ(test::ShownTip(QToolTip::text()), list->item(row)->text()) << name << " row " << row;
        }
      }
      if (reach && (w->focusPolicy() & Qt::TabFocus)) {
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(w);
        EXPECT_FALSE(spoken->text(QAccessible::Name).isEmpty()) << name;
        EXPECT_TRUE(!w->property("vandrelLink").toBool() || spoken->role() == QAccessible::Link) << name;
        window->setFocus();
        const QImage before = Shot(window, w);
        w->setFocus(Qt::TabFocusReason);
        EXPECT_GE(ChangeContrast(before, Shot(window, w)), 3) << name << " shows no focus";
      }
    }
    // No cover over a text, no label over a windowed control, two controls share at most the design's rounding.
    for (std::size_t i = 0; i < shown.size(); ++i)
      for (std::size_t j = i + 1; j < shown.size(); ++j) {
        QWidget *lower = shown[i], *upper = shown[j];
        const std::string pair = where + " " + (upper->objectName() + " over " + lower->objectName()).toStdString();
        const auto* label = qobject_cast<QLabel*>(upper);
        const QRect cover = label && label->pixmap().isNull() ? TextRect(window, upper) : upper->geometry();
        EXPECT_FALSE(cover.intersects(TextRect(window, lower))) << pair;
        const QRect both = upper->geometry().intersected(lower->geometry());
        const bool apart = IsWindowless(upper) ? both.isEmpty() : std::min(both.width(), both.height()) <= 1;
        EXPECT_TRUE(IsWindowless(lower) || apart) << pair;
      }
  }
  // The panel's pages, the directory's and the program's own, with a scroll thumb and a frame for the focus that
  // show; a page with colours of its own keeps them readable.
  void ExpectPanel(Form1& form, const std::string& shade) {
    HtmlView* view = form.WebBrowser1->view();
    ASSERT_TRUE(test::WaitUntil([&] { return view != nullptr && !form.WebBrowser1->shownText().isEmpty(); }, 10s));
    QScrollBar* bar = view->verticalScrollBar();
    const QImage top = Shot(&form, bar);
    bar->setValue(bar->maximum());  // the thumb where the groove was
    EXPECT_GE(ChangeContrast(top, Shot(&form, bar)), 3) << shade << " scroll thumb";
    bar->setValue(0);
    for (const auto& [page, html] : {std::pair<const char*, QString>{"start", {}},
                                     {"own", "<body style='color:#333'><p>Grey on the white it was made for</p>"},
                                     {"error", {}}}) {
      if (page == std::string("error")) form.WebBrowser1->Navigate("about:" + form.texts().text("error1"));
      if (!html.isEmpty()) view->setHtml(html);
      ExpectReadablePage(view, std::string("panel-") + page + "-" + shade);
    }
    const QImage before = Shot(&form, view->viewport());  // on the error page, whose edges are blank
    view->setFocus(Qt::TabFocusReason);
    EXPECT_GE(ChangeContrast(before, Shot(&form, view->viewport())), 3) << shade << " panel shows no focus";
    view->clearFocus();
  }
};

TEST_F(WindowLayoutTest, EveryWindowFitsItsTextsInBothLanguagesPalettesAndSizes) {
  test::BoxCloser boxes;
  const QPalette light = QApplication::palette();
  QPalette night(QColor(0x3a3a3a), QColor(0x2b2b2b));  // button, window; text colours follow
  night.setColor(QPalette::Base, QColor(0x1e1e1e));
  const std::string scale = QApplication::primaryScreen()->devicePixelRatio() > 1.5 ? "2x" : "1x";
  // Fit is the light passes' business, contrast both palettes'.
  for (const auto& [dark, languages] : {std::pair{false, std::vector<std::string>{"english", "nederlands"}},
                                        std::pair{true, std::vector<std::string>{"english", "nederlands"}}}) {
    QApplication::setPalette(dark ? night : light);  // as the desktop hands it over at start
    dir_.write("history.txt", "1796799600\tNPO Radio 2\tArtist - A song with a long title, as some have\n"
                              "1796799900\tVandrel Testtoon\tVandrel test tone - 440 Hz\n");
    auto& form = StartShown();
    ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() > 1 && !form.Timer2.isActive(); }, 10s));
    for (const std::string& language : languages) {
      form.gESelecteerdland = language;
      form.Timer5.start();
      ASSERT_TRUE(test::WaitUntil([&] { return !form.Timer5.isActive(); }, 5s));
      Form2 chooser(form.directoryPorts(), &form);
      Form3 search(form.directoryPorts(), &form);
      Form4 settings({folder_.string(), "/usr/bin/vandrel-radio", form.texts(), folder_.string()}, &form);
      StationDialog station(form.texts(), "", "", &form);
      HistoryWindow history(form.menus().songLog(), form.texts(), nullptr, &form);
      AlarmDialog alarm(form.menus().alarm(), {folder_.string(), "/usr/bin/vandrel-radio", form.texts(),
                                               folder_.string(), folder_.string()}, &form);
      test::WaitUntil([&] { return !chooser.Timer1.isActive(); }, 5s);
      for (auto [window, title] : {std::pair<QWidget*, const char*>{&form, "main"}, {&chooser, "chooser"},
                                   {&search, "search"}, {&settings, "settings"}, {&station, "station"},
                                   {&history, "history"}, {&alarm, "alarm"}}) {
        if (auto* dialog = qobject_cast<QDialog*>(window)) {
          for (auto [image, name] : {std::pair{"Image1", "frame1.skn"}, {"Image2", "balk1.skn"}}) {
            const std::string file = SkinFile(folder_.string(), name, dark);
            SetPicture(dialog->findChild<QLabel*>(image), QString::fromStdString(file), LoadSkin(file));
          }
          dialog->setModal(false);
          dialog->show();
          EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        }
        const QSize design = window->size();
        for (const bool enlarged : {false, true}) {
          if (enlarged && window->minimumSize() == window->maximumSize()) continue;  // the settings keep their size
          window->resize(design + (enlarged ? QSize(180, 120) : QSize()));
          if (window == &form && enlarged && language == "english") test::Pump(600ms);  // the web page's new size
          const std::string tone = (dark ? "dark-" : "light-") + scale;
          ExpectFit(window, std::string(title) + "-" + language + (enlarged ? "-enlarged-" : "-design-") + tone, !enlarged && language == "english");
          if (window == &form && !enlarged && language == "english") ExpectPanel(form, tone);
        }
        window->resize(QSize(10, 10));  // no window shrinks below its design
        EXPECT_EQ(window->size(), design) << title;
        if (window != &form) window->hide();
      }
      const std::string shade = std::string("-") + language + (dark ? "-dark-" : "-light-") + scale + ".png";
      for (auto [menu, name] : {std::pair<QMenu*, const char*>{&form.IconTray, "menu-tray"},
                                {&form.menus().favouritesMenu(), "menu-favourites"},
                                {&form.menus().stationsMenu(), "menu-stations"},
                                {&form.menus().sleepMenu(), "menu-sleep"}, {&form.menus().recordMenu(), "menu-record"}}) {
        emit menu->aboutToShow();  // the texts of this language
        menu->popup(form.mapToGlobal(QPoint(40, 40)));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
        for (QAction* action : menu->actions()) EXPECT_TRUE(!action->isVisible() || action->isSeparator() || !action->text().isEmpty()) << name;
        test::SaveScreenshot(*menu, name + shade);
        menu->hide();
      }
    }
  }
  QApplication::setPalette(light);
}

// The main window comes back where it was, or centred, and a long remembered name leaves the name where the larger
// window puts it; boxes stand over the window that raised them, or the screen.
TEST_F(WindowLayoutTest, TheMainWindowComesBackWhereItWasAndBoxesStandOverTheirWindow) {
  const QSize design = StartShown().size();
  const QRect screen = QApplication::primaryScreen()->availableGeometry();
  QRect centred(QPoint(), design);
  centred.moveCenter(screen.center());
  const QRect moved(screen.topLeft() + QPoint(40, 30), design + QSize(150, 100));
  form_->setGeometry(moved);
  ASSERT_TRUE(test::WaitUntil([&] { return form_->geometry() == moved; }, 2s));
  form_->close();
  Set("Online Radio", "grootscherm", "0");  // hidden while the long name takes its room
  Set("Onthouden", "LaatsteNAAM", "A station name too long for its label");
  trayWait_ = 100ms;
  auto& form = Start();
  ASSERT_TRUE(StartedUp());
  form.controller().station().playNamed("Radio Een", Tone(600));
  form.open_Click();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.geometry(), moved);
  EXPECT_EQ(form.ZenderNaam->y(), form.Label6->y());  // beside "Station:", not under the lists
  EXPECT_GT(form.ZenderNaam->y(), form.List1->geometry().bottom());
  ASSERT_TRUE(test::WaitUntil([&] { return form.WebBrowser1->view() != nullptr; }, 5s));
  // Tab's way: reading order, picture links last
  const std::vector<QWidget*> reading{form.Label1, form.Label12, form.Label4, form.Label5, form.List1, form.File1,
                                      form.Command1, form.Command2, form.Command3, form.TaalGeselecteerdTekst, form.Label3,
                                      form.Label9, form.Slider1, form.WebBrowser1->view(), form.Image3, form.Image4};
  std::vector<QWidget*> tabbed;
  QWidget* next = form.Label1;
  for (int step = 0; step < 500 && tabbed.size() < reading.size(); ++step, next = next->nextInFocusChain()) {
    if (std::ranges::find(reading, next) != reading.end()) tabbed.push_back(next);
  }
  EXPECT_EQ(tabbed, reading);
  const auto at = [&](int x, int y, int w, int h) { return GeometryText(QRect(screen.topLeft() + QPoint(x, y), QSize(w, h))); };
  const int r = screen.width(), b = screen.height();  // partly off screen: moved on; larger than it: shrunk to it
  for (const auto& [value, expected] : {std::pair<QString, QRect>{"30000,30000,700,600", centred}, {"12,x", centred},
                                        {at(20, 20, 100, 100), QRect(screen.topLeft() + QPoint(20, 20), centred.size())},
                                        {at(-500, 100, 700, 600), QRect(screen.left(), screen.top() + 100, 700, 600)},
                                        {at(r - 100, b - 50, 700, 600), QRect(screen.topLeft() + QPoint(r - 700, b - 600), QSize(700, 600))},
                                        {at(100, 100, 3 * r, 3 * b), screen}}) {
    EXPECT_EQ(RestoredGeometry(value, design), expected) << value.toStdString();
  }
  // On a screen smaller than the design the window takes the screen, wherever it was or if nowhere.
  for (const QString& value : {QString("12,x"), at(100, 100, 700, 600), at(-500, -500, 3 * r, 3 * b)})
    EXPECT_EQ(RestoredGeometry(value, QSize(2 * r, 2 * b)), screen) << value.toStdString();

  Form2 chooser(form.directoryPorts(), &form);
  chooser.setModal(false);
  chooser.show();
  chooser.move(form.pos() + QPoint(200, 150));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
  const auto boxCentre = [](const auto& raise) {
    QPoint seen;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      // A dialog's frame: no minimize or maximize, and room for the title.
      EXPECT_FALSE(box->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
      EXPECT_GT(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()) + 60);
      seen = box->geometry().center(), box->accept();
    });
    look.start(20);
    raise();
    return seen;
  };
  EXPECT_LE((boxCentre([&] { chooser.Command1_Click(); }) - chooser.geometry().center()).manhattanLength(), 3);
  chooser.hide();
  form.hide();
  EXPECT_LE((boxCentre([&] { form.boxes().noticeBox("error2"); }) - screen.center()).manhattanLength(), 3);
}

// Wider than its design, the window gives the lists room for every shipped station's name and the status line room
// for its text; on a screen smaller than the design it is smaller, never beyond the screen.
TEST_F(WindowLayoutTest, TheMainWindowGivesTheNamesRoomAndFitsItsScreen) {
  Form1& form = StartShown();
  const QSize design(666, 535);
  const QRect screen = form.screen()->availableGeometry();
  EXPECT_EQ(form.minimumSize(), design.boundedTo(screen.size()));
  EXPECT_EQ(form.size(), form.minimumSize());
  std::vector<std::string> names;
  for (const auto& file : std::filesystem::directory_iterator(VANDREL_SHIPPED_DIRECTORY_DATA "/radio/inter/zenders")) {
    form.LaadLijst_Radio(file.path().filename().string());
    EXPECT_GT(form.List1Box.ListCount(), 1) << file.path();
    for (const std::string& name : test::Names(form.List1Box)) names.push_back(name);
  }
  for (const std::string& name : names) form.List1Box.AddItem(name);
  form.controller().station().play({"Vandrel", Tone(600), ""});
  form.controller().restoreCountry("United Kingdom", "uk.txt");  // longer than the room beside it
  ASSERT_TRUE(test::WaitUntil([&] { return !form.Timer2.isActive() && form.Label14->text() == "Playing: Vandrel test tone - 440 Hz"; }, 10s));
  const std::string scale = form.devicePixelRatio() > 1.5 ? "2x" : "1x";
  const QSize wider(design.width() * 3 / 2, design.height());
  for (const auto& [size, name] : {std::pair{form.size(), "fitted"}, {design, "names"}, {wider, "wider"},
                                   {screen.size(), "maximized"}}) {  // as a window manager maximizes it
    form.resize(size);  // the status line always whole, at 1.5 times the width every name too
    ExpectFit(&form, std::string("main-english-") + name + "-light-" + scale, false,
              {form.Label14, size.width() >= wider.width() ? static_cast<QWidget*>(form.List1) : form.Label14});
  }
}

// Maximized at the close, maximized at the next start, with the normal place kept under it.
TEST_F(WindowLayoutTest, AMaximizedWindowComesBackMaximizedOverItsNormalPlace) {
  Form1& first = StartShown();
  const QString normal = GeometryText(first.geometry());
  first.setWindowState(Qt::WindowMaximized);
  ASSERT_TRUE(test::WaitUntil([&] { return first.isMaximized(); }, 2s));
  first.close();
  EXPECT_EQ(Get("Windows", "Maximized") + " " + Get("Windows", "Geometry"), "1 " + normal.toStdString());
  EXPECT_TRUE(StartShown().isMaximized());
}

// The website link is one, and looks it, only while the station has a homepage, whichever way it came.
TEST_F(WindowLayoutTest, TheWebsiteLinkIsOneOnlyWhileTheStationHasAHomepage) {
  Form1& form = StartShown();
  ASSERT_TRUE(test::WaitUntil([&] { return !form.Timer2.isActive(); }, 10s));
  CurrentStation& station = form.controller().station();
  const QImage link = Shot(&form, form.Label3);  // from the start: the directory's site
  const std::pair<std::function<void()>, bool> ways[] = {
      {[&] { station.play({"A", Tone(600), ""}); }, false},
      {[&] { station.playNamed("Fav", Tone(600)); }, false},  // a favourite keeps what was shown
      {[&] { station.play({"B", Tone(600), "b.example/"}); }, true},
      {[&] { form.controller().openAddress(Tone(601)); }, false}};  // known to no list
  for (const auto& [way, site] : ways) {
    way();
    EXPECT_EQ(form.Label3->isEnabled(), site) << station.name();
    EXPECT_EQ(Shot(&form, form.Label3) == link, site) << station.name();
  }
}

// Under a window manager the whole frame, title bar and all, lands on the screen from any remembered place.
TEST_F(WindowLayoutTest, UnderAWindowManagerTheFrameLandsWhollyOnTheScreen) {
  const QRect room = QApplication::primaryScreen()->availableGeometry();
  const int r = room.width(), b = room.height();
  const auto at = [&](int x, int y, int w, int h) { return GeometryText(QRect(room.topLeft() + QPoint(x, y), QSize(w, h))).toStdString(); };
  for (const std::string& place : {at(0, 0, 700, 560), at(-600, -480, 700, 600), at(r - 100, b - 50, 700, 600),
                                   at(-50, -50, r + 100, b + 100), at(100, 100, 3 * r, 3 * b)}) {
    if (form_) form_->close();
    Set("Windows", "Geometry", place);
    Form1& form = StartShown();
    const auto framed = [&] { return !form.windowHandle()->frameMargins().isNull(); };
    if (!test::WaitUntil(framed, 2s)) GTEST_SKIP() << "no window manager frames windows here";
    EXPECT_TRUE(test::WaitUntil([&] { return room.contains(form.frameGeometry()); }, 2s))
        << place << " gives " << GeometryText(form.frameGeometry()).toStdString();
    EXPECT_GE(form.width(), std::min(666, r) / 2) << place;  // fitted, not crushed
  }
}

}  // namespace
}  // namespace vandrel
