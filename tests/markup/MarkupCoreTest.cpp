// Markora's Qt-free core: the colouring scanner, property texts and INI property bags.
#include <gtest/gtest.h>

#include <numeric>

#include "core/Ini.h"
#include "markup/core/ColorizeScanner.h"
#include "markup/core/IniPropertyBag.h"
#include "markup/core/PropertyText.h"
#include "support/Files.h"

namespace vandrel {
namespace {

struct Recorder : ColorizeSink {
  std::vector<int> spans, percents;
  void StyleSpan(MarkupClass, std::int32_t start, std::int32_t) override { spans.push_back(start); }
  void Progress(std::uint8_t percent) override { percents.push_back(percent); }
};

TEST(GetPercentTest, RoundsHalfToEvenAndRefusesWhatNoByteHolds) {
  EXPECT_EQ(GetPercent(1, 200), 0);  // 0.5
  EXPECT_EQ(GetPercent(3, 200), 2);  // 1.5
  EXPECT_EQ(GetPercent(600, 200), std::nullopt);
  EXPECT_EQ(GetPercent(5, 0), std::nullopt);
  EXPECT_EQ(GetPercent(-5, 200), std::nullopt);
}

// The percentage relates the position to the end, not to the range's length.
TEST(ColorizeScannerTest, ReportsEachGrowthOfThePercentageOfTheEndReachedAndStartsInPlainText) {
  const std::u16string text(200, u'x');
  for (const auto& [start, first] : {std::pair(1, 1), std::pair(100, 50)}) {
    Recorder recorder;
    ScanMarkup(text, start, 200, true, recorder);
    std::vector<int> expected(static_cast<std::size_t>(101 - first));
    std::iota(expected.begin(), expected.end(), first);
    EXPECT_EQ(recorder.percents, expected) << start;
  }
  Recorder silent;
  ScanMarkup(text, 1, 200, false, silent);
  EXPECT_TRUE(silent.percents.empty());
  ScanMarkup(u"<a b c>", 4, 7, false, silent);  // from inside the tag "b c>" reads as text, styled as nothing
  EXPECT_TRUE(silent.spans.empty());
}

// The text forms a box writes are MarkoraTest's; here the rest, and what must not read.
TEST(PropertyTextTest, PicturesOfEveryLengthSurviveAndMalformedTextReadsAsNothing) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  for (const std::string& sample : {std::string(), std::string("ab"), bytes}) {
    EXPECT_EQ(Base64Decode(Base64Encode(sample)), sample);
  }
  EXPECT_EQ(Base64Decode("TW=u"), std::nullopt);
  EXPECT_EQ(PropertyFromText("8.5.1;400;0;0;0;0", FontDescription{}), std::nullopt);
  EXPECT_EQ(PropertyFromText("yes", PropertyValue(false)), std::nullopt);
  EXPECT_EQ(PropertyFromText("-1", PropertyValue(false)), PropertyValue(true));
  EXPECT_EQ(PropertyFromText("12x", PropertyValue(std::int32_t{0})), std::nullopt);
}

TEST(IniPropertyBagTest, StoresOnlyWhatDiffersFromTheDefaultAndReadsItBackUnchanged) {
  const test::TempFolder folder("bag");
  const std::string file = (folder / "form.ini").string();
  IniPropertyBag bag(file, "Markora1");
  bag.WriteProperty("TagBold", true, true);
  EXPECT_EQ(test::ReadFile(file), "");

  std::string text = "line one\r\nline two\tend \\x41 \\\\ ";
  text += std::string(400, ' ') + "middle" + std::string(450, 'x') + " \xC3\xA4\xFF trailing   ";
  bag.WriteProperty("Text", text, std::string());
  EXPECT_EQ(IniPropertyBag(file, "Markora1").ReadProperty("Text", std::string()), PropertyValue(text));
  // Neither a shorter value nor the default may pick up the old value's continuation keys.
  bag.WriteProperty("Text", std::string("short"), std::string());
  EXPECT_EQ(bag.ReadProperty("Text", std::string()), PropertyValue(std::string("short")));
  bag.WriteProperty("Text", text, std::string());
  bag.WriteProperty("Text", std::string(), std::string());
  EXPECT_EQ(bag.ReadProperty("Text", std::string("default")), PropertyValue(std::string("default")));
  // A stored value of the wrong type reads as the default.
  WriteIni(file, "Markora1", "Locked", "maybe");
  EXPECT_EQ(bag.ReadProperty("Locked", false), PropertyValue(false));
}

}  // namespace
}  // namespace vandrel
