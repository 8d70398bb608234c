#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <filesystem>

#include "MarkoraProbe.h"
#include "markup/DownloadInfoSettings.h"
#include "markup/IniPropertyBag.h"
#include "markup/MarkoraError.h"
#include "markup/MarkoraTextHolder.h"
#include "markup/MemoryPropertyBag.h"
#include "settings/Ini.h"
#include "support/Files.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

std::vector<QString> Notified(Markora& box, const std::function<void()>& write) {
  std::vector<QString> names;
  auto c = QObject::connect(&box, &Markora::PropertyChanged, [&](const QString& n) { names.push_back(n); });
  write();
  QObject::disconnect(c);
  return names;
}

TEST(MarkoraPropertiesTest, WritesNotifyAsTheMemberTableSays) {
  Markora box;
  box.InitProperties();
  EXPECT_EQ(Notified(box, [&] { box.setTagBold(false); }), std::vector<QString>{"TagBold"});
  EXPECT_EQ(Notified(box, [&] { box.setSilent(false); }), std::vector<QString>{"Silent"});
  EXPECT_EQ(Notified(box, [&] { box.setLocked(true); }), std::vector<QString>{"Locked"});
  EXPECT_EQ(Notified(box, [&] { box.setText("a"); }), (std::vector<QString>{"Text", "TextRTF"}));
  EXPECT_EQ(Notified(box, [&] { box.setTextRTF("<b>a</b>"); }), (std::vector<QString>{"TextRTF", "Text"}));
  EXPECT_EQ(box.Text(), "a");
  EXPECT_TRUE(Notified(box, [&] { box.setAutoColorize(false); }).empty());
  EXPECT_TRUE(Notified(box, [&] { box.setEntities(3); }).empty());
  EXPECT_TRUE(Notified(box, [&] { box.setSelStart(1); }).empty());
}

TEST(MarkoraPropertiesTest, EntitiesAcceptsOnlyZeroToSixtyThree) {
  Markora box;
  box.InitProperties();
  for (const std::int32_t bad : {64, -1}) {
    try {
      box.setEntities(bad);
      ADD_FAILURE() << bad << " accepted";
    } catch (const MarkoraError& e) {
      EXPECT_EQ(e.number(), 5);
    }
    EXPECT_EQ(box.Entities(), 62);
  }
  box.setEntities(0);
  EXPECT_EQ(box.Entities(), 0);
  box.setEntities(63);
  EXPECT_EQ(box.Entities(), 63);

  // Loading takes any stored mask as it is.
  for (const auto& [stored, loaded] : {std::pair<std::optional<std::int32_t>, std::int32_t>{std::nullopt, 62},
                                       {0, 0}, {99, 99}}) {
    MemoryPropertyBag bag;
    if (stored) bag.Set("Entities", *stored);
    box.ReadProperties(bag);
    EXPECT_EQ(box.Entities(), loaded);
  }
  EXPECT_THROW(box.setSelStart(-1), MarkoraError);
}

TEST(MarkoraPropertiesTest, AllTwentyFiveKeysSurviveAnIniBag) {
  const test::TempFolder folder("markora");
  const std::string file = (folder / "Form.ini").string();

  QImage image(4, 4, QImage::Format_ARGB32);
  image.fill(Qt::red);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  const PictureData icon{png.toStdString()};
  const QString text = QString::fromUtf8("<p class=\"a\\b\">\nline \xC3\xA4 ") + QString(300, 'z') + " ";

  Markora saved;
  saved.InitProperties();
  saved.setAutoColorize(false);
  saved.setAutoVerbMenu(true);
  saved.rtfHTML()->setBackColor(0x00FF8040);
  saved.setCommentBold(true);
  saved.setCommentItalic(false);
  saved.setEnabled(false);
  saved.setEntities(17);
  saved.setEntityBold(true);
  saved.setEntityItalic(true);
  saved.setFileName("/tmp/page.htm");
  QFont font("DejaVu Serif");
  font.setPointSizeF(11.5);
  font.setItalic(true);
  saved.rtfHTML()->setFont(font);
  saved.setHideSelection(true);
  saved.setLocked(true);
  saved.setMaxLength(5000);
  saved.rtfHTML()->setMouseIcon(icon);
  saved.setMousePointer(99);
  saved.setPropNameBold(true);
  saved.setPropNameItalic(true);
  saved.setPropValBold(true);
  saved.setPropValItalic(true);
  saved.setSilent(false);
  saved.setRightMargin(1234.5f);
  saved.setTagBold(false);
  saved.setTagItalic(true);
  saved.setText(text);
  IniPropertyBag bag(file, "Markora1");
  saved.WriteProperties(bag);

  // Every key read back is the key written: the memory bag holds what differs from the defaults.
  Markora loaded;
  IniPropertyBag again(file, "Markora1");
  loaded.ReadProperties(again);
  MemoryPropertyBag written, read;
  saved.WriteProperties(written);
  loaded.WriteProperties(read);
  EXPECT_EQ(written.values().size(), 25u);
  EXPECT_EQ(read.values(), written.values());

  // Back to the defaults: only the object values stay in the file.
  Markora fresh;
  fresh.InitProperties();
  fresh.WriteProperties(bag);
  Markora reloaded;
  reloaded.ReadProperties(again);
  EXPECT_TRUE(reloaded.AutoColorize());
  EXPECT_EQ(reloaded.Entities(), 62);
  EXPECT_EQ(reloaded.Text(), "");
  EXPECT_EQ(reloaded.rtfHTML()->MouseIcon(), PictureData{});
  EXPECT_EQ(ReadIni(file, "Markora1", "Text"), "");
  EXPECT_EQ(ReadIni(file, "Markora1", "Text.2"), "");
  EXPECT_EQ(ReadIni(file, "Markora1", "TagBold"), "");
  EXPECT_NE(ReadIni(file, "Markora1", "Font"), "");
}

TEST(MarkoraPropertiesTest, ReadingTabStopsLeavesThemAlone) {
  Markora box;
  box.InitProperties();
  box.setText("a\tb");
  box.setSelTabCount(2);
  box.setSelTabs(1, 1440);
  EXPECT_EQ(box.SelTabCount(), 2);
  EXPECT_DOUBLE_EQ(box.SelTabs(1), 1440);
  EXPECT_DOUBLE_EQ(box.SelTabs(1), 1440);
  EXPECT_THROW(box.SelTabs(2), MarkoraError);
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
  EXPECT_EQ(test::StyleMask(*box).find_first_not_of(".|"), std::string::npos);

  box->setText("edited");
  EXPECT_EQ(holder.text(), "edited");
}

}  // namespace
}  // namespace vandrel
