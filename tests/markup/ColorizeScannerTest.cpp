#include "markup/core/ColorizeScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vandrel {
namespace {

struct Recorder : ColorizeSink {
  std::vector<std::int32_t> spans;
  std::vector<int> percents;
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

TEST(ColorizeScannerTest, ReportsProgressOnlyWhenThePercentageGrows) {
  const std::u16string text(200, u'x');
  Recorder whole;
  ScanMarkup(text, 1, 200, true, whole);
  ASSERT_FALSE(whole.percents.empty());
  EXPECT_EQ(whole.percents.front(), 1);
  EXPECT_EQ(whole.percents.back(), 100);
  for (std::size_t k = 1; k < whole.percents.size(); ++k) EXPECT_GT(whole.percents[k], whole.percents[k - 1]);

  // The percentage relates the position to the end, not to the range's length.
  Recorder tail;
  ScanMarkup(text, 100, 200, true, tail);
  ASSERT_FALSE(tail.percents.empty());
  EXPECT_EQ(tail.percents.front(), 50);

  Recorder silent;
  ScanMarkup(text, 1, 200, false, silent);
  EXPECT_TRUE(silent.percents.empty());
}

TEST(ColorizeScannerTest, StartsInPlainTextWhereverTheRangeBegins) {
  Recorder r;
  // From inside the tag: "b c>" reads as text, so nothing is styled.
  ScanMarkup(u"<a b c>", 4, 7, false, r);
  EXPECT_TRUE(r.spans.empty());
}

}  // namespace
}  // namespace vandrel
