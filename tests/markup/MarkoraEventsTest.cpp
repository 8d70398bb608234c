#include <gtest/gtest.h>

#include <QMouseEvent>
#include <algorithm>

#include "MarkoraProbe.h"

namespace vandrel {
namespace {

using test::EventLog;
using test::StyleMask;
using test::TypeKey;
using test::TypeText;

std::vector<std::string> KeyPresses(const EventLog& log) {
  std::vector<std::string> out;
  std::copy_if(log.events.begin(), log.events.end(), std::back_inserter(out),
               [](const std::string& e) { return e.rfind("KeyPress:", 0) == 0; });
  return out;
}

TEST(MarkoraEntitiesTest, TypesTheEntityWithTheEventsOfTypingIt) {
  Markora typed;
  typed.InitProperties();
  EventLog reference(typed);
  TypeText(typed, "&auml;");

  Markora box;
  box.InitProperties();
  EventLog log(box);
  TypeKey(box, 0, QString::fromUtf8("ä"));
  EXPECT_EQ(box.Text(), "&auml;");

  // Every replacement character as if typed, then the replaced key's own
  // press with character 0, then its key up.
  std::vector<std::string> expected = reference.events;
  expected.insert(expected.begin(), "KeyDown:0");
  expected.push_back("KeyPress:0");
  expected.push_back("KeyUp:0");
  EXPECT_EQ(log.events, expected);
  EXPECT_EQ(KeyPresses(log), (std::vector<std::string>{"KeyPress:38", "KeyPress:97", "KeyPress:117", "KeyPress:109",
                                                       "KeyPress:108", "KeyPress:59", "KeyPress:0"}));

  TypeKey(box, Qt::Key_QuoteDbl, "\"", Qt::ShiftModifier);
  EXPECT_EQ(box.Text(), "&auml;\"");
}

TEST(MarkoraEntitiesTest, FollowsTheMaskAndTheContainersVerdict) {
  Markora box;
  box.InitProperties();
  box.setEntities(1);
  TypeKey(box, Qt::Key_QuoteDbl, "\"", Qt::ShiftModifier);
  TypeKey(box, 0, QString::fromUtf8("ä"));
  EXPECT_EQ(box.Text(), QString::fromUtf8("&quot;ä"));

  box.setText("");
  box.setEntities(0);
  TypeKey(box, 0, QString::fromUtf8("ß"));
  TypeKey(box, Qt::Key_QuoteDbl, "\"", Qt::ShiftModifier);
  EXPECT_EQ(box.Text(), QString::fromUtf8("ß\""));

  // A key press changed by the container inserts the new character, 0 none.
  box.setText("");
  auto swap = QObject::connect(&box, &Markora::KeyPress, [](int& k) { k = (k == 'a') ? 'b' : (k == 'c' ? 0 : k); });
  TypeText(box, "abc");
  EXPECT_EQ(box.Text(), "bb");
  QObject::disconnect(swap);
  QObject::connect(&box, &Markora::KeyDown, [](int& code, int&) { if (code == 'Q') code = 0; });
  TypeText(box, "q!");
  EXPECT_EQ(box.Text(), "bb!");
}

TEST(MarkoraEditingTest, EnterReStylesTheLineJustLeftOnlyWithAutoColorize) {
  for (const bool autoColorize : {true, false}) {
    Markora box;
    box.InitProperties();
    box.setAutoColorize(autoColorize);
    TypeText(box, "<td nowrap>");
    EXPECT_EQ(StyleMask(box), "...........");
    TypeKey(box, Qt::Key_Return, "\r");
    EXPECT_EQ(StyleMask(box), autoColorize ? ".bb........|" : "...........|") << autoColorize;
  }

  // An arrow up after an edit re-styles from the caret's line to the line
  // left; from the last line there is no line after it, so nothing is.
  for (const bool lastLine : {false, true}) {
    Markora box;
    box.InitProperties();
    box.setText(lastLine ? "<a b>\n<c d>" : "<a b>\n<c d>\n<e f>");
    box.setSelStart(8);
    TypeText(box, "x");
    TypeKey(box, Qt::Key_Up, QString());
    EXPECT_EQ(box.GetLineSelected(), 0);
    EXPECT_EQ(StyleMask(box), lastLine ? ".....|......" : ".b...|.bb...|.....") << lastLine;
  }
}

TEST(MarkoraEditingTest, ForwardsMouseEventsAndNeverMouseMoves) {
  Markora box;
  box.InitProperties();
  box.resize(200, 100);
  EventLog log(box);
  int moves = 0;
  QObject::connect(&box, &Markora::MouseMove, [&](int&, int&, float&, float&) { ++moves; });
  float x = 0;
  QObject::connect(&box, &Markora::MouseDown, [&](int&, int&, float& X, float&) { x = X; });
  QWidget* viewport = box.rtfHTML()->viewport();
  const QPointF at(10, 10);
  const QPointF global = viewport->mapToGlobal(at);
  for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseMove, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  }
  const auto mouse = std::count_if(log.events.begin(), log.events.end(),
                                   [](const std::string& e) { return e.rfind("Mouse", 0) == 0 || e == "Click"; });
  EXPECT_EQ(mouse, 3);
  EXPECT_NE(std::find(log.events.begin(), log.events.end(), "MouseDown:1"), log.events.end());
  EXPECT_EQ(log.events.back(), "Click");
  EXPECT_EQ(moves, 0);
  EXPECT_FLOAT_EQ(x, static_cast<float>(viewport->mapTo(&box, QPoint(10, 10)).x() * 15));
}

TEST(MarkoraTextFunctionsTest, FindSpanUpToAndLines) {
  Markora box;
  box.InitProperties();
  EXPECT_EQ(box.GetLineCount(), 1);
  EXPECT_EQ(box.GetLineSelected(), 0);

  box.setText("abc ABC abc");
  EXPECT_EQ(box.Find("abc", 0, 10), 0);
  EXPECT_EQ(box.SelLength(), 3);
  EXPECT_EQ(box.Find("abc", 1), 4);
  EXPECT_EQ(box.Find("abc", 1, 0, RichTextBox::rtfMatchCase), 8);
  EXPECT_EQ(box.Find("abc", 5, 10), -1);
  EXPECT_EQ(box.Find("xyz"), -1);
  box.setSelStart(0);
  EXPECT_EQ(box.Find("ABC", 0, 0, RichTextBox::rtfMatchCase | RichTextBox::rtfNoHighlight), 4);
  EXPECT_EQ(box.SelStart(), 0);
  EXPECT_EQ(box.SelLength(), 0);

  box.setText("key = value");
  box.setSelStart(5);
  box.Span(" =");
  EXPECT_EQ(box.SelStart(), 3);
  EXPECT_EQ(box.SelText(), " =");
  box.setSelStart(5);
  box.Span(" ", true);
  EXPECT_EQ(box.SelText(), " ");
  box.setSelStart(0);
  box.Span(" =", true, true);
  EXPECT_EQ(box.SelText(), "key");
  box.setSelStart(0);
  box.UpTo("=", true);
  EXPECT_EQ(box.SelStart(), 4);
  box.UpTo("= ", true, true);
  EXPECT_EQ(box.SelStart(), 6);
  box.setSelStart(11);
  box.UpTo(" ");
  EXPECT_EQ(box.SelStart(), 6);

  box.setText("a\r\nbb\nccc");
  EXPECT_EQ(box.Text(), "a\nbb\nccc");
  EXPECT_EQ(box.GetLineCount(), 3);
  EXPECT_EQ(box.GetLineFirstCharIndex(), 0);
  EXPECT_EQ(box.GetLineFirstCharIndex(2), 5);
  EXPECT_EQ(box.GetLineFirstCharIndex(3), -1);
  EXPECT_EQ(box.GetLineFromChar(4), 1);
  box.setSelStart(6);
  EXPECT_EQ(box.GetLineSelected(), 2);
  EXPECT_EQ(box.GetLineFirstCharIndex(-1), 5);
  // Text offsets are selection offsets, line breaks included.
  EXPECT_EQ(box.Find("ccc"), 5);
}

}  // namespace
}  // namespace vandrel
