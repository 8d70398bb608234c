#include "markup/Markora.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPrinter>
#include <QProgressBar>
#include <QTest>
#include <QTextBlock>
#include <ranges>
#include <set>

#include "markup/DownloadInfoSettings.h"
#include "markup/MarkoraError.h"
#include "markup/MarkoraTextHolder.h"
#include "markup/core/IniPropertyBag.h"
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

struct Box : Markora { Box() { InitProperties(); } };

// One letter a character: '.' plain, 'b' bold, 'i' italic, 'x' both; '|' a line break.
std::string StyleMask(const Markora& box) {
  std::string mask;
  const QTextDocument* doc = box.rtfHTML()->document();
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    if (block != doc->begin()) mask += '|';
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      const bool bold = format.fontWeight() >= QFont::Bold;
      mask.append(static_cast<std::size_t>(it.fragment().length()), "b.xi"[!bold + 2 * format.fontItalic()]);
    }
  }
  return mask;
}

// Every event of the box, in order, as "Name" or "Name:first argument".
struct EventLog {
  explicit EventLog(Markora& box) {
    for (const auto& [signal, name] : {std::pair(&Markora::Change, "Change"), {&Markora::Click, "Click"},
                                       {&Markora::SelChange, "SelChange"}})
      QObject::connect(&box, signal, [this, name] { events.push_back(name); });
    const auto first = [&](auto signal, const char* name) {
      QObject::connect(&box, signal, [this, name](int& value) { events.push_back(name + (":" + std::to_string(value))); });
    };
    first(&Markora::KeyDown, "KeyDown"), first(&Markora::KeyUp, "KeyUp"), first(&Markora::KeyPress, "KeyPress");
    first(&Markora::MouseDown, "MouseDown"), first(&Markora::MouseUp, "MouseUp");
  }
  std::vector<std::string> events;
};

void TypeKey(Markora& box, int key, const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::sendKeyEvent(QTest::Click, box.rtfHTML(), static_cast<Qt::Key>(key), text, modifiers);
}

int ErrorNumber(const auto& action) try { return action(), 0; } catch (const MarkoraError& e) { return e.number(); }

// Markup: tags bold, property names italic, values both, comments and entities plain; else entities both.
TEST(MarkoraColorizeTest, StylesEachMarkupClassAsItsSwitchesSay) {
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"<td nowrap>", true, ".bb.xxxxxx."},         {"<!-- note -->", false, "....iiiiii..."},
      {"<!-->", false, "....."},                    {"<!DOCTYPE html>", true, "..............."},
      {"a & b; c", false, "..xxxx.."},              {"&nbsp", false, "....."},
      {"<p class=x id=y>", true, ".b.iiiii.x.ii.x."},   {"<img alt=\"a b\">", true, ".bbb.iii..xxx.."},
      {"<a\thref=x>", true, ".........."},           {"<a title=&amp;>", false, ".b............."},
      {"x &amp; <a  b>", false, "..xxxxx..b...."},      {"<stylesheet>x<b c>&amp;", false, "..................xxxxx"},
      {"<script>a<b c>d</SCRIPT><i k>", true, ".........................b.x."},
  };
  for (const auto& [text, markup, mask] : cases) {
    Box box;
    for (const auto& [set, on] : {std::pair{&Markora::setCommentItalic, !markup}, {&Markora::setPropNameItalic, markup},
                                  {&Markora::setPropValBold, markup}, {&Markora::setPropValItalic, markup},
                                  {&Markora::setEntityBold, !markup}, {&Markora::setEntityItalic, !markup}})
      (box.*set)(on);
    box.setText(QString::fromUtf8(text)), box.Colorize();
    EXPECT_EQ(StyleMask(box), mask) << "text: " << text;
  }
}

// No event, selection kept; an inverted range styles nothing. Percentages are ColorizeScannerTest's.
TEST(MarkoraColorizeTest, RestylesTheRangeButItsEndCharacterAndReportsProgress) {
  Box box;
  box.Colorize();
  box.setText("<a b> <c d>\n<!-- c -->");
  box.rtfHTML()->selectAll(), box.rtfHTML()->setFontWeight(QFont::Bold), box.rtfHTML()->setTextColor(Qt::red);
  box.setSelStart(2), box.setSelLength(3);
  EventLog log(box);
  QProgressBar bar;
  bar.setRange(5, 7);  // the value written is out of it unless the box sets the range
  htPrgBar percent;
  const std::tuple<bool, int, int, QObject*, const char*> runs[] = {
      {true, 10, 5, nullptr, "bbbbbbbbbbb|bbbbbbbbbb"},
      {true, -4, 3, &percent, ".bbbbbbbbbb|bbbbbbbbbb"},
      {false, 7, 500, &bar, ".bbbbb.b...|....iii..b"},
  };
  for (const auto& [silent, from, to, progress, mask] : runs) {
    box.setSilent(silent), box.setProgressBar(progress);
    box.Colorize(from, to);
    EXPECT_EQ(StyleMask(box), mask) << from << " to " << to;
  }
  EXPECT_EQ(std::pair(bar.minimum(), bar.value()), std::pair(0, 100));
  EXPECT_EQ(std::pair(percent.written.front(), percent.written.back()), std::pair(0, 100));
  EXPECT_EQ(std::pair(box.SelStart(), box.SelLength()), std::pair(2, 3));
  EXPECT_EQ(box.rtfHTML()->document()->begin().begin().fragment().charFormat().foreground().color(),
            box.rtfHTML()->palette().color(QPalette::Text));
  EXPECT_TRUE(log.events.empty());
  EXPECT_TRUE(box.rtfHTML()->updatesEnabled());
  QTest::keyClicks(box.rtfHTML(), "x");
  EXPECT_FALSE(log.events.empty());
}

TEST(MarkoraEditingTest, TypesAnEntityWithTheEventsOfTypingItAndHearsTheContainer) {
  Box typed;
  EventLog reference(typed);
  QTest::keyClicks(typed.rtfHTML(), "&auml;");
  Box box;
  EventLog log(box);
  TypeKey(box, 0, QString::fromUtf8("ä"));
  EXPECT_EQ(box.Text(), "&auml;");
  // Every replacement character as if typed, then the replaced key's own press with character 0, then its key up.
  reference.events.insert(reference.events.begin(), "KeyDown:0");
  reference.events.insert(reference.events.end(), {"KeyPress:0", "KeyUp:0"});
  EXPECT_EQ(log.events, reference.events);

  box.setText(""), box.setEntities(1);
  TypeKey(box, Qt::Key_QuoteDbl, "\"", Qt::ShiftModifier);
  TypeKey(box, 0, QString::fromUtf8("ä"));
  EXPECT_EQ(box.Text(), QString::fromUtf8("&quot;ä"));

  // A key press changed by the container inserts the new character, 0 none; a key code set to 0 swallows the key.
  box.setText("");
  QObject::connect(&box, &Markora::KeyPress, [](int& k) { k = (k == 'a') ? 'b' : (k == 'c' ? 0 : k); });
  QObject::connect(&box, &Markora::KeyDown, [](int& code) { code = code == 'Q' ? 0 : code; });
  QTest::keyClicks(box.rtfHTML(), "abcq!");
  EXPECT_EQ(box.Text(), "bb!");
}

// Enter, or an arrow up after an edit, re-styles from the caret's line to the line left.
TEST(MarkoraEditingTest, LeavingAnEditedLineByKeyReStylesItOnlyWithAutoColorize) {
  const std::tuple<const char*, const char*, int, bool, const char*> cases[] = {
      {"", "<td nowrap>", Qt::Key_Return, true, ".bb........|"}, {"", "<td nowrap>", Qt::Key_Return, false, "...........|"},
      {"<a b>\n<c d>\n<e f>", "x", Qt::Key_Up, true, ".b...|.bb...|....."},
      {"<a b>\n<c d>", "x", Qt::Key_Up, true, ".....|......"},
      {"<a b>\n<c d>\n<e f>", "x", Qt::Key_PageUp, true, ".....|......|....."},  // not a line key
  };
  for (const auto& [text, typed, key, autoColorize, mask] : cases) {
    Box box;
    box.setAutoColorize(autoColorize), box.setText(text);
    box.setSelStart(*text != 0 ? 8 : 0);
    QTest::keyClicks(box.rtfHTML(), typed);
    TypeKey(box, key, key == Qt::Key_Return ? "\r" : "");
    EXPECT_EQ(StyleMask(box), mask) << text << autoColorize;
  }
}

TEST(MarkoraEditingTest, ForwardsMouseButtonsInTwips) {
  Box box;
  box.resize(200, 100);
  EventLog log(box);
  float x = 0;
  QObject::connect(&box, &Markora::MouseDown, [&](int&, int&, float& X) { x = X; });
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
  // In order, since a Find selects what it finds unless told not to.
  const int quietly = RichTextBox::rtfMatchCase | RichTextBox::rtfNoHighlight;
  EXPECT_EQ((std::vector<int>{box.Find("abc", 0, 10), box.SelLength(), box.Find("abc", 1, 0, RichTextBox::rtfMatchCase),
                              box.Find("abc", 5, 10), (box.setSelStart(0), box.Find("ABC", 0, 0, quietly)),
                              box.SelLength()}),
            (std::vector<int>{0, 3, 8, -1, 4, 0}));

  box.setText("key = value");
  const auto from = [&](int caret, const auto& move) {
    box.setSelStart(caret);
    move();
    return std::pair(box.SelStart(), box.SelText().toStdString());
  };
  EXPECT_EQ(from(5, [&] { box.Span(" ="); }), std::pair(3, std::string(" =")));
  EXPECT_EQ(from(0, [&] { box.Span(" =", true, true); }), std::pair(0, std::string("key")));
  EXPECT_EQ(from(0, [&] { box.UpTo("=", true); }), std::pair(4, std::string()));
  EXPECT_EQ(from(4, [&] { box.UpTo("= ", true, true); }), std::pair(6, std::string()));
  EXPECT_EQ(from(11, [&] { box.UpTo(" "); }), std::pair(6, std::string()));

  box.setText("a\r\nbb\nccc");
  EXPECT_EQ((std::vector<int>{box.GetLineCount(), box.GetLineFirstCharIndex(2), box.GetLineFirstCharIndex(3),
                              box.GetLineFromChar(4), (box.setSelStart(6), box.GetLineSelected()),
                              box.GetLineFirstCharIndex(-1), box.Find("ccc")}),
            (std::vector<int>{3, 5, -1, 1, 2, 5, 5}));  // text offsets are selection offsets, line breaks included
}

TEST(MarkoraPropertiesTest, RefusesWhatIsOutOfRange) {
  Box box;
  for (const std::int32_t entities : {64, -1, 0, 63}) {
    const bool valid = entities == 0 || entities == 63;
    EXPECT_EQ(ErrorNumber([&] { box.setEntities(entities); }), valid ? 0 : MarkoraError::kInvalidArgument) << entities;
    EXPECT_EQ(box.Entities(), valid ? entities : 62) << entities;
  }
  EXPECT_EQ(ErrorNumber([&] { box.setSelStart(-1); }), MarkoraError::kInvalidPropertyValue);
  box.setSelTabCount(2), box.setSelTabs(1, 1440);
  EXPECT_DOUBLE_EQ(box.SelTabs(1), 1440);
  EXPECT_EQ(ErrorNumber([&] { box.SelTabs(2); }), MarkoraError::kInvalidArrayIndex);
}

// Every key away from its default, as the box has always stored them.
const std::string kStoredAwayFromDefaults =
    "[Markora1]\nAutoColorize=False\nAutoVerbMenu=True\nBackColor=16744512\nCommentBold=True\nCommentItalic=False\n"
    "Enabled=False\nEntities=99\nEntityBold=True\nEntityItalic=True\nFileName=/tmp/page.htm\n"
    "Font=DejaVu;Serif;11.5;700;1;1;0;2\nHideSelection=True\nLocked=True\nMaxLength=5000\nMouseIcon=iVBORwANCg==\n"
    "MousePointer=99\nPropNameBold=True\nPropNameItalic=True\nPropValBold=True\nPropValItalic=True\nSilent=False\n"
    "RightMargin=1234.5\nTagBold=False\nTagItalic=True\nText=<p class=\"a\\\\b\">\\x0Aline \xC3\xA4 " +
    std::string(162, 'z') + "\nText.2=" + std::string(138, 'z') + "\\x20\n";

// Entities=99 is taken as stored, though no setter takes it. A fresh box stores nothing but the objects.
TEST(MarkoraPropertiesTest, EachStartsAtItsDefaultAndIsReadAndWrittenAsBefore) {
  const test::TempFolder folder("markora");
  folder.write("before.ini", kStoredAwayFromDefaults);
  IniPropertyBag before((folder / "before.ini").string(), "Markora1");
  Markora loaded;
  loaded.ReadProperties(before);
  for (const MarkoraProperty& property : MarkoraProperties()) {
    EXPECT_NE(property.get(loaded), property.defaultOf(loaded)) << property.key;
    // Away from its default alone, it is stored alone beside the objects.
    Box one;
    property.set(one, property.get(loaded));
    MemoryPropertyBag bag;
    one.WriteProperties(bag);
    const auto keys = std::views::keys(bag.values());
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()), (std::set<std::string>{"Font", "MouseIcon", property.key}));
  }
  IniPropertyBag after((folder / "after.ini").string(), "Markora1");
  loaded.WriteProperties(after);
  EXPECT_EQ(test::ReadFile(folder / "after.ini"), kStoredAwayFromDefaults);
}

TEST(MarkoraFilesTest, LoadsSavesAndPrintsPlainCharactersAndErrorsReachTheCaller) {
  const test::TempFolder folder("markora files");
  const auto path = [&](const char* name) { return QString::fromStdString((folder / name).string()); };
  Box box;
  const std::string rtf = "{\\rtf1\\ansi {\\b bold} <b>tag</b>}\n";
  folder.write("page.rtf", rtf);
  box.LoadFile(path("page.rtf"));
  EXPECT_EQ(box.Text().toStdString(), rtf);
  const std::string page = "<!-- list -->\n<p class=\"note\" id=top>Radio &amp; m\xC3\xA4r</p>\n<td nowrap>";
  box.setText(QString::fromStdString(page)), box.Colorize();
  box.SaveFile(path("out.htm"));  // as typed, whatever the styles
  EXPECT_EQ(test::ReadFile(folder / "out.htm"), page);
  box.setText("kept");
  EXPECT_EQ(ErrorNumber([&] { box.LoadFile(path("missing.htm")); }), MarkoraError::kFileNotFound);
  EXPECT_EQ(box.Text(), "kept");
  EXPECT_EQ(ErrorNumber([&] { box.SaveFile(path("no such folder/out.htm")); }), MarkoraError::kFileAccess);

  box.setText("Quick\nHello World");
  box.setSelStart(6), box.setSelLength(5);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFileName(path("sel.pdf"));  // a PDF, by its name
  box.SelPrint(printer);
  const QByteArray pdf = QByteArray::fromStdString(test::ReadFile(folder / "sel.pdf"));
  EXPECT_EQ(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 1);
  // The fonts' ToUnicode maps, which Qt writes uncompressed, name each character printed as "<00XX>".
  QByteArray maps;
  for (qsizetype at = pdf.indexOf("begincmap"); at >= 0; at = pdf.indexOf("begincmap", at + 1))
    maps += pdf.mid(at, pdf.indexOf("endcmap", at) - at);
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
