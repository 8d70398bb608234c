#include "markup/Markora.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPrinter>
#include <QProgressBar>
#include <QTest>
#include <QTextBlock>
#include <functional>

#include "markup/DownloadInfoSettings.h"
#include "markup/core/IniPropertyBag.h"
#include "markup/MarkoraError.h"
#include "markup/MarkoraTextHolder.h"
#include "markup/core/MemoryPropertyBag.h"
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

int ErrorNumber(const std::function<void()>& action) {
  try {
    action();
  } catch (const MarkoraError& e) {
    return e.number();
  }
  return 0;
}

TEST(MarkoraColorizeTest, StylesEachMarkupClassAsItsSwitchesSay) {
  // Tag names bold and comments italic by default; entities bold and italic
  // here. The markup look styles property names italic and values bold and
  // italic instead, comments and entities plain.
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"<td nowrap>", true, ".bb.xxxxxx."},
      {"<!-- note -->", false, "....iiiiii..."},
      {"<!-->", false, "....."},
      {"<!DOCTYPE html>", true, "..............."},
      {"a & b; c", false, "..xxxx.."},
      {"&nbsp", false, "....."},
      {"<script>a<b c>d</SCRIPT><i k>", true, ".........................b.x."},
      {"<p class=x id=y>", true, ".b.iiiii.x.ii.x."},
      {"<img alt=\"a b\">", true, ".bbb.iii..xxx.."},
      {"<a\thref=x>", true, ".........."},
      {"<stylesheet>x<b c>&amp;", false, "..................xxxxx"},
      {"<a title=&amp;>", false, ".b............."},
      {"x &amp; <a  b>", false, "..xxxxx..b...."},
  };
  for (const auto& [text, markup, mask] : cases) {
    Box box;
    box.setCommentItalic(!markup);
    box.setPropNameItalic(markup);
    box.setPropValBold(markup);
    box.setPropValItalic(markup);
    box.setEntityBold(!markup);
    box.setEntityItalic(!markup);
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
  QTest::keyClicks(box.rtfHTML(), "x");
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
  EXPECT_EQ(bar.value(), 100);  // out of the bar's own range unless the box sets it

  htPrgBar percent;
  box.setProgressBar(&percent);
  box.Colorize(100, 200);
  EXPECT_EQ(percent.written.front(), 0);
  EXPECT_EQ(percent.written.back(), 100);
}

TEST(MarkoraEditingTest, TypesAnEntityWithTheEventsOfTypingItAndHearsTheContainer) {
  Box typed;
  EventLog reference(typed);
  QTest::keyClicks(typed.rtfHTML(), "&auml;");
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
  QTest::keyClicks(box.rtfHTML(), "abc");
  EXPECT_EQ(box.Text(), "bb");
  QObject::disconnect(swap);
  QObject::connect(&box, &Markora::KeyDown, [](int& code, int&) {
    if (code == 'Q') code = 0;
  });
  QTest::keyClicks(box.rtfHTML(), "q!");
  EXPECT_EQ(box.Text(), "bb!");
}

TEST(MarkoraEditingTest, EnterReStylesTheLineJustLeftOnlyWithAutoColorize) {
  for (const bool autoColorize : {true, false}) {
    Box box;
    box.setAutoColorize(autoColorize);
    QTest::keyClicks(box.rtfHTML(), "<td nowrap>");
    TypeKey(box, Qt::Key_Return, "\r");
    EXPECT_EQ(StyleMask(box), autoColorize ? ".bb........|" : "...........|") << autoColorize;
  }

  // An arrow up after an edit re-styles from the caret's line to the line
  // left; from the last line there is no line after it, so nothing is.
  for (const bool lastLine : {false, true}) {
    Box box;
    box.setText(lastLine ? "<a b>\n<c d>" : "<a b>\n<c d>\n<e f>");
    box.setSelStart(8);
    QTest::keyClicks(box.rtfHTML(), "x");
    TypeKey(box, Qt::Key_Up, QString());
    EXPECT_EQ(StyleMask(box), lastLine ? ".....|......" : ".b...|.bb...|.....") << lastLine;
  }
}

TEST(MarkoraEditingTest, ForwardsMouseButtonsInTwips) {
  Box box;
  box.resize(200, 100);
  EventLog log(box);
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
  EXPECT_EQ(box.SelLength(), 0);

  box.setText("key = value");
  box.setSelStart(5);
  box.Span(" =");
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

TEST(MarkoraPropertiesTest, RefusesWhatIsOutOfRange) {
  Box box;
  for (const std::int32_t entities : {64, -1, 0, 63}) {
    const bool valid = entities == 0 || entities == 63;
    EXPECT_EQ(ErrorNumber([&] { box.setEntities(entities); }), valid ? 0 : MarkoraError::kInvalidArgument) << entities;
    EXPECT_EQ(box.Entities(), valid ? entities : 62) << entities;
  }
  EXPECT_EQ(ErrorNumber([&] { box.setSelStart(-1); }), MarkoraError::kInvalidPropertyValue);

  box.setSelTabCount(2);
  box.setSelTabs(1, 1440);
  EXPECT_DOUBLE_EQ(box.SelTabs(1), 1440);
  EXPECT_EQ(ErrorNumber([&] { box.SelTabs(2); }), MarkoraError::kInvalidArrayIndex);
}

TEST(MarkoraPropertiesTest, AllTwentyFiveKeysSurviveAnIniBag) {
  const test::TempFolder folder("markora");
  const std::string file = (folder / "Form.ini").string();
  const std::string text = "<p class=\"a\\b\">\nline \xC3\xA4 " + std::string(300, 'z') + " ";
  // None is its default, so the memory bag holds every key.
  MemoryPropertyBag given;
  for (const char* key : {"AutoVerbMenu", "CommentBold", "EntityBold", "EntityItalic", "HideSelection", "Locked",
                          "PropNameBold", "PropNameItalic", "PropValBold", "PropValItalic", "TagItalic"}) {
    given.Set(key, true);
  }
  for (const char* key : {"AutoColorize", "CommentItalic", "Enabled", "Silent", "TagBold"}) given.Set(key, false);
  for (const auto& [key, value] : std::initializer_list<std::pair<const char*, PropertyValue>>{
           {"BackColor", std::int32_t{0x00FF8040}},
           {"Entities", std::int32_t{99}},  // loaded as stored, though no setter takes it
           {"FileName", std::string("/tmp/page.htm")},
           {"Font", FontDescription{"DejaVu;Serif", 11.5, 700, true, true, false, 2}},
           {"MaxLength", std::int32_t{5000}},
           {"MouseIcon", PictureData{std::string("\x89PNG\0\r\n", 7)}},
           {"MousePointer", std::int32_t{99}},
           {"RightMargin", 1234.5f},
           {"Text", text},
       }) {
    given.Set(key, value);
  }
  Markora saved;
  saved.ReadProperties(given);
  IniPropertyBag bag(file, "Markora1");
  saved.WriteProperties(bag);

  Markora loaded;
  loaded.ReadProperties(bag);
  MemoryPropertyBag read;
  loaded.WriteProperties(read);
  EXPECT_EQ(read.values(), given.values());
}

TEST(MarkoraFilesTest, LoadsAndSavesPlainCharactersAndErrorsReachTheCaller) {
  const test::TempFolder folder("markora files");
  const auto path = [&](const char* name) { return QString::fromStdString((folder / name).string()); };
  Box box;
  const std::string rtf = "{\\rtf1\\ansi {\\b bold} <b>tag</b>}\n";
  folder.write("page.rtf", rtf);
  box.LoadFile(path("page.rtf"));
  EXPECT_EQ(box.Text().toStdString(), rtf);

  // Saved as typed, whatever the styles.
  const std::string page = "<!-- list -->\n<p class=\"note\" id=top>Radio &amp; m\xC3\xA4r</p>\n<td nowrap>";
  box.setText(QString::fromStdString(page));
  box.Colorize();
  box.SaveFile(path("out.htm"));
  EXPECT_EQ(test::ReadFile(folder / "out.htm"), page);

  box.setText("kept");
  EXPECT_EQ(ErrorNumber([&] { box.LoadFile(path("missing.htm")); }), MarkoraError::kFileNotFound);
  EXPECT_EQ(box.Text(), "kept");
  EXPECT_EQ(ErrorNumber([&] { box.SaveFile(path("no such folder/out.htm")); }), MarkoraError::kFileAccess);
}

// The fonts' ToUnicode maps, which Qt writes uncompressed, each character's code as "<XXXX>".
QByteArray ToUnicodeMaps(const QByteArray& pdf) {
  QByteArray maps;
  for (qsizetype at = pdf.indexOf("begincmap"); at >= 0; at = pdf.indexOf("begincmap", at + 1)) {
    maps += pdf.mid(at, pdf.indexOf("endcmap", at) - at);
  }
  return maps;
}

TEST(MarkoraFilesTest, SelPrintPutsTheSelectionOnAPdfPage) {
  const test::TempFolder folder("markora print");
  const QString file = QString::fromStdString((folder / "sel.pdf").string());
  Box box;
  box.setText("Quick\nHello World");
  box.setSelStart(6);
  box.setSelLength(5);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  box.SelPrint(printer);

  const QByteArray pdf = QByteArray::fromStdString(test::ReadFile(folder / "sel.pdf"));
  EXPECT_EQ(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 1);
  const QByteArray maps = ToUnicodeMaps(pdf);
  const auto shown = [&](char c) { return maps.contains("<00" + QByteArray::number(c, 16).toUpper() + ">"); };
  for (const char c : std::string("Helo")) EXPECT_TRUE(shown(c)) << c;
  for (const char c : std::string("QuickWrd")) EXPECT_FALSE(shown(c)) << c;
}

TEST(DownloadInfoTest, HoldsDownloadsExactly) {
  Markora box;
  LoadDownloadInfo(box);

  MarkoraTextHolder holder(&box);
  const std::string download = "<naam>Radio \xC3\xA4</naam>\r\n<url>http://x/</url>\r\n";
  holder.setText(download);
  EXPECT_EQ(holder.text(), download);
  EXPECT_EQ(box.Text().toStdString(), "<naam>Radio \xC3\xA4</naam>\n<url>http://x/</url>\n");
  // Nothing was typed, so the text keeps the box's plain font.
  EXPECT_EQ(StyleMask(box).find_first_not_of(".|"), std::string::npos);

  box.setText("edited");
  EXPECT_EQ(holder.text(), "edited");
}

}  // namespace
}  // namespace vandrel

#include "MarkoraTest.moc"
