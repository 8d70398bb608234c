#include "markup/Markora.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QProgressBar>
#include <QTest>
#include <QTextBlock>
#include <algorithm>

#include "markup/DownloadInfoSettings.h"
#include "markup/IniPropertyBag.h"
#include "markup/MarkoraError.h"
#include "markup/MarkoraTextHolder.h"
#include "markup/MemoryPropertyBag.h"
#include "support/Files.h"

// A percent bar known to Colorize by its class name.
class htPrgBar : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Percent READ Percent WRITE setPercent)

 public:
  int Percent() const { return written.empty() ? 0 : written.back(); }
  void setPercent(int value) { written.push_back(value); }
  std::vector<int> written;
};

namespace vandrel {
namespace {

struct Box : Markora {
  Box() { InitProperties(); }
};

// The styles as the document holds them, one letter per character: '.'
// plain, 'b' bold, 'i' italic, 'x' both; '|' stands for a line break.
std::string StyleMask(const Markora& box) {
  std::string mask;
  const QTextDocument* doc = box.rtfHTML()->document();
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    if (block != doc->begin()) mask += '|';
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      const bool bold = format.fontWeight() >= QFont::Bold;
      const bool italic = format.fontItalic();
      mask.append(static_cast<std::size_t>(it.fragment().length()), bold ? (italic ? 'x' : 'b') : (italic ? 'i' : '.'));
    }
  }
  return mask;
}

// Every event of the box, in order, as "Name" or "Name:argument".
struct EventLog {
  explicit EventLog(Markora& box) {
    QObject::connect(&box, &Markora::Change, [this] { events.push_back("Change"); });
    QObject::connect(&box, &Markora::Click, [this] { events.push_back("Click"); });
    QObject::connect(&box, &Markora::SelChange, [this] { events.push_back("SelChange"); });
    QObject::connect(&box, &Markora::KeyDown,
                     [this](int& code, int&) { events.push_back("KeyDown:" + std::to_string(code)); });
    QObject::connect(&box, &Markora::KeyUp,
                     [this](int& code, int&) { events.push_back("KeyUp:" + std::to_string(code)); });
    QObject::connect(&box, &Markora::KeyPress, [this](int& k) { events.push_back("KeyPress:" + std::to_string(k)); });
    QObject::connect(&box, &Markora::MouseDown,
                     [this](int& b, int&, float&, float&) { events.push_back("MouseDown:" + std::to_string(b)); });
    QObject::connect(&box, &Markora::MouseUp,
                     [this](int& b, int&, float&, float&) { events.push_back("MouseUp:" + std::to_string(b)); });
  }
  std::vector<std::string> events;
};

// One key as the window system delivers it: press with its text, release.
void TypeKey(Markora& box, int key, const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::sendKeyEvent(QTest::Click, box.rtfHTML(), static_cast<Qt::Key>(key), text, modifiers);
}

void TypeText(Markora& box, const QString& text) { QTest::keyClicks(box.rtfHTML(), text); }

enum class Look { Defaults, Markup, Entity };

// Defaults: tag names bold, comments italic. Markup: property names italic,
// property values bold and italic. Entity: entities bold and italic.
void Apply(Markora& box, Look look) {
  if (look == Look::Markup) {
    box.setCommentItalic(false);
    box.setPropNameItalic(true);
    box.setPropValBold(true);
    box.setPropValItalic(true);
  } else if (look == Look::Entity) {
    box.setEntityBold(true);
    box.setEntityItalic(true);
  }
}

TEST(MarkoraColorizeTest, StylesEachMarkupClassAsItsSwitchesSay) {
  const std::tuple<const char*, Look, const char*> cases[] = {
      {"<a href=\"x.htm\">", Look::Defaults, ".b.............."},
      {"<a href=\"x.htm\">", Look::Markup, ".b.iiii..xxxxx.."},
      {"<b>bold</b>", Look::Markup, "..........."},
      {"<td nowrap>", Look::Markup, ".bb.xxxxxx."},
      {"<!-- note -->", Look::Defaults, "....iiiiii..."},
      {"<!-->", Look::Defaults, "....."},
      {"<!DOCTYPE html>", Look::Markup, "..............."},
      {"&amp;", Look::Entity, "xxxxx"},
      {"a & b; c", Look::Entity, "..xxxx.."},
      {"&nbsp", Look::Entity, "....."},
      {"<script>if (a<b) x=1;</script>", Look::Markup, ".............................."},
      {"<script>a<b c>d</SCRIPT><i k>", Look::Markup, ".........................b.x."},
      {"<script>&lt;</script>", Look::Entity, "........xxxx........."},
      {"<p class=x id=y>", Look::Markup, ".b.iiiii.x.ii.x."},
      {"<img alt=\"a b\">", Look::Markup, ".bbb.iii..xxx.."},
      {"<a\nhref=x>", Look::Markup, "..|......."},
      {"<a\thref=x>", Look::Markup, ".........."},
      {"<stylesheet>x<b c>&amp;", Look::Entity, "..................xxxxx"},
      {"<a title=&amp;>", Look::Entity, ".b............."},
      {"x &amp; <a  b>", Look::Entity, "..xxxxx..b...."},
  };
  for (const auto& [text, look, mask] : cases) {
    Box box;
    Apply(box, look);
    box.setText(QString::fromUtf8(text));
    box.Colorize();
    EXPECT_EQ(StyleMask(box), mask) << "text: " << text;
  }
}

TEST(MarkoraColorizeTest, ResetsTheRangeButTheEndCharacterAndKeepsTheSelection) {
  Box box;
  box.setText("abc def");
  QTextCursor all(box.rtfHTML()->document());
  all.select(QTextCursor::Document);
  QTextCharFormat bold;
  bold.setFontWeight(QFont::Bold);
  bold.setForeground(Qt::red);
  all.mergeCharFormat(bold);
  box.setSelStart(2);
  box.setSelLength(3);

  box.Colorize();
  EXPECT_EQ(StyleMask(box), "......b");
  EXPECT_EQ(box.SelStart(), 2);
  EXPECT_EQ(box.SelLength(), 3);
  EXPECT_EQ(box.rtfHTML()->document()->begin().begin().fragment().charFormat().foreground().color(),
            box.rtfHTML()->palette().color(QPalette::Text));
}

// Silent or not, a run raises no event, and odd ranges leave the box working.
TEST(MarkoraColorizeTest, OddRangesStyleNothingAndNoRunRaisesEvents) {
  Box box;
  box.Colorize();
  box.setText("<a b> <c d>\n<!-- c -->");
  box.setSelStart(4);
  EventLog log(box);
  box.Colorize(10, 5);
  box.Colorize(-4, 3);
  EXPECT_EQ(StyleMask(box), ".b.........|..........");
  box.setSilent(false);
  box.Colorize(7, 500);
  EXPECT_EQ(StyleMask(box), ".b.....b...|....iii...");
  EXPECT_TRUE(log.events.empty());
  EXPECT_TRUE(box.rtfHTML()->updatesEnabled());
  TypeText(box, "x");
  EXPECT_FALSE(log.events.empty());
}

TEST(MarkoraColorizeTest, WritesProgressToEitherKindOfProgressObject) {
  Box box;
  box.setText(QString(200, 'x'));
  QProgressBar bar;
  bar.setRange(5, 7);
  box.setProgressBar(&bar);
  box.Colorize(1, 200);  // which percentages is ColorizeScannerTest's
  EXPECT_EQ(bar.minimum(), 0);
  EXPECT_EQ(bar.maximum(), 100);
  EXPECT_EQ(bar.value(), 100);

  htPrgBar percent;
  box.setProgressBar(&percent);
  box.Colorize(100, 200);
  EXPECT_EQ(percent.written.front(), 0);
  EXPECT_EQ(percent.written.back(), 100);

  QObject other;  // anything else is left alone
  box.setProgressBar(&other);
  box.Colorize();
  EXPECT_FALSE(other.property("Value").isValid());
}

TEST(MarkoraEditingTest, TypesAnEntityWithTheEventsOfTypingItAndHearsTheContainer) {
  Box typed;
  EventLog reference(typed);
  TypeText(typed, "&auml;");
  Box box;
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

  box.setText("");
  box.setEntities(1);
  TypeKey(box, Qt::Key_QuoteDbl, "\"", Qt::ShiftModifier);
  TypeKey(box, 0, QString::fromUtf8("ä"));
  EXPECT_EQ(box.Text(), QString::fromUtf8("&quot;ä"));

  // A key press changed by the container inserts the new character, 0 none.
  box.setText("");
  auto swap = QObject::connect(&box, &Markora::KeyPress, [](int& k) { k = (k == 'a') ? 'b' : (k == 'c' ? 0 : k); });
  TypeText(box, "abc");
  EXPECT_EQ(box.Text(), "bb");
  QObject::disconnect(swap);
  QObject::connect(&box, &Markora::KeyDown, [](int& code, int&) {
    if (code == 'Q') code = 0;
  });
  TypeText(box, "q!");
  EXPECT_EQ(box.Text(), "bb!");
}

TEST(MarkoraEditingTest, EnterReStylesTheLineJustLeftOnlyWithAutoColorize) {
  for (const bool autoColorize : {true, false}) {
    Box box;
    box.setAutoColorize(autoColorize);
    TypeText(box, "<td nowrap>");
    EXPECT_EQ(StyleMask(box), "...........");
    TypeKey(box, Qt::Key_Return, "\r");
    EXPECT_EQ(StyleMask(box), autoColorize ? ".bb........|" : "...........|") << autoColorize;
  }

  // An arrow up after an edit re-styles from the caret's line to the line
  // left; from the last line there is no line after it, so nothing is.
  for (const bool lastLine : {false, true}) {
    Box box;
    box.setText(lastLine ? "<a b>\n<c d>" : "<a b>\n<c d>\n<e f>");
    box.setSelStart(8);
    TypeText(box, "x");
    TypeKey(box, Qt::Key_Up, QString());
    EXPECT_EQ(box.GetLineSelected(), 0);
    EXPECT_EQ(StyleMask(box), lastLine ? ".....|......" : ".b...|.bb...|.....") << lastLine;
  }
}

TEST(MarkoraEditingTest, ForwardsMouseButtonsInTwipsAndNeverMouseMoves) {
  Box box;
  box.resize(200, 100);
  EventLog log(box);
  int moves = 0;
  QObject::connect(&box, &Markora::MouseMove, [&](int&, int&, float&, float&) { ++moves; });
  float x = 0;
  QObject::connect(&box, &Markora::MouseDown, [&](int&, int&, float& X, float&) { x = X; });
  QWidget* viewport = box.rtfHTML()->viewport();
  for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseMove, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, QPointF(10, 10), viewport->mapToGlobal(QPointF(10, 10)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  }
  std::erase(log.events, "SelChange");
  EXPECT_EQ(log.events, (std::vector<std::string>{"MouseDown:1", "MouseUp:1", "Click"}));
  EXPECT_EQ(moves, 0);
  EXPECT_FLOAT_EQ(x, static_cast<float>(viewport->mapTo(&box, QPoint(10, 10)).x() * 15));
}

TEST(MarkoraTextFunctionsTest, FindSpanUpToAndLines) {
  Box box;
  box.setText("abc ABC abc");
  EXPECT_EQ(box.Find("abc", 0, 10), 0);
  EXPECT_EQ(box.SelLength(), 3);
  EXPECT_EQ(box.Find("abc", 1, 0, RichTextBox::rtfMatchCase), 8);
  EXPECT_EQ(box.Find("abc", 5, 10), -1);
  box.setSelStart(0);
  EXPECT_EQ(box.Find("ABC", 0, 0, RichTextBox::rtfMatchCase | RichTextBox::rtfNoHighlight), 4);
  EXPECT_EQ(box.SelStart(), 0);
  EXPECT_EQ(box.SelLength(), 0);

  box.setText("key = value");
  box.setSelStart(5);
  box.Span(" =");
  EXPECT_EQ(box.SelStart(), 3);
  EXPECT_EQ(box.SelText(), " =");
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
  EXPECT_EQ(box.GetLineFirstCharIndex(2), 5);
  EXPECT_EQ(box.GetLineFirstCharIndex(3), -1);
  EXPECT_EQ(box.GetLineFromChar(4), 1);
  box.setSelStart(6);
  EXPECT_EQ(box.GetLineSelected(), 2);
  EXPECT_EQ(box.GetLineFirstCharIndex(-1), 5);
  // Text offsets are selection offsets, line breaks included.
  EXPECT_EQ(box.Find("ccc"), 5);
}

TEST(MarkoraPropertiesTest, WritesNotifyTheContainerAsTheMemberTableSays) {
  Box box;
  std::vector<QString> names;
  QObject::connect(&box, &Markora::PropertyChanged, [&](const QString& n) { names.push_back(n); });
  box.setTagBold(false);
  box.setLocked(true);
  box.setText("a");
  box.setTextRTF("<b>a</b>");
  box.setAutoColorize(false);
  box.setEntities(3);
  box.setSelStart(1);
  EXPECT_EQ(names, (std::vector<QString>{"TagBold", "Locked", "Text", "TextRTF", "TextRTF", "Text"}));
  EXPECT_EQ(box.Text(), "a");
}

TEST(MarkoraPropertiesTest, RefusesWhatIsOutOfRangeButLoadsAnyStoredMask) {
  Box box;
  for (const std::int32_t bad : {64, -1}) {
    try {
      box.setEntities(bad);
      ADD_FAILURE() << bad << " accepted";
    } catch (const MarkoraError& e) {
      EXPECT_EQ(e.number(), 5);
    }
  }
  EXPECT_EQ(box.Entities(), 62);
  for (const std::int32_t good : {0, 63}) {
    box.setEntities(good);
    EXPECT_EQ(box.Entities(), good);
  }
  EXPECT_THROW(box.setSelStart(-1), MarkoraError);
  MemoryPropertyBag stored;
  stored.Set("Entities", std::int32_t{99});
  box.ReadProperties(stored);
  EXPECT_EQ(box.Entities(), 99);

  // Reading a tab stop leaves it alone.
  box.setText("a\tb");
  box.setSelTabCount(2);
  box.setSelTabs(1, 1440);
  EXPECT_DOUBLE_EQ(box.SelTabs(1), 1440);
  EXPECT_DOUBLE_EQ(box.SelTabs(1), 1440);
  EXPECT_THROW(box.SelTabs(2), MarkoraError);
}

TEST(MarkoraPropertiesTest, AllTwentyFiveKeysSurviveAnIniBag) {
  const test::TempFolder folder("markora");
  const std::string file = (folder / "Form.ini").string();
  const std::string text = "<p class=\"a\\b\">\nline \xC3\xA4 " + std::string(300, 'z') + " ";
  // None is its default, so the memory bag holds every key.
  MemoryPropertyBag given;
  for (const auto& [key, value] : std::initializer_list<std::pair<const char*, PropertyValue>>{
           {"AutoColorize", false},
           {"AutoVerbMenu", true},
           {"BackColor", std::int32_t{0x00FF8040}},
           {"CommentBold", true},
           {"CommentItalic", false},
           {"Enabled", false},
           {"Entities", std::int32_t{17}},
           {"EntityBold", true},
           {"EntityItalic", true},
           {"FileName", std::string("/tmp/page.htm")},
           {"Font", FontDescription{"DejaVu Serif", 11.5, 700, true, true, false, 2}},
           {"HideSelection", true},
           {"Locked", true},
           {"MaxLength", std::int32_t{5000}},
           {"MouseIcon", PictureData{std::string("\x89PNG\0\r\n", 7)}},
           {"MousePointer", std::int32_t{99}},
           {"PropNameBold", true},
           {"PropNameItalic", true},
           {"PropValBold", true},
           {"PropValItalic", true},
           {"Silent", false},
           {"RightMargin", 1234.5f},
           {"TagBold", false},
           {"TagItalic", true},
           {"Text", text},
       }) {
    given.Set(key, value);
  }
  Markora saved;
  saved.ReadProperties(given);
  IniPropertyBag bag(file, "Markora1");
  saved.WriteProperties(bag);

  Markora loaded;
  IniPropertyBag again(file, "Markora1");
  loaded.ReadProperties(again);
  MemoryPropertyBag read;
  loaded.WriteProperties(read);
  EXPECT_EQ(read.values(), given.values());
}

TEST(DownloadInfoTest, HoldsDownloadsExactly) {
  QWidget window;
  auto* box = new Markora(&window);
  LoadDownloadInfo(*box);

  MarkoraTextHolder holder(box);
  const std::string download = "<naam>Radio \xC3\xA4</naam>\r\n<url>http://x/</url>\r\n";
  holder.setText(download);
  EXPECT_EQ(holder.text(), download);
  EXPECT_EQ(box->Text().toStdString(), "<naam>Radio \xC3\xA4</naam>\n<url>http://x/</url>\n");
  // Nothing was typed, so the text keeps the box's plain font.
  EXPECT_EQ(StyleMask(*box).find_first_not_of(".|"), std::string::npos);

  box->setText("edited");
  EXPECT_EQ(holder.text(), "edited");
}

}  // namespace
}  // namespace vandrel

#include "MarkoraTest.moc"
