// The four windows at every scale, language, palette and size: nothing cut,
// nothing hidden, readable, reachable; the main window's growth and memory;
// boxes over the window that raised them. Run once as is and once with
// QT_SCALE_FACTOR=2.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <cmath>
#include <functional>
#include <map>

#include "dialogs/Form2.h"
#include "dialogs/Form3.h"
#include "platform/Stacking.h"
#include "platform/WindowFit.h"
#include "player/Form1.h"
#include "settings/Form4.h"
#include "shell/SkinPicture.h"
#include "support/BoxCloser.h"
#include "support/ProgramFolderFixture.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

double Luminance(QColor c) {
  auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(QColor a, QColor b) {
  const double x = Luminance(a), y = Luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The background behind a text: the middle colour of the rim just round it
// (a skin's gradient has no single most frequent colour).
QColor Behind(const QImage& shot, const QRect& logical) {
  const qreal ratio = shot.devicePixelRatio();
  const QRect area = QRect(logical.topLeft() * ratio, logical.size() * ratio).adjusted(-1, -1, 1, 1);
  std::vector<QColor> rim;
  for (int x = area.left(); x <= area.right(); ++x) {
    for (int y : {area.top(), area.bottom()}) {
      if (shot.valid(x, y)) rim.emplace_back(shot.pixel(x, y));
    }
  }
  if (rim.empty()) return {};
  std::nth_element(rim.begin(), rim.begin() + rim.size() / 2, rim.end(),
                   [](QColor a, QColor b) { return Luminance(a) < Luminance(b); });
  return rim[rim.size() / 2];
}

QPalette Dark() {
  QPalette p;
  p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
  p.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
  p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
  p.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
  p.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
  p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
  p.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
  p.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, QColor(0x33, 0x33, 0x33));
  p.setColor(QPalette::ToolTipText, QColor(0xee, 0xee, 0xee));
  return p;
}

std::string Scale() { return QApplication::primaryScreen()->devicePixelRatio() > 1.5 ? "2x" : "1x"; }

bool InWebPanel(QWidget* w) {
  for (; w != nullptr; w = w->parentWidget()) {
    if (w->objectName() == "WebBrowser1") return true;
  }
  return false;
}

// Where a label's text is drawn, in its window's coordinates; empty when it shows none.
QRect TextRect(QWidget* window, QWidget* w) {
  auto* label = qobject_cast<QLabel*>(w);
  if (label == nullptr || !label->pixmap().isNull() || label->text().isEmpty()) return {};
  const QRect area = label->contentsRect();
  const QFontMetrics fm = label->fontMetrics();
  const QSize size = label->wordWrap() ? QSize(area.width(), label->heightForWidth(area.width()))
                                       : QSize(std::min(fm.horizontalAdvance(label->text()), area.width()), fm.height());
  const QRect rect = QStyle::alignedRect(label->layoutDirection(), label->alignment(), size, area);
  return QRect(label->mapTo(window, rect.topLeft()), rect.size());
}

// What a control covers of the controls below it.
QRect Cover(QWidget* window, QWidget* w) {
  if (qobject_cast<QLabel*>(w) != nullptr && qobject_cast<QLabel*>(w)->pixmap().isNull()) return TextRect(window, w);
  return QRect(w->mapTo(window, QPoint()), w->size());
}

class WindowLayoutTest : public test::ProgramFolderFixture {
 protected:
  Form1& StartShown() {
    Set("Online Radio", "grootscherm", "1");
    Set("Online Radio", "xsluiten", "1");
    auto& form = Start();
    EXPECT_TRUE(StartedUp());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    return form;
  }

  void ExpectFit(QWidget* window, const std::string& where) {
    const QImage shot = window->grab().toImage();  // painting decides what is elided
    QDir().mkpath(VANDREL_SCREENSHOT_DIR);
    shot.save(QString::fromStdString(std::string(VANDREL_SCREENSHOT_DIR) + "/" + where + ".png"));
    const auto controls = window->findChildren<QWidget*>();
    for (QWidget* w : controls) {
      if (!w->isVisibleTo(window) || InWebPanel(w) || w->window() != window) continue;
      const std::string name = where + " " + w->objectName().toStdString();
      if (auto* label = qobject_cast<QLabel*>(w); label && !TextRect(window, w).isEmpty()) {
        const QRect area = label->contentsRect();
        if (label->wordWrap()) {
          EXPECT_LE(label->heightForWidth(area.width()), area.height()) << name;
        } else if (label->fontMetrics().horizontalAdvance(label->text()) > area.width()) {
          auto* caption = qobject_cast<Caption*>(label);
          EXPECT_TRUE(caption && caption->elided() && label->toolTip() == label->text()) << name << " is cut";
        }
        EXPECT_LE(label->fontMetrics().height(), area.height() + 1) << name;
        const QColor ink = label->palette().color(label->foregroundRole());
        EXPECT_GE(Contrast(ink, Behind(shot, TextRect(window, w))), 4.5) << name << " " << ink.name().toStdString();
      }
      if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        const int room = qobject_cast<QCheckBox*>(w) ? w->width() - w->sizeHint().width() + 1
                                                     : w->width() - button->fontMetrics().horizontalAdvance(button->text()) - 6;
        EXPECT_GE(room, 0) << name << " \"" << button->text().toStdString() << "\"";
      }
      if (auto* list = qobject_cast<QListWidget*>(w); list && list->count() > 0) {
        const int ink = QFontMetrics(list->font()).boundingRect(QStringLiteral("ÅÖÉgjpqy")).height();
        EXPECT_GE(list->visualItemRect(list->item(0)).height(), ink + 2) << name;
        for (int row = 0; row < list->count(); ++row) {
          const QRect at = list->visualItemRect(list->item(row));
          if (at.isEmpty() || list->fontMetrics().horizontalAdvance(list->item(row)->text()) + 8 <= at.width()) continue;
          QHelpEvent ask(QEvent::ToolTip, at.center(), list->viewport()->mapToGlobal(at.center()));
          QApplication::sendEvent(list->viewport(), &ask);
          EXPECT_EQ(QToolTip::text(), list->item(row)->text()) << name << " row " << row;
        }
      }
    }
    // Siblings stacked later lie above: none may cover a text below it, and
    // no label may lie above a windowed control.
    for (QWidget* parent : std::initializer_list<QWidget*>{window}) {
      const QObjectList stack = parent->children();
      for (qsizetype i = 0; i < stack.size(); ++i) {
        auto* lower = qobject_cast<QWidget*>(stack[i]);
        if (lower == nullptr || lower->isWindow() || !lower->isVisibleTo(window)) continue;
        for (qsizetype j = i + 1; j < stack.size(); ++j) {
          auto* upper = qobject_cast<QWidget*>(stack[j]);
          if (upper == nullptr || upper->isWindow() || !upper->isVisibleTo(window)) continue;
          const std::string pair = where + " " + upper->objectName().toStdString() + " over " +
                                   lower->objectName().toStdString();
          EXPECT_FALSE(Cover(window, upper).intersects(TextRect(window, lower))) << pair;
          if (!IsWindowless(lower) && IsWindowless(upper)) {
            EXPECT_FALSE(upper->geometry().intersects(lower->geometry())) << pair;
          }
        }
      }
    }
  }

  // Every control Tab reaches has a name for screen readers and looks
  // different with the focus.
  void ExpectReachable(QWidget* window, const std::string& where) {
    ASSERT_TRUE(test::WaitUntil([&] {
      window->activateWindow();
      return window->isActiveWindow();
    }, 5s)) << where;
    window->setAttribute(Qt::WA_KeyboardFocusChange);  // as after a Tab: styles mark focus then
    const auto controls = window->findChildren<QWidget*>();
    for (QWidget* w : controls) {
      if (!w->isVisibleTo(window) || InWebPanel(w) || !(w->focusPolicy() & Qt::TabFocus)) continue;
      const std::string name = where + " " + w->objectName().toStdString();
      QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(w);
      ASSERT_NE(spoken, nullptr) << name;
      EXPECT_FALSE(spoken->text(QAccessible::Name).isEmpty()) << name;
      if (w->property("vandrelLink").toBool()) EXPECT_EQ(spoken->role(), QAccessible::Link) << name;
      window->setFocus();
      const QImage before = w->grab().toImage();
      w->setFocus(Qt::TabFocusReason);
      EXPECT_NE(w->grab().toImage(), before) << name << " shows no focus";
    }
  }
};

TEST_F(WindowLayoutTest, EveryWindowFitsItsTextsInBothLanguagesPalettesAndSizes) {
  test::BoxCloser boxes;
  const QPalette light = QApplication::palette();
  auto skin = [&](QLabel* image, const char* name) {
    SetPicture(image, QString::fromStdString(folder_.string() + "/def_" + name), LoadSkin(folder_.string(), name));
  };
  for (const bool dark : {false, true}) {
    QApplication::setPalette(dark ? Dark() : light);  // as the desktop hands it over at start
    auto& form = StartShown();
    ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() > 1 && !form.Timer2.isActive(); }, 10s));
    for (const char* language : {"english", "nederlands"}) {
      form.gESelecteerdland = language;
      form.Timer5.start();
      ASSERT_TRUE(test::WaitUntil([&] { return !form.Timer5.isActive(); }, 5s));
      Form2 chooser(form);
      Form3 search(form);
      Form4 settings({folder_.string(), "/usr/bin/vandrel-radio", form.texts(), folder_.string()}, &form);
      test::WaitUntil([&] { return !chooser.Timer1.isActive(); }, 5s);
      for (auto [background, titleBar] : {std::pair{chooser.Image1, chooser.Image2}, {search.Image1, search.Image2},
                                          {settings.Image1, settings.Image2}}) {
        skin(background, "frame1.skn");
        skin(titleBar, "balk1.skn");
      }
      const std::pair<QWidget*, const char*> windows[] = {
          {&form, "main"}, {&chooser, "chooser"}, {&search, "search"}, {&settings, "settings"}};
      for (const auto& [window, title] : windows) {
        if (auto* dialog = qobject_cast<QDialog*>(window)) {
          dialog->setModal(false);
          dialog->show();
          EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        }
        const QSize design = window->size();
        for (const bool enlarged : {false, true}) {
          if (enlarged && window->minimumSize() == window->maximumSize()) continue;  // the settings keep their size
          window->resize(design + (enlarged ? QSize(180, 120) : QSize()));
          if (window == &form && enlarged && std::string(language) == "english") {
            test::Pump(600ms);  // the web panel draws its page anew, for the screenshot
          }
          const std::string where = std::string(title) + "-" + language + "-" + (enlarged ? "enlarged" : "design") +
                                    "-" + (dark ? "dark" : "light") + "-" + Scale();
          ExpectFit(window, where);
          if (!dark && !enlarged && std::string(language) == "english") ExpectReachable(window, where);
        }
        window->resize(design);
        if (window != &form) window->hide();
      }
    }
  }
  QApplication::setPalette(light);
}

TEST_F(WindowLayoutTest, GrowingControlsTakeTheRoomAndTheWindowComesBackWhereItWas) {
  test::BoxCloser boxes;
  auto& form = StartShown();
  ASSERT_TRUE(test::WaitUntil([&] { return !form.Timer2.isActive(); }, 5s));
  const QSize more(150, 100);
  {
  Form2 chooser(form);
  Form3 search(form);
  struct Growth {
    QWidget* window;
    std::map<QWidget*, QSize> grows;  // by the window's growth (1 for each direction); the rest keep their size
    std::map<QWidget*, QPoint> moves;
  };
  const Growth table[] = {
      {&form,
       {{form.List1, {0, 1}}, {form.File1, {0, 1}}, {form.WebBrowser1, {1, 1}}, {form.Image1, {1, 0}},
        {form.Image2, {1, 1}}, {form.Line1, {1, 0}}, {form.Slider1, {1, 0}}},
       {{form.Command1, {0, 1}}, {form.Image3, {1, 1}}, {form.Label14, {0, 1}}, {form.Label1, {0, 0}}}},
      {&chooser,
       {{chooser.List1, {1, 1}}, {chooser.Image1, {1, 1}}, {chooser.Image2, {1, 0}}, {chooser.Label1, {1, 0}}},
       {{chooser.Command2, {1, 0}}}},
      {&search,
       {{search.List1, {1, 1}}, {search.Image1, {1, 1}}, {search.Image2, {1, 0}}, {search.Label1, {1, 0}}},
       {{search.Command1, {1, 0}}, {search.Text1, {0, 0}}}},
  };
  for (const Growth& row : table) {
    row.window->show();
    const QSize design = row.window->size();
    EXPECT_EQ(row.window->minimumSize(), design) << row.window->objectName().toStdString();
    std::map<QWidget*, QRect> before;
    for (QWidget* w : row.window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (!w->isWindow()) before[w] = w->geometry();
    }
    row.window->resize(design + more);
    for (const auto& [w, was] : before) {
      const std::string name = row.window->objectName().toStdString() + " " + w->objectName().toStdString();
      const QSize grow = row.grows.count(w) ? row.grows.at(w) : QSize(0, 0);
      EXPECT_EQ(w->size(), was.size() + QSize(grow.width() * more.width(), grow.height() * more.height())) << name;
      if (row.moves.count(w)) {
        const QPoint by = row.moves.at(w);
        EXPECT_EQ(w->pos(), was.topLeft() + QPoint(by.x() * more.width(), by.y() * more.height())) << name;
      }
      if (w->isVisible()) {
        EXPECT_LE(w->geometry().right() - row.window->width(), std::max(0, was.right() - design.width())) << name;
        EXPECT_LE(w->geometry().bottom() - row.window->height(), std::max(0, was.bottom() - design.height())) << name;
      }
    }
    row.window->resize(QSize(10, 10));
    EXPECT_EQ(row.window->size(), design);
    if (row.window != &form) row.window->hide();
  }
  }

  const QRect screen = QApplication::primaryScreen()->availableGeometry();
  QRect centred(QPoint(), form.size());
  centred.moveCenter(screen.center());
  const QRect moved(screen.topLeft() + QPoint(40, 30), form.size() + more);
  form.setGeometry(moved);
  ASSERT_TRUE(test::WaitUntil([&] { return form.geometry() == moved; }, 2s));
  form.close();
  EXPECT_EQ(Get("Windows", "Geometry"), GeometryText(moved).toStdString());
  struct Remembered {
    std::string value;  // empty: as the last run left it
    QRect expected;
  };
  const Remembered remembered[] = {{"", moved}, {"30000,30000,700,600", centred}, {"-5000,20,700,600", centred},
                                   {"12,x", centred}, {"20,20,100,100", QRect(screen.topLeft() + QPoint(20, 20), centred.size()) }};
  for (const Remembered& r : remembered) {
    if (!r.value.empty()) Set("Windows", "Geometry", r.value);
    auto& again = StartShown();
    EXPECT_EQ(again.geometry(), r.expected) << r.value;
  }
}

TEST_F(WindowLayoutTest, BoxesStandOverTheWindowThatRaisedThem) {
  auto& form = StartShown();
  Form2 chooser(form);
  chooser.setModal(false);
  chooser.show();
  chooser.move(form.pos() + QPoint(200, 150));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
  struct Raised {
    const char* by;
    std::function<void()> raise;
    std::function<QPoint()> centre;
  };
  const QPoint screenCentre = QApplication::primaryScreen()->availableGeometry().center();
  const Raised table[] = {
      {"chooser", [&] { chooser.Command1_Click(); }, [&] { return chooser.geometry().center(); }},
      {"main", [&] { form.boxes().NoticeBox("error2"); }, [&] { return form.geometry().center(); }},
      {"hidden main", [&] { chooser.hide(); form.hide(); form.boxes().NoticeBox("error2"); }, [&] { return screenCentre; }},
  };
  for (const Raised& row : table) {
    QPoint seen;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      seen = box->geometry().center();
      box->accept();
    });
    look.start();
    row.raise();
    const QPoint offset = seen - row.centre();
    EXPECT_LE(offset.manhattanLength(), 3) << row.by << ": " << offset.x() << "," << offset.y();
  }
}

}  // namespace
}  // namespace vandrel
