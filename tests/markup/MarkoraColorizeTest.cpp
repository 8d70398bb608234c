#include <gtest/gtest.h>

#include <QProgressBar>
#include <vector>

#include "MarkoraProbe.h"

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

using test::StyleMask;

enum class Look { Defaults, Markup, Entity };

void Apply(Markora& box, Look look) {
  box.InitProperties();
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

struct SpanCase {
  const char* text;
  Look look;
  const char* mask;
};

// Defaults: tag names bold, comments italic. Markup: property names italic,
// property values bold and italic. Entity: entities bold and italic.
const SpanCase kCases[] = {
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

TEST(MarkoraColorizeTest, StylesEachMarkupClassAsItsSwitchesSay) {
  for (const auto& c : kCases) {
    Markora box;
    Apply(box, c.look);
    box.setText(QString::fromUtf8(c.text));
    box.Colorize();
    EXPECT_EQ(StyleMask(box), c.mask) << "text: " << c.text;
  }
}

TEST(MarkoraColorizeTest, ResetsTheRangeButTheEndCharacterAndKeepsTheSelection) {
  Markora box;
  box.InitProperties();
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
  const QTextBlock block = box.rtfHTML()->document()->begin();
  EXPECT_EQ(block.begin().fragment().charFormat().foreground().color(),
            box.rtfHTML()->palette().color(QPalette::Text));

  // A style switch changes nothing until the next run.
  box.setText("<a b>");
  box.Colorize();
  box.setTagBold(false);
  EXPECT_EQ(StyleMask(box), ".b...");
  box.Colorize();
  EXPECT_EQ(StyleMask(box), ".....");
}

TEST(MarkoraColorizeTest, EmptyOrInvertedRangesStyleNothingAndLeaveTheBoxWorking) {
  Markora box;
  box.InitProperties();
  box.Colorize();
  box.setText("<a b> <c d>");
  box.Colorize(10, 5);
  box.Colorize(-4, 3);
  EXPECT_EQ(StyleMask(box), ".b.........");
  box.Colorize(7, 500);
  EXPECT_EQ(StyleMask(box), ".b.....b...");
  EXPECT_TRUE(box.rtfHTML()->updatesEnabled());

  test::EventLog log(box);
  test::TypeText(box, "x");
  EXPECT_FALSE(log.events.empty());
}

TEST(MarkoraColorizeTest, RaisesNoEventWhileItRuns) {
  Markora box;
  box.InitProperties();
  box.setText("<p class=x>&amp; text\n<!-- c -->");
  box.setSelStart(4);
  test::EventLog log(box);
  box.setSilent(false);
  box.Colorize();
  box.setSilent(true);
  box.Colorize();
  EXPECT_TRUE(log.events.empty());
  EXPECT_EQ(StyleMask(box), ".b...................|....iii...");
}

TEST(MarkoraColorizeTest, WritesProgressToEitherKindOfProgressObject) {
  Markora box;
  box.InitProperties();
  box.setText(QString(200, 'x'));
  QProgressBar bar;
  bar.setRange(5, 7);
  std::vector<int> values;
  QObject::connect(&bar, &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
  box.setProgressBar(&bar);
  box.Colorize(1, 200);  // which percentages is ColorizeScannerTest's
  EXPECT_EQ(bar.maximum(), 100);
  ASSERT_GE(values.size(), 2u);
  EXPECT_EQ(values.front(), 0);
  EXPECT_EQ(values.back(), 100);

  htPrgBar percent;
  box.setProgressBar(&percent);
  box.Colorize(100, 200);
  ASSERT_GE(percent.written.size(), 2u);
  EXPECT_EQ(percent.written.front(), 0);
  EXPECT_EQ(percent.written.back(), 100);

  // Anything else is left alone.
  QObject other;
  box.setProgressBar(&other);
  box.Colorize();
  EXPECT_FALSE(other.property("Value").isValid());
}

}  // namespace
}  // namespace vandrel

#include "MarkoraColorizeTest.moc"
